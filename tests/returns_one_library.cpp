// A stand-in engine that refuses every problem, for the "not performed" path.
#include <cstdint>
extern "C" __attribute__((visibility("default"))) int32_t _IVELDA(int32_t) {
    return 1;
}
