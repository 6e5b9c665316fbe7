#pragma once
// TNumEdit: the one-line edit box of the channel values. Alignment (right by default) places
// the text; NumOnly (on by default) lets only digits be typed. Changing either applies at once.
#include <QLineEdit>

namespace editor {

enum class TNumEditAlignment { Left, Right, Center };

class TNumEdit : public QLineEdit {
 public:
  explicit TNumEdit(QWidget* parent = nullptr);

  TNumEditAlignment Alignment() const { return alignment_; }
  void SetAlignment(TNumEditAlignment value);
  bool NumOnly() const { return numOnly_; }
  void SetNumOnly(bool value);

 private:
  void Apply();

  TNumEditAlignment alignment_ = TNumEditAlignment::Right;
  bool numOnly_ = true;
};

}  // namespace editor
