// Runs a helper program as a bounded child process and collects its answer
// from its standard output.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/errno_or.h"

namespace fileprobe {

struct HelperRequest {
  std::string program;                   // absolute path, run as it is
  std::vector<std::string> arguments;    // after argument 0, which is `program`
  std::vector<std::string> environment;  // the child's whole environment
  int inputDescriptor = -1;              // becomes the child's standard input
  std::uint64_t addressSpaceBytes = 0;   // RLIMIT_AS (not applied under AddressSanitizer)
  std::uint64_t cpuSeconds = 0;          // RLIMIT_CPU
  // No fixed wall clock, which cannot tell a hung helper from one waiting
  // for a processor on a loaded machine: the helper is killed when for
  // `stallWindow` it neither used processor time nor was held back by the
  // system (see process_activity.h), and in any case after `outerBound`.
  std::chrono::milliseconds stallWindow{0};
  std::chrono::milliseconds outerBound{0};
  std::size_t maxAnswerBytes = 0;
};

struct HelperOutcome {
  bool exitedWithZero = false;  // ended by exit(0), not by a signal or another status
  bool timedOut = false;        // killed as stalled or past the outer bound
  bool stalled = false;         // of which: killed as stalled
  bool answerTooLong = false;   // wrote more than maxAnswerBytes (then killed)
  std::string answer;           // what it wrote on standard output
};

// Starts the helper with standard output on a pipe, standard error on
// /dev/null and no other descriptor open, reads its output until it ends,
// and reaps it. Returns how it ended, or the Linux errno when it could not
// be started.
ErrnoOr<HelperOutcome> runHelper(const HelperRequest& request);

}  // namespace fileprobe
