// The default job: the text of one file, or the file name alone with a warning.
#pragma once

#include "common/arguments.h"

namespace fileprobe {

// Writes the extraction result and returns the exit status, always kStatusDone.
int runExtractionJob(const Arguments& arguments);

}  // namespace fileprobe
