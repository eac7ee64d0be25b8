// fileprobe: one job per run, one JSON line on standard output, the job's
// exit status.
#include "common/arguments.h"
#include "entry/dispatch.h"
#include "platform/signals.h"

int main(int argc, char** argv) {
  using namespace fileprobe;
  ignoreBrokenPipeSignal();
  const Arguments arguments(argv, argv + argc);
  return jobFor(arguments)(arguments);
}
