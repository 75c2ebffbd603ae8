#pragma once
// Facts of the problem file that the program's reader and writer and the engine's reader share.
#include <cstddef>

namespace problemformat {

// Larger files are refused before they are read: the largest problem the tables can hold is well
// under a megabyte, so anything this size is no problem file.
inline constexpr std::size_t kMaxFileBytes = 16 * 1024 * 1024;
inline constexpr char kMaxFileText[] = "16 MiB";

} // namespace problemformat
