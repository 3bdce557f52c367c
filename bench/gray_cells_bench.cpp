// qnGrayCells per point, and the cost of the one CellNoise call per point it cannot avoid.
#include <chrono>

#include "support.h"

using namespace tessera;

namespace {

const RixShadeFunctions& shadeFunctions() {
    return *static_cast<RixShadeFunctions*>(
        bench::benchHost().GetRixInterface(k_RixShadeFunctions));
}

double elapsedNs(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start)
        .count();
}

double cellNoiseBaseline() {
    const RixShadeFunctions& sf = shadeFunctions();
    static const double ns =
        bench::baselineNsPerPoint([&sf](const RtPoint3& p) { return sf.CellNoise(&p, 0.f); });
    return ns;
}

// One shade-function call per point of a batch, through the service's interface as nodes call it.
template <class Call>
void callsPerPoint(benchmark::State& state, Call call) {
    const host::BatchPoints pts = bench::patchPoints();
    const RixShadeFunctions& sf = shadeFunctions();
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
        for (int i = 0; i < bench::kBatch; ++i) benchmark::DoNotOptimize(call(sf, pts.P[i]));
    bench::reportPerPoint(state, "ns_per_call", elapsedNs(start));
}

void BM_CellNoise(benchmark::State& state) {
    callsPerPoint(state, [](const RixShadeFunctions& sf, const RtPoint3& p) {
        return sf.CellNoise(&p, 0.f);
    });
}
BENCHMARK(BM_CellNoise);

void BM_Noise(benchmark::State& state) {
    callsPerPoint(state,
                  [](const RixShadeFunctions& sf, const RtPoint3& p) { return sf.Noise(&p, 0.f); });
}
BENCHMARK(BM_Noise);

void BM_qnGrayCells(benchmark::State& state) {
    static const auto net = bench::singleNode("qnGrayCells");
    const double baseline = cellNoiseBaseline();
    bench::runNode(state, *net, baseline);
}
BENCHMARK(BM_qnGrayCells)->Threads(1)->Threads(2)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
