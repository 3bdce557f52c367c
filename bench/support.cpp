#include "support.h"

#include <chrono>

namespace tessera::bench {

host::Host& benchHost() {
    static host::Host* h = new host::Host(host::defaultSearchPath({TESSERA_BENCH_PLUGIN_DIR}));
    return *h;
}

std::unique_ptr<host::Network> singleNode(const std::string& type,
                                          const std::vector<host::ParamAssignment>& params) {
    auto net = std::make_unique<host::Network>(benchHost());
    net->addNode(type, "n", params);
    net->finalize();
    return net;
}

host::BatchPoints patchPoints(float extent) {
    host::BatchPoints pts;
    pts.resize(kBatch);
    for (int i = 0; i < kBatch; ++i) {
        const float x = extent * ((i % 32) + 0.5f) / 32, y = extent * ((i / 32) + 0.5f) / 32;
        pts.P[i] = pts.Po[i] = {x, y, 0.37f};
        pts.radius[i] = pts.stRadius[i] = extent / 32;
        pts.st[i] = {x, y};
    }
    return pts;
}

void runNode(benchmark::State& state, const host::Network& net, double baselineNs) {
    static const host::Spaces spaces;
    const host::EvaluationPlan plan(net, {net.defaultOutput()}, spaces);
    host::BatchEvaluator evaluator(plan);
    const host::BatchPoints pts = patchPoints();
    std::vector<const void*> results;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        evaluator.evaluate(pts, results);
        benchmark::DoNotOptimize(results.data());
    }
    const double ns =
        std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
    reportPerPoint(state, "ns_per_point", ns);
    state.counters["baseline_ns"] = benchmark::Counter(baselineNs, benchmark::Counter::kAvgThreads);
    state.counters["ratio"] = benchmark::Counter(
        ns / (double(state.iterations()) * kBatch) / baselineNs, benchmark::Counter::kAvgThreads);
}

void reportPerPoint(benchmark::State& state, const char* name, double elapsedNs) {
    state.counters[name] = benchmark::Counter(elapsedNs / (double(state.iterations()) * kBatch),
                                              benchmark::Counter::kAvgThreads);
    state.SetItemsProcessed(state.iterations() * kBatch);
}

}  // namespace tessera::bench
