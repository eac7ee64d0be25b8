#include "inspect/inspection_job.h"

#include <cstdlib>

#include "entry/result_line.h"
#include "inspect/inspection_request.h"
#include "inspect/path_rules.h"

namespace fileprobe {
namespace {

constexpr int kStandardInput = 0;

}  // namespace

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
  InspectionRequest request = readInspectionRequest(kStandardInput);
  if (!request.refusal.empty()) {
    emitInspection({}, request.refusal);
    std::exit(kInspectionRefused);
  }
  ResultList entries;
  entries.reserve(request.paths.size());
  // Each path is moved into its entry; everything else inspectPath makes
  // for one path is gone when it returns.
  for (std::string& path : request.paths) entries.push_back(inspectPath(std::move(path)));
  emitInspection(entries, std::nullopt);
}

}  // namespace fileprobe
