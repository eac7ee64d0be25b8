#include "fileops/normalised_path.h"

#include <gtest/gtest.h>

namespace fileprobe {
namespace {

TEST(NormalisedPath, RefusesEmptyDotAndDotDotComponents) {
  for (const char* path : {"/", "/a", "/a/b.c/..d", "/a/.b"}) EXPECT_TRUE(isNormalisedPath(path));
  for (const char* path : {"", "a/b", "/a/", "//a", "/a//b", "/a/.", "/./a", "/a/..", "/../a"})
    EXPECT_FALSE(isNormalisedPath(path)) << path;
}

TEST(NormalisedPath, SplitsIntoParentAndFinalName) {
  EXPECT_EQ(finalNameOf("/"), "/");
  EXPECT_EQ(finalNameOf("/a"), "a");
  EXPECT_EQ(parentPathOf("/a"), "/");
  EXPECT_EQ(finalNameOf("/a/b/c"), "c");
  EXPECT_EQ(parentPathOf("/a/b/c"), "/a/b");
}

}  // namespace
}  // namespace fileprobe
