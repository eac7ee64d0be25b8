#include "extraction/job/extraction_job.h"

#include <chrono>
#include <string>

#include "common/exit_status.h"
#include "extraction/job/extraction_input.h"
#include "extraction/wire/extraction_answer.h"
#include "extraction/wire/extraction_road.h"
#include "platform/executable_path.h"
#include "platform/helper_process.h"

namespace fileprobe {
namespace {

// The helper sits in libexec beside bin, in the build tree as installed.
constexpr std::string_view kHelperFromBinary = FILEPROBE_HELPER_FROM_BIN;
constexpr std::string_view kHelperName = "fileprobe-extract";

// Bounds of one helper run. The parsing libraries get 2 GiB of address
// space and two minutes of processor time, which bound a helper that
// spins. Its wall clock is bounded by progress instead: a helper is always
// either using processor time or held back by the system (waiting for a
// processor or the disk), so one that does neither for half a minute
// waits on itself and is hung. On a loaded machine an honest helper only
// gets slower: 120 s of processor time at a twelfth of a processor (24
// extractions at once on two cores) take 24 minutes, so the outer bound,
// for a helper held back for ever, lies beyond that.
constexpr std::uint64_t kHelperAddressSpaceBytes = 2ull << 30;
constexpr std::uint64_t kHelperCpuSeconds = 120;
constexpr std::chrono::milliseconds kHelperStallWindow{30'000};
constexpr std::chrono::milliseconds kHelperOuterBound{30 * 60'000};
// The helper cuts its text to kMaximumCharacters before answering, and a
// longer text is no answer; this only stops a runaway answer from filling
// the job's memory first.
constexpr std::size_t kMaximumAnswerBytes = 32u << 20;

// The helper's whole environment. Poppler, libvips, tesseract and OpenMP
// read variables of their own; none of the caller's may change a result.
// One OpenMP thread: on two cores tesseract recognises a page about five
// times faster than with its default thread pool. libvips opens the loader
// modules under VIPSHOME when it starts, about 30 ms for loaders few images
// need; pointed at no folder it opens none, and the image binding opens
// them only for a file the built-in loaders do not know.
const std::vector<std::string>& helperEnvironment() {
  static const std::vector<std::string> environment{"OMP_THREAD_LIMIT=1", "VIPSHOME=/nonexistent"};
  return environment;
}

std::string helperPath() {
  const std::string folder = runningExecutableFolder();
  if (folder.empty()) return "";
  return folder + std::string(kHelperFromBinary) + "/" + std::string(kHelperName);
}

// What the helper found in the file, or the road's cannot-read answer when
// it did not end well: killed by a signal or a limit, another exit status,
// or an answer that is not one.
ExtractionAnswer helperAnswer(Road road, int fileDescriptor) {
  ExtractionAnswer cannotRead = filenameAnswer(cannotReadWarning(road));
  HelperRequest request;
  request.program = helperPath();
  if (request.program.empty()) return cannotRead;
  request.arguments = {std::string(roadWord(road))};
  request.environment = helperEnvironment();
  request.inputDescriptor = fileDescriptor;
  request.addressSpaceBytes = kHelperAddressSpaceBytes;
  request.cpuSeconds = kHelperCpuSeconds;
  request.stallWindow = kHelperStallWindow;
  request.outerBound = kHelperOuterBound;
  request.maxAnswerBytes = kMaximumAnswerBytes;
  const ErrnoOr<HelperOutcome> outcome = runHelper(request);
  if (!outcome || !outcome->exitedWithZero) return cannotRead;
  auto answer = parseAnswer(outcome->answer);
  return answer ? *std::move(answer) : cannotRead;
}

}  // namespace

int runExtractionJob(const Arguments& arguments) {
  if (arguments.size() != 2) {
    emit(filenameAnswer(kWarningNoFile));
    return kStatusDone;
  }
  const std::string path(arguments[1]);
  std::optional<UniqueFd> file = openExtractionInput(path);
  if (!file) {
    emit(filenameAnswer(kWarningUnreadableOrTooLarge));
    return kStatusDone;
  }
  const ExtractionAnswer answer = helperAnswer(roadForPath(path), file->get());
  file->reset();
  emit(answer);
  return kStatusDone;
}

}  // namespace fileprobe
