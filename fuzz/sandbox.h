// A fixed tree of real items for the fuzz targets that touch the file
// system: folders, files, links, a FIFO, a hidden file and a bundle folder.
#pragma once

#include <string>

namespace fileprobe::fuzzing {

// Made once per process under $TMPDIR (or /tmp); the same layout every time.
const std::string& sandboxPath();

}  // namespace fileprobe::fuzzing
