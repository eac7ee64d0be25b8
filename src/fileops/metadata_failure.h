// The one error of the metadata fingerprint and the guarded file operations.
#pragma once

#include <cstdint>

namespace fileprobe {

// `code` is a macOS errno number: a Linux errno translated by macosErrno
// right after the failing call, or one of the program's fixed numbers.
struct MetadataFailure {
  std::int32_t code;
};

// Throws the failure for the Linux errno `linuxErrno`.
[[noreturn]] void failWithErrno(int linuxErrno);

}  // namespace fileprobe
