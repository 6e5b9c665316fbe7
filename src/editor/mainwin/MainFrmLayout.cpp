// The main window's form: the three panels with their controls, the menus with their actions,
// the popup menus and the status bar, made in code with the values of the window's
// description. Handlers are bound in the files of their commands.
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "editor/controls/NumEdit.h"
#include "editor/dialogs/ProgramIcon.h"
#include "editor/mainwin/MainFrm.h"
#include "editor/mainwin/PanelRow.h"
#include "editor/mainwin/PreviewScene.h"
#include "platform/ui/Control.h"
#include "scene3d/platform/GL3DSceneViewer.h"

namespace editor {

namespace {

constexpr int kPreviewPanelWidth = 412;
constexpr int kSecondPanelWidth = 272;
constexpr int kStatusWidths[4] = {140, 150, 250, 50};

QToolButton* Button(QWidget* parent, const char* name, const QString& text, bool checkable = false) {
  auto* b = new QToolButton(parent);
  b->setObjectName(name);
  b->setText(text);
  b->setCheckable(checkable);
  b->setFocusPolicy(Qt::NoFocus);
  return b;
}

QLabel* Label(QWidget* parent, const char* name, const QString& text) {
  auto* l = new QLabel(text, parent);
  if (name) l->setObjectName(name);
  return l;
}

QCheckBox* CheckBox(QWidget* parent, const char* name, const QString& text) {
  auto* c = new QCheckBox(text, parent);
  c->setObjectName(name);
  c->setFocusPolicy(Qt::NoFocus);
  return c;
}

QSpinBox* SpinBox(QWidget* parent, const char* name) {
  auto* s = new QSpinBox(parent);
  s->setObjectName(name);
  s->setRange(1, 255);
  s->setValue(1);
  return s;
}

TNumEdit* NumEdit(QWidget* parent, const char* name) {
  auto* e = new TNumEdit(parent);
  e->setObjectName(name);
  e->setFixedWidth(36);
  return e;
}

// A layout that lets its widget be made narrower than its content (the content is cut off).
template <class L>
L* FreeLayout(QWidget* widget) {
  auto* l = new L(widget);
  l->setContentsMargins(0, 0, 0, 0);
  l->setSpacing(2);
  l->setSizeConstraint(QLayout::SetNoConstraint);
  return l;
}

// The control a pane's editor draws into. Like an image control it keeps the last picture:
// shown again, it shows that picture, never its bare ground (the editor draws from outside a
// paint, so an erase would wipe its picture until its next change). A new size is drawn anew
// by the editor at the next idle pass (the window's resize handler asks for it); until then
// the part the pane gained shows the ground.
class TPaneImage : public platform::TCustomControl {
 public:
  using TCustomControl::TCustomControl;

 protected:
  bool EraseBackground() override { return false; }
  void resizeEvent(QResizeEvent* event) override {
    QSize kept = event->oldSize();
    if (!kept.isValid()) kept = QSize(0, 0);
    TCustomControl::resizeEvent(event);
    QImage surface = Surface().Image();
    QPainter p(&surface);
    const QColor ground = platform::ToQColor(Color());
    p.fillRect(kept.width(), 0, surface.width() - kept.width(), surface.height(), ground);
    p.fillRect(0, kept.height(), surface.width(), surface.height() - kept.height(), ground);
  }
};

// A pane: the control the editor draws into, with its vertical bar on the right and its
// horizontal bar below.
QWidget* PaneWithScrollBars(QWidget* parent, const char* name, platform::TCustomControl*& image,
                            QScrollBar*& horizontal, QScrollBar*& vertical, const char* imageName,
                            const char* hName, const char* vName) {
  auto* panel = new QWidget(parent);
  panel->setObjectName(name);
  panel->setFocusPolicy(Qt::StrongFocus);
  auto* grid = FreeLayout<QGridLayout>(panel);
  grid->setSpacing(0);
  image = new TPaneImage(panel);
  image->setObjectName(imageName);
  image->SetColor(platform::clWhite);
  image->setMinimumSize(1, 1);
  image->setFocusPolicy(Qt::NoFocus);
  horizontal = new QScrollBar(Qt::Horizontal, panel);
  horizontal->setObjectName(hName);
  horizontal->setFocusPolicy(Qt::NoFocus);
  vertical = new QScrollBar(Qt::Vertical, panel);
  vertical->setObjectName(vName);
  vertical->setFocusPolicy(Qt::NoFocus);
  grid->addWidget(image, 0, 0);
  grid->addWidget(vertical, 0, 1);
  grid->addWidget(horizontal, 1, 0);
  return panel;
}

}  // namespace

platform::TAction* TMainFrm::NewAction(const std::string& name, const QString& caption, int tag,
                                       const QKeySequence& keys) {
  platform::TAction* a = ActionManager1.Add(this, name, caption);
  a->Tag = tag;
  if (!keys.isEmpty()) a->SetShortCut(keys);
  addAction(a->Action());  // shortcuts work wherever the focus is in the window
  return a;
}

platform::TAction* TMainFrm::Act(const std::string& name) const { return ActionManager1.Find(name); }

void TMainFrm::AddActions(QMenu* menu, std::initializer_list<const char*> actions) {
  for (const char* name : actions) {
    if (std::string(name) == "-")
      menu->addSeparator();
    else if (platform::TAction* a = Act(name))
      menu->addAction(a->Action());
  }
}

QMenu* TMainFrm::AddSubmenu(QMenu* menu, const QString& title, std::initializer_list<const char*> actions) {
  QMenu* sub = menu->addMenu(title);
  AddActions(sub, actions);
  ActionManager1.WatchMenu(sub);
  return sub;
}

void TMainFrm::BuildForm() {
  setWindowTitle("ZEPHOR6");
  setWindowIcon(ProgramIcon());
  setObjectName("MainFrm");
  BuildMenus();
  BuildPreviewPanel();
  BuildMainPanel();
  BuildSecondPanel();
  PanelRow = new TPanelRow(this, Panel2, Panel1, Panel3);
  PanelRow->setObjectName("PanelRow");
  Splitter1 = PanelRow->Splitter1();
  Splitter2 = PanelRow->Splitter2();
  PanelRow->SetLeftWidth(kPreviewPanelWidth);
  PanelRow->SetRightWidth(kSecondPanelWidth);
  setCentralWidget(PanelRow);
  BuildStatusBar();
  BuildPopupMenus();
  resize(1024, 600);
}

void TMainFrm::BuildPreviewPanel() {
  auto* content = new QWidget;
  auto* column = FreeLayout<QVBoxLayout>(content);
  ActionMainMenuBar2 = new QMenuBar(content);
  ActionMainMenuBar2->setObjectName("ActionMainMenuBar2");
  ActionMainMenuBar2->setNativeMenuBar(false);
  ActionMainMenuBar2->addMenu(TextureMenu);
  column->addWidget(ActionMainMenuBar2);
  GL3DSceneViewer1 = new gl3d::TGL3DSceneViewer(content);
  GL3DSceneViewer1->setObjectName("GL3DSceneViewer1");
  GL3DSceneViewer1->setMinimumSize(1, 1);
  column->addWidget(GL3DSceneViewer1, 1);
  Preview = std::make_unique<TPreviewScene>(*GL3DSceneViewer1);

  auto* bars = new QGridLayout;
  const char* names[3] = {"TrackBarX", "TrackBarY", "TrackBarZ"};
  const char* labels[3] = {"X:", "Y:", "Z:"};
  QSlider** sliders[3] = {&TrackBarX, &TrackBarY, &TrackBarZ};
  for (int k = 0; k < 3; ++k) {
    auto* s = new QSlider(Qt::Horizontal, content);
    s->setObjectName(names[k]);
    s->setRange(10, 50);
    s->setValue(10);
    s->setProperty("Tag", k);
    s->setFocusPolicy(Qt::NoFocus);
    *sliders[k] = s;
    bars->addWidget(Label(content, nullptr, labels[k]), k, 0);
    bars->addWidget(s, k, 1);
  }
  column->addLayout(bars);
  auto* checks = new QHBoxLayout;
  CBCubeDisp = CheckBox(content, "CBCubeDisp", "Disp Frame");
  CBPanelDisp = CheckBox(content, "CBPanelDisp", "Disp DODUDA Background");
  checks->addWidget(CBCubeDisp);
  checks->addWidget(CBPanelDisp);
  checks->addStretch();
  column->addLayout(checks);

  SpeedButton1 = Button(nullptr, "SpeedButton1", "<");
  Panel2 = new TCollapsiblePanel(nullptr, content, SpeedButton1, false);
  Panel2->setObjectName("Panel2");
}

void TMainFrm::BuildMainPanel() {
  Panel1 = new QWidget;
  Panel1->setObjectName("Panel1");
  auto* column = FreeLayout<QVBoxLayout>(Panel1);
  ActionMainMenuBar1 = new QMenuBar(Panel1);
  ActionMainMenuBar1->setObjectName("ActionMainMenuBar1");
  ActionMainMenuBar1->setNativeMenuBar(false);
  for (QMenu* m :
       {FileMenu, EditMenu, ShapeMenu, ViewMenu, SidesMenu, SectionMenu, ToolsMenu, BitmapMenu, HelpMenu})
    ActionMainMenuBar1->addMenu(m);
  ActionMainMenuBar1->setFixedHeight(24);
  column->addWidget(ActionMainMenuBar1);
  TabControl1 = new QTabBar(Panel1);
  TabControl1->setObjectName("TabControl1");
  TabControl1->setFocusPolicy(Qt::StrongFocus);
  TabControl1->setExpanding(false);
  TabControl1->setDrawBase(true);
  column->addWidget(TabControl1);
  Panel5 = PaneWithScrollBars(Panel1, "Panel5", Image1, ScrollBarW1, ScrollBarH1, "Image1", "ScrollBarW1",
                              "ScrollBarH1");
  column->addWidget(Panel5, 1);
  auto* strip = new QWidget(Panel1);
  strip->setObjectName("ControlStrip");
  BuildControlStrip(strip);
  column->addWidget(strip);
}

void TMainFrm::BuildControlStrip(QWidget* strip) {
  auto* rows = FreeLayout<QVBoxLayout>(strip);
  auto* row1 = new QHBoxLayout;
  row1->setSpacing(2);
  static const char* sideNames[6] = {"SideBtn0", "SideBtn1", "SideBtn2", "SideBtn3", "SideBtn4", "SideBtn5"};
  static const char* sideCaptions[6] = {"Front", "Right", "Top", "Back", "Left", "Bottom"};
  for (int k = 0; k < 6; ++k) {
    SideBtn[k] = Button(strip, sideNames[k], sideCaptions[k], true);
    SideBtn[k]->setAutoExclusive(true);
    SideBtn[k]->setProperty("Tag", k);
    row1->addWidget(SideBtn[k]);
  }
  spBtnGDn = Button(strip, "spBtnGDn", "<");
  spBtnGLk = Button(strip, "spBtnGLk", "10", true);
  spBtnGUp = Button(strip, "spBtnGUp", ">");
  row1->addWidget(spBtnGDn);
  row1->addWidget(spBtnGLk);
  row1->addWidget(spBtnGUp);
  static const char* penNames[4] = {"SpBtnPen0", "SpBtnPen1", "SpBtnPen2", "SpBtnPen3"};
  for (int k = 0; k < 4; ++k) {
    SpBtnPen[k] = Button(strip, penNames[k], QString(), true);
    SpBtnPen[k]->setAutoExclusive(true);
    SpBtnPen[k]->setFixedSize(24, 24);
    SpBtnPen[k]->setProperty("Tag", k);
    row1->addWidget(SpBtnPen[k]);
  }
  SpBtnErase = Button(strip, "SpBtnErase", "Erase", true);
  SpBtnErase->setAutoExclusive(true);
  row1->addWidget(SpBtnErase);
  CBPenWidth = new QComboBox(strip);
  CBPenWidth->setObjectName("CBPenWidth");
  row1->addWidget(CBPenWidth);
  CBisSurface = CheckBox(strip, "CBisSurface", "Disp Only Surface");
  CBisDispDodudaLine = CheckBox(strip, "CBisDispDodudaLine", "Disp Edit Lines");
  row1->addWidget(CBisSurface);
  row1->addWidget(CBisDispDodudaLine);
  row1->addStretch();
  rows->addLayout(row1);

  auto* row2 = new QHBoxLayout;
  row2->setSpacing(2);
  LEv = Label(strip, "LEv", "Edit Level");
  CBEv = new QComboBox(strip);
  CBEv->setObjectName("CBEv");
  CBEv->addItems({"Near", "Middle", "Far"});
  LRgMode = Label(strip, "LRgMode", "Edit Mode");
  CBRgMode = new QComboBox(strip);
  CBRgMode->setObjectName("CBRgMode");
  CBRgMode->addItems({"Normal", "Worp"});
  SBRgModeUpdate = Button(strip, "SBRgModeUpdate", "Update");
  SBXY = Button(strip, "SBXY", "---,---");
  for (QWidget* w : std::initializer_list<QWidget*>{LEv, CBEv, LRgMode, CBRgMode, SBRgModeUpdate, SBXY})
    row2->addWidget(w);
  // The sculpt-image editor's channel boxes under the main pane.
  LBS2 = Label(strip, "LBS2", "Step size");
  SE2 = SpinBox(strip, "SE2");
  row2->addWidget(LBS2);
  row2->addWidget(SE2);
  static const char* axes[3] = {"X", "Y", "Z"};
  TNumEdit** boxes[3] = {&NEX1, &NEY1, &NEZ1};
  QLabel** labels[3] = {&LBX1, &LBY1, &LBZ1};
  for (int k = 0; k < 3; ++k) {
    const std::string a = axes[k];
    *boxes[k] = NumEdit(strip, ("NE" + a + "1").c_str());
    *labels[k] = Label(strip, ("LB" + a + "1").c_str(), "000");
    spBtnUp2[k] = Button(strip, ("spBtn" + a + "Up2").c_str(), "+");
    spBtnDn2[k] = Button(strip, ("spBtn" + a + "Dn2").c_str(), "-");
    row2->addWidget(*labels[k]);
    row2->addWidget(*boxes[k]);
    row2->addWidget(spBtnUp2[k]);
    row2->addWidget(spBtnDn2[k]);
  }
  spBtnXYZUpdate1 = Button(strip, "spBtnXYZUpdate1", "Update");
  row2->addWidget(spBtnXYZUpdate1);
  row2->addStretch();
  rows->addLayout(row2);
}

void TMainFrm::BuildSecondPanel() {
  auto* content = new QWidget;
  auto* column = FreeLayout<QVBoxLayout>(content);
  ActionMainMenuBar3 = new QMenuBar(content);
  ActionMainMenuBar3->setObjectName("ActionMainMenuBar3");
  ActionMainMenuBar3->setNativeMenuBar(false);
  ActionMainMenuBar3->addMenu(BitmapMenu3);
  column->addWidget(ActionMainMenuBar3);
  Panel4 = PaneWithScrollBars(content, "Panel4", Image2, ScrollBarW2, ScrollBarH2, "Image2", "ScrollBarW2",
                              "ScrollBarH2");
  column->addWidget(Panel4, 1);
  auto* boxes = new QGridLayout;
  static const char* axes[3] = {"X", "Y", "Z"};
  TNumEdit** edits[3] = {&NEX, &NEY, &NEZ};
  QLabel** labels[3] = {&LBX2, &LBY2, &LBZ2};
  for (int k = 0; k < 3; ++k) {
    const std::string a = axes[k];
    *labels[k] = Label(content, ("LB" + a + "2").c_str(), "000");
    *edits[k] = NumEdit(content, ("NE" + a).c_str());
    spBtnUp[k] = Button(content, ("spBtn" + a + "Up").c_str(), "+");
    spBtnDn[k] = Button(content, ("spBtn" + a + "Dn").c_str(), "-");
    boxes->addWidget(Label(content, nullptr, QString::fromStdString(a + ":")), k, 0);
    boxes->addWidget(*labels[k], k, 1);
    boxes->addWidget(*edits[k], k, 2);
    boxes->addWidget(spBtnUp[k], k, 3);
    boxes->addWidget(spBtnDn[k], k, 4);
  }
  SE1 = SpinBox(content, "SE1");
  spBtnXYZUpdate = Button(content, "spBtnXYZUpdate", "Update");
  boxes->addWidget(SE1, 3, 2);
  boxes->addWidget(spBtnXYZUpdate, 3, 3, 1, 2);
  column->addLayout(boxes);
  SpeedButton2 = Button(nullptr, "SpeedButton2", "<");
  Panel3 = new TCollapsiblePanel(nullptr, content, SpeedButton2, true);
  Panel3->setObjectName("Panel3");
}

void TMainFrm::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName("StatusBar1");
  bar->setSizeGripEnabled(false);
  for (int k = 0; k < 4; ++k) {
    StatusPanels[k] = new QLabel(bar);
    StatusPanels[k]->setObjectName(QString("StatusPanel%1").arg(k));
    // The last panel (the texture's name) takes the width the others leave.
    if (k < 3)
      StatusPanels[k]->setFixedWidth(kStatusWidths[k]);
    else
      StatusPanels[k]->setMinimumWidth(kStatusWidths[k]);
    bar->addWidget(StatusPanels[k], k < 3 ? 0 : 1);
  }
}

QString TMainFrm::StatusText(int panel) const { return StatusPanels[panel]->text(); }

void TMainFrm::SetStatusText(int panel, const QString& text) { StatusPanels[panel]->setText(text); }

// ---- menus ----

void TMainFrm::BuildMenus() {
  FileMenu = new QMenu("&File", this);
  EditMenu = new QMenu("&Edit", this);
  ShapeMenu = new QMenu("&Shape", this);
  ViewMenu = new QMenu("&View", this);
  SidesMenu = new QMenu("Si&des", this);
  SectionMenu = new QMenu("Se&ction", this);
  ToolsMenu = new QMenu("&Tools", this);
  BitmapMenu = new QMenu("&Bitmap", this);
  HelpMenu = new QMenu("&Help", this);
  TextureMenu = new QMenu("&Texture", this);
  BitmapMenu3 = new QMenu("&Bitmap", this);
  // The menu items that have actions of their own (enabled by mode).
  EditMenu->menuAction()->setObjectName("EditAct");
  ViewMenu->menuAction()->setObjectName("ViewAct");
  SidesMenu->menuAction()->setObjectName("SidesAct");
  SectionMenu->menuAction()->setObjectName("SectionAct");
  ToolsMenu->menuAction()->setObjectName("ActTools");
  BitmapMenu->menuAction()->setObjectName("ActBitmap1");
  ToolsMenu->menuAction()->setVisible(false);

  BuildFileActions();
  BuildEditMenu();
  BuildShapeMenu();
  BuildViewMenu();
  BuildSidesMenu();
  BuildBitmapMenus();
  NewAction("HelpAbout", "&About...");
  AddActions(HelpMenu, {"HelpAbout"});
  for (QMenu* m : {FileMenu, EditMenu, ShapeMenu, ViewMenu, SidesMenu, SectionMenu, ToolsMenu, BitmapMenu,
                   HelpMenu, TextureMenu, BitmapMenu3})
    ActionManager1.WatchMenu(m);
}

void TMainFrm::BuildFileActions() {
  NewAction("FileNew", "&New...");
  NewAction("FileSTLoad", "&Load...");
  NewAction("FileStSaveLast", "&Save Last", 0, QKeySequence("Ctrl+S"));
  NewAction("FileSTSave", "S&ave...", 0, QKeySequence("Ctrl+Alt+S"));
  NewAction("FileSetup", "S&etup...");
  NewAction("FileExit", "E&xit");
  AddActions(FileMenu,
             {"FileNew", "FileSTLoad", "FileStSaveLast", "FileSTSave", "-", "FileSetup", "-", "FileExit"});
  NewAction("TextureReset", "&Reset");
  NewAction("TextureLoad", "&Load...");
  NewAction("TextureLoadLast", "L&oad Last");
  NewAction("TextureSave", "&Save...");
  NewAction("TextureDividedSave", "&Divided Save...");
  AddActions(TextureMenu,
             {"TextureReset", "TextureLoad", "TextureLoadLast", "TextureSave", "TextureDividedSave"});
}

// The commands of the Edit, Shape, Sides, Section and Bitmap menus are made here with their
// captions and shortcuts, disabled until their handlers are bound.
void TMainFrm::BuildEditMenu() {
  struct Row {
    const char* name;
    const char* caption;
    int tag;
    const char* keys;
  };
  static const Row rows[] = {
      {"EditUndo", "&Undo", 0, "Ctrl+Z"},
      {"EditRedo", "Re&do", 0, "Ctrl+Y"},
      {"EditRotate0", "&Rotate+", 1, "Ctrl+R"},
      {"EditRotate1", "Ro&tate-", -1, "Ctrl+T"},
      {"EditHorizontal", "&Horizontal Align", 1, "Ctrl+W"},
      {"EditVertical", "&Vertical Align", 0, "Ctrl+E"},
      {"EditEqual", "&Equal Intervals", 0, "Ctrl+D"},
      {"EditEQDist", "Equal Distance", 0, "Ctrl+Shift+D"},
      {"EditEQCurves", "E&qual Curves", 0, "Ctrl+Alt+D"},
      {"EditSameWidth", "&Same Width", 0, ""},
      {"EditTWist0", "Tw&ist+", 1, ""},
      {"EditTwist1", "T&wist-", -1, ""},
      {"EditFlipHorizontal", "&Flip Horizontal...", 0, ""},
      {"EditFlipVertical", "F&lip Vertical...", 0, ""},
      {"EditMaximize", "&Maximize", 0, ""},
      {"EditOptimize", "&Optimize", 0, ""},
      {"EditHorizontalMirror", "Mirror", 0, ""},
      {"EditVerticalMirror", "Mirror", 0, ""},
      {"EditOffset", "O&ffset...", 0, ""},
      {"EditInsideOut", "I&nside Out", 0, ""},
      {"EditLock", "Lo&ck", 0, "Ctrl+L"},
      {"EditUnlock", "Unloc&k", 1, "Ctrl+Shift+L"},
      {"EditUnlockAll", "&Unlock All", 0, ""},
      {"EditLockReverse", "Re&verse", 0, ""},
      {"ActSelectAll", "A&ll", 0, "Ctrl+A"},
      {"ActSelectNone", "&None", 1, "Ctrl+N"},
      {"ActSelectReverse", "&Reverse", 0, ""},
      {"EditGroup", "&Group", 0, "Ctrl+G"},
      {"EditUnGroup", "&UnGroup", 0, ""},
      {"EditUnGroupAll", "U&nGroup All", 0, ""},
      {"EditSmooth0", "Gauss Smooth", 0, "Ctrl+F"},
      {"EditSmooth1", "Moving Average", 1, "Ctrl+Shift+F"},
      {"EditSmooth2", "Horizontal Moving Average", 2, ""},
      {"EditSmooth3", "Vertical Moving Average", 3, ""},
      {"EditMagnet", "M&agnet", 0, "Ctrl+B"},
  };
  for (const Row& r : rows) NewAction(r.name, r.caption, r.tag, QKeySequence(r.keys))->SetEnabled(false);
  AddActions(EditMenu, {"EditUndo", "EditRedo", "-"});
  AddSubmenu(EditMenu, "Ro&tate", {"EditRotate0", "EditRotate1"});
  AddSubmenu(EditMenu, "Ali&gn", {"EditHorizontal", "EditVertical"});
  AddActions(EditMenu, {"EditEqual", "EditEQDist", "EditEQCurves", "EditSameWidth"});
  QMenu* twist = AddSubmenu(EditMenu, "T&wist", {"EditTWist0", "EditTwist1"});
  twist->menuAction()->setObjectName("EditTwist");
  AddSubmenu(EditMenu, "Fli&p", {"EditFlipHorizontal", "EditFlipVertical"});
  AddActions(EditMenu, {"EditMaximize", "EditOptimize"});
  AddSubmenu(EditMenu, "Mi&rror", {"EditHorizontalMirror", "EditVerticalMirror"});
  AddActions(EditMenu, {"EditOffset", "EditInsideOut"});
  AddSubmenu(EditMenu, "Lo&ck / Unlock", {"EditLock", "EditUnlock", "EditUnlockAll", "EditLockReverse"});
  AddSubmenu(EditMenu, "Se&lect", {"ActSelectAll", "ActSelectNone", "ActSelectReverse"});
  AddSubmenu(EditMenu, "Group&ing", {"EditGroup", "EditUnGroup", "EditUnGroupAll"});
  QMenu* smooth =
      AddSubmenu(EditMenu, "Smoot&h", {"EditSmooth0", "EditSmooth1", "EditSmooth2", "EditSmooth3"});
  smooth->menuAction()->setObjectName("EditSmooth");
  AddActions(EditMenu, {"EditMagnet"});
}

void TMainFrm::BuildShapeMenu() {
  static const char* prisms[7][3] = {{"ShapeCylinder", "&Cylinder", "0"}, {"ShapePrism", "&Prism", "3"},
                                     {"ShapePillar", "P&illar", "4"},     {"ShapePentagon", "P&entagon", "5"},
                                     {"ShapeHexagon", "&Hexagon", "6"},   {"ShapeHeptagon", "H&eptagon", "7"},
                                     {"ShapeOctagon", "&Octagon", "8"}};
  for (const auto& p : prisms) NewAction(p[0], p[1], std::atoi(p[2]))->SetEnabled(false);
  NewAction("ShapeCrystallized", "C&rystallized")->SetEnabled(false);
  static const char* rounds[6][3] = {{"ShapeFillPillar", "&Fill Pillar", "4"},
                                     {"ShapeCushion", "C&ushion", "5"},
                                     {"ShapeBevel", "&Bevel", "3"},
                                     {"ShapeBall", "Ba&ll", "0"},
                                     {"ShapeCap", "C&ap", "1"},
                                     {"ShapeCone", "Co&ne", "2"}};
  for (const auto& r : rounds) NewAction(r[0], r[1], std::atoi(r[2]))->SetEnabled(false);
  AddActions(ShapeMenu, {"ShapeCylinder", "ShapePrism", "ShapePillar", "ShapePentagon", "ShapeHexagon",
                         "ShapeHeptagon", "ShapeOctagon", "-", "ShapeCrystallized", "-", "ShapeFillPillar",
                         "ShapeCushion", "ShapeBevel", "ShapeBall", "ShapeCap", "ShapeCone"});
}

void TMainFrm::BuildViewMenu() {
  for (int level = 2; level <= 8; ++level)
    NewAction("Zoom0" + std::to_string(level), QString("x&%1").arg(level), level)->SetGroupIndex(1);
  NewAction("ZoomIn", "ZoomIn", 0, QKeySequence());
  NewAction("ZoomOut", "ZoomOut", 0, QKeySequence());
  static const char* grids[4][3] = {
      {"Grid00", "&None", "0"}, {"Grid01", "&1", "1"}, {"Grid04", "&4", "4"}, {"Grid08", "&8", "8"}};
  for (const auto& g : grids) NewAction(g[0], g[1], std::atoi(g[2]))->SetGroupIndex(2);
  NewAction("ViewDispCtrl", "Disp &Mesh")->Action()->setCheckable(true);
  NewAction("ViewEditLine", "&Edit Line...");
  static const char* symmetry[5][2] = {{"ViewSymmetryNone", "&None"},
                                       {"ViewSymmetryMirror", "&Mirror Image"},
                                       {"ViewSymmetryRotation", "&Rotation"},
                                       {"ViewSymmetry4Mirror", "&4 Mirror"},
                                       {"ViewSymmetry4Rotation", "4 R&otation"}};
  for (int k = 0; k < 5; ++k) NewAction(symmetry[k][0], symmetry[k][1], k)->SetGroupIndex(5);
  NewAction("ViewLevel01", "&Near", 1)->SetGroupIndex(4);
  NewAction("ViewLevel02", "&Middle", 2)->SetGroupIndex(4);
  NewAction("ViewLevel04", "&Far", 4)->SetGroupIndex(4);
  NewAction("ViewDispBkground", "Disp &Background")->SetGroupIndex(6);
  NewAction("ViewLoadBkground", "L&oad Background...");
  AddSubmenu(ViewMenu, "&Zoom", {"Zoom02", "Zoom03", "Zoom04", "Zoom05", "Zoom06", "Zoom07", "Zoom08"});
  AddSubmenu(ViewMenu, "&Grid", {"Grid00", "Grid01", "Grid04", "Grid08"});
  AddActions(ViewMenu, {"ViewDispCtrl", "ViewEditLine"});
  QMenu* sym = AddSubmenu(ViewMenu, "&Symmetry",
                          {"ViewSymmetryNone", "ViewSymmetryMirror", "ViewSymmetryRotation",
                           "ViewSymmetry4Mirror", "ViewSymmetry4Rotation"});
  sym->menuAction()->setObjectName("ViewSymmetry");
  ViewSymmetry = sym->menuAction();
  AddSubmenu(ViewMenu, "&Level of Detail", {"ViewLevel01", "ViewLevel02", "ViewLevel04"});
  AddActions(ViewMenu, {"-", "ViewDispBkground", "ViewLoadBkground"});
}

void TMainFrm::BuildSidesMenu() {
  static const char* sides[10][3] = {{"SidesAll", "Select &All", "0"},   {"SidesNone", "Select &None", "0"},
                                     {"SidesReverse", "&Reverse", "0"},  {"Sides16", "Every 1&6 point", "16"},
                                     {"Sides08", "Every &8 point", "8"}, {"Sides04", "Every &4 point", "4"},
                                     {"Sides02", "Every &2 point", "2"}, {"Sides01", "Every &1 point", "1"},
                                     {"SidesCustom", "&Custom...", "0"}, {"SideFolder", "&Folder", "0"}};
  for (const auto& s : sides) NewAction(s[0], s[1], std::atoi(s[2]))->SetEnabled(false);
  AddActions(SidesMenu, {"SidesAll", "SidesNone", "SidesReverse", "-", "Sides16", "Sides08", "Sides04",
                         "Sides02", "Sides01", "-", "SidesCustom", "SideFolder"});
}

void TMainFrm::BuildBitmapMenus() {
  static const char* bitmap[8][3] = {{"BitmapCopy", "&Copy", "Ctrl+C"},
                                     {"BitmapPaste", "&Paste", "Ctrl+V"},
                                     {"BitmapEQLine", "&Equal Intervals", ""},
                                     {"BitmapEQDist", "E&qual Distance", ""},
                                     {"BitmapSmooth0", "Gauss Smooth", ""},
                                     {"BitmapSmooth1", "Moving Average", ""},
                                     {"BitmapSmooth2", "Horizontal Moving Average", ""},
                                     {"BitmapSmooth3", "Vertical Moving Average", ""}};
  for (int k = 0; k < 8; ++k)
    NewAction(bitmap[k][0], bitmap[k][1], k >= 4 ? k - 4 : 0, QKeySequence(bitmap[k][2]))->SetEnabled(false);
  NewAction("BitmapMagnet", "&Magnet")->SetEnabled(false);
  // The main menu's Bitmap item (shown without the second pane) acts on the current editor;
  // some of the Edit commands have other captions here.
  AddActions(BitmapMenu, {"EditUndo"});
  ActionManager1.AddMenuItem(BitmapMenu, Act("EditRedo"), "&Redo");
  AddActions(BitmapMenu, {"BitmapCopy", "BitmapPaste", "EditEqual"});
  ActionManager1.AddMenuItem(BitmapMenu, Act("EditEQDist"), "E&qual Distance");
  AddSubmenu(BitmapMenu, "&Smooth", {"EditSmooth0", "EditSmooth1", "EditSmooth2", "EditSmooth3"});
  ActionManager1.AddMenuItem(BitmapMenu, Act("EditMagnet"), "&Magnet");
  // The second pane's menu acts on the sculpt-image editor.
  AddActions(BitmapMenu3, {"BitmapCopy", "BitmapPaste", "-", "BitmapEQLine", "BitmapEQDist"});
  QMenu* smooth = AddSubmenu(BitmapMenu3, "&Smooth",
                             {"BitmapSmooth0", "BitmapSmooth1", "BitmapSmooth2", "BitmapSmooth3"});
  smooth->menuAction()->setObjectName("BitmapSmooth");
  AddActions(BitmapMenu3, {"BitmapMagnet"});
}

void TMainFrm::BuildPopupMenus() {
  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName("PopupMenu1");
  AddSubmenu(PopupMenu1, "Lock / Unlock", {"EditLock", "EditUnlock", "EditUnlockAll", "EditLockReverse"});
  AddSubmenu(PopupMenu1, "Select", {"ActSelectAll", "ActSelectNone", "ActSelectReverse"});
  AddSubmenu(PopupMenu1, "Grouping", {"EditGroup", "EditUnGroup", "EditUnGroupAll"});
  AddSubmenu(PopupMenu1, "Rotate", {"EditRotate0", "EditRotate1"});
  AddSubmenu(PopupMenu1, "Align", {"EditHorizontal", "EditVertical"});
  AddActions(PopupMenu1, {"EditEqual", "EditEQDist", "EditEQCurves"});
  AddSubmenu(PopupMenu1, "Twist", {"EditTWist0", "EditTwist1"});
  AddActions(PopupMenu1, {"EditSameWidth"});
  AddSubmenu(PopupMenu1, "Smooth", {"EditSmooth0", "EditSmooth1", "EditSmooth2", "EditSmooth3"});
  AddActions(PopupMenu1, {"EditMagnet"});
  ActionManager1.WatchMenu(PopupMenu1);

  PopupMenu2 = new QMenu(this);
  PopupMenu2->setObjectName("PopupMenu2");
  AddSubmenu(PopupMenu2, "Lock / Unlock", {"EditLock", "EditUnlock", "EditUnlockAll", "EditLockReverse"});
  AddSubmenu(PopupMenu2, "Select", {"ActSelectAll", "ActSelectNone", "ActSelectReverse"});
  AddSubmenu(PopupMenu2, "Grouping", {"EditGroup", "EditUnGroup", "EditUnGroupAll"});
  AddActions(PopupMenu2, {"-", "BitmapEQLine", "BitmapEQDist"});
  AddSubmenu(PopupMenu2, "Smooth", {"BitmapSmooth0", "BitmapSmooth1", "BitmapSmooth2", "BitmapSmooth3"});
  AddActions(PopupMenu2, {"BitmapMagnet"});
  ActionManager1.WatchMenu(PopupMenu2);

  NewAction("ActResetPosition1", "Reset Position");
  NewAction("ActResetZoom1", "Reset Zoom");
  NewAction("ActResetPosition2", "Reset Position");
  NewAction("ActResetZoom2", "Reset Zoom");
  PopupMenu3 = new QMenu(this);
  PopupMenu3->setObjectName("PopupMenu3");
  AddActions(PopupMenu3, {"ActResetPosition1", "ActResetZoom1"});
  PopupMenu4 = new QMenu(this);
  PopupMenu4->setObjectName("PopupMenu4");
  AddActions(PopupMenu4, {"ActResetPosition2", "ActResetZoom2"});
  for (QScrollBar* bar : {ScrollBarW1, ScrollBarH1, ScrollBarW2, ScrollBarH2}) {
    bar->setContextMenuPolicy(Qt::CustomContextMenu);
    QMenu* menu = (bar == ScrollBarW1 || bar == ScrollBarH1) ? PopupMenu3 : PopupMenu4;
    connect(bar, &QWidget::customContextMenuRequested, this,
            [bar, menu](const QPoint& p) { menu->popup(bar->mapToGlobal(p)); });
  }
}

}  // namespace editor
