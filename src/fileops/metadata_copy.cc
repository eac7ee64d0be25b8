#include "fileops/metadata_copy.h"

#include "fileops/metadata_failure.h"
#include "fingerprint/attributes.h"
#include "fingerprint/metadata_digest.h"
#include "platform/acl.h"
#include "platform/errno_map.h"
#include "platform/file_metadata.h"
#include "platform/xattr.h"

namespace fileprobe {
namespace {

void check(int linuxErrno) {
  if (linuxErrno != 0) failWithErrno(linuxErrno);
}

// Exactly the attribute set of the fingerprint: what `to` has of it goes,
// then every attribute of `from` is written.
void copyAttributes(int from, int to) {
  for (const std::string& name : attributeNames(to)) check(removeAttribute(to, name));
  for (const std::string& name : attributeNames(from)) {
    check(writeAttribute(to, name, attributeValue(from, name)));
  }
}

}  // namespace

void copyMetadata(int from, int to, const FileStatus& source, const FileStatus& destination) {
  if (source.owner != destination.owner || source.group != destination.group) {
    check(changeOwner(to, source.owner, source.group));
  }
  copyAttributes(from, to);
  checkAclResult(copyAcls(from, to, kAclLimit));
  check(changePermissions(to, source.mode & kPermissionMask));
  const bool sourceNoDump = (source.flags & kFlagNoDump) != 0;
  if (sourceNoDump != ((destination.flags & kFlagNoDump) != 0)) {
    check(setNoDumpFlag(to, sourceNoDump));
  }
  check(setAccessAndModificationTimes(to, source.accessTime, source.modificationTime));
}

}  // namespace fileprobe
