// The composition every fractalized plug-in shares: its parameter table (outputs, generator
// inputs, manifold, remap blocks A and B, fractal block), and per batch: evaluate, allocate,
// resolve the manifold, run the layers (transform, generator, remap A, remap B, accumulate),
// normalise and write the outputs.
//
// A deliverable supplies only a generator adapter G:
//   static constexpr auto kInputs = params(...);    // its inputs, in table order
//   struct Batch { ... };                             // those inputs evaluated for one batch
//   template <std::size_t N> static Batch prepare(const Inputs<N>& in, int firstInputId);
//   static void run(const Batch&, const RixShadeFunctions&, const RtPoint3* Q, const float* R,
//                   float* v, int n);               // one layer's value per point into v
#pragma once

#include "batch_allocator.h"
#include "layering.h"
#include "manifold.h"
#include "outputs.h"
#include "remap.h"

namespace tessera {

// Runs every layer over the batch and leaves the accumulated state. layer(Q', R', v, n) must
// fill v with the layer's (remapped) values at the transformed positions.
template <class Value, class Layer>
Accumulator<Value> runLayers(const RixShadingContext* ctx, const FractalParams& frac,
                             const Manifold& m, const RixShadeFunctions& sf, Value* v,
                             const Layer& layer) {
    const BatchAllocator alloc(ctx);
    const int n = ctx->numPts;
    Accumulator<Value> acc;
    acc.W = alloc.floats(n);
    acc.S = alloc.floats(n);
    acc.A = alloc.get<Value>(n);
    RtPoint3* Qt = alloc.triples(n);
    float* Rt = alloc.floats(n);
    for (int k = 0; k < n; ++k) acc.W[k] = 1.f, acc.S[k] = 0.f, acc.A[k] = Value{};

    float f = frac.frequency;
    for (int j = 0; j < frac.layers; ++j) {
        LayerTransform::of(frac, j, f, sf).apply(m.Q, m.Qradius, n, Qt, Rt);
        layer(static_cast<const RtPoint3*>(Qt), static_cast<const float*>(Rt), v, n);
        accumulateLayer(frac, j, f, v, acc, n);
        f = f * frac.lacunarity;
    }
    return acc;
}

template <class G>
struct FractalizedDeclaration {
    static constexpr auto kParams =
        params(outFloat("resultF"), outColor("resultRGB"), G::kInputs, manifoldInput(),
               remapBlock(kRemapNamesA), remapBlock(kRemapNamesB), fractalBlock());
    static constexpr std::array<RixInterfaceId, 2> kServices{k_RixMessages, k_RixShadeFunctions};

    static constexpr int kResultF = paramId(kParams, "resultF");
    static constexpr int kResultRGB = paramId(kParams, "resultRGB");
    static constexpr int kFirstInput = 2;
    static constexpr int kManifold = paramId(kParams, "manifold");
    static constexpr int kRemapA = paramId(kParams, "remapOnA");
    static constexpr int kRemapB = paramId(kParams, "remapOnB");
    static constexpr int kFractal = paramId(kParams, "fracType");
};

// The scalar fractalized plug-in over generator G.
template <class G>
class FractalizedPattern : public Pattern<FractalizedDeclaration<G>> {
    using D = FractalizedDeclaration<G>;

protected:
    int compute(const RixShadingContext* ctx, int* numOutputs,
                OutputSpec** outputs) const override {
        const auto in = this->evaluateInputs(ctx);
        const typename G::Batch generator = G::prepare(in, D::kFirstInput);
        const auto remapA = RemapBlock<float>::from(in, D::kRemapA);
        const auto remapB = RemapBlock<float>::from(in, D::kRemapB);
        const FractalParams frac = FractalParams::from(in, D::kFractal);

        const Outputs out = allocateAllOutputs(ctx, D::kParams);
        out.publish(numOutputs, outputs);
        const Manifold m = resolveManifold(ctx, D::kManifold);

        const RixShadeFunctions& sf = *this->services().shadeFunctions;
        float* v = out.floats(D::kResultF);  // the layer values, then the result
        const Accumulator<float> acc = runLayers(
            ctx, frac, m, sf, v, [&](const RtPoint3* Q, const float* R, float* values, int n) {
                G::run(generator, sf, Q, R, values, n);
                remapA.apply(values, n);
                remapB.apply(values, n);
            });
        finishLayers(frac, acc, v, ctx->numPts);
        RtColorRGB* rgb = out.colors(D::kResultRGB);
        for (int k = 0; k < ctx->numPts; ++k) rgb[k] = {v[k], v[k], v[k]};
        return 0;
    }
};

}  // namespace tessera
