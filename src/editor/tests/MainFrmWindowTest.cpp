// The window as a user meets it: the keyboard after dialogs, the View menu's items by mode, the
// panes kept inside the window, the scroll bars, the minimum size, the status bar and the
// captions.
#include <QDialog>
#include <QTest>

#include "editor/dialogs/NewDlg.h"
#include "editor/tests/MainFrmTestUtil.h"

using editor::TMainFrm;
using mainfrm_test::MainFrmTest;

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
