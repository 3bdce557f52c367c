#include "host.h"

namespace tessera::host {

Host::Host(std::vector<std::string> searchPath) : m_plugins(std::move(searchPath)) {}

RixInterface* Host::GetRixInterface(RixInterfaceId id) const {
    if (m_withheld.count(id)) return nullptr;
    auto* self = const_cast<Host*>(this);  // services are handed out mutable, as in the renderer
    switch (id) {
        case k_RixMessages:
            return &self->m_messages;
        case k_RixRenderState:
            return &self->m_renderState;
        case k_RixShadeFunctions:
            return &self->m_shadeFunctions;
        default:
            return nullptr;
    }
}

}  // namespace tessera::host
