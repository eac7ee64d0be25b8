// Whether this process has a processor to spare for one more recognizer.
// A machine that runs other work (several extractions started at once, a
// build) gives our threads less than a whole processor each; a recognizer
// added then would only wait for a processor, and the start of its engine
// would be paid by everything that runs. The confined helper cannot read
// the system's load, so it judges by what its own threads got: the
// processor time of the whole process against the wall clock.
#pragma once

#include <chrono>

namespace fileprobe {

// What the recognition of a document's pages asks before it adds a
// recognizer. The answer changes only how many threads read the pages,
// never what they read.
class ProcessorWatch {
 public:
  virtual ~ProcessorWatch() = default;
  // From now on threads of ours are busy.
  virtual void begin() = 0;
  // Asked by one of the `working` threads busy since the previous question
  // (or begin()): would one more thread find a processor of its own?
  virtual bool spareFor(int working) = 0;
};

// Counts every processor as free: for the tests, and for the probe's
// readings with a fixed number of recognizers.
class EveryProcessorFree final : public ProcessorWatch {
 public:
  void begin() override {}
  bool spareFor(int) override { return true; }
};

// Whether the busy threads each ran for nearly all the time they were
// busy: `processorSeconds` used by the process while its threads were
// busy for `threadSeconds` of wall time between them.
bool everyThreadRan(double processorSeconds, double threadSeconds);

// Measures the process's processor time over windows of wall time.
class ProcessorShare final : public ProcessorWatch {
 public:
  void begin() override;
  // Waits, the asking thread idle, until the window is long enough to tell.
  bool spareFor(int working) override;

 private:
  std::chrono::steady_clock::time_point wallStart_;
  double processorStart_ = 0;
};

}  // namespace fileprobe
