// The library's one entry point, called by the application and the command-line front end.
#include "Engine.h"

#include <cstdint>

// 2 runs the analysis named in names.dat of the current directory; anything else does nothing.
extern "C" __attribute__((visibility("default"))) int32_t _IVELDA(int32_t command) {
    if (command != 2) return 1;
    try {
        return velda::runFromDirectory(".");
    } catch (...) {
        return 1;
    }
}
