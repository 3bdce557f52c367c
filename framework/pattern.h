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
    RixSCDetail detail(int id) const { return m_detail[id]; }

    void set(int id, const void* values, RixSCDetail detail) {
        m_values[id] = values;
        m_detail[id] = detail;
    }

private:
    std::array<const void*, N> m_values{};
    std::array<RixSCDetail, N> m_detail{};
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
        const bool promote = d.eval == Eval::Varying;
        const DefaultSlot& slot = m_defaults[id];
        RixSCDetail detail = k_RixSCInvalidDetail;
        const void* values = nullptr;
        switch (d.type) {
            case k_RixSCInteger: {
                const int* v = nullptr;
                detail = ctx->EvalParam(id, -1, &v, d.hasDefault ? &slot.i : nullptr, promote);
                values = v;
                break;
            }
            case k_RixSCFloat: {
                const float* v = nullptr;
                detail = ctx->EvalParam(id, -1, &v, d.hasDefault ? &slot.f : nullptr, promote);
                values = v;
                break;
            }
            case k_RixSCColor: {
                const RtColorRGB* v = nullptr;
                detail = ctx->EvalParam(id, -1, &v, d.hasDefault ? &slot.c : nullptr, promote);
                values = v;
                break;
            }
            case k_RixSCPoint:
            case k_RixSCVector:
            case k_RixSCNormal: {
                const RtFloat3* v = nullptr;
                detail = ctx->EvalParam(id, -1, &v, d.hasDefault ? &slot.v : nullptr, promote);
                values = v;
                break;
            }
            case k_RixSCString: {
                const RtUString* v = nullptr;
                detail = ctx->EvalParam(id, -1, &v, d.hasDefault ? &slot.s : nullptr, promote);
                values = v;
                break;
            }
            default:
                break;
        }
        // A value that does not come back falls back to the default itself, so nodes can read
        // every input that has one without a null test.
        if (!values && d.hasDefault) {
            values = &slot;
            if (promote) values = fillDefault(ctx, d, slot);
            detail = promote ? k_RixSCVarying : k_RixSCUniform;
        }
        in.set(id, values, detail);
    }

    static const void* fillDefault(const RixShadingContext* ctx, const ParamDecl& d,
                                   const DefaultSlot& slot) {
        const BatchAllocator alloc(ctx);
        const int n = ctx->numPts;
        if (d.type == k_RixSCInteger) {
            int* a = alloc.get<int>(n);
            for (int i = 0; i < n; ++i) a[i] = slot.i;
            return a ? static_cast<const void*>(a) : &slot;
        }
        if (d.type == k_RixSCFloat) {
            float* a = alloc.floats(n);
            for (int i = 0; i < n; ++i) a[i] = slot.f;
            return a ? static_cast<const void*>(a) : &slot;
        }
        if (d.type == k_RixSCString) return &slot;
        RtFloat3* a = alloc.triples(n);
        for (int i = 0; i < n; ++i) a[i] = slot.v;
        return a ? static_cast<const void*>(a) : &slot;
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
