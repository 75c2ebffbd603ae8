// libFuzzer target: the expression evaluator answers every text with a value or one of its
// errors, never with a crash, a hang or a value that is not finite.
#include "base/Errors.h"
#include "tables/Evaluator.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        const long double v =
            Evaluate(QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
        if (!std::isfinite(v)) __builtin_trap();
    } catch (const EDiziOvi&) {
    }
    return 0;
}
