#include "platform/file_metadata.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/retry.h"

namespace fileprobe {

ErrnoOr<void> changeOwner(int descriptor, std::uint32_t owner, std::uint32_t group) {
  return retryOnInterrupt([&] { return ::fchown(descriptor, owner, group); });
}

ErrnoOr<void> changePermissions(int descriptor, std::uint32_t permissions) {
  return retryOnInterrupt(
      [&] { return ::fchmod(descriptor, static_cast<mode_t>(permissions & kPermissionMask)); });
}

ErrnoOr<void> setNoDumpFlag(int descriptor, bool noDump) {
  // The kernel reads and writes an int, whatever the ioctl number says.
  int flags = 0;
  if (auto read = retryOnInterrupt([&] { return ::ioctl(descriptor, FS_IOC_GETFLAGS, &flags); });
      !read) {
    return read;
  }
  flags = noDump ? (flags | FS_NODUMP_FL) : (flags & ~FS_NODUMP_FL);
  return retryOnInterrupt([&] { return ::ioctl(descriptor, FS_IOC_SETFLAGS, &flags); });
}

ErrnoOr<void> setAccessAndModificationTimes(int descriptor, const Timestamp& access,
                                            const Timestamp& modification) {
  const struct timespec times[2] = {{access.seconds, access.nanoseconds},
                                    {modification.seconds, modification.nanoseconds}};
  return retryOnInterrupt([&] { return ::futimens(descriptor, times); });
}

}  // namespace fileprobe
