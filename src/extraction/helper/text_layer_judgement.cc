#include "extraction/helper/text_layer_judgement.h"

#include <algorithm>
#include <array>
#include <deque>
#include <utility>

#include "extraction/helper/junk_characters.h"
#include "extraction/helper/letter_script.h"
#include "formats/unicode.h"

namespace fileprobe {
namespace {

// A share is judged only over at least this many code points: a short
// layer is recognised anyway, and a few odd characters prove nothing.
constexpr std::int64_t kLeastEvidence = 8;
// Real layers hold no control codes; where a twentieth of the characters
// are control codes, a font gives its raw glyph codes.
constexpr double kControlShare = 0.05;
// Latin-1 signs and accented letters: a few percent of French or German,
// about all of a legacy 8-bit Indic or multi-byte text read as Latin-1.
constexpr double kLatin1Share = 0.3;
// A UTF-8 lead byte followed by a continuation byte, both read as Latin-1:
// no real text writes "Ã©" or "ê°"; a few such pairs in every hundred
// characters are UTF-8 (French accents, or all of a Korean text) read a
// byte at a time.
constexpr std::int64_t kLeastUtf8Pairs = 4;
constexpr double kUtf8PairShare = 0.02;
constexpr char32_t kUtf8LeadFirst = 0xC2;
constexpr char32_t kUtf8LeadLast = 0xF4;
constexpr char32_t kUtf8ContinuationFirst = 0x80;
constexpr char32_t kUtf8ContinuationLast = 0xBF;
// U+XX00 with XX an ASCII byte: a few percent of real Chinese (一, 最),
// every character of ASCII whose Unicode map has its bytes swapped.
constexpr double kByteSwappedShare = 0.5;
// Real words keep to one script (Latin beside Korean, Japanese or Chinese
// aside); a CID font read without its map scatters the letters of each
// word over unrelated blocks. Words are parted by white space and by ASCII
// digits and signs.
constexpr std::int64_t kLeastWords = 10;
constexpr double kMixedWordShare = 0.15;
// Many scripts on a page are junk when some of them also share words, and
// leave doubt otherwise (a list of languages).
constexpr int kManyScripts = 4;
constexpr double kMixedWordShareWithManyScripts = 0.05;
// A script holds a real share of the letters with this many and this share.
constexpr std::int64_t kLeastScriptLetters = 3;
constexpr double kScriptShare = 0.03;
// Letters moved along the alphabet: judged over enough letters for the
// frequencies to show, by how much better the moved alignment fits.
constexpr std::int64_t kLeastShiftLetters = 60;
constexpr double kShiftMargin = 0.15;
constexpr double kShiftMarginWithFonts = 0.08;
// Text where letters are this rare is signs and digits; with a font that
// has no Unicode map those are glyph codes too.
constexpr double kFewLettersShare = 0.25;
constexpr std::int64_t kLeastFewLettersEvidence = 40;
// Latin letters beyond Latin-1 (ā, ő, ơ, ɘ): at most about a sixth of
// those of Polish, Czech or Vietnamese; most of what glyph numbers read as
// characters between U+0100 and U+02FF give.
constexpr double kRareLatinShare = 0.35;
constexpr std::int64_t kLeastRareLatinEvidence = 20;
constexpr char32_t kRareLatinFirst = 0x100;
constexpr char32_t kRareLatinLast = 0x2FF;

constexpr char32_t kLatin1SymbolFirst = 0xA1;
constexpr char32_t kLatin1Last = 0xFF;
constexpr char32_t kByteSwapFirst = 0x2000;
constexpr char32_t kLowByte = 0xFF;
constexpr unsigned kHighByteShift = 8;
constexpr char32_t kAsciiPrintableFirst = 0x20;
constexpr char32_t kAsciiPrintableLast = 0x7E;
constexpr char32_t kAsciiEnd = 0x80;
constexpr unsigned char kAsciiSpace = 0x20;
constexpr unsigned char kAsciiDelete = 0x7F;
constexpr char32_t kAsciiCaseBit = 0x20;

bool isByteSwappedAscii(char32_t codePoint) {
  if (codePoint < kByteSwapFirst || (codePoint & kLowByte) != 0) return false;
  const char32_t high = codePoint >> kHighByteShift;
  return high >= kAsciiPrintableFirst && high <= kAsciiPrintableLast;
}

// Bytes of UTF-8 read one by one as Latin-1 characters: "Ã©" for "é",
// "ê°€" for "가".
bool isUtf8LeadByte(char32_t codePoint) {
  return codePoint >= kUtf8LeadFirst && codePoint <= kUtf8LeadLast;
}

bool isUtf8ContinuationByte(char32_t codePoint) {
  return codePoint >= kUtf8ContinuationFirst && codePoint <= kUtf8ContinuationLast;
}

double share(std::int64_t part, std::int64_t whole) {
  return whole == 0 ? 0 : static_cast<double>(part) / static_cast<double>(whole);
}

// Scripts that real words mix: Latin with Korean, Japanese or Chinese.
bool scriptsMix(LetterScript a, LetterScript b) {
  const auto pair = std::minmax(a, b);
  return pair == std::minmax(LetterScript::kLatin, LetterScript::kEastAsian);
}

// The letters of one word so far.
struct WordState {
  std::int64_t letters = 0;
  LetterScript first = LetterScript::kNone;
  bool mixed = false;
};

class FigureCounter {
 public:
  // Printable ASCII other than the space, counted without the Unicode
  // tables: most characters of most layers.
  void addPrintableAscii(char32_t codePoint) {
    previous_ = codePoint;
    ++figures_.visible;
    ++figures_.kept;
    const char32_t lower = codePoint | kAsciiCaseBit;
    if (lower < U'a' || lower > U'z') {
      endWord();  // digits and signs part words
      return;
    }
    ++figures_.letters;
    ++figures_.latinLetters[lower - U'a'];
    if (latinLetters_ == nullptr) latinLetters_ = &countScript(LetterScript::kLatin);
    ++*latinLetters_;
    addToWord(LetterScript::kLatin);
  }

  void add(char32_t codePoint) {
    const char32_t previous = std::exchange(previous_, codePoint);
    if (isWhitespaceOrNewline(codePoint)) {
      endWord();
      return;
    }
    if (isUtf8LeadByte(previous) && isUtf8ContinuationByte(codePoint)) ++figures_.utf8AsLatin1;
    // ASCII digits and signs part words too: "PDF-файл", "TNF-α" and
    // "IL-1β" are two words each, of one script each.
    if (codePoint < kAsciiEnd && letterScript(codePoint) == LetterScript::kNone) endWord();
    ++figures_.visible;
    if (isJunkCodePoint(codePoint)) {
      if (isControlCode(codePoint)) ++figures_.controls;
      return;
    }
    ++figures_.kept;
    if (codePoint >= kLatin1SymbolFirst && codePoint <= kLatin1Last) ++figures_.latin1Symbols;
    if (isByteSwappedAscii(codePoint)) ++figures_.byteSwapped;
    addLetter(codePoint);
  }

  LayerFigures finish() {
    endWord();
    figures_.scripts = significantScripts();
    return figures_;
  }

 private:
  void addLetter(char32_t codePoint) {
    const LetterScript script = letterScript(codePoint);
    if (script == LetterScript::kNone) return;
    ++figures_.letters;
    ++countScript(script);
    if (script == LetterScript::kLatin) countLatin(codePoint);
    if (codePoint >= kRareLatinFirst && codePoint <= kRareLatinLast) ++figures_.rareLatin;
    addToWord(script);
  }

  void addToWord(LetterScript script) {
    ++word_.letters;
    if (word_.first == LetterScript::kNone) {
      word_.first = script;
    } else if (script != word_.first && !scriptsMix(script, word_.first)) {
      word_.mixed = true;
    }
  }

  void countLatin(char32_t codePoint) {
    const char32_t base = foldedBaseLetter(codePoint);
    if (base >= U'a' && base <= U'z') ++figures_.latinLetters[base - U'a'];
  }

  // The count of `script`'s letters, made on its first letter. A page
  // holds a few scripts, so a list is searched.
  std::int64_t& countScript(LetterScript script) {
    for (auto& [known, count] : scriptLetters_) {
      if (known == script) return count;
    }
    return scriptLetters_.emplace_back(script, 0).second;
  }

  void endWord() {
    if (word_.letters >= 2) {
      ++figures_.words;
      if (word_.mixed) ++figures_.mixedWords;
    }
    word_ = {};
  }

  int significantScripts() const {
    int significant = 0;
    for (const auto& [script, count] : scriptLetters_) {
      if (count >= kLeastScriptLetters && share(count, figures_.letters) >= kScriptShare) {
        ++significant;
      }
    }
    return significant;
  }

  LayerFigures figures_;
  char32_t previous_ = 0;
  WordState word_;
  // A deque keeps each count in place as scripts are added.
  std::deque<std::pair<LetterScript, std::int64_t>> scriptLetters_;
  std::int64_t* latinLetters_ = nullptr;
};

bool rawGlyphCodes(const LayerFigures& f) {
  return f.visible >= kLeastEvidence && share(f.controls, f.visible) >= kControlShare;
}

bool latin1Mojibake(const LayerFigures& f) {
  if (f.utf8AsLatin1 >= kLeastUtf8Pairs && share(f.utf8AsLatin1, f.kept) >= kUtf8PairShare) {
    return true;
  }
  return f.kept >= kLeastEvidence && share(f.latin1Symbols, f.kept) >= kLatin1Share;
}

bool byteSwappedMap(const LayerFigures& f) {
  return f.kept >= kLeastEvidence && share(f.byteSwapped, f.kept) >= kByteSwappedShare;
}

bool scatteredScripts(const LayerFigures& f) {
  if (f.words < kLeastWords) return false;
  const double mixed = share(f.mixedWords, f.words);
  return mixed >= kMixedWordShare ||
         (f.scripts >= kManyScripts && mixed >= kMixedWordShareWithManyScripts);
}

// How much better the letters fit moved along the alphabet than in place;
// 0 when they fit best in place or are too few to tell.
double shiftMargin(const LayerFigures& f) {
  std::int64_t latin = 0;
  for (const std::int64_t count : f.latinLetters) latin += count;
  if (latin < kLeastShiftLetters) return 0;
  const ShiftFit fit = shiftFit(f.latinLetters);
  if (fit.bestShift == 0) return 0;
  return fit.bestSimilarity - fit.unshiftedSimilarity;
}

bool fewLetters(const LayerFigures& f) {
  return f.kept >= kLeastFewLettersEvidence && share(f.letters, f.kept) < kFewLettersShare;
}

bool rareLatinLetters(const LayerFigures& f) {
  return f.letters >= kLeastRareLatinEvidence && share(f.rareLatin, f.letters) >= kRareLatinShare;
}

}  // namespace

LayerFigures layerFigures(std::string_view layer) {
  FigureCounter counter;
  for (std::size_t offset = 0; offset < layer.size();) {
    const auto byte = static_cast<unsigned char>(layer[offset]);
    if (byte > kAsciiSpace && byte < kAsciiDelete) {
      counter.addPrintableAscii(byte);
      ++offset;
      continue;
    }
    const Scalar scalar = scalarAt(layer, offset);
    counter.add(scalar.codePoint);
    offset += scalar.length;
  }
  return counter.finish();
}

LayerVerdict layerVerdict(const LayerFigures& figures) {
  if (rawGlyphCodes(figures) || latin1Mojibake(figures) || byteSwappedMap(figures) ||
      scatteredScripts(figures)) {
    return LayerVerdict::kNotText;
  }
  const double margin = shiftMargin(figures);
  if (margin >= kShiftMargin) return LayerVerdict::kNotText;
  // Each of these happens in real text too (a table of figures, a list of
  // languages, a transcription); only with a font that has no Unicode map
  // are they junk.
  if (margin >= kShiftMarginWithFonts || fewLetters(figures) || rareLatinLetters(figures) ||
      figures.scripts >= kManyScripts) {
    return LayerVerdict::kTextUnlessFontsLackUnicode;
  }
  return LayerVerdict::kText;
}

std::string pageLayerText(std::string_view layer, const std::function<bool()>& fontsLackUnicode) {
  switch (layerVerdict(layerFigures(layer))) {
    case LayerVerdict::kNotText: return "";
    case LayerVerdict::kTextUnlessFontsLackUnicode:
      if (fontsLackUnicode()) return "";
      break;
    case LayerVerdict::kText: break;
  }
  return std::string(trimWhitespaceAndNewlines(withoutJunk(layer)));
}

}  // namespace fileprobe
