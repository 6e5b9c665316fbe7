// Metafiles: the size rules and the transparency of the import (through a test player that
// paints a circle), the sizes read from EMF and WMF headers, and metafiles written by libUEMF
// loaded the whole way through the I/O component.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "IoTestTools.h"
#include "common/tests/support/AllocationWatch.h"
#include "platform/gfx/Canvas.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStream.h"
#include "rastova/io/RVFileFormat.h"
#include "rastova/io/RVMetafileImport.h"
#include "rastova/io/RastovaIO.h"
#include "rastova/io/metafile/tests/MetafileWriter.h"

namespace rv {
namespace {

using iotest::TempDir;

// Paints a red circle filling the picture; the corners stay unpainted.
class CirclePlayer : public TRVMetafile {
 public:
  CirclePlayer(int32_t w, int32_t h, bool enhanced) {
    Width = w;
    Height = h;
    Enhanced = enhanced;
  }
  bool Draw(platform::TCanvas& canvas, int32_t left, int32_t top) override {
    ++draws;
    canvas.Pen.Color = platform::clRed;
    canvas.Brush.Color = platform::clRed;
    canvas.Brush.Style = platform::bsSolid;
    canvas.Ellipse(left, top, left + Width, top + Height);
    return true;
  }
  int draws = 0;
};

TEST(MetafileImport, SizeRules) {
  struct Case {
    int32_t mw, mh, width, height;
    int32_t w, h;  // 0: nothing happens
  } cases[] = {
      {400, 100, 200, -1, 200, 50},      {400, 100, -1, 50, 200, 50},       {400, 100, 30, 70, 30, 70},
      {400, 100, -1, -1, 400, 100},      {10000, 5000, -1, -1, 8000, 4000}, {5000, 10000, -1, -1, 4000, 8000},
      {400, 100, 20000, -1, 8000, 2000}, {1, 100000, -1, -1, 1, 8000},      {400, 100, 0, 10, 0, 0},
      {400, 100, 10, 0, 0, 0},
  };
  for (const Case& c : cases) {
    const std::string what = std::to_string(c.mw) + "x" + std::to_string(c.mh) + " at " +
                             std::to_string(c.width) + "x" + std::to_string(c.height);
    TRastovaIO io;
    io.GetAttachedRVBitmap()->Allocate(3, 3, rv8g);
    CirclePlayer player(c.mw, c.mh, true);
    io.ImportMetafileGraphic(player, c.width, c.height, false);
    EXPECT_FALSE(io.Aborting) << what;
    TRVBitmap& b = *io.GetAttachedRVBitmap();
    if (c.w == 0) {
      EXPECT_EQ(player.draws, 0) << what;
      EXPECT_EQ(b.GetWidth(), 3) << what;
      continue;
    }
    EXPECT_EQ(b.GetWidth(), c.w) << what;
    EXPECT_EQ(b.GetHeight(), c.h) << what;
    EXPECT_EQ(b.GetPixelFormat(), rv24RGB) << what;
    EXPECT_FALSE(b.HasAlphaBitmap()) << what;
    EXPECT_EQ(io.Params.Width, c.w) << what;
    EXPECT_EQ(io.Params.StoredHeight, c.h) << what;
    EXPECT_EQ(io.Params.FileType, ioEMF) << what;
  }
  // A picture without a size is refused.
  TRastovaIO io;
  CirclePlayer empty(0, 100, false);
  io.ImportMetafileGraphic(empty, -1, -1, true);
  EXPECT_TRUE(io.Aborting);
  EXPECT_EQ(empty.draws, 0);
}

TEST(MetafileImport, UnpaintedPartsBecomeTransparent) {
  TRastovaIO io;
  io.SetBackground(platform::clLime);
  CirclePlayer player(100, 60, false);
  io.ImportMetafileGraphic(player, -1, -1, true);
  ASSERT_FALSE(io.Aborting);
  EXPECT_EQ(player.draws, 2);
  TRVBitmap& b = *io.GetAttachedRVBitmap();
  ASSERT_TRUE(b.HasAlphaBitmap());
  TRVBitmap& alpha = *b.AlphaBitmap();
  for (auto [x, y] : {std::pair{0, 0}, {99, 0}, {0, 59}, {99, 59}}) {
    EXPECT_EQ(alpha.GetPixels_rv8(x, y), 0) << x << "," << y;
    const TRGB c = b.GetPixels(x, y);  // the background colour
    EXPECT_TRUE(c.r == 0 && c.g == 255 && c.b == 0) << x << "," << y;
  }
  EXPECT_EQ(alpha.GetPixels_rv8(50, 30), 255);
  const TRGB centre = b.GetPixels(50, 30);
  EXPECT_TRUE(centre.r == 255 && centre.g == 0 && centre.b == 0);
  EXPECT_FALSE(alpha.Full);
  EXPECT_EQ(io.Params.FileType, ioWMF);
}

// An EMF of a header and the end-of-file record; with `damaged` the header is followed by 20
// zero bytes instead (a record of size 0).
std::vector<uint8_t> Emf(int32_t left, int32_t top, int32_t right, int32_t bottom, bool damaged = false) {
  std::vector<uint8_t> d(108 + 20, 0);
  auto put = [&](size_t at, int32_t v) {
    for (int i = 0; i < 4; ++i) d[at + size_t(i)] = uint8_t(uint32_t(v) >> (8 * i));
  };
  put(0, 1);
  put(4, 108);
  put(8, left);
  put(12, top);
  put(16, right);
  put(20, bottom);
  std::memcpy(&d[40], " EMF", 4);
  if (!damaged) {
    put(108, 14);  // end of file
    put(112, 20);
    put(124, 20);
  }
  return d;
}

std::vector<uint8_t> Wmf(bool placeable, int16_t left, int16_t top, int16_t right, int16_t bottom,
                         uint16_t inch) {
  std::vector<uint8_t> d;
  auto put16 = [&](uint16_t v) {
    d.push_back(uint8_t(v));
    d.push_back(uint8_t(v >> 8));
  };
  if (placeable) {
    for (uint8_t b : {0xD7, 0xCD, 0xC6, 0x9A}) d.push_back(b);
    put16(0);
    for (int16_t v : {left, top, right, bottom}) put16(uint16_t(v));
    put16(inch);
    for (int i = 0; i < 3; ++i) put16(0);
  }
  put16(1);  // in memory
  put16(9);  // header words
  for (int i = 0; i < 7; ++i) put16(i == 0 ? 0x300 : 0);
  // The end-of-file record: 3 words, function 0.
  for (uint16_t v : {3, 0, 0}) put16(v);
  return d;
}

TEST(MetafileImport, HeaderSizesAndTheirLimits) {
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    const char* ext;
    int32_t width, height;          // the picture's own size (parameters only)
    bool loads;                     // a load draws it (at most the size limit)
    int32_t loadWidth, loadHeight;  // the size a load finds (drawn, or found before failing)
  } cases[] = {
      {"EMF", Emf(10, 20, 409, 119), ".emf", 400, 100, true, 400, 100},
      {"EMF negative bounds", Emf(-50, -60, -1, -1), ".emf", 50, 60, true, 50, 60},
      {"EMF reversed bounds", Emf(99, 49, 0, 0), ".emf", 100, 50, true, 100, 50},
      {"EMF bounds of 2^31", Emf(INT_MIN, 0, INT_MAX, 9), ".emf", INT_MAX, 10, true, 8000, 1},
      {"EMF whose records are damaged", Emf(0, 0, 99, 99, true), ".emf", 0, 0, false, 0, 0},
      {"WMF placeable", Wmf(true, 0, 0, 1440, 720, 1440), ".wmf", 96, 48, true, 96, 48},
      {"WMF negative box", Wmf(true, 100, 100, -100, 0, 96), ".wmf", 200, 100, true, 200, 100},
      {"WMF without placeable header", Wmf(false, 0, 0, 0, 0, 0), ".wmf", 0, 0, false, 0, 0},
  };
  TempDir dir;
  for (const Case& c : cases) {
    const std::string name = dir.File(std::string("m") + c.ext);
    iotest::WriteFileBytes(name, c.bytes);
    TRastovaIO params;
    params.ParamsFromFile(name);
    EXPECT_EQ(params.Params.Width, c.width) << c.what;
    EXPECT_EQ(params.Params.Height, c.height) << c.what;
    TRastovaIO io;
    int finished = 0;
    io.OnFinishWork = [&](TRastovaIO&) { ++finished; };
    io.LoadFromFile(name);
    EXPECT_EQ(io.Aborting, !c.loads) << c.what;
    EXPECT_EQ(finished, 1) << c.what;
    EXPECT_EQ(io.Params.Width, c.loadWidth) << c.what;
    EXPECT_EQ(io.Params.Height, c.loadHeight) << c.what;
    EXPECT_EQ(io.GetAttachedRVBitmap()->GetWidth(), c.loads ? c.loadWidth : 0) << c.what;
    // From a stream: by content, not by its type.
    TMemoryStream s;
    s.WriteBuffer(c.bytes.data(), int64_t(c.bytes.size()));
    s.SetPosition(0);
    TRastovaIO fromStream;
    fromStream.Aborting = false;
    fromStream.LoadFromStreamFormat(s, c.ext[1] == 'e' ? ioEMF : ioWMF);
    EXPECT_FALSE(fromStream.Aborting) << c.what;
    fromStream.LoadFromStream(s);
    EXPECT_EQ(fromStream.Aborting, !c.loads) << c.what;
    EXPECT_EQ(fromStream.Params.Width, c.loadWidth) << c.what;
  }
  // 9600 x 4800 pixels by its header (0 units per inch read as 1): the parameters say so.
  const std::string big = dir.File("big.wmf");
  iotest::WriteFileBytes(big, Wmf(true, 0, 0, 100, 50, 0));
  TRastovaIO params;
  params.ParamsFromFile(big);
  EXPECT_EQ(params.Params.Width, 9600);
  EXPECT_EQ(params.Params.Height, 4800);
}

// A metafile that cannot be drawn, of the largest size.
class UndrawablePlayer : public TRVMetafile {
 public:
  UndrawablePlayer() { Width = Height = 8000; }
  bool Drawable() const override { return false; }
  bool Draw(platform::TCanvas&, int32_t, int32_t) override { return false; }
};

TEST(MetafileImport, NothingOfThePictureSizeAllocatedForAMetafileThatCannotBeDrawn) {
  TRastovaIO io;
  UndrawablePlayer player;
  const size_t largest =
      test_support::LargestAllocationDuring([&] { io.ImportMetafileGraphic(player, -1, -1, true); });
  EXPECT_TRUE(io.Aborting);
  EXPECT_LT(largest, size_t(1) << 20);
  EXPECT_EQ(io.GetAttachedRVBitmap()->GetWidth(), 0);
}

// 400 x 100: a red left half, a green square and a blue bar on white, every edge on even
// coordinates, so that the picture at half size is exactly every second pixel of it.
std::vector<uint8_t> Blocks400x100() {
  metatest::TEmfWriter w(400, 100);
  w.Select(U_NULL_PEN);
  w.Select(w.Brush(U_BS_SOLID, metatest::Rgb(255, 0, 0)));
  w.Add(U_EMRRECTANGLE_set(metatest::Rc(0, 0, 200, 100)));
  w.Select(w.Brush(U_BS_SOLID, metatest::Rgb(0, 255, 0)));
  w.Add(U_EMRRECTANGLE_set(metatest::Rc(240, 20, 300, 80)));
  w.Select(w.Brush(U_BS_SOLID, metatest::Rgb(0, 0, 255)));
  w.Add(U_EMRRECTANGLE_set(metatest::Rc(320, 40, 396, 50)));
  return w.Finish();
}

TEST(MetafileImport, LoadedTheWholeWayAndScaled) {
  TempDir dir;
  const std::string name = dir.File("blocks.emf");
  iotest::WriteFileBytes(name, Blocks400x100());
  TRastovaIO io;
  io.SetBackground(platform::clWhite);
  io.LoadFromFile(name);
  ASSERT_FALSE(io.Aborting);
  TRVBitmap& full = *io.GetAttachedRVBitmap();
  ASSERT_EQ(full.GetWidth(), 400);
  ASSERT_EQ(full.GetHeight(), 100);
  EXPECT_EQ(full.GetPixelFormat(), rv24RGB);
  EXPECT_EQ(io.Params.FileType, ioEMF);
  auto colour = [](TRVBitmap& b, int x, int y) {
    const TRGB c = b.GetPixels(x, y);
    return (uint32_t(c.r) << 16) | (uint32_t(c.g) << 8) | c.b;
  };
  EXPECT_EQ(colour(full, 100, 50), 0xFF0000u);
  EXPECT_EQ(colour(full, 270, 50), 0x00FF00u);
  EXPECT_EQ(colour(full, 350, 45), 0x0000FFu);
  EXPECT_EQ(colour(full, 220, 10), 0xFFFFFFu);
  // What the picture paints is opaque, the rest transparent.
  ASSERT_TRUE(full.HasAlphaBitmap());
  EXPECT_EQ(full.AlphaBitmap()->GetPixels_rv8(100, 50), 255);
  EXPECT_EQ(full.AlphaBitmap()->GetPixels_rv8(270, 50), 255);
  EXPECT_EQ(full.AlphaBitmap()->GetPixels_rv8(220, 10), 0);
  EXPECT_EQ(full.AlphaBitmap()->GetPixels_rv8(399, 99), 0);
  // Width 200, height following: 200 x 50, the original scaled.
  TRastovaIO half;
  half.SetBackground(platform::clWhite);
  half.ImportMetafile(name, 200, -1, false);
  ASSERT_FALSE(half.Aborting);
  TRVBitmap& small = *half.GetAttachedRVBitmap();
  ASSERT_EQ(small.GetWidth(), 200);
  ASSERT_EQ(small.GetHeight(), 50);
  int differ = 0;
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 200; ++x) differ += colour(small, x, y) != colour(full, 2 * x, 2 * y);
  EXPECT_EQ(differ, 0);
  // By content from a stream, under any name.
  TMemoryStream s;
  const std::vector<uint8_t> bytes = Blocks400x100();
  s.WriteBuffer(bytes.data(), int64_t(bytes.size()));
  s.SetPosition(0);
  TRastovaIO fromStream;
  fromStream.LoadFromStream(s);
  ASSERT_FALSE(fromStream.Aborting);
  EXPECT_EQ(colour(*fromStream.GetAttachedRVBitmap(), 270, 50), 0x00FF00u);
}

TEST(MetafileImport, WmfAtItsStatedSize) {
  // 3 by 2 inches at 1440 units per inch: 288 x 192 pixels; a blue square an inch wide at one
  // inch from the left and half an inch from the top.
  metatest::TWmfWriter w(4320, 2880, 1440);
  w.Select(w.Brush(U_BS_SOLID, metatest::Rgb(0, 0, 255)));
  w.Select(w.Pen(U_PS_NULL, 0, metatest::Rgb(0, 0, 0)));
  w.Add(U_WMRRECTANGLE_set(metatest::Rc16(1440, 720, 2880, 2160)));
  TempDir dir;
  const std::string name = dir.File("square.wmf");
  iotest::WriteFileBytes(name, w.Finish());
  TRastovaIO io;
  io.LoadFromFile(name);
  ASSERT_FALSE(io.Aborting);
  TRVBitmap& b = *io.GetAttachedRVBitmap();
  ASSERT_EQ(b.GetWidth(), 288);
  ASSERT_EQ(b.GetHeight(), 192);
  EXPECT_EQ(io.Params.FileType, ioWMF);
  const TRGB inside = b.GetPixels(144, 96);
  EXPECT_TRUE(inside.b == 255 && inside.r == 0) << int(inside.r) << "," << int(inside.b);
  EXPECT_EQ(b.AlphaBitmap()->GetPixels_rv8(90, 96), 0);
  EXPECT_EQ(b.AlphaBitmap()->GetPixels_rv8(100, 52), 255);
  EXPECT_EQ(b.AlphaBitmap()->GetPixels_rv8(100, 46), 0);
}

}  // namespace
}  // namespace rv
