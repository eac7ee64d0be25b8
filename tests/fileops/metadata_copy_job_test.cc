#include "fileops/metadata_copy_job.h"

#include <acl/libacl.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/acl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <nlohmann/json.hpp>
#include <thread>

#include "support/child_process.h"
#include "support/temp_dir.h"

namespace fileprobe {
namespace {

using testing::TempDir;

struct Fd {
  int fd;
  explicit Fd(int d) : fd(d) {}
  ~Fd() {
    if (fd >= 0) close(fd);
  }
};

int openItem(const std::string& path, int flags = O_RDONLY) {
  const int fd = open(path.c_str(), flags | O_CLOEXEC);
  EXPECT_GE(fd, 0) << path;
  return fd;
}

struct CopyOutcome {
  int status;
  nlohmann::json result;
};

// Runs the job with `source` as descriptor 3 and `destination` as 4; a
// negative descriptor is not handed over.
CopyOutcome runCopy(int source, int destination,
                    std::vector<std::string> arguments = {"--copy-metadata-fd"}) {
  testing::ChildRequest request;
  request.arguments = std::move(arguments);
  if (source >= 0) request.descriptors.push_back({3, source});
  if (destination >= 0) request.descriptors.push_back({4, destination});
  const testing::ChildOutcome outcome = testing::runChild(request);
  EXPECT_TRUE(outcome.err.empty()) << outcome.err;
  EXPECT_TRUE(outcome.exited);
  EXPECT_EQ(outcome.out.find('\n'), outcome.out.size() - 1) << outcome.out;
  return {outcome.exitStatus, nlohmann::json::parse(outcome.out)};
}

void expectFailure(const CopyOutcome& outcome, int code) {
  EXPECT_EQ(outcome.status, 3);
  EXPECT_EQ(outcome.result, (nlohmann::json{{"ok", false}, {"verified", false}, {"errno", code}}))
      << outcome.result.dump();
}

bool setFlag(int fd, int flag, bool on) {
  int flags = 0;
  if (ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0) return false;
  flags = on ? (flags | flag) : (flags & ~flag);
  return ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
}

std::map<std::string, std::string> attributesOf(const std::string& path) {
  std::map<std::string, std::string> attributes;
  char names[65536];
  const ssize_t length = llistxattr(path.c_str(), names, sizeof names);
  for (ssize_t at = 0; at < length; at += std::strlen(names + at) + 1) {
    static char value[65536];
    const ssize_t size = lgetxattr(path.c_str(), names + at, value, sizeof value);
    attributes[names + at] = std::string(value, size < 0 ? 0 : size);
  }
  return attributes;
}

std::string aclText(const std::string& path, acl_type_t type) {
  acl_t acl = acl_get_file(path.c_str(), type);
  if (acl == nullptr) return "none";
  char* text = acl_to_any_text(acl, nullptr, ',', 0);
  std::string result = text;
  acl_free(text);
  acl_free(acl);
  return result;
}

// What a metadata copy must carry, read back with independent calls.
void expectSameMetadata(const std::string& source, const std::string& destination) {
  struct stat s {
  }, d{};
  ASSERT_EQ(lstat(source.c_str(), &s), 0);
  ASSERT_EQ(lstat(destination.c_str(), &d), 0);
  EXPECT_EQ(s.st_mode, d.st_mode);
  EXPECT_EQ(s.st_uid, d.st_uid);
  EXPECT_EQ(s.st_gid, d.st_gid);
  EXPECT_EQ(s.st_mtim.tv_sec, d.st_mtim.tv_sec);
  EXPECT_EQ(s.st_mtim.tv_nsec, d.st_mtim.tv_nsec);
  EXPECT_EQ(s.st_atim.tv_sec, d.st_atim.tv_sec);
  EXPECT_EQ(s.st_atim.tv_nsec, d.st_atim.tv_nsec);
  EXPECT_EQ(attributesOf(source), attributesOf(destination));
  EXPECT_EQ(aclText(source, ACL_TYPE_ACCESS), aclText(destination, ACL_TYPE_ACCESS));
  if (S_ISDIR(s.st_mode)) {
    EXPECT_EQ(aclText(source, ACL_TYPE_DEFAULT), aclText(destination, ACL_TYPE_DEFAULT));
  }
}

void expectAttested(const nlohmann::json& state, const std::string& path) {
  struct stat s {};
  ASSERT_EQ(lstat(path.c_str(), &s), 0);
  ASSERT_EQ(state.size(), 7u) << state.dump();
  for (const auto& [key, value] : state.items()) EXPECT_TRUE(value.is_string()) << key;
  EXPECT_EQ(state["dev"], std::to_string(s.st_dev));
  EXPECT_EQ(state["ino"], std::to_string(s.st_ino));
  EXPECT_EQ(state["size"], std::to_string(s.st_size));
  EXPECT_EQ(state["mtimeSec"], std::to_string(s.st_mtim.tv_sec));
  EXPECT_EQ(state["mtimeNsec"], std::to_string(s.st_mtim.tv_nsec));
  EXPECT_EQ(state["ctimeNsec"], std::to_string(s.st_ctim.tv_nsec));
}

// Attributes of every size class (empty, small, 60 KiB: tmpfs keeps large
// values, ext4 does not), an extended access ACL, odd mode bits and
// nanosecond times.
void giveRichMetadata(const std::string& path, mode_t mode) {
  ASSERT_EQ(setxattr(path.c_str(), "user.empty", "", 0, 0), 0);
  ASSERT_EQ(setxattr(path.c_str(), "user.small", "value", 5, 0), 0);
  const std::string big(60 * 1024, 'b');
  ASSERT_EQ(setxattr(path.c_str(), "user.big", big.data(), big.size(), 0), 0) << errno;
  acl_t acl = acl_from_text("u::rwx,u:1:rw-,g::r-x,m::rwx,o::--x");
  ASSERT_EQ(acl_set_file(path.c_str(), ACL_TYPE_ACCESS, acl), 0);
  acl_free(acl);
  ASSERT_EQ(chmod(path.c_str(), mode), 0);
  if (geteuid() == 0) {
    ASSERT_EQ(lchown(path.c_str(), 1234, 2345), 0);
  }
  const struct timespec times[2] = {{1000, 5}, {1700000000, 123456789}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

// A destination with leftovers that the copy must remove.
void giveStaleMetadata(const std::string& path) {
  ASSERT_EQ(setxattr(path.c_str(), "user.stale", "old", 3, 0), 0);
  acl_t acl = acl_from_text("u::rw-,u:2:r--,g::---,m::r--,o::---");
  ASSERT_EQ(acl_set_file(path.c_str(), ACL_TYPE_ACCESS, acl), 0);
  acl_free(acl);
}

TEST(MetadataCopyJob, RefusesAWrongCountBeforeReadingAndAMissingSourceWithEbadf) {
  // No descriptor is handed over: reading one would give 9, not 22.
  expectFailure(runCopy(-1, -1, {"--copy-metadata-fd", "3", "4"}), 22);
  TempDir dir;
  testing::writeFile(dir.at("d"), "x");
  Fd destination(openItem(dir.at("d")));
  expectFailure(runCopy(-1, destination.fd), 9);
}

TEST(MetadataCopyJob, RefusesItemsOfWrongOrDifferentKindsTheSameItemAndSharedFiles) {
  TempDir dir;
  testing::writeFile(dir.at("file"), "data");
  testing::writeFile(dir.at("other"), "data");
  mkdir(dir.at("folder").c_str(), 0755);
  mkdir(dir.at("folder2").c_str(), 0755);
  mkdir(dir.at("folder2/sub").c_str(), 0755);  // a folder's link count is no reason
  ASSERT_EQ(link(dir.at("file").c_str(), dir.at("hard").c_str()), 0);
  symlink("file", dir.at("link").c_str());
  mkfifo(dir.at("fifo").c_str(), 0644);
  Fd file(openItem(dir.at("file"))), other(openItem(dir.at("other"))),
      folder(openItem(dir.at("folder"))), folder2(openItem(dir.at("folder2"))),
      again(openItem(dir.at("file"))), hard(openItem(dir.at("hard"))),
      link(openItem(dir.at("link"), O_PATH | O_NOFOLLOW)),
      fifo(openItem(dir.at("fifo"), O_RDONLY | O_NONBLOCK)), device(openItem("/dev/null"));

  expectFailure(runCopy(file.fd, folder.fd), 22);
  expectFailure(runCopy(folder.fd, file.fd), 22);
  expectFailure(runCopy(file.fd, file.fd), 22);
  expectFailure(runCopy(file.fd, again.fd), 22);
  expectFailure(runCopy(hard.fd, file.fd), 22);
  expectFailure(runCopy(other.fd, file.fd), 22);  // "file" has two links
  for (int odd : {link.fd, fifo.fd, device.fd}) expectFailure(runCopy(odd, other.fd), 22);
  EXPECT_EQ(runCopy(folder.fd, folder2.fd).status, 0);
}

TEST(MetadataCopyJob, LockedItems) {
  if (geteuid() != 0) {
    GTEST_SKIP() << "needs root";
  }
  TempDir dir;
  testing::writeFile(dir.at("source"), "data");
  testing::writeFile(dir.at("destination"), "data");
  ASSERT_EQ(setxattr(dir.at("source").c_str(), "user.new", "1", 1, 0), 0);
  ASSERT_EQ(chmod(dir.at("source").c_str(), 0600), 0);
  ASSERT_EQ(chmod(dir.at("destination").c_str(), 0644), 0);
  Fd source(openItem(dir.at("source"))), destination(openItem(dir.at("destination")));

  for (int lock : {FS_IMMUTABLE_FL, FS_APPEND_FL}) {
    ASSERT_TRUE(setFlag(source.fd, lock, true));
    const CopyOutcome outcome = runCopy(source.fd, destination.fd);
    ASSERT_TRUE(setFlag(source.fd, lock, false));
    expectFailure(outcome, 22);
    EXPECT_TRUE(attributesOf(dir.at("destination")).empty());
    struct stat d {};
    stat(dir.at("destination").c_str(), &d);
    EXPECT_EQ(d.st_mode & 07777, 0644u);
  }
  // A locked destination passes the checks; its first refusing call ends the copy.
  ASSERT_TRUE(setFlag(destination.fd, FS_IMMUTABLE_FL, true));
  const CopyOutcome outcome = runCopy(source.fd, destination.fd);
  ASSERT_TRUE(setFlag(destination.fd, FS_IMMUTABLE_FL, false));
  expectFailure(outcome, 1);
}

TEST(MetadataCopyJob, AWriterAppendingToTheSourceMakesItStale) {
  TempDir dir("/dev/shm");
  testing::writeFile(dir.at("source"), "");
  testing::writeFile(dir.at("destination"), "");
  // Values to read keep the job busy for some milliseconds, so that the
  // writer gets to run while it reads.
  const std::string value(60 * 1024, 'v');
  for (int i = 0; i < 100; ++i) {
    const std::string name = "user.a" + std::to_string(i);
    ASSERT_EQ(setxattr(dir.at("source").c_str(), name.c_str(), value.data(), value.size(), 0), 0);
  }
  Fd source(openItem(dir.at("source"))), destination(openItem(dir.at("destination")));
  Fd writer(openItem(dir.at("source"), O_WRONLY | O_APPEND));
  // A machine too busy to run the writer during one job gives the job a
  // fair success; it must never give anything but that or 70.
  CopyOutcome outcome{0, nlohmann::json::object()};
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

TEST(MetadataCopyJob, ASourceWithoutAclOrAttributesClearsTheDestinations) {
  TempDir dir;
  testing::writeFile(dir.at("source"), "");
  testing::writeFile(dir.at("destination"), "");
  giveStaleMetadata(dir.at("destination"));
  Fd source(openItem(dir.at("source"))), destination(openItem(dir.at("destination")));
  EXPECT_EQ(runCopy(source.fd, destination.fd).status, 0);
  EXPECT_EQ(acl_extended_file(dir.at("destination").c_str()), 0);
  EXPECT_TRUE(attributesOf(dir.at("destination")).empty());
  expectSameMetadata(dir.at("source"), dir.at("destination"));
}

class MetadataCopySuccess : public ::testing::TestWithParam<bool> {};

TEST_P(MetadataCopySuccess, CopiesEverythingAndProvesIt) {
  const bool folders = GetParam();
  TempDir dir("/dev/shm");
  const std::string source = dir.at("source"), destination = dir.at("destination");
  if (folders) {
    ASSERT_EQ(mkdir(source.c_str(), 0700), 0);
    ASSERT_EQ(mkdir(destination.c_str(), 0755), 0);
    acl_t defaults = acl_from_text("u::rwx,u:3:r-x,g::r-x,m::r-x,o::---");
    ASSERT_EQ(acl_set_file(source.c_str(), ACL_TYPE_DEFAULT, defaults), 0);
    acl_free(defaults);
    giveRichMetadata(source, 02751);
  } else {
    testing::writeFile(source, "source data");
    testing::writeFile(destination, "dest");
    giveRichMetadata(source, 0751);
  }
  giveStaleMetadata(destination);
  Fd s(openItem(source)), d(openItem(destination));
  if (geteuid() == 0) {
    ASSERT_TRUE(setFlag(s.fd, FS_NODUMP_FL, true));
  }
  struct stat before {};
  ASSERT_EQ(stat(destination.c_str(), &before), 0);

  const CopyOutcome outcome = runCopy(s.fd, d.fd);
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.result["ok"], true);
  EXPECT_EQ(outcome.result["verified"], true);
  EXPECT_EQ(outcome.result["errno"], 0);
  ASSERT_EQ(outcome.result.size(), 5u) << outcome.result.dump();
  expectAttested(outcome.result["source"], source);
  expectAttested(outcome.result["destination"], destination);
  expectSameMetadata(source, destination);
  if (!folders) {
    EXPECT_EQ(outcome.result["destination"]["size"], std::to_string(before.st_size));
    // Reading the data last: it moves the access time.
    EXPECT_EQ(testing::readFile(destination), "dest");
  }
  EXPECT_EQ(attributesOf(destination).count("user.stale"), 0u);
  EXPECT_EQ(attributesOf(destination)["user.big"].size(), 60u * 1024);
  int flags = 0;
  ASSERT_EQ(ioctl(d.fd, FS_IOC_GETFLAGS, &flags), 0);
  EXPECT_EQ((flags & FS_NODUMP_FL) != 0, geteuid() == 0);
  if (geteuid() != 0) std::printf("owner change not tested: needs root\n");
  if (geteuid() == 0) {
    ASSERT_TRUE(setFlag(s.fd, FS_NODUMP_FL, false));
  }
}

INSTANTIATE_TEST_SUITE_P(FilesAndFolders, MetadataCopySuccess, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Folders" : "Files"; });

}  // namespace
}  // namespace fileprobe
