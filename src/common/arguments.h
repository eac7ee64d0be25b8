// The argument list as every job receives it.
#pragma once

#include <string_view>
#include <vector>

namespace fileprobe {

// Argument 0 is the program's own path.
using Arguments = std::vector<std::string_view>;

}  // namespace fileprobe
