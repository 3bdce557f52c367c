// A node declares its parameters once, as a constexpr list of ParamDecl. The host's parameter
// table, the node's default values and the order of per-batch evaluation all derive from it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "rix/shading.h"

namespace tessera {

// How the shared evaluation reads an input in every batch.
enum class Eval : std::uint8_t {
    Uniform,  // not promoted: one value per batch, read at index 0
    Varying,  // promoted: one value per point
    Manual,   // the node evaluates it itself (struct members, arrays, special cases)
};

struct ParamDecl {
    const char* name = "";
    const char* structType = "";
    RixSCType type = k_RixSCInvalidType;
    RixSCAccess access = k_RixSCInput;
    int arraySize = -1;
    Eval eval = Eval::Manual;
    bool hasDefault = false;
    // The default value, in the field that matches type.
    int i = 0;
    float f[3] = {0.f, 0.f, 0.f};
    const char* s = "";
};

template <std::size_t N>
using ParamList = std::array<ParamDecl, N>;

// --- entries --------------------------------------------------------------------------------

constexpr ParamList<1> output(const char* name, RixSCType type) {
    ParamDecl d;
    d.name = name;
    d.type = type;
    d.access = k_RixSCOutput;
    return {d};
}
constexpr ParamList<1> outFloat(const char* name) { return output(name, k_RixSCFloat); }
constexpr ParamList<1> outColor(const char* name) { return output(name, k_RixSCColor); }

// An input entry; the in* functions below add its default.
constexpr ParamDecl inputEntry(const char* name, RixSCType type, Eval eval, bool hasDefault) {
    ParamDecl d;
    d.name = name;
    d.type = type;
    d.eval = eval;
    d.hasDefault = hasDefault;
    return d;
}

constexpr ParamList<1> inInt(const char* name, int dflt, Eval eval = Eval::Uniform) {
    ParamDecl d = inputEntry(name, k_RixSCInteger, eval, true);
    d.i = dflt;
    return {d};
}
constexpr ParamList<1> inFloat(const char* name, float dflt, Eval eval = Eval::Varying) {
    ParamDecl d = inputEntry(name, k_RixSCFloat, eval, true);
    d.f[0] = dflt;
    return {d};
}
constexpr ParamList<1> inTriple(const char* name, RixSCType type, float x, float y, float z,
                                Eval eval = Eval::Varying) {
    ParamDecl d = inputEntry(name, type, eval, true);
    d.f[0] = x;
    d.f[1] = y;
    d.f[2] = z;
    return {d};
}
constexpr ParamList<1> inColor(const char* name, float r, float g, float b,
                               Eval eval = Eval::Varying) {
    return inTriple(name, k_RixSCColor, r, g, b, eval);
}
constexpr ParamList<1> inString(const char* name, const char* dflt, Eval eval = Eval::Uniform) {
    ParamDecl d = inputEntry(name, k_RixSCString, eval, true);
    d.s = dflt;
    return {d};
}
// An input evaluated without a default value, or by the node itself.
constexpr ParamList<1> inNoDefault(const char* name, RixSCType type, Eval eval = Eval::Manual) {
    return {inputEntry(name, type, eval, false)};
}
// An open-length (arraySize 0) or fixed-length array input; its elements are evaluated by the
// node with their array index.
constexpr ParamList<1> inArray(const char* name, RixSCType type, int arraySize) {
    ParamDecl d;
    d.name = name;
    d.type = type;
    d.arraySize = arraySize;
    return {d};
}

// A PxrManifold struct: begin, Q, Qradius, end. Members carry no default.
constexpr ParamList<4> manifoldStruct(const char* name, RixSCAccess access) {
    ParamList<4> l{};
    const RixSCType types[4] = {k_RixSCStructBegin, k_RixSCPoint, k_RixSCFloat, k_RixSCStructEnd};
    const char* names[4] = {name, "Q", "Qradius", name};
    for (std::size_t k = 0; k < 4; ++k) {
        l[k].name = names[k];
        l[k].type = types[k];
        l[k].access = access;
        l[k].structType = (k == 0 || k == 3) ? "PxrManifold" : "";
    }
    return l;
}
constexpr ParamList<4> manifoldInput(const char* name = "manifold") {
    return manifoldStruct(name, k_RixSCInput);
}
constexpr ParamList<4> manifoldOutput(const char* name = "result") {
    return manifoldStruct(name, k_RixSCOutput);
}

// Concatenates entries and blocks into one declaration, in order.
template <std::size_t... N>
constexpr auto params(const ParamList<N>&... parts) {
    ParamList<(N + ... + 0)> all{};
    std::size_t k = 0;
    auto append = [&](const auto& part) {
        for (std::size_t j = 0; j < part.size(); ++j) all[k++] = part[j];
    };
    (append(parts), ...);
    return all;
}

// --- lookups ---------------------------------------------------------------------------------

constexpr bool sameName(const char* a, const char* b) {
    while (*a && *a == *b) ++a, ++b;
    return *a == *b;
}

// The id of the first entry named name; ill-formed in a constant expression when absent, so a
// misspelt name fails to compile.
template <std::size_t N>
constexpr int paramId(const ParamList<N>& list, const char* name) {
    for (std::size_t k = 0; k < N; ++k)
        if (sameName(list[k].name, name)) return static_cast<int>(k);
    throw "no parameter of that name";
}

template <std::size_t N>
constexpr int countLeadingOutputs(const ParamList<N>& list) {
    int n = 0;
    while (n < static_cast<int>(N) && list[n].access == k_RixSCOutput) ++n;
    return n;
}

// Checks the shape the host relies on: outputs first, struct begin and end paired.
template <std::size_t N>
constexpr bool wellFormed(const ParamList<N>& list) {
    const int outputs = countLeadingOutputs(list);
    const char* openStruct = nullptr;
    for (std::size_t k = 0; k < N; ++k) {
        if (static_cast<int>(k) >= outputs && list[k].access == k_RixSCOutput) return false;
        if (list[k].type == k_RixSCStructBegin) {
            if (openStruct) return false;
            openStruct = list[k].name;
        } else if (list[k].type == k_RixSCStructEnd) {
            if (!openStruct || !sameName(openStruct, list[k].name)) return false;
            openStruct = nullptr;
        }
    }
    return openStruct == nullptr;
}

}  // namespace tessera
