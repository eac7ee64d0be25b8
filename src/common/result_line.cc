#include "common/result_line.h"

#include "platform/fs.h"

namespace fileprobe {
namespace {

constexpr int kStandardOutput = 1;

}  // namespace

bool writeResult(const ResultDictionary& result, FallbackLine fallback) {
  std::optional<std::string> text = serializeCompact(result);
  if (!text) {
    if (fallback) writeFixedLine(*fallback);
    return false;
  }
  text->push_back('\n');
  // Standard error stays silent, so a failed write is not reported.
  (void)writeAll(kStandardOutput, *text);
  return true;
}

void writeFixedLine(std::string_view text) {
  std::string line(text);
  line.push_back('\n');
  (void)writeAll(kStandardOutput, line);
}

}  // namespace fileprobe
