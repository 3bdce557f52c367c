// Loading pattern plug-ins: the search path, the library, its entry points and its checked
// parameter table.
#pragma once

#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "rix/pattern.h"

namespace tessera::host {

// Thrown for anything the user can fix: a missing plug-in, a broken table, a bad network.
struct Error : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// One loaded library. It stays loaded for the life of the process, as the parameter table and
// the names it made live in it.
class PluginLibrary {
public:
    PluginLibrary(std::string type, std::string path, CreateRixPatternFunc create,
                  DestroyRixPatternFunc destroy);

    const std::string& type() const { return m_type; }
    const std::string& path() const { return m_path; }
    CreateRixPatternFunc create() const { return m_create; }
    DestroyRixPatternFunc destroy() const { return m_destroy; }

private:
    std::string m_type, m_path;
    CreateRixPatternFunc m_create;
    DestroyRixPatternFunc m_destroy;
};

// The node-type directories: each given one, then TESSERA_PLUGIN_PATH, then RMAN_RIXPLUGINPATH
// (both colon-separated), then the build and install folders.
std::vector<std::string> defaultSearchPath(const std::vector<std::string>& first = {});

// Finds and opens X.so for node type X along the search path, once per type.
class PluginRegistry {
public:
    explicit PluginRegistry(std::vector<std::string> searchPath = defaultSearchPath());

    std::shared_ptr<const PluginLibrary> load(const std::string& type);
    const std::vector<std::string>& searchPath() const { return m_searchPath; }
    // The node types (X for each X.so) found along the search path, sorted, without repeats.
    std::vector<std::string> available() const;

private:
    std::vector<std::string> m_searchPath;
    std::mutex m_mutex;
    std::vector<std::shared_ptr<const PluginLibrary>> m_loaded;
};

// Checks a table as the host relies on it: terminated, known type codes and access, outputs
// first, struct begin and end paired. Returns the number of entries before the terminator.
// Throws Error naming the library.
int validateParamTable(const RixSCParamInfo* table, const std::string& library);

}  // namespace tessera::host
