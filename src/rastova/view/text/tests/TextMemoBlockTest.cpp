// The "RASTOVA TEXTMEMO" block: its layout, and a reader that takes only blocks that hold their
// text and keeps every record it reads in range.
#include <gtest/gtest.h>

#include <QTest>
#include <cstring>
#include <span>

#include "platform/ui/tests/UiTestApp.h"
#include "rastova/view/text/RVEdit.h"
#include "rastova/view/text/RVTextMemoBlock.h"

using namespace rv;

namespace {

TRVCharFormat Record(uint8_t seed) {
  TRVCharFormat f;
  std::memset(&f, 0, sizeof f);
  f.RefCount = seed;
  SetCharFormatFontName(f, seed % 2 ? "Arial" : "Courier New");
  f.FontHeight = -10 - seed;
  f.FontStyle = seed & 15;
  f.FontColor = 0x010203 * seed;
  f.BackColor = 0x0F0E0D;
  f.BackStyle = seed % 8;
  f.Alignment = seed % 4;
  return f;
}

}  // namespace

TEST(TextMemoBlock, LayoutIsTextZeroThenARecordPerCharacter) {
  const std::vector<TRVCharFormat> formats = {Record(1), Record(2), Record(3)};
  const std::vector<uint8_t> block = BuildTextMemoBlock("a\nb", formats);
  ASSERT_EQ(block.size(), 281u * 3 + 1);
  EXPECT_EQ(std::vector<uint8_t>(block.begin(), block.begin() + 4), (std::vector<uint8_t>{'a', 10, 'b', 0}));
  // Record 1 (the second character's) byte for byte, its reference count and font name included.
  const uint8_t* r = block.data() + 4 + 280;
  int32_t refCount, height;
  std::memcpy(&refCount, r, 4);
  std::memcpy(&height, r + 260, 4);
  EXPECT_EQ(refCount, 2);
  EXPECT_EQ(r[4], 11);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(r + 5), 11), "Courier New");
  EXPECT_EQ(height, -12);
  EXPECT_EQ(r[264], 2);
  EXPECT_EQ(r[276], 2);
  EXPECT_EQ(r[277], 2);

  std::string text;
  std::vector<TRVCharFormat> back;
  ASSERT_TRUE(ParseTextMemoBlock(block, text, back));
  EXPECT_EQ(text, "a\nb");
  ASSERT_EQ(back.size(), 3u);
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(std::memcmp(&back[i], &formats[i], sizeof(TRVCharFormat)), 0) << i;
}

TEST(TextMemoBlock, BlocksThatDoNotHoldTheirTextAreRefused) {
  const std::vector<uint8_t> good =
      BuildTextMemoBlock("xy", std::vector<TRVCharFormat>{Record(1), Record(2)});
  struct Case {
    const char* name;
    std::vector<uint8_t> block;
    bool ok;
  };
  std::vector<uint8_t> truncated(good.begin(), good.end() - 1);
  std::vector<uint8_t> longer = good;
  longer.push_back(0xAA);
  std::vector<uint8_t> noZero(600, 'q');
  std::vector<uint8_t> lateZero(300, 'q');  // a text of 299 characters would need 84,020 bytes
  lateZero.back() = 0;
  const Case cases[] = {
      {"empty", {}, false},
      {"no terminator", noZero, false},
      {"terminator with too few records", lateZero, false},
      {"one byte short", truncated, false},
      {"a foreign text", {'h', 'e', 'l', 'l', 'o', 0}, false},
      {"whole", good, true},
      {"with bytes after it", longer, true},
      {"an empty text", {0}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string text = "old";
    std::vector<TRVCharFormat> formats(1);
    EXPECT_EQ(ParseTextMemoBlock(c.block, text, formats), c.ok);
    if (!c.ok) {
      EXPECT_TRUE(text.empty());
      EXPECT_TRUE(formats.empty());
    }
  }
}

TEST(TextMemoBlock, RecordsReadAreKeptInRange) {
  TRVCharFormat wild;
  std::memset(&wild, 0xFF, sizeof wild);
  wild.FontName[0] = 3;
  wild.FontHeight = INT32_MIN;
  const std::vector<uint8_t> block = BuildTextMemoBlock("z", std::span(&wild, 1));
  std::string text;
  std::vector<TRVCharFormat> formats;
  ASSERT_TRUE(ParseTextMemoBlock(block, text, formats));
  const TRVCharFormat& f = formats[0];
  EXPECT_EQ(f.Alignment, rvtaLeft);
  EXPECT_EQ(f.BackStyle, 1) << "an unknown brush style reads as clear";
  EXPECT_EQ(f.FontStyle, 15);
  EXPECT_EQ(f.FontHeight, -kMaxFontHeight);
  EXPECT_EQ(CharFormatFontName(f), "\xFF\xFF\xFF");
  EXPECT_EQ(f.FontName[4], 0) << "the name's unused bytes are cleared";
  EXPECT_EQ(f.Reserved1[0] | f.Reserved1[2] | f.Reserved2[0] | f.Reserved2[1], 0);
  EXPECT_EQ(f.RefCount, -1) << "the count is left as it came";
  // A name longer than 255 characters is cut at 255.
  TRVCharFormat named{};
  SetCharFormatFontName(named, std::string(300, 'n'));
  EXPECT_EQ(named.FontName[0], 255);
  EXPECT_EQ(CharFormatFontName(named).size(), 255u);
}

TEST(TextEdit, KeepsTabAndArrowsAndSwallowsTheTabCharacter) {
  platform::test::App();
  QWidget window;
  auto* edit = new TRVEdit(&window);
  auto* other = new QLineEdit(&window);
  other->move(0, 40);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  QApplication::setActiveWindow(&window);
  edit->setFocus();
  QTest::keyClicks(edit, "ab");
  QTest::keyClick(edit, Qt::Key_Tab);
  QTest::keyClick(edit, Qt::Key_Left);
  QTest::keyClicks(edit, "c");
  EXPECT_TRUE(edit->hasFocus());
  EXPECT_EQ(edit->Text(), "acb");
}
