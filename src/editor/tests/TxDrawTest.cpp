// The texture painter on a headless pane: the pane-to-texture mapping, pen strokes, straight
// lines with their XOR preview, the eraser (at the texture's edges too), the view's clamps and
// scroll arithmetic, and a painted texture read back by Pillow.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "PaneTestUtil.h"
#include "editor/panes/TxDraw.h"
#include "shape/PictureFiles.h"
#include "shape/TextureBitmaps.h"
#include "shape/tests/PictureTestUtil.h"

using editor::TTxDraw;
using editor_test::NewShape;
using editor_test::Pane;
using editor_test::SettingsGuard;
using platform::TBitmap;
using shape::TCS;

namespace {

// The loaded pair: colour (x, 2y, 100) and alpha 100 + x mod 50; the base pair a copy of it.
// A 17 x 17 grid gives a 256 x 256 texture, shown at (72, 72) in a 400 x 400 pane.
class TexturePainter : public ::testing::Test {
 protected:
  void SetUp() override {
    settings::AppSettings.PenWidth = 3;
    settings::AppSettings.EraseWidth = 10;
    settings::AppSettings.PenColor = platform::clRed;
    shape::CreateTextureBitmaps();
    cs = NewShape(shape::SCTYPE_SPHERE, 17, 17);
    shape::SetGridSize(*cs);
    shape::TTextureBitmaps& t = shape::TextureBitmaps();
    for (int y = 0; y < t.LoadedColor.Height(); ++y)
      for (int x = 0; x < t.LoadedColor.Width(); ++x) {
        t.LoadedColor.SetPixelColor(x, y, Loaded(x, y));
        t.LoadedAlpha.ScanLine(y)[x] = LoadedAlpha(x);
      }
    RestoreBase();
    pane = std::make_unique<Pane>(painter, *cs);
    pane->Paint();
  }
  void TearDown() override { shape::FreeTextureBitmaps(); }

  static platform::TColor Loaded(int x, int y) {
    return platform::RGB(static_cast<uint8_t>(x), static_cast<uint8_t>(2 * y), 100);
  }
  static uint8_t LoadedAlpha(int x) { return static_cast<uint8_t>(100 + x % 50); }
  static void RestoreBase() {
    shape::TTextureBitmaps& t = shape::TextureBitmaps();
    t.BaseColor.Assign(t.LoadedColor);
    t.BaseAlpha.Assign(t.LoadedAlpha);
  }
  static TBitmap& BaseColor() { return shape::TextureBitmaps().BaseColor; }
  static TBitmap& BaseAlpha() { return shape::TextureBitmaps().BaseAlpha; }
  // Pixels where the base pair differs from the loaded pair.
  static int ChangedPixels() {
    shape::TTextureBitmaps& t = shape::TextureBitmaps();
    int n = 0;
    for (int y = 0; y < t.BaseColor.Height(); ++y)
      for (int x = 0; x < t.BaseColor.Width(); ++x)
        n += t.BaseColor.PixelColor(x, y) != Loaded(x, y) || t.BaseAlpha.ScanLine(y)[x] != LoadedAlpha(x);
    return n;
  }
  static QPoint PaneOf(int tx, int ty) { return {72 + tx, 72 + ty}; }

  SettingsGuard guard;
  TTxDraw painter;
  std::unique_ptr<TCS> cs;
  std::unique_ptr<Pane> pane;
};

}  // namespace

TEST_F(TexturePainter, AtTheDefaultZoomAPanePixelShowsTheTexturePixelUnderIt) {
  EXPECT_EQ(painter.ViewScale, 1.0);
  EXPECT_EQ(painter.HalfViewWidth, 128);
  for (auto [tx, ty] : {std::pair{0, 0}, std::pair{10, 20}, std::pair{255, 255}, std::pair{128, 3}}) {
    const platform::TPoint t = painter.PaneToTexture(72 + tx, 72 + ty);
    EXPECT_EQ(t.X, tx);
    EXPECT_EQ(t.Y, ty);
    EXPECT_EQ(pane->Pixel(72 + tx, 72 + ty), Loaded(tx, ty)) << tx << "," << ty;
  }
  EXPECT_EQ(pane->Pixel(71, 200), platform::clGray);
  EXPECT_EQ(pane->Pixel(328, 200), platform::clGray);
  // Zoomed to 1.5: halves round to even in the mapping.
  painter.Scale = 384;
  pane->Paint();
  EXPECT_EQ(painter.HalfViewWidth, 192);
  EXPECT_EQ(painter.PaneToTexture(200 - 192 + 3, 8).X, 2) << "3 / 1.5";
  EXPECT_EQ(painter.PaneToTexture(200 - 192 + 9, 8).X, 6);
  // Far outside the texture the mapping points outside it too.
  EXPECT_LT(painter.PaneToTexture(-500, 0).X, 0);
}

TEST_F(TexturePainter, AStrokeChangesTheBasePairOnly) {
  pane->Drag({PaneOf(50, 50), PaneOf(50, 50)});
  EXPECT_EQ(ChangedPixels(), 0) << "a click without a move paints nothing";
  pane->Drag({PaneOf(50, 50), PaneOf(80, 50), PaneOf(80, 90)});
  EXPECT_TRUE(pane->moveChanged);
  EXPECT_TRUE(painter.Changed);
  EXPECT_TRUE(pane->upResult);
  EXPECT_EQ(BaseColor().PixelColor(65, 50), platform::clRed);
  EXPECT_EQ(BaseAlpha().ScanLine(50)[65], 255);
  EXPECT_EQ(BaseColor().PixelColor(80, 70), platform::clRed);
  EXPECT_EQ(BaseAlpha().ScanLine(70)[80], 255);
  EXPECT_EQ(BaseColor().PixelColor(65, 60), Loaded(65, 60));
  const int changed = ChangedPixels();
  EXPECT_GT(changed, 60 * 3 - 10);
  EXPECT_LT(changed, 80 * 3);
  // The loaded pair is untouched.
  EXPECT_EQ(shape::TextureBitmaps().LoadedColor.PixelColor(65, 50), Loaded(65, 50));
  EXPECT_EQ(shape::TextureBitmaps().LoadedAlpha.ScanLine(50)[65], LoadedAlpha(65));
}

TEST_F(TexturePainter, TheEraserRestoresASquareAtThePressAlsoAtTheEdges) {
  for (auto [tx, ty] : {std::pair{100, 120}, std::pair{0, 0}, std::pair{255, 3}, std::pair{250, 255}}) {
    BaseColor().Canvas().Brush.Color = platform::clBlue;
    BaseColor().Canvas().FillRect({0, 0, 256, 256});
    for (int y = 0; y < 256; ++y) std::memset(BaseAlpha().ScanLine(y), 7, 256);
    painter.DrawMode = editor::TXDRAW_ERASER;
    pane->Press(PaneOf(tx, ty));
    pane->Release(PaneOf(tx, ty));
    int restored = 0;
    for (int y = 0; y < 256; ++y)
      for (int x = 0; x < 256; ++x) {
        const bool inside = x >= tx - 10 && x < tx + 10 && y >= ty - 10 && y < ty + 10;
        const bool back =
            BaseColor().PixelColor(x, y) == Loaded(x, y) && BaseAlpha().ScanLine(y)[x] == LoadedAlpha(x);
        restored += back;
        ASSERT_EQ(back, inside) << tx << "," << ty << " at " << x << "," << y;
      }
    const int w = std::min(tx + 10, 256) - std::max(tx - 10, 0),
              h = std::min(ty + 10, 256) - std::max(ty - 10, 0);
    EXPECT_EQ(restored, w * h);
  }
  // A press beyond the texture erases nothing and harms nothing.
  RestoreBase();
  painter.DrawMode = editor::TXDRAW_ERASER;
  pane->Drag({{5, 5}, {399, 399}, {-40, 700}});
  EXPECT_EQ(ChangedPixels(), 0);
}

TEST_F(TexturePainter, ShiftDragPreviewsWithXorAndLeavesOneSolidLine) {
  settings::AppSettings.PenWidth = 1;
  const QImage before = BaseColor().Image().copy();
  pane->Press(PaneOf(20, 30), Qt::ShiftModifier);
  EXPECT_EQ(painter.DrawMode, editor::TXDRAW_LINE);
  pane->MoveTo(PaneOf(120, 90), Qt::ShiftModifier);
  // The preview: the pixels it touches are XOR-ed with $585858, the alpha is not.
  EXPECT_EQ(BaseColor().PixelColor(70, 60), Loaded(70, 60) ^ 0x585858);
  EXPECT_EQ(BaseAlpha().ScanLine(60)[70], LoadedAlpha(70));
  pane->MoveTo(PaneOf(200, 10), Qt::ShiftModifier);
  pane->MoveTo(PaneOf(20, 30), Qt::ShiftModifier);
  EXPECT_EQ(BaseColor().Image(), before) << "every preview drawn twice gave its pixels back";
  pane->MoveTo(PaneOf(120, 30), Qt::ShiftModifier);
  pane->Release(PaneOf(120, 30), Qt::ShiftModifier);
  EXPECT_TRUE(pane->upResult);
  EXPECT_EQ(painter.DrawMode, editor::TXDRAW_PEN);
  for (int x = 20; x < 120; ++x) {
    EXPECT_EQ(BaseColor().PixelColor(x, 30), platform::clRed) << x;
    EXPECT_EQ(BaseAlpha().ScanLine(30)[x], 255) << x;
  }
  EXPECT_EQ(ChangedPixels(), 100) << "one line, no preview left";
  // A press in the line mode (a line left unfinished) starts nothing.
  painter.DrawMode = editor::TXDRAW_LINE;
  EXPECT_FALSE(painter.MouseDown(*cs, *pane->control, {}, 100, 100));
  // The next drag without Shift paints freehand again.
  painter.DrawMode = editor::TXDRAW_PEN;
  pane->Drag({PaneOf(10, 200), PaneOf(40, 200)});
  EXPECT_EQ(BaseColor().PixelColor(25, 200), platform::clRed);
}

TEST_F(TexturePainter, OffsetsStayWithinHalfTheShownTexture) {
  painter.OffsetX = 10000;
  painter.OffsetY = -10000;
  pane->Paint();
  EXPECT_EQ(painter.OffsetX, 128);
  EXPECT_EQ(painter.OffsetY, -128);
  // The texture's corner is then at the pane's centre: it spans x -56..199 and y 200..455.
  EXPECT_EQ(pane->Pixel(199, 201), Loaded(255, 1));
  EXPECT_EQ(pane->Pixel(1, 201), Loaded(57, 1));
  EXPECT_EQ(pane->Pixel(200, 201), platform::clGray);
  EXPECT_EQ(pane->Pixel(100, 199), platform::clGray);
  for (int p : {0, 25, 50, 73, 100}) {
    painter.SetScrollPosX(p);
    painter.SetScrollPosY(100 - p);
    int32_t x, y;
    painter.GetScrollPos(x, y);
    EXPECT_EQ(x, p);
    EXPECT_EQ(y, 100 - p);
  }
  painter.SetScrollPosX(100);
  EXPECT_EQ(painter.OffsetX, 128);
}

TEST_F(TexturePainter, APaintedTextureSavedWithAlphaReadsBackInPillow) {
  pane->Drag({PaneOf(30, 40), PaneOf(90, 40)});
  const std::string file =
      (std::filesystem::temp_directory_path() / ("zephor_txdraw_" + std::to_string(::getpid()) + ".png"))
          .string();
  std::string name = file;
  std::filesystem::remove(file);
  ASSERT_EQ(shape::SaveImageWithAlpha(name, BaseColor(), BaseAlpha()), 0);
  std::string out;
  ASSERT_TRUE(
      shape_test::RunPython("import PIL.Image\n"
                            "im = PIL.Image.open('" +
                                name +
                                "').convert('RGBA')\n"
                                "print(im.size, im.getpixel((60, 40)), im.getpixel((60, 60)))\n",
                            &out))
      << out;
  EXPECT_EQ(out, "(256, 256) (255, 0, 0, 255) (60, 120, 100, 110)\n");
  std::filesystem::remove(name);
}
