#include "common/result_line.h"

#include "platform/fs.h"

namespace fileprobe {
namespace {

constexpr int kStandardOutput = 1;

}  // namespace

bool writeResultLine(const ResultDictionary& dictionary) {
  std::optional<std::string> text = serializeCompact(dictionary);
  if (!text) return false;
  text->push_back('\n');
  // A failed write has nowhere to be reported: standard error stays silent.
  (void)writeAll(kStandardOutput, *text);
  return true;
}

void writeFixedLine(std::string_view text) {
  std::string line(text);
  line.push_back('\n');
  (void)writeAll(kStandardOutput, line);
}

}  // namespace fileprobe
