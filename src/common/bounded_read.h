// Reading a descriptor to its end without ever holding more than a bound.
#pragma once

#include <cstddef>
#include <string>

namespace fileprobe {

// Reads `descriptor` to its end, or until it has given one byte more than
// `limit`, into `out`; returns 0 or the errno of the failing read. `out`
// never holds more than limit + 1 bytes, so out.size() > limit tells that
// the input is too large. `expectedBytes` (at most `limit`, else ignored),
// when the caller knows what is coming, is reserved at once.
int readToEndBounded(int descriptor, std::size_t limit, std::string& out,
                     std::size_t expectedBytes = 0);

}  // namespace fileprobe
