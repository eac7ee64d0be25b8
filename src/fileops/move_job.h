// The --move-exclusive job: one rename that never replaces anything and
// never follows a link, of the item the caller identified.
#pragma once

#include <functional>
#include <string>

#include "common/arguments.h"
#include "formats/macos_errno.h"
#include "platform/errno_or.h"
#include "platform/file_status.h"
#include "platform/fs.h"

namespace fileprobe {

// The two calls on names that the move makes, as a record of functions:
// the platform's in the program; a unit test wraps them to put another item
// at a name between two of them.
struct MoveOperations {
  std::function<ErrnoOr<FileStatus>(int directory, const std::string& name)> statAt =
      statAtNoFollow;
  std::function<ErrnoOr<void>(int fromDirectory, const std::string& fromName, int toDirectory,
                              const std::string& toName)>
      rename = renameNoReplace;
};

// Moves and writes the result; returns the exit status.
int runMoveJob(const Arguments& arguments);

// The move itself: done when the identified item was renamed, otherwise the
// platform errno (EINVAL for refused arguments, ESTALE when the item is not,
// or no longer, the identified one). Every descriptor it opens is closed
// before it returns.
ErrnoOr<void> moveExclusive(const Arguments& arguments, const MoveOperations& operations = {});

// Writes {"ok":...,"errno":...} and returns the exit status: kStatusDone when
// ok, kStatusOperationFailed otherwise.
int moveResult(bool ok, MacosErrno reported);

}  // namespace fileprobe
