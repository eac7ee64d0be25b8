#include "extraction/wire/extraction_answer.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "support/standard_output.h"

namespace fileprobe {
namespace {

using nlohmann::json;
using testing::standardOutputOf;

// The helper's answer carries at most 60000 characters, and the job takes
// no longer text as an answer.
TEST(ExtractionAnswerTest, TextIsCutAtSixtyThousandCharactersOnTheWire) {
  const std::string exact(60000, 'x');
  const auto answerText = [](const std::string& text) {
    return parseAnswer(*answerBytes({text, Method::text, std::nullopt}))->text;
  };
  EXPECT_EQ(answerText(exact), exact);
  EXPECT_EQ(answerText(exact + "y"), exact);
  EXPECT_FALSE(parseAnswer(json{{"text", exact + "y"}, {"method", "text"}}.dump()));
}

TEST(EmitTest, FallsBackToTheFixedLineWhenTheTextIsNotUtf8) {
  const std::string line = standardOutputOf([] { emit({"\xFF", Method::text, "w"}); });
  EXPECT_EQ(line, std::string(kExtractionFallbackLine) + "\n");
}

TEST(ExtractionAnswerTest, RoundTripsAndRejectsAnythingElse) {
  const ExtractionAnswer answer{"줄\n\"q\"", Method::ocr, "경고"};
  EXPECT_EQ(parseAnswer(*answerBytes(answer)), answer);
  EXPECT_EQ(parseAnswer(R"({"text":"","method":"text"})"),
            (ExtractionAnswer{"", Method::text, std::nullopt}));
  for (const char* bad :
       {"", "{}", R"({"text":"a"})", R"({"text":"a","method":"guess"})",
        R"({"text":"a","method":"ocr","extra":"x"})", R"({"text":1,"method":"ocr"})",
        R"({"text":"a","method":"ocr"} trailing)", R"(["text","method"])"}) {
    EXPECT_FALSE(parseAnswer(bad)) << bad;
  }
}

}  // namespace
}  // namespace fileprobe
