#pragma once
// Each reader of the smaller formats run once over a block of memory with fresh parameters, as a
// fuzzing harness or a quick check calls it. Each answers whether the read succeeded (the abort
// flag stayed clear); damaged data must end in false, never in a crash or a hang.
#include <cstddef>
#include <cstdint>

namespace rv {

bool ReadGIFFromMemory(const uint8_t* data, size_t size);
bool ReadPCXFromMemory(const uint8_t* data, size_t size);
bool ReadDCXFromMemory(const uint8_t* data, size_t size);
bool ReadICOFromMemory(const uint8_t* data, size_t size);
bool ReadCURFromMemory(const uint8_t* data, size_t size);
bool ReadPXMFromMemory(const uint8_t* data, size_t size);
bool ReadWBMPFromMemory(const uint8_t* data, size_t size);
// Reads the layers too.
bool ReadPSDFromMemory(const uint8_t* data, size_t size);
// The first byte chooses the coding (0 binary, 1 decimal, 2 hexadecimal) and the second the
// layout (bit 0 planar); the rest fills a 17 x 5 rv24RGB bitmap.
bool ReadRawBitmapFromMemory(const uint8_t* data, size_t size);

}  // namespace rv
