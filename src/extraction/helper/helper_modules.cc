#include <string_view>

#include "extraction/helper/helper_bindings.h"
#include "extraction/helper/module.h"
#include "platform/executable_path.h"

namespace fileprobe {
namespace {

// Installed beside the helper executable.
constexpr std::string_view kPdfModule = "fileprobe-extract-pdf.so";
constexpr std::string_view kImageModule = "fileprobe-extract-image.so";
constexpr std::string_view kRecognitionModule = "fileprobe-extract-ocr.so";

template <typename Entry>
Entry* moduleEntry(std::string_view module, const char* entry) {
  const std::string folder = moduleFolder();
  if (folder.empty()) return nullptr;
  return reinterpret_cast<Entry*>(moduleSymbol(folder + std::string(module), entry));
}

}  // namespace

std::string moduleFolder() {
  static const std::string folder = runningExecutableFolder();
  return folder;
}

void loadRoadModule(Road road) {
  if (road == Road::pdf) {
    moduleEntry<OpenPdfEntry>(kPdfModule, kOpenPdfEntry);
  } else {
    moduleEntry<LoadImageEntry>(kImageModule, kLoadImageEntry);
  }
}

std::optional<PdfAccess> openPdf(std::shared_ptr<const std::string> bytes) {
  std::optional<PdfAccess> pdf;
  if (auto* open = moduleEntry<OpenPdfEntry>(kPdfModule, kOpenPdfEntry)) {
    open(std::move(bytes), pdf);
  }
  return pdf;
}

std::optional<Bitmap> loadImage(const std::string& bytes) {
  std::optional<Bitmap> image;
  if (auto* load = moduleEntry<LoadImageEntry>(kImageModule, kLoadImageEntry)) load(bytes, image);
  return image;
}

RecognizeFunction tesseractRecognizer() {
  // Loaded on the first page that needs recognition; a module that cannot
  // be loaded makes every recognition fail.
  auto loaded = std::make_shared<std::optional<RecognizeFunction>>();
  return [loaded](const Bitmap& bitmap) -> std::optional<std::string> {
    if (!*loaded) {
      RecognizeFunction recognize;
      if (auto* make = moduleEntry<RecognizerEntry>(kRecognitionModule, kRecognizerEntry)) {
        make(kRecognitionDeadlineMilliseconds, recognize);
      }
      *loaded = std::move(recognize);
    }
    if (!**loaded) return std::nullopt;
    return (**loaded)(bitmap);
  };
}

}  // namespace fileprobe
