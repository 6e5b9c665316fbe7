#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "rastova/core/RVStream.h"
#include "rastova/core/RVUtils.h"

using namespace rv;

TEST(Bits, MaskWidthLog2AndRowLengths) {
  EXPECT_EQ(BitMaskWidth(0x07E0), 6);
  EXPECT_EQ(BitMaskWidth(0xF800), 5);
  EXPECT_EQ(BitMaskWidth(0), 0);
  EXPECT_EQ(BitMaskWidth(0xFFFFFFFF), 32);
  EXPECT_EQ(BitMaskWidth(0x80000000), 1);
  EXPECT_EQ(CeilLog2(256), 8);
  EXPECT_EQ(CeilLog2(257), 9);
  EXPECT_EQ(CeilLog2(1), 0);
  EXPECT_EQ(CeilLog2(0), -1);
  EXPECT_EQ(AlignedRowLength(33, 1, 32), 8);
  EXPECT_EQ(AlignedRowLength(3, 24, 32), 12);
  EXPECT_EQ(AlignedRowLength(3, 24, 8), 9);
  // The product no longer wraps: a width of 2^30 at 48 bits is 6 GiB per row.
  EXPECT_EQ(AlignedRowLength64(int64_t(1) << 30, 48, 32), (int64_t(1) << 30) * 6);
  EXPECT_EQ(AlignedRowLength(1 << 30, 48, 32), 2147483647);
  EXPECT_EQ(BitDepthColorCount(8, 3), 1 << 24);
  EXPECT_EQ(BitDepthColorCount(16, 3), 2147483647);
  EXPECT_EQ(BitDepthColorCount(8, 0), 1);
  uint8_t b = 0x01;
  ReverseBitsInByte(b);
  EXPECT_EQ(b, 0x80);
  uint32_t v = 0x00000001;
  ReverseBits32(v);
  EXPECT_EQ(v, 0x80000000u);
  EXPECT_EQ(ByteSwap32(0x11223344), 0x44332211u);
  EXPECT_EQ(CeilToInt(1.2L), 2);
  EXPECT_EQ(CeilToInt(-1.5L), -1);
  EXPECT_EQ(CeilToInt(3.0L), 3);
}

TEST(Bits, CopyBitBlockKeepsTheBitsAroundTheRun) {
  uint8_t src[3] = {0xFF, 0xFF, 0xFF}, dst[3] = {0, 0, 0};
  CopyBitBlock(src, dst, 0, 3, 10);
  EXPECT_EQ(dst[0], 0x1F);
  EXPECT_EQ(dst[1], 0xF8);
  EXPECT_EQ(dst[2], 0x00);
}

// The swap goes sixteen pixels at a time where the processor allows, the rest one by one: every
// count around the block sizes, at every start offset within a block, swaps exactly the pixels
// asked for and leaves the bytes around them alone.
TEST(Bits, SwapRedBlueOverOddCountsAndOffsets) {
  for (int64_t count : {0, 1, 5, 15, 16, 17, 31, 32, 33, 47, 48, 49, 100}) {
    for (int64_t offset = 0; offset < 16; ++offset) {
      std::vector<uint8_t> bytes(size_t(3 * count + 32)), expected;
      for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 37 + offset);
      expected = bytes;
      for (int64_t x = 0; x < count; ++x)
        std::swap(expected[size_t(offset + 3 * x)], expected[size_t(offset + 3 * x + 2)]);
      SwapRedBlue(bytes.data() + offset, count);
      EXPECT_EQ(bytes, expected) << "count " << count << ", offset " << offset;
    }
  }
}

// The copying swap takes the same blocks when the rows are apart or the same, and goes pixel by
// pixel, front to back, when they overlap otherwise: each case gives what that pixel loop gives.
TEST(Bits, CopyBGRToRGBApartInPlaceAndOverlapping) {
  for (int64_t count : {0, 1, 15, 16, 17, 33, 48, 100}) {
    for (int64_t shift : {int64_t(-200), int64_t(0), int64_t(-3), int64_t(3), int64_t(5)}) {
      std::vector<uint8_t> bytes(size_t(3 * count + 420));
      for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 37 + 11);
      std::vector<uint8_t> expected = bytes;
      const size_t from = 205;
      const size_t to = size_t(int64_t(from) + shift);
      for (int64_t x = 0; x < count; ++x) {
        const uint8_t b = expected[from + 3 * x], g = expected[from + 3 * x + 1],
                      r = expected[from + 3 * x + 2];
        expected[to + 3 * x] = r;
        expected[to + 3 * x + 1] = g;
        expected[to + 3 * x + 2] = b;
      }
      CopyBGRToRGB(bytes.data() + to, bytes.data() + from, count);
      EXPECT_EQ(bytes, expected) << "count " << count << ", shift " << shift;
    }
  }
}

TEST(Colour, CIELabExamples) {
  TCIELab lab;
  RGBToCIELab(0x000000, lab);
  EXPECT_EQ(lab, (TCIELab{0, 0, 0}));
  RGBToCIELab(0xFFFFFF, lab);
  EXPECT_EQ(lab, (TCIELab{255, 0, 0}));
  RGBToCIELab(0xFF0000, lab);
  EXPECT_EQ(lab.l, 135);
  EXPECT_EQ(lab.a, 80);
  EXPECT_EQ(lab.b, 67);
  TRGB rgb;
  CIELabToRGB(0, rgb);
  EXPECT_EQ(rgb, (TRGB{0, 0, 0}));
  CIELabToRGB(PackLab(TCIELab{255, 0, 0}), rgb);
  EXPECT_EQ(rgb, (TRGB{255, 255, 255}));
  CIELabToRGB(PackLab(TCIELab{135, 80, 67}), rgb);
  EXPECT_NEAR(rgb.r, 255, 3);
  EXPECT_LE(rgb.g, 6);
  EXPECT_LE(rgb.b, 6);
}

TEST(Colour, HSLExamples) {
  double h, s, l;
  TRGBToHSL(h, s, l, 0xFF0000);
  EXPECT_DOUBLE_EQ(h, 0);
  EXPECT_DOUBLE_EQ(s, 1);
  EXPECT_DOUBLE_EQ(l, 0.5);
  TRGBToHSL(h, s, l, 0xFFFFFF);
  EXPECT_DOUBLE_EQ(s, 0);
  EXPECT_DOUBLE_EQ(l, 1);
  TRGBToHSL(h, s, l, 0x0000FF);
  EXPECT_NEAR(h, 2.0 / 3.0, 1e-12);
  TRGB c;
  HSLToTRGB(c, 0.5, 1, 0);
  EXPECT_EQ(c, MakeRGB(255, 0, 0));
  HSLToTRGB(c, 0.5, 0, 0);  // 127.5 to the even neighbour
  EXPECT_EQ(c, MakeRGB(128, 128, 128));
  HSLToTRGB(c, 2.0, -1, 1.5);  // clamped and wrapped
  EXPECT_EQ(c, MakeRGB(255, 255, 255));
  // Round trip of a few colours.
  for (uint32_t colour : {0x336699u, 0x10E020u, 0xC0C0C0u, 0x800000u}) {
    TRGBToHSL(h, s, l, colour);
    HSLToTRGB(c, l, s, h);
    EXPECT_EQ(PackRGB(c), colour);
  }
}

TEST(Colour, CMYKFormulasAndColorTypes) {
  EXPECT_EQ(RGBToCMYK(0x000000), (TCMYK{0, 0, 0, 1}));
  EXPECT_EQ(CMYKToRGB(TCMYK{0, 0, 0, 1}), (TRGB{0, 0, 0}));
  EXPECT_EQ(RGBToCMYK(0xFF8000), (TCMYK{255, 128, 0, 255}));
  EXPECT_EQ(CMYKToRGB(TCMYK{255, 128, 0, 255}), MakeRGB(255, 128, 0));
  EXPECT_EQ(ColorToTRGB(0x0000FF), MakeRGB(255, 0, 0));  // a TColor keeps red in its low byte
  EXPECT_EQ(RGBToColor(MakeRGB(1, 2, 3)), 0x030201);
  EXPECT_EQ(ColorToTRGB(static_cast<TColor>(0x80000005)), MakeRGB(255, 255, 255));  // window colour
  EXPECT_EQ(MakeRGBA(1, 2, 3, 4), 0x04010203u);
  TRGB pal[3] = {MakeRGB(10, 10, 10), MakeRGB(20, 20, 20), MakeRGB(0, 0, 0)};
  EXPECT_EQ(NearestPaletteIndex(pal, 3, MakeRGB(15, 15, 15)), 0);  // a tie: the first wins
  EXPECT_EQ(NearestPaletteIndex(pal, 0, MakeRGB(15, 15, 15)), 0);
  uint8_t ycc[3];
  YCbCrToRGB(ycc, 128, 128, 128);
  EXPECT_EQ(ycc[0], 128);
  YCbCrToRGB(ycc, 255, 0, 255);
  EXPECT_EQ(ycc[2], 255);
  EXPECT_EQ(ycc[0], 28);
}

TEST(Text, LocaleProofNumbers) {
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  std::string saved = old ? old : "C";
  std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
  EXPECT_DOUBLE_EQ(static_cast<double>(StrToFloatDefA("1,5", 0)), 1.5);
  EXPECT_DOUBLE_EQ(static_cast<double>(StrToFloatDefA("2.25", 0)), 2.25);
  EXPECT_DOUBLE_EQ(static_cast<double>(StrToFloatDefA("abc", 7)), 7);
  EXPECT_EQ(FloatToStrDotA(2.5), "2.5");
  EXPECT_EQ(FloatToStrDotA(100), "100");
  EXPECT_EQ(FloatToStrDotA(0.0001), "0.0001");
  EXPECT_EQ(FloatToStrDotA(0.00001), "1E-5");
  EXPECT_EQ(FloatToStrDotA(1.5e20), "1.5E20");
  EXPECT_EQ(FloatToStrDotA(-0.125), "-0.125");
  EXPECT_EQ(FloatToStrDotA(1.0 / 3.0), "0.333333333333333");
  std::setlocale(LC_NUMERIC, saved.c_str());
  int32_t n, d;
  FloatToRational(n, d, 0.5, 5e-9);
  EXPECT_EQ(n, 1);
  EXPECT_EQ(d, 2);
  FloatToRational(n, d, 0.3333333333, 5e-9);
  EXPECT_EQ(n, 1);
  EXPECT_EQ(d, 3);
  FloatToRational(n, d, 72, 5e-9);
  EXPECT_EQ(n, 72);
  EXPECT_EQ(d, 1);
  FloatToRational(n, d, -0.25, 5e-9);
  EXPECT_EQ(n, -1);
  EXPECT_EQ(d, 4);
  FloatToRational(n, d, M_PI, 5e-9);  // terms stay inside 32 bits
  EXPECT_GT(d, 0);
  EXPECT_NEAR(static_cast<double>(n) / d, M_PI, 1e-8);
  EXPECT_EQ(IntToHexA(255, 4), "00FF");
  EXPECT_EQ(StrToIntDefA("12x", 9), 9);
  EXPECT_EQ(TrimA("  a b \t"), "a b");
  EXPECT_EQ(CopyA("abcdef", 2, 3), "bcd");
  EXPECT_EQ(PosA("cd", "abcdef"), 3);
  EXPECT_EQ(ExtractFileExtLower("/x.y/Photo.JPG", true), ".jpg");
  EXPECT_EQ(ExtractFileExtLower("/x.y/Photo", false), "");
  EXPECT_EQ(GetURLKind("HTTPS://host/a.png"), 2);
  EXPECT_EQ(GetURLKind("ftp://h"), 3);
  EXPECT_EQ(GetURLKind("file.png"), 0);
  int32_t w = 0, h = 0;
  FitSizeKeepingAspect(400, 100, 100, 100, w, h);
  EXPECT_EQ(w, 100);
  EXPECT_EQ(h, 25);
  FitSizeKeepingAspect(1, 1000, 10, 10, w, h);
  EXPECT_EQ(w, 1);
  EXPECT_EQ(h, 10);
}

// Saves LC_ALL and puts it back; Switch answers whether the locale exists here.
struct LocaleGuard {
  std::string saved;
  LocaleGuard() {
    const char* old = std::setlocale(LC_ALL, nullptr);
    saved = old ? old : "C";
  }
  ~LocaleGuard() { std::setlocale(LC_ALL, saved.c_str()); }
  bool Switch(const char* name) { return std::setlocale(LC_ALL, name) != nullptr; }
};

TEST(Text, FormattedNumbersInTheProcesssSettings) {
  LocaleGuard guard;
  ASSERT_TRUE(guard.Switch("C"));
  EXPECT_EQ(DecimalSeparatorChar(), '.');
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  struct Case {
    int32_t format, precision, digits;
    double value;
    const char* text;
  } cases[] = {
      {ffGeneral, 15, 0, 2.5, "2.5"},
      {ffGeneral, 15, 0, 0, "0"},
      {ffGeneral, 15, 0, -0.125, "-0.125"},
      {ffGeneral, 15, 0, 0.0001, "0.0001"},
      {ffGeneral, 15, 0, 0.00001, "1E-5"},
      {ffGeneral, 15, 0, 1.5e20, "1.5E20"},
      {ffGeneral, 15, 3, 1.5e20, "1.5E020"},
      {ffGeneral, 3, 0, 123456, "1.23E5"},
      {ffGeneral, 3, 0, 999.6, "1E3"},
      {ffGeneral, 6, 0, 1.0 / 3.0, "0.333333"},
      {ffGeneral, 0, 0, 47, "5E1"},  // precision taken as 1
      {ffExponent, 4, 2, 1234.56, "1.235E+03"},
      {ffExponent, 4, 0, -0.00123456, "-1.235E-3"},
      {ffExponent, 3, 4, 0, "0.00E+0000"},
      {ffExponent, 1, 2, 7, "7E+00"},
      {ffFixed, 15, 2, 3.14159, "3.14"},
      {ffFixed, 15, 0, 2.7, "3"},
      {ffFixed, 15, 1, -0.5, "-0.5"},
      {ffFixed, 15, 1, -0.04, "0.0"},  // rounds to 0: no sign
      {ffFixed, 3, 2, 12345.678, "1.23E4"},  // more digits than the precision
      {ffNumber, 15, 2, 1234567.891, "1234567.89"},  // the C settings group nothing
      {ffCurrency, 15, 2, 1234.5, "1234.50"},  // nor have a currency symbol
      {ffFixed, 15, 2, nan, "NAN"},
      {ffGeneral, 15, 0, inf, "INF"},
      {ffExponent, 15, 0, -inf, "-INF"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FloatToStrFormatted(c.format, c.precision, c.digits, c.value), c.text)
        << c.format << " " << c.precision << " " << c.digits << " " << c.value;
}

TEST(Text, FormattedNumbersFollowACommaLocale) {
  LocaleGuard guard;
  if (!guard.Switch("de_DE.UTF-8")) GTEST_SKIP() << "no de_DE.UTF-8 locale on this machine";
  EXPECT_EQ(DecimalSeparatorChar(), ',');
  EXPECT_EQ(FloatToStrFormatted(ffFixed, 15, 2, 3.14159), "3,14");
  EXPECT_EQ(FloatToStrFormatted(ffGeneral, 15, 0, -2.5), "-2,5");
  EXPECT_EQ(FloatToStrFormatted(ffExponent, 4, 2, 1234.56), "1,235E+03");
  EXPECT_EQ(FloatToStrFormatted(ffNumber, 15, 2, 1234567.891), "1.234.567,89");
  EXPECT_EQ(FloatToStrFormatted(ffCurrency, 15, 2, 1234.5), "1.234,50 \u20ac");
  // The text for files stays the same.
  EXPECT_EQ(FloatToStrDotA(2.5), "2.5");
}

TEST(Text, DuplicatePCharCopiesTheBytesAndTheEnd) {
  EXPECT_EQ(DuplicatePChar(nullptr), nullptr);
  const char text[] = "Sculpted \xA9 Prim";
  auto copy = DuplicatePChar(text);
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy.get(), text);
  EXPECT_EQ(std::memcmp(copy.get(), text, sizeof text), 0);
  auto empty = DuplicatePChar("");
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty[0], 0);
}

namespace {
std::string A85(const std::vector<uint8_t>& in) {
  std::vector<uint8_t> out(in.size() * 2 + 16);
  const uint8_t* s = in.data();
  uint8_t* d = out.data();
  int64_t counter = 0;
  int64_t n = ASCII85Encode(s, static_cast<int64_t>(in.size()), d, counter);
  EXPECT_EQ(d - out.data(), n);
  return std::string(reinterpret_cast<char*>(out.data()), static_cast<size_t>(n));
}
std::vector<uint8_t> RLE(const std::vector<uint8_t>& in) {
  std::vector<uint8_t> out(in.size() * 2 + 2);
  out.resize(static_cast<size_t>(RunLengthEncode(in.data(), static_cast<int64_t>(in.size()), out.data())));
  return out;
}
}  // namespace

TEST(Encoders, RunLengthStaysWithinItsBound) {
  // Pairs of equal bytes end literal runs: A B B C C ... costs three bytes for every two, far
  // beyond one length byte per 128 bytes. The output decodes back to the input.
  auto pairs = [](size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = uint8_t((i + 1) / 2);
    return v;
  };
  auto noise = [](size_t n) {
    std::vector<uint8_t> v(n);
    uint32_t seed = 7;
    for (auto& b : v) b = uint8_t((seed = seed * 1664525u + 1013904223u) >> 31);
    return v;
  };
  for (size_t n : {0u, 1u, 2u, 3u, 5u, 128u, 129u, 300u, 4097u})
    for (const std::vector<uint8_t>& in : {pairs(n), noise(n), std::vector<uint8_t>(n, 9)}) {
      std::vector<uint8_t> out(static_cast<size_t>(RunLengthEncodeBound(int64_t(n))) + 16, 0xEE);
      const int64_t len = RunLengthEncode(in.data(), int64_t(n), out.data());
      ASSERT_LE(len, RunLengthEncodeBound(int64_t(n))) << n;
      std::vector<uint8_t> back;
      for (int64_t i = 0; i < len && out[size_t(i)] != 128;) {
        const int c = out[size_t(i++)];
        if (c < 128) {
          back.insert(back.end(), out.begin() + i, out.begin() + i + c + 1);
          i += c + 1;
        } else {
          back.insert(back.end(), size_t(257 - c), out[size_t(i++)]);
        }
      }
      EXPECT_EQ(back, in) << n;
    }
  const std::vector<uint8_t> worst = pairs(4097);
  std::vector<uint8_t> out(static_cast<size_t>(RunLengthEncodeBound(4097)));
  EXPECT_GT(RunLengthEncode(worst.data(), 4097, out.data()), 6000);
}

TEST(Encoders, ASCII85RunLengthAndBase64) {
  EXPECT_EQ(A85({0, 0, 0, 0}), "z~>\r\n");
  EXPECT_EQ(A85({0}), "!!~>\r\n");
  EXPECT_EQ(A85({}), "~>");
  EXPECT_EQ(A85({'M', 'a', 'n', ' '}), "9jqo^~>\r\n");
  std::vector<uint8_t> long100(100, 0x41);
  std::string enc = A85(long100);
  EXPECT_NE(enc.find("\r\n"), std::string::npos);
  EXPECT_EQ(RLE({'A', 'B', 'C', 'C', 'C'}), (std::vector<uint8_t>{2, 'A', 'B', 'C', 0xFF, 'C', 0x80}));
  std::vector<uint8_t> runs = RLE(std::vector<uint8_t>(300, 7));
  EXPECT_EQ(runs, (std::vector<uint8_t>{129, 7, 129, 7, 213, 7, 0x80}));
  std::string out;
  uint8_t three[3] = {'a', 'b', 'c'};
  TRVMemStream s3(three, 3);
  WriteBase64Lines(s3, out, 76);
  EXPECT_EQ(out, "YWJj\r\n");
  out.clear();
  TRVMemStream s2(three, 2);
  WriteBase64Lines(s2, out, 76);
  EXPECT_EQ(out, "YWI=\r\n");
  out.clear();
  std::vector<uint8_t> sixty(60, 'x');
  TRVMemStream s60(sixty.data(), 60);
  WriteBase64Lines(s60, out, 76);
  EXPECT_EQ(out.size(), 76u + 2 + 4 + 2);  // 19 groups, then 1 group
}

TEST(Geometry, DistancesAndSnapping) {
  EXPECT_DOUBLE_EQ(DistanceToSegment(15, 0, 0, 0, 10, 0), 5);
  EXPECT_DOUBLE_EQ(DistanceToSegment(5, 3, 0, 0, 10, 0), 3);
  EXPECT_DOUBLE_EQ(DistanceToSegment(50010, 0, 0, 0, 10, 0), 1000000);
  EXPECT_DOUBLE_EQ(DistanceToSegment(-4, 3, 0, 0, 10, 0), 5);
  // Far-off coordinates no longer overflow the squares.
  EXPECT_NEAR(static_cast<double>(PointDistance(-2000000000, 0, 2000000000, 0)), 4e9, 1);
  EXPECT_NEAR(DistanceToLine(0, 2000000000, -2000000000, 0, 2000000000, 0), 2e9, 1);
  TRVPoint line[2] = {{0, 0}, {100, 0}};
  EXPECT_DOUBLE_EQ(DistanceToPolyline(50, 7, line, 2, false, 1, 1, 1, 0, 0, 0, 0), 7);
  EXPECT_DOUBLE_EQ(DistanceToPolyline(50, 7, line, 0, false, 1, 1, 1, 0, 0, 0, 0), 1000000);
  struct Case {
    int x, y, ex, ey;
  } cases[] = {{100, 5, 100, 0}, {5, 100, 0, 100}, {100, 90, 100, 100}, {-100, -90, -100, -100},
               {20, 0, 20, 0},   {0, 20, 0, 20},   {-20, 0, -20, 20},   {0, -20, 20, -20}};
  for (const Case& c : cases) {
    int32_t x = c.x, y = c.y;
    SnapToAxisOrDiagonal(0, 0, x, y);
    EXPECT_EQ(x, c.ex) << c.x << "," << c.y;
    EXPECT_EQ(y, c.ey) << c.x << "," << c.y;
  }
  EXPECT_TRUE(RectsOverlap(10, 10, 0, 0, 10, 10, 20, 20));  // touching edges overlap
  EXPECT_FALSE(RectsOverlap(0, 0, 9, 9, 10, 10, 20, 20));
  EXPECT_TRUE(PointInNormalizedRect(5, 5, 10, 10, 0, 0));
}

TEST(Memory, TaggedBlocksAndXMP) {
  void* small = AllocBlock(100);
  void* big = AllocBlock(1048576);
  ASSERT_NE(small, nullptr);
  ASSERT_NE(big, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(big) % 16, 0u);
  EXPECT_EQ(static_cast<uint8_t*>(big)[12345], 0);  // the large block is zero-filled
  FreeBlock(small);
  FreeBlock(big);
  EXPECT_EQ(small, nullptr);
  EXPECT_EQ(AllocBlock(-1), nullptr);
  EXPECT_EQ(AllocBlock(int64_t(1) << 62), nullptr);

  std::string xmp = "<x:xmpmeta>hello</x:xmpmeta>";
  std::vector<uint8_t> seg = BuildXMPMarker(xmp);
  EXPECT_EQ(seg.size(), 29 + xmp.size());
  std::string back;
  EXPECT_TRUE(ReadXMPMarker(seg.data(), static_cast<int64_t>(seg.size()), back));
  EXPECT_EQ(back, xmp);
  // Too short, another namespace, or no terminating zero inside the data: not an XMP segment.
  EXPECT_FALSE(ReadXMPMarker(seg.data(), 29, back));
  std::vector<uint8_t> noZero(seg.begin(), seg.begin() + 28);
  noZero.insert(noZero.end(), 10, 'a');
  EXPECT_EQ(FindXMPPacket(noZero.data(), static_cast<int64_t>(noZero.size())), nullptr);
  seg[3] = 'X';
  EXPECT_FALSE(ReadXMPMarker(seg.data(), static_cast<int64_t>(seg.size()), back));
}

TEST(Sorting, QuickSortIndexedSortsThroughTheCallbacks) {
  std::vector<int> v = {5, 3, 9, 1, 5, 0, 7, 2, 8, 6, 4};
  SortIndexed(
      static_cast<int32_t>(v.size()),
      [](void* d, int32_t a, int32_t b) -> int32_t {
        auto& w = *static_cast<std::vector<int>*>(d);
        return (w[a] > w[b]) - (w[a] < w[b]);
      },
      &v,
      [](void* d, int32_t a, int32_t b) {
        auto& w = *static_cast<std::vector<int>*>(d);
        std::swap(w[a], w[b]);
      },
      &v);
  EXPECT_TRUE(std::is_sorted(v.begin(), v.end()));
}
