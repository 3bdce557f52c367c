// The per-batch shading context that the host hands to a pattern, the parameter descriptor
// and the output record.
#pragma once

#include <cstddef>

#include "rix/services.h"
#include "rix/types.h"

// Type codes of parameter descriptors.
enum RixSCType : int {
    k_RixSCInvalidType = 0,  // terminates a parameter table
    k_RixSCInteger = 2,
    k_RixSCFloat = 3,
    k_RixSCColor = 6,
    k_RixSCPoint = 7,
    k_RixSCVector = 8,
    k_RixSCNormal = 9,
    k_RixSCString = 11,
    k_RixSCStructBegin = 14,
    k_RixSCStructEnd = 15,
};

enum RixSCAccess : int {
    k_RixSCInput = 0,
    k_RixSCOutput = 1,
    k_RixSCInvalidAccess = 255,  // terminating entry
};

// How many values an evaluated array holds.
enum RixSCDetail : int {
    k_RixSCInvalidDetail = 0,  // nothing: no value, or an output not produced
    k_RixSCUniform = 1,        // one value for the whole batch
    k_RixSCVarying = 2,        // one value per point
};

// Where a parameter's value comes from (inputs), or whether anything consumes it (outputs).
enum RixSCConnectionInfo : int {
    k_RixSCDefaultValue = 0,   // unset input, or an output nobody consumes
    k_RixSCParameterList = 1,  // a constant given in the network
    k_RixSCNetworkValue = 2,   // connected to another node (or an output that is requested)
};

// One entry of a parameter table. A parameter's id is its position in the table.
struct RixSCParamInfo {
    RtUString name;
    RtUString customtype;  // struct type name on struct begin and end entries
    RixSCType type = k_RixSCInvalidType;
    RixSCAccess access = k_RixSCInvalidAccess;
    int arraySize = -1;  // -1 single value, 0 open-length array, n > 0 fixed array
};

// One output a pattern hands back for a batch.
struct OutputSpec {
    int paramId = -1;
    RixSCDetail detail = k_RixSCInvalidDetail;
    void* value = nullptr;
};

class RixShadingContext : public RixContext {
public:
    enum BuiltinVar : int {
        k_P = 0,        // shading position, current space (three floats)
        k_PRadius = 1,  // filter radius of the shading position (float)
        k_Po = 2,       // alternative (undisplaced) position, current space (three floats)
    };
    enum TransformInterpretation : int { k_AsPoints = 0, k_AsVectors = 1, k_AsNormals = 2 };
    enum MemCategory : int { k_BatchMemory = 1 };

    int numPts = 0;       // points in this batch; every per-batch array holds numPts values
    int scTraits = 0;     // trait flags of the batch
    int shadingMode = 0;  // how the batch is being shaded

    // Parameter evaluation. arrayIndex is -1, or an element of an array parameter. With
    // promote set the result holds numPts values; otherwise an unconnected value may be a
    // single one. dflt (may be null) is used when the parameter is unset.
    virtual RixSCDetail EvalParam(int id, int arrayIndex, RtUString const** result,
                                  RtUString const* dflt = nullptr, bool promote = false) const = 0;
    virtual RixSCDetail EvalParam(int id, int arrayIndex, RtFloat3 const** result,
                                  RtFloat3 const* dflt = nullptr, bool promote = false) const = 0;
    virtual RixSCDetail EvalParam(int id, int arrayIndex, RtColorRGB const** result,
                                  RtColorRGB const* dflt = nullptr, bool promote = false) const = 0;
    virtual RixSCDetail EvalParam(int id, int arrayIndex, float const** result,
                                  float const* dflt = nullptr, bool promote = false) const = 0;
    virtual RixSCDetail EvalParam(int id, int arrayIndex, int const** result,
                                  int const* dflt = nullptr, bool promote = false) const = 0;

    // Asks what feeds an input or whether an output is consumed. type is in/out.
    virtual int GetParamInfo(int id, RixSCType* type, RixSCConnectionInfo* cinfo,
                             int* arraySize = nullptr) const = 0;

    virtual RixSCDetail GetBuiltinVar(BuiltinVar var, RtFloat3 const** result) const = 0;
    virtual RixSCDetail GetBuiltinVar(BuiltinVar var, float const** result) const = 0;

    // Primitive variables by name. Returns k_RixSCInvalidDetail (0) when absent, after filling
    // the result with the fill value.
    virtual RixSCDetail GetPrimVar(RtUString name, RtFloat3 fill, RtFloat3 const** result,
                                   float const** radius = nullptr) const = 0;
    virtual RixSCDetail GetPrimVar(RtUString name, RtFloat2 fill, RtFloat2 const** result,
                                   float const** radius = nullptr) const = 0;
    virtual RixSCDetail GetPrimVar(RtUString name, float fill, float const** result,
                                   float const** radius = nullptr) const = 0;

    // Transforms numPts values in place between coordinate systems. Returns 0 on success.
    virtual int Transform(TransformInterpretation interp, RtUString fromSpace, RtUString toSpace,
                          RtFloat3* values, float* radius = nullptr) const = 0;

    // Memory valid until the batch ends; never freed by the caller. Suitably aligned for floats.
    virtual void* AllocateBatchMemory(size_t count, size_t elementSize,
                                      MemCategory category = k_BatchMemory) const = 0;

    // A context for the same batch through which parameters are evaluated again, under named
    // values set with SetNamedValue.
    virtual RixShadingContext* CreateOverrideContext() const = 0;
    // Sets a named float (count values) seen by GetPrimVar's float form of upstream nodes.
    virtual int SetNamedValue(RtUString name, int count, const float* values,
                              const void* reserved) = 0;
};
