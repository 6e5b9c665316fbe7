// The sculpt-image table on a headless pane: layout and scrolling, header and band selection
// through real drags, the nudge keys, typed channels, and the painted table.
#include <gtest/gtest.h>

#include <algorithm>

#include "PaneTestUtil.h"
#include "editor/panes/ScBitmap.h"
#include "shape/model/uScColor.h"

using editor::TScBitmap;
using editor_test::NewShape;
using editor_test::PaintRecorder;
using editor_test::Pane;
using editor_test::SettingsGuard;
using shape::TCS;

namespace {

class SculptTable : public ::testing::Test {
 protected:
  void SetUp() override {
    cs = NewShape(shape::SCTYPE_CYLINDER, 33, 33);
    pane = std::make_unique<Pane>(table, *cs, 300, 300);
    pane->Paint();
  }
  // The centre of the cell shown at display column c and display row r.
  static QPoint Cell(int c, int r) { return {TScBitmap::CellPixel(c) + 6, TScBitmap::CellPixel(r) + 6}; }
  static QPoint ColumnHeader(int c) { return {TScBitmap::CellPixel(c) + 6, 7}; }
  static QPoint RowHeader(int r) { return {7, TScBitmap::CellPixel(r) + 6}; }
  bool ColumnSelected(int i) const {
    for (int j = 0; j < cs->CPMaxJ; ++j)
      if (!cs->SP[i][j]) return false;
    return true;
  }

  SettingsGuard guard;
  TScBitmap table;
  std::unique_ptr<TCS> cs;
  std::unique_ptr<Pane> pane;
};

}  // namespace

TEST_F(SculptTable, LayoutScrollsOverWhatThePaneCannotShow) {
  // 300 pixels: 19 cell columns; 33 columns can scroll by 14.
  EXPECT_EQ(table.ScrollColumns, 14);
  EXPECT_EQ(table.ScrollRows, 14);
  table.OffsetX = 1000;
  table.OffsetY = -40;
  pane->Paint();
  EXPECT_EQ(table.OffsetX, 210);
  EXPECT_EQ(table.OffsetY, 0);
  // Scroll positions and steps.
  table.SetScrollPosX(50);
  EXPECT_EQ(table.OffsetX, 105);
  int32_t x = -1, y = -1;
  table.GetScrollPos(x, y);
  EXPECT_EQ(x, 50);
  EXPECT_EQ(y, 0);
  table.ScrollBy(1, -2, 300, 300);
  EXPECT_EQ(table.OffsetX, 120);
  EXPECT_EQ(table.OffsetY, -120);
  // Zoom requests scroll by 16 along the axis with more to scroll (here the rows).
  table.ZoomStep(1);
  EXPECT_EQ(table.OffsetY, -104);
  table.ScrollColumns = 20;
  table.ZoomStep(-1);
  EXPECT_EQ(table.OffsetX, 104);
  EXPECT_EQ(table.Scale, 15 * 258);
  // A grid that fits the pane scrolls nowhere: position 0, not a division by zero.
  auto small = NewShape(shape::SCTYPE_PLANE, 9, 5);
  table.Paint(*small, *pane->control);
  EXPECT_LE(table.ScrollColumns, 0);
  table.GetScrollPos(x, y);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
}

TEST_F(SculptTable, PixelsMapToCellsWithTheLastRowOnTop) {
  struct Case {
    int x, y, offsetX, offsetY, column, row;
  };
  const Case cases[] = {
      {5, 5, 0, 0, -1, -1},      {20, 5, 0, 0, 0, -1},    {5, 20, 0, 0, -1, 32},  {20, 20, 0, 0, 0, 32},
      {47, 299, 0, 0, 2, 14},    {20, 20, 30, 15, 2, 31}, {20, 20, 22, 0, 1, 32}, {299, 20, 210, 0, 32, 32},
      {314, 20, 210, 0, -2, 32}, {20, 509, 0, 0, 0, 0},   {20, 524, 0, 0, 0, -2}, {20, 20, -30, 0, -2, 32},
  };
  for (const Case& c : cases) {
    table.OffsetX = c.offsetX;
    table.OffsetY = c.offsetY;
    int32_t column, row;
    table.PixelToCell(*cs, c.x, c.y, column, row);
    EXPECT_EQ(column, c.column) << c.x << "," << c.y;
    EXPECT_EQ(row, c.row) << c.x << "," << c.y;
  }
  table.OffsetX = table.OffsetY = 0;
  int32_t r, g, b;
  cs->CP[0][32] = {{0.5, 0, -0.9921875}};
  EXPECT_TRUE(table.ChannelValuesAt(*cs, 20, 20, r, g, b));
  EXPECT_EQ(r, 191);
  EXPECT_EQ(g, 127);
  EXPECT_EQ(b, 0);
  EXPECT_FALSE(table.ChannelValuesAt(*cs, 5, 20, r, g, b)) << "a header shows no values";
  EXPECT_FALSE(table.ChannelValuesAt(*cs, 20, 5, r, g, b));
}

TEST_F(SculptTable, HeaderClicksToggleOrReplaceWholeLines) {
  // Without Shift a click on a column header replaces the selection by that column.
  cs->SP[5][5] = true;
  shape::CountSelectedPoints(*cs);
  pane->Drag({ColumnHeader(3), ColumnHeader(3)});
  EXPECT_TRUE(pane->upResult);
  EXPECT_TRUE(ColumnSelected(3));
  EXPECT_FALSE(cs->SP[5][5]);
  EXPECT_EQ(cs->Count, 33);
  // With Shift on a fully selected column: deselected, the rest kept.
  pane->Drag({ColumnHeader(7), ColumnHeader(7)}, Qt::ShiftModifier);
  EXPECT_TRUE(ColumnSelected(7));
  pane->Drag({ColumnHeader(3), ColumnHeader(3)}, Qt::ShiftModifier);
  EXPECT_FALSE(cs->SP[3][10]);
  EXPECT_TRUE(ColumnSelected(7));
  // A row header selects the grid row shown there (the top display row is the last grid row).
  pane->Drag({RowHeader(0), RowHeader(1)});
  for (int i = 0; i < 33; ++i) EXPECT_TRUE(cs->SP[i][32] && cs->SP[i][31]) << i;
  EXPECT_EQ(cs->Count, 64) << "seam columns counted once";
}

TEST_F(SculptTable, BandsSelectCellsAndFollowTheSeams) {
  // A band from the corner header selects nothing, and without Shift clears the selection.
  cs->SP[1][1] = true;
  shape::CountSelectedPoints(*cs);
  pane->Drag({{5, 5}, Cell(4, 4)});
  EXPECT_EQ(cs->Count, 0);
  // A band over columns 0 to 32 of the cylinder: columns 0 and 32 agree.
  table.OffsetX = 0;
  pane->Drag({Cell(0, 2), Cell(18, 3)});
  table.OffsetX = 210;
  pane->Drag({Cell(5, 2), Cell(18, 3)}, Qt::ShiftModifier);  // columns 19..32
  for (int j = 0; j < 33; ++j) EXPECT_EQ(cs->SP[0][j], cs->SP[32][j]) << j;
  EXPECT_TRUE(cs->SP[32][30] && cs->SP[0][29]);
  EXPECT_EQ(cs->Count, 2 * 32);
  // A band dragged past the last column selects up to it, from its start.
  table.OffsetX = 210;
  pane->Drag({Cell(15, 0), {299 + 30, TScBitmap::CellPixel(0) + 6}});
  EXPECT_EQ(cs->Count, 4);
  EXPECT_TRUE(cs->SP[29][32] && cs->SP[31][32] && cs->SP[0][32]);
  EXPECT_FALSE(cs->SP[5][32]);
}

TEST_F(SculptTable, NudgeKeysMoveSelectedUnlockedPointsByTheChannelStep) {
  editor::ChannelStep = 4;
  cs->CP[2][2] = {{0.0, 0.0, 0.0}};
  cs->CP[3][3] = {{1.0, 0.5, 0.0}};
  cs->CP[4][4] = {{0.2, 0.2, 0.2}};
  cs->SP[2][2] = cs->SP[3][3] = cs->SP[4][4] = true;
  cs->RP[4][4] = true;
  shape::CountSelectedPoints(*cs);
  EXPECT_EQ(pane->Key(Qt::Key_Left), 2);
  EXPECT_EQ(cs->CP[2][2][0], 4.0 / 128);
  EXPECT_EQ(cs->CP[3][3][0], 1.0) << "clamped";
  EXPECT_EQ(cs->CP[4][4][0], 0.2) << "locked";
  EXPECT_EQ(pane->Key(Qt::Key_Down), 2);
  EXPECT_EQ(cs->CP[2][2][1], -4.0 / 128);
  EXPECT_EQ(pane->Key(Qt::Key_PageUp), 2);
  EXPECT_EQ(cs->CP[2][2][2], 4.0 / 128);
  EXPECT_EQ(pane->Key(Qt::Key_A), 0);
  table.SetSelectedChannels(*cs, 255, 127, 0);
  EXPECT_EQ(cs->CP[2][2][0], 1.0);
  EXPECT_EQ(cs->CP[2][2][1], 0.0);
  EXPECT_EQ(cs->CP[2][2][2], -0.9921875);
  editor::ChannelStep = 1;
}

TEST_F(SculptTable, TablePainterColoursHeadersCellsAndOutlines) {
  cs->CP[1][32] = {{0.5, -0.25, 1.0}};               // channels 191, 95, 255 at display (1, 0)
  for (int j = 0; j < 33; ++j) cs->SP[2][j] = true;  // column 2 whole
  cs->RP[3][32] = true;
  cs->SP[4][32] = true;
  cs->RP[4][32] = true;
  cs->GP[5][32] = 1;
  shape::CountSelectedPoints(*cs);
  for (bool d2d : {false, true}) {
    settings::AppSettings.UseDirect2D = d2d;
    table.ChoosePainters();
    PaintRecorder rec;
    pane->Paint();
    EXPECT_EQ(pane->Pixel(3, 3), platform::clWhite) << "corner header";
    EXPECT_EQ(pane->Pixel(TScBitmap::CellPixel(2) + 2, 5), platform::clSilver) << "a whole column's header";
    EXPECT_EQ(pane->Pixel(TScBitmap::CellPixel(1) + 2, 5), platform::clWhite);
    EXPECT_EQ(pane->Pixel(TScBitmap::CellPixel(1) + 2, TScBitmap::CellPixel(0) + 2),
              platform::RGB(191, 95, 255));
    const auto outline = [&](int c, int r) { return pane->Pixel((c + 1) * 15, (r + 1) * 15 + 7); };
    EXPECT_EQ(outline(1, 0), platform::clWhite);
    EXPECT_EQ(outline(2, 0), platform::clRed) << "selected";
    EXPECT_EQ(outline(3, 0), platform::clAqua) << "locked";
    EXPECT_EQ(outline(4, 0), platform::clYellow) << "locked and selected";
    EXPECT_EQ(pane->Pixel(299, 299), platform::clWhite) << "the last cell's outline, partly shown";
    int rings = 0, labels = 0;
    for (const platform::TDrawCall& c : rec.calls) {
      if (c.Kind == platform::TDrawCall::OutlineEllipse) {
        ++rings;
        EXPECT_EQ(c.Color, editor::ColorToArgb(static_cast<platform::TColor>(shape::GroupColor(1)), 255));
        EXPECT_EQ(c.Rect.Width(), 12);
      }
      if (c.Kind == platform::TDrawCall::Text) {
        ++labels;
        EXPECT_EQ(c.Font, "Tahoma");
        EXPECT_EQ(c.Height, d2d ? 10 : 9);
      }
    }
    EXPECT_EQ(rings, 1);
    EXPECT_EQ(labels, 2 * 19) << "only the visible headers";
    const auto label = std::find_if(rec.calls.begin(), rec.calls.end(), [](const platform::TDrawCall& c) {
      return c.Kind == platform::TDrawCall::Text;
    });
    EXPECT_EQ(label->String, "00");
  }
  // Beyond a small grid the pane stays grey.
  auto small = NewShape(shape::SCTYPE_PLANE, 5, 5);
  table.Paint(*small, *pane->control);
  EXPECT_EQ(pane->Pixel(200, 200), platform::clGray);
  int32_t r, g, b;
  shape::PointChannelValues(small->CP, 4, 0, r, g, b);
  EXPECT_EQ(b, 0);
  EXPECT_EQ(pane->Pixel(TScBitmap::CellPixel(4) + 2, TScBitmap::CellPixel(4) + 2),
            platform::RGB(static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b)))
      << "grid row 0 at the bottom";
}
