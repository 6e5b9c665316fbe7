#pragma once
// Shared pieces of the fuzz targets: one input split into a choice and the bytes to read, and
// the image library started once per process, as the program's start-up does.
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

// Starts the image library (with its I/O step) the first time it is called.
void StartImageLibrary();

}  // namespace zephor_fuzz
