// The --inspect-paths job through the built binary: the request as a whole,
// then each path rule on a real tree, a locked item, an unreadable item and
// an item replaced while it is inspected.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <optional>
#include <thread>

#include "inspect/inspection_request.h"
#include "inspect/path_rules.h"
#include "race_iterations.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace fileprobe::testing {
namespace {

using nlohmann::json;

ChildRequest inspection(std::string input) {
  ChildRequest request;
  request.arguments = {"--inspect-paths"};
  request.input = std::move(input);
  return request;
}

void expectRefusal(const ChildRequest& request, std::string_view message) {
  const ChildOutcome outcome = runChild(request);
  EXPECT_EQ(outcome.out, R"({"entries":[],"error":")" + std::string(message) + "\"}\n");
  EXPECT_EQ(outcome.exitStatus, 2);
  EXPECT_TRUE(outcome.err.empty());
}

// The entries of a request that must be accepted as a whole.
json entriesOf(const ChildRequest& request) {
  const ChildOutcome outcome = runChild(request);
  EXPECT_TRUE(outcome.err.empty()) << outcome.err;
  EXPECT_EQ(outcome.exitStatus, 0);
  EXPECT_EQ(outcome.out.find('\n'), outcome.out.size() - 1);
  const json report = json::parse(outcome.out, nullptr, false);
  EXPECT_FALSE(report.contains("error"));
  return report["entries"];
}

// The JSON reader's own test covers the shapes; these show the job's wiring.
TEST(InspectionRequest, EmptyArraysMalformedAndUnreadableRequests) {
  EXPECT_EQ(runChild(inspection(" \n[ ]\t")).out, "{\"entries\":[]}\n");
  expectRefusal(inspection(R"(["/",1])"), kRequestMalformed);
  expectRefusal(inspection(std::string("[\"/tmp\"]\0 not json", 18)), kRequestMalformed);
  TempDir dir;
  ChildRequest fromFolder = inspection("");
  fromFolder.descriptors = {{0, open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)}};
  expectRefusal(fromFolder, kRequestUnreadable);  // read(2) on a folder fails
  close(fromFolder.descriptors[0].second);
}

TEST(InspectionRequest, SizeLimitComesBeforeParsing) {
  const auto padded = [](std::size_t size) { return R"(["/")" + std::string(size - 5, ' ') + "]"; };
  EXPECT_EQ(runChild(inspection(padded(maximumRequestBytes))).out,
            "{\"entries\":[{\"hidden\":false,\"path\":\"/\",\"readable\":true}]}\n");
  expectRefusal(inspection(padded(maximumRequestBytes + 1)), kRequestTooLarge);
  expectRefusal(inspection(std::string(3 * maximumRequestBytes, '{')), kRequestTooLarge);
}

TEST(InspectionRequest, AtMostMaximumRequestPathsEvenFromASlowWriter) {
  ChildRequest slow = inspection(json(std::vector<std::string>(maximumRequestPaths, "x")).dump());
  slow.inputPieceBytes = 97;
  slow.inputPiecePause = std::chrono::milliseconds(1);
  const json entries = entriesOf(slow);
  ASSERT_EQ(entries.size(), maximumRequestPaths);
  EXPECT_EQ(entries.back()["error"], kNotAbsolute);
  expectRefusal(inspection(json(std::vector<std::string>(maximumRequestPaths + 1, "/")).dump()),
                kRequestMalformed);
}

struct Case {
  std::string path;
  std::optional<std::string_view> error;  // none: accepted
  bool hidden = false;
  bool readable = true;
};

void expectEntries(const std::vector<Case>& cases, ChildRequest request = inspection("")) {
  std::vector<std::string> paths;
  for (const Case& c : cases) paths.push_back(c.path);
  request.input = json(paths).dump();
  const json entries = entriesOf(request);
  ASSERT_EQ(entries.size(), cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    json expected = {{"path", c.path}, {"hidden", c.hidden}, {"readable", c.readable && !c.error}};
    if (c.error) expected["error"] = std::string(*c.error);
    EXPECT_EQ(entries[i], expected) << "request element " << i;
  }
}

TEST(PathRules, FormWalkTypeAndResourceRulesInTheirOrder) {
  TempDir dir;
  const std::string root = dir.path();
  for (const char* folder : {"a", "a/b", "Foo.app", "Notes.RTFD", ".app", "..."}) {
    mkdir(dir.at(folder).c_str(), 0755);
  }
  for (const char* file : {"a/b/file", ".hidden", "x.app", "a..b"}) writeFile(dir.at(file), "");
  symlink(dir.at("a").c_str(), dir.at("linked").c_str());
  symlink(dir.at("a/b/file").c_str(), dir.at("a/b/last-link").c_str());
  // maximumPathBytes exactly, naming a real item: the walk reaches it, but
  // the system refuses so long a name as a whole.
  const std::string slashes(maximumPathBytes - root.size() - 2, '/');

  expectEntries({
      // Absolute form, then normal form; "//" and a trailing "/" stay in the path.
      {"relative/../path", kNotAbsolute},
      {root + std::string("\0/a", 3), kNotAbsolute},
      {root + slashes + "/a", kNoResourceValues},
      {root + "/" + slashes + "/a", kNotAbsolute},
      {root + "/a/./b", kNotNormalised},
      {root + "/a..b", std::nullopt},
      {root + "//a/b//file", std::nullopt},
      {root + "/a/b/", std::nullopt},
      // The walk, then the file type.
      {root + "/missing/file", kNoMetadata},
      {root + "/linked/b/file", kSymbolicLink},
      {root + "/a/b/last-link", kSymbolicLink},
      {root + "/a/b/file/x", kParentNotFolder},
      {"/dev/null", kNotFileOrFolder},
      // Hidden and package attributes, from the final name.
      {root + "/.hidden", std::nullopt, true},
      {root + "/...", std::nullopt, true},
      {root + "/Foo.app/", kPackage},
      {root + "/Notes.RTFD", kPackage},
      {root + "/.app", std::nullopt, true},
      {root + "/x.app", std::nullopt},
  });
}

TEST(PathRules, ImmutableAndAppendOnlyItemsAreRefusedOtherFlagsAreNot) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root";
  TempDir dir;
  mkdir(dir.at("append-only").c_str(), 0755);
  for (const char* file : {"locked", "append-only/inside", "no-dump"}) writeFile(dir.at(file), "");
  const auto chattr = [&](const std::string& change, const char* name) {
    return std::system(("chattr " + change + " " + dir.at(name)).c_str()) == 0;
  };
  ASSERT_TRUE(chattr("+i", "locked") && chattr("+a", "append-only") && chattr("+d", "no-dump"));
  expectEntries({{dir.at("locked"), kLocked},
                 {dir.at("append-only"), kLocked},
                 {dir.at("append-only/inside"), std::nullopt},
                 {dir.at("no-dump"), std::nullopt}});
  EXPECT_TRUE(chattr("-i", "locked") && chattr("-a", "append-only"));
}

TEST(PathRules, AnUnreadableItemIsAcceptedAsUnreadable) {
  TempDir dir;
  chmod(dir.path().c_str(), 0755);
  writeFile(dir.at("secret"), "");
  chmod(dir.at("secret").c_str(), 0);
  ChildRequest request = inspection("");
  if (geteuid() == 0) {  // root may read anything: ask as nobody
    request.program = "/usr/bin/setpriv";
    request.arguments = {"--reuid=65534", "--regid=65534", "--clear-groups", FILEPROBE_BINARY,
                         "--inspect-paths"};
  }
  expectEntries({{dir.at("secret"), std::nullopt, false, false}}, request);
}

// Another thread swaps a file and a folder over each other while each
// request inspects the name a thousand times: each entry is accepted whole
// or refused whole by the re-check, never a mixture.
TEST(PathRules, RaceItemReplacedDuringTheInspectionIsAcceptedOrRefusedWhole) {
  TempDir dir;
  writeFile(dir.at("swapped"), "");
  mkdir(dir.at("other").c_str(), 0755);
  std::atomic<bool> stop = false;
  std::thread swapper([&] {
    while (!stop) {
      renameat2(AT_FDCWD, dir.at("swapped").c_str(), AT_FDCWD, dir.at("other").c_str(),
                RENAME_EXCHANGE);
    }
  });
  const ChildRequest request = inspection(json(std::vector(1000, dir.at("swapped"))).dump());
  int changed = 0;
  // A slow machine stops early rather than at the test's timeout.
  const int runs = raceIterations(10);
  const auto deadline = std::chrono::steady_clock::now() + runs * std::chrono::milliseconds(200);
  for (int run = 0; run < runs && std::chrono::steady_clock::now() < deadline; ++run) {
    for (const json& entry : entriesOf(request)) {
      const bool refused = entry.contains("error");
      EXPECT_EQ(entry.size(), refused ? 4u : 3u);
      EXPECT_EQ(entry["readable"], !refused);
      EXPECT_EQ(entry.value("error", std::string(kChangedDuringInspection)),
                kChangedDuringInspection);
      changed += refused;
    }
  }
  stop = true;
  swapper.join();
  EXPECT_GT(changed, 0) << "the re-check never saw the replaced item";
}

}  // namespace
}  // namespace fileprobe::testing
