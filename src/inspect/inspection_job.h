// The --inspect-paths job: a JSON array of paths on standard input, one
// report line with an entry per path.
#pragma once

#include <optional>
#include <string_view>

#include "common/arguments.h"
#include "formats/json.h"

namespace fileprobe {

inline constexpr std::string_view kInspectionBadArguments = "검사 모드의 인자를 확인해 주세요.";
// Written when the report cannot be serialised.
inline constexpr std::string_view kInspectionFallbackLine =
    R"({"entries":[],"error":"메타데이터 결과를 만들 수 없어요."})";

// Inspects the request on standard input and writes the report. Returns the
// exit status: kStatusDone after a report, kStatusRequestRefused for a wrong
// argument count or a refused request.
int runInspectionJob(const Arguments& arguments);

// Reads, validates and inspects the request on `descriptor` and writes the
// report, or the error report of a refused request. Returns the exit status
// as runInspectionJob does.
int inspectPathsFrom(int descriptor);

// Writes {"entries":[...][,"error":...]} as the run's one line.
void emitInspection(const ResultList& entries, std::optional<std::string_view> error);

}  // namespace fileprobe
