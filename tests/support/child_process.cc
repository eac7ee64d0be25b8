#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

extern char** environ;

namespace fileprobe::testing {
namespace {

// Inherited descriptors are parked above this number while the child's
// table is rebuilt, so that no source is overwritten before it is moved.
constexpr int kParkingDescriptor = 1000;

// Everything the child needs, built before fork: the tests fork from a
// process whose other threads may hold the allocator's lock, so the child
// makes only async-signal-safe calls until execve.
struct ExecPlan {
  std::vector<std::string> argumentStore;
  std::vector<std::string> environmentStore;
  std::vector<char*> argv;
  std::vector<char*> envp;
  std::vector<std::pair<int, int>> parked;  // {target, parked source}, filled in the child

  explicit ExecPlan(const ChildRequest& request) : parked(request.descriptors) {
    argumentStore.push_back(request.program);
    argumentStore.insert(argumentStore.end(), request.arguments.begin(), request.arguments.end());
    for (auto& a : argumentStore) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (request.environment) {
      environmentStore = *request.environment;
      for (auto& e : environmentStore) envp.push_back(e.data());
      envp.push_back(nullptr);
    }
  }
};

[[noreturn]] void execChild(const ChildRequest& request, ExecPlan& plan, int inputFd, int outFd,
                            int errFd) {
  for (auto& [target, source] : plan.parked) source = fcntl(source, F_DUPFD, kParkingDescriptor);
  dup2(inputFd, 0);
  dup2(outFd, 1);
  dup2(errFd, 2);
  close_range(3, kParkingDescriptor - 1, 0);
  for (const auto& [target, source] : plan.parked) dup2(source, target);
  close_range(kParkingDescriptor, ~0U, 0);
  execve(request.program.c_str(), plan.argv.data(),
         request.environment ? plan.envp.data() : environ);
  _exit(127);
}

void drain(int fd, std::string& into, bool& open) {
  char buffer[65536];
  const ssize_t n = read(fd, buffer, sizeof buffer);
  if (n > 0) {
    into.append(buffer, static_cast<std::size_t>(n));
  } else if (n == 0 || errno != EINTR) {
    open = false;
  }
}

}  // namespace

ChildOutcome runChild(const ChildRequest& request) {
  signal(SIGPIPE, SIG_IGN);
  int inputPipe[2] = {-1, -1};
  int outPipe[2];
  int errPipe[2];
  const bool pipedInput = request.input.has_value() || request.holdInputOpen;
  if (pipedInput && pipe2(inputPipe, O_CLOEXEC) != 0) return {};
  if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) return {};
  const int nullInput = pipedInput ? -1 : open("/dev/null", O_RDONLY | O_CLOEXEC);

  // Closed before the child exists, so that its first write already fails.
  if (request.closedOutput) close(outPipe[0]);

  ExecPlan plan(request);
  const pid_t pid = fork();
  if (pid == 0)
    execChild(request, plan, pipedInput ? inputPipe[0] : nullInput, outPipe[1], errPipe[1]);
  close(outPipe[1]);
  close(errPipe[1]);
  const bool readOutput = !request.closedOutput;
  if (pipedInput) close(inputPipe[0]);
  if (nullInput >= 0) close(nullInput);

  std::thread writer;
  if (pipedInput && !request.holdInputOpen) {
    writer = std::thread([fd = inputPipe[1], bytes = request.input.value_or(""),
                          piece = request.inputPieceBytes, pause = request.inputPiecePause] {
      std::size_t done = 0;
      while (done < bytes.size()) {
        const std::size_t left = bytes.size() - done;
        const ssize_t n = write(fd, bytes.data() + done, piece == 0 ? left : std::min(piece, left));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
        if (piece != 0) std::this_thread::sleep_for(pause);
      }
      close(fd);
    });
  }

  ChildOutcome outcome;
  const auto deadline = std::chrono::steady_clock::now() + request.timeout;
  bool outOpen = readOutput;
  bool errOpen = true;
  while (outOpen || errOpen) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      outcome.timedOut = true;
      kill(pid, SIGKILL);
      break;
    }
    pollfd fds[2] = {{outOpen ? outPipe[0] : -1, static_cast<short>(outOpen ? POLLIN : 0), 0},
                     {errPipe[0], static_cast<short>(errOpen ? POLLIN : 0), 0}};
    if (poll(fds, 2, static_cast<int>(left.count())) < 0) continue;
    if (fds[0].revents) drain(outPipe[0], outcome.out, outOpen);
    if (fds[1].revents) drain(errPipe[0], outcome.err, errOpen);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (request.holdInputOpen) close(inputPipe[1]);
  if (writer.joinable()) writer.join();
  if (!request.closedOutput) close(outPipe[0]);
  close(errPipe[0]);
  outcome.exited = WIFEXITED(status);
  outcome.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  outcome.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  return outcome;
}

ChildOutcome runFileprobe(std::vector<std::string> arguments, std::optional<std::string> input) {
  ChildRequest request;
  request.arguments = std::move(arguments);
  request.input = std::move(input);
  return runChild(request);
}

}  // namespace fileprobe::testing
