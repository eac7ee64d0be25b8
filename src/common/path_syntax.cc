#include "common/path_syntax.h"

#include <algorithm>

namespace fileprobe {
namespace {

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool isAbsolutePath(std::string_view path) {
  return path.starts_with('/') && path.find('\0') == std::string_view::npos;
}

std::vector<std::string_view> pathComponents(std::string_view path) {
  std::vector<std::string_view> components;
  std::size_t start = 0;
  while (start < path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) components.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return components;
}

bool hasDotComponent(std::string_view path) {
  const std::vector<std::string_view> components = pathComponents(path);
  return std::any_of(components.begin(), components.end(), [](std::string_view component) {
    return component == "." || component == "..";
  });
}

bool isNormalisedPath(std::string_view path) {
  if (path == kRootPath) return true;
  // No empty component: no "//" and no trailing "/".
  return path.starts_with('/') && path.find("//") == std::string_view::npos &&
         !path.ends_with('/') && !hasDotComponent(path);
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

std::string_view lastPathComponentOf(std::string_view path) {
  const std::size_t end = path.find_last_not_of('/');
  if (end == std::string_view::npos) return {};
  const std::string_view trimmed = path.substr(0, end + 1);
  const std::size_t slash = trimmed.find_last_of('/');
  return slash == std::string_view::npos ? trimmed : trimmed.substr(slash + 1);
}

std::string_view pathExtension(std::string_view path) {
  const std::string_view name = lastPathComponentOf(path);
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return {};
  return name.substr(dot + 1);
}

bool equalsIgnoringAsciiCase(std::string_view text, std::string_view lowerCase) {
  return text.size() == lowerCase.size() && endsWithIgnoringAsciiCase(text, lowerCase);
}

bool endsWithIgnoringAsciiCase(std::string_view text, std::string_view lowerCase) {
  if (text.size() < lowerCase.size()) return false;
  const std::string_view tail = text.substr(text.size() - lowerCase.size());
  for (std::size_t i = 0; i < lowerCase.size(); ++i) {
    if (asciiLower(tail[i]) != lowerCase[i]) return false;
  }
  return true;
}

}  // namespace fileprobe
