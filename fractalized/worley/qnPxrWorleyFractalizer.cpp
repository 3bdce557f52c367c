// qnPxrWorleyFractalizer: the Worley generator, layered by the fractal engine.
#include "fractalized.h"
#include "worley_layer.h"

using namespace tessera;

namespace {

struct WorleyLayerGenerator {
    static constexpr auto kInputs = params(worleyCellInputs(), inInt("invert", 0));

    struct Batch {
        const float *frequency, *jitter, *c1, *c2;
        WorleyParams uniform;
        DistanceMetric metric;
    };

    template <std::size_t N>
    static Batch prepare(const Inputs<N>& in, int first) {
        const auto id = [first](const char* name) { return first + paramId(kInputs, name); };
        Batch b;
        b.frequency = in.template varying<float>(id("frequency"));
        b.jitter = in.template varying<float>(id("jitter"));
        b.c1 = in.template varying<float>(id("c1"));
        b.c2 = in.template varying<float>(id("c2"));
        b.metric = metricFromCode(in.template uniform<int>(id("distancemetric")));
        b.uniform.minkowskiExponent =
            minkowskiExponent(in.template uniform<float>(id("minkowskiExponent")));
        b.uniform.shape = in.template uniform<int>(id("shape"));
        b.uniform.clamp = in.template uniform<int>(id("clamp")) != 0;
        b.uniform.invert = in.template uniform<int>(id("invert")) != 0;
        return b;
    }

    static void run(const Batch& b, const RixShadeFunctions& sf, const RtPoint3* Q, const float*,
                    float* v, int n) {
        withMetric(b.metric, [&](auto metric) {
            WorleyParams p = b.uniform;
            for (int k = 0; k < n; ++k) {
                p.frequency = b.frequency[k], p.jitter = b.jitter[k], p.c1 = b.c1[k],
                p.c2 = b.c2[k];
                v[k] = worleyLayer<decltype(metric)::value>(p, Q[k], sf);
            }
        });
    }
};

}  // namespace

class qnPxrWorleyFractalizer final : public FractalizedPattern<WorleyLayerGenerator> {};

TESSERA_PATTERN_ENTRY_POINTS(qnPxrWorleyFractalizer)
