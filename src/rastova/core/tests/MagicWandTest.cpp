// The magic wand: the region fill against a breadth-first search, the masks it writes, the
// outline's vertices and its area, and the seeds and tolerances that select nothing.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <deque>
#include <random>
#include <vector>

#include "common/tests/support/AllocationWatch.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVBitmapInternal.h"
#include "rastova/core/RVMask.h"
#include "rastova/core/RVUtils.h"
#include "rastova/core/select/RVMagicWand.h"

namespace rv {
namespace {

using TSelection = std::vector<std::vector<bool>>;  // [y][x]

std::unique_ptr<TRVBitmap> WandImage(int32_t w, int32_t h, const std::vector<uint32_t>& colours,
                                     uint32_t seed) {
  auto b = std::make_unique<TRVBitmap>(w, h, rv24RGB);
  std::mt19937 random(seed);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) b->SetPixels_rv24RGB(x, y, colours[random() % colours.size()]);
  return b;
}

bool Matches(TRVBitmap& b, int32_t x, int32_t y, const TRGB& s, int32_t tolerance) {
  const TRGB p = b.GetPixels(x, y);
  return std::abs(p.r - s.r) <= tolerance && std::abs(p.g - s.g) <= tolerance &&
         std::abs(p.b - s.b) <= tolerance;
}

// The 4-connected region by a breadth-first search, and every matching pixel.
TSelection ReferenceRegion(TRVBitmap& b, int32_t sx, int32_t sy, int32_t tolerance, bool connected) {
  const int32_t w = b.GetWidth(), h = b.GetHeight();
  TSelection in(static_cast<size_t>(h), std::vector<bool>(static_cast<size_t>(w)));
  const TRGB seed = b.GetPixels(sx, sy);
  if (!connected) {
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) in[y][x] = Matches(b, x, y, seed, tolerance);
    return in;
  }
  if (!Matches(b, sx, sy, seed, tolerance)) return in;
  std::deque<std::pair<int32_t, int32_t>> todo{{sx, sy}};
  in[sy][sx] = true;
  while (!todo.empty()) {
    const auto [x, y] = todo.front();
    todo.pop_front();
    const int32_t nx[4] = {x - 1, x + 1, x, x}, ny[4] = {y, y, y - 1, y + 1};
    for (int k = 0; k < 4; ++k)
      if (nx[k] >= 0 && ny[k] >= 0 && nx[k] < w && ny[k] < h && !in[ny[k]][nx[k]] &&
          Matches(b, nx[k], ny[k], seed, tolerance)) {
        in[ny[k]][nx[k]] = true;
        todo.push_back({nx[k], ny[k]});
      }
  }
  return in;
}

TSelection Grown(const TSelection& s) {
  TSelection g = s;
  const int32_t h = static_cast<int32_t>(s.size()), w = static_cast<int32_t>(s[0].size());
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      if (s[y][x])
        for (int32_t dy = -1; dy <= 1; ++dy)
          for (int32_t dx = -1; dx <= 1; ++dx)
            if (x + dx >= 0 && y + dy >= 0 && x + dx < w && y + dy < h) g[y + dy][x + dx] = true;
  return g;
}

TSelection FromMask(const TRVMask& m) {
  TSelection s(static_cast<size_t>(m.Height()), std::vector<bool>(static_cast<size_t>(m.Width())));
  for (int32_t y = 0; y < m.Height(); ++y)
    for (int32_t x = 0; x < m.Width(); ++x) s[y][x] = m.GetPixel(x, y) != 0;
  return s;
}

// The pixels whose centres a polygon of horizontal and vertical edges on pixel corners encloses.
TSelection Rasterised(const std::vector<TRVPoint>& p, int32_t w, int32_t h) {
  TSelection s(static_cast<size_t>(h), std::vector<bool>(static_cast<size_t>(w)));
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      bool inside = false;
      for (size_t i = 0; i < p.size(); ++i) {
        const TRVPoint& a = p[i];
        const TRVPoint& b = p[(i + 1) % p.size()];
        if (a.x == b.x && a.x > x && std::min(a.y, b.y) <= y && std::max(a.y, b.y) > y) inside = !inside;
      }
      s[y][x] = inside;
    }
  return s;
}

TEST(MagicWand, RegionsMatchABreadthFirstSearchInEveryFormat) {
  const std::vector<uint32_t> colours = {0x000000, 0xFFFFFF, 0x804020, 0x824222, 0x7E3E1E, 0x102030};
  const TRVPixelFormat formats[] = {rv24RGB, rv32RGB, rv8g, rv8p, rv1g, rv16g, rv48RGB, rvCMYK};
  // Narrow pictures take the pixels one by one, wide ones 64 at a time (and one by one at the end).
  for (auto [w, h] : {std::pair{37, 23}, std::pair{150, 9}}) {
    for (TRVPixelFormat format : formats) {
      for (uint32_t seed = 1; seed <= 4; ++seed) {
        auto image = WandImage(w, h, colours, seed);
        image->SetPixelFormat(format);
        ASSERT_EQ(image->GetPixelFormat(), format);
        const int32_t sx = static_cast<int32_t>(seed * 7 % w), sy = static_cast<int32_t>(seed * 5 % h);
        for (int32_t tolerance : {0, 2, 40}) {
          SCOPED_TRACE(::testing::Message() << w << " wide, format " << int(format) << " seed " << seed
                                            << " tolerance " << tolerance);
          const TSelection region = ReferenceRegion(*image, sx, sy, tolerance, true);
          for (bool maxFilter : {false, true}) {
            TRVMask mask;
            mask.AllocateBits(w, h, 8);
            MagicWandFillMask(*image, sx, sy, 255, mask, tolerance, maxFilter);
            ASSERT_EQ(FromMask(mask), maxFilter ? Grown(region) : region) << "max filter " << maxFilter;
          }
          TRVMask all;
          all.AllocateBits(w, h, 1);
          MagicWandGlobalMask(*image, sx, sy, 1, all, tolerance);
          ASSERT_EQ(FromMask(all), ReferenceRegion(*image, sx, sy, tolerance, false));
        }
      }
    }
  }
}

TEST(MagicWand, MasksTakeTheValueAsSetPixelDoes) {
  auto image = WandImage(70, 3, {0x112233}, 1);
  image->SetPixels_rv24RGB(5, 1, 0);
  TRVMask grey;
  grey.AllocateBits(70, 3, 8);
  MagicWandFillMask(*image, 0, 0, 77, grey, 0, false);
  EXPECT_EQ(grey.GetPixel(69, 2), 77);
  EXPECT_EQ(grey.GetPixel(5, 1), 0);
  EXPECT_EQ(grey.Left, 0);
  EXPECT_EQ(grey.Right, 69);
  EXPECT_EQ(grey.Bottom, 2);
  // A 1-bit mask set everywhere and a value of 0: the region is cleared, the rest stays.
  TRVMask bits;
  bits.AllocateBits(70, 3, 1);
  bits.Fill(255);
  MagicWandFillMask(*image, 0, 0, 0, bits, 0, false);
  for (int32_t x = 0; x < 70; ++x) ASSERT_EQ(bits.GetPixel(x, 1) != 0, x == 5) << x;
  // A smaller mask takes what fits.
  TRVMask small;
  small.AllocateBits(10, 2, 8);
  MagicWandGlobalMask(*image, 0, 0, 9, small, 0);
  EXPECT_EQ(small.GetPixel(9, 1), 9);
  EXPECT_EQ(small.GetPixel(5, 1), 0);
}

TEST(MagicWand, SinglePixelAndDiagonalNeighbours) {
  // Black pixels at (2, 2) and (3, 3) touch only at a corner: two regions.
  auto image = WandImage(6, 6, {0xFFFFFF}, 1);
  image->SetPixels_rv24RGB(2, 2, 0);
  image->SetPixels_rv24RGB(3, 3, 0);
  TRVMask one;
  one.AllocateBits(6, 6, 8);
  MagicWandFillMask(*image, 2, 2, 255, one, 0, false);
  TSelection expected(6, std::vector<bool>(6));
  expected[2][2] = true;
  EXPECT_EQ(FromMask(one), expected);
  TRVMask grown;
  grown.AllocateBits(6, 6, 8);
  MagicWandFillMask(*image, 2, 2, 255, grown, 0, true);
  EXPECT_EQ(FromMask(grown), Grown(expected));
  int32_t count = -1;
  const auto single = MagicWandOutline(*image, 2, 2, count, 0, false);
  ASSERT_EQ(count, 8);
  EXPECT_EQ(Rasterised(single, 6, 6), expected);
  // The outline's grid holds only the region's box, so the max filter cannot grow one pixel.
  EXPECT_EQ(MagicWandOutline(*image, 2, 2, count, 0, true).size(), single.size());
  // The global mask takes both.
  TRVMask all;
  all.AllocateBits(6, 6, 8);
  MagicWandGlobalMask(*image, 2, 2, 255, all, 0);
  expected[3][3] = true;
  EXPECT_EQ(FromMask(all), expected);
}

TEST(MagicWand, OutlineOfAUniformImageHasEightVerticesOnTheCorners) {
  for (auto [w, h] : {std::pair{5, 3}, std::pair{1, 1}, std::pair{1, 7}}) {
    auto image = WandImage(w, h, {0x336699}, 1);
    int32_t count = 0;
    const auto p = MagicWandOutline(*image, w - 1, h / 2, count, 0, false);
    ASSERT_EQ(count, 8) << w << "x" << h;
    const std::vector<std::pair<int32_t, int32_t>> expected = {{0, 0}, {w, 0}, {w, 0}, {w, h},
                                                               {w, h}, {0, h}, {0, h}, {0, 0}};
    for (int32_t i = 0; i < 8; ++i) {
      EXPECT_EQ(p[i].x, expected[i].first) << i;
      EXPECT_EQ(p[i].y, expected[i].second) << i;
    }
  }
}

// Regions without holes, one run per row with each run touching the next: the outline encloses
// exactly the region's pixels, whatever its concave and convex corners.
TEST(MagicWand, OutlineEnclosesTheRegion) {
  std::mt19937 random(7);
  for (int round = 0; round < 40; ++round) {
    const int32_t w = 3 + static_cast<int32_t>(random() % 20), h = 2 + static_cast<int32_t>(random() % 15);
    auto image = WandImage(w, h, {0xFFFFFF}, 1);
    const int32_t top = static_cast<int32_t>(random() % h);
    const int32_t rows = 1 + static_cast<int32_t>(random() % (h - top));
    int32_t a = static_cast<int32_t>(random() % w), b = a;
    for (int32_t y = top; y < top + rows; ++y) {
      // The next run overlaps the previous one by at least one pixel.
      const int32_t na = static_cast<int32_t>(random() % (b + 1));
      const int32_t nb = std::max(na, a) + static_cast<int32_t>(random() % (w - std::max(na, a)));
      a = na;
      b = nb;
      for (int32_t x = a; x <= b; ++x) image->SetPixels_rv24RGB(x, y, 0x0000FF);
    }
    int32_t count = 0;
    const auto p = MagicWandOutline(*image, a, top + rows - 1, count, 0, false);
    ASSERT_EQ(count, static_cast<int32_t>(p.size()));
    const TSelection region = ReferenceRegion(*image, a, top + rows - 1, 0, true);
    ASSERT_EQ(Rasterised(p, w, h), region) << "round " << round;
    // The max filter fills the region's box where the grown pixels reach.
    const auto q = MagicWandOutline(*image, a, top + rows - 1, count, 0, true);
    const TSelection grown = Rasterised(q, w, h);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) ASSERT_TRUE(grown[y][x] || !region[y][x]) << x << "," << y;
  }
}

// An outline grid that cannot be had gives no polygon; the masks do not need it.
TEST(MagicWand, OutlineWithoutRoomForItsGridIsEmpty) {
  auto image = WandImage(40, 30, {0x445566}, 1);
  testing::MaxBlockSize = (4 * 40 + 4) * (4 * 30 + 4) - 1;
  int32_t count = -1;
  const auto none = MagicWandOutline(*image, 3, 3, count, 0, false);
  testing::MaxBlockSize = -1;
  EXPECT_EQ(count, 0);
  EXPECT_TRUE(none.empty());
  EXPECT_EQ(MagicWandOutline(*image, 3, 3, count, 0, false).size(), 8u);
  EXPECT_EQ(count, 8);
}

// Seeds outside the image, tolerances that match nothing or everything and the smallest image:
// no selection, no polygon, no large allocation.
TEST(MagicWand, BadSeedsAndTolerances) {
  struct Case {
    int32_t w, h, x, y, tolerance;
    bool selects;
  };
  const Case cases[] = {
      {8, 5, -1, 0, 0, false},
      {8, 5, 8, 0, 0, false},
      {8, 5, 0, -1, 0, false},
      {8, 5, 0, 5, 0, false},
      {8, 5, INT_MIN, INT_MAX, 0, false},
      {8, 5, 3, 3, -1, false},
      {8, 5, 3, 3, INT_MIN, false},
      {8, 5, 3, 3, INT_MAX, true},
      {1, 1, 0, 0, 0, true},
      {1, 1, 1, 0, 0, false},
      {0, 0, 0, 0, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << c.w << "x" << c.h << " at " << c.x << "," << c.y << " tolerance " << c.tolerance);
    auto image = std::make_unique<TRVBitmap>();
    if (c.w > 0) image = WandImage(c.w, c.h, {0x000000, 0xFFFFFF}, 3);
    TRVMask region, all;
    region.AllocateBits(8, 5, 8);
    all.AllocateBits(8, 5, 8);
    int32_t count = -1;
    std::vector<TRVPoint> outline;
    const size_t largest = test_support::LargestAllocationDuring([&] {
      MagicWandFillMask(*image, c.x, c.y, 255, region, c.tolerance, true);
      MagicWandGlobalMask(*image, c.x, c.y, 255, all, c.tolerance);
      outline = MagicWandOutline(*image, c.x, c.y, count, c.tolerance, true);
    });
    EXPECT_LT(largest, 1u << 16);
    EXPECT_EQ(region.IsEmpty(), !c.selects);
    EXPECT_EQ(all.IsEmpty(), !c.selects);
    EXPECT_EQ(count, static_cast<int32_t>(outline.size()));
    EXPECT_EQ(count == 0, !c.selects);
    EXPECT_EQ(count, c.tolerance == INT_MAX ? 8 : count);
  }
}

}  // namespace
}  // namespace rv
