#include "fileops/descriptor_state.h"

#include <cerrno>
#include <optional>
#include <string>
#include <vector>

#include "fileops/metadata_failure.h"
#include "platform/errno_map.h"
#include "platform/fs.h"

namespace fileprobe {
namespace {

// The components of `path` split at "/", empty ones dropped; nothing when a
// component is "." or "..".
std::optional<std::vector<std::string>> componentsOf(std::string_view path) {
  std::vector<std::string> components;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view component = path.substr(start, end - start);
    if (component == "." || component == "..") return std::nullopt;
    if (!component.empty()) components.emplace_back(component);
    start = end + 1;
  }
  return components;
}

}  // namespace

void failWithErrno(int linuxErrno) { throw MetadataFailure{macosErrno(linuxErrno)}; }

FileStatus descriptorStat(int descriptor) {
  FileStatus status;
  if (const int error = statDescriptor(descriptor, status); error != 0) failWithErrno(error);
  return status;
}

bool sameSourceState(const FileStatus& first, const FileStatus& second) {
  return first.device == second.device && first.mode == second.mode &&
         first.inode == second.inode && first.owner == second.owner &&
         first.group == second.group && first.size == second.size && first.flags == second.flags &&
         first.modificationTime == second.modificationTime &&
         first.statusChangeTime == second.statusChangeTime;
}

StringDictionary attestedState(const FileStatus& state) {
  return {
      {"dev", std::to_string(state.device)},
      {"ino", std::to_string(state.inode)},
      {"size", std::to_string(state.size)},
      {"mtimeSec", std::to_string(state.modificationTime.seconds)},
      {"mtimeNsec", std::to_string(state.modificationTime.nanoseconds)},
      {"ctimeSec", std::to_string(state.statusChangeTime.seconds)},
      {"ctimeNsec", std::to_string(state.statusChangeTime.nanoseconds)},
  };
}

DirectoryOpening openDirectoryWithoutLinks(std::string_view path) {
  DirectoryOpening opening;
  if (!path.starts_with('/') || path.find('\0') != std::string_view::npos) {
    opening.error = EINVAL;
    return opening;
  }
  const auto components = componentsOf(path);
  if (!components) {
    opening.error = EINVAL;
    return opening;
  }
  UniqueFd current;
  if (const int error = openRootDirectory(current); error != 0) {
    opening.error = error;
    return opening;
  }
  for (const std::string& component : *components) {
    UniqueFd next;
    const int error = openDirectoryAtNoFollow(current.get(), component, next);
    // The parent is closed either way; the open's errno is kept apart from
    // whatever close reports.
    current.reset();
    if (error != 0) {
      opening.error = error;
      return opening;
    }
    current = std::move(next);
  }
  opening.descriptor = std::move(current);
  return opening;
}

}  // namespace fileprobe
