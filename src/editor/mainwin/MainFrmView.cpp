// How the user looks at the shape: the View menu, the controls beside the panes, the 3D view's
// drag and wheel, the panes' wheel zoom, the collapsible panes, the window's minimum size and the
// pane scroll bars in their two behaviours.
#include <QCheckBox>
#include <QComboBox>
#include <QMenuBar>
#include <QResizeEvent>
#include <QScrollBar>
#include <QSlider>
#include <QTabBar>
#include <QToolButton>
#include <cmath>

#include "common/Round.h"
#include "editor/dialogs/EditLineDlg.h"
#include "editor/editors/ShapeEditorGrid.h"
#include "editor/editors/uScDODUDA.h"
#include "editor/mainwin/EditorModules.h"
#include "editor/mainwin/MainFrm.h"
#include "editor/mainwin/PanelRow.h"
#include "editor/mainwin/PreviewScene.h"
#include "editor/panes/ScBase.h"
#include "editor/panes/ScBitmap.h"
#include "platform/ui/Application.h"
#include "platform/ui/Control.h"
#include "scene3d/platform/GL3DSceneViewer.h"
#include "settings/AppSettings.h"
#include "shape/TextureBitmaps.h"
#include "shape/model/uScPrim.h"

namespace editor {

using settings::AppSettings;
using shape::CurrentShape;

namespace {

constexpr int kCollapsedWidth = 12;
constexpr int kMinWindowWidth = 1024;
constexpr int kMinWindowHeight = 710;

// The focal length after `notches` steps of the zoom factor, kept within 50 to 300 (a value that
// is no number falls to the lower bound).
float ZoomedFocalLength(float focal, double notches) {
  const double f = focal * std::pow(AppSettings.PreViewZoom, notches);
  if (!(f >= kMinFocalLength)) return kMinFocalLength;
  if (f > kMaxFocalLength) return kMaxFocalLength;
  return static_cast<float>(f);
}

}  // namespace

void TMainFrm::WireViewActions() {
  auto modeView = [this] { return EditorMode != 6 && EditorMode != 7; };
  for (int level = 2; level <= 8; ++level) {
    platform::TAction* a = Act("Zoom0" + std::to_string(level));
    a->OnUpdate = [this, modeView](platform::TAction* s) {
      s->SetEnabled(modeView());
      s->SetChecked(CurrentEditor && CurrentEditor->GetZoomLevel() == s->Tag);
    };
    a->OnExecute = [this](platform::TAction* s) {
      CurrentEditor->SetZoomLevel(s->Tag);
      PaneRequest = 2;
    };
  }
  Act("ZoomIn")->OnExecute = [this](platform::TAction*) {
    CurrentEditor->ZoomStep(1);
    PaneRequest = 2;
  };
  Act("ZoomOut")->OnExecute = [this](platform::TAction*) {
    CurrentEditor->ZoomStep(-1);
    PaneRequest = 2;
  };
  for (const char* name : {"Grid00", "Grid01", "Grid04", "Grid08"}) {
    platform::TAction* a = Act(name);
    a->OnUpdate = [this, modeView](platform::TAction* s) {
      s->SetEnabled(modeView());
      s->SetChecked(EditorMode == 5 ? s->Tag == 0 : AppSettings.Grid == s->Tag);
    };
    a->OnExecute = [this](platform::TAction* s) {
      if (EditorMode == 5) return;
      AppSettings.Grid = s->Tag;
      if (CurrentShapeEditor) CurrentShapeEditor->SyncFromShape(CurrentShape);
      FullRedraw();
    };
  }
  Act("ViewDispCtrl")->OnUpdate = [modeView](platform::TAction* s) {
    s->SetEnabled(modeView());
    s->SetChecked(shape::ShowTextureGrid);
  };
  Act("ViewDispCtrl")->OnExecute = [this](platform::TAction*) {
    shape::ShowTextureGrid = !shape::ShowTextureGrid;
    shape::RefreshTextureDisplay(CurrentShape);
    TextureDirty = true;
  };
  Act("ViewEditLine")->OnUpdate = [this](platform::TAction* s) { s->SetVisible(EditorMode == 0); };
  Act("ViewEditLine")->OnExecute = [this](platform::TAction*) {
    if (!EditLineDlg) return;
    EditLineDlg->Execute(CurrentShape, ScDODUDA->EditColumnMarks, ScDODUDA->EditRowMarks);
    AfterCommand();
  };
  for (const char* name : {"ViewSymmetryNone", "ViewSymmetryMirror", "ViewSymmetryRotation",
                           "ViewSymmetry4Mirror", "ViewSymmetry4Rotation"}) {
    platform::TAction* a = Act(name);
    a->OnUpdate = [this](platform::TAction* s) {
      s->SetChecked(SymmetryMode == s->Tag);
      // Only the extrusion, torus bend and ring editors keep symmetry partners.
      ViewSymmetry->setVisible(EditorMode == 2 || EditorMode == 4 || EditorMode == 5);
    };
    a->OnExecute = [](platform::TAction* s) { SymmetryMode = s->Tag; };
  }
  for (const char* name : {"ViewLevel01", "ViewLevel02", "ViewLevel04"}) {
    platform::TAction* a = Act(name);
    a->OnUpdate = [modeView](platform::TAction* s) {
      s->SetEnabled(modeView());
      s->SetChecked(AppSettings.ViewLevel == s->Tag);
    };
    a->OnExecute = [this](platform::TAction* s) {
      AppSettings.ViewLevel = s->Tag;
      AppSettings.EditLevel = s->Tag;
      MeshDirty = true;
      RefreshEditorUi(false);
    };
  }
  Act("ViewDispBkground")->OnUpdate = [this, modeView](platform::TAction* s) {
    s->SetEnabled(modeView());
    s->SetChecked(CurrentShapeEditor && CurrentShapeEditor->ShowBackground);
  };
  Act("ViewDispBkground")->OnExecute = [this](platform::TAction*) {
    if (!CurrentShapeEditor) return;
    CurrentShapeEditor->ToggleBackground();
    RefreshEditorUi(false);
  };
  Act("ActResetPosition1")->OnExecute = [this](platform::TAction*) {
    CurrentEditor->ResetOffsets();
    FullRedraw();
  };
  Act("ActResetZoom1")->OnExecute = [this](platform::TAction*) {
    CurrentEditor->ResetZoom();
    FullRedraw();
  };
  Act("ActResetPosition2")->OnExecute = [this](platform::TAction*) {
    ScBitmap->ResetOffsets();
    SecondPaneRedraw();
  };
  Act("ActResetZoom2")->OnExecute = [this](platform::TAction*) {
    ScBitmap->ResetZoom();
    SecondPaneRedraw();
  };

  // The controls beside the panes.
  connect(CBCubeDisp, &QCheckBox::clicked, this, [this](bool on) {
    AppSettings.CubeOfPreview = on;
    Preview->SetFrameVisible(on);
  });
  connect(CBPanelDisp, &QCheckBox::clicked, this, [this](bool on) {
    AppSettings.DodudaBackground = on;
    PlaneDirty = true;
  });
  connect(CBisSurface, &QCheckBox::clicked, this, [this](bool on) {
    AppSettings.DodudaSurface = on;
    FullRedraw();
  });
  connect(CBisDispDodudaLine, &QCheckBox::clicked, this, [this](bool on) {
    AppSettings.DodudaLine = on;
    FullRedraw();
  });
  connect(CBEv, &QComboBox::activated, this, [this](int index) {
    static const int levels[3] = {1, 2, 4};
    if (index >= 0 && index < 3) AppSettings.EditLevel = levels[index];
    TabControl1->setFocus();
  });
  for (QSlider* bar : {TrackBarX, TrackBarY, TrackBarZ})
    connect(bar, &QSlider::valueChanged, this, [this, bar](int position) {
      if (Starting) return;
      platform::GuardedCall([&] {
        settings::ObjectSize[bar->property("Tag").toInt()] = position / 10.0;
        settings::NormalizeAxisScales();
        ApplyObjectSize(false);
        RefreshEditorUi(false);
        MeshDirty = true;
        PlaneDirty = true;
        TabControl1->setFocus();
      });
    });
  connect(SBXY, &QToolButton::clicked, this, [] { HoverShowsChannels = !HoverShowsChannels; });
  connect(SpeedButton1, &QToolButton::clicked, this, [this] { CollapsePreviewPane(); });
  connect(SpeedButton2, &QToolButton::clicked, this, [this] {
    SecondPaneShown = !SecondPaneShown;
    LayoutSecondPane();
    FullRedraw();
  });
  PanelRow->OnMoved = [this](int splitter) {
    if (splitter == 2) {
      if (SecondPaneShown && SecondPaneWidth > 100) SecondPaneWidth = PanelRow->RightWidth();
      LayoutSecondPane();
      FullRedraw();
    }
  };
}

void TMainFrm::ApplyObjectSize(bool setTrackBars) {
  if (setTrackBars) {
    QSlider* bars[3] = {TrackBarX, TrackBarY, TrackBarZ};
    const bool was = Starting;
    Starting = true;  // the bars' own handler must not run for this
    for (int k = 0; k < 3; ++k) bars[k]->setValue(common::Round(settings::ObjectSize[k] * 10));
    Starting = was;
  }
  Preview->SetFrameSize(static_cast<float>(2 * settings::AxisScales[0]),
                        static_cast<float>(2 * settings::AxisScales[1]),
                        static_cast<float>(2 * settings::AxisScales[2]));
}

void TMainFrm::SelectEditLevelItem() {
  const QSignalBlocker block(CBEv);
  switch (AppSettings.EditLevel) {
    case 1:
      CBEv->setCurrentIndex(0);
      break;
    case 2:
      CBEv->setCurrentIndex(1);
      break;
    case 4:
      CBEv->setCurrentIndex(2);
      break;
    default:
      break;
  }
}

// ---- the 3D view ----

void TMainFrm::ViewerMouseDown(int32_t x, int32_t y) {
  ViewDragX = x;
  ViewDragY = y;
}

void TMainFrm::ViewerMouseMove(platform::TShiftState shift, int32_t x, int32_t y) {
  if (!shift.Contains(platform::ssLeft)) return;
  if (Preview->MoveAroundTarget(static_cast<float>(ViewDragY - y), static_cast<float>(ViewDragX - x))) {
    ViewDragX = x;
    ViewDragY = y;
  }
}

void TMainFrm::FormMouseWheel(int32_t delta, QPoint clientPos) {
  if (Starting) return;
  const int splitter1 = Splitter1->mapTo(this, QPoint(0, 0)).x();
  if (clientPos.x() < splitter1) {
    Preview->SetFocalLength(ZoomedFocalLength(Preview->FocalLength(), delta / 120.0));
    return;
  }
  if (AppSettings.ThreePanesDisplay && Splitter2->isVisible() &&
      clientPos.x() > Splitter2->mapTo(this, QPoint(0, 0)).x()) {
    PaneWheelZoom(*ScBitmap, *Image2, delta, 3);
    return;
  }
  if (CurrentEditor) PaneWheelZoom(*CurrentEditor, *Image1, delta, 2);
}

void TMainFrm::PaneWheelZoom(TEditBase& editor, platform::TCustomControl& image, int32_t delta,
                             int32_t request) {
  const QPoint p = image.mapFromGlobal(QCursor::pos());
  const int w = image.width(), h = image.height();
  double dx = 0, dy = 0;
  if (p.x() > 0 && p.x() < w && p.y() > 0 && p.y() < h) {
    dx = common::Round(w / 2.0 - p.x());
    dy = common::Round(h / 2.0 - p.y());
  }
  editor.WheelZoom(delta, dx, dy);
  PaneRequest = request;
}

// ---- panes ----

void TMainFrm::CollapsePreviewPane() {
  if (PanelRow->LeftWidth() == kCollapsedWidth) {
    PanelRow->SetLeftWidth(PreviewPaneWidth);
    ActionMainMenuBar2->show();
  } else {
    PreviewPaneWidth = PanelRow->LeftWidth();
    PanelRow->SetLeftWidth(kCollapsedWidth);
    ActionMainMenuBar2->hide();
  }
}

int32_t TMainFrm::SecondPaneContentWidth() const {
  return (CurrentShape.CPMaxI + 1) * ScBitmap->CellSize + 1 + 36;
}

void TMainFrm::LayoutSecondPane() {
  if (SecondPaneShown) {
    const int32_t a = SecondPaneContentWidth();
    if (SecondPaneWidth == -1) SecondPaneWidth = a;
    const int32_t room = width() - Panel1->mapTo(this, QPoint(0, 0)).x() - 100;
    if (room < SecondPaneWidth) SecondPaneWidth = room;
    if (a < SecondPaneWidth) SecondPaneWidth = a;
    if (SecondPaneWidth < 100) SecondPaneWidth = 100;
    if (SecondPaneWidth < 272) SecondPaneWidth = 272;
    PanelRow->SetRightWidth(SecondPaneWidth);
    Splitter2->setEnabled(true);
    ActionMainMenuBar3->show();
    Panel4->show();
    Panel4->setFocus();
  } else {
    if (Image2->isVisible()) SecondPaneWidth = PanelRow->RightWidth();
    PanelRow->SetRightWidth(kCollapsedWidth);
    Splitter2->setEnabled(false);
    Panel4->hide();
    ActionMainMenuBar3->hide();
  }
}

void TMainFrm::resizeEvent(QResizeEvent* e) {
  QMainWindow::resizeEvent(e);
  FormResize();
}

void TMainFrm::FormResize() {
  if (Starting) return;
  ActionMainMenuBar1->setFixedHeight(24);
  // The minimum holds for the window's outer size, its frame included.
  const QSize outer = frameGeometry().size();
  const int frameW = outer.width() - width(), frameH = outer.height() - height();
  if (!isMaximized() && !isFullScreen() && (outer.width() < kMinWindowWidth || outer.height() < kMinWindowHeight))
    resize(std::max(width(), kMinWindowWidth - frameW), std::max(height(), kMinWindowHeight - frameH));
  // Panel3's own resize rule: an open pane remembers the width it was given.
  if (SecondPaneShown && SecondPaneWidth > 100 && !Panel3->isHidden())
    SecondPaneWidth = PanelRow->RightWidth();
  SyncScrollBars();
  PaneRequest = 3;
}

// ---- scroll bars ----

void TMainFrm::SetupScrollBars() {
  QScrollBar* bars[4] = {ScrollBarW1, ScrollBarH1, ScrollBarW2, ScrollBarH2};
  for (QScrollBar* bar : bars) {
    QObject::disconnect(bar, &QScrollBar::valueChanged, this, nullptr);
    const QSignalBlocker block(bar);
    if (AppSettings.SmartScrollBar) {
      bar->setRange(0, 4);
      // A click in the trough scrolls a page: two steps.
      bar->setPageStep(2);
      bar->setSingleStep(1);
      bar->setValue(2);
    } else {
      bar->setRange(0, 100);
      bar->setPageStep(10);
      bar->setSingleStep(1);
    }
  }
  for (QScrollBar* bar : bars) {
    const bool second = bar == ScrollBarW2 || bar == ScrollBarH2;
    const bool horizontal = bar == ScrollBarW1 || bar == ScrollBarW2;
    connect(bar, &QScrollBar::valueChanged, this,
            [this, bar, second, horizontal](int) { ScrollBarChange(bar, second, horizontal); });
  }
  if (!AppSettings.SmartScrollBar) SyncScrollBars();
}

void TMainFrm::ScrollBarChange(QScrollBar* bar, bool second, bool horizontal) {
  TEditBase* editor = second ? static_cast<TEditBase*>(ScBitmap) : CurrentEditor;
  platform::TCustomControl* image = second ? Image2 : Image1;
  if (!editor) return;
  if (AppSettings.SmartScrollBar) {
    const int position = bar->value();
    if (position == 2) return;
    const int code = position - 2;
    editor->ScrollBy(horizontal ? code : 0, horizontal ? 0 : code, image->width(), image->height());
    {
      const QSignalBlocker block(bar);
      bar->setValue(2);
    }
    editor->Paint(CurrentShape, *image);
    return;
  }
  if (!ScrollSyncEnabled) return;
  if (horizontal)
    editor->SetScrollPosX(bar->value());
  else
    editor->SetScrollPosY(bar->value());
  editor->Paint(CurrentShape, *image);
}

void TMainFrm::SyncScrollBars() {
  if (AppSettings.SmartScrollBar || !CurrentEditor) return;
  ScrollSyncEnabled = false;
  int32_t x = 0, y = 0;
  CurrentEditor->GetScrollPos(x, y);
  ScrollBarW1->setValue(x);
  ScrollBarH1->setValue(y);
  if (AppSettings.ThreePanesDisplay && Panel4->isVisible()) {
    ScBitmap->GetScrollPos(x, y);
    ScrollBarW2->setValue(x);
    ScrollBarH2->setValue(y);
  }
  ScrollSyncEnabled = true;
}

void TMainFrm::SecondPaneRedraw() {
  if (SecondPaneShown) {
    ScBitmap->Paint(CurrentShape, *Image2);
    FillChannelBoxes(true);
  } else {
    FillChannelBoxes(false);
  }
}

}  // namespace editor
