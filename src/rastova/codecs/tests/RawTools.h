#pragma once
// A synthetic DNG for the camera-raw tests and benchmarks (no sample files can be committed): a
// little-endian TIFF of 16-bit samples in an RGGB mosaic with the CFA photometric, DNG version
// 1.4, make, model, an identity colour matrix and a white level of 4095, which LibRaw identifies
// and decodes. Free of the test framework so that the benchmarks can use it too.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace rv::test {

struct TSyntheticDNG {
  int32_t width = 64, height = 48;
  std::string make = "Zephor", model = "SynthCam";
  // The sample at (x, y) of mosaic colour c (0 red, 1 green, 2 blue); a gentle pattern when empty.
  std::function<uint16_t(int32_t x, int32_t y, int32_t c)> sample;
  // Bytes cut from the end of the file (inside the samples, which come last).
  size_t cut = 0;
};

std::vector<uint8_t> MakeSyntheticDNG(const TSyntheticDNG& spec);

}  // namespace rv::test
