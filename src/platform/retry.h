// Internal to the platform layer: the EINTR retry that every wrapped system
// call shares (close is never retried and does not use it).
#pragma once

#include <cerrno>

namespace fileprobe {

// Runs `call` (which returns 0 or -1 with errno set) until it is not
// interrupted; 0 or the errno of the failure.
template <typename Call>
int retryOnInterrupt(Call call) {
  int result;
  do {
    result = call();
  } while (result != 0 && errno == EINTR);
  return result == 0 ? 0 : errno;
}

}  // namespace fileprobe
