// The extraction job through the built program and its helper.
#include "extraction/job/extraction_job.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "extraction/wire/extraction_answer.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace fileprobe {
namespace {

using nlohmann::json;
using testing::ChildOutcome;
using testing::ChildRequest;
using testing::fixture;
using testing::TempDir;

// The one result line of a run that must end with status 0 and say nothing
// on standard error.
json resultOf(const ChildOutcome& outcome) {
  EXPECT_TRUE(outcome.exited && outcome.exitStatus == 0) << outcome.signal;
  EXPECT_EQ(outcome.err, "");
  EXPECT_FALSE(outcome.out.empty());
  EXPECT_EQ(outcome.out.find('\n'), outcome.out.size() - 1);
  return json::parse(outcome.out);
}

json extract(const std::string& path) { return resultOf(testing::runFileprobe({path})); }

// The text recognised in a file of one page, checked as every recognised
// page must be: one line feed between lines, paragraph ends included, and
// single spaces between words, none at a line's ends.
std::string recognised(const std::string& path) {
  const json result = extract(path);
  EXPECT_EQ(result["method"], "ocr");
  EXPECT_EQ(result["warning"],
            path.ends_with(".pdf") ? kWarningOcrMayErr : kWarningImageRecognised);
  std::string text = result["text"];
  for (const char* spacing : {"\n\n", "  ", " \n", "\n "}) {
    EXPECT_EQ(text.find(spacing), std::string::npos) << text;
  }
  return text;
}

json filenameResult(std::string_view warning) {
  return {{"text", ""}, {"method", "filename"}, {"warning", warning}};
}

void makeSparseFile(const std::string& path, off_t size) {
  testing::writeFile(path, "");
  ASSERT_EQ(truncate(path.c_str(), size), 0);
}

TEST(ExtractionJobTest, SizeTestAppliesToTheOpenedFile) {
  TempDir dir;
  makeSparseFile(dir.at("limit.png"), 67108864);
  makeSparseFile(dir.at("over.png"), 67108865);
  ASSERT_EQ(symlink(dir.at("over.png").c_str(), dir.at("link.png").c_str()), 0);
  ASSERT_EQ(mkfifo(dir.at("fifo.png").c_str(), 0600), 0);
  mkdir(dir.at("folder.png").c_str(), 0700);
  testing::writeFile(dir.at("empty.jpg"), "");
  // Pass the size test and are read, but hold no image.
  for (const std::string& path : {dir.at("limit.png"), dir.at("empty.jpg"), fixture("plain.txt")}) {
    EXPECT_EQ(extract(path), filenameResult(kWarningUnreadableImage)) << path;
  }
  for (const char* name : {"over.png", "link.png", "fifo.png", "folder.png", "missing.png"}) {
    EXPECT_EQ(extract(dir.at(name)), filenameResult(kWarningUnreadableOrTooLarge)) << name;
  }
  EXPECT_EQ(extract("/dev/zero"), filenameResult(kWarningUnreadableOrTooLarge));
}

TEST(ExtractionJobTest, ReadsTheFileWhenStartedWithStandardInputClosed) {
  ChildRequest request;
  request.program = "/bin/sh";
  request.arguments = {"-c", "exec \"$0\" \"$1\" <&-", FILEPROBE_BINARY, fixture("text_40.pdf")};
  EXPECT_EQ(resultOf(testing::runChild(request))["method"], "text");
}

TEST(ExtractionJobTest, PdfTextLayers) {
  const std::string page = "Page 1 of the sample document, with enough words.";
  const json three = extract(fixture("text_3_pages.pdf"));
  EXPECT_EQ(three["method"], "text");
  EXPECT_FALSE(three.contains("warning"));
  EXPECT_EQ(three["text"].get<std::string>().rfind(page + "\n\nPage 2", 0), 0u);
  for (const char* name : {"text_4_pages.pdf", "text_10_pages.pdf"}) {
    const json many = extract(fixture(name));
    EXPECT_EQ(many["text"], three["text"]) << name;
    EXPECT_EQ(many["method"], "text");
    EXPECT_EQ(many["warning"], kWarningFirstThreePages);
  }
  EXPECT_EQ(extract(fixture("text_40.pdf")),
            (json{{"text", std::string(40, 'y')}, {"method", "text"}}));
  const json korean = extract(fixture("korean_text.pdf"));
  EXPECT_NE(korean["text"].get<std::string>().find("한국어와 English"), std::string::npos);
  EXPECT_EQ(extract(fixture("zero_pages.pdf")), (json{{"text", ""}, {"method", "filename"}}));
  EXPECT_EQ(extract(fixture("locked.pdf")), filenameResult(kWarningUnreadablePdf));
}

TEST(ExtractionJobTest, PdfTextLayerIsReadColumnAfterColumn) {
  // Two columns drawn row by row: the physical layout would give
  // "apple banana cherry   river canyon valley" on one line.
  const std::string text = extract(fixture("two_columns.pdf"))["text"];
  const std::size_t lastLeft = text.find("plum");
  ASSERT_NE(lastLeft, std::string::npos) << text;
  for (const char* right : {"river", "meadow", "harbor"}) {
    EXPECT_GT(text.find(right), lastLeft) << right << " in " << text;
  }
  EXPECT_NE(text.find("cherry\ngrape"), std::string::npos) << text;
  EXPECT_EQ(text.find("  "), std::string::npos) << text;
  EXPECT_EQ(text.find("\n\n\n"), std::string::npos) << text;
}

TEST(ExtractionJobTest, PdfPagesWithoutUsableTextAreRecognised) {
  // 39 characters of text layer: the page is rendered and recognised.
  EXPECT_EQ(extract(fixture("text_39.pdf"))["method"], "ocr");
  const std::string scanned = recognised(fixture("scanned.pdf"));
  EXPECT_NE(scanned.find("Korean"), std::string::npos) << scanned;
  EXPECT_NE(scanned.find("한국어"), std::string::npos) << scanned;
  // Two blank scans: no entries, so no text of line feeds.
  EXPECT_EQ(extract(fixture("blank_scans.pdf")), filenameResult(kWarningOcrMayErr));
  const json mixed = extract(fixture("scan_then_text.pdf"));
  EXPECT_EQ(mixed["method"], "ocr");
  EXPECT_EQ(mixed["warning"],
            std::string(kWarningFirstThreePages) + " " + std::string(kWarningOcrMayErr));
  EXPECT_NE(mixed["text"].get<std::string>().find("scanned page\n\nPage 2 of"), std::string::npos);
}

// A layer whose characters are not text is no text: a layer of glyph
// numbers ("7KH TXLFN" for "The quick") is recognised instead, and
// private-use characters leave the real text around them.
TEST(ExtractionJobTest, TextLayersOfJunkAreNotText) {
  const std::string glyphCodes = recognised(fixture("glyph_codes_scan.pdf"));
  EXPECT_NE(glyphCodes.find("Korean"), std::string::npos) << glyphCodes;
  EXPECT_EQ(glyphCodes.find("7KH"), std::string::npos) << glyphCodes;
  // Signs and digits are junk only when the font has no Unicode map.
  EXPECT_EQ(extract(fixture("glyph_codes_capitals_scan.pdf"))["method"], "ocr");
  EXPECT_EQ(extract(fixture("table_of_figures.pdf"))["method"], "text");
  // A Korean form whose cut line is a hundred private-use characters.
  EXPECT_EQ(extract(fixture("korean_cut_line.pdf")),
            (json{{"text",
                   "이 신청서는 학생이 직접 작성하여 학과 사무실에 제출합니다.\n"
                   "아래는 학과에서 보관하는 접수증입니다. 잘라서 보관하세요."},
                  {"method", "text"}}));
}

// A single page as recognised: each of `words` comes out once, after the
// word before it (a line read twice or out of its column would break
// that), and `unread` does not come out at all.
struct RecognisedPage {
  std::string path;
  std::vector<std::string> words;
  std::string unread = {};
};

TEST(ExtractionJobTest, PagesAreRecognisedWholeAndInReadingOrder) {
  const std::vector<std::string> turned = {"분기 보고서", "Quarterly report summary",
                                           "finance office"};
  const std::vector<std::string> columns = {"apples", "bananas", "cherries", "grapes"};
  const RecognisedPage pages[] = {
      {std::string(FILEPROBE_SOURCE_DIR) + "/samples/demo.png", {"회의록", "file classifier"}},
      // The whole media box: HARBOR lies inside the crop box, VIOLIN outside it.
      {fixture("cropped_scan.pdf"), {"HARBOR", "VIOLIN"}},
      // The first frame only.
      {fixture("two_frames.tif"), {"FIRST"}, "SECOND"},
      {fixture("two_frames.gif"), {"FIRST"}, "SECOND"},
      // The recorded orientation applied; a paragraph photographed turned
      // has every line read whole, to the last.
      {fixture("rotated_exif.jpg"), {"Rotated photo"}},
      {fixture("korean_photo_exif6.jpg"),
       {"아침 일찍 도서관에", "사람들은 우산을", "어머니께 전화"}},
      // Its loader is a libvips module, which the helper opens only when the
      // built-in loaders do not know the file.
      {fixture("photo.heic"), {"HEIF photo"}},
      // libvips has no BMP loader but ImageMagick's, which stays blocked.
      {fixture("scan_rle8.bmp"), {"Windows bitmap", "비트맵 문서"}},
      // Turned a quarter or upside down in the pixels, with neither EXIF
      // orientation nor /Rotate.
      {fixture("turned_scan.png"), turned},
      {fixture("turned_scan.pdf"), turned},
      {fixture("upside_down_scan.png"), turned},
      // Upside down in two rows, too few glyphs for the orientation model:
      // a strip is read before its orientation is known.
      {fixture("upside_down_label.png"), {"문서 인식", "scanned page"}},
      // Two columns, the left one read first. Grey; 1-bit as scanned for fax
      // or a PDF's JBIG2 image, where the layout misses a paragraph of the
      // right column; light on a dark ground, where the ink of a gutter is
      // the ground's.
      {fixture("two_columns.png"), columns},
      {fixture("two_columns_bilevel.png"), columns},
      {fixture("two_columns_dark.jpg"), columns},
      // Columns parted by thin rules, grey once scanned: the layout joined
      // the columns beside each rule, and they were read across, a bar
      // between their halves.
      {fixture("newspaper_scan.jpg"),
       {"apples", "bananas", "cherries", "grapes", "lemons", "melons", "peaches", "plums"}},
      // A dotted rule down the gutter of a 1-bit page: its dots stood
      // between the words on either side, and the lines were read across.
      {fixture("dotted_rule_columns.tif"), {"apples", "bananas", "cherries", "grapes"}},
      // A road sign, light letters on a dark ground: read as they are, its
      // Hangul came back as Latin ("CH#l").
      {fixture("korean_sign.jpg"), {"대전 Daejeon", "부산 Busan"}},
      // A short wide paragraph: every line read to its end.
      {fixture("short_wide_paragraph.png"),
       {"오늘 아침 회의에서는", "첫째", "둘째", "셋째", "넷째"}},
      // Read as one block, the engine's line finding cut across these lines
      // and gave "문식집은 떡우이와 떡볶이와": a word read twice, once garbled.
      {fixture("close_lines.png"), {"분식집은", "떡볶이와", "유명하다.", "관람할"}},
      // A photo lit from one side, its paper darker at the far side than its
      // print at the lit side: read with one threshold, the start of every
      // line was lost (the last line holds "했습니다." alone).
      {fixture("unevenly_lit.jpg"), {"오늘", "도서관", "카페", "기다려", "\n했습니다."}},
      // Half its pixels are darker than its own threshold: taken for light
      // letters on a dark ground, it was read inverted, as garbage.
      {fixture("half_in_shadow.jpg"), {"도서관", "카페", "인쇄해", "발표는"}},
      // On a dark table: the table's grain was read as lines of letters
      // around the paragraph and before each of its lines.
      {fixture("on_dark_table.jpg"), {"오늘", "도서관", "기다려", "\n했습니다."}},
      // A table drawn with a full grid, read row by row: with its grid, the
      // header row and all but two cells were lost.
      {fixture("table_with_grid.png"),
       {"거래 명세서", "\n품목 수량 금액\n", "Coffee beans 2 24,000", "\nSugar 1 3,200"}},
      // Hangul in one column beside a picture: the layout took the column
      // for lines of upright script, and their height for the print's.
      {fixture("column_beside_picture.png"),
       {"마을 소식", "온라인으로 제출할", "된장찌개와", "등산로 입구에는"}},
      // A receipt: a gutter down the slip between its items and their
      // prices, which were read as a column of their own.
      {fixture("receipt.jpg"),
       {"COFFEE BEANS 1KG 24,000", "SUGAR 3,200", "BREAD 3,800", "TOTAL 44,000"}},
      // Messages in speech bubbles: in three rows the gaps between words
      // lined up into gutters, and the lines were read in stripes.
      {fixture("speech_bubbles.png"),
       {"아파트 관리사무소는", "올해 겨울은 평년보다", "이 제품은 전원을"}},
      // A framed list of expenses in small print: the engine gave a word of
      // one space over the whole frame, and every line inside, lying within
      // it, was left out as read twice, but for one column.
      {fixture("framed_table.png"),
       {"DH20190001", "DH20190078", "ANDERSON, MARY", "AIRFARE TO DENVER AND RETURN"}},
  };
  for (const RecognisedPage& page : pages) {
    SCOPED_TRACE(page.path);
    const std::string text = recognised(page.path);
    std::size_t after = 0;
    for (const std::string& word : page.words) {
      const std::size_t at = text.find(word);
      EXPECT_TRUE(at != std::string::npos && at >= after &&
                  text.find(word, at + 1) == std::string::npos)
          << word << "\n"
          << text;
      if (at != std::string::npos) after = at + word.size();
    }
    if (!page.unread.empty()) {
      EXPECT_EQ(text.find(page.unread), std::string::npos) << text;
    }
  }
}

TEST(ExtractionJobTest, AScanAskewIsReadAsIfLevel) {
  // Small print scanned 1-bit, 6 degrees askew: read as it lay, a word in
  // eight came back misspelt.
  const std::string text = recognised(fixture("skewed_scan.png"));
  std::ifstream prose(std::string(FILEPROBE_SOURCE_DIR) + "/bench/ocr_set/prose_en.txt");
  std::string word;
  int words = 0, found = 0;
  while (prose >> word) {
    ++words;
    if (text.find(word) != std::string::npos) ++found;
  }
  ASSERT_GT(words, 50);
  EXPECT_GE(found, words - 2) << text;
}

// A copy of the program beside a stand-in helper, laid out as installed.
class BrokenHelperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(root.at("libexec/fileprobe"));
    std::filesystem::create_directory(root.at("bin"));
    testing::writeFile(program(), testing::readFile(FILEPROBE_BINARY));
    chmod(program().c_str(), 0755);
  }
  std::string program() const { return root.at("bin/fileprobe"); }
  void installHelper(const std::string& script) {
    const std::string helper = root.at("libexec/fileprobe/fileprobe-extract");
    testing::writeFile(helper, "#!/bin/sh\n" + script + "\n");
    chmod(helper.c_str(), 0755);
  }
  json extractWith(const std::string& path) {
    ChildRequest request;
    request.program = program();
    request.arguments = {path};
    return resultOf(testing::runChild(request));
  }
  TempDir root;
};

TEST_F(BrokenHelperTest, AHelperThatDoesNotAnswerGivesTheRoadsCannotReadResult) {
  const std::vector<std::string> scripts{
      "",  // no helper installed at all
      "kill -SEGV $$",
      "kill -KILL $$",
      "kill -SYS $$",  // how a seccomp filter that kills ends a process
      "printf '{\"text\":\"half' ; exit 0",
      "printf '{\"text\":\"x\",\"method\":\"ocr\"}'; exit 1",
      "printf '{\"text\":\"x\",\"method\":\"magic\"}'",
      "printf '{\"text\":\"x\",\"method\":\"ocr\"}\\000{}'",  // JSON, then a NUL
      "exec /usr/bin/head -c 40000000 /dev/zero",
  };
  for (const std::string& script : scripts) {
    if (!script.empty()) installHelper(script);
    EXPECT_EQ(extractWith(fixture("text_40.pdf")), filenameResult(kWarningUnreadablePdf)) << script;
    EXPECT_EQ(extractWith(fixture("scan_page.png")), filenameResult(kWarningUnreadableImage))
        << script;
  }
  // The helper's answer is written as it is, once it is a valid one.
  installHelper("printf '{\"text\":\"x\",\"method\":\"ocr\"}'");
  EXPECT_EQ(extractWith(fixture("scan_page.png")), (json{{"text", "x"}, {"method", "ocr"}}));
}

TEST_F(BrokenHelperTest, HelperSeesOnlyTheFileAndAFixedEnvironment) {
  // The helper reports its environment, standard input and open descriptors.
  installHelper(
      "printf '{\"text\":\"%s|%s|%s\",\"method\":\"text\"}' \"$(/usr/bin/env | /usr/bin/tr '\\n' "
      "' ')\" \"$(/usr/bin/head -c 5)\" \"$(/usr/bin/ls /proc/self/fd | /usr/bin/tr '\\n' ' ')\"");
  ChildRequest request;
  request.program = program();
  request.arguments = {fixture("text_40.pdf")};
  request.environment =
      std::vector<std::string>{"SECRET=1", "TESSDATA_PREFIX=/x", "VIPS_CONCURRENCY=-5"};
  request.descriptors = {{3, 0}, {4, 1}};
  const std::string text = resultOf(testing::runChild(request))["text"];
  // None of the caller's variables, which the libraries would read.
  const std::string environment = text.substr(0, text.find('|'));
  for (const char* variable : {"SECRET", "TESSDATA_PREFIX=/x", "VIPS_CONCURRENCY=-5"})
    EXPECT_EQ(environment.find(variable), std::string::npos) << text;
  EXPECT_NE(text.find("OMP_THREAD_LIMIT=1"), std::string::npos) << text;
  EXPECT_NE(text.find("|%PDF-|"), std::string::npos) << text;
  // 0, 1, 2 and the descriptor ls itself opens; nothing of the caller's.
  EXPECT_EQ(text.substr(text.rfind('|') + 1), "0 1 2 3 ") << text;
}

}  // namespace
}  // namespace fileprobe
