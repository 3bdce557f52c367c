#include "shade_functions.h"

#include <cmath>
#include <cstring>

namespace tessera::host {

namespace {

// A 32-bit integer finaliser with full avalanche (every input bit flips each output bit with
// probability close to one half).
inline std::uint32_t mix(std::uint32_t h) {
    h ^= h >> 16;
    h *= 0x7feb352du;
    h ^= h >> 15;
    h *= 0x846ca68bu;
    h ^= h >> 16;
    return h;
}

inline std::uint32_t floatBits(float v) {
    std::uint32_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

// Distinct salts keep the five functions independent of each other.
constexpr std::uint32_t kCellSalt = 0x9e3779b9u;
constexpr std::uint32_t kPointSalt = 0x85ebca6bu;
constexpr std::uint32_t kFloatSalt = 0xc2b2ae35u;
constexpr std::uint32_t kVectorSalt = 0x27d4eb2fu;
constexpr std::uint32_t kGradientSalt = 0x165667b1u;

// Murmur3's 64-bit finaliser.
inline std::uint64_t mix64(std::uint64_t h) {
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ull;
    h ^= h >> 33;
    return h;
}

// Two 64-bit rounds over the four 32-bit keys: half the dependent multiplies of four 32-bit
// rounds, with the same avalanche.
inline std::uint32_t hashCell(std::uint32_t salt, std::uint32_t x, std::uint32_t y, std::uint32_t z,
                              std::uint32_t w) {
    const std::uint64_t xy = (std::uint64_t(x) << 32) | y, zw = (std::uint64_t(z) << 32) | w;
    return static_cast<std::uint32_t>(mix64(xy ^ mix64(zw ^ salt)) >> 32);
}

// The top 24 bits as a float in [0, 1).
inline float unitFloat(std::uint32_t h) { return static_cast<float>(h >> 8) * (1.f / 16777216.f); }

inline float fade(float t) { return t * t * t * (t * (t * 6.f - 15.f) + 10.f); }

// One of 32 gradients with a zero component and three of magnitude one, picked by 5 bits.
inline float gradient(std::uint32_t h, float x, float y, float z, float w) {
    const std::uint32_t zeroAxis = (h >> 3) & 3u;
    float a = x, b = y, c = z;
    if (zeroAxis == 0)
        a = w;
    else if (zeroAxis == 1)
        b = w;
    else if (zeroAxis == 2)
        c = w;
    return ((h & 1u) ? -a : a) + ((h & 2u) ? -b : b) + ((h & 4u) ? -c : c);
}

// Maps the gradient noise (extremes near +-1.2) well inside [0, 1]; the clamp catches the rest.
constexpr float kNoiseScale = 0.75f;

}  // namespace

std::uint32_t cellIndex(float v) {
    // floor() without a libm call: truncate, then step down for negative fractions.
    if (v > -2147483520.f && v < 2147483520.f) {
        const std::int32_t i = static_cast<std::int32_t>(v);
        return static_cast<std::uint32_t>(i - (v < static_cast<float>(i) ? 1 : 0));
    }
    // Beyond the int range (and NaN): the float's own bits still tell cells apart.
    return floatBits(v) ^ 0xa5a5a5a5u;
}

std::uint32_t seedKey(float t) { return t == 0.f ? 0u : floatBits(t); }

float ShadeFunctions::CellNoise(const RtPoint3* p, float t) const {
    return unitFloat(
        hashCell(kCellSalt, cellIndex(p->x), cellIndex(p->y), cellIndex(p->z), seedKey(t)));
}

float ShadeFunctions::PointCellNoise(const RtPoint3* p) const {
    return unitFloat(hashCell(kPointSalt, cellIndex(p->x), cellIndex(p->y), cellIndex(p->z), 0u));
}

float ShadeFunctions::FloatCellNoise(float x) const {
    return unitFloat(mix(mix(cellIndex(x) ^ kFloatSalt)));
}

RtFloat3 ShadeFunctions::VectorCellNoise(const RtPoint3* p, float t) const {
    const std::uint32_t h =
        hashCell(kVectorSalt, cellIndex(p->x), cellIndex(p->y), cellIndex(p->z), seedKey(t));
    return {unitFloat(h), unitFloat(mix(h + 0x68e31da4u)), unitFloat(mix(h + 0xb5297a4du))};
}

float ShadeFunctions::Noise(const RtPoint3* p, float t) const {
    const float px[4] = {p->x, p->y, p->z, t};
    std::uint32_t cell[4];
    float frac[4], fadeW[4];
    for (int k = 0; k < 4; ++k) {
        const float fl = std::floor(px[k]);
        cell[k] = cellIndex(px[k]);
        frac[k] = std::isfinite(px[k]) ? px[k] - fl : 0.f;
        fadeW[k] = fade(frac[k]);
    }
    // The 16 lattice corners, hashed as hashCell does, sharing the partial hashes of x, y, z.
    std::uint32_t hx[2], hxy[4], hxyz[8];
    for (std::uint32_t i = 0; i < 2; ++i) hx[i] = mix((cell[0] + i) ^ kGradientSalt);
    for (std::uint32_t i = 0; i < 4; ++i) hxy[i] = mix(hx[i & 1] + cell[1] + (i >> 1));
    for (std::uint32_t i = 0; i < 8; ++i) hxyz[i] = mix(hxy[i & 3] + cell[2] + (i >> 2));
    float corner[16];
    for (std::uint32_t c = 0; c < 16; ++c) {
        const std::uint32_t h = mix(hxyz[c & 7] + cell[3] + (c >> 3));
        const float dx = float(c & 1), dy = float((c >> 1) & 1), dz = float((c >> 2) & 1),
                    dw = float(c >> 3);
        corner[c] = gradient(h, frac[0] - dx, frac[1] - dy, frac[2] - dz, frac[3] - dw);
    }
    // Blend along x, then y, z and w with the quintic fade.
    for (int axis = 0, n = 16; axis < 4; ++axis, n /= 2)
        for (int c = 0; c < n / 2; ++c)
            corner[c] = corner[2 * c] + fadeW[axis] * (corner[2 * c + 1] - corner[2 * c]);
    const float v = 0.5f + 0.5f * kNoiseScale * corner[0];
    return v < 0.f ? 0.f : (v > 1.f ? 1.f : v);
}

}  // namespace tessera::host
