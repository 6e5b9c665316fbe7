#pragma once
// What the pane tests share: one QApplication, a shown headless pane wired to an editor as the
// main window wires it (mouse events to the Handle... operations, key-up to HandleKeyDown), a
// shape record on the heap, the settings restored after each test, and a recording of the
// drawing calls a paint makes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <memory>
#include <vector>

#include "editor/panes/EditBase.h"
#include "editor/panes/PaneDrawing.h"
#include "platform/gfx/PainterDrawing.h"
#include "platform/gfx/RecordingDrawing.h"
#include "platform/ui/Keys.h"
#include "settings/AppSettings.h"
#include "shape/model/ShapeRecord.h"
#include "shape/model/uScPrim.h"
#include "shape/model/uScSelect.h"

namespace editor_test {

inline QApplication& App() {
  static int argc = 1;
  static char name[] = "test_editor_panes";
  static char* argv[] = {name, nullptr};
  // Never destroyed: destroying it among Qt's own exit-time destructors is not safe.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

// The settings and the derived axis values as they were, put back at the end.
class SettingsGuard {
 public:
  SettingsGuard() : saved_(settings::AppSettings), maxRatio_(settings::MaxAxisRatio) {
    for (int k = 0; k < 3; ++k) ratios_[k] = settings::AxisRatios[k];
  }
  ~SettingsGuard() {
    settings::AppSettings = saved_;
    settings::MaxAxisRatio = maxRatio_;
    for (int k = 0; k < 3; ++k) settings::AxisRatios[k] = ratios_[k];
    platform::ForgetKeys();
  }

 private:
  settings::TAppSettings saved_;
  double maxRatio_;
  double ratios_[3];
};

// A shape record on the heap (it is 3.5 MB), initialised as a primitive, committed, nothing
// selected.
inline std::unique_ptr<shape::TCS> NewShape(shape::TScType type, int columns, int rows) {
  auto cs = std::make_unique<shape::TCS>();
  shape::InitShape(*cs, type, columns, rows);
  shape::CommitShapePoints(*cs);
  shape::CountSelectedPoints(*cs);
  return cs;
}

// A pane shown headless and wired to an editor.
class Pane {
 public:
  Pane(editor::TEditBase& editor, shape::TCS& shape, int width = 400, int height = 400)
      : editor_(editor), shape_(shape) {
    App();
    control = std::make_unique<platform::TCustomControl>();
    control->resize(width, height);
    control->show();
    if (!QTest::qWaitForWindowExposed(control.get())) ADD_FAILURE() << "the pane was not shown";
    control->OnMouseDown = [this](platform::TControl*, platform::TMouseButton b, platform::TShiftState s,
                                  int x, int y) {
      if (b == platform::mbLeft) editor_.HandleMouseDown(shape_, *control, s, x, y);
    };
    control->OnMouseMove = [this](platform::TControl*, platform::TShiftState s, int x, int y) {
      if (editor_.HandleMouseMove(shape_, *control, s, x, y)) moveChanged = true;
    };
    control->OnMouseUp = [this](platform::TControl*, platform::TMouseButton b, platform::TShiftState s, int x,
                                int y) {
      if (b == platform::mbLeft) {
        released = true;
        upResult = editor_.HandleMouseUp(shape_, *control, s, x, y);
      }
    };
    // The modifier keys' own releases reach the editor too, as they reach the main window; the
    // result kept is that of the last other key.
    control->OnKeyUp = [this](platform::TControl*, uint16_t& key, platform::TShiftState s) {
      const bool modifier =
          key == platform::VK_SHIFT || key == platform::VK_CONTROL || key == platform::VK_MENU;
      const int32_t result = editor_.HandleKeyDown(shape_, key, s);
      if (!modifier) keyResult = result;
    };
    control->setFocus();
  }

  // A press, moves through the points and a release at the last, with the modifiers held.
  void Drag(const std::vector<QPoint>& path, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    released = false;
    moveChanged = false;
    QTest::mousePress(control.get(), Qt::LeftButton, mods, path.front());
    for (size_t k = 1; k < path.size(); ++k) MoveTo(path[k], mods);
    QTest::mouseRelease(control.get(), Qt::LeftButton, mods, path.back());
  }
  void Press(QPoint p, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    released = false;
    moveChanged = false;
    QTest::mousePress(control.get(), Qt::LeftButton, mods, p);
  }
  // A move with the button held (QTest moves carry the buttons pressed before).
  void MoveTo(QPoint p, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QMouseEvent e(QEvent::MouseMove, QPointF(p), control->mapToGlobal(QPointF(p)), Qt::NoButton, buttons_,
                  mods);
    QApplication::sendEvent(control.get(), &e);
  }
  void Release(QPoint p, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::mouseRelease(control.get(), Qt::LeftButton, mods, p);
  }
  // A move with no button held.
  void Hover(QPoint p, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QMouseEvent e(QEvent::MouseMove, QPointF(p), control->mapToGlobal(QPointF(p)), Qt::NoButton, Qt::NoButton,
                  mods);
    QApplication::sendEvent(control.get(), &e);
  }
  int Key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    keyResult = -1;
    QTest::keyClick(control.get(), key, mods);
    return keyResult;
  }
  void Paint() { editor_.Paint(shape_, *control); }
  platform::TBitmap& Surface() { return control->Surface(); }
  platform::TColor Pixel(int x, int y) { return control->Surface().PixelColor(x, y); }

  std::unique_ptr<platform::TCustomControl> control;
  bool released = false;
  bool upResult = false;
  bool moveChanged = false;
  int keyResult = -1;

 private:
  editor::TEditBase& editor_;
  shape::TCS& shape_;
  Qt::MouseButtons buttons_ = Qt::LeftButton;
};

// While it lives, every pane painter's drawing is recorded (and still drawn on the pane).
class PaintRecorder {
 public:
  PaintRecorder() {
    editor::SetPaneDrawingFactory([this](platform::TBitmap& surface) -> std::unique_ptr<platform::TDrawing> {
      return std::make_unique<Recorder>(surface, calls);
    });
  }
  ~PaintRecorder() { editor::SetPaneDrawingFactory(nullptr); }

  std::vector<platform::TDrawCall> calls;

 private:
  // The painter is made before the recording that forwards to it.
  struct PainterHolder {
    explicit PainterHolder(platform::TBitmap& surface) : painter(surface) {}
    platform::TPainterDrawing painter;
  };
  class Recorder : private PainterHolder, public platform::TRecordingDrawing {
   public:
    Recorder(platform::TBitmap& surface, std::vector<platform::TDrawCall>& out)
        : PainterHolder(surface), TRecordingDrawing(&painter), out_(out) {}
    ~Recorder() override {
      painter.End();
      out_.insert(out_.end(), Calls.begin(), Calls.end());
    }

   private:
    std::vector<platform::TDrawCall>& out_;
  };
};

}  // namespace editor_test
