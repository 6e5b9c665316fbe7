#pragma once
// TMainFrm: the main window, the spine of the program. It works on the program-wide shape
// (shape::CurrentShape), owns the undo ring, the 3D preview and the list of plug-ins, decides
// which of the eight editors is current (the editor mode), routes the panes' input to it,
// runs the commands of its menus, and on idle carries out what edits left pending: the preview
// mesh, the texture upload, the background plane, the pane repaint.
//
// Its code is split by purpose:
//   MainFrmLayout.cpp  the form: panels, menus and actions, controls, status bar
//   MainFrmSteps.cpp   the create and destroy handlers and the shared steps
//   MainFrmIdle.cpp    the idle loop
//   MainFrmPanes.cpp   the panes' mouse and key input and the channel read-outs
//   MainFrmView.cpp    the View commands, the 3D camera, the pane layout and scroll bars
//   MainFrmFiles.cpp   the File, Texture and background commands and the drop targets
//   MainFrmPlugins.cpp the Tools menu
//   EditCommands.cpp   the Edit and Help menus, the enabling of the command menus
//   ShapeCommands.cpp  the Shape menu
//   SidesSectionCommands.cpp the Sides and Section menus
//   BitmapCommands.cpp the second pane's Bitmap menu (the point clipboard)
//   PaneButtons.cpp    the buttons, lists and channel boxes under the panes
//
// Fields and components are public: the command code of the window and its tests reach them by
// the names the window's description gives them.
#include <QImage>
#include <QMainWindow>
#include <QString>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "editor/PluginHost.h"
#include "platform/ui/Actions.h"
#include "platform/ui/Control.h"
#include "platform/ui/FileDialogs.h"
#include "shape/model/UBuf.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QMenu;
class QMenuBar;
class QScrollBar;
class QSlider;
class QSpinBox;
class QTabBar;
class QToolButton;

namespace gl3d {
class TGL3DSceneViewer;
}
namespace platform {
class TApplication;
class TBitmap;
class TCustomControl;
class TDropDst;
}  // namespace platform

namespace editor {

class TEditBase;
class TScBase;
class TNumEdit;
class TPreviewScene;
class TPanelRow;
class TColorDlg;
class TMirrorDlg;
class TAboutDlg;
class TOffsetDlg;
class TNewDlg;
class TEditLineDlg;
class TSetupDlg;
class TSidesDlg;
class TColladaDlg;

// What the window is started with.
struct TMainFrmOptions {
  // The command-line arguments after the program's name.
  std::vector<std::string> Arguments;
  // Where plug-ins are looked for; empty: the program's folder.
  std::filesystem::path PluginFolder;
  // Called when the window has closed (the program ends then).
  std::function<void()> OnClosed;
};

// The program's run: makes the main window with `options` (its create handler may warn, about
// the file on the command line, before the window shows), then its dialogs, shows it and runs
// the event loop, with the window's idle loop on `application`, until the window closes. The
// answer is the loop's status. A window that closes before the loop runs (while a start-up
// warning waits for its answer) ends the run at once with 0: asking a loop that is not running
// yet to quit does nothing, and the program would wait for ever without a window.
// `options.OnClosed` is called, when set, each time the window closes.
int RunMainWindow(TMainFrmOptions options, platform::TApplication& application);

// Editor mode of each TabModes entry; 8 marks an empty entry.
constexpr uint8_t kNoTab = 8;
// The TabModes row of a stitch type, with "3 Panes Display" on or off.
void TabModesFor(shape::TScType type, bool threePanes, uint8_t modes[7]);
// The texture painter's pen widths, the items of the pen width list.
inline constexpr int32_t PenWidths[7] = {1, 3, 5, 10, 20, 25, 30};
// The tab caption of an editor mode.
const char* ModeCaption(int32_t mode);
// "000" for v <= 0, "255" for v >= 255, otherwise v with at least three digits.
std::string FormatChannelValue(int32_t v);

// The captions of Edit > Mirror's two items for a grid of `columns` x `rows` points ("Mirror
// 80-GG from 00-7G..." and "Mirror 08-GG from 00-G7..." for 33 x 33).
std::string HorizontalMirrorCaption(int32_t columns);
std::string VerticalMirrorCaption(int32_t rows);
// The glyph of pen colour `color` (red in the low byte) on `bitmap` (made 16 x 16 when it is
// not); the pixels outside the pen stay as they were.
void DrawPenGlyph(platform::TBitmap& bitmap, int32_t color);
// The 16 x 16 glyph of cross-section `type` (2..7): its profile as a black line on white.
void DrawSectionGlyph(platform::TBitmap& bitmap, int32_t type);
// What a channel box holds as a channel value: its number, 127 when it holds none.
int32_t ChannelBoxValue(const QString& text);

// The editors' answers that enable commands (equal spacing, same width, twist, optimize, custom
// sides). They may walk the grid, so the update handlers read them from here: they are asked
// again only after a redraw of the panes (which follows every change of the shape, the
// selection or the current editor's lines) or when the mode, the editor, the stitch type, the
// grid size or the selected count differ from when they were asked.
struct TCommandQueries {
  bool Valid = false;
  const void* Editor = nullptr;
  int32_t Mode = -1;
  int32_t ScType = -1;
  int32_t Columns = 0;
  int32_t Rows = 0;
  int32_t Count = -1;
  bool EqualIntervals = false;
  bool EqualDistance = false;
  bool EqualCurves = false;
  bool SameWidth = false;
  bool TwistApplies = false;
  bool CanTwist = false;
  bool CanOptimize = false;
  bool CustomSides = false;
  bool BitmapEqualIntervals = false;  // the sculpt-image editor's, for the second pane's menu
};

class TMainFrm : public QMainWindow {
 public:
  // Builds the form and runs the create handler.
  explicit TMainFrm(TMainFrmOptions options = {});
  // The destroy handler, then the form.
  ~TMainFrm() override;

  // The dialogs, each created once, in the program's order (after the main window).
  void CreateDialogs();
  TColorDlg* ColorDlg = nullptr;
  TMirrorDlg* MirrorDlg = nullptr;
  TAboutDlg* AboutDlg = nullptr;
  TOffsetDlg* OffsetDlg = nullptr;
  TNewDlg* NewDlg = nullptr;
  TEditLineDlg* EditLineDlg = nullptr;
  TSetupDlg* SetupDlg = nullptr;
  TSidesDlg* SidesDlg = nullptr;
  TColladaDlg* ColladaDlg = nullptr;

  // The open and save dialogs (a test puts a scripted one in place).
  void SetFileDialog(std::unique_ptr<platform::IFileDialog> dialog);
  platform::IFileDialog& FileDialog() { return *fileDialog_; }

  // ---- state ----
  bool Starting = true;
  bool TextureDirty = false;
  bool MeshDirty = false;
  bool PlaneDirty = true;
  int32_t PaneRequest = 0;
  std::unique_ptr<shape::TUBuf> UndoRing;
  uint8_t TabModes[7] = {kNoTab, kNoTab, kNoTab, kNoTab, kNoTab, kNoTab, kNoTab};
  int32_t LastSaveFilter = -1;
  TPluginHost PluginHandles;  // the loaded plug-ins
  uint8_t EditorMode = 0;
  TEditBase* CurrentEditor = nullptr;
  TScBase* CurrentShapeEditor = nullptr;
  bool SecondPaneShown = false;
  bool ScrollSyncEnabled = true;
  // Remembered pane widths, -1 until known.
  int32_t PreviewPaneWidth = -1;
  int32_t SecondPaneWidth = -1;
  // 3D view drag anchor.
  int32_t ViewDragX = 0;
  int32_t ViewDragY = 0;

  // Called before each idle step's work with its name ("mesh", "texture", "plane", "pane"), for
  // tests that watch the order of the work.
  std::function<void(const char* step)> OnIdleStep;

  // ---- components ----
  TPanelRow* PanelRow = nullptr;  // Panel2, Splitter1, Panel1, Splitter2, Panel3
  QWidget* Panel1 = nullptr;
  QWidget* Panel2 = nullptr;
  QWidget* Panel3 = nullptr;
  QWidget* Panel4 = nullptr;
  QWidget* Panel5 = nullptr;
  QWidget* Splitter1 = nullptr;
  QWidget* Splitter2 = nullptr;
  gl3d::TGL3DSceneViewer* GL3DSceneViewer1 = nullptr;
  std::unique_ptr<TPreviewScene> Preview;
  QMenuBar* ActionMainMenuBar1 = nullptr;
  QMenuBar* ActionMainMenuBar2 = nullptr;
  QMenuBar* ActionMainMenuBar3 = nullptr;
  QSlider* TrackBarX = nullptr;
  QSlider* TrackBarY = nullptr;
  QSlider* TrackBarZ = nullptr;
  QCheckBox* CBCubeDisp = nullptr;
  QCheckBox* CBPanelDisp = nullptr;
  QToolButton* SpeedButton1 = nullptr;
  QToolButton* SpeedButton2 = nullptr;
  QTabBar* TabControl1 = nullptr;
  platform::TCustomControl* Image1 = nullptr;
  platform::TCustomControl* Image2 = nullptr;
  QScrollBar* ScrollBarW1 = nullptr;
  QScrollBar* ScrollBarH1 = nullptr;
  QScrollBar* ScrollBarW2 = nullptr;
  QScrollBar* ScrollBarH2 = nullptr;
  QToolButton* SideBtn[6] = {};
  QToolButton* spBtnGDn = nullptr;
  QToolButton* spBtnGLk = nullptr;
  QToolButton* spBtnGUp = nullptr;
  QToolButton* SpBtnPen[4] = {};
  QToolButton* SpBtnErase = nullptr;
  QComboBox* CBPenWidth = nullptr;
  QCheckBox* CBisSurface = nullptr;
  QCheckBox* CBisDispDodudaLine = nullptr;
  QLabel* LEv = nullptr;
  QComboBox* CBEv = nullptr;
  QLabel* LRgMode = nullptr;
  QComboBox* CBRgMode = nullptr;
  QToolButton* SBRgModeUpdate = nullptr;
  QToolButton* SBXY = nullptr;
  // The channel boxes of the main pane (ending in 1 or 2) and of the second pane.
  QLabel* LBS2 = nullptr;
  TNumEdit* NEX1 = nullptr;
  TNumEdit* NEY1 = nullptr;
  TNumEdit* NEZ1 = nullptr;
  QLabel* LBX1 = nullptr;
  QLabel* LBY1 = nullptr;
  QLabel* LBZ1 = nullptr;
  QToolButton* spBtnUp2[3] = {};  // spBtnXUp2, spBtnYUp2, spBtnZUp2
  QToolButton* spBtnDn2[3] = {};
  QSpinBox* SE2 = nullptr;
  QToolButton* spBtnXYZUpdate1 = nullptr;
  TNumEdit* NEX = nullptr;
  TNumEdit* NEY = nullptr;
  TNumEdit* NEZ = nullptr;
  QLabel* LBX2 = nullptr;
  QLabel* LBY2 = nullptr;
  QLabel* LBZ2 = nullptr;
  QToolButton* spBtnUp[3] = {};  // spBtnXUp, spBtnYUp, spBtnZUp
  QToolButton* spBtnDn[3] = {};
  QSpinBox* SE1 = nullptr;
  QToolButton* spBtnXYZUpdate = nullptr;
  QLabel* StatusPanels[4] = {};
  QMenu* PopupMenu1 = nullptr;
  QMenu* PopupMenu2 = nullptr;
  QMenu* PopupMenu3 = nullptr;
  QMenu* PopupMenu4 = nullptr;
  // The main menu's items, by the menu's title ("&File" ... "&Help").
  QMenu* FileMenu = nullptr;
  QMenu* EditMenu = nullptr;
  QMenu* ShapeMenu = nullptr;
  QMenu* ViewMenu = nullptr;
  QAction* ViewSymmetry = nullptr;  // the "&Symmetry" submenu, shown in modes 2, 4 and 5
  QMenu* SidesMenu = nullptr;
  QMenu* SectionMenu = nullptr;
  QMenu* ToolsMenu = nullptr;
  QMenu* BitmapMenu = nullptr;
  QMenu* HelpMenu = nullptr;
  QMenu* TextureMenu = nullptr;
  QMenu* BitmapMenu3 = nullptr;

  // ActionManager1: every action by its name.
  platform::TActionList ActionManager1;
  platform::TAction* Act(const std::string& name) const;

  // ---- status bar ----
  QString StatusText(int panel) const;
  void SetStatusText(int panel, const QString& text);

  // ---- shared steps ----
  void SetEditorMode(int32_t mode);
  void TabControl1Change();
  void FullRedraw();
  void RefreshEditorUi(bool withHandles);
  void AfterCommand();
  void ResetEditorsForShape();
  void ChoosePaintersAll();
  void UpdateTabsAndStatus();
  void NewShape(shape::TScType type, int32_t columns, int32_t rows);
  void SetSelectionAll(bool value);

  // ---- idle ----
  void IdleLoop();
  // The first show has happened (Starting is false).
  void FormFirstShow();

  // ---- panes ----
  void Image1MouseDown(platform::TMouseButton button, platform::TShiftState shift, int32_t x, int32_t y);
  void Image1MouseMove(platform::TShiftState shift, int32_t x, int32_t y);
  void Image1MouseUp(platform::TMouseButton button, platform::TShiftState shift, int32_t x, int32_t y);
  void Image1MouseLeave();
  void Image2MouseDown(platform::TMouseButton button, platform::TShiftState shift, int32_t x, int32_t y);
  void Image2MouseMove(platform::TShiftState shift, int32_t x, int32_t y);
  void Image2MouseUp(platform::TMouseButton button, platform::TShiftState shift, int32_t x, int32_t y);
  void FormKeyUp(uint16_t key, platform::TShiftState shift);
  void ShowCursorChannels(QLabel* lx, QLabel* ly, QLabel* lz, int32_t x, int32_t y);
  void FillChannelBoxes(bool secondPane);
  void CommitBitmapEdit();

  // ---- view ----
  void ApplyObjectSize(bool setTrackBars);
  void SelectEditLevelItem();
  void FormMouseWheel(int32_t delta, QPoint clientPos);
  void PaneWheelZoom(TEditBase& editor, platform::TCustomControl& image, int32_t delta, int32_t request);
  void CollapsePreviewPane();
  void LayoutSecondPane();
  void FormResize();
  void SetupScrollBars();
  void SyncScrollBars();
  void SecondPaneRedraw();
  void ViewerMouseDown(int32_t x, int32_t y);
  void ViewerMouseMove(platform::TShiftState shift, int32_t x, int32_t y);

  // ---- files ----
  // True when the file was read (the mend: a file that cannot be read leaves everything as it
  // was and warns).
  bool OpenShapeFile(const std::string& path, int32_t forcedType);
  void OpenAndRemember(const std::string& path, int32_t forcedType);
  // True when the shape was written.
  bool SaveShapeFile(std::string path);
  void ShowDefaultTexture();
  bool LoadTexture(const std::string& path, bool repaint);
  void SetSaveOverwritePrompt();
  // The drop targets: DropDst1 on the viewer (a texture), DropDst2 on Panel5 (a shape).
  platform::TDropDst* DropDst1 = nullptr;
  platform::TDropDst* DropDst2 = nullptr;
  void DropDst1FileDrop(const std::vector<std::string>& files);
  void DropDst2FileDrop(const std::vector<std::string>& files);

  // ---- the commands of the Edit, Shape, Sides, Section and Bitmap menus ----
  // The enabling of the menu items that hold commands (Edit, Sides, Section, Bitmap and their
  // submenus), run on idle after the actions' update handlers.
  void UpdateCommandMenus();
  // The editors' enabling answers, asked again when they are out of date.
  const TCommandQueries& CommandQueries();
  // Undo (or Redo) into the shape; a beep when there is nothing to step to.
  void EditUndoExecute(bool redo);
  void EditOffsetExecute();
  void SidesCustomExecute();
  // The eight section actions (Section menu), with the glyphs of sections 2 to 7.
  void BuildSectionActions();
  // The glyphs of the window (the section glyphs, in the order they were added).
  std::vector<QImage> ImageList1;
  // The current-line button: down when the current line is marked, captioned with its label.
  void UpdateLineButton();
  // The end of a change made with the channel boxes or their step buttons.
  void AfterChannelEdit();
  // The pen buttons' glyphs from the four pen colours.
  void UpdatePenGlyphs();
  // The pen or eraser button that matches the texture painter's tool and colour is down.
  void SyncPenButtons();

  // ---- plug-ins ----
  void LoadPlugins();
  void RunPlugin(platform::TAction* action);
  void UnloadPlugins();

  // The window's own pane width arithmetic for the second pane at the current grid.
  int32_t SecondPaneContentWidth() const;

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  // After a modal dialog: the window active again, the focus back on its control.
  void RestoreFocusAfterDialog();

 private:
  // MainFrmLayout.cpp
  void BuildForm();
  void BuildPreviewPanel();
  void BuildMainPanel();
  void BuildControlStrip(QWidget* strip);
  void BuildSecondPanel();
  void BuildStatusBar();
  void BuildMenus();
  void BuildFileActions();
  void BuildEditMenu();
  void BuildShapeMenu();
  void BuildViewMenu();
  void BuildSidesMenu();
  void BuildBitmapMenus();
  void BuildPopupMenus();
  platform::TAction* NewAction(const std::string& name, const QString& caption, int tag = 0,
                               const QKeySequence& keys = {});
  QMenu* AddSubmenu(QMenu* menu, const QString& title, std::initializer_list<const char*> actions);
  void AddActions(QMenu* menu, std::initializer_list<const char*> actions);
  void WireControls();

  // MainFrmSteps.cpp
  void FormCreate();
  void FormDestroy();
  void RefreshModeControls();
  void WireActions();

  // MainFrmView.cpp
  void WireViewActions();
  void ScrollBarChange(QScrollBar* bar, bool second, bool horizontal);
  void SetPanelWidth(QWidget* panel, int32_t width);

  // MainFrmFiles.cpp
  void WireFileActions();
  bool PrepareOpenDialog(platform::TFileDialogRequest& request, const std::string& path);
  void FileSTLoadExecute();
  void FileNewExecute();
  void FileSTSaveExecute();
  void FileStSaveLastExecute();
  void FileSetupExecute();
  void TextureLoadExecute();
  // The save dialog of the texture commands, starting at the last texture file.
  bool AskTextureSaveName(const char* title, platform::TFileDialogResult& result);
  void TextureSaveExecute();
  void TextureDividedSaveExecute();
  void ViewLoadBkgroundExecute();

  // MainFrmPlugins.cpp
  void PluginActionUpdate(platform::TAction* action);

  // The files of the commands.
  void WireEditActions();
  void WireShapeActions();
  void WireSidesSectionActions();
  void WireBitmapActions();
  void WirePaneButtons();
  // The step and "Update" buttons of one set of channel boxes.
  void WireChannelBoxes(QToolButton* const (&up)[3], QToolButton* const (&down)[3], QToolButton* update,
                        TNumEdit* x, TNumEdit* y, TNumEdit* z);

  TMainFrmOptions options_;
  std::unique_ptr<platform::IFileDialog> fileDialog_;
  bool overwritePrompt_ = true;
  bool destroyed_ = false;
  std::vector<platform::TAction*> pluginActions_;
  TCommandQueries commandQueries_;
  bool commandQueriesStale_ = true;
  // The submenu items whose enabling follows the commands they hold, found by their first
  // action (in the menu bars and the popup menus).
  struct TSubmenuItems {
    std::vector<QAction*> Twist;         // EditTWist0, EditTwist1
    std::vector<QAction*> EditSmooth;    // EditSmooth0..3
    std::vector<QAction*> BitmapSmooth;  // BitmapSmooth0..3
  } submenuItems_;
  friend class TMainFrmTestAccess;

 public:
  bool SaveOverwritePrompt() const { return overwritePrompt_; }
};

}  // namespace editor
