// The subcommands of tessera. Each returns the exit status or throws Failure.
#pragma once

#include <string>
#include <vector>

namespace tessera::cli {

int renderCommand(const std::vector<std::string>& args);
int evalCommand(const std::vector<std::string>& args);
int nodesCommand(const std::vector<std::string>& args);
int infoCommand(const std::vector<std::string>& args);

}  // namespace tessera::cli
