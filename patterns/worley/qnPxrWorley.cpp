// qnPxrWorley (class PxrWorley): the Worley cellular pattern as a pattern plug-in.
#include "manifold.h"
#include "outputs.h"
#include "pattern.h"
#include "worley.h"

using namespace tessera;

namespace {

struct WorleyDeclaration {
    static constexpr auto kParams = params(                                    //
        outFloat("resultF"), outColor("resultRGB"),                            //
        inInt("surfacePosition", 0),                                           //
        inInt("seed", 0),                                                      //
        worleyCellInputs(),                                                    //
        inFloat("randomScale", 0.f, Eval::Varying),                            //
        inFloat("randomScaleCenter", 0.f, Eval::Varying), inInt("invert", 0),  //
        manifoldInput());
    static constexpr std::array<RixInterfaceId, 1> kServices{k_RixShadeFunctions};

    static constexpr int kResultF = paramId(kParams, "resultF"),
                         kResultRGB = paramId(kParams, "resultRGB"),
                         kSurfacePosition = paramId(kParams, "surfacePosition"),
                         kSeed = paramId(kParams, "seed"),
                         kFrequency = paramId(kParams, "frequency"),
                         kMetric = paramId(kParams, "distancemetric"),
                         kJitter = paramId(kParams, "jitter"), kClamp = paramId(kParams, "clamp"),
                         kC1 = paramId(kParams, "c1"), kC2 = paramId(kParams, "c2"),
                         kMinkowski = paramId(kParams, "minkowskiExponent"),
                         kShape = paramId(kParams, "shape"),
                         kRandomScale = paramId(kParams, "randomScale"),
                         kRandomScaleCenter = paramId(kParams, "randomScaleCenter"),
                         kInvert = paramId(kParams, "invert"),
                         kManifold = paramId(kParams, "manifold");
};

}  // namespace

class PxrWorley final : public Pattern<WorleyDeclaration> {
    using D = WorleyDeclaration;

    int compute(const RixShadingContext* ctx, int* numOutputs,
                OutputSpec** outputs) const override {
        const auto in = evaluateInputs(ctx);
        WorleyParams p;
        p.seed = static_cast<float>(in.uniform<int>(D::kSeed));
        p.minkowskiExponent = minkowskiExponent(in.uniform<float>(D::kMinkowski));
        p.shape = in.uniform<int>(D::kShape);
        p.clamp = in.uniform<int>(D::kClamp) != 0;
        p.invert = in.uniform<int>(D::kInvert) != 0;
        const Outputs out = allocateAllOutputs(ctx, D::kParams);
        out.publish(numOutputs, outputs);
        const Manifold m = resolveObjectSpaceManifold(ctx, D::kManifold,
                                                      in.uniform<int>(D::kSurfacePosition), false);

        const float* frequency = in.varying<float>(D::kFrequency);
        const float* jitter = in.varying<float>(D::kJitter);
        const float* c1 = in.varying<float>(D::kC1);
        const float* c2 = in.varying<float>(D::kC2);
        const float* randomScale = in.varying<float>(D::kRandomScale);
        const float* randomScaleCenter = in.varying<float>(D::kRandomScaleCenter);
        float* resultF = out.floats(D::kResultF);
        RtColorRGB* resultRGB = out.colors(D::kResultRGB);
        const RixShadeFunctions& sf = *services().shadeFunctions;
        withMetric(metricFromCode(in.uniform<int>(D::kMetric)), [&](auto metric) {
            for (int i = 0; i < ctx->numPts; ++i) {
                p.frequency = frequency[i], p.jitter = jitter[i], p.c1 = c1[i], p.c2 = c2[i];
                p.randomScale = randomScale[i], p.randomScaleCenter = randomScaleCenter[i];
                const float v = worley<decltype(metric)::value>(p, m.Q[i], sf);
                resultF[i] = v;
                resultRGB[i] = {v, v, v};
            }
        });
        return 0;
    }
};

TESSERA_PATTERN_ENTRY_POINTS(PxrWorley)
