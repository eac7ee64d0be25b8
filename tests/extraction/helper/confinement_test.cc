// The extraction helper's confinement, seen from outside: the probe build
// of the helper attempts every forbidden operation after confining itself
// exactly as the extraction roads do, and the real helper is traced while
// it reads files on both roads.
#include "extraction/helper/confinement.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>

#include "support/child_process.h"
#include "support/temp_dir.h"

namespace fileprobe {
namespace {

using nlohmann::json;
using testing::ChildRequest;
using testing::fixture;
using testing::TempDir;

constexpr const char* kStrace = "/usr/bin/strace";
constexpr const char* kConvert = "/usr/bin/convert";

std::set<std::string> namesIn(const std::string& folder) {
  std::set<std::string> names;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return names;
  while (const dirent* entry = readdir(dir)) {
    if (entry->d_name[0] != '.') names.insert(entry->d_name);
  }
  closedir(dir);
  return names;
}

// A folder with a file to overwrite and remove, a file outside every
// folder the helper may read, and a Unix socket that accepts connections.
class ProbeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::writeFile(dir.at("existing"), "kept");
    testing::writeFile(dir.at("outside"), "private");
    listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(listener, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, dir.at("socket").c_str(), sizeof(address.sun_path) - 1);
    ASSERT_EQ(bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(listen(listener, 4), 0);
    // A core limit the confinement must lower for itself.
    getrlimit(RLIMIT_CORE, &savedCore);
    rlimit raised{RLIM_INFINITY, RLIM_INFINITY};
    if (setrlimit(RLIMIT_CORE, &raised) != 0) {
      raised = {savedCore.rlim_max, savedCore.rlim_max};
      setrlimit(RLIMIT_CORE, &raised);
    }
  }
  void TearDown() override {
    close(listener);
    setrlimit(RLIMIT_CORE, &savedCore);
  }
  json probe(const std::string& road) {
    ChildRequest request;
    request.program = FILEPROBE_PROBE;
    request.arguments = {road, dir.path(), dir.at("existing"), dir.at("outside"), dir.at("socket")};
    request.environment = std::vector<std::string>{"OMP_THREAD_LIMIT=1"};
    const auto outcome = testing::runChild(request);
    EXPECT_TRUE(outcome.exited && outcome.exitStatus == 0) << outcome.signal;
    return json::parse(outcome.out);
  }
  TempDir dir;
  int listener = -1;
  rlimit savedCore{};
};

// Also from a thread started after confinement, as the threads that
// recognise PDF pages are.
TEST_F(ProbeTest, ConfinedHelperIsRefusedEveryForbiddenOperation) {
  for (const std::string road : {"attempts", "attempts-threaded"}) {
    SCOPED_TRACE(road);
    const json report = probe(road);
    EXPECT_EQ(report["seccomp"], 2) << report;
    EXPECT_EQ(report["noNewPrivs"], 1) << report;
    EXPECT_EQ(report["coreLimit"], 0) << report;
    EXPECT_EQ(report["dumpable"], 0) << report;
    const bool landlock = report["landlockAbi"].get<int>() > 0;
    for (const auto& [name, error] : report["attempts"].items()) {
      // Reading a file read-only is refused by Landlock alone.
      if (name == "readOutside" && !landlock) continue;
      EXPECT_NE(error, 0) << name << " was allowed";
    }
    EXPECT_EQ(report["attempts"].size(), 12u) << report;
    if (!landlock) std::cout << "no Landlock on this kernel: readOutside not checked\n";
    EXPECT_EQ(namesIn(dir.path()), (std::set<std::string>{"existing", "outside", "socket"}));
    EXPECT_EQ(testing::readFile(dir.at("existing")), "kept");
  }
}

// The same attempts without confinement all succeed: the refusals above
// come from the confinement, not from the attempts themselves.
TEST_F(ProbeTest, UnconfinedProbeSucceedsAtTheSameAttempts) {
  const json report = probe("attempts-unconfined");
  EXPECT_EQ(report["seccomp"], 0) << report;
  for (const auto& [name, error] : report["attempts"].items()) {
    EXPECT_EQ(error, 0) << name << " failed unconfined";
  }
  EXPECT_EQ(report["attempts"].size(), 12u) << report;
  EXPECT_TRUE(namesIn(dir.path()).contains("created"));
}

bool straceWorks() {
  if (access(kStrace, X_OK) != 0) return false;
  ChildRequest request;
  request.program = kStrace;
  request.arguments = {"-o", "/dev/null", "/bin/true"};
  const auto outcome = testing::runChild(request);
  return outcome.exited && outcome.exitStatus == 0;
}

// Every call the helper attempted, in the trace files of all its threads,
// that would create, write, truncate, remove, rename or link a file; the
// confinement would refuse them, but the helper should not even try.
std::vector<std::string> fileChangingCalls(const std::string& traceFolder) {
  static const std::regex kChanging(
      "^((mkdir|unlink|rename|link|linkat|symlink|mknod|truncate|creat|ftruncate)\\w*\\(|"
      "open.*(O_WRONLY|O_RDWR|O_CREAT|O_TRUNC))");
  std::vector<std::string> calls;
  for (const std::string& name : namesIn(traceFolder)) {
    std::istringstream lines(testing::readFile(traceFolder + "/" + name));
    for (std::string line; std::getline(lines, line);)
      if (std::regex_search(line, kChanging)) calls.push_back(line);
  }
  return calls;
}

TEST(ConfinementTest, NeitherRoadCreatesOrChangesAFile) {
  if (!straceWorks()) GTEST_SKIP() << "strace cannot trace here (not installed or no ptrace)";
  TempDir dir;
  // Larger than 2200 px, so libvips shrinks it (where orc once wrote code
  // to a file in /tmp).
  ChildRequest convert;
  convert.program = kConvert;
  convert.arguments = {fixture("scan_page.png"), "-resize", "3200x", dir.at("big.png")};
  ASSERT_EQ(testing::runChild(convert).exitStatus, 0);
  const std::pair<std::string, std::string> runs[] = {{"image", dir.at("big.png")},
                                                      {"pdf", fixture("scanned.pdf")}};
  for (const auto& [road, file] : runs) {
    const std::string traces = dir.at("trace-" + road);
    ASSERT_EQ(mkdir(traces.c_str(), 0700), 0);
    ChildRequest request;
    request.program = kStrace;
    request.arguments = {"-ff", "-qq", "-o", traces + "/t", FILEPROBE_HELPER, road};
    request.input = testing::readFile(file);
    request.environment = std::vector<std::string>{"OMP_THREAD_LIMIT=1"};
    const auto outcome = testing::runChild(request);
    ASSERT_TRUE(outcome.exited && outcome.exitStatus == 0) << road;
    EXPECT_NE(outcome.out.find("\"method\":\"ocr\""), std::string::npos) << outcome.out;
    const auto calls = fileChangingCalls(traces);
    EXPECT_TRUE(calls.empty()) << road << ": " << calls.front();
  }
}

}  // namespace
}  // namespace fileprobe
