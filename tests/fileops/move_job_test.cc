// The move job as a caller sees it: the built program run as a child.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <thread>

#include "support/child_process.h"
#include "support/temp_dir.h"

namespace fileprobe {
namespace {

using testing::readFile;
using testing::TempDir;
using testing::writeFile;

struct Identity {
  std::string device, inode;
};

Identity identityOf(const std::string& path) {
  struct stat status {};
  EXPECT_EQ(lstat(path.c_str(), &status), 0) << path;
  return {std::to_string(status.st_dev), std::to_string(status.st_ino)};
}

bool exists(const std::string& path) {
  struct stat status {};
  return lstat(path.c_str(), &status) == 0;
}

// Runs the job and returns the errno it reported, after checking that the
// line, the exit status and the silence of standard error agree with it.
int moveErrno(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), "--move-exclusive");
  const testing::ChildOutcome outcome = testing::runFileprobe(arguments);
  int reported = -1;
  char ok[8] = {};
  EXPECT_EQ(std::sscanf(outcome.out.c_str(), R"({"ok":%5[a-z],"errno":%d})", ok, &reported), 2);
  const std::string expected = std::string(R"({"ok":)") + (reported == 0 ? "true" : "false") +
                               R"(,"errno":)" + std::to_string(reported) + "}\n";
  EXPECT_EQ(outcome.out, expected);
  EXPECT_TRUE(outcome.exited);
  EXPECT_EQ(outcome.exitStatus, reported == 0 ? 0 : 3);
  EXPECT_EQ(outcome.err, "");
  return reported;
}

int moveErrno(const std::string& source, const std::string& destination) {
  const Identity id = identityOf(source);
  return moveErrno({source, destination, id.device, id.inode});
}

TEST(MoveJob, RefusesMalformedRequestsWith22AndMovesNothing) {
  TempDir dir;
  writeFile(dir.at("item"), "x");
  const Identity id = identityOf(dir.at("item"));
  const std::string to = dir.at("moved");
  const std::vector<std::vector<std::string>> refused = {
      {dir.at("item"), to, id.device},
      {dir.at("item"), to, id.device, id.inode, "extra"},
      {"tmp/item", to, id.device, id.inode},
      {dir.at("item"), "moved", id.device, id.inode},
      {dir.at("item"), to, "-1", id.inode},
      {dir.at("item"), to, " " + id.device, id.inode},
      {dir.at("item"), to, id.device, "0x10"},
      {dir.at("item"), to, "", id.inode},
      {dir.at("item"), to, id.device, "18446744073709551616"},
      {dir.at("item/"), to, id.device, id.inode},
      {dir.at("item"), to + "/", id.device, id.inode},
      {dir.path() + "//item", to, id.device, id.inode},
      {dir.at("item"), dir.path() + "/./moved", id.device, id.inode},
      {dir.at("../") + std::filesystem::path(dir.path()).filename().string() + "/item", to,
       id.device, id.inode},
      {dir.at("item"), dir.at("."), id.device, id.inode},
      {"/", to, id.device, id.inode},
      {dir.at("item"), "/", id.device, id.inode},
  };
  for (const auto& arguments : refused) EXPECT_EQ(moveErrno(arguments), 22) << arguments[0];
  EXPECT_TRUE(exists(dir.at("item")));
  EXPECT_FALSE(exists(to));
  // "-0" is a valid number, so this reaches the identity check.
  EXPECT_EQ(moveErrno({dir.at("item"), to, "-0", id.inode}), 70);
  EXPECT_EQ(moveErrno({dir.at("item"), to, "+" + id.device, "+" + id.inode}), 0);
}

TEST(MoveJob, RefusesAnotherOrAReplacedItemOrANonFileWith70) {
  TempDir dir;
  writeFile(dir.at("item"), "old");
  writeFile(dir.at("other"), "other");
  const Identity old = identityOf(dir.at("item"));
  const Identity other = identityOf(dir.at("other"));
  EXPECT_EQ(moveErrno({dir.at("item"), dir.at("to"), other.device, other.inode}), 70);
  EXPECT_EQ(moveErrno({dir.at("item"), dir.at("to"), old.device + "1", old.inode}), 70);
  rename(dir.at("other").c_str(), dir.at("item").c_str());  // replaced after the caller looked
  EXPECT_EQ(moveErrno({dir.at("item"), dir.at("to"), old.device, old.inode}), 70);

  symlink(dir.at("item").c_str(), dir.at("link").c_str());
  mkfifo(dir.at("fifo").c_str(), 0600);
  const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, dir.at("sock").c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  for (const char* name : {"link", "fifo", "sock"}) {
    EXPECT_EQ(moveErrno(dir.at(name), dir.at(std::string(name) + ".moved")), 70) << name;
    EXPECT_TRUE(exists(dir.at(name)));
  }
  close(sock);
  EXPECT_FALSE(exists(dir.at("to")));
  EXPECT_EQ(readFile(dir.at("item")), "other");
}

TEST(MoveJob, NeverReplacesAnExistingDestination) {
  TempDir dir;
  writeFile(dir.at("item"), "item");
  writeFile(dir.at("file"), "file");
  mkdir(dir.at("folder").c_str(), 0755);
  writeFile(dir.at("folder/inside"), "inside");
  symlink(dir.at("file").c_str(), dir.at("link").c_str());
  symlink(dir.at("missing").c_str(), dir.at("dangling").c_str());
  for (const char* name : {"file", "folder", "link", "dangling"})
    EXPECT_EQ(moveErrno(dir.at("item"), dir.at(name)), 17) << name;
  EXPECT_EQ(readFile(dir.at("item")), "item");
  EXPECT_EQ(readFile(dir.at("file")), "file");
  EXPECT_EQ(readFile(dir.at("folder/inside")), "inside");
  EXPECT_EQ(readFile(dir.at("link")), "file");
  EXPECT_FALSE(exists(dir.at("missing")));
}

TEST(MoveJob, ReportsExdevAcrossFileSystems) {
  TempDir here;
  TempDir shm("/dev/shm");
  writeFile(here.at("item"), "item");
  bool mounted = false;
  if (identityOf(shm.path()).device == identityOf(here.path()).device) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root (to mount a tmpfs) or a separate /dev/shm";
    ASSERT_EQ(mount("tmpfs", shm.path().c_str(), "tmpfs", 0, "size=1m"), 0);
    mounted = true;
  }
  EXPECT_EQ(moveErrno(here.at("item"), shm.at("item")), 18);
  EXPECT_TRUE(exists(here.at("item")));
  EXPECT_FALSE(exists(shm.at("item")));
  if (mounted) umount2(shm.path().c_str(), MNT_DETACH);
}

TEST(MoveJob, FailsWithTheSystemErrorForALinkedOrMissingParent) {
  TempDir dir;
  mkdir(dir.at("real").c_str(), 0755);
  writeFile(dir.at("real/item"), "item");
  symlink(dir.at("real").c_str(), dir.at("link").c_str());
  const int throughSource = moveErrno(dir.at("link/item"), dir.at("moved"));
  EXPECT_TRUE(throughSource == 62 || throughSource == 20) << throughSource;
  const int throughDestination = moveErrno(dir.at("real/item"), dir.at("link/moved"));
  EXPECT_TRUE(throughDestination == 62 || throughDestination == 20) << throughDestination;
  EXPECT_EQ(moveErrno(dir.at("real/item"), dir.at("missing/moved")), 2);
  EXPECT_TRUE(exists(dir.at("real/item")));
  EXPECT_FALSE(exists(dir.at("moved")) || exists(dir.at("real/moved")));
}

TEST(MoveJob, MovesAFileAndAFolderWithItsContentsAndRenamesInPlace) {
  TempDir dir;
  mkdir(dir.at("to").c_str(), 0755);
  mkdir(dir.at("folder").c_str(), 0755);
  writeFile(dir.at("folder/inside"), "inside");
  writeFile(dir.at("file"), "file");
  const Identity file = identityOf(dir.at("file"));
  EXPECT_EQ(moveErrno(dir.at("file"), dir.at("to/file")), 0);
  EXPECT_EQ(identityOf(dir.at("to/file")).inode, file.inode);
  EXPECT_EQ(moveErrno(dir.at("folder"), dir.at("to/folder")), 0);
  EXPECT_EQ(readFile(dir.at("to/folder/inside")), "inside");
  EXPECT_EQ(moveErrno(dir.at("to/file"), dir.at("to/renamed")), 0);
  EXPECT_EQ(readFile(dir.at("to/renamed")), "file");
  EXPECT_FALSE(exists(dir.at("file")) || exists(dir.at("folder")) || exists(dir.at("to/file")));
}

// Another thread keeps exchanging a parent folder with a link to a second
// folder. Every move either lands in the real folder or fails at the link;
// nothing ever reaches the second folder.
TEST(MoveJob, NeverMovesThroughAParentSwappedForALink) {
  constexpr int kMoves = 200;
  TempDir dir;
  for (const char* name : {"stable", "parent", "second"}) mkdir(dir.at(name).c_str(), 0755);
  symlink(dir.at("second").c_str(), dir.at("swap").c_str());
  std::vector<Identity> items;
  for (int i = 0; i < kMoves; ++i) {
    // Even items move into the swapped parent, odd ones out of it.
    const std::string path = dir.at((i % 2 ? "parent/" : "stable/") + std::to_string(i));
    writeFile(path, std::to_string(i));
    items.push_back(identityOf(path));
  }
  std::atomic<bool> stop = false;
  std::atomic<int> swaps = 0;
  std::thread swapper([&] {
    while (!stop) {
      renameat2(AT_FDCWD, dir.at("parent").c_str(), AT_FDCWD, dir.at("swap").c_str(),
                RENAME_EXCHANGE);
      ++swaps;
    }
  });
  std::vector<int> results;
  for (int i = 0; i < kMoves; ++i) {
    const std::string inParent = dir.at("parent/" + std::to_string(i));
    const std::string inStable = dir.at("stable/" + std::to_string(i));
    results.push_back(moveErrno({i % 2 ? inParent : inStable, i % 2 ? inStable : inParent,
                                 items[i].device, items[i].inode}));
  }
  stop = true;
  swapper.join();
  struct stat status {};
  lstat(dir.at("parent").c_str(), &status);
  if (S_ISLNK(status.st_mode))
    renameat2(AT_FDCWD, dir.at("parent").c_str(), AT_FDCWD, dir.at("swap").c_str(),
              RENAME_EXCHANGE);
  EXPECT_GT(swaps, 0);
  // Both outcomes occur, so the swap really raced the moves.
  EXPECT_GT(std::count(results.begin(), results.end(), 0), 0);
  EXPECT_LT(std::count(results.begin(), results.end(), 0), kMoves);
  EXPECT_TRUE(std::filesystem::is_empty(dir.at("second")));
  for (int i = 0; i < kMoves; ++i) {
    EXPECT_TRUE(results[i] == 0 || results[i] == 62 || results[i] == 20) << results[i];
    const bool movedIn = i % 2 == 0;
    const bool landed = results[i] == 0;
    const std::string where =
        dir.at((movedIn == landed ? "parent/" : "stable/") + std::to_string(i));
    EXPECT_EQ(readFile(where), std::to_string(i)) << where;
  }
}

}  // namespace
}  // namespace fileprobe
