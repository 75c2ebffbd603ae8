// libFuzzer target: the summary of a run, and its surfaces with their slice tables, must survive any
// result file (and its text any value). Built by tools/fuzz.sh; its corpus is replayed by the tests.
#include "model/ResultSurfaces.h"
#include "model/RunSummary.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto summary = parseRunSummary(text, QStringLiteral("fuzz.sl4r"));
    if (summary) (void)runSummaryHtml(*summary);
    if (const auto surfaces = parseResultSurfaces(text, QStringLiteral("fuzz.sl4r")))
        for (const ResultSurface& s : surfaces->surfaces) {
            (void)s.sliceAt(s.xLeft.empty() ? 0 : s.xLeft.front());
            for (const ResultSurface::Method& m : s.methods)
                if (const auto table = sliceTable(*surfaces, s, m.name))
                    (void)table->delimited(QLatin1Char('\t'));
        }
    return 0;
}
