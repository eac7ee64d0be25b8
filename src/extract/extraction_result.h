// The result line of the text-extraction job.
#pragma once

#include <optional>
#include <string_view>

namespace fileprobe {

inline constexpr std::string_view kMethodText = "text";
inline constexpr std::string_view kMethodOcr = "ocr";
inline constexpr std::string_view kMethodFilename = "filename";

// Written when the result cannot be serialised: empty text, method
// "filename", no warning.
inline constexpr std::string_view kExtractionFallbackLine = R"({"text":"","method":"filename"})";

// Writes {"text","method"[,"warning"]} as the run's one line, with the text
// cut to maximumCharacters user-perceived characters. An absent warning
// leaves the key out; an empty one is written.
void emit(std::string_view text, std::string_view method, std::optional<std::string_view> warning);

}  // namespace fileprobe
