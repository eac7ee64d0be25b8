#include "fileops/normalised_path.h"

namespace fileprobe {

bool isNormalisedPath(std::string_view path) {
  if (!path.starts_with('/')) return false;
  if (path == kRootPath) return true;
  // Every piece after the leading "/" up to the next "/" or the end.
  std::string_view rest = path.substr(1);
  while (true) {
    const std::size_t end = rest.find('/');
    const std::string_view component = rest.substr(0, end);
    if (component.empty() || component == "." || component == "..") return false;
    if (end == std::string_view::npos) return true;
    rest.remove_prefix(end + 1);
  }
}

std::string_view finalNameOf(std::string_view path) {
  if (path == kRootPath) return kRootPath;
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view parentPathOf(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string_view::npos || slash == 0) return kRootPath;
  return path.substr(0, slash);
}

}  // namespace fileprobe
