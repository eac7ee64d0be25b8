// The PDF road's binding to poppler's C++ interface.
#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-image.h>
#include <poppler-page-renderer.h>
#include <poppler-page.h>

#include <climits>
#include <cmath>
#include <cstring>

#include "extract/helper_bindings.h"

namespace fileprobe {
namespace {

constexpr double kPointsPerInch = 72;

struct OpenDocument {
  std::shared_ptr<const std::string> bytes;  // poppler reads them in place
  std::unique_ptr<poppler::document> document;
};

// Poppler reports syntax errors of damaged files on standard error by default.
void dropPopplerMessage(const std::string&, void*) {}

std::optional<Bitmap> grayBitmap(const poppler::image& image, double pixelsPerInch) {
  if (!image.is_valid() || image.format() != poppler::image::format_gray8) return std::nullopt;
  const int width = image.width();
  const int height = image.height();
  const int stride = image.bytes_per_row();
  if (width <= 0 || height <= 0 || stride < width) return std::nullopt;
  Bitmap bitmap;
  bitmap.width = width;
  bitmap.height = height;
  bitmap.pixelsPerInch = pixelsPerInch;
  bitmap.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  const char* rows = image.const_data();
  for (int y = 0; y < height; ++y) {
    std::memcpy(bitmap.pixels.data() + static_cast<std::size_t>(y) * width,
                rows + static_cast<std::size_t>(y) * stride, static_cast<std::size_t>(width));
  }
  return bitmap;
}

std::optional<PdfAccess> openWithPoppler(std::shared_ptr<const std::string> bytes) {
  poppler::set_debug_error_function(dropPopplerMessage, nullptr);
  if (bytes->size() > static_cast<std::size_t>(INT_MAX)) return std::nullopt;
  auto open = std::make_shared<OpenDocument>();
  open->bytes = std::move(bytes);
  open->document.reset(poppler::document::load_from_raw_data(
      open->bytes->data(), static_cast<int>(open->bytes->size())));
  if (!open->document || open->document->is_locked()) return std::nullopt;

  PdfAccess access;
  access.pageCount = [open] { return open->document->pages(); };
  access.pageText = [open](int index) -> std::optional<std::string> {
    const std::unique_ptr<poppler::page> page(open->document->create_page(index));
    if (!page) return std::nullopt;
    const poppler::byte_array utf8 = page->text().to_utf8();
    return std::string(utf8.begin(), utf8.end());
  };
  access.mediaBox = [open](int index) -> PageBox {
    const std::unique_ptr<poppler::page> page(open->document->create_page(index));
    if (!page) return {};
    const poppler::rectf box = page->page_rect(poppler::media_box);
    return {box.width(), box.height()};
  };
  access.renderPage = [open](int index, double scale) -> std::optional<Bitmap> {
    const std::unique_ptr<poppler::page> page(open->document->create_page(index));
    const double pixelsPerInch = kPointsPerInch * scale;
    if (!page || !std::isfinite(pixelsPerInch) || pixelsPerInch <= 0) return std::nullopt;
    poppler::page_renderer renderer;
    renderer.set_image_format(poppler::image::format_gray8);
    renderer.set_render_hint(poppler::page_renderer::antialiasing, true);
    renderer.set_render_hint(poppler::page_renderer::text_antialiasing, true);
    // The page's own rotation is applied, so the bitmap comes out upright.
    return grayBitmap(renderer.render_page(page.get(), pixelsPerInch, pixelsPerInch),
                      pixelsPerInch);
  };
  return access;
}

}  // namespace
}  // namespace fileprobe

extern "C" [[gnu::visibility("default")]] void fileprobeOpenPdf(
    std::shared_ptr<const std::string> bytes, std::optional<fileprobe::PdfAccess>& out) {
  out = fileprobe::openWithPoppler(std::move(bytes));
}

static_assert(std::is_same_v<decltype(fileprobeOpenPdf), fileprobe::OpenPdfEntry>);
