// qnFractalizer: layers any upstream network. For each layer it publishes the layer-state values
// on an override of its context and evaluates `input` again through it, then weights and
// normalises the layers as the fractal engine does.
#include "layer_state.h"
#include "layering.h"
#include "manifold.h"
#include "outputs.h"

using namespace tessera;

namespace {

struct FractalizerDeclaration {
    static constexpr auto kParams = params(  //
        outColor("resultRGB"),               //
        inColor("input", 0.5f, 0.5f, 0.5f, Eval::Manual), inInt("fracType", 0),
        inInt("absOption", 0), inFloat("absWidth", 0.f, Eval::Varying), inInt("invert", 0),
        inInt("layers", 3), inFloat("offset", 1.f, Eval::Uniform),
        inFloat("rotation", 180.f, Eval::Uniform), inInt("variation", 0),
        inFloat("frequency", 1.f, Eval::Uniform), inFloat("lacunarity", 2.f, Eval::Uniform),
        inFloat("dimension", 1.f, Eval::Uniform), inFloat("gain", 0.5f, Eval::Uniform),
        inFloat("erosion", 0.f, Eval::Uniform));
    static constexpr std::array<RixInterfaceId, 2> kServices{k_RixMessages, k_RixShadeFunctions};

    static constexpr int kResultRGB = paramId(kParams, "resultRGB"),
                         kInput = paramId(kParams, "input"),
                         kFracType = paramId(kParams, "fracType"),
                         kAbsOption = paramId(kParams, "absOption"),
                         kAbsWidth = paramId(kParams, "absWidth"),
                         kInvert = paramId(kParams, "invert"), kLayers = paramId(kParams, "layers"),
                         kOffset = paramId(kParams, "offset"),
                         kRotation = paramId(kParams, "rotation"),
                         kVariation = paramId(kParams, "variation"),
                         kFrequency = paramId(kParams, "frequency"),
                         kLacunarity = paramId(kParams, "lacunarity"),
                         kDimension = paramId(kParams, "dimension"),
                         kGain = paramId(kParams, "gain"), kErosion = paramId(kParams, "erosion");
};

}  // namespace

class qnFractalizer final : public Pattern<FractalizerDeclaration> {
    using D = FractalizerDeclaration;

    int compute(const RixShadingContext* ctx, int* numOutputs,
                OutputSpec** outputs) const override {
        const auto in = evaluateInputs(ctx);
        if (!isConnected(ctx, D::kInput)) return -1;  // nothing to layer; no outputs

        const int type = in.uniform<int>(D::kFracType);
        const bool absOption = in.uniform<int>(D::kAbsOption) == 1;
        const float* absWidth = in.varying<float>(D::kAbsWidth);
        const int layers = in.uniform<int>(D::kLayers);
        const float offset = in.uniform<float>(D::kOffset),
                    rotation = in.uniform<float>(D::kRotation);
        const int variation = in.uniform<int>(D::kVariation);
        const float lacunarity = in.uniform<float>(D::kLacunarity),
                    dimension = in.uniform<float>(D::kDimension);
        const float gain = in.uniform<float>(D::kGain), erosion = in.uniform<float>(D::kErosion);

        const Outputs out = allocateLayeredColorOutput(ctx);
        out.publish(numOutputs, outputs);
        RtColorRGB* C = out.colors(D::kResultRGB);
        const int n = ctx->numPts;
        const BatchAllocator alloc(ctx);
        float* W = alloc.floats(n);
        float* S = alloc.floats(n);
        for (int k = 0; k < n; ++k) W[k] = 1.f, S[k] = 0.f;

        RixShadingContext* layerCtx = ctx->CreateOverrideContext();
        const LayerStateNames& names = layerStateNames();
        float f = in.uniform<float>(D::kFrequency);
        for (int j = 0; j < layers && layerCtx; ++j) {
            const float layerVariation = static_cast<float>(variation) + static_cast<float>(j);
            layerCtx->SetNamedValue(names.offset, 1, &offset, nullptr);
            layerCtx->SetNamedValue(names.rotation, 1, &rotation, nullptr);
            layerCtx->SetNamedValue(names.variation, 1, &layerVariation, nullptr);
            layerCtx->SetNamedValue(names.frequency, 1, &f, nullptr);
            const RtColorRGB* x = nullptr;
            const RixSCDetail detail = layerCtx->EvalParam(D::kInput, -1, &x, nullptr, false);
            // A value that does not come back counts as the input's default; a single value
            // serves every point rather than being read past its end.
            if (!x) x = &defaultOf(D::kInput).c;
            const int stride = x == &defaultOf(D::kInput).c || detail != k_RixSCVarying ? 0 : 1;
            f = f * lacunarity;  // the next layer's, before this layer's weights

            const WeightLaw law = WeightLaw::of(type, f, dimension, gain, erosion, j + 1, false);
            for (int k = 0; k < n; ++k) {
                RtColorRGB v = x[k * stride];
                if (absOption) {
                    const float w = absWidth[k];
                    v = {softabs((v.r - 0.5f) * 2.f, w), softabs((v.g - 0.5f) * 2.f, w),
                         softabs((v.b - 0.5f) * 2.f, w)};
                }
                C[k] = {C[k].r + W[k] * v.r, C[k].g + W[k] * v.g, C[k].b + W[k] * v.b};
                S[k] += W[k];
                W[k] = law.next(luminance(C[k]) / S[k], W[k]);
                C[k] = C[k] * (S[k] == 0.f ? 0.00000001f : 1.f / S[k]);
            }
        }
        if (in.uniform<int>(D::kInvert) == 1)
            for (int k = 0; k < n; ++k) C[k] = {1.f - C[k].r, 1.f - C[k].g, 1.f - C[k].b};
        return 0;
    }
};

TESSERA_PATTERN_ENTRY_POINTS(qnFractalizer)
