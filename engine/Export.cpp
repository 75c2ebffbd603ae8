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

// The run of command 2, watched: `report` is called between stages of work (about every 4096
// trials, from the calling thread) with the trials made, their total and the lowest factor of safety
// so far (0: none yet); a nonzero return cancels the run, which then writes nothing and returns 2.
// Callers that do not watch keep calling _IVELDA(2).
extern "C" __attribute__((visibility("default"))) int32_t
_IVELDA_PROGRESS(int32_t command, int32_t (*report)(void* context, int64_t done, int64_t total, double best),
                 void* context) {
    try {
        if (command != 2) return 1;
        if (!report) return velda::runFromDirectory(".");
        return velda::runFromDirectory(".", [report, context](const velda::RunProgress& p) {
            return report(context, static_cast<int64_t>(p.done), static_cast<int64_t>(p.total), p.best) == 0;
        });
    } catch (...) {
    }
    return 1;
}
