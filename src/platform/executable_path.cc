#include "platform/executable_path.h"

#include <unistd.h>

#include <array>
#include <climits>

namespace fileprobe {

std::string runningExecutablePath() {
  std::array<char, PATH_MAX> buffer;
  const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) return "";
  return std::string(buffer.data(), static_cast<std::size_t>(length));
}

std::string runningExecutableFolder() {
  const std::string self = runningExecutablePath();
  const std::size_t slash = self.rfind('/');
  if (slash == std::string::npos) return "";
  return self.substr(0, slash + 1);
}

}  // namespace fileprobe
