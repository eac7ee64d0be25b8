#include "platform/helper_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>

#include "platform/fs.h"
#include "platform/process_activity.h"
#include "platform/retry.h"
#include "platform/unique_fd.h"

namespace fileprobe {
namespace {

// AddressSanitizer reserves terabytes of shadow memory at start-up, so an
// address-space limit would only make the sanitized helper fail to start.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMayLimitAddressSpace = false;
#else
constexpr bool kMayLimitAddressSpace = true;
#endif

constexpr std::size_t kReadChunkBytes = 65536;
constexpr int kFirstDescriptorToClose = 3;
// How often a child that closed its output is checked for its end when no
// process descriptor can be had to wait on.
constexpr long kReapPollNanoseconds = 200'000;

using Clock = std::chrono::steady_clock;

std::vector<char*> pointersTo(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  pointers.reserve(strings.size() + 1);
  for (auto& s : strings) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

// Runs in the forked child: only async-signal-safe calls until execve.
[[noreturn]] void becomeHelper(const HelperRequest& request, int outputFd, int nullFd,
                               char* const* argv, char* const* envp) {
  // Each source first goes above 2: when the caller started us with a
  // standard descriptor closed, a source may itself be 0, 1 or 2, and
  // moving it straight into place could overwrite another source, or leave
  // it marked close-on-exec.
  const int sources[] = {request.inputDescriptor, outputFd, nullFd};
  int raised[3];
  for (int i = 0; i < 3; ++i) {
    raised[i] = ::fcntl(sources[i], F_DUPFD_CLOEXEC, kFirstDescriptorToClose);
    if (raised[i] < 0) ::_exit(127);
  }
  for (int target = 0; target < 3; ++target) {
    if (::dup2(raised[target], target) < 0) ::_exit(127);
  }
  if (::close_range(kFirstDescriptorToClose, UINT_MAX, 0) != 0) ::_exit(127);
  if (kMayLimitAddressSpace) {
    const rlimit space{request.addressSpaceBytes, request.addressSpaceBytes};
    if (::setrlimit(RLIMIT_AS, &space) != 0) ::_exit(127);
  }
  const rlimit cpu{request.cpuSeconds, request.cpuSeconds};
  if (::setrlimit(RLIMIT_CPU, &cpu) != 0) ::_exit(127);
  // The job ignores SIGPIPE for its own result line; an ignored signal would
  // survive execve, and the helper is meant to start with the defaults.
  (void)::signal(SIGPIPE, SIG_DFL);
  ::execve(argv[0], argv, envp);
  ::_exit(127);
}

// The watch over one running helper.
struct Watch {
  pid_t child = -1;
  std::chrono::milliseconds stallWindow{0};
  std::chrono::milliseconds outerBound{0};
  std::chrono::milliseconds interval{0};
  Clock::time_point started;
  Clock::time_point lastProgress;
  Clock::time_point nextLook;
  ProcessActivity last;
};

// Often enough that the helper is stopped within a quarter of the stall
// window after it stalled, and at most once a second, which costs the job
// a few reads of /proc per second of the helper's run.
constexpr std::chrono::milliseconds kLongestLookInterval{1000};
constexpr int kLooksPerStallWindow = 4;
constexpr std::chrono::milliseconds kShortestLookInterval{10};

Watch watchOver(pid_t child, const HelperRequest& request, Clock::time_point started) {
  Watch watch;
  watch.child = child;
  watch.stallWindow = request.stallWindow;
  watch.outerBound = request.outerBound;
  watch.interval = std::clamp(request.stallWindow / kLooksPerStallWindow, kShortestLookInterval,
                              kLongestLookInterval);
  watch.started = started;
  watch.lastProgress = started;
  watch.nextLook = started + watch.interval;
  return watch;
}

enum class Verdict { kRunning, kStalled, kOverdue };

Verdict look(Watch& watch, Clock::time_point now) {
  if (now - watch.started >= watch.outerBound) return Verdict::kOverdue;
  if (const ErrnoOr<ProcessActivity> activity = readProcessActivity(watch.child); !activity) {
    // Ending, or no /proc to look at: only the outer bound applies then.
    watch.lastProgress = now;
  } else {
    if (madeProgress(watch.last, *activity)) watch.lastProgress = now;
    watch.last = *activity;
  }
  return now - watch.lastProgress >= watch.stallWindow ? Verdict::kStalled : Verdict::kRunning;
}

// False once the helper is to be killed, with the reason in `outcome`.
bool keepWaiting(Watch& watch, HelperOutcome& outcome) {
  const auto now = Clock::now();
  if (now < watch.nextLook) return true;
  watch.nextLook = now + watch.interval;
  const Verdict verdict = look(watch, now);
  if (verdict == Verdict::kRunning) return true;
  outcome.timedOut = true;
  outcome.stalled = verdict == Verdict::kStalled;
  return false;
}

int millisecondsToNextLook(const Watch& watch) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(watch.nextLook - Clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

// Waits until `descriptor` is readable (true; also when poll itself
// fails, so that the caller's read tells) or the helper is to be killed.
bool awaitReadable(int descriptor, Watch& watch, HelperOutcome& outcome) {
  for (;;) {
    if (!keepWaiting(watch, outcome)) return false;
    pollfd waiting{descriptor, POLLIN, 0};
    const int ready = ::poll(&waiting, 1, millisecondsToNextLook(watch));
    if (ready < 0 && errno == EINTR) continue;
    if (ready != 0) return true;
  }
}

// Reads the child's output until end of input, the bound or the watch
// gives up on it.
void collectAnswer(int outputFd, const HelperRequest& request, Watch& watch,
                   HelperOutcome& outcome) {
  std::array<std::byte, kReadChunkBytes> chunk;
  for (;;) {
    if (!awaitReadable(outputFd, watch, outcome)) return;
    const ErrnoOr<std::size_t> got = readSome(outputFd, chunk);
    if (!got || *got == 0) return;
    if (outcome.answer.size() + *got > request.maxAnswerBytes) {
      outcome.answerTooLong = true;
      return;
    }
    outcome.answer.append(reinterpret_cast<const char*>(chunk.data()), *got);
  }
}

// Waits for the child's end under the same watch, then kills it and
// waits again.
int reap(Watch& watch, bool killNow, HelperOutcome& outcome) {
  const pid_t child = watch.child;
  int status = 0;
  if (!killNow) {
    // A process descriptor becomes readable when the child ends, so the
    // usual case (the child exits right after closing its output) costs
    // no polling delay.
    const UniqueFd process(static_cast<int>(::syscall(SYS_pidfd_open, child, 0)));
    if (process.valid()) awaitReadable(process.get(), watch, outcome);
    for (;;) {
      const pid_t done = ::waitpid(child, &status, WNOHANG);
      if (done == child) return status;
      if (done < 0 && errno != EINTR) return -1;
      if (outcome.timedOut || !keepWaiting(watch, outcome)) break;
      const timespec pause{0, kReapPollNanoseconds};
      ::nanosleep(&pause, nullptr);
    }
  }
  ::kill(child, SIGKILL);
  if (retryInterrupted([&] { return ::waitpid(child, &status, 0); }) < 0) return -1;
  return status;
}

}  // namespace

ErrnoOr<HelperOutcome> runHelper(const HelperRequest& request) {
  HelperOutcome outcome;
  std::vector<std::string> argvStrings{request.program};
  argvStrings.insert(argvStrings.end(), request.arguments.begin(), request.arguments.end());
  std::vector<std::string> envStrings = request.environment;
  const std::vector<char*> argv = pointersTo(argvStrings);
  const std::vector<char*> envp = pointersTo(envStrings);

  const ErrnoOr<UniqueFd> nullOwner = openNullForWriting();
  if (!nullOwner) return nullOwner.failure();
  const int nullFd = nullOwner->get();
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return Errno{errno};
  UniqueFd readEnd(pipeFds[0]);
  UniqueFd writeEnd(pipeFds[1]);

  const auto started = Clock::now();
  const pid_t child = ::fork();
  if (child < 0) return Errno{errno};
  if (child == 0) becomeHelper(request, writeEnd.get(), nullFd, argv.data(), envp.data());
  writeEnd.reset();

  Watch watch = watchOver(child, request, started);
  collectAnswer(readEnd.get(), request, watch, outcome);
  readEnd.reset();
  const int status = reap(watch, outcome.timedOut || outcome.answerTooLong, outcome);
  if (status < 0) return outcome;
  if (!outcome.timedOut && !outcome.answerTooLong && WIFEXITED(status) &&
      WEXITSTATUS(status) == 0) {
    outcome.exitedWithZero = true;
  }
  return outcome;
}

}  // namespace fileprobe
