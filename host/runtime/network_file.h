// Network files: the subset of RIB that describes a shading network.
//
//   # a comment
//   Option "searchpath" "string rixplugin" ["plugins:@"]
//   Option "user" "int texturemipbias" [1]
//   Pattern "qnGrayCells" "cells" "int seed" [7] "reference struct manifold" ["m:result"]
//
// A parameter is "type name" [values] (the brackets may be left out for one value), an array
// "type[n] name" [n values], a connection "reference type name" ["handle:output"].
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "network.h"
#include "render_state.h"

namespace tessera::host {

struct PatternStatement {
    std::string type, handle, origin;
    std::vector<ParamAssignment> params;
};

struct NetworkFile {
    std::string path;
    std::vector<PatternStatement> patterns;
    std::vector<ParamAssignment> userOptions;     // Option "user" entries
    std::optional<std::string> pluginSearchPath;  // Option "searchpath" "string rixplugin"
    std::vector<std::string> warnings;            // statements understood but not used
};

// Throws Error "file:line:column: what was expected".
NetworkFile parseNetworkText(const std::string& text, const std::string& path);
NetworkFile readNetworkFile(const std::string& path);

// The plug-in search path a file asks for: its rixplugin list with '@' replaced by the default
// path and relative folders taken from the file's folder; the default path when it sets none.
std::vector<std::string> pluginSearchPath(const NetworkFile& file,
                                          const std::vector<std::string>& defaults);

// Sets the file's user options ("user:name") on the render state.
void applyUserOptions(const NetworkFile& file, RenderState& state);

// Adds every Pattern of the file to the network and resolves the connections.
void buildNetwork(const NetworkFile& file, Network& network);

}  // namespace tessera::host
