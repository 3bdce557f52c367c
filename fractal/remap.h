// The remap stage: a block of nine parameters that maps an input window onto [0, 1], bends the
// result with the bias and gain curves and maps it onto an output window. Scalar and
// channel-wise forms, applied to a whole batch at a time.
#pragma once

#include <array>

#include "numeric.h"
#include "param_decl.h"
#include "pattern.h"

namespace tessera {

// The rational bias curve; b is floored at 0.0001, so 0 never divides.
inline float bias(float t, float b) {
    const float bb = tessera::max(b, 0.0001f);
    return clamp(t / ((1.f / bb - 2.f) * (1.f - t) + 1.f), 0.f, 1.f);
}

// The rational gain curve; g is kept inside [0.0001, 0.9999].
inline float gain(float t, float g) {
    const float gg = clamp(g, 0.0001f, 0.9999f);
    const float k = (1.f / gg - 2.f) * (1.f - 2.f * t);
    const float r = t < 0.5f ? t / (k + 1.f) : (k - t) / (k - 1.f);
    return clamp(r, 0.f, 1.f);
}

// One block's values at one point.
struct RemapParams {
    float inputMin = 0.f, inputMax = 1.f, bias = 0.5f, gain = 0.5f, outputMin = 0.f,
          outputMax = 1.f;
    bool clampInput = true, clampOutput = true;
};

// Steps 2 to 5 once the value is normalised: bias, gain, output window, output clamp.
inline float remapCurve(float v, float b, float g, const RemapParams& p) {
    v = lerp(p.outputMin, p.outputMax, gain(bias(v, b), g));
    return p.clampOutput ? clamp(v, 0.f, 1.f) : v;
}

inline float remap(float v, const RemapParams& p) {
    if (p.inputMin == p.inputMax) {
        v = p.inputMin > v ? 0.f : 1.f;  // an empty window is a step; no input clamp
    } else {
        v = (v - p.inputMin) / (p.inputMax - p.inputMin);
        if (p.clampInput) v = clamp(v, 0.f, 1.f);
    }
    return remapCurve(v, p.bias, p.gain, p);
}

// The channel-wise form: float windows, colour bias and gain.
inline RtColorRGB remap(RtColorRGB c, RtColorRGB b, RtColorRGB g, const RemapParams& p) {
    float ch[3] = {c.r, c.g, c.b};
    const float bs[3] = {b.r, b.g, b.b}, gs[3] = {g.r, g.g, g.b};
    const float width = p.inputMax - p.inputMin;
    const float scale = 1.f / (width == 0.f ? 0.00000001f : width);  // never 0 after the test below
    for (int k = 0; k < 3; ++k) {
        float v = ch[k];
        if (p.inputMin == p.inputMax) {
            v = p.inputMin > v ? 0.f : 1.f;
        } else {
            v = (v - p.inputMin) * scale;
            if (p.clampInput) v = clamp(v, 0.f, 1.f);
        }
        ch[k] = remapCurve(v, bs[k], gs[k], p);
    }
    return {ch[0], ch[1], ch[2]};
}

// --- declaration ---------------------------------------------------------------------------

// The nine parameters of block A or B, in table order. colour: bias and gain are colours.
constexpr ParamList<9> remapBlock(const std::array<const char*, 9>& names, bool colour = false) {
    return params(inInt(names[0], 0, Eval::Uniform), inFloat(names[1], 0.f), inFloat(names[2], 1.f),
                  inInt(names[3], 1, Eval::Uniform),
                  colour ? inColor(names[4], 0.5f, 0.5f, 0.5f) : inFloat(names[4], 0.5f),
                  colour ? inColor(names[5], 0.5f, 0.5f, 0.5f) : inFloat(names[5], 0.5f),
                  inFloat(names[6], 0.f), inFloat(names[7], 1.f),
                  inInt(names[8], 1, Eval::Uniform));
}
inline constexpr std::array<const char*, 9> kRemapNamesA{
    "remapOnA", "inputMinA",  "inputMaxA",  "clampInputA", "biasA",
    "gainA",    "outputMinA", "outputMaxA", "clampOutputA"};
inline constexpr std::array<const char*, 9> kRemapNamesB{
    "remapOnB", "inputMinB",  "inputMaxB",  "clampInputB", "biasB",
    "gainB",    "outputMinB", "outputMaxB", "clampOutputB"};

// --- a block evaluated for one batch --------------------------------------------------------

// Bias and gain are float or colour arrays, per the form.
template <class Curve>
struct RemapBlock {
    bool on = false;
    bool clampInput = true, clampOutput = true;
    const float *inputMin = nullptr, *inputMax = nullptr, *outputMin = nullptr,
                *outputMax = nullptr;
    const Curve *bias = nullptr, *gain = nullptr;

    // The block whose first parameter (remapOn) has id first.
    template <std::size_t N>
    static RemapBlock from(const Inputs<N>& in, int first) {
        RemapBlock b;
        b.on = in.template uniform<int>(first) != 0;
        b.inputMin = in.template varying<float>(first + 1);
        b.inputMax = in.template varying<float>(first + 2);
        b.clampInput = in.template uniform<int>(first + 3) != 0;
        b.bias = in.template varying<Curve>(first + 4);
        b.gain = in.template varying<Curve>(first + 5);
        b.outputMin = in.template varying<float>(first + 6);
        b.outputMax = in.template varying<float>(first + 7);
        b.clampOutput = in.template uniform<int>(first + 8) != 0;
        return b;
    }

    RemapParams at(int k) const {
        RemapParams p;
        p.inputMin = inputMin[k], p.inputMax = inputMax[k], p.outputMin = outputMin[k],
        p.outputMax = outputMax[k];
        p.clampInput = clampInput, p.clampOutput = clampOutput;
        return p;
    }

    // Remaps n values in place; the switch is tested once for the batch.
    void apply(float* v, int n) const {
        static_assert(std::is_same<Curve, float>::value, "the scalar form has float bias and gain");
        if (!on) return;
        for (int k = 0; k < n; ++k) {
            RemapParams p = at(k);
            p.bias = bias[k], p.gain = gain[k];
            v[k] = remap(v[k], p);
        }
    }
    void apply(RtColorRGB* v, int n) const {
        static_assert(std::is_same<Curve, RtColorRGB>::value,
                      "the channel-wise form has colour bias and gain");
        if (!on) return;
        for (int k = 0; k < n; ++k) v[k] = remap(v[k], bias[k], gain[k], at(k));
    }
};

}  // namespace tessera
