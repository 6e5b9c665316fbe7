#include "rastova/codecs/tiff/tifccitt.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "rastova/codecs/CodecUtils.h"
#include "rastova/core/RVStartup.h"
#include "rastova/core/RVStream.h"

namespace rv {

namespace {

// ---------------------------------------------------------------- code tables

// The run-length codes of one colour: 128 entries. 0-63 terminating codes, 64-90 make-up codes
// for 64 to 1728, 91-103 the extended make-up codes for 1792 to 2560 (shared by both colours),
// 104 EOL, 105-107 zero runs that carry no run, 108-127 an EOL after 1 to 20 further fill bits.
constexpr const char* kWhiteCodes[104] = {
    // terminating 0-63
    "00110101", "000111", "0111", "1000", "1011", "1100", "1110", "1111", "10011", "10100", "00111", "01000",
    "001000", "000011", "110100", "110101", "101010", "101011", "0100111", "0001100", "0001000", "0010111",
    "0000011", "0000100", "0101000", "0101011", "0010011", "0100100", "0011000", "00000010", "00000011",
    "00011010", "00011011", "00010010", "00010011", "00010100", "00010101", "00010110", "00010111",
    "00101000", "00101001", "00101010", "00101011", "00101100", "00101101", "00000100", "00000101",
    "00001010", "00001011", "01010010", "01010011", "01010100", "01010101", "00100100", "00100101",
    "01011000", "01011001", "01011010", "01011011", "01001010", "01001011", "00110010", "00110011",
    "00110100",
    // make-up 64-1728
    "11011", "10010", "010111", "0110111", "00110110", "00110111", "01100100", "01100101", "01101000",
    "01100111", "011001100", "011001101", "011010010", "011010011", "011010100", "011010101", "011010110",
    "011010111", "011011000", "011011001", "011011010", "011011011", "010011000", "010011001", "010011010",
    "011000", "010011011",
    // extended make-up 1792-2560
    "00000001000", "00000001100", "00000001101", "000000010010", "000000010011", "000000010100",
    "000000010101", "000000010110", "000000010111", "000000011100", "000000011101", "000000011110",
    "000000011111"};

constexpr const char* kBlackCodes[104] = {
    // terminating 0-63
    "0000110111", "010", "11", "10", "011", "0011", "0010", "00011", "000101", "000100", "0000100", "0000101",
    "0000111", "00000100", "00000111", "000011000", "0000010111", "0000011000", "0000001000", "00001100111",
    "00001101000", "00001101100", "00000110111", "00000101000", "00000010111", "00000011000", "000011001010",
    "000011001011", "000011001100", "000011001101", "000001101000", "000001101001", "000001101010",
    "000001101011", "000011010010", "000011010011", "000011010100", "000011010101", "000011010110",
    "000011010111", "000001101100", "000001101101", "000011011010", "000011011011", "000001010100",
    "000001010101", "000001010110", "000001010111", "000001100100", "000001100101", "000001010010",
    "000001010011", "000000100100", "000000110111", "000000111000", "000000100111", "000000101000",
    "000001011000", "000001011001", "000000101011", "000000101100", "000001011010", "000001100110",
    "000001100111",
    // make-up 64-1728
    "0000001111", "000011001000", "000011001001", "000001011011", "000000110011", "000000110100",
    "000000110101", "0000001101100", "0000001101101", "0000001001010", "0000001001011", "0000001001100",
    "0000001001101", "0000001110010", "0000001110011", "0000001110100", "0000001110101", "0000001110110",
    "0000001110111", "0000001010010", "0000001010011", "0000001010100", "0000001010101", "0000001011010",
    "0000001011011", "0000001100100", "0000001100101",
    // extended make-up 1792-2560
    "00000001000", "00000001100", "00000001101", "000000010010", "000000010011", "000000010100",
    "000000010101", "000000010110", "000000010111", "000000011100", "000000011101", "000000011110",
    "000000011111"};

constexpr int kEntries = 128;
constexpr int kEOLEntry = 104;
constexpr int kEndOfData = 127;  // what the decoder answers at or past the end of the data
constexpr int kRunEOL = -3;
constexpr int kRunNone = -1;

struct TCode {
  int32_t length = 0;
  uint32_t bits = 0;  // right-aligned (codes of up to 32 bits)
  int32_t run = 0;
};

struct TColourTable {
  TCode codes[kEntries];
  // The decode tree: node {value (128 inside, else the entry), child for 0, child for 1}; 0 is
  // the root and a child of 0 means none.
  struct Node {
    int16_t value = 128;
    int32_t child[2] = {0, 0};
  };
  std::vector<Node> tree;
  // The entry (low byte) and length (high byte) of the code that the next 13 bits begin with;
  // 0 when no code of up to 13 bits matches (then the tree decides).
  uint16_t fast[1 << 13] = {};
};

constexpr int kFastBits = 13;

struct TFaxTables {
  TColourTable colour[2];  // 0 white, 1 black
  // Two-dimensional mode (low byte) and its length (high byte) for the next 12 bits.
  uint16_t mode[1 << 12] = {};
};

std::unique_ptr<TFaxTables> gTables;

TCode CodeOf(const char* text, int32_t run) {
  TCode c;
  c.length = static_cast<int32_t>(std::strlen(text));
  for (const char* p = text; *p; ++p) c.bits = (c.bits << 1) | uint32_t(*p == '1');
  c.run = run;
  return c;
}

void FillColour(TColourTable& t, const char* const* codes) {
  for (int i = 0; i < 104; ++i)
    t.codes[i] = CodeOf(codes[i], i < 64 ? i : i < 91 ? (i - 63) * 64 : 1792 + (i - 91) * 64);
  t.codes[kEOLEntry] = CodeOf("000000000001", kRunEOL);
  // Eight, nine and ten zero bits and a one: codes that carry no run.
  for (int i = 0; i < 3; ++i) t.codes[105 + i] = TCode{9 + i, 1, kRunNone};
  // 12 to 31 zero bits and a one: an EOL behind fill bits.
  for (int i = 0; i < 20; ++i) t.codes[108 + i] = TCode{13 + i, 1, kRunEOL};

  t.tree.assign(1, TColourTable::Node{});
  for (int e = 0; e < kEntries; ++e) {
    const TCode& c = t.codes[e];
    int32_t node = 0;
    for (int b = c.length - 1; b >= 0; --b) {
      const int bit = (c.bits >> b) & 1;
      int32_t next = t.tree[static_cast<size_t>(node)].child[bit];
      if (next == 0) {
        next = static_cast<int32_t>(t.tree.size());
        t.tree.push_back(TColourTable::Node{});
        t.tree[static_cast<size_t>(node)].child[bit] = next;
      }
      node = next;
    }
    t.tree[static_cast<size_t>(node)].value = static_cast<int16_t>(e);
  }
  for (uint32_t index = 0; index < (1u << kFastBits); ++index) {
    int32_t node = 0;
    for (int b = 0; b < kFastBits; ++b) {
      node = t.tree[static_cast<size_t>(node)].child[(index >> (kFastBits - 1 - b)) & 1];
      if (node == 0) break;
      const int16_t v = t.tree[static_cast<size_t>(node)].value;
      if (v != 128) {
        t.fast[index] = static_cast<uint16_t>(v | ((b + 1) << 8));
        break;
      }
    }
  }
}

// The two-dimensional mode codes in the order they are tried.
constexpr const char* kModeCodes[13] = {
    "000000000000", "0001",   "001",     "0000010",    "000010",       "010",         "1",
    "011",          "000011", "0000011", "0000001111", "000000001111", "000000000001"};
enum : int {
  kModeZeros = 0,
  kModePass,
  kModeHoriz,
  kModeVL3,
  kModeVL2,
  kModeVL1,
  kModeV0,
  kModeVR1,
  kModeVR2,
  kModeVR3,
  kModeUncompressed2D,
  kModeUncompressed1D,
  kModeEOL
};

void FillModes(TFaxTables& t) {
  TCode modes[13];
  for (int m = 0; m < 13; ++m) modes[m] = CodeOf(kModeCodes[m], 0);
  for (uint32_t index = 0; index < (1u << 12); ++index) {
    int found = kModeZeros, length = 12;
    for (int m = 0; m < 13; ++m) {
      if ((index >> (12 - modes[m].length)) == modes[m].bits) {
        found = m;
        length = modes[m].length;
        break;
      }
    }
    t.mode[index] = static_cast<uint16_t>(found | (length << 8));
  }
}

// ---------------------------------------------------------------- bit reading

uint8_t gReverse[256];

struct TBitSource {
  const uint8_t* data;
  int64_t length;
  bool lsbFirst;

  // The 32 bits at `pos`, first bit in the most significant place; bits past the data are 0.
  uint32_t Peek(int64_t pos) const {
    const int64_t byte = pos >> 3;
    uint64_t w = 0;
    if (byte >= 0 && byte + 8 <= length) {
      std::memcpy(&w, data + byte, 8);
      w = __builtin_bswap64(w);
      if (lsbFirst) w = ReverseEach(w);
    } else {
      for (int i = 0; i < 8; ++i) {
        const int64_t at = byte + i;
        uint8_t b = at >= 0 && at < length ? data[at] : 0;
        if (lsbFirst) b = gReverse[b];
        w = (w << 8) | b;
      }
    }
    return static_cast<uint32_t>((w << (pos & 7)) >> 32);
  }
  bool AtEnd(int64_t pos) const { return (pos >> 3) >= length; }

  static uint64_t ReverseEach(uint64_t w) {
    uint64_t r = 0;
    for (int i = 0; i < 8; ++i) r |= uint64_t(gReverse[(w >> (8 * i)) & 0xFF]) << (8 * i);
    return r;
  }
};

// The entry of the run code at `pos`; -1 when unresolved (31 zero bits).
int32_t DecodeRunCode(const TColourTable& t, const TBitSource& src, int64_t pos) {
  if (src.AtEnd(pos)) return kEndOfData;
  const uint32_t bits = src.Peek(pos);
  const uint16_t f = t.fast[bits >> (32 - kFastBits)];
  if (f != 0) return f & 0xFF;
  int32_t node = 0;
  for (int b = 0; b < 31; ++b) {
    node = t.tree[static_cast<size_t>(node)].child[(bits >> (31 - b)) & 1];
    if (node == 0) return -1;
    const int16_t v = t.tree[static_cast<size_t>(node)].value;
    if (v != 128) return v;
  }
  return -1;
}

// ---------------------------------------------------------------- row painting (1 = white)

void PaintBlack(uint8_t* row, int32_t from, int32_t to) {
  if (from < 0) from = 0;
  if (from >= to) return;
  const int32_t fb = from >> 3, lb = (to - 1) >> 3;
  const uint8_t fm = static_cast<uint8_t>(0xFF >> (from & 7));
  const uint8_t lm = static_cast<uint8_t>(0xFF << (7 - ((to - 1) & 7)));
  if (fb == lb) {
    row[fb] &= static_cast<uint8_t>(~(fm & lm));
    return;
  }
  row[fb] &= static_cast<uint8_t>(~fm);
  if (lb > fb + 1) std::memset(row + fb + 1, 0, static_cast<size_t>(lb - fb - 1));
  row[lb] &= static_cast<uint8_t>(~lm);
}

// Rows start white and are painted from left to right, so only black runs change them.
void Paint(uint8_t* row, int32_t from, int32_t to, bool black) {
  if (black) PaintBlack(row, from, to);
}

// The first position at or after `pos` whose bit is `one`; `width` when there is none.
int32_t FindBit(const uint8_t* line, int32_t pos, int32_t width, bool one) {
  if (pos < 0) pos = 0;
  if (pos >= width) return width;
  const uint8_t flip = one ? 0 : 0xFF;
  int32_t byte = pos >> 3;
  const int32_t last = (width - 1) >> 3;
  uint32_t b = static_cast<uint8_t>((line[byte] ^ flip) & (0xFF >> (pos & 7)));
  if (b == 0) {
    ++byte;
    // Whole words of one colour are stepped over eight bytes at a time.
    const uint64_t flip64 = one ? 0 : ~uint64_t(0);
    while (byte + 8 <= last + 1) {
      uint64_t w;
      std::memcpy(&w, line + byte, 8);
      w ^= flip64;
      if (w != 0) break;
      byte += 8;
    }
    for (;; ++byte) {
      if (byte > last) return width;
      b = static_cast<uint8_t>(line[byte] ^ flip);
      if (b != 0) break;
    }
  }
  const int32_t p = byte * 8 + __builtin_clz(b) - 24;
  return p < width ? p : width;
}

// The positions where the colour of a line (1 white) changes, from white before pixel 0: a
// word at a time, each set bit of the word against itself shifted by one is a change.
void ListChanges(const uint8_t* line, int32_t width, std::vector<int32_t>& out) {
  out.clear();
  const int32_t bytes = (width + 7) / 8;
  uint64_t prev = 1;
  for (int32_t at = 0; at < bytes; at += 8) {
    uint64_t w = 0;
    if (at + 8 <= bytes) {
      std::memcpy(&w, line + at, 8);
      w = __builtin_bswap64(w);
    } else {
      for (int32_t i = at; i < bytes; ++i) w |= uint64_t(line[i]) << (56 - 8 * (i - at));
    }
    uint64_t x = w ^ ((w >> 1) | (prev << 63));
    prev = w & 1;
    while (x) {
      const int lz = __builtin_clzll(x);
      const int32_t p = at * 8 + lz;
      if (p >= width) return;
      out.push_back(p);
      x &= ~(uint64_t(1) << (63 - lz));
    }
  }
}

bool BitAt(const uint8_t* line, int32_t pos) { return (line[pos >> 3] >> (7 - (pos & 7))) & 1; }

// ---------------------------------------------------------------- decoding

// One run of `black` colour: make-up codes followed by a terminating code. Returns the run, or
// a negative value when an EOL or the end of the data came first.
int32_t ReadRun(const TBitSource& src, int64_t& pos, bool black) {
  const TColourTable& t = gTables->colour[black ? 1 : 0];
  int32_t total = 0;
  for (;;) {
    const int32_t e = DecodeRunCode(t, src, pos);
    if (e < 0) {
      ++pos;
      continue;
    }
    if (e == kEndOfData) return -1;
    const TCode& c = t.codes[e];
    pos += c.length;
    if (c.run == kRunEOL) return -1;
    if (c.run > 0) total += c.run;
    if (e < 64) return total;
  }
}

// Uncompressed mode from `pos`: runs of white pixels ended by a black one, and the exit codes.
// Returns the new a0; `black` receives the colour the exit code sets.
int32_t DecodeUncompressed(const TBitSource& src, int64_t& pos, uint8_t* row, int32_t a0, int32_t width,
                           bool& black) {
  if (a0 < 0) a0 = 0;
  while (a0 < width && !src.AtEnd(pos)) {
    const uint32_t bits = src.Peek(pos);
    int n = 0;
    while (n < 11 && ((bits >> (31 - n)) & 1) == 0) ++n;
    if (n == 11) {  // no one bit within 11 bits
      pos += 11;
      return a0;
    }
    ++n;  // bits up to and including the one
    pos += n;
    if (n <= 5) {
      a0 = std::min(width, a0 + n - 1);
      if (a0 < width) {
        PaintBlack(row, a0, a0 + 1);
        ++a0;
      }
    } else if (n == 6) {
      a0 = std::min(width, a0 + 5);
    } else {
      a0 = std::min(width, a0 + n - 7);
      if (!src.AtEnd(pos)) black = (src.Peek(pos) >> 31) != 0;
      ++pos;
      return a0;
    }
  }
  return a0;
}

}  // namespace

// ---------------------------------------------------------------- start-up

void TifCCITTStartup() {
  if (gTables) return;
  for (int i = 0; i < 256; ++i) {
    uint8_t r = 0;
    for (int b = 0; b < 8; ++b)
      if (i & (1 << b)) r = static_cast<uint8_t>(r | (0x80 >> b));
    gReverse[i] = r;
  }
  auto t = std::make_unique<TFaxTables>();
  FillColour(t->colour[0], kWhiteCodes);
  FillColour(t->colour[1], kBlackCodes);
  FillModes(*t);
  gTables = std::move(t);
}

void TifCCITTShutdown() { gTables.reset(); }

void RegisterTifCCITTStartup() {
  RegisterRastovaStartupStep(TRVStartupSlot::TifCCITT, "TifCCITT", TifCCITTStartup, TifCCITTShutdown);
}

int64_t FaxDecode1DLine(uint8_t* row, const uint8_t* data, int64_t dataLength, int32_t fillOrder,
                        int64_t startBit, int32_t width) {
  if (width <= 0) return startBit;
  std::memset(row, 0xFF, static_cast<size_t>((width + 7) / 8));
  if (!gTables) return startBit;
  const TBitSource src{data, dataLength, fillOrder == 2};
  int64_t pos = startBit, start = startBit;
  int32_t x = 0;
  bool black = false, makeup = false;
  while (x < width || makeup) {
    const TColourTable& t = gTables->colour[black ? 1 : 0];
    const int32_t e = DecodeRunCode(t, src, pos);
    if (e < 0) {
      if (pos == start) ++start;
      ++pos;
      continue;
    }
    if (e == kEndOfData) {
      // Past the data: the row ends as at an EOL.
      Paint(row, x, width, black);
      break;
    }
    const TCode& c = t.codes[e];
    const int64_t codeStart = pos;
    pos += c.length;
    if (c.run == kRunEOL) {
      if (codeStart == start) {
        start = pos;
        continue;
      }
      Paint(row, x, width, black);
      break;
    }
    if (c.run > 0) {
      const int32_t end = static_cast<int32_t>(std::min<int64_t>(width, int64_t(x) + c.run));
      if (black) PaintBlack(row, x, end);
      x = std::max(x, end);
    }
    makeup = e >= 64;
    if (!makeup) black = !black;
  }
  return pos;
}

int64_t FaxDecodeMHLine(uint8_t* row, const uint8_t* data, int64_t dataLength, int32_t fillOrder,
                        int32_t width) {
  const int64_t bits = FaxDecode1DLine(row, data, dataLength, fillOrder, 0, width);
  return (bits + 7) / 8;
}

int64_t FaxDecode2DLine(uint8_t* row, const uint8_t* data, int64_t dataLength, bool zeroSkip,
                        int32_t fillOrder, int64_t startBit, uint8_t* referenceLine, int32_t width) {
  if (width <= 0) return startBit;
  const size_t rowBytes = static_cast<size_t>((width + 7) / 8);
  std::memset(row, 0xFF, rowBytes);
  if (!gTables) return startBit;
  const TBitSource src{data, dataLength, fillOrder == 2};
  // The changing elements of the reference line: even entries start black runs, odd ones white
  // runs; two entries at the width close the list.
  thread_local std::vector<int32_t> changes;
  ListChanges(referenceLine, width, changes);
  changes.push_back(width);
  changes.push_back(width);
  size_t ci = 0;
  int64_t pos = startBit;
  const int64_t start = startBit;
  const int64_t endBit = dataLength * 8;
  int32_t a0 = -1;
  bool black = false;
  while (a0 < width && pos < endBit) {
    const uint16_t m = gTables->mode[src.Peek(pos) >> 20];
    int mode = m & 0xFF;
    const int64_t codeStart = pos;
    pos += m >> 8;
    if (mode == kModeZeros) {
      if (!zeroSkip) continue;
      // Fill bits up to and including the next one bit: an EOL.
      while (pos < endBit && (src.Peek(pos) >> 31) == 0) ++pos;
      ++pos;
      mode = kModeEOL;
    }
    if (mode == kModeEOL) {
      if (codeStart == start) {
        const bool oneDimensional = pos < endBit && (src.Peek(pos) >> 31) != 0;
        ++pos;
        if (oneDimensional) {
          pos = FaxDecode1DLine(row, data, dataLength, fillOrder, pos, width);
          a0 = width;
        }
        continue;
      }
      Paint(row, a0, width, black);
      pos = codeStart;
      break;
    }
    if (mode == kModeUncompressed1D || mode == kModeUncompressed2D) {
      a0 = DecodeUncompressed(src, pos, row, a0, width, black);
      continue;
    }
    const int32_t from = std::max(a0, 0);
    if (mode == kModeHoriz) {
      const int32_t r1 = ReadRun(src, pos, black);
      const int32_t r2 = r1 < 0 ? -1 : ReadRun(src, pos, !black);
      if (r1 < 0 || r2 < 0) continue;
      const int32_t e1 = static_cast<int32_t>(std::min<int64_t>(width, int64_t(from) + r1));
      const int32_t e2 = static_cast<int32_t>(std::min<int64_t>(width, int64_t(e1) + r2));
      Paint(row, from, e1, black);
      Paint(row, e1, e2, !black);
      a0 = e2;
      continue;
    }
    // b1: the first changing element of the reference line right of a0 whose colour is the
    // opposite of the current one; b2: the next changing element after it. a0 only moves right,
    // so the search goes on from where it stopped.
    while (ci + 2 < changes.size() && changes[ci] <= a0) ++ci;
    const size_t k = ((ci & 1) != 0) == black ? ci : ci + 1;
    const int32_t b1 = changes[std::min(k, changes.size() - 1)];
    if (mode == kModePass) {
      const int32_t b2 = changes[std::min(k + 1, changes.size() - 1)];
      Paint(row, from, b2, black);
      a0 = std::max(b2, from);
    } else {
      const int32_t shift = mode <= kModeVL1 ? -(kModeV0 - mode) : mode - kModeV0;
      const int32_t a1 = std::clamp(b1 + shift, from, width);
      Paint(row, from, a1, black);
      a0 = a1;
      black = !black;
    }
  }
  std::memcpy(referenceLine, row, rowBytes);
  return pos;
}

// ---------------------------------------------------------------- encoding

namespace {

// Collects codes most significant bit first, starting with the caller's pending bits.
class TBitSink {
 public:
  TBitSink(int32_t pendingCount, uint8_t pendingByte) {
    bits_ = pendingCount & 7;
    acc_ = bits_ ? uint64_t(pendingByte) >> (8 - bits_) : 0;
  }
  void Put(uint32_t code, int32_t length) {
    acc_ = (acc_ << length) | code;
    bits_ += length;
    while (bits_ >= 8) {
      bits_ -= 8;
      out_.push_back(static_cast<uint8_t>(acc_ >> bits_));
    }
    acc_ &= (uint64_t(1) << bits_) - 1;
  }
  void FaxPutRun(bool black, int32_t run) {
    const TColourTable& t = gTables->colour[black ? 1 : 0];
    while (run >= 64) {
      if (run > 2560) {
        Put(t.codes[103].bits, t.codes[103].length);
        run -= 2560;
      } else {
        const int32_t e = run < 1792 ? 63 + run / 64 : 91 + (run - 1792) / 64;
        Put(t.codes[e].bits, t.codes[e].length);
        run -= t.codes[e].run;
      }
    }
    Put(t.codes[run].bits, t.codes[run].length);
  }
  void PutEOL() { Put(1, 12); }
  // Pads the partial byte with zero bits.
  void Align() {
    if (bits_) Put(0, 8 - bits_);
  }
  // Writes the whole bytes (bit-reversed for fill order 2) and hands back the partial byte.
  void Finish(TStream& stream, int32_t fillOrder, bool& errorFlag, int32_t& pendingCount,
              uint8_t& pendingByte) {
    if (fillOrder == 2)
      for (uint8_t& b : out_) b = gReverse[b];
    if (!codecs::WriteAll(stream, out_.data(), static_cast<int64_t>(out_.size()))) errorFlag = true;
    out_.clear();
    pendingCount = bits_;
    pendingByte = bits_ ? static_cast<uint8_t>(acc_ << (8 - bits_)) : 0;
  }

 private:
  std::vector<uint8_t> out_;
  uint64_t acc_ = 0;
  int32_t bits_ = 0;
};

// Alternating white and black runs over the row (0 white, 1 black), starting with white.
void Encode1D(TBitSink& sink, const uint8_t* row, int32_t width) {
  int32_t x = 0;
  bool black = false;
  while (x < width) {
    const int32_t end = FindBit(row, x, width, !black);
    sink.FaxPutRun(black, end - x);
    x = end;
    black = !black;
  }
  // A row that ends black already has its last run; one that ends white too.
}

// The row against the reference line (both 0 white, 1 black).
void Encode2D(TBitSink& sink, const uint8_t* row, const uint8_t* ref, int32_t width) {
  auto next = [width](const uint8_t* line, int32_t p) {
    // The next changing element after p.
    return p >= width ? width : FindBit(line, p + 1, width, !BitAt(line, p));
  };
  int32_t a0 = 0;
  int32_t a1 = FindBit(row, 0, width, true);
  int32_t b1 = FindBit(ref, 0, width, true);
  for (;;) {
    const int32_t b2 = next(ref, b1);
    if (b2 < a1) {
      sink.Put(1, 4);  // pass
      a0 = b2;
    } else if (b1 - a1 >= -3 && b1 - a1 <= 3) {
      static constexpr uint32_t kBits[7] = {0b0000011, 0b000011, 0b011, 0b1, 0b010, 0b000010, 0b0000010};
      static constexpr int32_t kLength[7] = {7, 6, 3, 1, 3, 6, 7};
      const int32_t d = a1 - b1 + 3;  // 0..2 a1 left of b1, 3 V0, 4..6 right
      const int32_t k = 6 - d;
      sink.Put(kBits[k], kLength[k]);
      a0 = a1;
    } else {
      const int32_t a2 = next(row, a1);
      const bool whiteFirst = (a0 == 0 && a1 == 0) || !BitAt(row, a0);
      sink.Put(1, 3);  // horizontal
      sink.FaxPutRun(!whiteFirst, a1 - a0);
      sink.FaxPutRun(whiteFirst, a2 - a1);
      a0 = a2;
    }
    if (a0 >= width) break;
    const bool c = BitAt(row, a0);
    a1 = FindBit(row, a0 + 1, width, !c);
    b1 = FindBit(ref, FindBit(ref, a0, width, c), width, !c);
  }
}

}  // namespace

void FaxEncodeMHRow(const uint8_t* row, int32_t width, TStream& stream, int32_t fillOrder, bool& errorFlag) {
  if (!gTables || !row || width <= 0) return;
  TBitSink sink(0, 0);
  Encode1D(sink, row, width);
  sink.Align();
  int32_t count = 0;
  uint8_t byte = 0;
  sink.Finish(stream, fillOrder, errorFlag, count, byte);
}

void FaxEncode1DRow(const uint8_t* row, int32_t width, TStream& stream, int32_t fillOrder, bool& errorFlag,
                    int32_t& pendingCount, uint8_t& pendingByte) {
  if (!gTables) return;
  TBitSink sink(pendingCount, pendingByte);
  if (row && width > 0) {
    // Every row begins with an EOL: readers of TIFF Group 3 data synchronise on it (libtiff's
    // one-dimensional decoder finds each row by its EOL and fails on rows packed without one).
    sink.PutEOL();
    Encode1D(sink, row, width);
  } else {
    sink.Align();
  }
  sink.Finish(stream, fillOrder, errorFlag, pendingCount, pendingByte);
}

void FaxEncodeG3Row(const uint8_t* row, int32_t width, TStream& stream, int32_t fillOrder, bool& errorFlag,
                    std::vector<uint8_t>& referenceLine, int32_t& pendingCount, uint8_t& pendingByte) {
  if (!gTables) return;
  TBitSink sink(pendingCount, pendingByte);
  if (!row) {
    sink.PutEOL();
    referenceLine.clear();
    sink.Align();
  } else if (width > 0) {
    const size_t bytes = static_cast<size_t>((width + 7) / 8);
    sink.PutEOL();
    if (referenceLine.size() != bytes) {
      sink.Put(1, 1);
      Encode1D(sink, row, width);
    } else {
      sink.Put(0, 1);
      Encode2D(sink, row, referenceLine.data(), width);
    }
    referenceLine.assign(row, row + bytes);
  }
  sink.Finish(stream, fillOrder, errorFlag, pendingCount, pendingByte);
}

void FaxEncodeG4Row(const uint8_t* row, int32_t width, TStream& stream, int32_t fillOrder, bool& errorFlag,
                    std::vector<uint8_t>& referenceLine, int32_t& pendingCount, uint8_t& pendingByte) {
  if (!gTables) return;
  TBitSink sink(pendingCount, pendingByte);
  if (!row) {
    sink.PutEOL();
    sink.PutEOL();
    sink.Align();
    referenceLine.clear();
  } else if (width > 0) {
    const size_t bytes = static_cast<size_t>((width + 7) / 8);
    if (referenceLine.size() != bytes) referenceLine.assign(bytes, 0);
    Encode2D(sink, row, referenceLine.data(), width);
    referenceLine.assign(row, row + bytes);
  }
  sink.Finish(stream, fillOrder, errorFlag, pendingCount, pendingByte);
}

}  // namespace rv
