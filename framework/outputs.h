// Output records and the ways a node decides which of its outputs to produce in a batch.
#pragma once

#include "batch_allocator.h"
#include "param_decl.h"

namespace tessera {

// The records a node hands back, with typed access to the arrays by parameter id.
class Outputs {
public:
    Outputs() = default;
    Outputs(OutputSpec* records, int count) : m_records(records), m_count(count) {}

    OutputSpec* records() const { return m_records; }
    int count() const { return m_count; }

    // The produced array of output id, or null when that output is not produced.
    void* array(int id) const {
        for (int k = 0; k < m_count; ++k)
            if (m_records[k].paramId == id) return m_records[k].value;
        return nullptr;
    }
    float* floats(int id) const { return static_cast<float*>(array(id)); }
    RtColorRGB* colors(int id) const { return static_cast<RtColorRGB*>(array(id)); }
    RtFloat3* triples(int id) const { return static_cast<RtFloat3*>(array(id)); }

    // Hands the records to the host.
    void publish(int* numOutputs, OutputSpec** outputs) const {
        *numOutputs = m_count;
        *outputs = m_records;
    }

private:
    OutputSpec* m_records = nullptr;
    int m_count = 0;
};

inline void components(RtFloat3 v, float c[3]) { c[0] = v.x, c[1] = v.y, c[2] = v.z; }
inline void components(RtColorRGB v, float c[3]) { c[0] = v.r, c[1] = v.g, c[2] = v.b; }

// Copies the three components of each value into whichever of the float outputs firstId,
// firstId + 1 and firstId + 2 are produced (resultX/Y/Z of a point, resultR/G/B of a colour).
template <class Triple>
void writeComponentOutputs(const Outputs& out, int firstId, const Triple* values, int n) {
    float* dst[3] = {out.floats(firstId), out.floats(firstId + 1), out.floats(firstId + 2)};
    for (int k = 0; k < 3; ++k) {
        if (!dst[k]) continue;
        for (int i = 0; i < n; ++i) {
            float c[3];
            components(values[i], c);
            dst[k][i] = c[k];
        }
    }
}

namespace detail {
inline bool isTriple(RixSCType t) {
    return t == k_RixSCColor || t == k_RixSCPoint || t == k_RixSCVector || t == k_RixSCNormal;
}
inline void* allocateValues(const BatchAllocator& alloc, RixSCType type, int numPts) {
    if (type == k_RixSCFloat) return alloc.floats(numPts);
    if (isTriple(type)) return alloc.triples(numPts);
    return nullptr;
}
inline bool consumed(const RixShadingContext* ctx, int id, RixSCType type) {
    RixSCConnectionInfo cinfo = k_RixSCDefaultValue;
    ctx->GetParamInfo(id, &type, &cinfo);
    return cinfo == k_RixSCNetworkValue;
}
}  // namespace detail

// Every output, in table order, whether or not anything consumes it.
template <std::size_t N>
Outputs allocateAllOutputs(const RixShadingContext* ctx, const ParamList<N>& decl) {
    const BatchAllocator alloc(ctx);
    const int n = countLeadingOutputs(decl);
    OutputSpec* rec = alloc.records(n);
    if (!rec) return {};
    for (int id = 0; id < n; ++id)
        rec[id] = {id, k_RixSCVarying, detail::allocateValues(alloc, decl[id].type, ctx->numPts)};
    return {rec, n};
}

// Manifold producers: the members of an output struct always, every other output only when a
// downstream node consumes it. Struct begin and end entries have no record.
template <std::size_t N>
Outputs allocateManifoldOutputs(const RixShadingContext* ctx, const ParamList<N>& decl) {
    const BatchAllocator alloc(ctx);
    const int outputs = countLeadingOutputs(decl);
    int n = 0;
    for (int id = 0; id < outputs; ++id)
        n += decl[id].type != k_RixSCStructBegin && decl[id].type != k_RixSCStructEnd;
    OutputSpec* rec = alloc.records(n);
    if (!rec) return {};
    bool inStruct = false;
    int k = 0;
    for (int id = 0; id < outputs; ++id) {
        const RixSCType type = decl[id].type;
        if (type == k_RixSCStructBegin || type == k_RixSCStructEnd) {
            inStruct = type == k_RixSCStructBegin;
            continue;
        }
        rec[k] = {id, k_RixSCInvalidDetail, nullptr};
        if (inStruct || detail::consumed(ctx, id, type))
            rec[k] = {id, k_RixSCVarying, detail::allocateValues(alloc, type, ctx->numPts)};
        ++k;
    }
    return {rec, n};
}

// One record per leading output; float and colour outputs are produced when consumed.
template <std::size_t N>
Outputs allocateConnectedOutputs(const RixShadingContext* ctx, const ParamList<N>& decl) {
    const BatchAllocator alloc(ctx);
    const int n = countLeadingOutputs(decl);
    OutputSpec* rec = alloc.records(n);
    if (!rec) return {};
    for (int id = 0; id < n; ++id) {
        const RixSCType type = decl[id].type;
        rec[id] = {id, k_RixSCInvalidDetail, nullptr};
        if ((type == k_RixSCColor || type == k_RixSCFloat) && detail::consumed(ctx, id, type))
            rec[id] = {id, k_RixSCVarying, detail::allocateValues(alloc, type, ctx->numPts)};
    }
    return {rec, n};
}

// The layered colour of qnFractalizer: one record for output 0, a colour array of numPts zeros
// that the layers accumulate into. The array is allocated even when nothing downstream reads the
// output, so the layer loop never writes through a missing array.
inline Outputs allocateLayeredColorOutput(const RixShadingContext* ctx) {
    const BatchAllocator alloc(ctx);
    OutputSpec* rec = alloc.records(1);
    RtColorRGB* color = alloc.colors(ctx->numPts);
    for (int k = 0; k < ctx->numPts; ++k) color[k] = {0.f, 0.f, 0.f};
    rec[0] = {0, k_RixSCVarying, color};
    return {rec, 1};
}

}  // namespace tessera
