// Text recognition through tesseract: this file only drives the engine.
// It lays the page out, reads sample lines, asks the orientation model and
// reads the regions of the plan; every choice between ways of reading is
// made by reading_plan.cc from what the engine measured.
#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include <time.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "extraction/helper/helper_bindings.h"
#include "extraction/helper/reading_plan.h"

namespace fileprobe {
namespace {

using reading::Box;
using reading::Confidence;

// Found when the build is configured; passed explicitly so that no
// variable of any environment chooses the models.
constexpr const char* kModelDirectory = FILEPROBE_TESSDATA_DIR;
// Korean first: the engine then resolves ambiguous glyphs towards Hangul.
constexpr const char* kLanguages = "kor+eng";
constexpr const char* kKorean = "kor";
constexpr std::string_view kEnglish = "eng";
// The orientation-and-script model; it runs only on the legacy engine.
constexpr const char* kOrientationModel = "osd";
// Lines lower than this share of the image are specks and rules.
constexpr float kMinimumTextHeight = 0.004f;
constexpr const char* kInvertBadLines = "tessedit_do_invert";
constexpr int kMaximumLines = 1200;
// Whether the layout looks for lines of upright script (Chinese or
// Japanese written down the page). Neither model reads such lines.
constexpr const char* kFindUprightLines = "textord_tabfind_vertical_text";
// What the engine assumes itself for an image that records no density.
constexpr int kUnknownPixelsPerInch = 70;
// The orientation model classifies a sample of the page's glyphs, up to
// five times this many; at 100 glyphs it costs about half its usual 250.
constexpr const char* kOrientationGlyphs = "min_characters_to_try";
constexpr const char* kOrientationLookGlyphs = "20";
// One sample line that reads this well settles the page as upright. Once
// the sample has read Hangul, half as many characters do: a syllable is two
// or three letters, and the sample has also settled that the page's print
// is not Latin alone, which is all a second line would tell.
constexpr double kSureUprightConfidence = 85;
constexpr std::size_t kSureUprightCharacters = 20;
constexpr std::size_t kSureUprightHangulCharacters = 10;

struct Engines {
  std::unique_ptr<tesseract::TessBaseAPI> text;
  std::unique_ptr<tesseract::TessBaseAPI> orientation;
  bool orientationTried = false;
  // The Korean model alone, for words the two models read doubtfully.
  std::unique_ptr<tesseract::TessBaseAPI> korean;
  bool koreanTried = false;
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

// A copy of `box` of `pix`; nothing when memory ran out.
PixRef copyOf(Pix* pix, const Box& box) {
  BOX* clip = boxCreate(box.left, box.top, box.width(), box.height());
  if (!clip) return PixRef();
  PixRef out(pixClipRectangle(pix, clip, nullptr));
  boxDestroy(&clip);
  return out;
}

// `pix` scaled by `factor`, or nothing when leptonica cannot.
std::optional<PixRef> scaled(Pix* pix, float factor) {
  PixRef out(pixScale(pix, factor, factor));
  if (!out.pix) return std::nullopt;
  return out;
}

void setImage(tesseract::TessBaseAPI& engine, Pix* pix, double pixelsPerInch) {
  engine.SetImage(pix);
  engine.SetSourceResolution(pixelsPerInch > 0 ? static_cast<int>(std::lround(pixelsPerInch))
                                               : kUnknownPixelsPerInch);
}

// The grey levels of `pix`, an 8-bit grey image, row after row.
std::vector<unsigned char> packedBytes(Pix* pix) {
  const int width = pixGetWidth(pix), height = pixGetHeight(pix);
  const int wordsPerLine = pixGetWpl(pix);
  std::vector<unsigned char> packed(static_cast<std::size_t>(width) *
                                    static_cast<std::size_t>(height));
  const l_uint32* data = pixGetData(pix);
  for (int y = 0; y < height; ++y) {
    const l_uint32* line =
        data + static_cast<std::size_t>(y) * static_cast<std::size_t>(wordsPerLine);
    for (int x = 0; x < width; ++x) {
      packed[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
             static_cast<std::size_t>(x)] = static_cast<unsigned char>(GET_DATA_BYTE(line, x));
    }
  }
  return packed;
}

// Dark pixels per column and per row of `pix`, an 8-bit grey image, and
// per column on the rows none of `shapes` lies on.
reading::Ink inkOf(Pix* pix, const std::vector<Box>& shapes) {
  return reading::inkOf(packedBytes(pix).data(), pixGetWidth(pix), pixGetHeight(pix), shapes);
}

// The paper's level is found in tiles of kPaperTileWidth x kPaperTileHeight
// pixels (leptonica's own) from the pixels lighter than kDarkestPaper; a
// tile with fewer than kFewestPaperPixels of them takes its neighbours'
// level. Paper at the dark edge of a photo is darker than leptonica's own
// 100; print is darker still than 40. Evening the lighting out scales each
// pixel so that its paper reads kEvenPaper.
constexpr l_int32 kPaperTileWidth = 10;
constexpr l_int32 kPaperTileHeight = 15;
constexpr l_int32 kDarkestPaper = 40;
constexpr l_int32 kFewestPaperPixels = 40;
constexpr l_int32 kEvenPaper = 200;
constexpr l_int32 kPaperSmoothingAcross = 2;
constexpr l_int32 kPaperSmoothingDown = 1;

// Whether `pix`, an 8-bit grey image of dark print on light paper, is lit
// unevenly; not when leptonica cannot tell.
bool unevenlyLit(Pix* pix) {
  Pix* map = nullptr;
  if (pixGetBackgroundGrayMap(pix, nullptr, kPaperTileWidth, kPaperTileHeight, kDarkestPaper,
                              kFewestPaperPixels, &map) != 0 ||
      !map) {
    return false;
  }
  const PixRef owned(map);
  return reading::unevenlyLit(packedBytes(owned.pix));
}

// `pix` evenly lit where it is lit unevenly (as a photo taken under a lamp
// to one side is), so that one threshold parts its print from its paper;
// `pix` as it is otherwise, or when leptonica cannot. `threshold`: the
// grey level at or below which a pixel of `pix` is dark, made that of the
// image returned.
PixRef evenlyLit(PixRef pix, int& threshold) {
  if (!unevenlyLit(pix.pix)) return pix;
  PixRef out(pixBackgroundNorm(pix.pix, nullptr, nullptr, kPaperTileWidth, kPaperTileHeight,
                               kDarkestPaper, kFewestPaperPixels, kEvenPaper, kPaperSmoothingAcross,
                               kPaperSmoothingDown));
  if (!out.pix) return pix;
  threshold =
      reading::greyOf(packedBytes(out.pix).data(), pixGetWidth(out.pix), pixGetHeight(out.pix))
          .darkThreshold;
  return out;
}

// The skew measure tries turns up to kSkewSweepDegrees either way, a degree
// apart, on a copy reduced by kSkewSweepReduction, then narrows the best
// down to kSkewSearchStep on a copy reduced by kSkewSearchReduction. Its
// own default of 7 degrees leaves out scans turned by 6 or 7: it distrusts
// an angle within a step of the edge of its sweep.
constexpr int kSkewSweepReduction = 4;
constexpr int kSkewSearchReduction = 2;
constexpr l_float32 kSkewSweepDegrees = 12;
constexpr l_float32 kSkewSweepStep = 1;
constexpr l_float32 kSkewSearchStep = 0.01f;

// `pix` turned to level its lines where the skew measure is sure that they
// lie askew, grown so that its corners stay (white brought in); `pix` as
// it is otherwise, or when leptonica cannot. `threshold`: the grey level
// at or below which a pixel is dark.
PixRef levelled(PixRef pix, int threshold) {
  const PixRef binary(pixThresholdToBinary(pix.pix, threshold + 1));
  l_float32 degrees = 0, confidence = 0;
  if (!binary.pix ||
      pixFindSkewSweepAndSearch(binary.pix, &degrees, &confidence, kSkewSweepReduction,
                                kSkewSearchReduction, kSkewSweepDegrees, kSkewSweepStep,
                                kSkewSearchStep) != 0) {
    return pix;
  }
  const double turn = reading::levellingDegrees(reading::Skew{degrees, confidence});
  if (turn == 0) return pix;
  constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180;
  PixRef out(pixRotate(pix.pix, static_cast<l_float32>(turn * kRadiansPerDegree), L_ROTATE_AREA_MAP,
                       L_BRING_IN_WHITE, pixGetWidth(pix.pix), pixGetHeight(pix.pix)));
  return out.pix ? std::move(out) : std::move(pix);
}

constexpr int kLightest = 255;  // of an 8-bit grey pixel

// How deep into the image its edges are measured: a glyph that a close
// crop cuts at the edge darkens a share of the image's outermost pixels, but
// little of a band this deep.
constexpr double kEdgeDepth = 0.02;
constexpr int kLeastEdgeDepth = 4;

// The share of dark pixels in a band along each edge of `binary`, a 1-bit
// image, kEdgeDepth of its size deep.
reading::Edges edgesOf(Pix* binary) {
  const int width = pixGetWidth(binary), height = pixGetHeight(binary);
  const auto depth = [](int size) {
    return std::min(size, std::max(kLeastEdgeDepth, static_cast<int>(kEdgeDepth * size)));
  };
  const int across = depth(height), down = depth(width);
  const auto darkShare = [binary](int left, int top, int w, int h) {
    BOX* band = boxCreate(left, top, w, h);
    l_int32 dark = 0;
    if (!band || pixCountPixelsInRect(binary, band, &dark, nullptr) != 0) dark = 0;
    boxDestroy(&band);
    return static_cast<double>(dark) / (static_cast<double>(w) * static_cast<double>(h));
  };
  return reading::Edges{darkShare(0, 0, width, across),
                        darkShare(0, height - across, width, across), darkShare(0, 0, down, height),
                        darkShare(width - down, 0, down, height)};
}

// Surroundings reach along at least 1 / kSurroundingsReach of the image's
// width or height: half of it.
constexpr l_int32 kSurroundingsReach = 2;

// The dark surroundings of the paper in `pix`, as a mask of them; nothing
// when it has none, or when leptonica cannot tell. A table or a book's edge
// around the paper joins the print into one shape that the layout takes
// for a single word, and its grain is read as letters. `threshold`: the
// grey level at or below which a pixel is dark.
std::optional<PixRef> surroundingsOf(Pix* pix, int threshold) {
  const PixRef binary(pixThresholdToBinary(pix, threshold + 1));
  if (!binary.pix) return std::nullopt;
  const reading::Edges edges = edgesOf(binary.pix);
  const PixRef border(pixExtractBorderConnComps(binary.pix, 8));
  if (!border.pix) return std::nullopt;
  // Glyphs that a close crop cuts at the image's edge touch it too, and
  // lines of them where they run together; surroundings reach along the
  // edge for a good part of the image.
  PixRef touching(pixSelectBySize(border.pix, pixGetWidth(pix) / kSurroundingsReach,
                                  pixGetHeight(pix) / kSurroundingsReach, 8, L_SELECT_IF_EITHER,
                                  L_SELECT_IF_GTE, nullptr));
  l_int32 dark = 0;
  if (!touching.pix || pixCountPixels(touching.pix, &dark, nullptr) != 0) return std::nullopt;
  const double share = static_cast<double>(dark) / (static_cast<double>(pixGetWidth(pix)) *
                                                    static_cast<double>(pixGetHeight(pix)));
  if (!reading::darkSurroundings(edges, share)) return std::nullopt;
  return touching;
}

// Pixels a mask of surroundings is grown by, so that the blur and the
// shadow at the paper's edge go with them.
constexpr l_int32 kSurroundingsGrowth = 5;
// Most of a page is its paper, lighter than its print and surroundings: the
// grey at this rank from the darkest is the paper's.
constexpr l_float32 kPaperRank = 0.9f;

// The grey of the paper of `pix`, an 8-bit grey image.
l_uint32 paperGrey(Pix* pix) {
  l_uint32 paper = kLightest;
  pixGetRankValue(pix, 1, kPaperRank, &paper);
  // The rank of a page whose paper is white comes back as 256, which an
  // 8-bit pixel takes for 0: the mask would be painted black.
  return std::min<l_uint32>(paper, kLightest);
}

// Paints the pixels of `pix` under `mask`, grown by `growth`, the grey of
// its paper.
void paintOut(Pix* pix, Pix* mask, l_int32 growth) {
  const PixRef grown(pixDilateBrick(nullptr, mask, growth, growth));
  pixPaintThroughMask(pix, grown.pix ? grown.pix : mask, 0, 0, paperGrey(pix));
}

// A rule's box is at least this many times as long as it is broad, and a
// rule levelled to half a degree still is.
constexpr l_float32 kRuleShape = 20;
// A rule is painted out with the pixel beside it on either side: the grey
// edges of a scanned rule, left behind, would still read as a line.
constexpr l_int32 kRuleGrowth = 3;

// The rules of `dark`, a 1-bit image, across or down: runs at least
// `length` long, where they are at most `thickness` thick; nothing when
// leptonica cannot tell.
std::optional<PixRef> straightRuns(Pix* dark, int length, int thickness, bool across) {
  PixRef runs(across ? pixOpenCompBrick(nullptr, dark, length, 1)
                     : pixOpenCompBrick(nullptr, dark, 1, length));
  if (!runs.pix) return std::nullopt;
  // What is thicker the other way is a bar or print run together, and stays.
  const PixRef thick(across ? pixOpenCompBrick(nullptr, runs.pix, 1, thickness + 1)
                            : pixOpenCompBrick(nullptr, runs.pix, thickness + 1, 1));
  if (!thick.pix) return std::nullopt;
  pixSubtract(runs.pix, runs.pix, thick.pix);
  // A rule is straight: what lies askew or bends (the torn edge of a page
  // on a dark scanner lid, cut thin where it meets the paper) is far less
  // long for its breadth.
  PixRef straight(pixSelectByWidthHeightRatio(runs.pix, across ? kRuleShape : 1 / kRuleShape, 8,
                                              across ? L_SELECT_IF_GTE : L_SELECT_IF_LTE, nullptr));
  if (!straight.pix) return std::nullopt;
  return straight;
}

// Whether `pix`, a 1-bit image, has no pixel set.
bool blank(Pix* pix) {
  l_int32 none = 1;
  pixZero(pix, &none);
  return none != 0;
}

// The rules and borders of `pix`, an 8-bit grey image whose pixels at or
// below `threshold` are dark: dark runs across or down at least `length`
// long, where they are at most `thickness` thick; nothing when it has none
// or leptonica cannot tell.
std::optional<PixRef> rulesOf(Pix* pix, int threshold, int length, int thickness) {
  const PixRef dark(pixThresholdToBinary(pix, threshold + 1));
  PixRef rules(pixCreate(pixGetWidth(pix), pixGetHeight(pix), 1));
  if (!dark.pix || !rules.pix) return std::nullopt;
  for (const bool across : {true, false}) {
    const std::optional<PixRef> runs = straightRuns(dark.pix, length, thickness, across);
    if (!runs) return std::nullopt;
    pixOr(rules.pix, rules.pix, runs->pix);
  }
  if (blank(rules.pix)) return std::nullopt;
  return rules;
}

// Owns a leptonica array of boxes.
struct BoxaRef {
  Boxa* boxa = nullptr;
  explicit BoxaRef(Boxa* b) : boxa(b) {}
  BoxaRef(const BoxaRef&) = delete;
  BoxaRef& operator=(const BoxaRef&) = delete;
  ~BoxaRef() {
    if (boxa) boxaDestroy(&boxa);
  }
};

// A page as it is read: its pixels and what its layout showed.
struct Page {
  PixRef pix;
  double ppi = 0;
  int darkThreshold = 0;  // of the image as lit for reading, whichever way it is turned
  reading::Layout layout;
  reading::Measures measures;
  std::vector<Box> blocks;  // found at the page's size, in reading order
};

bool isTextBlock(tesseract::PageIterator& at) { return PTIsTextType(at.BlockType()); }

// Lays `page` out at its size: lines, words and text blocks.
void layOutAsItIs(tesseract::TessBaseAPI& engine, Page& page) {
  page.layout =
      reading::Layout{pixGetWidth(page.pix.pix), pixGetHeight(page.pix.pix), {}, {}, {}, {}, {}};
  page.blocks.clear();
  engine.SetPageSegMode(tesseract::PSM_AUTO);
  setImage(engine, page.pix.pix, page.ppi);
  const std::unique_ptr<tesseract::PageIterator> at(engine.AnalyseLayout());
  if (at && !at->Empty(tesseract::RIL_WORD)) {
    do {
      Box box;
      if (at->IsAtBeginningOf(tesseract::RIL_BLOCK) && isTextBlock(*at) &&
          at->BoundingBox(tesseract::RIL_BLOCK, &box.left, &box.top, &box.right, &box.bottom)) {
        page.blocks.push_back(box);
      }
      if (at->IsAtBeginningOf(tesseract::RIL_TEXTLINE) &&
          at->BoundingBox(tesseract::RIL_TEXTLINE, &box.left, &box.top, &box.right, &box.bottom)) {
        page.layout.lines.push_back(box);
      }
      if (at->BoundingBox(tesseract::RIL_WORD, &box.left, &box.top, &box.right, &box.bottom)) {
        page.layout.words.push_back(box);
      }
    } while (at->Next(tesseract::RIL_WORD));
  }
  page.measures = reading::measure(page.layout);
  reading::Ink ink = inkOf(page.pix.pix, reading::tallShapes(page.layout, page.measures));
  page.layout.inkPerColumn = std::move(ink.perColumn);
  page.layout.inkPerRow = std::move(ink.perRow);
  page.layout.inkPerColumnBesideShapes = std::move(ink.perColumnBesideShapes);
}

// Adds to `mask` the pieces of `dark`, a 1-bit image, that lie within
// `columns` widened by `margin` on either side: the dots or dashes of a
// rule there. A piece that reaches the widened edge belongs to print
// crossing the columns (a headline over two of them) and stays. False when
// leptonica cannot tell.
bool addDotsWithin(Pix* dark, const Box& columns, int margin, Pix* mask) {
  const Box widened{std::max(0, columns.left - margin), columns.top,
                    std::min(pixGetWidth(dark), columns.right + margin), columns.bottom};
  const PixRef stripe = copyOf(dark, widened);
  if (!stripe.pix) return false;
  const BoxaRef pieces(pixConnComp(stripe.pix, nullptr, 8));
  if (!pieces.boxa) return false;
  for (l_int32 i = 0; i < boxaGetCount(pieces.boxa); ++i) {
    l_int32 x = 0, y = 0, w = 0, h = 0;
    if (boxaGetBoxGeometry(pieces.boxa, i, &x, &y, &w, &h) != 0) continue;
    if (x == 0 || x + w == widened.width()) continue;
    pixRasterop(mask, widened.left + x, widened.top + y, w, h, PIX_PAINT, stripe.pix, x, y);
  }
  return true;
}

// The rules down `page` that join columns in its layout; nothing when it
// has none or leptonica cannot tell. They are found among the pixels
// darker than halfway from the print's threshold to the paper: a thin
// rule, scanned or levelled, is grey, and at the print's threshold it
// breaks into dashes too short to find, which the layout still joins to
// the columns beside them. A rule of dots or dashes is found by its ink
// down the page, and its pieces are taken.
std::optional<PixRef> columnRulesOf(const Page& page) {
  if (reading::barelyLaidOut(page.measures) || page.measures.wordHeight <= 0) return std::nullopt;
  const reading::RuleSize size = reading::ruleSize(page.measures);
  Pix* pix = page.pix.pix;
  const int halfway = (page.darkThreshold + static_cast<int>(paperGrey(pix))) / 2;
  const PixRef dark(pixThresholdToBinary(pix, std::max(page.darkThreshold, halfway) + 1));
  if (!dark.pix) return std::nullopt;
  const std::optional<PixRef> down = straightRuns(dark.pix, size.shortest, size.thickest, false);
  if (!down) return std::nullopt;
  const std::vector<Box> joined = reading::joinedLinePieces(page.blocks, page.measures);
  const BoxaRef found(pixConnComp(down->pix, nullptr, 8));
  PixRef rules(pixCreate(pixGetWidth(pix), pixGetHeight(pix), 1));
  if (!found.boxa || !rules.pix) return std::nullopt;
  for (l_int32 i = 0; i < boxaGetCount(found.boxa); ++i) {
    l_int32 x = 0, y = 0, w = 0, h = 0;
    if (boxaGetBoxGeometry(found.boxa, i, &x, &y, &w, &h) != 0) continue;
    if (reading::joinsColumns(Box{x, y, x + w, y + h}, page.layout, page.measures, joined)) {
      pixRasterop(rules.pix, x, y, w, h, PIX_PAINT, down->pix, x, y);
    }
  }
  for (const Box& thin : reading::thinRulesDown(page.layout, page.measures)) {
    if (reading::joinsColumns(thin, page.layout, page.measures, joined) &&
        !addDotsWithin(dark.pix, thin, size.thickest, rules.pix)) {
      return std::nullopt;
    }
  }
  if (blank(rules.pix)) return std::nullopt;
  return rules;
}

// Lays `page` out; where rules down it join columns in the layout, it is
// laid out again with those rules painted out.
void layOut(tesseract::TessBaseAPI& engine, Page& page) {
  layOutAsItIs(engine, page);
  const std::optional<PixRef> rules = columnRulesOf(page);
  if (!rules) return;
  paintOut(page.pix.pix, rules->pix, kRuleGrowth);
  layOutAsItIs(engine, page);
}

// `page`, which lies upright though its layout found words standing on
// end, laid out again as lines across: the layout took the columns of a
// page of Hangul beside a picture for lines of upright script, and their
// "words", hundreds of pixels high, for the size of its print.
Page laidOutAcross(tesseract::TessBaseAPI& engine, Page page) {
  engine.SetVariable(kFindUprightLines, "0");
  layOut(engine, page);
  engine.SetVariable(kFindUprightLines, "1");
  return page;
}

// The text blocks of `page`, found on a copy reduced to the layout's word
// size and given in the page's coordinates; nothing when no copy can be made.
std::optional<std::vector<Box>> reducedBlocks(tesseract::TessBaseAPI& engine, const Page& page,
                                              float factor) {
  const std::optional<PixRef> reduced = scaled(page.pix.pix, factor);
  if (!reduced) return std::nullopt;
  engine.SetPageSegMode(tesseract::PSM_AUTO);
  setImage(engine, reduced->pix, page.ppi > 0 ? page.ppi * factor : 0);
  std::vector<Box> blocks;
  const std::unique_ptr<tesseract::PageIterator> at(engine.AnalyseLayout());
  if (!at || at->Empty(tesseract::RIL_BLOCK)) return blocks;
  do {
    Box box;
    if (isTextBlock(*at) &&
        at->BoundingBox(tesseract::RIL_BLOCK, &box.left, &box.top, &box.right, &box.bottom)) {
      const auto back = [factor](int v) {
        return static_cast<int>(static_cast<float>(v) / factor);
      };
      blocks.push_back(Box{back(box.left), back(box.top), back(box.right), back(box.bottom)});
    }
  } while (at->Next(tesseract::RIL_BLOCK));
  return blocks;
}

std::size_t characterCount(const char* utf8) {
  std::size_t count = 0;
  for (const char* at = utf8; *at != '\0'; ++at) {
    if ((static_cast<unsigned char>(*at) & 0xC0) != 0x80) ++count;  // not a continuation byte
  }
  return count;
}

// A word of nothing but spaces: the engine gives one for a table's frame
// or a picture in its layout, with a box over all it holds.
bool blankWord(const char* utf8) { return reading::cleanLine(utf8).empty(); }

void addConfidence(tesseract::TessBaseAPI& engine, Confidence& sum) {
  const std::unique_ptr<tesseract::ResultIterator> word(engine.GetIterator());
  if (!word || word->Empty(tesseract::RIL_WORD)) return;
  do {
    const std::unique_ptr<char[]> text(word->GetUTF8Text(tesseract::RIL_WORD));
    if (!text || blankWord(text.get())) continue;
    sum.add(static_cast<double>(word->Confidence(tesseract::RIL_WORD)), characterCount(text.get()));
  } while (word->Next(tesseract::RIL_WORD));
}

// A word read, with its place in the image the engine read.
struct PlacedWord {
  reading::Word word;
  Box box;
  bool spaceBefore = false;  // Hangul words of one line may stand without one
  // A doubtful word's pixels, kept to be read again by the Korean model
  // once its reading stands (see correctDoubtfulWords).
  PixRef doubt;
};

using Lines = std::vector<std::vector<PlacedWord>>;

// The engine's last recognition, word by word and line by line; lines
// lower than kMinimumTextHeight of the image and empty lines are left out.
Lines recognisedLines(tesseract::TessBaseAPI& engine, int imageHeight) {
  const float minimumHeight = kMinimumTextHeight * static_cast<float>(imageHeight);
  Lines lines;
  const std::unique_ptr<tesseract::ResultIterator> at(engine.GetIterator());
  if (!at || at->Empty(tesseract::RIL_WORD)) return lines;
  bool keepLine = false;
  do {
    if (at->IsAtBeginningOf(tesseract::RIL_TEXTLINE)) {
      Box line;
      keepLine = at->BoundingBox(tesseract::RIL_TEXTLINE, &line.left, &line.top, &line.right,
                                 &line.bottom) &&
                 static_cast<float>(line.height()) >= minimumHeight;
      if (keepLine) lines.emplace_back();
    }
    if (!keepLine) continue;
    const std::unique_ptr<char[]> text(at->GetUTF8Text(tesseract::RIL_WORD));
    PlacedWord placed;
    if (!text || blankWord(text.get()) ||
        !at->BoundingBox(tesseract::RIL_WORD, &placed.box.left, &placed.box.top, &placed.box.right,
                         &placed.box.bottom)) {
      continue;
    }
    const char* language = at->WordRecognitionLanguage();
    placed.word =
        reading::Word{text.get(), static_cast<double>(at->Confidence(tesseract::RIL_WORD)),
                      language != nullptr && std::string_view(language) == kEnglish};
    placed.spaceBefore = at->BlanksBeforeWord() > 0;
    lines.back().push_back(std::move(placed));
  } while (at->Next(tesseract::RIL_WORD));
  return lines;
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

// Runs the engine over rectangles of one image, within the budget. Each
// rectangle is handed to the engine as an image of its own: given a
// rectangle of a larger image, its line recognizer reads lines from the
// wrong place, and a band of one line comes back as noise.
struct Reader {
  Engines& engines;
  tesseract::ETEXT_DESC& monitor;
  const Budget& budget;
  PixRef rectangle;        // a copy of the rectangle the engine reads now
  Pix* current = nullptr;  // the image the engine reads now; its results point into it

  tesseract::TessBaseAPI& engine() { return *engines.text; }

  bool recognize(Pix* pix, double pixelsPerInch, const Box& box, tesseract::PageSegMode mode) {
    if (budget.spent()) return false;
    if (box == Box{0, 0, pixGetWidth(pix), pixGetHeight(pix)}) {
      current = pix;
    } else {
      rectangle = copyOf(pix, box);
      if (!rectangle.pix) return false;
      current = rectangle.pix;
    }
    setImage(engine(), current, pixelsPerInch);
    engine().SetPageSegMode(mode);
    return engine().Recognize(&monitor) == 0;
  }
};

// A reading: its lines (nothing when the time ran out or memory did), whose
// doubtful words are still to be read again, and how confidently its words
// were read.
struct Reading {
  std::optional<Lines> lines;
  double ppi = 0;  // of the image the lines were read from
  Confidence confidence;
  // Every word read was Latin: so far only a sample's finding.
  bool latinOnly = false;
  // Some words lay over words of another line (see reading::readsInkTwice).
  bool inkReadTwice = false;
};

// Box `region` of the page, scaled by `factor`, with a margin so that the
// rounding of the scalings does not clip glyphs at its edge.
Box scaledRegion(const Box& region, float factor, int margin, int width, int height) {
  const auto at = [factor](int v) { return static_cast<int>(static_cast<float>(v) * factor); };
  return Box{std::max(0, at(region.left) - margin), std::max(0, at(region.top) - margin),
             std::min(width, at(region.right) + margin),
             std::min(height, at(region.bottom) + margin)};
}

// The Korean model alone, made the first time a word needs it; nothing
// when it cannot be.
tesseract::TessBaseAPI* koreanEngine(Engines& engines) {
  if (!engines.koreanTried) {
    engines.koreanTried = true;
    auto made = std::make_unique<tesseract::TessBaseAPI>();
    if (made->Init(kModelDirectory, kKorean, tesseract::OEM_LSTM_ONLY) == 0) {
      made->SetVariable(kInvertBadLines, "0");
      engines.korean = std::move(made);
    }
  }
  return engines.korean.get();
}

// A word's pixels, read again by the Korean model alone as one line;
// nothing when they cannot be.
std::optional<reading::Word> readInKorean(Reader& reader, Pix* word, double ppi) {
  tesseract::TessBaseAPI* korean = koreanEngine(reader.engines);
  if (!korean || reader.budget.spent()) return std::nullopt;
  setImage(*korean, word, ppi);
  korean->SetPageSegMode(tesseract::PSM_SINGLE_LINE);
  if (korean->Recognize(&reader.monitor) != 0) {
    korean->Clear();
    return std::nullopt;
  }
  Confidence sum;
  addConfidence(*korean, sum);
  const std::unique_ptr<char[]> text(korean->GetUTF8Text());
  korean->Clear();
  if (!text) return std::nullopt;
  // One line, ended by a line feed or two; any other is the engine's
  // taking the word for lines, which is no reading of it.
  std::string_view read(text.get());
  while (!read.empty() && read.back() == '\n') read.remove_suffix(1);
  if (read.find('\n') != std::string_view::npos) return std::nullopt;
  return reading::Word{reading::cleanLine(read), sum.mean(), false};
}

// Keeps the pixels of the words the two models read doubtfully as Latin
// in a line of Hangul, from the image the engine read last, so that they
// can be read again once the line's reading stands: most readings of a
// page are tried and dropped (other turns, grounds, cuts), and the Korean
// model's second look at their words would be spent for nothing.
void keepDoubtfulWords(const Reader& reader, std::vector<PlacedWord>& line) {
  const bool hangul = std::any_of(line.begin(), line.end(), [](const PlacedWord& placed) {
    return reading::holdsHangul(placed.word.text);
  });
  for (PlacedWord& placed : line) {
    if (!reading::doubtfulLatin(placed.word, hangul)) continue;
    const int margin = placed.box.height() / 4;
    placed.doubt =
        copyOf(reader.current, scaledRegion(placed.box, 1, margin, pixGetWidth(reader.current),
                                            pixGetHeight(reader.current)));
  }
}

// Doubtful words take the Korean model's reading where the engine is more
// confident of it.
void correctDoubtfulWords(Reader& reader, std::vector<PlacedWord>& line, double ppi) {
  for (PlacedWord& placed : line) {
    if (!placed.doubt.pix) continue;
    const std::optional<reading::Word> korean = readInKorean(reader, placed.doubt.pix, ppi);
    if (korean && reading::koreanReadingWins(placed.word, *korean)) placed.word = *korean;
  }
}

Confidence confidenceOf(const std::vector<PlacedWord>& line) {
  Confidence sum;
  for (const PlacedWord& placed : line) {
    sum.add(placed.word.confidence, characterCount(placed.word.text.c_str()));
  }
  return sum;
}

// Where each of `lines` stands, and how well it read.
std::vector<reading::ReadLine> readLines(const Lines& lines) {
  std::vector<reading::ReadLine> out;
  out.reserve(lines.size());
  for (const std::vector<PlacedWord>& line : lines) {
    reading::ReadLine read{{}, confidenceOf(line)};
    for (const PlacedWord& placed : line) read.words.push_back(placed.box);
    out.push_back(std::move(read));
  }
  return out;
}

std::string joinedWords(const std::vector<PlacedWord>& line) {
  std::string text;
  for (const PlacedWord& placed : line) {
    if (!text.empty() && placed.spaceBefore) text += ' ';
    text += placed.word.text;
  }
  return text;
}

// Pixels a scaled region's edges may move by in rounding.
constexpr int kRoundingMargin = 2;

tesseract::PageSegMode segmentationOf(reading::Segmentation segmentation,
                                      const reading::Region& region) {
  if (segmentation == reading::Segmentation::kEngineLayout) return tesseract::PSM_AUTO;
  return region.oneLine ? tesseract::PSM_SINGLE_LINE : tesseract::PSM_SINGLE_BLOCK;
}

// Reads `box` of `pix` with `mode`, adding to `out`'s confidence: its
// lines, up to `room` of them, less those that are pieces of others read
// twice, with the pixels of their doubtful words kept; nothing when the
// time ran out or memory did. `height`: of the image `box` lies in.
std::optional<Lines> readRegion(Reader& reader, Pix* pix, double ppi, const Box& box,
                                tesseract::PageSegMode mode, int height, std::size_t room,
                                Reading& out) {
  tesseract::TessBaseAPI& engine = reader.engine();
  if (!reader.recognize(pix, ppi, box, mode)) {
    engine.Clear();
    return std::nullopt;
  }
  addConfidence(engine, out.confidence);
  Lines lines = recognisedLines(engine, height);
  const std::vector<reading::ReadLine> placedLines = readLines(lines);
  const std::vector<bool> pieces = reading::piecesReadTwice(placedLines);
  out.inkReadTwice = out.inkReadTwice || reading::readsInkTwice(placedLines);
  Lines kept;
  for (std::size_t i = 0; i < lines.size() && kept.size() < room; ++i) {
    if (pieces[i]) continue;
    keepDoubtfulWords(reader, lines[i]);
    kept.push_back(std::move(lines[i]));
  }
  return kept;
}

// `read`, the page's reading in the engine's layout from `pix` (the page
// scaled by `factor`), with the print that layout left unread read as
// blocks of their own, each put in its place among the lines. False when
// the time ran out or memory did.
bool addMissedPrint(Reader& reader, const Page& page, Pix* pix, double ppi, float factor,
                    Lines& read, Reading& out) {
  const std::vector<reading::MissedRegion> missed =
      reading::missedRegions(page.layout, page.measures, page.blocks, readLines(read), factor);
  if (missed.empty()) return true;
  const int width = pixGetWidth(pix), height = pixGetHeight(pix);
  const int margin = static_cast<int>(static_cast<float>(page.measures.wordHeight) * factor / 4);
  std::vector<Lines> before(read.size() + 1);  // lines found, by the line read they go before
  const auto most = static_cast<std::size_t>(kMaximumLines);
  std::size_t room = most - std::min(most, read.size());
  for (const reading::MissedRegion& region : missed) {
    if (room == 0) break;
    const Box box = scaledRegion(region.box, factor, margin, width, height);
    if (box.width() <= 0 || box.height() <= 0) continue;
    // Only the lines that stand count towards the reading's confidence.
    Reading regionReading;
    std::optional<Lines> lines =
        readRegion(reader, pix, ppi, box, tesseract::PSM_SINGLE_BLOCK, height, room, regionReading);
    if (!lines) return false;
    for (std::vector<PlacedWord>& line : *lines) {
      const Confidence confidence = confidenceOf(line);
      if (!reading::missedLineStands(confidence)) continue;
      out.confidence.add(confidence.mean(), confidence.characters);
      before[region.place].push_back(std::move(line));
      --room;
    }
  }
  Lines all;
  for (std::size_t i = 0; i <= read.size(); ++i) {
    for (std::vector<PlacedWord>& line : before[i]) all.push_back(std::move(line));
    if (i < read.size()) all.push_back(std::move(read[i]));
  }
  read = std::move(all);
  return true;
}

// Carries `plan` out on `page`.
Reading readPlan(Reader& reader, const Page& page, const reading::Plan& plan) {
  Pix* pix = page.pix.pix;
  double ppi = page.ppi;
  // Rules are found at the page's size, before it is enlarged: a fraction
  // of the pixels to search.
  PixRef withoutRules;
  if (plan.shortestRule > 0) {
    const std::optional<PixRef> rules =
        rulesOf(pix, page.darkThreshold, plan.shortestRule, plan.thickestRule);
    if (rules) {
      withoutRules = PixRef(pixCopy(nullptr, pix));
      if (!withoutRules.pix) return {};
      paintOut(withoutRules.pix, rules->pix, kRuleGrowth);
      pix = withoutRules.pix;
    }
  }
  std::optional<PixRef> copy;
  if (plan.scale != 1) {
    copy = scaled(pix, plan.scale);
    if (!copy) return {};
    pix = copy->pix;
    if (ppi > 0) ppi *= plan.scale;
  }
  const int width = pixGetWidth(pix), height = pixGetHeight(pix);
  tesseract::TessBaseAPI& engine = reader.engine();
  // A band's own margin stops short of its neighbours' ink; only the
  // rounding of the scaling is made up for.
  const int margin =
      plan.segmentation == reading::Segmentation::kLines
          ? kRoundingMargin
          : static_cast<int>(static_cast<float>(page.measures.wordHeight) * plan.scale / 4);
  // Bands are read from the page binarized whole: binarized on its own, a
  // band's threshold moves with its crop, and a crop two pixels taller can
  // turn a word into another. Columns, as tall as the page, keep its grey.
  const bool fromBinary = plan.segmentation == reading::Segmentation::kLines;
  PixRef binary;
  Reading out;
  out.ppi = ppi;
  Lines kept;
  for (const reading::Region& region : plan.regions) {
    const Box box = scaledRegion(region.box, plan.scale, margin, width, height);
    if (box.width() <= 0 || box.height() <= 0) continue;
    if (fromBinary && !binary.pix) {
      setImage(engine, pix, ppi);
      binary = PixRef(engine.GetThresholdedImage());
      if (!binary.pix) return {};
    }
    std::optional<Lines> lines = readRegion(
        reader, fromBinary ? binary.pix : pix, ppi, box, segmentationOf(plan.segmentation, region),
        height, static_cast<std::size_t>(kMaximumLines) - kept.size(), out);
    if (!lines) return {};
    for (std::vector<PlacedWord>& line : *lines) kept.push_back(std::move(line));
    if (kept.size() >= kMaximumLines) break;
  }
  if (plan.segmentation == reading::Segmentation::kEngineLayout &&
      !addMissedPrint(reader, page, pix, ppi, plan.scale, kept, out)) {
    engine.Clear();
    return {};
  }
  engine.Clear();
  out.lines = std::move(kept);
  return out;
}

// The text of the reading that stands: its doubtful words read again, and
// its lines that read too badly to be anything but noise left out.
std::optional<std::string> textOf(Reader& reader, Reading read) {
  if (!read.lines) return std::nullopt;
  std::string text;
  for (std::vector<PlacedWord>& line : *read.lines) {
    correctDoubtfulWords(reader, line, read.ppi);
    if (reading::unreadable(confidenceOf(line))) continue;
    const std::string clean = reading::cleanLine(joinedWords(line));
    if (clean.empty()) continue;
    if (!text.empty()) text += '\n';
    text += clean;
  }
  return text;
}

// A page read by the regions of its plan, with the plan, whose bands are
// still to be read where the regions read unsurely.
struct PageReading {
  Reading reading;
  reading::Plan plan;
};

// Reads `page` by the regions of its plan; its blocks are found again on a
// reduced copy where its large words may have split its lines.
// `latinPrint`: a sample of the page read only Latin words.
PageReading readRegions(Reader& reader, const Page& page, bool latinPrint) {
  std::vector<Box> blocks = page.blocks;
  if (reading::findBlocksReduced(page.measures, page.blocks)) {
    std::optional<std::vector<Box>> reduced =
        reducedBlocks(reader.engine(), page, reading::layoutScale(page.measures));
    if (!reduced) return {};
    blocks = *std::move(reduced);
  }
  PageReading out;
  out.plan = reading::planReading(page.layout, page.measures, blocks, latinPrint);
  out.reading = readPlan(reader, page, out.plan);
  return out;
}

// The reading of `page` that stands: by its regions, or by its bands where
// the regions read unsurely and the bands clearly better. Bands are read
// only for the way the page is finally read: a page tried the wrong way up
// reads unsurely by any cut.
Reading settled(Reader& reader, const Page& page, PageReading read) {
  const reading::Plan& plan = read.plan;
  if (!read.reading.lines || plan.bands.empty() ||
      !reading::worthReadingByBands(read.reading.confidence, read.reading.inkReadTwice)) {
    return std::move(read.reading);
  }
  reading::Plan byBands = plan;
  byBands.segmentation = reading::Segmentation::kLines;
  byBands.regions = plan.bands;
  Reading other = readPlan(reader, page, byBands);
  // Out of time for the bands, the regions' reading stands.
  if (other.lines &&
      reading::bandsStand(other.confidence, read.reading.confidence, read.reading.inkReadTwice)) {
    return other;
  }
  return std::move(read.reading);
}

Reading readPage(Reader& reader, const Page& page, bool latinPrint) {
  return settled(reader, page, readRegions(reader, page, latinPrint));
}

// How confidently `lines` of `page` read, each as one line, and whether
// they read only Latin words; nothing when the time ran out. Stops early
// once a line settles it.
std::optional<Reading> readSample(Reader& reader, const Page& page, const std::vector<Box>& lines) {
  tesseract::TessBaseAPI& engine = reader.engine();
  Confidence sum;
  bool hangul = false;
  for (const Box& line : lines) {
    const int margin = line.height() / 4;
    const Box box = scaledRegion(line, 1, margin, page.layout.width, page.layout.height);
    if (!reader.recognize(page.pix.pix, page.ppi, box, tesseract::PSM_SINGLE_LINE)) {
      engine.Clear();
      return std::nullopt;
    }
    addConfidence(engine, sum);
    const std::unique_ptr<char[]> text(engine.GetUTF8Text());
    hangul = hangul || (text && reading::holdsHangulSyllable(text.get()));
    const std::size_t enough = hangul ? kSureUprightHangulCharacters : kSureUprightCharacters;
    if (sum.characters >= enough && sum.mean() >= kSureUprightConfidence) break;
  }
  engine.Clear();
  return Reading{Lines(), 0, sum, sum.characters > 0 && !hangul};
}

// The model's look at the page; nothing when it is missing or cannot tell.
std::optional<reading::Look> modelLook(Engines& engines, const Page& page) {
  if (!engines.orientationTried) {
    engines.orientationTried = true;
    auto made = std::make_unique<tesseract::TessBaseAPI>();
    if (made->Init(kModelDirectory, kOrientationModel, tesseract::OEM_TESSERACT_ONLY) == 0) {
      made->SetPageSegMode(tesseract::PSM_OSD_ONLY);
      made->SetVariable(kOrientationGlyphs, kOrientationLookGlyphs);
      engines.orientation = std::move(made);
    }
  }
  if (!engines.orientation) return std::nullopt;
  tesseract::TessBaseAPI& osd = *engines.orientation;
  setImage(osd, page.pix.pix, page.ppi);
  int degrees = 0;  // how far the page is turned clockwise
  float confidence = 0;
  const char* script = nullptr;
  float scriptConfidence = 0;
  const bool detected =
      osd.DetectOrientationScript(&degrees, &confidence, &script, &scriptConfidence);
  osd.Clear();
  if (!detected) return std::nullopt;
  return reading::Look{(4 - degrees / 90) % 4, confidence};
}

// `page` turned by `turns` quarter turns clockwise and laid out again.
std::optional<Page> turned(tesseract::TessBaseAPI& engine, const Page& page, int turns) {
  Page out;
  out.pix = PixRef(pixRotateOrth(page.pix.pix, turns));
  if (!out.pix.pix) return std::nullopt;
  // Lines that stood on end could not be measured for skew as they lay.
  if (turns % 2 == 1) out.pix = levelled(std::move(out.pix), page.darkThreshold);
  out.ppi = page.ppi;
  out.darkThreshold = page.darkThreshold;
  layOut(engine, out);
  return out;
}

// What a page turned one way gave: the page, and how it read.
struct Candidate {
  int turns = 0;
  std::optional<Page> page;
  PageReading read;
};

// Tries each candidate turn of `page` with `tryTurn` (a reading without
// text when the time ran out), and gives the one that read with the most
// confidence. A turn that reads upright ends the search, as the page's own
// reading does: the wrong turns of a page read far less surely than the
// right one, and each costs a layout and a reading.
template <typename TryTurn>
std::optional<Candidate> bestTurn(tesseract::TessBaseAPI& engine, const Page& page,
                                  const std::vector<int>& candidates, TryTurn tryTurn) {
  Candidate best;
  for (const int turns : candidates) {
    std::optional<Page> other = turned(engine, page, turns);
    if (!other) return std::nullopt;
    PageReading read = tryTurn(*other);
    if (!read.reading.lines) return std::nullopt;
    if (!best.page ||
        reading::clearlyBetter(read.reading.confidence, best.read.reading.confidence)) {
      best = Candidate{turns, std::move(other), std::move(read)};
    }
    if (reading::readsUpright(best.read.reading.confidence)) break;
  }
  return best;
}

// How a page turned one way reads: a page of a few rows by its regions, a
// larger page by its sample lines.
PageReading tryPage(Reader& reader, const Page& page) {
  if (reading::isFewRows(page.measures)) return readRegions(reader, page, false);
  std::optional<Reading> read =
      readSample(reader, page, reading::sampleLines(page.layout, page.measures));
  return read ? PageReading{*std::move(read), {}} : PageReading{};
}

// The final reading of a page that was tried as it is to be read.
Reading finished(Reader& reader, const Page& page, PageReading tried) {
  if (reading::isFewRows(page.measures)) return settled(reader, page, std::move(tried));
  return readPage(reader, page, tried.reading.latinOnly);
}

// A page is tried as it lies: a page of a few rows is read whole, which
// costs about as much as a sample, and its own reading tells whether it
// lies upright; a larger page reads sample lines. When that reading is
// unsure, the model is asked, and where it is unsure too, the page turned
// each way is tried and the surest reading wins. A page lying on its side
// is not tried as it lies, and the model looks first at a page whose
// layout found too little to measure: that page may be a large photo, and
// a whole reading of it the wrong way round costs seconds.
Reading readUpright(Engines& engines, Reader& reader, Page page) {
  const bool sideways = reading::looksSideways(page.layout);
  std::optional<reading::Look> look;
  bool looked = false;
  const auto lookAt = [&] {
    if (!looked) look = modelLook(engines, page);
    looked = true;
    return reading::chooseTurn(look);
  };
  // A page turned for certain is tried as an upright page is, so that it
  // reads as the upright page would.
  const auto readTurned = [&](int turns) -> Reading {
    std::optional<Page> other = turned(reader.engine(), page, turns);
    if (!other) return {};
    PageReading tried = tryPage(reader, *other);
    if (!tried.reading.lines) return {};
    return finished(reader, *other, std::move(tried));
  };
  if (reading::barelyLaidOut(page.measures) && !sideways) {
    const reading::TurnChoice first = lookAt();
    if (first.what == reading::Turn::kTurn) return readTurned(first.candidates.front());
  }
  PageReading asIs =
      sideways ? PageReading{Reading{Lines(), 0, Confidence{}}, {}} : tryPage(reader, page);
  if (!asIs.reading.lines) return {};
  if (!reading::readsUpright(asIs.reading.confidence)) {
    const reading::TurnChoice choice = lookAt();
    if (choice.what == reading::Turn::kTurn) return readTurned(choice.candidates.front());
    if (choice.what == reading::Turn::kCompare) {
      // A turn that leaves the words standing on end is not upright:
      // it is not read, which would cost a whole reading of a page of
      // few rows (its words on end make few rows) for nothing.
      const auto tryTurn = [&](const Page& other) {
        return reading::looksSideways(other.layout)
                   ? PageReading{Reading{Lines(), 0, Confidence{}}, {}}
                   : tryPage(reader, other);
      };
      std::optional<Candidate> best = bestTurn(reader.engine(), page, choice.candidates, tryTurn);
      if (!best) return {};
      if (reading::keepTurned(best->read.reading.confidence, asIs.reading.confidence, best->turns,
                              look)) {
        return finished(reader, *best->page, std::move(best->read));
      }
    }
  }
  if (sideways) return readPage(reader, laidOutAcross(reader.engine(), std::move(page)), false);
  return finished(reader, page, std::move(asIs));
}

// `given` read as dark print on a light ground, or inverted first
// (`inverted`: light letters on a dark ground), with the pixels under the
// mask `surroundings` painted the paper's grey; its text is nothing when
// the time ran out or memory did.
Reading readGround(Engines& engines, Reader& reader, const Bitmap& given, const reading::Grey& grey,
                   bool inverted, Pix* surroundings = nullptr) {
  Page page;
  page.pix = pixOf(given);
  if (!page.pix.pix) return {};
  page.ppi = given.pixelsPerInch;
  page.darkThreshold = grey.darkThreshold;
  if (inverted) {
    pixInvert(page.pix.pix, page.pix.pix);
    // What was lighter than the threshold is now at or below this one.
    page.darkThreshold = kLightest - 1 - page.darkThreshold;
  }
  if (surroundings) paintOut(page.pix.pix, surroundings, kSurroundingsGrowth);
  page.pix = levelled(std::move(page.pix), page.darkThreshold);
  page.pix = evenlyLit(std::move(page.pix), page.darkThreshold);
  layOut(*engines.text, page);
  // Light lines on a dark ground read badly as they are and well inverted;
  // the engine tries that on each line that read badly.
  engines.text->SetVariable(kInvertBadLines, reading::mayHoldLightOnDark(page.layout) ? "1" : "0");
  return readUpright(engines, reader, std::move(page));
}

// `given` read as dark print on a light ground or as light letters on a
// dark one, whichever its share of dark pixels tells; both where it cannot
// tell, the surer standing.
Reading readEitherGround(Engines& engines, Reader& reader, const Bitmap& given,
                         const reading::Grey& grey) {
  const reading::Ground ground = reading::groundOf(grey.darkShare);
  const bool darkFirst = reading::onDarkGround(grey.darkShare);
  Reading first = readGround(engines, reader, given, grey, darkFirst);
  // Half dark and half light: a photo darkened towards its edges, or a
  // ground of mid grey. Read as dark print, a page that reads surely enough
  // to settle which way up it lies has its ground settled too; read as
  // light letters, it is read the other way whatever its confidence, as
  // garbage read inverted from a photo can read at 70 and more. The other
  // way stands only when clearly surer.
  if (ground != reading::Ground::kUnsure || !first.lines ||
      (!darkFirst && reading::readsUpright(first.confidence))) {
    return first;
  }
  Reading other = readGround(engines, reader, given, grey, !darkFirst);
  if (other.lines && reading::clearlyBetter(other.confidence, first.confidence)) return other;
  return first;
}

std::optional<std::string> recognizeWith(Engines& engines, const Bitmap& given,
                                         int deadlineMilliseconds) {
  if (!wellFormed(given)) return std::nullopt;
  Budget budget{threadMilliseconds() + deadlineMilliseconds};
  tesseract::ETEXT_DESC monitor;
  monitor.cancel = &Budget::cancel;
  monitor.cancel_this = &budget;
  Reader reader{engines, monitor, budget, PixRef(), nullptr};

  const reading::Grey grey = reading::greyOf(given.pixels.data(), given.width, given.height);
  Reading read = readEitherGround(engines, reader, given, grey);
  if (!read.lines || reading::readsUpright(read.confidence)) return textOf(reader, std::move(read));
  // Read unsurely, a page with dark surroundings is read again without
  // them: they may have been read as letters and joined to the print. Only
  // a clearly surer reading stands, as the dark side of a page lit from one
  // side passes for surroundings too, and painting it out loses its print.
  const PixRef page = pixOf(given);
  if (!page.pix) return textOf(reader, std::move(read));
  const std::optional<PixRef> surroundings = surroundingsOf(page.pix, grey.darkThreshold);
  if (!surroundings) return textOf(reader, std::move(read));
  Reading other = readGround(engines, reader, given, grey, false, surroundings->pix);
  if (other.lines && reading::clearlyBetter(other.confidence, read.confidence)) {
    return textOf(reader, std::move(other));
  }
  return textOf(reader, std::move(read));
}

RecognizeFunction engineRecognizer(int deadlineMilliseconds) {
  auto engines = std::make_shared<Engines>();
  return [engines, deadlineMilliseconds](const Bitmap& bitmap) -> std::optional<std::string> {
    if (!engines->text) {
      auto made = std::make_unique<tesseract::TessBaseAPI>();
      if (made->Init(kModelDirectory, kLanguages, tesseract::OEM_LSTM_ONLY) != 0) {
        return std::nullopt;
      }
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
