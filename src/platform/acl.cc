#include "platform/acl.h"

#include <acl/libacl.h>
#include <sys/acl.h>

#include <cerrno>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/xattr.h"

namespace fileprobe {
namespace {

constexpr char kAccessTag = 'A';
constexpr char kDefaultTag = 'D';
constexpr int kExtended = 1;          // acl_extended_fd: 1 extended, 0 not, -1 failure
constexpr int kEquivalentToMode = 0;  // acl_equiv_mode: 0 when the mode says it all

struct AclRelease {
  void operator()(void* acl) const { acl_free(acl); }
};
using OwnedAcl = std::unique_ptr<std::remove_pointer_t<acl_t>, AclRelease>;

void appendSection(std::string& out, char tag, std::string_view bytes) {
  out.push_back(tag);
  const auto length = static_cast<std::uint32_t>(bytes.size());
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>(length >> shift));
  out.append(bytes);
}

// A removal of what is not there has nothing to do.
ErrnoOr<void> absentIsDone(ErrnoOr<void> removal) {
  if (!removal && isAbsentAttributeError(removal.error())) return {};
  return removal;
}

// The access ACL of `descriptor` when it has entries beyond the three that
// mirror the permission bits; none otherwise. acl_extended_fd also answers
// 1 for a folder that has only a default ACL, so the access ACL itself is
// asked whether it is more than the permission bits. A file system that
// cannot hold ACLs (EOPNOTSUPP) has none; setting one there still fails.
ErrnoOr<OwnedAcl> extendedAccessAcl(int descriptor) {
  const int extended = acl_extended_fd(descriptor);
  if (extended < 0) {
    if (errno == EOPNOTSUPP) return OwnedAcl();
    return Errno{errno};
  }
  if (extended != kExtended) return OwnedAcl();
  OwnedAcl acl(acl_get_fd(descriptor));
  if (!acl) return Errno{errno};
  const int equivalent = acl_equiv_mode(acl.get(), nullptr);
  if (equivalent < 0) return Errno{errno};
  if (equivalent != kEquivalentToMode) return acl;
  return OwnedAcl();
}

ErrnoOr<std::string> externalForm(acl_t acl, std::size_t maxListBytes) {
  const ssize_t size = acl_size(acl);
  if (size < 0 || static_cast<std::size_t>(size) > maxListBytes) return Errno{kAclTooLarge};
  std::vector<char> buffer(size == 0 ? 1 : static_cast<std::size_t>(size));
  const ssize_t written = acl_copy_ext(buffer.data(), acl, size);
  if (written < 0 || written > size) return Errno{errno};
  return std::string(buffer.data(), static_cast<std::size_t>(written));
}

// The kernel's form of the default ACL; none when there is none.
ErrnoOr<std::optional<std::string>> defaultAclBytes(int descriptor, std::size_t maxListBytes) {
  const std::string name(kDefaultAclAttribute);
  const ErrnoOr<std::size_t> size = attributeValueSize(descriptor, name);
  if (!size) {
    if (isAbsentAttributeError(size.error())) return std::optional<std::string>();
    return size.failure();
  }
  if (*size > maxListBytes) return Errno{kAclTooLarge};
  std::vector<std::byte> buffer(*size == 0 ? 1 : *size);
  const ErrnoOr<std::size_t> got = readAttribute(descriptor, name, std::span(buffer.data(), *size));
  if (!got) return got.failure();
  if (*got != *size) return Errno{kAclChanged};
  return std::optional<std::string>(std::in_place, reinterpret_cast<const char*>(buffer.data()),
                                    *got);
}

ErrnoOr<void> copyAccessAcl(int from, int to) {
  const ErrnoOr<OwnedAcl> acl = extendedAccessAcl(from);
  if (!acl) return acl.failure();
  if (*acl) {
    if (acl_set_fd(to, acl->get()) != 0) return Errno{errno};
    return {};
  }
  const ErrnoOr<OwnedAcl> stale = extendedAccessAcl(to);
  if (!stale) return stale.failure();
  if (!*stale) return {};
  // Without the attribute the permission bits alone grant access again.
  return absentIsDone(removeAttribute(to, std::string(kAccessAclAttribute)));
}

ErrnoOr<void> copyDefaultAcl(int from, int to, std::size_t maxListBytes) {
  const ErrnoOr<std::optional<std::string>> bytes = defaultAclBytes(from, maxListBytes);
  if (!bytes) return bytes.failure();
  const std::string name(kDefaultAclAttribute);
  if (*bytes) return writeAttribute(to, name, **bytes);
  if (const ErrnoOr<std::size_t> size = attributeValueSize(to, name); !size) {
    if (isAbsentAttributeError(size.error())) return {};
    return size.failure();
  }
  return absentIsDone(removeAttribute(to, name));
}

}  // namespace

ErrnoOr<std::string> aclItem(int descriptor, std::size_t maxListBytes) {
  std::string item;
  const ErrnoOr<OwnedAcl> access = extendedAccessAcl(descriptor);
  if (!access) return access.failure();
  if (*access) {
    const ErrnoOr<std::string> bytes = externalForm(access->get(), maxListBytes);
    if (!bytes) return bytes.failure();
    appendSection(item, kAccessTag, *bytes);
  }
  const ErrnoOr<std::optional<std::string>> defaults = defaultAclBytes(descriptor, maxListBytes);
  if (!defaults) return defaults.failure();
  if (*defaults) appendSection(item, kDefaultTag, **defaults);
  return item;
}

ErrnoOr<void> copyAcls(int from, int to, std::size_t maxListBytes) {
  if (ErrnoOr<void> access = copyAccessAcl(from, to); !access) return access;
  return copyDefaultAcl(from, to, maxListBytes);
}

}  // namespace fileprobe
