// What the two conditional switches share: the condition inputs, reading them for a batch
// (with the message for a missing text), and the per-point test.
#pragma once

#include "condition.h"
#include "outputs.h"
#include "param_decl.h"
#include "pattern.h"

namespace tessera {

// inputA, inputB, condition and conditionCustomInput, in table order.
constexpr ParamList<4> conditionInputs() {
    return params(inFloat("inputA", 0.f, Eval::Varying), inFloat("inputB", 0.f, Eval::Varying),
                  inInt("condition", 0, Eval::Uniform),
                  inNoDefault("conditionCustomInput", k_RixSCString));
}

class SwitchCondition {
public:
    // Reads the condition inputs whose first (inputA) has id first. False, after the message,
    // when the custom text has no value at all: the node then returns 1 without outputs.
    template <std::size_t N>
    static bool read(const RixShadingContext* ctx, const Inputs<N>& in, int first,
                     RixMessages& messages, SwitchCondition* out) {
        out->m_a = in.template varying<float>(first);
        out->m_b = in.template varying<float>(first + 1);
        out->m_code = in.template uniform<int>(first + 2);
        const RtUString* text = nullptr;
        ctx->EvalParam(first + 3, -1, &text, nullptr, false);
        if (!text) {
            messages.LogMessage(
                "Custom input field is empty. Please make sure to enter a valid custom input "
                "syntax.");
            return false;
        }
        if (out->m_code == 6) out->m_custom = Condition::compile(text->CStr());
        return true;
    }

    // Calls route(i, holds) for every point, the code tested outside the point loop.
    template <class Route>
    void route(int n, const Route& r) const {
        const float *a = m_a, *b = m_b;
        switch (m_code) {
            case 0:
                for (int i = 0; i < n; ++i) r(i, a[i] == b[i]);
                break;
            case 1:
                for (int i = 0; i < n; ++i) r(i, a[i] != b[i]);
                break;
            case 2:
                for (int i = 0; i < n; ++i) r(i, a[i] < b[i]);
                break;
            case 3:
                for (int i = 0; i < n; ++i) r(i, a[i] > b[i]);
                break;
            case 4:
                for (int i = 0; i < n; ++i) r(i, a[i] <= b[i]);
                break;
            case 5:
                for (int i = 0; i < n; ++i) r(i, a[i] >= b[i]);
                break;
            case 6:
                for (int i = 0; i < n; ++i) r(i, m_custom.test(a[i]));
                break;
            default:
                for (int i = 0; i < n; ++i) r(i, false);
                break;
        }
    }

private:
    const float* m_a = nullptr;
    const float* m_b = nullptr;
    int m_code = 0;
    Condition m_custom;
};

}  // namespace tessera
