// The --move-exclusive job: one rename that never replaces anything and
// never follows a link, of the item the caller identified.
#pragma once

#include <functional>
#include <string>

#include "entry/option_words.h"
#include "platform/file_status.h"
#include "platform/fs.h"

namespace fileprobe {

inline constexpr int kFileOperationFailed = 3;

// The two calls on names that the move makes, as a record of functions:
// the platform's in the program; a unit test wraps them to put another item
// at a name between two of them. Each returns 0 or the Linux errno.
struct MoveOperations {
  std::function<int(int directory, const std::string& name, FileStatus& out)> statAt =
      statAtNoFollow;
  std::function<int(int fromDirectory, const std::string& fromName, int toDirectory,
                    const std::string& toName)>
      rename = renameNoReplace;
};

[[noreturn]] void runMoveJob(const Arguments& arguments);

// The move itself: 0 when the identified item was renamed, otherwise the
// macOS errno. Every descriptor it opens is closed before it returns.
int moveExclusive(const Arguments& arguments, const MoveOperations& operations = {});

// Writes {"ok":...,"errno":...} and ends the process: status 0 when ok, 3 otherwise.
[[noreturn]] void moveResult(bool ok, int errnoValue);

}  // namespace fileprobe
