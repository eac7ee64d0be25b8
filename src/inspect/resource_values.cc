#include "inspect/resource_values.h"

#include <array>

#include "common/path_syntax.h"
#include "platform/file_status.h"

namespace fileprobe {
namespace {

// Folders with these extensions are applications, plug-ins or documents
// stored as folders on a Mac; copied to Linux they keep that meaning.
constexpr std::array<std::string_view, 14> kPackageExtensions = {
    ".app", ".bundle", ".framework",     ".plugin",    ".kext",        ".appex",      ".xpc",
    ".pkg", ".mpkg",   ".photoslibrary", ".xcodeproj", ".xcworkspace", ".playground", ".rtfd",
};

}  // namespace

bool hasPackageExtension(std::string_view name) {
  for (const std::string_view extension : kPackageExtensions) {
    // A name that is only the extension (".app") is a hidden name without
    // an extension, as a Mac reads it.
    if (name.size() > extension.size() && endsWithIgnoringAsciiCase(name, extension)) return true;
  }
  return false;
}

std::optional<ResourceValues> resourceValuesOf(const std::string& path) {
  const ErrnoOr<FileStatus> status = statPathNoFollow(path);
  if (!status) return std::nullopt;
  const std::string_view name = lastPathComponentOf(path);
  ResourceValues values;
  values.isHidden = !name.empty() && name.front() == '.';
  // Linux has no Finder aliases and no cloud placeholders.
  values.isAliasFile = false;
  values.isPackage = isDirectory(*status) && hasPackageExtension(name);
  values.isUbiquitousItem = false;
  return values;
}

}  // namespace fileprobe
