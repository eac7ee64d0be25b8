#include "extraction/helper/extraction_driver.h"

#include <gtest/gtest.h>

#include "extraction/wire/extraction_answer.h"

namespace fileprobe {
namespace {

// A fake document: each page has a text layer (or is missing), a media box
// and whether rendering gives a bitmap; recognition answers per page.
struct FakePage {
  std::optional<std::string> text = "";
  PageBox box{612, 792};
  bool renders = true;
  std::optional<std::string> recognised = "";  // nothing: recognition fails
};

struct FakePdf {
  explicit FakePdf(std::vector<FakePage> all = {}) : pages(std::move(all)) {}
  std::vector<FakePage> pages;
  std::vector<int> recognisedPages;
  std::vector<double> scales;
};

std::optional<PdfAccess> accessTo(FakePdf& fake) {
  PdfAccess access;
  access.pageCount = [&fake] { return static_cast<int>(fake.pages.size()); };
  access.pageText = [&fake](int i) { return fake.pages[static_cast<std::size_t>(i)].text; };
  access.mediaBox = [&fake](int i) { return fake.pages[static_cast<std::size_t>(i)].box; };
  access.renderPage = [&fake](int i, double scale) -> std::optional<Bitmap> {
    fake.scales.push_back(scale);
    if (!fake.pages[static_cast<std::size_t>(i)].renders) return std::nullopt;
    Bitmap bitmap;
    bitmap.width = i;  // carries the page index to the recogniser
    return bitmap;
  };
  return access;
}

RecognizeFunction recogniserOf(FakePdf& fake) {
  return [&fake](const Bitmap& bitmap) {
    fake.recognisedPages.push_back(bitmap.width);
    return fake.pages[static_cast<std::size_t>(bitmap.width)].recognised;
  };
}

ExtractionAnswer run(FakePdf& fake) { return pdfRoadAnswer(accessTo(fake), recogniserOf(fake)); }

std::string repeated(std::string_view piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

const std::string kGoodText = repeated("가", 40);

TEST(PdfRoadTest, FortyCharactersAreTakenThirtyNineAreRecognised) {
  FakePdf fake{
      {{.text = " " + kGoodText + "\n"}, {.text = repeated("é", 39), .recognised = "recognised"}}};
  const ExtractionAnswer answer = run(fake);
  EXPECT_EQ(fake.recognisedPages, std::vector<int>{1});
  EXPECT_EQ(answer, (ExtractionAnswer{kGoodText + "\n\nrecognised", Method::ocr,
                                      std::string(kWarningOcrMayErr)}));
}

TEST(PdfRoadTest, PageTextIsCutBeforeItIsTrimmed) {
  FakePdf fake{{{.text = repeated(" ", 30000) + kGoodText, .recognised = "scan"}}};
  EXPECT_EQ(run(fake).text, "scan");
  EXPECT_EQ(fake.recognisedPages, std::vector<int>{0});
}

TEST(PdfRoadTest, RenderedPageHasLongerSide1800) {
  FakePdf fake{{{.box = {600, 900}}, {.box = {3600, 100}}}};
  run(fake);
  ASSERT_EQ(fake.scales.size(), 2u);
  EXPECT_DOUBLE_EQ(fake.scales[0], 2.0);
  EXPECT_DOUBLE_EQ(fake.scales[1], 0.5);
}

TEST(PdfRoadTest, MissingPageIsSkippedSilently) {
  FakePdf fake{{{.text = std::nullopt}, {.text = kGoodText}}};
  EXPECT_EQ(run(fake), (ExtractionAnswer{kGoodText, Method::text, std::nullopt}));
}

// Without a bitmap, with a failed recognition and with an unusable box
// alike, a page keeps its own short text and the failure is named.
TEST(PdfRoadTest, ShortTextIsKeptWheneverRecognitionCannotHelp) {
  const std::vector<FakePage> failing{
      {.text = "ten chars!", .renders = false},
      {.text = "ten chars!", .recognised = std::nullopt},
      {.text = "ten chars!", .box = {0, 792}},
  };
  for (const FakePage& page : failing) {
    FakePdf fake{{page}};
    EXPECT_EQ(run(fake),
              (ExtractionAnswer{"ten chars!", Method::text, std::string(kWarningSomePagesFailed)}));
  }
  FakePdf nan{{{.box = {std::numeric_limits<double>::quiet_NaN(), 792}}}};
  EXPECT_EQ(run(nan),
            (ExtractionAnswer{"", Method::filename, std::string(kWarningSomePagesFailed)}));
  EXPECT_TRUE(nan.scales.empty());
}

// Junk characters never count as text and never come out, on either road;
// a page whose layer is not text keeps nothing of it.
TEST(PdfRoadTest, JunkIsNeverText) {
  const std::string privateUse = repeated("\uE0FC", 60);
  const std::string byteSwapped = repeated("\u4D00\u7500\u6C00", 20);
  FakePdf mixed{{{.text = privateUse + kGoodText + privateUse}}};
  EXPECT_EQ(run(mixed), (ExtractionAnswer{kGoodText, Method::text, std::nullopt}));
  // Its real text is short: recognised, which finds nothing, so the page
  // keeps its own text.
  FakePdf shortReal{{{.text = privateUse + "short"}}};
  EXPECT_EQ(run(shortReal),
            (ExtractionAnswer{"short", Method::ocr, std::string(kWarningOcrMayErr)}));
  EXPECT_EQ(shortReal.recognisedPages, std::vector<int>{0});
  FakePdf swapped{{{.text = byteSwapped, .recognised = "Multi\uFFFDcolor"}}};
  EXPECT_EQ(run(swapped),
            (ExtractionAnswer{"Multi color", Method::ocr, std::string(kWarningOcrMayErr)}));
  // Recognition failed, or found only junk: nothing of the page's layer.
  FakePdf failed{{{.text = byteSwapped, .recognised = std::nullopt}}};
  EXPECT_EQ(run(failed), filenameAnswer(kWarningSomePagesFailed));
  FakePdf junkOnly{{{.text = byteSwapped, .recognised = "\uE000"}}};
  EXPECT_EQ(run(junkOnly), filenameAnswer(kWarningOcrMayErr));
  EXPECT_EQ(imageRoadAnswer(Bitmap{}, [](const Bitmap&) { return std::string("a\x01\uF000b"); }),
            (ExtractionAnswer{"a b", Method::ocr, std::string(kWarningImageRecognised)}));
}

TEST(ImageRoadTest, AnswersByWhatLoadingAndRecognitionGave) {
  const auto recognising = [](std::optional<std::string> text) {
    return [text](const Bitmap&) { return text; };
  };
  EXPECT_EQ(imageRoadAnswer(std::nullopt, recognising("x")),
            filenameAnswer(kWarningUnreadableImage));
  EXPECT_EQ(imageRoadAnswer(Bitmap{}, recognising(std::nullopt)),
            filenameAnswer(kWarningImageNotRecognised));
  // An image without text stays an "ocr" answer.
  EXPECT_EQ(imageRoadAnswer(Bitmap{}, recognising("")),
            (ExtractionAnswer{"", Method::ocr, std::string(kWarningImageRecognised)}));
}

}  // namespace
}  // namespace fileprobe
