#include "filestate/descriptor_state.h"

#include <cerrno>
#include <string>
#include <vector>

#include "common/path_syntax.h"
#include "filestate/metadata_failure.h"
#include "platform/fs.h"

namespace fileprobe {

FileStatus descriptorStat(int descriptor) {
  FileStatus status;
  failOnError(statDescriptor(descriptor, status));
  return status;
}

bool sameSourceState(const FileStatus& first, const FileStatus& second) {
  return identityOf(first) == identityOf(second) && first.mode == second.mode &&
         first.owner == second.owner && first.group == second.group && first.size == second.size &&
         first.flags == second.flags && first.modificationTime == second.modificationTime &&
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
  const std::vector<std::string_view> components = pathComponents(path);
  if (!isAbsolutePath(path) || hasDotComponent(path)) {
    opening.error = EINVAL;
    return opening;
  }
  UniqueFd current;
  if (const int error = openRootDirectory(current); error != 0) {
    opening.error = error;
    return opening;
  }
  for (const std::string_view component : components) {
    UniqueFd next;
    const int error = openDirectoryAtNoFollow(current.get(), std::string(component), next);
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
