// The one line a run writes: a JSON object, one line feed, on standard output.
#pragma once

#include <string_view>

#include "formats/json.h"

namespace fileprobe {

// Serialises `dictionary` compactly and writes it with one line feed.
// Returns false, having written nothing, when it cannot be serialised; the
// caller then writes its own fallback.
bool writeResultLine(const ResultDictionary& dictionary);

// Writes a fixed text and one line feed.
void writeFixedLine(std::string_view text);

}  // namespace fileprobe
