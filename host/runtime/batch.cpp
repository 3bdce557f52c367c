#include "batch.h"

#include <cstring>
#include <limits>
#include <new>

namespace tessera::host {

void BatchPoints::resize(int n) {
    count = n;
    const auto size = static_cast<std::size_t>(n);
    P.resize(size);
    radius.resize(size);
    Po.resize(size);
    st.resize(size);
    stRadius.resize(size);
    for (PrimVar& pv : primvars) pv.values.resize(size * static_cast<std::size_t>(pv.components));
}

EvaluationPlan::EvaluationPlan(const Network& net, std::vector<OutputRef> reqs, const Spaces& sp)
    : network(&net), spaces(&sp), requests(std::move(reqs)) {
    wanted.resize(static_cast<std::size_t>(net.size()));
    for (int k = 0; k < net.size(); ++k) wanted[static_cast<std::size_t>(k)] = net.node(k).consumed;
    for (const OutputRef& r : requests) {
        const NetworkNode& n = net.node(r.node);
        auto& w = wanted[static_cast<std::size_t>(r.node)];
        w[static_cast<std::size_t>(r.id)] = 1;
        if (n.table[r.id].type == k_RixSCStructBegin)  // a requested struct wants its members
            for (int m = r.id + 1; n.table[m].type != k_RixSCStructEnd; ++m)
                w[static_cast<std::size_t>(m)] = 1;
    }
}

// --- scopes --------------------------------------------------------------------------------

struct NamedValue {
    RtUString name;
    int count = 0;
    float* values = nullptr;
    NamedValue* next = nullptr;
};

struct MemoEntry {
    enum State : unsigned char { NotRun, Running, Done };
    State state = NotRun;
    int status = 0;
    int numOutputs = 0;
    OutputSpec* outputs = nullptr;
};

struct Scope {
    const Scope* parent = nullptr;
    NamedValue* values = nullptr;
    MemoEntry* memo = nullptr;  // one per network node
    int numNodes = 0;

    const NamedValue* find(RtUString name) const {
        for (const Scope* s = this; s; s = s->parent)
            for (const NamedValue* v = s->values; v; v = v->next)
                if (v->name == name) return v;
        return nullptr;
    }
    // Results computed under earlier values must not be handed out under new ones.
    void forgetResults() {
        for (int k = 0; k < numNodes; ++k) memo[k] = MemoEntry();
    }
};

// --- batch ---------------------------------------------------------------------------------

Batch::Batch(const EvaluationPlan& plan, const BatchPoints& points, Arena& arena)
    : m_plan(plan), m_points(points), m_arena(arena), m_root(newScope(nullptr)) {}

void* Batch::allocate(std::size_t count, std::size_t size) {
    if (count == 0 || size == 0) return nullptr;
    if (count > std::numeric_limits<std::size_t>::max() / size) return nullptr;
    return m_arena.allocate(count * size);
}

Scope* Batch::newScope(const Scope* parent) {
    auto* scope = new (allocate(1, sizeof(Scope))) Scope();
    scope->parent = parent;
    scope->numNodes = m_plan.network->size();
    scope->memo = static_cast<MemoEntry*>(
        allocate(static_cast<std::size_t>(scope->numNodes), sizeof(MemoEntry)));
    for (int k = 0; k < scope->numNodes; ++k) new (&scope->memo[k]) MemoEntry();
    return scope;
}

const OutputSpec* Batch::output(Scope* scope, int k, int id) {
    MemoEntry& e = scope->memo[k];
    if (e.state == MemoEntry::Running) return nullptr;  // a cycle; finalize() rules these out
    if (e.state == MemoEntry::NotRun) {
        e.state = MemoEntry::Running;
        const NetworkNode& n = node(k);
        NodeContext ctx(this, k, scope);
        int numOutputs = 0;
        OutputSpec* outputs = nullptr;
        n.runs.fetch_add(1, std::memory_order_relaxed);
        // Named values set meanwhile go to override contexts, whose scopes are their own, so this
        // entry is still this node's.
        const int status = n.object->ComputeOutputParams(&ctx, &numOutputs, &outputs, nullptr);
        e.state = MemoEntry::Done;
        e.status = status;
        e.numOutputs = status == 0 && outputs ? numOutputs : 0;
        e.outputs = status == 0 ? outputs : nullptr;
        if (status != 0 && !m_failure) m_failure = {k, status};
    }
    for (int r = 0; r < e.numOutputs; ++r)
        if (e.outputs[r].paramId == id)
            return e.outputs[r].detail != k_RixSCInvalidDetail && e.outputs[r].value ? &e.outputs[r]
                                                                                     : nullptr;
    return nullptr;
}

// --- node context --------------------------------------------------------------------------

NodeContext::NodeContext(Batch* batch, int node, Scope* scope, bool isOverride)
    : m_batch(batch), m_node(node), m_scope(scope), m_isOverride(isOverride) {
    numPts = batch->points().count;
    scTraits = batch->points().traits;
    shadingMode = batch->points().shadingMode;
}

RixInterface* NodeContext::GetRixInterface(RixInterfaceId id) const {
    return m_batch->plan().network->host().GetRixInterface(id);
}

template <class T>
const T* NodeContext::fill(const T& value) const {
    T* a = static_cast<T*>(m_batch->allocate(static_cast<std::size_t>(numPts), sizeof(T)));
    for (int i = 0; i < numPts; ++i) a[i] = value;
    return a ? a : &value;
}

namespace {
bool fitsInt(RixSCType t) { return t == k_RixSCInteger; }
bool fitsFloat(RixSCType t) { return t == k_RixSCFloat; }
bool fitsString(RixSCType t) { return t == k_RixSCString; }

template <class T>
const T* constantAt(const ParamValue& v, int element);
template <>
const int* constantAt<int>(const ParamValue& v, int e) {
    return &v.ints[static_cast<std::size_t>(e)];
}
template <>
const float* constantAt<float>(const ParamValue& v, int e) {
    return &v.floats[static_cast<std::size_t>(e)];
}
template <>
const RtUString* constantAt<RtUString>(const ParamValue& v, int e) {
    return &v.strings[static_cast<std::size_t>(e)];
}
template <>
const RtFloat3* constantAt<RtFloat3>(const ParamValue& v, int e) {
    return reinterpret_cast<const RtFloat3*>(&v.floats[static_cast<std::size_t>(e) * 3]);
}
template <>
const RtColorRGB* constantAt<RtColorRGB>(const ParamValue& v, int e) {
    return reinterpret_cast<const RtColorRGB*>(&v.floats[static_cast<std::size_t>(e) * 3]);
}
}  // namespace

// Connected: the upstream array. Constant: the network's value. Unset, or an upstream output
// that is not produced: the caller's default. Promotion copies a single value to every point.
template <class T>
RixSCDetail NodeContext::eval(int id, int arrayIndex, const T** result, const T* dflt, bool promote,
                              bool (*fits)(RixSCType)) const {
    *result = nullptr;
    const NetworkNode& n = m_batch->node(m_node);
    if (id < 0 || id >= n.numParams || n.table[id].access != k_RixSCInput ||
        !fits(n.table[id].type))
        return k_RixSCInvalidDetail;
    const ParamValue& v = n.params[static_cast<std::size_t>(id)];
    const int element = arrayIndex < 0 ? 0 : arrayIndex;
    const bool inRange = v.elements < 0 ? element == 0 : element < v.elements;

    const T* single = dflt;
    if (inRange && v.kind == ParamValue::Connected) {
        const OutputLink& link = v.links[static_cast<std::size_t>(element)];
        if (const OutputSpec* rec = m_batch->output(m_scope, link.node, link.output)) {
            const T* values = static_cast<const T*>(rec->value);
            if (rec->detail == k_RixSCVarying) {
                *result = values;
                return k_RixSCVarying;
            }
            single = values;  // an upstream uniform value
        }
    } else if (inRange && v.kind == ParamValue::Constant) {
        single = constantAt<T>(v, element);
    }
    if (!single) return k_RixSCInvalidDetail;
    if (!promote) {
        *result = single;
        return k_RixSCUniform;
    }
    *result = fill(*single);
    return k_RixSCVarying;
}

RixSCDetail NodeContext::EvalParam(int id, int arrayIndex, RtUString const** result,
                                   RtUString const* dflt, bool promote) const {
    return eval(id, arrayIndex, result, dflt, promote, fitsString);
}
RixSCDetail NodeContext::EvalParam(int id, int arrayIndex, RtFloat3 const** result,
                                   RtFloat3 const* dflt, bool promote) const {
    return eval(id, arrayIndex, result, dflt, promote, isTriple);
}
RixSCDetail NodeContext::EvalParam(int id, int arrayIndex, RtColorRGB const** result,
                                   RtColorRGB const* dflt, bool promote) const {
    return eval(id, arrayIndex, result, dflt, promote, isTriple);
}
RixSCDetail NodeContext::EvalParam(int id, int arrayIndex, float const** result, float const* dflt,
                                   bool promote) const {
    return eval(id, arrayIndex, result, dflt, promote, fitsFloat);
}
RixSCDetail NodeContext::EvalParam(int id, int arrayIndex, int const** result, int const* dflt,
                                   bool promote) const {
    return eval(id, arrayIndex, result, dflt, promote, fitsInt);
}

int NodeContext::GetParamInfo(int id, RixSCType* type, RixSCConnectionInfo* cinfo,
                              int* arraySize) const {
    const NetworkNode& n = m_batch->node(m_node);
    if (id < 0 || id >= n.numParams) return 1;
    const RixSCParamInfo& info = n.table[id];
    const ParamValue& v = n.params[static_cast<std::size_t>(id)];
    if (type) *type = info.type;
    if (cinfo) {
        if (info.access == k_RixSCOutput)
            *cinfo = m_batch->plan()
                             .wanted[static_cast<std::size_t>(m_node)][static_cast<std::size_t>(id)]
                         ? k_RixSCNetworkValue
                         : k_RixSCDefaultValue;
        else
            *cinfo = v.kind == ParamValue::Connected  ? k_RixSCNetworkValue
                     : v.kind == ParamValue::Constant ? k_RixSCParameterList
                                                      : k_RixSCDefaultValue;
    }
    if (arraySize)
        *arraySize =
            info.arraySize < 0 ? -1 : (v.kind != ParamValue::Unset ? v.elements : info.arraySize);
    return 0;
}

RixSCDetail NodeContext::GetBuiltinVar(BuiltinVar var, RtFloat3 const** result) const {
    const BatchPoints& pts = m_batch->points();
    *result = var == k_P ? pts.P.data() : var == k_Po ? pts.Po.data() : nullptr;
    return *result || (numPts == 0 && (var == k_P || var == k_Po)) ? k_RixSCVarying
                                                                   : k_RixSCInvalidDetail;
}

RixSCDetail NodeContext::GetBuiltinVar(BuiltinVar var, float const** result) const {
    *result = var == k_PRadius ? m_batch->points().radius.data() : nullptr;
    return var == k_PRadius ? k_RixSCVarying : k_RixSCInvalidDetail;
}

namespace {
const PrimVar* findPrimVar(const BatchPoints& pts, RtUString name, int components) {
    for (const PrimVar& pv : pts.primvars)
        if (pv.name == name && pv.components == components) return &pv;
    return nullptr;
}
}  // namespace

RixSCDetail NodeContext::GetPrimVar(RtUString name, RtFloat3 fill, RtFloat3 const** result,
                                    float const** radius) const {
    const BatchPoints& pts = m_batch->points();
    if (radius) *radius = pts.radius.data();
    if (const PrimVar* pv = findPrimVar(pts, name, 3)) {
        *result = reinterpret_cast<const RtFloat3*>(pv->values.data());
        return k_RixSCVarying;
    }
    *result = this->fill(fill);
    return k_RixSCInvalidDetail;
}

RixSCDetail NodeContext::GetPrimVar(RtUString name, RtFloat2 fill, RtFloat2 const** result,
                                    float const** radius) const {
    const BatchPoints& pts = m_batch->points();
    if (name == Rix::k_st) {
        *result = pts.st.data();
        if (radius) *radius = pts.stRadius.data();
        return k_RixSCVarying;
    }
    if (radius) *radius = pts.stRadius.data();
    *result = this->fill(fill);
    return k_RixSCInvalidDetail;
}

RixSCDetail NodeContext::GetPrimVar(RtUString name, float fill, float const** result,
                                    float const** radius) const {
    const BatchPoints& pts = m_batch->points();
    if (radius) *radius = pts.radius.data();
    if (const NamedValue* v = m_scope->find(name)) {
        *result = this->fill(v->values[0]);
        return k_RixSCUniform;
    }
    if (const PrimVar* pv = findPrimVar(pts, name, 1)) {
        *result = pv->values.data();
        return k_RixSCVarying;
    }
    *result = this->fill(fill);
    return k_RixSCInvalidDetail;
}

int NodeContext::Transform(TransformInterpretation interp, RtUString fromSpace, RtUString toSpace,
                           RtFloat3* values, float* radius) const {
    const Spaces& spaces = *m_batch->plan().spaces;
    Matrix4 from, to;
    if (!spaces.toWorld(fromSpace, &from) || !spaces.toWorld(toSpace, &to)) return 1;
    const Matrix4 m = to.inverse() * from;
    if (!values) return 0;
    for (int i = 0; i < numPts; ++i)
        values[i] = interp == k_AsPoints    ? m.transformPoint(values[i])
                    : interp == k_AsVectors ? m.transformVector(values[i])
                                            : m.transformNormal(values[i]);
    if (radius) {
        const float s = static_cast<float>(m.linearScale());
        for (int i = 0; i < numPts; ++i) radius[i] *= s;
    }
    return 0;
}

void* NodeContext::AllocateBatchMemory(size_t count, size_t elementSize, MemCategory) const {
    return m_batch->allocate(count, elementSize);
}

RixShadingContext* NodeContext::CreateOverrideContext() const {
    Scope* scope = m_batch->newScope(m_scope);
    void* mem = m_batch->allocate(1, sizeof(NodeContext));
    return new (mem) NodeContext(m_batch, m_node, scope, true);
}

int NodeContext::SetNamedValue(RtUString name, int count, const float* values, const void*) {
    if (!m_isOverride || count <= 0 || !values) return 1;
    NamedValue* v = m_scope->values;
    while (v && v->name != name) v = v->next;
    if (!v) {
        v = new (m_batch->allocate(1, sizeof(NamedValue))) NamedValue();
        v->name = name;
        v->next = m_scope->values;
        m_scope->values = v;
    }
    if (v->count < count)
        v->values =
            static_cast<float*>(m_batch->allocate(static_cast<std::size_t>(count), sizeof(float)));
    v->count = count;
    std::memcpy(v->values, values, static_cast<std::size_t>(count) * sizeof(float));
    m_scope->forgetResults();
    return 0;
}

}  // namespace tessera::host
