#pragma once
// zlib's deflate and inflate as streams, and the buffer inflater of the TIFF reader and the
// I/O front end. A compression stream is write-only and ends its data in Finish (or when it
// is destroyed); a decompression stream is read-only and can be rewound to its start or moved
// forward (to the place of the wrapped stream where it was created). Neither owns the stream it
// wraps, and several of them may share one wrapped stream: each keeps its own position in it.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "common/Exception.h"
#include "rastova/core/RVStream.h"

namespace rv {

class EZLibError : public common::Exception {
 public:
  using Exception::Exception;
};
class EZCompressionError : public EZLibError {
 public:
  using EZLibError::EZLibError;
};
class EZDecompressionError : public EZLibError {
 public:
  using EZLibError::EZLibError;
};

// Index 0..3 of the compression levels: none, fastest, zlib's default, best.
enum TZCompressionLevel : uint8_t { zcNone = 0, zcFastest = 1, zcDefault = 2, zcMax = 3 };

class TCustomZStream : public TStream {
 public:
  ~TCustomZStream() override;
  TCustomZStream(const TCustomZStream&) = delete;
  TCustomZStream& operator=(const TCustomZStream&) = delete;
  bool IsCompressionStream() const override { return true; }
  // Fired after every block moved to or from the wrapped stream.
  std::function<void(TCustomZStream* sender)> OnProgress;

 protected:
  explicit TCustomZStream(TStream& wrapped);
  void Progress() {
    if (OnProgress) OnProgress(this);
  }
  struct ZState;
  TStream& wrapped_;
  const int64_t wrappedStart_;  // where the compressed data begin in the wrapped stream
  int64_t wrappedPos_;
  std::unique_ptr<ZState> z_;
  std::vector<uint8_t> buffer_;
};

class TZCompressionStream : public TCustomZStream {
 public:
  TZCompressionStream(TStream& dest, TZCompressionLevel level);
  // Finishes the data when Finish was not called; errors are lost then, so callers that must
  // know whether the data was written call Finish.
  ~TZCompressionStream() override;
  // Compresses the bytes; returns count.
  int64_t Write(const void* buffer, int64_t count) override;
  // Raises EZCompressionError "Invalid ZStream operation!".
  int64_t Read(void* buffer, int64_t count) override;
  // The number of bytes written into the stream so far, whatever the arguments.
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  // Ends the compressed data and writes it out; later writes raise EZCompressionError.
  void Finish();

 private:
  void Flush(bool finish);
  bool finished_ = false;
};

class TZDecompressionStream : public TCustomZStream {
 public:
  explicit TZDecompressionStream(TStream& source);
  ~TZDecompressionStream() override;
  // The number of bytes produced by this call; fewer than asked at the end of the data or of
  // the source. Corrupt data raises EZDecompressionError with zlib's text.
  int64_t Read(void* buffer, int64_t count) override;
  // Raises EZDecompressionError "Invalid ZStream operation!".
  int64_t Write(const void* buffer, int64_t count) override;
  // 0 from the beginning rewinds; forward moves (from the beginning past the bytes produced,
  // or a non-negative offset from the current position) read and discard; 0 from the end
  // reads to the end. Anything else raises EZDecompressionError "Invalid ZStream operation!".
  // Returns the number of bytes produced so far.
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  // The most bytes that reading on can still produce: the compressed bytes left in the
  // wrapped stream and in hand times deflate's largest ratio (1032:1), plus what inflate may
  // hold back. A reader that cannot know a size trusts no count beyond this.
  int64_t MaxBytesLeft();

 private:
  bool ended_ = false;
};

// Bytes left after the position of any stream: the size less the position, or for a
// decompression stream its MaxBytesLeft.
int64_t BytesLeftBound(TStream& stream);

// Inflates a whole block. `estimate` is the expected output size (0 for none); the output
// grows geometrically from it (or from the input size rounded up to 256). Raises
// EZDecompressionError for corrupt, truncated or dictionary-bound data.
void ZDecompressBuffer(const void* input, int64_t inputSize, std::vector<uint8_t>& output, int64_t estimate);

}  // namespace rv
