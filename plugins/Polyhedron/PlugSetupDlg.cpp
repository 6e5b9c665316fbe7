#include "PlugSetupDlg.h"

#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <algorithm>

#include "PolyhedronGrid.h"
#include "common/NumberText.h"
#include "settings/RegistryIniFile.h"

namespace polyhedron {

namespace {

constexpr char kSetup[] = "Setup";
constexpr char kType[] = "Type";
constexpr char kSize[] = "Size";
constexpr int32_t kDefaultType = 0;
constexpr int32_t kDefaultSize = 10;
// The client size the controls are laid out in; the width grows with a caption that needs more.
constexpr int kFormWidth = 196;
constexpr int kFormHeight = 112;

std::string Utf8(const std::u16string& text) { return QString::fromStdU16String(text).toStdString(); }

// Writes an integer the way it is stored already: as decimal text when the value exists as a
// string, else as a DWORD.
void WriteSetting(settings::TRegistryIniFile& ini, const std::string& sectionKey, const char* name,
                  int32_t value) {
  if (ini.Store().GetDataType(sectionKey, name) == settings::TRegDataType::rdString)
    ini.WriteString(kSetup, name, std::to_string(value));
  else
    ini.WriteInteger(kSetup, name, value);
}

}  // namespace

TPlugSetupDlg::TPlugSetupDlg(QWidget* owner) : QDialog(owner) {
  setWindowTitle(QStringLiteral("Polyhedron Plug-in Dialog"));
  // a fixed dialog border: a caption with a close button, no resizing, no minimise or maximise
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  setModal(true);
  QFont f(QStringLiteral("Tahoma"));
  f.setPixelSize(11);
  setFont(f);

  // The label ends where the track bar begins, as wide as its text needs at the font in use.
  Label1 = new QLabel(QStringLiteral("Size"), this);
  Label1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  const int labelWidth = std::max(19, Label1->sizeHint().width());
  Label1->setGeometry(std::max(2, 47 - labelWidth), 24, labelWidth, std::max(13, Label1->sizeHint().height()));

  TrackBar1 = new QSlider(Qt::Horizontal, this);
  TrackBar1->setGeometry(53, 12, 120, 33);
  TrackBar1->setRange(1, 10);
  TrackBar1->setValue(10);
  TrackBar1->setTickPosition(QSlider::TicksBothSides);
  TrackBar1->setTickInterval(1);
  TrackBar1->setPageStep(1);

  ComboBox1 = new QComboBox(this);
  ComboBox1->setGeometry(28, 51, 145, 21);
  ComboBox1->setEditable(false);
  for (const char* name : PolyhedronEntryNames) ComboBox1->addItem(QString::fromLatin1(name));

  BitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"), this);
  BitBtn2->setGeometry(62, 78, 75, 25);
  BitBtn2->setDefault(true);
  connect(BitBtn2, &QPushButton::clicked, this, &QDialog::accept);

  FitToCaption();

  setTabOrder(TrackBar1, ComboBox1);
  setTabOrder(ComboBox1, BitBtn2);
  TrackBar1->setFocus();
}

void TPlugSetupDlg::FitToCaption() {
  const QFontMetrics fm(QApplication::font());
  const int caption = fm.horizontalAdvance(windowTitle()) + 4 * (fm.height() + 8);
  const int width = std::max(kFormWidth, caption);
  setFixedSize(width, kFormHeight);
  // The controls keep their places relative to each other, in the middle.
  const int shift = (width - kFormWidth) / 2;
  for (QWidget* control : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
    control->move(control->x() + shift, control->y());
}

bool TPlugSetupDlg::Execute(const char16_t* regPath, shape::TCS& cs) {
  RegPath = regPath;
  LoadSettings();
  if (exec() != QDialog::Accepted) return false;
  ControlsToSettings();
  _Execute(cs);
  // The shape is written: a settings file that cannot be written does not undo that.
  try {
    SaveSettings();
  } catch (...) {
  }
  return true;
}

void TPlugSetupDlg::_Execute(shape::TCS& cs) {
  GeneratePolyhedronGrid(cs, PolyhdType, PolyhdSize, TrackBar1->maximum());
}

void TPlugSetupDlg::LoadSettings() {
  PolyhdType = kDefaultType;
  PolyhdSize = kDefaultSize;
  try {
    const std::string path = Utf8(RegPath);
    settings::TRegistryIniFile ini(path);
    PolyhdType = ini.ReadInteger(kSetup, kType, kDefaultType);
    PolyhdSize = ini.ReadInteger(kSetup, kSize, kDefaultSize);
    // the key is opened for writing, so it exists from the first run on
    ini.Store().CreateKey(path);
    ini.UpdateFile();
  } catch (...) {
    // an unreadable or unwritable settings file leaves what was read, or the defaults
  }
  SettingsToControls();
}

void TPlugSetupDlg::SaveSettings() {
  const std::string path = Utf8(RegPath);
  settings::TRegistryIniFile ini(path);
  const std::string sectionKey = path + "\\" + kSetup;
  WriteSetting(ini, sectionKey, kType, PolyhdType);
  WriteSetting(ini, sectionKey, kSize, PolyhdSize);
  ini.UpdateFile();
}

void TPlugSetupDlg::SettingsToControls() {
  PolyhdType = std::clamp(PolyhdType, 0, ComboBox1->count() - 1);
  PolyhdSize = std::clamp(PolyhdSize, TrackBar1->minimum(), TrackBar1->maximum());
  ComboBox1->setCurrentIndex(PolyhdType);
  TrackBar1->setValue(PolyhdSize);
}

void TPlugSetupDlg::ControlsToSettings() {
  PolyhdType = ComboBox1->currentIndex();
  PolyhdSize = TrackBar1->value();
}

}  // namespace polyhedron
