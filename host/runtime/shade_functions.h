// The host's noise: integer hashing of lattice cells and 4D gradient noise. Every function is
// pure, so any number of threads may call it at once without coordination.
#pragma once

#include <cstdint>

#include "rix/services.h"

namespace tessera::host {

class ShadeFunctions final : public RixShadeFunctions {
public:
    float Noise(const RtPoint3* p, float t) const override;
    float CellNoise(const RtPoint3* p, float t) const override;
    float PointCellNoise(const RtPoint3* p) const override;
    float FloatCellNoise(float x) const override;
    RtFloat3 VectorCellNoise(const RtPoint3* p, float t) const override;
};

// Exposed for tests: the integer cell of a coordinate (floor), and the key a seed hashes as.
std::uint32_t cellIndex(float v);
std::uint32_t seedKey(float t);

}  // namespace tessera::host
