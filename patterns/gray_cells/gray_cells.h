// Gray cells: one random grey level per unit cube of the scaled coordinate.
#pragma once

#include "rix/services.h"

namespace tessera {

struct GrayCellsParams {
    float seed = 0.f;       // the seed, as the float the cell noise takes
    float frequency = 1.f;  // cells per unit of Q
};

inline float grayCells(const GrayCellsParams& p, RtPoint3 Q, const RixShadeFunctions& sf) {
    const RtPoint3 scaled{Q.x * p.frequency, Q.y * p.frequency, Q.z * p.frequency};
    return sf.CellNoise(&scaled, p.seed);
}

}  // namespace tessera
