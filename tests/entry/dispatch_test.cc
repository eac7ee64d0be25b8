// The command forms as a calling application sees them: the built binary
// run as a child, its one line, its exit status and its silent stderr. The
// move and copy jobs' own tests cover their wrong argument counts.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "common/arguments.h"
#include "entry/dispatch.h"
#include "support/child_process.h"
#include "support/standard_output.h"

namespace fileprobe::testing {
namespace {

using nlohmann::json;

// A wrong count for the default job, and option words in another case or
// with a space, which name a file to extract from rather than a job.
TEST(Dispatch, WrongCountOrUnknownOptionAnswersNoFileWithStatusZero) {
  for (const auto& arguments : {std::vector<std::string>{},
                                {"a", "b"},
                                {"--unknown", "x", "y"},
                                {"--INSPECT-PATHS"},
                                {"--inspect-paths "},
                                {"--Move-Exclusive"}}) {
    const ChildOutcome outcome = runFileprobe(arguments);
    EXPECT_TRUE(outcome.err.empty()) << outcome.err;
    EXPECT_EQ(outcome.out.find('\n'), outcome.out.size() - 1) << outcome.out;
    const json line = json::parse(outcome.out);
    EXPECT_EQ(line["method"], "filename");
    EXPECT_EQ(line["text"], "");
    if (arguments.size() != 1) {
      EXPECT_EQ(line["warning"], "인식할 파일을 확인할 수 없어요.");
    }
    EXPECT_FALSE(line.contains("entries"));
    EXPECT_EQ(outcome.exitStatus, 0);
  }
}

TEST(Dispatch, InspectionWithAnExtraArgumentIsRefusedWithoutReadingInput) {
  ChildRequest request;
  request.arguments = {"--inspect-paths", "extra"};
  request.holdInputOpen = true;  // a read would block until the timeout
  request.timeout = std::chrono::seconds(20);
  const ChildOutcome outcome = runChild(request);
  EXPECT_FALSE(outcome.timedOut);
  EXPECT_EQ(outcome.out, "{\"entries\":[],\"error\":\"검사 모드의 인자를 확인해 주세요.\"}\n");
  EXPECT_EQ(outcome.exitStatus, 2);
  EXPECT_TRUE(outcome.err.empty());
}

// Every job returns its status to the caller instead of ending the
// process, so that it can run in this one.
TEST(Dispatch, EachJobWritesItsLineAndReturnsItsStatus) {
  const struct {
    std::vector<std::string_view> words;
    int status;
    std::string line;
  } cases[] = {
      {{"fileprobe", "--inspect-paths", "extra"},
       2,
       R"({"entries":[],"error":"검사 모드의 인자를 확인해 주세요."})"},
      {{"fileprobe", "--move-exclusive"}, 3, R"({"ok":false,"errno":22})"},
      {{"fileprobe", "--copy-metadata-fd", "extra"},
       3,
       R"({"errno":22,"ok":false,"verified":false})"},
  };
  for (const auto& c : cases) {
    int status = -1;
    const std::string out = standardOutputOf([&] { status = jobFor(c.words)(c.words); });
    EXPECT_EQ(status, c.status) << c.line;
    EXPECT_EQ(out, c.line + "\n");
  }
}

}  // namespace
}  // namespace fileprobe::testing
