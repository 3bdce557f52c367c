#include "network.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace tessera::host {

namespace {

// Colour, point, vector and normal interchange; every other type matches only itself.
bool compatible(RixSCType a, RixSCType b) { return a == b || (isTriple(a) && isTriple(b)); }

RixSCType parseTypeName(const std::string& t) {
    if (t == "float") return k_RixSCFloat;
    if (t == "int") return k_RixSCInteger;
    if (t == "color") return k_RixSCColor;
    if (t == "point") return k_RixSCPoint;
    if (t == "vector") return k_RixSCVector;
    if (t == "normal") return k_RixSCNormal;
    if (t == "string") return k_RixSCString;
    if (t == "struct") return k_RixSCStructBegin;
    return k_RixSCInvalidType;
}

std::size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diag = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t up = row[j];
            const bool same = std::tolower(a[i - 1]) == std::tolower(b[j - 1]);
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diag + (same ? 0 : 1)});
            diag = up;
        }
    }
    return row[b.size()];
}

// Visits the ids a user can name: struct members and struct ends are reached through their
// struct.
void forEachNamedParam(const NetworkNode& node, const std::function<void(int)>& visit) {
    bool inStruct = false;
    for (int id = 0; id < node.numParams; ++id) {
        const RixSCType t = node.table[id].type;
        if (t == k_RixSCStructEnd) {
            inStruct = false;
            continue;
        }
        if (inStruct) continue;
        visit(id);
        if (t == k_RixSCStructBegin) inStruct = true;
    }
}

std::string nearestName(const NetworkNode& node, const std::string& name, bool output) {
    std::string best;
    std::size_t bestDistance = std::max<std::size_t>(2, name.size() / 3) + 1;
    forEachNamedParam(node, [&](int id) {
        if ((node.table[id].access == k_RixSCOutput) != output) return;
        const std::string candidate = node.table[id].name.CStr();
        const std::size_t d = editDistance(name, candidate);
        if (d < bestDistance) bestDistance = d, best = candidate;
    });
    return best.empty() ? "" : " (did you mean '" + best + "'?)";
}

// Errors carry the place in the user's file where the offending text was written.
[[noreturn]] void rethrowAt(const std::string& origin, const Error& e) {
    if (origin.empty()) throw e;
    throw Error(origin + ": " + e.what());
}

std::string unknownParam(const NetworkNode& node, const std::string& name, bool output) {
    return node.describe() + ": unknown " + (output ? "output" : "parameter") + " '" + name + "'" +
           nearestName(node, name, output);
}

}  // namespace

bool isTriple(RixSCType t) {
    return t == k_RixSCColor || t == k_RixSCPoint || t == k_RixSCVector || t == k_RixSCNormal;
}

int componentsOf(RixSCType type) { return isTriple(type) ? 3 : 1; }

const char* typeName(RixSCType type) {
    switch (type) {
        case k_RixSCInteger:
            return "int";
        case k_RixSCFloat:
            return "float";
        case k_RixSCColor:
            return "color";
        case k_RixSCPoint:
            return "point";
        case k_RixSCVector:
            return "vector";
        case k_RixSCNormal:
            return "normal";
        case k_RixSCString:
            return "string";
        case k_RixSCStructBegin:
            return "struct-begin";
        case k_RixSCStructEnd:
            return "struct-end";
        default:
            return "none";
    }
}

int findParam(const NetworkNode& node, const std::string& name, bool output) {
    int found = -1;
    forEachNamedParam(node, [&](int id) {
        if (found < 0 && (node.table[id].access == k_RixSCOutput) == output &&
            name == node.table[id].name.CStr())
            found = id;
    });
    if (found < 0 && output)  // an output struct's member may also be named on its own
        for (int id = 0; id < node.numParams && found < 0; ++id)
            if (node.table[id].access == k_RixSCOutput &&
                node.table[id].type != k_RixSCStructBegin &&
                node.table[id].type != k_RixSCStructEnd && name == node.table[id].name.CStr())
                found = id;
    return found;
}

Network::Network(Host& host) : m_host(host) {}

Network::~Network() {
    for (auto& n : m_nodes)
        if (n->object) n->library->destroy()(n->object);
}

int Network::find(const std::string& handle) const {
    for (int k = 0; k < size(); ++k)
        if (m_nodes[k]->handle == handle) return k;
    return -1;
}

void Network::addNode(const std::string& type, const std::string& handle,
                      const std::vector<ParamAssignment>& params, const std::string& origin) {
    try {
        addNodeOnly(type, handle);
    } catch (const Error& e) {
        rethrowAt(origin, e);
    }
    NetworkNode& n = *m_nodes.back();
    for (const ParamAssignment& a : params) {
        try {
            assign(n, a);
        } catch (const Error& e) {
            rethrowAt(a.origin.empty() ? origin : a.origin, e);
        }
    }
}

void Network::addNodeOnly(const std::string& type, const std::string& handle) {
    if (handle.empty()) throw Error("node of type '" + type + "' has an empty handle");
    if (handle.find(':') != std::string::npos)
        throw Error("handle '" + handle + "' contains ':', which separates handle and output");
    if (find(handle) >= 0) throw Error("handle '" + handle + "' is used twice");

    auto node = std::make_unique<NetworkNode>();
    node->type = type;
    node->handle = handle;
    node->library = m_host.plugins().load(type);
    node->object = node->library->create()(nullptr);
    if (!node->object) throw Error(node->library->path() + ": CreateRixPattern returned null");
    NetworkNode& n = *node;
    m_nodes.push_back(std::move(node));  // owned from here, so the object is destroyed on error

    if (n.object->Init(m_host, RtUString::UstrMakeUnique(n.library->path().c_str())) != 0)
        throw Error(n.describe() + ": Init failed (a host service it needs is missing)");
    n.table = n.object->GetParamTable();
    n.numParams = validateParamTable(n.table, n.library->path());
    n.params.resize(static_cast<std::size_t>(n.numParams));
    n.consumed.assign(static_cast<std::size_t>(n.numParams), 0);
}

void Network::assign(NetworkNode& node, const ParamAssignment& a) {
    const int id = findParam(node, a.name, false);
    if (id < 0) {
        if (findParam(node, a.name, true) >= 0)
            throw Error(node.describe() + ": '" + a.name + "' is an output and cannot be set");
        throw Error(unknownParam(node, a.name, false));
    }
    const RixSCParamInfo& info = node.table[id];
    const std::string what = node.describe() + ": parameter '" + a.name + "'";
    const RixSCType declared = parseTypeName(a.type);
    if (declared == k_RixSCInvalidType) throw Error(what + ": unknown type '" + a.type + "'");
    if (!compatible(declared, info.type))
        throw Error(
            what + " is " + typeName(info.type) +
            (info.type == k_RixSCStructBegin ? " " + std::string(info.customtype.CStr()) : "") +
            ", not " + a.type);
    if (declared == k_RixSCStructBegin && !a.reference)
        throw Error(what + ": a struct can only be connected, with \"reference struct\"");
    if (a.arraySize >= 0 && info.arraySize < 0) throw Error(what + " is not an array");
    if (info.arraySize > 0 && a.arraySize > info.arraySize)
        throw Error(what + " holds at most " + std::to_string(info.arraySize) + " elements");

    ParamValue& v = node.params[static_cast<std::size_t>(id)];
    if (v.kind != ParamValue::Unset) throw Error(what + " is given twice");
    const int elements = a.arraySize >= 0 ? a.arraySize : 1;
    v.elements = info.arraySize >= 0 ? elements : -1;

    if (a.reference) {
        if (static_cast<int>(a.strings.size()) != elements || !a.numbers.empty())
            throw Error(what + ": expected " + std::to_string(elements) +
                        " \"handle:output\" reference" + (elements == 1 ? "" : "s"));
        v.kind = ParamValue::Connected;
        v.links.assign(static_cast<std::size_t>(elements), OutputLink{});
        for (int e = 0; e < elements; ++e)
            m_pending.push_back(
                {find(node.handle), id, e, a.strings[static_cast<std::size_t>(e)], a.origin});
        return;
    }

    const int expected = elements * componentsOf(info.type);
    const bool isString = info.type == k_RixSCString;
    const std::size_t given = isString ? a.strings.size() : a.numbers.size();
    if (static_cast<int>(given) != expected || (isString ? !a.numbers.empty() : !a.strings.empty()))
        throw Error(what + ": expected " + std::to_string(expected) +
                    (isString ? " string" : " number") + (expected == 1 ? "" : "s") + " for " +
                    a.type + (a.arraySize >= 0 ? "[" + std::to_string(a.arraySize) + "]" : "") +
                    ", got " + std::to_string(a.numbers.size() + a.strings.size()) + " values");
    v.kind = ParamValue::Constant;
    if (isString) {
        for (const std::string& s : a.strings)
            v.strings.push_back(RtUString::UstrMakeUnique(s.c_str()));
    } else if (info.type == k_RixSCInteger) {
        for (double d : a.numbers) {
            if (!(d == std::floor(d) && d >= -2147483648.0 && d <= 2147483647.0))
                throw Error(what + ": expected an integer, got " + std::to_string(d));
            v.ints.push_back(static_cast<int>(d));
        }
    } else {
        for (double d : a.numbers) v.floats.push_back(static_cast<float>(d));
    }
}

void Network::finalize() {
    for (const PendingLink& link : m_pending) {
        try {
            resolve(link);
        } catch (const Error& e) {
            rethrowAt(link.origin, e);
        }
    }
    m_pending.clear();
    checkCycles();
}

void Network::resolve(const PendingLink& link) {
    NetworkNode& down = *m_nodes[static_cast<std::size_t>(link.node)];
    const RixSCParamInfo& input = down.table[link.param];
    const std::string what = down.describe() + ": connection of '" +
                             std::string(input.name.CStr()) + "' to '" + link.ref + "'";
    const std::size_t colon = link.ref.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == link.ref.size())
        throw Error(what + ": expected \"handle:output\"");
    const int upIndex = find(link.ref.substr(0, colon));
    if (upIndex < 0) throw Error(what + ": no node has handle '" + link.ref.substr(0, colon) + "'");
    NetworkNode& up = *m_nodes[static_cast<std::size_t>(upIndex)];
    const std::string outName = link.ref.substr(colon + 1);
    const int out = findParam(up, outName, true);
    if (out < 0) throw Error(what + ": " + unknownParam(up, outName, true));
    const RixSCParamInfo& output = up.table[out];
    const bool structs = input.type == k_RixSCStructBegin;
    if (!compatible(input.type, output.type) || (structs && input.customtype != output.customtype))
        throw Error(what + ": " + typeName(output.type) + " output does not fit a " +
                    typeName(input.type) + " input");

    down.params[static_cast<std::size_t>(link.param)]
        .links[static_cast<std::size_t>(link.element)] = {upIndex, out};
    up.consumed[static_cast<std::size_t>(out)] = 1;
    if (!structs) return;
    // A struct connection connects each member to the upstream member of the same name.
    for (int m = link.param + 1; down.table[m].type != k_RixSCStructEnd; ++m) {
        int upMember = -1;
        for (int k = out + 1; up.table[k].type != k_RixSCStructEnd; ++k)
            if (up.table[k].name == down.table[m].name) upMember = k;
        if (upMember < 0 || !compatible(up.table[upMember].type, down.table[m].type))
            throw Error(what + ": the upstream struct has no member '" +
                        std::string(down.table[m].name.CStr()) + "' of type " +
                        typeName(down.table[m].type));
        ParamValue& member = down.params[static_cast<std::size_t>(m)];
        member.kind = ParamValue::Connected;
        member.links = {OutputLink{upIndex, upMember}};
        up.consumed[static_cast<std::size_t>(upMember)] = 1;
    }
}

void Network::checkCycles() const {
    enum { White, Grey, Black };
    std::vector<int> colour(m_nodes.size(), White);
    std::function<void(int, std::vector<std::string>&)> visit =
        [&](int k, std::vector<std::string>& path) {
            colour[static_cast<std::size_t>(k)] = Grey;
            path.push_back(m_nodes[static_cast<std::size_t>(k)]->handle);
            for (const ParamValue& v : m_nodes[static_cast<std::size_t>(k)]->params)
                for (const OutputLink& l : v.links) {
                    if (l.node < 0) continue;
                    if (colour[static_cast<std::size_t>(l.node)] == Grey) {
                        std::string cycle;
                        auto start = std::find(path.begin(), path.end(),
                                               m_nodes[static_cast<std::size_t>(l.node)]->handle);
                        for (auto it = start; it != path.end(); ++it) cycle += *it + " <- ";
                        throw Error("the network has a cycle: " + cycle +
                                    m_nodes[static_cast<std::size_t>(l.node)]->handle);
                    }
                    if (colour[static_cast<std::size_t>(l.node)] == White) visit(l.node, path);
                }
            path.pop_back();
            colour[static_cast<std::size_t>(k)] = Black;
        };
    for (int k = 0; k < size(); ++k) {
        std::vector<std::string> path;
        if (colour[static_cast<std::size_t>(k)] == White) visit(k, path);
    }
}

OutputRef Network::output(const std::string& ref) const {
    const std::size_t colon = ref.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == ref.size())
        throw Error("output '" + ref + "': expected handle:param");
    const int k = find(ref.substr(0, colon));
    if (k < 0)
        throw Error("output '" + ref + "': no node has handle '" + ref.substr(0, colon) + "'");
    const NetworkNode& n = node(k);
    const int id = findParam(n, ref.substr(colon + 1), true);
    if (id < 0)
        throw Error("output '" + ref + "': " + unknownParam(n, ref.substr(colon + 1), true));
    return {k, id, n.table[id].type, ref};
}

OutputRef Network::defaultOutput() const {
    if (m_nodes.empty()) throw Error("the network has no nodes");
    const NetworkNode& n = *m_nodes.back();
    if (n.numParams == 0 || n.table[0].access != k_RixSCOutput)
        throw Error(n.describe() + " has no outputs");
    return {size() - 1, 0, n.table[0].type, n.handle + ":" + n.table[0].name.CStr()};
}

}  // namespace tessera::host
