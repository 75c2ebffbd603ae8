#pragma once
// The plot file the engine writes and the graph reads: its record names and the capacities of the
// graph's fixed arrays, which the engine writes within. Lines hold numbers separated by blanks; a
// record is a command line of three letters followed by its data lines.
namespace plotformat {

// The header: 15 lines of one number each; line 11 is the scale factor.
inline constexpr int kHeaderLines = 15;
inline constexpr int kScaleFactorLine = 11;

namespace record {
inline constexpr char kBlocks[] = "BLK";        // N, then N x 5 points (not drawn)
inline constexpr char kBoundary[] = "BND";      // x y S T, then S + 2(T - S) points
inline constexpr char kSlices[] = "INF";        // N, then N lines: index and nine reals
inline constexpr char kLoads[] = "LDS";         // N, then 4N corner points
inline constexpr char kLimits[] = "LMT";        // N, then N pairs of points
inline constexpr char kNewHeader[] = "NPL";     // 15 header lines again
inline constexpr char kReinforcement[] = "RNF"; // N, then per line: n and n points
inline constexpr char kSurface[] = "SRF";       // n fs, then n points
inline constexpr char kTenCritical[] = "TEN";   // 10 blocks: n; fs xc yc r; n points
inline constexpr char kTiebacks[] = "TIE";      // N, then N x 3 points
inline constexpr char kWater[] = "WTR";         // N, then per line: n and n points
inline constexpr char kMethods[] = "MTH";       // N, then N lines: method code and factor (0: none)
inline constexpr char kCentreMap[] = "MAP"; // columns rows; left right bottom top; rows of factors (0: none)
inline constexpr char kEnd[] = "END";
} // namespace record

// The methods of the "MTH" record (the critical surface's factor by every method), by code; the
// factor it was ranked by is that of the first "TEN" block. Readers before this record skip it.
namespace method {
inline constexpr int kOrdinary = 1, kBishop = 2, kJanbu = 3, kJanbuCorrected = 4, kSpencer = 5,
                     kMorgensternPrice = 6;
inline constexpr int kCount = 6;
// Rigorous factors this far (relative) from the ranked factor are said to disagree, in the report,
// the result file and the graph alike.
inline constexpr double kDisagree = 0.10;
} // namespace method

// What the graph holds; the engine writes no more than this.
inline constexpr int kTrialSurfaces = 4000; // indices 1..4000; the first SRF is number 2
inline constexpr int kTrialSurfacesWritten = kTrialSurfaces - 1;
inline constexpr int kSurfacePoints = 200; // per trial or critical surface
inline constexpr int kCriticalSurfaces = 10;
inline constexpr int kSlices = 200;
inline constexpr int kLoadZones = 35; // four corner points each
inline constexpr int kZonePoints = 4 * kLoadZones;
inline constexpr int kLimitLines = 140;
inline constexpr int kReinforcementLines = 50;
inline constexpr int kReinforcementPoints = 20;
inline constexpr int kTiebacks = 20;
inline constexpr int kPiezometricLines = 4;
inline constexpr int kPiezometricPoints = 20;
inline constexpr int kBoundaryRows = 100;

// A file within these capacities is far smaller (about 20 MB at most); a larger one is not read.
inline constexpr long long kMaxFileBytes = 64LL * 1024 * 1024;
inline constexpr char kMaxFileText[] = "64 MiB";
inline constexpr int kRegions = 90;
inline constexpr int kRegionPoints = 90;

} // namespace plotformat
