#include "platform/errno_map.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace fileprobe {
namespace {

TEST(MacosErrno, NumbersThatDifferBetweenTheSystemsAreTranslatedByName) {
  // Linux number, macOS number.
  const int translated[][2] = {
      {EAGAIN, 35},     {EWOULDBLOCK, 35},  {EDEADLK, 11},   {ELOOP, 62},  {ENAMETOOLONG, 63},
      {ENOTEMPTY, 66},  {ENOSYS, 78},       {ESTALE, 70},    {EDQUOT, 69}, {ENODATA, 93},
      {EOPNOTSUPP, 45}, {ENOTSUP, 45},      {EOVERFLOW, 84}, {EILSEQ, 92}, {ECANCELED, 89},
      {ETIMEDOUT, 60},  {ECONNREFUSED, 61}, {ENOLCK, 77}};
  for (const auto& [number, expected] : translated)
    EXPECT_EQ(macosErrno(number).value, expected) << number;
}

TEST(MacosErrno, LowNumbersSharedByBothSystemsStayAndLinuxOnlyOnesBecomeEio) {
  for (int e : {EPERM, ENOENT, EIO, EBADF, ENOMEM, EACCES, EEXIST, EXDEV, ENOTDIR, EISDIR, EINVAL,
                EFBIG, ENOSPC, EROFS, EMLINK, EPIPE, ERANGE})
    EXPECT_EQ(macosErrno(e).value, e) << e;
  for (int e : {ECHRNG, EL2NSYNC, ENOMEDIUM, EHWPOISON, EKEYEXPIRED, EUCLEAN, ERFKILL, 4095})
    EXPECT_EQ(macosErrno(e).value, 5) << e;
}

// A result record of a success reports errno 0 through the same conversion.
TEST(MacosErrno, NoErrorStaysZero) { EXPECT_EQ(macosErrno(0).value, 0); }

}  // namespace
}  // namespace fileprobe
