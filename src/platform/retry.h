// Internal to the platform layer: the EINTR retry that every wrapped system
// call shares (close is never retried and does not use it).
#pragma once

#include <cerrno>

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

// For calls that return 0 or -1 with errno: 0 or the errno of the failure.
template <typename Call>
int retryOnInterrupt(Call call) {
  return retryInterrupted(call) == 0 ? 0 : errno;
}

}  // namespace fileprobe
