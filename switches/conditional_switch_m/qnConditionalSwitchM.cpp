// qnConditionalSwitchM: per point, the manifold conditionTrueOutput where the condition holds,
// else conditionFalseOutput; an unconnected branch is the current position.
#include "conditional.h"
#include "manifold.h"

using namespace tessera;

namespace {

struct ConditionalSwitchMDeclaration {
    static constexpr auto kParams = params(                                               //
        outFloat("resultX"), outFloat("resultY"), outFloat("resultZ"), manifoldOutput(),  //
        conditionInputs(), manifoldInput("conditionTrueOutput"),
        manifoldInput("conditionFalseOutput"));
    static constexpr std::array<RixInterfaceId, 1> kServices{k_RixMessages};
    static constexpr int kResultX = paramId(kParams, "resultX"), kQ = paramId(kParams, "Q"),
                         kQradius = paramId(kParams, "Qradius"),
                         kInputA = paramId(kParams, "inputA"),
                         kTrue = paramId(kParams, "conditionTrueOutput"),
                         kFalse = paramId(kParams, "conditionFalseOutput");
};

}  // namespace

class qnConditionalSwitchM final : public Pattern<ConditionalSwitchMDeclaration> {
    using D = ConditionalSwitchMDeclaration;

    int compute(const RixShadingContext* ctx, int* numOutputs,
                OutputSpec** outputs) const override {
        const auto in = evaluateInputs(ctx);
        SwitchCondition condition;
        if (!SwitchCondition::read(ctx, in, D::kInputA, *services().messages, &condition)) return 1;

        const Outputs out = allocateManifoldOutputs(ctx, D::kParams);
        out.publish(numOutputs, outputs);
        const Manifold whenTrue = resolveManifold(ctx, D::kTrue),
                       whenFalse = resolveManifold(ctx, D::kFalse);
        RtPoint3* Q = out.triples(D::kQ);
        float* Qradius = out.floats(D::kQradius);
        condition.route(ctx->numPts, [&](int i, bool holds) {
            const Manifold& m = holds ? whenTrue : whenFalse;
            Q[i] = m.Q[i];
            Qradius[i] = m.Qradius[i];
        });
        writeComponentOutputs(out, D::kResultX, Q, ctx->numPts);
        return 0;
    }
};

TESSERA_PATTERN_ENTRY_POINTS(qnConditionalSwitchM)
