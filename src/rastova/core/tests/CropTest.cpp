// Cropping the component's image to a rectangle and to its opaque area.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "common/tests/support/AllocationWatch.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVUtils.h"
#include "rastova/core/RastovaProc.h"
#include "rastova/core/select/RVCrop.h"
#include "rastova/core/tests/GeomTestUtil.h"

namespace rv {
namespace {

// A 24-bit image whose pixel (x, y) is x * 16 + y in blue, with an alpha channel of x + 10 * y.
std::unique_ptr<TRVBitmap> Numbered(int32_t w, int32_t h, bool withAlpha) {
  auto b = std::make_unique<TRVBitmap>(w, h, rv24RGB);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      b->SetPixels_rv24RGB(x, y, static_cast<uint32_t>(x * 16 + y));
      if (withAlpha) b->AlphaBitmap()->SetPixels_rv8(x, y, static_cast<uint8_t>(x + 10 * y));
    }
  return b;
}

struct CropRun {
  TRastovaProc proc{reinterpret_cast<const void*>(1)};  // with an owner: undo is recorded
  int finished = 0;
  std::vector<std::string> captions;
  explicit CropRun(TRVBitmap& image) {
    proc.SetAttachedRVBitmap(&image);
    proc.OnFinishWork = [this](TRastovaProc*) { ++finished; };
  }
};

TEST(Crop, KeepsTheRectangleOfImageAndAlphaWithAnUndoEntry) {
  auto image = Numbered(4, 4, true);
  CropRun run(*image);
  run.proc.Crop(1, 1, 2, 2);
  ASSERT_EQ(image->GetWidth(), 2);
  ASSERT_EQ(image->GetHeight(), 2);
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 2; ++x) {
      EXPECT_EQ(image->GetPixels_rv24RGB(x, y).b, (x + 1) * 16 + y + 1);
      EXPECT_EQ(image->AlphaBitmap()->GetPixels_rv8(x, y), (x + 1) + 10 * (y + 1));
    }
  EXPECT_EQ(run.proc.GetUndoCount(), 1);
  EXPECT_EQ(run.proc.GetUndoCaptions(0), "Crop 1, 1, 2, 2");
  EXPECT_EQ(run.finished, 1);
  run.proc.Undo(false);
  EXPECT_EQ(image->GetWidth(), 4);
  EXPECT_EQ(image->GetPixels_rv24RGB(3, 3).b, 3 * 16 + 3);
}

TEST(Crop, PaletteAndOneBitImagesKeepTheirPixels) {
  TRVBitmap pal(5, 3, rv8p);
  for (int32_t i = 0; i < 256; ++i) pal.SetPalette(i, static_cast<uint32_t>(i * 0x010101));
  rvtest::FillPattern(pal);
  TRVBitmap bits(21, 3, rv1g);
  rvtest::FillPattern(bits);
  for (TRVBitmap* image : {&pal, &bits}) {
    TRVBitmap before;
    before.Assign(image);
    TRastovaProc proc;
    proc.SetAttachedRVBitmap(image);
    proc.Crop(3, 1, image->GetWidth() - 2, 2);
    ASSERT_EQ(image->GetWidth(), before.GetWidth() - 4);
    ASSERT_EQ(image->GetHeight(), 2);
    for (int32_t y = 0; y < 2; ++y)
      for (int32_t x = 0; x < image->GetWidth(); ++x)
        ASSERT_EQ(PackRGB(image->GetPixels(x, y)), PackRGB(before.GetPixels(x + 3, y + 1))) << x << "," << y;
  }
  EXPECT_EQ(pal.GetPaletteLength(), 256);
}

// Rectangles that select nothing or everything change nothing and store no undo entry; the
// others are clipped to the image, so no piece is larger than the image.
TEST(Crop, BadAndWholeRectangles) {
  struct Case {
    int32_t left, top, right, bottom;
    int32_t w, h;  // the size afterwards
  };
  const Case cases[] = {
      {0, 0, 5, 3, 6, 4},        // the whole image
      {3, 1, 2, 2, 6, 4},        // inverted horizontally
      {1, 3, 2, 2, 6, 4},        // inverted vertically
      {6, 0, 9, 3, 6, 4},        // right of the image
      {0, -9, 5, -1, 6, 4},      // above it
      {-5, -5, 100, 100, 6, 4},  // around it: the whole image
      {INT_MIN, INT_MIN, INT_MAX, INT_MAX, 6, 4},
      {INT_MAX, INT_MAX, INT_MIN, INT_MIN, 6, 4},
      {-3, 2, 1, 1000000, 2, 2},  // clipped to (0, 2)-(1, 3)
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.left << "," << c.top << "," << c.right << "," << c.bottom);
    auto image = Numbered(6, 4, true);
    CropRun run(*image);
    const size_t largest =
        test_support::LargestAllocationDuring([&] { run.proc.Crop(c.left, c.top, c.right, c.bottom); });
    EXPECT_LT(largest, 1u << 20);
    EXPECT_EQ(image->GetWidth(), c.w);
    EXPECT_EQ(image->GetHeight(), c.h);
    const bool changed = c.w != 6 || c.h != 4;
    EXPECT_EQ(run.proc.GetUndoCount(), changed ? 1 : 0);
    EXPECT_EQ(run.finished, changed ? 1 : 0);
    if (changed) {
      EXPECT_EQ(image->GetPixels_rv24RGB(1, 1).b, 1 * 16 + 3);
    }
  }
}

TEST(Crop, CropToRectTakesTheCornersAsIncluded) {
  auto image = Numbered(5, 5, false);
  TRastovaProc proc;
  proc.SetAttachedRVBitmap(image.get());
  proc.CropToRect(platform::TRect{1, 2, 3, 4});
  EXPECT_EQ(image->GetWidth(), 3);
  EXPECT_EQ(image->GetHeight(), 3);
  EXPECT_EQ(image->GetPixels_rv24RGB(0, 0).b, 16 + 2);
}

TEST(Crop, OpaqueBounds) {
  auto plain = Numbered(7, 5, false);
  platform::TRect r;
  GetOpaqueBounds(*plain, r);
  EXPECT_EQ(r, (platform::TRect{0, 0, 6, 4}));
  plain->AlphaBitmap()->Fill(0);
  GetOpaqueBounds(*plain, r);
  EXPECT_EQ(r, (platform::TRect{7, 5, -1, -1}));
  plain->AlphaBitmap()->SetPixels_rv8(5, 1, 1);
  plain->AlphaBitmap()->SetPixels_rv8(2, 3, 200);
  GetOpaqueBounds(*plain, r);
  EXPECT_EQ(r, (platform::TRect{2, 1, 5, 3}));
}

TEST(Crop, CropToOpaqueAreaStoresNoUndo) {
  auto image = Numbered(7, 5, true);
  image->AlphaBitmap()->Fill(0);
  CropRun run(*image);
  run.proc.CropToOpaqueArea();  // alpha 0 everywhere: unchanged
  EXPECT_EQ(image->GetWidth(), 7);
  EXPECT_EQ(image->GetHeight(), 5);
  image->AlphaBitmap()->SetPixels_rv8(4, 1, 9);
  image->AlphaBitmap()->SetPixels_rv8(1, 2, 9);
  run.proc.CropToOpaqueArea();
  EXPECT_EQ(image->GetWidth(), 4);
  EXPECT_EQ(image->GetHeight(), 2);
  EXPECT_EQ(image->GetPixels_rv24RGB(0, 0).b, 16 + 1);
  EXPECT_EQ(image->AlphaBitmap()->GetPixels_rv8(3, 0), 9);
  EXPECT_EQ(run.proc.GetUndoCount(), 0);
  EXPECT_TRUE(run.proc.AutoUndo);
  auto noAlpha = Numbered(3, 3, false);
  CropRun other(*noAlpha);
  other.proc.CropToOpaqueArea();
  EXPECT_EQ(noAlpha->GetWidth(), 3);
  EXPECT_FALSE(noAlpha->HasAlphaBitmap());
  EXPECT_EQ(other.finished, 0);
}

}  // namespace
}  // namespace rv
