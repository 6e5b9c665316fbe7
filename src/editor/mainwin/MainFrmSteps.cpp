// The main window's create and destroy handlers, its editor modes and tabs, and the shared steps
// every command ends with.
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QSpinBox>
#include <QTabBar>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>
#include <cstdio>
#include <filesystem>

#include "editor/controls/NumEdit.h"
#include "editor/dialogs/AboutDlg.h"
#include "editor/dialogs/ColladaDlg.h"
#include "editor/dialogs/ColorDlg.h"
#include "editor/dialogs/EditLineDlg.h"
#include "editor/dialogs/MirrorDlg.h"
#include "editor/dialogs/NewDlg.h"
#include "editor/dialogs/OffsetDlg.h"
#include "editor/dialogs/SetupDlg.h"
#include "editor/dialogs/SidesDlg.h"
#include "editor/editors/uScDODUDA.h"
#include "editor/editors/uScGYRAN.h"
#include "editor/editors/uScMAGE.h"
#include "editor/editors/uScTOKOROTEN.h"
#include "editor/editors/uScWAPPA.h"
#include "editor/mainwin/EditorModules.h"
#include "editor/mainwin/MainFrm.h"
#include "editor/mainwin/PanelRow.h"
#include "editor/mainwin/PreviewScene.h"
#include "editor/panes/ScBitmap.h"
#include "editor/panes/TxDraw.h"
#include "platform/ui/Application.h"
#include "platform/ui/Control.h"
#include "platform/ui/DropDst.h"
#include "platform/ui/Keys.h"
#include "platform/ui/MessageBoxes.h"
#include "platform/ui/Sp3d.h"
#include "platform/ui/Splash.h"
#include "scene3d/platform/GL3DSceneViewer.h"
#include "settings/AppSettings.h"
#include "settings/RegStore.h"
#include "shape/TextureBitmaps.h"
#include "shape/model/uScPrim.h"
#include "shape/model/uScSelect.h"

namespace editor {

using settings::AppSettings;
using shape::CurrentShape;

namespace {

constexpr uint8_t kTabRows[4][7] = {
    {0, 1, 2, 3, 5, 6, kNoTab},                      // sphere
    {0, 1, 2, 4, 5, 6, kNoTab},                      // torus
    {0, 6, kNoTab, kNoTab, kNoTab, kNoTab, kNoTab},  // plane
    {0, 1, 2, 3, 5, 6, kNoTab},                      // cylinder
};
constexpr const char* kStitchStatus[4] = {"SculptType:SPHERE", "SculptType:TORUS", "SculptType:PLANE",
                                          "SculptType:CYLINDER"};

}  // namespace

void TabModesFor(shape::TScType type, bool threePanes, uint8_t modes[7]) {
  const int row = type <= shape::SCTYPE_CYLINDER ? static_cast<int>(type) : 0;
  for (int k = 0; k < 7; ++k) modes[k] = kTabRows[row][k];
  if (threePanes) return;
  // Without the second pane the sculpt-image editor has a tab of its own, before the texture's.
  for (int k = 0; k < 6; ++k)
    if (modes[k] == 6) {
      modes[k] = 7;
      modes[k + 1] = 6;
      break;
    }
}

const char* ModeCaption(int32_t mode) { return mode >= 0 && mode < 8 ? EditorTypeNames[mode] : ""; }

TMainFrm::TMainFrm(TMainFrmOptions options) : options_(std::move(options)) {
  UndoRing = std::make_unique<shape::TUBuf>();
  fileDialog_ = platform::CreateQtFileDialog(this);
  BuildForm();
  WireControls();
  WireActions();
  // The form previews the keys and the wheel of every control inside it.
  qApp->installEventFilter(this);
  if (QScreen* screen = QApplication::primaryScreen())
    move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
  FormCreate();
}

TMainFrm::~TMainFrm() {
  qApp->removeEventFilter(this);
  FormDestroy();
}

void TMainFrm::SetFileDialog(std::unique_ptr<platform::IFileDialog> dialog) {
  fileDialog_ = std::move(dialog);
}

void TMainFrm::CreateDialogs() {
  ColorDlg = new TColorDlg(this);
  MirrorDlg = new TMirrorDlg(this);
  AboutDlg = new TAboutDlg(this);
  OffsetDlg = new TOffsetDlg(this);
  NewDlg = new TNewDlg(this);
  EditLineDlg = new TEditLineDlg(this);
  SetupDlg = new TSetupDlg(this, ColorDlg);
  SidesDlg = new TSidesDlg(this);
  ColladaDlg = new TColladaDlg(this);
}

void TMainFrm::FormCreate() {
  // 1
  Starting = true;
  TextureDirty = false;
  PaneRequest = 0;
  MeshDirty = false;
  PlaneDirty = true;
  LastSaveFilter = -1;
  ScrollSyncEnabled = true;
  // 2
  for (int w : PenWidths) CBPenWidth->addItem(QString("%1px").arg(w));
  // 3
  settings::LoadAppSettings();
  ChoosePaintersAll();
  // 4
  Preview->SetFrameVisible(AppSettings.CubeOfPreview);
  CBCubeDisp->setChecked(AppSettings.CubeOfPreview);
  CBPanelDisp->setChecked(AppSettings.DodudaBackground);
  // 5
  SetSaveOverwritePrompt();
  UpdatePenGlyphs();
  CBPenWidth->setCurrentIndex(-1);
  for (int k = 0; k < 7; ++k)
    if (PenWidths[k] == AppSettings.PenWidth) CBPenWidth->setCurrentIndex(k);
  // 6
  NewShape(shape::SCTYPE_SPHERE, 33, 33);
  ShowDefaultTexture();
  BuildSectionActions();
  ResetEditorsForShape();
  // 7: an argument that names nothing is ignored; a folder is warned of as a file that cannot be
  // read is.
  if (!options_.Arguments.empty()) {
    std::error_code ec;
    // Remembered with its folder: the next run may start elsewhere.
    std::filesystem::path path = std::filesystem::absolute(options_.Arguments.front(), ec);
    if (ec) path = options_.Arguments.front();
    const bool named = std::filesystem::is_regular_file(path, ec) || std::filesystem::is_directory(path, ec);
    if (named && OpenShapeFile(path.string(), -1)) AppSettings.SclpFile = path.string();
  }
  // 8
  SetEditorMode(TabModes[0]);
  Preview->BuildPreviewMesh(CurrentShape);
  Preview->UploadPreviewTexture();
  shape::UndoInit(*UndoRing, CurrentShape);
  // 9
  CBisSurface->setChecked(AppSettings.DodudaSurface);
  CBisDispDodudaLine->setChecked(AppSettings.DodudaLine);
  SetupScrollBars();
  // 10
  BitmapMenu->menuAction()->setVisible(!AppSettings.ThreePanesDisplay);
  if (AppSettings.ThreePanesDisplay) {
    SecondPaneShown = false;
    LayoutSecondPane();
    ChannelStep = SE1->value();
  } else {
    Splitter2->hide();
    Panel3->hide();
    PanelRow->Arrange();
    ChannelStep = SE2->value();
  }
  ApplyObjectSize(true);
  SelectEditLevelItem();
  RefreshEditorUi(true);
  // 11
  if (AppSettings.MaximizedWindow) setWindowState(windowState() | Qt::WindowMaximized);
  // 12
  settings::NormalizeAxisScales();
  LoadPlugins();
  platform::Sp3dConnect(this);
}

void TMainFrm::FormDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  Preview->ReleaseRenderingContext();
  // A settings file that cannot be written is reported; the window closes all the same.
  try {
    settings::SaveAppSettings(isMaximized());
  } catch (const std::exception& e) {
    platform::ShowWarning(std::string("The settings could not be saved.\r\n") + e.what());
  }
  UnloadPlugins();
  platform::Sp3dDisconnect();
}

bool TMainFrm::event(QEvent* e) {
  if (e->type() == QEvent::Show && Starting) {
    const bool handled = QMainWindow::event(e);
    FormFirstShow();
    return handled;
  }
  return QMainWindow::event(e);
}

void TMainFrm::FormFirstShow() {
  Starting = false;
  // The splash goes when the window is there, whatever happened before (a warning about the
  // file on the command line, no window manager to move the focus).
  platform::TSplashForm::CloseSplash();
  Panel5->setFocus();
  // The panes have their size only now: the first idle pass paints them.
  if (PaneRequest == 0) PaneRequest = 2;
}

int RunMainWindow(TMainFrmOptions options, platform::TApplication& application) {
  bool closed = false;
  options.OnClosed = [&closed, then = std::move(options.OnClosed)] {
    closed = true;
    // Ends the loop once it runs (also from inside a dialog's own loop); before, `closed` keeps
    // it from starting.
    QCoreApplication::quit();
    if (then) then();
  };
  auto form = std::make_unique<TMainFrm>(std::move(options));
  int status = 0;
  if (!closed) {
    form->CreateDialogs();
    application.OnIdle = [f = form.get()] { f->IdleLoop(); };
    form->show();
    form->activateWindow();
    // Nothing runs events between here and the loop; the window is open when the loop starts.
    if (!closed) status = QApplication::exec();
    application.OnIdle = nullptr;
  }
  return status;
}

void TMainFrm::closeEvent(QCloseEvent* e) {
  QMainWindow::closeEvent(e);
  if (e->isAccepted() && options_.OnClosed) options_.OnClosed();
}

bool TMainFrm::eventFilter(QObject* watched, QEvent* e) {
  auto* widget = qobject_cast<QWidget*>(watched);
  // A modal dialog or message box that goes away hands the keyboard back to the window, also
  // where no window manager does it.
  if (e->type() == QEvent::Hide && widget && widget != this && widget->isWindow() && widget->isModal())
    RestoreFocusAfterDialog();
  if (!widget || widget->window() != this) return false;
  if (e->type() == QEvent::KeyRelease) {
    auto* key = static_cast<QKeyEvent*>(e);
    // One key-up per key: the window sees it once, from the widget that has the focus.
    if (!key->isAutoRepeat() && widget == QApplication::focusWidget()) {
      const uint16_t vk = platform::VirtualKeyOf(*key);
      const auto shift = platform::ShiftStateOf(key->modifiers(), QApplication::mouseButtons());
      platform::GuardedCall([&] { FormKeyUp(vk, shift); });
    }
  } else if (e->type() == QEvent::Wheel) {
    auto* wheel = static_cast<QWheelEvent*>(e);
    const int delta = wheel->angleDelta().y();
    if (delta != 0) {
      const QPoint client = mapFromGlobal(wheel->globalPosition().toPoint());
      platform::GuardedCall([&] { FormMouseWheel(delta, client); });
    }
    return true;
  }
  return false;
}

void TMainFrm::RestoreFocusAfterDialog() {
  QTimer::singleShot(0, this, [this] {
    if (!isVisible() || QApplication::activeModalWidget()) return;
    activateWindow();
    // The control that had the focus before the dialog gets it back; the main pane otherwise.
    if (QWidget* w = focusWidget())
      w->setFocus();
    else
      Panel5->setFocus();
  });
}

// ---- editor modes and tabs ----

void TMainFrm::SetEditorMode(int32_t mode) {
  if (mode < 0 || mode > 7) return;
  EditorMode = static_cast<uint8_t>(mode);
  TScBase* shapeEditors[6] = {ScDODUDA, ScGYRAN, ScTOKOROTEN, ScMAGE, ScMAGETorus, ScWAPPA};
  if (mode <= 5) {
    CurrentShapeEditor = shapeEditors[mode];
    CurrentEditor = CurrentShapeEditor;
  } else {
    CurrentShapeEditor = nullptr;
    CurrentEditor = mode == 6 ? static_cast<TEditBase*>(TxDraw) : static_cast<TEditBase*>(ScBitmap);
  }
}

void TMainFrm::TabControl1Change() {
  if (Starting) return;
  const int tab = TabControl1->currentIndex();
  if (tab < 0 || tab >= 7) return;
  const uint8_t mode = TabModes[tab];
  if (mode == kNoTab) return;
  SetEditorMode(mode);
  RefreshEditorUi(true);
  SyncScrollBars();
}

void TMainFrm::UpdateTabsAndStatus() {
  const QSignalBlocker block(TabControl1);
  while (TabControl1->count() > 0) TabControl1->removeTab(0);
  const int type = CurrentShape.ScType <= shape::SCTYPE_CYLINDER ? CurrentShape.ScType : 0;
  SetStatusText(0, kStitchStatus[type]);
  SetStatusText(1, QString("Aspect Ratio:%1x%2").arg(CurrentShape.CPMaxI - 1).arg(CurrentShape.CPMaxJ - 1));
  TabModesFor(CurrentShape.ScType, AppSettings.ThreePanesDisplay, TabModes);
  for (uint8_t mode : TabModes)
    if (mode != kNoTab) TabControl1->addTab(ModeCaption(mode));
  TabControl1->setCurrentIndex(0);
}

// ---- shared steps ----

void TMainFrm::FullRedraw() {
  // Whatever changed before a redraw may change what the editors allow.
  commandQueriesStale_ = true;
  if (!CurrentEditor) return;
  CurrentEditor->Paint(CurrentShape, *Image1);
  CurrentEditor->PublishLineMarks();
  SecondPaneRedraw();
}

void TMainFrm::RefreshEditorUi(bool withHandles) {
  if (CurrentShapeEditor) {
    CurrentShapeEditor->SyncFromShape(CurrentShape);
    CurrentShapeEditor->UpdateSelectionBox(CurrentShape, withHandles);
  }
  FullRedraw();
  RefreshModeControls();
  shape::RefreshTextureDisplay(CurrentShape);
  TextureDirty = true;
  PlaneDirty = true;
}

// The controls under the main pane that belong to the current mode.
void TMainFrm::RefreshModeControls() {
  const int m = EditorMode;
  const bool lines = m >= 1 && m <= 5;
  for (QWidget* w :
       {static_cast<QWidget*>(spBtnGDn), static_cast<QWidget*>(spBtnGUp), static_cast<QWidget*>(spBtnGLk)})
    w->setVisible(lines);
  if (lines) UpdateLineButton();
  const bool sides = m == 0 || m == 3 || m == 4;
  for (int k = 0; k < 6; ++k) SideBtn[k]->setVisible(sides);
  if (sides && CurrentShapeEditor) {
    const int side = CurrentShapeEditor->ViewSide;
    if (side >= 0 && side < 6) SideBtn[side]->setChecked(true);
  }
  for (int k = 0; k < 4; ++k) SpBtnPen[k]->setVisible(m == 6);
  SpBtnErase->setVisible(m == 6);
  CBPenWidth->setVisible(m == 6);
  if (m == 6) SyncPenButtons();
  CBisSurface->setVisible(m == 0);
  CBisDispDodudaLine->setVisible(m == 0);
  const bool shapeModes = m <= 5;
  for (QWidget* w : {static_cast<QWidget*>(CBEv), static_cast<QWidget*>(LEv), static_cast<QWidget*>(SBXY),
                     static_cast<QWidget*>(CBRgMode), static_cast<QWidget*>(LRgMode)})
    w->setVisible(shapeModes);
  if (shapeModes && CurrentEditor) {
    const QSignalBlocker block(CBRgMode);
    CBRgMode->setCurrentIndex(CurrentEditor->EditMode == EDIT_WORP ? 1 : 0);
  }
  SBRgModeUpdate->setVisible(CurrentEditor && CurrentEditor->EditMode == EDIT_WORP);
  const bool channels = m == 7;
  for (QWidget* w :
       {static_cast<QWidget*>(LBS2), static_cast<QWidget*>(LBX1), static_cast<QWidget*>(LBY1),
        static_cast<QWidget*>(LBZ1), static_cast<QWidget*>(SE2), static_cast<QWidget*>(NEX1),
        static_cast<QWidget*>(NEY1), static_cast<QWidget*>(NEZ1), static_cast<QWidget*>(spBtnXYZUpdate1)})
    w->setVisible(channels);
  for (int k = 0; k < 3; ++k) {
    spBtnUp2[k]->setVisible(channels);
    spBtnDn2[k]->setVisible(channels);
  }
  SelectEditLevelItem();
}

void TMainFrm::AfterCommand() {
  shape::CommitShapePoints(CurrentShape);
  shape::UndoPush(*UndoRing, CurrentShape);
  MeshDirty = true;
  RefreshEditorUi(true);
}

void TMainFrm::ResetEditorsForShape() {
  for (TScBase* e :
       {static_cast<TScBase*>(ScGYRAN), static_cast<TScBase*>(ScTOKOROTEN), static_cast<TScBase*>(ScDODUDA),
        static_cast<TScBase*>(ScMAGE), static_cast<TScBase*>(ScMAGETorus), static_cast<TScBase*>(ScWAPPA)})
    e->ResetForShape();
}

void TMainFrm::ChoosePaintersAll() {
  for (TEditBase* e : {static_cast<TEditBase*>(ScGYRAN), static_cast<TEditBase*>(ScTOKOROTEN),
                       static_cast<TEditBase*>(ScDODUDA), static_cast<TEditBase*>(ScMAGE),
                       static_cast<TEditBase*>(ScMAGETorus), static_cast<TEditBase*>(ScWAPPA),
                       static_cast<TEditBase*>(ScBitmap), static_cast<TEditBase*>(TxDraw)})
    e->ChoosePainters();
}

void TMainFrm::NewShape(shape::TScType type, int32_t columns, int32_t rows) {
  shape::InitShape(CurrentShape, type, columns, rows);
  shape::CommitShapePoints(CurrentShape);
  SetStatusText(2, "Sculpted Prim:Initial Data");
  ResetEditorsForShape();
  ShowDefaultTexture();
  MeshDirty = true;
  UpdateTabsAndStatus();
}

void TMainFrm::SetSelectionAll(bool value) {
  if (!CurrentShapeEditor) return;
  shape::FillPointFlags(CurrentShape.SP, CurrentShape.CPMaxI, CurrentShape.CPMaxJ, value);
  shape::CommitShapePoints(CurrentShape);
  shape::RefreshTextureDisplay(CurrentShape);
  TextureDirty = true;
  shape::CountSelectedPoints(CurrentShape);
  shape::UndoPush(*UndoRing, CurrentShape);
  CurrentShapeEditor->UpdateSelectionBox(CurrentShape, true);
  FullRedraw();
}

// ---- the controls' handlers that are not commands of a menu ----

void TMainFrm::WireControls() {
  Image1->OnMouseDown = [this](platform::TControl*, platform::TMouseButton b, platform::TShiftState s, int x,
                               int y) { Image1MouseDown(b, s, x, y); };
  Image1->OnMouseMove = [this](platform::TControl*, platform::TShiftState s, int x, int y) {
    Image1MouseMove(s, x, y);
  };
  Image1->OnMouseUp = [this](platform::TControl*, platform::TMouseButton b, platform::TShiftState s, int x,
                             int y) { Image1MouseUp(b, s, x, y); };
  Image1->OnMouseLeave = [this](platform::TControl*) { Image1MouseLeave(); };
  // A pane that changes its size (the window, a splitter, a collapsed pane) is painted again.
  auto repaint = [this](platform::TControl*) {
    if (!Starting && PaneRequest == 0) PaneRequest = 2;
  };
  Image1->OnResize = repaint;
  Image2->OnResize = repaint;
  Image2->OnMouseDown = [this](platform::TControl*, platform::TMouseButton b, platform::TShiftState s, int x,
                               int y) { Image2MouseDown(b, s, x, y); };
  Image2->OnMouseMove = [this](platform::TControl*, platform::TShiftState s, int x, int y) {
    Image2MouseMove(s, x, y);
  };
  Image2->OnMouseUp = [this](platform::TControl*, platform::TMouseButton b, platform::TShiftState s, int x,
                             int y) { Image2MouseUp(b, s, x, y); };
  GL3DSceneViewer1->OnMouseDown = [this](platform::TControl*, platform::TMouseButton, platform::TShiftState,
                                         int x, int y) { ViewerMouseDown(x, y); };
  GL3DSceneViewer1->OnMouseMove = [this](platform::TControl*, platform::TShiftState s, int x, int y) {
    ViewerMouseMove(s, x, y);
  };
  // Files dropped on the 3D view or on the pane area.
  DropDst1 = new platform::TDropDst(this);
  DropDst1->SetControl(GL3DSceneViewer1);
  DropDst1->OnFileDrop = [this](platform::TDropDst*, const std::vector<std::string>& files, int32_t,
                                int32_t) { DropDst1FileDrop(files); };
  DropDst1->Loaded();
  DropDst2 = new platform::TDropDst(this);
  DropDst2->SetControl(Panel5);
  DropDst2->OnFileDrop = [this](platform::TDropDst*, const std::vector<std::string>& files, int32_t,
                                int32_t) { DropDst2FileDrop(files); };
  DropDst2->Loaded();
  connect(TabControl1, &QTabBar::currentChanged, this,
          [this](int) { platform::GuardedCall([this] { TabControl1Change(); }); });
  connect(SE1, &QSpinBox::valueChanged, this, [](int v) { ChannelStep = v; });
  connect(SE2, &QSpinBox::valueChanged, this, [](int v) { ChannelStep = v; });
}

void TMainFrm::WireActions() {
  WireFileActions();
  WireViewActions();
  WireEditActions();
  WireShapeActions();
  WireSidesSectionActions();
  WireBitmapActions();
  WirePaneButtons();
  Act("FileExit")->OnExecute = [this](platform::TAction*) { close(); };
}

}  // namespace editor
