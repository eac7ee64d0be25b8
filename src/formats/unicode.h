// Text operations that need Unicode data: user-perceived characters
// (extended grapheme clusters), whitespace trimming and canonical composition.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace fileprobe {

// The longest prefix of `text` holding at most `maxCharacters` extended
// grapheme clusters; a cluster is never split. Bytes that are not valid
// UTF-8 count as one character each.
std::string_view firstCharacters(std::string_view text, std::int64_t maxCharacters);

// The number of extended grapheme clusters in `text`, counting stops once
// `limit` is reached (so the answer is at most `limit`).
std::int64_t countCharacters(std::string_view text, std::int64_t limit);

// `text` without leading and trailing white space and line breaks: general
// category Z, U+0009 to U+000D and U+0085.
std::string_view trimWhitespaceAndNewlines(std::string_view text);

bool isValidUtf8(std::string_view text);

// One code point of a UTF-8 text and the bytes it takes. A byte that is not
// valid UTF-8 reads as U+FFFD, one byte long.
struct Scalar {
  char32_t codePoint = 0;
  std::size_t length = 1;
};
Scalar scalarAt(std::string_view text, std::size_t offset);

// What trimming removes: general category Z, U+0009 to U+000D and U+0085.
bool isWhitespaceOrNewline(char32_t codePoint);

// General category L (letters of any script, Hangul syllables and CJK
// ideographs included).
bool isLetter(char32_t codePoint);

// The lower-case form of the first code point of the canonical
// decomposition: "Ä" and "ä" give "a"; a code point without either gives
// itself.
char32_t foldedBaseLetter(char32_t codePoint);

// The Unicode scalar values of the canonical composition (NFC) of `text`,
// or nothing when `text` is not valid UTF-8.
std::optional<std::u32string> canonicalScalars(std::string_view text);

}  // namespace fileprobe
