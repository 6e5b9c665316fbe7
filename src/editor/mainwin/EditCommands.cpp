// The Edit and Help menus, and the enabling of the menu items that hold the commands of the
// Edit, Sides, Section and Bitmap menus. Each command checks the mode and the number of selected
// points, calls one operation of the current editor or of the shape model and ends in one of
// the window's shared steps (MainFrmSteps.cpp). The update handlers read the mode, `Count` and
// the cached answers of the editors (CommandQueries), never the grid itself: they run on every
// idle pass.
#include <QMenu>

#include "editor/dialogs/AboutDlg.h"
#include "editor/dialogs/MirrorDlg.h"
#include "editor/dialogs/OffsetDlg.h"
#include "editor/mainwin/EditorModules.h"
#include "editor/mainwin/MainFrm.h"
#include "editor/panes/ScBase.h"
#include "editor/panes/ScBitmap.h"
#include "platform/ui/MessageBoxes.h"
#include "settings/AppSettings.h"
#include "shape/TextureBitmaps.h"
#include "shape/model/UBuf.h"
#include "shape/model/uScPrim.h"
#include "shape/model/uScSelect.h"
#include "shape/model/uScTransform.h"

namespace editor {

using platform::TAction;
using shape::CurrentShape;

std::string HorizontalMirrorCaption(int32_t columns) {
  const int32_t c = (columns - 1) / 2;
  return "Mirror " + shape::GridLabelChar(c, columns) + "0-GG from 00-" +
         shape::GridLabelChar(c - 1, columns) + "G...";
}

std::string VerticalMirrorCaption(int32_t rows) {
  const int32_t r = (rows - 1) / 2;
  return "Mirror 0" + shape::GridLabelChar(r, rows) + "-GG from 00-G" + shape::GridLabelChar(r - 1, rows) +
         "...";
}

namespace {

bool ShapeMode(int32_t mode) { return mode <= 5; }

}  // namespace

// ---- the editors' enabling answers ----

const TCommandQueries& TMainFrm::CommandQueries() {
  TCommandQueries& q = commandQueries_;
  const shape::TCS& cs = CurrentShape;
  if (!commandQueriesStale_ && q.Valid && q.Editor == CurrentEditor && q.Mode == EditorMode &&
      q.ScType == cs.ScType && q.Columns == cs.CPMaxI && q.Rows == cs.CPMaxJ && q.Count == cs.Count)
    return q;
  q = TCommandQueries();
  q.Valid = true;
  q.Editor = CurrentEditor;
  q.Mode = EditorMode;
  q.ScType = cs.ScType;
  q.Columns = cs.CPMaxI;
  q.Rows = cs.CPMaxJ;
  q.Count = cs.Count;
  if (CurrentEditor) {
    q.EqualIntervals = CurrentEditor->CanEqualIntervals(cs);
    q.EqualDistance = CurrentEditor->CanEqualDistance(cs);
    q.EqualCurves = CurrentEditor->CanEqualCurves(cs);
    q.SameWidth = CurrentEditor->CanSameWidth(cs);
    q.TwistApplies = CurrentEditor->TwistApplies(cs.ScType);
    q.CanTwist = CurrentEditor->CanTwist(cs);
    q.CustomSides = CurrentEditor->CanCustomSides();
  }
  if (CurrentShapeEditor) q.CanOptimize = CurrentShapeEditor->CanOptimize(cs);
  q.BitmapEqualIntervals = ScBitmap->CanEqualIntervals(cs);
  commandQueriesStale_ = false;
  return q;
}

void TMainFrm::UpdateCommandMenus() {
  const int32_t m = EditorMode;
  const int32_t count = CurrentShape.Count;
  EditMenu->menuAction()->setEnabled(m != 6 && m != 7);
  SidesMenu->menuAction()->setEnabled(m == 1 || m == 2 || m == 5);
  SectionMenu->menuAction()->setEnabled(m == 3 || m == 4);
  BitmapMenu->menuAction()->setEnabled(m == 7);
  const bool twist = CommandQueries().TwistApplies;
  for (QAction* item : submenuItems_.Twist) item->setEnabled(twist);
  for (QAction* item : submenuItems_.EditSmooth) item->setEnabled(m != 6 && count >= 3);
  for (QAction* item : submenuItems_.BitmapSmooth) item->setEnabled(count >= 3);
}

// ---- Undo, Redo, Offset ----

void TMainFrm::EditUndoExecute(bool redo) {
  shape::TCS& cs = CurrentShape;
  if (!(redo ? shape::CanRedo(*UndoRing) : shape::CanUndo(*UndoRing))) {
    platform::MessageBeep();
    return;
  }
  const shape::TScType type = cs.ScType;
  const int32_t columns = cs.CPMaxI;
  const int32_t rows = cs.CPMaxJ;
  if (redo)
    shape::Redo(*UndoRing, cs);
  else
    shape::Undo(*UndoRing, cs);
  MeshDirty = true;
  if (cs.ScType == type && cs.CPMaxI == columns && cs.CPMaxJ == rows) {
    RefreshEditorUi(true);
    return;
  }
  // A snapshot from before New, Open, a quarter turn or a plug-in run: the tabs must fit its
  // stitch type, and no editor may keep a current line, edge or ring outside its grid.
  UpdateTabsAndStatus();
  ResetEditorsForShape();
  TabControl1Change();
}

void TMainFrm::EditOffsetExecute() {
  SetSelectionAll(false);
  TOffsetDlg dialog(this);
  dialog.Execute(CurrentShape.ScType);
  if (dialog.Rotate90 || dialog.Rotate180) {
    shape::RotateShapeGrid(CurrentShape, dialog.Rotate90, dialog.Rotate180);
    UpdateTabsAndStatus();
    // A quarter turn exchanges the grid sizes: as after a new shape, no editor may keep a
    // current line, edge or ring outside the turned grid, and the editor shown is the tab's.
    ResetEditorsForShape();
    TabControl1Change();
  } else {
    shape::OffsetShapeGrid(CurrentShape, dialog.ResultX, dialog.ResultY);
  }
  AfterCommand();
}

// ---- wiring ----

void TMainFrm::WireEditActions() {
  // The program's one shape. A reference bound to it names the global itself, so the handlers
  // use it without capturing it.
  shape::TCS& cs = CurrentShape;
  auto on = [this](const char* name, platform::TActionEvent update, platform::TActionEvent execute) {
    TAction* a = Act(name);
    a->OnUpdate = std::move(update);
    a->OnExecute = std::move(execute);
  };
  // The symmetry plane of a flip or half-mirror; -1 when the dialog was closed.
  auto askPlane = [this](const char* caption, int32_t defaultButton) {
    return MirrorDlg ? MirrorDlg->Execute(caption, defaultButton) : -1;
  };
  auto always = [](TAction* a) { a->SetEnabled(true); };
  auto shapeModes = [this](TAction* a) { a->SetEnabled(ShapeMode(EditorMode)); };

  on(
      "EditUndo", [this](TAction* a) { a->SetEnabled(shape::CanUndo(*UndoRing)); },
      [this](TAction*) { EditUndoExecute(false); });
  on(
      "EditRedo", [this](TAction* a) { a->SetEnabled(shape::CanRedo(*UndoRing)); },
      [this](TAction*) { EditUndoExecute(true); });

  auto twoSelected = [this](TAction* a) { a->SetEnabled(EditorMode != 6 && cs.Count >= 2); };
  for (const char* name : {"EditRotate0", "EditRotate1"})
    on(name, twoSelected, [this](TAction* a) {
      if (CurrentShapeEditor && cs.Count >= 2 &&
          CurrentShapeEditor->Rotate(cs, a->Tag * settings::AppSettings.RotateDegreeF))
        AfterCommand();
    });
  for (const char* name : {"EditHorizontal", "EditVertical"})
    on(name, twoSelected, [this](TAction* a) {
      if (CurrentShapeEditor && cs.Count >= 2 && CurrentShapeEditor->Align(cs, a->Tag)) AfterCommand();
    });

  on(
      "EditEqual", [this](TAction* a) { a->SetEnabled(CommandQueries().EqualIntervals); },
      [this](TAction*) {
        if (CurrentEditor && CurrentEditor->CanEqualIntervals(cs) && CurrentEditor->EqualIntervals(cs))
          AfterCommand();
      });
  on(
      "EditEQDist", [this](TAction* a) { a->SetEnabled(CommandQueries().EqualDistance); },
      [this](TAction*) {
        if (CurrentEditor && CurrentEditor->CanEqualDistance(cs) && CurrentEditor->EqualDistance(cs))
          AfterCommand();
      });
  on(
      "EditEQCurves", [this](TAction* a) { a->SetEnabled(CommandQueries().EqualCurves); },
      [this](TAction*) {
        if (CurrentShapeEditor && CurrentShapeEditor->CanEqualCurves(cs) &&
            CurrentShapeEditor->EqualCurves(cs))
          AfterCommand();
      });
  on(
      "EditSameWidth",
      [this](TAction* a) {
        a->SetVisible(EditorMode == 3 || EditorMode == 4);
        a->SetEnabled(CommandQueries().SameWidth);
      },
      [this](TAction*) {
        if (CurrentShapeEditor && CurrentShapeEditor->SameWidth(cs)) AfterCommand();
      });
  for (const char* name : {"EditTWist0", "EditTwist1"})
    on(
        name,
        [this](TAction* a) {
          const TCommandQueries& q = CommandQueries();
          a->SetVisible(q.TwistApplies);
          a->SetEnabled(q.CanTwist);
        },
        [this](TAction* a) {
          if (CurrentShapeEditor && CurrentShapeEditor->Twist(cs, a->Tag)) AfterCommand();
        });

  on("EditFlipHorizontal", always, [this, askPlane](TAction*) {
    SetSelectionAll(false);
    shape::FlipShapeHorizontal(cs,
                               askPlane(shape::kFlipHorizontalCaption, shape::kFlipHorizontalDefaultButton));
    AfterCommand();
  });
  on("EditFlipVertical", always, [this, askPlane](TAction*) {
    SetSelectionAll(false);
    shape::FlipShapeVertical(cs, askPlane(shape::kFlipVerticalCaption, shape::kFlipVerticalDefaultButton));
    AfterCommand();
  });
  on("EditMaximize", shapeModes, [this](TAction*) {
    SetSelectionAll(false);
    shape::MaximizeShape(cs);
    shape::CountSelectedPoints(cs);
    AfterCommand();
  });
  on(
      "EditOptimize",
      [this](TAction* a) { a->SetEnabled(ShapeMode(EditorMode) && CommandQueries().CanOptimize); },
      [this](TAction*) {
        if (!CurrentShapeEditor) return;
        CurrentShapeEditor->Optimize(cs);
        AfterCommand();
      });
  // The half-mirrors, captioned from the grid size.
  struct Mirror {
    const char* name;
    bool columns;
    const char* dialogCaption;
    int32_t (*defaultButton)(const shape::TCS&);
    void (*mirror)(shape::TCS&, int32_t);
  };
  static const Mirror mirrors[] = {
      {"EditHorizontalMirror", true, shape::kMirrorHorizontalCaption, shape::MirrorHorizontalDefaultButton,
       shape::MirrorShapeHorizontal},
      {"EditVerticalMirror", false, shape::kMirrorVerticalCaption, shape::MirrorVerticalDefaultButton,
       shape::MirrorShapeVertical},
  };
  for (const Mirror& m : mirrors)
    on(
        m.name,
        [this, columns = m.columns](TAction* a) {
          a->SetEnabled(true);
          a->SetVisible(EditorMode != 6);
          a->SetCaption(QString::fromStdString(columns ? HorizontalMirrorCaption(cs.CPMaxI)
                                                       : VerticalMirrorCaption(cs.CPMaxJ)));
        },
        [this, askPlane, &m](TAction*) {
          SetSelectionAll(false);
          m.mirror(cs, askPlane(m.dialogCaption, m.defaultButton(cs)));
          AfterCommand();
        });
  on("EditOffset", shapeModes, [this](TAction*) { EditOffsetExecute(); });
  on("EditInsideOut", shapeModes, [this](TAction*) {
    SetSelectionAll(false);
    shape::TurnShapeInsideOut(cs);
    AfterCommand();
  });

  // Locks and groups change no point: a snapshot and a redraw, no commit, the texture untouched.
  auto marksChanged = [this] {
    shape::UndoPush(*UndoRing, cs);
    MeshDirty = true;
    FullRedraw();
  };
  for (const char* name : {"EditLock", "EditUnlock"})
    on(name, always, [marksChanged](TAction* a) {
      shape::LockSelectedPoints(cs, cs.CPMaxI, cs.CPMaxJ, a->Tag == 0);
      marksChanged();
    });
  on("EditUnlockAll", always, [marksChanged](TAction*) {
    shape::FillPointFlags(cs.RP, cs.CPMaxI, cs.CPMaxJ, false);
    marksChanged();
  });
  on("EditLockReverse", always, [marksChanged](TAction*) {
    shape::InvertPointFlags(cs.RP, cs.CPMaxI, cs.CPMaxJ);
    marksChanged();
  });
  on("EditGroup", always, [marksChanged](TAction*) {
    shape::SetSelectedGroup(cs, shape::NewGroupId(cs));
    marksChanged();
  });
  on("EditUnGroup", always, [marksChanged](TAction*) {
    shape::UngroupSelected(cs);
    marksChanged();
  });
  on("EditUnGroupAll", always, [marksChanged](TAction*) {
    shape::ClearGroups(cs);
    marksChanged();
  });

  for (const char* name : {"ActSelectAll", "ActSelectNone"})
    on(name, always, [this](TAction* a) { SetSelectionAll(a->Tag == 0); });
  on("ActSelectReverse", always, [this](TAction*) {
    if (!CurrentShapeEditor) return;
    shape::InvertPointFlags(cs.SP, cs.CPMaxI, cs.CPMaxJ);
    // The count follows the flags, or every rule that reads it (the frame, the enabling, the
    // keys) would still see the selection from before.
    shape::CountSelectedPoints(cs);
    shape::CommitShapePoints(cs);
    shape::UndoPush(*UndoRing, cs);
    shape::RefreshTextureDisplay(cs);
    TextureDirty = true;
    CurrentShapeEditor->UpdateSelectionBox(cs, true);
    FullRedraw();
  });

  for (const char* name : {"EditSmooth0", "EditSmooth1", "EditSmooth2", "EditSmooth3"})
    on(
        name, [this](TAction* a) { a->SetEnabled(EditorMode != 6 && cs.Count >= 3); },
        [this](TAction* a) {
          if (EditorMode != 6 && cs.Count >= 3 && CurrentEditor->Smooth(cs, a->Tag)) AfterCommand();
        });
  on("EditMagnet", twoSelected, [this](TAction*) {
    if (EditorMode != 6 && cs.Count >= 2 && CurrentEditor->Magnet(cs)) AfterCommand();
  });

  Act("HelpAbout")->OnExecute = [this](TAction*) {
    if (AboutDlg) AboutDlg->exec();
  };

  // The submenus of these commands, wherever they are (menu bars and popup menus).
  TSubmenuItems& items = submenuItems_;
  for (QMenu* menu : {EditMenu, BitmapMenu, BitmapMenu3, PopupMenu1, PopupMenu2})
    for (QAction* item : menu->actions()) {
      if (!item->menu() || item->menu()->actions().isEmpty()) continue;
      const QString first = item->menu()->actions().front()->objectName();
      if (first == "EditTWist0") items.Twist.push_back(item);
      if (first == "EditSmooth0") items.EditSmooth.push_back(item);
      if (first == "BitmapSmooth0") items.BitmapSmooth.push_back(item);
    }
}

}  // namespace editor
