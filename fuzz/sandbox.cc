#include "sandbox.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fileprobe::fuzzing {
namespace {

void makeFile(const std::string& path) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd >= 0) {
    (void)write(fd, "x", 1);
    close(fd);
  }
}

// Under $TMPDIR when set, so that the run that starts the target can remove
// the tree with its own scratch folders.
std::string makeSandbox() {
  const char* scratch = getenv("TMPDIR");
  std::string root = std::string(scratch != nullptr && *scratch != '\0' ? scratch : "/tmp") +
                     "/fileprobe-fuzz-XXXXXX";
  if (mkdtemp(root.data()) == nullptr) abort();
  for (const char* folder : {"/a", "/a/b", "/a/b/c", "/Foo.app", "/.hidden", "/in", "/out"}) {
    mkdir((root + folder).c_str(), 0755);
  }
  for (const char* file : {"/a/f", "/a/b/g", "/.dot", "/in/item", "/plain"}) makeFile(root + file);
  symlink((root + "/a").c_str(), (root + "/link").c_str());
  symlink("missing", (root + "/dangling").c_str());
  mkfifo((root + "/fifo").c_str(), 0644);
  return root;
}

}  // namespace

const std::string& sandboxPath() {
  static const std::string path = makeSandbox();
  return path;
}

}  // namespace fileprobe::fuzzing
