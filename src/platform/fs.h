// Thin wrappers over the file system calls the jobs make. Each call is
// wrapped once; EINTR is retried here (never for close). Every function
// returns 0 or the Linux errno of the failing call.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/unique_fd.h"

namespace fileprobe {

// Opens "/" as a directory.
int openRootDirectory(UniqueFd& out);
// Opens the directory `name` inside `directory`; fails on a symbolic link
// (ELOOP) and on anything that is not a directory (ENOTDIR).
int openDirectoryAtNoFollow(int directory, const std::string& name, UniqueFd& out);
// Opens a file for reading, following symbolic links as reading the path
// would. Non-blocking, so that a FIFO without a writer cannot stall the open.
int openForReadFollowingLinks(const std::string& path, UniqueFd& out);
// Opens `path` as a location only (O_PATH: no reading, no writing),
// following symbolic links.
int openLocationFollowingLinks(const std::string& path, UniqueFd& out);
// Opens /dev/null for writing.
int openNullForWriting(UniqueFd& out);
// Makes reads on `descriptor` block again after openForReadFollowingLinks.
int clearNonBlocking(int descriptor);

// Reads at most buffer.size() bytes; `got` is 0 at end of input.
// The names in the open directory `directory`, "." and ".." left out.
int directoryNames(int directory, std::vector<std::string>& names);

int readSome(int descriptor, std::span<std::byte> buffer, std::size_t& got);
// Writes all of `bytes`.
int writeAll(int descriptor, std::string_view bytes);

// One rename that fails with EEXIST instead of replacing the destination.
int renameNoReplace(int fromDirectory, const std::string& fromName, int toDirectory,
                    const std::string& toName);
int syncDescriptor(int descriptor);

// Whether the running process may read the item at `path` (access(2), R_OK).
bool mayRead(const std::string& path);

}  // namespace fileprobe
