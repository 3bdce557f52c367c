// The layer-state values: qnFractalizer publishes them on an override of its shading context for
// each layer; qnFractalizerManifold reads them as float primitive variables.
#pragma once

#include "rix/types.h"

namespace tessera {

struct LayerStateNames {
    RtUString offset, rotation, variation, frequency;
};

// Made once per process, under thread-safe initialisation.
inline const LayerStateNames& layerStateNames() {
    static const LayerStateNames names{RtUString::UstrMakeUnique("qnFractalizerOffset"),
                                       RtUString::UstrMakeUnique("qnFractalizerRotation"),
                                       RtUString::UstrMakeUnique("qnFractalizerVariation"),
                                       RtUString::UstrMakeUnique("qnFractalizerFrequency")};
    return names;
}

// What a reader gets when no fractalizer publishes a value.
constexpr float kDefaultLayerRotation = 0.f;
constexpr float kDefaultLayerVariation = 0.f;
constexpr float kDefaultLayerFrequency = 1.f;

}  // namespace tessera
