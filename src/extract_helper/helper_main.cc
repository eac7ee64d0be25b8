// fileprobe-extract: reads the file on standard input by the road named in
// argument 1 ("pdf" or "image") and answers with one JSON object on
// standard output. The extraction job runs it in a bounded child process,
// so that whatever a hostile file does to the parsing libraries here, the
// job still gives its one answer.
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "common/limits.h"
#include "extract_answer/extraction_answer.h"
#include "extract_helper/extraction_driver.h"
#include "extract_helper/helper_bindings.h"
#include "platform/file_status.h"
#include "platform/fs.h"
#include "platform/unicode.h"

namespace {

using namespace fileprobe;

constexpr int kUsageStatus = 2;
constexpr int kInputDescriptor = 0;
constexpr int kAnswerDescriptor = 1;
constexpr std::size_t kReadChunkBytes = 1u << 20;

// The whole input, or nothing when it cannot be read or holds more than
// `limit` bytes (the file may have grown since the job measured it).
std::optional<std::string> boundedInput(std::uint64_t limit) {
  std::string bytes;
  // Room for the whole file as measured, so the buffer is not regrown.
  FileStatus status;
  if (statDescriptor(kInputDescriptor, status) == 0 && status.size >= 0 &&
      static_cast<std::uint64_t>(status.size) <= limit) {
    bytes.reserve(static_cast<std::size_t>(status.size) + kReadChunkBytes);
  }
  std::size_t got = 0;
  do {
    const std::size_t offset = bytes.size();
    if (offset > limit) return std::nullopt;
    bytes.resize(offset + kReadChunkBytes);
    if (readSome(kInputDescriptor, std::as_writable_bytes(std::span(bytes)).subspan(offset), got) !=
        0) {
      return std::nullopt;
    }
    bytes.resize(offset + got);
  } while (got > 0);
  if (bytes.size() > limit) return std::nullopt;
  return bytes;
}

ExtractionAnswer answerFor(std::string_view road) {
  auto bytes = boundedInput(maximumFileBytes);
  if (!bytes) return filenameAnswer(kWarningUnreadableOrTooLarge);
  if (road == "pdf") {
    return pdfRoadAnswer(openPdf(std::make_shared<const std::string>(*std::move(bytes))),
                         tesseractRecognizer());
  }
  return imageRoadAnswer(loadImage(*bytes), tesseractRecognizer());
}

}  // namespace

int main(int argc, char** argv) {
  setGlobalLimits();
  if (argc != 2) return kUsageStatus;
  const std::string_view road = argv[1];
  if (road != "pdf" && road != "image") return kUsageStatus;
  ExtractionAnswer answer = answerFor(road);
  // The job cuts the text again; cutting here keeps the answer small.
  answer.text = std::string(firstCharacters(answer.text, maximumCharacters));
  auto bytes = answerBytes(answer);
  // Text that is not UTF-8 ends as the job's own unserialisable result would.
  if (!bytes) bytes = answerBytes({"", std::string(kMethodFilename), std::nullopt});
  if (!bytes || writeAll(kAnswerDescriptor, *bytes) != 0) return EXIT_FAILURE;
  // Straight out: no destructors of the libraries' global state, which a
  // damaged file may have left inconsistent.
  std::_Exit(0);
}
