// Extended attributes of an open descriptor: Linux's own calls, no flags.
// Each returns its result or the Linux errno; EINTR is retried.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "platform/errno_or.h"

namespace fileprobe {

// The attributes that hold the POSIX ACLs. They belong to the ACL item of
// the fingerprint, not to the attribute set.
inline constexpr std::string_view kAccessAclAttribute = "system.posix_acl_access";
inline constexpr std::string_view kDefaultAclAttribute = "system.posix_acl_default";

// The size in bytes of the NUL-separated name list; 0 on a file system
// that cannot hold extended attributes.
ErrnoOr<std::size_t> attributeListSize(int descriptor);
// The name list into `buffer`; the number of bytes written (0 on a file
// system that cannot hold extended attributes).
ErrnoOr<std::size_t> listAttributes(int descriptor, std::span<char> buffer);
// The size in bytes of the value of `name`.
ErrnoOr<std::size_t> attributeValueSize(int descriptor, const std::string& name);
// The value of `name` into `buffer`; its length.
ErrnoOr<std::size_t> readAttribute(int descriptor, const std::string& name,
                                   std::span<std::byte> buffer);
// Creates or replaces `name`.
ErrnoOr<void> writeAttribute(int descriptor, const std::string& name, std::string_view value);
ErrnoOr<void> removeAttribute(int descriptor, const std::string& name);

// True for the errors that mean "no such attribute here": ENODATA, or a file
// system without this kind of attribute.
bool isAbsentAttributeError(int linuxErrno);

}  // namespace fileprobe
