#include "platform/file_status.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>

#include "platform/retry.h"

namespace fileprobe {
namespace {

static_assert(kFileTypeMask == S_IFMT && kTypeRegular == S_IFREG && kTypeDirectory == S_IFDIR &&
              kTypeSymbolicLink == S_IFLNK);

// Everything the logic reads; the creation time is deliberately not asked.
constexpr unsigned kStatxFields = STATX_BASIC_STATS;

Timestamp timestampOf(const struct statx_timestamp& t) { return {t.tv_sec, t.tv_nsec}; }

FileStatus statusOf(const struct statx& record) {
  FileStatus status;
  status.device = makedev(record.stx_dev_major, record.stx_dev_minor);
  status.mode = record.stx_mode;
  status.linkCount = record.stx_nlink;
  status.inode = record.stx_ino;
  status.owner = record.stx_uid;
  status.group = record.stx_gid;
  status.size = static_cast<std::int64_t>(record.stx_size);
  status.flags = flagsWordOf(record.stx_attributes, record.stx_attributes_mask);
  status.accessTime = timestampOf(record.stx_atime);
  status.modificationTime = timestampOf(record.stx_mtime);
  status.statusChangeTime = timestampOf(record.stx_ctime);
  return status;
}

ErrnoOr<FileStatus> statxOf(int directory, const char* name, int flags) {
  struct statx record {};
  if (auto done =
          retryOnInterrupt([&] { return ::statx(directory, name, flags, kStatxFields, &record); });
      !done) {
    return Errno{done.error()};
  }
  return statusOf(record);
}

}  // namespace

// The compression attribute (chattr +c) is left out: it says how the file
// system stores the data, a copy cannot set it (ext4 keeps it as a bare
// flag), and nothing reads it, so a flags word that held it would make
// every copy of such a file differ from its source.
std::uint32_t flagsWordOf(std::uint64_t attributes, std::uint64_t reported) {
  const std::uint64_t known = attributes & reported;
  std::uint32_t flags = 0;
  if (known & STATX_ATTR_IMMUTABLE) flags |= kFlagImmutable;
  if (known & STATX_ATTR_APPEND) flags |= kFlagAppendOnly;
  if (known & STATX_ATTR_NODUMP) flags |= kFlagNoDump;
  return flags;
}

ErrnoOr<FileStatus> statPathNoFollow(const std::string& path) {
  return statxOf(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW);
}

ErrnoOr<FileStatus> statAtNoFollow(int directory, const std::string& name) {
  return statxOf(directory, name.c_str(), AT_SYMLINK_NOFOLLOW);
}

ErrnoOr<FileStatus> statDescriptor(int descriptor) {
  // statx reads an empty name relative to AT_FDCWD (a negative number) as the
  // working directory; fstat(2) refuses every negative descriptor instead.
  if (descriptor < 0) return Errno{EBADF};
  return statxOf(descriptor, "", AT_EMPTY_PATH);
}

}  // namespace fileprobe
