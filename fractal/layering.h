// The fractal layering engine: per-layer transforms of the manifold, the soft absolute value,
// the weight laws with erosion, accumulation and normalisation. Scalar (float) and colour forms.
#pragma once

#include <cmath>
#include <cstdint>

#include "numeric.h"
#include "param_decl.h"
#include "pattern.h"
#include "rix/services.h"

namespace tessera {

// |x| with its corner smoothed over a half-width w around 0; w = 0 gives |x| exactly.
inline float softabs(float x, float w) {
    const float t = linstep(-1.f, 1.f, x);
    const float lo = static_cast<float>(0.5 - double(w)), hi = static_cast<float>(0.5 + double(w));
    return lerp(-x, x, smoothstep(lo, hi, t));
}

// --- declaration ---------------------------------------------------------------------------

constexpr ParamList<13> fractalBlock() {
    return params(
        inInt("fracType", 0), inInt("fracAbsOption", 0),
        inFloat("fracAbsWidth", 0.f, Eval::Varying), inInt("fracInvert", 0), inInt("fracLayers", 3),
        inFloat("fracOffset", 1.f, Eval::Uniform), inFloat("fracRotation", 180.f, Eval::Uniform),
        inInt("fracVariation", 0), inFloat("fracFrequency", 1.f, Eval::Uniform),
        inFloat("fracLacunarity", 2.f, Eval::Uniform), inFloat("fracDimension", 1.f, Eval::Uniform),
        inFloat("fracGain", 0.5f, Eval::Uniform), inFloat("fracErosion", 0.f, Eval::Uniform));
}

// The block evaluated for one batch.
struct FractalParams {
    int type = 0;
    bool absOption = false;
    const float* absWidth = nullptr;  // per point
    bool invert = false;
    int layers = 3;
    float offset = 1.f, rotation = 180.f;
    int variation = 0;
    float frequency = 1.f, lacunarity = 2.f, dimension = 1.f, gain = 0.5f, erosion = 0.f;

    // The block whose first parameter (fracType) has id first.
    template <std::size_t N>
    static FractalParams from(const Inputs<N>& in, int first) {
        FractalParams p;
        p.type = in.template uniform<int>(first);
        p.absOption = in.template uniform<int>(first + 1) == 1;
        p.absWidth = in.template varying<float>(first + 2);
        p.invert = in.template uniform<int>(first + 3) == 1;
        p.layers = in.template uniform<int>(first + 4);
        p.offset = in.template uniform<float>(first + 5);
        p.rotation = in.template uniform<float>(first + 6);
        p.variation = in.template uniform<int>(first + 7);
        p.frequency = in.template uniform<float>(first + 8);
        p.lacunarity = in.template uniform<float>(first + 9);
        p.dimension = in.template uniform<float>(first + 10);
        p.gain = in.template uniform<float>(first + 11);
        p.erosion = in.template uniform<float>(first + 12);
        return p;
    }
};

// --- the layer transform -------------------------------------------------------------------

// The random rotation and shift of one layer. Both come from FloatCellNoise of the layer's seed
// alone, so they are computed once per layer rather than once per point: the same values.
struct LayerTransform {
    float cosine = 1.f, sine = 0.f, shift = 0.f, frequency = 1.f;

    static LayerTransform of(const FractalParams& p, int layer, float frequency,
                             const RixShadeFunctions& sf) {
        // variation + layer as an int sum; wrapped explicitly, as signed overflow is undefined.
        const auto sum = static_cast<std::int32_t>(static_cast<std::uint32_t>(p.variation) +
                                                   static_cast<std::uint32_t>(layer));
        const float seed = static_cast<float>(sum);
        const float a = radians(p.rotation);
        const float angle = lerp(-a, a, sf.FloatCellNoise(seed + 31.f));
        const double r2 = sf.FloatCellNoise(seed);
        LayerTransform t;
        t.shift = static_cast<float>(double(p.offset) * ((1.0 - r2) * -0.5 + r2 * 0.5));
        sincos(angle, &t.sine, &t.cosine);
        t.frequency = frequency;
        return t;
    }

    // Rotates about z, scales by the layer frequency, shifts every coordinate.
    RtPoint3 point(RtPoint3 Q) const {
        const float f = frequency, c = cosine, s = sine, d = shift;
        return {(Q.x * c - Q.y * s) * f + d, (Q.x * s + Q.y * c) * f + d, Q.z * f + d};
    }
    float radius(float R) const { return R * frequency + shift; }

    void apply(const RtPoint3* Q, const float* R, int n, RtPoint3* Qout, float* Rout) const {
        for (int k = 0; k < n; ++k) Qout[k] = point(Q[k]);
        if (R && Rout)
            for (int k = 0; k < n; ++k) Rout[k] = radius(R[k]);
    }
};

// --- accumulation --------------------------------------------------------------------------

inline float luminanceOf(float v) { return luminance({v, v, v}); }
inline float luminanceOf(RtColorRGB c) { return luminance(c); }

// The working arrays of one batch: weight, weight sum and accumulator per point.
template <class Value>
struct Accumulator {
    float* W = nullptr;
    float* S = nullptr;
    Value* A = nullptr;
    int layersRun = 0;
};

namespace detail {
// (x - 0.5) * 2, in double precision for the scalar form and in single for the colour form.
inline float unfold(float x) { return static_cast<float>((double(x) - 0.5) * 2.0); }
inline RtColorRGB unfold(RtColorRGB c) {
    return {(c.r - 0.5f) * 2.f, (c.g - 0.5f) * 2.f, (c.b - 0.5f) * 2.f};
}
inline float fold(float x, float w) { return softabs(x, w); }
inline RtColorRGB fold(RtColorRGB c, float w) {
    return {softabs(c.r, w), softabs(c.g, w), softabs(c.b, w)};
}
inline float weighted(float v, float w, float x) { return v + w * x; }
inline RtColorRGB weighted(RtColorRGB v, float w, RtColorRGB x) {
    return {v.r + w * x.r, v.g + w * x.g, v.b + w * x.b};
}
}  // namespace detail

// The weight of the next layer at one point. Law 0 (dimension): 1 / f^((3 - 2 dimension) + e)
// with e = lerp(-erosion, erosion, L); law 1 (gain): (gain + e)^power with
// e = lerp(erosion / 2, -erosion / 2, L); any other law keeps the weight. L is the point's running
// normalised value. Without erosion e is 0 and the weight is the same for every point, so it is
// computed once per layer; a point whose e is not exactly 0 (erosion on, or a NaN running value)
// takes its own.
struct WeightLaw {
    int type = 0;
    float f = 1.f, exponent = 1.f, erosion = 0.f, gain = 0.5f;
    int power = 1;
    bool squareForTwo = false;  // the fractalized engine squares by multiplying when power is 2
    float dimensionWeight = 1.f, gainWeight = 1.f;

    static WeightLaw of(int type, float f, float dimension, float gain, float erosion, int power,
                        bool squareForTwo) {
        WeightLaw w;
        w.type = type, w.f = f, w.exponent = 3.f - 2.f * dimension, w.erosion = erosion,
        w.gain = gain;
        w.power = power, w.squareForTwo = squareForTwo;
        w.dimensionWeight = 1.f / std::pow(f, w.exponent);
        w.gainWeight = w.gainPower(gain);
        return w;
    }

    float gainPower(float b) const {
        return squareForTwo && power == 2 ? b * b : std::pow(b, static_cast<float>(power));
    }

    float next(float L, float current) const {
        if (type == 0) {
            const float e = lerp(-erosion, erosion, L);
            return e == 0.f ? dimensionWeight : 1.f / std::pow(f, exponent + e);
        }
        if (type == 1) {
            const float e = lerp(erosion / 2.f, -erosion / 2.f, L);
            return e == 0.f ? gainWeight : gainPower(gain + e);
        }
        return current;
    }
};

// Folds and weights layer j's values v (overwritten with v + W x), adds to S and A, and computes
// each point's next weight. f is layer j's frequency.
template <class Value>
void accumulateLayer(const FractalParams& p, int j, float f, Value* v, Accumulator<Value>& acc,
                     int n) {
    const WeightLaw law = WeightLaw::of(p.type, f, p.dimension, p.gain, p.erosion, j + 1, true);
    for (int k = 0; k < n; ++k) {
        Value x = v[k];
        if (p.absOption) x = detail::fold(detail::unfold(x), p.absWidth[k]);
        v[k] = detail::weighted(v[k], acc.W[k], x);
        acc.S[k] += acc.W[k];
        acc.W[k] = law.next(luminanceOf(v[k]) / acc.S[k], acc.W[k]);
        acc.A[k] = detail::weighted(acc.A[k], 0.5f, v[k]);
    }
    ++acc.layersRun;
}

// The final value of every point: (1 - A) or A, divided by S.
inline void finishLayers(const FractalParams& p, const Accumulator<float>& acc, float* out, int n) {
    for (int k = 0; k < n; ++k) {
        const float a = p.invert ? 1.f - acc.A[k] : acc.A[k];
        // With no layer at all S is 0 for every point; 0 is written rather than 0/0.
        out[k] = acc.layersRun == 0 ? 0.f : a / acc.S[k];
    }
}

inline void finishLayers(const FractalParams& p, const Accumulator<RtColorRGB>& acc,
                         RtColorRGB* out, int n) {
    for (int k = 0; k < n; ++k) {
        const RtColorRGB a = acc.A[k];
        const RtColorRGB c = p.invert ? RtColorRGB{1.f - a.r, 1.f - a.g, 1.f - a.b} : a;
        const float scale = acc.S[k] == 0.f ? 0.00000001f : 1.f / acc.S[k];
        out[k] = {c.r * scale, c.g * scale, c.b * scale};
    }
}

}  // namespace tessera
