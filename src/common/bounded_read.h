// Reading a descriptor to its end without ever holding more than a bound.
#pragma once

#include <cstddef>
#include <string>

#include "platform/errno_or.h"

namespace fileprobe {

// The bytes of `descriptor` up to its end, or up to one byte more than
// `limit`; or the errno of the failing read. The bytes are never more than
// limit + 1, so a size above `limit` tells that the input is too large.
// `expectedBytes` (at most `limit`, else ignored), when the caller knows
// what is coming, is reserved at once.
ErrnoOr<std::string> readToEndBounded(int descriptor, std::size_t limit,
                                      std::size_t expectedBytes = 0);

}  // namespace fileprobe
