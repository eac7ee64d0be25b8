#include "entry/dispatch.h"

#include <array>
#include <string_view>

#include "extraction/job/extraction_job.h"
#include "fileops/metadata_copy_job.h"
#include "fileops/move_job.h"
#include "inspect/inspection_job.h"

namespace fileprobe {
namespace {

struct OptionJob {
  std::string_view option;
  JobFunction run;
};

constexpr std::array<OptionJob, 3> kOptionJobs = {{
    {"--inspect-paths", runInspectionJob},
    {"--move-exclusive", runMoveJob},
    {"--copy-metadata-fd", runMetadataCopyJob},
}};

constexpr std::size_t kOptionArgument = 1;

}  // namespace

JobFunction jobFor(const Arguments& arguments) {
  if (arguments.size() <= kOptionArgument) return runExtractionJob;
  for (const OptionJob& job : kOptionJobs) {
    if (arguments[kOptionArgument] == job.option) return job.run;
  }
  return runExtractionJob;
}

}  // namespace fileprobe
