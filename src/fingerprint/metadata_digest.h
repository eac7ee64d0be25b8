// The metadata fingerprint of one item: a SHA-256 over exactly what a
// metadata copy carries (mode, owner, group, flags, modification and
// creation time, ACL, extended attributes), read so that the item is proven
// still while it was read. Failures raise MetadataFailure.
#pragma once

#include <string>

#include "fingerprint/attribute_source.h"
#include "formats/sha256.h"
#include "platform/file_status.h"

namespace fileprobe {

inline constexpr std::size_t kAclLimit = 1048576;  // 1 MiB per list

// mode:uid:gid:flags:mtime-s:mtime-ns:birth-s:birth-ns in decimal.
std::string metadataText(const FileStatus& status);

// The ACL item (platform/acl.h); empty when the item has no extended ACL.
std::string aclBytes(const AttributeSource& source);
std::string aclBytes(int descriptor);

// The digest of the text of `status`, the ACL item, and for each attribute
// 0x00, its name, 0x00 and its value digest. `status` must be a record of
// the item taken after the caller's last change to it: the item must still
// match it once everything is read, or the digest fails with ESTALE.
Sha256Digest metadataDigest(const AttributeSource& source, const FileStatus& status);
Sha256Digest metadataDigest(int descriptor, const FileStatus& status);

}  // namespace fileprobe
