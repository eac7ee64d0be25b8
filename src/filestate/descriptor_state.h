// Status records of descriptors, their comparison and their reported form,
// and the opening of a directory without following any symbolic link.
#pragma once

#include <string_view>

#include "formats/json.h"
#include "platform/errno_or.h"
#include "platform/file_status.h"
#include "platform/unique_fd.h"

namespace fileprobe {

// The status of an open descriptor; raises MetadataFailure with the errno.
FileStatus descriptorStat(int descriptor);

// True when both records describe the same item in the same state: device,
// mode, inode, owner, group, size, flags, modification and status-change time.
bool sameSourceState(const FileStatus& first, const FileStatus& second);

// dev, ino, size, mtimeSec, mtimeNsec, ctimeSec, ctimeNsec as decimal strings.
StringDictionary attestedState(const FileStatus& state);

// Opens the directory at the absolute `path` one component at a time, never
// following a link. A path that is not absolute, holds NUL, or has a "." or
// ".." component fails with EINVAL before anything is opened. Every
// intermediate descriptor is closed, on success and on failure.
ErrnoOr<UniqueFd> openDirectoryWithoutLinks(std::string_view path);

}  // namespace fileprobe
