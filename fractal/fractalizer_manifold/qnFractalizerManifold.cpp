// qnFractalizerManifold: the manifold source, rotated and scaled for the layer that an enclosing
// qnFractalizer is evaluating.
#include "layer_state.h"
#include "manifold_source.h"

using namespace tessera;

namespace {

struct FractalizerManifoldDeclaration : ManifoldNodeIds {
    static constexpr std::array<RixInterfaceId, 1> kServices{k_RixShadeFunctions};
};

float firstValue(const RixShadingContext* ctx, RtUString name, float fill) {
    const float* v = nullptr;
    ctx->GetPrimVar(name, fill, &v);
    return v ? v[0] : fill;
}

}  // namespace

class qnFractalizerManifold final : public Pattern<FractalizerManifoldDeclaration> {
    using D = FractalizerManifoldDeclaration;

    int compute(const RixShadingContext* ctx, int* numOutputs,
                OutputSpec** outputs) const override {
        const auto in = evaluateInputs(ctx);
        const ManifoldSource source = ManifoldSource::from(in);
        const LayerStateNames& names = layerStateNames();
        const float frequency = firstValue(ctx, names.frequency, kDefaultLayerFrequency);
        const float rotation = firstValue(ctx, names.rotation, kDefaultLayerRotation);
        const float variation = firstValue(ctx, names.variation, kDefaultLayerVariation);

        const Outputs out = allocateManifoldOutputs(ctx, D::kParams);
        out.publish(numOutputs, outputs);
        RtPoint3* Q = out.triples(D::kQ);
        float* Qradius = out.floats(D::kQradius);
        source.fill(ctx, Q, Qradius);

        // The layer's rotation and scale change depend on the variation alone: once per batch.
        const RixShadeFunctions& sf = *services().shadeFunctions;
        const float a = radians(rotation);
        float s = 0.f, c = 1.f;
        sincos(lerp(-a, a, sf.FloatCellNoise(variation + 31.f)), &s, &c);
        const float u = static_cast<float>(lerpd(-0.5, 0.5, sf.FloatCellNoise(variation)));

        const RtFloat3* scale = in.varying<RtFloat3>(D::kScale);
        const RtFloat3* offset = in.varying<RtFloat3>(D::kOffset);
        for (int i = 0; i < ctx->numPts; ++i) {
            const RtFloat3 sv = scale[i] * frequency;
            const RtFloat3 m = sv + offset[i] * -1.f * u;
            const RtPoint3 q = Q[i];
            Q[i] = {(q.x * c - q.y * s) * m.x, (q.x * s + q.y * c) * m.y, q.z * m.z};
            const float r = Qradius[i];
            Qradius[i] = tessera::max(r * m.x, tessera::max(r * m.y, r * m.z));
        }
        writeComponentOutputs(out, D::kResultX, Q, ctx->numPts);
        return 0;
    }
};

TESSERA_PATTERN_ENTRY_POINTS(qnFractalizerManifold)
