#pragma once
// Group display colours and the RGB/HSL conversion they use (the colour picker uses it too).
// Colours are 32-bit values with red in the lowest byte, then green, then blue.
#include <cstdint>

namespace shape {

// Hue 0..359, saturation and lightness 0..100, each truncated toward zero.
void RGBToHSL(uint32_t color, int32_t& hue, int32_t& saturation, int32_t& lightness);
void HSLToRGB(int32_t hue, int32_t saturation, int32_t lightness, uint8_t& red, uint8_t& green,
              uint8_t& blue);
// The display colour of group `id`; eleven colours repeat.
uint32_t GroupColor(int32_t id);

}  // namespace shape
