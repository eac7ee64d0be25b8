#include "extraction/wire/extraction_answer.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "common/limits.h"
#include "support/standard_output.h"

namespace fileprobe {
namespace {

using nlohmann::json;
using testing::standardOutputOf;

class EmitTest : public ::testing::Test {
 protected:
  void SetUp() override { setGlobalLimits(); }
};

TEST_F(EmitTest, CutsTheTextAtSixtyThousandCharacters) {
  const std::string exact(60000, 'x');
  EXPECT_EQ(json::parse(standardOutputOf([&] { emit(exact, kMethodText, {}); }))["text"], exact);
  const std::string longer = exact + "y";
  EXPECT_EQ(json::parse(standardOutputOf([&] { emit(longer, kMethodText, {}); }))["text"], exact);
}

TEST_F(EmitTest, FallsBackToTheFixedLineWhenTheTextIsNotUtf8) {
  const std::string line = standardOutputOf([] { emit("\xFF", kMethodText, "w"); });
  EXPECT_EQ(line, std::string(kExtractionFallbackLine) + "\n");
}

TEST(ExtractionAnswerTest, RoundTripsAndRejectsAnythingElse) {
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
