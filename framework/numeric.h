// Small numeric functions shared by the nodes. Single precision unless named otherwise.
#pragma once

#include <climits>
#include <cmath>

#include "rix/types.h"

namespace tessera {

inline float lerp(float a, float b, float t) { return (1.f - t) * a + t * b; }
inline double lerpd(double a, double b, float t) { return (1.0 - t) * a + t * b; }
inline float clamp(float x, float lo, float hi) { return x < lo ? lo : (x > hi ? hi : x); }
inline float max(float a, float b) { return a > b ? a : b; }
inline float step(float e, float x) { return e > x ? 0.f : 1.f; }

// The rising or falling ramp between two edges; equal edges give a step.
inline float linstep(float e0, float e1, float x) {
    if (e0 < e1) {
        if (x <= e0) return 0.f;
        if (x >= e1) return 1.f;
        return (x - e0) / (e1 - e0);
    }
    if (e0 > e1) {
        if (x <= e1) return 1.f;
        if (x >= e0) return 0.f;
        return 1.f - (x - e1) / (e0 - e1);
    }
    return step(e0, x);
}

inline float smoothstep(float e0, float e1, float x) {
    if (e0 == e1) return step(e0, x);
    const float u = linstep(e0, e1, x);
    if (u <= 0.f || u >= 1.f) return u;
    return u * u * (3.f - 2.f * u);
}

inline float radians(float degrees) { return degrees * 0.017453292f; }

inline void sincos(float a, float* s, float* c) {
    *s = std::sin(a);
    *c = std::cos(a);
}

inline float luminance(RtColorRGB c) { return 0.2126f * c.r + 0.7152f * c.g + 0.0722f * c.b; }

// Truncates toward zero. NaN and values outside the int range give INT_MIN, explicitly, since a
// plain conversion of those is undefined.
inline int truncToInt(float x) {
    if (!(x > -2147483904.f && x < 2147483648.f)) return INT_MIN;
    return static_cast<int>(x);
}

// --- vectors ---------------------------------------------------------------------------------

inline RtFloat3 operator+(RtFloat3 a, RtFloat3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline RtFloat3 operator-(RtFloat3 a, RtFloat3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline RtFloat3 operator*(RtFloat3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline RtFloat3 operator-(RtFloat3 a, float s) { return {a.x - s, a.y - s, a.z - s}; }
inline float dot(RtFloat3 a, RtFloat3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline float length(RtFloat3 a) { return std::sqrt(dot(a, a)); }

inline RtColorRGB operator+(RtColorRGB a, RtColorRGB b) {
    return {a.r + b.r, a.g + b.g, a.b + b.b};
}
inline RtColorRGB operator*(RtColorRGB a, float s) { return {a.r * s, a.g * s, a.b * s}; }
inline RtColorRGB grey(float v) { return {v, v, v}; }

}  // namespace tessera
