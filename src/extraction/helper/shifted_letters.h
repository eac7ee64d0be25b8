// Whether the Latin letters of a text are real letters or glyph codes read
// with a fixed offset. A font whose codes are its glyph numbers (a subset
// without a Unicode map) turns "The quick brown" into "7KH TXLFN EURZQ":
// every letter moves the same distance along the alphabet, so the text
// keeps the letter frequencies of a European language, moved along by that
// distance.
#pragma once

#include <array>
#include <cstdint>

namespace fileprobe {

inline constexpr int kAlphabetLetters = 26;

// How many times each letter a-z occurs, case and accents folded.
using LetterCounts = std::array<std::int64_t, kAlphabetLetters>;

struct ShiftFit {
  int bestShift = 0;          // 0: the letters are where they belong
  double bestSimilarity = 0;  // cosine similarity at that shift, 0 to 1
  double unshiftedSimilarity = 0;
};

// Compares `counts`, moved back by each distance, with the letter
// frequencies of the major languages written in Latin letters, and gives
// the distance that fits best.
ShiftFit shiftFit(const LetterCounts& counts);

}  // namespace fileprobe
