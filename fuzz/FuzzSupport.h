#pragma once
// Shared by the fuzz targets: one input split into a choice and the bytes to read.
#include <cstddef>
#include <cstdint>

namespace zephor_fuzz {

// The first byte of an input as a choice among `n` ways to read the rest; data and size then
// describe the rest.
inline unsigned TakeChoice(const uint8_t*& data, size_t& size, unsigned n) {
  if (size == 0) return 0;
  const unsigned choice = data[0] % n;
  ++data;
  --size;
  return choice;
}

}  // namespace zephor_fuzz
