#include "fingerprint/attributes.h"

#include <algorithm>
#include <cerrno>
#include <optional>

#include "filestate/metadata_failure.h"
#include "formats/unicode.h"
#include "platform/xattr.h"

namespace fileprobe {
namespace {

std::size_t valueSizeOf(const AttributeSource& source, const std::string& name) {
  return valueOrFail(source.valueSize(name));
}

// The size query after the read must give the size the read was based on.
void requireSameSize(const AttributeSource& source, const std::string& name, std::size_t size) {
  const ErrnoOr<std::size_t> again = source.valueSize(name);
  if (!again || *again != size) failWith(ESTALE);
}

// Reads an ordinary value of `size` bytes whole; the buffer holds at least
// one byte so that an empty value is read into real memory.
std::vector<std::byte> ordinaryValue(const AttributeSource& source, const std::string& name,
                                     std::size_t size) {
  if (size > kOrdinaryValueLimit) failWith(EFBIG);
  std::vector<std::byte> buffer(size == 0 ? 1 : size);
  const std::size_t got = valueOrFail(source.readValue(name, 0, std::span(buffer.data(), size)));
  if (got != size) failWith(ESTALE);
  buffer.resize(size);
  return buffer;
}

void digestResourceFork(const AttributeSource& source, const std::string& name, std::size_t size,
                        Sha256& hash) {
  if (size == 0) return;
  std::vector<std::byte> buffer(kResourceForkChunk);
  for (std::uint64_t position = 0; position < size;) {
    if (position > kResourceForkLastPosition) failWith(EFBIG);
    const std::size_t length = std::min<std::uint64_t>(size - position, kResourceForkChunk);
    const std::size_t got = valueOrFail(source.readValue(name, static_cast<std::uint32_t>(position),
                                                         std::span(buffer.data(), length)));
    if (got != length) failWith(ESTALE);
    sha256Update(hash, std::span<const std::byte>(buffer.data(), length));
    position += length;
  }
}

struct ListedName {
  std::string name;
  std::u32string order;  // scalar values of the canonical composition
};

}  // namespace

std::vector<std::string> attributeNames(const AttributeSource& source) {
  const std::size_t size = valueOrFail(source.listSize());
  if (size > kNameListLimit) failWith(EFBIG);
  if (size == 0) return {};
  std::vector<char> buffer(size);
  const ErrnoOr<std::size_t> got = source.listNames(buffer);
  if (!got || *got != size) failWith(ESTALE);

  std::vector<ListedName> listed;
  const std::string_view list(buffer.data(), buffer.size());
  for (std::size_t start = 0; start < list.size();) {
    std::size_t end = list.find('\0', start);
    if (end == std::string_view::npos) end = list.size();
    const std::string_view piece = list.substr(start, end - start);
    start = end + 1;
    if (piece.empty()) continue;
    std::optional<std::u32string> order = canonicalScalars(piece);
    if (!order) failWith(EINVAL);
    if (piece == kAccessAclAttribute || piece == kDefaultAclAttribute) continue;
    listed.push_back({std::string(piece), std::move(*order)});
  }
  std::stable_sort(listed.begin(), listed.end(),
                   [](const ListedName& a, const ListedName& b) { return a.order < b.order; });
  std::vector<std::string> names;
  names.reserve(listed.size());
  for (ListedName& entry : listed) names.push_back(std::move(entry.name));
  return names;
}

std::vector<std::string> attributeNames(int descriptor) {
  return attributeNames(descriptorAttributeSource(descriptor));
}

Sha256Digest attributeDigest(const AttributeSource& source, const std::string& name) {
  const std::size_t size = valueSizeOf(source, name);
  Sha256 hash;
  sha256Start(hash);
  if (name == kResourceForkName) {
    digestResourceFork(source, name, size, hash);
  } else {
    sha256Update(hash, std::span<const std::byte>(ordinaryValue(source, name, size)));
  }
  requireSameSize(source, name, size);
  return sha256Finish(hash);
}

Sha256Digest attributeDigest(int descriptor, const std::string& name) {
  return attributeDigest(descriptorAttributeSource(descriptor), name);
}

std::string attributeValue(int descriptor, const std::string& name) {
  const AttributeSource source = descriptorAttributeSource(descriptor);
  const std::size_t size = valueSizeOf(source, name);
  const std::vector<std::byte> value = ordinaryValue(source, name, size);
  requireSameSize(source, name, size);
  return std::string(reinterpret_cast<const char*>(value.data()), value.size());
}

}  // namespace fileprobe
