// The one line a run writes: a JSON object, one line feed, on standard output.
#pragma once

#include <optional>
#include <string_view>

#include "formats/json.h"

namespace fileprobe {

// What a job writes when its result cannot be serialised (a string that is
// not UTF-8): a fixed line of its own, or nothing at all.
using FallbackLine = std::optional<std::string_view>;
inline constexpr FallbackLine kNothingWritten = std::nullopt;

// The result writer of the jobs whose line is a dictionary: serialises
// `result` compactly and writes it with one line feed, or writes `fallback`
// instead when it cannot be serialised. Returns whether `result` itself
// was written. A failed write has nowhere to be reported and is dropped.
bool writeResult(const ResultDictionary& result, FallbackLine fallback);

// Writes a fixed text and one line feed: the move's result, whose keys
// stand in a fixed order.
void writeFixedLine(std::string_view text);

}  // namespace fileprobe
