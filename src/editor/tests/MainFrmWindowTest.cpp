// The window as a user meets it: the keyboard after dialogs, the View menu's items by mode, the
// panes kept inside the window, the scroll bars, the minimum size, the status bar, the captions
// and the room every fixed-size dialog gives its caption.
#include <QDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>
#include <functional>
#include <string>

#include "editor/dialogs/ColladaDlg.h"
#include "editor/dialogs/ColorDlg.h"
#include "editor/dialogs/NewDlg.h"
#include "editor/dialogs/ProgramIcon.h"
#include "editor/panes/EditBase.h"
#include "editor/tests/MainFrmTestUtil.h"
#include "platform/ui/Actions.h"
#include "platform/ui/MessageBoxes.h"

using editor::TMainFrm;
using mainfrm_test::MainFrmTest;
namespace fs = std::filesystem;

namespace {

// Shows the window and makes it the active one, as a user's click would.
void Activate(TMainFrm& f) {
  f.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
}

}  // namespace

TEST_F(MainFrmTest, TheKeyboardComesBackToTheWindowAfterADialog) {
  TMainFrm& f = Open();
  Activate(f);
  f.Panel5->setFocus();
  ASSERT_EQ(QApplication::focusWidget(), f.Panel5);
  // The dialog takes the keyboard while it is open; cancelled, it gives it back.
  mainfrm_test::OnNextDialog([](QDialog* d) {
    d->activateWindow();
    (void)QTest::qWaitForWindowActive(d);
    d->reject();
  });
  f.Act("FileNew")->Execute();
  QTest::qWait(50);
  EXPECT_EQ(QApplication::activeWindow(), &f);
  EXPECT_EQ(QApplication::focusWidget(), f.Panel5);
}

TEST_F(MainFrmTest, SymmetryIsOfferedInTheModesThatKeepPartners) {
  TMainFrm& f = Open();
  for (int mode = 0; mode <= 5; ++mode) {
    SCOPED_TRACE(mode);
    f.SetEditorMode(mode);
    f.ActionManager1.UpdateActions();
    EXPECT_EQ(f.ViewSymmetry->isVisible(), mode == 2 || mode == 4 || mode == 5);
  }
}

TEST_F(MainFrmTest, Splitter1KeepsBothPanesAndTheCollapseButtonInsideTheWindow) {
  TMainFrm& f = Open();
  const QRect inside = f.rect();
  auto drag = [&](int dx) {
    const QPoint p(1, f.Splitter1->height() / 2);
    QTest::mousePress(f.Splitter1, Qt::LeftButton, Qt::NoModifier, p);
    QMouseEvent move(QEvent::MouseMove, QPointF(p + QPoint(dx, 0)), f.Splitter1->mapToGlobal(QPointF(p + QPoint(dx, 0))),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(f.Splitter1, &move);
    QTest::mouseRelease(f.Splitter1, Qt::LeftButton, Qt::NoModifier, p + QPoint(dx, 0));
    QCoreApplication::processEvents();
  };
  for (int dx : {3000, -3000}) {
    SCOPED_TRACE(dx);
    drag(dx);
    const QRect splitter(f.Splitter1->mapTo(&f, QPoint(0, 0)), f.Splitter1->size());
    const QRect button(f.SpeedButton1->mapTo(&f, QPoint(0, 0)), f.SpeedButton1->size());
    EXPECT_TRUE(inside.contains(splitter)) << splitter.x();
    EXPECT_TRUE(inside.contains(button)) << button.x();
    EXPECT_TRUE(f.SpeedButton1->isVisible());
    EXPECT_GE(f.Panel1->width(), 100);
    EXPECT_GE(f.Panel2->width(), 12);
  }
}

TEST_F(MainFrmTest, AClickInTheTroughScrollsAPageOfTwoSteps) {
  TMainFrm& f = Open();
  editor::TEditBase& e = *f.CurrentEditor;
  const int32_t x0 = e.OffsetX;
  f.ScrollBarW1->setValue(4);  // two steps
  const int32_t twoSteps = e.OffsetX - x0;
  ASSERT_NE(twoSteps, 0);
  f.ScrollBarW1->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(f.ScrollBarW1->value(), 2);
  EXPECT_EQ(e.OffsetX - x0, 2 * twoSteps);
}

TEST_F(MainFrmTest, TheMinimumSizeIsTheWindowsOuterSize) {
  TMainFrm& f = Open();
  f.resize(800, 500);
  QCoreApplication::processEvents();
  EXPECT_EQ(f.frameGeometry().width(), 1024);
  EXPECT_EQ(f.frameGeometry().height(), 710);
}

TEST_F(MainFrmTest, TheTexturePanelTakesTheFreeWidthOfTheStatusBar) {
  TMainFrm& f = Open();
  f.SetStatusText(3, "Texture:a texture of a rather long name.png");
  QCoreApplication::processEvents();
  QLabel* texture = f.statusBar()->findChild<QLabel*>("StatusPanel3");
  ASSERT_NE(texture, nullptr);
  EXPECT_GE(texture->width(), texture->sizeHint().width());
  EXPECT_GT(texture->width(), f.width() - 140 - 150 - 250 - 60);
}

TEST_F(MainFrmTest, TheWindowHasItsCaptionAndTheProgramsIcon) {
  TMainFrm& f = Open();
  EXPECT_EQ(f.windowTitle(), "ZEPHOR6");
  EXPECT_FALSE(f.windowIcon().isNull());
  EXPECT_EQ(f.windowIcon().pixmap(32, 32).toImage(), editor::ProgramIcon().pixmap(32, 32).toImage());
}

// Every fixed-size dialog the program shows, the Polyhedron plug-in's among them, is at least as
// wide as its caption needs under a window manager: the caption's text at the default font and
// the room of the window's icon and three caption buttons, each a square of the text's line
// height and 8 pixels. Checked at the default font and with it a quarter larger (125 %
// scaling), each dialog opened by its command.
TEST_F(MainFrmTest, FixedSizeDialogsHaveRoomForTheirCaptions) {
  TMainFrm& f = Open({}, true, fs::path(ZEPHOR_BIN_DIR));
  platform::TAction* polyhedron = nullptr;
  for (const auto& a : f.ActionManager1.Actions())
    if (a->Category == "Tools" && a->Caption() == "Polyhedron") polyhedron = a.get();
  ASSERT_NE(polyhedron, nullptr);
  auto act = [&f](const char* name) {
    return [&f, name] {
      f.ActionManager1.UpdateActions();
      EXPECT_TRUE(f.Act(name)->Execute()) << name;
    };
  };
  struct Case {
    const char* title;
    std::function<void()> open;
  };
  const Case cases[] = {
      {"Version Infomation", act("HelpAbout")},
      {"New", act("FileNew")},
      {"Setup", act("FileSetup")},
      {"Collada Option", [&f] { f.ColladaDlg->Execute(); }},
      {"Color Picker", [&f] { f.ColorDlg->Execute(0); }},
      {"Mirror 80-GG From 00-7G", act("EditHorizontalMirror")},
      {"Flip Horizontal", act("EditFlipHorizontal")},
      {"Offset", act("EditOffset")},
      {"Sides",
       [&f] {
         f.TabControl1->setCurrentIndex(1);  // the lathe editor has sides
         f.ActionManager1.UpdateActions();
         EXPECT_TRUE(f.Act("SidesCustom")->Execute());
         f.TabControl1->setCurrentIndex(0);
       }},
      {"Polyhedron Plug-in Dialog",
       [&f, polyhedron] {
         f.ActionManager1.UpdateActions();
         EXPECT_TRUE(polyhedron->Execute());
       }},
      {"ZEPHOR", [] { platform::ShowWarning("A warning."); }},  // the message boxes
  };
  // The program's message boxes carry its name.
  const QString displayName = QGuiApplication::applicationDisplayName();
  QGuiApplication::setApplicationDisplayName(QStringLiteral("ZEPHOR"));
  const QFont defaultFont = QApplication::font();
  for (double scale : {1.0, 1.25}) {
    QFont font = defaultFont;
    font.setPointSizeF(defaultFont.pointSizeF() * scale);
    QApplication::setFont(font);
    const QFontMetrics fm(font);
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.title) + " at " + std::to_string(scale));
      QString title;
      int width = 0;
      bool fixed = false;
      mainfrm_test::OnNextDialog([&](QDialog* d) {
        title = d->windowTitle();
        width = d->width();
        fixed = d->minimumSize() == d->maximumSize();
        d->reject();
      });
      // The real message box, not the test's answering machine.
      platform::SetMessageBoxHandler(nullptr);
      c.open();
      platform::SetMessageBoxHandler([this](const platform::TMessageBoxRequest& r) {
        boxes.shown.push_back(r.Text);
        return platform::TModalResult::Ok;
      });
      EXPECT_EQ(title, c.title);
      EXPECT_TRUE(fixed);
      EXPECT_GE(width, fm.horizontalAdvance(c.title) + 4 * (fm.height() + 8));
    }
  }
  QApplication::setFont(defaultFont);
  QGuiApplication::setApplicationDisplayName(displayName);
}
