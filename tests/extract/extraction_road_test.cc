#include "extract/extraction_road.h"

#include <gtest/gtest.h>

#include "extract/helper_answer.h"

namespace fileprobe {
namespace {

TEST(ExtractionRoadTest, PdfByLowerCasedLastExtensionOfTheFinalName) {
  for (const char* path : {"a.pdf", "/x/B.PDF", "c.Pdf", "dir/x.png.pdf"}) {
    EXPECT_EQ(roadForPath(path), Road::pdf) << path;
  }
  for (const char* path : {"a.pdf.png", "pdf", "/x/noextension", "/docs.pdf/scan", "a.pdfx"}) {
    EXPECT_EQ(roadForPath(path), Road::image) << path;
  }
}

TEST(HelperAnswerTest, RoundTripsAndRejectsAnythingElse) {
  const ExtractionAnswer answer{"줄\n\"q\"", "ocr", "경고"};
  EXPECT_EQ(parseAnswer(*answerBytes(answer)), answer);
  EXPECT_EQ(parseAnswer(R"({"text":"","method":"text"})"),
            (ExtractionAnswer{"", "text", std::nullopt}));
  for (const char* bad :
       {"", "{}", R"({"text":"a"})", R"({"text":"a","method":"guess"})",
        R"({"text":"a","method":"ocr","extra":"x"})", R"({"text":1,"method":"ocr"})",
        R"({"text":"a","method":"ocr"} trailing)", R"(["text","method"])"}) {
    EXPECT_FALSE(parseAnswer(bad)) << bad;
  }
}

}  // namespace
}  // namespace fileprobe
