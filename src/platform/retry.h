// Internal to the platform layer: the EINTR retry that every wrapped system
// call shares (close is never retried and does not use it).
#pragma once

#include <cerrno>

#include "platform/errno_or.h"

namespace fileprobe {

// Runs `call` (which returns a negative value with errno set when it fails)
// again for as long as it fails with EINTR; returns its last result.
template <typename Call>
auto retryInterrupted(Call call) -> decltype(call()) {
  decltype(call()) result;
  do {
    result = call();
  } while (result < 0 && errno == EINTR);
  return result;
}

// For calls that return 0 or -1 with errno.
template <typename Call>
ErrnoOr<void> retryOnInterrupt(Call call) {
  if (retryInterrupted(call) == 0) return {};
  return Errno{errno};
}

}  // namespace fileprobe
