// libFuzzer target: the summary of a run must survive any result file (and its text any value).
// Built by tools/fuzz.sh; its corpus is replayed by the tests.
#include "model/RunSummary.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto summary =
        parseRunSummary(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)),
                        QStringLiteral("fuzz.sl4r"));
    if (summary) (void)runSummaryHtml(*summary);
    return 0;
}
