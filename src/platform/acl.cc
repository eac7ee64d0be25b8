#include "platform/acl.h"

#include <acl/libacl.h>
#include <sys/acl.h>

#include <cerrno>
#include <cstdint>
#include <memory>
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

// The access ACL of `descriptor` when it has entries beyond the three that
// mirror the permission bits; `out` stays empty otherwise. acl_extended_fd
// also answers 1 for a folder that has only a default ACL, so the access
// ACL itself is asked whether it is more than the permission bits. A file
// system that cannot hold ACLs (EOPNOTSUPP) has none; setting one there
// still fails.
int extendedAccessAcl(int descriptor, OwnedAcl& out) {
  out.reset();
  const int extended = acl_extended_fd(descriptor);
  if (extended < 0) return errno == EOPNOTSUPP ? 0 : errno;
  if (extended != kExtended) return 0;
  OwnedAcl acl(acl_get_fd(descriptor));
  if (!acl) return errno;
  const int equivalent = acl_equiv_mode(acl.get(), nullptr);
  if (equivalent < 0) return errno;
  if (equivalent != kEquivalentToMode) out = std::move(acl);
  return 0;
}

int externalForm(acl_t acl, std::size_t maxListBytes, std::string& out) {
  const ssize_t size = acl_size(acl);
  if (size < 0 || static_cast<std::size_t>(size) > maxListBytes) return kAclTooLarge;
  std::vector<char> buffer(size == 0 ? 1 : static_cast<std::size_t>(size));
  const ssize_t written = acl_copy_ext(buffer.data(), acl, size);
  if (written < 0 || written > size) return errno;
  out.assign(buffer.data(), static_cast<std::size_t>(written));
  return 0;
}

// The kernel's form of the default ACL; `present` false when there is none.
int defaultAclBytes(int descriptor, std::size_t maxListBytes, std::string& out, bool& present) {
  const std::string name(kDefaultAclAttribute);
  std::size_t size = 0;
  present = false;
  if (const int error = attributeValueSize(descriptor, name, size); error != 0) {
    return isAbsentAttributeError(error) ? 0 : error;
  }
  if (size > maxListBytes) return kAclTooLarge;
  std::vector<std::byte> buffer(size == 0 ? 1 : size);
  std::size_t got = 0;
  if (const int error = readAttribute(descriptor, name, std::span(buffer.data(), size), got)) {
    return error;
  }
  if (got != size) return kAclChanged;
  out.assign(reinterpret_cast<const char*>(buffer.data()), got);
  present = true;
  return 0;
}

int copyAccessAcl(int from, int to) {
  OwnedAcl acl;
  if (const int error = extendedAccessAcl(from, acl); error != 0) return error;
  if (acl) return acl_set_fd(to, acl.get()) == 0 ? 0 : errno;
  OwnedAcl stale;
  if (const int error = extendedAccessAcl(to, stale); error != 0) return error;
  if (!stale) return 0;
  // Without the attribute the permission bits alone grant access again.
  const int error = removeAttribute(to, std::string(kAccessAclAttribute));
  return isAbsentAttributeError(error) ? 0 : error;
}

int copyDefaultAcl(int from, int to, std::size_t maxListBytes) {
  std::string bytes;
  bool present = false;
  if (const int error = defaultAclBytes(from, maxListBytes, bytes, present); error != 0) {
    return error;
  }
  const std::string name(kDefaultAclAttribute);
  if (present) return writeAttribute(to, name, bytes);
  std::size_t size = 0;
  if (const int error = attributeValueSize(to, name, size); error != 0) {
    return isAbsentAttributeError(error) ? 0 : error;
  }
  const int error = removeAttribute(to, name);
  return isAbsentAttributeError(error) ? 0 : error;
}

}  // namespace

int aclItem(int descriptor, std::size_t maxListBytes, std::string& out) {
  out.clear();
  OwnedAcl access;
  if (const int error = extendedAccessAcl(descriptor, access); error != 0) return error;
  if (access) {
    std::string bytes;
    if (const int error = externalForm(access.get(), maxListBytes, bytes); error != 0) return error;
    appendSection(out, kAccessTag, bytes);
  }
  std::string defaults;
  bool present = false;
  if (const int error = defaultAclBytes(descriptor, maxListBytes, defaults, present); error != 0) {
    return error;
  }
  if (present) appendSection(out, kDefaultTag, defaults);
  return 0;
}

int copyAcls(int from, int to, std::size_t maxListBytes) {
  if (const int error = copyAccessAcl(from, to); error != 0) return error;
  return copyDefaultAcl(from, to, maxListBytes);
}

}  // namespace fileprobe
