#include "filestate/descriptor_state.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <type_traits>

#include "filestate/metadata_failure.h"
#include "support/temp_dir.h"

namespace fileprobe {
namespace {

using testing::TempDir;

std::uint64_t inodeOf(const std::string& path) {
  const ErrnoOr<FileStatus> status = statPathNoFollow(path);
  EXPECT_TRUE(status) << path;
  return status ? status->inode : 0;
}

TEST(OpenDirectoryWithoutLinks, OpensTheRootAndWalksDoubledAndTrailingSlashes) {
  for (const auto& [path, same] : {std::pair{"/", "/"}, {"/usr//bin/", "/usr/bin"}}) {
    const ErrnoOr<UniqueFd> opened = openDirectoryWithoutLinks(path);
    ASSERT_TRUE(opened) << path;
    EXPECT_EQ(descriptorStat(opened->get()).inode, inodeOf(same));
  }
}

// The link, file and missing cases are met for real by the move job's tests;
// these also prove that every failing walk leaves nothing open.
TEST(OpenDirectoryWithoutLinks, RefusesOddFormsAndFailsAtALinkOrAFileLeavingNothingOpen) {
  TempDir dir;
  mkdir(dir.at("real").c_str(), 0755);
  mkdir(dir.at("real/inner").c_str(), 0755);
  symlink(dir.at("real").c_str(), dir.at("link").c_str());
  testing::writeFile(dir.at("file"), "x");
  const int before = testing::openDescriptorCount();
  for (std::string_view path : {std::string_view("usr/bin"), std::string_view("/usr/./bin"),
                                std::string_view("/usr/bin/.."), std::string_view("/usr\0/b", 7)})
    EXPECT_EQ(openDirectoryWithoutLinks(path).error(), EINVAL) << path;
  // Linux reports a link met with O_DIRECTORY as ENOTDIR, other kernels as ELOOP.
  const int throughLink = openDirectoryWithoutLinks(dir.at("link/inner")).error();
  EXPECT_TRUE(throughLink == ELOOP || throughLink == ENOTDIR) << throughLink;
  EXPECT_EQ(openDirectoryWithoutLinks(dir.at("file/inner")).error(), ENOTDIR);
  EXPECT_EQ(openDirectoryWithoutLinks(dir.at("missing/inner")).error(), ENOENT);
  EXPECT_EQ(testing::openDescriptorCount(), before);
  EXPECT_TRUE(openDirectoryWithoutLinks(dir.at("real/inner")));
}

TEST(DescriptorStat, RaisesEbadfForAClosedOrNegativeDescriptor) {
  // AT_FDCWD is negative too and must not stand for the working directory.
  for (const int descriptor : {987654, -1, static_cast<int>(AT_FDCWD)}) {
    try {
      descriptorStat(descriptor);
      ADD_FAILURE() << descriptor;
    } catch (const MetadataFailure& failure) {
      EXPECT_EQ(failure.code, EBADF);
    }
  }
}

// Whether a state that differs from the default one only in `field` is
// taken for another state.
template <typename Field>
bool noticed(Field FileStatus::*field, std::type_identity_t<Field> value) {
  FileStatus changed;
  changed.*field = value;
  return !sameSourceState(FileStatus{}, changed);
}

TEST(SameSourceState, NoticesChangesOfWhatACopyCarriesButNotOfLinksOrAccessTime) {
  for (auto field : {&FileStatus::mode, &FileStatus::owner, &FileStatus::group, &FileStatus::flags})
    EXPECT_TRUE(noticed(field, 1));
  for (auto field : {&FileStatus::device, &FileStatus::inode}) EXPECT_TRUE(noticed(field, 1));
  EXPECT_TRUE(noticed(&FileStatus::size, 1));
  EXPECT_FALSE(noticed(&FileStatus::linkCount, 2));
  for (const auto& [field, seen] : {std::pair{&FileStatus::modificationTime, true},
                                    {&FileStatus::statusChangeTime, true},
                                    {&FileStatus::accessTime, false},
                                    {&FileStatus::creationTime, false}})
    EXPECT_EQ(noticed(field, Timestamp{0, 1}), seen);
}

}  // namespace
}  // namespace fileprobe
