#include "rastova/codecs/tiff/tiflzw.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "rastova/core/RVStream.h"
#include "rastova/core/RVUtils.h"

namespace rv {

namespace {

constexpr int32_t kClear = 256;
constexpr int32_t kEOI = 257;
constexpr int32_t kFirstFree = 258;
constexpr int32_t kTableSize = 4097;
constexpr int32_t kInline = 32;
constexpr int32_t kGrowStep = 1024;

// ---------------------------------------------------------------- decoder

struct TLZWDecoder {
  struct Entry {
    uint32_t length;
    uint32_t offset;  // into `arena` for strings longer than kInline
    uint8_t bytes[kInline];
  };

  const uint8_t* input = nullptr;
  int64_t inputBits = 0;
  int64_t inputSize = 0;
  int64_t bitPos = 0;
  int32_t rowBytes = 0;
  int32_t width = 9;
  int32_t prev = -1;
  int32_t nextFree = kFirstFree;
  int32_t count = 0;   // bytes in `out`
  int32_t handed = 0;  // bytes handed out by the previous call
  bool lsbFirst = false;
  bool ended = false;
  std::vector<uint8_t> out;
  std::vector<uint8_t> arena;
  Entry table[kTableSize];

  const uint8_t* String(int32_t code) const {
    const Entry& e = table[code];
    return e.length <= kInline ? e.bytes : arena.data() + e.offset;
  }

  int32_t ReadCode() {
    if (bitPos + width > inputBits) return kEOI;
    const int64_t byte = bitPos >> 3;
    uint32_t w = 0;
    if (byte + 4 <= inputSize) {
      std::memcpy(&w, input + byte, 4);
      // Fill order 2 reverses each byte; reversing the little-endian word does that and puts the
      // first byte on top.
      if (lsbFirst)
        ReverseBits32(w);
      else
        w = __builtin_bswap32(w);
    } else {
      for (int i = 0; i < 4; ++i) {
        uint8_t b = byte + i < inputSize ? input[byte + i] : 0;
        if (lsbFirst) ReverseBitsInByte(b);
        w = (w << 8) | b;
      }
    }
    const int32_t code = static_cast<int32_t>((w << (bitPos & 7)) >> (32 - width));
    bitPos += width;
    return code;
  }

  void Reserve(int64_t more) {
    const int64_t need = int64_t(count) + more + kInline;
    if (need > static_cast<int64_t>(out.size()))
      out.resize(static_cast<size_t>((need + kGrowStep - 1) / kGrowStep * kGrowStep));
  }

  void Output(int32_t code) {
    const Entry& e = table[code];
    Reserve(e.length);
    // Short strings are copied as one fixed block (the buffer keeps room for it).
    std::memcpy(out.data() + count, String(code), e.length <= kInline ? kInline : e.length);
    count += static_cast<int32_t>(e.length);
  }

  // Adds string(prev) + byte; false when the table overflows.
  bool AddEntry(uint8_t byte) {
    Entry& e = table[nextFree];
    const uint32_t length = table[prev].length + 1;
    e.length = length;
    if (length <= kInline) {
      std::memcpy(e.bytes, table[prev].bytes, kInline);
      e.bytes[length - 1] = byte;
    } else {
      const size_t offset = arena.size();
      arena.resize(offset + length);
      std::memcpy(arena.data() + offset, String(prev), length - 1);
      arena[offset + length - 1] = byte;
      e.offset = static_cast<uint32_t>(offset);
    }
    ++nextFree;
    if (nextFree == 511)
      width = 10;
    else if (nextFree == 1023)
      width = 11;
    else if (nextFree == 2047)
      width = 12;
    return nextFree <= 4096;
  }

  void Reset() {
    arena.clear();
    nextFree = kFirstFree;
    width = 9;
  }

  // Decodes until the buffer holds a row; false on a fatal error.
  bool Decode() {
    while (count < rowBytes && !ended) {
      const int32_t c = ReadCode();
      if (c == kClear) {
        Reset();
        int32_t d = ReadCode();
        while (d == kClear) d = ReadCode();
        if (d == kEOI) {
          ended = true;
          break;
        }
        if (d >= nextFree) return false;
        Output(d);
        prev = d;
        continue;
      }
      if (c == kEOI) {
        ended = true;
        break;
      }
      if (prev < 0) {
        // The strip does not begin with Clear: a defined code is output without an entry.
        if (c >= 256) {
          ended = true;
          break;
        }
        Output(c);
        prev = c;
        continue;
      }
      if (c < nextFree) {
        Output(c);
        if (!AddEntry(String(c)[0])) return false;
      } else if (c == nextFree) {
        if (!AddEntry(String(prev)[0])) return false;
        Output(c);
      } else {
        ended = true;
        break;
      }
      prev = c;
    }
    return true;
  }
};

std::unique_ptr<TLZWDecoder> NewDecoder(const uint8_t* input, int64_t inputSize, int32_t rowBytes,
                                        int32_t fillOrder) {
  auto d = std::make_unique<TLZWDecoder>();
  d->input = input;
  d->inputSize = std::max<int64_t>(inputSize, 0);
  d->inputBits = d->inputSize * 8;
  d->rowBytes = rowBytes;
  d->lsbFirst = fillOrder == 2;
  for (int32_t i = 0; i < 256; ++i) {
    d->table[i].length = 1;
    d->table[i].bytes[0] = static_cast<uint8_t>(i);
  }
  d->out.resize(static_cast<size_t>(rowBytes) + 1 + kInline);
  return d;
}

// ---------------------------------------------------------------- encoder

constexpr int32_t kHashSize = 5003;
constexpr int32_t kHashShift = 4;
constexpr size_t kOutputFlush = 8192;

struct TLZWEncoder {
  TStream* stream = nullptr;
  uint64_t acc = 0;
  int32_t bits = 0;
  int32_t width = 9;
  int32_t maxCode = 511;
  int32_t nextFree = kFirstFree;
  bool clearPending = false;
  int32_t prefix = -1;
  int32_t hashKey[kHashSize];
  uint16_t hashCode[kHashSize];
  std::vector<uint8_t> out;

  void ClearHash() { std::fill(hashKey, hashKey + kHashSize, -1); }

  void Flush() {
    if (out.empty()) return;
    stream->Write(out.data(), static_cast<int64_t>(out.size()));
    out.clear();
  }

  void PutCode(int32_t code) {
    acc = (acc << width) | static_cast<uint32_t>(code);
    bits += width;
    while (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<uint8_t>(acc >> bits));
    }
    acc &= (uint64_t(1) << bits) - 1;
    if (out.size() >= kOutputFlush) Flush();
    if (clearPending) {
      clearPending = false;
      width = 9;
      maxCode = 511;
    } else if (nextFree >= maxCode && width < 12) {
      ++width;
      maxCode = (1 << width) - 1;
    }
  }

  void Encode(const uint8_t* row, int32_t n) {
    int32_t i0 = 0;
    if (prefix < 0 && n > 0) prefix = row[i0++];
    for (int32_t k = i0; k < n; ++k) {
      const int32_t b = row[k];
      const int32_t key = (b << 12) + prefix;
      int32_t i = (b << kHashShift) ^ prefix;
      if (hashKey[i] == key) {
        prefix = hashCode[i];
        continue;
      }
      bool found = false;
      if (hashKey[i] >= 0) {
        const int32_t step = i == 0 ? 1 : kHashSize - i;
        for (;;) {
          i -= step;
          if (i < 0) i += kHashSize;
          if (hashKey[i] == key) {
            prefix = hashCode[i];
            found = true;
            break;
          }
          if (hashKey[i] < 0) break;
        }
      }
      if (found) continue;
      PutCode(prefix);
      prefix = b;
      if (nextFree > 4093) {
        ClearHash();
        nextFree = kFirstFree;
        clearPending = true;
        PutCode(kClear);
      } else {
        hashCode[i] = static_cast<uint16_t>(nextFree++);
        hashKey[i] = key;
      }
    }
  }

  void Finish() {
    if (prefix >= 0) PutCode(prefix);
    PutCode(kEOI);
    if (bits > 0) out.push_back(static_cast<uint8_t>(acc << (8 - bits)));
    bits = 0;
    Flush();
  }
};

}  // namespace

const uint8_t* TIFFLZWDecompress(const uint8_t* input, int64_t inputSize, int32_t rowBytes, void*& state,
                                 int32_t fillOrder) {
  auto* d = static_cast<TLZWDecoder*>(state);
  if (!input) {
    delete d;
    state = nullptr;
    return nullptr;
  }
  if (rowBytes <= 0) return nullptr;
  if (!d) {
    d = NewDecoder(input, inputSize, rowBytes, fillOrder).release();
    state = d;
  }
  d->rowBytes = rowBytes;
  // Bytes beyond the row handed out last time begin this one.
  if (d->count > d->handed) {
    std::memmove(d->out.data(), d->out.data() + d->handed, static_cast<size_t>(d->count - d->handed));
    d->count -= d->handed;
  } else {
    d->count = 0;
  }
  d->handed = 0;
  d->Reserve(rowBytes);
  if (!d->Decode()) return nullptr;
  if (d->count < rowBytes) {
    std::memset(d->out.data() + d->count, 0, static_cast<size_t>(rowBytes - d->count));
    d->count = rowBytes;
  }
  d->handed = rowBytes;
  return d->out.data();
}

void TIFFLZWCompress(const uint8_t* row, int32_t rowBytes, TStream& stream, void*& state) {
  auto* e = static_cast<TLZWEncoder*>(state);
  if (!row) {
    if (e) {
      e->Finish();
      delete e;
    }
    state = nullptr;
    return;
  }
  if (!e) {
    e = new TLZWEncoder();
    e->stream = &stream;
    e->ClearHash();
    e->out.reserve(kOutputFlush + 16);
    e->PutCode(kClear);
    state = e;
  }
  e->stream = &stream;
  e->Encode(row, rowBytes);
}

}  // namespace rv
