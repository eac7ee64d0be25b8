// Where the running executable is, so that the program finds the files
// installed beside it (the extraction helper and its modules) in the build
// tree and under any installation prefix alike.
#pragma once

#include <string>

namespace fileprobe {

// The absolute path of the running executable, or "" when it cannot be read.
std::string runningExecutablePath();

// The folder of the running executable with a trailing "/", or "" when the
// executable's path cannot be read.
std::string runningExecutableFolder();

}  // namespace fileprobe
