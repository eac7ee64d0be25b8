// Every exit status the program ends with. Each job returns one of these to
// the entry point, which alone ends the process. Status 1 is never used, so
// that a caller can tell a job's answer from a process that failed to start.
#pragma once

namespace fileprobe {

// Every job: the job did what it was asked; the extraction job always.
inline constexpr int kStatusDone = 0;
// Path inspection: a wrong argument count, or a request that cannot be read,
// is too large or is not an array of at most 1,024 strings.
inline constexpr int kStatusRequestRefused = 2;
// Exclusive move and metadata copy: every outcome but success.
inline constexpr int kStatusOperationFailed = 3;

}  // namespace fileprobe
