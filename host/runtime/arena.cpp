#include "arena.h"

namespace tessera::host {

namespace {
constexpr std::size_t kAlign = 16;
std::size_t roundUp(std::size_t n) { return (n + kAlign - 1) & ~(kAlign - 1); }
}  // namespace

void* Arena::allocate(std::size_t bytes) {
    if (bytes == 0) return nullptr;
    bytes = roundUp(bytes);
    while (m_current < m_chunks.size()) {
        Chunk& c = m_chunks[m_current];
        if (m_used + bytes <= c.size) {
            void* p = c.data.get() + m_used;
            m_used += bytes;
            return p;
        }
        ++m_current;
        m_used = 0;
    }
    const std::size_t size = bytes > m_chunkBytes ? bytes : m_chunkBytes;
    // operator new[] of unsigned char is aligned for any fundamental type (16 on x86-64).
    m_chunks.push_back(Chunk{std::unique_ptr<unsigned char[]>(new unsigned char[size]), size});
    m_current = m_chunks.size() - 1;
    m_used = bytes;
    return m_chunks.back().data.get();
}

void Arena::reset() {
    m_current = 0;
    m_used = 0;
}

std::size_t Arena::bytesInUse() const {
    std::size_t n = m_used;
    for (std::size_t k = 0; k < m_current && k < m_chunks.size(); ++k) n += m_chunks[k].size;
    return n;
}

}  // namespace tessera::host
