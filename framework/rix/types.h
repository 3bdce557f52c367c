// Value types shared by the host interface: unique strings, float triples and pairs.
#pragma once

#include <cstddef>

// Symbols the host process defines and plug-ins use: visible even where plug-ins are built with
// hidden visibility.
#if defined(__GNUC__)
#define RIX_HOST_API __attribute__((visibility("default")))
#else
#define RIX_HOST_API
#endif

// An interned, immutable string. Two RtUStrings made from equal text hold the same pointer,
// so comparison is a pointer comparison. The interning table belongs to the host process;
// plug-ins make their names once and keep them.
class RtUString {
public:
    constexpr RtUString() = default;

    // Interns text (null or "" gives the empty string). Implemented by the host.
    RIX_HOST_API static RtUString UstrMakeUnique(const char* text);

    const char* CStr() const { return m_str ? m_str : ""; }
    bool Empty() const { return m_str == nullptr; }
    bool operator==(RtUString other) const { return m_str == other.m_str; }
    bool operator!=(RtUString other) const { return m_str != other.m_str; }

    // For the host's interning table only.
    static constexpr RtUString FromInterned(const char* interned) { return RtUString(interned); }

private:
    constexpr explicit RtUString(const char* interned) : m_str(interned) {}
    const char* m_str = nullptr;
};

using RtFloat = float;
using RtInt = int;

struct RtFloat3 {
    float x = 0.f, y = 0.f, z = 0.f;
};

// Points, vectors and normals share the three-float layout and the three-float evaluation form.
using RtPoint3 = RtFloat3;
using RtVector3 = RtFloat3;
using RtNormal3 = RtFloat3;

struct RtColorRGB {
    float r = 0.f, g = 0.f, b = 0.f;
};

struct RtFloat2 {
    float x = 0.f, y = 0.f;
};

static_assert(sizeof(RtFloat3) == 12 && sizeof(RtColorRGB) == 12 && sizeof(RtFloat2) == 8,
              "host arrays are tightly packed floats");

namespace Rix {
// Names of the standard coordinate systems and primitive variables, made by the host.
RIX_HOST_API extern const RtUString k_current;
RIX_HOST_API extern const RtUString k_object;
RIX_HOST_API extern const RtUString k_world;
RIX_HOST_API extern const RtUString k_st;
RIX_HOST_API extern const RtUString k_empty;
}  // namespace Rix
