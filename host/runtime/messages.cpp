#include "messages.h"

#include <cstdio>

namespace tessera::host {

MessageLog::MessageLog() {
    m_sink = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
}

void MessageLog::LogMessageV(const char* format, va_list args) {
    char buffer[1024];
    const int n = std::vsnprintf(buffer, sizeof buffer, format ? format : "", args);
    if (n < 0) return;
    std::string text(buffer);
    while (!text.empty() && text.back() == '\n') text.pop_back();

    std::lock_guard<std::mutex> lock(m_mutex);
    int& count = m_counts[text];
    if (count++ == 0) {
        m_order.push_back(text);
        if (m_sink) m_sink(text);
    }
}

void MessageLog::setSink(Sink sink) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_sink = std::move(sink);
}

void MessageLog::flush() {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const std::string& text : m_order) {
        const int count = m_counts[text];
        if (count > 1 && m_sink) m_sink(text + " (repeated " + std::to_string(count) + " times)");
    }
    m_counts.clear();
    m_order.clear();
}

std::vector<std::pair<std::string, int>> MessageLog::messages() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::pair<std::string, int>> out;
    for (const std::string& text : m_order) out.emplace_back(text, m_counts.at(text));
    return out;
}

}  // namespace tessera::host
