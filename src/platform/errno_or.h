// The result of a platform call: its value, or the Linux errno it failed
// with, in one value instead of an errno and an out-parameter. After
// LLVM's ErrorOr: a failure holds no value, and asking one for its value
// is a programming error.
#pragma once

#include <cassert>
#include <utility>
#include <variant>

namespace fileprobe {

// The errno of a failed call, never 0; an ErrnoOr made from it is a failure.
struct Errno {
  int value;
};

template <typename T>
class [[nodiscard]] ErrnoOr {
 public:
  // Implicit, so that a wrapper returns its value or Errno{errno} as it is.
  ErrnoOr(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  ErrnoOr(Errno failure) : state_(std::in_place_index<1>, failure.value) {
    assert(failure.value != 0);
  }

  explicit operator bool() const { return state_.index() == 0; }
  // The errno of a failure; 0 for a value.
  int error() const { return *this ? 0 : std::get<1>(state_); }
  // A failure passed on to a caller whose value is of another type.
  Errno failure() const { return Errno{error()}; }

  T& operator*() & { return std::get<0>(state_); }
  const T& operator*() const& { return std::get<0>(state_); }
  T&& operator*() && { return std::get<0>(std::move(state_)); }
  T* operator->() { return &std::get<0>(state_); }
  const T* operator->() const { return &std::get<0>(state_); }

 private:
  std::variant<T, int> state_;
};

// A call that gives nothing but success or its errno.
template <>
class [[nodiscard]] ErrnoOr<void> {
 public:
  ErrnoOr() = default;
  ErrnoOr(Errno failure) : error_(failure.value) { assert(failure.value != 0); }

  explicit operator bool() const { return error_ == 0; }
  int error() const { return error_; }
  Errno failure() const { return Errno{error_}; }

 private:
  int error_ = 0;
};

}  // namespace fileprobe
