// What the headers of a BMP file say of its image, read before any of it is
// decoded. libvips reads BMP only through ImageMagick, whose loaders are not
// meant for untrusted input; these files are decoded by gdk-pixbuf instead,
// whole and at 4 bytes a pixel before they are reduced, so their size is
// bounded first.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace fileprobe {

struct ImageSize {
  std::int64_t width = 0;
  std::int64_t height = 0;
  bool operator==(const ImageSize&) const = default;
};

// The size of the image of the BMP file in `bytes`, whichever way its rows
// are stored; nothing when it is no BMP file: no "BM" mark, headers cut
// short, or a side of no pixels.
std::optional<ImageSize> bmpSize(std::string_view bytes);

// Whether an image of `size` is small enough to be decoded whole.
bool decodableWhole(const ImageSize& size);

}  // namespace fileprobe
