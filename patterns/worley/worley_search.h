// The Worley cell search shared by every Worley generator: the distance metrics and the walk
// over the 27 cells around a point. Where the feature points come from is a parameter: a
// callable that gives a cell's random value, so a cache or another noise can take its place.
#pragma once

#include <cmath>
#include <type_traits>

#include "numeric.h"
#include "param_decl.h"
#include "rix/types.h"

namespace tessera {

enum class DistanceMetric {
    Euclidean = 0,
    SquaredEuclidean = 1,
    Manhattan = 2,
    Chebyshev = 3,
    Minkowski = 4
};

// Codes outside 0..4 measure squared Euclidean distances.
inline DistanceMetric metricFromCode(int code) {
    return code >= 0 && code <= 4 ? static_cast<DistanceMetric>(code)
                                  : DistanceMetric::SquaredEuclidean;
}

// The Minkowski exponent in use: never below 0.5.
inline float minkowskiExponent(float e) { return tessera::max(0.5f, e); }

// A metric as a key that orders candidates and the distance made from it. The Euclidean key is
// the squared length and its distance the square root, which IEEE arithmetic rounds correctly
// and so never reverses an order: comparing keys first lets the search skip the root for the
// many candidates that cannot be among the two nearest. The other keys are the distances.
template <DistanceMetric M>
inline float distanceKey(RtFloat3 d, float e) {
    if constexpr (M == DistanceMetric::Euclidean || M == DistanceMetric::SquaredEuclidean) {
        return dot(d, d);
    } else if constexpr (M == DistanceMetric::Manhattan) {
        return std::fabs(d.x) + std::fabs(d.y) + std::fabs(d.z);
    } else if constexpr (M == DistanceMetric::Chebyshev) {
        const float ax = std::fabs(d.x), ay = std::fabs(d.y), az = std::fabs(d.z);
        return tessera::max(tessera::max(ax, ay), az);
    } else {
        return std::pow(
            std::pow(std::fabs(d.x), e) + std::pow(std::fabs(d.y), e) + std::pow(std::fabs(d.z), e),
            1.f / e);
    }
}

template <DistanceMetric M>
inline float distanceFromKey(float key, float e) {
    (void)e;
    if constexpr (M == DistanceMetric::Euclidean)
        return std::sqrt(key);
    else
        return key;
}

template <DistanceMetric M>
inline float distance(RtFloat3 d, float e) {
    return distanceFromKey<M>(distanceKey<M>(d, e), e);
}

// Calls f with the metric as a compile-time constant, so that a point loop written inside f is
// compiled once per metric and the metric is not tested per candidate.
template <class F>
inline void withMetric(DistanceMetric m, F&& f) {
    switch (m) {
        case DistanceMetric::Euclidean:
            f(std::integral_constant<DistanceMetric, DistanceMetric::Euclidean>());
            break;
        case DistanceMetric::Manhattan:
            f(std::integral_constant<DistanceMetric, DistanceMetric::Manhattan>());
            break;
        case DistanceMetric::Chebyshev:
            f(std::integral_constant<DistanceMetric, DistanceMetric::Chebyshev>());
            break;
        case DistanceMetric::Minkowski:
            f(std::integral_constant<DistanceMetric, DistanceMetric::Minkowski>());
            break;
        default:
            f(std::integral_constant<DistanceMetric, DistanceMetric::SquaredEuclidean>());
            break;
    }
}

// The cell inputs both Worley nodes declare, in their table order.
constexpr ParamList<8> worleyCellInputs() {
    return params(inFloat("frequency", 4.f, Eval::Varying), inInt("distancemetric", 0),
                  inFloat("jitter", 0.75f, Eval::Varying), inInt("clamp", 1),
                  inFloat("c1", 0.8f, Eval::Varying), inFloat("c2", -0.2f, Eval::Varying),
                  inFloat("minkowskiExponent", 4.f, Eval::Uniform), inInt("shape", 0));
}

struct WorleyResult {
    float F1 = 1000.f;   // distance to the nearest feature point
    float F2 = 1000.f;   // distance to the second nearest
    RtPoint3 nearest{};  // the nearest feature point
};

// Searches the cell of P and its 26 neighbours. Each cell's feature point lies on the cell's
// diagonal: K + (n - 0.5) * jitter on every axis, with n = cellValue(K) for the cell centre K.
template <DistanceMetric M, class CellValue>
inline WorleyResult worleySearch(RtPoint3 P, float jitter, float e, const CellValue& cellValue) {
    const RtPoint3 C{std::floor(P.x) + 0.5f, std::floor(P.y) + 0.5f, std::floor(P.z) + 0.5f};
    // The 27 cell values first: the lookups may be calls the compiler cannot see into, and
    // keeping them out of the distance loop keeps that loop's state in registers.
    float n[27];
    for (int a = -1, k = 0; a <= 1; ++a)
        for (int b = -1; b <= 1; ++b)
            for (int c = -1; c <= 1; ++c, ++k)
                n[k] = cellValue(RtPoint3{C.x + float(a), C.y + float(b), C.z + float(c)});

    WorleyResult r;
    r.nearest = C;  // stays the centre only if no distance compares (NaN coordinates)
    // The keys of F1 and F2 once they hold real distances. A candidate whose key is not below F2's
    // has a distance not below F2 (the distance grows with the key) and changes nothing.
    float key1 = INFINITY, key2 = INFINITY;
    for (int a = -1, k = 0; a <= 1; ++a)
        for (int b = -1; b <= 1; ++b)
            for (int c = -1; c <= 1; ++c, ++k) {
                const RtPoint3 K{C.x + float(a), C.y + float(b), C.z + float(c)};
                const float o = (n[k] - 0.5f) * jitter;
                const RtPoint3 F{K.x + o, K.y + o, K.z + o};
                const float key = distanceKey<M>(F - P, e);
                if (!(key < key2)) continue;
                const float dist = distanceFromKey<M>(key, e);
                if (dist < r.F1) {
                    r.F2 = r.F1, key2 = key1;
                    r.F1 = dist, key1 = key;
                    r.nearest = F;
                } else if (dist < r.F2) {
                    r.F2 = dist, key2 = key;
                }
            }
    return r;
}

}  // namespace tessera
