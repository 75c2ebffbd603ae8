#pragma once
#include "Analysis.h"

namespace velda {

// The circular, irregular and block searches of the problem's search section.
AnalysisResult searchSurfaces(const Problem& problem, const Slope& slope);

} // namespace velda
