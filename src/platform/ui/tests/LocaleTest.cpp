#include <gtest/gtest.h>

#include <QApplication>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/NumberText.h"
#include "common/tests/CommaLocale.h"

// A Qt application switches the C library's locale to the user's when it starts. The number
// text of the files must not follow it.
TEST(NumberTextUnderQt, StaysEnUsInACommaDecimalLocale) {
  // The user's locale: German, built into a private folder when the machine lacks it.
  if (!common::testing_support::EnsureCommaLocale()) {
    ASSERT_FALSE(common::testing_support::CommaLocaleCanBeGenerated())
        << "the machine can generate " << common::testing_support::kCommaLocale << " but it is missing";
    GTEST_SKIP() << "no German locale can be generated here";
  }
  setlocale(LC_ALL, "C");
  setenv("LC_ALL", "de_DE.UTF-8", 1);
  setenv("LANG", "de_DE.UTF-8", 1);

  int argc = 1;
  char name[] = "test_platform_ui_locale";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);

  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f", 1.5);
  ASSERT_STREQ(buf, "1,5") << "the application did not switch the C locale; nothing is tested";
  EXPECT_EQ(common::FormatC("%1.8f", 0.5), "0.50000000");
  EXPECT_EQ(common::FormatC("%.5f", -2.25), "-2.25000");
  EXPECT_DOUBLE_EQ(common::StrToFloat("1.5"), 1.5);
  double v = 0;
  EXPECT_FALSE(common::TryStrToFloat("1,5", v));
}
