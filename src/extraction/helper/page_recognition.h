// Recognition of the rendered pages of one PDF, side by side: the calling
// thread renders the pages one at a time from the one open document (the
// PDF library's document is not shared between threads) and hands each
// rendered page to a free recognizer, while further threads, each with a
// recognizer of its own, read the pages handed to them.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "extraction/helper/extraction_driver.h"
#include "extraction/helper/processor_share.h"

namespace fileprobe {

// A page to render and recognise, with the scale it is rendered at.
struct RecognitionRequest {
  int page = 0;
  double scale = 0;
};

using RenderFunction = std::function<std::optional<Bitmap>(int page, double scale)>;

// What recognition gave for each request, in the order of `requests`:
// nothing for a page that gave no bitmap or whose recognition failed.
// At most `threads` recognise (the calling thread among them, so 1 starts
// none); each thread gets its own recognizer from `recognizers`. A
// recognizer that throws fails its own page only. Beyond the first
// recognizer beside rendering, one is added only while `watch` finds a
// processor to spare for it.
std::vector<std::optional<std::string>> recognisePages(
    const std::vector<RecognitionRequest>& requests, const RenderFunction& render,
    const RecognizerFactory& recognizers, int threads, ProcessorWatch& watch);

}  // namespace fileprobe
