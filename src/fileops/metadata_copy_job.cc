#include "fileops/metadata_copy_job.h"

#include <cerrno>
#include <optional>

#include "common/exit_status.h"
#include "common/result_line.h"
#include "fileops/metadata_copy.h"
#include "filestate/descriptor_state.h"
#include "filestate/metadata_failure.h"
#include "fingerprint/metadata_digest.h"
#include "platform/fs.h"

namespace fileprobe {
namespace {

constexpr std::size_t kCopyArgumentCount = 2;

// Only a regular file or a folder, onto one of the same kind, never onto
// itself, never onto a file that other names share, and never from a
// locked item.
void checkItems(const FileStatus& source, const FileStatus& destination) {
  if (!isRegularFile(source) && !isDirectory(source)) failWith(EINVAL);
  if (fileType(destination) != fileType(source)) failWith(EINVAL);
  if (identityOf(source) == identityOf(destination)) failWith(EINVAL);
  if (destination.linkCount != 1 && !isDirectory(destination)) failWith(EINVAL);
  if ((source.flags & kLockFlagsMask) != 0) failWith(EINVAL);
}

// The source unchanged, the destination still the same item and, for a
// file, still of the same size: its data was not touched.
void verifyStates(const FileStatus& source, const FileStatus& sourceAfter,
                  const FileStatus& destination, const FileStatus& destinationAfter) {
  if (!sameSourceState(source, sourceAfter)) failWith(ESTALE);
  if (identityOf(destinationAfter) != identityOf(destination)) failWith(ESTALE);
  if (!isDirectory(destination) && destinationAfter.size != destination.size) {
    failWith(ESTALE);
  }
}

// Linux can set no creation time, and the status record reports it as
// 0 s 0 ns on both items, so the step has nothing to do.
void copyCreationTime(int /*to*/, const FileStatus& /*source*/) {}

struct VerifiedCopy {
  FileStatus source;
  FileStatus destination;
};

VerifiedCopy copyAndVerify() {
  const FileStatus source = descriptorStat(kSourceDescriptor);
  const FileStatus destination = descriptorStat(kDestinationDescriptor);
  checkItems(source, destination);
  const Sha256Digest reference = metadataDigest(kSourceDescriptor, source);
  copyMetadata(kSourceDescriptor, kDestinationDescriptor, source, destination);
  copyCreationTime(kDestinationDescriptor, source);
  failOnError(syncDescriptor(kDestinationDescriptor));
  const FileStatus sourceAfter = descriptorStat(kSourceDescriptor);
  const FileStatus destinationAfter = descriptorStat(kDestinationDescriptor);
  verifyStates(source, sourceAfter, destination, destinationAfter);
  if (metadataDigest(kSourceDescriptor, sourceAfter) != reference) failWith(ESTALE);
  if (metadataDigest(kDestinationDescriptor, destinationAfter) != reference) {
    failWith(ESTALE);
  }
  return {sourceAfter, destinationAfter};
}

}  // namespace

int metadataResult(bool ok, MacosErrno reported, const FileStatus* source,
                   const FileStatus* destination) {
  ResultDictionary result;
  result.set("ok", ok);
  result.set("verified", ok);
  result.set("errno", static_cast<std::int64_t>(reported.value));
  if (source != nullptr && destination != nullptr) {
    result.set("source", attestedState(*source));
    result.set("destination", attestedState(*destination));
  }
  // The copy has no fallback line: a result that cannot be written is no
  // line at all and status 3.
  const bool written = writeResult(result, kNothingWritten);
  return written && ok ? kStatusDone : kStatusOperationFailed;
}

int runMetadataCopyJob(const Arguments& arguments) {
  if (arguments.size() != kCopyArgumentCount) {
    return metadataResult(false, macosErrno(EINVAL), nullptr, nullptr);
  }
  int failure = EIO;
  std::optional<VerifiedCopy> copy;
  try {
    copy = copyAndVerify();
  } catch (const MetadataFailure& error) {
    failure = error.code;
  } catch (...) {
    // Any other error (memory, a library) ends the copy as EIO.
  }
  if (copy) return metadataResult(true, macosErrno(0), &copy->source, &copy->destination);
  return metadataResult(false, macosErrno(failure), nullptr, nullptr);
}

}  // namespace fileprobe
