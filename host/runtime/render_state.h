// The render-state service: user options ("user:name") from the network file or command line.
#pragma once

#include <map>
#include <string>

#include "rix/services.h"

namespace tessera::host {

class RenderState final : public RixRenderState {
public:
    void setInt(const std::string& name, int value);
    void setFloat(const std::string& name, float value);
    void setString(const std::string& name, const std::string& value);

    int QueryOption(RtUString name, void* result, int resultSize, Type* resultType,
                    int* resultCount) const override;

private:
    struct Value {
        Type type = k_Invalid;
        int i = 0;
        float f = 0.f;
        RtUString s;
    };
    std::map<const char*, Value> m_options;  // keyed by interned name
};

}  // namespace tessera::host
