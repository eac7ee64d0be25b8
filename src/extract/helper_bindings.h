// The extraction helper's bindings to poppler, libvips and tesseract, one
// file each; nothing else in the program includes those libraries.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "extract/extraction_driver.h"

namespace fileprobe {

// The PDF in `bytes`, or nothing when it cannot be opened or is locked
// (no password is ever tried). The access keeps `bytes` alive.
std::optional<PdfAccess> openPdf(std::shared_ptr<const std::string> bytes);

// The first image or page of the file in `bytes`, upright by its recorded
// orientation, at most 2200 pixels on its longer side and never enlarged,
// decoded at once; nothing when no image can be made of it.
std::optional<Bitmap> loadImage(const std::string& bytes);

// Tesseract with the Korean and English LSTM models, made on the first
// call and kept for the pages that follow.
RecognizeFunction tesseractRecognizer();

}  // namespace fileprobe
