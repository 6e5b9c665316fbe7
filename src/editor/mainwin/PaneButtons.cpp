// The controls under the panes: the view-side buttons, the current-line buttons, the texture
// painter's pen and eraser buttons with their glyphs and the pen width list, the edit-mode list
// with its apply button, and the sculpt-image editor's channel boxes with their step and
// "Update" buttons (under the main pane and in the second pane).
#include <QComboBox>
#include <QIcon>
#include <QPixmap>
#include <QToolButton>
#include <algorithm>

#include "common/Round.h"
#include "editor/controls/NumEdit.h"
#include "editor/mainwin/EditorModules.h"
#include "editor/mainwin/MainFrm.h"
#include "editor/panes/ScBase.h"
#include "editor/panes/ScBitmap.h"
#include "editor/panes/TxDraw.h"
#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Canvas.h"
#include "settings/AppSettings.h"
#include "shape/model/UBuf.h"
#include "shape/model/uScPrim.h"
#include "shape/model/uScSelect.h"

namespace editor {

using settings::AppSettings;
using shape::CurrentShape;

namespace {

// Each channel of `color` times `factor`, to the nearest integer.
platform::TColor Shaded(platform::TColor color, double factor) {
  auto channel = [factor](uint8_t v) { return static_cast<uint8_t>(common::RoundInt(v * factor)); };
  return platform::RGB(channel(platform::GetRValue(color)), channel(platform::GetGValue(color)),
                       channel(platform::GetBValue(color)));
}

// The pen glyph on a transparent ground: drawn once on black and once on white, a pixel that
// differs between the two is ground.
QImage PenGlyphImage(platform::TColor color) {
  platform::TBitmap onBlack(16, 16);
  platform::TBitmap onWhite(16, 16);
  {
    platform::TCanvas canvas(onWhite);
    canvas.Brush.Color = platform::clWhite;
    canvas.FillRect({0, 0, 16, 16});
  }
  DrawPenGlyph(onBlack, color);
  DrawPenGlyph(onWhite, color);
  const QImage black = onBlack.Image();
  const QImage white = onWhite.Image();
  QImage glyph(16, 16, QImage::Format_ARGB32);
  glyph.fill(Qt::transparent);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const QRgb b = black.pixel(x, y) & 0xFFFFFF;
      if (b == (white.pixel(x, y) & 0xFFFFFF)) glyph.setPixel(x, y, 0xFF000000 | b);
    }
  return glyph;
}

}  // namespace

void DrawPenGlyph(platform::TBitmap& bitmap, int32_t color) {
  if (bitmap.Width() != 16 || bitmap.Height() != 16) bitmap.SetSize(16, 16);
  platform::TCanvas canvas(bitmap);
  canvas.Pen.Width = 1;
  canvas.Pen.Color = color;
  canvas.Brush.Color = color;
  canvas.Ellipse(2, 2, 14, 14);
  static const int kLines[7][4] = {{7, 1, 9, 1},    {4, 2, 11, 2},   {2, 4, 2, 12}, {1, 6, 1, 10},
                                   {5, 13, 11, 13}, {13, 5, 13, 11}, {3, 3, 3, 13}};
  for (const auto& l : kLines) {
    canvas.MoveTo(l[0], l[1]);
    canvas.LineTo(l[2], l[3]);
  }
  struct Shade {
    double factor;
    std::initializer_list<platform::TPoint> pixels;
  };
  const Shade shades[] = {
      {0.95, {{1, 5}}},
      {0.9, {{12, 12}, {4, 13}, {13, 4}, {12, 3}, {11, 2}, {9, 1}, {6, 1}, {1, 10}}},
      {0.85, {{7, 14}, {8, 14}, {11, 13}, {13, 11}, {14, 6}, {14, 7}, {14, 8}}},
      {0.8, {{14, 9}, {9, 14}, {6, 14}}},
  };
  for (const Shade& s : shades)
    for (const platform::TPoint& p : s.pixels) canvas.SetPixels(p.X, p.Y, Shaded(color, s.factor));
}

int32_t ChannelBoxValue(const QString& text) {
  bool number = false;
  const qlonglong value = text.trimmed().toLongLong(&number);
  if (!number) return 127;
  // Channel values beyond 0..255 land on the modelling cube's faces, where the clamp of the
  // points puts them anyway.
  return static_cast<int32_t>(std::clamp<qlonglong>(value, 0, 255));
}

// ---- what RefreshEditorUi calls ----

void TMainFrm::UpdateLineButton() {
  if (!CurrentShapeEditor) return;
  spBtnGLk->setChecked(CurrentShapeEditor->IsCurrentLineMarked());
  std::string label;
  CurrentShapeEditor->CurrentLineLabel(CurrentShape, label);
  spBtnGLk->setText(QString::fromStdString(label));
}

void TMainFrm::UpdatePenGlyphs() {
  for (int k = 0; k < 4; ++k) {
    SpBtnPen[k]->setIcon(QIcon(QPixmap::fromImage(PenGlyphImage(AppSettings.PenColors[k]))));
    SpBtnPen[k]->setIconSize(QSize(16, 16));
  }
}

void TMainFrm::SyncPenButtons() {
  QToolButton* down = nullptr;
  if (TxDraw->DrawMode == TXDRAW_ERASER) {
    down = SpBtnErase;
  } else {
    for (int k = 0; k < 4 && !down; ++k)
      if (AppSettings.PenColors[k] == AppSettings.PenColor) down = SpBtnPen[k];
  }
  if (down) {
    down->setChecked(true);
    return;
  }
  // No pen has the colour: none is down (an exclusive group keeps one down unless let go).
  for (QToolButton* b : {SpBtnPen[0], SpBtnPen[1], SpBtnPen[2], SpBtnPen[3], SpBtnErase}) {
    b->setAutoExclusive(false);
    b->setChecked(false);
    b->setAutoExclusive(true);
  }
}

void TMainFrm::AfterChannelEdit() {
  // Committed and stored like every other edit, so that it can be undone and a later command
  // that starts from the committed points keeps it.
  shape::CommitShapePoints(CurrentShape);
  shape::UndoPush(*UndoRing, CurrentShape);
  MeshDirty = true;
  RefreshEditorUi(true);
  if (AppSettings.ThreePanesDisplay && SecondPaneShown)
    Panel3->setFocus();
  else if (isVisible())
    Panel5->setFocus();
}

// ---- wiring ----

void TMainFrm::WireChannelBoxes(QToolButton* const (&up)[3], QToolButton* const (&down)[3],
                                QToolButton* update, TNumEdit* x, TNumEdit* y, TNumEdit* z) {
  for (int axis = 0; axis < 3; ++axis)
    for (int sign : {1, -1})
      connect(sign > 0 ? up[axis] : down[axis], &QToolButton::clicked, this, [this, axis, sign] {
        int32_t step[3] = {0, 0, 0};
        step[axis] = sign * ChannelStep;
        ScBitmap->NudgeSelected(CurrentShape, step[0], step[1], step[2]);
        AfterChannelEdit();
      });
  connect(update, &QToolButton::clicked, this, [this, x, y, z] {
    ScBitmap->SetSelectedChannels(CurrentShape, ChannelBoxValue(x->text()), ChannelBoxValue(y->text()),
                                  ChannelBoxValue(z->text()));
    AfterChannelEdit();
  });
}

void TMainFrm::WirePaneButtons() {
  for (int side = 0; side < 6; ++side)
    connect(SideBtn[side], &QToolButton::clicked, this, [this, side] {
      if (!CurrentShapeEditor) return;
      CurrentShapeEditor->SelectViewSide(side);
      AfterCommand();
    });
  connect(spBtnGDn, &QToolButton::clicked, this, [this] {
    if (!CurrentShapeEditor) return;
    CurrentShapeEditor->PrevLine(CurrentShape);
    RefreshEditorUi(true);
  });
  connect(spBtnGUp, &QToolButton::clicked, this, [this] {
    if (!CurrentShapeEditor) return;
    CurrentShapeEditor->NextLine(CurrentShape);
    RefreshEditorUi(true);
  });
  connect(spBtnGLk, &QToolButton::clicked, this, [this] {
    if (!CurrentShapeEditor) return;
    CurrentShapeEditor->ToggleCurrentLine();
    MeshDirty = true;
    RefreshEditorUi(true);
  });

  for (int pen = 0; pen < 4; ++pen)
    connect(SpBtnPen[pen], &QToolButton::clicked, this, [pen] {
      AppSettings.PenColor = AppSettings.PenColors[pen];
      TxDraw->DrawMode = TXDRAW_PEN;
    });
  connect(SpBtnErase, &QToolButton::clicked, this, [] { TxDraw->DrawMode = TXDRAW_ERASER; });
  connect(CBPenWidth, &QComboBox::activated, this, [](int index) {
    if (index >= 0 && index < 7) AppSettings.PenWidth = PenWidths[index];
  });

  connect(CBRgMode, &QComboBox::activated, this, [this](int index) {
    if (!CurrentEditor) return;
    CurrentEditor->SetEditMode(index);
    RefreshEditorUi(true);
  });
  connect(SBRgModeUpdate, &QToolButton::clicked, this, [this] {
    if (!CurrentShapeEditor || CurrentShapeEditor->EditMode == EDIT_NORMAL) return;
    CurrentShapeEditor->RefreshFromShape(CurrentShape);
    shape::CommitShapePoints(CurrentShape);
    shape::UndoPush(*UndoRing, CurrentShape);
    MeshDirty = true;
    FullRedraw();
    Panel5->setFocus();
  });

  WireChannelBoxes(spBtnUp2, spBtnDn2, spBtnXYZUpdate1, NEX1, NEY1, NEZ1);
  WireChannelBoxes(spBtnUp, spBtnDn, spBtnXYZUpdate, NEX, NEY, NEZ);
}

}  // namespace editor
