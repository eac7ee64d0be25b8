#include "fingerprint/metadata_digest.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "filestate/metadata_failure.h"
#include "fingerprint/attributes.h"
#include "formats/macos_errno.h"

namespace fileprobe {
namespace {

// An item held in memory. `beforeValueSize` lets a test change it at the
// moment the fingerprint asks for one value.
struct FakeItem {
  std::vector<std::pair<std::string, std::string>> attributes;  // in listed order
  std::string acl;
  FileStatus status;
  std::function<void(FakeItem&, const std::string&)> beforeValueSize;
  std::vector<std::size_t> readLengths;

  std::string list() const {
    std::string bytes;
    for (const auto& entry : attributes) bytes += entry.first + '\0';
    return bytes;
  }
  const std::string* find(const std::string& name) const {
    for (const auto& entry : attributes)
      if (entry.first == name) return &entry.second;
    return nullptr;
  }
};

AttributeSource sourceOf(FakeItem& item) {
  return {
      .listSize = [&item]() -> ErrnoOr<std::size_t> { return item.list().size(); },
      .listNames = [&item](std::span<char> buffer) -> ErrnoOr<std::size_t> {
        const std::string list = item.list();
        if (list.size() > buffer.size()) return Errno{ERANGE};
        return list.copy(buffer.data(), list.size());
      },
      .valueSize = [&item](const std::string& name) -> ErrnoOr<std::size_t> {
        if (item.beforeValueSize) item.beforeValueSize(item, name);
        const std::string* value = item.find(name);
        if (value == nullptr) return Errno{ENODATA};
        return value->size();
      },
      .readValue = [&item](const std::string& name, std::uint32_t position,
                           std::span<std::byte> buffer) -> ErrnoOr<std::size_t> {
        item.readLengths.push_back(buffer.size());
        const std::string* value = item.find(name);
        if (value == nullptr) return Errno{ENODATA};
        return value->copy(reinterpret_cast<char*>(buffer.data()), buffer.size(), position);
      },
      .readAcl = [&item](std::size_t) -> ErrnoOr<std::string> { return item.acl; },
      .readStatus = [&item]() -> ErrnoOr<FileStatus> { return item.status; },
  };
}

// The failure's errno as the result record reports it (macOS numbering).
int failureCode(const std::function<void()>& run) {
  try {
    run();
  } catch (const MetadataFailure& failure) {
    return macosErrno(failure.code).value;
  }
  return 0;
}

FileStatus exampleStatus() {
  FileStatus status;
  status.mode = 0100644;
  status.owner = 501;
  status.group = 20;
  status.modificationTime = {1700000000, 123456789};
  status.creationTime = {1699999999, 5};
  return status;
}

TEST(MetadataDigest, KnownAnswerAndTheTextOfSignedTimes) {
  const std::string text = metadataText(exampleStatus());
  EXPECT_EQ(text, "33188:501:20:0:1700000000:123456789:1699999999:5");
  const Sha256Digest expected = {0xb1, 0x70, 0x7e, 0x0e, 0x27, 0xa8, 0x76, 0x32, 0x54, 0x9e, 0x40,
                                 0x0d, 0xb3, 0x9a, 0x34, 0xf3, 0xfa, 0x69, 0xf9, 0x93, 0x22, 0xb3,
                                 0xdb, 0xe9, 0xac, 0x42, 0xa6, 0x8c, 0x21, 0x8a, 0x6a, 0xc7};
  EXPECT_EQ(sha256Of(text), expected);
  FakeItem item;
  item.status = exampleStatus();
  EXPECT_EQ(metadataDigest(sourceOf(item), item.status), expected);

  // Linux has no creation time; a time before 1970 keeps its sign.
  FileStatus early = exampleStatus();
  early.modificationTime = {-5, 7};
  early.creationTime = {};
  EXPECT_EQ(metadataText(early), "33188:501:20:0:-5:7:0:0");
}

TEST(MetadataDigest, StreamIsTextAclThenAttributesInCanonicalOrder) {
  FakeItem item;
  item.status = exampleStatus();
  item.acl = "A-acl-bytes";
  // e + combining acute composes to U+00E9: both sort after "f" and keep
  // their listed order. The ACL attributes are left out.
  item.attributes = {{"user.b", "2"},         {"user.\xC3\xA9", "x"},
                     {"user.e\xCC\x81", "y"}, {"system.posix_acl_access", "acl"},
                     {"user.B", "big value"}, {"user.a", ""},
                     {"user.f", "f"}};
  const std::vector<std::string> order = {"user.B", "user.a",        "user.b",
                                          "user.f", "user.\xC3\xA9", "user.e\xCC\x81"};
  EXPECT_EQ(attributeNames(sourceOf(item)), order);
  std::string stream = metadataText(item.status) + item.acl;
  for (const std::string& name : order) {
    const Sha256Digest value = sha256Of(*item.find(name));
    stream += '\0' + name + '\0' + std::string(value.begin(), value.end());
  }
  EXPECT_EQ(metadataDigest(sourceOf(item), item.status), sha256Of(stream));

  item.attributes.push_back({"user.\xFF", ""});
  EXPECT_EQ(failureCode([&] { attributeNames(sourceOf(item)); }), 22);
}

TEST(MetadataDigest, ChangesWhileReadingFailWithTheirCodes) {
  FakeItem item;
  item.attributes = {{"user.a", "1"}, {"user.b", "2"}};
  // Removed before its turn: the errno of its size query (ENODATA, macOS 93).
  item.beforeValueSize = [](FakeItem& fake, const std::string& name) {
    if (name == "user.a" && fake.find("user.b")) fake.attributes.pop_back();
  };
  EXPECT_EQ(failureCode([&] { metadataDigest(sourceOf(item), item.status); }), 93);
  // Added while the values are read: the second listing differs.
  item.beforeValueSize = [](FakeItem& fake, const std::string&) {
    if (!fake.find("user.z")) fake.attributes.push_back({"user.z", ""});
  };
  EXPECT_EQ(failureCode([&] { metadataDigest(sourceOf(item), item.status); }), 70);
}

TEST(AttributeDigest, ResourceForkInChunksEqualsTheWholeValueAndBoundsComeFirst) {
  FakeItem item;
  const std::string fork(2 * kResourceForkChunk + 12345, 'r');
  item.attributes = {{std::string(kResourceForkName), fork}};
  EXPECT_EQ(attributeDigest(sourceOf(item), std::string(kResourceForkName)), sha256Of(fork));
  EXPECT_EQ(item.readLengths,
            (std::vector<std::size_t>{kResourceForkChunk, kResourceForkChunk, 12345}));

  item.readLengths.clear();
  AttributeSource huge = sourceOf(item);
  huge.valueSize = [](const std::string&) -> ErrnoOr<std::size_t> {
    return kOrdinaryValueLimit + 1;
  };
  huge.listSize = []() -> ErrnoOr<std::size_t> { return kNameListLimit + 1; };
  EXPECT_EQ(failureCode([&] { attributeDigest(huge, "user.huge"); }), 27);
  EXPECT_EQ(failureCode([&] { attributeNames(huge); }), 27);
  EXPECT_TRUE(item.readLengths.empty());
}

}  // namespace
}  // namespace fileprobe
