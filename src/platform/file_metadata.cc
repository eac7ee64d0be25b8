#include "platform/file_metadata.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace fileprobe {
namespace {

template <typename Call>
int statusResult(Call call) {
  int result;
  do {
    result = call();
  } while (result != 0 && errno == EINTR);
  return result == 0 ? 0 : errno;
}

}  // namespace

int changeOwner(int descriptor, std::uint32_t owner, std::uint32_t group) {
  return statusResult([&] { return ::fchown(descriptor, owner, group); });
}

int changePermissions(int descriptor, std::uint32_t permissions) {
  return statusResult(
      [&] { return ::fchmod(descriptor, static_cast<mode_t>(permissions & kPermissionMask)); });
}

int setNoDumpFlag(int descriptor, bool noDump) {
  // The kernel reads and writes an int, whatever the ioctl number says.
  int flags = 0;
  if (const int error = statusResult([&] { return ::ioctl(descriptor, FS_IOC_GETFLAGS, &flags); }))
    return error;
  flags = noDump ? (flags | FS_NODUMP_FL) : (flags & ~FS_NODUMP_FL);
  return statusResult([&] { return ::ioctl(descriptor, FS_IOC_SETFLAGS, &flags); });
}

int setAccessAndModificationTimes(int descriptor, const Timestamp& access,
                                  const Timestamp& modification) {
  const struct timespec times[2] = {{access.seconds, access.nanoseconds},
                                    {modification.seconds, modification.nanoseconds}};
  return statusResult([&] { return ::futimens(descriptor, times); });
}

}  // namespace fileprobe
