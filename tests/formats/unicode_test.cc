#include "formats/unicode.h"

#include <gtest/gtest.h>

namespace fileprobe {
namespace {

// U+1100 U+1161 U+11A8: the syllable 각 written as three conjoining jamo.
const std::string kJamoSyllable = "\xE1\x84\x80\xE1\x85\xA1\xE1\x86\xA8";
// A waving hand with a skin-tone modifier.
const std::string kModifiedEmoji = "\xF0\x9F\x91\x8B\xF0\x9F\x8F\xBD";

TEST(FirstCharacters, KeepsAMultiCodePointClusterWholeAtTheCut) {
  for (const std::string& cluster : {kJamoSyllable, kModifiedEmoji}) {
    const std::string text = "ab" + cluster + "c";
    EXPECT_EQ(firstCharacters(text, 3), "ab" + cluster);
    EXPECT_EQ(firstCharacters(text, 2), "ab");
    EXPECT_EQ(countCharacters(text, 100), 4);
  }
}

TEST(FirstCharacters, CutsAtTheCountAndCountStopsAtTheLimit) {
  EXPECT_EQ(firstCharacters("abcd", 3), "abc");
  EXPECT_EQ(firstCharacters("\r\nx", 1), "\r\n");  // CR LF is one cluster
  EXPECT_EQ(firstCharacters("\xFF\xFE", 1), "\xFF");
  EXPECT_EQ(countCharacters(std::string(1000, 'a'), 40), 40);
  EXPECT_EQ(countCharacters(std::string(39, 'a'), 40), 39);
}

TEST(TrimWhitespaceAndNewlines, RemovesSeparatorsAndControlsFromBothEndsOnly) {
  // U+3000 ideographic space, U+2028 line separator, U+0085 next line.
  EXPECT_EQ(trimWhitespaceAndNewlines(" \t\n\r\v\f\u3000a b\u2028\u0085"), "a b");
  EXPECT_EQ(trimWhitespaceAndNewlines("   "), "");
  EXPECT_EQ(trimWhitespaceAndNewlines("\u200Ba"), "\u200Ba");  // ZWSP is Cf, not a space
}

TEST(CanonicalScalars, ComposesAndRejectsInvalidUtf8) {
  EXPECT_EQ(canonicalScalars("e\xCC\x81"), std::u32string(U"\u00E9"));
  EXPECT_EQ(canonicalScalars(kJamoSyllable), std::u32string(U"\uAC01"));
  EXPECT_FALSE(canonicalScalars("\xC3"));          // cut short
  EXPECT_FALSE(canonicalScalars("\xED\xA0\x80"));  // a surrogate
  EXPECT_FALSE(isValidUtf8("\xC0\xAF"));           // overlong
}

TEST(Scalars, DecodeClassifyAndFoldOneCodePointAtATime) {
  EXPECT_EQ(scalarAt("a\u00C4", 1).codePoint, U'\u00C4');
  EXPECT_EQ(scalarAt("a\u00C4", 1).length, 2u);
  EXPECT_EQ(scalarAt("\xFF", 0).codePoint, U'\uFFFD');
  for (const char32_t space : {U' ', U'\t', U'\r', U'\u0085', U'\u00A0', U'\u3000'}) {
    EXPECT_TRUE(isWhitespaceOrNewline(space)) << static_cast<unsigned>(space);
  }
  for (const char32_t other : {U'x', U'\u200B', U'\u3001', U'\uAC00'}) {
    EXPECT_FALSE(isWhitespaceOrNewline(other)) << static_cast<unsigned>(other);
  }
  EXPECT_TRUE(isLetter(U'\uAC00'));
  EXPECT_FALSE(isLetter(U'\u00A2'));
  EXPECT_EQ(foldedBaseLetter(U'\u00C4'), U'a');  // Ä
  EXPECT_EQ(foldedBaseLetter(U'Q'), U'q');
  EXPECT_EQ(foldedBaseLetter(U'\u0153'), U'\u0153');  // œ has no decomposition
}

}  // namespace
}  // namespace fileprobe
