#include "platform/xattr.h"

#include <sys/xattr.h>

#include <cerrno>

#include "platform/retry.h"

namespace fileprobe {
namespace {

// Linux's calls take no options word; no value is created exclusively.
constexpr int kReplaceOrCreate = 0;

template <typename Call>
int sizeResult(Call call, std::size_t& out) {
  const ssize_t n = retryInterrupted(call);
  if (n < 0) return errno;
  out = static_cast<std::size_t>(n);
  return 0;
}

// ramfs, vfat and many FUSE and network mounts answer EOPNOTSUPP to every
// attribute call: an item there has no attributes, so its list is empty,
// exactly as for an item without any. Only reading is eased; a write that
// such a file system refuses still fails with this error.
int emptyWhereUnsupported(int error, std::size_t& out) {
  if (error != EOPNOTSUPP) return error;
  out = 0;
  return 0;
}

}  // namespace

int attributeListSize(int descriptor, std::size_t& size) {
  return emptyWhereUnsupported(
      sizeResult([&] { return ::flistxattr(descriptor, nullptr, 0); }, size), size);
}

int listAttributes(int descriptor, std::span<char> buffer, std::size_t& got) {
  return emptyWhereUnsupported(
      sizeResult([&] { return ::flistxattr(descriptor, buffer.data(), buffer.size()); }, got), got);
}

int attributeValueSize(int descriptor, const std::string& name, std::size_t& size) {
  return sizeResult([&] { return ::fgetxattr(descriptor, name.c_str(), nullptr, 0); }, size);
}

int readAttribute(int descriptor, const std::string& name, std::span<std::byte> buffer,
                  std::size_t& got) {
  return sizeResult(
      [&] { return ::fgetxattr(descriptor, name.c_str(), buffer.data(), buffer.size()); }, got);
}

int writeAttribute(int descriptor, const std::string& name, std::string_view value) {
  const char* bytes = value.empty() ? "" : value.data();
  return retryOnInterrupt(
      [&] { return ::fsetxattr(descriptor, name.c_str(), bytes, value.size(), kReplaceOrCreate); });
}

int removeAttribute(int descriptor, const std::string& name) {
  return retryOnInterrupt([&] { return ::fremovexattr(descriptor, name.c_str()); });
}

bool isAbsentAttributeError(int linuxErrno) {
  return linuxErrno == ENODATA || linuxErrno == EOPNOTSUPP;
}

}  // namespace fileprobe
