// The number format of the shape files stays "en-US" with "." when the program runs in a
// locale whose decimal separator is a comma.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <string>

#include "common/tests/CommaLocale.h"
#include "shape/FileFormatSettings.h"
#include "shape/SculptCodec.h"
#include "shape/tests/ShapeIoTestUtil.h"

using namespace shape;
namespace support = common::testing_support;

TEST(FileFormatSettings, NumbersKeepTheDecimalPointInACommaLocale) {
  shape_test::SettingsGuard guard;
  if (!support::EnsureCommaLocale()) {
    ASSERT_FALSE(support::CommaLocaleCanBeGenerated())
        << "the machine can generate " << support::kCommaLocale << " but it is missing";
    GTEST_SKIP() << "no comma-decimal locale can be generated here";
  }
  ASSERT_NE(setlocale(LC_ALL, support::kCommaLocale), nullptr);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%.1f", 1.5);
  EXPECT_STREQ(buf, "1,5") << "the locale switch did not take effect";

  EXPECT_EQ(FileFormatSettings.DecimalSeparator, '.');
  EXPECT_EQ(FileFormatSettings.Format("%1.8f|%.5f|%2.1f|%d", -0.5, 1.0 / 3.0, 2.25, 12345),
            "-0.50000000|0.33333|2.2|12345");
  double v = 0;
  EXPECT_TRUE(FileFormatSettings.TryStrToFloat(" 1.25e1 ", v));
  EXPECT_EQ(v, 12.5);
  EXPECT_FALSE(FileFormatSettings.TryStrToFloat("1,5", v));
  EXPECT_EQ(v, 12.5);
  EXPECT_EQ(FileFormatSettings.StrToFloatDef("0,75", -1.0), -1.0);
  EXPECT_EQ(FileFormatSettings.StrToFloatDef("0.75", -1.0), 0.75);
  // The scale text of a sculpt map takes the format.
  settings::ObjectSize[0] = settings::ObjectSize[1] = settings::ObjectSize[2] = 1.0;
  settings::AppSettings.MaximizeWithSymmetry = false;
  EXPECT_EQ(FormatScaleText({0.5, 0.5, 0.5}, {-0.5, -0.5, -0.5}),
            "<0.00000000,0.00000000,0.00000000>:<0.50196078,0.50196078,0.50196078>");
  setlocale(LC_ALL, "C");
}

TEST(FileFormatSettings, AppendedNumbersAreTheFormattedOnes) {
  const double values[] = {0.0, -0.0, 0.5, -0.9921875, 1.0 / 3, 2.5e-9, 0.123456785, -1e-12, 123456789.123456789,
                           1e300, -7.0};
  for (double v : values)
    for (int decimals : {1, 5, 8}) {
      std::string out = "x";
      FileFormatSettings.AppendFixed(out, v, decimals);
      EXPECT_EQ(out, "x" + FileFormatSettings.Format("%.*f", decimals, v)) << v << " " << decimals;
    }
  std::string out;
  FileFormatSettings.AppendInt(out, -2147483648LL);
  FileFormatSettings.AppendInt(out, 0);
  EXPECT_EQ(out, "-21474836480");
}

TEST(FileFormatSettings, OnlyPlainDecimalNumbersAreRead) {
  struct Case {
    const char* text;
    bool ok;
    double value;
  };
  const Case cases[] = {
      {"1", true, 1},         {"-0.5", true, -0.5},   {"+2.5", true, 2.5},   {".25", true, 0.25},
      {"1.", true, 1},        {"1e-3", true, 0.001},  {"\t 3 ", true, 3},    {"1e-400", true, 0},
      {"", false, 0},         {" ", false, 0},        {"+-1", false, 0},     {"--1", false, 0},
      {"nan", false, 0},      {"inf", false, 0},      {"-inf", false, 0},    {"infinity", false, 0},
      {"0x10", false, 0},     {"1e400", false, 0},    {"1.5x", false, 0},    {"e5", false, 0},
      {"1 2", false, 0},      {"-", false, 0},        {".", false, 0},       {"1,5", false, 0},
  };
  for (const Case& c : cases) {
    double v = -7;
    EXPECT_EQ(FileFormatSettings.TryStrToFloat(c.text, v), c.ok) << c.text;
    EXPECT_EQ(v, c.ok ? c.value : -7.0) << c.text;
  }
}
