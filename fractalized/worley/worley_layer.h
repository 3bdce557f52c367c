// The Worley generator of qnPxrWorleyFractalizer: the shared cell search with seedless feature
// points from PointCellNoise, square roots for any non-zero shape, then clamp and invert.
#pragma once

#include "worley.h"

namespace tessera {

// Reads frequency, jitter, c1, c2, minkowskiExponent, shape, clamp and invert of p; no seed and
// no random scaling.
template <DistanceMetric M>
inline float worleyLayer(const WorleyParams& p, RtPoint3 Q, const RixShadeFunctions& sf) {
    const RtPoint3 P{Q.x * p.frequency, Q.y * p.frequency, Q.z * p.frequency};
    WorleyResult r = worleySearch<M>(P, p.jitter, p.minkowskiExponent,
                                     [&sf](const RtPoint3& K) { return sf.PointCellNoise(&K); });
    if (p.shape != 0) r.F1 = std::sqrt(r.F1), r.F2 = std::sqrt(r.F2);
    float v = r.F2 * p.c2 + r.F1 * p.c1;
    if (p.clamp) v = clamp(v, 0.f, 1.f);
    if (p.invert) v = 1.f - v;
    return v;
}

}  // namespace tessera
