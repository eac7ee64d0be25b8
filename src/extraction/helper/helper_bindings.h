// The extraction helper's bindings to poppler, libvips and tesseract, one
// shared module each, loaded only when a file needs that library: text
// layers of a PDF never load libvips or tesseract, whose start-up alone
// would cost more than reading three pages.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "extraction/helper/extraction_driver.h"

namespace fileprobe {

// The folder of the helper executable and its modules, with a trailing
// slash ("" when it cannot be told); read once, before confinement.
std::string moduleFolder();

// Loads the module of `road` without calling into it,
// so that the helper can confine itself between loading and parsing. A
// module that cannot be loaded fails the road's first use instead.
void loadRoadModule(Road road);

// The PDF in `bytes`, or nothing when it cannot be opened or is locked
// (no password is ever tried). The access keeps `bytes` alive.
std::optional<PdfAccess> openPdf(std::shared_ptr<const std::string> bytes);

// The first image or page of the file in `bytes`, upright by its recorded
// orientation, at most 2200 pixels on its longer side and never enlarged,
// decoded at once; nothing when no image can be made of it.
std::optional<Bitmap> loadImage(const std::string& bytes);

// Tesseract with the Korean and English LSTM models, loaded and set up on
// the first call and kept for the pages that follow. Each bitmap gets
// kRecognitionDeadlineMilliseconds.
RecognizeFunction tesseractRecognizer();

// In processor time, so that a loaded machine does not fail good pages: the
// heaviest page of the recognition benchmark took about 11 s, while a page
// of noise would keep the engine busy for minutes.
inline constexpr int kRecognitionDeadlineMilliseconds = 25000;

// The entry point each module exports, under the names below.
using OpenPdfEntry = void(std::shared_ptr<const std::string> bytes, std::optional<PdfAccess>& out);
using LoadImageEntry = void(const std::string& bytes, std::optional<Bitmap>& out);
// `deadlineMilliseconds` bounds the recognition of each bitmap: a bitmap
// not read by then fails.
using RecognizerEntry = void(int deadlineMilliseconds, RecognizeFunction& out);

inline constexpr const char* kOpenPdfEntry = "fileprobeOpenPdf";
inline constexpr const char* kLoadImageEntry = "fileprobeLoadImage";
inline constexpr const char* kRecognizerEntry = "fileprobeRecognizer";

}  // namespace fileprobe
