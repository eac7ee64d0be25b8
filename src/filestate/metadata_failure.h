// The one error of the metadata fingerprint and the guarded file operations.
#pragma once

#include <utility>

#include "platform/errno_or.h"

namespace fileprobe {

// `code` is the platform's errno: the one read right after the failing
// call, or one of the program's fixed refusals (EINVAL a request or data
// the program refuses, EFBIG a size beyond its limits, ESTALE an item that
// is not, or no longer, what was expected, EIO anything else unexpected).
// The metadata-copy job converts it to the caller's numbering once, when
// it writes its result.
struct MetadataFailure {
  int code;
};

// Ends the whole operation with `platformErrno`. The only way a
// MetadataFailure is raised.
[[noreturn]] void failWith(int platformErrno);

// Raises the failure of a platform call that failed.
inline void failOnError(const ErrnoOr<void>& result) {
  if (!result) failWith(result.error());
}

// The value of a platform call, or its failure raised.
template <typename T>
T valueOrFail(ErrnoOr<T> result) {
  if (!result) failWith(result.error());
  return *std::move(result);
}

}  // namespace fileprobe
