// The extraction job through the built program and its helper.
#include "extraction/job/extraction_job.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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
using testing::TempDir;

std::string fixture(std::string_view name) {
  return std::string(FILEPROBE_SOURCE_DIR) + "/tests/fixtures/" + std::string(name);
}

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

json filenameResult(std::string_view warning) {
  return {{"text", ""}, {"method", "filename"}, {"warning", warning}};
}

void makeSparseFile(const std::string& path, off_t size) {
  testing::writeFile(path, "");
  ASSERT_EQ(truncate(path.c_str(), size), 0);
}

void copyTo(const std::string& from, const std::string& to) {
  testing::writeFile(to, testing::readFile(from));
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

TEST(ExtractionJobTest, RecognisedPdfPagesAreTheWholeMediaBoxUpright) {
  // HARBOR lies inside the crop box, VIOLIN outside it.
  const std::string cropped = extract(fixture("cropped_scan.pdf"))["text"];
  EXPECT_NE(cropped.find("HARBOR"), std::string::npos) << cropped;
  EXPECT_NE(cropped.find("VIOLIN"), std::string::npos) << cropped;
  // Stored a quarter turn to the left, shown upright by /Rotate 90.
  const std::string rotated = extract(fixture("rotated_scan.pdf"))["text"];
  EXPECT_NE(rotated.find("UPRIGHT"), std::string::npos) << rotated;
}

TEST(ExtractionJobTest, PdfPagesWithoutUsableTextAreRecognised) {
  // 39 characters of text layer: the page is rendered and recognised.
  EXPECT_EQ(extract(fixture("text_39.pdf"))["method"], "ocr");
  const json scanned = extract(fixture("scanned.pdf"));
  EXPECT_EQ(scanned["method"], "ocr");
  EXPECT_EQ(scanned["warning"], kWarningOcrMayErr);
  EXPECT_NE(scanned["text"].get<std::string>().find("Korean"), std::string::npos);
  EXPECT_NE(scanned["text"].get<std::string>().find("한국어"), std::string::npos);
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
  const json glyphCodes = extract(fixture("glyph_codes_scan.pdf"));
  EXPECT_EQ(glyphCodes["method"], "ocr");
  const std::string recognised = glyphCodes["text"];
  EXPECT_NE(recognised.find("Korean"), std::string::npos) << recognised;
  EXPECT_EQ(recognised.find("7KH"), std::string::npos) << recognised;
  // Signs and digits are junk only when the font has no Unicode map.
  EXPECT_EQ(extract(fixture("glyph_codes_capitals_scan.pdf"))["method"], "ocr");
  EXPECT_EQ(extract(fixture("table_of_figures.pdf"))["method"], "text");
  EXPECT_EQ(extract(fixture("private_use_beside_text.pdf")),
            (json{{"text",
                   "Real words stay apart where junk stood\n"
                   "and the page keeps forty characters."},
                  {"method", "text"}}));
  // A Korean form whose cut line is a hundred private-use characters.
  EXPECT_EQ(extract(fixture("korean_cut_line.pdf")),
            (json{{"text",
                   "이 신청서는 학생이 직접 작성하여 학과 사무실에 제출합니다.\n"
                   "아래는 학과에서 보관하는 접수증입니다. 잘라서 보관하세요."},
                  {"method", "text"}}));
}

TEST(ExtractionJobTest, ImagesAreRecognisedWithOneLineFeedBetweenLines) {
  const json image = extract(std::string(FILEPROBE_SOURCE_DIR) + "/samples/demo.png");
  EXPECT_EQ(image["method"], "ocr");
  EXPECT_EQ(image["warning"], kWarningImageRecognised);
  const std::string text = image["text"];
  EXPECT_NE(text.find("회의"), std::string::npos) << text;
  EXPECT_NE(text.find("file classifier"), std::string::npos) << text;
  // One line feed between lines, paragraph ends included.
  EXPECT_EQ(text.find("\n\n"), std::string::npos) << text;
}

TEST(ExtractionJobTest, FirstFrameOnlyAndRecordedOrientationApplied) {
  for (const char* name : {"two_frames.tif", "two_frames.gif"}) {
    const std::string text = extract(fixture(name))["text"];
    EXPECT_NE(text.find("FIRST"), std::string::npos) << name;
    EXPECT_EQ(text.find("SECOND"), std::string::npos) << name;
  }
  const std::string rotated = extract(fixture("rotated_exif.jpg"))["text"];
  EXPECT_NE(rotated.find("Rotated photo"), std::string::npos) << rotated;
  // A paragraph photographed turned: every line read whole, to the last.
  const std::string photo = extract(fixture("korean_photo_exif6.jpg"))["text"];
  for (const char* words : {"아침 일찍 도서관에", "사람들은 우산을", "어머니께 전화"}) {
    EXPECT_NE(photo.find(words), std::string::npos) << words << "\n" << photo;
  }
}

TEST(ExtractionJobTest, AHeifPhotoIsRead) {
  // Its loader is a libvips module, which the helper opens only when the
  // built-in loaders do not know the file.
  const std::string text = extract(fixture("photo.heic"))["text"];
  EXPECT_NE(text.find("HEIF photo"), std::string::npos) << text;
}

TEST(ExtractionJobTest, PagesTurnedInTheirPixelsAreReadUpright) {
  // Turned a quarter or upside down in the pixels, with neither EXIF
  // orientation nor /Rotate.
  for (const char* name : {"turned_scan.png", "turned_scan.pdf", "upside_down_scan.png"}) {
    const json result = extract(fixture(name));
    EXPECT_EQ(result["method"], "ocr") << name;
    const std::string text = result["text"];
    EXPECT_NE(text.find("Quarterly report summary"), std::string::npos) << name << "\n" << text;
    EXPECT_NE(text.find("finance office"), std::string::npos) << name << "\n" << text;
    EXPECT_NE(text.find("분기 보고서"), std::string::npos) << name << "\n" << text;
  }
}

TEST(ExtractionJobTest, AnUpsideDownStripIsReadUpright) {
  // Two rows are too few glyphs for the orientation model, and a strip is
  // read before its orientation is known.
  const std::string text = extract(fixture("upside_down_label.png"))["text"];
  EXPECT_NE(text.find("문서 인식"), std::string::npos) << text;
  EXPECT_NE(text.find("scanned page"), std::string::npos) << text;
}

TEST(ExtractionJobTest, ColumnsAreReadOneAfterTheOther) {
  // Grey; 1-bit as scanned for fax or a PDF's JBIG2 image, where the
  // layout misses a paragraph of the right column; light on a dark ground,
  // where the ink of a gutter is the ground's.
  for (const char* name : {"two_columns.png", "two_columns_bilevel.png", "two_columns_dark.jpg"}) {
    const std::string text = extract(fixture(name))["text"];
    // The left column holds the first two words, the right one the last two.
    std::vector<std::size_t> at;
    for (const char* word : {"apples", "bananas", "cherries", "grapes"}) {
      at.push_back(text.find(word));
      ASSERT_NE(at.back(), std::string::npos) << name << ": " << word << "\n" << text;
    }
    EXPECT_TRUE(std::is_sorted(at.begin(), at.end())) << name << "\n" << text;
  }
}

TEST(ExtractionJobTest, LightLettersOnADarkGroundAreRead) {
  // A road sign: read as they are, its Hangul came back as Latin ("CH#l").
  const std::string text = extract(fixture("korean_sign.jpg"))["text"];
  EXPECT_NE(text.find("대전 Daejeon"), std::string::npos) << text;
  EXPECT_NE(text.find("부산 Busan"), std::string::npos) << text;
}

TEST(ExtractionJobTest, AScanAskewIsReadAsIfLevel) {
  // Small print scanned 1-bit, 6 degrees askew: read as it lay, a word in
  // eight came back misspelt.
  const std::string text = extract(fixture("skewed_scan.png"))["text"];
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

TEST(ExtractionJobTest, EveryLineOfAShortWideParagraphIsReadToItsEnd) {
  const std::string text = extract(fixture("short_wide_paragraph.png"))["text"];
  std::vector<std::size_t> at;
  for (const char* last : {"첫째", "둘째", "셋째", "넷째"}) {
    at.push_back(text.find(last));
    ASSERT_NE(at.back(), std::string::npos) << last << "\n" << text;
  }
  EXPECT_TRUE(std::is_sorted(at.begin(), at.end())) << text;
  EXPECT_NE(text.find("오늘 아침 회의에서는"), std::string::npos) << text;
}

TEST(ExtractionJobTest, TwoCloseLinesAreReadWithoutAWordReadTwice) {
  // Read as one block, the engine's line finding cut across these lines
  // and gave "문식집은 떡우이와 떡볶이와": a word read twice, once garbled.
  const std::string text = extract(fixture("close_lines.png"))["text"];
  const std::size_t first = text.find("떡볶이와");
  ASSERT_NE(first, std::string::npos) << text;
  EXPECT_EQ(text.find("떡볶이와", first + 1), std::string::npos) << text;
  for (const char* word : {"분식집은", "유명하다.", "관람할"}) {
    EXPECT_NE(text.find(word), std::string::npos) << word << "\n" << text;
  }
}

TEST(ExtractionJobTest, APhotoLitFromOneSideIsReadOnItsDarkSideToo) {
  // Its paper darkens to a grey darker than its print at the lit side: read
  // with one threshold, the start of every line was lost.
  const std::string text = extract(fixture("unevenly_lit.jpg"))["text"];
  for (const char* word : {"오늘", "도서관", "기다려", "카페", "했습니다."}) {
    EXPECT_NE(text.find(word), std::string::npos) << word << "\n" << text;
  }
}

TEST(ExtractionJobTest, APhotoHalfInShadowIsReadAsDarkPrint) {
  // Half its pixels are darker than its own threshold: taken for light
  // letters on a dark ground, it was read inverted, as garbage.
  const std::string text = extract(fixture("half_in_shadow.jpg"))["text"];
  for (const char* word : {"도서관", "카페", "인쇄해", "발표는"}) {
    EXPECT_NE(text.find(word), std::string::npos) << word << "\n" << text;
  }
}

TEST(ExtractionJobTest, RecognisedLinesHoldNoRunOfSpaces) {
  for (const char* name : {"two_columns.png", "short_wide_paragraph.png", "turned_scan.png",
                           "korean_photo_exif6.jpg", "scanned.pdf"}) {
    const std::string text = extract(fixture(name))["text"];
    EXPECT_FALSE(text.empty()) << name;
    EXPECT_EQ(text.find("  "), std::string::npos) << name << "\n" << text;
    EXPECT_EQ(text.find(" \n"), std::string::npos) << name << "\n" << text;
    EXPECT_EQ(text.find("\n "), std::string::npos) << name << "\n" << text;
  }
}

// A copy of the program beside a stand-in helper, laid out as installed.
class BrokenHelperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mkdir(root.at("bin").c_str(), 0755);
    mkdir(root.at("libexec").c_str(), 0755);
    mkdir(root.at("libexec/fileprobe").c_str(), 0755);
    copyTo(FILEPROBE_BINARY, program());
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
