// The normal form of an absolute path, and its final name and parent.
#pragma once

#include <string_view>

namespace fileprobe {

inline constexpr std::string_view kRootPath = "/";

// True when `path` is absolute and has no empty component (no "//", no
// trailing "/") and no "." or ".." component. "/" itself is normalised.
bool isNormalisedPath(std::string_view path);

// The text after the last "/"; "/" for the root itself.
std::string_view finalNameOf(std::string_view path);

// The text before the last "/", or "/" when that is empty.
std::string_view parentPathOf(std::string_view path);

}  // namespace fileprobe
