#include "platform/errno_map.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace fileprobe {
namespace {

TEST(MacosErrno, NumbersThatDifferBetweenTheSystemsAreTranslatedByName) {
  EXPECT_EQ(macosErrno(EAGAIN), 35);
  EXPECT_EQ(macosErrno(EWOULDBLOCK), 35);
  EXPECT_EQ(macosErrno(EDEADLK), 11);
  EXPECT_EQ(macosErrno(ELOOP), 62);
  EXPECT_EQ(macosErrno(ENAMETOOLONG), 63);
  EXPECT_EQ(macosErrno(ENOTEMPTY), 66);
  EXPECT_EQ(macosErrno(ENOSYS), 78);
  EXPECT_EQ(macosErrno(ESTALE), 70);
  EXPECT_EQ(macosErrno(EDQUOT), 69);
  EXPECT_EQ(macosErrno(ENODATA), 93);
  EXPECT_EQ(macosErrno(EOPNOTSUPP), 45);
  EXPECT_EQ(macosErrno(ENOTSUP), 45);
  EXPECT_EQ(macosErrno(EOVERFLOW), 84);
  EXPECT_EQ(macosErrno(EILSEQ), 92);
  EXPECT_EQ(macosErrno(ECANCELED), 89);
  EXPECT_EQ(macosErrno(ETIMEDOUT), 60);
  EXPECT_EQ(macosErrno(ECONNREFUSED), 61);
  EXPECT_EQ(macosErrno(ENOLCK), 77);
}

TEST(MacosErrno, LowNumbersSharedByBothSystemsStayTheSame) {
  for (int e : {EPERM, ENOENT, EIO, EBADF, ENOMEM, EACCES, EEXIST, EXDEV, ENOTDIR, EISDIR, EINVAL,
                EFBIG, ENOSPC, EROFS, EMLINK, EPIPE, ERANGE}) {
    EXPECT_EQ(macosErrno(e), e) << e;
  }
}

TEST(MacosErrno, LinuxOnlyErrnoBecomesEio) {
  for (int e : {ECHRNG, EL2NSYNC, ENOMEDIUM, EHWPOISON, EKEYEXPIRED, EUCLEAN, ERFKILL, 0, 4095}) {
    EXPECT_EQ(macosErrno(e), macos::kEIO) << e;
  }
}

}  // namespace
}  // namespace fileprobe
