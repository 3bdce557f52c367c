// libFuzzer target: any text, at a few values, through the condition evaluator. It must never
// crash, throw, hang or read out of bounds, and compiling once must agree with the one-call form.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "condition.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const tessera::Condition compiled = tessera::Condition::compile(text);
    for (float x : {0.f, 0.5f, -1.f, 1e30f, std::nanf("")})
        if (compiled.test(x) != tessera::evaluateCondition(text, x)) std::abort();
    return 0;
}
