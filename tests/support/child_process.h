// Runs a program (by default the built fileprobe) as a real child process
// with given arguments, standard input and inherited descriptors, and
// collects what it wrote and how it ended.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace fileprobe::testing {

struct ChildRequest {
  std::string program = FILEPROBE_BINARY;
  std::vector<std::string> arguments;  // after argument 0
  // Bytes fed to standard input through a pipe, which is then closed; with
  // no input the child's standard input is /dev/null.
  std::optional<std::string> input;
  // Keep the input pipe open (and unwritten) until the child ends.
  bool holdInputOpen = false;
  // A slow writer: the input goes out in pieces of this many bytes (all at
  // once when 0), with a pause after each piece.
  std::size_t inputPieceBytes = 0;
  std::chrono::milliseconds inputPiecePause{0};
  // {descriptor in the child, descriptor here}: handed over as inherited.
  std::vector<std::pair<int, int>> descriptors;
  // The child's whole environment; without it, this process's environment.
  std::optional<std::vector<std::string>> environment;
  std::chrono::seconds timeout{120};
  // The child's standard output is a pipe nobody reads: its reading end is
  // closed before the child starts.
  bool closedOutput = false;
};

struct ChildOutcome {
  std::string out;
  std::string err;
  bool exited = false;
  int exitStatus = -1;
  int signal = 0;
  bool timedOut = false;
};

ChildOutcome runChild(const ChildRequest& request);

// fileprobe with `arguments` and, when given, `input` on standard input.
ChildOutcome runFileprobe(std::vector<std::string> arguments,
                          std::optional<std::string> input = std::nullopt);

}  // namespace fileprobe::testing
