// qnDynamicSwitchC: per point, the element of inputColor that indexBase + indexNumber selects, or
// outOfIndexColor with a message when no element has that index.
#include "conditional.h"
#include "numeric.h"

using namespace tessera;

namespace {

struct DynamicSwitchCDeclaration {
    static constexpr auto kParams = params(                                                    //
        outColor("resultRGB"), outFloat("resultR"), outFloat("resultG"), outFloat("resultB"),  //
        inFloat("indexNumber", 0.f, Eval::Varying), inFloat("indexBase", 0.f, Eval::Varying),  //
        inColor("outOfIndexColor", 1.f, 0.f, 1.f, Eval::Varying),                              //
        inArray("inputColor", k_RixSCColor, 0));
    static constexpr std::array<RixInterfaceId, 1> kServices{k_RixMessages};
    static constexpr int kResultRGB = paramId(kParams, "resultRGB"),
                         kResultR = paramId(kParams, "resultR"),
                         kIndexNumber = paramId(kParams, "indexNumber"),
                         kIndexBase = paramId(kParams, "indexBase"),
                         kFallback = paramId(kParams, "outOfIndexColor"),
                         kInputColor = paramId(kParams, "inputColor");
};

constexpr RtColorRGB kBlack{0.f, 0.f, 0.f};  // the default of every inputColor element

}  // namespace

class qnDynamicSwitchC final : public Pattern<DynamicSwitchCDeclaration> {
    using D = DynamicSwitchCDeclaration;

    int compute(const RixShadingContext* ctx, int* numOutputs,
                OutputSpec** outputs) const override {
        const auto in = evaluateInputs(ctx);
        const float* indexNumber = in.varying<float>(D::kIndexNumber);
        const float* indexBase = in.varying<float>(D::kIndexBase);
        const RtColorRGB* fallback = in.varying<RtColorRGB>(D::kFallback);

        // The array's length is the scene's, asked for every batch.
        RixSCType type = k_RixSCColor;
        RixSCConnectionInfo cinfo = k_RixSCDefaultValue;
        int count = 0;
        ctx->GetParamInfo(D::kInputColor, &type, &cinfo, &count);
        const int n = ctx->numPts;
        const BatchAllocator alloc(ctx);
        const RtColorRGB** elements = count > 0 ? alloc.get<const RtColorRGB*>(count) : nullptr;
        if (!elements) count = 0;
        for (int e = 0; e < count; ++e) {
            ctx->EvalParam(D::kInputColor, e, &elements[e], &kBlack, true);
            if (!elements[e]) elements[e] = fillBlack(alloc, n);
        }

        const Outputs out = allocateConnectedOutputs(ctx, D::kParams);
        out.publish(numOutputs, outputs);
        RtColorRGB* rgb = out.colors(D::kResultRGB);
        if (!rgb) rgb = alloc.colors(n);  // computed even when only channels are read
        RixMessages& messages = *services().messages;
        for (int i = 0; i < n; ++i) {
            // NaN and sums beyond the int range count as the most negative index.
            const int index = truncToInt(indexBase[i] + indexNumber[i]);
            if (index >= count) {
                messages.LogMessage(
                    "Requested index '%d' in qnDynamicSwitchC does not exist (total of inputs is "
                    "%d). "
                    "Using fallback color instead.",
                    index, count);
                rgb[i] = fallback[i];
            } else if (index < 0) {
                messages.LogMessage(
                    "Index value can not be less than 0. Using fallback color instead.");
                rgb[i] = fallback[i];
            } else {
                rgb[i] = elements[index][i];
            }
        }
        writeComponentOutputs(out, D::kResultR, rgb, n);
        return 0;
    }

    static const RtColorRGB* fillBlack(const BatchAllocator& alloc, int n) {
        RtColorRGB* a = alloc.colors(n);
        for (int i = 0; i < n; ++i) a[i] = kBlack;
        return a;
    }
};

TESSERA_PATTERN_ENTRY_POINTS(qnDynamicSwitchC)
