// What the fingerprint reads of one item, as a record of functions: the
// platform's calls on a descriptor in the program, a fake in unit tests.
// Every function returns 0 or a platform errno.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "platform/file_status.h"

namespace fileprobe {

struct AttributeSource {
  // The size of the NUL-separated attribute name list.
  std::function<int(std::size_t& size)> listSize;
  // The name list into `buffer`; `got` is the number of bytes written.
  std::function<int(std::span<char> buffer, std::size_t& got)> listNames;
  // The size of the value of `name`.
  std::function<int(const std::string& name, std::size_t& size)> valueSize;
  // buffer.size() bytes of the value of `name`, from byte `position` on.
  std::function<int(const std::string& name, std::uint32_t position, std::span<std::byte> buffer,
                    std::size_t& got)>
      readValue;
  // The ACL item, at most `maxListBytes` per list; kAclTooLarge or
  // kAclChanged (platform/acl.h) for a list beyond it or one that changed.
  std::function<int(std::size_t maxListBytes, std::string& bytes)> readAcl;
  // A fresh status record.
  std::function<int(FileStatus& status)> readStatus;
};

// The source that reads the open `descriptor`; the descriptor is borrowed.
AttributeSource descriptorAttributeSource(int descriptor);

}  // namespace fileprobe
