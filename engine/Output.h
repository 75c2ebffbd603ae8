#pragma once
// The three files a run leaves beside the problem: report, plot file and result file.
#include "Analysis.h"
#include "RunFiles.h"

#include <string>

namespace velda {

std::string reportText(const Problem& problem, const Slope& slope, const AnalysisResult& result,
                       const RunFiles& files);
std::string failureReportText(const std::string& why, const RunFiles& files);
std::string plotText(const Problem& problem, const Slope& slope, const AnalysisResult& result,
                     std::vector<std::string>& clipped);
std::string resultJson(const Problem* problem, const AnalysisResult* result,
                       const std::vector<std::string>& errors);

// Numbers for the files: "." as decimal point whatever the process locale.
std::string fixed(double value, int decimals);
std::string general(double value, int digits = 10);

} // namespace velda
