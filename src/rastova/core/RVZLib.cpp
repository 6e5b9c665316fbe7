// The zlib streams. zlib is initialised through its own macros, which pass the version and
// the stream record size of the library the program was built against.
#include "rastova/core/RVZLib.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <limits>

namespace rv {

namespace {

constexpr size_t kBufferSize = 65536;
constexpr const char* kInvalidOperation = "Invalid ZStream operation!";

const char* ZErrorText(int code) {
  switch (code) {
    case Z_ERRNO: return "file error";
    case Z_STREAM_ERROR: return "stream error";
    case Z_DATA_ERROR: return "data error";
    case Z_MEM_ERROR: return "insufficient memory";
    case Z_BUF_ERROR: return "buffer error";
    case Z_VERSION_ERROR: return "incompatible version";
    default: return "";
  }
}

int CCheck(int code) {
  if (code < 0) throw EZCompressionError(ZErrorText(code));
  return code;
}

// A stream that asks for a preset dictionary cannot be inflated here: it is a data error
// (left as it is, inflate would be called again and again without progress).
int DCheck(int code) {
  if (code == Z_NEED_DICT) code = Z_DATA_ERROR;
  if (code < 0) throw EZDecompressionError(ZErrorText(code));
  return code;
}

uInt Chunk(int64_t n) { return static_cast<uInt>(std::min<int64_t>(n, std::numeric_limits<uInt>::max() / 2)); }

}  // namespace

struct TCustomZStream::ZState {
  z_stream s{};
  bool initialised = false;
  bool deflating = false;
  ~ZState() {
    if (!initialised) return;
    if (deflating) deflateEnd(&s);
    else inflateEnd(&s);
  }
};

TCustomZStream::TCustomZStream(TStream& wrapped)
    : wrapped_(wrapped),
      wrappedStart_(wrapped.GetPosition()),
      wrappedPos_(wrappedStart_),
      z_(std::make_unique<ZState>()), buffer_(kBufferSize) {}

TCustomZStream::~TCustomZStream() = default;

// ---------------------------------------------------------------- compression

TZCompressionStream::TZCompressionStream(TStream& dest, TZCompressionLevel level) : TCustomZStream(dest) {
  static const int kLevels[4] = {Z_NO_COMPRESSION, Z_BEST_SPEED, Z_DEFAULT_COMPRESSION, Z_BEST_COMPRESSION};
  z_->s.next_out = buffer_.data();
  z_->s.avail_out = static_cast<uInt>(buffer_.size());
  CCheck(deflateInit(&z_->s, kLevels[std::min<int>(level, 3)]));
  z_->initialised = true;
  z_->deflating = true;
}

TZCompressionStream::~TZCompressionStream() {
  try {
    Finish();
  } catch (...) {
    // A destructor cannot report; Finish does.
  }
}

void TZCompressionStream::Flush(bool finish) {
  if (wrapped_.GetPosition() != wrappedPos_) wrapped_.SetPosition(wrappedPos_);
  wrapped_.WriteBuffer(buffer_.data(), static_cast<int64_t>(buffer_.size() - (finish ? z_->s.avail_out : 0)));
  wrappedPos_ = wrapped_.GetPosition();
  z_->s.next_out = buffer_.data();
  z_->s.avail_out = static_cast<uInt>(buffer_.size());
  Progress();
}

int64_t TZCompressionStream::Write(const void* buffer, int64_t count) {
  if (finished_) throw EZCompressionError(kInvalidOperation);
  auto* p = static_cast<const uint8_t*>(buffer);
  int64_t left = count;
  while (left > 0) {
    uInt n = Chunk(left);
    z_->s.next_in = const_cast<Bytef*>(p);
    z_->s.avail_in = n;
    while (z_->s.avail_in > 0) {
      CCheck(deflate(&z_->s, Z_NO_FLUSH));
      if (z_->s.avail_out == 0) Flush(false);
    }
    p += n;
    left -= n;
  }
  return count;
}

void TZCompressionStream::Finish() {
  if (finished_) return;
  finished_ = true;
  z_->s.next_in = nullptr;
  z_->s.avail_in = 0;
  try {
    for (;;) {
      int r = CCheck(deflate(&z_->s, Z_FINISH));
      if (r == Z_STREAM_END) break;
      if (z_->s.avail_out == 0) Flush(false);
    }
    if (z_->s.avail_out < buffer_.size()) Flush(true);
  } catch (...) {
    deflateEnd(&z_->s);
    z_->initialised = false;
    throw;
  }
  deflateEnd(&z_->s);
  z_->initialised = false;
}

int64_t TZCompressionStream::Read(void*, int64_t) { throw EZCompressionError(kInvalidOperation); }

int64_t TZCompressionStream::Seek(int64_t, TSeekOrigin) { return static_cast<int64_t>(z_->s.total_in); }

// ---------------------------------------------------------------- decompression

TZDecompressionStream::TZDecompressionStream(TStream& source) : TCustomZStream(source) {
  z_->s.next_in = buffer_.data();
  z_->s.avail_in = 0;
  DCheck(inflateInit(&z_->s));
  z_->initialised = true;
}

TZDecompressionStream::~TZDecompressionStream() = default;

int64_t TZDecompressionStream::Read(void* buffer, int64_t count) {
  auto* out = static_cast<uint8_t*>(buffer);
  int64_t produced = 0;
  while (produced < count && !ended_) {
    bool sourceDry = false;
    if (z_->s.avail_in == 0) {
      if (wrapped_.GetPosition() != wrappedPos_) wrapped_.SetPosition(wrappedPos_);
      int64_t got = wrapped_.Read(buffer_.data(), static_cast<int64_t>(buffer_.size()));
      if (got > 0) {
        z_->s.next_in = buffer_.data();
        z_->s.avail_in = static_cast<uInt>(got);
        wrappedPos_ = wrapped_.GetPosition();
        Progress();
      } else {
        // Inflate may still hold output of the input it has taken: drain it before ending,
        // so that what a caller gets does not depend on how much it asks for at a time.
        sourceDry = true;
      }
    }
    uInt room = Chunk(count - produced);
    z_->s.next_out = out + produced;
    z_->s.avail_out = room;
    const int r = inflate(&z_->s, Z_NO_FLUSH);
    const uInt made = room - z_->s.avail_out;
    produced += made;
    if (r == Z_BUF_ERROR || (sourceDry && made == 0)) return produced;  // nothing more to be had
    DCheck(r);
    if (r == Z_STREAM_END) {
      ended_ = true;
      if (z_->s.avail_in > 0) {
        // Give the bytes after the compressed data back to the source.
        wrapped_.Seek(-static_cast<int64_t>(z_->s.avail_in), soCurrent);
        wrappedPos_ = wrapped_.GetPosition();
        z_->s.avail_in = 0;
      }
    }
  }
  return produced;
}

int64_t TZDecompressionStream::Write(const void*, int64_t) { throw EZDecompressionError(kInvalidOperation); }

int64_t TZDecompressionStream::Seek(int64_t offset, TSeekOrigin origin) {
  auto skip = [this](int64_t n) {
    uint8_t scratch[8192];
    while (n > 0) {
      int64_t got = Read(scratch, std::min<int64_t>(n, sizeof scratch));
      if (got <= 0) break;
      n -= got;
    }
  };
  const int64_t done = static_cast<int64_t>(z_->s.total_out);
  if (origin == soBeginning && offset == 0) {
    DCheck(inflateReset(&z_->s));
    z_->s.next_in = buffer_.data();
    z_->s.avail_in = 0;
    ended_ = false;
    wrapped_.SetPosition(wrappedStart_);
    wrappedPos_ = wrappedStart_;
  } else if ((origin == soCurrent && offset >= 0) || (origin == soBeginning && offset > done)) {
    skip(origin == soCurrent ? offset : offset - done);
  } else if (origin == soEnd && offset == 0) {
    uint8_t scratch[8192];
    while (Read(scratch, sizeof scratch) > 0) {
    }
  } else {
    throw EZDecompressionError(kInvalidOperation);
  }
  return static_cast<int64_t>(z_->s.total_out);
}

int64_t TZDecompressionStream::MaxBytesLeft() {
  if (ended_) return 0;
  constexpr int64_t kMaxRatio = 1032;
  // Output inflate may hold back beyond the ratio: a pending match or block header's worth.
  constexpr int64_t kHeldBack = 65536;
  int64_t compressed = 0;
  if (auto* inner = dynamic_cast<TZDecompressionStream*>(&wrapped_)) {
    compressed = inner->MaxBytesLeft();
  } else if (!wrapped_.IsCompressionStream()) {
    compressed = std::max<int64_t>(wrapped_.GetSize() - wrappedPos_, 0);
  }
  compressed += z_->s.avail_in;
  if (compressed > (std::numeric_limits<int64_t>::max() - kHeldBack) / kMaxRatio)
    return std::numeric_limits<int64_t>::max();
  return compressed * kMaxRatio + kHeldBack;
}

int64_t BytesLeftBound(TStream& stream) {
  if (auto* z = dynamic_cast<TZDecompressionStream*>(&stream)) return z->MaxBytesLeft();
  if (stream.IsCompressionStream()) return 0;  // write-only
  return std::max<int64_t>(stream.GetSize() - stream.GetPosition(), 0);
}

// ---------------------------------------------------------------- buffer

void ZDecompressBuffer(const void* input, int64_t inputSize, std::vector<uint8_t>& output, int64_t estimate) {
  output.clear();
  if (inputSize < 0) inputSize = 0;
  int64_t step = (inputSize + 255) / 256 * 256;
  if (step == 0) step = 256;
  int64_t size = estimate > 0 ? estimate : step;
  z_stream s{};
  s.next_in = static_cast<Bytef*>(const_cast<void*>(input));
  s.avail_in = Chunk(inputSize);
  DCheck(inflateInit(&s));
  try {
    output.resize(static_cast<size_t>(size));
    int64_t produced = 0;
    for (;;) {
      s.next_out = output.data() + produced;
      s.avail_out = Chunk(size - produced);
      uInt room = s.avail_out;
      int r = DCheck(inflate(&s, Z_NO_FLUSH));
      produced += room - s.avail_out;
      if (r == Z_STREAM_END) break;
      if (s.avail_out > 0 && s.avail_in == 0) throw EZDecompressionError(ZErrorText(Z_BUF_ERROR));
      if (produced == size) {
        // Geometric growth keeps the total copying linear in the output size.
        size = std::max(size + step, size * 2);
        output.resize(static_cast<size_t>(size));
      }
    }
    inflateEnd(&s);
    output.resize(static_cast<size_t>(produced));
    output.shrink_to_fit();
  } catch (...) {
    inflateEnd(&s);
    output.clear();
    output.shrink_to_fit();
    throw;
  }
}

}  // namespace rv
