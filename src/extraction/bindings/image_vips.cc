// The image road's binding to libvips, and to gdk-pixbuf for BMP files.
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gmodule.h>

#include <vips/vips.h>
// Not part of vips.h, and needs it first.
#include <vips/vector.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "extraction/helper/bmp_header.h"
#include "extraction/helper/helper_bindings.h"

namespace fileprobe {
namespace {

constexpr int kLongestSide = 2200;
constexpr double kWhite = 255;

void dropLogMessage(const char*, GLogLevelFlags, const char*, gpointer) {}

// Once per process: vips is only started on the image road.
bool startVips() {
  static const bool started = [] {
    g_log_set_default_handler(dropLogMessage, nullptr);
    if (VIPS_INIT("fileprobe-extract") != 0) return false;
    // Each file is decoded once; a cache would only hold memory.
    vips_cache_set_max(0);
    vips_cache_set_max_mem(0);
    // Loaders that are not meant for untrusted input (ImageMagick and the like).
    vips_block_untrusted_set(TRUE);
    vips_concurrency_set(1);
    // No run-time code generation: orc writes its code to a file in /tmp,
    // which the confined helper may not create.
    vips_vector_set_enabled(FALSE);
    return true;
  }();
  return started;
}

// Opens libvips' loader modules (HEIF, PDF, JPEG XL and others) once, for
// a file the built-in loaders did not know; false when none opened.
bool openLoaderModules() {
  static const bool opened = [] {
    char* folder = g_strdup_printf("%s/vips-modules-%d.%d", FILEPROBE_VIPS_LIBDIR, vips_version(0),
                                   vips_version(1));
    bool any = false;
    if (GDir* dir = g_dir_open(folder, 0, nullptr)) {
      while (const char* name = g_dir_read_name(dir)) {
        if (!g_str_has_suffix(name, "." G_MODULE_SUFFIX)) continue;
        char* path = g_build_filename(folder, name, nullptr);
        // A module registers its loaders when opened and stays loaded.
        if (GModule* module = g_module_open(path, G_MODULE_BIND_LAZY)) {
          g_module_make_resident(module);
          any = true;
        }
        g_free(path);
      }
      g_dir_close(dir);
    }
    g_free(folder);
    // The block applies to the operations known when it is set: the
    // modules' loaders that are not meant for untrusted input are blocked
    // now.
    vips_block_untrusted_set(TRUE);
    return any;
  }();
  return opened;
}

struct ImageRef {
  VipsImage* image = nullptr;
  ImageRef() = default;
  ImageRef(const ImageRef&) = delete;
  ImageRef& operator=(const ImageRef&) = delete;
  ~ImageRef() {
    if (image) g_object_unref(image);
  }
};

// Replaces `ref` by the operation's output; false when it failed.
template <typename Operation>
bool step(ImageRef& ref, Operation operation) {
  VipsImage* out = nullptr;
  if (operation(ref.image, &out) != 0 || !out) return false;
  g_object_unref(ref.image);
  ref.image = out;
  return true;
}

// `ref`'s image as a grey bitmap: made sRGB, flattened onto white where it
// has an alpha channel, made grey and decoded into one buffer.
std::optional<Bitmap> greyBitmap(ImageRef& ref) {
  const bool grey =
      step(ref,
           [](VipsImage* in, VipsImage** out) {
             return vips_colourspace(in, out, VIPS_INTERPRETATION_sRGB, nullptr);
           }) &&
      (!vips_image_hasalpha(ref.image) ||
       step(ref,
            [](VipsImage* in, VipsImage** out) {
              VipsArrayDouble* white = vips_array_double_newv(1, kWhite);
              const int r = vips_flatten(in, out, "background", white, nullptr);
              vips_area_unref(VIPS_AREA(white));
              return r;
            })) &&
      step(ref,
           [](VipsImage* in, VipsImage** out) {
             return vips_colourspace(in, out, VIPS_INTERPRETATION_B_W, nullptr);
           }) &&
      step(ref, [](VipsImage* in, VipsImage** out) { return vips_cast_uchar(in, out, nullptr); });
  if (!grey || vips_image_get_bands(ref.image) != 1) return std::nullopt;

  // Decodes the whole pipeline now, into one buffer.
  std::size_t size = 0;
  void* pixels = vips_image_write_to_memory(ref.image, &size);
  if (!pixels) return std::nullopt;
  Bitmap bitmap;
  bitmap.width = vips_image_get_width(ref.image);
  bitmap.height = vips_image_get_height(ref.image);
  if (size == static_cast<std::size_t>(bitmap.width) * static_cast<std::size_t>(bitmap.height)) {
    bitmap.pixels.assign(static_cast<std::uint8_t*>(pixels),
                         static_cast<std::uint8_t*>(pixels) + size);
  }
  g_free(pixels);
  if (bitmap.pixels.empty()) return std::nullopt;
  return bitmap;
}

// `in` fitted into the box, never enlarged.
int fitted(VipsImage* in, VipsImage** out) {
  return vips_thumbnail_image(in, out, kLongestSide, "height", kLongestSide, "size", VIPS_SIZE_DOWN,
                              nullptr);
}

// The first image of `bytes` as a grey bitmap, by the loaders opened so far.
std::optional<Bitmap> decoded(const std::string& bytes) {
  VipsSource* source = vips_source_new_from_memory(bytes.data(), bytes.size());
  if (!source) return std::nullopt;
  ImageRef ref;
  // First page only, fitted into the box, never enlarged, turned upright
  // by its EXIF orientation (thumbnail's default).
  const int loaded = vips_thumbnail_source(source, &ref.image, kLongestSide, "height", kLongestSide,
                                           "size", VIPS_SIZE_DOWN, nullptr);
  g_object_unref(source);
  if (loaded != 0 || !ref.image) return std::nullopt;
  return greyBitmap(ref);
}

// 8-bit pixels, rows packed one after another.
struct Packed {
  std::vector<std::uint8_t> pixels;
  int width = 0, height = 0, bands = 0;
};

// The image of the BMP file in `bytes`, decoded whole by gdk-pixbuf's BMP
// loader alone; nothing when it is too large to decode whole or cannot be
// decoded.
std::optional<Packed> decodedBmp(const std::string& bytes) {
  const std::optional<ImageSize> size = bmpSize(bytes);
  if (!size || !decodableWhole(*size)) return std::nullopt;
  GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type("bmp", nullptr);
  if (!loader) return std::nullopt;
  const bool written = gdk_pixbuf_loader_write(
      loader, reinterpret_cast<const guchar*>(bytes.data()), bytes.size(), nullptr);
  // Closed whatever the write gave: a loader is not freed open.
  const bool closed = gdk_pixbuf_loader_close(loader, nullptr);
  GdkPixbuf* pixbuf = written && closed ? gdk_pixbuf_loader_get_pixbuf(loader) : nullptr;
  std::optional<Packed> out;
  if (pixbuf && gdk_pixbuf_get_bits_per_sample(pixbuf) == 8 &&
      decodableWhole({gdk_pixbuf_get_width(pixbuf), gdk_pixbuf_get_height(pixbuf)})) {
    Packed packed;
    packed.width = gdk_pixbuf_get_width(pixbuf);
    packed.height = gdk_pixbuf_get_height(pixbuf);
    packed.bands = gdk_pixbuf_get_n_channels(pixbuf);
    // Rows are padded to whole words; libvips takes them packed.
    const std::size_t row =
        static_cast<std::size_t>(packed.width) * static_cast<std::size_t>(packed.bands);
    const std::size_t stride = static_cast<std::size_t>(gdk_pixbuf_get_rowstride(pixbuf));
    const guchar* first = gdk_pixbuf_read_pixels(pixbuf);
    const std::size_t rows = static_cast<std::size_t>(packed.height);
    packed.pixels.resize(row * rows);
    for (std::size_t y = 0; y < rows; ++y) {
      std::memcpy(packed.pixels.data() + row * y, first + stride * y, row);
    }
    out = std::move(packed);
  }
  g_object_unref(loader);
  return out;
}

// The image of the BMP file in `bytes` as a grey bitmap, fitted into the box.
std::optional<Bitmap> decodedAsBmp(const std::string& bytes) {
  const std::optional<Packed> whole = decodedBmp(bytes);
  if (!whole) return std::nullopt;
  ImageRef ref;
  // Kept by `whole`, which outlives the pipeline.
  ref.image = vips_image_new_from_memory(whole->pixels.data(), whole->pixels.size(), whole->width,
                                         whole->height, whole->bands, VIPS_FORMAT_UCHAR);
  if (!ref.image) return std::nullopt;
  const bool fit =
      step(ref,
           [](VipsImage* in, VipsImage** out) {
             return vips_copy(in, out, "interpretation", VIPS_INTERPRETATION_sRGB, nullptr);
           }) &&
      step(ref, fitted);
  if (!fit) return std::nullopt;
  return greyBitmap(ref);
}

std::optional<Bitmap> loadWithVips(const std::string& bytes) {
  if (!startVips() || bytes.empty()) return std::nullopt;
  std::optional<Bitmap> bitmap = decoded(bytes);
  // Before the modules, which would offer ImageMagick's loader, blocked.
  if (!bitmap) bitmap = decodedAsBmp(bytes);
  if (!bitmap && openLoaderModules()) bitmap = decoded(bytes);
  return bitmap;
}

}  // namespace
}  // namespace fileprobe

extern "C" [[gnu::visibility("default")]] void fileprobeLoadImage(
    const std::string& bytes, std::optional<fileprobe::Bitmap>& out) {
  out = fileprobe::loadWithVips(bytes);
}

static_assert(std::is_same_v<decltype(fileprobeLoadImage), fileprobe::LoadImageEntry>);
