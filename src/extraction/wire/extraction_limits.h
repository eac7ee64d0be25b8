// The bounds of text extraction, the same in the job and in its helper.
#pragma once

#include <cstdint>

namespace fileprobe {

// Longest extracted text written, in user-perceived characters.
inline constexpr std::int64_t kMaximumCharacters = 60000;
// Largest file the extraction job reads, in bytes (64 MiB).
inline constexpr std::uint64_t kMaximumFileBytes = 64ull << 20;

}  // namespace fileprobe
