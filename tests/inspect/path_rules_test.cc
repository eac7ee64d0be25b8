// Each rule of a path inspection, seen through the built binary on a real
// tree: the first refusal that applies, or acceptance with the attributes.
#include "inspect/path_rules.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <stdio.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

#include "inspection_support.h"
#include "support/temp_dir.h"

namespace fileprobe::testing {
namespace {

using nlohmann::json;

struct Case {
  std::string path;
  std::optional<std::string_view> error;  // none: accepted
  bool hidden = false;
};

void expectEntries(const std::vector<Case>& cases) {
  std::vector<std::string> paths;
  for (const Case& c : cases) paths.push_back(c.path);
  const json entries = inspectedEntries(paths);
  for (std::size_t i = 0; i < cases.size() && i < entries.size(); ++i) {
    const Case& c = cases[i];
    json expected = {{"path", c.path}, {"hidden", c.hidden}, {"readable", !c.error}};
    if (c.error) expected["error"] = std::string(*c.error);
    EXPECT_EQ(entries[i], expected) << "request element " << i;
  }
}

void makeSocket(const std::string& path) {
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(path.size(), sizeof address.sun_path);
  path.copy(address.sun_path, path.size());
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  close(fd);
}

TEST(PathRules, FormWalkTypeAndResourceRulesInTheirOrder) {
  TempDir dir;
  const std::string root = dir.path();
  mkdir(dir.at("a").c_str(), 0755);
  mkdir(dir.at("a/b").c_str(), 0755);
  writeFile(dir.at("a/b/file"), "x");
  symlink(dir.at("a").c_str(), dir.at("linked").c_str());
  symlink(dir.at("a/b/file").c_str(), dir.at("a/b/last-link").c_str());
  symlink(dir.at("gone").c_str(), dir.at("dangling").c_str());
  mkfifo(dir.at("fifo").c_str(), 0644);
  makeSocket(dir.at("socket"));
  writeFile(dir.at(".hidden"), "");
  mkdir(dir.at(".folder").c_str(), 0755);
  writeFile(dir.at(".folder/plain"), "");
  mkdir(dir.at("Foo.app").c_str(), 0755);
  mkdir(dir.at("Notes.RTFD").c_str(), 0755);
  mkdir(dir.at(".app").c_str(), 0755);
  writeFile(dir.at("x.app"), "");
  mkdir(dir.at("...").c_str(), 0755);
  writeFile(dir.at("a..b"), "");
  // A path of exactly maximumPathBytes that names a real item: the walk
  // reaches it, but the system refuses a name that long as a whole.
  const std::string slashes(maximumPathBytes - root.size() - 2, '/');
  const std::string longest = root + slashes + "/a";
  ASSERT_EQ(longest.size(), maximumPathBytes);

  expectEntries({
      // Absolute form.
      {"relative/path", kNotAbsolute},
      {"", kNotAbsolute},
      {"rel/../x", kNotAbsolute},
      {root + std::string("\0/a", 3), kNotAbsolute},
      {longest, kNoResourceValues},
      {root + "/" + slashes + "/a", kNotAbsolute},
      // Normal form: only "." and ".." themselves are refused.
      {root + "/a/./b", kNotNormalised},
      {root + "/a/..", kNotNormalised},
      {root + "/.", kNotNormalised},
      {root + "/...", std::nullopt, true},
      {root + "/a..b", std::nullopt},
      {root + "//a/b//file", std::nullopt},
      {root + "/a/b/", std::nullopt},
      {"/", std::nullopt},
      {"///", std::nullopt},
      // The walk.
      {root + "/a/b/file", std::nullopt},
      {root + "/missing", kNoMetadata},
      {root + "/missing/file", kNoMetadata},
      {root + "/linked/b/file", kSymbolicLink},
      {root + "/a/b/last-link", kSymbolicLink},
      {root + "/dangling/x", kSymbolicLink},
      {root + "/a/b/file/x", kParentNotFolder},
      // File type.
      {dir.at("fifo"), kNotFileOrFolder},
      {dir.at("socket"), kNotFileOrFolder},
      {"/dev/null", kNotFileOrFolder},
      // Hidden and package, from the final name; refused entries hide nothing.
      {dir.at(".hidden"), std::nullopt, true},
      {dir.at(".folder"), std::nullopt, true},
      {dir.at(".folder/plain"), std::nullopt},
      {dir.at(".folder/missing"), kNoMetadata},
      {dir.at("Foo.app"), kPackage},
      {dir.at("Foo.app/"), kPackage},
      {dir.at("Notes.RTFD"), kPackage},
      {dir.at(".app"), std::nullopt, true},
      {dir.at("x.app"), std::nullopt},
      // The same path twice is inspected twice.
      {dir.at("x.app"), std::nullopt},
  });
}

// Changes the item's inode flags (chattr), keeping all others.
bool changeFlags(const std::string& path, int add, int remove) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  int flags = 0;
  bool ok = fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  flags = (flags | add) & ~remove;
  ok = ok && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  if (fd >= 0) close(fd);
  return ok;
}

TEST(PathRules, ImmutableAndAppendOnlyItemsAreRefusedOtherFlagsAreNot) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root";
  TempDir dir;
  writeFile(dir.at("locked"), "x");
  mkdir(dir.at("append-only").c_str(), 0755);
  writeFile(dir.at("append-only/inside"), "x");
  writeFile(dir.at("no-dump"), "x");
  ASSERT_TRUE(changeFlags(dir.at("append-only/inside"), 0, 0));
  const bool set = changeFlags(dir.at("locked"), FS_IMMUTABLE_FL, 0) &&
                   changeFlags(dir.at("append-only"), FS_APPEND_FL, 0) &&
                   changeFlags(dir.at("no-dump"), FS_NODUMP_FL, 0);
  if (set) {
    expectEntries({{dir.at("locked"), kLocked},
                   {dir.at("append-only"), kLocked},
                   {dir.at("append-only/inside"), std::nullopt},  // only the item's own flags
                   {dir.at("no-dump"), std::nullopt}});
  }
  changeFlags(dir.at("locked"), 0, FS_IMMUTABLE_FL);
  changeFlags(dir.at("append-only"), 0, FS_APPEND_FL);
  EXPECT_TRUE(set) << "this file system refused chattr";
}

TEST(PathRules, AnUnreadableItemIsAcceptedAsUnreadable) {
  TempDir dir;
  chmod(dir.path().c_str(), 0755);
  writeFile(dir.at("secret"), "x");
  writeFile(dir.at("open"), "x");
  chmod(dir.at("secret").c_str(), 0);
  chmod(dir.at("open").c_str(), 0644);
  ChildRequest request;
  request.arguments = {"--inspect-paths"};
  if (geteuid() == 0) {
    // Root may read anything; ask as nobody, who may look but not read.
    request.program = "/usr/bin/setpriv";
    request.arguments = {"--reuid=65534", "--regid=65534", "--clear-groups", FILEPROBE_BINARY,
                         "--inspect-paths"};
  }
  request.input = requestOf({dir.at("secret"), dir.at("open")});
  const json report = reportOf(runChild(request));
  EXPECT_EQ(report["entries"],
            json::array({{{"path", dir.at("secret")}, {"hidden", false}, {"readable", false}},
                         {{"path", dir.at("open")}, {"hidden", false}, {"readable", true}}}));
}

// Another thread swaps a file and a folder (and deletes and recreates a
// second file) while one request inspects them a thousand times: an entry
// is accepted whole or refused whole, never a mixture.
TEST(PathRules, ItemsReplacedDuringTheInspectionAreAcceptedOrRefusedWhole) {
  TempDir dir;
  writeFile(dir.at("swapped"), "x");
  mkdir(dir.at("other").c_str(), 0755);
  writeFile(dir.at("recreated"), "x");
  std::atomic<bool> stop = false;
  std::thread swapper([&] {
    while (!stop) {
      renameat2(AT_FDCWD, dir.at("swapped").c_str(), AT_FDCWD, dir.at("other").c_str(),
                RENAME_EXCHANGE);
      unlink(dir.at("recreated").c_str());
      close(open(dir.at("recreated").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    }
  });
  std::vector<std::string> paths;
  for (int i = 0; i < 500; ++i) paths.insert(paths.end(), {dir.at("swapped"), dir.at("recreated")});

  int changed = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  for (int run = 0; run < 20 && std::chrono::steady_clock::now() < deadline; ++run) {
    for (const json& entry : inspectedEntries(paths)) {
      if (!entry.contains("error")) {
        EXPECT_EQ(entry.size(), 3u);
        EXPECT_TRUE(entry["readable"]);
        continue;
      }
      const std::string error = entry["error"];
      EXPECT_EQ(entry.size(), 4u);
      EXPECT_FALSE(entry["hidden"]);
      EXPECT_FALSE(entry["readable"]);
      if (entry["path"] == dir.at("swapped")) {
        EXPECT_EQ(error, kChangedDuringInspection);  // always present, never missing
      } else {
        EXPECT_TRUE(error == kNoMetadata || error == kNoResourceValues ||
                    error == kChangedDuringInspection)
            << error;
      }
      changed += error == kChangedDuringInspection;
    }
  }
  stop = true;
  swapper.join();
  EXPECT_GT(changed, 0) << "the re-check never saw a replaced item";
}

}  // namespace
}  // namespace fileprobe::testing
