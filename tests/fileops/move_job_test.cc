// The move job as a caller sees it: the built program run as a child.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <thread>

#include "fileops/move_job.h"
#include "race_iterations.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace fileprobe {
namespace {

using testing::readFile;
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
  return std::filesystem::symlink_status(path).type() != std::filesystem::file_type::not_found;
}

// The errno the job reported, once its line, exit status and silent standard
// error are checked against it.
int moveErrno(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), "--move-exclusive");
  const testing::ChildOutcome outcome = testing::runFileprobe(arguments);
  EXPECT_EQ(outcome.err, "");
  int reported = 0;
  if (outcome.out != "{\"ok\":true,\"errno\":0}\n") {
    EXPECT_EQ(std::sscanf(outcome.out.c_str(), R"({"ok":false,"errno":%d})", &reported), 1);
    EXPECT_EQ(outcome.out, R"({"ok":false,"errno":)" + std::to_string(reported) + "}\n");
  }
  EXPECT_EQ(outcome.exitStatus, reported == 0 ? 0 : 3);
  return reported;
}

int moveErrno(const std::string& source, const std::string& destination) {
  const Identity id = identityOf(source);
  return moveErrno({source, destination, id.device, id.inode});
}

// The number shapes themselves are proven by the decimal reader's own test;
// here one bad number per argument shows the wiring.
TEST(MoveJob, RefusesMalformedRequestsWith22AndMovesNothing) {
  testing::TempDir dir;
  writeFile(dir.at("item"), "x");
  const auto [dev, ino] = identityOf(dir.at("item"));
  const std::string item = dir.at("item"), to = dir.at("to");
  for (const std::string& bad : {dir.path() + "//item", dir.at("./item"), dir.at("x/../item"),
                                 item + "/", std::string("relative"), std::string("/")}) {
    EXPECT_EQ(moveErrno({bad, to, dev, ino}), 22) << bad;
    EXPECT_EQ(moveErrno({item, bad, dev, ino}), 22) << bad;
  }
  for (const auto& arguments : {std::vector<std::string>{item, to, dev},
                                {item, to, dev, ino, "x"},
                                {item, to, "-1", ino},
                                {item, to, dev, "0x10"}})
    EXPECT_EQ(moveErrno(arguments), 22) << arguments.size();
  EXPECT_FALSE(exists(to));
  EXPECT_EQ(moveErrno({item, to, "-0", ino}), 70);  // a valid number, not this device
  EXPECT_EQ(moveErrno({item, to, "+" + dev, "+" + ino}), 0);
}

TEST(MoveJob, RefusesAnotherOrAReplacedItemOrANonFileWith70) {
  testing::TempDir dir;
  writeFile(dir.at("item"), "old");
  writeFile(dir.at("other"), "other");
  const Identity old = identityOf(dir.at("item")), other = identityOf(dir.at("other"));
  EXPECT_EQ(moveErrno({dir.at("item"), dir.at("to"), other.device, other.inode}), 70);
  EXPECT_EQ(moveErrno({dir.at("item"), dir.at("to"), old.device + "1", old.inode}), 70);
  rename(dir.at("other").c_str(), dir.at("item").c_str());  // replaced after the caller looked
  EXPECT_EQ(moveErrno({dir.at("item"), dir.at("to"), old.device, old.inode}), 70);
  symlink(dir.at("item").c_str(), dir.at("link").c_str());
  mkfifo(dir.at("fifo").c_str(), 0600);
  for (const char* name : {"link", "fifo"}) EXPECT_EQ(moveErrno(dir.at(name), dir.at("to")), 70);
  EXPECT_FALSE(exists(dir.at("to")));
  EXPECT_EQ(readFile(dir.at("item")), "other");
}

TEST(MoveJob, NeverReplacesAnExistingDestination) {
  testing::TempDir dir;
  writeFile(dir.at("item"), "item");
  mkdir(dir.at("folder").c_str(), 0755);
  writeFile(dir.at("folder/file"), "file");
  symlink(dir.at("folder/file").c_str(), dir.at("link").c_str());
  symlink(dir.at("missing").c_str(), dir.at("dangling").c_str());
  for (const char* name : {"folder/file", "folder", "link", "dangling"})
    EXPECT_EQ(moveErrno(dir.at("item"), dir.at(name)), 17) << name;
  EXPECT_EQ(readFile(dir.at("item")), "item");
  EXPECT_EQ(readFile(dir.at("link")), "file");
  EXPECT_FALSE(exists(dir.at("missing")));
}

TEST(MoveJob, FailsWithTheSystemErrorAcrossFileSystemsOrThroughALinkedOrMissingParent) {
  testing::TempDir dir, shm("/dev/shm");
  mkdir(dir.at("real").c_str(), 0755);
  writeFile(dir.at("real/item"), "item");
  symlink(dir.at("real").c_str(), dir.at("link").c_str());
  // A link met with O_NOFOLLOW | O_DIRECTORY is ENOTDIR (20) on Linux,
  // ELOOP (62) on other kernels.
  for (const int linked : {moveErrno(dir.at("link/item"), dir.at("moved")),
                           moveErrno(dir.at("real/item"), dir.at("link/moved"))})
    EXPECT_TRUE(linked == 20 || linked == 62) << linked;
  EXPECT_EQ(moveErrno(dir.at("real/item"), dir.at("missing/moved")), 2);
  EXPECT_FALSE(exists(dir.at("moved")) || exists(dir.at("real/moved")));

  const bool sameDevice = identityOf(shm.path()).device == identityOf(dir.path()).device;
  if (sameDevice && geteuid() != 0) GTEST_SKIP() << "needs root to mount a second file system";
  if (sameDevice) {
    ASSERT_EQ(mount("tmpfs", shm.path().c_str(), "tmpfs", 0, "size=1m"), 0);
  }
  EXPECT_EQ(moveErrno(dir.at("real/item"), shm.at("item")), 18);
  EXPECT_FALSE(exists(shm.at("item")));
  if (sameDevice) umount2(shm.path().c_str(), MNT_DETACH);
  EXPECT_TRUE(exists(dir.at("real/item")));
}

// A folder moves with its contents; the last move is made by a caller that
// stopped reading, which still learns from the status that it happened.
TEST(MoveJob, MovesAFileAndAFolderAndReportsByStatusWhenNobodyReads) {
  testing::TempDir dir;
  mkdir(dir.at("folder").c_str(), 0755);
  writeFile(dir.at("folder/inside"), "inside");
  writeFile(dir.at("file"), "file");
  EXPECT_EQ(moveErrno(dir.at("folder"), dir.at("moved")), 0);
  EXPECT_EQ(readFile(dir.at("moved/inside")), "inside");
  EXPECT_EQ(moveErrno(dir.at("file"), dir.at("moved/file")), 0);
  const Identity id = identityOf(dir.at("moved/file"));
  testing::ChildRequest request;
  request.arguments = {"--move-exclusive", dir.at("moved/file"), dir.at("renamed"), id.device,
                       id.inode};
  request.closedOutput = true;
  const testing::ChildOutcome outcome = testing::runChild(request);
  EXPECT_EQ(outcome.signal, 0);
  EXPECT_EQ(outcome.exitStatus, 0);
  EXPECT_EQ(readFile(dir.at("renamed")), "file");
  EXPECT_FALSE(exists(dir.at("file")) || exists(dir.at("folder")) || exists(dir.at("moved/file")));
}

// The move in this process, with its calls on names wrapped so that another
// item takes the source name between the identity check and the rename:
// `swap` runs right before the first rename, `afterRename` right after it.
int moveWithSwap(const std::string& from, const std::string& to, const Identity& id,
                 const std::function<void()>& swap, const std::function<void()>& afterRename) {
  MoveOperations operations;
  int renames = 0;
  operations.rename = [&](int fromDirectory, const std::string& fromName, int toDirectory,
                          const std::string& toName) {
    const bool first = renames++ == 0;
    if (first) swap();
    ErrnoOr<void> renamed = renameNoReplace(fromDirectory, fromName, toDirectory, toName);
    if (first) afterRename();
    return renamed;
  };
  const std::vector<std::string> words = {"fileprobe", "--move-exclusive", from,
                                          to,          id.device,          id.inode};
  const int descriptors = testing::openDescriptorCount();
  const ErrnoOr<void> result = moveExclusive(Arguments(words.begin(), words.end()), operations);
  EXPECT_EQ(testing::openDescriptorCount(), descriptors);
  // As the result record reports it.
  return macosErrno(result.error()).value;
}

// Moves `name` aside and puts `replacement` in its place, as another
// process swapping the source between the check and the rename would.
void putAsideFor(const testing::TempDir& dir, std::string_view name, std::string_view replacement) {
  std::filesystem::rename(dir.at(name), dir.at("aside"));
  std::filesystem::rename(dir.at(replacement), dir.at(name));
}

// The swapped-in item is moved back to the source name; when a third item
// has taken that name meanwhile, it stays at the destination. Either way 70.
TEST(MoveJob, AnItemSwappedInBeforeTheRenameIsMovedBackOrLeftWhereItsWayBackIsTakenWith70) {
  for (const bool wayBackTaken : {false, true}) {
    testing::TempDir dir;
    writeFile(dir.at("item"), "identified");
    writeFile(dir.at("other"), "other");
    const Identity id = identityOf(dir.at("item"));
    const auto swap = [&] { putAsideFor(dir, "item", "other"); };
    const auto takeSourceName = [&] {
      if (wayBackTaken) writeFile(dir.at("item"), "third");
    };
    EXPECT_EQ(moveWithSwap(dir.at("item"), dir.at("to"), id, swap, takeSourceName), 70);
    EXPECT_EQ(readFile(dir.at("item")), wayBackTaken ? "third" : "other");
    EXPECT_EQ(exists(dir.at("to")) ? readFile(dir.at("to")) : "", wayBackTaken ? "other" : "");
    EXPECT_EQ(readFile(dir.at("aside")), "identified");
  }
}

// Another thread keeps exchanging a parent folder with a link to a second
// folder. Every move either goes to or from the real folder or fails at the
// link; nothing ever reaches the second folder.
TEST(MoveJob, RaceNeverMovesThroughAParentSwappedForALink) {
  const int moves = testing::raceIterations(200);
  testing::TempDir dir;
  for (const char* name : {"stable", "parent", "second"}) mkdir(dir.at(name).c_str(), 0755);
  symlink(dir.at("second").c_str(), dir.at("swap").c_str());
  const auto swap = [&] {
    renameat2(AT_FDCWD, dir.at("parent").c_str(), AT_FDCWD, dir.at("swap").c_str(),
              RENAME_EXCHANGE);
  };
  // Even items move into the swapped parent, odd ones out of it.
  const auto pathOf = [&](std::size_t i, bool inParent) {
    return dir.at((inParent ? "parent/" : "stable/") + std::to_string(i));
  };
  std::vector<Identity> items;
  for (std::size_t i = 0; i < static_cast<std::size_t>(moves); ++i) {
    writeFile(pathOf(i, i % 2), std::to_string(i));
    items.push_back(identityOf(pathOf(i, i % 2)));
  }
  std::atomic<bool> stop = false;
  std::thread swapper([&] {
    while (!stop) swap();
  });
  std::vector<int> results;
  for (std::size_t i = 0; i < items.size(); ++i)
    results.push_back(
        moveErrno({pathOf(i, i % 2), pathOf(i, !(i % 2)), items[i].device, items[i].inode}));
  stop = true;
  swapper.join();
  if (std::filesystem::is_symlink(dir.at("parent"))) swap();

  EXPECT_TRUE(std::filesystem::is_empty(dir.at("second")));
  const long moved = std::count(results.begin(), results.end(), 0);
  EXPECT_TRUE(moved > 0 && moved < moves) << moved;  // the swaps really raced the moves
  for (std::size_t i = 0; i < results.size(); ++i) {
    EXPECT_TRUE(results[i] == 0 || results[i] == 20 || results[i] == 62) << results[i];
    const bool inParent = (i % 2 == 0) == (results[i] == 0);
    EXPECT_EQ(readFile(pathOf(i, inParent)), std::to_string(i)) << i;
  }
}

}  // namespace
}  // namespace fileprobe
