// The --inspect-paths job: a JSON array of paths on standard input, one
// report line with an entry per path.
#pragma once

#include <optional>
#include <string_view>

#include "entry/option_words.h"
#include "platform/json.h"

namespace fileprobe {

inline constexpr int kInspectionRefused = 2;
inline constexpr std::string_view kInspectionBadArguments = "검사 모드의 인자를 확인해 주세요.";
// Written when the report cannot be serialised.
inline constexpr std::string_view kInspectionFallbackLine =
    R"({"entries":[],"error":"메타데이터 결과를 만들 수 없어요."})";

// Returns the exit status: 0 after a report, 2 for a refused request.
int runInspectionJob(const Arguments& arguments);

// Reads, validates and inspects the request and writes the report; a refused
// request writes its error report and ends the process with status 2.
void inspectPathsFromInput();

// Writes {"entries":[...][,"error":...]} as the run's one line.
void emitInspection(const ResultList& entries, std::optional<std::string_view> error);

}  // namespace fileprobe
