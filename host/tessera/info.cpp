// tessera nodes and tessera info: what plug-ins there are, and their parameter tables exactly
// as each plug-in reports them.
#include <cstdio>

#include "command_line.h"
#include "commands.h"
#include "host.h"
#include "network.h"

namespace tessera::cli {

namespace {

std::string jsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\')
            out += '\\', out += static_cast<char>(c);
        else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else
            out += static_cast<char>(c);
    }
    return out + "\"";
}

}  // namespace

int nodesCommand(const std::vector<std::string>& args) {
    const ParsedArgs a = parseArgs("nodes", args, {{"--plugin-path", 1, true}});
    if (!a.positional.empty()) throw usage("nodes: takes no arguments");
    const host::PluginRegistry registry(host::defaultSearchPath(a.all("--plugin-path")));
    for (const std::string& type : registry.available()) std::printf("%s\n", type.c_str());
    return 0;
}

int infoCommand(const std::vector<std::string>& args) {
    const ParsedArgs a =
        parseArgs("info", args, {{"--json", 0, false}, {"--plugin-path", 1, true}});
    if (a.positional.size() != 1) throw usage("info: expected one node type");
    const std::string type = a.positional[0];
    host::Host h(host::defaultSearchPath(a.all("--plugin-path")));
    host::Network net(h);  // one node, so the table is read exactly as a render would read it
    try {
        net.addNode(type, "info", {});
    } catch (const host::Error& e) {
        throw badInput(e.what());
    }
    const host::NetworkNode& n = net.node(0);
    std::string out;
    char line[512];
    if (a.has("--json")) {
        out = "{\"node\": " + jsonString(type) + ", \"params\": [";
        for (int id = 0; id < n.numParams; ++id) {
            const RixSCParamInfo& e = n.table[id];
            std::snprintf(
                line, sizeof line,
                "%s{\"id\": %d, \"name\": %s, \"type\": \"%s\", \"code\": %d, \"access\": \"%s\", "
                "\"arrayLength\": %d, \"structName\": %s}",
                id ? ", " : "", id, jsonString(e.name.CStr()).c_str(), host::typeName(e.type),
                static_cast<int>(e.type), e.access == k_RixSCOutput ? "output" : "input",
                e.arraySize, jsonString(e.customtype.CStr()).c_str());
            out += line;
        }
        out += "]}\n";
    } else {
        out = type + "  " + n.library->path() + "\n";
        out += "  id  access  type          code  array  name\n";
        for (int id = 0; id < n.numParams; ++id) {
            const RixSCParamInfo& e = n.table[id];
            const std::string structName =
                e.customtype.Empty() ? "" : std::string(" (") + e.customtype.CStr() + ")";
            std::snprintf(line, sizeof line, "  %2d  %-6s  %-12s  %4d  %5d  %s%s\n", id,
                          e.access == k_RixSCOutput ? "output" : "input", host::typeName(e.type),
                          static_cast<int>(e.type), e.arraySize, e.name.CStr(), structName.c_str());
            out += line;
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

}  // namespace tessera::cli
