#pragma once
// Helpers shared by the codecs: checked writes, progress steps, a bounded buffered reader,
// date-time encoding, and the palette reductions the writers need.
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "rastova/codecs/IOParamsVals.h"
#include "rastova/core/RVProgressRec.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStream.h"

namespace rv::codecs {

// Writes `count` bytes; false when the stream takes fewer (or raises).
bool WriteAll(TStream& stream, const void* data, int64_t count);
// Writes `count` bytes; sets the abort flag when the stream takes fewer. Returns whether all went.
bool WriteChecked(TStream& stream, TRVProgressRec& progress, const void* data, int64_t count);

// Rows counted against the record's step: per1 = 100 / rows, val = 0.
void StartProgress(TRVProgressRec& progress, int64_t rows);
// One more row done; reports the truncated percentage when an event is assigned. With
// `onlyOnChange`, reports only when the percentage differs from the last one reported.
void StepProgress(TRVProgressRec& progress, bool onlyOnChange = false);

// Bytes from the stream's position to its end (0 when negative).
int64_t BytesLeft(TStream& stream);
// The next byte of the stream, -1 at its end.
int StreamByte(TStream& stream);
// Reads `n` bytes; true when all of them came.
bool ReadAll(TStream& stream, void* buffer, int64_t n);

// Little- and big-endian integers in byte buffers.
inline uint16_t GetLE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t GetLE32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline uint16_t GetBE16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
inline uint32_t GetBE32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}
inline void SetLE16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void SetLE32(uint8_t* p, uint32_t v) {
  for (int k = 0; k < 4; ++k) p[k] = static_cast<uint8_t>(v >> (8 * k));
}

// Reads a stream through a fixed buffer. A read past the end yields zero bytes and sets
// `Truncated`, so a damaged file ends cleanly instead of reading garbage.
class TBufferedInput {
 public:
  TBufferedInput(TStream& stream, int32_t bufferSize) : stream_(stream), buffer_(static_cast<size_t>(bufferSize)) {}
  uint8_t Byte() {
    if (index_ >= count_ && !Fill()) {
      Truncated = true;
      return 0;
    }
    return buffer_[index_++];
  }
  uint16_t Word() {
    const uint8_t lo = Byte();
    return static_cast<uint16_t>(lo | (Byte() << 8));
  }
  // Copies `n` bytes; false (with Truncated set and the rest zeroed) when the stream ends first.
  bool Bytes(void* dest, int64_t n);
  bool Skip(int64_t n);
  // The stream position of the next byte.
  int64_t Position() { return stream_.GetPosition() - (count_ - index_); }
  // Drops the buffer and moves the stream.
  void SeekTo(int64_t position) {
    stream_.SetPosition(position);
    index_ = count_ = 0;
  }
  bool Truncated = false;

 private:
  bool Fill();
  TStream& stream_;
  std::vector<uint8_t> buffer_;
  int32_t index_ = 0, count_ = 0;
};

// Date and time of a TDateTime; false when it is out of the range the calendar holds.
bool DecodeDateTime(TDateTime value, int32_t& year, int32_t& month, int32_t& day, int32_t& hour, int32_t& minute,
                    int32_t& second);
bool TryEncodeDateTime(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute, int32_t second,
                       TDateTime& value);

// A 24-bit image reduced to palette indices: the library's palette conversion (exact palette
// when the image has few enough colours, else the installed quantizer) with at most `colors`
// entries. `indices` becomes rv8p; `palette` receives `colors` entries.
bool ReduceToPalette(TRVBitmap& source24, int32_t colors, TRVBitmap& indices, std::vector<TRGB>& palette);

// A copy of `bitmap` in another pixel format (nullptr when it cannot be allocated).
std::unique_ptr<TRVBitmap> ConvertedCopy(TRVBitmap& bitmap, TRVPixelFormat format);

// Three planes of `count` bytes (red, green, blue) interleaved into blue, green, red pixels.
void PlanesToBGR(uint8_t* dest, const uint8_t* red, const uint8_t* green, const uint8_t* blue, int64_t count);

// Sizes read from files are checked against this before anything is allocated.
constexpr int64_t kMaxPixelCount = int64_t(1) << 31;

}  // namespace rv::codecs
