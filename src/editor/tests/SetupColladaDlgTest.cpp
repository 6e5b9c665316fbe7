// The setup and COLLADA option dialogs: every control from and to its setting, the fallbacks,
// nothing written on Cancel, the pen swatches through the colour picker, "Default".
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QToolButton>
#include <cmath>

#include "editor/controls/ColorSwatch.h"
#include "editor/controls/QSKSpinEdit.h"
#include "editor/dialogs/ColladaDlg.h"
#include "editor/dialogs/ColorDlg.h"
#include "editor/dialogs/SetupDlg.h"
#include "editor/tests/DialogTestUtil.h"
#include "settings/AppSettings.h"

namespace editor_test {
namespace {

using editor::TColladaDlg;
using editor::TSetupDlg;
using settings::AppSettings;
using settings::TAppSettings;

// --- Setup ----------------------------------------------------------------------------------

class SetupTest : public DialogTest {
 protected:
  // Runs the dialog with `steps` inside; OK closes it unless the steps did.
  bool Run(const std::function<void()>& steps) {
    return RunModal(dlg, dlg.OkButton, steps, [this] { return dlg.Execute(); });
  }
  SettingsGuard guard;
  editor::TColorDlg colorDlg{nullptr};
  TSetupDlg dlg{nullptr, &colorDlg};
};

// The check boxes and the settings they show.
struct BoxSetting {
  QCheckBox* TSetupDlg::*box;
  bool TAppSettings::*setting;
  bool inverted;
};
const BoxSetting kBoxes[] = {
    {&TSetupDlg::CheckBox2, &TAppSettings::SculptTransparent, false},
    {&TSetupDlg::CheckBox3, &TAppSettings::FileOverWrite, true},
    {&TSetupDlg::CheckBox4, &TAppSettings::FixedToAxis, false},
    {&TSetupDlg::CheckBox5, &TAppSettings::ThreePanesDisplay, false},
    {&TSetupDlg::CheckBox6, &TAppSettings::AutoMaximize, false},
    {&TSetupDlg::CheckBox1, &TAppSettings::AutoSplitBkImage, false},
    {&TSetupDlg::CheckBox7, &TAppSettings::OutputTextForKelpo, false},
    {&TSetupDlg::CheckBox8, &TAppSettings::SimplifiedDisplay, false},
    {&TSetupDlg::CheckBox9, &TAppSettings::MaximizeWithSymmetry, false},
    {&TSetupDlg::CheckBox10, &TAppSettings::UseDirect2D, false},
    {&TSetupDlg::CheckBox12, &TAppSettings::SmartScrollBar, false},
};

TEST_F(SetupTest, EveryBoxShowsItsSettingAndWritesItBack) {
  for (bool first : {false, true}) {
    // alternate the settings so that no box can pass by showing a neighbour's
    bool value = first;
    for (const BoxSetting& b : kBoxes) {
      AppSettings.*b.setting = value;
      value = !value;
    }
    AppSettings.DividedHorizontal = first;
    ASSERT_TRUE(Run([&] {
      bool expected = first;
      for (const BoxSetting& b : kBoxes) {
        EXPECT_EQ((dlg.*b.box)->isChecked(), expected != b.inverted) << (dlg.*b.box)->text().toStdString();
        expected = !expected;
        Click(dlg.*b.box);
      }
      EXPECT_TRUE(dlg.CheckBox10->isEnabled());
      EXPECT_EQ(dlg.RadioButton1->isChecked(), first);
      EXPECT_EQ(dlg.RadioButton2->isChecked(), !first);
      Click(first ? dlg.RadioButton2 : dlg.RadioButton1);
    }));
    bool expected = !first;  // every box was clicked once
    for (const BoxSetting& b : kBoxes) {
      EXPECT_EQ(AppSettings.*b.setting, expected);
      expected = !expected;
    }
    EXPECT_EQ(AppSettings.DividedHorizontal, !first);
  }
}

TEST_F(SetupTest, DegreeListsShowTheirSettings) {
  struct Case {
    double rotate, twist;
    int gridRad;
    const char* rotateText;
    const char* twistText;
    const char* shiftText;
    int rotateEntries;
  } cases[] = {
      {22.5, 60, 36, "22.5", "60", "10", 15},
      {90, 7.25, 16, "90", "7.25", "22.5", 15},   // 7.25 is added to its list
      {0.125, 180, 7, "0.125", "180", "10", 16},  // 360 / 7 is no entry, nor is 180 in the twist list
      {30, 60, 0, "30", "60", "10", 15},          // 360 / 0 is no number
      {30, 60, -12, "30", "60", "10", 15},
  };
  for (const Case& c : cases) {
    AppSettings.RotateDegreeF = c.rotate;
    AppSettings.TwistDegreeF = c.twist;
    AppSettings.GridRad = c.gridRad;
    EXPECT_FALSE(Run([&] {
      EXPECT_EQ(dlg.ComboBox1->currentText().toStdString(), c.rotateText);
      EXPECT_EQ(dlg.ComboBox2->currentText().toStdString(), c.twistText);
      EXPECT_EQ(dlg.ComboBox5->currentText().toStdString(), c.shiftText);
      EXPECT_EQ(dlg.ComboBox1->count(), c.rotateEntries);  // the list starts afresh each run
      EXPECT_EQ(dlg.ComboBox5->count(), 13);
      Click(dlg.CancelButton);
    }));
  }
  EXPECT_EQ(dlg.ComboBox2->findText(QStringLiteral("90")), -1);
}

TEST_F(SetupTest, OkWritesTheListsAndTheTrackBar) {
  AppSettings.GridRad = 7;
  AppSettings.TgaSize = 64;
  AppSettings.RearrangeType = 2;
  AppSettings.GaussRadius = 1.5;
  ASSERT_TRUE(Run([&] {
    EXPECT_EQ(dlg.ComboBox3->currentText(), QStringLiteral("64x64"));
    EXPECT_EQ(dlg.ComboBox4->currentText(), QStringLiteral("by Parent"));
    EXPECT_EQ(dlg.TrackBar1->value(), 30);
    EXPECT_EQ(dlg.Label4->text(), QStringLiteral("Smooth Radius 30"));
    dlg.TrackBar1->setValue(7);
    EXPECT_EQ(dlg.Label4->text(), QStringLiteral("Smooth Radius 7"));
    Pick(*dlg.ComboBox1, QStringLiteral("5.625"));
    Pick(*dlg.ComboBox2, QStringLiteral("11.25"));
    Pick(*dlg.ComboBox3, QStringLiteral("128x128"));
    Pick(*dlg.ComboBox4, QStringLiteral("by Subdivision"));
  }));
  EXPECT_EQ(AppSettings.GridRad, 36);  // 360 / 7 showed as "10"
  EXPECT_DOUBLE_EQ(settings::GridAngleStep, 2 * M_PI / 36);
  EXPECT_EQ(AppSettings.RotateDegreeF, 5.625);
  EXPECT_EQ(AppSettings.TwistDegreeF, 11.25);
  EXPECT_EQ(AppSettings.TgaSize, 128);
  EXPECT_EQ(AppSettings.RearrangeType, 3);
  EXPECT_DOUBLE_EQ(AppSettings.GaussRadius, 0.35);
  // the shift list: 360 / its number, to the nearest integer
  const std::pair<const char*, int> shifts[] = {
      {"5.625", 64}, {"7.5", 48}, {"22.5", 16}, {"72", 5}, {"1", 360}};
  for (const auto& shift : shifts) {
    // Named copies: clang 14 cannot capture structured bindings in a lambda.
    const char* entry = shift.first;
    const int gridRad = shift.second;
    ASSERT_TRUE(Run([&] { Pick(*dlg.ComboBox5, QString::fromUtf8(entry)); }));
    EXPECT_EQ(AppSettings.GridRad, gridRad) << entry;
  }
}

TEST_F(SetupTest, ListsWithoutASelectionFallBack) {
  AppSettings.RearrangeType = 1;
  ASSERT_TRUE(Run([&] {
    for (QComboBox* list : {dlg.ComboBox1, dlg.ComboBox2, dlg.ComboBox5, dlg.ComboBox4})
      list->setCurrentIndex(-1);
  }));
  EXPECT_EQ(AppSettings.RotateDegreeF, 30);
  EXPECT_EQ(AppSettings.TwistDegreeF, 60);
  EXPECT_EQ(AppSettings.GridRad, 36);
  EXPECT_EQ(AppSettings.RearrangeType, 1);  // kept
}

TEST_F(SetupTest, CancelWritesNothing) {
  AppSettings.RotateDegreeF = 7.25;  // an added entry
  AppSettings.GaussRadius = 2.5;
  const TAppSettings before = AppSettings;
  EXPECT_FALSE(Run([&] {
    Pick(*dlg.ComboBox1, QStringLiteral("45"));
    Pick(*dlg.ComboBox5, QStringLiteral("1"));
    dlg.TrackBar1->setValue(0);
    for (const BoxSetting& b : kBoxes) Click(dlg.*b.box);
    dlg.PenColor[0]->SetBrushColor(0x00FF00);
    QTest::keyClick(&dlg, Qt::Key_Escape);
  }));
  EXPECT_TRUE(AppSettings == before);
}

TEST_F(SetupTest, PenSwatchesPickThroughTheColourPicker) {
  // The four swatches by their names.
  editor::TColorSwatch* const named[4] = {dlg.PenColor0, dlg.PenColor1, dlg.PenColor2, dlg.PenColor3};
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(named[k], dlg.PenColor[k]);
    EXPECT_EQ(named[k]->objectName(), QStringLiteral("PenColor%1").arg(k));
  }
  AppSettings.PenColors[1] = 0x0000FF;
  platform::TColor picked = 0;
  ASSERT_TRUE(Run([&] {
    EXPECT_EQ(dlg.PenColor[1]->BrushColor(), platform::TColor(0x0000FF));
    OnceShown(colorDlg, [&] {
      EXPECT_EQ(colorDlg.Hue, 0);  // the picker opened on the swatch's red
      QTest::mouseClick(colorDlg.Image1, Qt::LeftButton, Qt::NoModifier, QPoint(60, 140));
      Click(colorDlg.OkButton);
    });
    QTest::mouseClick(dlg.PenColor[1], Qt::LeftButton);
    picked = colorDlg.PickedColor;
    EXPECT_EQ(dlg.PenColor[1]->BrushColor(), picked);
    OnceShown(colorDlg, [&] {
      QTest::mouseClick(colorDlg.Image1, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
      Click(colorDlg.CancelButton);
    });
    QTest::mouseClick(dlg.PenColor[2], Qt::LeftButton);
  }));
  EXPECT_EQ(AppSettings.PenColors[1], picked);
  EXPECT_NE(picked, 0x0000FF);
  EXPECT_EQ(AppSettings.PenColors[2], 0xFF0000);  // cancelled: as it was
}

// --- COLLADA --------------------------------------------------------------------------------

class ColladaTest : public DialogTest {
 protected:
  bool Run(const std::function<void()>& steps) {
    return RunModal(dlg, dlg.OkButton, steps, [this] { return dlg.Execute(); });
  }
  // The six "Collada" settings at once.
  static void SetCollada(double scale, double hardAngle, int optimize, bool obj, bool lod, bool cube) {
    AppSettings.ColladaScale = scale;
    AppSettings.ColladaHardAngle = hardAngle;
    AppSettings.ColladaOptimizeMesh = optimize;
    AppSettings.ColladaSaveObj2 = obj;
    AppSettings.ColladaSaveLod = lod;
    AppSettings.ColladaSaveCubePhysics = cube;
  }
  SettingsGuard guard;
  TColladaDlg dlg{nullptr};
};

TEST_F(ColladaTest, FillsFromAndWritesToTheSixSettings) {
  SetCollada(2.5, 30, 2, true, false, false);
  ASSERT_TRUE(Run([&] {
    EXPECT_EQ(dlg.QSKSpinEdit2->Text(), QStringLiteral("2.50"));
    EXPECT_EQ(dlg.QSKSpinEdit1->Text(), QStringLiteral("30.000"));
    EXPECT_EQ(dlg.ComboBox1->currentText(), QStringLiteral("Optimize vertices"));
    EXPECT_TRUE(dlg.CheckBox2->isChecked());
    EXPECT_FALSE(dlg.CheckBox1->isChecked());
    EXPECT_FALSE(dlg.CheckBox3->isChecked());
    // the spin edits' own steps and limits
    Click(dlg.QSKSpinEdit2->UpButton);
    Click(dlg.QSKSpinEdit1->DownButton);
    Pick(*dlg.ComboBox1, QStringLiteral("Optimize vertices - Keep UVMap"));
    Click(dlg.CheckBox1);
    Click(dlg.CheckBox2);
  }));
  EXPECT_DOUBLE_EQ(AppSettings.ColladaScale, 2.6);
  EXPECT_EQ(AppSettings.ColladaHardAngle, 29);
  EXPECT_EQ(AppSettings.ColladaOptimizeMesh, 1);
  EXPECT_FALSE(AppSettings.ColladaSaveObj2);
  EXPECT_TRUE(AppSettings.ColladaSaveLod);
  EXPECT_FALSE(AppSettings.ColladaSaveCubePhysics);
}

TEST_F(ColladaTest, DefaultSetsTheControlsAndCancelWritesNothing) {
  SetCollada(64, 180, 2, true, false, false);  // the limits of the settings
  const TAppSettings before = AppSettings;
  EXPECT_FALSE(Run([&] {
    Click(dlg.BitBtn3);
    EXPECT_EQ(dlg.QSKSpinEdit1->Value(), 75);
    EXPECT_EQ(dlg.QSKSpinEdit2->Value(), 1);
    EXPECT_EQ(dlg.ComboBox1->currentIndex(), 0);
    EXPECT_TRUE(dlg.CheckBox1->isChecked());
    EXPECT_FALSE(dlg.CheckBox2->isChecked());
    EXPECT_TRUE(dlg.CheckBox3->isChecked());
    EXPECT_TRUE(AppSettings == before);  // the settings wait for OK
    Click(dlg.CancelButton);
  }));
  EXPECT_TRUE(AppSettings == before);
  ASSERT_TRUE(Run([&] { Click(dlg.BitBtn3); }));
  EXPECT_EQ(AppSettings.ColladaHardAngle, 75);
  EXPECT_EQ(AppSettings.ColladaScale, 1);
  EXPECT_TRUE(AppSettings.ColladaSaveCubePhysics);
}

TEST_F(ColladaTest, ATypedNumberPastItsLimitIsStoredAtTheLimit) {
  ASSERT_TRUE(Run([&] {
    QLineEdit* angle = dlg.QSKSpinEdit1->Edit;
    angle->selectAll();
    QTest::keyClicks(angle, QStringLiteral("500"));
    QTest::keyClick(angle, Qt::Key_Return);  // Enter presses OK, the focus never leaves the box
  }));
  EXPECT_EQ(AppSettings.ColladaHardAngle, 180);
}

}  // namespace
}  // namespace editor_test
