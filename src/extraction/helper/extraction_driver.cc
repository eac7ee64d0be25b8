#include "extraction/helper/extraction_driver.h"

#include <algorithm>
#include <cmath>

#include "extraction/helper/junk_characters.h"
#include "extraction/helper/page_recognition.h"
#include "extraction/helper/text_layer_judgement.h"
#include "formats/unicode.h"

namespace fileprobe {
namespace {

constexpr std::string_view kPageSeparator = "\n\n";
constexpr std::string_view kWarningSeparator = " ";

struct PdfRun {
  std::vector<std::string> pageTexts;
  bool ocrUsed = false;
  bool ocrFailed = false;
};

// What an examined page's text layer and media box call for.
enum class PageUse {
  textLayer,    // the text layer stands for the page
  recognition,  // rendered and recognised
  unusableBox,  // needs recognition but cannot be rendered
};

struct ExaminedPage {
  int page = 0;
  std::string trimmed;  // the text layer, cut, without junk, trimmed
  PageUse use = PageUse::textLayer;
  double scale = 0;  // pixels per unit of the media box, for recognition
};

bool usableSide(double side) { return std::isfinite(side) && side > 0; }

// A page whose own text is this short is probably a scan.
bool needsRecognition(std::string_view trimmed) {
  return countCharacters(trimmed, kUsableTextCharacters) < kUsableTextCharacters;
}

// Nothing when the document cannot supply the page.
std::optional<ExaminedPage> examinePage(const PdfAccess& pdf, int page) {
  const std::optional<std::string> layer = pdf.pageText(page);
  if (!layer) return std::nullopt;
  // Cut before trimming, so that a page of padding cannot hide its length.
  // A layer that is not text gives "", as a page without one does.
  ExaminedPage examined{page, pageLayerText(firstCharacters(*layer, kPageCharacterCut), [&] {
                          return pdf.fontsLackUnicode && pdf.fontsLackUnicode(page);
                        })};
  if (!needsRecognition(examined.trimmed)) return examined;
  const PageBox box = pdf.mediaBox(page);
  if (!usableSide(box.width) || !usableSide(box.height)) {
    examined.use = PageUse::unusableBox;
    return examined;
  }
  examined.use = PageUse::recognition;
  examined.scale = std::min(kRenderedLongerSide / box.width, kRenderedLongerSide / box.height);
  return examined;
}

// Recognition reads junk too (a symbol taken for a private-use glyph).
std::optional<std::string> recognisedWithoutJunk(std::optional<std::string> recognised) {
  if (recognised) *recognised = withoutJunk(*recognised);
  return recognised;
}

void keepIfNotEmpty(PdfRun& run, std::string_view text) {
  if (!text.empty()) run.pageTexts.emplace_back(text);
}

// Adds one page's entry; `recognised` is what its recognition gave
// (nothing: no bitmap, or recognition failed).
void recordPage(PdfRun& run, const ExaminedPage& page,
                const std::optional<std::string>& recognised) {
  if (page.use == PageUse::textLayer) {
    run.pageTexts.push_back(page.trimmed);
    return;
  }
  // Extracted text is never thrown away: without a usable box, a bitmap
  // or a recognition, the page keeps its own text.
  if (page.use == PageUse::unusableBox || !recognised) {
    keepIfNotEmpty(run, page.trimmed);
    run.ocrFailed = true;
    return;
  }
  // A page where recognition found nothing and that had no text adds no
  // entry, so blank pages do not turn into line feeds.
  keepIfNotEmpty(run, recognised->empty() ? std::string_view(page.trimmed) : *recognised);
  run.ocrUsed = true;
}

// Text layers are all read first, so the pages to recognise are known
// before the first one is rendered.
PdfRun readPages(const PdfAccess& pdf, int pageCount, const RecognizerFactory& recognizers,
                 int processors, ProcessorWatch& watch) {
  std::vector<ExaminedPage> examined;
  for (int page = 0; page < std::min(pageCount, kPagesExamined); ++page) {
    if (std::optional<ExaminedPage> one = examinePage(pdf, page)) {
      examined.push_back(*std::move(one));
    }
  }
  std::vector<RecognitionRequest> requests;
  std::vector<std::size_t> requestOf(examined.size(), 0);
  for (std::size_t i = 0; i < examined.size(); ++i) {
    if (examined[i].use != PageUse::recognition) continue;
    requestOf[i] = requests.size();
    requests.push_back({examined[i].page, examined[i].scale});
  }
  const int threads = recognitionThreads(static_cast<int>(requests.size()), processors);
  const std::vector<std::optional<std::string>> recognised =
      recognisePages(requests, pdf.renderPage, recognizers, threads, watch);
  PdfRun run;
  for (std::size_t i = 0; i < examined.size(); ++i) {
    const bool wasRecognised = examined[i].use == PageUse::recognition;
    recordPage(run, examined[i],
               wasRecognised ? recognisedWithoutJunk(recognised[requestOf[i]]) : std::nullopt);
  }
  return run;
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

int recognitionThreads(int pages, int processors) {
  return std::max(1, std::min({pages, processors, kMostRecognitionThreads}));
}

ExtractionAnswer pdfRoadAnswer(const std::optional<PdfAccess>& pdf,
                               const RecognizerFactory& recognizers, int processors,
                               ProcessorWatch& watch) {
  if (!pdf) return filenameAnswer(kWarningUnreadablePdf);
  const int pageCount = pdf->pageCount();
  const PdfRun run = readPages(*pdf, pageCount, recognizers, processors, watch);
  std::vector<std::string> warnings;
  if (pageCount > kPagesExamined) warnings.emplace_back(kWarningFirstThreePages);
  if (run.ocrFailed) warnings.emplace_back(kWarningSomePagesFailed);
  if (run.ocrUsed) warnings.emplace_back(kWarningOcrMayErr);

  ExtractionAnswer answer;
  answer.text = joined(run.pageTexts, kPageSeparator);
  answer.method = run.ocrUsed ? Method::ocr : Method::text;
  if (answer.text.empty()) answer.method = Method::filename;
  if (!warnings.empty()) answer.warning = joined(warnings, kWarningSeparator);
  return answer;
}

ExtractionAnswer pdfRoadAnswer(const std::optional<PdfAccess>& pdf,
                               const RecognizeFunction& recognize) {
  const int oneProcessor = 1;
  EveryProcessorFree unasked;
  return pdfRoadAnswer(
      pdf, [&recognize] { return recognize; }, oneProcessor, unasked);
}

ExtractionAnswer imageRoadAnswer(const std::optional<Bitmap>& image,
                                 const RecognizeFunction& recognize) {
  if (!image) return filenameAnswer(kWarningUnreadableImage);
  std::optional<std::string> recognised = recognisedWithoutJunk(recognize(*image));
  if (!recognised) return filenameAnswer(kWarningImageNotRecognised);
  return {*std::move(recognised), Method::ocr, std::string(kWarningImageRecognised)};
}

}  // namespace fileprobe
