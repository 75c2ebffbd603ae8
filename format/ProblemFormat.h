#pragma once
// Facts of the problem file that the program's reader and writer and the engine's reader share.
#include <cstddef>

namespace problemformat {

// Larger files are refused before they are read: the largest problem the tables can hold is well
// under a megabyte, so anything this size is no problem file.
inline constexpr std::size_t kMaxFileBytes = 16 * 1024 * 1024;
inline constexpr char kMaxFileText[] = "16 MiB";

// Text editors may put a UTF-8 byte-order mark before the first keyword; both readers skip it.
inline constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

// Section keywords. A keyword stands alone on its line; "PROFIL" also reads as "PROFILE".
namespace keyword {
inline constexpr char kProfile[] = "PROFIL";
inline constexpr char kProfileLong[] = "PROFILE";
inline constexpr char kSoil[] = "SOIL";
inline constexpr char kAnisotropy[] = "ANISO";
inline constexpr char kWater[] = "WATER";
inline constexpr char kLoads[] = "LOADS";
inline constexpr char kEarthquake[] = "EQUAKE";
inline constexpr char kLimits[] = "LIMITS";
inline constexpr char kTiebacks[] = "TIES";
inline constexpr char kReinforcement[] = "REINF";
inline constexpr char kSurface[] = "SURFAC";
inline constexpr char kSurfaceReinforced[] = "SURBIS";
inline constexpr char kJanbuCircle[] = "CIRCLE";
inline constexpr char kBishopCircle[] = "CIRCL2";
inline constexpr char kSpencer[] = "SPENCR";
inline constexpr char kIrregular[] = "RANDOM";
inline constexpr char kBlock[] = "BLOCK";
inline constexpr char kExecute[] = "EXECUT";
} // namespace keyword

} // namespace problemformat
