#include "Output.h"

#include "format/NumberFormat.h"

#include <cmath>
#include <cstdlib>
#include <ctime>

namespace velda {

std::string fixed(double value, int decimals) {
    return std::isfinite(value) ? numfmt::fixed(value, decimals) : "n/a";
}

std::string general(double value, int digits) {
    return numfmt::general(value, digits);
}

std::string runTime() {
    std::tm tm{};
    std::time_t t = std::time(nullptr);
    if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); epoch && *epoch) {
        t = static_cast<std::time_t>(std::strtoll(epoch, nullptr, 10));
        gmtime_r(&t, &tm);
    } else {
        localtime_r(&t, &tm);
    }
    char buf[64];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M", &tm);
    return buf;
}

} // namespace velda
