#include "platform/resource_values.h"

#include <array>

#include "platform/file_status.h"

namespace fileprobe {
namespace {

// Folders with these extensions are applications, plug-ins or documents
// stored as folders on a Mac; copied to Linux they keep that meaning.
constexpr std::array<std::string_view, 14> kPackageExtensions = {
    ".app", ".bundle", ".framework",     ".plugin",    ".kext",        ".appex",      ".xpc",
    ".pkg", ".mpkg",   ".photoslibrary", ".xcodeproj", ".xcworkspace", ".playground", ".rtfd",
};

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool endsWithIgnoringCase(std::string_view text, std::string_view suffix) {
  if (text.size() < suffix.size()) return false;
  const std::string_view tail = text.substr(text.size() - suffix.size());
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    if (asciiLower(tail[i]) != suffix[i]) return false;
  }
  return true;
}

}  // namespace

std::string_view lastPathComponentOf(std::string_view path) {
  const std::size_t end = path.find_last_not_of('/');
  if (end == std::string_view::npos) return {};
  const std::string_view trimmed = path.substr(0, end + 1);
  const std::size_t slash = trimmed.find_last_of('/');
  return slash == std::string_view::npos ? trimmed : trimmed.substr(slash + 1);
}

bool hasPackageExtension(std::string_view name) {
  for (const std::string_view extension : kPackageExtensions) {
    // A name that is only the extension (".app") is a hidden name without
    // an extension, as a Mac reads it.
    if (name.size() > extension.size() && endsWithIgnoringCase(name, extension)) return true;
  }
  return false;
}

std::optional<ResourceValues> resourceValuesOf(const std::string& path) {
  FileStatus status;
  if (statPathNoFollow(path, status) != 0) return std::nullopt;
  const std::string_view name = lastPathComponentOf(path);
  ResourceValues values;
  values.isHidden = !name.empty() && name.front() == '.';
  // Linux has no Finder aliases and no cloud placeholders.
  values.isAliasFile = false;
  values.isPackage = isDirectory(status) && hasPackageExtension(name);
  values.isUbiquitousItem = false;
  return values;
}

}  // namespace fileprobe
