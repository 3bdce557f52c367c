// The message service: messages go to a sink (stderr by default) as they come; a message
// repeated word for word is shown once and counted, and the counts are reported by flush().
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "rix/services.h"

namespace tessera::host {

class MessageLog final : public RixMessages {
public:
    using Sink = std::function<void(const std::string& line)>;

    MessageLog();
    void LogMessageV(const char* format, va_list args) override;

    void setSink(Sink sink);
    // Reports how often each repeated message came, and starts counting afresh.
    void flush();
    // Every distinct message so far, in order of first appearance, with its count.
    std::vector<std::pair<std::string, int>> messages() const;

private:
    mutable std::mutex m_mutex;
    Sink m_sink;
    std::unordered_map<std::string, int> m_counts;
    std::vector<std::string> m_order;
};

}  // namespace tessera::host
