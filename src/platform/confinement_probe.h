// Test-only: the operations a confined extraction helper must be refused,
// attempted for real. Built into the probe executable of the test suite,
// never into anything that is installed.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace fileprobe {

struct ProbeTargets {
  std::string writableFolder;   // where a file and a folder are created
  std::string existingFile;     // opened for writing, then removed
  std::string outsideFile;      // read, from a folder Landlock does not allow
  std::string listeningSocket;  // a Unix socket path to connect to
};

// Each attempt by name with 0 when it succeeded, or the errno it failed
// with. The process may be traced by its parent afterwards (the last
// attempt is PTRACE_TRACEME), and an execve that succeeds replaces it.
std::vector<std::pair<std::string, int>> attemptForbiddenOperations(const ProbeTargets& targets);

struct ConfinementState {
  int seccompMode = -1;      // "Seccomp:" of /proc/self/status
  int noNewPrivs = -1;       // "NoNewPrivs:" of /proc/self/status
  long long coreLimit = -1;  // RLIMIT_CORE's soft limit
  int dumpable = -1;         // PR_GET_DUMPABLE
};

ConfinementState currentConfinementState();

}  // namespace fileprobe
