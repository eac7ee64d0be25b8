// fileprobe: one job per run, one JSON line on standard output.
#include "entry/limits.h"
#include "entry/option_words.h"
#include "extract/extraction_job.h"
#include "fileops/metadata_copy_job.h"
#include "fileops/move_job.h"
#include "inspect/inspection_job.h"
#include "platform/signals.h"

int main(int argc, char** argv) {
  using namespace fileprobe;
  setGlobalLimits();
  ignoreBrokenPipeSignal();
  const Arguments arguments(argv, argv + argc);
  const bool hasOption = arguments.size() >= 2;
  if (hasOption && arguments[1] == kInspectPathsOption) return runInspectionJob(arguments);
  if (hasOption && arguments[1] == kMoveExclusiveOption) runMoveJob(arguments);
  if (hasOption && arguments[1] == kCopyMetadataOption) runMetadataCopyJob(arguments);
  return runExtractionJob(arguments);
}
