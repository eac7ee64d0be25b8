#include "platform/json.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace fileprobe {
namespace {

TEST(SerializeCompact, EscapesOntoOneLineNestsAndFailsOnInvalidUtf8) {
  const std::string text = "줄\n바꿈\r\t\"따옴표\" \\";
  ResultDictionary entry;
  entry.set("path", std::string("/a"));
  ResultDictionary d;
  d.set("text", text);
  d.set("flag", true);
  d.set("count", std::int64_t{-7});
  d.set("entries", ResultList{entry});
  d.set("state", StringDictionary{{"dev", "5"}});
  const auto line = serializeCompact(d);
  ASSERT_TRUE(line);
  EXPECT_EQ(line->find_first_of("\r\n"), std::string::npos);
  EXPECT_EQ(nlohmann::json::parse(*line), (nlohmann::json{{"text", text},
                                                          {"flag", true},
                                                          {"count", -7},
                                                          {"entries", {{{"path", "/a"}}}},
                                                          {"state", {{"dev", "5"}}}}));
  d.set("text", std::string("\xFF"));
  EXPECT_FALSE(serializeCompact(d));
}

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

TEST(ParseStringObject, AcceptsOnlyStringMembers) {
  const auto members = parseStringObject(R"({"text":"a","method":"ocr"})");
  ASSERT_TRUE(members);
  EXPECT_EQ(members->size(), 2u);
  // The other shapes it refuses are shown through the helper's answer.
  EXPECT_FALSE(parseStringObject(std::string("{}\0{\"text\":1}", 13)));
}

}  // namespace
}  // namespace fileprobe
