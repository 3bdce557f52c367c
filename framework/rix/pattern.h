// The plug-in base classes. The virtual operations are declared in the host's interface order.
#pragma once

#include "rix/shading.h"

class RixShadingPlugin {
public:
    explicit RixShadingPlugin(int version) : m_version(version) {}

    virtual int GetInterfaceVersion() const { return m_version; }
    virtual int GetPluginKind() const { return 0; }
    virtual int Init(RixContext& ctx, RtUString pluginPath) = 0;
    virtual void Finalize(RixContext& ctx) = 0;
    virtual const RixSCParamInfo* GetParamTable() = 0;
    virtual void Synchronize(RixContext& ctx, int syncMsg, const void* params) = 0;
    virtual int CreateInstanceData(RixContext& ctx, RtUString handle, const void* params,
                                   void* instance) = 0;
    virtual ~RixShadingPlugin() = default;

protected:
    int m_version;
};

class RixPattern : public RixShadingPlugin {
public:
    static constexpr int k_Version = 224;

    RixPattern() : RixShadingPlugin(k_Version) {}

    int GetPluginKind() const override { return 1; }
    virtual int ComputeOutputParams(const RixShadingContext* ctx, int* numOutputs,
                                    OutputSpec** outputs, const void* instanceData) = 0;
    virtual bool Bake2dOutput(const void* bakeContext, void* output, const void* instanceData) = 0;
    virtual bool Bake3dOutput(const void* bakeContext, void* output, const void* instanceData) = 0;
};

// The two functions every plug-in library exports, undecorated.
extern "C" {
typedef RixPattern* (*CreateRixPatternFunc)(const char* hint);
typedef void (*DestroyRixPatternFunc)(RixPattern* pattern);
}
