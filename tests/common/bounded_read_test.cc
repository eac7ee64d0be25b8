#include "common/bounded_read.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "support/temp_dir.h"

namespace fileprobe {
namespace {

// Reads the file holding `bytes` under `limit`.
std::string readUnder(const std::string& bytes, std::size_t limit, int& error) {
  testing::TempDir dir;
  testing::writeFile(dir.at("input"), bytes);
  const int descriptor = ::open(dir.at("input").c_str(), O_RDONLY | O_CLOEXEC);
  std::string out = "left over";
  error = readToEndBounded(descriptor, limit, out);
  ::close(descriptor);
  return out;
}

TEST(BoundedRead, ReadsEverythingUpToTheLimitAcrossBlocks) {
  const std::string bytes(200000, 'x');
  int error = -1;
  EXPECT_EQ(readUnder(bytes, bytes.size(), error), bytes);
  EXPECT_EQ(error, 0);
  EXPECT_EQ(readUnder("", 10, error), "");
}

TEST(BoundedRead, StopsOneByteBeyondTheLimit) {
  const std::string bytes(200000, 'y');
  int error = -1;
  EXPECT_EQ(readUnder(bytes, 70000, error).size(), 70001u);
  EXPECT_EQ(error, 0);
}

TEST(BoundedRead, GivesTheErrnoOfAFailingRead) {
  std::string out;
  EXPECT_EQ(readToEndBounded(-1, 10, out), EBADF);
}

}  // namespace
}  // namespace fileprobe
