// The helper runner's wall clock bounded by progress: a helper held back
// by the system is slow, not hung, and answers however long it was held;
// one that waits on itself without using processor time is stopped.
#include "platform/helper_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "platform/process_activity.h"
#include "platform/unique_fd.h"
#include "support/temp_dir.h"

namespace fileprobe {
namespace {

using namespace std::chrono_literals;

TEST(ProcessActivityTest, StatLinesAndStates) {
  char state = 0;
  std::uint64_t ticks = 0;
  // A command name may hold spaces and parentheses of its own.
  ASSERT_TRUE(
      parseStatLine("42 (a) (b c) S 1 2 3 4 5 6 7 8 9 10 250 31 0 0 20 0 3\n", state, ticks));
  EXPECT_EQ(state, 'S');
  EXPECT_EQ(ticks, 281u);
  for (const std::string_view broken :
       {"42 no name S 1", "42 (x) S 1 2 3 4 5 6 7 8 9 10 eleven 31", "42 (x) S 1 2"}) {
    EXPECT_FALSE(parseStatLine(broken, state, ticks)) << broken;
  }
  for (const char heldBack : {'R', 'D', 'T', 't'}) EXPECT_TRUE(stateHeldBack(heldBack));
  for (const char own : {'S', 'I', 'Z', 'X'}) EXPECT_FALSE(stateHeldBack(own));

  EXPECT_TRUE(madeProgress({10, false}, {11, false}));
  EXPECT_TRUE(madeProgress({10, false}, {10, true}));
  EXPECT_FALSE(madeProgress({10, true}, {10, false}));
}

HelperRequest requestFor(std::string program, std::vector<std::string> arguments) {
  HelperRequest request;
  request.program = std::move(program);
  request.arguments = std::move(arguments);
  request.environment = {"OMP_THREAD_LIMIT=1"};
  request.addressSpaceBytes = 2ull << 30;
  request.cpuSeconds = 120;
  request.stallWindow = 1s;
  request.outerBound = 60s;
  request.maxAnswerBytes = 1 << 20;
  return request;
}

UniqueFd openForInput(const std::string& path) {
  return UniqueFd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
}

TEST(HelperProcessTest, HelperThatWaitsOnItselfIsStoppedAfterTheStallWindow) {
  const UniqueFd input = openForInput("/dev/null");
  HelperRequest request = requestFor("/usr/bin/sleep", {"30"});
  request.inputDescriptor = input.get();
  const auto started = std::chrono::steady_clock::now();
  const ErrnoOr<HelperOutcome> outcome = runHelper(request);
  ASSERT_TRUE(outcome) << outcome.error();
  EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
  EXPECT_TRUE(outcome->timedOut);
  EXPECT_TRUE(outcome->stalled);
  EXPECT_FALSE(outcome->exitedWithZero);
}

TEST(HelperProcessTest, BusyHelperIsStoppedAtTheOuterBound) {
  const UniqueFd input = openForInput("/dev/null");
  HelperRequest request = requestFor("/bin/sh", {"-c", "while :; do :; done"});
  request.inputDescriptor = input.get();
  request.stallWindow = 200ms;
  request.outerBound = 2s;
  const ErrnoOr<HelperOutcome> outcome = runHelper(request);
  ASSERT_TRUE(outcome) << outcome.error();
  EXPECT_TRUE(outcome->timedOut);
  EXPECT_FALSE(outcome->stalled);
}

// The child the calling process started, found among its threads'
// children (the runner forks from a thread of its own here).
pid_t startedChild() {
  for (int tries = 0; tries < 2000; ++tries) {
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
      std::ifstream children(entry.path() / "children");
      pid_t child = 0;
      if (children >> child) return child;
    }
    std::this_thread::sleep_for(1ms);
  }
  return -1;
}

// Held off the processor for three stall windows, the real helper still
// answers with the text of the scan.
TEST(HelperProcessTest, HelperHeldOffTheProcessorStillAnswers) {
  const UniqueFd input = openForInput(testing::fixture("scanned.pdf"));
  HelperRequest request = requestFor(FILEPROBE_HELPER, {"pdf"});
  request.inputDescriptor = input.get();
  auto running = std::async(std::launch::async, [&] { return runHelper(request); });
  const pid_t child = startedChild();
  ASSERT_GT(child, 0);
  ASSERT_EQ(::kill(child, SIGSTOP), 0);
  std::this_thread::sleep_for(3 * request.stallWindow);
  ASSERT_EQ(::kill(child, SIGCONT), 0);
  const ErrnoOr<HelperOutcome> outcome = running.get();
  ASSERT_TRUE(outcome) << outcome.error();
  EXPECT_FALSE(outcome->timedOut);
  EXPECT_TRUE(outcome->exitedWithZero);
  EXPECT_NE(outcome->answer.find("Korean and English"), std::string::npos) << outcome->answer;
}

}  // namespace
}  // namespace fileprobe
