// qnPxrWorley and qnPxrWorleyFractalizer per point, against the 27 cell lookups per point (and
// layer) that no Worley search can avoid.
#include <cmath>

#include "support.h"

using namespace tessera;

namespace {

const RixShadeFunctions& shadeFunctions() {
    return *static_cast<RixShadeFunctions*>(
        bench::benchHost().GetRixInterface(k_RixShadeFunctions));
}

// 27 lookups at the cells around each point scaled by the default frequency 4, `layers` times.
template <class Lookup>
double searchBaseline(int layers, Lookup lookup) {
    return bench::baselineNsPerPoint([&](const RtPoint3& p) {
        const RtPoint3 C{std::floor(p.x * 4) + 0.5f, std::floor(p.y * 4) + 0.5f,
                         std::floor(p.z * 4) + 0.5f};
        float sum = 0.f;
        for (int l = 0; l < layers; ++l)
            for (int a = -1; a <= 1; ++a)
                for (int b = -1; b <= 1; ++b)
                    for (int c = -1; c <= 1; ++c) {
                        const RtPoint3 K{C.x + a + l, C.y + b, C.z + c};
                        sum += lookup(K);
                    }
        return sum;
    });
}

void BM_qnPxrWorley(benchmark::State& state) {
    static const auto net = bench::singleNode("qnPxrWorley");
    const RixShadeFunctions& sf = shadeFunctions();
    static const double baseline =
        searchBaseline(1, [&sf](const RtPoint3& K) { return sf.CellNoise(&K, 0.f); });
    bench::runNode(state, *net, baseline);
}
BENCHMARK(BM_qnPxrWorley)->Threads(1)->Threads(2)->UseRealTime();

void BM_qnPxrWorleyFractalizer(benchmark::State& state) {
    static const auto net = bench::singleNode("qnPxrWorleyFractalizer");  // 3 layers by default
    const RixShadeFunctions& sf = shadeFunctions();
    static const double baseline =
        searchBaseline(3, [&sf](const RtPoint3& K) { return sf.PointCellNoise(&K); });
    bench::runNode(state, *net, baseline);
}
BENCHMARK(BM_qnPxrWorleyFractalizer)->Threads(1)->Threads(2)->UseRealTime();

}  // namespace
