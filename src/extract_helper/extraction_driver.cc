#include "extract_helper/extraction_driver.h"

#include <algorithm>
#include <cmath>

#include "extract_helper/junk_characters.h"
#include "extract_helper/text_layer_judgement.h"
#include "platform/unicode.h"

namespace fileprobe {
namespace {

constexpr std::string_view kPageSeparator = "\n\n";
constexpr std::string_view kWarningSeparator = " ";

struct PdfRun {
  std::vector<std::string> pageTexts;
  bool ocrUsed = false;
  bool ocrFailed = false;
};

bool usableSide(double side) { return std::isfinite(side) && side > 0; }

void keepIfNotEmpty(PdfRun& run, std::string_view text) {
  if (!text.empty()) run.pageTexts.emplace_back(text);
}

// Recognition reads junk too (a symbol taken for a private-use glyph).
std::optional<std::string> recognisedText(const Bitmap& bitmap,
                                          const RecognizeFunction& recognize) {
  std::optional<std::string> recognised = recognize(bitmap);
  if (recognised) *recognised = withoutJunk(*recognised);
  return recognised;
}

void examinePage(const PdfAccess& pdf, int page, const RecognizeFunction& recognize, PdfRun& run) {
  const std::optional<std::string> layer = pdf.pageText(page);
  if (!layer) return;
  // Cut before trimming, so that a page of padding cannot hide its length.
  // A layer that is not text gives "", as a page without one does.
  const std::string text = pageLayerText(firstCharacters(*layer, kPageCharacterCut), [&] {
    return pdf.fontsLackUnicode && pdf.fontsLackUnicode(page);
  });
  const std::string_view trimmed = text;
  if (countCharacters(trimmed, kUsableTextCharacters) >= kUsableTextCharacters) {
    run.pageTexts.emplace_back(trimmed);
    return;
  }
  const PageBox box = pdf.mediaBox(page);
  if (!usableSide(box.width) || !usableSide(box.height)) {
    keepIfNotEmpty(run, trimmed);
    run.ocrFailed = true;
    return;
  }
  const double scale = std::min(kRenderedLongerSide / box.width, kRenderedLongerSide / box.height);
  const std::optional<Bitmap> bitmap = pdf.renderPage(page, scale);
  // A page's real text is never thrown away: without a bitmap the page
  // keeps it, as when recognition fails.
  std::optional<std::string> recognised;
  if (bitmap) recognised = recognisedText(*bitmap, recognize);
  if (!recognised) {
    keepIfNotEmpty(run, trimmed);
    run.ocrFailed = true;
    return;
  }
  // A page where recognition found nothing and that had no text adds no
  // entry, so blank pages do not turn into line feeds.
  keepIfNotEmpty(run, recognised->empty() ? trimmed : std::string_view(*recognised));
  run.ocrUsed = true;
}

std::string joined(const std::vector<std::string>& parts, std::string_view separator) {
  std::string out;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) out += separator;
    out += parts[i];
  }
  return out;
}

}  // namespace

ExtractionAnswer pdfRoadAnswer(const std::optional<PdfAccess>& pdf,
                               const RecognizeFunction& recognize) {
  if (!pdf) return filenameAnswer(kWarningUnreadablePdf);
  const int pageCount = pdf->pageCount();
  PdfRun run;
  for (int page = 0; page < std::min(pageCount, kPagesExamined); ++page) {
    examinePage(*pdf, page, recognize, run);
  }
  std::vector<std::string> warnings;
  if (pageCount > kPagesExamined) warnings.emplace_back(kWarningFirstThreePages);
  if (run.ocrFailed) warnings.emplace_back(kWarningSomePagesFailed);
  if (run.ocrUsed) warnings.emplace_back(kWarningOcrMayErr);

  ExtractionAnswer answer;
  answer.text = joined(run.pageTexts, kPageSeparator);
  answer.method = std::string(run.ocrUsed ? kMethodOcr : kMethodText);
  if (answer.text.empty()) answer.method = std::string(kMethodFilename);
  if (!warnings.empty()) answer.warning = joined(warnings, kWarningSeparator);
  return answer;
}

ExtractionAnswer imageRoadAnswer(const std::optional<Bitmap>& image,
                                 const RecognizeFunction& recognize) {
  if (!image) return filenameAnswer(kWarningUnreadableImage);
  std::optional<std::string> recognised = recognisedText(*image, recognize);
  if (!recognised) return filenameAnswer(kWarningImageNotRecognised);
  return {*std::move(recognised), std::string(kMethodOcr), std::string(kWarningImageRecognised)};
}

}  // namespace fileprobe
