// Whether a page's text layer is text. A font without a usable Unicode map
// fills the layer with characters that are not the page's: junk code
// points, raw glyph codes that read as control codes, letters scattered
// over unrelated scripts, Latin-1 mojibake of a multi-byte script, letters
// moved along the alphabet by a fixed offset, or ideographs made of
// byte-swapped ASCII. Such a page has no text and is recognised instead.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "extraction/helper/shifted_letters.h"

namespace fileprobe {

// What the judgement counts in a layer, in code points. White space is not
// counted; junk code points count only in `visible` and `controls`.
struct LayerFigures {
  std::int64_t visible = 0;
  std::int64_t controls = 0;  // C0 and C1 control codes
  std::int64_t kept = 0;      // visible and not junk
  std::int64_t letters = 0;
  std::int64_t rareLatin = 0;      // Latin extended-A and -B and phonetic letters
  std::int64_t latin1Symbols = 0;  // U+00A1-00FF: signs and accented letters
  std::int64_t utf8AsLatin1 = 0;   // UTF-8 lead and continuation bytes as Latin-1 characters
  std::int64_t byteSwapped = 0;    // U+2000 and above whose low byte is 0 and high byte ASCII
  std::int64_t words = 0;          // runs of non-white space with two letters or more
  std::int64_t mixedWords = 0;     // of which letters come from two scripts that do not mix
  int scripts = 0;                 // scripts holding a real share of the letters
  LetterCounts latinLetters{};     // a-z, case and accents folded
};

LayerFigures layerFigures(std::string_view layer);

enum class LayerVerdict {
  kText,
  kNotText,
  // The text alone leaves doubt; the page's fonts decide.
  kTextUnlessFontsLackUnicode,
};

LayerVerdict layerVerdict(const LayerFigures& figures);

// The text a page's layer (already cut to its character limit) gives: junk
// code points taken out, then trimmed; "" when the layer is not text.
// `fontsLackUnicode` tells whether one of the page's fonts has neither a
// Unicode map nor a standard encoding; it is asked only when the text alone
// leaves doubt.
std::string pageLayerText(std::string_view layer, const std::function<bool()>& fontsLackUnicode);

}  // namespace fileprobe
