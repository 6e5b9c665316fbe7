// The symmetry-plane dialog and the About dialog.
#include <QSet>
#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

#include "editor/dialogs/AboutDlg.h"
#include "editor/dialogs/ProgramIcon.h"
#include "editor/dialogs/MirrorDlg.h"
#include "editor/panes/ScBase.h"
#include "editor/tests/DialogTestUtil.h"

namespace editor_test {
namespace {

using editor::TAboutDlg;
using editor::TMirrorDlg;

TEST(MirrorDlg, AnswersTheTagOfThePressedButton) {
  DialogApp();
  TMirrorDlg dlg(nullptr);
  for (int32_t tag = 0; tag < 3; ++tag) {
    OnceShown(dlg, [&] { Click(dlg.PlaneButtons[tag]); });
    EXPECT_EQ(dlg.Execute("Flip Horizontal", 0), tag);
  }
}

TEST(MirrorDlg, GivesTheDefaultButtonTheFocusAndTheCaption) {
  DialogApp();
  TMirrorDlg dlg(nullptr);
  EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Mirror"));
  for (int32_t button = 0; button < 3; ++button) {
    OnceShown(dlg, [&] {
      EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Flip Virtical"));
      EXPECT_EQ(dlg.focusWidget(), dlg.PlaneButtons[button]);
      EXPECT_TRUE(dlg.PlaneButtons[button]->isDefault());
      QTest::keyClick(&dlg, Qt::Key_Return);  // Enter presses the default button
    });
    EXPECT_EQ(dlg.Execute("Flip Virtical", button), button);
  }
}

TEST(MirrorDlg, ClosingOtherwiseAnswersMinusOne) {
  DialogApp();
  TMirrorDlg dlg(nullptr);
  OnceShown(dlg, [&] { QTest::keyClick(&dlg, Qt::Key_Escape); });
  EXPECT_EQ(dlg.Execute("Mirror 08-GG From 00-G7", 1), -1);
  OnceShown(dlg, [&] { dlg.close(); });  // the close box
  EXPECT_EQ(dlg.Execute("Mirror 80-GG From 00-7G", 2), -1);
}

TEST(MirrorDlg, ShowsEachPlanesAxisLettersInTheirColours) {
  DialogApp();
  const int axes[3][2] = {{0, 1}, {1, 2}, {2, 0}};  // XY, YZ, ZX
  for (int tag = 0; tag < 3; ++tag) {
    const QImage picture = TMirrorDlg::PlanePicture(tag);
    // the left half holds the first letter, the right half the second, each in its axis colour
    for (int half = 0; half < 2; ++half) {
      const QColor colour = platform::ToQColor(editor::AxisColors[axes[tag][half]].Positive);
      int inColour = 0;
      for (int y = 0; y < picture.height(); ++y)
        for (int x = half * picture.width() / 2; x < (half + 1) * picture.width() / 2; ++x)
          if (picture.pixelColor(x, y) == colour) ++inColour;
      EXPECT_GT(inColour, 10) << tag << " " << half;
    }
  }
}

// Catches what the link label asks the desktop to open.
class UrlCatcher : public QObject {
  Q_OBJECT

 public:
  QList<QUrl> opened;

 public slots:
  void Open(const QUrl& url) { opened << url; }
};

TEST(AboutDlg, ShowsTheVersionAndOpensItsLink) {
  DialogApp();
  EXPECT_EQ(editor::ProgramFileVersion(), "6.205.0.0");
  TAboutDlg dlg(nullptr);
  EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Version Infomation"));
  EXPECT_EQ(dlg.ProductName->text(), QStringLiteral("ZEPHOR Ver.6.205.0.0"));
  UrlCatcher catcher;
  QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "Open");
  OnceShown(dlg, [&] {
    QTest::mouseClick(dlg.L1, Qt::LeftButton);
    Click(dlg.OkButton);
  });
  EXPECT_EQ(dlg.exec(), QDialog::Accepted);
  QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
  ASSERT_EQ(catcher.opened.size(), 1);
  EXPECT_EQ(catcher.opened.front(), QUrl(dlg.L1->text()));
}

// The icon area shows the program's icon: a picture of several colours, not an empty square.
TEST(AboutDlg, ShowsTheProgramsIcon) {
  DialogApp();
  TAboutDlg dlg(nullptr);
  auto* icon = dlg.findChild<QLabel*>("ProgramIcon");
  ASSERT_NE(icon, nullptr);
  const QImage picture = icon->pixmap().toImage();
  ASSERT_EQ(picture.size(), QSize(32, 32));
  QSet<QRgb> colours;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) colours.insert(picture.pixel(x, y));
  EXPECT_GT(colours.size(), 20);
  for (int size : {16, 32, 256}) EXPECT_FALSE(editor::ProgramIcon().pixmap(size, size).isNull()) << size;
}

}  // namespace
}  // namespace editor_test

#include "MirrorAboutDlgTest.moc"
