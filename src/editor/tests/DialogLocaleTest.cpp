// The spin edit and the setup dialog under a comma-decimal locale (German), which the process
// takes before its application starts. Qt carries the locale's data itself, so this runs on any
// machine.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "editor/controls/QSKSpinEdit.h"
#include "editor/controls/RegionalNumbers.h"
#include "editor/dialogs/SetupDlg.h"
#include "editor/tests/DialogTestUtil.h"
#include "settings/AppSettings.h"

namespace editor_test {
namespace {

class CommaLocale : public ::testing::Test {
 protected:
  CommaLocale() {
    DialogApp("de_DE.UTF-8");
    EXPECT_EQ(editor::RegionalDecimalSeparator(), QStringLiteral(",")) << "the locale did not take";
  }
  SettingsGuard guard;
};

TEST_F(CommaLocale, TheSpinEditWritesAndReadsTheComma) {
  editor::TQSKSpinEdit spin;
  spin.SetPrecision(3);
  spin.SetValue(75);
  EXPECT_EQ(spin.Text(), QStringLiteral("75,000"));
  spin.SetMaxValue(1e6);
  spin.SetValue(1234.5);
  EXPECT_EQ(spin.Text(), QStringLiteral("1234,500"));  // no digit grouping
  spin.SetText(QStringLiteral(",25"));
  EXPECT_DOUBLE_EQ(spin.Value(), 0.25);
  // typed: the comma stays, a point is dropped
  spin.Edit->clear();
  QTest::keyClicks(spin.Edit, QStringLiteral("1.5,5"));
  EXPECT_EQ(spin.Text(), QStringLiteral("15,5"));
  EXPECT_DOUBLE_EQ(spin.Value(), 15.5);
}

TEST_F(CommaLocale, TheSetupDegreeListsKeepTheirFractions) {
  editor::TSetupDlg dlg(nullptr, nullptr);
  settings::AppSettings.RotateDegreeF = 22.5;
  settings::AppSettings.TwistDegreeF = 7.25;
  settings::AppSettings.GridRad = 16;
  OnceShown(dlg, [&] {
    // a fixed entry is found by its number; another value is added in the user's format
    EXPECT_EQ(dlg.ComboBox1->currentText(), QStringLiteral("22.5"));
    EXPECT_EQ(dlg.ComboBox1->count(), 15);
    EXPECT_EQ(dlg.ComboBox2->currentText(), QStringLiteral("7,25"));
    EXPECT_EQ(dlg.ComboBox5->currentText(), QStringLiteral("22.5"));
    Click(dlg.OkButton);
  });
  ASSERT_TRUE(dlg.Execute());
  EXPECT_EQ(settings::AppSettings.RotateDegreeF, 22.5);
  EXPECT_EQ(settings::AppSettings.TwistDegreeF, 7.25);
  EXPECT_EQ(settings::AppSettings.GridRad, 16);
  OnceShown(dlg, [&] {
    Pick(*dlg.ComboBox1, QStringLiteral("5.625"));
    Pick(*dlg.ComboBox2, QStringLiteral("11.25"));
    Pick(*dlg.ComboBox5, QStringLiteral("7.5"));
    Click(dlg.OkButton);
  });
  ASSERT_TRUE(dlg.Execute());
  EXPECT_EQ(settings::AppSettings.RotateDegreeF, 5.625);
  EXPECT_EQ(settings::AppSettings.TwistDegreeF, 11.25);
  EXPECT_EQ(settings::AppSettings.GridRad, 48);
}

}  // namespace
}  // namespace editor_test
