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

// One JSON object, as the probe prints it: the Landlock ABI the
// confinement used (0 without), the confinement read back from the kernel
// (seccomp mode, no-new-privileges, the core limit, dumpability) and each
// attempt with its outcome.
std::string probeReport(int landlockAbi, const std::vector<std::pair<std::string, int>>& attempts);

}  // namespace fileprobe
