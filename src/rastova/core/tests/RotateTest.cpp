#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVRectCopy.h"
#include "rastova/core/RVRotate.h"
#include "rastova/core/RVUtils.h"
#include "rastova/core/tests/GeomTestUtil.h"

using namespace rv;

namespace {

const TRVPixelFormat kAllFormats[] = {rv1g,  rv8p,   rv8g,    rv16g,    rv24RGB,
                                      rv32f, rvCMYK, rv48RGB, rvCIELab, rv32RGB};

std::vector<uint8_t> PixelAt(TRVBitmap& b, int32_t x, int32_t y) {
  const uint8_t* r = b.GetScanLine(y);
  if (b.GetBitCount() == 1) return {static_cast<uint8_t>(GetBufferBit(r, x))};
  const int32_t n = b.GetBitCount() / 8;
  return std::vector<uint8_t>(r + int64_t(x) * n, r + int64_t(x + 1) * n);
}

// dest(x, y) must equal source(map(x, y)).
void ExpectMapped(TRVBitmap& source, TRVBitmap& dest, int32_t w, int32_t h,
                  const std::function<std::pair<int32_t, int32_t>(int32_t, int32_t)>& map) {
  ASSERT_EQ(dest.GetWidth(), w);
  ASSERT_EQ(dest.GetHeight(), h);
  ASSERT_EQ(dest.GetPixelFormat(), source.GetPixelFormat());
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      auto [sx, sy] = map(x, y);
      ASSERT_EQ(PixelAt(dest, x, y), PixelAt(source, sx, sy)) << "at " << x << "," << y;
    }
}

std::unique_ptr<TRVBitmap> Patterned(TRVPixelFormat f, int32_t w, int32_t h) {
  auto b = std::make_unique<TRVBitmap>(w, h, f);
  rvtest::FillPattern(*b);
  return b;
}

// Centroid of the pixels whose red channel is above 128, relative to the image centre.
std::pair<double, double> RedCentroid(TRVBitmap& b) {
  double sx = 0, sy = 0, n = 0;
  for (int32_t y = 0; y < b.GetHeight(); ++y)
    for (int32_t x = 0; x < b.GetWidth(); ++x)
      if (b.GetPixels_rv24RGB(x, y).r > 128 && b.GetPixels_rv24RGB(x, y).g < 128) {
        sx += x;
        sy += y;
        ++n;
      }
  if (n == 0) return {1e9, 1e9};
  return {sx / n - (b.GetWidth() - 1) / 2.0, sy / n - (b.GetHeight() - 1) / 2.0};
}

// A grey picture with a red square in the middle of its top part.
std::unique_ptr<TRVBitmap> Marker() {
  auto b = std::make_unique<TRVBitmap>(60, 40, rv24RGB);
  b->Fill(0x808080);
  b->FillRect(26, 4, 33, 11, 0x0000FF);  // TColor: red in the low byte
  return b;
}

struct FileBacked {
  FileBacked() { GlobalMemoryThreshold = 0; }
  ~FileBacked() { GlobalMemoryThreshold = -1; }
};

}  // namespace

TEST(Rotate, MultipleOf90) {
  EXPECT_FALSE(IsMultipleOf90(90.5));
  EXPECT_TRUE(IsMultipleOf90(-180));
  EXPECT_TRUE(IsMultipleOf90(0));
  EXPECT_TRUE(IsMultipleOf90(450));
  EXPECT_FALSE(IsMultipleOf90(45));
  EXPECT_FALSE(IsMultipleOf90(std::nan("")));
}

TEST(Rotate, ExactTurnsOfEveryPixelFormat) {
  for (TRVPixelFormat f : kAllFormats) {
    SCOPED_TRACE(static_cast<int>(f));
    auto src = Patterned(f, 11, 5);
    const int32_t w = 11, h = 5;
    struct Case {
      double angle;
      bool swap;
      std::function<std::pair<int32_t, int32_t>(int32_t, int32_t)> map;
    } cases[] = {
        {90, true,
         [&](int32_t x, int32_t y) {
           return std::pair{w - 1 - y, x};
         }},  // counter-clockwise
        {-270, true,
         [&](int32_t x, int32_t y) {
           return std::pair{w - 1 - y, x};
         }},
        {450, true,
         [&](int32_t x, int32_t y) {
           return std::pair{w - 1 - y, x};
         }},
        {-90, true,
         [&](int32_t x, int32_t y) {
           return std::pair{y, h - 1 - x};
         }},  // clockwise
        {270, true,
         [&](int32_t x, int32_t y) {
           return std::pair{y, h - 1 - x};
         }},
        {180, false,
         [&](int32_t x, int32_t y) {
           return std::pair{w - 1 - x, h - 1 - y};
         }},
        {-180, false,
         [&](int32_t x, int32_t y) {
           return std::pair{w - 1 - x, h - 1 - y};
         }},
        {360, false,
         [&](int32_t x, int32_t y) {
           return std::pair{x, y};
         }},
        {-360, false,
         [&](int32_t x, int32_t y) {
           return std::pair{x, y};
         }},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(c.angle);
      TRVBitmap dest;
      RotateBitmapTo(*src, dest, 0, nullptr, {}, c.angle);
      ExpectMapped(*src, dest, c.swap ? h : w, c.swap ? w : h, c.map);
      // The nearest-pixel rotation in place gives the same.
      TRVBitmap inPlace;
      inPlace.Assign(src.get());
      RotateBitmapNearest(inPlace, 0, nullptr, {}, c.angle);
      ExpectMapped(*src, inPlace, c.swap ? h : w, c.swap ? w : h, c.map);
    }
  }
}

TEST(Rotate, QuarterTurnPutsTopRightAtTopLeft) {
  TRVBitmap b(3, 2, rv24RGB);
  rvtest::FillPattern(b);
  TRVBitmap d;
  RotateBitmapTo(b, d, 0, nullptr, {}, 90);
  ASSERT_EQ(d.GetWidth(), 2);
  ASSERT_EQ(d.GetHeight(), 3);
  EXPECT_EQ(PixelAt(d, 0, 0), PixelAt(b, 2, 0));
  // The three-shear rotation takes the same exact turns.
  for (double a : {90.0, 450.0004}) {
    TRVBitmap s;
    s.Assign(&b);
    RotateShear24(s, a, true, 0, {}, nullptr);
    ExpectMapped(b, s, 2, 3, [](int32_t x, int32_t y) { return std::pair{2 - y, x}; });
  }
  TRVBitmap cw;
  cw.Assign(&b);
  RotateShear24(cw, -90, true, 0, {}, nullptr);
  ExpectMapped(b, cw, 2, 3, [](int32_t x, int32_t y) { return std::pair{y, 1 - x}; });
  TRVBitmap three;
  three.Assign(&b);
  RotateShear24(three, 270, true, 0, {}, nullptr);
  ExpectMapped(b, three, 2, 3, [](int32_t x, int32_t y) { return std::pair{y, 1 - x}; });
  TRVBitmap full;
  full.Assign(&b);
  RotateShear24(full, 360, true, 0, {}, nullptr);
  ExpectMapped(b, full, 3, 2, [](int32_t x, int32_t y) { return std::pair{x, y}; });
}

TEST(Rotate, AnyAngleSizesCornersAndDirection) {
  auto b = rvtest::PhotoLike(40, 30);
  TRVBitmap d;
  RotateBitmapTo(*b, d, 0x00FF00, nullptr, {}, 30);
  EXPECT_EQ(d.GetWidth(), 50);   // Nearest(40 cos 30 + 30 sin 30) = Nearest(49.64)
  EXPECT_EQ(d.GetHeight(), 46);  // Nearest(40 sin 30 + 30 cos 30) = Nearest(45.98)
  for (auto [x, y] : {std::pair{0, 0}, std::pair{49, 0}, std::pair{0, 45}, std::pair{49, 45}})
    EXPECT_EQ(PackRGB(d.GetPixels_rv24RGB(x, y)), 0x00FF00u) << x << "," << y;
  // The centre pixel stays where it was.
  TRVBitmap odd(41, 31, rv24RGB);
  rvtest::FillPattern(odd);
  TRVBitmap od;
  RotateBitmapTo(odd, od, 0, nullptr, {}, 30);
  EXPECT_EQ(PixelAt(od, (od.GetWidth() - 1) / 2, (od.GetHeight() - 1) / 2), PixelAt(odd, 20, 15));
  // 90.5 degrees takes the general path: a nearly exact quarter turn in a slightly larger box.
  TRVBitmap q;
  RotateBitmapTo(*b, q, 0, nullptr, {}, 90.5);
  EXPECT_EQ(q.GetWidth(), 30);  // Nearest(30 sin 90.5 + 40 |cos 90.5|) = Nearest(30.35)
  EXPECT_EQ(q.GetHeight(), 40);

  // A positive angle turns counter-clockwise: a marker at the top moves to the upper left,
  // whichever method turns it.
  const double angle = 30;
  auto marker = Marker();
  auto [mx, my] = RedCentroid(*marker);
  const double rad = angle * M_PI / 180;
  // Counter-clockwise on screen (y down): (x, y) -> (x cos + y sin, -x sin + y cos).
  const double ex = mx * std::cos(rad) + my * std::sin(rad), ey = -mx * std::sin(rad) + my * std::cos(rad);
  std::vector<std::unique_ptr<TRVBitmap>> results;
  for (int method = 0; method < 4; ++method) {
    auto m = Marker();
    if (method == 0) RotateBitmapNearest(*m, 0x808080, nullptr, {}, angle);
    if (method == 1) RotateInterpolated24(*m, 0x808080, 1, nullptr, {}, angle);
    if (method == 2) RotateInterpolated24(*m, 0x808080, 2, nullptr, {}, angle);
    if (method == 3) RotateShear24(*m, angle, true, 0x808080, {}, nullptr);
    auto [cx, cy] = RedCentroid(*m);
    EXPECT_NEAR(cx, ex, 1.5) << method;
    EXPECT_NEAR(cy, ey, 1.5) << method;
  }
}

TEST(Rotate, OneBitBackgroundAndShearFallback) {
  TRVBitmap b(20, 10, rv1g);
  b.Fill(1);  // all white
  TRVBitmap d;
  RotateBitmapTo(b, d, 1, nullptr, {}, 30);
  EXPECT_FALSE(d.GetPixels_rv1g(0, 0));  // 1-bit corners are black whatever the background
  EXPECT_TRUE(d.GetPixels_rv1g(d.GetWidth() / 2, d.GetHeight() / 2));
  // The shear rotation hands 1-bit images to the nearest-pixel one with its background bit.
  for (uint32_t bg : {0xFFFFFFu, 0xFF00FFu}) {
    TRVBitmap w(20, 10, rv1g);
    w.Fill(0);
    RotateShear24(w, 30, true, bg, {}, nullptr);
    EXPECT_EQ(w.GetPixels_rv1g(0, 0), bg == 0xFFFFFFu);
    EXPECT_FALSE(w.GetPixels_rv1g(w.GetWidth() / 2, w.GetHeight() / 2));
  }
  // Progress of the 1-bit rotation goes through the record.
  TRVBitmap p(16, 16, rv1g);
  std::vector<int32_t> seen;
  TRVProgressRec rec;
  rec.fnc = [&](void*, int32_t per) { seen.push_back(per); };
  RotateBWNearest(p, false, rec, 20);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.front(), 0);
  EXPECT_LT(seen.back(), 100);
}

TEST(Rotate, InterpolatedSizesAndUniformColour) {
  TRVBitmap b(10, 10, rv24RGB);
  b.Fill(0x3C5A78);
  RotateInterpolated24(b, 0x000000, 1, nullptr, {}, 45);
  EXPECT_EQ(b.GetWidth(), 15);
  EXPECT_EQ(b.GetHeight(), 15);
  EXPECT_EQ(b.GetPixels_rv24RGB(7, 7), ColorToTRGB(0x3C5A78));
  EXPECT_EQ(PackRGB(b.GetPixels_rv24RGB(0, 0)), 0u);
  TRVBitmap g(10, 10, rv8g);
  g.Fill(200);
  RotateInterpolatedGray(g, 0, 2, 45);
  EXPECT_EQ(g.GetWidth(), 15);
  EXPECT_NEAR(g.GetPixels_rv8(7, 7), 200, 1);
  EXPECT_EQ(g.GetPixels_rv8(0, 0), 0);
  // Larger pictures run in bands on several threads and give what one thread gives.
  auto big = rvtest::PhotoLike(560, 400);
  TRVBitmap one;
  one.Assign(big.get());
  std::vector<int32_t> seen;
  RotateInterpolated24(*big, 0xFFFFFF, 1, nullptr, {}, -17);  // no progress handler
  RotateInterpolated24(
      one, 0xFFFFFF, 1, nullptr, [&](void*, int32_t p) { seen.push_back(p); }, -17);
  EXPECT_EQ(rvtest::Pixels(*big), rvtest::Pixels(one));
  EXPECT_FALSE(seen.empty());
}

TEST(Rotate, ShearKeepsUniformColoursAndNearestAgrees) {
  for (uint32_t colour : {0x7F7F7Fu, 0x010305u, 0xFFFFFFu}) {
    TRVBitmap b(40, 30, rv24RGB);
    b.Fill(RGBToColor(UnpackRGB(colour)));
    RotateShear24(b, 20, true, 0, {}, nullptr);
    EXPECT_EQ(PackRGB(b.GetPixels_rv24RGB(b.GetWidth() / 2, b.GetHeight() / 2)), colour);
    TRVBitmap g(40, 30, rv8g);
    g.Fill(127);
    RotateShear8(g, -33, true, 0, {}, nullptr);
    EXPECT_EQ(g.GetPixels_rv8(g.GetWidth() / 2, g.GetHeight() / 2), 127);
  }
  // Without antialiasing only the first shear moves whole pixels; the second and third blend
  // all the same, so colours of neither the image nor the background appear.
  auto p = rvtest::PhotoLike(30, 20);
  std::set<uint32_t> colours;
  for (int32_t y = 0; y < 20; ++y)
    for (int32_t x = 0; x < 30; ++x) colours.insert(PackRGB(p->GetPixels_rv24RGB(x, y)));
  colours.insert(0x123456u);
  RotateShear24(*p, 25, false, 0x123456u, {}, nullptr);
  int32_t blended = 0;
  for (int32_t y = 0; y < p->GetHeight(); ++y)
    for (int32_t x = 0; x < p->GetWidth(); ++x) blended += colours.count(PackRGB(p->GetPixels_rv24RGB(x, y))) == 0;
  EXPECT_GT(blended, p->GetWidth() * p->GetHeight() / 4);
  // The 8-bit nearest rotation keeps the palette and fills with the background byte.
  TRVBitmap pal(12, 8, rv8p);
  pal.Fill(3);
  pal.SetPalette(3, TRGB{1, 2, 3});
  RotateGrayNearest(pal, 9, 30);
  EXPECT_EQ(pal.GetPalette(3), (TRGB{1, 2, 3}));
  EXPECT_EQ(pal.GetPixels_rv8(0, 0), 9);
  EXPECT_EQ(pal.GetPixels_rv8(pal.GetWidth() / 2, pal.GetHeight() / 2), 3);
}

// Every pixel of the three-shear rotation against results computed independently from its
// rules (tests/data/shear_reference.py), with antialiasing on and off.
TEST(Rotate, ShearMatchesTheReferenceWithAndWithoutAntialiasing) {
  std::ifstream in(std::string(ZEPHOR_TEST_DATA_DIR) + "/shear_reference.txt");
  ASSERT_TRUE(in.good());
  std::string line;
  int cases = 0;
  while (std::getline(in, line)) {
    std::istringstream s(line);
    double angle;
    int antialias, w, h;
    s >> angle >> antialias >> w >> h;
    SCOPED_TRACE(line.substr(0, 16));
    TRVBitmap b(9, 6, rv24RGB);
    for (int32_t y = 0; y < 6; ++y)
      for (int32_t x = 0; x < 9; ++x)
        b.SetPixels_rv24RGB(x, y, uint32_t((x * 37 + y * 11) % 256) << 16 | uint32_t((x * 5 + y * 53) % 256) << 8 |
                                      uint32_t((x * y * 7 + 3) % 256));
    RotateShear24(b, angle, antialias != 0, 0x123456u, {}, nullptr);
    ASSERT_EQ(b.GetWidth(), w);
    ASSERT_EQ(b.GetHeight(), h);
    int32_t wrong = 0;
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        uint32_t expected = 0;
        s >> expected;
        if (PackRGB(b.GetPixels_rv24RGB(x, y)) != expected && wrong++ < 5)
          ADD_FAILURE() << "pixel " << x << "," << y << ": " << PackRGB(b.GetPixels_rv24RGB(x, y)) << " instead of "
                        << expected;
      }
    EXPECT_EQ(wrong, 0);
    ++cases;
  }
  EXPECT_EQ(cases, 10);
}

TEST(Rotate, RotateBitmapTurnsEveryFormatAndItsAlphaAlike) {
  for (TRVPixelFormat f : kAllFormats) {
    SCOPED_TRACE(static_cast<int>(f));
    auto src = Patterned(f, 9, 5);
    TRVBitmap b;
    b.Assign(src.get());
    b.AlphaBitmap()->Fill(255);
    RotateBitmap(b, false, {}, nullptr, TRGB{}, 0);  // nothing for 0
    ExpectMapped(*src, b, 9, 5, [](int32_t x, int32_t y) { return std::pair{x, y}; });
    RotateBitmap(b, false, {}, nullptr, TRGB{}, 90);
    ExpectMapped(*src, b, 5, 9, [](int32_t x, int32_t y) { return std::pair{8 - y, x}; });
    ASSERT_EQ(b.AlphaBitmap()->GetWidth(), 5);
    // Any other angle: the alpha channel keeps the image's size, opaque inside, 0 in the
    // uncovered corners.
    RotateBitmap(b, true, {}, nullptr, TRGB{0, 0, 255}, 30);
    ASSERT_EQ(b.AlphaBitmap()->GetWidth(), b.GetWidth());
    ASSERT_EQ(b.AlphaBitmap()->GetHeight(), b.GetHeight());
    EXPECT_EQ(b.AlphaBitmap()->GetPixels_rv8(0, 0), 0);
    EXPECT_EQ(b.AlphaBitmap()->GetPixels_rv8(b.GetWidth() / 2, b.GetHeight() / 2), 255);
  }
  // The background: the colour itself for colour images, its grey level for 8-bit ones.
  TRVBitmap colour(12, 8, rv24RGB), grey(12, 8, rv8g), wide(12, 8, rv48RGB);
  colour.Fill(0xFFFFFF);
  grey.Fill(255);
  wide.Fill(0xFFFFFF);
  const TRGB red{0, 0, 255};
  RotateBitmap(colour, false, {}, nullptr, red, -20);
  RotateBitmap(grey, false, {}, nullptr, red, -20);
  RotateBitmap(wide, false, {}, nullptr, red, -20);
  EXPECT_EQ(colour.GetPixels_rv24RGB(0, 0), red);
  EXPECT_EQ(grey.GetPixels_rv8(0, 0), Gray8(255, 0, 0));
  EXPECT_EQ(wide.GetPixels_rv48RGB(0, 0), (TRGB48{65535, 0, 0}));
}

TEST(Flip, EveryPixelFormatBothDirectionsWithAlpha) {
  for (TRVPixelFormat f : kAllFormats) {
    SCOPED_TRACE(static_cast<int>(f));
    for (int32_t w : {10, 16, 7}) {
      auto src = Patterned(f, w, 4);
      for (int dir : {0, 1}) {
        TRVBitmap b;
        b.Assign(src.get());
        TRVBitmap* a = b.AlphaBitmap();
        rvtest::FillPattern(*a);
        TRVBitmap alpha;
        alpha.Assign(a);
        FlipBitmap(b, dir);
        auto map = [&](int32_t x, int32_t y) {
          return dir == 0 ? std::pair{w - 1 - x, y} : std::pair{x, 3 - y};
        };
        ExpectMapped(*src, b, w, 4, map);
        ExpectMapped(alpha, *b.AlphaBitmap(), w, 4, map);
      }
    }
  }
}

TEST(Orientation, MatchesPillowsExifTranspose) {
  std::ifstream in(std::string(ZEPHOR_TEST_DATA_DIR) + "/exif_orientation.txt");
  ASSERT_TRUE(in.good());
  std::string line;
  int rows = 0;
  while (std::getline(in, line)) {
    std::istringstream s(line);
    int o, w, h;
    s >> o >> w >> h;
    std::vector<int> order(static_cast<size_t>(w * h));
    for (int& v : order) s >> v;
    ++rows;
    for (TRVPixelFormat f : {rv8g, rv1g, rv24RGB, rv16g, rv48RGB, rvCMYK}) {
      SCOPED_TRACE(std::to_string(o) + " format " + std::to_string(static_cast<int>(f)));
      auto src = Patterned(f, 5, 3);
      TRVBitmap b;
      b.Assign(src.get());
      TRVBitmap* a = b.AlphaBitmap();
      for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 5; ++x) a->SetPixels_rv8(x, y, static_cast<uint8_t>(y * 5 + x));
      ApplyEXIFOrientation(b, o);
      auto map = [&](int32_t x, int32_t y) {
        int v = order[static_cast<size_t>(y * w + x)];
        return std::pair{v % 5, v / 5};
      };
      ExpectMapped(*src, b, w, h, map);
      for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
          ASSERT_EQ(b.AlphaBitmap()->GetPixels_rv8(x, y), order[static_cast<size_t>(y * w + x)]);
    }
  }
  EXPECT_EQ(rows, 8);
  // Values outside 1..8 leave the picture alone; 6 swaps the sides.
  auto src = Patterned(rv24RGB, 40, 30);
  for (int o : {0, 1, 9, -3}) {
    TRVBitmap b;
    b.Assign(src.get());
    ApplyEXIFOrientation(b, o);
    EXPECT_EQ(rvtest::Pixels(b), rvtest::Pixels(*src));
  }
  TRVBitmap six;
  six.Assign(src.get());
  ApplyEXIFOrientation(six, 6);
  EXPECT_EQ(six.GetWidth(), 30);
  EXPECT_EQ(six.GetHeight(), 40);
}

TEST(Rotate, FileBackedImagesGiveTheSameResults) {
  auto photo = rvtest::PhotoLike(37, 23);
  std::vector<std::vector<uint8_t>> expected;
  auto run = [&](TRVBitmap& b, int step) {
    switch (step) {
      case 0:
        RotateBitmapNearest(b, 0xFF, nullptr, {}, 33);
        break;
      case 1:
        RotateInterpolated24(b, 0xFF, 2, nullptr, {}, 33);
        break;
      case 2:
        RotateShear24(b, 123, true, 0xFF, {}, nullptr);
        break;
      case 3:
        FlipBitmap(b, 1);
        break;
      case 4:
        FlipBitmap(b, 0);
        break;
      case 5:
        ApplyEXIFOrientation(b, 7);
        break;
    }
  };
  for (int step = 0; step < 6; ++step) {
    TRVBitmap b;
    b.Assign(photo.get());
    run(b, step);
    expected.push_back(rvtest::Pixels(b));
  }
  FileBacked fb;
  for (int step = 0; step < 6; ++step) {
    TRVBitmap b;
    b.Assign(photo.get());
    ASSERT_EQ(b.GetLocation(), rvInTempFile);
    run(b, step);
    EXPECT_EQ(rvtest::Pixels(b), expected[static_cast<size_t>(step)]) << step;
  }
}
