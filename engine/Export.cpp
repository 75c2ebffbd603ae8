// The library's one entry point, called by the application and the command-line front end.
#include "Engine.h"

#include <cstdint>

// 2 runs the analysis named in names.dat of the current directory; 3 only checks the problem it
// names and writes the findings to check.json there (velda::checkFromDirectory); anything else does
// nothing and returns 1.
extern "C" __attribute__((visibility("default"))) int32_t _IVELDA(int32_t command) {
    try {
        if (command == 2) return velda::runFromDirectory(".");
        if (command == 3) return velda::checkFromDirectory(".");
    } catch (...) {
    }
    return 1;
}
