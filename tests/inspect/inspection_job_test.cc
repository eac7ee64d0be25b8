// The request as a whole: how it is read, its limits and the report line.
#include "inspect/inspection_job.h"

#include <fcntl.h>
#include <unistd.h>

#include "inspect/inspection_request.h"
#include "inspect/path_rules.h"
#include "inspection_support.h"
#include "support/temp_dir.h"

namespace fileprobe::testing {
namespace {

using nlohmann::json;

std::string refusalLine(std::string_view message) {
  return R"({"entries":[],"error":")" + std::string(message) + "\"}\n";
}

ChildOutcome inspectRequest(std::string input) {
  return runFileprobe({"--inspect-paths"}, std::move(input));
}

// `["/"` and `]` around spaces, `size` bytes in all.
std::string paddedRequest(std::size_t size) {
  std::string request = R"(["/")";
  request.append(size - request.size() - 1, ' ');
  return request + "]";
}

TEST(InspectionRequest, EmptyArraysAndMalformedRequests) {
  EXPECT_EQ(inspectRequest("[]").out, "{\"entries\":[]}\n");
  const ChildOutcome spaced = inspectRequest(" \n\t[ ]\n ");
  EXPECT_EQ(spaced.out, "{\"entries\":[]}\n");
  EXPECT_EQ(spaced.exitStatus, 0);
  for (const char* malformed : {"", "[", "[\"/\",]", "[\"/\"] []", "[1]", "[\"/\",true]", "[null]",
                                "[[\"/\"]]", "[{}]", "{\"a\":\"/\"}", "\"/\"", "[\"\xff\"]"}) {
    const ChildOutcome outcome = inspectRequest(malformed);
    EXPECT_EQ(reportOf(outcome), json::parse(refusalLine(kRequestMalformed))) << malformed;
    EXPECT_EQ(outcome.exitStatus, 2) << malformed;
  }
}

TEST(InspectionRequest, SizeLimitComesBeforeParsing) {
  const ChildOutcome largest = inspectRequest(paddedRequest(maximumRequestBytes));
  EXPECT_EQ(largest.out, R"({"entries":[{"hidden":false,"path":"/","readable":true}]})"
                         "\n");
  EXPECT_EQ(largest.exitStatus, 0);
  for (const std::string& oversized :
       {paddedRequest(maximumRequestBytes + 1), std::string(maximumRequestBytes + 1, '{'),
        std::string(3 * maximumRequestBytes, 'x')}) {
    const ChildOutcome outcome = inspectRequest(oversized);
    EXPECT_EQ(outcome.out, refusalLine(kRequestTooLarge));
    EXPECT_EQ(outcome.exitStatus, 2);
    EXPECT_TRUE(outcome.err.empty());
  }
}

TEST(InspectionRequest, AtMostMaximumRequestPathsAreInspected) {
  const std::vector<std::string> full(maximumRequestPaths, "relative");
  const json entries = inspectedEntries(full);
  ASSERT_EQ(entries.size(), maximumRequestPaths);
  EXPECT_EQ(entries.back()["error"], kNotAbsolute);

  std::vector<std::string> tooMany(maximumRequestPaths + 1, "/");
  const ChildOutcome outcome = inspectRequest(requestOf(tooMany));
  EXPECT_EQ(outcome.out, refusalLine(kRequestMalformed));
  EXPECT_EQ(outcome.exitStatus, 2);
}

TEST(InspectionRequest, ASlowWriterIsReadToTheEnd) {
  TempDir dir;
  writeFile(dir.at("f"), "");
  ChildRequest request;
  request.arguments = {"--inspect-paths"};
  request.input = requestOf({dir.at("f"), "/", dir.at("f")});
  request.inputPieceBytes = 5;
  request.inputPiecePause = std::chrono::milliseconds(2);
  const ChildOutcome outcome = runChild(request);
  const json report = reportOf(outcome);
  EXPECT_EQ(report["entries"].size(), 3u);
  EXPECT_EQ(report["entries"][2],
            json({{"path", dir.at("f")}, {"hidden", false}, {"readable", true}}));
  EXPECT_EQ(outcome.exitStatus, 0);
}

TEST(InspectionRequest, AnUnreadableStandardInputIsRefused) {
  TempDir dir;
  const int folder = open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ChildRequest request;
  request.arguments = {"--inspect-paths"};
  request.descriptors = {{0, folder}};  // read(2) on a folder fails with EISDIR
  const ChildOutcome outcome = runChild(request);
  close(folder);
  EXPECT_EQ(outcome.out, refusalLine(kRequestUnreadable));
  EXPECT_EQ(outcome.exitStatus, 2);
  EXPECT_TRUE(outcome.err.empty());
}

TEST(InspectionRequest, ReadingStopsOneBytePastTheLimit) {
  TempDir dir;
  writeFile(dir.at("big"), std::string(2 * maximumRequestBytes, 'x'));
  const int fd = open(dir.at("big").c_str(), O_RDONLY | O_CLOEXEC);
  std::vector<char> buffer;
  EXPECT_EQ(readRequestBytes(fd, buffer), 0);
  EXPECT_EQ(buffer.size(), maximumRequestBytes + 1);
  EXPECT_LE(buffer.capacity(), maximumRequestBytes + 1);
  EXPECT_EQ(lseek(fd, 0, SEEK_CUR), static_cast<off_t>(maximumRequestBytes + 1));
  close(fd);
}

}  // namespace
}  // namespace fileprobe::testing
