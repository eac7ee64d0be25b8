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
int readValueAt(int descriptor, const std::string& name, std::uint32_t position,
                std::span<std::byte> buffer, std::size_t& got) {
  if (position == 0) return readAttribute(descriptor, name, buffer, got);
  const std::size_t end = std::size_t{position} + buffer.size();
  if (end > kLinuxValueLimit) return E2BIG;
  std::vector<std::byte> whole(end);
  std::size_t wholeLength = 0;
  if (const int error = readAttribute(descriptor, name, whole, wholeLength); error != 0) {
    return error;
  }
  got = wholeLength > position ? wholeLength - position : 0;
  std::copy_n(whole.begin() + position, got, buffer.begin());
  return 0;
}

}  // namespace

AttributeSource descriptorAttributeSource(int descriptor) {
  return {
      .listSize = [descriptor](std::size_t& size) { return attributeListSize(descriptor, size); },
      .listNames = [descriptor](
                       std::span<char> buffer,
                       std::size_t& got) { return listAttributes(descriptor, buffer, got); },
      .valueSize = [descriptor](
                       const std::string& name,
                       std::size_t& size) { return attributeValueSize(descriptor, name, size); },
      .readValue =
          [descriptor](const std::string& name, std::uint32_t position, std::span<std::byte> buffer,
                       std::size_t& got) {
            return readValueAt(descriptor, name, position, buffer, got);
          },
      .readAcl = [descriptor](
                     std::size_t maxListBytes,
                     std::string& bytes) { return aclItem(descriptor, maxListBytes, bytes); },
      .readStatus = [descriptor](FileStatus& status) { return statDescriptor(descriptor, status); },
  };
}

}  // namespace fileprobe
