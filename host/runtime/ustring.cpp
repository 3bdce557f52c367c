// The process-wide table of unique strings behind RtUString, and the standard names.
#include <mutex>
#include <string>
#include <unordered_set>

#include "rix/types.h"

RtUString RtUString::UstrMakeUnique(const char* text) {
    if (!text || !*text) return RtUString();
    // Node-based set: element addresses stay put, so the pointer is the identity.
    static std::mutex mutex;
    static std::unordered_set<std::string> table;
    std::lock_guard<std::mutex> lock(mutex);
    return FromInterned(table.emplace(text).first->c_str());
}

namespace Rix {
const RtUString k_current = RtUString::UstrMakeUnique("current");
const RtUString k_object = RtUString::UstrMakeUnique("object");
const RtUString k_world = RtUString::UstrMakeUnique("world");
const RtUString k_st = RtUString::UstrMakeUnique("st");
const RtUString k_empty = RtUString();
}  // namespace Rix
