// Arrays for one shading batch, from the host's batch memory.
#pragma once

#include <cstddef>

#include "rix/shading.h"

namespace tessera {

class BatchAllocator {
public:
    explicit BatchAllocator(const RixShadingContext* ctx) : m_ctx(ctx) {}

    // n elements of T, valid until the batch ends; null for n <= 0 without asking the host.
    template <class T>
    T* get(int n) const {
        static_assert(sizeof(T) == 4 || sizeof(T) == 12 || sizeof(T) == 16 || sizeof(T) == 8,
                      "batch arrays hold floats, pairs, triples or output records");
        if (n <= 0) return nullptr;
        return static_cast<T*>(m_ctx->AllocateBatchMemory(static_cast<std::size_t>(n), sizeof(T),
                                                          RixShadingContext::k_BatchMemory));
    }
    float* floats(int n) const { return get<float>(n); }
    RtFloat3* triples(int n) const { return get<RtFloat3>(n); }
    RtColorRGB* colors(int n) const { return get<RtColorRGB>(n); }
    OutputSpec* records(int n) const { return get<OutputSpec>(n); }

private:
    const RixShadingContext* m_ctx;
};

static_assert(sizeof(OutputSpec) == 16, "an output record is id, detail and pointer");

}  // namespace tessera
