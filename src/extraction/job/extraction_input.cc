#include "extraction/job/extraction_input.h"

#include "extraction/wire/extraction_limits.h"
#include "platform/file_status.h"
#include "platform/fs.h"

namespace fileprobe {

std::optional<UniqueFd> openExtractionInput(const std::string& path) {
  // Non-blocking, so that a FIFO without a writer cannot stall the open.
  ErrnoOr<UniqueFd> file = openForReadFollowingLinks(path);
  if (!file) return std::nullopt;
  const ErrnoOr<FileStatus> status = statDescriptor(file->get());
  if (!status || !isRegularFile(*status) || status->size < 0 ||
      static_cast<std::uint64_t>(status->size) > kMaximumFileBytes) {
    return std::nullopt;
  }
  if (!clearNonBlocking(file->get())) return std::nullopt;
  return *std::move(file);
}

}  // namespace fileprobe
