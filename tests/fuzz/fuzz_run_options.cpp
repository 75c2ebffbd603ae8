// libFuzzer target: the engine's run options. What it accepts is a function from 0..1 into 0..1
// whose name, as the report gives it, reads back as the same function.
#include "engine/ProblemInput.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string error;
    const auto options = velda::readRunOptions(std::string(reinterpret_cast<const char*>(data), size), error);
    if (!options) {
        if (error.empty()) __builtin_trap();
        return 0;
    }
    const velda::IntersliceFunction& f = options->interslice;
    const auto again = velda::parseInterslice(f.name(), error);
    if (!again) __builtin_trap();
    for (int i = 0; i <= 64; ++i) {
        const double x = i / 64.0, y = f.at(x);
        if (!(y >= 0 && y <= 1)) __builtin_trap();
        if (again->kind != f.kind || again->at(x) != y) __builtin_trap();
    }
    return 0;
}
