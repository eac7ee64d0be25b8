#include "formats/json.h"

#include <gtest/gtest.h>

namespace fileprobe {
namespace {

TEST(ParseStringArray, AcceptsOnlyABoundedArrayOfStrings) {
  EXPECT_EQ(parseStringArray(" [ ] \n", 10), std::vector<std::string>{});
  EXPECT_EQ(parseStringArray(R"(["/a","b\u0000c"])", 2),
            (std::vector<std::string>{"/a", std::string("b\0c", 3)}));
  for (const char* bad : {"", "[", "[]]", "[] x", "{}", "\"/a\"", "[1]", "[true]", "[null]", "[[]]",
                          "[{}]", "[\"a\",2]", "[\"\xFF\"]", "[\"\\ud800\"]"}) {
    EXPECT_FALSE(parseStringArray(bad, 10)) << bad;
  }
  EXPECT_FALSE(parseStringArray(R"(["a","b","c"])", 2));
  // The lexer reads a NUL byte as the end of input; the whole text must be JSON.
  for (const std::string& bad : {std::string("[\"/a\"]\0 not json", 16), std::string("[]\0", 3),
                                 std::string("[] \0 ", 5), std::string("\0[]", 3)}) {
    EXPECT_FALSE(parseStringArray(bad, 10)) << bad.size();
  }
  // Deep nesting is refused as it is read, not built first.
  EXPECT_FALSE(parseStringArray(std::string(1 << 20, '['), 1024));
}

}  // namespace
}  // namespace fileprobe
