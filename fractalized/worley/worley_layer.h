// The Worley generator of qnPxrWorleyFractalizer: the shared cell search with seedless feature
// points from PointCellNoise, square roots for any non-zero shape, then clamp and invert.
#pragma once

#include "rix/services.h"
#include "worley_search.h"

namespace tessera {

struct WorleyLayerParams {
    float frequency = 4.f;
    float jitter = 0.75f;
    float c1 = 0.8f;
    float c2 = -0.2f;
    float minkowskiExponent = 4.f;  // already raised to at least 0.5
    int shape = 0;
    bool clamp = true;
    bool invert = false;
};

template <DistanceMetric M>
inline float worleyLayer(const WorleyLayerParams& p, RtPoint3 Q, const RixShadeFunctions& sf) {
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
