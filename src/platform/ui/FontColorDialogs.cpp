#include "platform/ui/FontColorDialogs.h"

#include <QColorDialog>
#include <QFontDialog>
#include <QFontInfo>
#include <cmath>

#include "common/Round.h"

namespace platform {

bool ExecuteFontDialog(QWidget* owner, TFont& font) {
  QFont initial(StandInFontFamily(font.Name));
  initial.setPixelSize(std::max(1, font.Height() == 0 ? 11 : std::abs(font.Height())));
  initial.setBold(font.Style.Bold);
  initial.setItalic(font.Style.Italic);
  initial.setUnderline(font.Style.Underline);
  initial.setStrikeOut(font.Style.StrikeOut);
  QFontDialog dialog(initial, owner);
  dialog.setOption(QFontDialog::DontUseNativeDialog);
  if (dialog.exec() != QDialog::Accepted) return false;
  const QFont chosen = dialog.selectedFont();
  font.Name = chosen.family().toStdString();
  // The dialog chooses in points; the font keeps the character height in pixels at 96 dpi.
  const int pixels = chosen.pixelSize() > 0
                         ? chosen.pixelSize()
                         : std::max(1, common::RoundInt(chosen.pointSizeF() * 96.0 / 72.0));
  font.SetHeight(-pixels);
  font.Style.Bold = chosen.weight() >= QFont::Bold;
  font.Style.Italic = chosen.italic();
  font.Style.Underline = chosen.underline();
  font.Style.StrikeOut = chosen.strikeOut();
  return true;
}

bool ExecuteColorDialog(QWidget* owner, TColor& color) {
  QColorDialog dialog(ToQColor(color), owner);
  dialog.setOption(QColorDialog::DontUseNativeDialog);
  if (dialog.exec() != QDialog::Accepted) return false;
  color = FromQColor(dialog.selectedColor());
  return true;
}

}  // namespace platform
