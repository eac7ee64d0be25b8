// The number syntax of the move job's device and inode arguments.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace fileprobe {

// The value of `text` as an unsigned 64-bit decimal number: an optional single
// "+" or "-", then one or more ASCII digits and nothing else. "-" is accepted
// only for the value 0, and a value beyond 2^64-1 is refused.
std::optional<std::uint64_t> unsignedDecimalValue(std::string_view text);

}  // namespace fileprobe
