#include "extraction/job/extraction_input.h"

#include "extraction/wire/extraction_limits.h"
#include "platform/file_status.h"
#include "platform/fs.h"

namespace fileprobe {

bool openExtractionInput(const std::string& path, UniqueFd& out) {
  UniqueFd file;
  // Non-blocking, so that a FIFO without a writer cannot stall the open.
  if (openForReadFollowingLinks(path, file) != 0) return false;
  FileStatus status;
  if (statDescriptor(file.get(), status) != 0) return false;
  if (!isRegularFile(status) || status.size < 0 ||
      static_cast<std::uint64_t>(status.size) > kMaximumFileBytes) {
    return false;
  }
  if (clearNonBlocking(file.get()) != 0) return false;
  out = std::move(file);
  return true;
}

}  // namespace fileprobe
