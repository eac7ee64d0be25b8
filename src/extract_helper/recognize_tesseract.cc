// Text recognition through tesseract. A bitmap whose sample lines do not
// read with confidence is turned upright by the orientation model; it is
// then laid out by the engine on a copy reduced to a fixed text size, and
// read block by block; a page of a few rows is read as one block, a large
// page of small print whole in the engine's layout. Strips of a few rows
// and low-resolution pages are read from an enlarged copy. The sizes were
// chosen with bench/ocr_corpus_eval.py.
#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include <time.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "extract_helper/helper_bindings.h"

namespace fileprobe {
namespace {

// Found when the build is configured; passed explicitly so that no
// variable of any environment chooses the models.
constexpr const char* kModelDirectory = FILEPROBE_TESSDATA_DIR;
// Korean first: the engine then resolves ambiguous glyphs towards Hangul.
constexpr const char* kLanguages = "kor+eng";
// The orientation-and-script model; it runs only on the legacy engine.
constexpr const char* kOrientationModel = "osd";
constexpr float kMinimumTextHeight = 0.004f;  // of the image height
constexpr const char* kInvertBadLines = "tessedit_do_invert";
constexpr int kMaximumLines = 1200;
// What the engine assumes itself for an image that records no density.
constexpr int kUnknownPixelsPerInch = 70;

// The orientation model costs about 0.6 s a page, as much as reading a
// short one, so a page is first tried as it is: the engine reads a few of
// its lines, and when they read with this mean word confidence the page is
// upright. Upright pages scored 80 and more, pages turned half-way round at
// most 63; quarter-turned pages have no line to try.
constexpr float kUprightConfidence = 70;
constexpr std::size_t kSampleLines = 2;
// One line is enough when it reads this well: no turned page's line came
// near it.
constexpr float kSureUprightConfidence = 85;
// Only characters of this many or more tell: one short word may read well
// whichever way up.
constexpr std::size_t kFewestSampleCharacters = 10;
// A sample line is a row of text: about as high as the page's lines and
// many times wider than high. Only its start is read.
constexpr float kSampleLineHeightRange = 1.25f;
constexpr int kSampleLineShortestLength = 8;  // times its height
constexpr int kSampleLineLongestLength = 30;  // times its height
// A page whose turn the model gives with less confidence is read as it
// is: upright pages of English prose came out turned with up to 2.5. The
// benchmark's pages turned 90, 180 and 270 degrees (Korean and English)
// that the model turned right scored 4.5 and more, but for a poor scan at
// 100 dpi (up to 2.5); the one at 4.5 is a page at 120 dpi.
constexpr float kMinimumTurnConfidence = 3.5f;
// The model classifies a sample of the page's glyphs, up to five times this
// many (its parameter below), and its confidence grows with their number.
// The engine's 250 glyphs cost about 0.55 s; a first look at 100 costs
// 0.25 s and, on the benchmark's pages turned each way, gave the turn of
// the full look every time. Its confidence is about half as high: turns it
// gives with at least kClearTurnConfidence are taken, those with less than
// kFaintTurnConfidence left (none of them reached 2.5 on the full look), and
// those between are looked at again with all 250 glyphs.
constexpr const char* kOrientationGlyphs = "min_characters_to_try";
constexpr const char* kFirstLookGlyphs = "20";
constexpr const char* kFullLookGlyphs = "50";  // the engine's own
constexpr float kClearTurnConfidence = 4.0f;
constexpr float kFaintTurnConfidence = 1.0f;
// With fewer rows of text than this, word gaps that line up by chance pass
// for column gutters and lines get cut in two; such a page is one block.
constexpr int kFewestRowsForLayout = 6;
// The engine's layout takes Hangul words as high as 30 px for columns of
// their own and misses gutters between Korean columns; at about 16 px it
// finds the blocks of both scripts.
constexpr float kLayoutWordHeight = 16;
constexpr float kSmallestLayoutScale = 0.25f;
// Text up to a quarter higher than that is laid out at its size, reusing
// the layout of the full page: a second layout costs up to half a second,
// and a form of 18 px words read better without it.
constexpr float kLargestUnreducedScale = 0.8f;
// Blocks that hold fewer of the words found at full size than this leave
// text unread.
constexpr float kLeastCoveredWords = 0.8f;
// On a page of a few rows, words lower than this are read from an enlarged
// copy (at most twice the size): Hangul read from words of about 30 px
// mistakes whole words for Latin capitals.
constexpr float kRecognitionWordHeight = 40;
constexpr float kLargestRecognitionScale = 2;
// Only a strip or a label is enlarged so: a full page whose layout went
// wrong read no better at twice its size, and four times slower.
constexpr float kLargestShortPage = 1e6f;  // pixels
// Full pages are read at their size (enlarging them all did not read
// better and cost half as much time again), unless they are low-resolution
// scans: words lower than kSmallWordHeight on a page of at most
// kLargestSmallPage pixels (a letter or A4 page at 150 dpi or less) read
// better from a copy enlarged to words of kSmallTextWordHeight (at most
// three times the size). Fine print
// on a larger page (a form at 200 dpi) read worse enlarged, and slower.
constexpr float kSmallWordHeight = 20;
constexpr float kSmallTextWordHeight = 25;
constexpr float kLargestSmallTextScale = 3;
constexpr float kLargestSmallPage = 2.5e6f;

struct Engines {
  std::unique_ptr<tesseract::TessBaseAPI> text;
  std::unique_ptr<tesseract::TessBaseAPI> orientation;
  bool orientationTried = false;
};

bool wellFormed(const Bitmap& bitmap) {
  return bitmap.width > 0 && bitmap.height > 0 &&
         bitmap.pixels.size() ==
             static_cast<std::size_t>(bitmap.width) * static_cast<std::size_t>(bitmap.height);
}

struct PixRef {
  Pix* pix = nullptr;
  explicit PixRef(Pix* p = nullptr) : pix(p) {}
  PixRef(PixRef&& other) noexcept : pix(std::exchange(other.pix, nullptr)) {}
  PixRef& operator=(PixRef&& other) noexcept {
    std::swap(pix, other.pix);
    return *this;
  }
  ~PixRef() {
    if (pix) pixDestroy(&pix);
  }
};

PixRef pixOf(const Bitmap& bitmap) {
  PixRef out(pixCreate(bitmap.width, bitmap.height, 8));
  if (!out.pix) return out;
  l_uint32* data = pixGetData(out.pix);
  const int wordsPerLine = pixGetWpl(out.pix);
  for (int y = 0; y < bitmap.height; ++y) {
    l_uint32* line = data + static_cast<std::size_t>(y) * static_cast<std::size_t>(wordsPerLine);
    const std::uint8_t* row =
        bitmap.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(bitmap.width);
    for (int x = 0; x < bitmap.width; ++x) SET_DATA_BYTE(line, x, row[x]);
  }
  return out;
}

void setImage(tesseract::TessBaseAPI& engine, Pix* pix, double pixelsPerInch) {
  engine.SetImage(pix);
  engine.SetSourceResolution(pixelsPerInch > 0 ? static_cast<int>(std::lround(pixelsPerInch))
                                               : kUnknownPixelsPerInch);
}

struct Orientation {
  int degrees = 0;  // how far the page is turned clockwise
  float confidence = 0;
};

// The model's look at `glyphs` of the page.
std::optional<Orientation> orientationOf(tesseract::TessBaseAPI& osd, Pix* pix, double ppi,
                                         const char* glyphs) {
  osd.SetVariable(kOrientationGlyphs, glyphs);
  setImage(osd, pix, ppi);
  Orientation found;
  const char* script = nullptr;
  float scriptConfidence = 0;
  const bool detected =
      osd.DetectOrientationScript(&found.degrees, &found.confidence, &script, &scriptConfidence);
  osd.Clear();
  if (!detected) return std::nullopt;
  return found;
}

// Quarter turns clockwise that make the page upright; 0 when the model is
// missing or unsure.
int uprightTurns(Engines& engines, Pix* pix, double ppi) {
  if (!engines.orientationTried) {
    engines.orientationTried = true;
    auto made = std::make_unique<tesseract::TessBaseAPI>();
    if (made->Init(kModelDirectory, kOrientationModel, tesseract::OEM_TESSERACT_ONLY) == 0) {
      made->SetPageSegMode(tesseract::PSM_OSD_ONLY);
      engines.orientation = std::move(made);
    }
  }
  if (!engines.orientation) return 0;
  std::optional<Orientation> look = orientationOf(*engines.orientation, pix, ppi, kFirstLookGlyphs);
  if (!look || look->degrees == 0 || look->confidence < kFaintTurnConfidence) return 0;
  if (look->confidence < kClearTurnConfidence) {
    look = orientationOf(*engines.orientation, pix, ppi, kFullLookGlyphs);
    if (!look || look->confidence < kMinimumTurnConfidence) return 0;
  }
  return (4 - look->degrees / 90) % 4;
}

struct Box {
  int left = 0, top = 0, right = 0, bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
};

struct Layout {
  int rows = 0;
  int medianLineHeight = 0;
  int medianWordHeight = 0;
  std::vector<std::pair<int, int>> wordCentres;  // x, y
  std::vector<Box> lines;                        // in the engine's order
};

int median(std::vector<int> values) {
  if (values.empty()) return 0;
  const auto middle = static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), values.begin() + middle, values.end());
  return values[values.size() / 2];
}

// Distinct rows of text and the typical sizes of lines and glyphs. Rows:
// the found lines by centre, a line whose centre lies below the first line
// of the row starting a new row (pieces of one line split into two blocks
// share a row).
Layout layoutOf(tesseract::TessBaseAPI& engine) {
  Layout layout;
  const std::unique_ptr<tesseract::PageIterator> page(engine.AnalyseLayout());
  if (!page || page->Empty(tesseract::RIL_TEXTLINE)) return layout;
  std::vector<int> glyphs;
  do {
    int left, top, right, bottom;
    if (page->BoundingBox(tesseract::RIL_WORD, &left, &top, &right, &bottom)) {
      glyphs.push_back(bottom - top);
      layout.wordCentres.emplace_back((left + right) / 2, (top + bottom) / 2);
    }
    if (Box line; page->IsAtBeginningOf(tesseract::RIL_TEXTLINE) &&
                  page->BoundingBox(tesseract::RIL_TEXTLINE, &line.left, &line.top, &line.right,
                                    &line.bottom)) {
      layout.lines.push_back(line);
    }
  } while (page->Next(tesseract::RIL_WORD));
  std::vector<int> heights;
  heights.reserve(layout.lines.size());
  for (const Box& line : layout.lines) heights.push_back(line.height());
  layout.medianLineHeight = median(heights);
  layout.medianWordHeight = median(glyphs);
  std::vector<std::pair<int, int>> byCentre;
  for (const Box& line : layout.lines) {
    // Boxes far taller than a line (rules, pictures read as text) are left out.
    if (line.height() <= 3 * layout.medianLineHeight) {
      byCentre.emplace_back((line.top + line.bottom) / 2, line.bottom);
    }
  }
  std::sort(byCentre.begin(), byCentre.end());
  int rowBottom = -1;
  for (const auto& [centre, bottom] : byCentre) {
    if (centre > rowBottom) {
      ++layout.rows;
      rowBottom = bottom;
    }
  }
  return layout;
}

std::string lineText(tesseract::ResultIterator& line) {
  const std::unique_ptr<char[]> text(line.GetUTF8Text(tesseract::RIL_TEXTLINE));
  if (!text) return "";
  std::string out(text.get());
  // The engine ends each line with a line feed, and the last line of a
  // paragraph with a second one.
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

std::string recognisedLines(tesseract::TessBaseAPI& engine, int imageHeight) {
  const float minimumHeight = kMinimumTextHeight * static_cast<float>(imageHeight);
  std::string joined;
  int kept = 0;
  const std::unique_ptr<tesseract::ResultIterator> line(engine.GetIterator());
  if (!line || line->Empty(tesseract::RIL_TEXTLINE)) return joined;
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
  return joined;
}

// Processor time of the calling thread, in milliseconds: the bound holds
// the same on a loaded machine as on an idle one.
std::int64_t threadMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Stops recognition once the thread has spent its budget; the engine asks
// after each word.
struct Budget {
  std::int64_t end = 0;
  bool spent() const { return threadMilliseconds() >= end; }
  static bool cancel(void* budget, int /*words*/) { return static_cast<Budget*>(budget)->spent(); }
};

bool overlap(const Box& a, const Box& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// Blocks that overlap (a column of list numbers beside its items, a line
// found in two blocks) become their union, read once, at the place of the
// first of them.
std::vector<Box> mergedOverlaps(std::vector<Box> blocks) {
  bool merged = true;
  while (merged) {
    merged = false;
    for (std::size_t i = 0; i < blocks.size() && !merged; ++i) {
      for (std::size_t j = i + 1; j < blocks.size() && !merged; ++j) {
        if (!overlap(blocks[i], blocks[j])) continue;
        blocks[i] =
            Box{std::min(blocks[i].left, blocks[j].left), std::min(blocks[i].top, blocks[j].top),
                std::max(blocks[i].right, blocks[j].right),
                std::max(blocks[i].bottom, blocks[j].bottom)};
        blocks.erase(blocks.begin() + static_cast<std::ptrdiff_t>(j));
        merged = true;
      }
    }
  }
  return blocks;
}

// Text blocks found on `pix`, in the engine's reading order, with the
// layout's rows and line height.
std::vector<Box> textBlocks(tesseract::TessBaseAPI& engine) {
  std::vector<Box> blocks;
  const std::unique_ptr<tesseract::PageIterator> block(engine.AnalyseLayout());
  if (!block || block->Empty(tesseract::RIL_BLOCK)) return blocks;
  do {
    if (!PTIsTextType(block->BlockType())) continue;
    Box box;
    if (block->BoundingBox(tesseract::RIL_BLOCK, &box.left, &box.top, &box.right, &box.bottom)) {
      blocks.push_back(box);
    }
  } while (block->Next(tesseract::RIL_BLOCK));
  return mergedOverlaps(std::move(blocks));
}

void appendLines(std::string& joined, int& kept, const std::string& lines) {
  std::size_t start = 0;
  while (start <= lines.size() && kept < kMaximumLines) {
    std::size_t end = lines.find('\n', start);
    if (end == std::string::npos) end = lines.size();
    const std::string line = lines.substr(start, end - start);
    if (line.find_first_not_of(" \t") != std::string::npos) {
      if (kept > 0) joined += '\n';
      joined += line;
      ++kept;
    }
    start = end + 1;
  }
}

// Lines to read for the page's orientation: rows of text near the middle
// and the first quarter of the page's lines, cut to their start.
std::vector<Box> sampleLines(const Layout& layout) {
  std::vector<Box> rows;
  for (const Box& line : layout.lines) {
    const float height = static_cast<float>(line.height());
    const auto typical = static_cast<float>(layout.medianLineHeight);
    if (height * kSampleLineHeightRange >= typical && height <= typical * kSampleLineHeightRange &&
        line.width() >= kSampleLineShortestLength * line.height()) {
      rows.push_back(line);
    }
  }
  std::vector<Box> chosen;
  for (const std::size_t at : {rows.size() / 2, rows.size() / 4}) {
    if (at >= rows.size() || chosen.size() == kSampleLines) break;
    Box line = rows[at];
    line.right = std::min(line.right, line.left + kSampleLineLongestLength * line.height());
    if (chosen.empty() || chosen.back().top != line.top) chosen.push_back(line);
  }
  return chosen;
}

std::size_t characterCount(const char* utf8) {
  std::size_t count = 0;
  for (const char* at = utf8; *at != '\0'; ++at) {
    if ((static_cast<unsigned char>(*at) & 0xC0) != 0x80) ++count;  // not a continuation byte
  }
  return count;
}

// How well the engine read its last recognition, summed over the words.
struct Confidence {
  double weighted = 0;  // word confidences times their characters
  std::size_t characters = 0;
};

void addConfidence(tesseract::TessBaseAPI& engine, Confidence& sum) {
  const std::unique_ptr<tesseract::ResultIterator> word(engine.GetIterator());
  if (!word || word->Empty(tesseract::RIL_WORD)) return;
  do {
    const std::unique_ptr<char[]> text(word->GetUTF8Text(tesseract::RIL_WORD));
    if (!text) continue;
    const std::size_t count = characterCount(text.get());
    sum.weighted +=
        static_cast<double>(word->Confidence(tesseract::RIL_WORD)) * static_cast<double>(count);
    sum.characters += count;
  } while (word->Next(tesseract::RIL_WORD));
}

bool readsAtLeast(const Confidence& sum, float confidence, std::size_t characters) {
  return sum.characters >= characters &&
         sum.weighted >= static_cast<double>(confidence) * static_cast<double>(sum.characters);
}

// Text read with this confidence was read the right way up.
bool readsUpright(const Confidence& sum) {
  return readsAtLeast(sum, kUprightConfidence, kFewestSampleCharacters);
}

enum class Sample { upright, unsure, cancelled };

// Whether `lines` of `pix` read with confidence.
Sample readSample(tesseract::TessBaseAPI& engine, Pix* pix, double ppi,
                  const std::vector<Box>& lines, tesseract::ETEXT_DESC& monitor) {
  const int width = pixGetWidth(pix), height = pixGetHeight(pix);
  engine.SetPageSegMode(tesseract::PSM_SINGLE_LINE);
  setImage(engine, pix, ppi);
  Confidence sum;
  for (const Box& line : lines) {
    const int margin = line.height() / 4;
    const int left = std::max(0, line.left - margin), top = std::max(0, line.top - margin);
    engine.SetRectangle(left, top, std::min(width, line.right + margin) - left,
                        std::min(height, line.bottom + margin) - top);
    if (engine.Recognize(&monitor) != 0) return Sample::cancelled;
    addConfidence(engine, sum);
    if (readsAtLeast(sum, kSureUprightConfidence, 2 * kFewestSampleCharacters)) {
      return Sample::upright;
    }
  }
  return readsUpright(sum) ? Sample::upright : Sample::unsure;
}

// `pix` scaled by `factor`, or nothing when leptonica cannot.
std::optional<PixRef> scaled(Pix* pix, float factor) {
  PixRef out(pixScale(pix, factor, factor));
  if (!out.pix) return std::nullopt;
  return out;
}

// The share of `centres` that lie in one of `blocks`.
float coveredShare(const std::vector<Box>& blocks,
                   const std::vector<std::pair<int, int>>& centres) {
  if (centres.empty()) return 1;
  std::size_t covered = 0;
  for (const auto& [x, y] : centres) {
    for (const Box& box : blocks) {
      if (x >= box.left && x < box.right && y >= box.top && y < box.bottom) {
        ++covered;
        break;
      }
    }
  }
  return static_cast<float>(covered) / static_cast<float>(centres.size());
}

// How much the page is reduced for its layout: 1 when its words are no
// higher than kLayoutWordHeight.
float layoutScale(const Layout& layout) {
  if (layout.medianWordHeight <= 0) return 1;
  return std::clamp(kLayoutWordHeight / static_cast<float>(layout.medianWordHeight),
                    kSmallestLayoutScale, 1.0f);
}

// The text blocks of the page in reading order, in the coordinates of
// `pix`, found on a copy reduced to kLayoutWordHeight; empty when the page
// is read as one block.
std::optional<std::vector<Box>> pageBlocks(tesseract::TessBaseAPI& engine, Pix* pix, double ppi,
                                           const Layout& layout) {
  if (layout.rows < kFewestRowsForLayout || layout.medianWordHeight <= 0) return std::vector<Box>{};
  const float factor = layoutScale(layout);
  if (factor > kLargestUnreducedScale) return textBlocks(engine);  // laid out already
  const std::optional<PixRef> reduced = scaled(pix, factor);
  if (!reduced) return std::nullopt;
  engine.SetPageSegMode(tesseract::PSM_AUTO);
  setImage(engine, reduced->pix, ppi > 0 ? ppi * factor : 0);
  std::vector<Box> blocks = textBlocks(engine);
  for (Box& box : blocks) {
    box = Box{static_cast<int>(static_cast<float>(box.left) / factor),
              static_cast<int>(static_cast<float>(box.top) / factor),
              static_cast<int>(static_cast<float>(box.right) / factor),
              static_cast<int>(static_cast<float>(box.bottom) / factor)};
  }
  return blocks;
}

// How much the page is enlarged before it is read: 1 when it is read at its
// size.
float recognitionScale(const Layout& layout, bool inBlocks, Pix* pix) {
  if (layout.medianWordHeight <= 0) return 1;
  const auto wordHeight = static_cast<float>(layout.medianWordHeight);
  const float pixels = static_cast<float>(pixGetWidth(pix)) * static_cast<float>(pixGetHeight(pix));
  if (!inBlocks) {
    return wordHeight < kRecognitionWordHeight && pixels <= kLargestShortPage
               ? std::min(kLargestRecognitionScale, kRecognitionWordHeight / wordHeight)
               : 1;
  }
  if (wordHeight >= kSmallWordHeight || pixels > kLargestSmallPage) return 1;
  return std::min(kLargestSmallTextScale, kSmallTextWordHeight / wordHeight);
}

constexpr int kHalfTurn = 2;  // quarter turns

// Whether `pix` is a strip of a few rows (a label, a line of text): it
// costs little to read, so when its rows lie across it, it is read before
// its orientation is known, and its own reading tells.
bool isStrip(const Layout& layout, Pix* pix) {
  const float pixels = static_cast<float>(pixGetWidth(pix)) * static_cast<float>(pixGetHeight(pix));
  return layout.rows < kFewestRowsForLayout && pixels <= kLargestShortPage;
}

// Turns the page by `turns` quarter turns clockwise and lays it out again.
bool turnPage(tesseract::TessBaseAPI& engine, PixRef& pix, double ppi, int turns, Layout& layout) {
  PixRef turned(pixRotateOrth(pix.pix, turns));
  if (!turned.pix) return false;
  pix = std::move(turned);
  engine.SetPageSegMode(tesseract::PSM_AUTO);
  setImage(engine, pix.pix, ppi);
  layout = layoutOf(engine);
  return true;
}

// The text of `pix`, laid out as `layout`, read block by block; `found`
// holds its blocks when they were found already. Nothing when the deadline
// passed or memory ran out. `read` gets the confidence of the words read.
std::optional<std::string> readPage(tesseract::TessBaseAPI& engine, Pix* page, double ppi,
                                    const Layout& layout, std::optional<std::vector<Box>> found,
                                    tesseract::ETEXT_DESC& monitor, const Budget& budget,
                                    Confidence& read) {
  if (!found) found = pageBlocks(engine, page, ppi, layout);
  if (!found) return std::nullopt;
  std::vector<Box> blocks = *found;
  // The reduced layout sometimes drops whole paragraphs of a slightly
  // skewed page; the page is then read as one block rather than in part.
  if (!blocks.empty() && coveredShare(blocks, layout.wordCentres) < kLeastCoveredWords) {
    blocks.clear();
  }

  const float factor = recognitionScale(layout, !blocks.empty(), page);
  std::optional<PixRef> enlarged;
  if (factor > 1) {
    enlarged = scaled(page, factor);
    if (!enlarged) return std::nullopt;
    page = enlarged->pix;
    if (ppi > 0) ppi *= factor;
  }
  const int width = pixGetWidth(page), height = pixGetHeight(page);
  // Blocks from the layout of the page at its size, read at its size (small
  // print on a large page, a form at 200 dpi): the engine reads the page in
  // its own layout, which finds the same blocks, rather than laying out
  // each block again. The forms read better so, and about as fast as the
  // stock tool.
  if (factor == 1 && !blocks.empty() && layoutScale(layout) > kLargestUnreducedScale) {
    blocks.assign(1, Box{0, 0, width, height});
    engine.SetPageSegMode(tesseract::PSM_AUTO);
  } else {
    engine.SetPageSegMode(tesseract::PSM_SINGLE_BLOCK);
  }
  setImage(engine, page, ppi);
  // The whole page when no block was found.
  if (blocks.empty()) blocks.push_back(Box{0, 0, width, height});
  // Rounding of the two scalings must not clip the glyphs at a block's edge.
  const int margin = static_cast<int>(static_cast<float>(layout.medianWordHeight) * factor / 4);
  std::string joined;
  int kept = 0;
  for (const Box& block : blocks) {
    const int left =
        std::max(0, static_cast<int>(static_cast<float>(block.left) * factor) - margin);
    const int top = std::max(0, static_cast<int>(static_cast<float>(block.top) * factor) - margin);
    const int right =
        std::min(width, static_cast<int>(static_cast<float>(block.right) * factor) + margin);
    const int bottom =
        std::min(height, static_cast<int>(static_cast<float>(block.bottom) * factor) + margin);
    if (right <= left || bottom <= top) continue;
    engine.SetRectangle(left, top, right - left, bottom - top);
    if (budget.spent() || engine.Recognize(&monitor) != 0) {
      engine.Clear();
      return std::nullopt;
    }
    addConfidence(engine, read);
    appendLines(joined, kept, recognisedLines(engine, height));
    if (kept >= kMaximumLines) break;
  }
  engine.Clear();
  return joined;
}

std::optional<std::string> recognizeWith(Engines& engines, const Bitmap& given,
                                         int deadlineMilliseconds) {
  if (!wellFormed(given)) return std::nullopt;
  Budget budget{threadMilliseconds() + deadlineMilliseconds};
  tesseract::ETEXT_DESC monitor;
  monitor.cancel = &Budget::cancel;
  monitor.cancel_this = &budget;

  PixRef pix = pixOf(given);
  if (!pix.pix) return std::nullopt;
  const double ppi = given.pixelsPerInch;

  tesseract::TessBaseAPI& engine = *engines.text;
  engine.SetPageSegMode(tesseract::PSM_AUTO);
  setImage(engine, pix.pix, ppi);
  Layout layout = layoutOf(engine);
  Confidence read;
  const std::vector<Box> lines = sampleLines(layout);
  if (isStrip(layout, pix.pix) && !lines.empty()) {
    std::optional<std::string> text =
        readPage(engine, pix.pix, ppi, layout, std::nullopt, monitor, budget, read);
    if (!text || readsUpright(read)) return text;
    // The model needs more glyphs than a strip of two or three rows has: a
    // strip it leaves as it is is also read upside down, and kept so when
    // that reads the right way up.
    const int turns = uprightTurns(engines, pix.pix, ppi);
    if (!turnPage(engine, pix, ppi, turns == 0 ? kHalfTurn : turns, layout)) return std::nullopt;
    Confidence turnedRead;
    std::optional<std::string> turnedText =
        readPage(engine, pix.pix, ppi, layout, std::nullopt, monitor, budget, turnedRead);
    if (turnedText && turns == 0 && !readsUpright(turnedRead)) return text;
    return turnedText;
  }
  // Blocks that reuse the engine's layout are found before any sample is
  // read: reading a part of the page drops that layout.
  std::optional<std::vector<Box>> found;
  if (layoutScale(layout) > kLargestUnreducedScale) {
    found = pageBlocks(engine, pix.pix, ppi, layout);
    if (!found) return std::nullopt;
  }
  Sample sample = Sample::unsure;
  if (!lines.empty()) sample = readSample(engine, pix.pix, ppi, lines, monitor);
  if (sample == Sample::cancelled) {
    engine.Clear();
    return std::nullopt;
  }
  if (sample == Sample::unsure) {
    if (const int turns = uprightTurns(engines, pix.pix, ppi); turns != 0) {
      if (!turnPage(engine, pix, ppi, turns, layout)) return std::nullopt;
      found.reset();
    }
  }
  return readPage(engine, pix.pix, ppi, layout, std::move(found), monitor, budget, read);
}

RecognizeFunction engineRecognizer(int deadlineMilliseconds) {
  auto engines = std::make_shared<Engines>();
  return [engines, deadlineMilliseconds](const Bitmap& bitmap) -> std::optional<std::string> {
    if (!engines->text) {
      auto made = std::make_unique<tesseract::TessBaseAPI>();
      if (made->Init(kModelDirectory, kLanguages, tesseract::OEM_LSTM_ONLY) != 0) {
        return std::nullopt;
      }
      // A line that reads badly is not read a second time inverted: light
      // text on dark read no worse without it, and the second reading cost
      // up to a third of the time of a poor scan.
      made->SetVariable(kInvertBadLines, "0");
      engines->text = std::move(made);
    }
    return recognizeWith(*engines, bitmap, deadlineMilliseconds);
  };
}

}  // namespace
}  // namespace fileprobe

extern "C" [[gnu::visibility("default")]] void fileprobeRecognizer(
    int deadlineMilliseconds, fileprobe::RecognizeFunction& out) {
  out = fileprobe::engineRecognizer(deadlineMilliseconds);
}

static_assert(std::is_same_v<decltype(fileprobeRecognizer), fileprobe::RecognizerEntry>);
