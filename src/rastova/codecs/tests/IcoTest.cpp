// Icons and cursors: the directory rules, every entry depth, the AND mask and the 1-bit
// background rule, the BMP and PNG hand-overs, the writer, damaged files, and files of and for
// ImageMagick and Pillow.
#include <gtest/gtest.h>

#include <sstream>

#include "TestTools.h"
#include "rastova/codecs/bitmaps/icofilt.h"
#include "rastova/codecs/bmp/bmpfilt.h"
#include "rastova/codecs/png/pngfilt.h"

namespace rv {
namespace {

using namespace test;

struct IcoDecoded {
  TRVBitmap bitmap;
  TIOParamsVals params;
  std::unique_ptr<TRVMask> mask;
  bool ok = false;
};

// Reads into what `d` holds already (its bitmap, parameters and mask).
void ReadIconInto(IcoDecoded& d, const std::vector<uint8_t>& data, bool cursor) {
  auto s = StreamOf(data);
  TRVProgressRec progress;
  if (cursor)
    ReadCURStream(*s, d.bitmap, d.params, false, progress, d.mask, false);
  else
    ReadICOStream(*s, d.bitmap, d.params, false, progress, d.mask, false);
  d.ok = !progress.IsAborting();
}

std::unique_ptr<IcoDecoded> ReadIcon(const std::vector<uint8_t>& data, int index = 0, bool cursor = false,
                                  bool native = false, TRGB background = TRGB{255, 255, 255}) {
  auto d = std::make_unique<IcoDecoded>();
  d->params.SetImageIndex(index);
  d->params.NativePixelFormat = native;
  d->params.ICO_Background = d->params.CUR_Background = background;
  ReadIconInto(*d, data, cursor);
  return d;
}

std::vector<uint8_t> WriteIcon(TRVBitmap& b, TIOParamsVals& p, const std::vector<int32_t>& bits,
                               const std::vector<TIOParamsFields::TIcoSize>& sizes) {
  TMemoryStream s;
  TRVProgressRec progress;
  WriteICOStream(s, b, p, bits, sizes, progress);
  EXPECT_FALSE(progress.IsAborting());
  return s.Data();
}

void Put16(std::vector<uint8_t>& f, size_t at, uint32_t v) {
  f[at] = uint8_t(v);
  f[at + 1] = uint8_t(v >> 8);
}
void Put32(std::vector<uint8_t>& f, size_t at, uint32_t v) {
  for (int k = 0; k < 4; ++k) f[at + size_t(k)] = uint8_t(v >> (8 * k));
}

// One entry of w x h at `bits` with the given XOR rows (bottom row first), AND rows and palette.
std::vector<uint8_t> IconFile(int w, int h, int bits, const std::vector<uint8_t>& palette, const std::vector<uint8_t>& xorRows,
                              const std::vector<uint8_t>& andRows, uint16_t type = 1, int colors = 0) {
  std::vector<uint8_t> f(6 + 16 + 40, 0);
  Put16(f, 2, type);
  Put16(f, 4, 1);
  f[6] = uint8_t(w);
  f[7] = uint8_t(h);
  f[8] = uint8_t(colors);
  Put16(f, 10, type == 2 ? 3 : 1);
  Put16(f, 12, type == 2 ? 4 : uint32_t(bits));
  Put32(f, 14, uint32_t(40 + palette.size() + xorRows.size() + andRows.size()));
  Put32(f, 18, 22);
  Put32(f, 22, 40);
  Put32(f, 26, uint32_t(w));
  Put32(f, 30, uint32_t(h * 2));
  Put16(f, 34, 1);
  Put16(f, 36, uint32_t(bits));
  Append(f, palette);
  Append(f, xorRows);
  Append(f, andRows);
  return f;
}

// An icon of one PNG entry holding the bitmap as PNG, the first `keep` bytes of it (all when 0).
std::vector<uint8_t> PngEntryIcon(TRVBitmap& src, size_t keep = 0) {
  TMemoryStream png;
  TRVProgressRec pr;
  TIOParamsVals ppng;
  WritePNGStream(png, src, ppng, nullptr, pr);
  std::vector<uint8_t> f(22, 0);
  Put16(f, 2, 1);
  Put16(f, 4, 1);
  f[6] = uint8_t(src.GetWidth());
  f[7] = uint8_t(src.GetHeight());
  Put32(f, 14, uint32_t(png.GetSize()));
  Put32(f, 18, 22);
  const std::vector<uint8_t>& data = png.Data();
  Append(f, std::vector<uint8_t>(data.begin(), data.begin() + long(keep ? keep : data.size())));
  return f;
}

TEST(Ico, OneBitBackgroundRuleAndMasks) {
  // 2 x 1: pixel 0 XOR 0, pixel 1 XOR 1, both transparent.
  const std::vector<uint8_t> palette = {0, 0, 0, 0, 255, 255, 255, 0};
  const std::vector<uint8_t> xorRow = {0x40, 0, 0, 0}, andRow = {0xC0, 0, 0, 0};
  auto white = ReadIcon(IconFile(2, 1, 1, palette, xorRow, andRow));
  ASSERT_TRUE(white->ok);
  ASSERT_EQ(white->bitmap.GetPixelFormat(), rv1g);
  EXPECT_TRUE(white->bitmap.GetPixels_rv1g(0, 0));   // shows the white background
  EXPECT_FALSE(white->bitmap.GetPixels_rv1g(1, 0));  // its inverse
  ASSERT_TRUE(white->mask);
  EXPECT_EQ(white->mask->GetPixel(0, 0), 0);
  auto black = ReadIcon(IconFile(2, 1, 1, palette, xorRow, andRow), 0, false, false, TRGB{});
  EXPECT_FALSE(black->bitmap.GetPixels_rv1g(0, 0));
  EXPECT_TRUE(black->bitmap.GetPixels_rv1g(1, 0));
  // An AND mask that marks nothing: no mask for an icon, a mask of 255s for a cursor.
  const std::vector<uint8_t> none = {0, 0, 0, 0};
  EXPECT_FALSE(ReadIcon(IconFile(2, 1, 1, palette, xorRow, none))->mask);
  auto cursor = ReadIcon(IconFile(2, 1, 1, palette, xorRow, none, 2), 0, true);
  ASSERT_TRUE(cursor->ok);
  ASSERT_TRUE(cursor->mask);
  EXPECT_EQ(cursor->mask->GetPixel(1, 0), 255);
  EXPECT_EQ(cursor->params.CUR_XHotSpot, 3);
  EXPECT_EQ(cursor->params.CUR_YHotSpot, 4);
}

TEST(Ico, DepthsNativeIndicesAndAlpha) {
  // 4 bits, 3 x 2: indices 1 2 3 / 4 5 6 (file rows bottom first); pixel (0,0) transparent.
  std::vector<uint8_t> pal16(64, 0);
  for (int i = 0; i < 16; ++i) pal16[size_t(4 * i + 2)] = uint8_t(i * 16);
  const std::vector<uint8_t> xor4 = {0x45, 0x60, 0, 0, 0x12, 0x30, 0, 0};
  const std::vector<uint8_t> and4 = {0, 0, 0, 0, 0x80, 0, 0, 0};
  auto rgb = ReadIcon(IconFile(3, 2, 4, pal16, xor4, and4));
  ASSERT_TRUE(rgb->ok);
  EXPECT_EQ(PixelOf(rgb->bitmap, 1, 0).r, 32);
  EXPECT_EQ(PixelOf(rgb->bitmap, 2, 1).r, 96);
  EXPECT_EQ(PixelOf(rgb->bitmap, 0, 0).r, 255);  // transparent: the background
  EXPECT_EQ(rgb->mask->GetPixel(0, 0), 0);
  auto native = ReadIcon(IconFile(3, 2, 4, pal16, xor4, and4), 0, false, true);
  ASSERT_EQ(native->bitmap.GetPixelFormat(), rv8p);
  EXPECT_EQ(native->bitmap.GetScanLine(0)[2], 3);
  EXPECT_EQ(native->bitmap.GetScanLine(1)[0], 4);
  // 32 bits with every alpha byte 0: the transparency comes from the AND mask.
  std::vector<uint8_t> x32 = {10, 20, 30, 0, 40, 50, 60, 0};
  const std::vector<uint8_t> and32 = {0x40, 0, 0, 0};
  auto p32 = ReadIcon(IconFile(2, 1, 32, {}, x32, and32));
  ASSERT_TRUE(p32->ok);
  EXPECT_EQ(PixelOf(p32->bitmap, 1, 0).r, 60);
  EXPECT_EQ(p32->mask->GetPixel(0, 0), 255);
  EXPECT_EQ(p32->mask->GetPixel(1, 0), 0);
  x32[3] = 7;
  auto a32 = ReadIcon(IconFile(2, 1, 32, {}, x32, and32));
  EXPECT_EQ(a32->mask->GetPixel(0, 0), 7);
  EXPECT_EQ(a32->mask->GetPixel(1, 0), 0);
}

TEST(Ico, DirectoryRulesAndHandOvers) {
  TRVBitmap src;
  FillTestBitmap(src, 40, 40, true);
  TIOParamsVals p;
  // Entries 256 x 256 (size bytes 0) first, then 16 and 32.
  auto file = WriteIcon(src, p, {24, 24, 32}, {{256, 256}, {16, 16}, {32, 32}});
  auto d = ReadIcon(file, 0);
  ASSERT_TRUE(d->ok);
  EXPECT_EQ(d->params.ICO_Sizes[0].cx, 0);  // missing from the list
  EXPECT_EQ(d->params.ICO_Sizes[1].cx, 16);
  EXPECT_EQ(d->params.ICO_BitCount[2], 32);
  EXPECT_EQ(d->bitmap.GetWidth(), 32);  // index 0 reads the last entry
  EXPECT_EQ(ReadIcon(file, 1)->bitmap.GetWidth(), 16);
  // An index outside the directory changes nothing and is no failure.
  auto outside = ReadIcon(file, 3);
  EXPECT_TRUE(outside->ok);
  EXPECT_TRUE(outside->bitmap.IsEmpty());
  // A file that is really a BMP loads as a BMP; a PNG entry through the PNG reader.
  TMemoryStream bmp;
  TRVProgressRec pr;
  TIOParamsVals pbmp;
  WriteBMPStream(bmp, src, pbmp, pr, false);
  auto asBmp = ReadIcon(bmp.Data());
  ASSERT_TRUE(asBmp->ok);
  EXPECT_EQ(asBmp->bitmap.GetWidth(), 40);
  const std::vector<uint8_t> withPng = PngEntryIcon(src);
  auto asPng = ReadIcon(withPng);
  ASSERT_TRUE(asPng->ok);
  ExpectPicture(asPng->bitmap, 40, 40, true, "PNG entry");
  auto s = StreamOf(withPng);
  EXPECT_TRUE(IsICOStream(*s));
  EXPECT_FALSE(IsCURStream(*s));
}

// A 1 x 4 one-bit entry, white in rows 0 and 2 (the rows are stored bottom first).
std::vector<uint8_t> OneByFour(uint16_t type) {
  const std::vector<uint8_t> palette = {0, 0, 0, 0, 255, 255, 255, 0};
  const std::vector<uint8_t> rows = {0, 0, 0, 0, 0x80, 0, 0, 0, 0, 0, 0, 0, 0x80, 0, 0, 0};
  return IconFile(1, 4, 1, palette, rows, std::vector<uint8_t>(16, 0), type);
}

TEST(Ico, DirectoryAndBitmapHeaderDisagree) {
  // The directory's size or byte count disagrees with the entry's bitmap: the header's size is
  // read when its data are there, as other readers do; the byte count is not trusted.
  struct Case {
    const char* name;
    bool cursor;
    uint8_t w, h;
    uint32_t bytes;  // 0: the right count
  };
  const Case cases[] = {
      {"cursor 1 x 4", true, 1, 4, 0},
      {"cursor said to be 32 x 32", true, 32, 32, 0},
      {"cursor said to be 256 x 256", true, 0, 0, 0},
      {"cursor said to be 1 x 8", true, 1, 8, 0},
      {"icon said to be 1 x 8", false, 1, 8, 0},
      {"icon said to be 32 x 32", false, 32, 32, 0},
      {"icon with a byte count of 10", false, 1, 4, 10},
      {"cursor with a byte count of 10", true, 1, 4, 10},
  };
  for (const Case& c : cases) {
    auto f = OneByFour(c.cursor ? 2 : 1);
    f[6] = c.w;
    f[7] = c.h;
    if (c.bytes) Put32(f, 14, c.bytes);
    auto d = ReadIcon(f, 0, c.cursor);
    ASSERT_TRUE(d->ok) << c.name;
    ASSERT_EQ(d->bitmap.GetWidth(), 1) << c.name;
    ASSERT_EQ(d->bitmap.GetHeight(), 4) << c.name;
    EXPECT_EQ(d->params.Height, 4) << c.name;
    for (int y = 0; y < 4; ++y) EXPECT_EQ(d->bitmap.GetPixels_rv1g(0, y), y % 2 == 0) << c.name << " row " << y;
  }
  // A header whose data are not there falls back on the directory's size when those are.
  auto tall = OneByFour(1);
  tall[6] = 1, tall[7] = 2;
  Put32(tall, 22 + 8, 200);  // a header height of 200 (100 rows)
  auto d = ReadIcon(tall);
  ASSERT_TRUE(d->ok);
  EXPECT_EQ(d->bitmap.GetHeight(), 2);
  // A directory without entries is a failure that leaves the bitmap alone, for cursors and icons.
  for (bool cursor : {false, true}) {
    auto none = OneByFour(cursor ? 2 : 1);
    Put16(none, 4, 0);
    IcoDecoded e;
    e.bitmap.Allocate(3, 2, rv24RGB);
    ReadIconInto(e, none, cursor);
    EXPECT_FALSE(e.ok) << cursor;
    EXPECT_EQ(e.bitmap.GetWidth(), 3) << cursor;
  }
}

TEST(Ico, WriterDefaultsAndDepths) {
  const int w = 20, h = 14;
  TRVBitmap src;
  FillTestBitmap(src, w, h, true);
  auto alpha = TestAlphaMask(w, h, true);
  src.AlphaBitmap()->CopyFromTRVMask(alpha.get());
  // The defaults: one 64 x 64 entry at 8 bits, colour count 255, entry 0 black for the
  // transparent pixels with their AND bits set.
  TIOParamsVals p;
  const auto file = WriteIcon(src, p, {p.ICO_BitCount[0]}, {p.ICO_Sizes[0]});
  EXPECT_EQ(file[6], 64);
  EXPECT_EQ(file[8], 255);
  EXPECT_EQ(file[12], 0);  // bit count 0 in the directory
  const size_t bmp = 22;
  EXPECT_EQ(file[bmp + 14], 8);
  EXPECT_EQ(std::vector<uint8_t>(file.begin() + long(bmp + 40), file.begin() + long(bmp + 44)),
            (std::vector<uint8_t>{0, 0, 0, 0}));
  auto d = ReadIcon(file, 0, false, true);
  ASSERT_TRUE(d->ok);
  ASSERT_TRUE(d->mask);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x)
      if (d->mask->GetPixel(x, y) == 0) {
        ASSERT_EQ(d->bitmap.GetScanLine(y)[x], 0) << x << "," << y;
      }
  // No sizes: no icon.
  TMemoryStream none;
  TRVProgressRec refused;
  WriteICOStream(none, src, p, {}, {}, refused);
  EXPECT_TRUE(refused.IsAborting());
  EXPECT_EQ(none.GetSize(), 0);
  // Same size entries at each depth read back the picture (32 bits with its alpha).
  for (int bits : {1, 4, 8, 24, 32}) {
    TRVBitmap b;
    b.Assign(&src);
    if (bits == 1) b.SetPixelFormat(rv1g);
    TIOParamsVals pb;
    auto e = ReadIcon(WriteIcon(b, pb, {bits}, {{w, h}}));
    ASSERT_TRUE(e->ok) << bits;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const bool transparent = FewColorPixel(x, y).a < 255;
        if (bits != 1) {
          ASSERT_EQ(e->mask ? e->mask->GetPixel(x, y) : 255, transparent ? 0 : 255) << bits;
        }
        // Sixteen colours do not fit the fifteen of a 4-bit entry: only its mask is exact.
        if (transparent || bits == 4) continue;
        const Rgba a = PixelOf(e->bitmap, x, y), x0 = PixelOf(b, x, y);
        ASSERT_TRUE(a.r == x0.r && a.g == x0.g && a.b == x0.b) << bits << " at " << x << "," << y;
      }
  }
}

TEST(Ico, DamagedFiles) {
  TRVBitmap src;
  FillTestBitmap(src, 16, 16, true);
  TIOParamsVals p;
  const auto good = WriteIcon(src, p, {8}, {{16, 16}});
  auto with32 = [&](size_t at, uint32_t v) {
    auto f = good;
    Put32(f, at, v);
    return f;
  };
  auto zeroSizes = good;
  zeroSizes[6] = zeroSizes[7] = 0;
  Put32(zeroSizes, 22 + 4, 0x80000000u);
  std::vector<uint8_t> noBits = IconFile(2, 1, 0, {}, {0, 0, 0, 0}, {0, 0, 0, 0});
  std::vector<uint8_t> cursor8 = IconFile(2, 1, 8, std::vector<uint8_t>(8, 0), {1, 0, 0, 0}, {0, 0, 0, 0}, 2, 2);
  const std::vector<uint8_t> cutPng = PngEntryIcon(src, 60);
  struct Case {
    const char* name;
    std::vector<uint8_t> data;
    bool cursor;
  };
  const Case cases[] = {
      {"empty", {}, false},
      {"offset past the stream", with32(18, 100000), false},
      {"size bytes 0 with a header width of 2^31", zeroSizes, false},
      {"bit count 0 with colour count 0", noBits, false},
      {"a truncated BMP entry", std::vector<uint8_t>(good.begin(), good.end() - 200), false},
      {"a truncated PNG entry", cutPng, false},
  };
  for (const Case& c : cases) {
    auto d = ReadIcon(c.data, 0, c.cursor);
    EXPECT_FALSE(d->ok) << c.name;
  }
  // 0 entries: a failure that delivers nothing. An 8-bit cursor with colour count 2: indices past
  // the two entries read black.
  auto none = good;
  Put16(none, 4, 0);
  auto empty = ReadIcon(none);
  EXPECT_FALSE(empty->ok);
  EXPECT_TRUE(empty->bitmap.IsEmpty());
  auto c8 = ReadIcon(cursor8, 0, true);
  ASSERT_TRUE(c8->ok);
  EXPECT_EQ(c8->bitmap.GetPixelFormat(), rv24RGB);
  for (size_t at = 0; at < good.size(); at += 3) {
    auto f = good;
    f[at] ^= 0x77;
    ReadIcon(f);
    ReadIcon(f, 0, true);
  }
}

// ---------------------------------------------------------------- independent tools

TEST(IcoTools, PillowReadsDisagreeingDirectoriesAsWeDo) {
  if (!HavePillow()) GTEST_SKIP() << "Pillow (/usr/bin/python3 with PIL) is not installed";
  TempDir dir;
  struct Case {
    const char* name;
    bool cursor;
    uint8_t w, h;
    uint32_t bytes;
  };
  const Case cases[] = {
      {"c32.cur", true, 32, 32, 0},
      {"i18.ico", false, 1, 8, 0},
      {"ibytes.ico", false, 1, 4, 10},
  };
  std::vector<std::string> paths;
  for (const Case& c : cases) {
    auto f = OneByFour(c.cursor ? 2 : 1);
    f[6] = c.w;
    f[7] = c.h;
    if (c.bytes) Put32(f, 14, c.bytes);
    paths.push_back(dir.File(c.name));
    WriteFileBytes(paths.back(), f);
  }
  ASSERT_TRUE(PillowDecodeAll(paths));
  for (size_t i = 0; i < paths.size(); ++i) {
    int w, h;
    std::vector<uint8_t> expect;
    ASSERT_TRUE(LoadDecoded(paths[i], w, h, expect)) << paths[i];
    auto d = ReadIcon(ReadFileBytes(paths[i]), 0, cases[i].cursor);
    ASSERT_TRUE(d->ok) << paths[i];
    ASSERT_EQ(d->bitmap.GetWidth(), w) << paths[i];
    ASSERT_EQ(d->bitmap.GetHeight(), h) << paths[i];
    for (int y = 0; y < h; ++y) {
      const Rgba a = PixelOf(d->bitmap, 0, y);
      EXPECT_EQ(a.r, expect[size_t(4 * y)]) << paths[i] << " row " << y;
    }
  }
}

TEST(IcoTools, ImageMagickAndPillowIconsReadAndOursReadInThem) {
  if (!HaveMagick() || !HavePillow()) GTEST_SKIP() << "ImageMagick and Pillow are needed";
  TempDir dir;
  std::ostringstream py;
  py << "from PIL import Image\n" << kPyFewColorPixel
     << "base = Image.new('RGBA', (48, 48))\n"
     << "base.putdata([px(x, y) for y in range(48) for x in range(48)])\n"
     << "base.save('" << dir.File("src.png") << "')\n"
     << "base.save('" << dir.File("pil.ico") << "', sizes=[(16, 16), (32, 32), (48, 48)])\n";
  ASSERT_TRUE(RunPython(py.str()));
  ASSERT_TRUE(RunCommand("/usr/bin/convert '" + dir.File("src.png") + "' -define icon:auto-resize=32,16 '" +
                         dir.File("im.ico") + "'"));
  ASSERT_TRUE(RunCommand("/usr/bin/convert '" + dir.File("src.png") + "' -resize 32x32 '" + dir.File("im.cur") + "'"));
  // Each entry against ImageMagick's decoding of the same entry.
  struct Entry {
    const char* file;
    int index;
    bool cursor;
  };
  for (const Entry& e : {Entry{"pil.ico", 0, false}, Entry{"pil.ico", 2, false}, Entry{"im.ico", 0, false},
                         Entry{"im.ico", 1, false}, Entry{"im.cur", 0, true}}) {
    const std::string path = dir.File(e.file);
    auto d = ReadIcon(ReadFileBytes(path), e.index, e.cursor);
    ASSERT_TRUE(d->ok) << e.file << " " << e.index;
    int w, h;
    std::vector<uint8_t> expect;
    ASSERT_TRUE(MagickDecode(path + "[" + std::to_string(e.index) + "]", w, h, expect)) << e.file;
    ASSERT_EQ(d->bitmap.GetWidth(), w) << e.file;
    if (d->bitmap.HasAlphaBitmap() == false && d->mask) d->bitmap.AlphaBitmap()->CopyFromTRVMask(d->mask.get());
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const uint8_t* g = &expect[size_t(4 * (y * w + x))];
        const uint8_t a = d->bitmap.HasAlphaBitmap() ? d->bitmap.GetAlpha(x, y) : 255;
        ASSERT_EQ(a, g[3]) << e.file << " " << e.index << " at " << x << "," << y;
        if (a == 0) continue;
        const Rgba p = PixelOf(d->bitmap, x, y);
        ASSERT_TRUE(p.r == g[0] && p.g == g[1] && p.b == g[2]) << e.file << " " << e.index << " at " << x << "," << y;
      }
  }
  // Ours: several sizes and depths with AND masks, for both tools.
  TRVBitmap src;
  FillTestBitmap(src, 48, 48, true);
  auto alpha = TestAlphaMask(48, 48, true);
  src.AlphaBitmap()->CopyFromTRVMask(alpha.get());
  TIOParamsVals p;
  const std::string ours = dir.File("ours.ico");
  WriteFileBytes(ours, WriteIcon(src, p, {8, 24, 32, 4}, {{48, 48}, {48, 48}, {48, 48}, {48, 48}}));
  ASSERT_TRUE(RunPython("from PIL import Image\nim = Image.open('" + ours + "')\nassert im.size == (48, 48)\n"));
  for (int k = 0; k < 4; ++k) {
    int w, h;
    std::vector<uint8_t> got;
    ASSERT_TRUE(MagickDecode(ours + "[" + std::to_string(k) + "]", w, h, got)) << k;
    ASSERT_EQ(w, 48);
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 48; ++x) {
        const Rgba e = FewColorPixel(x, y);
        const uint8_t* g = &got[size_t(4 * (y * 48 + x))];
        ASSERT_EQ(g[3], e.a < 255 ? 0 : 255) << k << " at " << x << "," << y;
        if (e.a == 255 && k != 3) {
          ASSERT_TRUE(g[0] == e.r && g[1] == e.g && g[2] == e.b) << k << " at " << x << "," << y;
        }
      }
  }
}

}  // namespace
}  // namespace rv
