// The main window headless: start-up with and without a file, the tabs of each stitch type,
// the road of one edit through the idle loop, pane input, the view commands, the pane layout,
// the plug-in commands and the shut-down.
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QDialog>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QSlider>
#include <QTabBar>
#include <QTimer>
#include <QToolButton>
#include <cmath>
#include <cstring>
#include <fstream>

#include "editor/controls/NumEdit.h"
#include "editor/editors/uScDODUDA.h"
#include "editor/editors/uScMAGE.h"
#include "editor/mainwin/PreviewScene.h"
#include "editor/panes/ScBitmap.h"
#include "editor/panes/TxDraw.h"
#include "editor/tests/MainFrmTestUtil.h"
#include "platform/ui/Application.h"
#include "platform/ui/Keys.h"
#include "scene3d/platform/GL3DSceneViewer.h"
#include "scene3d/scene/objects/GLCube.h"
#include "shape/SculptImage.h"
#include "shape/model/uScSelect.h"

using editor::TMainFrm;
using mainfrm_test::MainFrmTest;
using shape::CurrentShape;
namespace fs = std::filesystem;

namespace {

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new mainfrm_test::ProgramEnvironment);

QStringList Tabs(const TMainFrm& f) {
  QStringList tabs;
  for (int k = 0; k < f.TabControl1->count(); ++k) tabs << f.TabControl1->tabText(k);
  return tabs;
}

// Writes a sculpt map of the shape type and size through the program's own writer.
std::string WriteMap(const std::string& name, shape::TScType type, int columns, int rows) {
  auto cs = std::make_unique<shape::TCS>();
  shape::InitShape(*cs, type, columns, rows);
  std::string file = name;
  EXPECT_TRUE(shape::WriteSculptMap(*cs, file));
  shape::SetGridSize(CurrentShape);
  return file;
}

}  // namespace

TEST_F(MainFrmTest, StartsWithTheDefaultSphereAndOneSnapshot) {
  TMainFrm& f = Open();
  EXPECT_FALSE(f.Starting);
  EXPECT_EQ(f.StatusText(0), "SculptType:SPHERE");
  EXPECT_EQ(f.StatusText(1), "Aspect Ratio:32x32");
  EXPECT_EQ(f.StatusText(2), "Sculpted Prim:Initial Data");
  EXPECT_EQ(f.StatusText(3), "Texture:Initial Data");
  EXPECT_EQ(Snapshots(*f.UndoRing), 1);
  EXPECT_EQ(f.EditorMode, 0);
  EXPECT_EQ(f.CurrentEditor, static_cast<editor::TEditBase*>(editor::ScDODUDA));
  EXPECT_EQ(f.windowTitle(), "ZEPHOR6");
  EXPECT_EQ(f.LastSaveFilter, -1);
  EXPECT_EQ(f.CBPenWidth->count(), 7);
  EXPECT_EQ(f.CBPenWidth->itemText(3), "10px");
  EXPECT_EQ(f.CBPenWidth->currentIndex(), 1);  // "PenWdith" 3
  EXPECT_TRUE(boxes.shown.empty());
  // The Bitmap menu item is shown without the second pane, which is then hidden.
  EXPECT_TRUE(f.BitmapMenu->menuAction()->isVisible());
  EXPECT_TRUE(f.Panel3->isHidden());
  // Without plug-ins the Tools menu stays hidden.
  EXPECT_FALSE(f.ToolsMenu->menuAction()->isVisible());
  // The menu bar, and the Bitmap menu with the captions it gives some of the Edit commands.
  QStringList titles;
  for (QAction* a : f.ActionMainMenuBar1->actions()) titles << a->text();
  EXPECT_EQ(titles, QStringList({"&File", "&Edit", "&Shape", "&View", "Si&des", "Se&ction", "&Tools",
                                 "&Bitmap", "&Help"}));
  QStringList items;
  for (QAction* a : f.BitmapMenu->actions()) items << a->text().section('\t', 0, 0);
  EXPECT_EQ(items, QStringList({"&Undo", "&Redo", "&Copy", "&Paste", "&Equal Intervals", "E&qual Distance",
                                "&Smooth", "&Magnet"}));
  EXPECT_EQ(f.Act("EditRedo")->Caption(), "Re&do");
}

TEST_F(MainFrmTest, StartsWithTheFileOfTheFirstArgument) {
  struct Case {
    const char* what;
    std::string file;
    bool opened;
    const char* warning;  // the start of the one warning shown, or nullptr for none
  };
  const std::string torus = WriteMap(File("torus.tga").string(), shape::SCTYPE_TORUS, 33, 33);
  { std::ofstream(File("damaged.tga"), std::ios::binary) << "TRUEVISION-XFILE damaged"; }
  fs::create_directories(File("maps.tga"));
  // A file that exists but cannot be read, and a folder, are named in a warning; a name that
  // names nothing is ignored.
  const Case cases[] = {
      {"a torus map", torus, true, nullptr},
      {"a damaged map", File("damaged.tga").string(), false, "The file \"damaged.tga\" could not be read."},
      {"a name that does not exist", File("missing.tga").string(), false, nullptr},
      {"a folder", File("maps.tga").string(), false,
       "The file \"maps.tga\" could not be read.\r\nIt is a folder"},
      {"a folder with a slash", File("maps.tga").string() + "/", false,
       "The file \"maps.tga\" could not be read."}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    boxes.shown.clear();
    fs::remove(settingsFile_);  // the window of the case before stored its last file there
    settings::AppSettings = settings::TAppSettings();
    TMainFrm& f = Open({c.file});
    EXPECT_EQ(Snapshots(*f.UndoRing), 1);
    if (c.opened) {
      EXPECT_EQ(CurrentShape.ScType, shape::SCTYPE_TORUS);
      EXPECT_EQ(f.StatusText(0), "SculptType:TORUS");
      EXPECT_EQ(f.StatusText(2), "Sculpted Prim:torus.tga");
      EXPECT_EQ(settings::AppSettings.SclpFile, c.file);
      EXPECT_TRUE(boxes.shown.empty());
      // Named from the folder the program was started in, it is remembered with its folder.
      const fs::path start = fs::current_path();
      fs::current_path(dir_);
      form.reset();
      fs::remove(settingsFile_);
      settings::AppSettings = settings::TAppSettings();
      TMainFrm& g = Open({"torus.tga"});
      fs::current_path(start);
      EXPECT_EQ(g.StatusText(0), "SculptType:TORUS");
      EXPECT_EQ(settings::AppSettings.SclpFile, c.file);
    } else {
      EXPECT_EQ(CurrentShape.ScType, shape::SCTYPE_SPHERE);
      EXPECT_EQ(f.StatusText(2), "Sculpted Prim:Initial Data");
      EXPECT_EQ(settings::AppSettings.SclpFile, "");
      ASSERT_EQ(boxes.shown.size(), c.warning ? 1u : 0u);
      if (c.warning) {
        EXPECT_EQ(boxes.shown[0].rfind(c.warning, 0), 0u) << boxes.shown[0];
      }
    }
    form.reset();
  }
}

TEST_F(MainFrmTest, TabsFollowTheStitchTypeAndTheSecondPane) {
  struct Case {
    shape::TScType type;
    bool threePanes;
    uint8_t modes[7];
  };
  const Case cases[] = {
      {shape::SCTYPE_SPHERE, true, {0, 1, 2, 3, 5, 6, 8}},
      {shape::SCTYPE_SPHERE, false, {0, 1, 2, 3, 5, 7, 6}},
      {shape::SCTYPE_TORUS, true, {0, 1, 2, 4, 5, 6, 8}},
      {shape::SCTYPE_TORUS, false, {0, 1, 2, 4, 5, 7, 6}},
      {shape::SCTYPE_PLANE, true, {0, 6, 8, 8, 8, 8, 8}},
      {shape::SCTYPE_PLANE, false, {0, 7, 6, 8, 8, 8, 8}},
      {shape::SCTYPE_CYLINDER, true, {0, 1, 2, 3, 5, 6, 8}},
      {shape::SCTYPE_CYLINDER, false, {0, 1, 2, 3, 5, 7, 6}},
  };
  for (const Case& c : cases) {
    uint8_t modes[7];
    editor::TabModesFor(c.type, c.threePanes, modes);
    for (int k = 0; k < 7; ++k) EXPECT_EQ(modes[k], c.modes[k]) << c.type << " " << c.threePanes << " " << k;
  }
  TMainFrm& f = Open();
  f.NewShape(shape::SCTYPE_PLANE, 33, 33);
  EXPECT_EQ(Tabs(f), QStringList({"DODUDA", "Bitmap", "Texture"}));
  EXPECT_EQ(f.StatusText(0), "SculptType:PLANE");
  f.NewShape(shape::SCTYPE_TORUS, 65, 17);
  EXPECT_EQ(Tabs(f), QStringList({"DODUDA", "GYRAN", "TOKOROTEN", "MAGE", "WAPPA", "Bitmap", "Texture"}));
  EXPECT_EQ(f.StatusText(1), "Aspect Ratio:64x16");
  f.TabControl1->setCurrentIndex(3);
  EXPECT_EQ(f.EditorMode, 4);  // the torus bend
  EXPECT_EQ(f.CurrentShapeEditor, static_cast<editor::TScBase*>(editor::ScMAGETorus));
  f.TabControl1->setCurrentIndex(6);
  EXPECT_EQ(f.EditorMode, 6);
  EXPECT_EQ(f.CurrentShapeEditor, nullptr);
  EXPECT_FALSE(f.SpBtnPen[0]->isHidden());
  EXPECT_TRUE(f.CBEv->isHidden());
}

TEST_F(MainFrmTest, InputBeforeTheFirstShowChangesNothing) {
  TMainFrm& f = Open({}, false);
  ASSERT_TRUE(f.Starting);
  const shape::TDbl3D before = CurrentShape.CP[16][16];
  const bool meshDirty = f.MeshDirty;
  f.Image1MouseDown(platform::mbLeft, platform::ssLeft, 200, 200);
  f.Image1MouseMove(platform::ssLeft, 230, 170);
  f.Image1MouseUp(platform::mbLeft, platform::TShiftState(), 230, 170);
  f.FormKeyUp(platform::VK_LEFT, platform::TShiftState());
  f.FormMouseWheel(120, QPoint(100, 100));
  EXPECT_EQ(f.PaneRequest, 0);
  EXPECT_EQ(f.MeshDirty, meshDirty);
  EXPECT_EQ(CurrentShape.Count, 0);
  EXPECT_EQ(CurrentShape.CP[16][16][0], before[0]);
  EXPECT_EQ(f.Preview->FocalLength(), editor::kCameraFocalLength);
  std::vector<std::string> steps;
  f.OnIdleStep = [&](const char* s) { steps.emplace_back(s); };
  f.IdleLoop();
  EXPECT_TRUE(steps.empty());
}

TEST_F(MainFrmTest, OneDragRebuildsTheMeshOnceAtTheNextIdlePass) {
  settings::TAppSettings values;
  values.DodudaSurface = false;
  StoreSettings(values);
  TMainFrm& f = Open();
  std::vector<std::string> steps;
  f.OnIdleStep = [&](const char* s) { steps.emplace_back(s); };
  f.IdleLoop();
  steps.clear();
  const int snapshots = Snapshots(*f.UndoRing);
  // A point of the sphere's equator, dragged in ten moves.
  const platform::TPoint q = editor::ScDODUDA->PointToScreen(CurrentShape.CP[0][16]);
  const QPoint p(q.X, q.Y);
  const auto before = std::make_unique<shape::TCS>(CurrentShape);
  Press(f.Image1, p);
  for (int k = 1; k <= 10; ++k) DragMove(f.Image1, p + QPoint(2 * k, -k));
  EXPECT_EQ(f.PaneRequest, 1);
  EXPECT_FALSE(f.MeshDirty);  // the moves never touch the mesh
  Release(f.Image1, p + QPoint(20, -10));
  EXPECT_EQ(CurrentShape.Count, 1);
  EXPECT_NE(std::memcmp(&CurrentShape.CP, &before->CP, sizeof before->CP), 0);
  EXPECT_TRUE(f.MeshDirty);
  EXPECT_TRUE(f.TextureDirty);
  EXPECT_EQ(Snapshots(*f.UndoRing), snapshots + 1);
  f.PlaneDirty = true;
  f.IdleLoop();
  EXPECT_EQ(steps, (std::vector<std::string>{"mesh", "texture", "plane", "pane"}));
  EXPECT_EQ(f.PaneRequest, 0);
  steps.clear();
  f.IdleLoop();
  EXPECT_TRUE(steps.empty());
}

TEST_F(MainFrmTest, ThePaneKeepsItsPictureWhenItIsShownAgainOrResized) {
  TMainFrm& f = Open();
  auto ink = [&f] {
    const QImage image = f.Image1->Surface().Image();
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) n += (image.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF;
    return n;
  };
  QCoreApplication::processEvents();
  f.IdleLoop();
  QCoreApplication::processEvents();
  const int drawn = ink();
  ASSERT_GT(drawn, 500);
  // Shown again (an expose, another window moved away): the editor's picture, not the ground.
  f.Image1->Invalidate();
  QCoreApplication::processEvents();
  EXPECT_EQ(ink(), drawn);
  // Resized: the editor draws anew at the next idle pass, whatever comes first, that pass or
  // the pane's own paint.
  f.Image1->resize(f.Image1->width() + 30, f.Image1->height() - 20);
  EXPECT_NE(f.PaneRequest, 0);
  const QImage grown = f.Image1->Surface().Image();
  EXPECT_EQ(grown.pixel(grown.width() - 1, 0) & 0xFFFFFF, 0xFFFFFFu);  // the gained strip: the ground
  f.IdleLoop();
  QCoreApplication::processEvents();
  EXPECT_GT(ink(), 500);
}

TEST_F(MainFrmTest, OnlyTheLeftButtonReachesTheEditor) {
  TMainFrm& f = Open();
  const platform::TPoint q = editor::ScDODUDA->PointToScreen(CurrentShape.CP[8][16]);
  Press(f.Image1, QPoint(q.X, q.Y), Qt::RightButton);
  EXPECT_TRUE(f.PopupMenu1->isVisible());
  EXPECT_FALSE(editor::ScDODUDA->MouseIsDown);
  f.PopupMenu1->close();
  Release(f.Image1, QPoint(q.X, q.Y), Qt::RightButton);
  EXPECT_EQ(CurrentShape.Count, 0);
  EXPECT_EQ(Snapshots(*f.UndoRing), 1);
}

TEST_F(MainFrmTest, AStrokeOfTheTexturePainterStoresNoSnapshot) {
  TMainFrm& f = Open();
  f.TabControl1->setCurrentIndex(f.TabControl1->count() - 1);
  ASSERT_EQ(f.EditorMode, 6);
  f.IdleLoop();
  f.MeshDirty = false;
  f.TextureDirty = false;
  const QPoint c = f.Image1->rect().center();
  Press(f.Image1, c);
  DragMove(f.Image1, c + QPoint(15, 5));
  Release(f.Image1, c + QPoint(15, 5));
  EXPECT_TRUE(f.TextureDirty);
  EXPECT_FALSE(f.MeshDirty);
  EXPECT_EQ(Snapshots(*f.UndoRing), 1);
}

TEST_F(MainFrmTest, ChannelBoxesShowTheOneSelectedPoint) {
  TMainFrm& f = Open();
  shape::FillPointFlags(CurrentShape.SP, CurrentShape.CPMaxI, CurrentShape.CPMaxJ, false);
  CurrentShape.SP[3][5] = true;
  CurrentShape.SP[4][5] = true;
  shape::CountSelectedPoints(CurrentShape);
  f.FillChannelBoxes(false);
  EXPECT_FALSE(f.NEX1->isEnabled());
  EXPECT_FALSE(f.spBtnXYZUpdate1->isEnabled());
  CurrentShape.SP[3][5] = false;
  shape::CountSelectedPoints(CurrentShape);
  f.FillChannelBoxes(false);
  int32_t r = 0, g = 0, b = 0;
  shape::PointChannelValues(CurrentShape.CP, 4, 5, r, g, b);
  EXPECT_TRUE(f.NEX1->isEnabled());
  EXPECT_EQ(f.NEX1->text(), QString::number(r));
  EXPECT_EQ(f.NEY1->text(), QString::number(g));
  EXPECT_EQ(f.NEZ1->text(), QString::number(b));
  // The boxes take digits only, right-aligned.
  f.NEX1->clear();
  QTest::keyClicks(f.NEX1, "a1-b2.");
  EXPECT_EQ(f.NEX1->text(), "12");
  EXPECT_TRUE(f.NEX1->alignment() & Qt::AlignRight);
  f.NEX1->SetNumOnly(false);
  QTest::keyClicks(f.NEX1, "x");
  EXPECT_EQ(f.NEX1->text(), "12x");
  struct Value {
    int32_t v;
    const char* text;
  };
  for (const Value& v : {Value{-5, "000"}, Value{0, "000"}, Value{7, "007"}, Value{99, "099"},
                         Value{254, "254"}, Value{255, "255"}, Value{300, "255"}})
    EXPECT_EQ(editor::FormatChannelValue(v.v), v.text);
}

TEST_F(MainFrmTest, AKeyOverTheSecondPaneReachesTheSculptImageEditor) {
  settings::TAppSettings values;
  values.ThreePanesDisplay = true;
  StoreSettings(values);
  TMainFrm& f = Open();
  EXPECT_FALSE(f.BitmapMenu->menuAction()->isVisible());
  f.SpeedButton2->click();
  ASSERT_TRUE(f.SecondPaneShown);
  EXPECT_GE(f.Panel3->width(), 272);
  shape::FillPointFlags(CurrentShape.SP, CurrentShape.CPMaxI, CurrentShape.CPMaxJ, false);
  CurrentShape.SP[10][10] = true;
  shape::CountSelectedPoints(CurrentShape);
  shape::CommitShapePoints(CurrentShape);
  const shape::TDbl3D before = CurrentShape.CP[10][10];
  // Over the second pane the arrow key nudges the point's x channel, whatever editor is current.
  QCursor::setPos(f.Image2->mapToGlobal(f.Image2->rect().center()));
  f.FormKeyUp(platform::VK_RIGHT, platform::TShiftState());
  EXPECT_NE(CurrentShape.CP[10][10][0], before[0]);
  EXPECT_EQ(f.EditorMode, 0);
}

TEST_F(MainFrmTest, TheWheelZoomsTheViewWithinItsLimits) {
  TMainFrm& f = Open();
  const QPoint view = f.GL3DSceneViewer1->mapTo(&f, f.GL3DSceneViewer1->rect().center());
  f.FormMouseWheel(120, view);
  EXPECT_FLOAT_EQ(f.Preview->FocalLength(), 102.0f);
  f.FormMouseWheel(-120, view);
  EXPECT_NEAR(f.Preview->FocalLength(), 100.0f, 1e-4);
  f.Preview->SetFocalLength(299);
  f.FormMouseWheel(240, view);
  EXPECT_EQ(f.Preview->FocalLength(), 300.0f);
  f.Preview->SetFocalLength(51);
  f.FormMouseWheel(-360, view);
  EXPECT_EQ(f.Preview->FocalLength(), 50.0f);

  // Over the main pane, on its left edge: about the pane's origin; inside it: about the mouse.
  editor::TEditBase& e = *f.CurrentEditor;
  const double scale = e.Scale;
  QCursor::setPos(f.Image1->mapToGlobal(QPoint(0, 40)));
  for (int k = 0; k < 3; ++k) f.FormMouseWheel(120, f.Image1->mapTo(&f, QPoint(0, 40)));
  EXPECT_GT(e.Scale, scale);
  EXPECT_EQ(e.OffsetX, 0);
  EXPECT_EQ(e.OffsetY, 0);
  EXPECT_EQ(f.PaneRequest, 2);
  QCursor::setPos(f.Image1->mapToGlobal(QPoint(20, 40)));
  for (int k = 0; k < 3; ++k) f.FormMouseWheel(120, f.Image1->mapTo(&f, QPoint(20, 40)));
  EXPECT_NE(e.OffsetX, 0);
}

TEST_F(MainFrmTest, ScrollBarsScrollInBothModes) {
  TMainFrm& f = Open();
  editor::TEditBase& e = *f.CurrentEditor;
  ASSERT_EQ(f.ScrollBarW1->maximum(), 4);
  ASSERT_EQ(f.ScrollBarW1->value(), 2);
  const int32_t x0 = e.OffsetX;
  f.ScrollBarW1->setValue(4);
  EXPECT_EQ(f.ScrollBarW1->value(), 2);  // springs back to the middle
  EXPECT_NE(e.OffsetX, x0);
  const int32_t twoSteps = e.OffsetX - x0;
  f.ScrollBarW1->setValue(3);
  EXPECT_EQ(f.ScrollBarW1->value(), 2);
  EXPECT_GT((e.OffsetX - x0) * twoSteps, twoSteps * twoSteps);  // further the same way
  form.reset();

  settings::TAppSettings values;
  values.SmartScrollBar = false;
  StoreSettings(values);
  TMainFrm& g = Open();
  editor::TEditBase& h = *g.CurrentEditor;
  ASSERT_EQ(g.ScrollBarW1->maximum(), 100);
  g.ScrollBarW1->setValue(80);
  const int32_t moved = h.OffsetX;
  int32_t px = 0, py = 0;
  h.GetScrollPos(px, py);
  EXPECT_EQ(px, 80);
  // The view moved otherwise: the bars follow without scrolling it again.
  h.OffsetBy(-40, 0);
  const int32_t now = h.OffsetX;
  g.SyncScrollBars();
  h.GetScrollPos(px, py);
  EXPECT_EQ(g.ScrollBarW1->value(), px);
  EXPECT_EQ(h.OffsetX, now);
  EXPECT_NE(now, moved);
}

TEST_F(MainFrmTest, ViewCommandsAndControls) {
  TMainFrm& f = Open();
  f.ActionManager1.UpdateActions();
  f.Act("ViewLevel04")->Execute();
  EXPECT_EQ(settings::AppSettings.ViewLevel, 4);
  EXPECT_EQ(settings::AppSettings.EditLevel, 4);
  EXPECT_EQ(f.CBEv->currentText(), "Far");
  EXPECT_TRUE(f.MeshDirty);
  f.ActionManager1.UpdateActions();
  EXPECT_TRUE(f.Act("ViewLevel04")->Checked());
  EXPECT_FALSE(f.Act("ViewLevel01")->Checked());
  // The edit level alone.
  f.CBEv->activated(0);
  EXPECT_EQ(settings::AppSettings.EditLevel, 1);
  EXPECT_EQ(settings::AppSettings.ViewLevel, 4);

  f.TrackBarY->setValue(25);
  EXPECT_DOUBLE_EQ(settings::ObjectSize[1], 2.5);
  EXPECT_TRUE(f.PlaneDirty);
  // The frame cube is the modelling cube at the normalised scales.
  EXPECT_FLOAT_EQ(f.Preview->GLCube1->CubeWidth(), static_cast<float>(2 * settings::AxisScales[0]));
  EXPECT_FLOAT_EQ(f.Preview->GLCube1->CubeHeight(), static_cast<float>(2 * settings::AxisScales[1]));
  EXPECT_FLOAT_EQ(f.Preview->GLCube1->CubeDepth(), static_cast<float>(2 * settings::AxisScales[2]));
  EXPECT_GT(settings::AxisScales[1], settings::AxisScales[0]);

  f.CBCubeDisp->click();
  EXPECT_FALSE(settings::AppSettings.CubeOfPreview);
  EXPECT_FALSE(f.Preview->FrameVisible());

  f.Act("Zoom04")->Execute();
  EXPECT_EQ(f.CurrentEditor->GetZoomLevel(), 4);
  EXPECT_EQ(f.PaneRequest, 2);
  f.ActionManager1.UpdateActions();
  EXPECT_TRUE(f.Act("Zoom04")->Checked());

  // The 3D pane collapses to 12 pixels and comes back.
  f.SpeedButton1->click();
  EXPECT_EQ(f.Panel2->width(), 12);
  EXPECT_TRUE(f.ActionMainMenuBar2->isHidden());
  f.SpeedButton1->click();
  EXPECT_EQ(f.Panel2->width(), 412);

  // The View menu is disabled for the texture painter and the sculpt-image editor.
  f.TabControl1->setCurrentIndex(f.TabControl1->count() - 1);
  f.IdleLoop();
  EXPECT_FALSE(f.ViewMenu->menuAction()->isEnabled());
  EXPECT_FALSE(f.Act("ViewLevel01")->Enabled());
}

TEST_F(MainFrmTest, TheWindowKeepsItsMinimumSizeAndTheSecondPaneItsWidth) {
  settings::TAppSettings values;
  values.ThreePanesDisplay = true;
  StoreSettings(values);
  TMainFrm& f = Open();
  f.resize(800, 500);
  QCoreApplication::processEvents();
  EXPECT_GE(f.frameGeometry().width(), 1024);
  EXPECT_GE(f.frameGeometry().height(), 710);
  EXPECT_EQ(f.PaneRequest, 3);

  // Open: the table's width for the grid, but never below 272 nor more than the window allows.
  f.SecondPaneShown = true;
  f.SecondPaneWidth = -1;
  f.LayoutSecondPane();
  EXPECT_EQ(f.SecondPaneContentWidth(), 34 * 15 + 1 + 36);
  EXPECT_EQ(f.Panel3->width(), std::max(272, std::min(547, f.width() - f.Panel1->x() - 100)));
  f.NewShape(shape::SCTYPE_PLANE, 9, 129);
  f.SecondPaneWidth = -1;
  f.LayoutSecondPane();
  EXPECT_EQ(f.Panel3->width(), 272);
  f.SecondPaneShown = false;
  f.LayoutSecondPane();
  EXPECT_EQ(f.Panel3->width(), 12);
  EXPECT_TRUE(f.Panel4->isHidden());
  EXPECT_FALSE(f.Splitter2->isEnabled());
}

TEST_F(MainFrmTest, PluginCommandTakesTheNewShape) {
  TMainFrm& f = Open({}, true, fs::path(ZEPHOR_BIN_DIR));
  ASSERT_TRUE(f.ToolsMenu->menuAction()->isVisible());
  ASSERT_GE(f.PluginHandles.Count(), 1);
  platform::TAction* tool = nullptr;
  for (const auto& a : f.ActionManager1.Actions())
    if (a->Category == "Tools" && a->Caption() == "Polyhedron") tool = a.get();
  ASSERT_NE(tool, nullptr);
  f.SetSelectionAll(true);
  const int before = Snapshots(*f.UndoRing);
  // The plug-in's dialog is answered with OK as soon as it shows.
  std::function<void(int)> poll = [&](int tries) {
    if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
      d->accept();
    else if (tries > 0)
      QTimer::singleShot(10, [&, tries] { poll(tries - 1); });
  };
  QTimer::singleShot(0, [&] { poll(300); });
  f.ActionManager1.UpdateActions();
  ASSERT_TRUE(tool->Execute());
  EXPECT_EQ(f.StatusText(2), "Sculpted Prim:Plug-in Data");
  EXPECT_EQ(f.StatusText(3), "Texture:Initial Data");
  EXPECT_EQ(CurrentShape.Count, 0);
  EXPECT_EQ(Snapshots(*f.UndoRing), before + 1);
  EXPECT_TRUE(f.MeshDirty);
  // Outside the six-sided editor the command is disabled.
  f.TabControl1->setCurrentIndex(1);
  f.IdleLoop();
  EXPECT_FALSE(tool->Enabled());
  EXPECT_FALSE(f.ToolsMenu->menuAction()->isEnabled());
}

TEST_F(MainFrmTest, ShutDownSavesTheSettingsOrWarns) {
  {
    TMainFrm& f = Open();
    settings::AppSettings.GridRad = 48;
    (void)f;
    form.reset();
  }
  settings::AppSettings = settings::TAppSettings();
  settings::LoadAppSettings();
  EXPECT_EQ(settings::AppSettings.GridRad, 48);
  EXPECT_TRUE(boxes.shown.empty());
  // A settings file that cannot be written: a warning, and the window goes all the same.
  Open();
  std::ofstream(File("blocker")) << "a file where a folder should be";
  settings::SetSettingsFileName((File("blocker") / "ZEPHOR6.reg").string());
  form.reset();
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_NE(boxes.shown[0].find("settings"), std::string::npos);
}

// The program's run (what `main` does once the modules are up): the window closing at any time
// ends it with status 0, also before its event loop runs, and a start-up warning answered at
// once still leaves the window shown with the loop running.
TEST_F(MainFrmTest, TheRunEndsWhenTheWindowClosesEvenBeforeTheLoopAndShowsItAfterTheWarnings) {
  { std::ofstream(File("damaged.tga"), std::ios::binary) << "TRUEVISION-XFILE damaged"; }
  auto window = [] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* f = dynamic_cast<TMainFrm*>(w)) return f;
    return static_cast<TMainFrm*>(nullptr);
  };
  auto closeWindow = [&] {
    if (TMainFrm* f = window()) f->close();
  };
  enum class Close { DuringTheWarning, PostedBeforeTheLoop, OnceShown };
  struct Case {
    const char* what;
    bool damaged;  // a damaged map on the command line: one warning
    Close when;
    bool shown;  // the window was shown before it closed
  };
  const Case cases[] = {
      {"closed while the start-up warning waits", true, Close::DuringTheWarning, false},
      {"a close posted before the loop starts", false, Close::PostedBeforeTheLoop, true},
      {"a warning answered at once", true, Close::OnceShown, true},
  };
  platform::TApplication application;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    boxes.shown.clear();
    int warnings = 0;
    platform::SetMessageBoxHandler([&](const platform::TMessageBoxRequest& r) {
      boxes.shown.push_back(r.Text);
      ++warnings;
      // The user closes the window (not yet shown) before answering.
      if (c.when == Close::DuringTheWarning) closeWindow();
      return platform::TModalResult::Ok;
    });
    bool shown = false;
    QTimer poll;  // once the loop runs: notes whether the window shows, then closes it
    QObject::connect(&poll, &QTimer::timeout, [&] {
      TMainFrm* f = window();
      if (!f || !f->isVisible()) return;
      shown = QTest::qWaitForWindowExposed(f);
      f->close();
    });
    if (c.when == Close::OnceShown) poll.start(10);
    if (c.when == Close::PostedBeforeTheLoop)
      QTimer::singleShot(0, [&] {
        shown = window() && window()->isVisible();
        closeWindow();
      });
    // A loop that did not end by itself is stopped with a status the test refuses.
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    watchdog.start(20000);
    editor::TMainFrmOptions options;
    if (c.damaged) options.Arguments = {File("damaged.tga").string()};
    options.PluginFolder = dir_ / "no-plugins";
    int closings = 0;
    options.OnClosed = [&] { ++closings; };
    EXPECT_EQ(editor::RunMainWindow(std::move(options), application), 0);
    // The application's own quit after its last window closed is not for the next case's loop.
    QCoreApplication::removePostedEvents(qApp, QEvent::Quit);
    EXPECT_EQ(warnings, c.damaged ? 1 : 0);
    EXPECT_EQ(closings, 1);
    EXPECT_EQ(shown, c.shown);
    EXPECT_EQ(window(), nullptr);  // freed before the run returned
    EXPECT_FALSE(application.OnIdle);
  }
  platform::SetMessageBoxHandler(nullptr);
}
