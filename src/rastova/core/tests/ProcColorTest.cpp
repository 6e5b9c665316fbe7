#include <gtest/gtest.h>

#include <vector>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVRotate.h"
#include "rastova/core/RVUtils.h"
#include "rastova/core/RastovaProc.h"
#include "rastova/core/RastovaProcColor.h"
#include "rastova/core/tests/GeomTestUtil.h"

using namespace rv;

namespace {

// A component with undo (it has an owner) over a caller's image, counting finish signals.
struct Fixture {
  int owner = 0;
  TRastovaProc proc{&owner};
  TRVBitmap image;
  int finished = 0;
  std::vector<int32_t> progress;
  explicit Fixture(TRVPixelFormat f = rv24RGB, int32_t w = 12, int32_t h = 8) {
    image.Allocate(w, h, f);
    rvtest::FillPattern(image);
    proc.SetAttachedRVBitmap(&image);
    proc.OnFinishWork = [this](TRastovaProc*) { ++finished; };
    proc.OnProgress = [this](void*, int32_t p) { progress.push_back(p); };
  }
};

}  // namespace

TEST(ProcRotate, ZeroDoesNothing) {
  Fixture f;
  ASSERT_TRUE(f.proc.AutoUndo);
  Rotate(f.proc, 0, true, 1, -1);
  EXPECT_EQ(f.proc.GetUndoCount(), 0);
  EXPECT_EQ(f.finished, 0);
}

TEST(ProcRotate, EveryMethodTurnsTheAlphaChannelAlong) {
  struct Case {
    TRVPixelFormat format;
    double angle;
    bool antialias;
    uint8_t quality;
  } cases[] = {{rv24RGB, 30, true, 1}, {rv24RGB, 30, true, 2},  {rv24RGB, 30, true, 0},
               {rv24RGB, 90, true, 1}, {rv24RGB, 30, false, 0}, {rv1g, 30, true, 1},
               {rv1g, -90, true, 0},   {rv8g, 30, true, 1},     {rv16g, 30, false, 0},
               {rv48RGB, 30, true, 2}, {rvCMYK, 270, false, 0}, {rv32RGB, -15, false, 0},
               {rv8p, 45, true, 0},    {rv32f, 180, false, 0},  {rvCIELab, 12.5, true, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.format) + " " + std::to_string(c.angle) + " " +
                 std::to_string(c.antialias) + std::to_string(c.quality));
    Fixture f(c.format);
    f.image.AlphaBitmap()->Fill(255);
    Rotate(f.proc, c.angle, c.antialias, c.quality, -1);
    EXPECT_EQ(f.image.GetPixelFormat(), c.format);
    ASSERT_TRUE(f.image.HasAlphaBitmap());
    EXPECT_EQ(f.image.AlphaBitmap()->GetWidth(), f.image.GetWidth());
    EXPECT_EQ(f.image.AlphaBitmap()->GetHeight(), f.image.GetHeight());
    if (IsMultipleOf90(c.angle) && c.angle != 180) {
      EXPECT_EQ(f.image.GetWidth(), 8);
      EXPECT_EQ(f.image.GetHeight(), 12);
    } else {
      EXPECT_GE(f.image.GetWidth(), 12);
      // Uncovered corners are transparent, the middle stays opaque.
      if (!IsMultipleOf90(c.angle)) {
        EXPECT_EQ(f.image.AlphaBitmap()->GetPixels_rv8(0, 0), 0);
      }
      EXPECT_GT(f.image.AlphaBitmap()->GetPixels_rv8(f.image.GetWidth() / 2, f.image.GetHeight() / 2), 200);
    }
    EXPECT_EQ(f.proc.GetUndoCount(), 1);
    EXPECT_EQ(f.finished, 1);
  }
  Fixture f;
  Rotate(f.proc, 30, false, 0, -1);
  EXPECT_EQ(f.proc.GetUndoCaptions(0), "Rotate 30.00");
  EXPECT_FALSE(f.progress.empty());
  EXPECT_EQ(f.progress.back(), 100);
  // Undo brings the picture back.
  f.proc.Undo(false);
  EXPECT_EQ(f.image.GetWidth(), 12);
}

TEST(ProcRotate, BackgroundOfTheComponent) {
  Fixture f(rv24RGB, 10, 10);
  f.proc.SetBackground(0x00FF00);
  Rotate(f.proc, 45, false, 0, -1);
  EXPECT_EQ(PackRGB(f.image.GetPixels_rv24RGB(0, 0)), 0x00FF00u);
  Fixture g(rv24RGB, 10, 10);
  Rotate(g.proc, 45, true, 0, 0x0000FF);  // three shears with a red background
  EXPECT_EQ(PackRGB(g.image.GetPixels_rv24RGB(0, 0)), 0xFF0000u);
}

TEST(ProcColor, ConvertToAndPalette) {
  Fixture white(rv24RGB, 16, 8);
  white.image.Fill(0xFFFFFF);
  ConvertTo(white.proc, 2, false);
  ASSERT_EQ(white.image.GetPixelFormat(), rv1g);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 16; ++x) ASSERT_TRUE(white.image.GetPixels_rv1g(x, y));
  EXPECT_EQ(white.proc.GetUndoCaptions(0), "ConvertTo 2");

  Fixture many;
  TRVBitmap before;
  before.Assign(&many.image);
  ConvertTo(many.proc, 2000, false);
  EXPECT_EQ(rvtest::Pixels(many.image), rvtest::Pixels(before));
  EXPECT_EQ(many.proc.GetUndoCount(), 1);
  EXPECT_EQ(many.finished, 1);

  Fixture two;
  std::vector<TRGB> pal;
  ConvertToPalette(two.proc, 2, pal, true);
  ASSERT_EQ(pal.size(), 2u);
  EXPECT_EQ(PackRGB(pal[0]), 0u);
  EXPECT_EQ(PackRGB(pal[1]), 0xFFFFFFu);
  EXPECT_EQ(two.image.GetPixelFormat(), rv1g);

  Fixture none;
  ConvertToPalette(none.proc, 0, pal, false);
  EXPECT_EQ(none.proc.GetUndoCount(), 0);
  EXPECT_EQ(none.finished, 0);

  Fixture q;
  ConvertToPalette(q.proc, 5, pal, false);
  ASSERT_EQ(pal.size(), 5u);
  EXPECT_EQ(q.image.GetPixelFormat(), rv24RGB);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 12; ++x) {
      const TRGB c = q.image.GetPixels_rv24RGB(x, y);
      bool found = false;
      for (const TRGB& e : pal) found = found || e == c;
      ASSERT_TRUE(found);
    }

  // Another format is converted to 24 bits first.
  Fixture grey(rv8g);
  ConvertTo(grey.proc, 16, false);
  EXPECT_EQ(grey.image.GetPixelFormat(), rv24RGB);
}

TEST(ProcColor, GreyAndFill) {
  Fixture f;
  ConvertToGray(f.proc);
  const TRGB c = f.image.GetPixels_rv24RGB(5, 5);
  EXPECT_EQ(c.r, c.g);
  EXPECT_EQ(c.g, c.b);
  EXPECT_EQ(f.proc.GetUndoCaptions(0), "ConvertToGray");

  Fixture two(rv24RGB, 4, 2);
  Fill(two.proc, TRGB{3, 2, 1});
  EXPECT_EQ(two.proc.GetUndoCaptions(0), "Fill (1, 2, 3)");
  EXPECT_EQ(PackRGB(two.image.GetPixels_rv24RGB(3, 1)), 0x010203u);
  ASSERT_GE(two.progress.size(), 2u);
  EXPECT_EQ(two.progress[0], 40);
  EXPECT_EQ(two.progress[1], 80);

  Fixture bits(rv1g, 8, 2);
  Fill(bits.proc, TRGB{255, 255, 0});  // red 0: black
  EXPECT_FALSE(bits.image.GetPixels_rv1g(7, 1));
  Fill(bits.proc, TRGB{0, 0, 1});
  EXPECT_TRUE(bits.image.GetPixels_rv1g(7, 1));
}
