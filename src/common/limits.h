// The process-wide limits, set by the entry point before any job runs.
#pragma once

#include <cstdint>

namespace fileprobe {

// Longest extracted text written, in user-perceived characters.
extern std::int64_t maximumCharacters;
// Largest file the extraction job reads, in bytes (64 MiB).
extern std::uint64_t maximumFileBytes;

void setGlobalLimits();

}  // namespace fileprobe
