#pragma once
// The shift state and mouse buttons of input events, in the window system's bit order. They
// live here, without windows, so that code that only receives such events (the vector layer's
// extended objects, whose base class the object stream reader creates) builds without widgets;
// the window controls (platform/ui/Control.h) report their input with them.
#include <cstdint>

namespace platform {

enum TShiftStateItem : uint16_t {
  ssShift = 1 << 0,
  ssAlt = 1 << 1,
  ssCtrl = 1 << 2,
  ssLeft = 1 << 3,
  ssRight = 1 << 4,
  ssMiddle = 1 << 5,
  ssDouble = 1 << 6,
};

// A set of TShiftStateItem; Bits() holds them in the window system's bit order.
class TShiftState {
 public:
  constexpr TShiftState() = default;
  constexpr TShiftState(TShiftStateItem item) : bits_(item) {}
  static constexpr TShiftState FromBits(uint16_t bits) {
    TShiftState s;
    s.bits_ = bits;
    return s;
  }
  constexpr bool Contains(TShiftStateItem item) const { return (bits_ & item) != 0; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr uint16_t Bits() const { return bits_; }
  constexpr TShiftState operator|(TShiftState o) const { return FromBits(bits_ | o.bits_); }
  constexpr TShiftState operator&(TShiftState o) const { return FromBits(bits_ & o.bits_); }
  constexpr TShiftState Without(TShiftState o) const { return FromBits(bits_ & ~o.bits_); }
  TShiftState& operator|=(TShiftState o) {
    bits_ |= o.bits_;
    return *this;
  }
  friend constexpr bool operator==(TShiftState, TShiftState) = default;

 private:
  uint16_t bits_ = 0;
};

constexpr TShiftState operator|(TShiftStateItem a, TShiftStateItem b) {
  return TShiftState(a) | TShiftState(b);
}

enum TMouseButton : uint8_t { mbLeft, mbRight, mbMiddle };

}  // namespace platform
