// Bump allocation for one batch. Chunks are kept from batch to batch, so after the first few
// batches a thread allocates nothing from the heap.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace tessera::host {

class Arena {
public:
    explicit Arena(std::size_t chunkBytes = std::size_t(1) << 20) : m_chunkBytes(chunkBytes) {}
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;

    // 16-byte aligned memory, valid until reset(). Null only for zero bytes.
    void* allocate(std::size_t bytes);
    // Forgets every allocation; keeps the memory for the next batch.
    void reset();
    std::size_t bytesInUse() const;

private:
    struct Chunk {
        std::unique_ptr<unsigned char[]> data;
        std::size_t size = 0;
    };
    std::vector<Chunk> m_chunks;
    std::size_t m_current = 0;  // index of the chunk being filled
    std::size_t m_used = 0;     // bytes used in it
    std::size_t m_chunkBytes;
};

}  // namespace tessera::host
