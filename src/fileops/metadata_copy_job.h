// The --copy-metadata-fd job: the metadata of descriptor 3 copied onto
// descriptor 4 and proven by three equal fingerprints.
#pragma once

#include "common/arguments.h"
#include "formats/macos_errno.h"
#include "platform/file_status.h"

namespace fileprobe {

// The inherited descriptors; borrowed, never opened, closed or moved.
inline constexpr int kSourceDescriptor = 3;
inline constexpr int kDestinationDescriptor = 4;

// Copies, verifies and writes the result; returns the exit status.
int runMetadataCopyJob(const Arguments& arguments);

// Writes {"ok","verified","errno"[,"source","destination"]} and returns the
// exit status: kStatusDone when ok, kStatusOperationFailed otherwise, and
// kStatusOperationFailed with no output at all when the result cannot be
// serialised. The states are written only when both are given.
int metadataResult(bool ok, MacosErrno reported, const FileStatus* source,
                   const FileStatus* destination);

}  // namespace fileprobe
