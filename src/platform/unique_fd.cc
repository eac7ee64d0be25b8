#include "platform/unique_fd.h"

#include <unistd.h>

namespace fileprobe {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) {
    reset();
    fd_ = other.release();
  }
  return *this;
}

int UniqueFd::release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

void UniqueFd::reset() {
  if (fd_ < 0) return;
  // close(2) is never retried: on Linux the descriptor is gone even when it
  // reports EINTR, and a retry could close a descriptor opened meanwhile.
  (void)::close(fd_);
  fd_ = -1;
}

}  // namespace fileprobe
