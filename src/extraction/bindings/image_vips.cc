// The image road's binding to libvips.
#include <gmodule.h>

#include <vips/vips.h>
// Not part of vips.h, and needs it first.
#include <vips/vector.h>

#include <cstring>

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

std::optional<Bitmap> loadWithVips(const std::string& bytes) {
  if (!startVips() || bytes.empty()) return std::nullopt;
  std::optional<Bitmap> bitmap = decoded(bytes);
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
