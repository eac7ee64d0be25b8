// The bounds of path inspection.
#pragma once

#include <cstddef>

namespace fileprobe {

// Longest accepted path, in bytes of its UTF-8 form.
inline constexpr std::size_t maximumPathBytes = 16384;
// Largest request read, in bytes, and most paths in it.
inline constexpr std::size_t maximumRequestBytes = 1048576;
inline constexpr std::size_t maximumRequestPaths = 1024;

}  // namespace fileprobe
