// qnManifold3DPlus: the manifold source, scaled (by a frequency from PxrFractalizerState when a
// renderer publishes it) and offset.
#include "manifold_source.h"

using namespace tessera;

namespace {

struct Manifold3DDeclaration : ManifoldNodeIds {
    static constexpr std::array<RixInterfaceId, 0> kServices{};
};

RtUString fractalizerStateName() {
    static const RtUString name = RtUString::UstrMakeUnique("PxrFractalizerState");
    return name;
}

}  // namespace

class qnManifold3DPlus final : public Pattern<Manifold3DDeclaration> {
    using D = Manifold3DDeclaration;

    int compute(const RixShadingContext* ctx, int* numOutputs,
                OutputSpec** outputs) const override {
        const auto in = evaluateInputs(ctx);
        const ManifoldSource source = ManifoldSource::from(in);
        // Only the y of the first value is a frequency; x and z are not used.
        const RtFloat3* state = nullptr;
        ctx->GetPrimVar(fractalizerStateName(), RtFloat3{0.f, 1.f, 0.f}, &state, nullptr);
        const float frequency = state ? state[0].y : 1.f;

        const Outputs out = allocateManifoldOutputs(ctx, D::kParams);
        out.publish(numOutputs, outputs);
        RtPoint3* Q = out.triples(D::kQ);
        float* Qradius = out.floats(D::kQradius);
        source.fill(ctx, Q, Qradius);

        const RtFloat3* scale = in.varying<RtFloat3>(D::kScale);
        const RtFloat3* offset = in.varying<RtFloat3>(D::kOffset);
        for (int i = 0; i < ctx->numPts; ++i) {
            const RtFloat3 sv = scale[i] * frequency, o = offset[i];
            Q[i] = {sv.x * Q[i].x - o.x, sv.y * Q[i].y - o.y, sv.z * Q[i].z - o.z};
            const float r = Qradius[i];
            Qradius[i] = tessera::max(r * sv.x - o.x, tessera::max(r * sv.y - o.y, r * sv.z - o.z));
        }
        writeComponentOutputs(out, D::kResultX, Q, ctx->numPts);
        return 0;
    }
};

TESSERA_PATTERN_ENTRY_POINTS(qnManifold3DPlus)
