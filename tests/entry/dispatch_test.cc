// The command forms as a calling application sees them: the built binary
// run as a child, its one line, its exit status and its silent stderr.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "support/child_process.h"
#include "support/temp_dir.h"

namespace fileprobe::testing {
namespace {

using nlohmann::json;

const json kNoFileAnswer = {
    {"text", ""}, {"method", "filename"}, {"warning", "인식할 파일을 확인할 수 없어요."}};

json onlyLineOf(const ChildOutcome& outcome) {
  EXPECT_TRUE(outcome.err.empty()) << outcome.err;
  EXPECT_FALSE(outcome.out.empty());
  EXPECT_EQ(outcome.out.find('\n'), outcome.out.size() - 1) << outcome.out;
  return json::parse(outcome.out);
}

TEST(Dispatch, WrongCountForTheDefaultJobAnswersNoFileWithStatusZero) {
  for (const auto& arguments : {std::vector<std::string>{}, std::vector<std::string>{"a", "b"},
                                std::vector<std::string>{"--unknown", "x", "y"}}) {
    const ChildOutcome outcome = runFileprobe(arguments);
    EXPECT_EQ(onlyLineOf(outcome), kNoFileAnswer);
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
  EXPECT_EQ(outcome.out,
            R"({"entries":[],"error":"검사 모드의 인자를 확인해 주세요."})"
            "\n");
  EXPECT_EQ(outcome.exitStatus, 2);
  EXPECT_TRUE(outcome.err.empty());
}

TEST(Dispatch, MoveWithFiveOrSevenArgumentsIsRefusedWithEinval) {
  for (const auto& arguments :
       {std::vector<std::string>{"--move-exclusive", "/a", "/b", "1"},
        std::vector<std::string>{"--move-exclusive", "/a", "/b", "1", "2", "3"}}) {
    const ChildOutcome outcome = runFileprobe(arguments);
    EXPECT_EQ(outcome.out, "{\"ok\":false,\"errno\":22}\n");
    EXPECT_EQ(outcome.exitStatus, 3);
    EXPECT_TRUE(outcome.err.empty());
  }
}

TEST(Dispatch, MetadataCopyWithExtraArgumentsLeavesTheDescriptorsAlone) {
  TempDir dir;
  writeFile(dir.at("source"), "s");
  writeFile(dir.at("destination"), "d");
  chmod(dir.at("source").c_str(), 0600);
  chmod(dir.at("destination").c_str(), 0644);
  struct stat before {};
  stat(dir.at("destination").c_str(), &before);
  const int source = open(dir.at("source").c_str(), O_RDONLY | O_CLOEXEC);
  const int destination = open(dir.at("destination").c_str(), O_RDONLY | O_CLOEXEC);

  ChildRequest request;
  request.arguments = {"--copy-metadata-fd", "3", "4"};
  request.descriptors = {{3, source}, {4, destination}};
  const ChildOutcome outcome = runChild(request);
  close(source);
  close(destination);

  EXPECT_EQ(onlyLineOf(outcome), json({{"ok", false}, {"verified", false}, {"errno", 22}}));
  EXPECT_EQ(outcome.exitStatus, 3);
  struct stat after {};
  stat(dir.at("destination").c_str(), &after);
  EXPECT_EQ(after.st_mode, before.st_mode);
  EXPECT_EQ(after.st_ctim.tv_nsec, before.st_ctim.tv_nsec);
}

TEST(Dispatch, OptionWordsAreCaseSensitive) {
  const ChildOutcome outcome = runFileprobe({"--INSPECT-PATHS"});
  const json line = onlyLineOf(outcome);
  EXPECT_EQ(line["method"], "filename");
  EXPECT_FALSE(line.contains("entries"));
  EXPECT_EQ(outcome.exitStatus, 0);
}

}  // namespace
}  // namespace fileprobe::testing
