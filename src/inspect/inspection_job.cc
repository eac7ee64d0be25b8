#include "inspect/inspection_job.h"

#include "entry/result_line.h"

namespace fileprobe {

int runInspectionJob(const Arguments& arguments) {
  if (arguments.size() != 2) {
    emitInspection({}, kInspectionBadArguments);
    return kInspectionRefused;
  }
  inspectPathsFromInput();
  return 0;
}

void emitInspection(const ResultList& entries, std::optional<std::string_view> error) {
  ResultDictionary report;
  report.set("entries", entries);
  if (error) report.set("error", std::string(*error));
  if (!writeResultLine(report)) writeFixedLine(kInspectionFallbackLine);
}

void inspectPathsFromInput() {
  // The request reader is not built yet; an empty report keeps the line valid.
  emitInspection({}, std::nullopt);
}

}  // namespace fileprobe
