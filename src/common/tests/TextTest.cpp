#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>

#include "CommaLocale.h"
#include "common/CodePage.h"
#include "common/Exception.h"
#include "common/NumberText.h"

using namespace common;

namespace {

// Switches the process to a comma-decimal locale when the machine has one; the C library's
// own formatting then writes "1,5", which is what the number helpers must never do.
class CommaLocale {
 public:
  CommaLocale() : active_(testing_support::EnsureCommaLocale() && setlocale(LC_ALL, testing_support::kCommaLocale)) {}
  ~CommaLocale() { setlocale(LC_ALL, "C"); }
  bool Active() const { return active_; }

 private:
  bool active_;
};

void CheckNumberText() {
  EXPECT_EQ(FormatC("%1.8f", 0.5), "0.50000000");
  EXPECT_EQ(FormatC("%.5f", -1.0 / 3.0), "-0.33333");
  EXPECT_EQ(FormatC("%g|%d", 1.25, 3), "1.25|3");
  EXPECT_EQ(FormatFixed(2.0, 3), "2.000");
  EXPECT_DOUBLE_EQ(StrToFloat("1.5"), 1.5);
  EXPECT_DOUBLE_EQ(StrToFloat(" -2.5e3 "), -2500.0);
  double v = 7;
  EXPECT_FALSE(TryStrToFloat("1,5", v));
  EXPECT_EQ(v, 7);
}

}  // namespace

TEST(NumberText, IsTheSameInAnyLocale) {
  CheckNumberText();
  CommaLocale comma;
  if (!comma.Active()) {
    ASSERT_FALSE(testing_support::CommaLocaleCanBeGenerated())
        << "the machine can generate " << testing_support::kCommaLocale << " but it is missing";
    GTEST_SKIP() << "no comma-decimal locale can be generated here; checked in the C locale only";
  }
  char buf[32];
  snprintf(buf, sizeof buf, "%.1f", 1.5);
  ASSERT_STREQ(buf, "1,5") << "the locale switch did not take effect";
  CheckNumberText();
}

TEST(NumberText, RejectsWhatIsNotANumber) {
  double d = 0;
  for (const char* bad : {"", " ", "abc", "1.5x", "inf", "nan", "0x10", "1e", "--1", "1e999"})
    EXPECT_FALSE(TryStrToFloat(bad, d)) << bad;
  EXPECT_THROW(StrToFloat("x"), EConvertError);
  EXPECT_EQ(StrToFloatDef("oops", 3.25), 3.25);

  int32_t i = 0;
  EXPECT_TRUE(TryStrToInt("-2147483648", i));
  EXPECT_EQ(i, INT32_MIN);
  EXPECT_FALSE(TryStrToInt("2147483648", i));
  EXPECT_TRUE(TryStrToInt("$FF", i));
  EXPECT_EQ(i, 255);
  EXPECT_TRUE(TryStrToInt("0x10", i));
  EXPECT_EQ(i, 16);
  for (const char* bad : {"", "-", "1 2", "12a", "$", "99999999999999999999"})
    EXPECT_FALSE(TryStrToInt(bad, i)) << bad;
  EXPECT_EQ(StrToIntDef("z", -4), -4);
  EXPECT_EQ(IntToStr(INT64_MIN), "-9223372036854775808");
}

TEST(CodePage, EveryByteSurvivesTheRoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  std::string utf8 = Cp1252ToUtf8(all);
  EXPECT_EQ(Utf8ToCp1252(utf8), all);
  EXPECT_EQ(Cp1252ToUtf8("\x80"), "\xE2\x82\xAC");  // euro sign
  EXPECT_EQ(Cp1252ToUtf8("\x9F"), "\xC5\xB8");      // Y with diaeresis
  EXPECT_EQ(Cp1252ToUtf8("\xE9"), "\xC3\xA9");      // e acute
  EXPECT_EQ(Utf8ToCp1252("\xE6\x97\xA5"), "?");     // a CJK character has no byte
}

TEST(CodePage, Utf16AndMalformedInput) {
  std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";  // a, e acute, euro, an emoji
  std::u16string wide = Utf8ToUtf16(text);
  EXPECT_EQ(wide.size(), 5u);  // the emoji takes a surrogate pair
  EXPECT_EQ(Utf16ToUtf8(wide), text);
  EXPECT_EQ(Utf16ToUtf8(u"\xD800x"), "\xEF\xBF\xBDx");  // lone surrogate
  EXPECT_EQ(Utf8ToUtf32("\xC0\xAF"), std::u32string(U"\xFFFD"));  // overlong form
  EXPECT_EQ(Utf8ToUtf32("\xF4\x90\x80\x80"), std::u32string(U"\xFFFD"));  // above U+10FFFF
  EXPECT_EQ(Utf8ToUtf32("\xE2\x82"), std::u32string(U"\xFFFD"));         // truncated
  EXPECT_EQ(CodePointToUtf8(0x110000), "\xEF\xBF\xBD");
}
