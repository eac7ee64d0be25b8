#include "extraction/helper/confinement_probe.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>

namespace fileprobe {
namespace {

constexpr int kSucceeded = 0;
constexpr mode_t kOwnerOnly = 0600;
constexpr mode_t kOwnerFolder = 0700;
constexpr int kNoSignal = 0;  // kill() only checks the permission
constexpr const char* kProgramToRun = "/bin/true";

int outcomeOf(int result) { return result < 0 ? errno : kSucceeded; }

int openAndClose(const std::string& path, int flags) {
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC, kOwnerOnly);
  if (fd < 0) return errno;
  ::close(fd);
  return kSucceeded;
}

int connectTo(const std::string& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return errno;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
  const int result =
      outcomeOf(::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)));
  ::close(fd);
  return result;
}

int internetSocket() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return errno;
  ::close(fd);
  return kSucceeded;
}

// A child that exits at once; 0 when it could be started.
int forkChild() {
  const pid_t child = ::fork();
  if (child < 0) return errno;
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  return kSucceeded;
}

// Where fork works the program runs in a child, reported by its status;
// otherwise it is run in place, and if that succeeds this process is gone
// without an answer, which fails the test as surely.
int runProgram() {
  char* const argv[] = {const_cast<char*>(kProgramToRun), nullptr};
  char* const envp[] = {nullptr};
  const pid_t child = ::fork();
  if (child == 0) {
    ::execve(kProgramToRun, argv, envp);
    ::_exit(127);
  }
  if (child > 0) {
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? kSucceeded : ECHILD;
  }
  ::execve(kProgramToRun, argv, envp);
  return errno;
}

int fieldOfStatus(const std::string& name) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.starts_with(name + ":")) return std::stoi(line.substr(name.size() + 1));
  }
  return -1;
}

}  // namespace

std::vector<std::pair<std::string, int>> attemptForbiddenOperations(const ProbeTargets& targets) {
  std::vector<std::pair<std::string, int>> attempts;
  attempts.emplace_back(
      "createFile", openAndClose(targets.writableFolder + "/created", O_WRONLY | O_CREAT | O_EXCL));
  attempts.emplace_back(
      "makeFolder", outcomeOf(::mkdir((targets.writableFolder + "/made").c_str(), kOwnerFolder)));
  attempts.emplace_back("openForWriting", openAndClose(targets.existingFile, O_WRONLY));
  attempts.emplace_back("truncate", openAndClose(targets.existingFile, O_RDONLY | O_TRUNC));
  attempts.emplace_back("readOutside", openAndClose(targets.outsideFile, O_RDONLY));
  attempts.emplace_back("removeFile", outcomeOf(::unlink(targets.existingFile.c_str())));
  attempts.emplace_back("socket", internetSocket());
  attempts.emplace_back("connect", connectTo(targets.listeningSocket));
  attempts.emplace_back("signalParent", outcomeOf(::kill(::getppid(), kNoSignal)));
  attempts.emplace_back("fork", forkChild());
  attempts.emplace_back("execve", runProgram());
  attempts.emplace_back("ptrace",
                        outcomeOf(static_cast<int>(::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr))));
  return attempts;
}

std::string probeReport(int landlockAbi, const std::vector<std::pair<std::string, int>>& attempts) {
  rlimit core{};
  const long long coreLimit =
      ::getrlimit(RLIMIT_CORE, &core) == 0 ? static_cast<long long>(core.rlim_cur) : -1;
  nlohmann::json report{{"landlockAbi", landlockAbi},
                        {"seccomp", fieldOfStatus("Seccomp")},
                        {"noNewPrivs", fieldOfStatus("NoNewPrivs")},
                        {"coreLimit", coreLimit},
                        {"dumpable", ::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0)}};
  report["attempts"] = nlohmann::json::object();
  for (const auto& [name, error] : attempts) report["attempts"][name] = error;
  return report.dump();
}

}  // namespace fileprobe
