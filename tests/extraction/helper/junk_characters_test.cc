#include "extraction/helper/junk_characters.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace fileprobe {
namespace {

struct JunkCase {
  std::string text;
  std::string kept;
};

TEST(JunkCharactersTest, JunkIsTakenOutAndWordsStayApart) {
  const std::vector<JunkCase> cases{
      {"alpha\uE001\uE002beta", "alpha beta"},
      {"alpha \uE001 beta", "alpha beta"},
      {"alpha\x01"
       "beta\tgamma\n",
       "alpha beta\tgamma\n"},
      {"line\n\uF000\uF000\nnext", "line\nnext"},
      {"\uFFFD\U000F0001start and end\xC2\x9F", "start and end"},
      {"bad \xFF byte", "bad byte"},
      {"는 \uE0FC \uE047 \uE034에서", "는 에서"},
  };
  for (const JunkCase& c : cases) EXPECT_EQ(withoutJunk(c.text), c.kept) << c.text;
}

}  // namespace
}  // namespace fileprobe
