// Resolving a node's PxrManifold input: the connected struct, or the host's position.
#pragma once

#include "batch_allocator.h"
#include "rix/shading.h"

namespace tessera {

struct Manifold {
    const RtPoint3* Q = nullptr;     // numPts coordinates, read-only
    const float* Qradius = nullptr;  // numPts filter radii, or null when not asked for
};

struct Manifold2D {
    const RtFloat2* st = nullptr;
    const float* radius = nullptr;
};

inline bool isConnected(const RixShadingContext* ctx, int id) {
    RixSCType type = k_RixSCStructBegin;
    RixSCConnectionInfo cinfo = k_RixSCDefaultValue;
    ctx->GetParamInfo(id, &type, &cinfo);
    return cinfo == k_RixSCNetworkValue;
}

// The standard form: the upstream Q and Qradius when the struct at beginId is connected,
// otherwise the shading position and its radius.
inline Manifold resolveManifold(const RixShadingContext* ctx, int beginId, bool wantRadius = true) {
    Manifold m;
    if (isConnected(ctx, beginId)) {
        ctx->EvalParam(beginId + 1, -1, &m.Q);
        if (wantRadius) ctx->EvalParam(beginId + 2, -1, &m.Qradius);
        // An upstream node that handed back nothing (it failed) must not be read through.
        if (m.Q && (m.Qradius || !wantRadius)) return m;
        m.Qradius = nullptr;
    }
    ctx->GetBuiltinVar(RixShadingContext::k_P, &m.Q);
    ctx->GetBuiltinVar(RixShadingContext::k_PRadius, &m.Qradius);
    return m;
}

// The object-space form: unconnected, a copy of the shading position (or of the alternative
// position when surfacePosition is 1) transformed from current to object space.
inline Manifold resolveObjectSpaceManifold(const RixShadingContext* ctx, int beginId,
                                           int surfacePosition, bool wantRadius) {
    if (isConnected(ctx, beginId)) return resolveManifold(ctx, beginId, wantRadius);

    const BatchAllocator alloc(ctx);
    const int n = ctx->numPts;
    const RtPoint3* P = nullptr;
    ctx->GetBuiltinVar(surfacePosition == 1 ? RixShadingContext::k_Po : RixShadingContext::k_P, &P);
    RtPoint3* Q = alloc.triples(n);
    for (int i = 0; i < n; ++i) Q[i] = P[i];
    float* radius = nullptr;
    if (wantRadius) {
        const float* r = nullptr;
        ctx->GetBuiltinVar(RixShadingContext::k_PRadius, &r);
        radius = alloc.floats(n);
        for (int i = 0; i < n; ++i) radius[i] = r[i];
    }
    if (n > 0)
        ctx->Transform(RixShadingContext::k_AsPoints, Rix::k_current, Rix::k_object, Q, radius);
    return {Q, radius};
}

// The two-dimensional form: (x, y) of a connected Q, otherwise the st primitive variable.
inline Manifold2D resolveManifold2D(const RixShadingContext* ctx, int beginId) {
    Manifold2D m;
    if (!isConnected(ctx, beginId)) {
        ctx->GetPrimVar(Rix::k_st, RtFloat2{0.f, 0.f}, &m.st, &m.radius);
        return m;
    }
    const RtPoint3* Q = nullptr;
    ctx->EvalParam(beginId + 1, -1, &Q);
    ctx->EvalParam(beginId + 2, -1, &m.radius);
    RtFloat2* st = BatchAllocator(ctx).get<RtFloat2>(ctx->numPts);
    for (int i = 0; i < ctx->numPts; ++i) st[i] = {Q[i].x, Q[i].y};
    m.st = st;
    return m;
}

}  // namespace tessera
