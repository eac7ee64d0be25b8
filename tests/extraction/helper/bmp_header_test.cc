#include "extraction/helper/bmp_header.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace fileprobe {
namespace {

// `value`'s lowest `count` bytes (at most 4), least significant first.
void put(std::string& bytes, std::uint32_t value, int count) {
  for (int i = 0; i < count; ++i) bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// A BMP file's headers: "BM", the file header's other 12 bytes, and an image
// header of `headerBytes` giving the width and height in `sideBytes` each.
std::string headers(std::uint32_t headerBytes, std::int64_t width, std::int64_t height,
                    int sideBytes = 4) {
  std::string bytes = "BM";
  bytes.append(12, '\0');
  put(bytes, headerBytes, 4);
  put(bytes, static_cast<std::uint32_t>(width), sideBytes);
  put(bytes, static_cast<std::uint32_t>(height), sideBytes);
  bytes.resize(14 + headerBytes, '\0');
  return bytes;
}

struct SizeCase {
  const char* what;
  std::string bytes;
  std::optional<ImageSize> size;
};

TEST(BmpHeaderTest, SizeIsReadFromEachKindOfHeader) {
  const std::vector<SizeCase> cases{
      {"Windows 3.x", headers(40, 2372, 143), ImageSize{2372, 143}},
      {"rows from the top down", headers(40, 800, -600), ImageSize{800, 600}},
      {"version 5 header", headers(124, 10, 20), ImageSize{10, 20}},
      {"OS/2 1.x, 16-bit sides", headers(12, 640, 480, 2), ImageSize{640, 480}},
      {"no width", headers(40, 0, 10), std::nullopt},
      {"a negative width", headers(40, -5, 10), std::nullopt},
      {"header longer than the file", headers(40, 10, 10).substr(0, 40), std::nullopt},
      {"header too short to hold a size", headers(8, 10, 10), std::nullopt},
      {"no BM mark", "\x89PNG" + headers(40, 10, 10).substr(4), std::nullopt},
      {"empty", "", std::nullopt},
  };
  for (const SizeCase& c : cases) EXPECT_EQ(bmpSize(c.bytes), c.size) << c.what;
}

TEST(BmpHeaderTest, OnlyImagesOfAtMost64MillionPixelsAreDecodedWhole) {
  EXPECT_TRUE(decodableWhole({8192, 8192}));
  EXPECT_FALSE(decodableWhole({8192, 8193}));
  // Sides the header can state, far beyond the bound, whose product does
  // not wrap.
  EXPECT_FALSE(decodableWhole({2147483647, 2147483647}));
  EXPECT_FALSE(decodableWhole({1, 67108865}));
}

}  // namespace
}  // namespace fileprobe
