// The edges that the move and inspection jobs' tests do not reach; their
// tests cover the path forms they refuse and accept.
#include "common/path_syntax.h"

#include <gtest/gtest.h>

#include <string>

namespace fileprobe {
namespace {

TEST(PathSyntax, EdgesOfSplittingAndCaseFolding) {
  EXPECT_EQ(parentPathOf("/a"), "/");
  EXPECT_EQ(lastPathComponentOf("///"), "");
  EXPECT_TRUE(isNormalisedPath("/a/..b"));
  EXPECT_TRUE(isNormalisedPath("/"));
  for (const char* path : {"//", "/a//b", "/a/", "a/b", "/a/.", "/../a", ""}) {
    EXPECT_FALSE(isNormalisedPath(path)) << path;
  }
  // Empty components do not hide a dot one.
  EXPECT_TRUE(hasDotComponent("//.//"));
  EXPECT_FALSE(hasDotComponent("/.a/b../..."));
  // A dot file has no extension: ".pdf" alone is no PDF.
  EXPECT_EQ(pathExtension("/x/.pdf"), "");
  EXPECT_EQ(pathExtension("/x/y.tar.PDF/"), "PDF");
  // The Kelvin sign folds to "k" only in Unicode, never here.
  EXPECT_FALSE(equalsIgnoringAsciiCase("\u212A", "k"));
}

}  // namespace
}  // namespace fileprobe
