// The owner of a descriptor the program opened itself. Descriptors the
// program only borrows (the inherited 3 and 4) are plain ints and never
// wrapped, so they are never closed.
#pragma once

namespace fileprobe {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  ~UniqueFd() { reset(); }

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Gives up ownership without closing.
  int release();
  // Closes the descriptor now. An error of close(2) is not reported: the
  // descriptor is gone either way, and no result depends on it.
  void reset();

 private:
  int fd_ = -1;
};

}  // namespace fileprobe
