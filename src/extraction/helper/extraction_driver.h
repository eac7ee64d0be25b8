// What the extraction helper does with the file: the PDF road (text layer
// of the first pages, recognition of pages with almost no text) and the
// image road (recognition of the first image). The libraries are reached
// through the plain function records below, so that the choices made here
// do not depend on them.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "extraction/helper/processor_share.h"
#include "extraction/wire/extraction_answer.h"

namespace fileprobe {

// An 8-bit grey image, rows packed without padding.
struct Bitmap {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;
  // Pixels per inch when known (a rendered page), else 0.
  double pixelsPerInch = 0;
};

// The recognised lines joined by line feeds, or nothing when recognition
// could not be performed.
using RecognizeFunction = std::function<std::optional<std::string>(const Bitmap&)>;

// Makes a recognizer for one thread: each call gives an independent one,
// which only the thread it is handed to uses.
using RecognizerFactory = std::function<RecognizeFunction()>;

struct PageBox {
  double width = 0;
  double height = 0;
};

// An opened, unlocked PDF. Page indexes start at 0; each call makes and
// releases its own page objects, so nothing of a page outlives its turn.
struct PdfAccess {
  std::function<int()> pageCount;
  // The page's text layer ("" without one), or nothing when the document
  // cannot supply the page.
  std::function<std::optional<std::string>(int page)> pageText;
  std::function<PageBox(int page)> mediaBox;
  // The page rendered upright with `scale` pixels per unit of its media
  // box, or nothing when no bitmap comes out.
  std::function<std::optional<Bitmap>(int page, double scale)> renderPage;
  // Whether one of the page's fonts has no Unicode map (no ToUnicode) and
  // no standard encoding, so that its characters are glyph codes. Asked
  // only for a layer whose text leaves doubt; may be left empty (never).
  std::function<bool(int page)> fontsLackUnicode;
};

inline constexpr int kPagesExamined = 3;
inline constexpr std::int64_t kPageCharacterCut = 25000;
inline constexpr std::int64_t kUsableTextCharacters = 40;
inline constexpr double kRenderedLongerSide = 1800;
// One thread per examined page at most: a thread more would find no page.
inline constexpr int kMostRecognitionThreads = kPagesExamined;

// How many threads recognise `pages` pages on `processors` processors: one
// per page and per processor, so that a thread never waits for a processor
// another of ours holds; at least the calling thread.
int recognitionThreads(int pages, int processors);

// `pdf` is nothing when the document cannot be opened or is locked. The
// pages that need recognition are read side by side by up to
// recognitionThreads(pages, processors) threads, each with its own
// recognizer from `recognizers`, as many as `watch` finds processors free
// for; the answer is the same as reading them one after the other.
ExtractionAnswer pdfRoadAnswer(const std::optional<PdfAccess>& pdf,
                               const RecognizerFactory& recognizers, int processors,
                               ProcessorWatch& watch);

// The same reading, one page after the other on the calling thread with
// the one recognizer `recognize`.
ExtractionAnswer pdfRoadAnswer(const std::optional<PdfAccess>& pdf,
                               const RecognizeFunction& recognize);

// `image` is nothing when no image could be loaded.
ExtractionAnswer imageRoadAnswer(const std::optional<Bitmap>& image,
                                 const RecognizeFunction& recognize);

}  // namespace fileprobe
