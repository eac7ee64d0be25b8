#include "filestate/descriptor_state.h"

#include <cerrno>
#include <string>
#include <vector>

#include "common/path_syntax.h"
#include "filestate/metadata_failure.h"
#include "platform/fs.h"

namespace fileprobe {

FileStatus descriptorStat(int descriptor) { return valueOrFail(statDescriptor(descriptor)); }

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

ErrnoOr<UniqueFd> openDirectoryWithoutLinks(std::string_view path) {
  if (!isAbsolutePath(path) || hasDotComponent(path)) return Errno{EINVAL};
  ErrnoOr<UniqueFd> current = openRootDirectory();
  for (const std::string_view component : pathComponents(path)) {
    if (!current) return current;
    ErrnoOr<UniqueFd> next = openDirectoryAtNoFollow(current->get(), std::string(component));
    // The parent is closed either way; the open's errno is kept apart from
    // whatever close reports.
    current->reset();
    current = std::move(next);
  }
  return current;
}

}  // namespace fileprobe
