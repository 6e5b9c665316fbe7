#include "rastova/view/text/RVEdit.h"

#include "platform/ui/Keys.h"

namespace rv {

TRVEdit::TRVEdit(QWidget* AOwner) : platform::TEdit(AOwner) {}

bool TRVEdit::WantSpecialKey(uint16_t Key, platform::TShiftState) {
  return Key == platform::VK_TAB || (Key >= platform::VK_PRIOR && Key <= platform::VK_DOWN);
}

void TRVEdit::KeyPress(char32_t& Key) {
  if (Key == 9) Key = 0;
}

}  // namespace rv
