#pragma once
// Compressed frames of an AVI file's video stream, decoded through FFmpeg's libraries, which
// stand in for the window system's video decompressors: libavformat's AVI demuxer (and no other
// format) reads the file through the caller's own stream, libavcodec decodes, libswscale turns
// the picture into 24-bit pixels. RVAvi.h owns the file and asks for frames by number; the
// uncompressed frames never come here.
//
// Frame n is the picture shown n-th, the stream's chunks counted as the file's header counts
// frames: an empty chunk (a dropped frame) shows the frame before it again, and with codecs that
// store pictures out of their order (B-frames) the pictures are counted in the order they show.
// Decoding starts at the last key frame at or before the frame (or the one before that, when
// pictures stored after the key frame show before it), unless the frames decoded last lead there
// sooner.
#include <cstdint>
#include <memory>

namespace rv {

class TRVBitmap;
class TStream;

class TRVAviDecoder {
 public:
  // Opens the demuxer over `stream` and the decoder of the video stream numbered `streamNumber`
  // (the first video stream when that one is none). The stream is read at positions of the
  // decoder's own, so the caller may move it between calls; it must outlive the decoder. Frames
  // may hold at most `maxPixels` pixels. nullptr when the file cannot be demuxed, holds no such
  // stream, or no decoder knows its format.
  static std::unique_ptr<TRVAviDecoder> Open(TStream& stream, int32_t streamNumber, int64_t maxPixels);
  ~TRVAviDecoder();
  TRVAviDecoder(const TRVAviDecoder&) = delete;
  TRVAviDecoder& operator=(const TRVAviDecoder&) = delete;

  // Decodes frame `frame` into `bitmap` as rv24RGB (an alpha plane of the codec's is dropped).
  // False, leaving the bitmap as it was, when the stream ends before the frame or is damaged.
  bool GetFrame(int64_t frame, TRVBitmap& bitmap);

  struct TImpl;

 private:
  explicit TRVAviDecoder(std::unique_ptr<TImpl> impl);
  std::unique_ptr<TImpl> impl_;
};

}  // namespace rv
