// libFuzzer target: the engine's reading of names.dat accepts only absolute, plain names.
#include "engine/RunFiles.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string error;
    const velda::RunFiles files =
        velda::parseNames(std::string_view(reinterpret_cast<const char*>(data), size), error);
    for (const std::string* name : {&files.problem, &files.report, &files.plot, &files.result}) {
        if (name->empty()) continue;
        if (name->front() != '/') __builtin_trap();
        for (unsigned char c : *name)
            if (c < 0x20 || c == 0x7f) __builtin_trap();
    }
    return 0;
}
