#include "fingerprint/metadata_digest.h"

#include <cerrno>
#include <vector>

#include "filestate/descriptor_state.h"
#include "filestate/metadata_failure.h"
#include "fingerprint/attributes.h"
#include "platform/acl.h"

namespace fileprobe {
namespace {

constexpr char kFieldSeparator = ':';
constexpr char kNameSeparator = '\0';

}  // namespace

std::string metadataText(const FileStatus& status) {
  std::string text = std::to_string(status.mode);
  for (const std::string& field :
       {std::to_string(status.owner), std::to_string(status.group), std::to_string(status.flags),
        std::to_string(status.modificationTime.seconds),
        std::to_string(status.modificationTime.nanoseconds),
        std::to_string(status.creationTime.seconds),
        std::to_string(status.creationTime.nanoseconds)}) {
    text.push_back(kFieldSeparator);
    text += field;
  }
  return text;
}

std::string aclBytes(const AttributeSource& source) {
  return valueOrFail(source.readAcl(kAclLimit));
}

std::string aclBytes(int descriptor) { return aclBytes(descriptorAttributeSource(descriptor)); }

Sha256Digest metadataDigest(const AttributeSource& source, const FileStatus& status) {
  Sha256 hash;
  sha256Start(hash);
  sha256Update(hash, metadataText(status));
  sha256Update(hash, aclBytes(source));
  const std::vector<std::string> names = attributeNames(source);
  for (const std::string& name : names) {
    const char separator[] = {kNameSeparator};
    sha256Update(hash, std::string_view(separator, 1));
    sha256Update(hash, name);
    sha256Update(hash, std::string_view(separator, 1));
    const Sha256Digest value = attributeDigest(source, name);
    sha256Update(hash, std::as_bytes(std::span(value)));
  }
  // The stillness tests run only after every value has been read.
  if (attributeNames(source) != names) failWith(ESTALE);
  const FileStatus now = valueOrFail(source.readStatus());
  if (!sameSourceState(status, now)) failWith(ESTALE);
  return sha256Finish(hash);
}

Sha256Digest metadataDigest(int descriptor, const FileStatus& status) {
  return metadataDigest(descriptorAttributeSource(descriptor), status);
}

}  // namespace fileprobe
