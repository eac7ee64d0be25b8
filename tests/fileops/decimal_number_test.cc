#include "fileops/decimal_number.h"

#include <gtest/gtest.h>

namespace fileprobe {
namespace {

TEST(UnsignedDecimalValue, AcceptsDigitsWithOneSignAndZeroAsTheOnlyNegative) {
  EXPECT_EQ(unsignedDecimalValue("+5"), 5u);
  EXPECT_EQ(unsignedDecimalValue("-0"), 0u);
  EXPECT_EQ(unsignedDecimalValue("007"), 7u);
  EXPECT_EQ(unsignedDecimalValue("18446744073709551615"), UINT64_MAX);
  for (const char* refused : {"-1", " 5", "5 ", "0x10", "", "+", "-", "+-5", "++5",
                              "18446744073709551616", "99999999999999999999", "1_000"}) {
    EXPECT_EQ(unsignedDecimalValue(refused), std::nullopt) << refused;
  }
}

}  // namespace
}  // namespace fileprobe
