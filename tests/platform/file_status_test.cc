#include "platform/file_status.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace fileprobe {
namespace {

constexpr std::uint64_t kAllReported = ~std::uint64_t{0};

TEST(FlagsWord, CarriesTheLockFlagsAndNodumpButNotCompression) {
  EXPECT_EQ(flagsWordOf(STATX_ATTR_IMMUTABLE | STATX_ATTR_APPEND | STATX_ATTR_NODUMP, kAllReported),
            kFlagImmutable | kFlagAppendOnly | kFlagNoDump);
  EXPECT_EQ(
      flagsWordOf(STATX_ATTR_COMPRESSED | STATX_ATTR_ENCRYPTED | STATX_ATTR_VERITY, kAllReported),
      0u);
  // An attribute the file system does not report is not taken from the word.
  EXPECT_EQ(flagsWordOf(STATX_ATTR_IMMUTABLE | STATX_ATTR_NODUMP, STATX_ATTR_NODUMP), kFlagNoDump);
}

}  // namespace
}  // namespace fileprobe
