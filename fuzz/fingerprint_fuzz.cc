// The metadata fingerprint over an item made from the fuzzer's bytes: any
// name list (empty names, runs of NUL, invalid UTF-8, the resource fork),
// any values, any ACL bytes, any status record, and an item that may change
// between the reads. The digest never crashes, is the same when the item is
// read twice unchanged, and fails only with the program's own numbers or
// the errno of a vanished attribute.
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "filestate/metadata_failure.h"
#include "fingerprint/attributes.h"
#include "fingerprint/metadata_digest.h"

namespace {

using namespace fileprobe;

// The input, read from the front as needed; zeros once it runs out.
struct Bytes {
  const std::uint8_t* data;
  std::size_t size;
  std::uint8_t next() { return size == 0 ? 0 : (--size, *data++); }
  std::string take(std::size_t n) {
    std::string out;
    while (n-- > 0 && size > 0) out.push_back(static_cast<char>(next()));
    return out;
  }
};

struct Item {
  std::string list;  // NUL-separated, exactly as the system would give it
  std::map<std::string, std::string> values;
  std::string acl;
  FileStatus status;
  int listReads = 0;
  bool growsAfterFirstList = false;
  std::string vanishing;  // removed when its size is first asked
};

AttributeSource sourceOf(Item& item) {
  return {
      .listSize = [&item]() -> ErrnoOr<std::size_t> {
        const std::size_t size =
            item.list.size() + (item.growsAfterFirstList && item.listReads > 0 ? 1 : 0);
        ++item.listReads;
        return size;
      },
      .listNames = [&item](std::span<char> buffer) -> ErrnoOr<std::size_t> {
        if (item.list.size() > buffer.size()) return Errno{ERANGE};
        return item.list.copy(buffer.data(), buffer.size());
      },
      .valueSize = [&item](const std::string& name) -> ErrnoOr<std::size_t> {
        if (name == item.vanishing) item.values.erase(name);
        const auto found = item.values.find(name);
        if (found == item.values.end()) return Errno{ENODATA};
        return found->second.size();
      },
      .readValue = [&item](const std::string& name, std::uint32_t position,
                           std::span<std::byte> buffer) -> ErrnoOr<std::size_t> {
        const auto found = item.values.find(name);
        if (found == item.values.end()) return Errno{ENODATA};
        if (position > found->second.size()) return std::size_t{0};
        return found->second.copy(reinterpret_cast<char*>(buffer.data()), buffer.size(), position);
      },
      .readAcl = [&item](std::size_t) -> ErrnoOr<std::string> { return item.acl; },
      .readStatus = [&item]() -> ErrnoOr<FileStatus> { return item.status; },
  };
}

Item itemFrom(Bytes& input) {
  Item item;
  item.list = input.take(input.next());
  // Every listed name gets a value; a few also name the resource fork.
  std::size_t start = 0;
  while (start <= item.list.size()) {
    std::size_t end = item.list.find('\0', start);
    if (end == std::string::npos) end = item.list.size();
    const std::string name = item.list.substr(start, end - start);
    item.values[input.next() % 7 == 0 ? std::string(kResourceForkName) : name] =
        input.take(input.next());
    start = end + 1;
  }
  item.acl = input.take(input.next() % 32);
  const std::uint8_t mode = input.next();
  item.growsAfterFirstList = mode & 1;
  if (mode & 2 && !item.values.empty()) item.vanishing = item.values.begin()->first;
  item.status.mode = static_cast<std::uint32_t>(input.next()) << 8 | input.next();
  item.status.modificationTime.seconds = static_cast<std::int8_t>(input.next()) * 1000003LL;
  item.status.modificationTime.nanoseconds = input.next();
  return item;
}

bool isExpectedFailure(int code) {
  // A name that is not UTF-8, beyond a bound, a change, an attribute that
  // vanished.
  return code == EINVAL || code == EFBIG || code == ESTALE || code == ENODATA;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Bytes input{data, size};
  Item item = itemFrom(input);
  Item copy = item;
  try {
    const Sha256Digest first = metadataDigest(sourceOf(item), item.status);
    const Sha256Digest second = metadataDigest(sourceOf(copy), copy.status);
    if (first != second) std::abort();
  } catch (const MetadataFailure& failure) {
    if (!isExpectedFailure(failure.code)) std::abort();
  }
  return 0;
}
