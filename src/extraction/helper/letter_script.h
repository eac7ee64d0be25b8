// Which writing system a letter belongs to, coarsely: enough to tell a page
// whose letters come from one or two scripts and form words from the junk a
// font without a Unicode map gives, whose letters are scattered over many
// unrelated blocks.
#pragma once

#include <cstdint>

namespace fileprobe {

// Scripts that real text mixes freely share one value: Latin with its
// extensions and phonetic letters; Hangul, kana, ideographs and full-width
// forms (Korean, Japanese and Chinese text mix them in one word). Any other
// letter is told by its 128-code-point block, so that the scripts of South
// and South-East Asia, each a block of its own, count apart.
enum class LetterScript : std::uint32_t {
  kNone = 0,  // not a letter
  kLatin,
  kEastAsian,
  kGreek,
  kCyrillic,
  kHebrew,
  kArabic,
  // kFirstBlock + (code point >> 7) for the rest.
  kFirstBlock = 0x100,
};

// The script of `codePoint` when it is a letter (general category L), else
// kNone.
LetterScript letterScript(char32_t codePoint);

}  // namespace fileprobe
