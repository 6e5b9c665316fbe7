#pragma once
// The scrolling and wheel settings the image view owns (one record per scroll bar and one for
// the wheel) and consults when it scrolls or zooms, and the processor test its start-up notes.
#include <cstdint>

namespace rv {

class TRVScrollBarParams {
 public:
  // -1: the view's own line amount; otherwise that amount times the value.
  int32_t LineStep = -1;
  // -1: one page (the client extent); otherwise the line amount times the value.
  int32_t PageStep = -1;
  // False: the view ignores the thumb while it is dragged and scrolls when it is released.
  bool Tracking = true;
};

class TRVMouseWheelParams {
 public:
  bool InverseDirection = false;
  // 0 the wheel does nothing, 1 it scrolls, 2 it zooms.
  uint8_t Action = 2;
  // 0: Value is absolute (lines when scrolling, zoom percentage points when zooming);
  // 1: Value is a percentage (of the page when scrolling, of the current zoom when zooming).
  uint8_t Variation = 1;
  int32_t Value = 8;
  // True: zooming keeps the image point under the mouse in place.
  bool ZoomAtMouse = false;
};

// Whether the processor has the CPUID instruction and reports MMX in leaf 1 (EDX bit 23): true
// on every x86-64 processor, false on processors of other families.
bool CPUHasMMX();

}  // namespace rv
