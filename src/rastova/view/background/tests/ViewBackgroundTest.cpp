// The view's background styles against reference pictures drawn from their rules
// (tests/data/background/make_references.py), the hatches, shadows and wallpapers by their
// properties.
#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <cstdlib>
#include <string>

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Canvas.h"
#include "platform/ui/tests/UiTestApp.h"
#include "rastova/view/background/RVViewBackground.h"
#include "rastova/view/tests/ViewTestTools.h"

using namespace rv;
using platform::TBitmap;
using platform::TColor;

namespace {

constexpr TColor kColor = 0x00C08040;  // RGB(64, 128, 192)
constexpr TColor kComplement = 0x003F7FBF;
constexpr TColor kUntouched = 0x00123456;

// Paints the 64 x 64 area with the image rectangle (16, 16)-(48, 40) over kUntouched.
void Paint(TBitmap& b, TRVBackgroundStyle style, bool designing = false, bool withBitmap = true,
           const TBitmap* wallPaper = nullptr, TRVWallPaperStyle wallPaperStyle = rvwoNormal) {
  test::FillBitmap(b, kUntouched);
  PaintViewBackground(designing, b.Canvas(), withBitmap ? &b : nullptr, wallPaperStyle, wallPaper,
                      platform::clBlue, platform::bsSolid, 8, 16, 16, 48, 40, 0, 0, b.Width(), b.Height(),
                      kColor, style);
}

// Every pixel within maxDiff per channel of the reference, and no more than maxShare of them
// different at all.
void ExpectLike(const TBitmap& b, const char* reference, int maxDiff = 0, double maxShare = 0) {
  const QImage ref = QImage(QStringLiteral(ZEPHOR_TEST_DATA_DIR "/background/%1.png").arg(reference))
                         .convertToFormat(QImage::Format_RGB32);
  ASSERT_FALSE(ref.isNull()) << reference;
  ASSERT_EQ(ref.size(), QSize(b.Width(), b.Height()));
  int differing = 0, worst = 0;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) {
      const TColor p = b.PixelColor(x, y);
      const QRgb r = ref.pixel(x, y);
      const int d = std::max({std::abs(int(p & 0xFF) - qRed(r)), std::abs(int((p >> 8) & 0xFF) - qGreen(r)),
                              std::abs(int((p >> 16) & 0xFF) - qBlue(r))});
      if (d == 0) continue;
      ++differing;
      if (d > worst) worst = d;
      EXPECT_LE(d, maxDiff) << reference << " at " << x << "," << y;
      if (d > maxDiff) return;
    }
  EXPECT_LE(differing, maxShare * b.Width() * b.Height()) << reference << " worst " << worst;
}

}  // namespace

TEST(ViewBackground, StylesAgainstReferencePictures) {
  platform::test::App();
  struct Case {
    TRVBackgroundStyle style;
    platform::TPixelFormat format;
    const char* reference;
    int maxDiff;
  } cases[] = {
      {rvbsSolid, platform::pf24bit, "solid", 0},
      {rvbsChessboard, platform::pf24bit, "chessboard_direct", 0},  // written into the pixels
      {rvbsChessboard, platform::pf32bit, "chessboard_canvas", 0},  // through the canvas
      {rvbsDiagonals, platform::pf24bit, "diagonals", 0},
      {rvbsCropped, platform::pf24bit, "cropped", 0},
      {rvbsPhotoLike, platform::pf32bit, "photolike", 0},
      {rvbsGradient, platform::pf24bit, "gradient", 2},
      {rvbsGradient, platform::pf32bit, "gradient", 2},
  };
  for (const Case& c : cases) {
    TBitmap b(64, 64, c.format);
    Paint(b, c.style);
    ExpectLike(b, c.reference, c.maxDiff, c.maxDiff ? 1.0 : 0.0);
  }
}

TEST(ViewBackground, HatchesDrawLinesOverTheGapColour) {
  platform::test::App();
  // Each hatch draws lines in the colour over a fill of the gap colour, so nothing of what was
  // there before shows; its pattern repeats every 8 pixels and runs as its name says.
  const TRVBackgroundStyle styles[] = {rvbsHorizontal, rvbsVertical, rvbsFDiagonal,
                                       rvbsBDiagonal,  rvbsCross,    rvbsDiagCross};
  for (TRVBackgroundStyle s : styles) {
    TBitmap b(32, 32, platform::pf24bit);
    Paint(b, s);
    int ink = 0;
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) {
        const TColor p = b.PixelColor(x, y);
        ASSERT_TRUE(p == kColor || p == platform::clWhite) << s;
        ink += p == kColor;
        if (x + 8 < 32) {
          EXPECT_EQ(p, b.PixelColor(x + 8, y)) << s;
        }
        if (y + 8 < 32) {
          EXPECT_EQ(p, b.PixelColor(x, y + 8)) << s;
        }
        if (s == rvbsHorizontal && x > 0) {
          EXPECT_EQ(p, b.PixelColor(x - 1, y));
        }
        if (s == rvbsVertical && y > 0) {
          EXPECT_EQ(p, b.PixelColor(x, y - 1));
        }
      }
    EXPECT_GT(ink, 32 * 32 / 16) << s;
    EXPECT_LT(ink, 32 * 32 / 2) << s;
    if (s == rvbsFDiagonal) {
      // Forward diagonals run from the top left to the bottom right, backward ones the other way.
      for (int k = 0; k < 8; ++k) EXPECT_EQ(b.PixelColor(k, 0), b.PixelColor(k + 1, 1));
    }
    if (s == rvbsBDiagonal) {
      for (int k = 1; k < 8; ++k) EXPECT_EQ(b.PixelColor(k, 1), b.PixelColor(k - 1, 2));
    }
  }
}

TEST(ViewBackground, ShadowsAndDesigning) {
  platform::test::App();
  TBitmap b(64, 64, platform::pf24bit);
  // Drop shadow: right of and below the image, darker than the background; the image itself
  // and the area left of it untouched.
  Paint(b, rvbsCropShadow);
  auto darker = [&](int x, int y) {
    const TColor p = b.PixelColor(x, y);
    return (p & 0xFF) < 64 && ((p >> 16) & 0xFF) < 192;
  };
  EXPECT_TRUE(darker(49, 30));
  EXPECT_TRUE(darker(30, 41));
  EXPECT_EQ(b.PixelColor(30, 30), kColor);
  EXPECT_EQ(b.PixelColor(10, 30), kColor);
  // Soft shadow all round, only with a bitmap; without one (the whole-control path) nothing.
  Paint(b, rvbsSoftShadow);
  EXPECT_TRUE(darker(14, 28));
  EXPECT_TRUE(darker(32, 42));
  EXPECT_EQ(b.PixelColor(2, 2), kColor);
  Paint(b, rvbsSoftShadow, false, false);
  EXPECT_EQ(b.PixelColor(2, 2), kUntouched);
  EXPECT_EQ(b.PixelColor(32, 42), kUntouched);
  // While designing the crop and shadow styles are plain fills.
  for (TRVBackgroundStyle s : {rvbsCropped, rvbsCropShadow, rvbsSoftShadow}) {
    Paint(b, s, true);
    ExpectLike(b, "solid");
  }
  // An image of 0 x 0 in the photo frame: grey with a 2 x 2 frame at its place.
  test::FillBitmap(b, kUntouched);
  PaintViewBackground(false, b.Canvas(), &b, rvwoNormal, nullptr, platform::clBlue, platform::bsSolid, 8, 20,
                      20, 20, 20, 0, 0, 64, 64, kColor, rvbsPhotoLike);
  for (int y = 18; y <= 22; ++y)
    for (int x = 18; x <= 22; ++x)
      EXPECT_EQ(b.PixelColor(x, y),
                (x == 19 || x == 20) && (y == 19 || y == 20) ? platform::clBlack : 0xB0B0B0)
          << x << "," << y;
}

TEST(ViewBackground, DirectChessboardStaysOnTheBitmap) {
  platform::test::App();
  // A rectangle reaching past every side of the bitmap: the squares keep their places and
  // nothing outside the bitmap is written.
  TBitmap b(20, 12, platform::pf24bit);
  test::FillBitmap(b, kUntouched);
  PaintChessboard(b.Canvas(), &b, -5, -3, 40, 30, 4, platform::bsSolid, kColor);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 20; ++x) {
      const bool first = ((x + 5) / 4 + (y + 3) / 4) % 2 == 0;
      ASSERT_EQ(b.PixelColor(x, y), first ? kColor : kComplement) << x << "," << y;
    }
  // A size of 0 or less is taken as 1.
  PaintChessboard(b.Canvas(), &b, 0, 0, 4, 1, 0, platform::bsSolid, kColor);
  EXPECT_EQ(b.PixelColor(0, 0), kColor);
  EXPECT_EQ(b.PixelColor(1, 0), kComplement);
}

TEST(ViewBackground, WallPaperModes) {
  platform::test::App();
  // A 40 x 30 wallpaper with a distinct corner pixel, tiled over 100 x 50.
  TBitmap paper(40, 30, platform::pf24bit);
  test::FillBitmap(paper, platform::clWhite);
  paper.SetPixelColor(0, 0, platform::clRed);
  paper.SetPixelColor(39, 29, platform::clLime);
  TBitmap b(100, 50, platform::pf24bit);
  test::FillBitmap(b, kUntouched);
  PaintViewBackground(false, b.Canvas(), &b, rvwoTile, &paper, platform::clBlue, platform::bsSolid, 8, 0, 0,
                      0, 0, 0, 0, 100, 50, kColor, rvbsSolid);
  int corners = 0;
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 100; ++x)
      if (b.PixelColor(x, y) == platform::clRed) {
        EXPECT_TRUE((x == 0 || x == 40 || x == 80) && (y == 0 || y == 30)) << x << "," << y;
        ++corners;
      }
  EXPECT_EQ(corners, 6);
  EXPECT_EQ(b.PixelColor(79, 29), platform::clLime);

  // Normal: once at (0, 0), the rest is the style; stretched: over the whole area.
  Paint(b, rvbsSolid, false, true, &paper, rvwoNormal);
  EXPECT_EQ(b.PixelColor(0, 0), platform::clRed);
  EXPECT_EQ(b.PixelColor(50, 40), kColor);
  Paint(b, rvbsSolid, false, true, &paper, rvwoStretch);
  EXPECT_EQ(b.PixelColor(0, 0), platform::clRed);
  EXPECT_EQ(b.PixelColor(99, 49), platform::clLime);

  // An empty wallpaper is not drawn (and never tiled).
  TBitmap empty;
  Paint(b, rvbsSolid, false, true, &empty, rvwoTile);
  EXPECT_EQ(b.PixelColor(0, 0), kColor);
}

TEST(ViewBackground, ExtremeRectanglesEndWithoutHarm) {
  platform::test::App();
  // Rectangles at the ends of the 32-bit range, for every style: the painting ends quickly and
  // writes nothing beside the bitmap (the sanitizer build would see it).
  struct Box {
    int32_t l, t, r, b;
  } images[] = {
      {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, {INT32_MAX - 1, 3, INT32_MAX, 9}, {5, 5, 20, 20}};
  for (int style = rvbsSolid; style <= rvbsPhotoLike; ++style)
    for (const Box& i : images)
      for (platform::TPixelFormat format : {platform::pf24bit, platform::pf32bit}) {
        TBitmap b(24, 16, format);
        test::FillBitmap(b, kUntouched);
        PaintViewBackground(false, b.Canvas(), &b, rvwoTile, nullptr, platform::clBlue, platform::bsSolid,
                            INT32_MAX, i.l, i.t, i.r, i.b, INT32_MIN + 10, -5, INT32_MAX, INT32_MAX, kColor,
                            static_cast<TRVBackgroundStyle>(style));
      }
  SUCCEED();
}
