#pragma once
// The test picture of the drawing benchmarks: channel c (0 to 2 colour, 3 alpha) of pixel (x, y),
// varied enough that no pass can shortcut runs of equal pixels.
#include <cstdint>

namespace benchpattern {

inline uint8_t Sample(int x, int y, int c) {
  switch (c) {
    case 0:
      return static_cast<uint8_t>((x * y) >> 6);
    case 1:
      return static_cast<uint8_t>(x ^ y);
    case 2:
      return static_cast<uint8_t>((x + 2 * y) >> 3);
    default:
      return static_cast<uint8_t>((x * 7 + y * 3) % 256);
  }
}

}  // namespace benchpattern
