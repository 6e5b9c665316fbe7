#include "AviTools.h"

#include <cstring>
#include <string>

namespace rv::iotest {

namespace {

void Put32(std::vector<uint8_t>& d, uint32_t v) {
  for (int i = 0; i < 4; ++i) d.push_back(uint8_t(v >> (8 * i)));
}
void Put16(std::vector<uint8_t>& d, uint16_t v) {
  d.push_back(uint8_t(v));
  d.push_back(uint8_t(v >> 8));
}
void PutTag(std::vector<uint8_t>& d, const char* t) { d.insert(d.end(), t, t + 4); }
void Set32(std::vector<uint8_t>& d, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) d[at + size_t(i)] = uint8_t(v >> (8 * i));
}

// Opens a chunk (or a list with its kind) and returns where its size goes.
size_t Open(std::vector<uint8_t>& d, const char* id, const char* kind = nullptr) {
  PutTag(d, id);
  const size_t at = d.size();
  Put32(d, 0);
  if (kind) PutTag(d, kind);
  return at;
}
void Close(std::vector<uint8_t>& d, size_t at) {
  Set32(d, at, uint32_t(d.size() - at - 4));
  if (d.size() & 1) d.push_back(0);
}

int64_t RowBytes(const AviSpec& s) { return (int64_t(s.width) * 3 + 3) / 4 * 4; }

}  // namespace

int64_t AviHeaderListOffset() { return 24; }

int64_t AviFrameChunkOffset(const AviSpec& spec, int32_t frame) {
  // RIFF (12) + hdrl list (12 + avih 64 + strl list 12 + strh 64 + strf 48) + movi list header (12).
  const int64_t start = 12 + 12 + 64 + 12 + 64 + 48 + 12;
  return start + frame * (8 + RowBytes(spec) * spec.height);
}

std::vector<uint8_t> MakeAvi(const AviSpec& s) {
  const int64_t rowBytes = RowBytes(s);
  const uint32_t frameBytes = uint32_t(rowBytes * s.height);
  const uint32_t length = s.length < 0 ? uint32_t(s.frames) : uint32_t(s.length);
  std::vector<uint8_t> d;
  const size_t riff = Open(d, "RIFF", "AVI ");
  const size_t hdrl = Open(d, "LIST", "hdrl");
  const size_t avih = Open(d, "avih");
  Put32(d, s.rate ? uint32_t(1000000ull * s.scale / s.rate) : 0);  // microseconds per frame
  Put32(d, 0);
  Put32(d, 0);
  Put32(d, 0x10);  // has an index
  Put32(d, length);
  Put32(d, 0);
  Put32(d, 1);  // streams
  Put32(d, frameBytes);
  Put32(d, uint32_t(s.width));
  Put32(d, uint32_t(s.height));
  for (int i = 0; i < 4; ++i) Put32(d, 0);
  Close(d, avih);
  const size_t strl = Open(d, "LIST", "strl");
  const size_t strh = Open(d, "strh");
  PutTag(d, "vids");
  Put32(d, 0);  // handler
  Put32(d, 0);  // flags
  Put16(d, 0);
  Put16(d, 0);
  Put32(d, 0);  // initial frames
  Put32(d, s.scale);
  Put32(d, s.rate);
  Put32(d, 0);  // start
  Put32(d, length);
  Put32(d, frameBytes);
  Put32(d, 0xFFFFFFFF);  // quality
  Put32(d, 0);
  Put16(d, 0);
  Put16(d, 0);
  Put16(d, uint16_t(s.width));
  Put16(d, uint16_t(s.height));
  Close(d, strh);
  const size_t strf = Open(d, "strf");
  Put32(d, 40);
  Put32(d, uint32_t(s.headerWidth < 0 ? s.width : s.headerWidth));
  Put32(d, uint32_t(s.height));
  Put16(d, 1);
  Put16(d, 24);
  Put32(d, s.compression);
  Put32(d, frameBytes);
  for (int i = 0; i < 4; ++i) Put32(d, 0);
  Close(d, strf);
  Close(d, strl);
  Close(d, hdrl);
  const size_t movi = Open(d, "LIST", "movi");
  const size_t moviData = movi + 4;
  std::vector<uint32_t> offsets;
  for (int32_t f = 0; f < s.frames; ++f) {
    offsets.push_back(uint32_t(d.size() - (s.indexFromFileStart ? 0 : moviData)));
    const size_t chunk = Open(d, "00db");
    for (int32_t r = 0; r < s.height; ++r) {
      const int32_t y = s.height - 1 - r;  // bottom row first
      for (int32_t x = 0; x < s.width; ++x) {
        uint8_t bgr[3];
        AviPixel(f, x, y, bgr);
        d.insert(d.end(), bgr, bgr + 3);
      }
      d.resize(d.size() + size_t(rowBytes - int64_t(s.width) * 3), 0);
    }
    Close(d, chunk);
  }
  Close(d, movi);
  const size_t idx1 = Open(d, "idx1");
  for (uint32_t off : offsets) {
    PutTag(d, "00db");
    Put32(d, 0x10);  // key frame
    Put32(d, off);
    Put32(d, frameBytes);
  }
  Close(d, idx1);
  Close(d, riff);
  return d;
}

}  // namespace rv::iotest
