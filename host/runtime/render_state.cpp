#include "render_state.h"

#include <cstring>

namespace tessera::host {

void RenderState::setInt(const std::string& name, int value) {
    Value v;
    v.type = k_Integer;
    v.i = value;
    m_options[RtUString::UstrMakeUnique(name.c_str()).CStr()] = v;
}

void RenderState::setFloat(const std::string& name, float value) {
    Value v;
    v.type = k_Float;
    v.f = value;
    m_options[RtUString::UstrMakeUnique(name.c_str()).CStr()] = v;
}

void RenderState::setString(const std::string& name, const std::string& value) {
    Value v;
    v.type = k_String;
    v.s = RtUString::UstrMakeUnique(value.c_str());
    m_options[RtUString::UstrMakeUnique(name.c_str()).CStr()] = v;
}

int RenderState::QueryOption(RtUString name, void* result, int resultSize, Type* resultType,
                             int* resultCount) const {
    const auto it = m_options.find(name.CStr());
    if (it == m_options.end() || !result) return 1;
    const Value& v = it->second;
    const void* src = v.type == k_Integer ? static_cast<const void*>(&v.i)
                      : v.type == k_Float ? static_cast<const void*>(&v.f)
                                          : static_cast<const void*>(&v.s);
    const int size = v.type == k_String ? int(sizeof(RtUString)) : 4;
    if (resultSize < size) return 1;
    std::memcpy(result, src, static_cast<std::size_t>(size));
    if (resultType) *resultType = v.type;
    if (resultCount) *resultCount = 1;
    return 0;
}

}  // namespace tessera::host
