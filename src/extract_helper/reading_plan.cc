#include "extract_helper/reading_plan.h"

#include <algorithm>
#include <cmath>

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

// With fewer rows than this, word gaps that line up by chance pass for
// column gutters and lines get cut in two.
constexpr int kFewestRowsForLayout = 6;

// A sample line is a row of text about as high as the page's lines and
// many times longer than high; only its start is read.
constexpr double kSampleLineHeightRange = 1.25;
constexpr int kSampleLineShortestLength = 8;  // times its height
constexpr int kSampleLineLongestLength = 30;  // times its height
constexpr std::size_t kSampleLines = 2;

// The orientation model's first look (100 glyphs): turns it gives with at
// least this confidence are right; below kFaintTurnConfidence it is
// guessing. Between the two, the readings decide.
constexpr float kClearTurnConfidence = 4.0f;
constexpr float kFaintTurnConfidence = 1.0f;
constexpr int kHalfTurn = 2;
// When the readings of both ways cannot tell, a turn the model gives with
// this confidence is taken (its first look scores about half as high as
// its full one, where right turns scored 3.5 and more).
constexpr float kLikelyTurnConfidence = 2.0f;

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

// Words the blocks leave out are gathered into a region when they lie
// within this many word heights of one another across, and this many line
// heights down.
constexpr int kRegionGapAcross = 3;
constexpr int kRegionGapDown = 1;
// Times the median word height.
constexpr int kLargestWordHeight = 3;

int median(std::vector<int> values) {
  if (values.empty()) return 0;
  const auto middle = static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), values.begin() + middle, values.end());
  return values[values.size() / 2];
}

// Boxes far taller than the page's words are rules, pictures or the
// whole page taken for a word, not text.
bool isWordSized(const Box& word, int wordHeight) {
  return word.height() > 0 && word.height() <= kLargestWordHeight * wordHeight;
}

// Rows of text: words that share most of their height lie in one row.
// Rows are found from words rather than the layout's lines: the layout
// cuts large Hangul into pieces (upper and lower parts of a line, a lone
// final consonant) and takes two close lines for one, while a piece of a
// word lies within its row and words of two lines never share much height.
std::vector<Box> rowsOf(std::vector<Box> words, int wordHeight) {
  std::sort(words.begin(), words.end(),
            [](const Box& a, const Box& b) { return a.top < b.top; });
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

bool holds(const Box& box, const Box& word) {
  const int x = (word.left + word.right) / 2, y = (word.top + word.bottom) / 2;
  return x >= box.left && x < box.right && y >= box.top && y < box.bottom;
}

Box grown(const Box& box, int across, int down) {
  return Box{box.left - across, box.top - down, box.right + across, box.bottom + down};
}

// Words of `words` gathered into regions of nearby words.
std::vector<Box> regionsOf(const std::vector<Box>& words, const Measures& page) {
  const int across = kRegionGapAcross * std::max(page.wordHeight, 1);
  const int down = kRegionGapDown * std::max(page.lineHeight, 1);
  std::vector<Box> grownWords;
  grownWords.reserve(words.size());
  for (const Box& word : words) grownWords.push_back(grown(word, across, down));
  std::vector<Box> regions;
  for (const Box& near : mergedOverlaps(std::move(grownWords))) {
    // Back to the words' own extent, so that a region does not reach into
    // the blocks around it.
    std::optional<Box> tight;
    for (const Box& word : words) {
      if (overlap(near, word)) tight = tight ? unionOf(*tight, word) : word;
    }
    if (tight) regions.push_back(*tight);
  }
  return regions;
}

// Where `region` goes among `ordered`: after the last box above it in its
// column, else before the first box below it in its column, else before
// the first box that lies wholly below it, else at the end.
std::size_t placeOf(const Box& region, const std::vector<Box>& ordered) {
  const auto sameColumn = [&region](const Box& box) {
    return box.left < region.right && region.left < box.right;
  };
  std::optional<std::size_t> after;
  for (std::size_t i = 0; i < ordered.size(); ++i) {
    if (sameColumn(ordered[i]) && ordered[i].top <= region.top) after = i;
  }
  if (after) return *after + 1;
  for (std::size_t i = 0; i < ordered.size(); ++i) {
    if (sameColumn(ordered[i])) return i;
  }
  for (std::size_t i = 0; i < ordered.size(); ++i) {
    if (ordered[i].top >= region.bottom) return i;
  }
  return ordered.size();
}

double readScale(const Measures& page, bool fewRows) {
  if (page.wordHeight <= 0 || page.pixels <= 0) return 1;
  const auto word = static_cast<double>(page.wordHeight);
  if (word > kLargestReadWordHeight) return kLargestReadWordHeight / word;
  const double wanted = fewRows ? kFewRowsWordHeight : kSmallestReadWordHeight;
  if (word >= wanted) return 1;
  const double room = std::sqrt(kLargestReadPixels / page.pixels);
  return std::max(1.0, std::min({wanted / word, kLargestEnlargement, room}));
}

}  // namespace

Measures measure(const Layout& layout) {
  Measures page;
  std::vector<int> heights;
  heights.reserve(layout.lines.size());
  for (const Box& line : layout.lines) heights.push_back(line.height());
  page.lineHeight = median(std::move(heights));
  std::vector<int> words;
  words.reserve(layout.words.size());
  for (const Box& word : layout.words) words.push_back(word.height());
  page.wordHeight = median(std::move(words));
  const std::vector<Box> rows = rowsOf(layout.words, page.wordHeight);
  page.rows = static_cast<int>(rows.size());
  page.pixels = static_cast<double>(layout.width) * static_cast<double>(layout.height);
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

bool clearlyBetter(const Confidence& challenger, const Confidence& incumbent) {
  if (challenger.characters < kFewestTellingCharacters) return false;
  if (incumbent.characters < kFewestTellingCharacters) return true;
  return challenger.mean() >= incumbent.mean() + kClearLead;
}

bool isFewRows(const Measures& page) { return page.rows < kFewestRowsForLayout; }

std::vector<Box> sampleLines(const Layout& layout, const Measures& page) {
  std::vector<Box> rows;
  const auto typical = static_cast<double>(page.lineHeight);
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

TurnChoice chooseTurn(const Measures& page, const std::optional<Look>& look) {
  const bool modelTells = look && look->turns % 4 != 0 && look->confidence >= kFaintTurnConfidence;
  if (!modelTells) {
    if (isFewRows(page)) return {Turn::kCompare, kHalfTurn};
    return {Turn::kKeep, 0};
  }
  const int turns = ((look->turns % 4) + 4) % 4;
  if (look->confidence >= kClearTurnConfidence) return {Turn::kTurn, turns};
  return {Turn::kCompare, turns};
}

bool keepTurned(const Confidence& turned, const Confidence& asIs, const std::optional<Look>& look) {
  if (clearlyBetter(turned, asIs)) return true;
  if (clearlyBetter(asIs, turned)) return false;
  return look && look->turns % 4 != 0 && look->confidence >= kLikelyTurnConfidence;
}

float layoutScale(const Measures& page) {
  if (page.wordHeight <= 0) return 1;
  const double scale = std::clamp(kLayoutWordHeight / static_cast<double>(page.wordHeight),
                                  kSmallestLayoutScale, 1.0);
  return scale > kLargestReducedLayoutScale ? 1.0f : static_cast<float>(scale);
}

Plan planReading(const Layout& layout, const Measures& page, const std::vector<Box>& blocks) {
  const Box whole{0, 0, layout.width, layout.height};
  const bool fewRows = isFewRows(page);
  Plan plan;
  plan.scale = static_cast<float>(readScale(page, fewRows));
  if (fewRows || blocks.empty()) {
    plan.segmentation = Segmentation::kOneBlock;
    plan.regions = {whole};
  } else if (layoutScale(page) == 1.0f) {
    // Small print: the engine reads the page in its own layout, which has
    // the blocks it found, rather than laying each block out again.
    plan.segmentation = Segmentation::kEngineLayout;
    plan.regions = {whole};
  } else {
    plan.segmentation = Segmentation::kBlocks;
    plan.regions = withUncoveredWords(blocks, layout.words, page);
  }
  return plan;
}

std::vector<Box> mergedOverlaps(std::vector<Box> boxes) {
  bool merged = true;
  while (merged) {
    merged = false;
    for (std::size_t i = 0; i < boxes.size() && !merged; ++i) {
      for (std::size_t j = i + 1; j < boxes.size() && !merged; ++j) {
        if (!overlap(boxes[i], boxes[j])) continue;
        boxes[i] = unionOf(boxes[i], boxes[j]);
        boxes.erase(boxes.begin() + static_cast<std::ptrdiff_t>(j));
        merged = true;
      }
    }
  }
  return boxes;
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
  for (const Box& region : regionsOf(uncovered, page)) {
    ordered.insert(ordered.begin() + static_cast<std::ptrdiff_t>(placeOf(region, ordered)),
                   region);
  }
  return ordered;
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
