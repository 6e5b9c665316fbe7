// The view library's start-up, its module state and cursors, the gradient, and the overlays
// drawn through the anti-aliased canvas.
#include <gtest/gtest.h>

#include <QPixmap>
#include <algorithm>
#include <string>
#include <vector>

#include "platform/gfx/Bitmap.h"
#include "platform/ui/Cursors.h"
#include "platform/ui/tests/UiTestApp.h"
#include "rastova/core/RVStartup.h"
#include "rastova/view/RastovaViewStartup.h"
#include "rastova/view/canvas/RVCanvas.h"
#include "rastova/view/canvas/RVCanvasDrawing.h"
#include "rastova/view/tests/ViewTestTools.h"

using namespace rv;
using platform::TBitmap;
using platform::TColor;

namespace {

int Red(TColor c) { return c & 0xFF; }
int Blue(TColor c) { return (c >> 16) & 0xFF; }

}  // namespace

TEST(ViewStartup, StepsModuleStateAndCursors) {
  platform::test::App();
  RegisterRastovaViewStartup();
  const std::vector<std::string> steps = RastovaStartupStepNames();
  auto at = [&](const char* name) { return std::find(steps.begin(), steps.end(), name) - steps.begin(); };
  ASSERT_LT(at("RastovaView"), static_cast<long>(steps.size()));
  EXPECT_EQ(at("RVGdiPlus"), 0);  // the anti-aliased canvas's binding comes first
  EXPECT_LT(at("RastovaIO"), at("RastovaView"));

  GdiPlusEnabled = false;
  ScreenDpiX = 0;
  RastovaLibraryStartup();
  EXPECT_TRUE(GdiPlusEnabled);
  EXPECT_EQ(GdiPlusUserCount(), 0);
  EXPECT_TRUE(ScreenBitsPerPixel == 24 || ScreenBitsPerPixel == 32);
  EXPECT_GT(ScreenDpiX, 0);
  EXPECT_GT(ScreenDpiY, 0);
  EXPECT_FALSE(RemoteSession);
  EXPECT_EQ(EdgeWidth, 2);
  EXPECT_EQ(BorderHeight, 1);
  EXPECT_EQ(PixelGridMinZoom, 400);
  EXPECT_EQ(NotPen.Mode, platform::pmNot);
  EXPECT_TRUE(LoadGradientFill());

  // Every view installs the 37 cursors (a later view again, under the same ids).
  for (int pass = 0; pass < 2; ++pass) {
    LoadCursorTable();
    for (int32_t id = kFirstViewCursor; id <= kLastViewCursor; ++id) {
      ASSERT_TRUE(platform::Cursors().Has(id)) << id;
      EXPECT_EQ(platform::Cursors().Get(id).pixmap().size(), QSize(32, 32)) << id;
    }
  }
  EXPECT_STREQ(ViewCursorName(1778), "ZOOMMENO");
  EXPECT_STREQ(ViewCursorName(1796), "CROCE2-");
  EXPECT_STREQ(ViewCursorName(1814), "ROT4");
  EXPECT_STREQ(ViewCursorName(1815), "");
  EXPECT_EQ(platform::Cursors().Get(1783).hotSpot(), QPoint(3, 28));  // the pen's tip
  EXPECT_EQ(platform::Cursors().Get(1785).hotSpot(), QPoint(15, 15));
  // Names whose meaning is not given show the plain cross.
  EXPECT_EQ(platform::Cursors().Get(1800).pixmap().toImage(),
            platform::Cursors().Get(1780).pixmap().toImage());
  EXPECT_NE(platform::Cursors().Get(1778).pixmap().toImage(),
            platform::Cursors().Get(1779).pixmap().toImage());
  RastovaLibraryShutdown();
  for (int32_t id = kFirstViewCursor; id <= kLastViewCursor; ++id) platform::Cursors().Remove(id);
}

TEST(ViewStartup, GradientRectOnEveryBitmap) {
  platform::test::App();
  for (platform::TPixelFormat format : {platform::pf24bit, platform::pf32bit, platform::pf8bit}) {
    TBitmap b(30, 20, format);
    test::FillBitmap(b, platform::clWhite);
    // Left to right, black to white, inside (5, 2)-(25, 18).
    EXPECT_TRUE(
        GradientRect(platform::TRect{5, 2, 25, 18}, b.Canvas(), platform::clBlack, false, platform::clWhite));
    EXPECT_EQ(b.PixelColor(5, 10), platform::clBlack) << format;
    EXPECT_EQ(b.PixelColor(24, 10), platform::clWhite) << format;
    EXPECT_NEAR(Red(b.PixelColor(15, 10)), 134, 3) << format;
    EXPECT_EQ(b.PixelColor(15, 1), platform::clWhite) << format;
    EXPECT_EQ(b.PixelColor(4, 10), platform::clWhite) << format;
    // Top to bottom.
    EXPECT_TRUE(
        GradientRect(platform::TRect{0, 0, 30, 20}, b.Canvas(), platform::clRed, true, platform::clBlue));
    if (format != platform::pf8bit) {
      EXPECT_EQ(b.PixelColor(7, 0), platform::clRed);
      EXPECT_EQ(b.PixelColor(7, 19), platform::clBlue);
      EXPECT_NEAR(Blue(b.PixelColor(7, 10)), 134, 3);
    }
    EXPECT_FALSE(
        GradientRect(platform::TRect{5, 5, 5, 9}, b.Canvas(), platform::clRed, true, platform::clBlue));
  }
}

TEST(CanvasOverlays, TranslucentHintAndOutsideShading) {
  platform::test::App();
  InitGdiPlusBinding();
  for (bool smoothing : {true, false}) {
    SetGdiPlusMissingForTesting(!smoothing);
    LoadGdiPlus();
    TBitmap b(200, 60, platform::pf24bit);
    test::FillBitmap(b, platform::clGray);
    int32_t x = -20, y = -3;
    DrawTranslucentTextHint(b.Canvas(), x, y, "Hint", "A much wider second line");
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    const int w = b.Canvas().TextWidth("A much wider second line") + 12;
    const int h = b.Canvas().TextHeight("Hint") + 12;
    EXPECT_EQ(b.PixelColor(6, h / 2), platform::clWhite) << smoothing;  // lit left edge
    EXPECT_EQ(b.PixelColor(w - 1, h / 2), platform::clGray) << smoothing;
    EXPECT_EQ(b.PixelColor(w / 2, 6), platform::clWhite) << smoothing;
    EXPECT_EQ(b.PixelColor(w + 1, h / 2), platform::clGray) << smoothing;
    EXPECT_EQ(b.PixelColor(5, h / 2), platform::clGray) << smoothing;
    // Inside, far right of the short text: light yellow, half transparent over the grey (plain:
    // opaque).
    const TColor inside = b.PixelColor(w - 8, h - 4);
    EXPECT_NEAR(Red(inside), smoothing ? 191 : 255, 1) << smoothing;
    EXPECT_NEAR(Blue(inside), smoothing ? 112 : 0x60, 1) << smoothing;
    int ink = 0;
    for (int yy = 6; yy < h; ++yy)
      for (int xx = 9; xx < w / 2; ++xx) ink += b.PixelColor(xx, yy) == platform::clBlack;
    EXPECT_GT(ink, 5) << smoothing;

    // Shading around (20, 10)-(40, 30) in the area 0, 0, 60 x 40.
    test::FillBitmap(b, platform::clWhite);
    ShadeOutsideRect(b.Canvas(), 0, 0, 60, 40, 20, 10, 40, 30);
    const TColor shade = smoothing ? 0x696969 : platform::clBlack;
    EXPECT_EQ(b.PixelColor(5, 20), shade) << smoothing;
    EXPECT_EQ(b.PixelColor(50, 20), shade) << smoothing;
    EXPECT_EQ(b.PixelColor(30, 5), shade) << smoothing;
    EXPECT_EQ(b.PixelColor(30, 35), shade) << smoothing;
    EXPECT_EQ(b.PixelColor(30, 20), platform::clWhite) << smoothing;
    EXPECT_EQ(b.PixelColor(100, 20), platform::clWhite) << smoothing;
    // Each strip is filled once: no doubled shade where they meet.
    if (smoothing) {
      EXPECT_EQ(b.PixelColor(5, 5), shade);
    }
    test::FillBitmap(b, platform::clWhite);
    ShadeOutsideRect(b.Canvas(), 0, 0, 60, 40, 40, 10, 40, 30);  // an empty inner rectangle
    EXPECT_EQ(b.PixelColor(5, 20), platform::clWhite);
    UnloadGdiPlus();
  }
  SetGdiPlusMissingForTesting(false);
}
