#include "extraction/wire/extraction_answer.h"

#include "common/limits.h"
#include "common/result_line.h"
#include "formats/json.h"
#include "formats/unicode.h"

namespace fileprobe {

ExtractionAnswer filenameAnswer(std::string_view warning) {
  return {"", std::string(kMethodFilename), std::string(warning)};
}

std::string_view cannotReadWarning(Road road) {
  return road == Road::pdf ? kWarningUnreadablePdf : kWarningUnreadableImage;
}

std::optional<std::string> answerBytes(const ExtractionAnswer& answer) {
  ResultDictionary dictionary;
  dictionary.set("text", answer.text);
  dictionary.set("method", answer.method);
  if (answer.warning) dictionary.set("warning", *answer.warning);
  return serializeCompact(dictionary);
}

std::optional<ExtractionAnswer> parseAnswer(std::string_view bytes) {
  const auto members = parseStringObject(bytes);
  if (!members) return std::nullopt;
  ExtractionAnswer answer;
  bool haveText = false;
  bool haveMethod = false;
  for (const auto& [key, value] : *members) {
    if (key == "text" && !haveText) {
      answer.text = value;
      haveText = true;
    } else if (key == "method" && !haveMethod) {
      answer.method = value;
      haveMethod = true;
    } else if (key == "warning" && !answer.warning) {
      answer.warning = value;
    } else {
      return std::nullopt;
    }
  }
  const bool knownMethod = answer.method == kMethodText || answer.method == kMethodOcr ||
                           answer.method == kMethodFilename;
  if (!haveText || !haveMethod || !knownMethod) return std::nullopt;
  return answer;
}

void emit(std::string_view text, std::string_view method, std::optional<std::string_view> warning) {
  ResultDictionary result;
  result.set("text", std::string(firstCharacters(text, maximumCharacters)));
  result.set("method", std::string(method));
  if (warning) result.set("warning", std::string(*warning));
  if (!writeResultLine(result)) writeFixedLine(kExtractionFallbackLine);
}

}  // namespace fileprobe
