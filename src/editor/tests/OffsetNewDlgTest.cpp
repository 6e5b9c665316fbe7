// The offset and new-shape dialogs, run modally and closed through their buttons.
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>

#include "editor/dialogs/NewDlg.h"
#include "editor/dialogs/OffsetDlg.h"
#include "editor/tests/DialogTestUtil.h"
#include "settings/AppSettings.h"

namespace editor_test {
namespace {

using editor::TNewDlg;
using editor::TOffsetDlg;

// --- Offset ---------------------------------------------------------------------------------

struct Enabling {
  bool x, y, rotate180, rotate90;
  bool operator==(const Enabling&) const = default;
};

Enabling EnablingOf(const TOffsetDlg& dlg) {
  return {dlg.ComboBox1->isEnabled(), dlg.ComboBox2->isEnabled(), dlg.CheckBox1->isEnabled(),
          dlg.CheckBox2->isEnabled()};
}

TEST(OffsetDlg, EnablesTheControlsByStitchType) {
  DialogApp();
  const std::pair<shape::TScType, Enabling> cases[] = {
      {shape::SCTYPE_SPHERE, {true, false, true, false}},
      {shape::SCTYPE_CYLINDER, {true, false, true, false}},
      {shape::SCTYPE_TORUS, {true, true, true, true}},
      {shape::SCTYPE_PLANE, {true, true, true, true}},
  };
  for (const auto& [type, enabling] : cases) {
    TOffsetDlg dlg(nullptr);
    Enabling shown{};
    OnceShown(dlg, [&] {
      shown = EnablingOf(dlg);
      EXPECT_EQ(dlg.ComboBox1->currentText(), QStringLiteral("0"));
      EXPECT_EQ(dlg.ComboBox2->currentText(), QStringLiteral("0"));
      Click(dlg.OkButton);
    });
    dlg.Execute(type);
    EXPECT_EQ(shown, enabling) << int(type);
    EXPECT_EQ(dlg.ResultX, 0);
    EXPECT_FALSE(dlg.Rotate180 || dlg.Rotate90);
  }
}

class OffsetTest : public DialogTest {
 protected:
  TOffsetDlg dlg{nullptr};
};

TEST_F(OffsetTest, ARotationBoxForcesBothShiftsToZero) {
  OnceShown(dlg, [&] {
    Pick(*dlg.ComboBox1, QStringLiteral("4"));
    Pick(*dlg.ComboBox2, QStringLiteral("-2"));
    Click(dlg.CheckBox1);
    EXPECT_EQ(EnablingOf(dlg), (Enabling{false, false, true, false}));
    EXPECT_EQ(dlg.ComboBox1->currentText(), QStringLiteral("0"));
    EXPECT_EQ(dlg.ComboBox2->currentText(), QStringLiteral("0"));
    Click(dlg.CheckBox1);  // unticked: the torus's enabling again
    EXPECT_EQ(EnablingOf(dlg), (Enabling{true, true, true, true}));
    Click(dlg.CheckBox2);
    EXPECT_FALSE(dlg.CheckBox1->isChecked());
    EXPECT_FALSE(dlg.CheckBox1->isEnabled());
    Click(dlg.OkButton);
  });
  dlg.Execute(shape::SCTYPE_TORUS);
  EXPECT_TRUE(dlg.Rotate90);
  EXPECT_FALSE(dlg.Rotate180);
  EXPECT_EQ(dlg.ResultX, 0);
  EXPECT_EQ(dlg.ResultY, 0);
}

TEST_F(OffsetTest, ReadsTheResultsWhateverClosedIt) {
  OnceShown(dlg, [&] {
    Pick(*dlg.ComboBox1, QStringLiteral("16"));
    Pick(*dlg.ComboBox2, QStringLiteral("-8"));
    QTest::keyClick(&dlg, Qt::Key_Escape);
  });
  dlg.Execute(shape::SCTYPE_PLANE);
  EXPECT_EQ(dlg.result(), QDialog::Rejected);
  EXPECT_EQ(dlg.ResultX, 16);
  EXPECT_EQ(dlg.ResultY, -8);
  // a list without selection reads 0
  OnceShown(dlg, [&] {
    dlg.ComboBox1->setCurrentIndex(-1);
    QTest::keyClick(&dlg, Qt::Key_Return);
  });
  dlg.Execute(shape::SCTYPE_PLANE);
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(dlg.ResultX, 0);
}

// --- New ------------------------------------------------------------------------------------

class NewDlgTest : public DialogTest {
 protected:
  // Runs the dialog for the current stitch type and size, `steps` inside it; OK closes it
  // unless the steps did.
  bool Run(int32_t type, int32_t columns, int32_t rows, const std::function<void()>& steps) {
    return RunModal(dlg, dlg.OkButton, steps, [&] { return dlg.Execute(type, columns, rows); });
  }
  SettingsGuard guard;
  TNewDlg dlg{nullptr};
};

TEST_F(NewDlgTest, ColumnsDriveTheRowsWhenDividedHorizontally) {
  settings::AppSettings.DividedHorizontal = true;
  struct Case {
    int mode;
    const char* columns;
    QStringList rows;
    bool rowsEnabled;
  } cases[] = {
      {0, "64", {"16"}, false},
      {0, "4", {"256"}, false},
      {1, "64", {"16", "32", "64", "128", "256"}, true},
      {1, "8", {"128", "256"}, true},
      {2, "64", {"4", "8", "16", "32", "64", "128", "256"}, true},
  };
  for (const Case& c : cases) {
    settings::AppSettings.MeshSizeType = c.mode;
    ASSERT_TRUE(Run(0, 32, 32, [&] {
      Pick(*dlg.ComboBox2, QString::fromUtf8(c.columns));
      EXPECT_EQ(Entries(*dlg.ComboBox3), c.rows) << c.mode << " " << c.columns;
      EXPECT_EQ(dlg.ComboBox3->isEnabled(), c.rowsEnabled);
    }));
    const int columns = QString::fromUtf8(c.columns).toInt();
    EXPECT_EQ(dlg.ResultCols, columns + 1);
    EXPECT_EQ(dlg.ResultRows, 1024 / columns + 1);  // the first entry, or for "all" the matching one
  }
}

TEST_F(NewDlgTest, RowsDriveTheColumnsOtherwise) {
  settings::AppSettings.DividedHorizontal = false;
  settings::AppSettings.MeshSizeType = 0;
  ASSERT_TRUE(Run(3, 32, 16, [&] {
    EXPECT_EQ(Entries(*dlg.ComboBox2), QStringList{"64"});
    EXPECT_FALSE(dlg.ComboBox3->isEnabled());
    Pick(*dlg.ComboBox2, QStringLiteral("64"));  // the columns drive nothing now
    EXPECT_EQ(dlg.ComboBox3->currentText(), QStringLiteral("16"));
  }));
  EXPECT_EQ(dlg.ResultType, 3);
  EXPECT_EQ(dlg.ResultCols, 65);
  EXPECT_EQ(dlg.ResultRows, 17);
}

TEST_F(NewDlgTest, TheModeIsStoredAtOnceAndOnlyTwoCanBePicked) {
  settings::AppSettings.DividedHorizontal = true;
  settings::AppSettings.MeshSizeType = 0;
  EXPECT_FALSE(Run(1, 64, 16, [&] {
    EXPECT_EQ(Entries(*dlg.ComboBox4), (QStringList{"single prim", "single prim and multiple prims"}));
    Pick(*dlg.ComboBox4, QStringLiteral("single prim and multiple prims"));
    EXPECT_EQ(settings::AppSettings.MeshSizeType, 1);
    EXPECT_TRUE(dlg.ComboBox3->isEnabled());
    EXPECT_EQ(Entries(*dlg.ComboBox3), (QStringList{"16", "32", "64", "128", "256"}));
    Click(dlg.CancelButton);
  }));
  EXPECT_EQ(settings::AppSettings.MeshSizeType, 1);  // kept although cancelled
  // a stored "all" still acts, with no mode shown
  settings::AppSettings.MeshSizeType = 2;
  ASSERT_TRUE(Run(0, 64, 16, [&] {
    EXPECT_EQ(dlg.ComboBox4->count(), 2);
    EXPECT_EQ(dlg.ComboBox4->currentIndex(), -1);
    EXPECT_EQ(dlg.ComboBox3->count(), 7);
    EXPECT_EQ(dlg.ComboBox3->currentText(), QStringLiteral("16"));
  }));
  EXPECT_EQ(dlg.ResultRows, 17);
}

TEST_F(NewDlgTest, AListWithoutSelectionCountsAs32) {
  settings::AppSettings.DividedHorizontal = true;
  settings::AppSettings.MeshSizeType = 2;
  // 24 is no entry: the columns show none, drive the rows as 32 and read as 32
  ASSERT_TRUE(Run(2, 24, 24, [&] {
    EXPECT_EQ(dlg.ComboBox2->currentIndex(), -1);
    EXPECT_EQ(dlg.ComboBox3->currentIndex(), -1);
  }));
  EXPECT_EQ(dlg.ResultType, 2);
  EXPECT_EQ(dlg.ResultCols, 33);
  EXPECT_EQ(dlg.ResultRows, 33);
}

TEST_F(NewDlgTest, TheDrivingListIsWholeAfterTheSplitChanged) {
  settings::AppSettings.MeshSizeType = 0;
  settings::AppSettings.DividedHorizontal = true;
  ASSERT_TRUE(Run(0, 64, 16, [] {}));
  EXPECT_EQ(Entries(*dlg.ComboBox3), QStringList{"16"});
  // the rows drive now: their list offers every size again, not what the last run left
  settings::AppSettings.DividedHorizontal = false;
  ASSERT_TRUE(Run(0, 32, 8, [&] {
    EXPECT_EQ(dlg.ComboBox3->count(), 7);
    EXPECT_EQ(Entries(*dlg.ComboBox2), QStringList{"128"});
  }));
  EXPECT_EQ(dlg.ResultCols, 129);
  EXPECT_EQ(dlg.ResultRows, 9);
}

}  // namespace
}  // namespace editor_test
