// The status fields of an open descriptor that a metadata copy sets.
// Each returns success or the Linux errno; EINTR is retried.
#pragma once

#include <cstdint>

#include "platform/errno_or.h"
#include "platform/file_status.h"

namespace fileprobe {

ErrnoOr<void> changeOwner(int descriptor, std::uint32_t owner, std::uint32_t group);
// `permissions` are the bits under kPermissionMask, set-id and sticky bits included.
ErrnoOr<void> changePermissions(int descriptor, std::uint32_t permissions);
// Sets or clears the nodump flag, leaving every other inode flag as it is.
ErrnoOr<void> setNoDumpFlag(int descriptor, bool noDump);
ErrnoOr<void> setAccessAndModificationTimes(int descriptor, const Timestamp& access,
                                            const Timestamp& modification);

}  // namespace fileprobe
