// The choices of recognition, on page shapes made here: one row per way of
// reading.
#include "extraction/helper/reading_plan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace fileprobe::reading {
namespace {

// A page of `rows` rows of `words` words each, `wordHeight` high, in
// `columns` columns; its lines as the layout gives them.
Layout textPage(int width, int height, int rows, int columns, int wordHeight) {
  Layout page{width, height, {}, {}, {}, {}, {}};
  const int columnWidth = width / columns;
  const int wordWidth = 3 * wordHeight;
  for (int column = 0; column < columns; ++column) {
    for (int row = 0; row < rows; ++row) {
      const int top = wordHeight + row * 2 * wordHeight;
      const int left = column * columnWidth + wordHeight;
      const int right = (column + 1) * columnWidth - wordHeight;
      page.lines.push_back(Box{left, top, right, top + wordHeight});
      for (int x = left; x + wordWidth <= right; x += wordWidth + wordHeight) {
        page.words.push_back(Box{x, top, x + wordWidth, top + wordHeight});
      }
    }
  }
  return page;
}

// `page` with its rows of pixels inked where its lines are.
Layout withRowInk(Layout page) {
  page.inkPerRow.assign(static_cast<std::size_t>(page.height), 0);
  for (const Box& line : page.lines) {
    for (int y = line.top; y < line.bottom; ++y) page.inkPerRow[static_cast<std::size_t>(y)] = 400;
  }
  return page;
}

std::vector<Box> columnBlocks(const Layout& page, int columns) {
  std::vector<Box> blocks;
  const int columnWidth = page.width / columns;
  for (int column = 0; column < columns; ++column) {
    blocks.push_back(Box{column * columnWidth, 0, (column + 1) * columnWidth, page.height});
  }
  return blocks;
}

struct Shape {
  const char* name;
  Layout page;
  int columns;
  Segmentation segmentation;
  float smallestScale, largestScale;
  std::size_t bands = 0;  // to read when the block reads unsurely
  bool latin = false;     // a sample read only Latin words
};

TEST(ReadingPlanTest, EachPageShapeGetsItsWayOfReading) {
  const Shape shapes[] = {
      // A label: read whole, enlarged towards words of 40 px.
      {"strip", textPage(900, 120, 2, 1, 24), 1, Segmentation::kOneBlock, 1.6f, 1.7f},
      // A short wide paragraph of large Hangul: whole, as it is.
      {"short wide paragraph", textPage(2560, 260, 4, 1, 40), 1, Segmentation::kOneBlock, 1, 1},
      // Two columns of 30 px text: their blocks, found on a reduced copy.
      {"columns", textPage(2000, 2400, 30, 2, 30), 2, Segmentation::kBlocks, 1, 1},
      // Fine print on a large page: the engine's own layout, at its size.
      {"small print", textPage(3400, 4400, 40, 2, 18), 2, Segmentation::kEngineLayout, 1, 1},
      // Columns of small Latin print, enlarged: the engine's own layout.
      {"small Latin print", textPage(1700, 2200, 40, 2, 18), 2, Segmentation::kEngineLayout, 1.3f,
       1.4f, 0, true},
      // The same of Hangul: the engine's layout would take the enlarged
      // words for columns, so each column is read as a block.
      {"small Hangul print", textPage(1700, 2200, 40, 2, 18), 2, Segmentation::kBlocks, 1.3f, 1.4f},
      // A low-resolution scan: enlarged, the more the smaller its words,
      // beyond the size the engine lays out well.
      {"low resolution", textPage(1200, 1600, 30, 1, 10), 1, Segmentation::kOneBlock, 2, 2.1f},
      // Two columns of a few rows: their blocks, with a gutter no word gap
      // can make.
      {"short columns", textPage(2200, 320, 5, 2, 30), 2, Segmentation::kBlocks, 1.3f, 1.4f},
      // A page of one column whose lines stand apart: band by band.
      // ... and by its bands when that reads unsurely.
      {"lines set apart", withRowInk(textPage(1600, 900, 10, 1, 30)), 1, Segmentation::kOneBlock, 1,
       1, 10},
      // A poster: large letters reduced, one column read whole.
      {"large text", textPage(3000, 4000, 8, 1, 120), 1, Segmentation::kOneBlock, 0.5f, 0.5f},
  };
  for (const Shape& shape : shapes) {
    SCOPED_TRACE(shape.name);
    const Measures measures = measure(shape.page);
    const Plan plan =
        planReading(shape.page, measures, columnBlocks(shape.page, shape.columns), shape.latin);
    EXPECT_EQ(plan.segmentation, shape.segmentation);
    EXPECT_GE(plan.scale, shape.smallestScale);
    EXPECT_LE(plan.scale, shape.largestScale);
    EXPECT_FALSE(plan.regions.empty());
    EXPECT_EQ(plan.bands.size(), shape.bands);
    if (plan.segmentation == Segmentation::kEngineLayout) {
      EXPECT_EQ(plan.shortestRule, 0);  // the engine takes rules out itself
    } else {
      // Longer than any stroke of a letter, thinner than one.
      EXPECT_GE(plan.shortestRule, 5 * measures.wordHeight);
      EXPECT_LE(plan.thickestRule, measures.wordHeight / 3);
      EXPECT_GE(plan.thickestRule, 1);
    }
  }
  EXPECT_TRUE(worthReadingByBands(Confidence{80.0 * 100, 100}, false));
  EXPECT_FALSE(worthReadingByBands(Confidence{92.0 * 100, 100}, false));
}

TEST(ReadingPlanTest, BlocksAreFoundAgainReducedOnlyWhereLargeWordsStandSideBySide) {
  const Layout columns = textPage(2000, 2400, 30, 2, 30);
  // The blocks of the two columns, with the gutter between them.
  const std::vector<Box> apart{{30, 0, 970, 2400}, {1030, 0, 1970, 2400}};
  EXPECT_TRUE(findBlocksReduced(measure(columns), apart));
  // One column at the page's size stays one column reduced.
  EXPECT_FALSE(findBlocksReduced(measure(columns), columnBlocks(columns, 1)));
  // Small print is laid out at its size; a few rows are read whole.
  const Layout smallPrint = textPage(3400, 4400, 40, 2, 18);
  EXPECT_FALSE(
      findBlocksReduced(measure(smallPrint), {{18, 0, 1682, 4400}, {1718, 0, 3382, 4400}}));
  const Layout fewRows = textPage(2200, 320, 5, 2, 30);
  EXPECT_FALSE(findBlocksReduced(measure(fewRows), {{30, 0, 1070, 320}, {1130, 0, 2170, 320}}));
}

TEST(ReadingPlanTest, EnlargementFallsGraduallyAsThePageGrows) {
  // No page size flips a scan from three times its size to its own size.
  float previous = 2.5f;  // 25 px words from 10 px ones
  for (int width = 600; width <= 6000; width += 50) {
    const Layout page = textPage(width, width * 4 / 3, 30, 1, 10);
    const float scale = planReading(page, measure(page), {}, false).scale;
    EXPECT_LE(scale, previous);
    EXPECT_GE(scale, previous * 0.9f) << width;
    previous = scale;
  }
  EXPECT_EQ(previous, 1.0f);
}

TEST(ReadingPlanTest, AGutterIsBlankInThePixelsToo) {
  Layout page = textPage(2200, 320, 5, 2, 30);
  const Measures measures = measure(page);
  page.inkPerColumn.assign(2200, 40);
  for (int x = 1030; x < 1170; ++x) page.inkPerColumn[static_cast<std::size_t>(x)] = 3;  // specks
  EXPECT_EQ(gutterColumns(page, measures).size(), 2u);
  // Glyphs across it that the layout did not take for words: one column.
  for (const int glyph : {1035, 1080, 1125}) {
    for (int x = glyph; x < glyph + 25; ++x) page.inkPerColumn[static_cast<std::size_t>(x)] = 30;
  }
  EXPECT_TRUE(gutterColumns(page, measures).empty());
  // A word the layout drew across the gutter (a rule taken for a word)
  // hides no gutter that is blank in the pixels.
  page.inkPerColumn.assign(2200, 40);
  for (int x = 1030; x < 1170; ++x) page.inkPerColumn[static_cast<std::size_t>(x)] = 3;
  page.words.push_back(Box{700, 200, 1500, 210});
  EXPECT_EQ(gutterColumns(page, measure(page)).size(), 2u);
}

TEST(ReadingPlanTest, ADottedRuleDownAGutterLeavesItAGutter) {
  // Two columns 60 pixels apart, a rule of dots down the middle of the gap:
  // blank on either side of it for less than a gutter's width.
  Layout page = textPage(2200, 320, 5, 2, 30);
  const Measures measures = measure(page);
  page.inkPerColumn.assign(2200, 40);
  for (int x = 1070; x < 1130; ++x) page.inkPerColumn[static_cast<std::size_t>(x)] = 3;
  const auto inkDown = [&page](int from, int to, int ink) {
    for (int x = from; x < to; ++x) page.inkPerColumn[static_cast<std::size_t>(x)] = ink;
  };
  inkDown(1098, 1102, 250);
  EXPECT_EQ(gutterColumns(page, measures).size(), 2u);
  EXPECT_EQ(thinRulesDown(page, measures), (std::vector<Box>{Box{1098, 0, 1102, 320}}));
  // A line's letters where one line reaches into the gap: print.
  inkDown(1098, 1102, 30);
  EXPECT_TRUE(thinRulesDown(page, measures).empty());
  EXPECT_TRUE(gutterColumns(page, measures).empty());
  // Ink down the page wider than a rule: print too.
  inkDown(1090, 1110, 250);
  EXPECT_TRUE(thinRulesDown(page, measures).empty());
  EXPECT_TRUE(gutterColumns(page, measures).empty());
}

TEST(ReadingPlanTest, ColumnsNoGutterPartsAreReadByTheirBlocks) {
  // Three columns; a picture across the top of the second and third leaves
  // a gutter blank down the whole page only after the first.
  Layout page = textPage(2400, 2400, 30, 3, 30);
  page.inkPerColumn.assign(2400, 40);
  for (int x = 770; x < 830; ++x) page.inkPerColumn[static_cast<std::size_t>(x)] = 0;
  const std::vector<Box> blocks{Box{30, 0, 770, 2400}, Box{830, 640, 1570, 2400},
                                Box{1630, 640, 2370, 2400}};
  const Plan plan = planReading(page, measure(page), blocks, false);
  EXPECT_EQ(plan.segmentation, Segmentation::kBlocks);
  for (const Region& region : plan.regions) {
    EXPECT_FALSE(region.box.left < 1570 && region.box.right > 1630) << "read across two columns";
  }
}

TEST(ReadingPlanTest, ATablesNarrowColumnIsReadWithItsRows) {
  // A receipt: items on the left, a price on the right of each row, a
  // gutter between; the layout found rows running across it.
  Layout receipt = textPage(640, 600, 8, 1, 20);
  std::erase_if(receipt.words, [](const Box& word) { return word.left > 300; });
  for (const Box& line : receipt.lines) {
    receipt.words.push_back(Box{480, line.top, 600, line.bottom});
  }
  const Measures measures = measure(receipt);
  const std::vector<Box> stripes{Box{0, 0, 420, 600}, Box{420, 0, 640, 600}};
  const std::vector<Box> across{Box{20, 20, 600, 320}};
  EXPECT_TRUE(joinedTableColumns(stripes, receipt, measures, across).empty());
  // The layout found the two apart: notes in a margin, their own column.
  const std::vector<Box> apart{Box{20, 20, 300, 320}, Box{480, 20, 600, 320}};
  EXPECT_EQ(joinedTableColumns(stripes, receipt, measures, apart), stripes);
  // In three rows, apart or not, the gaps lined up by chance.
  Layout few = receipt;
  std::erase_if(few.words, [](const Box& word) { return word.top > 200; });
  EXPECT_TRUE(joinedTableColumns(stripes, few, measure(few), apart).empty());
  // Two columns of text the layout ran together stay columns: their print
  // is wide.
  const Layout text = textPage(2000, 600, 8, 2, 20);
  const std::vector<Box> halves{Box{0, 0, 1000, 600}, Box{1000, 0, 2000, 600}};
  EXPECT_EQ(joinedTableColumns(halves, text, measure(text), {Box{20, 20, 1980, 320}}), halves);
}

TEST(ReadingPlanTest, ARuleDownAGutterJoinsColumnsOnlyWhereABlockReachesAcrossIt) {
  const Layout page = textPage(2000, 2400, 30, 2, 30);
  const Measures measures = measure(page);
  const Box gutterRule{999, 0, 1001, 2400};
  const std::vector<Box> apart{Box{30, 0, 970, 2400}, Box{1030, 0, 1970, 2400}};
  const std::vector<Box> across{Box{30, 0, 1970, 2400}};
  EXPECT_TRUE(joinsColumns(gutterRule, page, measures, across));
  // The layout parted the columns itself.
  EXPECT_FALSE(joinsColumns(gutterRule, page, measures, apart));
  // The edge of the page, or of a picture: words on one side only.
  EXPECT_FALSE(joinsColumns(Box{5, 0, 7, 2400}, page, measures, across));
  // Below the text, no words stand level with it.
  EXPECT_FALSE(joinsColumns(Box{999, 1900, 1001, 2400}, page, measures, across));
}

TEST(ReadingPlanTest, AColumnTheLayoutMissedIsSeenByItsInk) {
  // A 1-bit page of two columns whose right column the layout barely saw:
  // a stray word there, and ink as wide as the left column's.
  Layout page = textPage(2200, 320, 5, 2, 30);
  std::erase_if(page.words, [](const Box& word) { return word.left > 1100; });
  page.words.push_back(Box{1200, 30, 1290, 60});
  page.inkPerColumn.assign(2200, 40);
  for (int x = 1030; x < 1170; ++x) page.inkPerColumn[static_cast<std::size_t>(x)] = 3;
  EXPECT_EQ(gutterColumns(page, measure(page)).size(), 2u);
  // On the right only a page number's ink: one column.
  for (int x = 1170; x < 2200; ++x)
    page.inkPerColumn[static_cast<std::size_t>(x)] = x < 1230 ? 40 : 0;
  EXPECT_TRUE(gutterColumns(page, measure(page)).empty());
  // A page whose layout found no words has no measure of a column or a
  // gutter: the blank between two large words is no gutter.
  Layout strip{900, 260, {}, {}, {}, {}, {}};
  strip.inkPerColumn.assign(900, 40);
  for (int x = 400; x < 440; ++x) strip.inkPerColumn[static_cast<std::size_t>(x)] = 0;
  EXPECT_TRUE(gutterColumns(strip, measure(strip)).empty());
}

TEST(ReadingPlanTest, InkIsCountedAgainstTheImagesOwnGreyLevels) {
  // Grey text (90) on a grey background (170): a fixed threshold of 128
  // would still part them, but one of 60 or 200 would not.
  std::vector<unsigned char> grey(40, 170);
  for (std::size_t y = 0; y < 6; ++y) grey[y * 4 + 1] = 90;
  EXPECT_EQ(inkOf(grey.data(), 4, 10).perColumn, (std::vector<int>{0, 6, 0, 0}));
  // A 1-bit scan, black 0 on white 255: its ink is its black pixels, so the
  // split lies at or above black and below white.
  const std::vector<unsigned char> bilevel{0, 255, 255, 0, 255, 255};
  EXPECT_EQ(inkOf(bilevel.data(), 3, 2).perColumn, (std::vector<int>{2, 0, 0}));
  // Beside shapes: the rows a shape lies on are not counted.
  EXPECT_EQ(inkOf(grey.data(), 4, 10, {Box{0, 0, 4, 2}}).perColumnBesideShapes,
            (std::vector<int>{0, 4, 0, 0}));
}

// A page 2000 px wide whose 10 rows of 30 px words stand from 400 to 1600,
// inked there; a shape holding no text inked from 0 to `edge`.
Layout besideAnEdge(int edge) {
  Layout page = textPage(1260, 700, 10, 1, 30);
  page.width = 2000;
  for (Box& box : page.words) box.left += 370, box.right += 370;
  for (Box& box : page.lines) box.left += 370, box.right += 370;
  page.inkPerColumnBesideShapes.assign(2000, 0);
  for (int x = 400; x < 1600; ++x) page.inkPerColumnBesideShapes[static_cast<std::size_t>(x)] = 90;
  for (int x = 0; x < edge; ++x) page.inkPerColumnBesideShapes[static_cast<std::size_t>(x)] = 300;
  return page;
}

TEST(ReadingPlanTest, AColumnIsReadWithoutTheDarkEdgeBesideIt) {
  // A book's torn edge beside the text, paper between: read up to a
  // gutter's width of the paper, its bands too.
  Layout page = besideAnEdge(200);
  const Measures measures = measure(page);
  const Plan plan = planReading(page, measures, {}, false);
  ASSERT_EQ(plan.regions.size(), 1u);
  const Box across = plan.regions.front().box;
  EXPECT_GT(across.left, 200);
  EXPECT_LT(across.left, 400);
  EXPECT_EQ(across.right, 2000) << "nothing but paper on the right";
  EXPECT_EQ(across.height(), 700);
  // Ink joined to the text is its own, though the layout cut its lines short.
  for (int x = 1600; x < 1800; ++x) page.inkPerColumnBesideShapes[static_cast<std::size_t>(x)] = 60;
  for (int x = 1900; x < 2000; ++x)
    page.inkPerColumnBesideShapes[static_cast<std::size_t>(x)] = 300;
  const Box wider = acrossText(page, measures, {});
  EXPECT_GT(wider.right, 1800);
  EXPECT_LT(wider.right, 1900);
  // Nothing but paper beside the text: the page whole, as it always read.
  const Layout plain = besideAnEdge(0);
  EXPECT_EQ(acrossText(plain, measure(plain), {}), (Box{0, 0, 2000, 700}));
  // An edge joined to the text by less than a gutter is not told apart.
  const Layout joined = besideAnEdge(380);
  EXPECT_EQ(acrossText(joined, measure(joined), {}), (Box{0, 0, 2000, 700}));
}

TEST(ReadingPlanTest, ADarkGroundIsToldByTheShareOfDarkPixels) {
  // Light letters (230) on a dark ground (40): most of the page is dark,
  // and it is inverted before it is read.
  std::vector<unsigned char> sign(100, 40);
  for (std::size_t i = 0; i < 20; ++i) sign[i] = 230;
  const double share = greyOf(sign.data(), 10, 10).darkShare;
  EXPECT_DOUBLE_EQ(share, 0.8);
  EXPECT_TRUE(onDarkGround(share));
  EXPECT_FALSE(onDarkGround(0.3)) << "a scan with dark edges";
  EXPECT_FALSE(onDarkGround(greyOf(sign.data(), 0, 0).darkShare)) << "no pixels";
  // Between print's share and a sign's, the page is read both ways.
  EXPECT_EQ(groundOf(0.3), Ground::kLight) << "a scan with dark edges";
  EXPECT_EQ(groundOf(0.49), Ground::kUnsure) << "a photo darkened towards one side";
  EXPECT_EQ(groundOf(0.51), Ground::kUnsure) << "the same, a little darker";
  EXPECT_EQ(groundOf(0.9), Ground::kDark) << "a sign";
  // Lines that read badly are read again inverted only where the dark
  // pixels cover more than print does.
  Layout page{100, 100, {}, {}, {}, {}, {}};
  page.inkPerRow.assign(100, 0);
  std::fill_n(page.inkPerRow.begin(), 30, 100);
  EXPECT_FALSE(mayHoldLightOnDark(page)) << "a scan with dark edges";
  std::fill_n(page.inkPerRow.begin(), 90, 100);
  EXPECT_TRUE(mayHoldLightOnDark(page)) << "a sign";
  EXPECT_FALSE(mayHoldLightOnDark(Layout{})) << "nothing counted";
}

TEST(ReadingPlanTest, APageIsLevelledOnlyWhenTheMeasureIsSureItLiesAskew) {
  struct Row {
    const char* shape;
    Skew measured;
    double degrees;
  };
  const Row rows[] = {
      {"level", {0, 20}, 0},
      {"within half a degree", {0.4, 20}, 0},
      {"a degree askew", {-1.2, 12}, -1.2},
      {"a scan six degrees askew", {6.2, 8}, 6.2},
      {"the measure unsure (a photo, a page of few lines)", {6.2, 2}, 0},
      {"the measure found nothing", {0, 0}, 0},
  };
  for (const Row& row : rows) {
    EXPECT_DOUBLE_EQ(levellingDegrees(row.measured), row.degrees) << row.shape;
  }
}

// Rows of ink for lines of `wordHeight`, each `inked` true or a gap of
// blank rows; rows between are filled with `between` dark pixels.
Layout inkedRows(const std::vector<std::pair<int, bool>>& runs, int between = 0) {
  Layout page{2000, 0, {}, {}, {}, {}, {}};
  for (const auto& [rows, inked] : runs) {
    page.inkPerRow.insert(page.inkPerRow.end(), static_cast<std::size_t>(rows),
                          inked ? 400 : between);
  }
  page.height = static_cast<int>(page.inkPerRow.size());
  return page;
}

TEST(ReadingPlanTest, LinesPartedByBlankRowsAreReadBandByBand) {
  Measures page;
  page.wordHeight = 30;
  page.words = 40;
  struct Case {
    const char* name;
    Layout layout;
    std::vector<bool> oneLine;  // of each band; empty: the page is not cut
  };
  const Case cases[] = {
      {"three lines set apart",
       inkedRows({{10, false},
                  {30, true},
                  {12, false},
                  {30, true},
                  {12, false},
                  {30, true},
                  {40, false}}),
       {true, true, true}},
      {"a lone line", inkedRows({{10, false}, {32, true}, {10, false}}), {true}},
      // Lines set too close for a gap: one block, read as before.
      {"touching lines", inkedRows({{10, false}, {30, true}, {1, false}, {30, true}}), {}},
      // Noise in every row between lines: nothing to cut at.
      {"noisy gaps", inkedRows({{30, true}, {12, false}, {30, true}}, 40), {}},
      // Paragraphs set apart, each of touching lines: read as before.
      {"paragraphs apart",
       inkedRows(
           {{30, true}, {2, false}, {30, true}, {15, false}, {30, true}, {2, false}, {30, true}}),
       {}},
      // Two touching lines and a third apart: a block and a line.
      {"a block and a line",
       inkedRows({{30, true}, {2, false}, {30, true}, {15, false}, {30, true}}),
       {false, true}},
      // Accents above a line stand apart from it by a few blank rows.
      {"accents", inkedRows({{10, false}, {6, true}, {6, false}, {28, true}, {20, false}}), {true}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<Region> bands = lineBands(c.layout, page);
    ASSERT_EQ(bands.size(), c.oneLine.size());
    for (std::size_t i = 0; i < bands.size(); ++i) {
      EXPECT_EQ(bands[i].oneLine, c.oneLine[i]) << "band " << i;
      EXPECT_EQ(bands[i].box.width(), c.layout.width);
      if (i > 0) {
        EXPECT_LE(bands[i - 1].box.bottom, bands[i].box.top) << "bands overlap";
      }
    }
  }
  // The bands cover every inked row, with a margin of a tenth of a word.
  const Layout spaced = inkedRows({{10, false}, {30, true}, {12, false}, {30, true}, {40, false}});
  const std::vector<Region> bands = lineBands(spaced, page);
  ASSERT_EQ(bands.size(), 2u);
  EXPECT_EQ(bands[0].box.top, 7);  // 10 blank rows above, margin 3
  EXPECT_EQ(bands[0].box.bottom, 43);
  EXPECT_EQ(bands[1].box.top, 49);
  EXPECT_EQ(bands[1].box.bottom, 85);  // ink ends at 82
  // Wider margins stop at the middle of the gap.
  Measures large = page;
  large.wordHeight = 100;
  const std::vector<Region> wide =
      lineBands(inkedRows({{20, false}, {60, true}, {16, false}, {60, true}, {20, false}}), large);
  ASSERT_EQ(wide.size(), 2u);
  EXPECT_EQ(wide[0].box.bottom, 88);  // not 90: the gap's middle
  EXPECT_EQ(wide[1].box.top, 88);
}

TEST(ReadingPlanTest, WordsStandingOnEndAreASidewaysPage) {
  const Layout upright = textPage(2000, 2400, 30, 1, 30);
  EXPECT_FALSE(looksSideways(upright));
  Layout turned{2400, 2000, {}, {}, {}, {}, {}};
  for (const Box& word : upright.words) {
    turned.words.push_back(Box{word.top, word.left, word.bottom, word.right});
  }
  EXPECT_TRUE(looksSideways(turned));
  // The layout of a turned page of Hangul cuts its lines into syllables,
  // square words; its lines still stand on end, and upright they lie.
  Layout syllables{440, 1044, {}, {}, {}, {}, {}};
  Layout uprightSyllables{1044, 440, {}, {}, {}, {}, {}};
  for (int line = 0; line < 6; ++line) {
    const int across = 40 + line * 60;
    syllables.lines.push_back(Box{across, 100, across + 24, 900});
    uprightSyllables.lines.push_back(Box{100, across, 900, across + 24});
    for (int along = 100; along + 24 <= 900; along += 30) {
      syllables.words.push_back(Box{across, along, across + 24, along + 24});
      uprightSyllables.words.push_back(Box{along, across, along + 24, across + 24});
    }
  }
  EXPECT_TRUE(looksSideways(syllables));
  EXPECT_FALSE(looksSideways(uprightSyllables));
}

TEST(ReadingPlanTest, SampleLinesAreWholeLinesNotLowPieces) {
  // Ten lines of 30 px words, and twice as many long low pieces (dots,
  // parts of large Hangul) that the layout took for lines of their own.
  Layout page = textPage(1600, 800, 10, 1, 30);
  for (int piece = 0; piece < 20; ++piece) {
    const int top = 40 + piece * 30;
    page.lines.push_back(Box{700, top, 1100, top + 12});
  }
  const std::vector<Box> sample = sampleLines(page, measure(page));
  ASSERT_FALSE(sample.empty());
  for (const Box& line : sample) EXPECT_GE(line.height(), 30) << line.top;
}

TEST(ReadingPlanTest, PiecesOfALineCountAsOneRow) {
  // The layout gives a line of large Hangul as an upper and a lower piece
  // and a lone final consonant.
  Layout page{2000, 300, {}, {}, {}, {}, {}};
  for (int row = 0; row < 4; ++row) {
    const int top = 20 + 60 * row;
    page.words.push_back(Box{20, top, 600, top + 36});
    page.words.push_back(Box{620, top, 900, top + 22});
    page.words.push_back(Box{920, top + 20, 950, top + 36});
  }
  EXPECT_EQ(measure(page).rows, 4);
}

TEST(ReadingPlanTest, SliversOfLinesAreNoWords) {
  // The layout of a strip of 26 px text gave four of its words, and five
  // slivers 2 to 6 px high across its lines.
  Layout page{1092, 106, {}, {}, {}, {}, {}};
  for (const int left : {675, 736, 820, 932}) page.words.push_back(Box{left, 24, left + 60, 50});
  for (const Box sliver : {Box{442, 35, 1008, 39}, Box{442, 36, 1008, 38}, Box{356, 36, 1008, 40},
                           Box{558, 35, 1008, 40}, Box{356, 40, 923, 46}}) {
    page.words.push_back(sliver);
  }
  const Measures measures = measure(page);
  EXPECT_EQ(measures.wordHeight, 26);
  EXPECT_EQ(measures.words, 4u);
  EXPECT_EQ(measures.rows, 1);
}

TEST(ReadingPlanTest, WordsTheBlocksMissAreReadInTheirColumn) {
  // Two columns; the layout found the left column's upper half and the
  // right column, and missed the left column's lower half.
  const Layout page = textPage(2000, 2400, 30, 2, 30);
  const std::vector<Box> found{Box{0, 0, 1000, 900}, Box{1000, 0, 2000, 2400}};
  const std::vector<Box> regions = withUncoveredWords(found, page.words, measure(page));
  ASSERT_EQ(regions.size(), 3u);
  EXPECT_EQ(regions[0], found[0]);
  // The missed half comes before the right column, and holds no word of it.
  EXPECT_GE(regions[1].top, 900);
  EXPECT_LE(regions[1].right, 1000);
  EXPECT_EQ(regions[2], found[1]);
}

TEST(ReadingPlanTest, PrintTheEnginesOwnReadingLeftOutIsReadOnItsOwn) {
  // A transcript's page: twenty lines, and their numbers in a column of
  // their own on the left.
  std::vector<Box> lines, numbers, words;
  for (int row = 0; row < 20; ++row) {
    const int top = 20 + row * 40;
    lines.push_back(Box{80, top, 1180, top + 20});
    numbers.push_back(Box{20, top, 40, top + 20});
    for (int x = 80; x + 60 <= 1180; x += 80) words.push_back(Box{x, top, x + 60, top + 20});
  }
  Layout text{1200, 1000, {}, {}, {}, {}, {}};
  text.lines = lines;
  text.words = words;
  Layout numbered = text;
  numbered.words.insert(numbered.words.end(), numbers.begin(), numbers.end());
  const Measures measures = measure(numbered);
  const Box numberColumn{20, 20, 40, 800};
  // The lines as read from the page enlarged twice, each one word.
  const auto readAt2 = [](const std::vector<Box>& boxes) {
    std::vector<ReadLine> read;
    for (const Box& box : boxes) {
      read.push_back(ReadLine{{Box{2 * box.left, 2 * box.top, 2 * box.right, 2 * box.bottom}}, {}});
    }
    return read;
  };

  // Every line read: nothing is left.
  EXPECT_TRUE(missedRegions(text, measures, {}, readAt2(lines), 2).empty());
  // The numbers left out are one region, reaching no line read, after them.
  const std::vector<MissedRegion> left = missedRegions(numbered, measures, {}, readAt2(lines), 2);
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].box, numberColumn);
  EXPECT_EQ(left[0].place, lines.size());
  // Laid out as one word on end, too tall for a word, the column is still
  // read: its block reaches no line read.
  Layout onEnd = text;
  onEnd.words.push_back(numberColumn);
  const std::vector<MissedRegion> block =
      missedRegions(onEnd, measures, {numberColumn, Box{80, 20, 1180, 800}}, readAt2(lines), 2);
  ASSERT_EQ(block.size(), 1u);
  EXPECT_EQ(block[0].box, numberColumn);
  // A first line left out goes before the lines below it.
  const std::vector<MissedRegion> first =
      missedRegions(text, measures, {}, readAt2({lines.begin() + 1, lines.end()}), 2);
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0].box, (Box{80, 20, 1180, 40}));
  EXPECT_EQ(first[0].place, 0u);
  // What the engine left out stands only where it reads surely: a form's
  // rules read as letters do not.
  Confidence rules, lineNumbers;
  rules.add(40, 12);
  lineNumbers.add(95, 2);
  EXPECT_FALSE(missedLineStands(rules));
  EXPECT_TRUE(missedLineStands(lineNumbers));
}

TEST(ReadingPlanTest, OnlyPaperThatDarkensAcrossThePageIsEvenedOut) {
  // Paper levels of 100 tiles, from the darkest: `dark` tiles at `low`,
  // the rest at `high`, or a ramp from `low` to `high`.
  const auto levels = [](int dark, unsigned char low, unsigned char high) {
    std::vector<unsigned char> tiles(100, high);
    std::fill_n(tiles.begin(), dark, low);
    return tiles;
  };
  const auto ramp = [](unsigned char low, unsigned char high) {
    std::vector<unsigned char> tiles;
    for (int i = 0; i < 100; ++i)
      tiles.push_back(static_cast<unsigned char>(low + (high - low) * i / 99));
    return tiles;
  };
  struct Row {
    const char* name;
    std::vector<unsigned char> paper;
    bool uneven;
  } rows[] = {
      {"white scan", levels(0, 0, 255), false},
      {"grey paper", levels(0, 0, 190), false},
      {"low contrast, a little uneven", ramp(182, 221), false},
      {"a few dark specks", levels(5, 60, 255), false},
      {"lamp to one side", ramp(90, 255), true},
      {"dark corners", levels(30, 50, 240), true},
      {"nothing measured", {}, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(unevenlyLit(row.paper), row.uneven);
  }
}

TEST(ReadingPlanTest, DarkSurroundingsOfThePaperAreToldFromPrintAndDarkGrounds) {
  struct Row {
    const char* name;
    Edges edges;
    double borderShare;
    bool surroundings;
  } rows[] = {
      {"a scan with white margins", {0, 0, 0, 0}, 0, false},
      {"a strip cropped close, its glyphs touching the edges", {0.3, 0.35, 0.2, 0.1}, 0.08, false},
      {"a photo on a dark table", {0.95, 0.9, 1, 1}, 0.3, true},
      {"a book's edge at one side", {0.1, 0.1, 0.85, 0}, 0.1, true},
      {"light letters on a dark ground", {1, 1, 1, 1}, 0.8, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(darkSurroundings(row.edges, row.borderShare), row.surroundings);
  }
}

TEST(ReadingPlanTest, ABlockListedAfterTheTextBelowItIsReadBeforeIt) {
  const Box headerLeft{20, 10, 750, 55}, headerRight{850, 10, 1570, 55};
  const Box title{120, 130, 1140, 200}, body{120, 260, 1480, 960};
  const Box footer{20, 2200, 110, 2230};
  const Box left{100, 300, 700, 2000}, right{800, 300, 1400, 2000};
  const Box heading{100, 100, 1400, 200};
  struct Row {
    const char* name;
    std::vector<Box> listed, read;
  } rows[] = {
      // The right half of a header, split off by its gap, listed last.
      {"header half",
       {headerLeft, footer, title, body, headerRight},
       {headerLeft, footer, headerRight, title, body}},
      {"columns keep their order", {left, right}, {left, right}},
      {"heading listed after its columns", {left, right, heading}, {heading, left, right}},
      {"a footer stays where the engine put it",
       {headerLeft, footer, body},
       {headerLeft, footer, body}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(inReadingOrder(row.listed), row.read);
  }
}

TEST(ReadingPlanTest, TheTurnIsTheModelsWhenItIsSureAndTheReadingsOtherwise) {
  struct Row {
    const char* name;
    std::optional<Look> look;
    Turn what;
    std::vector<int> candidates;
  } rows[] = {
      {"sure turn", Look{1, 6}, Turn::kTurn, {1}},
      {"unsure turn: the model's first", Look{3, 2}, Turn::kCompare, {3, 1, 2}},
      {"upright", Look{0, 1.5f}, Turn::kKeep, {}},
      {"model guessing", Look{2, 0.5f}, Turn::kCompare, {2, 1, 3}},
      {"no model", std::nullopt, Turn::kCompare, {1, 2, 3}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const TurnChoice choice = chooseTurn(row.look);
    EXPECT_EQ(choice.what, row.what);
    EXPECT_EQ(choice.candidates, row.candidates);
  }
}

Confidence reading(double mean, std::size_t characters) {
  Confidence c;
  c.add(mean, characters);
  return c;
}

TEST(ReadingPlanTest, TheMoreConfidentReadingOfATurnWins) {
  const Look unsure{1, 1.5f}, likely{1, 3};
  EXPECT_TRUE(keepTurned(reading(88, 40), reading(50, 40), 1, unsure));
  EXPECT_FALSE(keepTurned(reading(50, 40), reading(88, 40), 1, likely));
  // A sideways page has no line to sample as it lies.
  EXPECT_TRUE(keepTurned(reading(75, 40), reading(0, 0), 3, unsure));
  // Neither reading tells: the model decides by its confidence in that turn.
  EXPECT_FALSE(keepTurned(reading(80, 40), reading(78, 40), 1, unsure));
  EXPECT_TRUE(keepTurned(reading(80, 40), reading(78, 40), 1, likely));
  EXPECT_FALSE(keepTurned(reading(80, 40), reading(78, 40), 2, likely));
  EXPECT_FALSE(keepTurned(reading(90, 4), reading(0, 0), 1, std::nullopt));
  // A label of a few syllables read well keeps against garbage read turned.
  EXPECT_FALSE(keepTurned(reading(45, 12), reading(91, 5), 1, unsure));
}

TEST(ReadingPlanTest, APieceOfALineReadTwiceIsLeftOut) {
  const auto line = [](std::vector<Box> words, double confidence) {
    return ReadLine{std::move(words), Confidence{confidence * 10, 10}};
  };
  // The tops of a heading's glyphs ("= oO ="), read as a line of their own
  // across the heading's syllables, with the engine's boxes as it gave them.
  const ReadLine heading =
      line({{28, 28, 167, 66}, {71, 24, 108, 82}, {107, 24, 144, 82}, {180, 24, 222, 82}}, 94.8);
  const ReadLine tops = line({{25, 29, 49, 40}, {102, 19, 126, 49}, {180, 28, 203, 38}}, 59.6);
  const ReadLine below = line({{26, 101, 180, 126}, {200, 101, 400, 126}}, 92.7);
  EXPECT_EQ(piecesReadTwice({tops, heading, below}), (std::vector<bool>{true, false, false}));
  // Left out of the text, the piece reads no ink twice in it.
  EXPECT_FALSE(readsInkTwice({tops, heading, below}));
  // Lines one above the other, even skewed so that their boxes overlap,
  // and the same words read no better, stand.
  const ReadLine skewed = line({{0, 0, 300, 40}, {300, 10, 600, 50}}, 60);
  const ReadLine next = line({{0, 35, 300, 75}, {300, 45, 600, 85}}, 90);
  EXPECT_EQ(piecesReadTwice({skewed, next}), (std::vector<bool>{false, false}));
  EXPECT_EQ(piecesReadTwice({heading, tops}), (std::vector<bool>{false, true}));
  EXPECT_EQ(piecesReadTwice({heading, heading}), (std::vector<bool>{false, false}));
}

TEST(ReadingPlanTest, ABlockWhoseLinesCutAcrossTheTextIsReadByItsBands) {
  const auto line = [](std::vector<Box> words, double confidence) {
    return ReadLine{std::move(words), Confidence{confidence * 10, 10}};
  };
  // Two lines of 30 px Hangul close together, and a line the engine found
  // between them, of the first line's descenders and the second's tops,
  // with the engine's boxes as it gave them.
  const ReadLine first = line({{58, 63, 131, 103},
                               {150, 63, 224, 103},
                               {243, 63, 274, 103},
                               {1531, 63, 1562, 84},
                               {1572, 63, 1606, 83}},
                              90.4);
  const ReadLine between =
      line({{58, 113, 96, 134}, {248, 113, 275, 127}, {1537, 87, 1601, 103}}, 49.2);
  const ReadLine second = line({{65, 117, 146, 155}, {242, 89, 281, 177}}, 87.6);
  EXPECT_TRUE(readsInkTwice({first, between, second}));
  EXPECT_FALSE(readsInkTwice({first, second}));
  // A skewed line's words reach a little into the next line's.
  const ReadLine skewed = line({{0, 0, 300, 40}, {300, 10, 600, 50}}, 60);
  const ReadLine next = line({{0, 35, 300, 75}, {300, 45, 600, 85}}, 90);
  EXPECT_FALSE(readsInkTwice({skewed, next}));
  // Two words over each other in a page of two hundred are a slip, not
  // lines cut across the text; in a page of twenty-two they are not.
  std::vector<ReadLine> page;
  for (int row = 0; row < 20; ++row) {
    std::vector<Box> words;
    for (int x = 0; x < 1000; x += 100) words.push_back(Box{x, 50 * row, x + 80, 50 * row + 30});
    page.push_back(line(std::move(words), 90));
  }
  page.push_back(line({{0, 5, 80, 35}, {1200, 0, 1280, 30}}, 60));
  EXPECT_FALSE(readsInkTwice(page));
  page.erase(page.begin() + 2, page.end() - 1);
  EXPECT_TRUE(readsInkTwice(page));

  const Confidence block{83.4 * 100, 100}, bands{91.2 * 100, 100};
  EXPECT_TRUE(worthReadingByBands(Confidence{92.0 * 100, 100}, true));
  // The bands stand unless the block that read ink twice is clearly surer;
  // against a block that did not, they must be clearly surer themselves.
  EXPECT_TRUE(bandsStand(bands, block, true));
  EXPECT_FALSE(bandsStand(bands, block, false));
  EXPECT_TRUE(bandsStand(Confidence{88.0 * 100, 100}, Confidence{89.5 * 100, 100}, true));
  EXPECT_FALSE(bandsStand(Confidence{80.0 * 100, 100}, Confidence{89.5 * 100, 100}, true));
  EXPECT_TRUE(bandsStand(Confidence{92.0 * 100, 100}, Confidence{80.0 * 100, 100}, false));
}

// Hangul words the two models read as capitals are read again by the
// Korean model, which replaces them only with Hangul it is surer of.
TEST(ReadingPlanTest, DoubtfulLatinInAKoreanLineIsReadAgainInKorean) {
  EXPECT_TRUE(holdsHangul("연결을"));
  EXPECT_TRUE(holdsHangul("TF를"));
  EXPECT_TRUE(holdsHangul("ㅎ"));
  EXPECT_FALSE(holdsHangul("Merck & Co."));
  EXPECT_FALSE(holdsHangul("日本"));
  // A form's rule read as a Hangul letter is no Hangul text.
  EXPECT_FALSE(holdsHangulSyllable("6 ㅣ refund check mailed."));
  EXPECT_TRUE(holdsHangulSyllable("TF를"));
  struct Case {
    Word word;
    bool koreanLine, doubtful;
  };
  for (const Case& c : {Case{{"AAS", 84.7, true}, true, true},
                        Case{{"AAS", 84.7, true}, false, false},  // an English line
                        Case{{"19km", 93.0, true}, true, false},  // read surely
                        Case{{"연결을", 60.0, false}, true, false},
                        Case{{"Z|", 40.0, false}, true, false}}) {  // the Korean model's own
    EXPECT_EQ(doubtfulLatin(c.word, c.koreanLine), c.doubtful) << c.word.text;
  }
  const Word english{"AAS", 84.7, true};
  EXPECT_TRUE(koreanReadingWins(english, Word{"연결을", 91.0, false}));
  EXPECT_FALSE(koreanReadingWins(english, Word{"연결을", 70.0, false}));
  EXPECT_FALSE(koreanReadingWins(english, Word{"AAS", 95.0, false}));
}

TEST(ReadingPlanTest, RecognisedLinesHaveSingleSpacesBetweenWords) {
  EXPECT_EQ(cleanLine("  첫째     둘째\t\t셋째   "), "첫째 둘째 셋째");
  EXPECT_EQ(cleanLine(" \t "), "");
}

}  // namespace
}  // namespace fileprobe::reading
