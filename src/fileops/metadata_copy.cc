#include "fileops/metadata_copy.h"

#include "filestate/metadata_failure.h"
#include "fingerprint/attributes.h"
#include "fingerprint/metadata_digest.h"
#include "platform/acl.h"
#include "platform/file_metadata.h"
#include "platform/xattr.h"

namespace fileprobe {
namespace {

// Exactly the attribute set of the fingerprint: what `to` has of it goes,
// then every attribute of `from` is written.
void copyAttributes(int from, int to) {
  for (const std::string& name : attributeNames(to)) failOnError(removeAttribute(to, name));
  for (const std::string& name : attributeNames(from)) {
    failOnError(writeAttribute(to, name, attributeValue(from, name)));
  }
}

}  // namespace

void copyMetadata(int from, int to, const FileStatus& source, const FileStatus& destination) {
  if (source.owner != destination.owner || source.group != destination.group) {
    failOnError(changeOwner(to, source.owner, source.group));
  }
  copyAttributes(from, to);
  failOnError(copyAcls(from, to, kAclLimit));
  failOnError(changePermissions(to, source.mode & kPermissionMask));
  const bool sourceNoDump = (source.flags & kFlagNoDump) != 0;
  if (sourceNoDump != ((destination.flags & kFlagNoDump) != 0)) {
    failOnError(setNoDumpFlag(to, sourceNoDump));
  }
  failOnError(setAccessAndModificationTimes(to, source.accessTime, source.modificationTime));
}

}  // namespace fileprobe
