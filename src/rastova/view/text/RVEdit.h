#pragma once
// TRVEdit: the one-line edit the vector layer opens over text objects. It keeps Tab and the keys
// 33 to 40 from the focus chain, as the text editor does, and swallows the Tab character.
#include "platform/ui/Edit.h"

namespace rv {

class TRVEdit : public platform::TEdit {
 public:
  explicit TRVEdit(QWidget* AOwner = nullptr);

 protected:
  bool WantSpecialKey(uint16_t Key, platform::TShiftState Shift) override;
  void KeyPress(char32_t& Key) override;
};

}  // namespace rv
