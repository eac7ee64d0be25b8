// The PDF binding module itself, loaded as the helper loads it.
#include <gtest/gtest.h>

#include "extraction/helper/helper_bindings.h"
#include "extraction/helper/module.h"
#include "support/temp_dir.h"

namespace fileprobe {
namespace {

std::optional<PdfAccess> openFixture(std::string_view name) {
  auto* open = reinterpret_cast<OpenPdfEntry*>(moduleSymbol(FILEPROBE_PDF_MODULE, kOpenPdfEntry));
  if (!open) return std::nullopt;
  std::optional<PdfAccess> pdf;
  open(std::make_shared<const std::string>(testing::readFile(
           std::string(FILEPROBE_SOURCE_DIR) + "/tests/fixtures/" + std::string(name))),
       pdf);
  return pdf;
}

// The page rendered the way the driver asks for it: longer side of the
// media box to 1800.
std::optional<Bitmap> renderedForRecognition(const PdfAccess& pdf) {
  const PageBox box = pdf.mediaBox(0);
  return pdf.renderPage(
      0, std::min(kRenderedLongerSide / box.width, kRenderedLongerSide / box.height));
}

TEST(PdfPopplerTest, RenderingShowsTheWholeMediaBoxWhateverTheCropBox) {
  // A 1200 x 1200 media box whose crop box is its top-left quarter. The
  // extraction job's own test reads the word outside the crop box.
  const std::optional<PdfAccess> pdf = openFixture("cropped_scan.pdf");
  ASSERT_TRUE(pdf);
  const std::optional<Bitmap> bitmap = renderedForRecognition(*pdf);
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(bitmap->width, 1800);
  EXPECT_EQ(bitmap->height, 1800);
  EXPECT_EQ(bitmap->pixels.size(), 1800u * 1800u);
}

TEST(PdfPopplerTest, RenderingAppliesThePageRotation) {
  // A 1200 x 600 media box with /Rotate 90 is shown upright as portrait.
  const std::optional<PdfAccess> pdf = openFixture("rotated_scan.pdf");
  ASSERT_TRUE(pdf);
  const std::optional<Bitmap> bitmap = renderedForRecognition(*pdf);
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(bitmap->width, 900);
  EXPECT_EQ(bitmap->height, 1800);
}

// A font lacks Unicode when it has neither a ToUnicode map nor a standard
// encoding: Identity-H glyph numbers do, Helvetica in its standard encoding
// and a font with a ToUnicode map do not.
TEST(PdfPopplerTest, FontsWithoutUnicodeMapAreReported) {
  const std::vector<std::pair<std::string, bool>> cases{
      {"glyph_codes_scan.pdf", true},
      {"table_of_figures.pdf", false},
      {"text_40.pdf", false},
      {"scanned.pdf", false},
  };
  for (const auto& [name, lacking] : cases) {
    const std::optional<PdfAccess> pdf = openFixture(name);
    ASSERT_TRUE(pdf) << name;
    EXPECT_EQ(pdf->fontsLackUnicode(0), lacking) << name;
  }
}

}  // namespace
}  // namespace fileprobe
