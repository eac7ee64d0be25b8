// Any four strings as the move's arguments, the paths pointed into a sandbox
// tree: the checks never crash, every answer is 0 or a positive errno, and
// no descriptor stays open.
#include <dirent.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fileops/move_job.h"
#include "sandbox.h"

namespace {

int openDescriptors() {
  int count = 0;
  DIR* folder = opendir("/proc/self/fd");
  while (readdir(folder) != nullptr) ++count;
  closedir(folder);
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Four fields separated by NUL bytes; a path field starting with "/" is
  // kept as it is, any other is placed in the sandbox.
  std::vector<std::string> fields(4);
  std::size_t field = 0;
  for (std::size_t i = 0; i < size && field < fields.size(); ++i) {
    if (data[i] == 0) {
      ++field;
    } else {
      fields[field].push_back(static_cast<char>(data[i]));
    }
  }
  for (std::size_t i = 0; i < 2; ++i) {
    if (!fields[i].starts_with('/'))
      fields[i] = fileprobe::fuzzing::sandboxPath() + "/" + fields[i];
  }
  const fileprobe::Arguments arguments = {"fileprobe", "--move-exclusive", fields[0],
                                          fields[1],   fields[2],          fields[3]};
  const int before = openDescriptors();
  const fileprobe::ErrnoOr<void> moved = fileprobe::moveExclusive(arguments);
  if (moved.error() < 0 || openDescriptors() != before) std::abort();
  return 0;
}
