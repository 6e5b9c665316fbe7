// The text hint box: where it lands, what it keeps of the background and how it is drawn.
#include <gtest/gtest.h>

#include <QGuiApplication>

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Canvas.h"
#include "rastova/core/draw/RVTextHint.h"

using namespace rv;
using platform::TBitmap;

namespace {

QGuiApplication& HintApp() {
  static int argc = 1;
  static char name[] = "test_rastova_core_text";
  static char* argv[] = {name, nullptr};
  // Never destroyed: destroying it among Qt's own exit-time destructors is not safe.
  static QGuiApplication* app = new QGuiApplication(argc, argv);
  return *app;
}

// A 24-bit canvas of a pattern that no drawing produces by chance.
void FillPattern(TBitmap& b) {
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      b.SetPixelColor(x, y, platform::RGB(uint8_t(x * 3), uint8_t(y * 5), 77));
}

}  // namespace

TEST(TextHint, BoxStaysOnTheCanvasAndKeepsTheBackground) {
  HintApp();
  platform::TFont font;
  font.Name = "Arial";
  font.SetSize(9);
  font.Color = platform::clBlack;
  const platform::TBrush brush{platform::RGB(255, 255, 96), platform::bsSolid};
  const platform::TColor light = platform::RGB(250, 250, 250), dark = platform::RGB(90, 90, 90);
  const std::string text = "120 x 45";

  TBitmap probe(10, 10, platform::pf24bit);
  probe.Canvas().Font = font;
  const int w = probe.Canvas().TextWidth(text) + 12, h = probe.Canvas().TextHeight(text) + 12;
  ASSERT_GT(w, 12);

  struct Case {
    int x, y, expectedX, expectedY;
  } cases[] = {
      {50, 30, 50, 30}, {-5, -20, 0, 0}, {500, 500, 300 - w - 1, 120 - h - 1}, {500, -1, 300 - w - 1, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
    TBitmap canvas(300, 120, platform::pf24bit), original(300, 120, platform::pf24bit), saved;
    FillPattern(canvas);
    FillPattern(original);
    int x = c.x, y = c.y;
    DrawTextHint(canvas.Canvas(), x, y, text, font, brush, saved, 300, 120, light, dark);
    EXPECT_EQ(x, c.expectedX);
    EXPECT_EQ(y, c.expectedY);
    // Saved holds the background of the whole box, 24-bit.
    ASSERT_EQ(saved.PixelFormat(), platform::pf24bit);
    ASSERT_EQ(saved.Width(), w);
    ASSERT_EQ(saved.Height(), h);
    for (int sy = 0; sy < h; ++sy)
      for (int sx = 0; sx < w; ++sx) ASSERT_EQ(saved.PixelColor(sx, sy), original.PixelColor(x + sx, y + sy));
    // The box starts 6 pixels in; its frame is light on the left and top, dark at the bottom and right.
    EXPECT_EQ(canvas.PixelColor(x + 5, y + 5), original.PixelColor(x + 5, y + 5));
    EXPECT_EQ(canvas.PixelColor(x + 6, y + 8), light);
    EXPECT_EQ(canvas.PixelColor(x + 8, y + 6), light);
    EXPECT_EQ(canvas.PixelColor(x + 8, y + h - 1), dark);
    EXPECT_EQ(canvas.PixelColor(x + w - 1, y + 8), dark);
    EXPECT_EQ(canvas.PixelColor(x + 7, y + 7), brush.Color);
    EXPECT_EQ(canvas.PixelColor(x + w, y + 8), original.PixelColor(x + w, y + 8));
    // The text is written inside, from (x + 9, y + 9).
    int inked = 0;
    for (int ty = y + 9; ty < y + h - 1; ++ty)
      for (int tx = x + 9; tx < x + w - 1; ++tx) inked += canvas.PixelColor(tx, ty) != brush.Color;
    EXPECT_GT(inked, 10);
  }
}
