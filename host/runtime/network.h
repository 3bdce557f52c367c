// A shading network: nodes by handle, each input unset, a constant, a connection to an upstream
// output, or an array of either. Everything the user wrote is checked as it is added.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host.h"

namespace tessera::host {

// One parameter of a node as the user wrote it: "type name" [values], "type[n] name" [...],
// or "reference type name" ["handle:output" ...].
struct ParamAssignment {
    std::string type;  // float int color point vector normal string struct
    std::string name;
    int arraySize = -1;  // n for "type[n] name"
    bool reference = false;
    std::vector<double> numbers;
    std::vector<std::string> strings;  // string values, or the "handle:output" references
    std::string origin;  // where the user wrote it ("file:line:column"), prefixed to its errors
};

struct OutputLink {
    int node = -1;
    int output = -1;  // parameter id of the upstream output
};

struct ParamValue {
    enum Kind { Unset, Constant, Connected };
    Kind kind = Unset;
    int elements = -1;  // -1 a single value, n an array of n
    std::vector<int> ints;
    std::vector<float> floats;  // floats, or three per colour, point, vector, normal
    std::vector<RtUString> strings;
    std::vector<OutputLink> links;  // one per element when connected
};

struct NetworkNode {
    std::string type, handle;
    std::shared_ptr<const PluginLibrary> library;
    RixPattern* object = nullptr;
    const RixSCParamInfo* table = nullptr;
    int numParams = 0;
    std::vector<ParamValue> params;      // by parameter id
    std::vector<std::uint8_t> consumed;  // by parameter id: an output that a downstream node reads
    mutable std::atomic<std::uint64_t> runs{0};  // ComputeOutputParams calls, for tests and stats

    std::string describe() const { return "node '" + handle + "' (" + type + ")"; }
};

// A requested output: node, parameter id and type.
struct OutputRef {
    int node = -1;
    int id = -1;
    RixSCType type = k_RixSCInvalidType;
    std::string label;  // "handle:param"
};

class Network {
public:
    explicit Network(Host& host);
    ~Network();
    Network(const Network&) = delete;
    Network& operator=(const Network&) = delete;

    // Loads the node type, creates and initialises its object, and checks every parameter.
    // Connections may name nodes added later; finalize() resolves them.
    // origin ("file:line:column") is prefixed to errors about the node itself.
    void addNode(const std::string& type, const std::string& handle,
                 const std::vector<ParamAssignment>& params, const std::string& origin = "");
    // Resolves connections, then checks for missing handles and outputs, types and cycles.
    void finalize();

    int size() const { return static_cast<int>(m_nodes.size()); }
    const NetworkNode& node(int index) const { return *m_nodes[index]; }
    int find(const std::string& handle) const;  // -1 when absent
    Host& host() const { return m_host; }

    // "handle:param" of an output; throws Error naming what is missing.
    OutputRef output(const std::string& ref) const;
    // The first output of the last node: what a render shows by default.
    OutputRef defaultOutput() const;

private:
    struct PendingLink {
        int node, param, element;
        std::string ref, origin;
    };
    void addNodeOnly(const std::string& type, const std::string& handle);
    void assign(NetworkNode& node, const ParamAssignment& a);
    void resolve(const PendingLink& link);
    void checkCycles() const;

    Host& m_host;
    std::vector<std::unique_ptr<NetworkNode>> m_nodes;
    std::vector<PendingLink> m_pending;
};

// Parameter lookups on a checked table. Struct members are found only through their struct.
int findParam(const NetworkNode& node, const std::string& name, bool output);
int paramCount(const RixSCParamInfo* table);
// Colour, point, vector and normal: three floats per value, and interchangeable.
bool isTriple(RixSCType type);
// Values per element: 1 for int, float and string, 3 for colour, point, vector and normal.
int componentsOf(RixSCType type);
// The name a type code is written with ("float", "color", "struct-begin", ...).
const char* typeName(RixSCType type);

}  // namespace tessera::host
