#include "fingerprint/attribute_source.h"

#include <cerrno>
#include <vector>

#include "platform/acl.h"
#include "platform/xattr.h"

namespace fileprobe {
namespace {

// The largest value Linux keeps (XATTR_SIZE_MAX).
constexpr std::size_t kLinuxValueLimit = 65536;

// Linux reads a value only from its start, so a read from a later position
// takes the value up to the end of the asked range and keeps that range.
// Values are at most 64 KiB here, so this never holds more than that.
ErrnoOr<std::size_t> readValueAt(int descriptor, const std::string& name, std::uint32_t position,
                                 std::span<std::byte> buffer) {
  if (position == 0) return readAttribute(descriptor, name, buffer);
  const std::size_t end = std::size_t{position} + buffer.size();
  if (end > kLinuxValueLimit) return Errno{E2BIG};
  std::vector<std::byte> whole(end);
  const ErrnoOr<std::size_t> wholeLength = readAttribute(descriptor, name, whole);
  if (!wholeLength) return wholeLength;
  const std::size_t got = *wholeLength > position ? *wholeLength - position : 0;
  std::copy_n(whole.begin() + position, got, buffer.begin());
  return got;
}

}  // namespace

AttributeSource descriptorAttributeSource(int descriptor) {
  return {
      .listSize = [descriptor] { return attributeListSize(descriptor); },
      .listNames =
          [descriptor](std::span<char> buffer) { return listAttributes(descriptor, buffer); },
      .valueSize =
          [descriptor](const std::string& name) { return attributeValueSize(descriptor, name); },
      .readValue =
          [descriptor](const std::string& name, std::uint32_t position,
                       std::span<std::byte> buffer) {
            return readValueAt(descriptor, name, position, buffer);
          },
      .readAcl =
          [descriptor](std::size_t maxListBytes) { return aclItem(descriptor, maxListBytes); },
      .readStatus = [descriptor] { return statDescriptor(descriptor); },
  };
}

}  // namespace fileprobe
