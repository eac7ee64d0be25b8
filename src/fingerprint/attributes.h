// Extended attribute names and value digests of one item, read so that a
// concurrent change is detected. Failures raise MetadataFailure.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "fingerprint/attribute_source.h"
#include "formats/sha256.h"

namespace fileprobe {

inline constexpr std::size_t kNameListLimit = 1048576;        // 1 MiB
inline constexpr std::size_t kOrdinaryValueLimit = 33554432;  // 32 MiB
inline constexpr std::size_t kResourceForkChunk = 1048576;
inline constexpr std::uint64_t kResourceForkLastPosition = 0xFFFFFFFF;
inline constexpr std::string_view kResourceForkName = "com.apple.ResourceFork";

// Every attribute name except the two that hold the POSIX ACLs, sorted by
// the scalar values of their canonical composition; equivalent names keep
// their listed order. A list that changes size while read fails with
// ESTALE, a name that is not UTF-8 with EINVAL, a list beyond 1 MiB with EFBIG.
std::vector<std::string> attributeNames(const AttributeSource& source);
std::vector<std::string> attributeNames(int descriptor);

// The SHA-256 of the whole value of `name`. The resource fork is read in
// 1 MiB chunks, every other value in one piece of at most 32 MiB.
Sha256Digest attributeDigest(const AttributeSource& source, const std::string& name);
Sha256Digest attributeDigest(int descriptor, const std::string& name);

// The whole value of `name`, at most 32 MiB, read as attributeDigest reads
// an ordinary value.
std::string attributeValue(int descriptor, const std::string& name);

}  // namespace fileprobe
