// libFuzzer target: a study file and a part file must survive any text: read, checked against a small
// problem, sampled, and taken for a part of that study. Built by tools/fuzz.sh; its corpus is
// replayed by the tests.
#include "study/StudyFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QString error;
    auto file = parseStudyText(text, QStringLiteral("/nonexistent/fuzz.study.json"), error);
    if (file) {
        velda::Problem p;
        p.soils.resize(3);
        p.waterOn = true;
        p.piezometricSurfaces = {{{0, 1}, {10, 2}}};
        p.loads.resize(2);
        p.tiebacks.resize(1);
        if (!velda::checkStudy(file->study, p))
            for (uint64_t i = 0; i < std::min<uint64_t>(file->study.samples, 4); ++i) {
                const auto values = velda::sampleInputs(file->study, i);
                (void)velda::applyInputs(p, file->study, values);
            }
        (void)mergeParts(*file, {text}, {QStringLiteral("part")}, error);
    }
    return 0;
}
