#include "extraction/helper/shifted_letters.h"

#include <cmath>

namespace fileprobe {
namespace {

// Letter frequencies a-z in percent, the mean of English, French, German,
// Spanish, Italian and Portuguese text: close enough to any of them, and to
// most other languages in Latin letters, that the right alignment stands out.
constexpr std::array<double, kAlphabetLetters> kLatinLetterFrequency{
    9.0, 1.3, 3.3, 4.4, 13.5, 1.1, 1.6, 2.4, 6.9, 0.4, 0.3, 5.1, 2.8,
    6.8, 6.6, 2.6, 0.7, 6.5,  7.0, 6.6, 4.3, 1.1, 0.5, 0.2, 0.6, 0.4,
};

double norm(const LetterCounts& counts) {
  double sum = 0;
  for (const std::int64_t count : counts) sum += static_cast<double>(count * count);
  return std::sqrt(sum);
}

double frequencyNorm() {
  double sum = 0;
  for (const double frequency : kLatinLetterFrequency) sum += frequency * frequency;
  return std::sqrt(sum);
}

// Cosine similarity of `counts` with the reference moved `shift` letters on.
double similarityAt(const LetterCounts& counts, int shift, double countsNorm) {
  double dot = 0;
  for (int letter = 0; letter < kAlphabetLetters; ++letter) {
    const int source = (letter - shift + kAlphabetLetters) % kAlphabetLetters;
    dot += static_cast<double>(counts[static_cast<std::size_t>(letter)]) *
           kLatinLetterFrequency[static_cast<std::size_t>(source)];
  }
  return dot / (countsNorm * frequencyNorm());
}

}  // namespace

ShiftFit shiftFit(const LetterCounts& counts) {
  const double countsNorm = norm(counts);
  if (countsNorm == 0) return {};
  ShiftFit fit;
  fit.unshiftedSimilarity = similarityAt(counts, 0, countsNorm);
  fit.bestSimilarity = fit.unshiftedSimilarity;
  for (int shift = 1; shift < kAlphabetLetters; ++shift) {
    const double similarity = similarityAt(counts, shift, countsNorm);
    if (similarity > fit.bestSimilarity) {
      fit.bestShift = shift;
      fit.bestSimilarity = similarity;
    }
  }
  return fit;
}

}  // namespace fileprobe
