// Opening the file to extract, with the size test applied to what is read.
#pragma once

#include <optional>
#include <string>

#include "platform/unique_fd.h"

namespace fileprobe {

// Opens `path` for reading (following symbolic links, as reading the path
// does) and keeps it only when the open descriptor is a regular file of at
// most kMaximumFileBytes; afterwards the file is read only through it, so a
// name swapped after the test cannot bring other bytes in. The descriptor
// reads blocking. Nothing for anything else: a missing or unreadable file,
// a directory, FIFO, socket or device, or a file too large.
std::optional<UniqueFd> openExtractionInput(const std::string& path);

}  // namespace fileprobe
