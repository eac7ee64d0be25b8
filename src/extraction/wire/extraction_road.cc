#include "extraction/wire/extraction_road.h"

#include "common/path_syntax.h"

namespace fileprobe {
namespace {

constexpr std::string_view kPdfExtension = "pdf";

}  // namespace

Road roadForPath(std::string_view path) {
  return equalsIgnoringAsciiCase(pathExtension(path), kPdfExtension) ? Road::pdf : Road::image;
}

std::string_view roadWord(Road road) { return road == Road::pdf ? "pdf" : "image"; }

std::optional<Road> roadOfWord(std::string_view word) {
  for (const Road road : {Road::pdf, Road::image}) {
    if (word == roadWord(road)) return road;
  }
  return std::nullopt;
}

}  // namespace fileprobe
