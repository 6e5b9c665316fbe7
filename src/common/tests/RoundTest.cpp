#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "common/Exception.h"
#include "common/Round.h"

using namespace common;

namespace {
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
}  // namespace

TEST(Round, TiesGoToEven) {
  struct Case {
    long double x;
    int64_t want;
  } cases[] = {{2.5, 2},   {3.5, 4},   {-2.5, -2}, {-3.5, -4}, {0.5, 0},   {-0.5, 0},
               {1.5, 2},   {2.4999, 2}, {2.5001, 3}, {-2.5001, -3}, {0.0, 0}, {1e15 + 0.5, 1000000000000000},
               {4503599627370497.0, 4503599627370497}};
  for (auto& c : cases) EXPECT_EQ(Round(c.x), c.want) << static_cast<double>(c.x);
}

// hi + lo exactly: the error term decides only where hi is a half.
TEST(Round, WithErrorTermRoundsTheExactSum) {
  struct Case {
    double hi, lo;
    int64_t want;
  } cases[] = {{127.5, 0.0, 128},
               {126.5, 0.0, 126},
               {127.5, -0x1p-50, 127},
               {126.5, 0x1p-50, 127},
               {-0.5, 0.0, 0},
               {-0.5, -0x1p-60, -1},
               {-1.5, 0x1p-60, -1},
               {2.4, 0.01, 2},
               {2.6, -0.01, 3},
               {-2.6, 0.01, -3},
               {7.0, -0x1p-50, 7},
               {0.0, -0x1p-1070, 0},
               {1e15 + 0.5, 0.0, 1000000000000000},
               {1e15 + 0.5, 1e-3, 1000000000000001},
               {kNaN, 0.0, 0},
               {kInf, kNaN, INT64_MAX},
               {-kInf, 0.0, INT64_MIN},
               {1e30, 0.0, INT64_MAX}};
  for (const Case& c : cases) EXPECT_EQ(RoundWithError(c.hi, c.lo), c.want) << c.hi << " + " << c.lo;
}

TEST(Round, ConversionsSaturateInsteadOfOverflowing) {
  EXPECT_EQ(Round(kNaN), 0);
  EXPECT_EQ(Round(kInf), INT64_MAX);
  EXPECT_EQ(Round(-kInf), INT64_MIN);
  EXPECT_EQ(Round(1e30), INT64_MAX);
  EXPECT_EQ(Round(-1e30), INT64_MIN);
  EXPECT_EQ(RoundInt(3e9), INT32_MAX);
  EXPECT_EQ(RoundInt(-3e9), INT32_MIN);
  EXPECT_EQ(RoundInt(kNaN), 0);
  EXPECT_EQ(Trunc(kNaN), 0);
  EXPECT_EQ(Trunc(kInf), INT64_MAX);
  EXPECT_EQ(TruncInt(-1e20), INT32_MIN);
  EXPECT_EQ(FloorInt(kInf), INT32_MAX);
  EXPECT_EQ(CeilInt(-kInf), INT32_MIN);
  EXPECT_EQ(Floor(kNaN), 0);
  // 2^63 itself is out of range, the largest double below it is not.
  EXPECT_EQ(Trunc(9223372036854775808.0L), INT64_MAX);
  EXPECT_EQ(Trunc(-9223372036854775808.0L), INT64_MIN);
  EXPECT_EQ(Trunc(9223372036854774784.0), 9223372036854774784LL);
}

TEST(Round, TruncFloorCeilFrac) {
  EXPECT_EQ(Trunc(2.9), 2);
  EXPECT_EQ(Trunc(-2.9), -2);
  EXPECT_EQ(Floor(-2.1), -3);
  EXPECT_EQ(Ceil(-2.9), -2);
  EXPECT_EQ(Ceil(2.1), 3);
  EXPECT_DOUBLE_EQ(static_cast<double>(Frac(-2.25)), -0.25);
  EXPECT_TRUE(std::isnan(static_cast<double>(Frac(kInf))));
}

TEST(Round, IntegerDivisionGoesTowardZero) {
  EXPECT_EQ(Div(7, 2), 3);
  EXPECT_EQ(Div(-7, 2), -3);
  EXPECT_EQ(Div(7, -2), -3);
  EXPECT_EQ(Mod(-7, 2), -1);
  EXPECT_EQ(Div(INT32_MIN, -1), INT32_MAX);
  EXPECT_EQ(Div(INT64_MIN, int64_t{-1}), INT64_MAX);
  EXPECT_EQ(Mod(INT32_MIN, -1), 0);
  EXPECT_THROW(Div(1, 0), EDivByZero);
  EXPECT_THROW(Mod(int64_t{1}, int64_t{0}), EDivByZero);
}

TEST(Round, MulDivRoundsHalvesAwayFromZero) {
  struct Case {
    int32_t a, b, c, want;
  } cases[] = {
      {5, 1, 2, 3},         {-5, 1, 2, -3},      {5, -1, 2, -3},     {-5, -1, -2, -3},
      {7, 1, 3, 2},         {8, 1, 3, 3},        {-8, 1, 3, -3},     {10, 10, 4, 25},
      {65536, 65536, 65536, 65536},              // the product needs 64 bits
      {INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX},
      {INT32_MIN, 1, 1, INT32_MIN},
      {1, 1, 0, -1},                              // division by zero
      {INT32_MAX, 2, 1, -1},                      // overflow
      {INT32_MIN, -1, 1, -1},
  };
  for (auto& c : cases) EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.want) << c.a << "*" << c.b << "/" << c.c;
}
