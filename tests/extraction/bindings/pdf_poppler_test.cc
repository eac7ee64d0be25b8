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
  open(std::make_shared<const std::string>(testing::readFile(testing::fixture(name))), pdf);
  return pdf;
}

// The page rendered the way the driver asks for it: longer side of the
// media box to 1800.
std::optional<Bitmap> renderedForRecognition(const PdfAccess& pdf) {
  const PageBox box = pdf.mediaBox(0);
  return pdf.renderPage(
      0, std::min(kRenderedLongerSide / box.width, kRenderedLongerSide / box.height));
}

// A 1200 x 1200 media box whose crop box is its top-left quarter is shown
// whole; a 1200 x 600 media box with /Rotate 90 is shown upright, as
// portrait. The extraction job's own test reads the words of the cropped one.
TEST(PdfPopplerTest, RenderingShowsTheWholeMediaBoxUpright) {
  const struct {
    const char* name;
    int width, height;
  } cases[] = {{"cropped_scan.pdf", 1800, 1800}, {"rotated_scan.pdf", 900, 1800}};
  for (const auto& c : cases) {
    const std::optional<PdfAccess> pdf = openFixture(c.name);
    ASSERT_TRUE(pdf) << c.name;
    const std::optional<Bitmap> bitmap = renderedForRecognition(*pdf);
    ASSERT_TRUE(bitmap) << c.name;
    EXPECT_EQ(bitmap->width, c.width) << c.name;
    EXPECT_EQ(bitmap->height, c.height) << c.name;
    EXPECT_EQ(bitmap->pixels.size(), static_cast<std::size_t>(c.width * c.height)) << c.name;
  }
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
