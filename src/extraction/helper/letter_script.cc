#include "extraction/helper/letter_script.h"

#include <array>

#include "formats/unicode.h"

namespace fileprobe {
namespace {

struct ScriptRange {
  char32_t first;
  char32_t last;
  LetterScript script;
};

// The blocks that name a script; the Unicode block chart gives the bounds.
constexpr std::array kScriptRanges{
    ScriptRange{0x0041, 0x02FF, LetterScript::kLatin},  // Basic Latin to spacing modifiers
    ScriptRange{0x0370, 0x03FF, LetterScript::kGreek},
    ScriptRange{0x0400, 0x052F, LetterScript::kCyrillic},
    ScriptRange{0x0590, 0x05FF, LetterScript::kHebrew},
    ScriptRange{0x0600, 0x06FF, LetterScript::kArabic},
    ScriptRange{0x0750, 0x077F, LetterScript::kArabic},       // Arabic supplement
    ScriptRange{0x08A0, 0x08FF, LetterScript::kArabic},       // Arabic extended-A
    ScriptRange{0x1100, 0x11FF, LetterScript::kEastAsian},    // Hangul jamo
    ScriptRange{0x1D00, 0x1DBF, LetterScript::kLatin},        // phonetic extensions
    ScriptRange{0x1E00, 0x1EFF, LetterScript::kLatin},        // Latin extended additional
    ScriptRange{0x1F00, 0x1FFF, LetterScript::kGreek},        // Greek extended
    ScriptRange{0x2C60, 0x2C7F, LetterScript::kLatin},        // Latin extended-C
    ScriptRange{0x2D00, 0x2D2F, LetterScript::kCyrillic},     // Cyrillic extended-A
    ScriptRange{0x2E80, 0x9FFF, LetterScript::kEastAsian},    // radicals, kana, ideographs
    ScriptRange{0xA640, 0xA69F, LetterScript::kCyrillic},     // Cyrillic extended-B
    ScriptRange{0xA720, 0xA7FF, LetterScript::kLatin},        // Latin extended-D
    ScriptRange{0xA960, 0xA97F, LetterScript::kEastAsian},    // Hangul jamo extended-A
    ScriptRange{0xAC00, 0xD7FF, LetterScript::kEastAsian},    // Hangul syllables and jamo
    ScriptRange{0xF900, 0xFAFF, LetterScript::kEastAsian},    // compatibility ideographs
    ScriptRange{0xFB00, 0xFB06, LetterScript::kLatin},        // Latin ligatures
    ScriptRange{0xFB1D, 0xFB4F, LetterScript::kHebrew},       // Hebrew presentation forms
    ScriptRange{0xFB50, 0xFDFF, LetterScript::kArabic},       // Arabic presentation forms-A
    ScriptRange{0xFE70, 0xFEFF, LetterScript::kArabic},       // Arabic presentation forms-B
    ScriptRange{0xFF21, 0xFF5A, LetterScript::kLatin},        // full-width Latin
    ScriptRange{0xFF66, 0xFFDC, LetterScript::kEastAsian},    // half-width kana and Hangul
    ScriptRange{0x20000, 0x3FFFF, LetterScript::kEastAsian},  // ideographs of planes 2 and 3
};

constexpr unsigned kBlockShift = 7;  // 128 code points per block
constexpr char32_t kAsciiEnd = 0x80;
constexpr char32_t kHangulFirst = 0xAC00;
constexpr char32_t kHangulLast = 0xD7A3;
constexpr char32_t kIdeographFirst = 0x4E00;
constexpr char32_t kIdeographLast = 0x9FFF;
constexpr char32_t kAsciiCaseBit = 0x20;

}  // namespace

LetterScript letterScript(char32_t codePoint) {
  // Most letters of most layers are ASCII.
  if (codePoint < kAsciiEnd) {
    const char32_t lower = codePoint | kAsciiCaseBit;
    return lower >= U'a' && lower <= U'z' ? LetterScript::kLatin : LetterScript::kNone;
  }
  // Hangul syllables and the unified ideographs, the letters of most
  // Korean, Chinese and Japanese text, are letters all through.
  if ((codePoint >= kHangulFirst && codePoint <= kHangulLast) ||
      (codePoint >= kIdeographFirst && codePoint <= kIdeographLast)) {
    return LetterScript::kEastAsian;
  }
  if (!isLetter(codePoint)) return LetterScript::kNone;
  for (const ScriptRange& range : kScriptRanges) {
    if (codePoint >= range.first && codePoint <= range.last) return range.script;
  }
  return static_cast<LetterScript>(static_cast<std::uint32_t>(LetterScript::kFirstBlock) +
                                   (codePoint >> kBlockShift));
}

}  // namespace fileprobe
