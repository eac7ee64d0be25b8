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
constexpr int kExtended = 1;  // acl_extended_fd: 1 extended, 0 not, -1 failure

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

// 0 and `extended`, or the errno of acl_extended_fd.
int isExtended(int descriptor, bool& extended) {
  const int answer = acl_extended_fd(descriptor);
  if (answer < 0) return errno;
  extended = answer == kExtended;
  return 0;
}

int accessAclExternalForm(int descriptor, std::size_t maxListBytes, std::string& out) {
  const OwnedAcl acl(acl_get_fd(descriptor));
  if (!acl) return errno;
  const ssize_t size = acl_size(acl.get());
  if (size < 0 || static_cast<std::size_t>(size) > maxListBytes) return kAclTooLarge;
  std::vector<char> buffer(size == 0 ? 1 : static_cast<std::size_t>(size));
  const ssize_t written = acl_copy_ext(buffer.data(), acl.get(), size);
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
  bool sourceExtended = false;
  if (const int error = isExtended(from, sourceExtended); error != 0) return error;
  if (sourceExtended) {
    const OwnedAcl acl(acl_get_fd(from));
    if (!acl) return errno;
    return acl_set_fd(to, acl.get()) == 0 ? 0 : errno;
  }
  bool destinationExtended = false;
  if (const int error = isExtended(to, destinationExtended); error != 0) return error;
  if (!destinationExtended) return 0;
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
  bool extended = false;
  if (const int error = isExtended(descriptor, extended); error != 0) return error;
  if (extended) {
    std::string access;
    if (const int error = accessAclExternalForm(descriptor, maxListBytes, access); error != 0) {
      return error;
    }
    appendSection(out, kAccessTag, access);
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
