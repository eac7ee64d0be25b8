// What the fingerprint reads of one item, as a record of functions: the
// platform's calls on a descriptor in the program, a fake in unit tests.
// Every function returns its result or a platform errno.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "platform/errno_or.h"
#include "platform/file_status.h"

namespace fileprobe {

struct AttributeSource {
  // The size of the NUL-separated attribute name list.
  std::function<ErrnoOr<std::size_t>()> listSize;
  // The name list into `buffer`; the number of bytes written.
  std::function<ErrnoOr<std::size_t>(std::span<char> buffer)> listNames;
  // The size of the value of `name`.
  std::function<ErrnoOr<std::size_t>(const std::string& name)> valueSize;
  // buffer.size() bytes of the value of `name`, from byte `position` on;
  // the number of bytes read.
  std::function<ErrnoOr<std::size_t>(const std::string& name, std::uint32_t position,
                                     std::span<std::byte> buffer)>
      readValue;
  // The ACL item, at most `maxListBytes` per list; kAclTooLarge or
  // kAclChanged (platform/acl.h) for a list beyond it or one that changed.
  std::function<ErrnoOr<std::string>(std::size_t maxListBytes)> readAcl;
  // A fresh status record.
  std::function<ErrnoOr<FileStatus>()> readStatus;
};

// The source that reads the open `descriptor`; the descriptor is borrowed.
AttributeSource descriptorAttributeSource(int descriptor);

}  // namespace fileprobe
