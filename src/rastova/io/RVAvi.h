#pragma once
// Single frames of AVI files. The window system's video-file library has no counterpart here:
// this reader of RIFF AVI files takes the first video ("vids") stream, its header's scale, rate
// and length and its frame chunks. Uncompressed frames (BI_RGB, BI_BITFIELDS) are read as
// packed device-independent bitmaps (the stream's bitmap header with the chunk's bytes as pixel
// rows) by the packed-DIB reader; compressed ones are decoded by FFmpeg's libraries
// (RVAviDecoder.h), and a stream whose format no decoder there knows is not opened.
//
// The frame chunks come from the file's index when it has one that fits, else from the movie
// list's chunk headers. Every size read from the file is checked against the file: chunk sizes
// against the list that holds them and the file's end, index entries against their chunks, the
// stream header and format against their chunks, the frame count against the frame chunks the
// file holds, and the pixels of a compressed frame against what the file's bytes can code.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "rastova/core/RVDibTransfer.h"

namespace rv {

class TRVAviDecoder;
class TRVBitmap;
class TStream;

class TRVAviFile {
 public:
  TRVAviFile();
  ~TRVAviFile();
  TRVAviFile(const TRVAviFile&) = delete;
  TRVAviFile& operator=(const TRVAviFile&) = delete;

  // Opens a file (EFOpenError when it cannot be opened) or takes a stream; false, holding
  // nothing, when it is no AVI file with a video stream whose format is a bitmap header.
  bool Open(const std::string& fileName);
  bool Open(std::unique_ptr<TStream> stream);
  void Close();
  bool IsOpen() const { return stream_ != nullptr; }

  // The video stream's header: time scale, rate (frames per second = rate / scale) and length
  // in frames, as stored.
  uint32_t Scale() const { return scale_; }
  uint32_t Rate() const { return rate_; }
  uint32_t Length() const { return length_; }
  // The frames that can be asked for: the stream's length, at most the frame chunks present.
  int32_t FrameCount() const;
  // Milliseconds per frame, the fraction dropped; 0 when rate or scale is 0.
  int32_t FrameDelay() const;
  const TBitmapInfoHeader& Format() const { return format_; }

  // Whether the frames need a decoder (the bitmap header names a compression other than BI_RGB
  // and BI_BITFIELDS).
  bool Compressed() const;

  // Decodes frame `frame` (0-based; an empty chunk repeats the frame before it) into `bitmap`.
  // Returns the bit count of the picture delivered (the bitmap header's; 24 for decoded frames),
  // or 0 when the frame is outside the file, cut or damaged, or the reader refuses it.
  int32_t GetFrame(int32_t frame, TRVBitmap& bitmap);

 private:
  struct Chunk {
    int64_t offset;  // of the data
    uint32_t size;
  };
  bool ReadHeaderList(int64_t start, int64_t end);
  bool ReadStreamList(int64_t start, int64_t end, int32_t streamNumber);
  bool ReadIndex(int64_t start, int64_t size, int64_t movie);
  void IndexMovie(int64_t start, int64_t end, int32_t depth);
  bool ChunkAt(int64_t header, uint32_t size);
  uint32_t ChunkId(const char (&kind)[3]) const;
  bool ReadAt(int64_t offset, void* buffer, int64_t count);
  int64_t MaxFramePixels() const;

  // The decoder reads the stream: it is declared after it, so that it goes first.
  std::unique_ptr<TStream> stream_;
  std::unique_ptr<TRVAviDecoder> decoder_;
  int64_t fileSize_ = 0;
  bool found_ = false;
  int32_t videoStream_ = -1;
  uint32_t scale_ = 0, rate_ = 0, length_ = 0;
  TBitmapInfoHeader format_{};
  // The stream format block: the bitmap header and its colour table.
  std::vector<uint8_t> formatBlock_;
  std::vector<Chunk> frames_;
  std::vector<uint8_t> frameBuffer_;
};

}  // namespace rv
