// The Edit, Shape, Sides, Section and Bitmap commands and the buttons under the panes, on the
// real main window headless: actions triggered by their names, buttons by clicks, dialogs
// answered as they come up. The enabling rules as one table; Undo and Redo with their beep and
// across a change of grid size and stitch type; what the commands leave committed, stored and
// refreshed; the point clipboard through the system clipboard; the glyphs.
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSpinBox>
#include <QTabBar>
#include <QToolButton>
#include <algorithm>
#include <cstring>

#include "editor/controls/NumEdit.h"
#include "editor/dialogs/AboutDlg.h"
#include "editor/dialogs/MirrorDlg.h"
#include "editor/dialogs/NewDlg.h"
#include "editor/dialogs/OffsetDlg.h"
#include "editor/dialogs/SidesDlg.h"
#include "editor/editors/ScEditable.h"
#include "editor/editors/uScGYRAN.h"
#include "editor/editors/uScKANTEN.h"
#include "editor/editors/uScTOKOROTEN.h"
#include "editor/panes/ScBitmap.h"
#include "editor/panes/TxDraw.h"
#include "editor/tests/MainFrmTestUtil.h"
#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Canvas.h"
#include "shape/PointClipboard.h"
#include "shape/model/uScSelect.h"
#include "shape/model/uScTransform.h"

using editor::TMainFrm;
using mainfrm_test::MainFrmTest;
using shape::CurrentShape;

namespace {

// Exactly the points given are selected, committed and stored, as a click selection leaves them.
void Select(TMainFrm& f, std::initializer_list<std::pair<int, int>> points) {
  shape::FillPointFlags(CurrentShape.SP, CurrentShape.CPMaxI, CurrentShape.CPMaxJ, false);
  for (auto [i, j] : points) CurrentShape.SP[i][j] = true;
  shape::CountSelectedPoints(CurrentShape);
  shape::CommitShapePoints(CurrentShape);
  shape::UndoPush(*f.UndoRing, CurrentShape);
  f.RefreshEditorUi(true);
}

// `n` points of row 10 from column 3.
void SelectRun(TMainFrm& f, int n) {
  shape::FillPointFlags(CurrentShape.SP, CurrentShape.CPMaxI, CurrentShape.CPMaxJ, false);
  for (int k = 0; k < n; ++k) CurrentShape.SP[3 + k][10] = true;
  shape::CountSelectedPoints(CurrentShape);
  shape::CommitShapePoints(CurrentShape);
  f.RefreshEditorUi(true);
}

// The editor mode, through its tab when the shape has one.
void SetMode(TMainFrm& f, int mode) {
  for (int k = 0; k < f.TabControl1->count(); ++k)
    if (f.TabModes[k] == mode) {
      f.TabControl1->setCurrentIndex(k);
      if (f.EditorMode == mode) return;
    }
  f.SetEditorMode(mode);
  f.RefreshEditorUi(true);
}

void NewShape(TMainFrm& f, shape::TScType type, int columns, int rows) {
  f.NewShape(type, columns, rows);
  shape::UndoPush(*f.UndoRing, CurrentShape);
  f.TabControl1Change();
}

std::unique_ptr<shape::TCS> Copy() { return std::make_unique<shape::TCS>(CurrentShape); }

bool SamePoints(const shape::TCS& a, const shape::TCS& b) {
  return std::memcmp(a.CP, b.CP, sizeof a.CP) == 0;
}
bool Same(const shape::TDbl3D& a, const shape::TDbl3D& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

QAction* Item(TMainFrm& f, const char* name) { return f.findChild<QAction*>(name); }

// Checks the state of actions and menu items: "Name" enabled, "!Name" disabled, "+Name" shown,
// "-Name" hidden.
void ExpectStates(TMainFrm& f, const std::vector<const char*>& states) {
  for (const char* s : states) {
    const char kind = s[0] == '!' || s[0] == '+' || s[0] == '-' ? s[0] : ' ';
    const char* name = kind == ' ' ? s : s + 1;
    QAction* item = Item(f, name);
    ASSERT_NE(item, nullptr) << name;
    if (kind == ' ' || kind == '!') {
      EXPECT_EQ(item->isEnabled(), kind == ' ') << s;
    } else {
      EXPECT_EQ(item->isVisible(), kind == '+') << s;
    }
  }
}

}  // namespace

TEST_F(MainFrmTest, EnablingFollowsModeCountStitchTypeAndClipboard) {
  struct Case {
    const char* what;
    shape::TScType type;
    int mode;
    int selected;
    std::vector<const char*> states;
  };
  using enum shape::TScType;
  const Case cases[] = {
      {"six-sided editor, one point",
       SCTYPE_SPHERE,
       0,
       1,
       {"!EditRotate0",     "!EditHorizontal",    "!EditMagnet",
        "!EditSmooth0",     "!EditSmooth",        "EditMaximize",
        "EditOffset",       "EditInsideOut",      "EditLock",
        "ActSelectReverse", "EditFlipHorizontal", "EditAct",
        "!SidesAct",        "!SidesAll",          "!SectionAct",
        "!Section3",        "!ActBitmap1",        "-EditSameWidth",
        "-EditTWist0",      "!EditTwist",         "+EditHorizontalMirror",
        "!BitmapCopy",      "!BitmapPaste",       "!BitmapMagnet",
        "ShapeBevel",       "ShapeFillPillar",    "ShapeCushion",
        "ShapeCylinder"}},
      {"two points",
       SCTYPE_SPHERE,
       0,
       2,
       {"EditRotate0", "EditRotate1", "EditHorizontal", "EditVertical", "EditMagnet", "BitmapMagnet",
        "!EditSmooth0", "!EditSmooth", "!BitmapSmooth"}},
      {"three points",
       SCTYPE_SPHERE,
       0,
       3,
       {"EditSmooth0", "EditSmooth3", "EditSmooth", "BitmapSmooth", "EditEqual"}},
      {"texture painter",
       SCTYPE_SPHERE,
       6,
       3,
       {"!EditAct", "!EditRotate0", "!EditHorizontal", "!EditSmooth0", "!EditSmooth", "!EditMagnet",
        "!EditMaximize", "!EditOffset", "!EditInsideOut", "!EditOptimize", "-EditHorizontalMirror",
        "-EditVerticalMirror", "EditLock", "ActSelectAll", "!ActBitmap1", "!BitmapCopy"}},
      {"sculpt-image editor",
       SCTYPE_SPHERE,
       7,
       3,
       {"!EditAct", "ActBitmap1", "EditRotate0", "EditSmooth0", "EditMagnet", "!EditMaximize", "!EditOffset",
        "+EditHorizontalMirror", "BitmapCopy", "!BitmapPaste"}},
      {"sculpt-image editor, nothing selected",
       SCTYPE_SPHERE,
       7,
       0,
       {"!BitmapCopy", "!EditMagnet", "!EditEqual", "!BitmapEQLine"}},
      {"sculpt-image editor, a run of three",
       SCTYPE_SPHERE,
       7,
       3,
       {"EditEqual", "BitmapEQLine", "BitmapEQDist"}},
      {"bend editor on a torus",
       SCTYPE_TORUS,
       4,
       0,
       {"SectionAct", "Section3", "!SidesAct", "+EditSameWidth", "-EditTWist0", "!ShapeBevel",
        "!ShapeFillPillar", "!ShapeCushion", "ShapeBall", "ShapeCone"}},
      {"bend editor on a sphere",
       SCTYPE_SPHERE,
       3,
       0,
       {"SectionAct", "Section0", "+EditSameWidth", "!Sides16"}},
      {"six-sided editor on a plane",
       SCTYPE_PLANE,
       0,
       0,
       {"!ShapeBevel", "ShapeFillPillar", "!ShapeCushion"}},
      {"lathe on a cylinder",
       SCTYPE_CYLINDER,
       1,
       0,
       {"ShapeBevel", "ShapeFillPillar", "!ShapeCushion", "SidesAct", "SidesAll", "Sides16", "SidesReverse",
        "SideFolder", "SidesCustom", "+EditTWist0", "EditTWist0", "EditTwist", "-EditSameWidth",
        "!SectionAct", "!Section0"}},
      {"lathe on a plane", SCTYPE_PLANE, 1, 0, {"-EditTWist0", "!EditTwist"}},
      {"extrusion", SCTYPE_SPHERE, 2, 0, {"SidesAct", "Sides01", "+EditTWist0", "EditOptimize"}},
      {"ring", SCTYPE_SPHERE, 5, 0, {"SidesAct", "SideFolder", "!SectionAct"}},
  };
  TMainFrm& f = Open();
  QGuiApplication::clipboard()->clear();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (CurrentShape.ScType != c.type) NewShape(f, c.type, 33, 33);
    SetMode(f, c.mode);
    SelectRun(f, c.selected);
    f.IdleLoop();
    ExpectStates(f, c.states);
  }

  // The clipboard: Paste waits for a block of points.
  SetMode(f, 7);
  SelectRun(f, 2);
  f.IdleLoop();
  ExpectStates(f, {"BitmapCopy", "!BitmapPaste"});
  f.Act("BitmapCopy")->Execute();
  f.IdleLoop();
  ExpectStates(f, {"BitmapPaste"});
}

TEST_F(MainFrmTest, UndoAndRedoBeepWhenThereIsNothingToStepTo) {
  TMainFrm& f = Open();
  const int beeps = platform::BeepCount();
  Select(f, {{5, 5}});
  f.Act("EditLock")->Execute();
  f.IdleLoop();
  ASSERT_TRUE(f.Act("EditUndo")->Enabled());
  f.Act("EditUndo")->Execute();
  EXPECT_FALSE(CurrentShape.RP[5][5]);
  f.Act("EditUndo")->Execute();  // the selection step
  EXPECT_FALSE(CurrentShape.SP[5][5]);
  // Pressed again before the next idle pass: the ring is at its start, a beep and no change.
  const auto before = Copy();
  f.Act("EditUndo")->Execute();
  EXPECT_EQ(platform::BeepCount(), beeps + 1);
  EXPECT_TRUE(SamePoints(*before, CurrentShape));
  EXPECT_EQ(std::memcmp(before->SP, CurrentShape.SP, sizeof before->SP), 0);
  f.IdleLoop();
  EXPECT_FALSE(f.Act("EditUndo")->Enabled());

  // Redo steps forward; a new edit ends what can be redone, and Redo then beeps.
  ASSERT_TRUE(f.Act("EditRedo")->Enabled());
  f.Act("EditRedo")->Execute();
  EXPECT_TRUE(CurrentShape.SP[5][5]);
  f.IdleLoop();
  ASSERT_TRUE(f.Act("EditRedo")->Enabled());  // the lock is still ahead
  f.Act("EditGroup")->Execute();
  f.Act("EditRedo")->Execute();
  EXPECT_EQ(platform::BeepCount(), beeps + 2);
  EXPECT_FALSE(CurrentShape.RP[5][5]);
}

TEST_F(MainFrmTest, UndoAcrossANewShapeBringsBackItsTabsStatusAndEditors) {
  TMainFrm& f = Open();
  // File > New: a torus of 64 x 16 quads.
  mainfrm_test::OnNextDialog([&f](QDialog*) {
    f.NewDlg->ComboBox1->setCurrentIndex(1);
    f.NewDlg->ComboBox2->setCurrentText("64");
    f.NewDlg->ComboBox3->setCurrentText("16");
    f.NewDlg->OkButton->click();
  });
  f.Act("FileNew")->Execute();
  ASSERT_EQ(CurrentShape.ScType, shape::SCTYPE_TORUS);
  ASSERT_EQ(CurrentShape.CPMaxI, 65);
  const QString aspect = f.StatusText(1);
  // The extrusion editor on a line of the 65-column grid; the lathe on column 60.
  SetMode(f, 2);
  for (int k = 0; k < 12; ++k) f.spBtnGUp->click();
  editor::ScGYRAN->CurrentLine = 60;
  ASSERT_NE(editor::ScTOKOROTEN->CurrentLine, shape::UpperRimRow);
  SetMode(f, 1);
  ASSERT_EQ(f.EditorMode, 1);
  f.IdleLoop();

  f.Act("EditUndo")->Execute();
  EXPECT_EQ(CurrentShape.ScType, shape::SCTYPE_SPHERE);
  EXPECT_EQ(CurrentShape.CPMaxI, 33);
  EXPECT_EQ(f.StatusText(0), "SculptType:SPHERE");
  EXPECT_EQ(f.StatusText(1), "Aspect Ratio:32x32");
  EXPECT_EQ(f.TabControl1->count(), 7);  // the sphere's tabs, the sculpt image's among them
  EXPECT_EQ(f.EditorMode, f.TabModes[f.TabControl1->currentIndex()]);
  EXPECT_EQ(editor::ScTOKOROTEN->CurrentLine, shape::UpperRimRow);
  EXPECT_EQ(editor::ScGYRAN->CurrentLine, 8);
  EXPECT_TRUE(f.MeshDirty);
  f.IdleLoop();  // paints and rebuilds on the restored grid

  f.Act("EditRedo")->Execute();
  EXPECT_EQ(CurrentShape.ScType, shape::SCTYPE_TORUS);
  EXPECT_EQ(f.StatusText(0), "SculptType:TORUS");
  EXPECT_EQ(f.StatusText(1), aspect);
  EXPECT_EQ(f.TabModes[3], 4);  // the torus's bend editor
  f.IdleLoop();
}

TEST_F(MainFrmTest, RotateAlignSmoothAndMagnetNeedTheirPointsAndMode) {
  TMainFrm& f = Open();
  settings::AppSettings.RotateDegreeF = 90;
  struct Case {
    const char* action;
    int mode;
    int selected;
    bool changes;
  };
  const Case cases[] = {
      {"EditRotate0", 0, 1, false},  {"EditRotate0", 0, 2, true},  {"EditRotate1", 7, 5, false},
      {"EditVertical", 0, 1, false}, {"EditVertical", 0, 2, true}, {"EditVertical", 7, 5, false},
      {"EditSmooth0", 0, 2, false},  {"EditSmooth1", 6, 5, false}, {"EditSmooth1", 0, 3, true},
      {"EditMagnet", 0, 1, false},   {"EditMagnet", 0, 2, true},   {"EditMagnet", 7, 2, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.action) + " in mode " + std::to_string(c.mode) + " with " +
                 std::to_string(c.selected));
    NewShape(f, shape::SCTYPE_SPHERE, 33, 33);
    SetMode(f, c.mode);
    SelectRun(f, c.selected);
    f.IdleLoop();
    const auto before = Copy();
    const int snapshots = Snapshots(*f.UndoRing);
    // Triggered as a shortcut would, whatever the menus show.
    f.Act(c.action)->SetEnabled(true);
    f.Act(c.action)->Execute();
    EXPECT_EQ(!SamePoints(*before, CurrentShape), c.changes);
    EXPECT_EQ(Snapshots(*f.UndoRing) > snapshots, c.changes);
  }
}

TEST_F(MainFrmTest, LocksAndGroupsStoreASnapshotWithoutCommitOrTexture) {
  TMainFrm& f = Open();
  Select(f, {{4, 4}, {5, 4}});
  f.IdleLoop();
  // An uncommitted move of a point: Lock and Group leave it uncommitted.
  CurrentShape.CP[4][4][0] += 0.25;
  for (const char* name : {"EditLock", "EditUnlock", "EditLockReverse", "EditUnlockAll", "EditGroup",
                           "EditUnGroupAll", "EditGroup", "EditUnGroup"}) {
    SCOPED_TRACE(name);
    const int snapshots = Snapshots(*f.UndoRing);
    f.Act(name)->Execute();
    EXPECT_NE(CurrentShape.CP[4][4][0], CurrentShape.DP[4][4][0]);
    EXPECT_FALSE(f.TextureDirty);
    EXPECT_TRUE(f.MeshDirty);
    EXPECT_EQ(Snapshots(*f.UndoRing), snapshots + 1);
    f.IdleLoop();
  }
  f.Act("EditLock")->Execute();
  EXPECT_TRUE(CurrentShape.RP[4][4] && CurrentShape.RP[5][4] && !CurrentShape.RP[6][4]);
  f.Act("EditLockReverse")->Execute();
  EXPECT_TRUE(!CurrentShape.RP[4][4] && CurrentShape.RP[6][4]);
  f.Act("EditGroup")->Execute();
  EXPECT_GE(CurrentShape.GP[4][4], 0);
  EXPECT_EQ(CurrentShape.GP[4][4], CurrentShape.GP[5][4]);
  f.IdleLoop();

  // Reverse of the selection commits, refreshes the texture and counts what it selected.
  f.Act("ActSelectReverse")->Execute();
  EXPECT_EQ(CurrentShape.CP[4][4][0], CurrentShape.DP[4][4][0]);
  EXPECT_TRUE(f.TextureDirty);
  EXPECT_FALSE(CurrentShape.SP[4][4]);
  EXPECT_TRUE(CurrentShape.SP[6][4]);
  auto counted = Copy();
  shape::CountSelectedPoints(*counted);
  EXPECT_EQ(CurrentShape.Count, counted->Count);
  EXPECT_GT(CurrentShape.Count, 2);
  f.Act("ActSelectNone")->Execute();
  EXPECT_EQ(CurrentShape.Count, 0);
  f.Act("ActSelectAll")->Execute();
  EXPECT_GT(CurrentShape.Count, counted->Count);
}

TEST_F(MainFrmTest, FlipsAndMirrorsAskForThePlane) {
  TMainFrm& f = Open();
  // Closed without a choice: no point moves, and nothing is stored.
  for (const char* name : {"EditFlipHorizontal", "EditFlipVertical"}) {
    SCOPED_TRACE(name);
    CurrentShape.CP[3][7] = {0.5, 0.2, -0.3};
    shape::CommitShapePoints(CurrentShape);
    shape::UndoPush(*f.UndoRing, CurrentShape);
    const auto before = Copy();
    const int snapshots = Snapshots(*f.UndoRing);
    mainfrm_test::OnNextDialog([](QDialog* d) { d->reject(); });
    f.Act(name)->Execute();
    EXPECT_TRUE(SamePoints(*before, CurrentShape));
    EXPECT_EQ(Snapshots(*f.UndoRing), snapshots);
  }
  // "XY": x negated, columns reversed.
  QString caption;
  mainfrm_test::OnNextDialog([&caption, &f](QDialog* d) {
    caption = d->windowTitle();
    f.MirrorDlg->PlaneButtons[0]->click();
  });
  f.Act("EditFlipHorizontal")->Execute();
  EXPECT_EQ(caption, shape::kFlipHorizontalCaption);
  EXPECT_DOUBLE_EQ(CurrentShape.CP[29][7][0], -0.5);
  EXPECT_DOUBLE_EQ(CurrentShape.CP[29][7][2], -0.3);

  // The mirror items are captioned from the grid size.
  struct Size {
    int columns, rows;
    const char* horizontal;
    const char* vertical;
  };
  for (const Size& s : {Size{33, 33, "Mirror 80-GG from 00-7G...", "Mirror 08-GG from 00-G7..."},
                        Size{65, 17, "Mirror 00-GG from 00-FG...", "Mirror 04-GG from 00-G3..."}}) {
    NewShape(f, shape::SCTYPE_PLANE, s.columns, s.rows);
    f.IdleLoop();
    EXPECT_EQ(f.Act("EditHorizontalMirror")->Caption(), s.horizontal);
    EXPECT_EQ(f.Act("EditVerticalMirror")->Caption(), s.vertical);
  }
  // The vertical half-mirror on 17 rows across "YZ": row 0 from row 16, x about row 8's.
  const shape::TDbl3D middle = CurrentShape.CP[3][8];
  CurrentShape.CP[3][16] = {middle[0] + 0.0625, 0.25, 0.125};
  shape::CommitShapePoints(CurrentShape);
  mainfrm_test::OnNextDialog([&caption, &f](QDialog* d) {
    caption = d->windowTitle();
    f.MirrorDlg->PlaneButtons[1]->click();
  });
  f.Act("EditVerticalMirror")->Execute();
  EXPECT_EQ(caption, shape::kMirrorVerticalCaption);
  EXPECT_DOUBLE_EQ(CurrentShape.CP[3][0][0], middle[0] - 0.0625);
  EXPECT_DOUBLE_EQ(CurrentShape.CP[3][0][1], 0.25);
  EXPECT_DOUBLE_EQ(CurrentShape.CP[3][0][2], 0.125);
}

TEST_F(MainFrmTest, OffsetRunsAFreshDialogAndATurnReshapesTheGrid) {
  TMainFrm& f = Open();
  NewShape(f, shape::SCTYPE_TORUS, 65, 17);
  const auto before = Copy();
  // One column along.
  mainfrm_test::OnNextDialog([&f](QDialog* d) {
    auto* dialog = dynamic_cast<editor::TOffsetDlg*>(d);
    ASSERT_NE(dialog, nullptr);
    EXPECT_NE(dialog, f.OffsetDlg);
    dialog->ComboBox1->setCurrentText("1");
    dialog->OkButton->click();
  });
  f.Act("EditOffset")->Execute();
  EXPECT_TRUE(Same(CurrentShape.CP[1][0], before->CP[0][0]));
  // A quarter turn: 17 x 65, and the status, the tabs and the editors follow (the extrusion
  // editor was on row 12 of 17, then on row 60 of the turned grid's 65).
  SetMode(f, 2);
  editor::ScTOKOROTEN->CurrentLine = 12;
  mainfrm_test::OnNextDialog([](QDialog* d) {
    auto* dialog = static_cast<editor::TOffsetDlg*>(d);
    dialog->CheckBox2->click();
    dialog->OkButton->click();
  });
  f.Act("EditOffset")->Execute();
  EXPECT_EQ(CurrentShape.CPMaxI, 17);
  EXPECT_EQ(CurrentShape.CPMaxJ, 65);
  EXPECT_EQ(f.StatusText(1), "Aspect Ratio:16x64");
  EXPECT_EQ(f.EditorMode, f.TabModes[f.TabControl1->currentIndex()]);
  EXPECT_EQ(editor::ScTOKOROTEN->CurrentLine, shape::UpperRimRow);
  f.IdleLoop();
  SetMode(f, 2);
  editor::ScTOKOROTEN->CurrentLine = 60;
  // Undone, the grid and the status are back.
  f.Act("EditUndo")->Execute();
  EXPECT_EQ(CurrentShape.CPMaxI, 65);
  EXPECT_EQ(f.StatusText(1), "Aspect Ratio:64x16");
  EXPECT_LT(editor::ScTOKOROTEN->CurrentLine, 17);
}

TEST_F(MainFrmTest, PrismPresetsInTheLatheTakeTheTorusOrTheProfileVariant) {
  TMainFrm& f = Open();
  struct Case {
    shape::TScType type;
    int mode;
  };
  for (const Case c :
       {Case{shape::SCTYPE_TORUS, 1}, Case{shape::SCTYPE_CYLINDER, 1}, Case{shape::SCTYPE_SPHERE, 0}}) {
    SCOPED_TRACE(std::to_string(c.type) + " in mode " + std::to_string(c.mode));
    NewShape(f, c.type, 33, 33);
    SetMode(f, c.mode);
    // Some rows of the current line selected: the profile variant keeps to them.
    Select(f, {{0, 8}, {0, 9}, {0, 10}});
    f.IdleLoop();
    auto expected = Copy();
    auto other = Copy();  // what the other variant would give
    editor::TScBase* editor = f.CurrentShapeEditor;
    if (c.type == shape::SCTYPE_TORUS) {
      editor->PrismPresetTorus(*expected, 4);
      editor->PrismPreset(*other, 4, false);
    } else {
      editor->PrismPreset(*expected, 4, c.mode != 1);
      editor->PrismPreset(*other, 4, c.mode == 1);
    }
    f.Act("ShapePillar")->Execute();
    EXPECT_TRUE(SamePoints(*expected, CurrentShape));
    EXPECT_FALSE(SamePoints(*other, CurrentShape));
  }
  // Without a shape editor a preset does nothing.
  SetMode(f, 6);
  const auto before = Copy();
  f.Act("ShapeBall")->Execute();
  EXPECT_TRUE(SamePoints(*before, CurrentShape));
  // "Crystallized" is ticked and toggled.
  const bool crystallized = settings::AppSettings.Crystallized;
  f.Act("ShapeCrystallized")->Execute();
  f.IdleLoop();
  EXPECT_NE(settings::AppSettings.Crystallized, crystallized);
  EXPECT_EQ(f.Act("ShapeCrystallized")->Checked(), !crystallized);
}

TEST_F(MainFrmTest, ChannelBoxesAndStepButtonsSetTheSelectedUnlockedPoints) {
  EXPECT_EQ(editor::ChannelBoxValue("abc"), 127);
  EXPECT_EQ(editor::ChannelBoxValue(""), 127);
  EXPECT_EQ(editor::ChannelBoxValue("12x"), 127);
  EXPECT_EQ(editor::ChannelBoxValue(" 40 "), 40);
  EXPECT_EQ(editor::ChannelBoxValue("99999999999999999999"), 127);  // no 64-bit number
  EXPECT_EQ(editor::ChannelBoxValue("9999"), 255);
  TMainFrm& f = Open();
  SetMode(f, 7);
  // "Update" with one point selected: its boxes hold its values.
  Select(f, {{2, 2}});
  f.FillChannelBoxes(false);
  ASSERT_TRUE(f.spBtnXYZUpdate1->isEnabled());
  f.NEX1->setText("abc");
  f.NEY1->setText("255");
  f.NEZ1->setText("0");
  int snapshots = Snapshots(*f.UndoRing);
  QTest::mouseClick(f.spBtnXYZUpdate1, Qt::LeftButton);
  EXPECT_DOUBLE_EQ(CurrentShape.CP[2][2][0], 0.0);  // 127
  EXPECT_DOUBLE_EQ(CurrentShape.CP[2][2][1], 1.0);
  EXPECT_DOUBLE_EQ(CurrentShape.CP[2][2][2], -127.0 / 128);
  EXPECT_TRUE(f.MeshDirty);
  // Committed and stored: a later command starting from the committed points keeps it, and
  // Undo takes it back.
  EXPECT_TRUE(Same(CurrentShape.DP[2][2], CurrentShape.CP[2][2]));
  EXPECT_EQ(Snapshots(*f.UndoRing), snapshots + 1);
  // A locked point keeps its values.
  Select(f, {{2, 2}, {3, 2}});
  f.Act("EditLock")->Execute();
  Select(f, {{3, 2}});
  f.FillChannelBoxes(false);
  const shape::TDbl3D locked = CurrentShape.CP[3][2];
  QTest::mouseClick(f.spBtnXYZUpdate1, Qt::LeftButton);
  EXPECT_TRUE(Same(CurrentShape.CP[3][2], locked));
  f.Act("EditUnlockAll")->Execute();
  CurrentShape.RP[3][2] = true;
  Select(f, {{2, 2}, {3, 2}});

  // Steps of the spin edit's size, on each button's axis.
  f.SE2->setValue(8);
  struct Step {
    QToolButton* button;
    int axis;
    double delta;
  };
  for (const Step& s : {Step{f.spBtnUp2[0], 0, 8}, Step{f.spBtnDn2[0], 0, -8}, Step{f.spBtnDn2[1], 1, -8},
                        Step{f.spBtnUp2[2], 2, 8}}) {
    const shape::TDbl3D p = CurrentShape.CP[2][2];
    QTest::mouseClick(s.button, Qt::LeftButton);
    for (int k = 0; k < 3; ++k)
      EXPECT_DOUBLE_EQ(CurrentShape.CP[2][2][k], p[k] + (k == s.axis ? s.delta / 128 : 0)) << k;
    EXPECT_TRUE(Same(CurrentShape.CP[3][2], locked));
  }
  EXPECT_DOUBLE_EQ(CurrentShape.CP[2][2][2], -119.0 / 128);
  f.IdleLoop();
  f.Act("EditUndo")->Execute();
  EXPECT_DOUBLE_EQ(CurrentShape.CP[2][2][2], -127.0 / 128);  // before the last step
}

TEST_F(MainFrmTest, CopyAndPasteMovePointsThroughTheSystemClipboard) {
  settings::TAppSettings values;
  values.ThreePanesDisplay = true;
  StoreSettings(values);
  TMainFrm& f = Open();
  // The second pane shown beside the six-sided editor enables the commands.
  QTest::mouseClick(f.SpeedButton2, Qt::LeftButton);
  ASSERT_TRUE(f.Image2->isVisible());
  NewShape(f, shape::SCTYPE_PLANE, 9, 9);
  CurrentShape.CP[1][1] = {0.25, 0.5, 0.75};
  CurrentShape.CP[2][1] = {-0.25, -0.5, -0.75};
  Select(f, {{1, 1}, {2, 1}});
  f.IdleLoop();
  f.Act("BitmapCopy")->Execute();
  ASSERT_TRUE(QGuiApplication::clipboard()->mimeData()->formats().size() > 0);

  // Another shape: the block lands on the selection's box, and exactly its points are selected.
  NewShape(f, shape::SCTYPE_PLANE, 17, 17);
  Select(f, {{5, 6}, {7, 6}, {5, 3}});
  f.IdleLoop();
  ASSERT_TRUE(f.Act("BitmapPaste")->Enabled());
  f.Act("BitmapPaste")->Execute();
  EXPECT_TRUE(Same(CurrentShape.CP[5][6], shape::TDbl3D{0.25, 0.5, 0.75}));
  EXPECT_TRUE(Same(CurrentShape.CP[6][6], shape::TDbl3D{-0.25, -0.5, -0.75}));
  EXPECT_EQ(CurrentShape.Count, 2);
  EXPECT_TRUE(CurrentShape.SP[5][6] && CurrentShape.SP[6][6]);
  EXPECT_TRUE(Same(CurrentShape.DP[5][6], CurrentShape.CP[5][6]));  // committed

  // A block of the format that does not hold what it claims changes nothing.
  auto* data = new QMimeData;
  data->setData(QGuiApplication::clipboard()->mimeData()->formats().front(),
                QByteArray("\x03\0\0\0\x02\0", 6));
  QGuiApplication::clipboard()->setMimeData(data);
  f.IdleLoop();
  ASSERT_TRUE(f.Act("BitmapPaste")->Enabled());
  const auto before = Copy();
  f.Act("BitmapPaste")->Execute();
  EXPECT_TRUE(SamePoints(*before, CurrentShape));
  EXPECT_EQ(std::memcmp(before->SP, CurrentShape.SP, sizeof before->SP), 0);
  EXPECT_EQ(CurrentShape.Count, 2);
}

TEST_F(MainFrmTest, SidesAndSectionCommands) {
  TMainFrm& f = Open();
  NewShape(f, shape::SCTYPE_CYLINDER, 33, 33);
  SetMode(f, 2);
  f.IdleLoop();
  auto& marks = dynamic_cast<editor::TScLineEditor&>(*f.CurrentShapeEditor).SideMarks;
  f.Act("SidesNone")->Execute();
  EXPECT_TRUE(f.MeshDirty);
  EXPECT_TRUE(std::all_of(marks.begin(), marks.end(), [](uint8_t m) { return m == 0; }));
  f.IdleLoop();
  f.Act("Sides04")->Execute();  // runs of four
  EXPECT_TRUE(marks[0] && marks[3] && !marks[4] && !marks[7] && marks[8]);
  f.IdleLoop();
  f.Act("SidesReverse")->Execute();
  EXPECT_TRUE(!marks[0] && marks[4]);
  // The Custom dialog's buttons run the same commands.
  mainfrm_test::OnNextDialog([&f](QDialog* d) {
    f.SidesDlg->SelectAllButton->click();
    d->accept();
  });
  f.IdleLoop();
  f.Act("SidesCustom")->Execute();
  EXPECT_TRUE(std::all_of(marks.begin(), marks.end(), [](uint8_t m) { return m == 1; }));

  // Sections: one ticked at a time, executing one makes it current and rebuilds the band.
  ASSERT_EQ(f.SectionMenu->actions().size(), 8);
  NewShape(f, shape::SCTYPE_SPHERE, 33, 33);
  SetMode(f, 3);
  f.IdleLoop();
  const auto before = Copy();
  f.Act("Section3")->Execute();
  f.IdleLoop();
  EXPECT_EQ(editor::CurrentSection, 3);
  EXPECT_TRUE(f.Act("Section3")->Checked());
  EXPECT_FALSE(f.Act("Section0")->Checked());
  EXPECT_EQ(f.Act("Section5")->Caption(), "ROUND-SQUARE2");
  EXPECT_EQ(f.Act("Section5")->Category, "Section");
  EXPECT_EQ(f.ImageList1.size(), 6u);  // the glyphs of sections 2 to 7
  EXPECT_TRUE(f.Act("Section1")->Action()->icon().isNull());
  EXPECT_FALSE(f.Act("Section2")->Action()->icon().isNull());
  EXPECT_FALSE(SamePoints(*before, CurrentShape));
  f.Act("Section0")->Execute();
}

TEST_F(MainFrmTest, ButtonsUnderTheMainPane) {
  TMainFrm& f = Open();
  // View sides: the editor looks from the button's side.
  QTest::mouseClick(f.SideBtn[2], Qt::LeftButton);
  EXPECT_EQ(f.CurrentShapeEditor->ViewSide, 2);
  EXPECT_TRUE(f.SideBtn[2]->isChecked());

  // The current line of the lathe, its label and mark.
  SetMode(f, 1);
  f.IdleLoop();
  const int line = f.CurrentShapeEditor->CurrentLine;
  QTest::mouseClick(f.spBtnGUp, Qt::LeftButton);
  EXPECT_NE(f.CurrentShapeEditor->CurrentLine, line);
  std::string label;
  f.CurrentShapeEditor->CurrentLineLabel(CurrentShape, label);
  EXPECT_EQ(f.spBtnGLk->text().toStdString(), label);
  const bool marked = f.CurrentShapeEditor->IsCurrentLineMarked();
  QTest::mouseClick(f.spBtnGLk, Qt::LeftButton);
  EXPECT_NE(f.CurrentShapeEditor->IsCurrentLineMarked(), marked);
  EXPECT_EQ(f.spBtnGLk->isChecked(), !marked);
  QTest::mouseClick(f.spBtnGDn, Qt::LeftButton);
  EXPECT_EQ(f.CurrentShapeEditor->CurrentLine, line);

  // The edit mode: Worp shows the apply button, which commits the frame's points.
  f.CBRgMode->setCurrentIndex(1);
  emit f.CBRgMode->activated(1);
  EXPECT_EQ(f.CurrentEditor->EditMode, editor::EDIT_WORP);
  EXPECT_TRUE(f.SBRgModeUpdate->isVisible());
  f.IdleLoop();
  CurrentShape.CP[0][3][2] += 0.125;
  QTest::mouseClick(f.SBRgModeUpdate, Qt::LeftButton);
  EXPECT_TRUE(Same(CurrentShape.DP[0][3], CurrentShape.CP[0][3]));
  emit f.CBRgMode->activated(0);

  // Pens and eraser of the texture painter; the second pen's glyph is red on a clear ground.
  SetMode(f, 6);
  const QImage glyph = f.SpBtnPen[1]->icon().pixmap(16, 16).toImage();
  EXPECT_EQ(glyph.pixel(8, 8), qRgb(255, 0, 0));
  EXPECT_EQ(qAlpha(glyph.pixel(0, 0)), 0);
  settings::AppSettings.PenColors[2] = 0x123456;
  QTest::mouseClick(f.SpBtnPen[2], Qt::LeftButton);
  EXPECT_EQ(settings::AppSettings.PenColor, 0x123456);
  EXPECT_EQ(editor::TxDraw->DrawMode, editor::TXDRAW_PEN);
  QTest::mouseClick(f.SpBtnErase, Qt::LeftButton);
  EXPECT_EQ(editor::TxDraw->DrawMode, editor::TXDRAW_ERASER);
  f.RefreshEditorUi(false);
  EXPECT_TRUE(f.SpBtnErase->isChecked());
  // Back to the pen: the button of the current colour; none when no pen has it.
  editor::TxDraw->DrawMode = editor::TXDRAW_PEN;
  f.RefreshEditorUi(false);
  EXPECT_TRUE(f.SpBtnPen[2]->isChecked());
  settings::AppSettings.PenColor = 0x010101;
  f.RefreshEditorUi(false);
  for (QToolButton* b : {f.SpBtnPen[0], f.SpBtnPen[1], f.SpBtnPen[2], f.SpBtnPen[3], f.SpBtnErase})
    EXPECT_FALSE(b->isChecked());
  f.CBPenWidth->setCurrentIndex(4);
  emit f.CBPenWidth->activated(4);
  EXPECT_EQ(settings::AppSettings.PenWidth, 20);
}

TEST(CommandGlyphs, PenGlyphPixels) {
  const platform::TColor c = platform::RGB(200, 100, 50);
  platform::TBitmap bitmap(16, 16);
  editor::DrawPenGlyph(bitmap, c);
  platform::TCanvas canvas(bitmap);
  struct Pixel {
    int x, y;
    platform::TColor color;
  };
  const Pixel pixels[] = {
      {8, 8, c},  // inside the ellipse
      {7, 1, c},
      {4, 2, c},
      {1, 6, c},                            // the lines round it
      {1, 5, platform::RGB(190, 95, 48)},   // 0.95, 47.5 to the even 48
      {9, 1, platform::RGB(180, 90, 45)},   // 0.9
      {14, 7, platform::RGB(170, 85, 42)},  // 0.85, 42.5 to 42
      {6, 14, platform::RGB(160, 80, 40)},  // 0.8
      {0, 0, 0},
      {15, 15, 0},
      {15, 7, 0},  // the ground stays
  };
  for (const Pixel& p : pixels) EXPECT_EQ(canvas.Pixels(p.x, p.y) & 0xFFFFFF, p.color) << p.x << "," << p.y;
}

TEST(CommandGlyphs, SectionGlyphsDrawTheProfileOnWhite) {
  for (int type = 2; type < editor::SectionTypeCount; ++type) {
    SCOPED_TRACE(type);
    platform::TBitmap bitmap;
    editor::DrawSectionGlyph(bitmap, type);
    ASSERT_EQ(bitmap.Width(), 16);
    platform::TCanvas canvas(bitmap);
    editor::TIconPixel points[33];
    editor::SectionIconPixels(type, points);
    for (int k = 0; k < 32; ++k) EXPECT_EQ(canvas.Pixels(points[k].X, points[k].Y) & 0xFFFFFF, 0) << k;
    int white = 0;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) white += (canvas.Pixels(x, y) & 0xFFFFFF) == 0xFFFFFF;
    EXPECT_GT(white, 128);
  }
  // Point 0 of every profile, (0, 0), is drawn at (0, 8): 7.5 goes to the even 8.
  platform::TBitmap square;
  editor::DrawSectionGlyph(square, 2);
  platform::TCanvas canvas(square);
  EXPECT_EQ(canvas.Pixels(0, 8) & 0xFFFFFF, 0);
}

TEST_F(MainFrmTest, HelpAboutShowsTheAboutDialog) {
  TMainFrm& f = Open();
  QDialog* shown = nullptr;
  mainfrm_test::OnNextDialog([&shown](QDialog* d) {
    shown = d;
    d->accept();
  });
  f.Act("HelpAbout")->Execute();
  EXPECT_EQ(shown, static_cast<QDialog*>(f.AboutDlg));
}
