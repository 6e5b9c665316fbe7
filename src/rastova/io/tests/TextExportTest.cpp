// The image written as text: the byte-array constant and the hexadecimal list against golden
// text, Base64 against the system's base64 tool, ASCII art against the grey table, and the text
// file replacing its target only when the image could be encoded.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "IoTestTools.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStream.h"
#include "rastova/io/RVFileFormat.h"
#include "rastova/io/RastovaIO.h"

namespace rv {
namespace {

using iotest::TempDir;

// An outside format whose writer writes the bytes of TextBytes.
std::vector<uint8_t> TextBytes;
void TextBytesWrite(TStream& stream, TRVBitmap&, TIOParamsVals&, TRVProgressRec&) {
  stream.WriteBuffer(TextBytes.data(), int64_t(TextBytes.size()));
}

class TextExport : public ::testing::Test {
 protected:
  void SetUp() override {
    auto row = std::make_unique<TRVFileFormatInfo>();
    row->FileType = 103;
    row->Description = "Text export test format";
    row->Extensions = "ZZB";
    row->WriteRoutine = TextBytesWrite;
    RegisterFileFormat(std::move(row));
    io.GetAttachedRVBitmap()->Allocate(2, 2, rv24RGB);
  }
  void TearDown() override { UnregisterFileFormat(103); }
  TempDir dir;
  TRastovaIO io;
};

TEST_F(TextExport, ConstantAndHexadecimalListAgainstGoldenText) {
  struct Case {
    std::vector<uint8_t> bytes;
    int32_t format;
    const char* golden;
  } cases[] = {
      {{0x01, 0xAB, 0xFF},
       0,
       "const\r\n  t_txt_Size = 3;\r\n  t_txt : array [0..t_txt_Size-1] of byte = (\r\n    "
       "$01,$AB,$FF);\r\n"},
      {{0x01, 0xAB, 0xFF}, 1, "\\\\ Size=3\r\n0x01,0xAB,0xFF\r\n"},
      {{},
       0,
       "const\r\n  t_txt_Size = 40;\r\n  t_txt : array [0..t_txt_Size-1] of byte = (\r\n"
       "    $00,$07,$0E,$15,$1C,$23,$2A,$31,$38,$3F,$46,$4D,$54,$5B,$62,$69,$70,$77,\r\n"
       "    $7E,$85,$8C,$93,$9A,$A1,$A8,$AF,$B6,$BD,$C4,$CB,$D2,$D9,$E0,$E7,$EE,$F5,\r\n"
       "    $FC,$03,$0A,$11);\r\n"},
      {{},
       1,
       "\\\\ Size=40\r\n0x00,0x07,0x0E,0x15,0x1C,0x23,0x2A,0x31,0x38,0x3F,0x46,0x4D,0x54,0x5B,0x62,\r\n"
       "0x69,0x70,0x77,0x7E,0x85,0x8C,0x93,0x9A,0xA1,0xA8,0xAF,0xB6,0xBD,0xC4,0xCB,\r\n"
       "0xD2,0xD9,0xE0,0xE7,0xEE,0xF5,0xFC,0x03,0x0A,0x11\r\n"},
  };
  for (Case& c : cases) {
    TextBytes = c.bytes;
    if (TextBytes.empty())
      for (int i = 0; i < 40; ++i) TextBytes.push_back(uint8_t(i * 7));
    // The identifier comes from the file's own name, not the folder.
    const std::string name = dir.File("t.txt");
    io.SaveToText(name, 103, c.format);
    EXPECT_EQ(iotest::ReadFileText(name), c.golden) << c.format;
    EXPECT_EQ(io.Params.FileName, u"" + std::u16string(name.begin(), name.end()));
  }
}

TEST_F(TextExport, Base64LinesMatchTheSystemTool) {
  TRVBitmap& b = *io.GetAttachedRVBitmap();
  b.Allocate(9, 7, rv24RGB);
  for (int32_t y = 0; y < 7; ++y)
    for (int32_t x = 0; x < 9; ++x) b.SetPixels(x, y, uint32_t(x * 25) << 16 | uint32_t(y * 31) << 8 | 99);
  TMemoryStream saved;
  io.SaveToStreamTGA(saved);
  const std::string bin = dir.File("saved.tga");
  const auto* data = static_cast<const uint8_t*>(saved.Memory());
  iotest::WriteFileBytes(bin, std::vector<uint8_t>(data, data + saved.GetSize()));
  bool ok = false;
  const std::string expected = iotest::RunCapture("base64 -w 76 '" + bin + "'", ok);
  ASSERT_TRUE(ok);
  io.SaveToText(dir.File("t.b64"), ioTGA, 2);
  std::string text = iotest::ReadFileText(dir.File("t.b64"));
  ASSERT_NE(text.find("\r\n"), std::string::npos);
  std::string unix;
  for (char ch : text)
    if (ch != '\r') unix += ch;
  EXPECT_EQ(unix, expected);
}

TEST_F(TextExport, AsciiArtByGreyLevel) {
  // Greys that fall on each of the nine characters, then 254 and pure white.
  const int greys[] = {0, 30, 58, 87, 115, 143, 172, 200, 228, 254, 255};
  TRVBitmap& b = *io.GetAttachedRVBitmap();
  b.Allocate(11, 2, rv24RGB);
  for (int32_t x = 0; x < 11; ++x) {
    const uint32_t g = uint32_t(greys[x]);
    b.SetPixels(x, 0, g << 16 | g << 8 | g);
    b.SetPixels(x, 1, x == 0 ? 0xFFFFFF : 0);
  }
  io.SaveToText(dir.File("art.txt"), 0, 3);
  // Pure white is the blank: no character code 0 in a text file.
  EXPECT_EQ(iotest::ReadFileText(dir.File("art.txt")), "W@#*+:.,   \r\n WWWWWWWWWW\r\n");
  // Only 24-bit pictures: another format writes an empty file.
  b.Allocate(3, 3, rv8g);
  io.SaveToText(dir.File("art.txt"), 0, 3);
  EXPECT_EQ(iotest::ReadFileText(dir.File("art.txt")), "");
}

TEST_F(TextExport, TheTargetIsReplacedOnlyWhenTheImageWasEncoded) {
  const std::string name = dir.File("keep.txt");
  iotest::WriteFileBytes(name, {'o', 'l', 'd'});
  // A cursor cannot be written: the old text stays, and no temporary file is left.
  io.SaveToText(name, ioCUR, 1);
  EXPECT_TRUE(io.Aborting);
  EXPECT_EQ(iotest::ReadFileText(name), "old");
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"keep.txt"});
  TextBytes = {0x42};
  io.SaveToText(name, 103, 1);
  EXPECT_EQ(iotest::ReadFileText(name), "\\\\ Size=1\r\n0x42\r\n");
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"keep.txt"});
  // A folder that cannot be written raises the platform's error.
  EXPECT_THROW(io.SaveToText(dir.File("no/such/folder.txt"), 103, 1), EFCreateError);
}

}  // namespace
}  // namespace rv
