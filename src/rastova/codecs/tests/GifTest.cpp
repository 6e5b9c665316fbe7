// The GIF reader, writer and LZW coder: hand-built files for the block walk and the LZW edge
// cases, round trips, damaged files, and files of and for Pillow, gifsicle and giftext.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "TestTools.h"
#include "rastova/codecs/gif/giffilter.h"
#include "rastova/codecs/gif/giflzw.h"

namespace rv {
namespace {

using namespace test;

struct GifDecoded {
  TRVBitmap bitmap;
  TIOParamsVals params;
  std::unique_ptr<TRVMask> mask;
  int32_t count = 0;
  bool ok = false;
};

std::unique_ptr<GifDecoded> ReadGif(const std::vector<uint8_t>& data, int32_t index = 0, bool native = false,
                                 bool paramsOnly = false) {
  auto d = std::make_unique<GifDecoded>();
  d->params.GIF_LZWDecompress = GIFLZWDecompress;
  d->params.NativePixelFormat = native;
  d->params.SetImageIndex(index);
  auto s = StreamOf(data);
  TRVProgressRec progress;
  ReadGIFStream(*s, d->bitmap, d->count, d->params, progress, paramsOnly, d->mask, false);
  d->ok = !progress.IsAborting();
  return d;
}

std::vector<uint8_t> WriteGif(TRVBitmap& bitmap, TIOParamsVals& params, bool* ok = nullptr) {
  params.GIF_LZWCompress = GIFLZWCompress;
  TMemoryStream s;
  TRVProgressRec progress;
  WriteGIFStream(s, bitmap, params, progress);
  if (ok) *ok = !progress.IsAborting();
  return s.Data();
}

// Packs LZW codes least significant bit first, widening as a decoder would after each entry.
std::vector<uint8_t> PackCodes(int codeSize, const std::vector<int>& codes, bool widen = true) {
  std::vector<uint8_t> out;
  uint32_t acc = 0;
  int bits = 0, width = codeSize + 1, next = (1 << codeSize) + 2;
  bool afterClear = false;
  for (int c : codes) {
    acc |= uint32_t(c) << bits;
    bits += width;
    while (bits >= 8) {
      out.push_back(uint8_t(acc));
      acc >>= 8;
      bits -= 8;
    }
    if (c == (1 << codeSize)) {
      width = codeSize + 1;
      next = (1 << codeSize) + 2;
      afterClear = true;
    } else if (!afterClear && widen) {
      if (++next >= (1 << width) && width < 12) ++width;
    } else {
      afterClear = false;
    }
  }
  if (bits > 0) out.push_back(uint8_t(acc));
  return out;
}

// Sub-blocks of at most 255 bytes and the terminator.
std::vector<uint8_t> SubBlocks(const std::vector<uint8_t>& data) {
  std::vector<uint8_t> out;
  for (size_t at = 0; at < data.size(); at += 255) {
    const size_t n = std::min<size_t>(255, data.size() - at);
    out.push_back(uint8_t(n));
    out.insert(out.end(), data.begin() + long(at), data.begin() + long(at + n));
  }
  out.push_back(0);
  return out;
}

// A GIF built by hand: 4-entry global table (black, white, red, green) and the given blocks.
struct GifBuilder {
  std::vector<uint8_t> f;
  explicit GifBuilder(int sw = 4, int sh = 4) {
    const uint8_t head[13] = {'G', 'I', 'F', '8', '9', 'a', uint8_t(sw), 0, uint8_t(sh), 0, 0x81, 2, 0};
    f.assign(head, head + 13);
    const uint8_t table[12] = {0, 0, 0, 255, 255, 255, 255, 0, 0, 0, 255, 0};
    f.insert(f.end(), table, table + 12);
  }
  GifBuilder& Control(int disposal, int delay, bool transparent, int index) {
    const uint8_t b[8] = {0x21, 0xF9, 4, uint8_t((disposal << 2) | (transparent ? 1 : 0)), uint8_t(delay),
                          uint8_t(delay >> 8), uint8_t(index), 0};
    f.insert(f.end(), b, b + 8);
    return *this;
  }
  GifBuilder& Comment(const std::vector<std::string>& lines) {
    f.push_back(0x21);
    f.push_back(0xFE);
    for (const auto& l : lines) {
      f.push_back(uint8_t(l.size()));
      f.insert(f.end(), l.begin(), l.end());
    }
    f.push_back(0);
    return *this;
  }
  // An image of w x h at (x, y) whose pixels are the codes' output (code size 2).
  GifBuilder& Image(int x, int y, int w, int h, const std::vector<int>& codes, uint8_t flags = 0, int codeSize = 2) {
    const uint8_t d[10] = {0x2C, uint8_t(x), 0, uint8_t(y), 0, uint8_t(w), 0, uint8_t(h), 0, flags};
    f.insert(f.end(), d, d + 10);
    f.push_back(uint8_t(codeSize));
    Append(f, SubBlocks(PackCodes(codeSize, codes)));
    return *this;
  }
  std::vector<uint8_t> Done() {
    f.push_back(0x3B);
    return f;
  }
};

// Codes for a row of single pixels: clear, each index, end (code size 2, 3-bit codes at first).
std::vector<int> Plain(const std::vector<int>& indices) {
  std::vector<int> c = {4};
  c.insert(c.end(), indices.begin(), indices.end());
  c.push_back(5);
  return c;
}

// A one-row image whose encoder fills the code table and goes on without a clear code (a
// deferred clear): no entries are added then and the codes stay 12 bits wide. 4,090 single-pixel
// codes fill the table of code size 2; four literals follow, then code 4095 (the last entry:
// the pixels of codes 4,089 and 4,090). `pixels` receives the indices it decodes to.
std::vector<uint8_t> DeferredClearFile(std::vector<int>& pixels) {
  std::vector<int> codes = {4};
  pixels.clear();
  for (int i = 0; i < 4091; ++i) pixels.push_back((i * 7 + i / 5) % 4);
  codes.insert(codes.end(), pixels.begin(), pixels.end());
  for (int p : {3, 1, 0, 2}) codes.push_back(p), pixels.push_back(p);
  codes.push_back(4095);
  pixels.push_back(pixels[4089]);
  pixels.push_back(pixels[4090]);
  codes.push_back(5);
  const int w = int(pixels.size());
  GifBuilder b(0, 1);
  std::vector<uint8_t> file = b.Image(0, 0, w & 255, 1, codes).Done();
  const size_t desc = 13 + 12;
  file[6] = file[desc + 5] = uint8_t(w);
  file[7] = file[desc + 6] = uint8_t(w >> 8);
  return file;
}

// Three images on an 8 x 6 screen at (0, 0), (3, 2) and (1, 4), each with its own graphic
// control: disposal 1, 2, 3, delay 10, 25, 40, the second with transparent index 3.
std::vector<uint8_t> ThreeImageFile() {
  GifBuilder g(8, 6);
  g.Control(1, 10, false, 0).Image(0, 0, 2, 1, Plain({1, 1}));
  g.Control(2, 25, true, 3).Image(3, 2, 2, 2, Plain({2, 3, 3, 0}));
  g.Control(3, 40, false, 0).Image(1, 4, 1, 1, Plain({2}));
  return g.Done();
}

TEST(Gif, ThreeImagesDeliverTheChosenOneWithItsOwnData) {
  const auto file = ThreeImageFile();
  auto d = ReadGif(file, 1);
  ASSERT_TRUE(d->ok);
  EXPECT_EQ(d->count, 3);
  EXPECT_EQ(d->params.ImageCount, 3);
  EXPECT_EQ(d->params.GIF_ImageCount, 3);
  EXPECT_EQ(d->params.GIF_XPos, 3);
  EXPECT_EQ(d->params.GIF_YPos, 2);
  EXPECT_EQ(d->params.GIF_DelayTime, 25);
  EXPECT_EQ(d->params.GIF_Action, 2);
  EXPECT_TRUE(d->params.GIF_FlagTranspColor);
  EXPECT_EQ(d->params.GIF_ScreenWidth, 8);
  ASSERT_EQ(d->bitmap.GetWidth(), 2);
  ASSERT_EQ(d->bitmap.GetHeight(), 2);
  EXPECT_EQ(d->bitmap.GetPixelFormat(), rv24RGB);
  EXPECT_EQ(PixelOf(d->bitmap, 0, 0).r, 255);  // red
  EXPECT_EQ(PixelOf(d->bitmap, 0, 1).g, 255);  // green
  EXPECT_EQ(PixelOf(d->bitmap, 1, 1).g, 0);    // black
  ASSERT_TRUE(d->mask);
  EXPECT_EQ(d->mask->GetPixel(1, 0), 0);
  EXPECT_EQ(d->mask->GetPixel(0, 1), 0);
  EXPECT_EQ(d->mask->GetPixel(0, 0), 255);
  // An index past the last image delivers nothing but still counts the images.
  auto past = ReadGif(file, 7);
  EXPECT_TRUE(past->ok);
  EXPECT_EQ(past->params.ImageCount, 3);
  EXPECT_TRUE(past->bitmap.IsEmpty());
  // The first image has no transparency: the mask stays as the caller passed it (none).
  auto first = ReadGif(file, 0);
  EXPECT_FALSE(first->mask);
  EXPECT_EQ(first->params.GIF_DelayTime, 10);
}

TEST(Gif, ParametersAloneWalkEveryFrame) {
  // The walk for the parameters steps over each frame's code-size byte before its sub-blocks:
  // every frame is counted and the chosen one's data are its own.
  const auto file = ThreeImageFile();
  const int x[3] = {0, 3, 1}, y[3] = {0, 2, 4}, delay[3] = {10, 25, 40};
  for (int k = 0; k < 3; ++k) {
    auto d = ReadGif(file, k, false, true);
    ASSERT_TRUE(d->ok) << k;
    EXPECT_EQ(d->params.ImageCount, 3) << k;
    EXPECT_EQ(d->params.GIF_XPos, x[k]) << k;
    EXPECT_EQ(d->params.GIF_YPos, y[k]) << k;
    EXPECT_EQ(d->params.GIF_DelayTime, delay[k]) << k;
    EXPECT_TRUE(d->bitmap.IsEmpty()) << k;
  }
}

TEST(Gif, TransparencyMaskOnlyWhenAPixelUsesTheIndex) {
  GifBuilder g;
  auto unused = ReadGif(g.Control(0, 0, true, 3).Image(0, 0, 2, 1, Plain({1, 2})).Done());
  ASSERT_TRUE(unused->ok);
  EXPECT_FALSE(unused->mask);
  EXPECT_TRUE(unused->params.GIF_FlagTranspColor);
  EXPECT_EQ(unused->params.GIF_TranspColor.g, 255);  // entry 3 is green
}

TEST(Gif, BlackAndWhiteTablesGiveOneBitImages) {
  // Two entries black and white: rv1g, nine pixels wide keeps its ninth pixel.
  std::vector<uint8_t> f = {'G', 'I', 'F', '8', '7', 'a', 9, 0, 1, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255};
  const uint8_t d[10] = {0x2C, 0, 0, 0, 0, 9, 0, 1, 0, 0};
  f.insert(f.end(), d, d + 10);
  f.push_back(2);
  Append(f, SubBlocks(PackCodes(2, Plain({1, 0, 1, 0, 1, 0, 1, 0, 1}))));
  f.push_back(0x3B);
  auto bw = ReadGif(f);
  ASSERT_TRUE(bw->ok);
  ASSERT_EQ(bw->bitmap.GetPixelFormat(), rv1g);
  for (int x = 0; x < 9; ++x) EXPECT_EQ(bw->bitmap.GetPixels_rv1g(x, 0), x % 2 == 0) << x;
  EXPECT_EQ(bw->bitmap.GetScanLine(0)[1] & 0x7F, 0);  // the row's last byte ends in zero bits
  // Two other colours give a colour image.
  f[13] = 10;
  auto colour = ReadGif(f);
  EXPECT_EQ(colour->bitmap.GetPixelFormat(), rv24RGB);
  auto native = ReadGif(f, 0, true);
  EXPECT_EQ(native->bitmap.GetPixelFormat(), rv8p);
  EXPECT_EQ(native->bitmap.GetPalette(0).r, 10);
}

TEST(Gif, CommentsBecomeLinesAndInterlacedRowsTheirPlaces) {
  GifBuilder g(1, 5);
  g.Comment({"first", std::string(1, '\0'), std::string("caf\xE9", 4)});
  // Interlaced rows 0, 4, 2, 1, 3 of a one-pixel column.
  auto d = ReadGif(g.Image(0, 0, 1, 5, Plain({0, 1, 2, 3, 1}), 0x40).Done());
  ASSERT_TRUE(d->ok);
  ASSERT_EQ(d->params.GIF_Comments.size(), 2u);
  EXPECT_EQ(d->params.GIF_Comments[0], "first");
  EXPECT_EQ(d->params.GIF_Comments[1], "caf\xC3\xA9");
  EXPECT_TRUE(d->params.GIF_Interlaced);
  const int expect[5] = {0, 3, 2, 1, 1};  // indices placed by pass
  const uint8_t colours[4][3] = {{0, 0, 0}, {255, 255, 255}, {255, 0, 0}, {0, 255, 0}};
  for (int y = 0; y < 5; ++y) {
    const Rgba p = PixelOf(d->bitmap, 0, y);
    EXPECT_EQ(p.r, colours[expect[y]][0]) << y;
    EXPECT_EQ(p.g, colours[expect[y]][1]) << y;
  }
  // An interlaced image one row high decodes its row.
  GifBuilder one(3, 1);
  auto row = ReadGif(one.Image(0, 0, 3, 1, Plain({2, 2, 3}), 0x40).Done());
  ASSERT_TRUE(row->ok);
  EXPECT_EQ(PixelOf(row->bitmap, 2, 0).g, 255);
}

TEST(Gif, LzwEndsAndErrors) {
  struct Case {
    const char* name;
    std::vector<int> codes;
    bool ok;
  };
  const Case cases[] = {
      {"end right after clear at the end", {4, 5}, true},
      {"end right after clear with data left", {4, 5, 1, 1, 1, 1, 1, 1, 1, 1}, false},
      {"code above the next free code", {4, 1, 7}, false},
      {"code equal to the next free code", {4, 1, 6, 5}, true},
      {"data used up without an end code", {4, 1, 2}, true},
      {"repeated clear codes", {4, 4, 4, 2, 5}, true},
  };
  for (const Case& c : cases) {
    GifBuilder g;
    auto d = ReadGif(g.Image(0, 0, 2, 2, c.codes).Done());
    EXPECT_EQ(d->ok, c.ok) << c.name;
  }
  // KwKwK: code 6 after 1 is "1 1", so the row reads 1, 1, 1.
  GifBuilder g(3, 1);
  auto k = ReadGif(g.Image(0, 0, 3, 1, {4, 1, 6, 5}).Done());
  for (int x = 0; x < 3; ++x) EXPECT_EQ(PixelOf(k->bitmap, x, 0).r, 255) << x;
  // Code sizes above 8: literal codes of more bits decode the same pixels; 12 leaves no room
  // for entries (13-bit codes); 13 is refused.
  for (int size : {8, 9, 10, 11, 12, 13}) {
    const int clear = 1 << size;
    GifBuilder b(4, 1);
    auto d = ReadGif(b.Image(0, 0, 4, 1, {clear, 2, 3, 1, 2, clear + 1}, 0, size).Done());
    EXPECT_EQ(d->ok, size <= 12) << size;
    if (!d->ok) continue;
    const int expect[4] = {2, 3, 1, 2};
    for (int x = 0; x < 4; ++x) EXPECT_EQ(PixelOf(d->bitmap, x, 0).r, expect[x] == 2 || expect[x] == 1 ? 255 : 0) << size;
    EXPECT_EQ(PixelOf(d->bitmap, 1, 0).g, 255) << size;
  }
  // A full table without a clear code (a deferred clear): its codes stay in use.
  {
    std::vector<int> pixels;
    auto d = ReadGif(DeferredClearFile(pixels), 0, true);
    ASSERT_TRUE(d->ok);
    ASSERT_EQ(d->bitmap.GetWidth(), int(pixels.size()));
    for (size_t x = 0; x < pixels.size(); ++x) ASSERT_EQ(d->bitmap.GetScanLine(0)[x], pixels[x]) << x;
  }
  // Pixels the data does not reach read as index 0 (black), never as leftovers.
  GifBuilder s(3, 3);
  auto shortData = ReadGif(s.Image(0, 0, 3, 3, {4, 1, 5}).Done());
  ASSERT_TRUE(shortData->ok);
  EXPECT_EQ(PixelOf(shortData->bitmap, 2, 2).r, 0);
  EXPECT_EQ(PixelOf(shortData->bitmap, 0, 0).r, 255);
}

TEST(Gif, FilesEndingWithTheirData) {
  // A file that stops after its last whole sub-block lacks only the terminator and the trailer:
  // its data are used up and it reads as the whole file does. A cut inside a sub-block is a
  // truncated file and fails.
  GifBuilder g(6, 2);
  const auto whole = g.Image(0, 0, 6, 2, Plain({1, 2, 3, 0, 1, 2, 3, 3, 2, 1, 0, 1})).Done();
  struct Case {
    const char* name;
    size_t cut;
    bool ok;
  };
  const Case cases[] = {
      {"whole", 0, true},
      {"no trailer", 1, true},
      {"no terminator nor trailer", 2, true},
      {"cut inside the sub-block", 3, false},
  };
  auto reference = ReadGif(whole, 0, true);
  for (const Case& c : cases) {
    const std::vector<uint8_t> file(whole.begin(), whole.end() - long(c.cut));
    auto d = ReadGif(file, 0, true);
    EXPECT_EQ(d->ok, c.ok) << c.name;
    EXPECT_EQ(d->params.ImageCount, 1) << c.name;
    if (!c.ok) continue;
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 6; ++x)
        EXPECT_EQ(d->bitmap.GetScanLine(y)[x], reference->bitmap.GetScanLine(y)[x]) << c.name << " " << x << "," << y;
  }
}

TEST(Gif, WriterTablesTransparencyAndPackets) {
  const int w = 37, h = 29;
  TRVBitmap src;
  FillTestBitmap(src, w, h, true);
  auto alpha = TestAlphaMask(w, h, true);
  src.AlphaBitmap()->CopyFromTRVMask(alpha.get());
  TIOParamsVals p;
  p.GIF_Comments = {std::string(300, 'x'), "", "short"};
  bool ok = false;
  const auto file = WriteGif(src, p, &ok);
  ASSERT_TRUE(ok);
  EXPECT_TRUE(p.GIF_FlagTranspColor);
  EXPECT_EQ(file[10], 0xF7);  // global table of 256 entries
  // The reserved last entry is black and every pixel with alpha below 255 uses it.
  EXPECT_EQ(file[13 + 255 * 3], 0);
  auto d = ReadGif(file, 0, true);
  ASSERT_TRUE(d->ok);
  ASSERT_TRUE(d->mask);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const bool transparent = FewColorPixel(x, y).a < 255;
      EXPECT_EQ(d->bitmap.GetScanLine(y)[x] == 255, transparent) << x << "," << y;
      EXPECT_EQ(d->mask->GetPixel(x, y), transparent ? 0 : 255);
      if (!transparent) {
        const Rgba a = PixelOf(d->bitmap, x, y), e = FewColorPixel(x, y);
        ASSERT_TRUE(a.r == e.r && a.g == e.g && a.b == e.b) << x << "," << y;
      }
    }
  // The long comment line is split into 255 + 45 bytes; the empty one is left out.
  ASSERT_EQ(d->params.GIF_Comments.size(), 3u);
  EXPECT_EQ(d->params.GIF_Comments[0], std::string(255, 'x'));
  EXPECT_EQ(d->params.GIF_Comments[1], std::string(45, 'x'));
  EXPECT_EQ(d->params.GIF_Comments[2], "short");
  // A large picture: every LZW packet but the last has 254 bytes.
  TRVBitmap big;
  FillTestBitmap(big, 300, 200, false);
  TIOParamsVals pb;
  const auto bigFile = WriteGif(big, pb);
  size_t at = 13 + 768 + 8 + 10 + 1;
  ASSERT_EQ(bigFile[at - 11], 0x2C);
  int packets = 0;
  while (bigFile[at] != 0) {
    const size_t n = bigFile[at];
    if (bigFile[at + 1 + n] != 0) {
      EXPECT_EQ(n, 254u);
    }
    at += 1 + n;
    ++packets;
  }
  EXPECT_GT(packets, 10);
  auto bd = ReadGif(bigFile);
  ASSERT_TRUE(bd->ok);
  EXPECT_EQ(bd->bitmap.GetWidth(), 300);
}

TEST(Gif, WriterDepthsAndSources) {
  // 1 bit: black and white, never a transparent index, the ninth pixel kept.
  TRVBitmap bw(9, 3, rv1g);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 9; ++x) bw.SetPixels_rv1g(x, y, (x + y) % 3 == 0);
  bw.AlphaBitmap()->Fill(0);
  TIOParamsVals p1;
  p1.BitsPerSample = 1;
  auto d1 = ReadGif(WriteGif(bw, p1));
  ASSERT_TRUE(d1->ok);
  EXPECT_FALSE(d1->params.GIF_FlagTranspColor);
  ASSERT_EQ(d1->bitmap.GetPixelFormat(), rv1g);
  for (int x = 0; x < 9; ++x) EXPECT_EQ(d1->bitmap.GetPixels_rv1g(x, 2), (x + 2) % 3 == 0);
  // At 1 bit the background index is the nearer of black and white to GIF_Background, as the
  // quantizer's index is at more bits; a file without comments has no comment extension.
  for (int bits : {1, 8}) {
    for (const TRGB& background : {TRGB{0, 0, 0}, TRGB{250, 250, 250}}) {
      TIOParamsVals pb;
      pb.BitsPerSample = bits;
      pb.GIF_Background = background;
      TRVBitmap two(9, 3, rv1g);
      for (int x = 0; x < 9; ++x) two.SetPixels_rv1g(x, 0, x % 2 == 0);
      const auto f = WriteGif(two, pb);
      ASSERT_GE(f.size(), 4u);
      EXPECT_NE(std::vector<uint8_t>(f.end() - 4, f.end()), (std::vector<uint8_t>{0x21, 0xFE, 0, 0x3B})) << bits;
      auto back = ReadGif(f);
      ASSERT_TRUE(back->ok) << bits;
      EXPECT_TRUE(back->params.GIF_Comments.empty());
      if (bits == 1) {
        EXPECT_EQ(f[11], background.r > 128 ? 1 : 0);
        EXPECT_EQ(back->params.GIF_Background.r, background.r > 128 ? 255 : 0);
      }
    }
  }
  // Grey, 16-bit and 32-bit sources are written through 24-bit colour; interlace round-trips.
  for (TRVPixelFormat f : {rv8g, rv16g, rv48RGB, rv8p, rv24RGB, rvCMYK}) {
    TRVBitmap src;
    FillTestBitmap(src, 11, 13, true);
    src.SetPixelFormat(f);
    TIOParamsVals p;
    p.GIF_Interlaced = true;
    auto d = ReadGif(WriteGif(src, p));
    ASSERT_TRUE(d->ok) << int(f);
    EXPECT_TRUE(d->params.GIF_Interlaced);
    TRVBitmap expect;
    expect.Assign(&src);
    expect.SetPixelFormat(rv24RGB);
    for (int y = 0; y < 13; ++y)
      for (int x = 0; x < 11; ++x) {
        const Rgba a = PixelOf(d->bitmap, x, y), e = PixelOf(expect, x, y);
        ASSERT_TRUE(a.r == e.r && a.g == e.g && a.b == e.b) << int(f) << " at " << x << "," << y;
      }
  }
}

TEST(Gif, DamagedFiles) {
  TRVBitmap src;
  FillTestBitmap(src, 40, 30, false);
  TIOParamsVals p;
  const auto good = WriteGif(src, p);
  auto cut = [&](size_t n) { return std::vector<uint8_t>(good.begin(), good.begin() + long(n)); };
  auto with = [&](size_t at, uint8_t v) {
    auto f = good;
    f[at] = v;
    return f;
  };
  const size_t image = 13 + 768 + 8;  // the image descriptor
  const size_t codeSize = image + 10;
  std::vector<uint8_t> huge = cut(codeSize + 1);
  huge[image + 5] = huge[image + 6] = huge[image + 7] = huge[image + 8] = 0xFF;
  Append(huge, {5, 1, 2, 3, 4, 5, 0, 0x3B});
  std::vector<uint8_t> pastEnd = cut(codeSize + 1);
  Append(pastEnd, {200, 1, 2, 3});
  struct Case {
    const char* name;
    std::vector<uint8_t> data;
  };
  const Case cases[] = {
      {"empty", {}},
      {"not GIF", with(0, 'X')},
      {"cut after the header", cut(13)},
      {"cut in the colour table", cut(100)},
      {"cut in the descriptor", cut(image + 4)},
      {"cut in the LZW data", cut(codeSize + 40)},
      {"code size 0", with(codeSize, 0)},
      {"code size 1", with(codeSize, 1)},
      {"code size 13", with(codeSize, 13)},
      {"sub-block sizes past the end", pastEnd},
      {"65535 x 65535 with a few bytes", huge},
  };
  for (const Case& c : cases) {
    auto d = ReadGif(c.data);
    EXPECT_FALSE(d->ok) << c.name;
  }
  // Mutated bytes anywhere: any outcome but a crash, and never a frame larger than 40 x 30 x 256.
  for (size_t at = 0; at < good.size(); at += 7) {
    auto f = good;
    f[at] ^= 0x5A;
    auto d = ReadGif(f);
    EXPECT_LE(int64_t(d->bitmap.GetWidth()) * d->bitmap.GetHeight(), 65535 * 255) << at;
  }
}

// ---------------------------------------------------------------- independent tools

// Each file read here as Pillow decodes it; for the files marked `withAlpha` the mask is compared
// with Pillow's alpha and the colours of transparent pixels are not compared.
void ExpectAsPillowDecodes(const std::vector<std::string>& paths, const std::vector<bool>& withAlpha) {
  ASSERT_TRUE(PillowDecodeAll(paths));
  for (size_t i = 0; i < paths.size(); ++i) {
    int w, h;
    std::vector<uint8_t> expect;
    ASSERT_TRUE(LoadDecoded(paths[i], w, h, expect)) << paths[i];
    auto d = ReadGif(ReadFileBytes(paths[i]));
    ASSERT_TRUE(d->ok) << paths[i];
    ASSERT_EQ(d->bitmap.GetWidth(), w) << paths[i];
    ASSERT_EQ(d->bitmap.GetHeight(), h) << paths[i];
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const uint8_t* e = &expect[size_t(4 * (y * w + x))];
        const Rgba a = PixelOf(d->bitmap, x, y);
        if (withAlpha[i]) {
          EXPECT_EQ(d->mask ? d->mask->GetPixel(x, y) : 255, e[3]) << paths[i] << " at " << x << "," << y;
          if (e[3] == 0) continue;
        }
        ASSERT_TRUE(a.r == e[0] && a.g == e[1] && a.b == e[2]) << paths[i] << " at " << x << "," << y;
      }
  }
}

TEST(GifTools, PillowFilesReadAsPillowDecodesThem) {
  if (!HavePillow()) GTEST_SKIP() << "Pillow (/usr/bin/python3 with PIL) is not installed";
  TempDir dir;
  std::ostringstream py;
  py << "from PIL import Image\n" << kPyFewColorPixel
     << "base = Image.new('RGB', (21, 13))\n"
     << "base.putdata([px(x, y)[:3] for y in range(13) for x in range(21)])\n"
     << "base.quantize(colors=16).save('" << dir.File("pal.gif") << "')\n"
     << "base.quantize(colors=16).save('" << dir.File("transp.gif") << "', transparency=3)\n"
     << "base.quantize(colors=16).save('" << dir.File("inter.gif") << "', interlace=True)\n"
     << "bw = Image.new('1', (9, 5))\n"
     << "bw.putdata([(x * y + x) % 2 for y in range(5) for x in range(9)])\n"
     << "bw.save('" << dir.File("bw.gif") << "')\n";
  ASSERT_TRUE(RunPython(py.str()));
  const std::vector<std::string> names = {"pal", "transp", "inter", "bw"};
  std::vector<std::string> paths;
  for (const auto& n : names) paths.push_back(dir.File(n + ".gif"));
  ExpectAsPillowDecodes(paths, {false, true, false, false});
}

TEST(GifTools, PillowReadsTheFilesWeAcceptAsWeDo) {
  // Files other readers decode and this one used to refuse: a deferred clear, data that end with
  // the file, code sizes above 8.
  if (!HavePillow()) GTEST_SKIP() << "Pillow (/usr/bin/python3 with PIL) is not installed";
  TempDir dir;
  std::vector<int> unused;
  const auto deferred = DeferredClearFile(unused);
  GifBuilder g(6, 2);
  const auto whole = g.Image(0, 0, 6, 2, Plain({1, 2, 3, 0, 1, 2, 3, 3, 2, 1, 0, 1})).Done();
  GifBuilder wide(4, 1);
  const auto size11 = wide.Image(0, 0, 4, 1, {2048, 2, 3, 1, 2, 2049}, 0, 11).Done();
  const std::vector<std::pair<std::string, std::vector<uint8_t>>> files = {
      {"deferred.gif", deferred},
      {"unterminated.gif", std::vector<uint8_t>(whole.begin(), whole.end() - 2)},
      {"size11.gif", size11},
  };
  std::vector<std::string> paths;
  for (const auto& f : files) {
    paths.push_back(dir.File(f.first));
    WriteFileBytes(paths.back(), f.second);
  }
  ExpectAsPillowDecodes(paths, std::vector<bool>(paths.size(), false));
}

TEST(GifTools, PillowAnimationFramesReadAtTheirPlaces) {
  if (!HavePillow()) GTEST_SKIP() << "Pillow (/usr/bin/python3 with PIL) is not installed";
  TempDir dir;
  // Three frames on a 16 x 12 screen: a background, then two different squares.
  std::ostringstream py;
  py << "from PIL import Image, ImageDraw\n"
     << "frames = []\n"
     << "for k in range(3):\n"
     << "    im = Image.new('P', (16, 12), 0)\n"
     << "    im.putpalette([0,0,0, 255,0,0, 0,255,0, 0,0,255] + [0] * 756)\n"
     << "    ImageDraw.Draw(im).rectangle([2 + 3 * k, 1 + 2 * k, 6 + 3 * k, 4 + 2 * k], fill=k + 1)\n"
     << "    frames.append(im)\n"
     << "frames[0].save('" << dir.File("anim.gif") << "', save_all=True, append_images=frames[1:], "
     << "duration=[70, 80, 90], disposal=2, loop=0)\n"
     << "im = Image.open('" << dir.File("anim.gif") << "')\n"
     << "out = open('" << dir.File("frames.txt") << "', 'w')\n"
     << "for k in range(3):\n"
     << "    im.seek(k)\n"
     << "    rgb = im.convert('RGB')\n"
     << "    out.write(' '.join('%d' % (r * 65536 + g * 256 + b) for (r, g, b) in rgb.getdata()) + '\\n')\n";
  ASSERT_TRUE(RunPython(py.str()));
  const auto file = ReadFileBytes(dir.File("anim.gif"));
  std::ifstream in(dir.File("frames.txt"));
  for (int k = 0; k < 3; ++k) {
    std::vector<uint32_t> screen(16 * 12);
    for (auto& v : screen) in >> v;
    auto d = ReadGif(file, k);
    ASSERT_TRUE(d->ok) << k;
    EXPECT_EQ(d->params.ImageCount, 3);
    EXPECT_EQ(d->params.GIF_DelayTime, 7 + k) << k;
    EXPECT_EQ(d->params.GIF_Action, 2) << k;
    // The frame as stored covers its rectangle of Pillow's composed screen.
    const int fx = d->params.GIF_XPos, fy = d->params.GIF_YPos;
    for (int y = 0; y < d->bitmap.GetHeight(); ++y)
      for (int x = 0; x < d->bitmap.GetWidth(); ++x) {
        if (d->mask && d->mask->GetPixel(x, y) == 0) continue;
        const Rgba a = PixelOf(d->bitmap, x, y);
        const uint32_t e = screen[size_t((fy + y) * 16 + fx + x)];
        ASSERT_EQ(uint32_t(a.r * 65536 + a.g * 256 + a.b), e) << "frame " << k << " at " << x << "," << y;
      }
  }
}

TEST(GifTools, OurFilesReadInPillowGifsicleAndGiftext) {
  if (!HavePillow()) GTEST_SKIP() << "Pillow (/usr/bin/python3 with PIL) is not installed";
  if (!RunCommand("command -v gifsicle >/dev/null && command -v giftext >/dev/null"))
    GTEST_SKIP() << "gifsicle and giftext (giflib-tools) are not installed";
  TempDir dir;
  const int w = 23, h = 17;
  TRVBitmap src;
  FillTestBitmap(src, w, h, true);
  auto alpha = TestAlphaMask(w, h, true);
  src.AlphaBitmap()->CopyFromTRVMask(alpha.get());
  TIOParamsVals p;
  p.GIF_Comments = {"made here"};
  p.GIF_DelayTime = 12;
  const std::string ours = dir.File("ours.gif");
  WriteFileBytes(ours, WriteGif(src, p));
  int dw, dh;
  std::vector<uint8_t> got;
  ASSERT_TRUE(PillowDecode(ours, dw, dh, got));
  ASSERT_EQ(dw, w);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint8_t* g = &got[size_t(4 * (y * w + x))];
      const Rgba e = FewColorPixel(x, y);
      ASSERT_EQ(g[3], e.a < 255 ? 0 : 255) << x << "," << y;
      if (e.a == 255) {
        ASSERT_TRUE(g[0] == e.r && g[1] == e.g && g[2] == e.b) << x << "," << y;
      }
    }
  // giftext shows the comment extension and the image; gifsicle re-encodes interlaced and we
  // read its file back to the same pixels.
  ASSERT_TRUE(RunCommand("giftext -e '" + ours + "' > '" + dir.File("text.txt") + "' 2>&1"));
  std::ifstream t(dir.File("text.txt"));
  const std::string text((std::istreambuf_iterator<char>(t)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("comment (Ext Code = 254"), std::string::npos) << text;
  EXPECT_NE(text.find("DelayTime: 12"), std::string::npos) << text;
  EXPECT_NE(text.find("Image #1"), std::string::npos) << text;
  // Without comments no comment extension is written: giflib's whole-file reader (gifbuild -d)
  // fails on an extension without sub-blocks, and reads the file we write.
  TIOParamsVals plain;
  const std::string bare = dir.File("bare.gif");
  const auto bareBytes = WriteGif(src, plain);
  WriteFileBytes(bare, bareBytes);
  auto withEmpty = bareBytes;
  withEmpty.insert(withEmpty.end() - 1, {0x21, 0xFE, 0});
  WriteFileBytes(dir.File("empty-comment.gif"), withEmpty);
  const bool slurp = RunCommand("command -v gifbuild >/dev/null");
  if (slurp) {
    EXPECT_TRUE(RunCommand("gifbuild -d < '" + bare + "' > /dev/null 2>&1"));
    EXPECT_FALSE(RunCommand("gifbuild -d < '" + dir.File("empty-comment.gif") + "' > /dev/null 2>&1"));
  }
  ASSERT_TRUE(RunCommand("giftext '" + bare + "' > /dev/null 2>&1"));
  const std::string inter = dir.File("inter.gif");
  ASSERT_TRUE(RunCommand("gifsicle --interlace '" + ours + "' -o '" + inter + "'"));
  auto back = ReadGif(ReadFileBytes(inter));
  ASSERT_TRUE(back->ok);
  EXPECT_TRUE(back->params.GIF_Interlaced);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      if (FewColorPixel(x, y).a < 255) continue;
      const Rgba a = PixelOf(back->bitmap, x, y), e = FewColorPixel(x, y);
      ASSERT_TRUE(a.r == e.r && a.g == e.g && a.b == e.b) << x << "," << y;
    }
}

}  // namespace
}  // namespace rv
