// Actions (execute and update handlers, exclusive ticks, menus updated before they open), the
// message boxes (line breaks, answers, beeps), the file dialog's filter conversion and the
// splash window that closes when it loses the focus.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QImage>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include "UiTestApp.h"
#include "platform/ui/Actions.h"
#include "platform/ui/FileDialogs.h"
#include "platform/ui/MessageBoxes.h"
#include "platform/ui/Splash.h"

using namespace platform;
using platform::test::App;
using platform::test::WaitFor;

TEST(Actions, ExecuteRunsOnlyWhenEnabledAndVisibleAndTicksAreExclusiveInAGroup) {
  App();
  QWidget owner;
  TActionList list;
  int runs = 0;
  TAction* a = list.Add(&owner, "ViewLevel01", "&Near");
  TAction* b = list.Add(&owner, "ViewLevel04", "&Far");
  TAction* other = list.Add(&owner, "ViewDispCtrl", "Disp &Mesh");
  for (TAction* x : {a, b}) x->SetGroupIndex(4);
  a->OnExecute = [&](TAction* s) { runs += s == a ? 1 : 100; };
  EXPECT_EQ(a->Action()->objectName(), "ViewLevel01");
  EXPECT_EQ(list.Find("ViewLevel04"), b);
  EXPECT_EQ(list.FindByAction(b->Action()), b);
  EXPECT_TRUE(a->Execute());
  a->SetEnabled(false);
  EXPECT_FALSE(a->Execute());
  a->SetEnabled(true);
  a->SetVisible(false);
  EXPECT_FALSE(a->Execute());
  a->SetVisible(true);
  a->Action()->trigger();  // a menu item or shortcut
  EXPECT_EQ(runs, 2);
  EXPECT_FALSE(b->Execute());  // no handler

  other->SetChecked(true);
  a->SetChecked(true);
  b->SetChecked(true);
  EXPECT_FALSE(a->Checked());
  EXPECT_TRUE(b->Checked());
  EXPECT_TRUE(other->Checked());  // not of the group
}

TEST(Actions, UpdateHandlersRunOnDemandAndBeforeAMenuOpens) {
  App();
  QWidget owner;
  TActionList list;
  bool enabled = false;
  int updates = 0;
  TAction* a = list.Add(&owner, "FileStSaveLast", "Save Last");
  a->OnUpdate = [&](TAction* s) {
    ++updates;
    s->SetEnabled(enabled);
  };
  // A tickable action keeps the tick its update handler gives, even when triggered.
  TAction* tick = list.Add(&owner, "ViewDispCtrl", "Disp &Mesh");
  bool ticked = true;
  tick->OnUpdate = [&](TAction* s) { s->SetChecked(ticked); };
  tick->OnExecute = [&](TAction*) { ticked = !ticked; };
  list.UpdateActions();
  EXPECT_FALSE(a->Enabled());
  EXPECT_TRUE(tick->Checked());
  tick->Action()->trigger();
  EXPECT_FALSE(ticked);
  list.UpdateActions();
  EXPECT_FALSE(tick->Checked());

  QMenu menu;
  QMenu* sub = menu.addMenu("sub");
  sub->addAction(a->Action());
  list.WatchMenu(&menu);
  enabled = true;
  const int before = updates;
  QTimer::singleShot(0, [&] { menu.close(); });
  menu.exec(QPoint(0, 0));
  EXPECT_GT(updates, before);
  EXPECT_TRUE(a->Enabled());
}

TEST(Actions, AMenuItemOfItsOwnCaptionFollowsAndTriggersItsAction) {
  App();
  QWidget owner;
  TActionList list;
  int runs = 0;
  TAction* a = list.Add(&owner, "EditRedo", "Re&do");
  a->SetShortCut(QKeySequence("Ctrl+Y"));
  a->OnExecute = [&](TAction*) { ++runs; };
  bool enabled = true;
  a->OnUpdate = [&](TAction* s) { s->SetEnabled(enabled); };
  QMenu menu;
  QAction* item = list.AddMenuItem(&menu, a, "&Redo");
  EXPECT_EQ(item->text(), "&Redo\t" + QKeySequence("Ctrl+Y").toString(QKeySequence::NativeText));
  EXPECT_EQ(item->shortcut(), QKeySequence());  // one shortcut, the action's
  EXPECT_EQ(list.FindByAction(item), a);
  EXPECT_EQ(a->Caption(), "Re&do");
  item->trigger();
  EXPECT_EQ(runs, 1);
  a->SetEnabled(false);
  EXPECT_FALSE(item->isEnabled());
  item->trigger();
  EXPECT_EQ(runs, 1);
  a->SetVisible(false);
  EXPECT_FALSE(item->isVisible());
  a->SetVisible(true);
  // The menu's update before it opens reaches the action through the item.
  list.WatchMenu(&menu);
  QTimer::singleShot(0, [&] { menu.close(); });
  menu.exec(QPoint(0, 0));
  EXPECT_TRUE(item->isEnabled());
  // The item goes with its action.
  QPointer<QAction> kept = item;
  list.Remove(a);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(kept.isNull());
}

TEST(MessageBoxes, LineBreaksAnswersAndBeeps) {
  App();
  struct Case {
    const char* in;
    const char* out;
  };
  for (const Case& c : {Case{"a\r\nb", "a\nb"}, Case{"a\rb", "a\nb"}, Case{"a\nb", "a\nb"},
                        Case{"a\r\r\nb", "a\n\nb"}, Case{"end\r", "end\n"}, Case{"", ""}})
    EXPECT_EQ(DisplayLineBreaks(c.in), c.out) << c.in;

  std::vector<TMessageBoxRequest> seen;
  SetMessageBoxHandler([&](const TMessageBoxRequest& r) {
    seen.push_back(r);
    return r.Buttons == TMsgDlgButtons::YesNo ? TModalResult::No : TModalResult::Cancel;
  });
  EXPECT_FALSE(AskWarningYesNo("replace?"));
  EXPECT_FALSE(AskOkCancel("reboot?"));
  ShowWarning("w");
  ShowMessage("m");
  SetMessageBoxHandler(nullptr);
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0].Type, TMsgDlgType::Warning);
  EXPECT_EQ(seen[0].Buttons, TMsgDlgButtons::YesNo);
  EXPECT_EQ(seen[1].Buttons, TMsgDlgButtons::OkCancel);
  EXPECT_EQ(seen[2].Type, TMsgDlgType::Warning);
  EXPECT_EQ(seen[3].Type, TMsgDlgType::Information);

  // The real box: its text shows the line break, and Enter takes the default (OK).
  QString text;
  QTimer::singleShot(0, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      text = box->text();
      box->defaultButton()->click();
    }
  });
  EXPECT_TRUE(AskOkCancel("A setup of the tab display was updated.\r\nA reboot is required."));
  EXPECT_EQ(text, "A setup of the tab display was updated.\nA reboot is required.");

  const int beeps = BeepCount();
  MessageBeep();
  EXPECT_EQ(BeepCount(), beeps + 1);
}

TEST(FileDialogs, FiltersAndTheChosenFilterIndex) {
  App();
  EXPECT_EQ(QtFilterEntry("All File", "*.tga;*.bmp;*.jpg"), "All File (*.tga *.bmp *.jpg)");
  EXPECT_EQ(QtFilterEntry("OBJ File(Mesh of Triangles)", "*.obj"), "OBJ File(Mesh of Triangles) (*.obj)");
  QWidget owner;
  auto dialog = CreateQtFileDialog(&owner);
  TFileDialogRequest r;
  r.Kind = TFileDialogKind::Save;
  r.Title = "Save Texture";
  r.Filter = "PNG File|*.png|TGA File|*.tga";
  r.FilterIndex = 2;
  r.InitialDir = QDir::tempPath().toStdString();
  r.FileName = "tex";
  QString title;
  QStringList filters;
  QSize size;
  bool detail = false;
  QTimer::singleShot(0, [&] {
    if (auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
      title = d->windowTitle();
      filters = d->nameFilters();
      size = d->size();
      detail = d->viewMode() == QFileDialog::Detail;
      QMetaObject::invokeMethod(d, "accept", Qt::DirectConnection);
    }
  });
  TFileDialogResult result;
  EXPECT_TRUE(dialog->Execute(r, result));
  EXPECT_EQ(title, "Save Texture");
  EXPECT_EQ(filters, QStringList({"PNG File (*.png)", "TGA File (*.tga)"}));
  EXPECT_EQ(result.FilterIndex, 2);
  EXPECT_NE(result.FileName.find("tex"), std::string::npos);
  // It starts wide enough for the columns of its file list.
  EXPECT_TRUE(detail);
  EXPECT_GE(size.width(), 800);
}

TEST(Splash, ShowsCentredAndClosesWhenItLosesTheFocus) {
  App();
  QImage picture(512, 256, QImage::Format_RGB32);
  picture.fill(Qt::darkBlue);
  QPointer<TSplashForm> splash = TSplashForm::ShowSplash(picture);
  ASSERT_TRUE(splash);
  EXPECT_EQ(splash->size(), QSize(512, 256));
  EXPECT_TRUE(splash->windowFlags() & Qt::FramelessWindowHint);
  QEvent deactivate(QEvent::WindowDeactivate);
  QApplication::sendEvent(splash, &deactivate);
  EXPECT_TRUE(WaitFor([&] { return splash.isNull(); }));
  // The main window closes it when it shows, whatever kept the focus; it never keeps the
  // program running.
  splash = TSplashForm::ShowSplash(picture);
  ASSERT_TRUE(splash);
  EXPECT_FALSE(splash->testAttribute(Qt::WA_QuitOnClose));
  EXPECT_EQ(TSplashForm::Current(), splash.data());
  TSplashForm::CloseSplash();
  EXPECT_TRUE(WaitFor([&] { return splash.isNull(); }));
  EXPECT_EQ(TSplashForm::Current(), nullptr);
}
