#include "fileops/metadata_copy_job.h"

#include <acl/libacl.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/acl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <nlohmann/json.hpp>
#include <thread>

#include "support/child_process.h"
#include "support/temp_dir.h"

namespace fileprobe {
namespace {

using nlohmann::json;
using testing::TempDir;

struct Fd {
  int fd;
  explicit Fd(const std::string& path, int flags = O_RDONLY) : fd(open(path.c_str(), flags)) {}
  ~Fd() { close(fd); }
};

struct CopyOutcome {
  int status = 0;
  json result = json::object();
};

// The job with `source` as descriptor 3 and `destination` as 4; a negative
// descriptor is not handed over.
CopyOutcome runCopy(int source, int destination,
                    std::vector<std::string> arguments = {"--copy-metadata-fd"}) {
  testing::ChildRequest request;
  request.arguments = std::move(arguments);
  if (source >= 0) request.descriptors.push_back({3, source});
  if (destination >= 0) request.descriptors.push_back({4, destination});
  const testing::ChildOutcome outcome = testing::runChild(request);
  EXPECT_TRUE(outcome.err.empty()) << outcome.err;
  EXPECT_EQ(outcome.out.find('\n'), outcome.out.size() - 1) << outcome.out;
  return {outcome.exitStatus, json::parse(outcome.out)};
}

void expectFailure(const CopyOutcome& outcome, int code) {
  EXPECT_EQ(outcome.status, 3);
  EXPECT_EQ(outcome.result, (json{{"ok", false}, {"verified", false}, {"errno", code}}));
}

bool setFlag(int fd, int flag, bool on) {
  int flags = 0;
  if (ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0) return false;
  flags = on ? (flags | flag) : (flags & ~flag);
  return ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
}

std::string aclText(const std::string& path, acl_type_t type) {
  acl_t acl = acl_get_file(path.c_str(), type);
  char* text = acl_to_any_text(acl, nullptr, ',', 0);
  const std::string result = text == nullptr ? "none" : text;
  acl_free(text);
  acl_free(acl);
  return result;
}

// What a copy must carry, read back with calls of its own: mode, owner,
// group, access and modification time, nodump, ACLs, attributes.
std::string metadataOf(const std::string& path) {
  struct stat s {};
  EXPECT_EQ(lstat(path.c_str(), &s), 0);
  int flags = 0;
  ioctl(Fd(path).fd, FS_IOC_GETFLAGS, &flags);
  std::string text;
  for (const auto number : {std::int64_t{s.st_mode}, std::int64_t{s.st_uid}, std::int64_t{s.st_gid},
                            s.st_atim.tv_sec, s.st_atim.tv_nsec, s.st_mtim.tv_sec,
                            s.st_mtim.tv_nsec, std::int64_t{flags & FS_NODUMP_FL}}) {
    text += std::to_string(number) + ":";
  }
  text += aclText(path, ACL_TYPE_ACCESS) + " " + aclText(path, ACL_TYPE_DEFAULT);
  std::vector<char> names(65536), value(65536);
  const ssize_t length = llistxattr(path.c_str(), names.data(), names.size());
  for (ssize_t at = 0; at < length; at += std::strlen(&names[at]) + 1) {
    const ssize_t size = lgetxattr(path.c_str(), &names[at], value.data(), value.size());
    text += std::string(" ") + &names[at] + "=" + std::string(value.data(), std::max(size, 0L));
  }
  return text;
}

TEST(MetadataCopyJob, RefusesAWrongCountBeforeReadingAndAMissingSourceWithEbadf) {
  // No descriptor is handed over: reading one would give 9, not 22.
  expectFailure(runCopy(-1, -1, {"--copy-metadata-fd", "3", "4"}), 22);
  TempDir dir;
  testing::writeFile(dir.at("d"), "x");
  expectFailure(runCopy(-1, Fd(dir.at("d")).fd), 9);
}

TEST(MetadataCopyJob, RefusesOddKindsTheSameItemAndSharedFiles) {
  TempDir dir;
  testing::writeFile(dir.at("file"), "data");
  testing::writeFile(dir.at("other"), "data");
  mkdir(dir.at("folder").c_str(), 0755);
  mkdir(dir.at("folder2").c_str(), 0755);
  mkdir(dir.at("folder2/sub").c_str(), 0755);  // a folder's link count is no reason
  link(dir.at("file").c_str(), dir.at("hard").c_str());
  symlink("file", dir.at("link").c_str());
  mkfifo(dir.at("fifo").c_str(), 0644);
  Fd file(dir.at("file")), other(dir.at("other")), folder(dir.at("folder")),
      folder2(dir.at("folder2")), again(dir.at("file")), hard(dir.at("hard")),
      link(dir.at("link"), O_PATH | O_NOFOLLOW), fifo(dir.at("fifo"), O_RDONLY | O_NONBLOCK),
      device("/dev/null");
  const std::vector<std::pair<int, int>> refused = {
      {file.fd, folder.fd}, {folder.fd, file.fd}, {file.fd, file.fd},
      {file.fd, again.fd},  {hard.fd, file.fd},   {other.fd, file.fd},
      {link.fd, other.fd},  {fifo.fd, other.fd},  {device.fd, other.fd}};  // "file" has two links
  for (const auto& [source, destination] : refused) {
    expectFailure(runCopy(source, destination), 22);
  }
  EXPECT_EQ(runCopy(folder.fd, folder2.fd).status, 0);
}

TEST(MetadataCopyJob, LockedItems) {
  if (geteuid() != 0) {
    GTEST_SKIP() << "needs root";
  }
  TempDir dir;
  testing::writeFile(dir.at("source"), "data");
  testing::writeFile(dir.at("destination"), "data");
  setxattr(dir.at("source").c_str(), "user.new", "1", 1, 0);
  chmod(dir.at("source").c_str(), 0600);
  Fd source(dir.at("source")), destination(dir.at("destination"));
  const std::string untouched = metadataOf(dir.at("destination"));
  for (int lock : {FS_IMMUTABLE_FL, FS_APPEND_FL}) {
    ASSERT_TRUE(setFlag(source.fd, lock, true));
    const CopyOutcome outcome = runCopy(source.fd, destination.fd);
    ASSERT_TRUE(setFlag(source.fd, lock, false));
    expectFailure(outcome, 22);
    EXPECT_EQ(metadataOf(dir.at("destination")), untouched);
  }
  // A locked destination passes the checks; its first refusing call (EPERM) ends the copy.
  ASSERT_TRUE(setFlag(destination.fd, FS_IMMUTABLE_FL, true));
  const CopyOutcome outcome = runCopy(source.fd, destination.fd);
  ASSERT_TRUE(setFlag(destination.fd, FS_IMMUTABLE_FL, false));
  expectFailure(outcome, 1);
}

TEST(MetadataCopyJob, AWriterAppendingToTheSourceMakesItStale) {
  TempDir dir("/dev/shm");
  testing::writeFile(dir.at("source"), "");
  testing::writeFile(dir.at("destination"), "");
  // Values to read keep the job busy for milliseconds, so that the writer
  // runs while it reads.
  const std::string value(60 * 1024, 'v');
  for (int i = 0; i < 100; ++i) {
    const std::string name = "user.a" + std::to_string(i);
    ASSERT_EQ(setxattr(dir.at("source").c_str(), name.c_str(), value.data(), value.size(), 0), 0);
  }
  Fd source(dir.at("source")), destination(dir.at("destination"));
  Fd writer(dir.at("source"), O_WRONLY | O_APPEND);
  // A machine too busy to run the writer during a job gives that job a fair
  // success; it must never give anything but that or 70.
  CopyOutcome outcome;
  for (int attempt = 0; attempt < 5 && outcome.result.value("errno", 0) != 70; ++attempt) {
    std::atomic<bool> stop = false;
    std::atomic<long> written = 0;
    std::thread appender([&] {
      // Bounded, so that a test that goes wrong cannot fill the memory.
      for (long i = 0; i < 20'000'000 && !stop; ++i) written += write(writer.fd, "x", 1);
    });
    while (written == 0) std::this_thread::yield();
    outcome = runCopy(source.fd, destination.fd);
    stop = true;
    appender.join();
    EXPECT_TRUE(outcome.status == 0 || outcome.result["errno"] == 70) << outcome.result.dump();
  }
  expectFailure(outcome, 70);
}

enum class Items { files, folders, bareSource };

class MetadataCopySuccess : public ::testing::TestWithParam<Items> {};

// Attributes of every size class (60 KiB needs tmpfs: ext4 keeps a file's
// attributes in one block), ACLs, odd mode bits, nanosecond times, another
// owner when root, onto a destination with leftovers the copy must remove.
TEST_P(MetadataCopySuccess, CopiesEverythingAndProvesIt) {
  TempDir dir("/dev/shm");
  const std::string source = dir.at("source"), destination = dir.at("destination");
  const bool folders = GetParam() == Items::folders;
  if (folders) {
    mkdir(source.c_str(), 0700);
    mkdir(destination.c_str(), 0755);
    acl_t defaults = acl_from_text("u::rwx,u:3:r-x,g::r-x,m::r-x,o::---");
    ASSERT_EQ(acl_set_file(source.c_str(), ACL_TYPE_DEFAULT, defaults), 0);
    acl_free(defaults);
  } else {
    testing::writeFile(source, "source data");
    testing::writeFile(destination, "dest");
  }
  if (GetParam() != Items::bareSource) {
    const std::string big(60 * 1024, 'b');
    ASSERT_EQ(setxattr(source.c_str(), "user.big", big.data(), big.size(), 0), 0);
    setxattr(source.c_str(), "user.empty", "", 0, 0);
    setxattr(source.c_str(), "user.small", "value", 5, 0);
    acl_t acl = acl_from_text("u::rwx,u:1:rw-,g::r-x,m::rwx,o::--x");
    ASSERT_EQ(acl_set_file(source.c_str(), ACL_TYPE_ACCESS, acl), 0);
    acl_free(acl);
    chmod(source.c_str(), folders ? 02751 : 0751);
    if (geteuid() == 0) lchown(source.c_str(), 1234, 2345);
    const struct timespec times[2] = {{1000, 5}, {1700000000, 123456789}};
    utimensat(AT_FDCWD, source.c_str(), times, 0);
  }
  setxattr(destination.c_str(), "user.stale", "old", 3, 0);
  acl_t stale = acl_from_text("u::rw-,u:2:r--,g::---,m::r--,o::---");
  ASSERT_EQ(acl_set_file(destination.c_str(), ACL_TYPE_ACCESS, stale), 0);
  acl_free(stale);
  Fd s(source), d(destination);
  if (geteuid() == 0) setFlag(s.fd, FS_NODUMP_FL, true);

  const CopyOutcome outcome = runCopy(s.fd, d.fd);
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.result.size(), 5u);
  EXPECT_EQ(outcome.result.value("ok", false) && outcome.result.value("verified", false), true);
  EXPECT_EQ(outcome.result.value("errno", -1), 0);
  for (const auto& [key, path] : {std::pair{"source", source}, {"destination", destination}}) {
    struct stat st {};
    lstat(path.c_str(), &st);
    // Seven strings; the destination's size shows its data untouched.
    EXPECT_EQ(outcome.result[key].size(), 7u);
    EXPECT_EQ(outcome.result[key].value("ino", ""), std::to_string(st.st_ino));
    EXPECT_EQ(outcome.result[key].value("size", ""), std::to_string(st.st_size));
  }
  EXPECT_EQ(metadataOf(destination), metadataOf(source));
  EXPECT_EQ(metadataOf(destination).find("user.stale"), std::string::npos);
  if (geteuid() == 0) setFlag(s.fd, FS_NODUMP_FL, false);
}

INSTANTIATE_TEST_SUITE_P(Kinds, MetadataCopySuccess,
                         ::testing::Values(Items::files, Items::folders, Items::bareSource));

}  // namespace
}  // namespace fileprobe
