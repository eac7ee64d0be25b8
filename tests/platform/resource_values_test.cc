#include "platform/resource_values.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/temp_dir.h"

namespace fileprobe::testing {
namespace {

TEST(ResourceValues, FinalNameSetsTrailingSlashesAside) {
  EXPECT_EQ(finalNameOf("/a/b.app"), "b.app");
  EXPECT_EQ(finalNameOf("/a//.b//"), ".b");
  EXPECT_EQ(finalNameOf("///"), "");
  EXPECT_EQ(finalNameOf("/"), "");
}

TEST(ResourceValues, PackageExtensionsMatchWithoutRegardToCase) {
  EXPECT_TRUE(hasPackageExtension("Foo.app"));
  EXPECT_TRUE(hasPackageExtension("Lib.Framework"));
  EXPECT_TRUE(hasPackageExtension("a.xcworkspace"));
  EXPECT_FALSE(hasPackageExtension(".app"));
  EXPECT_FALSE(hasPackageExtension("Foo.app.zip"));
  EXPECT_FALSE(hasPackageExtension("Fooapp"));
}

TEST(ResourceValues, MissingItemHasNone) {
  TempDir dir;
  mkdir(dir.at("Foo.app").c_str(), 0755);
  EXPECT_FALSE(resourceValuesOf(dir.at("missing")));
  const auto values = resourceValuesOf(dir.at("Foo.app"));
  ASSERT_TRUE(values);
  EXPECT_EQ(values->isPackage, true);
  EXPECT_EQ(values->isHidden, false);
  EXPECT_EQ(values->isAliasFile, false);
  EXPECT_EQ(values->isUbiquitousItem, false);
}

}  // namespace
}  // namespace fileprobe::testing
