// Extended attributes of an open descriptor: Linux's own calls, no flags.
// Each returns 0 or the Linux errno; EINTR is retried.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace fileprobe {

// The attributes that hold the POSIX ACLs. They belong to the ACL item of
// the fingerprint, not to the attribute set.
inline constexpr std::string_view kAccessAclAttribute = "system.posix_acl_access";
inline constexpr std::string_view kDefaultAclAttribute = "system.posix_acl_default";

// The size in bytes of the NUL-separated name list; 0 on a file system
// that cannot hold extended attributes.
int attributeListSize(int descriptor, std::size_t& size);
// The name list into `buffer`; `got` is the number of bytes written (0 on a
// file system that cannot hold extended attributes).
int listAttributes(int descriptor, std::span<char> buffer, std::size_t& got);
// The size in bytes of the value of `name`.
int attributeValueSize(int descriptor, const std::string& name, std::size_t& size);
// The value of `name` into `buffer`; `got` is its length.
int readAttribute(int descriptor, const std::string& name, std::span<std::byte> buffer,
                  std::size_t& got);
// Creates or replaces `name`.
int writeAttribute(int descriptor, const std::string& name, std::string_view value);
int removeAttribute(int descriptor, const std::string& name);

// True for the errors that mean "no such attribute here": ENODATA, or a file
// system without this kind of attribute.
bool isAbsentAttributeError(int linuxErrno);

}  // namespace fileprobe
