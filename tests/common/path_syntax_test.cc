#include "common/path_syntax.h"

#include <gtest/gtest.h>

#include <string>

namespace fileprobe {
namespace {

using namespace std::string_literals;

TEST(PathSyntax, AbsoluteMeansALeadingSlashAndNoNul) {
  EXPECT_TRUE(isAbsolutePath("/"));
  EXPECT_TRUE(isAbsolutePath("//a/"));
  EXPECT_FALSE(isAbsolutePath(""));
  EXPECT_FALSE(isAbsolutePath("a/b"));
  EXPECT_FALSE(isAbsolutePath("/a\0b"s));
}

TEST(PathSyntax, ComponentsLeaveOutEmptyOnesAndKeepDots) {
  EXPECT_EQ(pathComponents("//a//b/./"), (std::vector<std::string_view>{"a", "b", "."}));
  EXPECT_TRUE(pathComponents("/").empty());
  EXPECT_TRUE(isDotComponent(".."));
  EXPECT_FALSE(isDotComponent("..."));
}

TEST(PathSyntax, NormalisedPathsHaveNoEmptyOrDotComponent) {
  for (const char* path : {"/", "/a", "/a/b.c", "/a/..b"}) EXPECT_TRUE(isNormalisedPath(path));
  for (const char* path : {"", "a", "//a", "/a/", "/a//b", "/./a", "/a/.."}) {
    EXPECT_FALSE(isNormalisedPath(path)) << path;
  }
}

TEST(PathSyntax, FinalNameAndParentSplitAtTheLastSlash) {
  EXPECT_EQ(finalNameOf("/a/b"), "b");
  EXPECT_EQ(finalNameOf("/"), "/");
  EXPECT_EQ(parentPathOf("/a/b"), "/a");
  EXPECT_EQ(parentPathOf("/a"), "/");
}

TEST(PathSyntax, LastComponentAndExtensionSetTrailingSlashesAside) {
  EXPECT_EQ(lastPathComponentOf("/x/y.pdf//"), "y.pdf");
  EXPECT_EQ(lastPathComponentOf("///"), "");
  EXPECT_EQ(pathExtension("/x/y.tar.PDF/"), "PDF");
  EXPECT_EQ(pathExtension("/x/.pdf"), "");
  EXPECT_EQ(pathExtension("/x.pdf/y"), "");
}

TEST(PathSyntax, AsciiCaseFoldingLeavesOtherBytesAlone) {
  EXPECT_TRUE(equalsIgnoringAsciiCase("PdF", "pdf"));
  EXPECT_FALSE(equalsIgnoringAsciiCase("pdfx", "pdf"));
  EXPECT_TRUE(endsWithIgnoringAsciiCase("Photos.APP", ".app"));
  EXPECT_FALSE(endsWithIgnoringAsciiCase("app", ".app"));
  // The Kelvin sign folds to "k" only in Unicode, never here.
  EXPECT_FALSE(equalsIgnoringAsciiCase("\u212A", "k"));
}

}  // namespace
}  // namespace fileprobe
