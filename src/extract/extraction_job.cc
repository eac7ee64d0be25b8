#include "extract/extraction_job.h"

#include "extract/extraction_result.h"
#include "extract/warnings.h"

namespace fileprobe {

int runExtractionJob(const Arguments& arguments) {
  if (arguments.size() != 2) {
    emit("", kMethodFilename, kWarningNoFile);
    return 0;
  }
  // Reading the file itself is not built yet: only the file name can be analysed.
  emit("", kMethodFilename, kWarningUnreadableImage);
  return 0;
}

}  // namespace fileprobe
