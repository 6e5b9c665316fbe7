#include "editor/controls/NumEdit.h"

#include <QRegularExpression>
#include <QRegularExpressionValidator>

namespace editor {

TNumEdit::TNumEdit(QWidget* parent) : QLineEdit(parent) { Apply(); }

void TNumEdit::SetAlignment(TNumEditAlignment value) {
  if (alignment_ == value) return;
  alignment_ = value;
  Apply();
}

void TNumEdit::SetNumOnly(bool value) {
  if (numOnly_ == value) return;
  numOnly_ = value;
  Apply();
}

void TNumEdit::Apply() {
  switch (alignment_) {
    case TNumEditAlignment::Left:
      setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
      break;
    case TNumEditAlignment::Center:
      setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
      break;
    case TNumEditAlignment::Right:
      setAlignment(Qt::AlignRight | Qt::AlignVCenter);
      break;
  }
  // Digits only, as the edit control's digits-only style: no sign, no separator. Text that is
  // set by the program is not checked (a validator only filters typing).
  const QValidator* old = validator();
  setValidator(numOnly_ ? new QRegularExpressionValidator(QRegularExpression("[0-9]*"), this) : nullptr);
  delete old;
}

}  // namespace editor
