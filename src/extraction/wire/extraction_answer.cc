#include "extraction/wire/extraction_answer.h"

#include "common/result_line.h"
#include "extraction/wire/extraction_limits.h"
#include "formats/json.h"
#include "formats/unicode.h"

namespace fileprobe {
namespace {

// The method's word in the answer and in the result line.
std::string_view methodWord(Method method) {
  switch (method) {
    case Method::text: return "text";
    case Method::ocr: return "ocr";
    case Method::filename: break;
  }
  return "filename";
}

std::optional<Method> methodOfWord(std::string_view word) {
  for (const Method method : {Method::text, Method::ocr, Method::filename}) {
    if (word == methodWord(method)) return method;
  }
  return std::nullopt;
}

}  // namespace

ExtractionAnswer filenameAnswer(std::string_view warning) {
  return {"", Method::filename, std::string(warning)};
}

std::string_view cannotReadWarning(Road road) {
  return road == Road::pdf ? kWarningUnreadablePdf : kWarningUnreadableImage;
}

std::optional<std::string> answerBytes(const ExtractionAnswer& answer) {
  ResultDictionary dictionary;
  dictionary.set("text", std::string(firstCharacters(answer.text, kMaximumCharacters)));
  dictionary.set("method", std::string(methodWord(answer.method)));
  if (answer.warning) dictionary.set("warning", *answer.warning);
  return serializeCompact(dictionary);
}

std::optional<ExtractionAnswer> parseAnswer(std::string_view bytes) {
  const auto members = parseStringObject(bytes);
  if (!members) return std::nullopt;
  ExtractionAnswer answer;
  bool haveText = false;
  std::optional<Method> method;
  for (const auto& [key, value] : *members) {
    if (key == "text" && !haveText) {
      answer.text = value;
      haveText = true;
    } else if (key == "method" && !method) {
      method = methodOfWord(value);
      if (!method) return std::nullopt;
    } else if (key == "warning" && !answer.warning) {
      answer.warning = value;
    } else {
      return std::nullopt;
    }
  }
  if (!haveText || !method) return std::nullopt;
  if (countCharacters(answer.text, kMaximumCharacters + 1) > kMaximumCharacters) {
    return std::nullopt;
  }
  answer.method = *method;
  return answer;
}

void emit(const ExtractionAnswer& answer) {
  ResultDictionary result;
  result.set("text", answer.text);
  result.set("method", std::string(methodWord(answer.method)));
  if (answer.warning) result.set("warning", *answer.warning);
  writeResult(result, kExtractionFallbackLine);
}

}  // namespace fileprobe
