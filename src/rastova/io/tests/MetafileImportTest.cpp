// Metafiles: the size rules and the transparency of the import (through a test player that
// paints a circle), and the sizes this platform reads from EMF and WMF headers.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "IoTestTools.h"
#include "platform/gfx/Canvas.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStream.h"
#include "rastova/io/RVFileFormat.h"
#include "rastova/io/RVMetafileImport.h"
#include "rastova/io/RastovaIO.h"

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

std::vector<uint8_t> Emf(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  std::vector<uint8_t> d(128, 0);
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
  d.resize(d.size() + 32, 0);
  return d;
}

TEST(MetafileImport, HeaderSizesAndTheirLimits) {
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    const char* ext;
    int32_t width, height;          // the picture's own size (parameters only)
    int32_t loadWidth, loadHeight;  // the size a load finds before it fails
  } cases[] = {
      {"EMF", Emf(10, 20, 409, 119), ".emf", 400, 100, 400, 100},
      {"EMF negative bounds", Emf(-50, -60, -1, -1), ".emf", 50, 60, 50, 60},
      {"EMF reversed bounds", Emf(99, 49, 0, 0), ".emf", 100, 50, 100, 50},
      {"EMF bounds of 2^31", Emf(INT_MIN, 0, INT_MAX, 9), ".emf", INT_MAX, 10, 8000, 1},
      {"WMF placeable", Wmf(true, 0, 0, 1440, 720, 1440), ".wmf", 96, 48, 96, 48},
      {"WMF 0 units per inch", Wmf(true, 0, 0, 100, 50, 0), ".wmf", 9600, 4800, 8000, 4000},
      {"WMF negative box", Wmf(true, 100, 100, -100, 0, 96), ".wmf", 200, 100, 200, 100},
      {"WMF without placeable header", Wmf(false, 0, 0, 0, 0, 0), ".wmf", 0, 0, 0, 0},
  };
  TempDir dir;
  for (const Case& c : cases) {
    const std::string name = dir.File(std::string("m") + c.ext);
    iotest::WriteFileBytes(name, c.bytes);
    TRastovaIO params;
    params.ParamsFromFile(name);
    EXPECT_EQ(params.Params.Width, c.width) << c.what;
    EXPECT_EQ(params.Params.Height, c.height) << c.what;
    // No player here: a load finds the size, then fails.
    TRastovaIO io;
    int finished = 0;
    io.OnFinishWork = [&](TRastovaIO&) { ++finished; };
    io.LoadFromFile(name);
    EXPECT_TRUE(io.Aborting) << c.what;
    EXPECT_EQ(finished, 1) << c.what;
    EXPECT_EQ(io.Params.Width, c.loadWidth) << c.what;
    EXPECT_EQ(io.Params.Height, c.loadHeight) << c.what;
    EXPECT_EQ(io.GetAttachedRVBitmap()->GetWidth(), 0) << c.what;
    // From a stream: by content, not by its type.
    TMemoryStream s;
    s.WriteBuffer(c.bytes.data(), int64_t(c.bytes.size()));
    s.SetPosition(0);
    TRastovaIO fromStream;
    fromStream.Aborting = false;
    fromStream.LoadFromStreamFormat(s, c.ext[1] == 'e' ? ioEMF : ioWMF);
    EXPECT_FALSE(fromStream.Aborting) << c.what;
    fromStream.LoadFromStream(s);
    EXPECT_TRUE(fromStream.Aborting) << c.what;
    EXPECT_EQ(fromStream.Params.Width, c.loadWidth) << c.what;
  }
}

}  // namespace
}  // namespace rv
