#include "plugin.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>

namespace tessera::host {

namespace fs = std::filesystem;

PluginLibrary::PluginLibrary(std::string type, std::string path, CreateRixPatternFunc createFn,
                             DestroyRixPatternFunc destroyFn)
    : m_type(std::move(type)), m_path(std::move(path)), m_create(createFn), m_destroy(destroyFn) {}

namespace {

void appendColonList(std::vector<std::string>& out, const char* list) {
    if (!list) return;
    std::string s(list);
    std::size_t start = 0;
    while (start <= s.size()) {
        const std::size_t end = std::min(s.find(':', start), s.size());
        if (end > start) out.push_back(s.substr(start, end - start));
        start = end + 1;
    }
}

}  // namespace

std::vector<std::string> defaultSearchPath(const std::vector<std::string>& first) {
    std::vector<std::string> path = first;
    appendColonList(path, std::getenv("TESSERA_PLUGIN_PATH"));
    appendColonList(path, std::getenv("RMAN_RIXPLUGINPATH"));
#ifdef TESSERA_BUILD_PLUGIN_DIR
    path.push_back(TESSERA_BUILD_PLUGIN_DIR);
#endif
#ifdef TESSERA_INSTALL_PLUGIN_DIR
    path.push_back(TESSERA_INSTALL_PLUGIN_DIR);
#endif
    return path;
}

PluginRegistry::PluginRegistry(std::vector<std::string> searchPath)
    : m_searchPath(std::move(searchPath)) {}

std::shared_ptr<const PluginLibrary> PluginRegistry::load(const std::string& type) {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto& lib : m_loaded)
        if (lib->type() == type) return lib;

    const bool plainName =
        !type.empty() && type.find('/') == std::string::npos && type != "." && type != "..";
    std::string looked;
    for (const std::string& dir : m_searchPath) {
        looked += (looked.empty() ? "" : ":") + dir;
        if (!plainName) continue;
        const fs::path file = fs::path(dir) / (type + ".so");
        std::error_code ec;
        if (!fs::is_regular_file(file, ec)) continue;

        void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) throw Error(file.string() + ": cannot load: " + dlerror());
        auto create = reinterpret_cast<CreateRixPatternFunc>(dlsym(handle, "CreateRixPattern"));
        auto destroy = reinterpret_cast<DestroyRixPatternFunc>(dlsym(handle, "DestroyRixPattern"));
        if (!create || !destroy)
            throw Error(file.string() +
                        ": not a pattern plug-in (expected CreateRixPattern and "
                        "DestroyRixPattern)");
        auto lib = std::make_shared<const PluginLibrary>(type, file.string(), create, destroy);
        m_loaded.push_back(lib);
        return lib;
    }
    throw Error("unknown node type '" + type + "' (no " + type + ".so in " +
                (looked.empty() ? std::string("an empty search path") : looked) + ")");
}

std::vector<std::string> PluginRegistry::available() const {
    std::set<std::string> types;
    for (const std::string& dir : m_searchPath) {
        std::error_code ec;
        for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
            if (it->path().extension() == ".so" && it->is_regular_file(ec))
                types.insert(it->path().stem().string());
    }
    return {types.begin(), types.end()};
}

namespace {

bool knownType(int t) {
    switch (t) {
        case k_RixSCInteger:
        case k_RixSCFloat:
        case k_RixSCColor:
        case k_RixSCPoint:
        case k_RixSCVector:
        case k_RixSCNormal:
        case k_RixSCString:
        case k_RixSCStructBegin:
        case k_RixSCStructEnd:
            return true;
        default:
            return false;
    }
}

}  // namespace

int validateParamTable(const RixSCParamInfo* table, const std::string& library) {
    constexpr int kMaxEntries = 4096;
    auto fail = [&](int id, const std::string& what) -> int {
        throw Error(library + ": parameter table entry " + std::to_string(id) + ": " + what);
    };
    if (!table) throw Error(library + ": GetParamTable returned no table");

    bool inputsStarted = false;
    const char* openStruct = nullptr;
    for (int id = 0; id < kMaxEntries; ++id) {
        const RixSCParamInfo& e = table[id];
        if (e.type == k_RixSCInvalidType) {
            if (openStruct) fail(id, std::string("struct '") + openStruct + "' is never closed");
            return id;
        }
        const std::string name = e.name.CStr();
        if (name.empty()) fail(id, "has no name");
        if (!knownType(e.type))
            fail(id, "'" + name + "' has unknown type code " + std::to_string(e.type));
        if (e.access != k_RixSCInput && e.access != k_RixSCOutput)
            fail(id, "'" + name + "' has access " + std::to_string(e.access) + ", expected 0 or 1");
        if (e.arraySize < -1)
            fail(id, "'" + name + "' has array length " + std::to_string(e.arraySize));
        if (e.access == k_RixSCInput)
            inputsStarted = true;
        else if (inputsStarted)
            fail(id, "output '" + name + "' follows an input; outputs come first");

        if (e.type == k_RixSCStructBegin) {
            if (openStruct)
                fail(id, "struct '" + name + "' opens inside struct '" + openStruct + "'");
            if (e.customtype.Empty()) fail(id, "struct '" + name + "' has no struct type name");
            openStruct = e.name.CStr();
        } else if (e.type == k_RixSCStructEnd) {
            if (!openStruct || name != openStruct)
                fail(id, "struct end '" + name + "' does not close an open struct of that name");
            openStruct = nullptr;
        }
    }
    throw Error(library + ": parameter table has no terminating entry within " +
                std::to_string(kMaxEntries) + " entries");
}

}  // namespace tessera::host
