#include "fileops/move_job.h"

#include <cstdlib>
#include <string>

#include "entry/result_line.h"
#include "platform/errno_map.h"

namespace fileprobe {
namespace {

constexpr std::size_t kMoveArgumentCount = 6;

}  // namespace

void moveResult(bool ok, int errnoValue) {
  std::string line = R"({"ok":)";
  line += ok ? "true" : "false";
  line += R"(,"errno":)";
  line += std::to_string(errnoValue);
  line += "}";
  writeFixedLine(line);
  std::exit(ok ? 0 : kFileOperationFailed);
}

void runMoveJob(const Arguments& arguments) {
  if (arguments.size() != kMoveArgumentCount) moveResult(false, macos::kEINVAL);
  // The move itself is not built yet.
  moveResult(false, macos::kEINVAL);
}

}  // namespace fileprobe
