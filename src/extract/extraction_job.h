// The default job: the text of one file, or the file name alone with a warning.
#pragma once

#include "entry/option_words.h"

namespace fileprobe {

// Writes the extraction result; the exit status is always 0.
int runExtractionJob(const Arguments& arguments);

}  // namespace fileprobe
