// Thin wrappers over the file system calls the jobs make. Each call is
// wrapped once; EINTR is retried here (never for close). Every function
// returns its result or the Linux errno of the failing call.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/errno_or.h"
#include "platform/unique_fd.h"

namespace fileprobe {

// Opens "/" as a directory.
ErrnoOr<UniqueFd> openRootDirectory();
// Opens the directory `name` inside `directory`; fails on a symbolic link
// (ELOOP) and on anything that is not a directory (ENOTDIR).
ErrnoOr<UniqueFd> openDirectoryAtNoFollow(int directory, const std::string& name);
// Opens a file for reading, following symbolic links as reading the path
// would. Non-blocking, so that a FIFO without a writer cannot stall the open.
ErrnoOr<UniqueFd> openForReadFollowingLinks(const std::string& path);
// Opens `path` as a location only (O_PATH: no reading, no writing),
// following symbolic links.
ErrnoOr<UniqueFd> openLocationFollowingLinks(const std::string& path);
// Opens /dev/null for writing.
ErrnoOr<UniqueFd> openNullForWriting();
// Makes reads on `descriptor` block again after openForReadFollowingLinks.
ErrnoOr<void> clearNonBlocking(int descriptor);

// Reads at most buffer.size() bytes; the count read, 0 at end of input.
// The names in the open directory `directory`, "." and ".." left out.
ErrnoOr<std::vector<std::string>> directoryNames(int directory);

ErrnoOr<std::size_t> readSome(int descriptor, std::span<std::byte> buffer);
// Writes all of `bytes`.
ErrnoOr<void> writeAll(int descriptor, std::string_view bytes);

// One rename that fails with EEXIST instead of replacing the destination.
ErrnoOr<void> renameNoReplace(int fromDirectory, const std::string& fromName, int toDirectory,
                              const std::string& toName);
ErrnoOr<void> syncDescriptor(int descriptor);

// Whether the running process may read the item at `path` (access(2), R_OK).
bool mayRead(const std::string& path);

}  // namespace fileprobe
