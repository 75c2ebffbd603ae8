#pragma once
// The three files a run leaves beside the problem: the report (Report.cpp), the plot file the graph
// reads (PlotWriter.cpp) and the result file for other programs (ResultFile.cpp).
#include "Analysis.h"
#include "RunFiles.h"

#include <string>

namespace velda {

std::string reportText(const Problem& problem, const AnalysisResult& result, const RunFiles& files);
std::string failureReportText(const std::string& why, const RunFiles& files);
// `clipped` receives a sentence for everything the graph's capacities leave out.
std::string plotText(const Problem& problem, const Slope& slope, const AnalysisResult& result,
                     std::vector<std::string>& clipped);
std::string resultJson(const Problem* problem, const AnalysisResult* result,
                       const std::vector<std::string>& errors);

// Numbers for the files: "." as decimal point whatever the process locale.
std::string fixed(double value, int decimals);
std::string general(double value, int digits = 10);
// When the run happened, for the report: the time SOURCE_DATE_EPOCH gives when it is set (so runs
// can be compared byte for byte), otherwise now.
std::string runTime();

// What is said of negative effective normal forces, in the report and the result file.
inline constexpr char kNegativeForcesTreatment[] =
    "kept as computed (the classical equations, no tension cut-off)";

} // namespace velda
