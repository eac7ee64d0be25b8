#include "fileops/metadata_copy_job.h"

#include <cstdlib>

#include "entry/result_line.h"
#include "fileops/descriptor_state.h"
#include "fileops/move_job.h"
#include "platform/errno_map.h"

namespace fileprobe {
namespace {

constexpr std::size_t kCopyArgumentCount = 2;

}  // namespace

void metadataResult(bool ok, int errnoValue, const FileStatus* source,
                    const FileStatus* destination) {
  ResultDictionary result;
  result.set("ok", ok);
  result.set("verified", ok);
  result.set("errno", static_cast<std::int64_t>(errnoValue));
  if (source != nullptr && destination != nullptr) {
    result.set("source", attestedState(*source));
    result.set("destination", attestedState(*destination));
  }
  const bool written = writeResultLine(result);
  std::exit(written && ok ? 0 : kFileOperationFailed);
}

void runMetadataCopyJob(const Arguments& arguments) {
  if (arguments.size() != kCopyArgumentCount) {
    metadataResult(false, macos::kEINVAL, nullptr, nullptr);
  }
  // The copy itself is not built yet.
  metadataResult(false, macos::kEINVAL, nullptr, nullptr);
}

}  // namespace fileprobe
