#include "platform/xattr.h"

#include <sys/xattr.h>

#include <cerrno>

#include "platform/retry.h"

namespace fileprobe {
namespace {

// Linux's calls take no options word; no value is created exclusively.
constexpr int kReplaceOrCreate = 0;

template <typename Call>
ErrnoOr<std::size_t> sizeResult(Call call) {
  const ssize_t n = retryInterrupted(call);
  if (n < 0) return Errno{errno};
  return static_cast<std::size_t>(n);
}

// ramfs, vfat and many FUSE and network mounts answer EOPNOTSUPP to every
// attribute call: an item there has no attributes, so its list is empty,
// exactly as for an item without any. Only reading is eased; a write that
// such a file system refuses still fails with this error.
ErrnoOr<std::size_t> emptyWhereUnsupported(ErrnoOr<std::size_t> result) {
  if (result.error() == EOPNOTSUPP) return std::size_t{0};
  return result;
}

}  // namespace

ErrnoOr<std::size_t> attributeListSize(int descriptor) {
  return emptyWhereUnsupported(sizeResult([&] { return ::flistxattr(descriptor, nullptr, 0); }));
}

ErrnoOr<std::size_t> listAttributes(int descriptor, std::span<char> buffer) {
  return emptyWhereUnsupported(
      sizeResult([&] { return ::flistxattr(descriptor, buffer.data(), buffer.size()); }));
}

ErrnoOr<std::size_t> attributeValueSize(int descriptor, const std::string& name) {
  return sizeResult([&] { return ::fgetxattr(descriptor, name.c_str(), nullptr, 0); });
}

ErrnoOr<std::size_t> readAttribute(int descriptor, const std::string& name,
                                   std::span<std::byte> buffer) {
  return sizeResult(
      [&] { return ::fgetxattr(descriptor, name.c_str(), buffer.data(), buffer.size()); });
}

ErrnoOr<void> writeAttribute(int descriptor, const std::string& name, std::string_view value) {
  const char* bytes = value.empty() ? "" : value.data();
  return retryOnInterrupt(
      [&] { return ::fsetxattr(descriptor, name.c_str(), bytes, value.size(), kReplaceOrCreate); });
}

ErrnoOr<void> removeAttribute(int descriptor, const std::string& name) {
  return retryOnInterrupt([&] { return ::fremovexattr(descriptor, name.c_str()); });
}

bool isAbsentAttributeError(int linuxErrno) {
  return linuxErrno == ENODATA || linuxErrno == EOPNOTSUPP;
}

}  // namespace fileprobe
