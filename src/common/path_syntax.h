// The syntax of path strings, without asking the file system anything:
// absolute form, components, final name, parent, extension and the ASCII
// case folding that extensions are compared with.
#pragma once

#include <string_view>
#include <vector>

namespace fileprobe {

inline constexpr std::string_view kRootPath = "/";

// Starts with "/" and holds no NUL byte (which no system call could pass on).
bool isAbsolutePath(std::string_view path);

// The components between "/" characters; empty ones (from "//" or a
// trailing "/") are left out.
std::vector<std::string_view> pathComponents(std::string_view path);

// True when a component of `path` is "." or "..", which the jobs never
// resolve: such a path is refused, not normalised.
bool hasDotComponent(std::string_view path);

// True when `path` is absolute and has no empty component (no "//", no
// trailing "/") and no "." or ".." component. "/" itself is normalised.
bool isNormalisedPath(std::string_view path);

// The text after the last "/"; "/" for the root itself.
std::string_view finalNameOf(std::string_view path);

// The text before the last "/", or "/" when that is empty.
std::string_view parentPathOf(std::string_view path);

// The text after the last "/" once trailing "/" are set aside, as a file
// URL's last path component; empty for a path made only of "/".
std::string_view lastPathComponentOf(std::string_view path);

// As a file URL's path extension: the text after the last "." of the last
// path component; none for a name that starts with its only ".".
std::string_view pathExtension(std::string_view path);

// Whether `text` equals, or ends with, the lower-case ASCII `lowerCase`
// when its ASCII capitals are read as small letters.
bool equalsIgnoringAsciiCase(std::string_view text, std::string_view lowerCase);
bool endsWithIgnoringAsciiCase(std::string_view text, std::string_view lowerCase);

}  // namespace fileprobe
