// The base every node derives from: the plug-in operations with their common behaviour, the
// parameter table and defaults derived from the node's declaration, and the shared per-batch
// evaluation of its inputs.
//
// A node's declaration is a struct with
//   static constexpr auto kParams = tessera::params(...);          // its one parameter list
//   static constexpr std::array<RixInterfaceId, K> kServices{...}; // fetched by Init, in order
// and the node class derives from Pattern<Declaration> and implements compute().
#pragma once

#include <array>
#include <new>

#include "batch_allocator.h"
#include "param_decl.h"
#include "rix/pattern.h"

namespace tessera {

// A default value held by the node object; its address is passed to the evaluation.
union DefaultSlot {
    int i;
    float f;
    RtFloat3 v;
    RtColorRGB c;
    RtUString s;
    DefaultSlot() : v{} {}
};

// The values of a node's inputs for one batch, by parameter id.
template <std::size_t N>
class Inputs {
public:
    template <class T>
    const T* values(int id) const {
        return static_cast<const T*>(m_values[id]);
    }
    // The first value of an input evaluated without promotion.
    template <class T>
    T uniform(int id) const {
        return values<T>(id)[0];
    }
    // numPts values of an input evaluated with promotion.
    template <class T>
    const T* varying(int id) const {
        return values<T>(id);
    }

    void set(int id, const void* values) { m_values[id] = values; }

private:
    std::array<const void*, N> m_values{};
};

struct Services {
    RixMessages* messages = nullptr;
    RixShadeFunctions* shadeFunctions = nullptr;
    RixRenderState* renderState = nullptr;
    RixTexture* texture = nullptr;
};

template <class Decl>
class Pattern : public RixPattern {
public:
    static constexpr std::size_t kNumParams = std::tuple_size<decltype(Decl::kParams)>::value;
    static_assert(wellFormed(Decl::kParams), "outputs first, struct begin and end paired");

    Pattern() {
        for (std::size_t id = 0; id < kNumParams; ++id) {
            const ParamDecl& d = Decl::kParams[id];
            if (!d.hasDefault) continue;
            if (d.type == k_RixSCInteger)
                m_defaults[id].i = d.i;
            else if (d.type == k_RixSCFloat)
                m_defaults[id].f = d.f[0];
            else if (d.type == k_RixSCString)
                m_defaults[id].s = RtUString::UstrMakeUnique(d.s);
            else
                m_defaults[id].v = {d.f[0], d.f[1], d.f[2]};
        }
    }

    int Init(RixContext& ctx, RtUString /*pluginPath*/) override {
        bool missing = false;
        for (RixInterfaceId id : Decl::kServices) {
            RixInterface* service = ctx.GetRixInterface(id);
            missing = missing || !service;
            switch (id) {
                case k_RixMessages:
                    m_services.messages = static_cast<RixMessages*>(service);
                    break;
                case k_RixShadeFunctions:
                    m_services.shadeFunctions = static_cast<RixShadeFunctions*>(service);
                    break;
                case k_RixRenderState:
                    m_services.renderState = static_cast<RixRenderState*>(service);
                    break;
                case k_RixTexture:
                    m_services.texture = static_cast<RixTexture*>(service);
                    break;
            }
        }
        return missing ? 1 : 0;
    }

    void Finalize(RixContext&) override {}

    const RixSCParamInfo* GetParamTable() override {
        try {
            return table();
        } catch (...) {
            return nullptr;  // the next call builds the table again
        }
    }

    void Synchronize(RixContext&, int, const void*) override {}
    int CreateInstanceData(RixContext&, RtUString, const void*, void*) override { return -1; }

    int ComputeOutputParams(const RixShadingContext* ctx, int* numOutputs, OutputSpec** outputs,
                            const void*) override {
        try {
            return compute(ctx, numOutputs, outputs);
        } catch (...) {
            return 1;  // nothing may escape into the host
        }
    }

    bool Bake2dOutput(const void*, void*, const void*) override { return false; }
    bool Bake3dOutput(const void*, void*, const void*) override { return false; }

    // The table, built once per process; concurrent first callers wait for one builder.
    static const RixSCParamInfo* table() {
        static const std::array<RixSCParamInfo, kNumParams + 1> built = buildTable();
        return built.data();
    }

protected:
    // The node's work on one batch: evaluate, allocate outputs, loop over the points.
    virtual int compute(const RixShadingContext* ctx, int* numOutputs,
                        OutputSpec** outputs) const = 0;

    // Evaluates every input the declaration marks Uniform or Varying, in table order, with the
    // node's default member.
    Inputs<kNumParams> evaluateInputs(const RixShadingContext* ctx) const {
        Inputs<kNumParams> in;
        for (std::size_t k = 0; k < kNumParams; ++k) {
            const ParamDecl& d = Decl::kParams[k];
            if (d.access != k_RixSCInput || d.eval == Eval::Manual) continue;
            const int id = static_cast<int>(k);
            evaluateOne(ctx, id, d, in);
        }
        return in;
    }

    const DefaultSlot& defaultOf(int id) const { return m_defaults[id]; }
    const Services& services() const { return m_services; }

private:
    static std::array<RixSCParamInfo, kNumParams + 1> buildTable() {
        std::array<RixSCParamInfo, kNumParams + 1> t{};
        for (std::size_t k = 0; k < kNumParams; ++k) {
            const ParamDecl& d = Decl::kParams[k];
            t[k].name = RtUString::UstrMakeUnique(d.name);
            t[k].customtype = RtUString::UstrMakeUnique(d.structType);
            t[k].type = d.type;
            t[k].access = d.access;
            t[k].arraySize = d.arraySize;
        }
        t[kNumParams] = RixSCParamInfo{};  // empty names, type 0, access 255, array size -1
        return t;
    }

    void evaluateOne(const RixShadingContext* ctx, int id, const ParamDecl& d,
                     Inputs<kNumParams>& in) const {
        const DefaultSlot& slot = m_defaults[id];
        switch (d.type) {
            case k_RixSCInteger:
                in.set(id, evaluateAs(ctx, id, d, &slot.i));
                break;
            case k_RixSCFloat:
                in.set(id, evaluateAs(ctx, id, d, &slot.f));
                break;
            case k_RixSCColor:
                in.set(id, evaluateAs(ctx, id, d, &slot.c));
                break;
            case k_RixSCPoint:
            case k_RixSCVector:
            case k_RixSCNormal:
                in.set(id, evaluateAs(ctx, id, d, &slot.v));
                break;
            case k_RixSCString:
                in.set(id, evaluateAs(ctx, id, d, &slot.s));
                break;
            default:
                break;
        }
    }

    // One input as T. A value that does not come back falls back to the default itself, and a
    // promoted input that comes back as a single value is copied to every point, so nodes read
    // every input that has a default without a null test or a short array.
    template <class T>
    static const T* evaluateAs(const RixShadingContext* ctx, int id, const ParamDecl& d,
                               const T* dflt) {
        const bool promote = d.eval == Eval::Varying;
        const T* v = nullptr;
        const RixSCDetail detail =
            ctx->EvalParam(id, -1, &v, d.hasDefault ? dflt : nullptr, promote);
        if (!v && d.hasDefault) v = dflt;
        if (!v || !promote || detail == k_RixSCVarying) return v;
        T* all = BatchAllocator(ctx).get<T>(ctx->numPts);
        for (int i = 0; i < ctx->numPts; ++i) all[i] = *v;
        return all ? all : v;
    }

    std::array<DefaultSlot, kNumParams> m_defaults;
    Services m_services;
};

}  // namespace tessera

#if defined(__GNUC__)
#define TESSERA_EXPORT __attribute__((visibility("default")))
#else
#define TESSERA_EXPORT
#endif

// The two undecorated entry points of a plug-in library. Creation never throws into the host.
#define TESSERA_PATTERN_ENTRY_POINTS(NodeClass)                                    \
    extern "C" TESSERA_EXPORT RixPattern* CreateRixPattern(const char* /*hint*/) { \
        try {                                                                      \
            return new (std::nothrow) NodeClass();                                 \
        } catch (...) {                                                            \
            return nullptr;                                                        \
        }                                                                          \
    }                                                                              \
    extern "C" TESSERA_EXPORT void DestroyRixPattern(RixPattern* pattern) { delete pattern; }
