// The one error of the metadata fingerprint and the guarded file operations.
#pragma once

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

// Raises the failure when `result` (0 or a platform errno) is not 0.
inline void failOnError(int result) {
  if (result != 0) failWith(result);
}

}  // namespace fileprobe
