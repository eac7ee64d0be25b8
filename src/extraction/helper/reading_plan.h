// How a bitmap is read: the choices of recognition, made in plain code from
// what the engine measured of the page (its layout's lines, words and
// blocks, and how confidently it read a sample), so that they can be tested
// without the engine. The recognition binding measures, asks, and carries
// the plan out.
//
// The choices either change the reading gradually with the page (its scale
// follows the size of its words) or are settled by the readings themselves
// (when the sample and the orientation model disagree, the reading the
// engine is more confident of wins); none flips a page into another way of
// reading because of a few pixels.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fileprobe::reading {

struct Box {
  int left = 0, top = 0, right = 0, bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool operator==(const Box&) const = default;
};

// What the engine's layout found on the page at its size.
struct Layout {
  int width = 0;
  int height = 0;
  std::vector<Box> lines;  // in the engine's order
  std::vector<Box> words;
  // Dark pixels in each column of pixels, left to right (empty when not
  // counted): a gutter is blank in the pixels too, whatever words the
  // layout missed.
  std::vector<int> inkPerColumn;
  // Dark pixels in each row of pixels, top to bottom (empty when not
  // counted): lines of text stand apart with blank rows between them.
  std::vector<int> inkPerRow;
  // Dark pixels in each column of pixels on the rows no tall shape of the
  // layout lies on (empty when not counted): what lies beside the text
  // stands apart from it by blank paper there, whatever dark borders run
  // above and below the page.
  std::vector<int> inkPerColumnBesideShapes;
};

struct Ink {
  std::vector<int> perColumn;
  std::vector<int> perRow;
  std::vector<int> perColumnBesideShapes;
};

// How the grey levels of an 8-bit grey image part in two: the level at
// or below which a pixel is dark (the threshold that best parts them,
// Otsu's), and the share of the pixels that are.
struct Grey {
  int darkThreshold = 128;
  double darkShare = 0;
};

// The grey levels of an 8-bit grey image whose rows are packed `width`
// bytes apart.
Grey greyOf(const unsigned char* pixels, int width, int height);

// Whether a page whose dark pixels make up `darkShare` of it has a dark
// ground: most of it is dark, so its letters are light. Such a page is
// inverted before it is read; the layout finds blocks, gutters and blank
// rows between lines only in dark print on a light ground.
bool onDarkGround(double darkShare);

// What a page's ground is, told from the share of its pixels that are
// dark: light or dark when most of it is one or the other, unsure in
// between, where the page is read both ways and the surer reading stands.
enum class Ground { kLight, kDark, kUnsure };
Ground groundOf(double darkShare);

// Whether a page whose paper, measured tile by tile, has these grey levels
// is lit so unevenly that its lighting is evened out before it is read.
bool unevenlyLit(std::vector<unsigned char> paperLevels);

// The share of the pixels that are dark in a band along each edge of an
// image.
struct Edges {
  double top = 0, bottom = 0, left = 0, right = 0;
};

// Whether the dark pixels that touch the edges of a page (`edges`) and
// make up `borderShare` of it are the surroundings of its paper: a table or
// a dark scanner lid around it, a book's edge or binding beside it. A page
// with such surroundings that reads unsurely is read again without them.
bool darkSurroundings(const Edges& edges, double borderShare);

// Dark pixels (at or below the image's dark threshold) in each column and each row of
// an 8-bit grey image whose rows are packed `width` bytes apart, and in each
// column on the rows none of `shapes` lies on.
Ink inkOf(const unsigned char* pixels, int width, int height, const std::vector<Box>& shapes = {});

// How the lines of a page lie, as measured before it is laid out: the
// turn in degrees, clockwise, that levels them, and how sure the measure
// is of it (the ratio of its best score to its worst).
struct Skew {
  double degrees = 0;
  double confidence = 0;
};

// The turn in degrees, clockwise, that a page is levelled by before it is
// laid out; 0 to read it as it lies. A scan a few degrees askew has lines
// no blank row parts and columns no blank stripe parts, and the layout
// reads each line across both columns; a page within a fraction of a
// degree reads as well as it lies.
double levellingDegrees(const Skew& measured);

// The measures the plan is made from. Its words are the layout's words
// shaped as words can be: slivers far wider than high, which the layout
// sometimes gives across lines of text, are left out.
struct Measures {
  int rows = 0;        // distinct rows of text, pieces of one line counted once
  int lineHeight = 0;  // median
  int wordHeight = 0;  // median
  double pixels = 0;
  std::size_t words = 0;
};

Measures measure(const Layout& layout);

// What the layout gives as lines of their own but is far taller than a few
// lines of text: a photo, a dark border above or below the page.
std::vector<Box> tallShapes(const Layout& layout, const Measures& page);

// How well the engine read something, summed over its words.
struct Confidence {
  double weighted = 0;  // word confidences times their characters
  std::size_t characters = 0;
  void add(double wordConfidence, std::size_t wordCharacters);
  double mean() const;
};

// Text read with this confidence was read the right way up.
bool readsUpright(const Confidence& reading);
// The reading the engine is more confident of, `challenger` only when it
// is clearly so; a reading of too few characters to tell never wins.
bool clearlyBetter(const Confidence& challenger, const Confidence& incumbent);

// Whether a recognised line was read so unsurely that it is no reading at
// all: the engine takes a scanner's dark edge for a line of letters.
bool unreadable(const Confidence& line);

// A recognised line: where it stands and how well it read.
struct ReadLine {
  std::vector<Box> words;
  Confidence confidence;
};

// Which of the lines of one reading are pieces of another read twice: a
// line each of whose words has its middle inside a word of a line read more
// confidently. The engine reads the tops of a large heading's glyphs as a
// line of their own ("= oO =" above 하이원에 한).
std::vector<bool> piecesReadTwice(const std::vector<ReadLine>& lines);

// Whether a reading read some of its ink twice: words lie, by half their
// area or more, over words of another line (pieces read twice, which are
// left out, do not count), one in a hundred or more. The engine's line
// finding then cut across the text's lines (a line of descenders and
// ascenders between two lines, or a line holding half of the line above),
// and the reading holds words read twice or garbage however confident it is.
bool readsInkTwice(const std::vector<ReadLine>& lines);

// A page of a few rows (a label, a line, a short paragraph): it costs
// little to read whole, and its gaps between words are no evidence of
// columns.
bool isFewRows(const Measures& page);

// The columns of a page whose words stand apart with a gap down the whole
// page wider than word gaps can be (a gutter): stripes of the page's whole
// height from gutter to gutter, left to right; empty when there are not
// two columns of several words.
std::vector<Box> gutterColumns(const Layout& layout, const Measures& page);

// `stripes` (gutterColumns) with each stripe whose print is as narrow as
// a table's column joined to the stripe beside it, on a page of a few rows
// or where `blocks`, the layout's, run across the gutter between them.
// Nothing when fewer than two stripes are left.
std::vector<Box> joinedTableColumns(const std::vector<Box>& stripes, const Layout& layout,
                                    const Measures& page, const std::vector<Box>& blocks);

// How long and how thin a rule or a border of a page is, in pixels:
// longer than any stroke of a letter, thinner than one.
struct RuleSize {
  int shortest = 0;
  int thickest = 0;
};

// The size of rules on a page measured by its words.
RuleSize ruleSize(const Measures& page);

// The columns of pixels down the page, as boxes of its height, that may
// hold a rule broken into dots or dashes: runs of inked columns no wider
// than a rule, blank on both sides, with at least a rule's length of ink.
// Rules the layout joins to the print beside them are found among them.
std::vector<Box> thinRulesDown(const Layout& layout, const Measures& page);

// Whether `rule`, a rule down the page, joins columns in the layout: words
// level with it on either side, several of them, and one of the `joined`
// blocks (the layout's, their line pieces joined) reaching across it. Such
// a block is read across both columns. The edge of a page or of a picture
// has words on one side only.
bool joinsColumns(const Box& rule, const Layout& layout, const Measures& page,
                  const std::vector<Box>& joined);

// Whether the layout found too few words to measure the page by (a photo
// whose layout found one box the size of the page): its size tells nothing
// of how long a reading of it takes, nor its words of how it lies.
bool barelyLaidOut(const Measures& page);

// Whether the page may hold light letters on a dark ground (a sign, a
// banner, a photo): its dark pixels (by `layout`'s ink per row) cover more
// of it than print on a light ground ever does. Lines of such a page that
// read badly are worth reading again inverted; on other pages that costs
// up to a third of the time of a poor scan for nothing.
bool mayHoldLightOnDark(const Layout& layout);

// Whether the page's words stand on end, as on a page turned a quarter:
// reading it as it lies would cost a whole reading for nothing.
bool looksSideways(const Layout& layout);

// Lines to read for the page's orientation: rows of typical height near
// the middle and the first quarter of the page, cut to their start.
std::vector<Box> sampleLines(const Layout& layout, const Measures& page);

// What the orientation model said: quarter turns clockwise that make the
// page upright, and how sure it is.
struct Look {
  int turns = 0;
  float confidence = 0;
};

enum class Turn {
  kKeep,     // read the page as it lies
  kTurn,     // read it turned by the one candidate
  kCompare,  // try each candidate, and keep the reading the engine is surest of
};

struct TurnChoice {
  Turn what = Turn::kKeep;
  std::vector<int> candidates;  // quarter turns clockwise, the likeliest first
};

// What to do with a page whose sample did not read upright. `look` is
// nothing when the model could not tell. A turn the model is sure of is
// taken and an upright page it is fairly sure of kept; otherwise every
// turn is tried, the model's first.
TurnChoice chooseTurn(const std::optional<Look>& look);

// After a comparison: whether the best reading of the page turned by
// `turns` is kept. The reading the engine is clearly more confident of
// wins; when neither is, the model's own confidence in that turn decides.
bool keepTurned(const Confidence& turned, const Confidence& asIs, int turns,
                const std::optional<Look>& look);

enum class Segmentation {
  kOneBlock,      // the page (or strip) read as one block of lines
  kLines,         // one column read band by band, each band a line or lines that touch
  kBlocks,        // each region read as one block, in order
  kEngineLayout,  // the whole page read in the engine's own layout
};

struct Region {
  Box box;               // in the page's coordinates
  bool oneLine = false;  // read as a single line rather than as a block of lines
  bool operator==(const Region&) const = default;
};

struct Plan {
  float scale = 1;  // the page is read from a copy scaled so
  Segmentation segmentation = Segmentation::kOneBlock;
  std::vector<Region> regions;  // reading order
  // A page read as one block whose blank rows part its lines: its bands,
  // read when the block reads unsurely (segmentation kLines).
  std::vector<Region> bands;
  // Rules and borders, painted out before the regions are read: dark runs
  // across or down at least `shortestRule` long and at most `thickestRule`
  // thick, in the page's pixels before it is scaled. Read as a block or a
  // line, the engine takes a table's grid or a rule above footnotes for
  // letters, or loses the words between its lines; laying a page out
  // itself, it takes rules out on its own. 0 when rules stay.
  int shortestRule = 0;
  int thickestRule = 0;
};

// Whether a page read as one block read so unsurely that reading it band
// by band is worth its time: the engine sometimes takes the long lines of
// a wide paragraph for several sheared rows, and reads pieces of each.
// A block that read some of its ink twice is always worth it.
bool worthReadingByBands(const Confidence& block, bool inkReadTwice);

// Whether the reading by bands stands against the block's: when it is
// clearly more confident, or when the block read some of its ink twice
// and is not clearly more confident itself.
bool bandsStand(const Confidence& bands, const Confidence& block, bool blockReadInkTwice);

// How much the page is reduced before its blocks are found: the engine's
// layout takes large Hangul for columns of their own, and finds the blocks
// of both scripts at a fixed word size. 1 when the layout at its size does.
float layoutScale(const Measures& page);

// Whether the blocks of a page of several rows are found again on a copy
// reduced by layoutScale: at the page's size the layout takes large Hangul
// for columns of its own, but it does not join columns, so blocks that
// stand one above another there stay so reduced.
bool findBlocksReduced(const Measures& page, const std::vector<Box>& blocks);

// The stripe of the page's whole height that a page of one column is read
// across: its text blocks and words, and the ink joined to them (the ends
// of lines the layout cut short), up to a gutter's width of blank paper on
// either side; what stands beyond (a book's torn edge or binding, a
// scanner's dark border) would be read as letters at the start or end of
// every line. A side with nothing but paper beyond keeps the page's edge;
// the whole page when that ink was not counted or its layout found too
// little to tell.
Box acrossText(const Layout& layout, const Measures& page, const std::vector<Box>& blocks);

// The plan for a page. `blocks`: the text blocks the engine found (in the
// page's coordinates and reading order), from a layout at layoutScale.
// `latinPrint`: a sample of the page read only Latin words.
Plan planReading(const Layout& layout, const Measures& page, const std::vector<Box>& blocks,
                 bool latinPrint);

// The bands of a page of one column: its rows of ink, cut at runs of blank
// rows as tall as a gap between lines, each with a margin that stops at the
// middle of the gap. A band the height of one line is read as one; the
// engine then cannot take a long line for several rows, which it does on
// some sizes of wide paragraphs. Empty when no band is one line (noise or
// skew leaves no blank rows, or paragraphs stand apart): a band of several
// lines is read as a block, as the page was, and cannot read better.
std::vector<Region> lineBands(const Layout& layout, const Measures& page);

// Blocks side by side with no more than a wide word gap between them are
// pieces of the same lines, cut where word gaps happened to line up: they
// are joined.
std::vector<Box> joinedLinePieces(std::vector<Box> blocks, const Measures& page);

// Whether any two blocks stand side by side.
bool hasColumns(const std::vector<Box>& blocks);

// Regions that overlap become their union, read once, at the place of the
// first of them.
std::vector<Box> mergedOverlaps(std::vector<Box> boxes);

// `blocks` in the engine's order, except that a block lying wholly above
// an earlier block of its own column is read just before the first such
// block: the engine lists a header's right half, split from its left half
// by a wide gap, after the page it heads.
std::vector<Box> inReadingOrder(std::vector<Box> blocks);

// `blocks`, and the words none of them holds gathered into regions of
// their own, each at its place in the reading order.
std::vector<Box> withUncoveredWords(std::vector<Box> blocks, const std::vector<Box>& words,
                                    const Measures& page);

// Print the engine's own layout left unread, gathered into regions to be
// read as blocks of their own: the words of `layout` whose middle lies in
// none of `read`, the lines it read from the page scaled by `scale` (in
// their order), and the text blocks it found that reach none of them.
// Each region, in the page's coordinates, comes with the index among
// `read` before which its lines go (read.size(): after them all). Reading
// the whole page, the engine takes a narrow column of line numbers, or of
// a table, for no text.
struct MissedRegion {
  Box box;
  std::size_t place = 0;
  bool operator==(const MissedRegion&) const = default;
};
std::vector<MissedRegion> missedRegions(const Layout& layout, const Measures& page,
                                        const std::vector<Box>& blocks,
                                        const std::vector<ReadLine>& read, float scale);

// Whether a line read from such a region stands: the engine left most of
// what it leaves out unread for good reason, and reads it as noise.
bool missedLineStands(const Confidence& line);

// A word as the engine read it.
struct Word {
  std::string text;
  double confidence = 0;
  bool english = false;  // read by the English model rather than the Korean
};

// Whether `utf8` holds a Hangul syllable or letter.
bool holdsHangul(std::string_view utf8);
// Whether `utf8` holds a Hangul syllable. Korean text always does; a lone
// Hangul letter is as likely the engine's reading of a rule or a bar (ㅣ, ㅡ).
bool holdsHangulSyllable(std::string_view utf8);

// Whether a word of a line that holds Hangul is worth reading again with
// the Korean model alone: the two models together read some Hangul words
// as capitals and brackets ("AAS" for 연결을, "Z| Bo]"), which the English
// model then gives less than its sure confidence.
bool doubtfulLatin(const Word& word, bool lineHoldsHangul);

// The Korean model's reading of a doubtful word replaces it when it reads
// Hangul and the engine is more confident of it.
bool koreanReadingWins(const Word& english, const Word& korean);

// One recognised line as the text layer gives lines: words separated by
// single spaces, no space at either end.
std::string cleanLine(std::string_view line);

}  // namespace fileprobe::reading
