// The metadata of one open item copied onto another, data never touched.
#pragma once

#include "platform/file_status.h"

namespace fileprobe {

// Gives `to` the owner, group, extended attributes, ACLs, permission bits,
// nodump flag and access and modification times of `from`, in that order:
// the owner first, because a change of owner clears set-id bits and file
// capabilities, and the times last, because every other change may touch
// them. `source` and `destination` are the records both items had before.
// The first refusing call ends the copy with its errno (MetadataFailure);
// what was already applied stays.
void copyMetadata(int from, int to, const FileStatus& source, const FileStatus& destination);

}  // namespace fileprobe
