#include "extraction/wire/extraction_road.h"

#include <gtest/gtest.h>

namespace fileprobe {
namespace {

TEST(ExtractionRoadTest, PdfByLowerCasedLastExtensionOfTheFinalName) {
  for (const char* path : {"a.pdf", "/x/B.PDF", "c.Pdf", "dir/x.png.pdf"}) {
    EXPECT_EQ(roadForPath(path), Road::pdf) << path;
  }
  for (const char* path :
       {"a.pdf.png", "pdf", "/x/noextension", "/docs.pdf/scan", "a.pdfx", "/x/.pdf"}) {
    EXPECT_EQ(roadForPath(path), Road::image) << path;
  }
}

TEST(ExtractionRoadTest, EachRoadIsReadBackFromItsWordAndNoOtherWord) {
  for (const Road road : {Road::pdf, Road::image}) EXPECT_EQ(roadOfWord(roadWord(road)), road);
  for (const char* word : {"", "PDF", "pdf ", "images"}) EXPECT_FALSE(roadOfWord(word)) << word;
}

}  // namespace
}  // namespace fileprobe
