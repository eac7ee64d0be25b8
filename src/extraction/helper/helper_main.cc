// fileprobe-extract: reads the file on standard input by the road named in
// argument 1 ("pdf" or "image") and answers with one JSON object on
// standard output. The extraction job runs it in a bounded child process,
// so that whatever a hostile file does to the parsing libraries here, the
// job still gives its one answer; and the helper confines itself before it
// parses, so that a parser taken over by the file reaches nothing but the
// file's bytes and the system files parsing reads.
//
// Built a second time as fileprobe-extract-probe for the tests and the
// benchmarks only (FILEPROBE_CONFINEMENT_PROBE; never installed), with
// roads that run unconfined or attempt forbidden operations.
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/bounded_read.h"
#include "extraction/helper/confinement.h"
#include "extraction/helper/extraction_driver.h"
#include "extraction/helper/helper_bindings.h"
#include "extraction/helper/processor_share.h"
#include "extraction/wire/extraction_answer.h"
#include "extraction/wire/extraction_limits.h"
#include "platform/file_status.h"
#include "platform/fs.h"
#include "platform/processors.h"

#ifdef FILEPROBE_CONFINEMENT_PROBE
#include <thread>

#include "extraction/helper/confinement_probe.h"
#endif

namespace {

using namespace fileprobe;

constexpr int kUsageStatus = 2;
constexpr int kInputDescriptor = 0;
constexpr int kAnswerDescriptor = 1;

// The whole input, or nothing when it cannot be read or holds more than
// `limit` bytes (the file may have grown since the job measured it).
std::optional<std::string> boundedInput(std::uint64_t limit) {
  // Room for the whole file as measured, so the buffer is not regrown.
  std::size_t expectedBytes = 0;
  if (const ErrnoOr<FileStatus> status = statDescriptor(kInputDescriptor);
      status && status->size >= 0) {
    expectedBytes = static_cast<std::size_t>(status->size);
  }
  const auto bound = static_cast<std::size_t>(limit);
  ErrnoOr<std::string> bytes = readToEndBounded(kInputDescriptor, bound, expectedBytes);
  if (!bytes || bytes->size() > bound) return std::nullopt;
  return *std::move(bytes);
}

// What the parsers may read once confined: the libraries (the recognition
// module and its libraries may be loaded after confinement), the helper's
// own modules, the recognition models, poppler's encoding tables and the
// fonts it renders with, and the processor and memory layout libvips,
// OpenMP and the C library ask the system for. /proc/self is this process
// only; /proc as a whole would show the caller's environment.
std::vector<std::string> readableTrees() {
  return {
      moduleFolder(),
      FILEPROBE_TESSDATA_DIR,
      "/usr/lib",
      "/lib",
      "/etc/ld.so.cache",
      "/usr/share/poppler",
      "/usr/share/fonts",
      "/usr/local/share/fonts",
      "/usr/share/fontconfig",
      "/etc/fonts",
      "/var/cache/fontconfig",
      "/etc/localtime",
      "/sys/devices/system/cpu",
      "/sys/devices/system/node",
      "/proc/self",
      // The C library's malloc asks before it gives a thread's memory back.
      "/proc/sys/vm/overcommit_memory",
  };
}

enum class Confinement { kOn, kOff };

// The processors the PDF road may recognise pages on; the probe build can
// name its own count, to compare the readings, and then uses them all, or
// use them all without looking whether they are free.
struct Processors {
  std::optional<int> given;
  bool watched = true;
  int count() const { return given ? *given : availableProcessors(); }
};

// Nothing when the helper could not confine itself: it must not parse then.
// `recognizer` reads an image's text; a PDF's pages make their own, one for
// each thread that reads them.
std::optional<ExtractionAnswer> answerFor(Road road, Confinement confinement, Processors processors,
                                          const RecognizeFunction& recognizer) {
  auto bytes = boundedInput(kMaximumFileBytes);
  if (!bytes) return filenameAnswer(kWarningUnreadableOrTooLarge);
  // The road's library is loaded before confinement, as loading is not
  // parsing; recognition is loaded later, only for a page or image that
  // needs it, which the confinement allows (reading and mapping libraries).
  loadRoadModule(road);
  if (confinement == Confinement::kOn && !confineProcess(readableTrees())) return std::nullopt;
  if (road == Road::pdf) {
    // Threads start here, after confinement, which binds them as well.
    ProcessorShare measured;
    EveryProcessorFree given;
    return pdfRoadAnswer(
        openPdf(std::make_shared<const std::string>(*std::move(bytes))), tesseractRecognizer,
        processors.count(),
        processors.given || !processors.watched ? static_cast<ProcessorWatch&>(given) : measured);
  }
  return imageRoadAnswer(loadImage(*bytes), recognizer);
}

#ifdef FILEPROBE_CONFINEMENT_PROBE
constexpr std::string_view kUnconfinedSuffix = "-unconfined";
// pdf-sequential reads the pages needing recognition one after the other,
// pdf-three-engines on three threads whatever the processors.
constexpr std::string_view kSequentialPdf = "pdf-sequential";
constexpr std::string_view kThreeEnginePdf = "pdf-three-engines";
// pdf-unwatched on as many threads as processors, busy or not.
constexpr std::string_view kUnwatchedPdf = "pdf-unwatched";
constexpr int kThreeEngines = 3;
constexpr int kProbeTargetArguments = 4;

// probe attempts[-threaded][-unconfined] FOLDER EXISTING OUTSIDE SOCKET:
// confines as the extraction roads do (or not), attempts every forbidden
// operation (with -threaded, from a thread started after confinement, as
// the threads that recognise PDF pages are) and prints what happened as
// one JSON object.
int probeAttempts(Confinement confinement, bool threaded, char** targets) {
  ConfinementOutcome confined;
  if (confinement == Confinement::kOn) {
    const ErrnoOr<ConfinementOutcome> outcome = confineProcess(readableTrees());
    if (!outcome) return EXIT_FAILURE;
    confined = *outcome;
  }
  const ProbeTargets probed{targets[0], targets[1], targets[2], targets[3]};
  std::vector<std::pair<std::string, int>> attempts;
  if (threaded) {
    std::thread attempting([&] { attempts = attemptForbiddenOperations(probed); });
    attempting.join();
  } else {
    attempts = attemptForbiddenOperations(probed);
  }
  const std::string report = probeReport(confined.landlockAbi, attempts);
  if (!writeAll(kAnswerDescriptor, report + "\n")) return EXIT_FAILURE;
  std::_Exit(0);
}
#endif

int helperMain(int argc, char** argv) {
  if (argc < 2) return kUsageStatus;
  std::string_view road = argv[1];
  Confinement confinement = Confinement::kOn;
  Processors processors;
#ifdef FILEPROBE_CONFINEMENT_PROBE
  if (road.ends_with(kUnconfinedSuffix)) {
    road.remove_suffix(kUnconfinedSuffix.size());
    confinement = Confinement::kOff;
  }
  if ((road == "attempts" || road == "attempts-threaded") && argc == 2 + kProbeTargetArguments) {
    return probeAttempts(confinement, road == "attempts-threaded", argv + 2);
  }
  if (road == kUnwatchedPdf) {
    processors.watched = false;
    road = "pdf";
  }
  if (road == kSequentialPdf || road == kThreeEnginePdf) {
    processors.given = road == kSequentialPdf ? 1 : kThreeEngines;
    road = "pdf";
  }
#endif
  if (argc != 2) return kUsageStatus;
  const std::optional<Road> known = roadOfWord(road);
  if (!known) return kUsageStatus;
  // Made before the answer and never destroyed, as the helper leaves with
  // _Exit: freeing the engine's models would cost about 10 ms of a page
  // that reads in a few tenths of a second. It loads nothing until a page
  // needs reading.
  const RecognizeFunction recognizer = tesseractRecognizer();
  std::optional<ExtractionAnswer> confinedAnswer =
      answerFor(*known, confinement, processors, recognizer);
  if (!confinedAnswer) return EXIT_FAILURE;
  auto bytes = answerBytes(*confinedAnswer);
  // Text that is not UTF-8 ends as the job's own unserialisable result would.
  if (!bytes) bytes = answerBytes({"", Method::filename, std::nullopt});
  if (!bytes || !writeAll(kAnswerDescriptor, *bytes)) return EXIT_FAILURE;
  // Straight out: no destructors of the libraries' global state, which a
  // damaged file may have left inconsistent.
  std::_Exit(0);
}

}  // namespace

// A library exception that escapes ends the helper like any other failure:
// the job then gives the road's cannot-read answer.
int main(int argc, char** argv) {
  try {
    return helperMain(argc, argv);
  } catch (...) {
    return EXIT_FAILURE;
  }
}
