#pragma once
// Writes small RIFF AVI files for the tests, the fuzz seeds and the benchmarks: one video
// stream of uncompressed 24-bit frames (rows bottom-up, padded to 4 bytes) with a stream
// header, a movie list and an index, as video tools write them.
#include <cstdint>
#include <vector>

namespace rv::iotest {

struct AviSpec {
  int32_t width = 5, height = 4;
  int32_t frames = 3;
  uint32_t rate = 25, scale = 1;
  // The stream's length as stored; -1: the number of frames.
  int64_t length = -1;
  // The bitmap header's compression code and width as stored (-1: the real width).
  uint32_t compression = 0;
  int64_t headerWidth = -1;
  // Whether the index's offsets count from the file's start instead of the movie list's four-cc.
  bool indexFromFileStart = false;
};

// The pixel (x, y), y counted from the top row, of frame `frame`: blue, green, red.
inline void AviPixel(int32_t frame, int32_t x, int32_t y, uint8_t bgr[3]) {
  bgr[0] = uint8_t(x * 13 + frame * 50);
  bgr[1] = uint8_t(y * 29 + frame * 7);
  bgr[2] = uint8_t(x * y + frame * 90);
}

std::vector<uint8_t> MakeAvi(const AviSpec& spec);

// Where MakeAvi put things: the offset of the "hdrl" list's data and of frame i's chunk header.
int64_t AviHeaderListOffset();
int64_t AviFrameChunkOffset(const AviSpec& spec, int32_t frame);

}  // namespace rv::iotest
