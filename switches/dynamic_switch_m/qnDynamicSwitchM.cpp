// qnDynamicSwitchM: the manifold input that indexNumber - indexBase selects for the whole batch,
// or the fallback manifold (with at most one message per batch).
#include <cstdint>

#include "conditional.h"
#include "manifold.h"
#include "numeric.h"

using namespace tessera;

namespace {

struct DynamicSwitchMDeclaration {
    static constexpr auto kParams = params(                                               //
        outFloat("resultX"), outFloat("resultY"), outFloat("resultZ"), manifoldOutput(),  //
        inFloat("indexNumber", 0.f, Eval::Uniform), inFloat("indexBase", 0.f, Eval::Uniform),
        inInt("supressErrMsg", 0), manifoldInput("fallbackManifold"),  //
        manifoldInput("inputManifold0"), manifoldInput("inputManifold1"),
        manifoldInput("inputManifold2"), manifoldInput("inputManifold3"),
        manifoldInput("inputManifold4"), manifoldInput("inputManifold5"),
        manifoldInput("inputManifold6"), manifoldInput("inputManifold7"),
        manifoldInput("inputManifold8"), manifoldInput("inputManifold9"));
    static constexpr std::array<RixInterfaceId, 1> kServices{k_RixMessages};
    static constexpr int kResultX = paramId(kParams, "resultX"), kQ = paramId(kParams, "Q"),
                         kQradius = paramId(kParams, "Qradius"),
                         kIndexNumber = paramId(kParams, "indexNumber"),
                         kIndexBase = paramId(kParams, "indexBase"),
                         kSuppress = paramId(kParams, "supressErrMsg"),
                         kFallback = paramId(kParams, "fallbackManifold"),
                         kInput0 = paramId(kParams, "inputManifold0");
    static constexpr int kInputs = 10;
};

}  // namespace

class qnDynamicSwitchM final : public Pattern<DynamicSwitchMDeclaration> {
    using D = DynamicSwitchMDeclaration;

    int compute(const RixShadingContext* ctx, int* numOutputs,
                OutputSpec** outputs) const override {
        const auto in = evaluateInputs(ctx);
        const bool quiet = in.uniform<int>(D::kSuppress) != 0;
        const Outputs out = allocateManifoldOutputs(ctx, D::kParams);
        out.publish(numOutputs, outputs);
        Manifold source = resolveManifold(ctx, D::kFallback);

        // NaN and values beyond the int range truncate to the most negative int.
        const int n = truncToInt(in.uniform<float>(D::kIndexNumber));
        const int b = truncToInt(in.uniform<float>(D::kIndexBase));
        const std::int64_t last = std::int64_t(b) + (D::kInputs - 1);  // no overflow near INT_MAX
        RixMessages& messages = *services().messages;
        if (n < 0) {
            if (!quiet)
                messages.LogMessage(
                    "Index value can not be less than 0. Using fallback inputManifold instead.");
        } else if (n > last || n < b) {
            if (!quiet)
                messages.LogMessage(
                    "Requested index '%d' in qnDynamicSwitchM does not exist; index input ranges "
                    "between '%d' and '%d'. Using fallback manifold instead.",
                    n, b, static_cast<int>(static_cast<std::uint32_t>(last)));
        } else {
            const int begin = D::kInput0 + 4 * static_cast<int>(std::int64_t(n) - b);
            if (isConnected(ctx, begin)) source = resolveManifold(ctx, begin);
        }

        RtPoint3* Q = out.triples(D::kQ);
        float* Qradius = out.floats(D::kQradius);
        for (int i = 0; i < ctx->numPts; ++i) Q[i] = source.Q[i], Qradius[i] = source.Qradius[i];
        writeComponentOutputs(out, D::kResultX, Q, ctx->numPts);
        return 0;
    }
};

TESSERA_PATTERN_ENTRY_POINTS(qnDynamicSwitchM)
