// How many rounds a race test runs: FILEPROBE_RACE_ITERATIONS when it holds a
// positive number (`make stress` asks for thousands), else the usual count.
#pragma once

#include <cstdlib>

namespace fileprobe::testing {

inline int raceIterations(int usual) {
  const char* asked = std::getenv("FILEPROBE_RACE_ITERATIONS");
  const long value = asked == nullptr ? 0 : std::strtol(asked, nullptr, 10);
  return value > 0 && value < 1'000'000'000 ? static_cast<int>(value) : usual;
}

}  // namespace fileprobe::testing
