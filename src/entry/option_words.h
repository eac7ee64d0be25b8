// The command forms, and the argument list as every job receives it.
#pragma once

#include <string_view>
#include <vector>

namespace fileprobe {

inline constexpr std::string_view kInspectPathsOption = "--inspect-paths";
inline constexpr std::string_view kMoveExclusiveOption = "--move-exclusive";
inline constexpr std::string_view kCopyMetadataOption = "--copy-metadata-fd";

// Argument 0 is the program's own path.
using Arguments = std::vector<std::string_view>;

}  // namespace fileprobe
