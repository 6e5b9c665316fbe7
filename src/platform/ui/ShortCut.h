#pragma once
// Keyboard shortcuts as one 16-bit value: the virtual-key code in the low byte and the modifiers
// in the high bits (scShift, scCtrl, scAlt), so that a key and its shift state compare with a
// shortcut in one step.
#include <cstdint>

#include "platform/ui/Control.h"

namespace platform {

using TShortCut = uint16_t;

constexpr TShortCut scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000, scNone = 0;

// The shortcut of a key with the Shift, Ctrl and Alt parts of a shift state (buttons are not
// part of it); 0 for a key code above 255.
constexpr TShortCut ShortCut(uint16_t key, TShiftState shift) {
  if (key > 0xFF) return scNone;
  TShortCut s = key;
  if (shift.Contains(ssShift)) s |= scShift;
  if (shift.Contains(ssCtrl)) s |= scCtrl;
  if (shift.Contains(ssAlt)) s |= scAlt;
  return s;
}

}  // namespace platform
