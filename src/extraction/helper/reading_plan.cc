#include "extraction/helper/reading_plan.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <limits>
#include <numeric>
#include <tuple>

namespace fileprobe::reading {
namespace {

// Upright pages' sample lines read with a mean word confidence of 80 and
// more, lines of pages turned half-way round with at most 63.
constexpr double kUprightConfidence = 70;
// One short word may read well whichever way up: fewer characters than
// this tell nothing.
constexpr std::size_t kFewestTellingCharacters = 10;
// Between two readings of one page, the challenger must lead by this much
// mean confidence; readings of the right turn lead by 20 and more, while
// two readings of the same text differ by a few points.
constexpr double kClearLead = 8;
// The English model reads English words in a Korean line at 90 and more;
// the Hangul words it mistakes for capitals at 70 to 85.
constexpr double kSureEnglishWord = 90;
// A block whose words read at this mean confidence or better is not read
// again by its bands: clean Hangul reads at up to 93, so no reading of its
// bands could lead it by kClearLead. Sheared rows read at 80 to 84.
constexpr double kSureBlockConfidence = 85;
// A reading whose lines cut across the text has a word lying over another
// line's in this many words or fewer. A pair of such words in a page of
// hundreds is a slip: reading that page again by its bands costs as much
// as the page and changed nothing for the better (p114, 219 words), where
// short pages with such a pair (p372, 60 words) read right by their bands.
constexpr std::size_t kWordsPerWordReadTwice = 100;

// The engine gives a line it could not read at all (noise at a scan's
// edge taken for a hundred letters) a confidence under this.
constexpr double kUnreadableLineConfidence = 10;

// A line read from print the engine's own layout left out stands at this
// confidence or more. What that layout leaves out is mostly a form's boxes
// and rules, read as letters at 15 to 63, and sometimes a column of line
// numbers, read at 85 and more.
constexpr double kSureMissedLineConfidence = 75;

// With fewer rows than this, word gaps that line up by chance pass for
// column gutters and lines get cut in two.
constexpr int kFewestRowsForLayout = 6;

// A sample line is a row of text about as high as the page's lines and
// many times longer than high; only its start is read.
constexpr double kSampleLineHeightRange = 1.25;
constexpr int kSampleLineShortestLength = 8;  // times its height
constexpr int kSampleLineLongestLength = 30;  // times its height
constexpr std::size_t kSampleLines = 2;

// A page lies on its side when most of its words, or its lines taken
// together, are more than twice as high as long: words of Hangul and Latin
// text are a syllable or more long, and a syllable about as long as high
// (the layout cuts large Hangul into pieces narrower than high, never
// twice as narrow). The layout of a turned page of Hangul often cuts its
// lines into square syllables, but its lines still stand on end. It takes
// this many words to tell.
constexpr std::size_t kFewestSidewaysWords = 8;
constexpr int kSidewaysLength = 2;

// The orientation model's first look (100 glyphs): turns it gives with at
// least this confidence are right, and an upright page it gives with
// kFaintTurnConfidence is; below that it is guessing. Where it is not
// sure, the readings decide.
constexpr float kClearTurnConfidence = 4.0f;
constexpr float kFaintTurnConfidence = 1.0f;
// When the readings of both ways cannot tell, a turn the model gives with
// this confidence is taken (its first look scores about half as high as
// its full one, where right turns scored 3.5 and more).
constexpr float kLikelyTurnConfidence = 2.0f;

// Most of a page is its ground.
constexpr double kDarkGroundShare = 0.5;
// Print on light paper darkens up to about a third of a page (dense small
// print, a scan's dark edges); light letters leave more than four fifths of
// a sign or a slide dark. A photo darkened towards its edges, split by one
// threshold, is about half dark, on either side of kDarkGroundShare.
constexpr double kSurelyLightGround = 0.35;
constexpr double kSurelyDarkGround = 0.8;
// A page is unevenly lit when the darker tenth of its paper (kDarkPaperShare)
// is darker than kEvenLight of its lightest (kLightPaperShare, past a few
// specks). Scans and grey or low-contrast paper keep 0.8 or more; a photo lit
// from one side or darkened towards its corners falls to 0.2 to 0.5, where
// one threshold for the whole page turns its dark side into ink. The bound
// lies in the gap between the two, where no page of either kind was seen.
constexpr double kDarkPaperShare = 0.1;
constexpr double kLightPaperShare = 0.98;
constexpr double kEvenLight = 0.7;
// Print on a light ground darkens up to about a third of a page: dense
// small print, a scan's dark edges. A sign or a photo darkens more.
constexpr double kLargestPrintInkShare = 0.4;

// Print stops short of a page's edges, and where a close crop cuts its
// glyphs it darkens part of a band along the edge. A dark surface around
// the paper, or a book's edge, darkens most of the band along one edge or
// more.
constexpr double kDarkEdgeShare = 0.5;
// Dark pixels touching the edges that make up more than this share of the
// image are its ground (light letters on a dark ground), not surroundings.
constexpr double kLargestSurroundingsShare = 0.5;

// Below this confidence the skew measure's angle is noise; the measure's
// own authors level no page it is less sure of.
constexpr double kSureSkewConfidence = 3;
// Lines within this many degrees of level read as well as they lie.
constexpr double kSmallestLevelledSkew = 0.5;

// The engine's layout finds the blocks of Hangul and Latin text at about
// this word height; larger Hangul words pass for columns of their own.
constexpr double kLayoutWordHeight = 16;
constexpr double kSmallestLayoutScale = 0.25;
// Text up to a quarter higher than kLayoutWordHeight is laid out at its
// size: the layout of the page at its size is reused, and a second one
// would cost up to half a second.
constexpr double kLargestReducedLayoutScale = 0.8;

// The sizes words are read at. Below kSmallestReadWordHeight the engine
// misreads small print; Hangul read from words of about 30 px is taken for
// Latin capitals, so pages of a few rows, which cost little, are read from
// words of kFewRowsWordHeight. Above kLargestReadWordHeight glyphs are
// reduced. Enlargement stops at kLargestEnlargement and at an image of
// kLargestReadPixels, so the scale of a page falls gradually as it grows.
constexpr double kSmallestReadWordHeight = 25;
constexpr double kFewRowsWordHeight = 40;
constexpr double kLargestReadWordHeight = 60;
constexpr double kLargestEnlargement = 3;
constexpr double kLargestReadPixels = 8e6;
constexpr std::size_t kFewestMeasuredWords = 3;
// No word is this many times as wide as it is high: a word of 60 Latin
// letters is about 30 times. The layout of a strip of 26 px text gave
// "words" 2 to 6 px high and 450 to 650 px wide, slivers across its
// lines, and a word height of 6 px.
constexpr int kWidestWordShape = 40;

// Words the blocks leave out are gathered into a region when they lie
// within this many word heights of one another across, and this many line
// heights down.
constexpr int kRegionGapAcross = 3;
constexpr int kRegionGapDown = 1;
// Times the median word height.
constexpr int kLargestWordHeight = 3;
// A gap down every row at least this many word heights wide is a gutter
// between columns: word gaps are a quarter to a half of a word height, and
// wide ones do not line up row after row. Narrow gutters are about one
// and a half. A column holds at least kFewestColumnWords words.
constexpr double kNarrowestGutter = 1.2;
constexpr int kFewestColumnWords = 3;
// A column beside another holds at least this many rows.
constexpr int kFewestColumnRows = 3;
// A column of text is many words wide; a stripe between gutters whose
// print is narrower than this many word heights is a column of a table
// (a receipt's prices) whose words belong to the rows beside them, or a
// piece of lines cut where the word gaps of a few rows happened to line up.
constexpr int kWidestTableColumn = 8;
// Where the layout missed a column's words, its ink shows it: a word is at
// least this many word heights long.
constexpr int kShortestWordLength = 2;
// A gutter's columns of pixels hold at most this share of the ink of a
// typical column of text: noise, never a glyph.
constexpr double kGutterInkShare = 0.2;
// Blocks side by side closer than this many word heights are pieces of
// the same lines, cut at a word gap (a quarter to a half of a word
// height); the gutters of newspaper columns are about one.
constexpr double kWidestWordGap = 0.8;
// The engine lays out words up to this height well: its own layout reads
// small print better than its blocks read one by one.
constexpr double kLargestLayoutWordHeight = 20;
// A row between lines holds no more than specks: at most this share of the
// ink of a typical row of text.
constexpr double kBlankRowInkShare = 0.02;
// Blank rows fewer than a sixth of a word height can lie inside a line
// (between the stacked parts of a few Hangul syllables); lines set apart
// stand further apart. Lines set closer stay in one band, read as a block.
constexpr int kGapsPerWordHeight = 6;
constexpr int kShortestGap = 2;
// A band of ink lower than half a word height is a piece of a line (a
// stroke, accents, a rule under it) and joins the band nearest to it.
constexpr double kLowestBand = 0.5;
// A band no taller than this many word heights holds one line: a word's box
// spans its line's ascenders and descenders or nearly, and two lines are
// two word heights and a gap.
constexpr double kOneLineHeight = 1.7;
// A band's margin above and below its ink, in word heights.
constexpr double kBandMargin = 0.1;
// No stroke of a letter runs straight for this many of the page's word
// heights, even in a title set three times larger, nor do letters that
// touch: a run that long is a rule or a border. Its thickness is at most
// this share of a word height: a bar as thick as a letter's stroke is
// thicker than it, and so is a line of letters run together by blur.
constexpr double kShortestRule = 6;
constexpr double kThickestRule = 0.25;

// A line of the layout taller than this many word heights is no line of
// text, nor a few lines taken for one, but a shape (a photo, a dark band
// along the page's top or bottom).
constexpr double kTallestLines = 6;

int median(std::vector<int> values) {
  if (values.empty()) return 0;
  const auto middle = static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), values.begin() + middle, values.end());
  return values[values.size() / 2];
}

// The ink of a typical row or column of pixels; blank ones do not count.
double typicalInk(const std::vector<int>& ink) {
  std::vector<int> inked;
  for (const int count : ink) {
    if (count > 0) inked.push_back(count);
  }
  return median(std::move(inked));
}

// Boxes far taller than the page's words are rules, pictures or the
// whole page taken for a word, not text.
bool isWordSized(const Box& word, int wordHeight) {
  return word.height() > 0 && word.height() <= kLargestWordHeight * wordHeight;
}

// A rule or a sliver across a line, laid out as a word.
bool isSliver(const Box& word) { return word.width() > kWidestWordShape * word.height(); }

int gutterWidth(const Measures& page) {
  return static_cast<int>(std::ceil(kNarrowestGutter * std::max(page.wordHeight, 1)));
}

// Rows of text: words that share most of their height lie in one row.
// Rows are found from words rather than the layout's lines: the layout
// cuts large Hangul into pieces (upper and lower parts of a line, a lone
// final consonant) and takes two close lines for one, while a piece of a
// word lies within its row and words of two lines never share much height.
std::vector<Box> rowsOf(std::vector<Box> words, int wordHeight) {
  std::sort(words.begin(), words.end(), [](const Box& a, const Box& b) { return a.top < b.top; });
  std::vector<Box> rows;
  for (const Box& word : words) {
    if (!isWordSized(word, wordHeight)) continue;
    if (!rows.empty()) {
      Box& row = rows.back();
      const int shared = std::min(row.bottom, word.bottom) - std::max(row.top, word.top);
      if (2 * shared >= std::min(row.height(), word.height())) {
        row = Box{std::min(row.left, word.left), std::min(row.top, word.top),
                  std::max(row.right, word.right), std::max(row.bottom, word.bottom)};
        continue;
      }
    }
    rows.push_back(word);
  }
  return rows;
}

bool overlap(const Box& a, const Box& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

Box unionOf(const Box& a, const Box& b) {
  return Box{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
             std::max(a.bottom, b.bottom)};
}

// `boxes` with every pair that `joinable` accepts replaced by its union, at
// the place of the first, until no pair is left.
template <typename Joinable>
std::vector<Box> joinedWhere(std::vector<Box> boxes, Joinable joinable) {
  for (bool joined = true; joined;) {
    joined = false;
    for (std::size_t i = 0; i < boxes.size() && !joined; ++i) {
      for (std::size_t j = i + 1; j < boxes.size() && !joined; ++j) {
        if (!joinable(boxes[i], boxes[j])) continue;
        boxes[i] = unionOf(boxes[i], boxes[j]);
        boxes.erase(boxes.begin() + static_cast<std::ptrdiff_t>(j));
        joined = true;
      }
    }
  }
  return boxes;
}

bool holds(const Box& box, const Box& word) {
  const int x = (word.left + word.right) / 2, y = (word.top + word.bottom) / 2;
  return x >= box.left && x < box.right && y >= box.top && y < box.bottom;
}

Box grown(const Box& box, int across, int down) {
  return Box{box.left - across, box.top - down, box.right + across, box.bottom + down};
}

// Words of `words` gathered into regions of nearby words.
std::vector<Box> regionsOf(const std::vector<Box>& words, const std::vector<Box>& blocks,
                           const Measures& page) {
  // One more pixel each way: a gap of exactly the distance joins.
  const int across = kRegionGapAcross * std::max(page.wordHeight, 1) + 1;
  const int down = kRegionGapDown * std::max(page.lineHeight, 1) + 1;
  const auto joinable = [&](const Box& a, const Box& b) {
    if (!overlap(grown(a, across, down), b)) return false;
    // A region never reaches into a found block: it would be read twice.
    const Box both = unionOf(a, b);
    return std::none_of(blocks.begin(), blocks.end(),
                        [&both](const Box& block) { return overlap(both, block); });
  };
  std::vector<Box> regions;
  for (const Box& word : words) {
    const auto near = std::find_if(regions.begin(), regions.end(),
                                   [&](const Box& region) { return joinable(region, word); });
    if (near == regions.end()) {
      regions.push_back(word);
    } else {
      *near = unionOf(*near, word);
    }
  }
  // Regions that grew towards each other.
  return joinedWhere(std::move(regions), joinable);
}

// Whether `a` and `b` share some of their columns of pixels.
bool sameColumn(const Box& a, const Box& b) { return a.left < b.right && b.left < a.right; }

// Where `region` goes among `ordered`: after the last box above it in its
// column, else before the first box below it in its column, else before
// the first box that lies wholly below it, else at the end.
std::size_t placeOf(const Box& region, const std::vector<Box>& ordered) {
  std::optional<std::size_t> after;
  for (std::size_t i = 0; i < ordered.size(); ++i) {
    if (sameColumn(ordered[i], region) && ordered[i].top <= region.top) after = i;
  }
  if (after) return *after + 1;
  for (std::size_t i = 0; i < ordered.size(); ++i) {
    if (sameColumn(ordered[i], region)) return i;
  }
  for (std::size_t i = 0; i < ordered.size(); ++i) {
    if (ordered[i].top >= region.bottom) return i;
  }
  return ordered.size();
}

double readScale(const Measures& page, bool fewRows) {
  if (barelyLaidOut(page) || page.wordHeight <= 0 || page.pixels <= 0) return 1;
  const auto word = static_cast<double>(page.wordHeight);
  if (word > kLargestReadWordHeight) return kLargestReadWordHeight / word;
  const double wanted = fewRows ? kFewRowsWordHeight : kSmallestReadWordHeight;
  if (word >= wanted) return 1;
  const double room = std::sqrt(kLargestReadPixels / page.pixels);
  return std::max(1.0, std::min({wanted / word, kLargestEnlargement, room}));
}

std::vector<Region> asBlocks(const std::vector<Box>& boxes) {
  std::vector<Region> regions;
  regions.reserve(boxes.size());
  for (const Box& box : boxes) regions.push_back(Region{box});
  return regions;
}

// Rows [begin, end) of a page.
struct Stretch {
  int begin = 0, end = 0;
};

// The stretches of rows with ink, parted where the blank rows between them
// are as many as a gap between lines.
std::vector<Stretch> inkedStretches(const std::vector<int>& ink, int wordHeight) {
  const double blank = kBlankRowInkShare * typicalInk(ink);
  const int shortestGap = std::max(kShortestGap, wordHeight / kGapsPerWordHeight);
  std::vector<Stretch> stretches;
  const int height = static_cast<int>(ink.size());
  int row = 0;
  while (row < height) {
    const auto isBlank = [&](int at) { return ink[static_cast<std::size_t>(at)] <= blank; };
    if (isBlank(row)) {
      ++row;
      continue;
    }
    Stretch stretch{row, row};
    int blankRun = 0;
    for (; row < height && blankRun < shortestGap; ++row) {
      blankRun = isBlank(row) ? blankRun + 1 : 0;
      if (blankRun == 0) stretch.end = row + 1;
    }
    stretches.push_back(stretch);
  }
  return stretches;
}

// Bands too low to be a line join the neighbour across the narrower gap.
void joinLowBands(std::vector<Stretch>& bands, int wordHeight) {
  const int lowest = static_cast<int>(kLowestBand * wordHeight);
  for (std::size_t i = 0; i < bands.size() && bands.size() > 1;) {
    if (bands[i].end - bands[i].begin >= lowest) {
      ++i;
      continue;
    }
    const int gapAbove =
        i == 0 ? std::numeric_limits<int>::max() : bands[i].begin - bands[i - 1].end;
    const int gapBelow =
        i + 1 == bands.size() ? std::numeric_limits<int>::max() : bands[i + 1].begin - bands[i].end;
    const std::size_t into = gapAbove <= gapBelow ? i - 1 : i + 1;
    bands[into].begin = std::min(bands[into].begin, bands[i].begin);
    bands[into].end = std::max(bands[into].end, bands[i].end);
    bands.erase(bands.begin() + static_cast<std::ptrdiff_t>(i));
    i = 0;  // the joined band may itself be low still
  }
}

}  // namespace

Grey greyOf(const unsigned char* pixels, int width, int height) {
  Grey grey;
  if (width <= 0 || height <= 0) return grey;
  std::array<double, 256> histogram{};
  const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  for (std::size_t i = 0; i < count; ++i) histogram[pixels[i]] += 1;
  // Otsu: the threshold with the largest variance between the two classes.
  double sum = 0;
  for (int level = 0; level < 256; ++level) {
    sum += level * histogram[static_cast<std::size_t>(level)];
  }
  const auto total = static_cast<double>(count);
  double below = 0, belowSum = 0, best = -1;
  for (int level = 0; level < 256; ++level) {
    below += histogram[static_cast<std::size_t>(level)];
    belowSum += level * histogram[static_cast<std::size_t>(level)];
    if (below == 0 || below == total) continue;
    const double above = total - below;
    const double difference = belowSum / below - (sum - belowSum) / above;
    const double between = below * above * difference * difference;
    if (between > best) {
      best = between;
      grey.darkThreshold = level;
    }
  }
  double dark = 0;
  for (int level = 0; level <= grey.darkThreshold; ++level) {
    dark += histogram[static_cast<std::size_t>(level)];
  }
  grey.darkShare = dark / total;
  return grey;
}

bool onDarkGround(double darkShare) { return darkShare > kDarkGroundShare; }

Ground groundOf(double darkShare) {
  if (darkShare < kSurelyLightGround) return Ground::kLight;
  if (darkShare > kSurelyDarkGround) return Ground::kDark;
  return Ground::kUnsure;
}

bool unevenlyLit(std::vector<unsigned char> paperLevels) {
  if (paperLevels.empty()) return false;
  std::sort(paperLevels.begin(), paperLevels.end());
  const auto at = [&paperLevels](double share) {
    return static_cast<double>(
        paperLevels[static_cast<std::size_t>(share * static_cast<double>(paperLevels.size() - 1))]);
  };
  return at(kDarkPaperShare) < kEvenLight * at(kLightPaperShare);
}

bool darkSurroundings(const Edges& edges, double borderShare) {
  const bool edged = std::max({edges.top, edges.bottom, edges.left, edges.right}) >= kDarkEdgeShare;
  return edged && borderShare <= kLargestSurroundingsShare;
}

Ink inkOf(const unsigned char* pixels, int width, int height, const std::vector<Box>& shapes) {
  Ink ink;
  ink.perColumn.assign(static_cast<std::size_t>(std::max(width, 0)), 0);
  ink.perRow.assign(static_cast<std::size_t>(std::max(height, 0)), 0);
  ink.perColumnBesideShapes.assign(static_cast<std::size_t>(std::max(width, 0)), 0);
  if (width <= 0 || height <= 0) return ink;
  std::vector<bool> besideShapes(static_cast<std::size_t>(height), true);
  for (const Box& shape : shapes) {
    for (int y = std::max(shape.top, 0); y < std::min(shape.bottom, height); ++y) {
      besideShapes[static_cast<std::size_t>(y)] = false;
    }
  }
  const int threshold = greyOf(pixels, width, height).darkThreshold;
  const auto at = [&](int x, int y) {
    return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                  static_cast<std::size_t>(x)];
  };
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (at(x, y) > threshold) continue;
      ++ink.perColumn[static_cast<std::size_t>(x)];
      ++ink.perRow[static_cast<std::size_t>(y)];
      if (besideShapes[static_cast<std::size_t>(y)]) {
        ++ink.perColumnBesideShapes[static_cast<std::size_t>(x)];
      }
    }
  }
  return ink;
}

std::vector<Box> tallShapes(const Layout& layout, const Measures& page) {
  std::vector<Box> shapes;
  std::copy_if(layout.lines.begin(), layout.lines.end(), std::back_inserter(shapes),
               [&](const Box& line) { return line.height() > kTallestLines * page.wordHeight; });
  return shapes;
}

double levellingDegrees(const Skew& measured) {
  if (measured.confidence < kSureSkewConfidence) return 0;
  return std::abs(measured.degrees) < kSmallestLevelledSkew ? 0 : measured.degrees;
}

Measures measure(const Layout& layout) {
  Measures page;
  std::vector<int> heights;
  heights.reserve(layout.lines.size());
  for (const Box& line : layout.lines) heights.push_back(line.height());
  page.lineHeight = median(std::move(heights));
  std::vector<Box> words;
  words.reserve(layout.words.size());
  std::copy_if(layout.words.begin(), layout.words.end(), std::back_inserter(words),
               [](const Box& word) { return !isSliver(word); });
  std::vector<int> wordHeights;
  wordHeights.reserve(words.size());
  for (const Box& word : words) wordHeights.push_back(word.height());
  page.wordHeight = median(std::move(wordHeights));
  page.rows = static_cast<int>(rowsOf(words, page.wordHeight).size());
  page.pixels = static_cast<double>(layout.width) * static_cast<double>(layout.height);
  page.words = words.size();
  return page;
}

void Confidence::add(double wordConfidence, std::size_t wordCharacters) {
  weighted += wordConfidence * static_cast<double>(wordCharacters);
  characters += wordCharacters;
}

double Confidence::mean() const {
  return characters == 0 ? 0 : weighted / static_cast<double>(characters);
}

bool readsUpright(const Confidence& reading) {
  return reading.characters >= kFewestTellingCharacters && reading.mean() >= kUprightConfidence;
}

namespace {

// Whether `utf8` holds a code point of three bytes that `wanted` accepts;
// Hangul is all of three bytes.
template <typename Wanted>
bool holdsThreeByte(std::string_view utf8, Wanted wanted) {
  for (std::size_t i = 0; i + 2 < utf8.size(); ++i) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    if ((lead & 0xF0) != 0xE0) continue;  // not the first of three bytes
    const char32_t point =
        (static_cast<char32_t>(lead & 0x0F) << 12) |
        (static_cast<char32_t>(static_cast<unsigned char>(utf8[i + 1]) & 0x3F) << 6) |
        static_cast<char32_t>(static_cast<unsigned char>(utf8[i + 2]) & 0x3F);
    if (wanted(point)) return true;
  }
  return false;
}

bool isHangulSyllable(char32_t point) { return point >= 0xAC00 && point <= 0xD7A3; }

}  // namespace

bool holdsHangul(std::string_view utf8) {
  return holdsThreeByte(utf8, [](char32_t point) {
    const bool letter =
        (point >= 0x1100 && point <= 0x11FF) || (point >= 0x3131 && point <= 0x318E);
    return isHangulSyllable(point) || letter;
  });
}

bool holdsHangulSyllable(std::string_view utf8) { return holdsThreeByte(utf8, isHangulSyllable); }

bool doubtfulLatin(const Word& word, bool lineHoldsHangul) {
  return lineHoldsHangul && word.english && word.confidence < kSureEnglishWord &&
         !holdsHangul(word.text);
}

bool koreanReadingWins(const Word& english, const Word& korean) {
  return holdsHangul(korean.text) && korean.confidence > english.confidence;
}

bool worthReadingByBands(const Confidence& block, bool inkReadTwice) {
  return inkReadTwice || block.mean() < kSureBlockConfidence;
}

bool bandsStand(const Confidence& bands, const Confidence& block, bool blockReadInkTwice) {
  // A block that read ink twice holds words read twice, often confidently:
  // its confidence overstates it, and it must be clearly surer to stand.
  return blockReadInkTwice ? !clearlyBetter(block, bands) : clearlyBetter(bands, block);
}

bool clearlyBetter(const Confidence& challenger, const Confidence& incumbent) {
  // A short reading still counts as the incumbent: a label of five
  // syllables read well must not lose to a dozen glyphs of garbage.
  if (challenger.characters < kFewestTellingCharacters) return false;
  return challenger.mean() >= incumbent.mean() + kClearLead;
}

bool unreadable(const Confidence& line) {
  return line.characters > 0 && line.mean() < kUnreadableLineConfidence;
}

namespace {

// The box around each line's words.
std::vector<Box> boundsOf(const std::vector<ReadLine>& lines) {
  std::vector<Box> bounds;
  bounds.reserve(lines.size());
  for (const ReadLine& line : lines) {
    Box box = line.words.empty() ? Box{} : line.words.front();
    for (const Box& word : line.words) box = unionOf(box, word);
    bounds.push_back(box);
  }
  return bounds;
}

long areaOf(const Box& box) {
  return static_cast<long>(std::max(0, box.width())) * std::max(0, box.height());
}

// Whether half of `word` or more lies over `other`.
bool mostlyOver(const Box& word, const Box& other) {
  const Box common{std::max(word.left, other.left), std::max(word.top, other.top),
                   std::min(word.right, other.right), std::min(word.bottom, other.bottom)};
  return areaOf(word) > 0 && 2 * areaOf(common) >= areaOf(word);
}

}  // namespace

std::vector<bool> piecesReadTwice(const std::vector<ReadLine>& lines) {
  // Words, not lines: the box of a skewed line reaches into the lines
  // above and below it, while its words' boxes do not.
  const auto within = [](const std::vector<Box>& inner, const std::vector<Box>& outer) {
    return !inner.empty() && std::all_of(inner.begin(), inner.end(), [&outer](const Box& word) {
      const int x = (word.left + word.right) / 2, y = (word.top + word.bottom) / 2;
      return std::any_of(outer.begin(), outer.end(), [x, y](const Box& other) {
        return x >= other.left && x <= other.right && y >= other.top && y <= other.bottom;
      });
    });
  };
  // The lines' bounds spare comparing the words of lines apart, most pairs
  // of a page of many lines.
  const std::vector<Box> bounds = boundsOf(lines);
  std::vector<bool> pieces(lines.size(), false);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    for (std::size_t j = 0; j < lines.size() && !pieces[i]; ++j) {
      pieces[i] = j != i && overlap(bounds[i], bounds[j]) &&
                  lines[i].confidence.mean() < lines[j].confidence.mean() &&
                  within(lines[i].words, lines[j].words);
    }
  }
  return pieces;
}

bool readsInkTwice(const std::vector<ReadLine>& lines) {
  const std::vector<Box> bounds = boundsOf(lines);
  const std::vector<bool> pieces = piecesReadTwice(lines);  // left out of the text
  std::size_t words = 0, readTwice = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (pieces[i]) continue;
    words += lines[i].words.size();
    for (const Box& word : lines[i].words) {
      bool twice = false;
      for (std::size_t j = 0; j < lines.size() && !twice; ++j) {
        if (j == i || pieces[j] || !overlap(bounds[i], bounds[j])) continue;
        twice =
            std::any_of(lines[j].words.begin(), lines[j].words.end(), [&word](const Box& other) {
              return mostlyOver(word, other) || mostlyOver(other, word);
            });
      }
      if (twice) ++readTwice;
    }
  }
  return readTwice > 0 && readTwice * kWordsPerWordReadTwice >= words;
}

bool missedLineStands(const Confidence& line) { return line.mean() >= kSureMissedLineConfidence; }

bool isFewRows(const Measures& page) { return page.rows < kFewestRowsForLayout; }

bool barelyLaidOut(const Measures& page) { return page.words < kFewestMeasuredWords; }

bool mayHoldLightOnDark(const Layout& layout) {
  const double dark = std::accumulate(layout.inkPerRow.begin(), layout.inkPerRow.end(), 0.0);
  const double pixels = static_cast<double>(layout.width) * static_cast<double>(layout.height);
  return pixels > 0 && dark > kLargestPrintInkShare * pixels;
}

namespace {

// Whether most of `words` are more than kSidewaysLength times as high as long.
bool wordsOnEnd(const std::vector<Box>& words) {
  std::vector<int> lengths, heights;
  for (const Box& word : words) {
    lengths.push_back(word.width());
    heights.push_back(word.height());
  }
  return kSidewaysLength * median(std::move(lengths)) < median(std::move(heights));
}

// Whether `lines` taken together are more than kSidewaysLength times as
// high as long: the layout also gives pieces of a glyph or two as lines of
// their own, which count for little beside whole lines.
bool linesOnEnd(const std::vector<Box>& lines) {
  double lengths = 0, heights = 0;
  for (const Box& line : lines) {
    lengths += line.width();
    heights += line.height();
  }
  return kSidewaysLength * lengths < heights;
}

}  // namespace

bool looksSideways(const Layout& layout) {
  return layout.words.size() >= kFewestSidewaysWords &&
         (wordsOnEnd(layout.words) || linesOnEnd(layout.lines));
}

std::vector<Box> sampleLines(const Layout& layout, const Measures& page) {
  std::vector<Box> rows;
  // No line of text is lower than its words: where the layout also found
  // many low pieces (dots, parts of large Hangul), their height is not the
  // lines', and a piece read as a line tells nothing of the page's turn.
  const auto typical = static_cast<double>(std::max(page.lineHeight, page.wordHeight));
  for (const Box& line : layout.lines) {
    const auto height = static_cast<double>(line.height());
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

TurnChoice chooseTurn(const std::optional<Look>& look) {
  const int turns = look ? ((look->turns % 4) + 4) % 4 : 0;
  const float confidence = look ? look->confidence : 0;
  if (confidence >= kClearTurnConfidence && turns != 0) return {Turn::kTurn, {turns}};
  if (confidence >= kFaintTurnConfidence && turns == 0) return {Turn::kKeep, {}};
  TurnChoice choice{Turn::kCompare, {}};
  if (turns != 0) choice.candidates.push_back(turns);
  for (int other = 1; other < 4; ++other) {
    if (other != turns) choice.candidates.push_back(other);
  }
  return choice;
}

bool keepTurned(const Confidence& turned, const Confidence& asIs, int turns,
                const std::optional<Look>& look) {
  if (clearlyBetter(turned, asIs)) return true;
  if (clearlyBetter(asIs, turned)) return false;
  return look && ((look->turns % 4) + 4) % 4 == turns && look->confidence >= kLikelyTurnConfidence;
}

float layoutScale(const Measures& page) {
  if (page.wordHeight <= 0) return 1;
  const double scale = std::clamp(kLayoutWordHeight / static_cast<double>(page.wordHeight),
                                  kSmallestLayoutScale, 1.0);
  return scale > kLargestReducedLayoutScale ? 1.0f : static_cast<float>(scale);
}

Box acrossText(const Layout& layout, const Measures& page, const std::vector<Box>& blocks) {
  const Box whole{0, 0, layout.width, layout.height};
  const std::vector<int>& ink = layout.inkPerColumnBesideShapes;
  if (barelyLaidOut(page) || page.wordHeight <= 0 ||
      ink.size() != static_cast<std::size_t>(layout.width)) {
    return whole;
  }
  int left = layout.width, right = 0;
  const auto take = [&](const Box& box) {
    left = std::min(left, box.left);
    right = std::max(right, box.right);
  };
  for (const Box& block : blocks) take(block);
  for (const Box& word : layout.words) {
    if (isWordSized(word, page.wordHeight)) take(word);
  }
  left = std::max(left, 0);
  right = std::min(right, layout.width);
  if (left >= right) return whole;
  const double blank = kGutterInkShare * typicalInk(ink);
  const int gutter = gutterWidth(page);
  // The last inked column from `from` on, stepping by `step`, before a
  // gutter's width of blank columns.
  const auto reach = [&](int from, int step) {
    int edge = from, blankRun = 0;
    for (int x = from + step; x >= 0 && x < layout.width && blankRun < gutter; x += step) {
      if (ink[static_cast<std::size_t>(x)] <= blank) {
        ++blankRun;
      } else {
        blankRun = 0;
        edge = x;
      }
    }
    return edge;
  };
  // A side with nothing but paper beyond stays as it is: the page there
  // reads as it always did.
  const auto inked = [&](int from, int to) {
    return std::any_of(ink.begin() + from, ink.begin() + to,
                       [blank](int count) { return count > blank; });
  };
  Box across = whole;
  const int stripeLeft = std::max(0, reach(left, -1) - gutter);
  const int stripeRight = std::min(layout.width, reach(right - 1, 1) + 1 + gutter);
  if (inked(0, stripeLeft)) across.left = stripeLeft;
  if (inked(stripeRight, layout.width)) across.right = stripeRight;
  return across;
}

namespace {

// Whether a stripe between gutters holds columns: blocks side by side a
// gutter apart, each of several rows. A gutter blank down the whole page
// parts the stripes, but not the columns under a picture or a headline
// that spans two of them; read whole, such a stripe is read across its
// columns. The pieces a layout cuts a line or two of large Hangul into
// stand side by side too, but are less tall.
bool stripesHoldColumns(const std::vector<Box>& stripes, const std::vector<Box>& blocks,
                        const Measures& page) {
  const int gutter = gutterWidth(page);
  const int shortestColumn = kFewestColumnRows * page.lineHeight;
  return std::any_of(stripes.begin(), stripes.end(), [&](const Box& stripe) {
    std::vector<Box> columns;
    for (const Box& block : blocks) {
      const int centre = (block.left + block.right) / 2;
      if (centre >= stripe.left && centre < stripe.right && block.height() >= shortestColumn) {
        columns.push_back(block);
      }
    }
    for (const Box& a : columns) {
      for (const Box& b : columns) {
        if (a.top < b.bottom && b.top < a.bottom && b.left - a.right >= gutter) return true;
      }
    }
    return false;
  });
}

}  // namespace

Plan planReading(const Layout& layout, const Measures& page, const std::vector<Box>& blocks,
                 bool latinPrint) {
  const Box whole{0, 0, layout.width, layout.height};
  Plan plan;
  plan.scale = static_cast<float>(readScale(page, isFewRows(page)));
  const double readWordHeight = static_cast<double>(plan.scale) * page.wordHeight;
  const std::vector<Box> columns =
      joinedTableColumns(gutterColumns(layout, page), layout, page, blocks);
  // The layout of a few rows of large text is no evidence of columns: it
  // cuts large Hangul into pieces. Only a gutter is.
  const std::vector<Box> joined =
      isFewRows(page) ? std::vector<Box>{} : joinedLinePieces(blocks, page);
  if (columns.empty() && !hasColumns(joined)) {
    // One column: read whole, so nothing the blocks missed is left out;
    // by its bands too where blank rows part its lines.
    plan.segmentation = Segmentation::kOneBlock;
    const Box across = acrossText(layout, page, blocks);
    plan.regions = {Region{across}};
    plan.bands = lineBands(layout, page);
    for (Region& band : plan.bands) {
      band.box.left = across.left;
      band.box.right = across.right;
    }
  } else if (layoutScale(page) == 1.0f &&
             (latinPrint || readWordHeight <= kLargestLayoutWordHeight)) {
    // Small print read at a size the engine lays out well: it reads the
    // page in its own layout, which has the blocks it found, rather than
    // laying each block out again. Latin print it lays out well at any
    // size it is read at; enlarged Hangul it takes for columns of its own.
    plan.segmentation = Segmentation::kEngineLayout;
    plan.regions = {Region{whole}};
  } else if (!columns.empty() && !stripesHoldColumns(columns, joined, page)) {
    // Columns with a gutter down the whole page: each read as one block.
    plan.segmentation = Segmentation::kBlocks;
    plan.regions = asBlocks(columns);
  } else {
    plan.segmentation = Segmentation::kBlocks;
    plan.regions = asBlocks(inReadingOrder(withUncoveredWords(joined, layout.words, page)));
  }
  // Without words to measure them by, rules cannot be told from print.
  if (plan.segmentation != Segmentation::kEngineLayout && !barelyLaidOut(page) &&
      page.wordHeight > 0) {
    const RuleSize rules = ruleSize(page);
    plan.shortestRule = rules.shortest;
    plan.thickestRule = rules.thickest;
  }
  return plan;
}

RuleSize ruleSize(const Measures& page) {
  const auto word = static_cast<double>(page.wordHeight);
  return RuleSize{static_cast<int>(std::lround(kShortestRule * word)),
                  std::max(1, static_cast<int>(std::lround(kThickestRule * word)))};
}

bool joinsColumns(const Box& rule, const Layout& layout, const Measures& page,
                  const std::vector<Box>& joined) {
  std::ptrdiff_t left = 0, right = 0;
  for (const Box& word : layout.words) {
    if (!isWordSized(word, page.wordHeight) || word.bottom <= rule.top || word.top >= rule.bottom) {
      continue;
    }
    if (word.right <= rule.left) ++left;
    if (word.left >= rule.right) ++right;
  }
  if (left < kFewestColumnWords || right < kFewestColumnWords) return false;
  return std::any_of(joined.begin(), joined.end(), [&rule](const Box& block) {
    return block.left < rule.left && block.right > rule.right && block.top < rule.bottom &&
           rule.top < block.bottom;
  });
}

bool findBlocksReduced(const Measures& page, const std::vector<Box>& blocks) {
  return !isFewRows(page) && layoutScale(page) != 1.0f &&
         hasColumns(joinedLinePieces(blocks, page));
}

std::vector<Region> lineBands(const Layout& layout, const Measures& page) {
  const std::vector<int>& ink = layout.inkPerRow;
  // A height told by a word or two (the whole page taken for a word) tells
  // nothing of its lines.
  if (ink.empty() || page.wordHeight <= 0 || barelyLaidOut(page)) return {};
  std::vector<Stretch> bands = inkedStretches(ink, page.wordHeight);
  joinLowBands(bands, page.wordHeight);
  const int word = page.wordHeight;
  const auto oneLine = [word](const Stretch& band) {
    return band.end - band.begin <= static_cast<int>(kOneLineHeight * word);
  };
  if (std::none_of(bands.begin(), bands.end(), oneLine)) return {};
  const int margin = static_cast<int>(kBandMargin * word);
  const int height = static_cast<int>(ink.size());
  std::vector<Region> regions;
  for (std::size_t i = 0; i < bands.size(); ++i) {
    const int above = i == 0 ? 0 : (bands[i - 1].end + bands[i].begin) / 2;
    const int below = i + 1 == bands.size() ? height : (bands[i].end + bands[i + 1].begin) / 2;
    const Box box{0, std::max(above, bands[i].begin - margin), layout.width,
                  std::min(below, bands[i].end + margin)};
    regions.push_back(Region{box, oneLine(bands[i])});
  }
  return regions;
}

std::vector<Box> joinedLinePieces(std::vector<Box> blocks, const Measures& page) {
  const int gutter = static_cast<int>(kWidestWordGap * std::max(page.wordHeight, 1));
  // Overlapping blocks, too, stand side by side with a negative gap.
  return joinedWhere(std::move(blocks), [gutter](const Box& a, const Box& b) {
    const bool sideBySide = a.top < b.bottom && b.top < a.bottom;
    const int gap = std::max(a.left, b.left) - std::min(a.right, b.right);
    return sideBySide && gap < gutter;
  });
}

bool hasColumns(const std::vector<Box>& blocks) {
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    for (std::size_t j = i + 1; j < blocks.size(); ++j) {
      if (blocks[i].top < blocks[j].bottom && blocks[j].top < blocks[i].bottom) return true;
    }
  }
  return false;
}

// The middles of the gaps across the page that no word spans, where the
// words' extents stand a gutter apart.
std::vector<int> wordGaps(std::vector<Box> words, int gutter) {
  std::sort(words.begin(), words.end(), [](const Box& a, const Box& b) { return a.left < b.left; });
  std::vector<int> middles;
  int right = std::numeric_limits<int>::min();
  for (const Box& word : words) {
    if (right != std::numeric_limits<int>::min() && word.left - right >= gutter) {
      middles.push_back((right + word.left) / 2);
    }
    right = std::max(right, word.right);
  }
  return middles;
}

// The runs of inked columns of pixels no wider than a rule, between blank
// ones, that hold a rule's length of ink. A column of text is inked
// wherever its lines reach, and where a single line reaches further than
// the others, its letters hold a line's height of ink: such a run is a
// rule down a gutter.
std::vector<Stretch> thinInkedRuns(const std::vector<int>& ink, const Measures& page) {
  std::vector<Stretch> runs;
  if (ink.empty()) return runs;
  const double blank = kGutterInkShare * typicalInk(ink);
  const auto isBlank = [&](std::size_t x) { return ink[x] <= blank; };
  const RuleSize rule = ruleSize(page);
  const auto thickest = static_cast<std::size_t>(rule.thickest);
  std::size_t x = 0;
  while (x < ink.size()) {
    if (isBlank(x)) {
      ++x;
      continue;
    }
    std::size_t end = x;
    while (end < ink.size() && !isBlank(end)) ++end;
    if (x > 0 && end < ink.size() && end - x <= thickest &&
        *std::max_element(ink.begin() + static_cast<std::ptrdiff_t>(x),
                          ink.begin() + static_cast<std::ptrdiff_t>(end)) >= rule.shortest) {
      runs.push_back(Stretch{static_cast<int>(x), static_cast<int>(end)});
    }
    x = end;
  }
  return runs;
}

// The ink of the page's columns of pixels with the rules down its gutters
// taken out. A dotted rule, or one a scan left grey, is no straight run of
// dark pixels that could be painted out, and its dots stand between the
// words on either side of it.
std::vector<int> gutterInk(const Layout& layout, const Measures& page) {
  std::vector<int> ink = layout.inkPerColumn;
  for (const Stretch& run : thinInkedRuns(ink, page)) {
    std::fill(ink.begin() + run.begin, ink.begin() + run.end, 0);
  }
  return ink;
}

// The middles of runs of blank columns of pixels a gutter wide in `ink`,
// away from the page's edges: a gutter the layout missed, because it took
// a rule or two words across it for one word.
std::vector<int> blankRuns(const std::vector<int>& ink, int gutter) {
  std::vector<int> middles;
  if (ink.empty()) return middles;
  const double blank = kGutterInkShare * typicalInk(ink);
  const int width = static_cast<int>(ink.size());
  int first = -1;  // of the current run of blank columns, or -1
  bool inkSeen = false;
  for (int x = 0; x < width; ++x) {
    if (ink[static_cast<std::size_t>(x)] <= blank) {
      if (first < 0) first = x;
      continue;
    }
    if (first >= 0 && inkSeen && x - first >= gutter) middles.push_back((first + x) / 2);
    first = -1;
    inkSeen = true;
  }
  return middles;
}

// Columns of pixels from `from` to `to` that hold more than a gutter's
// specks of ink.
int inkedWidth(const Layout& layout, int from, int to) {
  const std::vector<int>& ink = layout.inkPerColumn;
  if (ink.empty()) return 0;
  const double blank = kGutterInkShare * typicalInk(ink);
  const int last = static_cast<int>(ink.size());
  return static_cast<int>(std::count_if(ink.begin() + std::clamp(from, 0, last),
                                        ink.begin() + std::clamp(to, 0, last),
                                        [blank](int count) { return count > blank; }));
}

// Whether the columns of pixels around `middle` are blank in `ink`: no
// more ink than a share of what a typical column of text holds (noise and
// specks keep some ink everywhere). True when no ink was counted.
bool blankDown(const std::vector<int>& ink, int middle, int halfWidth) {
  if (ink.empty()) return true;
  const double typical = typicalInk(ink);
  const int from = std::clamp(middle - halfWidth / 2, 0, static_cast<int>(ink.size()) - 1);
  const int to = std::clamp(middle + halfWidth / 2, from, static_cast<int>(ink.size()) - 1);
  const int most = *std::max_element(ink.begin() + from, ink.begin() + to + 1);
  return most <= kGutterInkShare * typical;
}

namespace {

// Whether the print of `stripe`, in rows enough to tell, is as narrow as
// a table's column.
bool narrowColumn(const std::vector<Box>& words, const Box& stripe, const Measures& page) {
  std::vector<Box> inside;
  int left = stripe.right, right = stripe.left;
  for (const Box& word : words) {
    if (!isWordSized(word, page.wordHeight) || !holds(stripe, word)) continue;
    inside.push_back(word);
    left = std::min(left, word.left);
    right = std::max(right, word.right);
  }
  return rowsOf(inside, page.wordHeight).size() >= static_cast<std::size_t>(kFewestColumnRows) &&
         right - left < kWidestTableColumn * page.wordHeight;
}

// Whether a block of the layout runs across `x` for rows enough to be a
// table's.
bool rowsAcross(int x, const std::vector<Box>& blocks, const Measures& page) {
  return std::any_of(blocks.begin(), blocks.end(), [&](const Box& block) {
    return block.left < x && block.right > x &&
           block.height() >= kFewestColumnRows * page.lineHeight;
  });
}

}  // namespace

std::vector<Box> joinedTableColumns(const std::vector<Box>& stripes, const Layout& layout,
                                    const Measures& page, const std::vector<Box>& blocks) {
  std::vector<Box> joined;
  for (const Box& stripe : stripes) {
    // In a few rows, gaps between words line up by chance; in more, a
    // narrow column beside the text (line numbers, notes in the margin)
    // is its own unless the layout found rows running across to it.
    if (!joined.empty() && (isFewRows(page) || rowsAcross(stripe.left, blocks, page)) &&
        (narrowColumn(layout.words, joined.back(), page) ||
         narrowColumn(layout.words, stripe, page))) {
      joined.back().right = stripe.right;
    } else {
      joined.push_back(stripe);
    }
  }
  if (joined.size() < 2) return {};
  return joined;
}

std::vector<Box> gutterColumns(const Layout& layout, const Measures& page) {
  std::vector<Box> words;
  for (const Box& word : layout.words) {
    if (isWordSized(word, page.wordHeight)) words.push_back(word);
  }
  const int gutter = gutterWidth(page);
  std::vector<int> candidates = wordGaps(words, gutter);
  const std::vector<int> ink = gutterInk(layout, page);
  const std::vector<int> blank = blankRuns(ink, gutter);
  candidates.insert(candidates.end(), blank.begin(), blank.end());
  std::sort(candidates.begin(), candidates.end());
  // A gutter has columns of several words on both sides (a page number or
  // a stray mark makes none), counted by the layout's words or, where the
  // layout missed some of a page it measured, by their ink; and it is blank
  // in the pixels too.
  const auto centre = [](const Box& word) { return (word.left + word.right) / 2; };
  const bool measured = !barelyLaidOut(page) && page.wordHeight > 0;
  const int columnInk = kFewestColumnWords * kShortestWordLength * page.wordHeight;
  const auto column = [&](std::ptrdiff_t wordsThere, int from, int to) {
    return wordsThere >= kFewestColumnWords ||
           (measured && inkedWidth(layout, from, to) >= columnInk);
  };
  std::vector<int> gutterMiddles;
  int previous = std::numeric_limits<int>::min();
  for (const int middle : candidates) {
    if (!gutterMiddles.empty() && middle - gutterMiddles.back() < gutter) continue;
    const auto before = std::count_if(words.begin(), words.end(), [&](const Box& word) {
      return centre(word) > previous && centre(word) < middle;
    });
    const auto after = std::count_if(words.begin(), words.end(),
                                     [&](const Box& word) { return centre(word) > middle; });
    if (column(before, std::max(previous, 0), middle) && column(after, middle, layout.width) &&
        blankDown(ink, middle, gutter / 2)) {
      gutterMiddles.push_back(middle);
      previous = middle;
    }
  }
  if (gutterMiddles.empty()) return {};
  // Stripes from gutter to gutter, the whole height of the page: text the
  // layout did not take for words is read too.
  std::vector<Box> stripes;
  int left = 0;
  for (const int middle : gutterMiddles) {
    stripes.push_back(Box{left, 0, middle, layout.height});
    left = middle;
  }
  stripes.push_back(Box{left, 0, layout.width, layout.height});
  return stripes;
}

std::vector<Box> thinRulesDown(const Layout& layout, const Measures& page) {
  std::vector<Box> rules;
  for (const Stretch& run : thinInkedRuns(layout.inkPerColumn, page)) {
    rules.push_back(Box{run.begin, 0, run.end, layout.height});
  }
  return rules;
}

std::vector<Box> mergedOverlaps(std::vector<Box> boxes) {
  return joinedWhere(std::move(boxes), overlap);
}

std::vector<Box> withUncoveredWords(std::vector<Box> blocks, const std::vector<Box>& words,
                                    const Measures& page) {
  blocks = mergedOverlaps(std::move(blocks));
  std::vector<Box> uncovered;
  for (const Box& word : words) {
    if (!isWordSized(word, page.wordHeight)) continue;
    if (std::none_of(blocks.begin(), blocks.end(),
                     [&word](const Box& block) { return holds(block, word); })) {
      uncovered.push_back(word);
    }
  }
  if (uncovered.empty()) return blocks;
  std::vector<Box> ordered = std::move(blocks);
  const std::vector<Box> found = ordered;
  for (const Box& region : regionsOf(uncovered, found, page)) {
    ordered.insert(ordered.begin() + static_cast<std::ptrdiff_t>(placeOf(region, ordered)), region);
  }
  return ordered;
}

std::vector<MissedRegion> missedRegions(const Layout& layout, const Measures& page,
                                        const std::vector<Box>& blocks,
                                        const std::vector<ReadLine>& read, float scale) {
  std::vector<Box> readLines = boundsOf(read);
  const auto onPage = [scale](int v) { return static_cast<int>(static_cast<float>(v) / scale); };
  for (Box& line : readLines) {
    line = Box{onPage(line.left), onPage(line.top), onPage(line.right), onPage(line.bottom)};
  }
  std::vector<Box> missed;
  for (const Box& word : layout.words) {
    if (!isWordSized(word, page.wordHeight) || isSliver(word)) continue;
    if (std::none_of(readLines.begin(), readLines.end(),
                     [&word](const Box& line) { return holds(line, word); })) {
      missed.push_back(word);
    }
  }
  // A block of a narrow column can be one word on end, too tall to pass
  // for a word: the engine took the column for a line of upright script.
  for (const Box& block : blocks) {
    if (std::none_of(readLines.begin(), readLines.end(),
                     [&block](const Box& line) { return overlap(line, block); })) {
      missed.push_back(block);
    }
  }
  std::vector<MissedRegion> out;
  for (const Box& region : mergedOverlaps(regionsOf(missed, readLines, page))) {
    out.push_back(MissedRegion{region, placeOf(region, readLines)});
  }
  // Regions that go before the same line are read down the page.
  std::sort(out.begin(), out.end(), [](const MissedRegion& a, const MissedRegion& b) {
    return std::tie(a.place, a.box.top, a.box.left) < std::tie(b.place, b.box.top, b.box.left);
  });
  return out;
}

std::vector<Box> inReadingOrder(std::vector<Box> blocks) {
  for (std::size_t i = 1; i < blocks.size(); ++i) {
    const Box block = blocks[i];
    const auto below =
        std::find_if(blocks.begin(), blocks.begin() + static_cast<std::ptrdiff_t>(i),
                     [&block](const Box& earlier) {
                       return sameColumn(earlier, block) && block.bottom <= earlier.top;
                     });
    if (below == blocks.begin() + static_cast<std::ptrdiff_t>(i)) continue;
    std::rotate(below, blocks.begin() + static_cast<std::ptrdiff_t>(i),
                blocks.begin() + static_cast<std::ptrdiff_t>(i) + 1);
  }
  return blocks;
}

std::string cleanLine(std::string_view line) {
  std::string out;
  out.reserve(line.size());
  bool gap = false;
  for (const char c : line) {
    if (c == ' ' || c == '\t') {
      gap = !out.empty();
      continue;
    }
    if (gap) out += ' ';
    gap = false;
    out += c;
  }
  return out;
}

}  // namespace fileprobe::reading
