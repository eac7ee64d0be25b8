// The --copy-metadata-fd job: the metadata of descriptor 3 copied onto
// descriptor 4 and proven by three equal fingerprints.
#pragma once

#include "entry/option_words.h"
#include "platform/file_status.h"

namespace fileprobe {

// The inherited descriptors; borrowed, never opened, closed or moved.
inline constexpr int kSourceDescriptor = 3;
inline constexpr int kDestinationDescriptor = 4;

[[noreturn]] void runMetadataCopyJob(const Arguments& arguments);

// Writes {"ok","verified","errno"[,"source","destination"]} and ends the
// process: status 0 when ok, 3 otherwise, and 3 with no output at all when
// the result cannot be serialised. The states are written only when both
// are given.
[[noreturn]] void metadataResult(bool ok, int errnoValue, const FileStatus* source,
                                 const FileStatus* destination);

}  // namespace fileprobe
