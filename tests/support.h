// Shared helpers for tests that run the real plug-ins in the real host runtime.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "evaluator.h"
#include "host.h"
#include "network.h"

namespace tessera::test {

using host::ParamAssignment;

// A host whose search path holds the built plug-ins and the test fixtures.
host::Host& sharedHost();
std::vector<std::string> testSearchPath();

inline ParamAssignment intParam(const std::string& name, std::vector<double> v) {
    ParamAssignment a;
    a.type = "int", a.name = name, a.numbers = std::move(v);
    return a;
}
inline ParamAssignment floatParam(const std::string& name, std::vector<double> v,
                                  const std::string& type = "float") {
    ParamAssignment a;
    a.type = type, a.name = name, a.numbers = std::move(v);
    return a;
}
inline ParamAssignment stringParam(const std::string& name, const std::string& v) {
    ParamAssignment a;
    a.type = "string", a.name = name, a.strings = {v};
    return a;
}
inline ParamAssignment reference(const std::string& type, const std::string& name,
                                 std::vector<std::string> refs, int arraySize = -1) {
    ParamAssignment a;
    a.type = type, a.name = name, a.reference = true, a.strings = std::move(refs),
    a.arraySize = arraySize;
    return a;
}

struct NodeSpec {
    std::string type, handle;
    std::vector<ParamAssignment> params;
};

std::unique_ptr<host::Network> makeNetwork(const std::vector<NodeSpec>& nodes,
                                           host::Host& h = sharedHost());

// Points on a line, a grid or at given positions; radius r, st = (x, y), Po = P.
host::BatchPoints pointsAt(const std::vector<RtPoint3>& P, float radius = 0.01f);
std::vector<RtPoint3> gridPoints(int n, float scale, RtPoint3 origin = {0.f, 0.f, 0.f});

// What the points see besides their positions: coordinate systems, the alternative position
// (default P) and primitive variables (values for every point).
struct Scene {
    host::Spaces spaces;
    std::vector<RtPoint3> Po;
    std::vector<host::PrimVar> primvars;
};

// Evaluates outputs on the given points with the runtime's batch runner. Each result is the
// flat list of values (1 or 3 per point).
std::vector<std::vector<float>> evaluate(const host::Network& net,
                                         const std::vector<std::string>& outputs,
                                         const std::vector<RtPoint3>& P,
                                         host::RunOptions options = {}, const Scene& scene = {});

// Calls one node's ComputeOutputParams directly, on one batch of points, as the host would in a
// run that requests `requested` ("handle:output"). The records stay valid until the next call.
class NodeCall {
public:
    NodeCall(const host::Network& net, const std::string& requested,
             const std::vector<RtPoint3>& P);

    // The count and records start as given, so a test can see that a node left them alone.
    int call(const std::string& handle, int presetCount = 0, OutputSpec* presetRecords = nullptr);

    int numOutputs = 0;
    OutputSpec* outputs = nullptr;
    host::BatchEvaluator& evaluator() { return m_evaluator; }
    const host::BatchPoints& points() const { return m_points; }

private:
    const host::Network& m_net;
    host::Spaces m_spaces;
    host::EvaluationPlan m_plan;
    host::BatchEvaluator m_evaluator;
    host::BatchPoints m_points;
};

}  // namespace tessera::test
