// Runs a helper program as a bounded child process and collects its answer
// from its standard output.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fileprobe {

struct HelperRequest {
  std::string program;                   // absolute path, run as it is
  std::vector<std::string> arguments;    // after argument 0, which is `program`
  std::vector<std::string> environment;  // the child's whole environment
  int inputDescriptor = -1;              // becomes the child's standard input
  std::uint64_t addressSpaceBytes = 0;   // RLIMIT_AS (not applied under AddressSanitizer)
  std::uint64_t cpuSeconds = 0;          // RLIMIT_CPU
  std::chrono::milliseconds wallClock{0};
  std::size_t maxAnswerBytes = 0;
};

struct HelperOutcome {
  bool exitedWithZero = false;  // ended by exit(0), not by a signal or another status
  bool timedOut = false;        // killed when the wall-clock bound passed
  bool answerTooLong = false;   // wrote more than maxAnswerBytes (then killed)
  std::string answer;           // what it wrote on standard output
};

// Starts the helper with standard output on a pipe, standard error on
// /dev/null and no other descriptor open, reads its output until it ends,
// and reaps it. Returns 0, or the Linux errno when it could not be started
// (`outcome` then says nothing ran).
int runHelper(const HelperRequest& request, HelperOutcome& outcome);

}  // namespace fileprobe
