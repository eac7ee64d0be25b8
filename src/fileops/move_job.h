// The --move-exclusive job: one rename that never replaces anything and
// never follows a link, of the item the caller identified.
#pragma once

#include <functional>
#include <string>

#include "common/arguments.h"
#include "formats/macos_errno.h"
#include "platform/file_status.h"
#include "platform/fs.h"

namespace fileprobe {

// The two calls on names that the move makes, as a record of functions:
// the platform's in the program; a unit test wraps them to put another item
// at a name between two of them. Each returns 0 or the platform errno.
struct MoveOperations {
  std::function<int(int directory, const std::string& name, FileStatus& out)> statAt =
      statAtNoFollow;
  std::function<int(int fromDirectory, const std::string& fromName, int toDirectory,
                    const std::string& toName)>
      rename = renameNoReplace;
};

// Moves and writes the result; returns the exit status.
int runMoveJob(const Arguments& arguments);

// The move itself: 0 when the identified item was renamed, otherwise the
// platform errno (EINVAL for refused arguments, ESTALE when the item is not,
// or no longer, the identified one). Every descriptor it opens is closed
// before it returns.
int moveExclusive(const Arguments& arguments, const MoveOperations& operations = {});

// Writes {"ok":...,"errno":...} and returns the exit status: kStatusDone when
// ok, kStatusOperationFailed otherwise.
int moveResult(bool ok, MacosErrno reported);

}  // namespace fileprobe
