#include "formats/macos_errno.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace fileprobe {
namespace {

// One number of each kind: translated by name (Linux and macOS differ), kept
// (shared low numbers, and 0 for a success), or Linux-only and so EIO.
TEST(MacosErrno, TranslatesDifferingNumbersKeepsSharedOnesAndMakesLinuxOnlyOnesEio) {
  const int cases[][2] = {{EAGAIN, 35},     {EWOULDBLOCK, 35}, {ELOOP, 62},      {ENODATA, 93},
                          {EOPNOTSUPP, 45}, {ENOTSUP, 45},     {ESTALE, 70},     {0, 0},
                          {EPERM, EPERM},   {EXDEV, EXDEV},    {ERANGE, ERANGE}, {EUCLEAN, 5},
                          {EHWPOISON, 5},   {4095, 5}};
  for (const auto& [number, expected] : cases)
    EXPECT_EQ(macosErrno(number).value, expected) << number;
}

}  // namespace
}  // namespace fileprobe
