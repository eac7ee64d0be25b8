// The table of jobs: each is chosen by the word in argument 1, writes its one
// line and returns its exit status (common/exit_status.h); only the entry
// point ends the process.
#pragma once

#include "common/arguments.h"

namespace fileprobe {

using JobFunction = int (*)(const Arguments& arguments);

// The job argument 1 names: "--inspect-paths", "--move-exclusive" and
// "--copy-metadata-fd" are compared in that order, exactly and
// case-sensitively; anything else, or no argument at all, is text extraction.
JobFunction jobFor(const Arguments& arguments);

}  // namespace fileprobe
