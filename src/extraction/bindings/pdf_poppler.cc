// The PDF road's binding to poppler. The document, its lock state, page
// count, text layer and media box come through poppler's C++ interface;
// rendering goes through poppler's own document and Splash classes, because
// the C++ interface's page_renderer always draws the crop box and clips to
// it, so whatever lies outside the crop box would never reach recognition.
// The fonts' Unicode facts come from the same classes: the C++ interface
// does not tell whether a font has a ToUnicode map.
#include <GfxFont.h>
#include <PDFDoc.h>
#include <SplashOutputDev.h>
#include <Stream.h>
#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-page.h>
#include <poppler-rectangle.h>
#include <splash/SplashBitmap.h>

#include <climits>
#include <cmath>
#include <cstring>

#include "extraction/helper/helper_bindings.h"

namespace fileprobe {
namespace {

constexpr double kPointsPerInch = 72;
constexpr int kPackedRows = 1;  // Splash pads each bitmap row to this many bytes
constexpr unsigned char kWhite = 0xff;
// Forms within forms whose fonts are looked at: text in a form of a form
// is rare, and a hostile file may nest or loop them without end.
constexpr int kFormDepth = 2;

struct OpenDocument {
  std::shared_ptr<const std::string> bytes;  // both documents read them in place
  std::unique_ptr<poppler::document> document;
  // The same bytes opened again for rendering, on the first page that needs
  // it. Declared last so it is destroyed first: poppler's global parameters,
  // which it uses, live only as long as a C++ document does.
  std::unique_ptr<PDFDoc> renderable;
};

// Poppler reports syntax errors of damaged files on standard error by default.
void dropPopplerMessage(const std::string&, void*) {}

std::string pageText(const poppler::page& page) {
  // Reading order without layout padding (what pdftotext gives by default):
  // the columns of a page one after the other, words separated by single
  // spaces. The physical layout would interleave columns line by line and
  // pad them with runs of spaces that count as characters.
  const poppler::byte_array utf8 =
      page.text(poppler::rectf(), poppler::page::non_raw_non_physical_layout).to_utf8();
  return std::string(utf8.begin(), utf8.end());
}

std::optional<Bitmap> grayBitmap(SplashBitmap& rendered, double pixelsPerInch) {
  if (rendered.getMode() != splashModeMono8) return std::nullopt;
  const int width = rendered.getWidth();
  const int height = rendered.getHeight();
  const int stride = rendered.getRowSize();
  if (width <= 0 || height <= 0 || stride < width || !rendered.getDataPtr()) return std::nullopt;
  Bitmap bitmap;
  bitmap.width = width;
  bitmap.height = height;
  bitmap.pixelsPerInch = pixelsPerInch;
  bitmap.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  const unsigned char* rows = rendered.getDataPtr();
  for (int y = 0; y < height; ++y) {
    std::memcpy(
        bitmap.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width),
        rows + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride),
        static_cast<std::size_t>(width));
  }
  return bitmap;
}

PDFDoc* renderableDocument(OpenDocument& open) {
  if (!open.renderable) {
    // MemStream reads the bytes in place; the document owns the stream.
    auto* stream = new MemStream(open.bytes->data(), 0, static_cast<Goffset>(open.bytes->size()),
                                 Object(objNull));
    open.renderable = std::make_unique<PDFDoc>(stream);
  }
  return open.renderable->isOk() ? open.renderable.get() : nullptr;
}

// The whole media box, turned by the page's /Rotate, at `pixelsPerInch`:
// the way pdftoppm renders by default. The crop box neither frames nor
// clips it.
std::optional<Bitmap> renderMediaBox(OpenDocument& open, int index, double pixelsPerInch) {
  PDFDoc* document = renderableDocument(open);
  const int pageNumber = index + 1;
  if (!document || pageNumber > document->getNumPages() || !document->getPage(pageNumber)) {
    return std::nullopt;
  }
  SplashColor paper{};
  paper[0] = paper[1] = paper[2] = kWhite;
  SplashOutputDev output(splashModeMono8, kPackedRows, /*reverseVideoA=*/false, paper);
  output.setFontAntialias(true);
  output.setVectorAntialias(true);
  output.startDoc(document);
  document->displayPage(&output, pageNumber, pixelsPerInch, pixelsPerInch, /*rotate=*/0,
                        /*useMediaBox=*/true, /*crop=*/false, /*printing=*/false);
  SplashBitmap* rendered = output.getBitmap();
  if (!rendered) return std::nullopt;
  return grayBitmap(*rendered, pixelsPerInch);
}

// Whether the font's codes are no standard encoding: a Type 3 font or a
// font with an encoding of its own names its glyphs as it likes, and
// Identity codes of a CID font are glyph numbers. Without a ToUnicode map
// poppler can only guess characters from them.
bool lacksUnicode(const GfxFont& font) {
  if (font.hasToUnicodeCMap()) return false;
  const std::string& encoding = font.getEncodingName();
  return font.getType() == fontType3 || encoding == "Custom" || encoding.starts_with("Identity");
}

// Whether a font of `resources`, or of the forms they draw down to `depth`
// levels, lacks Unicode. The fonts' dictionaries are read, never their
// programs, and no system font is looked up.
bool resourcesLackUnicode(XRef* xref, Dict* resources, int depth) {
  if (!resources) return false;
  const Object fonts = resources->lookup("Font");
  for (int i = 0; fonts.isDict() && i < fonts.dictGetLength(); ++i) {
    const Object& entry = fonts.dictGetValNF(i);
    const Object fontDict = entry.fetch(xref);
    if (!fontDict.isDict()) continue;
    const Ref ref = entry.isRef() ? entry.getRef() : Ref::INVALID();
    const std::unique_ptr<GfxFont> font =
        GfxFont::makeFont(xref, fonts.dictGetKey(i), ref, fontDict.getDict());
    if (font && font->isOk() && lacksUnicode(*font)) return true;
  }
  if (depth == 0) return false;
  const Object xobjects = resources->lookup("XObject");
  if (!xobjects.isDict()) return false;
  for (int i = 0; i < xobjects.dictGetLength(); ++i) {
    const Object xobject = xobjects.dictGetVal(i);
    if (!xobject.isStream() || !xobject.streamGetDict()->lookup("Subtype").isName("Form")) {
      continue;
    }
    Object formResources = xobject.streamGetDict()->lookup("Resources");
    if (formResources.isDict() && resourcesLackUnicode(xref, formResources.getDict(), depth - 1)) {
      return true;
    }
  }
  return false;
}

// Whether some font of the page, or of a form on it, has no ToUnicode map
// and codes that are no standard encoding: its characters are then glyph
// codes.
bool fontsLackUnicode(OpenDocument& open, int index) {
  PDFDoc* document = renderableDocument(open);
  const int pageNumber = index + 1;
  if (!document || pageNumber < 1 || pageNumber > document->getNumPages()) return false;
  Page* page = document->getPage(pageNumber);
  if (!page) return false;
  return resourcesLackUnicode(document->getXRef(), page->getResourceDict(), kFormDepth);
}

std::optional<PdfAccess> openWithPoppler(std::shared_ptr<const std::string> bytes) {
  poppler::set_debug_error_function(dropPopplerMessage, nullptr);
  if (bytes->size() > static_cast<std::size_t>(INT_MAX)) return std::nullopt;
  auto open = std::make_shared<OpenDocument>();
  open->bytes = std::move(bytes);
  open->document.reset(poppler::document::load_from_raw_data(
      open->bytes->data(), static_cast<int>(open->bytes->size())));
  if (!open->document || open->document->is_locked()) return std::nullopt;

  PdfAccess access;
  access.pageCount = [open] { return open->document->pages(); };
  access.pageText = [open](int index) -> std::optional<std::string> {
    const std::unique_ptr<poppler::page> page(open->document->create_page(index));
    if (!page) return std::nullopt;
    return pageText(*page);
  };
  access.mediaBox = [open](int index) -> PageBox {
    const std::unique_ptr<poppler::page> page(open->document->create_page(index));
    if (!page) return {};
    const poppler::rectf box = page->page_rect(poppler::media_box);
    return {box.width(), box.height()};
  };
  access.renderPage = [open](int index, double scale) -> std::optional<Bitmap> {
    const double pixelsPerInch = kPointsPerInch * scale;
    if (!std::isfinite(pixelsPerInch) || pixelsPerInch <= 0) return std::nullopt;
    return renderMediaBox(*open, index, pixelsPerInch);
  };
  access.fontsLackUnicode = [open](int index) { return fontsLackUnicode(*open, index); };
  return access;
}

}  // namespace
}  // namespace fileprobe

extern "C" [[gnu::visibility("default")]] void fileprobeOpenPdf(
    std::shared_ptr<const std::string> bytes, std::optional<fileprobe::PdfAccess>& out) {
  out = fileprobe::openWithPoppler(std::move(bytes));
}

static_assert(std::is_same_v<decltype(fileprobeOpenPdf), fileprobe::OpenPdfEntry>);
