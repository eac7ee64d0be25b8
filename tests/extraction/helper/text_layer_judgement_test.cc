#include "extraction/helper/text_layer_judgement.h"

#include <gtest/gtest.h>

namespace fileprobe {
namespace {

std::string repeated(std::string_view piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

// `text` with every ASCII letter moved `shift` places along the alphabet,
// as glyph numbers read as character codes move them.
std::string shifted(std::string text, int shift) {
  for (char& c : text) {
    for (const char first : {'a', 'A'}) {
      if (c >= first && c < first + kAlphabetLetters) {
        c = static_cast<char>(first + (c - first + shift) % kAlphabetLetters);
      }
    }
  }
  return text;
}

const std::string kEnglish =
    "The quick brown fox jumps over the lazy dog while the farmer watches from the "
    "porch and counts the hours until the evening train arrives at the station.";
const std::string kKorean =
    "이 문제지는 30문항으로 구성되어 있습니다. 문항 수를 확인하십시오. 답안지에 "
    "수험번호와 성명을 정확히 표기하십시오.";

struct VerdictCase {
  std::string name;
  std::string layer;
  LayerVerdict verdict;
};

TEST(TextLayerJudgementTest, JudgesLayersByWhatTheirCharactersAre) {
  const std::vector<VerdictCase> cases{
      {"English prose", kEnglish, LayerVerdict::kText},
      {"Korean prose", kKorean, LayerVerdict::kText},
      {"Japanese", "電線接続端子部が次のいずれにも該当しないとき。ねじ止め端子であること。",
       LayerVerdict::kText},
      {"Thai with zero-width spaces", repeated("นโยบาย\u200Bสาธารณะ\u200Bมี\u200Bความ ", 4),
       LayerVerdict::kText},
      {"math with Greek", "Let α and β be angles with α + β = π/2, so that sin α = cos β holds.",
       LayerVerdict::kText},
      {"Russian with Latin names",
       repeated("Откройте PDF-файл через USB-порт, затем Windows-версию. ", 3),
       LayerVerdict::kText},
      {"Korean with a cut line of private use", kKorean + repeated("\uF000", 100) + kKorean,
       LayerVerdict::kText},
      {"a table with leaders of U+FFFD", repeated("Defense \uFFFD\uFFFD\uFFFD\uFFFD 699\n", 12),
       LayerVerdict::kText},
      {"raw glyph codes", repeated("\x12\xC2\x98\xC2\x87 \x03Overview\x03of\x03 ", 10),
       LayerVerdict::kNotText},
      {"Latin-1 mojibake of Tamil", "«À¢Ã¡Á¢ Àð¼÷ «ÕÇ¢Â «À¢Ã¡Á¢", LayerVerdict::kNotText},
      {"French read as Latin-1 bytes of UTF-8",
       "Le comitÃ© a Ã©tÃ© rÃ©uni Ã  Paris pour prÃ©parer la rÃ©forme de lâ€™Ã©cole.",
       LayerVerdict::kNotText},
      {"French", "Le comité a été réuni à Paris pour préparer la réforme de l’école « ici ».",
       LayerVerdict::kText},
      {"byte-swapped ASCII", "䴀甀氀琀椀挀漀氀漀爀 䈀氀愀挀欀 倀甀爀攀 䴀愀最攀渀琀愀",
       LayerVerdict::kNotText},
      {"letters of unrelated scripts in words", repeated("Яδא ŹΨש ϣЇק ʮ׆ɹ ΰϸЇ Ĭĭא ", 3),
       LayerVerdict::kNotText},
      {"letters moved along the alphabet", shifted(kEnglish, 3), LayerVerdict::kNotText},
      {"a list of languages", "English, Русский, Ελληνικά, עברית, 한국어, हिन्दी, ไทย",
       LayerVerdict::kTextUnlessFontsLackUnicode},
      {"Latin letters beyond Latin-1", repeated("ōŎq ɘĖ ŹUN ǠƯ ĬĭƏ ", 3),
       LayerVerdict::kTextUnlessFontsLackUnicode},
      {"signs and digits", repeated("!\"# $%& '() *+, -./ 0123 ", 4),
       LayerVerdict::kTextUnlessFontsLackUnicode},
  };
  for (const VerdictCase& c : cases) {
    EXPECT_EQ(layerVerdict(layerFigures(c.layer)), c.verdict) << c.name;
  }
}

// The fonts are asked only when the text leaves doubt, and a layer that is
// not text gives nothing of itself.
TEST(TextLayerJudgementTest, PageTextAsksTheFontsOnlyInDoubt) {
  int asked = 0;
  const auto fonts = [&asked](bool lacking) {
    return [&asked, lacking] {
      ++asked;
      return lacking;
    };
  };
  EXPECT_EQ(pageLayerText(" \n" + kKorean + "\uE000\n", fonts(true)), kKorean);
  EXPECT_EQ(pageLayerText(shifted(kEnglish, 3), fonts(false)), "");
  EXPECT_EQ(asked, 0);
  const std::string signs = repeated("12,345 (67) 8.9% ", 4);
  EXPECT_EQ(pageLayerText(signs, fonts(true)), "");
  EXPECT_EQ(pageLayerText(signs, fonts(false)), signs.substr(0, signs.size() - 1));
  EXPECT_EQ(asked, 2);
}

}  // namespace
}  // namespace fileprobe
