// The Worley pattern of qnPxrWorley: F1 and F2 combined linearly, then clamped, inverted and
// randomly scaled per feature.
#pragma once

#include "rix/services.h"
#include "worley_search.h"

namespace tessera {

// Per point: the varying inputs. Per batch: the rest.
struct WorleyParams {
    float frequency = 4.f;
    float jitter = 0.75f;
    float c1 = 0.8f;
    float c2 = -0.2f;
    float randomScale = 0.f;
    float randomScaleCenter = 0.f;
    float seed = 0.f;
    float minkowskiExponent = 4.f;  // already raised to at least 0.5
    int shape = 0;
    bool clamp = true;
    bool invert = false;
};

inline void shapeDistances(int shape, WorleyResult& r) {
    if (shape == 1)
        r.F1 = std::sqrt(r.F1), r.F2 = std::sqrt(r.F2);
    else if (shape == 2)
        r.F1 = r.F1 * r.F1, r.F2 = r.F2 * r.F2;
}

// (r - center) / (1 - center): the random value rescaled to start at the center. A center of
// 1 leaves no room above it, so everything maps to 0 there rather than to infinity or NaN.
inline float rescaleAboveCenter(float r, float center) {
    const float room = 1.f - center;
    return room == 0.f ? 0.f : (r - center) * (1.f / room);
}

template <DistanceMetric M>
inline float worley(const WorleyParams& p, RtPoint3 Q, const RixShadeFunctions& sf) {
    const RtPoint3 P{Q.x * p.frequency, Q.y * p.frequency, Q.z * p.frequency};
    const float seed = p.seed;
    WorleyResult r =
        worleySearch<M>(P, p.jitter, p.minkowskiExponent,
                        [&sf, seed](const RtPoint3& K) { return sf.CellNoise(&K, seed); });
    shapeDistances(p.shape, r);
    float v = r.F2 * p.c2 + r.F1 * p.c1;
    if (p.clamp) v = clamp(v, 0.f, 1.f);
    if (p.invert) v = 1.f - v;
    if (!(p.randomScale == 0.f)) {  // NaN scales too
        const float t = std::pow(r.F2 - r.F1, 0.25f);
        const float s = smoothstep(p.randomScaleCenter, 1.f, t);
        const float rnd =
            rescaleAboveCenter(sf.PointCellNoise(&r.nearest) * s, p.randomScaleCenter);
        v = (p.c1 != 0.f || p.c2 != 0.f) ? v * lerp(1.f, rnd, p.randomScale)
                                         : lerp(0.f, rnd, p.randomScale);
    }
    return v;
}

}  // namespace tessera
