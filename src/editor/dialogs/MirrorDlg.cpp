#include "editor/dialogs/MirrorDlg.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include "editor/dialogs/DialogForm.h"
#include "editor/panes/ScBase.h"

namespace editor {

namespace {

constexpr int kPictureWidth = 40;
constexpr int kPictureHeight = 24;
// The axes of each plane: "XY", "YZ", "ZX".
constexpr int kPlaneAxes[3][2] = {{0, 1}, {1, 2}, {2, 0}};
constexpr char kAxisLetters[3] = {'X', 'Y', 'Z'};

}  // namespace

QImage TMirrorDlg::PlanePicture(int32_t tag) {
  QImage picture(kPictureWidth, kPictureHeight, QImage::Format_ARGB32);
  picture.fill(Qt::transparent);
  if (tag < 0 || tag > 2) return picture;
  QPainter p(&picture);
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(18);
  font.setBold(true);
  p.setFont(font);
  for (int k = 0; k < 2; ++k) {
    const int axis = kPlaneAxes[tag][k];
    p.setPen(platform::ToQColor(AxisColors[axis].Positive));
    p.drawText(QRect(k * kPictureWidth / 2, 0, kPictureWidth / 2, kPictureHeight), Qt::AlignCenter,
               QString(QLatin1Char(kAxisLetters[axis])));
  }
  return picture;
}

TMirrorDlg::TMirrorDlg(QWidget* owner) : QDialog(owner) {
  SetupDialogForm(*this, "Mirror", 236, 100);
  AddLabel(this, QStringLiteral("Please choose a symmetry plane."), 16, 14, 204, 14);
  const char* names[3] = {"XY", "YZ", "ZX"};
  for (int32_t tag = 0; tag < 3; ++tag) {
    QPushButton* button = AddButton(this, QString(), 16 + tag * 70, 42, 64, 44);
    button->setIcon(QIcon(QPixmap::fromImage(PlanePicture(tag))));
    button->setIconSize(QSize(kPictureWidth, kPictureHeight));
    button->setAccessibleName(QString::fromLatin1(names[tag]));
    button->setToolTip(QString::fromLatin1(names[tag]));
    connect(button, &QPushButton::clicked, this, [this, tag] {
      result_ = tag;
      accept();
    });
    PlaneButtons[tag] = button;
  }
}

int32_t TMirrorDlg::Execute(const char* caption, int32_t defaultButton) {
  setWindowTitle(QString::fromUtf8(caption));
  result_ = -1;
  for (int32_t tag = 0; tag < 3; ++tag) PlaneButtons[tag]->setDefault(tag == defaultButton);
  if (defaultButton >= 0 && defaultButton < 3) PlaneButtons[defaultButton]->setFocus();
  return exec() == QDialog::Accepted ? result_ : -1;
}

}  // namespace editor
