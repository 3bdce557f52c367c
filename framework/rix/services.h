// Host services a plug-in may fetch from a RixContext by interface id.
#pragma once

#include <cstdarg>

#include "rix/types.h"

enum RixInterfaceId : int {
    k_RixMessages = 1,
    k_RixRenderState = 18,
    k_RixTexture = 24,
    k_RixShadeFunctions = 25,
};

class RixInterface {
public:
    virtual int GetVersion() const { return 1; }

protected:
    virtual ~RixInterface() = default;
};

class RixContext {
public:
    // The service with the given id, or null when the host has none.
    virtual RixInterface* GetRixInterface(RixInterfaceId id) const = 0;

protected:
    virtual ~RixContext() = default;
};

// Messages shown to the user. printf-style.
class RixMessages : public RixInterface {
public:
    void LogMessage(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
    {
        va_list args;
        va_start(args, format);
        LogMessageV(format, args);
        va_end(args);
    }
    virtual void LogMessageV(const char* format, va_list args) = 0;
};

// Render options set by the user ("user:name").
class RixRenderState : public RixInterface {
public:
    enum Type : int { k_Integer = 0, k_Float = 1, k_String = 2, k_Invalid = -1 };

    // Copies the option's value into result (which the caller presets with a default) when it
    // exists and fits resultSize bytes. Returns 0 when found, non-zero otherwise.
    virtual int QueryOption(RtUString name, void* result, int resultSize, Type* resultType,
                            int* resultCount) const = 0;
};

// Procedural noise. Every operation is a pure, thread-safe function of its arguments.
class RixShadeFunctions : public RixInterface {
public:
    // Smooth gradient noise of (p, t), varying around 0.5 inside [0, 1].
    virtual float Noise(const RtPoint3* p, float t) const = 0;
    // One value in [0, 1] per unit cell of p (and per t).
    virtual float CellNoise(const RtPoint3* p, float t) const = 0;
    // One value in [0, 1] per unit cell of p.
    virtual float PointCellNoise(const RtPoint3* p) const = 0;
    // One value in [0, 1] per integer cell of x.
    virtual float FloatCellNoise(float x) const = 0;
    // Three values in [0, 1] per unit cell of p (and per t).
    virtual RtFloat3 VectorCellNoise(const RtPoint3* p, float t) const = 0;
};

// Image texture lookups for a whole batch.
class RixTexture : public RixInterface {
public:
    // Lookup options, filled by the caller for each batch.
    struct TxParams {
        int version = 1;
        int nchannels = 1;
        int firstchannel = 0;
        bool lerp = true;
        bool invertT = false;
        int filter = 1;
        const float* sblur = nullptr;
        const float* tblur = nullptr;
        bool sblurVarying = true;
        bool tblurVarying = true;
        float swidth = 1.f;
        float twidth = 1.f;
        int reserved0 = 0;
        int reserved1 = 0;
    };
    // What TextureOpen learns of the file.
    struct TxInfo {
        int version = 2;
        int nchannels = 0;
        int width = 0;
        int height = 0;
        const int* formats = nullptr;  // one code per channel; 1 marks 8-bit data
    };

    // 0 on success, 1 when the file cannot be opened. Filled info stays valid until release.
    virtual int TextureOpen(RtUString filename, int atlasStyle, TxInfo* info) = 0;
    virtual int TextureRelease(TxInfo* info) = 0;
    // Filtered lookups of params.nchannels channels at n (s, t) pairs or n points.
    virtual int TextureLookup2(const TxInfo* info, const TxParams& params, int n,
                               const RtFloat2* st, const float* widths, float* result,
                               int* flags) = 0;
    virtual int TextureLookup3(const TxInfo* info, const TxParams& params, int n, const RtPoint3* Q,
                               const float* widths, float* result, int* flags) = 0;
    // Per-point flags of the last failed lookup on this thread (1: use the missing value), or null.
    virtual const int* TextureValidity() = 0;
};
