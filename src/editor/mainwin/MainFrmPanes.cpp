// How mouse and key input reaches the 2D editors: the main pane belongs to the current editor,
// the second pane to the sculpt-image editor. "Changed" answers become repaint requests, commits
// and undo snapshots; the hover text and the channel read-outs follow the mouse.
#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QMenu>
#include <QToolButton>

#include "editor/controls/NumEdit.h"
#include "editor/mainwin/EditorModules.h"
#include "editor/mainwin/MainFrm.h"
#include "editor/panes/ScBase.h"
#include "editor/panes/ScBitmap.h"
#include "platform/ui/Control.h"
#include "settings/AppSettings.h"
#include "shape/TextureBitmaps.h"
#include "shape/model/uScPrim.h"
#include "shape/model/uScSelect.h"

namespace editor {

using shape::CurrentShape;

std::string FormatChannelValue(int32_t v) {
  if (v <= 0) return "000";
  if (v >= 255) return "255";
  char text[16];
  std::snprintf(text, sizeof text, "%03d", static_cast<int>(v));
  return text;
}

// ---- the main pane ----

void TMainFrm::Image1MouseDown(platform::TMouseButton button, platform::TShiftState shift, int32_t x,
                               int32_t y) {
  if (Starting || !CurrentEditor) return;
  if (button != platform::mbLeft) {
    PopupMenu1->popup(Image1->mapToGlobal(QPoint(x, y)));
    return;
  }
  CurrentEditor->HandleMouseDown(CurrentShape, *Image1, shift, x, y);
}

void TMainFrm::Image1MouseMove(platform::TShiftState shift, int32_t x, int32_t y) {
  if (Starting || !CurrentEditor) return;
  if (CurrentEditor->HandleMouseMove(CurrentShape, *Image1, shift, x, y)) PaneRequest = 1;
  if (EditorMode == 7) {
    ShowCursorChannels(LBX1, LBY1, LBZ1, x, y);
  } else if (CurrentShapeEditor) {
    std::string text;
    CurrentShapeEditor->HoverText(x, y, text);
    SBXY->setText(QString::fromStdString(text));
  }
}

void TMainFrm::Image1MouseUp(platform::TMouseButton, platform::TShiftState shift, int32_t x, int32_t y) {
  if (Starting || !CurrentEditor) return;
  if (CurrentEditor->HandleMouseUp(CurrentShape, *Image1, shift, x, y)) {
    if (EditorMode != 6) {
      shape::CommitShapePoints(CurrentShape);
      shape::UndoPush(*UndoRing, CurrentShape);
      MeshDirty = true;
    }
    FullRedraw();
    shape::RefreshTextureDisplay(CurrentShape);
    TextureDirty = true;
  }
  Panel5->setFocus();
}

void TMainFrm::Image1MouseLeave() {
  if (Starting) return;
  SBXY->setText("---,---");
}

// ---- the second pane ----

void TMainFrm::Image2MouseDown(platform::TMouseButton button, platform::TShiftState shift, int32_t x,
                               int32_t y) {
  if (Starting) return;
  if (button != platform::mbLeft) {
    PopupMenu2->popup(Image2->mapToGlobal(QPoint(x, y)));
    return;
  }
  ScBitmap->HandleMouseDown(CurrentShape, *Image2, shift, x, y);
}

void TMainFrm::Image2MouseMove(platform::TShiftState shift, int32_t x, int32_t y) {
  if (Starting) return;
  if (ScBitmap->HandleMouseMove(CurrentShape, *Image2, shift, x, y)) PaneRequest = 1;
  ShowCursorChannels(LBX2, LBY2, LBZ2, x, y);
}

void TMainFrm::Image2MouseUp(platform::TMouseButton, platform::TShiftState shift, int32_t x, int32_t y) {
  if (Starting) return;
  if (ScBitmap->HandleMouseUp(CurrentShape, *Image2, shift, x, y)) {
    if (CurrentShapeEditor) CurrentShapeEditor->UpdateSelectionBox(CurrentShape, true);
    CommitBitmapEdit();
    FullRedraw();
  }
  Panel5->setFocus();
}

// ---- keys ----

void TMainFrm::FormKeyUp(uint16_t key, platform::TShiftState shift) {
  if (Starting || !CurrentEditor) return;
  const QPoint client = mapFromGlobal(QCursor::pos());
  const bool second = settings::AppSettings.ThreePanesDisplay && Splitter2->isVisible() &&
                      client.x() > Splitter2->mapTo(this, QPoint(0, 0)).x();
  TEditBase& editor = second ? static_cast<TEditBase&>(*ScBitmap) : *CurrentEditor;
  const int32_t result = editor.HandleKeyDown(CurrentShape, key, shift);
  if (result == 0) return;
  if (result == 1)
    PaneRequest = 2;
  else
    AfterCommand();
  if (second)
    Panel4->setFocus();
  else
    Panel5->setFocus();
}

// ---- channel read-outs ----

void TMainFrm::ShowCursorChannels(QLabel* lx, QLabel* ly, QLabel* lz, int32_t x, int32_t y) {
  int32_t r = 0, g = 0, b = 0;
  if (ScBitmap->ChannelValuesAt(CurrentShape, x, y, r, g, b)) {
    lx->setText(QString::fromStdString(FormatChannelValue(r)));
    ly->setText(QString::fromStdString(FormatChannelValue(g)));
    lz->setText(QString::fromStdString(FormatChannelValue(b)));
  } else {
    lx->setText("---");
    ly->setText("---");
    lz->setText("---");
  }
}

void TMainFrm::FillChannelBoxes(bool secondPane) {
  TNumEdit* boxes[3] = {secondPane ? NEX : NEX1, secondPane ? NEY : NEY1, secondPane ? NEZ : NEZ1};
  QToolButton* update = secondPane ? spBtnXYZUpdate : spBtnXYZUpdate1;
  for (TNumEdit* box : boxes) box->setEnabled(false);
  update->setEnabled(false);
  if (CurrentShape.Count != 1) return;
  for (int32_t j = 0; j < CurrentShape.CPMaxJ; ++j)
    for (int32_t i = 0; i < CurrentShape.CPMaxI; ++i) {
      if (!CurrentShape.SP[i][j]) continue;
      int32_t r = 0, g = 0, b = 0;
      shape::PointChannelValues(CurrentShape.CP, i, j, r, g, b);
      const int32_t values[3] = {r, g, b};
      for (int k = 0; k < 3; ++k) {
        boxes[k]->setText(QString::number(values[k]));
        boxes[k]->setEnabled(true);
      }
      update->setEnabled(true);
      return;
    }
}

void TMainFrm::CommitBitmapEdit() {
  shape::CommitShapePoints(CurrentShape);
  shape::UndoPush(*UndoRing, CurrentShape);
  FillChannelBoxes(settings::AppSettings.ThreePanesDisplay);
  shape::RefreshTextureDisplay(CurrentShape);
  TextureDirty = true;
  MeshDirty = true;
}

}  // namespace editor
