#include "common/bounded_read.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "support/temp_dir.h"

namespace fileprobe {
namespace {

// Everything up to the limit, across several reads; one byte beyond it at
// most, so the caller can tell a file over the limit.
TEST(BoundedRead, ReadsUpToOneByteBeyondTheLimitAndGivesTheErrnoOfAFailingRead) {
  testing::TempDir dir;
  const std::string bytes(200000, 'x');
  for (const auto& [content, limit, expected] :
       {std::tuple{bytes, bytes.size(), bytes.size()},
        {bytes, std::size_t{70000}, std::size_t{70001}},
        {std::string(), std::size_t{10}, std::size_t{0}}}) {
    testing::writeFile(dir.at("input"), content);
    const int descriptor = ::open(dir.at("input").c_str(), O_RDONLY | O_CLOEXEC);
    std::string out = "left over";
    EXPECT_EQ(readToEndBounded(descriptor, limit, out), 0);
    EXPECT_EQ(out, bytes.substr(0, expected)) << limit;
    ::close(descriptor);
  }
  std::string out;
  EXPECT_EQ(readToEndBounded(-1, 10, out), EBADF);
}

}  // namespace
}  // namespace fileprobe
