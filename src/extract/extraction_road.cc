#include "extract/extraction_road.h"

#include "extract/warnings.h"

namespace fileprobe {
namespace {

constexpr std::string_view kPdfExtension = "pdf";

bool equalsIgnoringAsciiCase(std::string_view text, std::string_view lowerCase) {
  if (text.size() != lowerCase.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lowerCase[i]) return false;
  }
  return true;
}

// As a file URL's path extension: the final component (trailing slashes
// dropped), the text after its last '.', none for a name that starts with
// its only '.'.
std::string_view pathExtension(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  const auto slash = path.rfind('/');
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const auto dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return {};
  return name.substr(dot + 1);
}

}  // namespace

Road roadForPath(std::string_view path) {
  return equalsIgnoringAsciiCase(pathExtension(path), kPdfExtension) ? Road::pdf : Road::image;
}

std::string_view roadWord(Road road) { return road == Road::pdf ? "pdf" : "image"; }

std::string_view cannotReadWarning(Road road) {
  return road == Road::pdf ? kWarningUnreadablePdf : kWarningUnreadableImage;
}

}  // namespace fileprobe
