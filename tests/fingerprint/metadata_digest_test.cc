#include "fingerprint/metadata_digest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>

#include "fileops/metadata_failure.h"
#include "fingerprint/attributes.h"
#include "platform/acl.h"

namespace fileprobe {
namespace {

// An item held in memory; `beforeValueSize` lets a test change it at the
// moment the fingerprint asks for one value.
struct FakeItem {
  std::vector<std::pair<std::string, std::string>> attributes;  // in listed order
  std::string acl;
  int aclResult = 0;
  FileStatus status;
  std::function<void(FakeItem&, const std::string&)> beforeValueSize;
  std::vector<std::size_t> readLengths;

  std::string list() const {
    std::string bytes;
    for (const auto& [name, value] : attributes) bytes += name + '\0';
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
      .listSize = [&item](std::size_t& size) { return size = item.list().size(), 0; },
      .listNames =
          [&item](std::span<char> buffer, std::size_t& got) {
            const std::string list = item.list();
            if (list.size() > buffer.size()) return ERANGE;
            std::copy(list.begin(), list.end(), buffer.begin());
            return got = list.size(), 0;
          },
      .valueSize =
          [&item](const std::string& name, std::size_t& size) {
            if (item.beforeValueSize) item.beforeValueSize(item, name);
            const std::string* value = item.find(name);
            if (value == nullptr) return ENODATA;
            return size = value->size(), 0;
          },
      .readValue =
          [&item](const std::string& name, std::uint32_t position, std::span<std::byte> buffer,
                  std::size_t& got) {
            item.readLengths.push_back(buffer.size());
            const std::string* value = item.find(name);
            if (value == nullptr) return ENODATA;
            got = std::min(buffer.size(), value->size() - position);
            std::memcpy(buffer.data(), value->data() + position, got);
            return 0;
          },
      .readAcl = [&item](std::size_t,
                         std::string& bytes) { return bytes = item.acl, item.aclResult; },
      .readStatus = [&item](FileStatus& status) { return status = item.status, 0; },
  };
}

std::string hex(const Sha256Digest& digest) {
  std::string text;
  for (std::uint8_t byte : digest) {
    text += "0123456789abcdef"[byte >> 4];
    text += "0123456789abcdef"[byte & 15];
  }
  return text;
}

std::string raw(const Sha256Digest& digest) { return {digest.begin(), digest.end()}; }

int failureCode(const std::function<void()>& run) {
  try {
    run();
  } catch (const MetadataFailure& failure) {
    return failure.code;
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

TEST(MetadataDigest, KnownAnswerAndAnItemWithNothingButItsText) {
  const std::string text = metadataText(exampleStatus());
  EXPECT_EQ(text, "33188:501:20:0:1700000000:123456789:1699999999:5");
  EXPECT_EQ(hex(sha256Of(text)),
            "b1707e0e27a87632549e400db39a34f3fa69f99322b3dbe9ac42a68c218a6ac7");
  FakeItem item;
  item.status = exampleStatus();
  EXPECT_EQ(metadataDigest(sourceOf(item), item.status), sha256Of(text));

  // Linux has no creation time: the text ends ":0:0"; a time before 1970
  // has its sign, nanoseconds have no leading zeros.
  FileStatus early = exampleStatus();
  early.modificationTime = {-5, 7};
  early.creationTime = {};
  EXPECT_EQ(metadataText(early), "33188:501:20:0:-5:7:0:0");
}

TEST(MetadataDigest, StreamIsTextAclThenSortedAttributesWithTheirDigests) {
  FakeItem item;
  item.status = exampleStatus();
  item.acl = std::string("A\x03\0\0\0acl", 8);
  item.attributes = {{"user.b", "2"},
                     {"user.B", std::string(70000, 'v')},
                     {"system.posix_acl_access", "not an attribute"},
                     {"user.a", ""},
                     {"user.ab", "x"}};
  const AttributeSource source = sourceOf(item);
  EXPECT_EQ(attributeNames(source),
            (std::vector<std::string>{"user.B", "user.a", "user.ab", "user.b"}));

  std::string stream = metadataText(item.status) + item.acl;
  for (const std::string name : {"user.B", "user.a", "user.ab", "user.b"}) {
    stream += '\0' + name + '\0' + raw(sha256Of(*item.find(name)));
  }
  EXPECT_EQ(metadataDigest(source, item.status), sha256Of(stream));
  // The empty value was read as zero bytes and digests as empty input.
  EXPECT_EQ(attributeDigest(source, "user.a"), sha256Of(""));
}

TEST(AttributeNames, CanonicalOrderKeepsEquivalentNamesAsListedAndRefusesBadUtf8) {
  FakeItem item;
  item.attributes = {{"user.\xC3\xA9z", ""}, {"user.e\xCC\x81", ""}, {"user.f", ""}};
  // Decomposed e + acute composes to U+00E9, after "f"; both e-acute names
  // keep the system's order among themselves.
  item.attributes.push_back({"user.\xC3\xA9", ""});
  EXPECT_EQ(
      attributeNames(sourceOf(item)),
      (std::vector<std::string>{"user.f", "user.e\xCC\x81", "user.\xC3\xA9", "user.\xC3\xA9z"}));
  item.attributes.push_back({"user.\xFF", ""});
  EXPECT_EQ(failureCode([&] { attributeNames(sourceOf(item)); }), 22);
}

TEST(MetadataDigest, ConcurrentChangesFailWithTheirCodes) {
  FakeItem item;
  item.attributes = {{"user.a", "1"}, {"user.b", "2"}};
  item.status = exampleStatus();
  // Removed before its turn: the errno of its size query (ENODATA, macOS ENOATTR 93).
  item.beforeValueSize = [](FakeItem& fake, const std::string& name) {
    if (name == "user.a")
      std::erase_if(fake.attributes, [](auto& e) { return e.first == "user.b"; });
  };
  EXPECT_EQ(failureCode([&] { metadataDigest(sourceOf(item), item.status); }), 93);

  // One added while the values are read: the second listing differs.
  item.attributes = {{"user.a", "1"}};
  item.beforeValueSize = [](FakeItem& fake, const std::string&) {
    if (!fake.find("user.z")) fake.attributes.push_back({"user.z", ""});
  };
  EXPECT_EQ(failureCode([&] { metadataDigest(sourceOf(item), item.status); }), 70);

  // A value shorter than its size query said, and one whose size has
  // changed by the query after the read.
  item.attributes = {{"user.a", "1"}};
  AttributeSource shrunk = sourceOf(item);
  shrunk.valueSize = [](const std::string&, std::size_t& size) { return size = 2, 0; };
  EXPECT_EQ(failureCode([&] { attributeDigest(shrunk, "user.a"); }), 70);
  AttributeSource grown = sourceOf(item);
  grown.valueSize = [queries = 0](const std::string&, std::size_t& size) mutable {
    return size = ++queries, 0;
  };
  EXPECT_EQ(failureCode([&] { attributeDigest(grown, "user.a"); }), 70);

  // The status changed after the caller took its record.
  item.beforeValueSize = nullptr;
  FileStatus before = item.status;
  item.status.size = 1;
  EXPECT_EQ(failureCode([&] { metadataDigest(sourceOf(item), before); }), 70);

  item.status = before;
  item.aclResult = kAclTooLarge;
  EXPECT_EQ(failureCode([&] { metadataDigest(sourceOf(item), before); }), 22);
}

TEST(AttributeDigest, ResourceForkInChunksEqualsTheWholeValue) {
  const std::string fork(2 * kResourceForkChunk + 12345, 'r');
  FakeItem item;
  item.attributes = {{std::string(kResourceForkName), fork},
                     {"user.exact", std::string(2 * kResourceForkChunk, 'e')}};
  const AttributeSource source = sourceOf(item);
  EXPECT_EQ(attributeDigest(source, std::string(kResourceForkName)), sha256Of(fork));
  EXPECT_EQ(item.readLengths,
            (std::vector<std::size_t>{kResourceForkChunk, kResourceForkChunk, 12345}));
  // Any other name is read in one piece.
  item.readLengths.clear();
  attributeDigest(source, "user.exact");
  EXPECT_EQ(item.readLengths, std::vector<std::size_t>{2 * kResourceForkChunk});
}

TEST(AttributeBounds, SizesBeyondTheLimitsFailBeforeAnyRead) {
  FakeItem item;
  AttributeSource source = sourceOf(item);
  source.valueSize = [](const std::string&, std::size_t& size) {
    return size = kOrdinaryValueLimit + 1, 0;
  };
  EXPECT_EQ(failureCode([&] { attributeDigest(source, "user.huge"); }), 27);
  EXPECT_TRUE(item.readLengths.empty());
  source.listSize = [](std::size_t& size) { return size = kNameListLimit + 1, 0; };
  EXPECT_EQ(failureCode([&] { attributeNames(source); }), 27);
}

}  // namespace
}  // namespace fileprobe
