// The raw bitmap stream: exact sizes, round trips and malformed headers.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVRawStream.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVZLib.h"
#include "common/tests/support/AllocationWatch.h"

namespace rv {
namespace {

void Fill24(TRVBitmap& b) {
  for (int32_t y = 0; y < b.GetHeight(); ++y)
    for (int32_t x = 0; x < b.GetWidth(); ++x) b.SetPixels_rv24RGB(x, y, static_cast<uint32_t>(x * 0x10203 + y * 0x50607));
}

std::vector<uint8_t> Save(TRVBitmap& b) {
  TMemoryStream s;
  SaveRawToStream(b, s);
  return s.Data();
}

bool Load(TRVBitmap& b, const std::vector<uint8_t>& data, int64_t* endPosition = nullptr) {
  TRVMemStream s(data.data(), static_cast<int64_t>(data.size()));
  bool ok = LoadRawFromStream(b, s);
  if (endPosition) *endPosition = s.GetPosition();
  return ok;
}

void PutI32(std::vector<uint8_t>& d, size_t at, int32_t v) {
  for (int i = 0; i < 4; ++i) d[at + static_cast<size_t>(i)] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i));
}

TEST(RawStream, SizesOfA3x2Image) {
  TRVBitmap b(3, 2, rv24RGB);
  Fill24(b);
  std::vector<uint8_t> plain = Save(b);
  ASSERT_EQ(plain.size(), 100u);  // 75 + 2 x 12 + 1
  EXPECT_EQ(std::memcmp(plain.data(), "TRVBITMAPRAW", 12), 0);
  EXPECT_EQ(plain[28], rv24RGB);
  EXPECT_EQ(plain[71], 32);  // row alignment
  EXPECT_EQ(plain[99], 0);   // no alpha
  b.AlphaBitmap()->SetPixels_rv8(1, 1, 7);
  std::vector<uint8_t> withAlpha = Save(b);
  ASSERT_EQ(withAlpha.size(), 109u);  // 100 + 2 x 4 + 1
  EXPECT_EQ(withAlpha[99], 1);
}

TEST(RawStream, RoundTrips) {
  TRVBitmap rgb(5, 3, rv24RGB);
  Fill24(rgb);
  rgb.AlphaBitmap()->SetPixels_rv8(4, 2, 9);
  rgb.AlphaBitmap()->Full = false;
  rgb.DisplayMin = -1.5;
  rgb.DisplayMax = 1e10;
  rgb.Contrast = -12;
  rgb.SetChannelOffset(2, 33);
  TRVBitmap copy;
  std::vector<uint8_t> data = Save(rgb);
  int64_t end = 0;
  ASSERT_TRUE(Load(copy, data, &end));
  EXPECT_EQ(end, static_cast<int64_t>(data.size()));
  EXPECT_EQ(Save(copy), data);
  EXPECT_EQ(copy.AlphaBitmap()->GetPixels_rv8(4, 2), 9);
  EXPECT_DOUBLE_EQ(copy.DisplayMax, 1e10);
  EXPECT_EQ(copy.ChannelOffset[2], 33);

  TRVBitmap pal(4, 4, rv8p);
  for (int i = 0; i < 256; ++i) pal.SetPalette(i, TRGB{static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), 7});
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 4; ++x) pal.SetPixels_rv8(x, y, static_cast<uint8_t>(x * 60 + y));
  TRVBitmap pcopy;
  ASSERT_TRUE(Load(pcopy, Save(pal)));
  ASSERT_EQ(pcopy.GetPaletteLength(), 256);
  EXPECT_EQ(pcopy.GetPalette(200), (TRGB{200, 55, 7}));
  EXPECT_EQ(pcopy.GetPixels_rv8(3, 2), 182);

  // A stored alignment of 8 bits is honoured: 3 pixels of 24 bits take 9 bytes per row.
  TRVBitmap packed;
  packed.SetRowAlignment(8);
  packed.Allocate(3, 2, rv24RGB);
  Fill24(packed);
  std::vector<uint8_t> pdata = Save(packed);
  EXPECT_EQ(pdata.size(), 75u + 18u + 1u);
  TRVBitmap back(1, 1, rv8g);
  ASSERT_TRUE(Load(back, pdata));
  EXPECT_EQ(back.GetPixels_rv24RGB(2, 1), packed.GetPixels_rv24RGB(2, 1));
  EXPECT_EQ(back.GetPixels_rv24RGB(0, 1), packed.GetPixels_rv24RGB(0, 1));

  // Loading a stream without alpha removes the image's alpha channel.
  TRVBitmap noAlpha(2, 2, rv8g), target(2, 2, rv8g);
  target.AlphaBitmap();
  ASSERT_TRUE(Load(target, Save(noAlpha)));
  EXPECT_FALSE(target.HasAlphaBitmap());
}

TEST(RawStream, MalformedStreamsAreRejected) {
  TRVBitmap b(3, 2, rv24RGB);
  Fill24(b);
  b.AlphaBitmap();
  const std::vector<uint8_t> good = Save(b);
  struct Case {
    const char* what;
    size_t offset;
    int32_t value;
    bool byte;
  };
  const Case cases[] = {
      {"negative version", 12, -1, false},
      {"negative palette count", 16, -1, false},
      {"huge palette count", 16, 0x40000000, false},
      {"palette longer than the stream", 16, 200, false},
      {"negative width", 20, -3, false},
      {"negative height", 24, -2, false},
      {"height the stream cannot hold", 24, 100000, false},
      {"width the stream cannot hold", 20, 0x7FFFFFFF, false},
      {"unknown pixel format", 28, 11, true},
      {"pixel format none with a size", 28, 0, true},
      {"alignment 0", 71, 0, false},
      {"alignment 12", 71, 12, false},
      {"negative alignment", 71, -32, false},
      {"alignment beyond any layout", 71, 0x40000000, false},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bad = good;
    if (c.byte) bad[c.offset] = static_cast<uint8_t>(c.value);
    else PutI32(bad, c.offset, c.value);
    TRVBitmap t;
    EXPECT_FALSE(Load(t, bad)) << c.what;
  }
  // Another signature: false, with only the 12 signature bytes read.
  std::vector<uint8_t> other = good;
  other[0] = 'X';
  TRVBitmap t;
  int64_t end = 0;
  EXPECT_FALSE(Load(t, other, &end));
  EXPECT_EQ(end, 12);
  // Every truncation fails without a crash.
  for (size_t n = 0; n < good.size(); ++n) {
    TRVBitmap u;
    std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
    EXPECT_FALSE(Load(u, cut)) << "cut at " << n;
  }
}

std::vector<uint8_t> Deflate(const std::vector<uint8_t>& data) {
  TMemoryStream out;
  TZCompressionStream z(out, zcDefault);
  z.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
  z.Finish();
  return out.Data();
}

bool LoadThroughZlib(TRVBitmap& b, const std::vector<uint8_t>& packed) {
  TRVMemStream source(packed.data(), static_cast<int64_t>(packed.size()));
  TZDecompressionStream z(source);
  return LoadRawFromStream(b, z);
}

TEST(RawStream, SizesTheDataCannotHoldAreRefusedBeforeAllocating) {
  TRVBitmap b(3, 2, rv24RGB);
  Fill24(b);
  const std::vector<uint8_t> good = Save(b);
  // Through a decompression stream, which cannot tell its size, the image still comes back.
  TRVBitmap back;
  ASSERT_TRUE(LoadThroughZlib(back, Deflate(good)));
  EXPECT_EQ(back.GetPixels_rv24RGB(2, 1), b.GetPixels_rv24RGB(2, 1));

  // The watch sees allocations at all (else the bounds below would hold for nothing).
  const size_t megabyte = test_support::LargestAllocationDuring([] {
    auto block = std::make_unique<std::vector<uint8_t>>(size_t(1) << 20);
    ASSERT_EQ(block->size(), size_t(1) << 20);
  });
  ASSERT_GE(megabyte, size_t(1) << 20);
  struct Case {
    const char* what;
    int32_t width, height;
    uint8_t format;
  };
  const Case cases[] = {
      {"20000 x 20000 RGB", 20000, 20000, rv24RGB},
      {"row length times height past 64 bits", 0x7FFFFFFF, 0x7FFFFFFF, 8},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> header = good;
    PutI32(header, 20, c.width);
    PutI32(header, 24, c.height);
    header[28] = c.format;
    for (bool compressed : {false, true}) {
      TRVBitmap t;
      bool loaded = true;
      const size_t largest = test_support::LargestAllocationDuring(
          [&] { loaded = compressed ? LoadThroughZlib(t, Deflate(header)) : Load(t, header); });
      EXPECT_FALSE(loaded) << c.what << (compressed ? " through zlib" : "");
      EXPECT_LT(largest, 1u << 20) << c.what << (compressed ? " through zlib" : "");
    }
  }
}

}  // namespace
}  // namespace rv
