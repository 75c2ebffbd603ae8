// libFuzzer target: the engine's problem reader, validation and the evaluation of a given surface
// must survive any input. Built by tools/fuzz.sh; its corpus is replayed by the engine tests.
#include "engine/Analysis.h"
#include "engine/ProblemInput.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string error;
    auto problem = velda::readProblem(std::string(reinterpret_cast<const char*>(data), size), error);
    if (!problem || !velda::validateProblem(*problem).empty()) return 0;
    if (problem->lines.size() > 200 || problem->userSurface.size() > 200) return 0;
    const velda::Slope slope(*problem);
    if (problem->search == velda::SearchKind::UserSurface)
        (void)velda::evaluateSurface(slope, problem->userSurface, nullptr,
                                     problem->parameters.interSliceAngle);
    return 0;
}
