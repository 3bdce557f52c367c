// qnGrayCells: the gray cells generator as a pattern plug-in.
#include "gray_cells.h"
#include "manifold.h"
#include "outputs.h"
#include "pattern.h"

using namespace tessera;

namespace {

struct GrayCellsDeclaration {
    static constexpr auto kParams = params(  //
        outFloat("resultF"),                 //
        outColor("resultRGB"),               //
        inInt("seed", 0, Eval::Uniform),     //
        inFloat("frequency", 1.0f, Eval::Varying), manifoldInput());
    static constexpr std::array<RixInterfaceId, 2> kServices{k_RixMessages, k_RixShadeFunctions};

    static constexpr int kResultF = paramId(kParams, "resultF");
    static constexpr int kResultRGB = paramId(kParams, "resultRGB");
    static constexpr int kSeed = paramId(kParams, "seed");
    static constexpr int kFrequency = paramId(kParams, "frequency");
    static constexpr int kManifold = paramId(kParams, "manifold");
};

}  // namespace

class qnGrayCells final : public Pattern<GrayCellsDeclaration> {
    using D = GrayCellsDeclaration;

    int compute(const RixShadingContext* ctx, int* numOutputs,
                OutputSpec** outputs) const override {
        const auto in = evaluateInputs(ctx);
        const Outputs out = allocateAllOutputs(ctx, D::kParams);
        out.publish(numOutputs, outputs);
        const Manifold m = resolveManifold(ctx, D::kManifold);

        const RixShadeFunctions& sf = *services().shadeFunctions;
        GrayCellsParams p;
        p.seed = static_cast<float>(in.uniform<int>(D::kSeed));
        const float* frequency = in.varying<float>(D::kFrequency);
        float* resultF = out.floats(D::kResultF);
        RtColorRGB* resultRGB = out.colors(D::kResultRGB);
        for (int i = 0; i < ctx->numPts; ++i) {
            p.frequency = frequency[i];
            const float v = grayCells(p, m.Q[i], sf);
            resultF[i] = v;
            resultRGB[i] = {v, v, v};
        }
        return 0;
    }
};

TESSERA_PATTERN_ENTRY_POINTS(qnGrayCells)
