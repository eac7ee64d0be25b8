// The --move-exclusive job: one rename that never replaces anything and
// never follows a link, of the item the caller identified.
#pragma once

#include "entry/option_words.h"

namespace fileprobe {

inline constexpr int kFileOperationFailed = 3;

[[noreturn]] void runMoveJob(const Arguments& arguments);

// The move itself: 0 when the item was renamed, otherwise the macOS errno.
// Every descriptor it opens is closed before it returns.
int moveExclusive(const Arguments& arguments);

// Writes {"ok":...,"errno":...} and ends the process: status 0 when ok, 3 otherwise.
[[noreturn]] void moveResult(bool ok, int errnoValue);

}  // namespace fileprobe
