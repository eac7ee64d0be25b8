// Text recognition through tesseract.
#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include <cmath>

#include "extract_helper/helper_bindings.h"

namespace fileprobe {
namespace {

// Found when the build is configured; passed explicitly so that no
// variable of any environment chooses the models.
constexpr const char* kModelDirectory = FILEPROBE_TESSDATA_DIR;
// Korean first: the engine then resolves ambiguous glyphs towards Hangul.
constexpr const char* kLanguages = "kor+eng";
// Chosen by the recognition benchmark (bench/ocr_eval.sh): wide, short
// blocks of prose read far better as one block than with automatic layout.
constexpr auto kSegmentation = tesseract::PSM_SINGLE_BLOCK;
constexpr float kMinimumTextHeight = 0.004f;  // of the image height
constexpr int kMaximumLines = 1200;
// What the engine assumes itself for an image that records no density.
constexpr int kUnknownPixelsPerInch = 70;

std::string lineText(tesseract::ResultIterator& line) {
  const std::unique_ptr<char[]> text(line.GetUTF8Text(tesseract::RIL_TEXTLINE));
  if (!text) return "";
  std::string out(text.get());
  // The engine ends each line with a line feed, and the last line of a
  // paragraph with a second one.
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

std::optional<std::string> recognizeWith(tesseract::TessBaseAPI& engine, const Bitmap& bitmap) {
  if (bitmap.width <= 0 || bitmap.height <= 0 ||
      bitmap.pixels.size() !=
          static_cast<std::size_t>(bitmap.width) * static_cast<std::size_t>(bitmap.height)) {
    return std::nullopt;
  }
  engine.SetImage(bitmap.pixels.data(), bitmap.width, bitmap.height, 1, bitmap.width);
  engine.SetSourceResolution(bitmap.pixelsPerInch > 0
                                 ? static_cast<int>(std::lround(bitmap.pixelsPerInch))
                                 : kUnknownPixelsPerInch);
  if (engine.Recognize(nullptr) != 0) {
    engine.Clear();
    return std::nullopt;
  }
  const float minimumHeight = kMinimumTextHeight * static_cast<float>(bitmap.height);
  std::string joined;
  int kept = 0;
  const std::unique_ptr<tesseract::ResultIterator> line(engine.GetIterator());
  if (line && !line->Empty(tesseract::RIL_TEXTLINE)) {
    do {
      int left, top, right, bottom;
      if (!line->BoundingBox(tesseract::RIL_TEXTLINE, &left, &top, &right, &bottom)) continue;
      if (static_cast<float>(bottom - top) < minimumHeight) continue;
      const std::string text = lineText(*line);
      // A line without text leaves no empty line behind.
      if (text.empty()) continue;
      if (kept > 0) joined += '\n';
      joined += text;
      ++kept;
    } while (kept < kMaximumLines && line->Next(tesseract::RIL_TEXTLINE));
  }
  engine.Clear();
  return joined;
}

RecognizeFunction engineRecognizer() {
  auto engine = std::make_shared<std::unique_ptr<tesseract::TessBaseAPI>>();
  return [engine](const Bitmap& bitmap) -> std::optional<std::string> {
    if (!*engine) {
      auto made = std::make_unique<tesseract::TessBaseAPI>();
      if (made->Init(kModelDirectory, kLanguages, tesseract::OEM_LSTM_ONLY) != 0) {
        return std::nullopt;
      }
      made->SetPageSegMode(kSegmentation);
      *engine = std::move(made);
    }
    return recognizeWith(**engine, bitmap);
  };
}

}  // namespace
}  // namespace fileprobe

extern "C" [[gnu::visibility("default")]] void fileprobeRecognizer(
    fileprobe::RecognizeFunction& out) {
  out = fileprobe::engineRecognizer();
}

static_assert(std::is_same_v<decltype(fileprobeRecognizer), fileprobe::RecognizerEntry>);
