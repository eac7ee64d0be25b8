// The answer the extraction helper gives the job: one compact JSON object
// of strings on its standard output.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace fileprobe {

struct ExtractionAnswer {
  std::string text;
  std::string method;  // kMethodText, kMethodOcr or kMethodFilename
  std::optional<std::string> warning;
  bool operator==(const ExtractionAnswer&) const = default;
};

ExtractionAnswer filenameAnswer(std::string_view warning);

// The bytes the helper writes; nothing when the text is not valid UTF-8.
std::optional<std::string> answerBytes(const ExtractionAnswer& answer);

// The answer in `bytes` when they hold exactly one object with a string
// `text`, a `method` of the three known ones, an optional string `warning`
// and no other member; nothing for anything else.
std::optional<ExtractionAnswer> parseAnswer(std::string_view bytes);

}  // namespace fileprobe
