// The palette dialog, headless: its grid arithmetic, highlight, pick and layout.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <vector>

#include "platform/ui/tests/UiTestApp.h"
#include "rastova/core/RVUtils.h"
#include "rastova/view/RastovaPaletteDialog.h"

using namespace rv;

namespace {

std::vector<TRGB> ColourRamp(int count) {
  std::vector<TRGB> p(count);
  for (int i = 0; i < count; ++i) p[i] = TRGB{uint8_t(i), uint8_t(255 - i % 256), uint8_t(i * 7)};
  return p;
}

void ShowDialog(TRastovaPaletteDialog& d) {
  d.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
}

}  // namespace

TEST(PaletteDialog, FormAndGrid) {
  platform::test::App();
  const std::vector<TRGB> palette = ColourRamp(300);
  TRastovaPaletteDialog d;
  d.SetPalette(palette.data(), 300);
  EXPECT_EQ(d.windowTitle(), QStringLiteral("Palette"));
  EXPECT_EQ(d.size(), QSize(520, 199));
  EXPECT_EQ(d.CancelButton()->text(), QStringLiteral("&Cancel"));
  EXPECT_EQ(d.CancelButton()->pos(), QPoint(4, 136));
  EXPECT_EQ(d.HighlightedIndex(), -1);

  // 300 colours take 10 rows, the last with 12 swatches; columns end at 31.
  struct Probe {
    int x, y, index;
  } probes[] = {{1, 1, 0},     {16, 16, 0},     {17, 1, 1},     {17, 17, 33}, {512, 1, 31},
                {513, 1, -1},  {519, 20, -1},   {0, 5, -1},     {5, 0, -1},   {-20, 5, -1},
                {5, 145, 288}, {192, 145, 299}, {193, 145, -1}, {5, 161, -1}};
  for (const Probe& p : probes) EXPECT_EQ(d.SwatchAt(p.x, p.y), p.index) << p.x << "," << p.y;

  // Swatch 299 at column 11 of row 9: (177, 145) to (192, 160), framed white.
  const platform::TBitmap& s = d.Surface();
  EXPECT_EQ(s.PixelColor(177, 145), platform::clWhite);
  EXPECT_EQ(s.PixelColor(180, 150), RGBToColor(palette[299]));
  EXPECT_EQ(s.PixelColor(200, 150), platform::ColorToRGB(platform::clBtnFace));  // no swatch 300
}

TEST(PaletteDialog, HighlightFollowsTheMouseAndAClickPicks) {
  platform::test::App();
  const std::vector<TRGB> palette = ColourRamp(300);
  TRastovaPaletteDialog d;
  d.SetPalette(palette.data(), 300);
  ShowDialog(d);
  // A click before any swatch was highlighted reads no entry: the form stays open.
  QTest::mouseClick(&d, Qt::LeftButton, {}, QPoint(300, 180));
  EXPECT_TRUE(d.isVisible());
  EXPECT_EQ(d.result(), QDialog::Rejected);

  QTest::mouseMove(&d, QPoint(17, 17));
  EXPECT_EQ(d.HighlightedIndex(), 33);
  EXPECT_EQ(d.Surface().PixelColor(17, 17), platform::clBlack);  // swatch 33's frame
  EXPECT_EQ(d.Surface().PixelColor(1, 1), platform::clWhite);    // the others stay white
  // Right of the grid, and off the swatches below the palette: the highlight stays.
  QTest::mouseMove(&d, QPoint(515, 17));
  QTest::mouseMove(&d, QPoint(300, 180));
  EXPECT_EQ(d.HighlightedIndex(), 33);
  QTest::mouseClick(&d, Qt::LeftButton, {}, QPoint(300, 180));
  EXPECT_FALSE(d.isVisible());
  EXPECT_EQ(d.result(), QDialog::Accepted);
  EXPECT_EQ(d.PickedColor(), RGBToColor(palette[33]));
}

TEST(PaletteDialog, ExecuteAnswersWhetherAColourWasPicked) {
  platform::test::App();
  const std::vector<TRGB> palette = ColourRamp(16);
  TRastovaPaletteDialog d;
  d.SetPalette(palette.data(), 16);
  QTimer::singleShot(0, &d, [&] {
    QTest::mouseMove(&d, QPoint(40, 5));
    QTest::mouseClick(&d, Qt::LeftButton, {}, QPoint(40, 5));
  });
  EXPECT_TRUE(d.Execute());
  EXPECT_EQ(d.PickedColor(), RGBToColor(palette[2]));
  QTimer::singleShot(0, &d, [&] { d.CancelButton()->click(); });
  EXPECT_FALSE(d.Execute());
}
