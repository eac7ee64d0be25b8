// Any bytes as an inspection request: reading, validating, inspecting the
// paths it holds and writing the report must never crash, and a request is
// either refused with one of the request messages or inspected in full.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include "inspect/inspection_job.h"
#include "inspect/inspection_request.h"
#include "inspect/path_rules.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const int devNull = open("/dev/null", O_WRONLY);
  dup2(devNull, 1);
  close(devNull);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace fileprobe;
  const int input = memfd_create("request", MFD_CLOEXEC);
  if (input < 0 || write(input, data, size) != static_cast<ssize_t>(size)) std::abort();
  lseek(input, 0, SEEK_SET);
  InspectionRequest request = readInspectionRequest(input);
  close(input);
  if (!request.refusal.empty()) {
    if (request.refusal != kRequestUnreadable && request.refusal != kRequestTooLarge &&
        request.refusal != kRequestMalformed) {
      std::abort();
    }
    emitInspection({}, request.refusal);
    return 0;
  }
  if (request.paths.size() > maximumRequestPaths) std::abort();
  ResultList entries;
  for (std::string& path : request.paths) entries.push_back(inspectPath(std::move(path)));
  emitInspection(entries, std::nullopt);
  return 0;
}
