#include "fileops/metadata_copy_job.h"

#include <cstdlib>
#include <optional>

#include "entry/result_line.h"
#include "fileops/descriptor_state.h"
#include "fileops/metadata_copy.h"
#include "fileops/metadata_failure.h"
#include "fileops/move_job.h"
#include "fingerprint/metadata_digest.h"
#include "platform/errno_map.h"
#include "platform/fs.h"

namespace fileprobe {
namespace {

constexpr std::size_t kCopyArgumentCount = 2;

[[noreturn]] void fail(int macosCode) { throw MetadataFailure{macosCode}; }

// Only a regular file or a folder, onto one of the same kind, never onto
// itself, never onto a file that other names share, and never from a
// locked item.
void checkItems(const FileStatus& source, const FileStatus& destination) {
  if (!isRegularFile(source) && !isDirectory(source)) fail(macos::kEINVAL);
  if (fileType(destination) != fileType(source)) fail(macos::kEINVAL);
  if (source.device == destination.device && source.inode == destination.inode) {
    fail(macos::kEINVAL);
  }
  if (destination.linkCount != 1 && !isDirectory(destination)) fail(macos::kEINVAL);
  if ((source.flags & kLockFlagsMask) != 0) fail(macos::kEINVAL);
}

// The source unchanged, the destination still the same item and, for a
// file, still of the same size: its data was not touched.
void verifyStates(const FileStatus& source, const FileStatus& sourceAfter,
                  const FileStatus& destination, const FileStatus& destinationAfter) {
  if (!sameSourceState(source, sourceAfter)) fail(macos::kESTALE);
  if (destinationAfter.device != destination.device) fail(macos::kESTALE);
  if (destinationAfter.inode != destination.inode) fail(macos::kESTALE);
  if (!isDirectory(destination) && destinationAfter.size != destination.size) {
    fail(macos::kESTALE);
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
  if (const int error = syncDescriptor(kDestinationDescriptor); error != 0) failWithErrno(error);
  const FileStatus sourceAfter = descriptorStat(kSourceDescriptor);
  const FileStatus destinationAfter = descriptorStat(kDestinationDescriptor);
  verifyStates(source, sourceAfter, destination, destinationAfter);
  if (metadataDigest(kSourceDescriptor, sourceAfter) != reference) fail(macos::kESTALE);
  if (metadataDigest(kDestinationDescriptor, destinationAfter) != reference) {
    fail(macos::kESTALE);
  }
  return {sourceAfter, destinationAfter};
}

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
  int failure = macos::kEIO;
  std::optional<VerifiedCopy> copy;
  try {
    copy = copyAndVerify();
  } catch (const MetadataFailure& error) {
    failure = error.code;
  } catch (...) {
    // Any other error (memory, a library) ends the copy as EIO.
  }
  if (copy) metadataResult(true, 0, &copy->source, &copy->destination);
  metadataResult(false, failure, nullptr, nullptr);
}

}  // namespace fileprobe
