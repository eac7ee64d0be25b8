#include "fileops/metadata_copy_job.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <thread>

#include "race_iterations.h"
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

// The standard output of a shell command; the tools of attr, acl and
// e2fsprogs read and set what the job copies, independently of it.
std::string shell(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  EXPECT_EQ(pclose(pipe), 0) << command;
  return out;
}

// Mode, owner, group, access and modification times with nanoseconds,
// nodump and the other inode flags, both ACLs, every attribute and value.
std::string metadataOf(const std::string& path) {
  return shell("stat -c '%f %u:%g %x %y' " + path + "; lsattr -d " + path +
               " | cut -d' ' -f1; getfacl -cnp " + path + "; getfattr -d -m - -e hex " + path +
               " 2>/dev/null | tail -n +2");
}

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

TEST(MetadataCopyJob, RefusesAWrongCountBeforeReadingAndAMissingSourceWithEbadf) {
  // No descriptor is handed over: reading one would give 9, not 22.
  expectFailure(runCopy(-1, -1, {"--copy-metadata-fd", "3", "4"}), 22);
  TempDir dir;
  testing::writeFile(dir.at("d"), "x");
  expectFailure(runCopy(-1, Fd(dir.at("d")).fd), 9);
}

TEST(MetadataCopyJob, RefusesOddKindsTheSameItemAndSharedFiles) {
  TempDir dir;
  // A folder's link count is no reason to refuse it: folder2 has three.
  shell("cd " + dir.path() +
        " && echo a > file && echo b > other && mkdir -p folder folder2/sub && ln file hard && "
        "ln -s file link");
  Fd file(dir.at("file")), other(dir.at("other")), folder(dir.at("folder")),
      folder2(dir.at("folder2")), again(dir.at("file")), hard(dir.at("hard")),
      link(dir.at("link"), O_PATH | O_NOFOLLOW), device("/dev/null");
  // Mixed kinds, one item twice, a shared source or destination ("file" has
  // two links), a link and a device.
  for (const auto& [source, destination] : {std::pair{file.fd, folder.fd},
                                            {folder.fd, file.fd},
                                            {file.fd, again.fd},
                                            {hard.fd, file.fd},
                                            {other.fd, file.fd},
                                            {link.fd, other.fd},
                                            {device.fd, other.fd}})
    expectFailure(runCopy(source, destination), 22);
  EXPECT_EQ(runCopy(folder.fd, folder2.fd).status, 0);
}

TEST(MetadataCopyJob, LockedItems) {
  if (geteuid() != 0) {
    GTEST_SKIP() << "needs root";
  }
  TempDir dir;
  const std::string source = dir.at("source"), destination = dir.at("destination");
  shell("echo a > " + source + " && echo b > " + destination + " && chmod 600 " + source +
        " && setfattr -n user.new -v 1 " + source);
  Fd s(source), d(destination);
  const std::string untouched = metadataOf(destination);
  for (const std::string lock : {"i", "a"}) {
    shell("chattr +" + lock + " " + source);
    const CopyOutcome outcome = runCopy(s.fd, d.fd);
    shell("chattr -" + lock + " " + source);
    expectFailure(outcome, 22);
    EXPECT_EQ(metadataOf(destination), untouched);
  }
  // A locked destination passes the checks; its first refusing call (EPERM) ends the copy.
  shell("chattr +i " + destination);
  const CopyOutcome outcome = runCopy(s.fd, d.fd);
  shell("chattr -i " + destination);
  expectFailure(outcome, 1);
}

TEST(MetadataCopyJob, RaceWriterAppendingToTheSourceMakesItStale) {
  TempDir dir("/dev/shm");
  // Values to read keep the job busy for milliseconds, so that the writer
  // runs while it reads.
  shell("cd " + dir.path() + " && : > source && : > destination && v=$(head -c 61440 /dev/zero" +
        " | tr '\\0' v) && for i in $(seq 100); do setfattr -n user.a$i -v $v source; done");
  Fd source(dir.at("source")), destination(dir.at("destination"));
  Fd writer(dir.at("source"), O_WRONLY | O_APPEND);
  // A machine too busy to run the writer during a job gives that job a fair
  // success; it must never give anything but that or 70, and must give 70 at
  // least once.
  int stale = 0;
  for (int attempt = 0; attempt < testing::raceIterations(5); ++attempt) {
    ASSERT_EQ(ftruncate(writer.fd, 0), 0);  // long runs would otherwise fill the memory
    std::atomic<bool> stop = false;
    std::atomic<long> written = 0;
    std::thread appender([&] {
      // Bounded, so that a test that goes wrong cannot fill the memory.
      for (long i = 0; i < 20'000'000 && !stop; ++i) written += write(writer.fd, "x", 1);
    });
    while (written == 0) std::this_thread::yield();
    const CopyOutcome outcome = runCopy(source.fd, destination.fd);
    stop = true;
    appender.join();
    if (outcome.status != 0) expectFailure(outcome, 70);
    stale += outcome.status != 0;
  }
  EXPECT_GT(stale, 0) << "the writer never raced a copy";
}

// A file system mounted through mount(8) (which sets up a loop device when
// asked) on a fresh temporary folder, unmounted when the test ends.
struct ScratchMount {
  TempDir dir;
  bool mounted;
  explicit ScratchMount(const std::string& what)
      : mounted(std::system(("mount " + what + " " + dir.path() + " 2>/dev/null").c_str()) == 0) {}
  ~ScratchMount() {
    if (mounted) std::system(("umount " + dir.path()).c_str());
  }
};

std::string modeAndTimesOf(const std::string& path) { return shell("stat -c '%f %x %y' " + path); }

// ramfs answers EOPNOTSUPP to every attribute and ACL call: its items have
// none, and only a source that has some cannot be copied onto it.
TEST(MetadataCopyJob, OntoAFileSystemWithoutAttributesCopiesAllItCanHoldAndRefusesTheRest) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to mount a ramfs";
  ScratchMount ramfs("-t ramfs ramfs");
  if (!ramfs.mounted) GTEST_SKIP() << "ramfs cannot be mounted here";
  TempDir disk;
  const std::string onRamfs = ramfs.dir.at("source"), onDisk = disk.at("source"),
                    destination = ramfs.dir.at("destination");
  for (const std::string& source : {onRamfs, onDisk}) {
    shell("echo a > " + source + " && chmod 640 " + source + " && touch -d '@1700000000.5' " +
          source);
  }
  shell("echo b > " + destination);
  for (const std::string& source : {onRamfs, onDisk}) {
    shell("chmod 600 " + destination + " && touch -d '@1000' " + destination);
    const CopyOutcome outcome = runCopy(Fd(source).fd, Fd(destination).fd);
    EXPECT_EQ(outcome.status, 0) << source << " " << outcome.result;
    EXPECT_EQ(modeAndTimesOf(destination), modeAndTimesOf(source)) << source;
  }
  // Nothing of the source is ever dropped: EOPNOTSUPP, macOS's 45.
  shell("setfattr -n user.kept -v 1 " + onDisk);
  expectFailure(runCopy(Fd(onDisk).fd, Fd(destination).fd), 45);
  shell("setfattr -x user.kept " + onDisk + " && setfacl -m u:1:r " + onDisk);
  expectFailure(runCopy(Fd(onDisk).fd, Fd(destination).fd), 45);
}

// The compression flag (chattr +c) says how the file system stores the
// data; it is no metadata the copy carries. btrfs keeps it as its
// btrfs.compression attribute too, which the copy does carry; ext4 keeps the
// bare flag, which nothing copies.
class CompressedSource : public ::testing::TestWithParam<std::string> {};

TEST_P(CompressedSource, CopiesAndVerifies) {
  const std::string& type = GetParam();
  if (geteuid() != 0) GTEST_SKIP() << "needs root to mount a " << type << " image";
  TempDir images;
  const std::string image = images.at(type + ".img");
  const std::string make = type == "btrfs" ? "mkfs.btrfs -q " : "mkfs.ext4 -q -F ";
  shell("truncate -s 128M " + image + " && " + make + image + " >/dev/null 2>&1 || true");
  ScratchMount mounted("-t " + type + " -o loop " + image);
  if (!mounted.mounted) GTEST_SKIP() << "a " << type << " image cannot be mounted here";
  const std::string source = mounted.dir.at("source"), destination = mounted.dir.at("destination");
  shell("echo a > " + source + " && chattr +c " + source + " && echo b > " + destination);
  ASSERT_NE(shell("lsattr " + source + " | cut -d' ' -f1").find('c'), std::string::npos);
  const CopyOutcome outcome = runCopy(Fd(source).fd, Fd(destination).fd);
  EXPECT_EQ(outcome.status, 0) << outcome.result;
  EXPECT_EQ(modeAndTimesOf(destination), modeAndTimesOf(source));
}

INSTANTIATE_TEST_SUITE_P(FileSystems, CompressedSource, ::testing::Values("btrfs", "ext4"));

enum class Items { files, folders, bareSource };

class MetadataCopySuccess : public ::testing::TestWithParam<Items> {};

// Attributes of every size class (60 KiB needs tmpfs: ext4 keeps a file's
// attributes in one block), ACLs, odd mode bits, nanosecond times, nodump
// and another owner when root, onto a destination with leftovers that the
// copy must remove.
TEST_P(MetadataCopySuccess, CopiesEverythingAndProvesIt) {
  TempDir dir("/dev/shm");
  const std::string source = dir.at("source"), destination = dir.at("destination");
  const bool folders = GetParam() == Items::folders;
  shell(folders ? "mkdir -m 700 " + source + " " + destination + " && setfacl -d -m u:3:rx,o::- " +
                      source
                : "echo source data > " + source + " && echo dest > " + destination);
  if (GetParam() != Items::bareSource) {
    shell("setfattr -n user.big -v $(head -c 61440 /dev/zero | tr '\\0' b) " + source +
          " && setfattr -n user.empty " + source + " && setfattr -n user.small -v value " + source +
          " && setfacl -m u:1:rw,m::rwx " + source + " && chmod " + (folders ? "2751 " : "0751 ") +
          source + " && touch -a -d '@1000.000000005' " + source +
          " && touch -m -d '@1700000000.123456789' " + source +
          (geteuid() == 0 ? " && chown 1234:2345 " + source + " && chattr +d " + source : ""));
  }
  shell("setfattr -n user.stale -v old " + destination + " && setfacl -m u:2:r " + destination);
  Fd s(source), d(destination);

  const CopyOutcome outcome = runCopy(s.fd, d.fd);
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.result.size(), 5u);
  EXPECT_EQ(outcome.result.value("ok", false) && outcome.result.value("verified", false), true);
  EXPECT_EQ(outcome.result.value("errno", -1), 0);
  for (const auto& [key, path] : {std::pair{"source", source}, {"destination", destination}}) {
    // Seven strings; the destination's size shows its data untouched.
    EXPECT_EQ(outcome.result[key].size(), 7u);
    EXPECT_EQ(outcome.result[key].value("ino", "") + " " + outcome.result[key].value("size", ""),
              shell("stat -c '%i %s' " + path + " | tr -d '\\n'"));
  }
  EXPECT_EQ(metadataOf(destination), metadataOf(source));
  EXPECT_EQ(metadataOf(destination).find("user.stale"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Kinds, MetadataCopySuccess,
                         ::testing::Values(Items::files, Items::folders, Items::bareSource));

}  // namespace
}  // namespace fileprobe
