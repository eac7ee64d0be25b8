// Any bytes as an inspection request, run through the job itself: reading,
// validating, inspecting the paths it holds and writing the report must
// never crash, and a request is either refused with one of the request
// messages and status 2 or inspected in full with status 0.
// Whether a request is accepted, and the paths it gives, must also agree
// with an independent strict reader (RapidJSON), so that the program's
// reader neither accepts text that is not one JSON array of strings nor
// refuses one that is.
#include <fcntl.h>
#include <rapidjson/encodings.h>
#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>
#include <rapidjson/stringbuffer.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/exit_status.h"
#include "inspect/inspection_job.h"
#include "inspect/inspection_request.h"

namespace {

// The one shape a request may have, as RapidJSON's events: an array at the
// top whose elements are all strings, at most `maxElements` of them. Any
// other event stops the parse.
class StrictStringArray
    : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, StrictStringArray> {
 public:
  explicit StrictStringArray(std::size_t maxElements) : maxElements_(maxElements) {}
  std::vector<std::string> elements;

  bool Default() { return false; }
  bool StartArray() {
    if (started_) return false;
    started_ = true;
    return true;
  }
  bool EndArray(rapidjson::SizeType) { return true; }
  bool String(const char* text, rapidjson::SizeType length, bool) {
    if (!started_ || elements.size() >= maxElements_ || !isScalarValues(text, length)) return false;
    elements.emplace_back(text, length);
    return true;
  }

 private:
  // RapidJSON 1.1 turns a lone low surrogate escape (\udc00) into the bytes
  // of a surrogate; a string must hold Unicode scalar values only, so the
  // decoded text is validated as UTF-8 once more.
  static bool isScalarValues(const char* text, std::size_t length) {
    rapidjson::MemoryStream stream(text, length);
    rapidjson::StringBuffer ignored;
    while (stream.Tell() < length) {
      if (!rapidjson::UTF8<>::Validate(stream, ignored)) return false;
    }
    return true;
  }

  std::size_t maxElements_;
  bool started_ = false;
};

// The elements when `bytes` is exactly one JSON array of strings (JSON white
// space around it, and one leading UTF-8 byte order mark, which both readers
// skip): strict mode, every byte consumed, the source validated as UTF-8.
std::optional<std::vector<std::string>> strictlyParsed(std::string_view bytes,
                                                       std::size_t maxElements) {
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (bytes.starts_with(kByteOrderMark)) bytes.remove_prefix(kByteOrderMark.size());
  rapidjson::MemoryStream stream(bytes.data(), bytes.size());
  StrictStringArray handler(maxElements);
  rapidjson::Reader reader;
  const rapidjson::ParseResult result =
      reader.Parse<rapidjson::kParseValidateEncodingFlag>(stream, handler);
  // RapidJSON also takes a NUL byte for the end of the text; what follows it
  // is left unread, and text left unread is no JSON.
  if (!result || stream.Tell() != bytes.size()) return std::nullopt;
  return std::move(handler.elements);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const int devNull = open("/dev/null", O_WRONLY);
  dup2(devNull, 1);
  close(devNull);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace fileprobe;
  const int input = memfd_create("request", MFD_CLOEXEC);
  if (input < 0 || write(input, data, size) != static_cast<ssize_t>(size)) std::abort();
  lseek(input, 0, SEEK_SET);
  const InspectionRequest request = readInspectionRequest(input);
  lseek(input, 0, SEEK_SET);
  const int status = inspectPathsFrom(input);
  close(input);

  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::optional<std::vector<std::string>> strict =
      size > maximumRequestBytes ? std::nullopt : strictlyParsed(bytes, maximumRequestPaths);
  if (request.refusal.has_value() == strict.has_value()) std::abort();
  if (strict && request.paths != *strict) std::abort();

  if (request.refusal) {
    if (*request.refusal != kRequestUnreadable && *request.refusal != kRequestTooLarge &&
        *request.refusal != kRequestMalformed) {
      std::abort();
    }
    if (status != kStatusRequestRefused) std::abort();
    return 0;
  }
  if (request.paths.size() > maximumRequestPaths || status != kStatusDone) std::abort();
  return 0;
}
