#include "inspect/inspection_job.h"

#include "common/exit_status.h"
#include "common/result_line.h"
#include "inspect/inspection_request.h"
#include "inspect/path_rules.h"

namespace fileprobe {
namespace {

constexpr int kStandardInput = 0;

}  // namespace

int runInspectionJob(const Arguments& arguments) {
  if (arguments.size() != 2) {
    emitInspection({}, kInspectionBadArguments);
    return kStatusRequestRefused;
  }
  return inspectPathsFrom(kStandardInput);
}

void emitInspection(const ResultList& entries, std::optional<std::string_view> error) {
  ResultDictionary report;
  report.set("entries", entries);
  if (error) report.set("error", std::string(*error));
  writeResult(report, kInspectionFallbackLine);
}

int inspectPathsFrom(int descriptor) {
  InspectionRequest request = readInspectionRequest(descriptor);
  if (request.refusal) {
    emitInspection({}, *request.refusal);
    return kStatusRequestRefused;
  }
  ResultList entries;
  entries.reserve(request.paths.size());
  // Each path is moved into its entry; everything else inspectPath makes
  // for one path is gone when it returns.
  for (std::string& path : request.paths) entries.push_back(inspectPath(std::move(path)));
  emitInspection(entries, std::nullopt);
  return kStatusDone;
}

}  // namespace fileprobe
