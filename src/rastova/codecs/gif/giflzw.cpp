#include "rastova/codecs/gif/giflzw.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "rastova/codecs/CodecUtils.h"
#include "rastova/core/RVStream.h"

namespace rv {

using namespace codecs;

namespace {

constexpr int32_t kMaxCodes = 4096;
constexpr int kMaxCodeSize = 12;
constexpr int32_t kHashSize = 5003;
constexpr int32_t kPacketSize = 254;

// Interlace passes: first row and step of each.
constexpr int32_t kPassStart[4] = {0, 4, 2, 1};
constexpr int32_t kPassStep[4] = {8, 8, 4, 2};

// Collects the data sub-blocks that follow into one buffer; stops at a size of 0, at the end of
// the stream, or at a short block (whose bytes are kept).
void CollectSubBlocks(TStream& stream, std::vector<uint8_t>& data) {
  const int64_t left = std::max<int64_t>(0, stream.GetSize() - stream.GetPosition());
  data.reserve(static_cast<size_t>(std::min<int64_t>(left, int64_t(1) << 26)));
  uint8_t block[255];
  for (;;) {
    const int n = StreamByte(stream);
    if (n <= 0) return;
    const int64_t got = stream.Read(block, n);
    if (got > 0) data.insert(data.end(), block, block + got);
    if (got < n) return;
  }
}

// Where decoded bytes go: row by row, or by interlace pass.
class TPixelCursor {
 public:
  TPixelCursor(uint8_t* pixels, int32_t width, int32_t height, bool interlaced)
      : pixels_(pixels), width_(width), height_(height), interlaced_(interlaced) {
    Start();
  }
  bool Done() const { return row_ >= height_; }
  // Puts `n` bytes from `s`; returns false once the image is full.
  bool Put(const uint8_t* s, int32_t n) {
    while (n > 0) {
      if (row_ >= height_) return false;
      const int32_t k = std::min(n, width_ - column_);
      std::memcpy(out_ + column_, s, static_cast<size_t>(k));
      column_ += k;
      s += k;
      n -= k;
      if (column_ >= width_) NextRow();
    }
    return row_ < height_;
  }

 private:
  void Start() {
    row_ = 0;
    pass_ = 0;
    column_ = 0;
    SetRow();
  }
  void SetRow() {
    if (row_ < height_) out_ = pixels_ + static_cast<int64_t>(row_) * width_;
  }
  void NextRow() {
    column_ = 0;
    if (!interlaced_) {
      ++row_;
    } else {
      row_ += kPassStep[pass_];
      while (row_ >= height_ && pass_ < 3) {
        ++pass_;
        row_ = kPassStart[pass_];
      }
    }
    SetRow();
  }
  uint8_t* pixels_;
  uint8_t* out_ = nullptr;
  int32_t width_, height_;
  bool interlaced_;
  int32_t row_ = 0, column_ = 0, pass_ = 0;
};

// Reads codes least significant bit first from the collected bytes.
class TCodeReader {
 public:
  explicit TCodeReader(const std::vector<uint8_t>& data) : data_(data.data()), size_(data.size()) {}
  // -1 when the data cannot fill another code.
  int32_t Next(int32_t width) {
    while (bits_ < width) {
      if (pos_ >= size_) return -1;
      acc_ |= uint32_t(data_[pos_++]) << bits_;
      bits_ += 8;
    }
    const int32_t code = static_cast<int32_t>(acc_ & ((1u << width) - 1));
    acc_ >>= width;
    bits_ -= width;
    return code;
  }
  bool HasBytesLeft() const { return pos_ < size_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  uint32_t acc_ = 0;
  int32_t bits_ = 0;
};

}  // namespace

int64_t GIFLZWDataLength(TStream& stream, bool& complete) {
  complete = false;
  const int64_t start = stream.GetPosition();
  const int64_t size = stream.GetSize();
  if (StreamByte(stream) < 0) {
    stream.SetPosition(start);
    return -1;
  }
  int64_t total = 0;
  int64_t pos = start + 1;
  // Sub-blocks that end exactly with the stream are whole: only a terminator is missing.
  while (pos < size) {
    stream.SetPosition(pos);
    const int n = StreamByte(stream);
    if (n <= 0) {
      complete = n == 0;
      break;
    }
    const int64_t got = std::min<int64_t>(n, size - pos - 1);
    complete = got == n;
    total += got;
    pos += 1 + n;
  }
  stream.SetPosition(start);
  return total;
}

void GIFLZWDecompress(TStream& stream, int32_t height, int32_t width, bool interlaced, uint8_t* pixels) {
  const int64_t start = stream.GetPosition();
  auto fail = [&] { stream.SetPosition(start); };
  // Code sizes above 8 give literal codes past the byte range (they keep their low 8 bits);
  // 12 makes 13-bit codes with no room for entries, which other readers decode as well.
  const int codeSize = StreamByte(stream);
  if (codeSize < 2 || codeSize > kMaxCodeSize) return fail();
  std::vector<uint8_t> data;
  CollectSubBlocks(stream, data);
  if (data.empty() || width <= 0 || height <= 0 || !pixels) return;

  const int32_t clear = 1 << codeSize, end = clear + 1;
  std::vector<uint16_t> prefix(kMaxCodes, 0);
  std::vector<uint8_t> suffix(kMaxCodes, 0), first(kMaxCodes, 0);
  for (int32_t i = 0; i < clear; ++i) {
    suffix[size_t(i)] = first[size_t(i)] = static_cast<uint8_t>(i);
  }
  uint8_t stack[kMaxCodes];
  TCodeReader reader(data);
  TPixelCursor cursor(pixels, width, height, interlaced);

  int32_t codeWidth = codeSize + 1, nextFree = end + 1, limit = 1 << codeWidth;
  int32_t previous = -1;
  bool tableFull = nextFree >= kMaxCodes;
  for (;;) {
    int32_t code = reader.Next(codeWidth);
    if (code < 0 || code == end) return;
    if (code == clear) {
      codeWidth = codeSize + 1;
      nextFree = end + 1;
      limit = 1 << codeWidth;
      tableFull = nextFree >= kMaxCodes;
      do {
        code = reader.Next(codeWidth);
      } while (code == clear);
      if (code < 0) return;
      if (code == end) {
        // An end right after a clear is normal only at the very end of the data.
        if (reader.HasBytesLeft()) fail();
        return;
      }
      if (code >= nextFree) code = 0;
      const uint8_t b = static_cast<uint8_t>(code < clear ? code : 0);
      previous = code < clear ? code : 0;
      if (!cursor.Put(&b, 1)) return;
      continue;
    }
    if (previous < 0) {
      // Data that does not begin with a clear code: the first code stands alone.
      if (code >= nextFree) return fail();
      previous = code < clear ? code : 0;
      const uint8_t b = static_cast<uint8_t>(previous);
      if (!cursor.Put(&b, 1)) return;
      continue;
    }
    if (code > nextFree || (code == nextFree && tableFull)) return fail();
    // The string of the code, written backwards from the end of the stack.
    int32_t n = 0;
    int32_t walk = code == nextFree ? previous : code;
    const uint8_t head = first[size_t(walk)];
    if (code == nextFree) stack[kMaxCodes - ++n] = head;
    while (walk >= clear) {
      stack[kMaxCodes - ++n] = suffix[size_t(walk)];
      walk = prefix[size_t(walk)];
      if (n >= kMaxCodes - 1) return fail();
    }
    stack[kMaxCodes - ++n] = static_cast<uint8_t>(walk);
    if (!tableFull) {
      prefix[size_t(nextFree)] = static_cast<uint16_t>(previous);
      suffix[size_t(nextFree)] = head;
      first[size_t(nextFree)] = first[size_t(previous)];
      ++nextFree;
      if (nextFree >= limit) {
        if (codeWidth < 12) {
          ++codeWidth;
          limit <<= 1;
        } else {
          // A full table keeps its codes until the next clear code, however late that comes:
          // encoders may defer the clear while the entries still pay off, and the format
          // allows it. Files that do so are common and every other reader decodes them.
          tableFull = true;
        }
      }
    }
    previous = code;
    if (!cursor.Put(stack + kMaxCodes - n, n)) return;
  }
}

namespace {

// The hashed compressor's state, one per call.
class TGIFEncoder {
 public:
  TGIFEncoder(TStream& stream, int32_t codeSize) : stream_(stream) {
    clear_ = 1 << codeSize;
    end_ = clear_ + 1;
    initWidth_ = codeSize + 1;
    ResetTable();
    width_ = initWidth_;
    maxCode_ = (1 << width_) - 1;
  }

  void Encode(const uint8_t* pixels, int32_t width, int32_t height, bool interlaced) {
    int32_t shift = 0;
    for (int32_t f = kHashSize; f < 65536; f *= 2) ++shift;
    shift = 8 - shift;
    bool started = false;
    int32_t prefix = 0;
    Output(clear_);
    auto encodeRow = [&](const uint8_t* row) {
      int32_t x = 0;
      if (!started) {
        prefix = row[0];
        started = true;
        x = 1;
      }
      for (; x < width; ++x) {
        const int32_t c = row[x];
        const int32_t key = (c << 12) + prefix;
        int32_t slot = (c << shift) ^ prefix;
        if (keys_[size_t(slot)] == key) {
          prefix = codes_[size_t(slot)];
          continue;
        }
        bool found = false;
        if (keys_[size_t(slot)] >= 0) {
          const int32_t step = slot == 0 ? 1 : kHashSize - slot;
          do {
            slot -= step;
            if (slot < 0) slot += kHashSize;
            if (keys_[size_t(slot)] == key) {
              prefix = codes_[size_t(slot)];
              found = true;
              break;
            }
          } while (keys_[size_t(slot)] > 0);
        }
        if (found) continue;
        Output(prefix);
        prefix = c;
        if (nextFree_ < kMaxCodes) {
          codes_[size_t(slot)] = static_cast<uint16_t>(nextFree_++);
          keys_[size_t(slot)] = key;
        } else {
          ResetTable();
          clearFlag_ = true;
          Output(clear_);
        }
      }
    };
    if (interlaced) {
      for (int pass = 0; pass < 4; ++pass)
        for (int32_t y = kPassStart[pass]; y < height; y += kPassStep[pass])
          encodeRow(pixels + static_cast<int64_t>(y) * width);
    } else {
      for (int32_t y = 0; y < height; ++y) encodeRow(pixels + static_cast<int64_t>(y) * width);
    }
    if (started) Output(prefix);
    Output(end_);
    if (bits_ > 0) PutByte(static_cast<uint8_t>(acc_));
    FlushPacket();
    const uint8_t zero = 0;
    stream_.Write(&zero, 1);
  }

 private:
  void ResetTable() {
    std::fill(std::begin(keys_), std::end(keys_), -1);
    nextFree_ = clear_ + 2;
  }
  void Output(int32_t code) {
    acc_ |= uint32_t(code) << bits_;
    bits_ += width_;
    while (bits_ >= 8) {
      PutByte(static_cast<uint8_t>(acc_));
      acc_ >>= 8;
      bits_ -= 8;
    }
    if (nextFree_ > maxCode_ || clearFlag_) {
      if (clearFlag_) {
        width_ = initWidth_;
        clearFlag_ = false;
      } else {
        ++width_;
      }
      maxCode_ = width_ >= 12 ? kMaxCodes : (1 << width_) - 1;
    }
  }
  void PutByte(uint8_t b) {
    packet_[packetLen_++] = b;
    if (packetLen_ >= kPacketSize) FlushPacket();
  }
  void FlushPacket() {
    if (packetLen_ == 0) return;
    const uint8_t n = static_cast<uint8_t>(packetLen_);
    stream_.Write(&n, 1);
    stream_.Write(packet_, packetLen_);
    packetLen_ = 0;
  }

  TStream& stream_;
  int32_t clear_ = 0, end_ = 0, initWidth_ = 0, width_ = 0, maxCode_ = 0, nextFree_ = 0;
  bool clearFlag_ = false;
  int32_t keys_[kHashSize];
  uint16_t codes_[kHashSize] = {};
  uint32_t acc_ = 0;
  int32_t bits_ = 0;
  uint8_t packet_[256];
  int32_t packetLen_ = 0;
};

}  // namespace

void GIFLZWCompress(TStream& stream, int32_t height, int32_t width, bool interlaced, const uint8_t* pixels,
                    int32_t bitsPerPixel) {
  const int32_t codeSize = std::clamp(bitsPerPixel, 2, 8);
  const uint8_t sizeByte = static_cast<uint8_t>(codeSize);
  stream.Write(&sizeByte, 1);
  auto encoder = std::make_unique<TGIFEncoder>(stream, codeSize);
  if (width > 0 && height > 0 && pixels)
    encoder->Encode(pixels, width, height, interlaced);
  else
    encoder->Encode(pixels, 0, 0, false);
}

}  // namespace rv
