#include "fileops/descriptor_state.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "fileops/metadata_failure.h"
#include "support/temp_dir.h"

namespace fileprobe {
namespace {

using testing::TempDir;

FileStatus statusOfPath(const std::string& path) {
  FileStatus status;
  EXPECT_EQ(statPathNoFollow(path, status), 0) << path;
  return status;
}

TEST(OpenDirectoryWithoutLinks, OpensTheRootAndWalksDoubledAndTrailingSlashes) {
  DirectoryOpening root = openDirectoryWithoutLinks("/");
  ASSERT_TRUE(root.descriptor.valid());
  EXPECT_EQ(descriptorStat(root.descriptor.get()).inode, statusOfPath("/").inode);

  DirectoryOpening bin = openDirectoryWithoutLinks("/usr//bin/");
  ASSERT_TRUE(bin.descriptor.valid());
  EXPECT_EQ(descriptorStat(bin.descriptor.get()).inode, statusOfPath("/usr/bin").inode);
}

TEST(OpenDirectoryWithoutLinks, RefusesPathsThatAreNotAbsoluteOrNormalWithEinval) {
  const int before = testing::openDescriptorCount();
  for (std::string_view path :
       {std::string_view(""), std::string_view("usr/bin"), std::string_view("/usr/./bin"),
        std::string_view("/usr/../usr"), std::string_view("/usr/bin/.."),
        std::string_view("/usr\0/bin", 9)}) {
    DirectoryOpening opening = openDirectoryWithoutLinks(path);
    EXPECT_FALSE(opening.descriptor.valid());
    EXPECT_EQ(opening.error, EINVAL) << path;
  }
  EXPECT_EQ(testing::openDescriptorCount(), before);
}

TEST(OpenDirectoryWithoutLinks, FailsAtALinkOrAFileAndLeavesNothingOpen) {
  TempDir dir;
  mkdir(dir.at("real").c_str(), 0755);
  mkdir(dir.at("real/inner").c_str(), 0755);
  symlink(dir.at("real").c_str(), dir.at("link").c_str());
  testing::writeFile(dir.at("file"), "x");
  const int before = testing::openDescriptorCount();

  DirectoryOpening throughLink = openDirectoryWithoutLinks(dir.at("link/inner"));
  EXPECT_FALSE(throughLink.descriptor.valid());
  // Linux reports a link met with O_DIRECTORY as ENOTDIR, other kernels as ELOOP.
  EXPECT_TRUE(throughLink.error == ELOOP || throughLink.error == ENOTDIR) << throughLink.error;
  DirectoryOpening throughFile = openDirectoryWithoutLinks(dir.at("file/inner"));
  EXPECT_EQ(throughFile.error, ENOTDIR);
  DirectoryOpening missing = openDirectoryWithoutLinks(dir.at("missing/inner"));
  EXPECT_EQ(missing.error, ENOENT);

  EXPECT_EQ(testing::openDescriptorCount(), before);
  EXPECT_TRUE(openDirectoryWithoutLinks(dir.at("real/inner")).descriptor.valid());
}

TEST(DescriptorStat, ThrowsTheTranslatedErrnoForAClosedOrNegativeDescriptor) {
  // AT_FDCWD is negative too and must not stand for the working directory.
  for (const int descriptor : {987654, -1, static_cast<int>(AT_FDCWD)}) {
    try {
      descriptorStat(descriptor);
      ADD_FAILURE() << descriptor;
    } catch (const MetadataFailure& failure) {
      EXPECT_EQ(failure.code, 9);
    }
  }
}

TEST(SameSourceState, NoticesChangesOfWhatACopyCarriesButNotOfLinksOrAccessTime) {
  TempDir dir;
  const std::string path = dir.at("item");
  testing::writeFile(path, "abc");
  const FileStatus original = statusOfPath(path);
  EXPECT_TRUE(sameSourceState(original, original));

  FileStatus other = original;
  other.linkCount += 1;
  other.accessTime.seconds += 1;
  other.creationTime.nanoseconds += 1;
  EXPECT_TRUE(sameSourceState(original, other));

  chmod(path.c_str(), 0600);
  EXPECT_FALSE(sameSourceState(original, statusOfPath(path)));
  const FileStatus afterChmod = statusOfPath(path);
  truncate(path.c_str(), 1);
  EXPECT_FALSE(sameSourceState(afterChmod, statusOfPath(path)));
  for (auto change : {&FileStatus::owner, &FileStatus::group, &FileStatus::flags}) {
    FileStatus changed = original;
    changed.*change += 1;
    EXPECT_FALSE(sameSourceState(original, changed));
  }
}

TEST(AttestedState, GivesSevenDecimalStrings) {
  FileStatus status;
  status.device = 5;
  status.inode = 2;
  status.modificationTime = {-1, 7};
  EXPECT_EQ(attestedState(status), (StringDictionary{{"dev", "5"},
                                                     {"ino", "2"},
                                                     {"size", "0"},
                                                     {"mtimeSec", "-1"},
                                                     {"mtimeNsec", "7"},
                                                     {"ctimeSec", "0"},
                                                     {"ctimeNsec", "0"}}));
}

}  // namespace
}  // namespace fileprobe
