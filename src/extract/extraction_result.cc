#include "extract/extraction_result.h"

#include "entry/limits.h"
#include "entry/result_line.h"
#include "platform/unicode.h"

namespace fileprobe {

void emit(std::string_view text, std::string_view method, std::optional<std::string_view> warning) {
  ResultDictionary result;
  result.set("text", std::string(firstCharacters(text, maximumCharacters)));
  result.set("method", std::string(method));
  if (warning) result.set("warning", std::string(*warning));
  if (!writeResultLine(result)) writeFixedLine(kExtractionFallbackLine);
}

}  // namespace fileprobe
