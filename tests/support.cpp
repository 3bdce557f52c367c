#include "support.h"

#include <stdexcept>

namespace tessera::test {

std::vector<std::string> testSearchPath() {
    return {TESSERA_TEST_PLUGIN_DIR, TESSERA_TEST_FIXTURE_DIR};
}

host::Host& sharedHost() {
    static host::Host* h = new host::Host(testSearchPath());
    return *h;
}

std::unique_ptr<host::Network> makeNetwork(const std::vector<NodeSpec>& nodes, host::Host& h) {
    auto net = std::make_unique<host::Network>(h);
    for (const NodeSpec& n : nodes) net->addNode(n.type, n.handle, n.params);
    net->finalize();
    return net;
}

host::BatchPoints pointsAt(const std::vector<RtPoint3>& P, float radius) {
    host::BatchPoints pts;
    pts.resize(static_cast<int>(P.size()));
    for (std::size_t i = 0; i < P.size(); ++i) {
        pts.P[i] = pts.Po[i] = P[i];
        pts.radius[i] = pts.stRadius[i] = radius;
        pts.st[i] = {P[i].x, P[i].y};
    }
    return pts;
}

std::vector<RtPoint3> gridPoints(int n, float scale, RtPoint3 origin) {
    std::vector<RtPoint3> P;
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i)
            P.push_back(
                {origin.x + (i + 0.5f) * scale / n, origin.y + (j + 0.5f) * scale / n, origin.z});
    return P;
}

std::vector<std::vector<float>> evaluate(const host::Network& net,
                                         const std::vector<std::string>& outputs,
                                         const std::vector<RtPoint3>& P, host::RunOptions options,
                                         const Scene& scene) {
    std::vector<host::OutputRef> refs;
    for (const std::string& o : outputs) refs.push_back(net.output(o));
    const host::EvaluationPlan plan(net, refs, scene.spaces);
    host::BatchPoints all = pointsAt(P);
    if (!scene.Po.empty()) all.Po = scene.Po;
    std::vector<std::vector<float>> values(refs.size());
    for (std::size_t r = 0; r < refs.size(); ++r)
        values[r].assign(P.size() * static_cast<std::size_t>(host::componentsOf(refs[r].type)),
                         0.f);

    const auto fill = [&](int begin, int count, host::BatchPoints& pts) {
        for (int i = 0; i < count; ++i) {
            const auto k = static_cast<std::size_t>(begin + i);
            pts.P[i] = all.P[k], pts.Po[i] = all.Po[k], pts.radius[i] = all.radius[k];
            pts.st[i] = all.st[k], pts.stRadius[i] = all.stRadius[k];
        }
        pts.primvars.resize(scene.primvars.size());
        for (std::size_t v = 0; v < scene.primvars.size(); ++v) {
            const host::PrimVar& src = scene.primvars[v];
            const auto c = static_cast<std::size_t>(src.components);
            pts.primvars[v].name = src.name, pts.primvars[v].components = src.components;
            pts.primvars[v].values.assign(
                src.values.begin() + static_cast<std::ptrdiff_t>(begin * c),
                src.values.begin() + static_cast<std::ptrdiff_t>((begin + count) * c));
        }
    };
    const auto store = [&](int begin, int count, const std::vector<const void*>& results) {
        for (std::size_t r = 0; r < refs.size(); ++r) {
            if (!results[r]) continue;
            const int c = host::componentsOf(refs[r].type);
            const float* src = static_cast<const float*>(results[r]);
            std::copy(src, src + count * c,
                      values[r].begin() + static_cast<std::ptrdiff_t>(begin * c));
        }
    };
    const host::RunResult run =
        host::runBatches(plan, static_cast<int>(P.size()), fill, store, options);
    if (run.failure)
        throw std::runtime_error("node " + net.node(run.failure.node).handle + " failed");
    return values;
}

NodeCall::NodeCall(const host::Network& net, const std::string& requested,
                   const std::vector<RtPoint3>& P)
    : m_net(net),
      m_plan(net, {net.output(requested)}, m_spaces),
      m_evaluator(m_plan),
      m_points(pointsAt(P)) {}

int NodeCall::call(const std::string& handle, int presetCount, OutputSpec* presetRecords) {
    const int k = m_net.find(handle);
    numOutputs = presetCount;
    outputs = presetRecords;
    return m_net.node(k).object->ComputeOutputParams(m_evaluator.contextFor(k, m_points),
                                                     &numOutputs, &outputs, nullptr);
}

}  // namespace tessera::test
