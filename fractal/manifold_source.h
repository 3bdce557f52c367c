// The manifold source of the two manifold nodes: a base position (a point primitive variable, or
// the builtin position `use` selects) with its radius, moved into the `coordsys` space.
#pragma once

#include "numeric.h"
#include "outputs.h"
#include "param_decl.h"
#include "pattern.h"

namespace tessera {

// The manifold nodes' table: component outputs, the manifold struct, then the inputs.
constexpr auto manifoldNodeParams() {
    return params(outFloat("resultX"), outFloat("resultY"), outFloat("resultZ"), manifoldOutput(),
                  inTriple("scale", k_RixSCVector, 1.f, 1.f, 1.f),
                  inTriple("offset", k_RixSCVector, 0.f, 0.f, 0.f), inInt("use", 0),
                  inString("pref", ""), inString("coordsys", "object"));
}

struct ManifoldNodeIds {
    static constexpr auto kParams = manifoldNodeParams();
    static constexpr int kResultX = paramId(kParams, "resultX"),
                         kResultY = paramId(kParams, "resultY"),
                         kResultZ = paramId(kParams, "resultZ"), kQ = paramId(kParams, "Q"),
                         kQradius = paramId(kParams, "Qradius"), kScale = paramId(kParams, "scale"),
                         kOffset = paramId(kParams, "offset"), kUse = paramId(kParams, "use"),
                         kPref = paramId(kParams, "pref"), kCoordsys = paramId(kParams, "coordsys");
};

struct ManifoldSource {
    RtUString pref;      // empty: no primitive variable
    int use = 0;         // 1: the alternative position; 3 with pref: through object and world
    RtUString coordsys;  // never empty: an empty name means object space

    template <std::size_t N>
    static ManifoldSource from(const Inputs<N>& in) {
        ManifoldSource s;
        s.pref = in.template uniform<RtUString>(ManifoldNodeIds::kPref);
        s.use = in.template uniform<int>(ManifoldNodeIds::kUse);
        s.coordsys = in.template uniform<RtUString>(ManifoldNodeIds::kCoordsys);
        if (s.coordsys.Empty()) s.coordsys = Rix::k_object;
        return s;
    }

    // Fills numPts positions and radii.
    void fill(const RixShadingContext* ctx, RtPoint3* Q, float* Qradius) const {
        const int n = ctx->numPts;
        const bool usePref = !pref.Empty();
        const RtPoint3* P = nullptr;
        const float* radius = nullptr;
        if (!usePref ||
            ctx->GetPrimVar(pref, RtFloat3{0.f, 0.f, 0.f}, &P, &radius) == k_RixSCInvalidDetail) {
            ctx->GetBuiltinVar(use == 1 ? RixShadingContext::k_Po : RixShadingContext::k_P, &P);
            ctx->GetBuiltinVar(RixShadingContext::k_PRadius, &radius);
        }
        for (int i = 0; i < n; ++i) Q[i] = P[i], Qradius[i] = radius[i];
        if (n == 0) return;
        if (usePref && use == 3) {
            ctx->Transform(RixShadingContext::k_AsPoints, Rix::k_current, Rix::k_object, Q,
                           Qradius);
            ctx->Transform(RixShadingContext::k_AsPoints, Rix::k_world, Rix::k_current, Q, Qradius);
        }
        ctx->Transform(RixShadingContext::k_AsPoints, Rix::k_current, coordsys, Q, Qradius);
    }
};

}  // namespace tessera
