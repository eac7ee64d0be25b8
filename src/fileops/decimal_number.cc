#include "fileops/decimal_number.h"

#include <limits>

namespace fileprobe {

std::optional<std::uint64_t> unsignedDecimalValue(std::string_view text) {
  constexpr std::uint64_t kLargest = std::numeric_limits<std::uint64_t>::max();
  constexpr std::uint64_t kRadix = 10;
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (value > (kLargest - digit) / kRadix) return std::nullopt;
    value = value * kRadix + digit;
  }
  // A negative number has no unsigned value; only "-0" means one.
  if (negative && value != 0) return std::nullopt;
  return value;
}

}  // namespace fileprobe
