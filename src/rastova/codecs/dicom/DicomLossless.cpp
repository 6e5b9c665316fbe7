// The DICOM reader's own decoders: lossless (SOF3, Huffman-coded) JPEG and PackBits.
#include <algorithm>
#include <cstring>
#include <exception>
#include <vector>

#include "rastova/codecs/CodecUtils.h"
#include "rastova/codecs/dicom/rvdicom.h"
#include "rastova/core/RVStream.h"

namespace rv {

namespace {

constexpr int32_t kMaxTables = 4;

// One Huffman table: the canonical codes of up to 17 categories, with a 256-entry table for the
// codes of up to 8 bits.
struct THuffTable {
  uint8_t counts[17] = {};  // counts[l]: codes of length l (1..16)
  uint8_t values[17] = {};
  int32_t minCode[17] = {}, maxCode[17] = {}, firstIndex[17] = {};
  uint16_t fast[256] = {};  // length << 8 | value; 0 = longer than 8 bits or no code

  // False when the counts ask for more codes of some length than that length has.
  bool Build() {
    int32_t code = 0, index = 0;
    for (int32_t l = 1; l <= 16; ++l) {
      firstIndex[l] = index;
      minCode[l] = code;
      maxCode[l] = counts[l] ? code + counts[l] - 1 : -1;
      if (code + counts[l] > (1 << l)) return false;
      for (int32_t i = 0; i < counts[l]; ++i, ++code, ++index) {
        if (l > 8) continue;
        const int32_t span = 1 << (8 - l), first = code << (8 - l);
        for (int32_t j = 0; j < span; ++j) fast[first + j] = static_cast<uint16_t>(l << 8 | values[index]);
      }
      code <<= 1;
    }
    return true;
  }
};

// Bits of the entropy-coded data, most significant first; past the end it yields zero bits, and
// Exhausted() tells that bits past the end were taken.
class TBitReader {
 public:
  TBitReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  void Restart(size_t at) {
    at_ = std::min(at, size_);
    bits_ = 0;
    count_ = 0;
  }
  uint32_t Peek16() {
    Fill();
    return static_cast<uint32_t>(bits_ >> (count_ - 16)) & 0xFFFF;
  }
  void Skip(int32_t n) { count_ -= n; }
  bool Exhausted() const { return int64_t(at_) * 8 - count_ > int64_t(size_) * 8; }
  int32_t Bits(int32_t n) {
    if (n == 0) return 0;
    Fill();
    count_ -= n;
    return static_cast<int32_t>((bits_ >> count_) & ((uint64_t(1) << n) - 1));
  }

 private:
  void Fill() {
    while (count_ <= 56) {
      bits_ = (bits_ << 8) | (at_ < size_ ? data_[at_] : 0);
      ++at_;
      count_ += 8;
    }
  }
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
  uint64_t bits_ = 0;
  int32_t count_ = 0;
};

// The next category of a table; -1 for a bit pattern that is no code.
int32_t DecodeCategory(TBitReader& in, const THuffTable& t) {
  const uint32_t peek = in.Peek16();
  const uint16_t f = t.fast[peek >> 8];
  if (f) {
    in.Skip(f >> 8);
    return f & 0xFF;
  }
  for (int32_t l = 9; l <= 16; ++l) {
    const int32_t code = static_cast<int32_t>(peek >> (16 - l));
    if (code <= t.maxCode[l] && code >= t.minCode[l]) {
      in.Skip(l);
      return t.values[t.firstIndex[l] + code - t.minCode[l]];
    }
  }
  return -1;
}

int32_t DecodeDifference(TBitReader& in, const THuffTable& t, bool& ok) {
  const int32_t category = DecodeCategory(in, t);
  if (category < 0) {
    ok = false;
    return 0;
  }
  if (category == 0) return 0;
  if (category == 16) return 32768;
  const int32_t bits = in.Bits(category);
  return bits < (1 << (category - 1)) ? bits - (1 << category) + 1 : bits;
}

uint16_t BE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

// What the marker segments before the scan tell.
struct TLosslessHeader {
  bool lossless = false, scan = false;
  int32_t precision = 0, lines = 0, samplesPerLine = 0, components = 0;
  THuffTable tables[kMaxTables];
  int32_t tableCount = 0;
  int32_t restartInterval = 0;
  int32_t predictor = 0, pointTransform = 0;
  int64_t scanStart = 0;  // first byte of the entropy-coded data
};

bool ReadTables(const uint8_t* seg, int64_t length, TLosslessHeader& h) {
  int64_t at = 0;
  while (at < length) {
    if (length - at < 17 || h.tableCount >= kMaxTables) return false;
    THuffTable& t = h.tables[h.tableCount++];
    int32_t total = 0;
    for (int32_t l = 1; l <= 16; ++l) total += t.counts[l] = seg[at + l];
    at += 17;
    if (total > 17 || length - at < total) return false;
    for (int32_t i = 0; i < total; ++i) {
      if (seg[at + i] > 16) return false;
      t.values[i] = seg[at + i];
    }
    at += total;
    if (!t.Build()) return false;
  }
  return true;
}

bool IsFrameHeader(uint8_t m) {
  return (m >= 0xC0 && m <= 0xC3) || (m >= 0xC5 && m <= 0xCB) || (m >= 0xCD && m <= 0xCF);
}

// Parses the markers from after SOI up to the start of scan (or the end of the data).
bool ReadHeader(const uint8_t* data, int64_t size, TLosslessHeader& h) {
  int64_t at = 2;
  while (at + 1 < size) {
    if (data[at] != 0xFF) return false;
    const uint8_t m = data[at + 1];
    at += 2;
    if (m == 0xFF) {
      --at;  // a fill byte: the second 0xFF starts the marker
      continue;
    }
    if (m == 0x00 || m == 0x01 || (m >= 0xD0 && m <= 0xD7)) continue;
    if (at + 2 > size) return false;
    const int64_t length = BE16(data + at);
    if (length < 2 || at + length > size) return false;
    const uint8_t* seg = data + at + 2;
    const int64_t n = length - 2;
    if (IsFrameHeader(m)) {
      if (n < 6) return false;
      h.precision = seg[0];
      h.lines = BE16(seg + 1);
      h.samplesPerLine = BE16(seg + 3);
      h.components = seg[5];
      if (m == 0xC3) h.lossless = true;
    } else if (m == 0xC4) {
      if (!ReadTables(seg, n, h)) return false;
    } else if (m == 0xDD) {
      if (n < 2) return false;
      h.restartInterval = BE16(seg);
    } else if (m == 0xDA) {
      if (n < 1) return false;
      const int32_t count = seg[0];
      if (n < 1 + 2 * count + 3) return false;
      h.predictor = seg[1 + 2 * count];
      h.pointTransform = seg[3 + 2 * count] & 0x0F;
      h.scan = true;
      h.scanStart = at + length;
      return true;
    }
    at += length;
  }
  return true;
}

// The entropy-coded data without its stuffed zero bytes, up to EOI, with the positions (in the
// cleaned data) where each restart marker stood. False when a second scan follows.
bool CleanScanData(const uint8_t* data, int64_t size, int64_t start, std::vector<uint8_t>& out,
                   std::vector<size_t>& restarts) {
  out.reserve(static_cast<size_t>(size - start));
  int64_t i = start;
  while (i < size) {
    const uint8_t b = data[i];
    if (b != 0xFF) {
      out.push_back(b);
      ++i;
      continue;
    }
    if (i + 1 >= size) break;
    const uint8_t m = data[i + 1];
    if (m == 0x00) {
      out.push_back(0xFF);
      i += 2;
    } else if (m == 0xFF) {
      ++i;
    } else if (m >= 0xD0 && m <= 0xD7) {
      restarts.push_back(out.size());
      i += 2;
    } else if (m == 0xDA) {
      return false;
    } else {
      break;  // EOI or another marker ends the data
    }
  }
  return true;
}

// Predicts and decodes the samples of the scan.
bool DecodeScan(const TLosslessHeader& h, const std::vector<uint8_t>& clean, const std::vector<size_t>& restarts,
                uint16_t* dest16, uint8_t* dest8, int64_t capacity, TRVProgressRec* progress) {
  const int32_t comps = h.components, width = h.samplesPerLine, height = h.lines;
  const int32_t initial = 1 << (h.precision - h.pointTransform - 1);
  const THuffTable* table[256];
  for (int32_t c = 0; c < comps; ++c) table[c] = &h.tables[c < h.tableCount ? c : 0];
  const size_t rowSamples = static_cast<size_t>(width) * comps;
  std::vector<int32_t> rows(rowSamples * 2);
  int32_t* above = rows.data();
  int32_t* current = rows.data() + rowSamples;
  TBitReader in(clean.data(), clean.size());
  size_t nextRestart = 0;
  int64_t untilRestart = h.restartInterval > 0 ? h.restartInterval : -1;
  int32_t intervalRow = 0;  // the row in which the current restart interval began
  bool intervalStart = true, ok = true;
  int64_t written = 0;
  if (progress) codecs::StartProgress(*progress, height);
  // Every sample costs at least one bit, so samples decoded from bits past the end of the data
  // are not in the file: decoding stops there (the rows before stay), and once the rows stored
  // fill the destination. A few bytes cannot make it decode a header's billions of samples.
  for (int32_t y = 0; y < height && ok && written < capacity; ++y) {
    for (int32_t x = 0; x < width && ok && !in.Exhausted(); ++x) {
      if (untilRestart == 0) {
        if (nextRestart < restarts.size()) in.Restart(restarts[nextRestart++]);
        untilRestart = h.restartInterval;
        intervalStart = true;
        intervalRow = y;
      }
      for (int32_t c = 0; c < comps; ++c) {
        const size_t i = static_cast<size_t>(x) * comps + c;
        int32_t predicted;
        if (intervalStart) {
          predicted = initial;
        } else if (y == intervalRow) {
          predicted = current[i - comps];
        } else if (x == 0) {
          predicted = above[i];
        } else {
          const int32_t a = current[i - comps], b = above[i], cc = above[i - comps];
          switch (h.predictor) {
            case 1: predicted = a; break;
            case 2: predicted = b; break;
            case 3: predicted = cc; break;
            case 4: predicted = a + b - cc; break;
            case 5: predicted = a + ((b - cc) >> 1); break;
            case 6: predicted = b + ((a - cc) >> 1); break;
            default: predicted = (a + b) >> 1; break;
          }
        }
        current[i] = (predicted + DecodeDifference(in, *table[c], ok)) & 0xFFFF;
      }
      intervalStart = false;
      if (untilRestart > 0) --untilRestart;
    }
    if (in.Exhausted()) break;
    for (size_t i = 0; i < rowSamples && written < capacity; ++i, ++written) {
      if (dest8)
        dest8[written] = static_cast<uint8_t>(current[i]);
      else
        dest16[written] = static_cast<uint16_t>(current[i]);
    }
    std::swap(above, current);
    if (progress) codecs::StepProgress(*progress, true);
  }
  return ok;
}

}  // namespace

bool DecodeLosslessJPEGBuffer(const uint8_t* data, int64_t size, uint16_t* dest16, uint8_t* dest8, int64_t capacity,
                              TRVProgressRec* progress) {
  if (size < 32) return false;
  TLosslessHeader h;
  if (!ReadHeader(data, size, h)) return false;
  if (!h.lossless) return true;
  if (!h.scan || h.tableCount == 0) return false;
  if (h.precision < 2 || h.precision > 16 || h.pointTransform >= h.precision || h.predictor < 1 ||
      h.predictor > 7 || h.components < 1 || h.lines < 1 || h.samplesPerLine < 1 || (!dest8 && !dest16))
    return false;
  std::vector<uint8_t> clean;
  std::vector<size_t> restarts;
  if (!CleanScanData(data, size, h.scanStart, clean, restarts)) return false;
  // Nor can a row wider than the data can code ask for its row buffers.
  if (int64_t(h.samplesPerLine) * h.components > int64_t(clean.size()) * 8 + 64) return false;
  return DecodeScan(h, clean, restarts, dest16, dest8, capacity, progress);
}

bool DecodeLosslessJPEG(TStream& stream, uint16_t* dest16, uint8_t* dest8, int64_t capacity,
                        TRVProgressRec* progress, int64_t byteCount) {
  const int64_t available = std::min(byteCount, codecs::BytesLeft(stream));
  if (available < 32) return false;
  std::vector<uint8_t> data(static_cast<size_t>(available));
  try {
    stream.ReadBuffer(data.data(), available);
  } catch (const std::exception&) {
    return false;
  }
  return DecodeLosslessJPEGBuffer(data.data(), available, dest16, dest8, capacity, progress);
}

namespace {

// Copies up to 128 bytes (a literal run) in 16-byte pieces, the last one ending with the run; the
// compiler would copy a bounded size by a string instruction, slow to start for so few bytes.
void CopyLiteral(uint8_t* dest, const uint8_t* source, int64_t n) {
  if (n < 16) {
    std::memcpy(dest, source, static_cast<size_t>(n));
    return;
  }
  for (int64_t k = 0; k < n - 16; k += 16) std::memcpy(dest + k, source + k, 16);
  std::memcpy(dest + n - 16, source + n - 16, 16);
}

}  // namespace

int64_t DecodePackBits(const uint8_t* source, int64_t size, uint8_t* dest, int64_t count, int64_t* produced) {
  int64_t in = 0, out = 0;
  while (out < count && in < size) {
    const int32_t n = static_cast<int8_t>(source[in++]);
    if (n >= 0) {
      const int64_t run = std::min<int64_t>({n + 1, count - out, size - in});
      CopyLiteral(dest + out, source + in, run);
      out += run;
      in += std::min<int64_t>(n + 1, size - in);
    } else if (n != -128) {
      if (in >= size) break;
      const int64_t run = std::min<int64_t>(1 - n, count - out);
      std::memset(dest + out, source[in++], static_cast<size_t>(run));
      out += run;
    }
  }
  if (produced) *produced = out;
  return in;
}

int64_t DecodePackBitsSegment(TStream& stream, uint8_t* dest, int64_t count) {
  const int64_t start = stream.GetPosition();
  // Every output byte costs at most two input bytes (a literal run of one).
  const int64_t available = std::min(codecs::BytesLeft(stream), 2 * count + 2);
  std::vector<uint8_t> data(static_cast<size_t>(std::max<int64_t>(available, 0)));
  try {
    stream.ReadBuffer(data.data(), available);
  } catch (const std::exception&) {
    stream.SetPosition(start);
    return 0;
  }
  const int64_t used = DecodePackBits(data.data(), available, dest, count);
  stream.SetPosition(start + used);
  return used;
}

}  // namespace rv
