// The status record of a file, as the program's logic sees it: a plain value
// read through statx, with a BSD-style flags word.
#pragma once

#include <cstdint>
#include <string>

#include "platform/errno_or.h"

namespace fileprobe {

struct Timestamp {
  std::int64_t seconds = 0;
  std::int64_t nanoseconds = 0;
  bool operator==(const Timestamp&) const = default;
};

struct FileStatus {
  std::uint64_t device = 0;  // makedev(major, minor), as stat(2) reports it
  std::uint32_t mode = 0;    // file type bits and permission bits
  std::uint64_t linkCount = 0;
  std::uint64_t inode = 0;
  std::uint32_t owner = 0;
  std::uint32_t group = 0;
  std::int64_t size = 0;
  std::uint32_t flags = 0;  // see the kFlag constants
  Timestamp accessTime;
  Timestamp modificationTime;
  Timestamp statusChangeTime;
  // Linux can neither report a creation time portably nor set one, so this
  // stays 0 s 0 ns and a metadata copy never carries it.
  Timestamp creationTime;
};

// What tells one item from another: its device and inode. Each check that
// an item is still, or is not, a given one compares these.
struct ItemIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  bool operator==(const ItemIdentity&) const = default;
};

inline ItemIdentity identityOf(const FileStatus& status) { return {status.device, status.inode}; }

// File type bits of `mode`; the same values on every POSIX system.
inline constexpr std::uint32_t kFileTypeMask = 0170000;
inline constexpr std::uint32_t kTypeRegular = 0100000;
inline constexpr std::uint32_t kTypeDirectory = 0040000;
inline constexpr std::uint32_t kTypeSymbolicLink = 0120000;
inline constexpr std::uint32_t kPermissionMask = 07777;

// Bits of the flags word, numbered as the BSD file flags are.
inline constexpr std::uint32_t kFlagNoDump = 0x1;          // UF_NODUMP
inline constexpr std::uint32_t kFlagImmutable = 0x20000;   // SF_IMMUTABLE
inline constexpr std::uint32_t kFlagAppendOnly = 0x40000;  // SF_APPEND
// User and system immutable and append-only flags (UF_IMMUTABLE, UF_APPEND,
// SF_IMMUTABLE, SF_APPEND): an item carrying any of them is locked.
inline constexpr std::uint32_t kLockFlagsMask = 0x00060006;

inline std::uint32_t fileType(const FileStatus& status) { return status.mode & kFileTypeMask; }
inline bool isRegularFile(const FileStatus& s) { return fileType(s) == kTypeRegular; }
inline bool isDirectory(const FileStatus& s) { return fileType(s) == kTypeDirectory; }
inline bool isSymbolicLink(const FileStatus& s) { return fileType(s) == kTypeSymbolicLink; }

// The flags word of statx's `attributes`, of which `reported` are the ones
// the file system reports: immutable, append-only and nodump, nothing else.
std::uint32_t flagsWordOf(std::uint64_t attributes, std::uint64_t reported);

// Each returns the status, or the Linux errno.
// The status of the name itself; a final symbolic link is not followed.
ErrnoOr<FileStatus> statPathNoFollow(const std::string& path);
// The status of `name` inside the open directory `directory`, not following a link.
ErrnoOr<FileStatus> statAtNoFollow(int directory, const std::string& name);
// The status of an open descriptor.
ErrnoOr<FileStatus> statDescriptor(int descriptor);

}  // namespace fileprobe
