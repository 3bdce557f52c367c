// qnConditionalSwitchC: per point, conditionTrueOutput where the condition holds, else
// conditionFalseOutput.
#include "conditional.h"
#include "outputs.h"

using namespace tessera;

namespace {

struct ConditionalSwitchCDeclaration {
    static constexpr auto kParams = params(  //
        outColor("resultRGB"), outFloat("resultR"), outFloat("resultG"), outFloat("resultB"),
        conditionInputs(),                                            //
        inColor("conditionTrueOutput", 0.f, 0.f, 0.f, Eval::Manual),  //
        inColor("conditionFalseOutput", 0.f, 0.f, 0.f, Eval::Manual));
    static constexpr std::array<RixInterfaceId, 1> kServices{k_RixMessages};
    static constexpr int kResultRGB = paramId(kParams, "resultRGB"),
                         kResultR = paramId(kParams, "resultR"),
                         kResultG = paramId(kParams, "resultG"),
                         kResultB = paramId(kParams, "resultB"),
                         kInputA = paramId(kParams, "inputA"),
                         kTrue = paramId(kParams, "conditionTrueOutput"),
                         kFalse = paramId(kParams, "conditionFalseOutput");
};

}  // namespace

class qnConditionalSwitchC final : public Pattern<ConditionalSwitchCDeclaration> {
    using D = ConditionalSwitchCDeclaration;

    int compute(const RixShadingContext* ctx, int* numOutputs,
                OutputSpec** outputs) const override {
        const auto in = evaluateInputs(ctx);
        SwitchCondition condition;
        if (!SwitchCondition::read(ctx, in, D::kInputA, *services().messages, &condition)) return 1;
        const RtColorRGB *whenTrue = nullptr, *whenFalse = nullptr;
        ctx->EvalParam(D::kTrue, -1, &whenTrue, &defaultOf(D::kTrue).c, true);
        ctx->EvalParam(D::kFalse, -1, &whenFalse, &defaultOf(D::kFalse).c, true);

        const Outputs out = allocateConnectedOutputs(ctx, D::kParams);
        out.publish(numOutputs, outputs);
        RtColorRGB* rgb = out.colors(D::kResultRGB);
        if (!rgb) rgb = BatchAllocator(ctx).colors(ctx->numPts);  // computed even when unread
        condition.route(ctx->numPts,
                        [&](int i, bool holds) { rgb[i] = holds ? whenTrue[i] : whenFalse[i]; });
        writeComponentOutputs(out, D::kResultR, rgb, ctx->numPts);
        return 0;
    }
};

TESSERA_PATTERN_ENTRY_POINTS(qnConditionalSwitchC)
