// Any text through the extraction result writer: the cut by user-perceived
// characters and the serialisation must never crash, and what is written is
// always one line of valid JSON, or the fixed fallback.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "extraction/wire/extraction_answer.h"
#include "extraction/wire/extraction_limits.h"
#include "formats/unicode.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The writer prints to standard output; the fuzzer's own output stays readable.
  const int devNull = open("/dev/null", O_WRONLY);
  dup2(devNull, 1);
  close(devNull);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  // A small limit so that the cut is reached by inputs of fuzzer size.
  const std::int64_t limit = size == 0 ? 0 : data[0] % 64;
  const std::string_view cut = fileprobe::firstCharacters(text, limit);
  if (cut.size() > text.size() || text.substr(0, cut.size()) != cut) std::abort();
  if (fileprobe::countCharacters(cut, limit + 1) > limit) std::abort();
  if (fileprobe::isValidUtf8(text) && !fileprobe::isValidUtf8(cut)) std::abort();
  const std::string_view trimmed = fileprobe::trimWhitespaceAndNewlines(text);
  if (trimmed.size() > text.size()) std::abort();
  fileprobe::emit({std::string(text), fileprobe::Method::text, std::string(text)});
  return 0;
}
