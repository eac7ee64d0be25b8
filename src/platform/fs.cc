#include "platform/fs.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>  // renameat2, RENAME_NOREPLACE
#include <unistd.h>

#include <array>
#include <cerrno>

#include "platform/retry.h"

namespace fileprobe {
namespace {

constexpr int kDirectoryNoFollowFlags = O_RDONLY | O_NOFOLLOW | O_DIRECTORY | O_CLOEXEC;
constexpr int kReadFollowingFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
constexpr int kLocationFollowingFlags = O_PATH | O_CLOEXEC;
constexpr int kNullWriteFlags = O_WRONLY | O_CLOEXEC;
// Room for many entries per call; a directory larger than this is read in
// several calls.
constexpr std::size_t kDirectoryChunkBytes = 8192;

ErrnoOr<UniqueFd> openAt(int directory, const char* name, int flags) {
  const int fd = retryInterrupted([&] { return ::openat(directory, name, flags); });
  if (fd < 0) return Errno{errno};
  return UniqueFd(fd);
}

}  // namespace

ErrnoOr<UniqueFd> openRootDirectory() { return openAt(AT_FDCWD, "/", kDirectoryNoFollowFlags); }

ErrnoOr<UniqueFd> openDirectoryAtNoFollow(int directory, const std::string& name) {
  return openAt(directory, name.c_str(), kDirectoryNoFollowFlags);
}

ErrnoOr<UniqueFd> openForReadFollowingLinks(const std::string& path) {
  return openAt(AT_FDCWD, path.c_str(), kReadFollowingFlags);
}

ErrnoOr<UniqueFd> openLocationFollowingLinks(const std::string& path) {
  return openAt(AT_FDCWD, path.c_str(), kLocationFollowingFlags);
}

ErrnoOr<UniqueFd> openNullForWriting() { return openAt(AT_FDCWD, "/dev/null", kNullWriteFlags); }

ErrnoOr<void> clearNonBlocking(int descriptor) {
  const int flags = ::fcntl(descriptor, F_GETFL);
  if (flags < 0) return Errno{errno};
  if (::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) != 0) return Errno{errno};
  return {};
}

ErrnoOr<std::vector<std::string>> directoryNames(int directory) {
  std::vector<std::string> names;
  alignas(dirent64) std::array<std::byte, kDirectoryChunkBytes> chunk;
  for (;;) {
    const ssize_t n =
        retryInterrupted([&] { return ::getdents64(directory, chunk.data(), chunk.size()); });
    if (n < 0) return Errno{errno};
    if (n == 0) return names;
    for (ssize_t at = 0; at < n;) {
      const auto* entry = reinterpret_cast<const dirent64*>(chunk.data() + at);
      const std::string_view name = entry->d_name;
      if (name != "." && name != "..") names.emplace_back(name);
      at += entry->d_reclen;
    }
  }
}

ErrnoOr<std::size_t> readSome(int descriptor, std::span<std::byte> buffer) {
  const ssize_t n =
      retryInterrupted([&] { return ::read(descriptor, buffer.data(), buffer.size()); });
  if (n < 0) return Errno{errno};
  return static_cast<std::size_t>(n);
}

ErrnoOr<void> writeAll(int descriptor, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n =
        retryInterrupted([&] { return ::write(descriptor, bytes.data(), bytes.size()); });
    if (n < 0) return Errno{errno};
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return {};
}

ErrnoOr<void> renameNoReplace(int fromDirectory, const std::string& fromName, int toDirectory,
                              const std::string& toName) {
  return retryOnInterrupt([&] {
    return ::renameat2(fromDirectory, fromName.c_str(), toDirectory, toName.c_str(),
                       RENAME_NOREPLACE);
  });
}

ErrnoOr<void> syncDescriptor(int descriptor) {
  return retryOnInterrupt([&] { return ::fsync(descriptor); });
}

bool mayRead(const std::string& path) { return ::access(path.c_str(), R_OK) == 0; }

}  // namespace fileprobe
