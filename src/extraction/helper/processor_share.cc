#include "extraction/helper/processor_share.h"

#include <ctime>
#include <thread>

namespace fileprobe {
namespace {

// One other busy thread on a machine with two processors already brings
// two of ours to two thirds of a processor each; on a free machine they
// get nearly all of it.
constexpr double kNearlyWhole = 0.8;

// Shorter windows say more about the scheduler's last tick than about the
// machine's load. Rendering a page takes longer, so the wait for the rest
// of a window is rare and brief.
constexpr std::chrono::milliseconds kShortestWindow{50};

using Seconds = std::chrono::duration<double>;

// std::clock is the processor time of all the process's threads.
double processorSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

}  // namespace

bool everyThreadRan(double processorSeconds, double threadSeconds) {
  if (threadSeconds <= 0) return false;
  return processorSeconds >= kNearlyWhole * threadSeconds;
}

void ProcessorShare::begin() {
  wallStart_ = std::chrono::steady_clock::now();
  processorStart_ = processorSeconds();
}

bool ProcessorShare::spareFor(int working) {
  const auto asked = std::chrono::steady_clock::now();
  const auto busy = asked - wallStart_;
  if (busy < kShortestWindow) std::this_thread::sleep_for(kShortestWindow - busy);
  const auto waited = std::chrono::steady_clock::now() - asked;
  // While the asking thread waits, only the others are busy.
  const double threadSeconds =
      Seconds(busy).count() * working + Seconds(waited).count() * (working - 1);
  const bool spare = everyThreadRan(processorSeconds() - processorStart_, threadSeconds);
  begin();
  return spare;
}

}  // namespace fileprobe
