#include "platform/json.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace fileprobe {
namespace {

TEST(SerializeCompact, EscapesLineBreaksAndKeepsKoreanOnOneLine) {
  ResultDictionary d;
  d.set("text", std::string("줄\n바꿈\r\t\"따옴표\" \\"));
  d.set("flag", true);
  d.set("count", std::int64_t{-7});
  const auto text = serializeCompact(d);
  ASSERT_TRUE(text);
  EXPECT_EQ(text->find('\n'), std::string::npos);
  EXPECT_EQ(text->find('\r'), std::string::npos);
  const auto parsed = nlohmann::json::parse(*text);
  EXPECT_EQ(parsed["text"], "줄\n바꿈\r\t\"따옴표\" \\");
  EXPECT_EQ(parsed["flag"], true);
  EXPECT_EQ(parsed["count"], -7);
}

TEST(SerializeCompact, WritesNestedListsAndStringDictionaries) {
  ResultDictionary entry;
  entry.set("path", std::string("/a"));
  ResultDictionary d;
  d.set("entries", ResultList{entry});
  d.set("state", StringDictionary{{"dev", "5"}});
  EXPECT_EQ(serializeCompact(d), R"({"entries":[{"path":"/a"}],"state":{"dev":"5"}})");
}

TEST(SerializeCompact, FailsOnInvalidUtf8) {
  ResultDictionary d;
  d.set("text", std::string("\xFF"));
  EXPECT_FALSE(serializeCompact(d));
}

TEST(ParseStringArray, AcceptsOnlyAnArrayOfStrings) {
  EXPECT_EQ(parseStringArray(" [ ] \n", 10), std::vector<std::string>{});
  EXPECT_EQ(parseStringArray(R"(["/a","b\u0000c"])", 10),
            (std::vector<std::string>{"/a", std::string("b\0c", 3)}));
  for (const char* bad : {"", "[", "[]]", "[] x", "{}", "\"/a\"", "[1]", "[true]", "[null]",
                          "[[]]", "[{}]", "[\"a\",2]", "[\"\xFF\"]", "[\"\\ud800\"]"}) {
    EXPECT_FALSE(parseStringArray(bad, 10)) << bad;
  }
}

TEST(ParseStringArray, RejectsMoreElementsThanAllowed) {
  EXPECT_TRUE(parseStringArray(R"(["a","b"])", 2));
  EXPECT_FALSE(parseStringArray(R"(["a","b","c"])", 2));
}

TEST(ParseStringArray, RejectsDeepNestingWithoutBuildingIt) {
  EXPECT_FALSE(parseStringArray(std::string(1 << 20, '['), 1024));
}

TEST(ParseStringObject, AcceptsOnlyStringMembers) {
  const auto members = parseStringObject(R"({"text":"a","method":"ocr"})");
  ASSERT_TRUE(members);
  EXPECT_EQ(members->size(), 2u);
  EXPECT_FALSE(parseStringObject(R"({"text":1})"));
  EXPECT_FALSE(parseStringObject(R"(["a"])"));
  EXPECT_FALSE(parseStringObject("{"));
}

}  // namespace
}  // namespace fileprobe
