// The host: its services, the plug-in registry, and the context nodes receive in Init.
#pragma once

#include <set>

#include "messages.h"
#include "plugin.h"
#include "render_state.h"
#include "shade_functions.h"

namespace tessera::host {

class Host final : public RixContext {
public:
    explicit Host(std::vector<std::string> searchPath = defaultSearchPath());

    RixInterface* GetRixInterface(RixInterfaceId id) const override;

    MessageLog& messages() { return m_messages; }
    RenderState& renderState() { return m_renderState; }
    const ShadeFunctions& shadeFunctions() const { return m_shadeFunctions; }
    PluginRegistry& plugins() { return m_plugins; }

    // Withholds a service from GetRixInterface, as a host without it would.
    void withhold(RixInterfaceId id) { m_withheld.insert(id); }

private:
    MessageLog m_messages;
    RenderState m_renderState;
    ShadeFunctions m_shadeFunctions;
    PluginRegistry m_plugins;
    std::set<int> m_withheld;
};

}  // namespace tessera::host
