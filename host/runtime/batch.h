// Evaluation of a network on one batch of points: the shading contexts nodes receive, lazy and
// memoised evaluation of upstream nodes, override contexts with named values.
#pragma once

#include <string>
#include <vector>

#include "arena.h"
#include "network.h"
#include "spaces.h"

namespace tessera::host {

// A named primitive variable carried by the points: 1 float or 3 floats per point.
struct PrimVar {
    RtUString name;
    int components = 1;
    std::vector<float> values;
};

// The geometry of one batch, in current space.
struct BatchPoints {
    int count = 0;
    std::vector<RtPoint3> P;
    std::vector<float> radius;
    std::vector<RtPoint3> Po;
    std::vector<RtFloat2> st;
    std::vector<float> stRadius;
    std::vector<PrimVar> primvars;
    int traits = 0;
    int shadingMode = 0;

    // Sizes every array for n points (keeping capacity, so no allocation once warm).
    void resize(int n);
};

// What the network's nodes consume and the run requests: an output is "connected" when either
// reads it.
struct EvaluationPlan {
    const Network* network = nullptr;
    const Spaces* spaces = nullptr;
    std::vector<OutputRef> requests;
    std::vector<std::vector<std::uint8_t>> wanted;  // [node][param id]

    EvaluationPlan(const Network& net, std::vector<OutputRef> requests, const Spaces& spaces);
};

// The first node that returned a non-zero status in a batch.
struct NodeFailure {
    int node = -1;
    int status = 0;
    explicit operator bool() const { return node >= 0; }
};

class Batch;

// Named values and memoised node results of one evaluation scope: the batch itself, or an
// override context. Lives in the batch arena.
struct Scope;

class NodeContext final : public RixShadingContext {
public:
    NodeContext(Batch* batch, int node, Scope* scope, bool isOverride = false);

    RixInterface* GetRixInterface(RixInterfaceId id) const override;

    RixSCDetail EvalParam(int id, int arrayIndex, RtUString const** result, RtUString const* dflt,
                          bool promote) const override;
    RixSCDetail EvalParam(int id, int arrayIndex, RtFloat3 const** result, RtFloat3 const* dflt,
                          bool promote) const override;
    RixSCDetail EvalParam(int id, int arrayIndex, RtColorRGB const** result, RtColorRGB const* dflt,
                          bool promote) const override;
    RixSCDetail EvalParam(int id, int arrayIndex, float const** result, float const* dflt,
                          bool promote) const override;
    RixSCDetail EvalParam(int id, int arrayIndex, int const** result, int const* dflt,
                          bool promote) const override;
    int GetParamInfo(int id, RixSCType* type, RixSCConnectionInfo* cinfo,
                     int* arraySize) const override;
    RixSCDetail GetBuiltinVar(BuiltinVar var, RtFloat3 const** result) const override;
    RixSCDetail GetBuiltinVar(BuiltinVar var, float const** result) const override;
    RixSCDetail GetPrimVar(RtUString name, RtFloat3 fill, RtFloat3 const** result,
                           float const** radius) const override;
    RixSCDetail GetPrimVar(RtUString name, RtFloat2 fill, RtFloat2 const** result,
                           float const** radius) const override;
    RixSCDetail GetPrimVar(RtUString name, float fill, float const** result,
                           float const** radius) const override;
    int Transform(TransformInterpretation interp, RtUString fromSpace, RtUString toSpace,
                  RtFloat3* values, float* radius) const override;
    void* AllocateBatchMemory(size_t count, size_t elementSize,
                              MemCategory category) const override;
    RixShadingContext* CreateOverrideContext() const override;
    int SetNamedValue(RtUString name, int count, const float* values,
                      const void* reserved) override;

private:
    template <class T>
    RixSCDetail eval(int id, int arrayIndex, const T** result, const T* dflt, bool promote,
                     bool (*fits)(RixSCType)) const;
    template <class T>
    const T* fill(const T& value) const;

    Batch* m_batch;
    int m_node;
    Scope* m_scope;
    bool m_isOverride;  // made by CreateOverrideContext: the one kind that takes named values
};

class Batch {
public:
    Batch(const EvaluationPlan& plan, const BatchPoints& points, Arena& arena);

    // The record of output id of node k, evaluating the node in scope when it has not run there.
    // Null when the node failed or does not produce that output.
    const OutputSpec* output(Scope* scope, int node, int id);
    Scope* root() { return m_root; }
    Scope* newScope(const Scope* parent);
    void* allocate(std::size_t count, std::size_t size);

    const EvaluationPlan& plan() const { return m_plan; }
    const BatchPoints& points() const { return m_points; }
    const NetworkNode& node(int k) const { return m_plan.network->node(k); }
    NodeFailure failure() const { return m_failure; }

private:
    const EvaluationPlan& m_plan;
    const BatchPoints& m_points;
    Arena& m_arena;
    Scope* m_root;
    NodeFailure m_failure;
};

}  // namespace tessera::host
