#include "extraction/helper/bmp_header.h"

#include <cstddef>

namespace fileprobe {
namespace {

// The file header: "BM", the file's size, two reserved words and where the
// pixels start; the image header follows and begins with its own size.
constexpr std::size_t kFileHeaderBytes = 14;
// The image header of OS/2 1.x and Windows 2.x: 16-bit width and height.
// Every later one (Windows 3.x and on, OS/2 2.x) is larger and holds a
// 32-bit signed width and height at the same place.
constexpr std::uint32_t kCoreHeaderBytes = 12;
// The smallest of those later headers (OS/2 2.x cut to its first fields):
// its size, width, height, planes and bits a pixel.
constexpr std::uint32_t kSmallestLaterHeaderBytes = 16;
constexpr std::size_t kWidthAt = kFileHeaderBytes + 4;

// Decoded whole as 8-bit RGBA before it is reduced: 4 bytes a pixel, at
// most 256 MiB, an eighth of the helper's address space. A page scanned at
// 600 dpi is about 35 million pixels (A4) or 70 million (A3, 1-bit).
constexpr std::int64_t kLargestWholeImagePixels = std::int64_t{1} << 26;

std::uint32_t littleEndian(std::string_view bytes, std::size_t at, std::size_t count) {
  std::uint32_t value = 0;
  for (std::size_t i = count; i-- > 0;) {
    value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  }
  return value;
}

std::int64_t signed32(std::uint32_t value) {
  return static_cast<std::int64_t>(static_cast<std::int32_t>(value));
}

}  // namespace

std::optional<ImageSize> bmpSize(std::string_view bytes) {
  if (bytes.size() < kFileHeaderBytes + 4 || bytes.substr(0, 2) != "BM") return std::nullopt;
  const std::uint32_t headerBytes = littleEndian(bytes, kFileHeaderBytes, 4);
  if (headerBytes < kCoreHeaderBytes || bytes.size() < kFileHeaderBytes + headerBytes) {
    return std::nullopt;
  }
  ImageSize size;
  if (headerBytes == kCoreHeaderBytes) {
    size.width = littleEndian(bytes, kWidthAt, 2);
    size.height = littleEndian(bytes, kWidthAt + 2, 2);
  } else {
    if (headerBytes < kSmallestLaterHeaderBytes) return std::nullopt;
    size.width = signed32(littleEndian(bytes, kWidthAt, 4));
    // Rows stored from the top down have a negative height.
    const std::int64_t height = signed32(littleEndian(bytes, kWidthAt + 4, 4));
    size.height = height < 0 ? -height : height;
  }
  if (size.width <= 0 || size.height <= 0) return std::nullopt;
  return size;
}

bool decodableWhole(const ImageSize& size) {
  return size.width > 0 && size.height > 0 && size.width <= kLargestWholeImagePixels &&
         size.height <= kLargestWholeImagePixels / size.width;
}

}  // namespace fileprobe
