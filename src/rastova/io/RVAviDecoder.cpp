#include "rastova/io/RVAviDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

#include <cstring>
#include <exception>
#include <mutex>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStream.h"

namespace rv {

namespace {

// The demuxer reads the file through a buffer of this size.
constexpr int kIOBufferSize = 32768;
// An AVI file of more streams than this is not read: the demuxer keeps a record per stream.
constexpr unsigned kMaxStreams = 100;
// Frames beyond the asked one whose packets a reordering decoder may need before the asked
// frame comes out (codecs hold at most 16 back); packets further on are not read.
constexpr int64_t kMaxLookahead = 64;
// Key frames tried, each before the other, for a frame that shows before the key frame it
// follows in the file.
constexpr int kMaxKeyFramesBack = 4;
// The converter's vector code writes whole groups of up to 16 pixels: it converts straight into
// the bitmap's rows when their width is a multiple of kDirectWidthStep pixels and their length
// of kRowAlignment bytes, else into rows of its own with kRowSlack bytes to spare.
constexpr int64_t kRowAlignment = 64;
constexpr int32_t kDirectWidthStep = 16;
constexpr int64_t kRowSlack = 16 * 3;

// The file as the demuxer sees it: the caller's stream, read at a position of the demuxer's own.
struct TSource {
  TStream* stream = nullptr;
  int64_t position = 0;
  int64_t size = 0;
};

int ReadSource(void* opaque, uint8_t* buffer, int size) {
  TSource& s = *static_cast<TSource*>(opaque);
  if (size <= 0 || s.position < 0 || s.position >= s.size) return AVERROR_EOF;
  const int64_t count = std::min<int64_t>(size, s.size - s.position);
  try {
    s.stream->SetPosition(s.position);
    const int64_t got = s.stream->Read(buffer, count);
    if (got <= 0) return AVERROR_EOF;
    s.position += got;
    return static_cast<int>(got);
  } catch (const std::exception&) {
    return AVERROR(EIO);
  }
}

int64_t SeekSource(void* opaque, int64_t offset, int whence) {
  TSource& s = *static_cast<TSource*>(opaque);
  int64_t base = 0;
  switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
      return s.size;
    case SEEK_SET:
      break;
    case SEEK_CUR:
      base = s.position;
      break;
    case SEEK_END:
      base = s.size;
      break;
    default:
      return AVERROR(EINVAL);
  }
  int64_t to = 0;
  if (__builtin_add_overflow(base, offset, &to) || to < 0) return AVERROR(EINVAL);
  s.position = to;
  return to;
}

// The libraries' messages go nowhere: a damaged file is an outcome, told through the result.
void QuietLibraries() {
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

struct TIODeleter {
  void operator()(AVIOContext* io) const {
    av_freep(&io->buffer);  // the demuxer may have replaced the buffer given to it
    avio_context_free(&io);
  }
};
struct TFormatDeleter {
  void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};
struct TCodecDeleter {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct TPacketDeleter {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct TFrameDeleter {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct TScalerDeleter {
  void operator()(SwsContext* s) const { sws_freeContext(s); }
};
using TFramePtr = std::unique_ptr<AVFrame, TFrameDeleter>;

bool IsFullRangeFormat(AVPixelFormat f) {
  return f == AV_PIX_FMT_YUVJ420P || f == AV_PIX_FMT_YUVJ422P || f == AV_PIX_FMT_YUVJ444P ||
         f == AV_PIX_FMT_YUVJ440P || f == AV_PIX_FMT_YUVJ411P;
}

}  // namespace

struct TRVAviDecoder::TImpl {
  // Declared in the order they are made: the demuxer goes before the reader it reads through.
  TSource source;
  std::unique_ptr<AVIOContext, TIODeleter> io;
  std::unique_ptr<AVFormatContext, TFormatDeleter> format;
  std::unique_ptr<AVCodecContext, TCodecDeleter> codec;
  std::unique_ptr<AVPacket, TPacketDeleter> packet;
  std::unique_ptr<SwsContext, TScalerDeleter> scaler;
  AVStream* video = nullptr;
  int64_t maxPixels = 0;

  // The decoder's progress since the last seek: the frame that came out last at or before the
  // asked one (`current`), a frame that came out beyond it (`ahead`), the number of the last
  // frame out and the chunk number of the last packet sent. A frame's number is the chunk
  // number of the packet whose decoding gave it out, less the frames the decoder holds back for
  // reordering; a dropped frame (no packet, a gap in the chunk numbers) leaves the frame before
  // it standing.
  TFramePtr current, ahead;
  int64_t currentIndex = -1, aheadIndex = -1, lastIndex = -1, lastSent = -1, drainFrom = 0;
  bool haveCurrent = false, haveAhead = false;
  bool draining = false;
  bool positioned = false;

  // The converter and what it was made for.
  int scalerWidth = 0, scalerHeight = 0, scalerFormat = -1, scalerSpace = -1, scalerRange = -1;
  std::unique_ptr<uint8_t[]> rows;
  int64_t rowsSize = 0;

  enum TRun { kFound, kPast, kFailed };

  bool OpenDemuxer();
  bool OpenCodec(int32_t streamNumber);
  int64_t KeyFrameAtOrBefore(int64_t frame);
  bool Seek(int64_t frame);
  bool SendNextPacket(int64_t last, int64_t& budget);
  bool Drain();
  int64_t NumberOf(const AVFrame& f);
  TRun Run(int64_t frame);
  bool Decode(int64_t frame);
  bool MakeScaler(const AVFrame& f);
  bool Convert(const AVFrame& f, TRVBitmap& bitmap);
};

bool TRVAviDecoder::TImpl::OpenDemuxer() {
  auto* buffer = static_cast<uint8_t*>(av_malloc(kIOBufferSize));
  if (!buffer) return false;
  io.reset(avio_alloc_context(buffer, kIOBufferSize, 0, &source, ReadSource, nullptr, SeekSource));
  if (!io) {
    av_free(buffer);
    return false;
  }
  AVFormatContext* ctx = avformat_alloc_context();
  if (!ctx) return false;
  ctx->pb = io.get();
  ctx->flags |= AVFMT_FLAG_CUSTOM_IO;
  ctx->max_streams = kMaxStreams;
  // The AVI demuxer and no other: the content was never probed, and must not be.
  ctx->format_whitelist = av_strdup("avi");
  const AVInputFormat* avi = av_find_input_format("avi");
  if (!ctx->format_whitelist || !avi) {
    avformat_free_context(ctx);
    return false;
  }
  if (avformat_open_input(&ctx, "", avi, nullptr) < 0) return false;  // it frees ctx then
  format.reset(ctx);
  return true;
}

bool TRVAviDecoder::TImpl::OpenCodec(int32_t streamNumber) {
  const unsigned count = format->nb_streams;
  if (streamNumber >= 0 && unsigned(streamNumber) < count &&
      format->streams[streamNumber]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO)
    video = format->streams[streamNumber];
  for (unsigned i = 0; i < count && !video; ++i)
    if (format->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) video = format->streams[i];
  if (!video) return false;
  for (unsigned i = 0; i < count; ++i)
    format->streams[i]->discard = format->streams[i] == video ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
  const AVCodecParameters& par = *video->codecpar;
  if (par.width < 0 || par.height < 0 || int64_t(par.width) * par.height > maxPixels) return false;
  const AVCodec* decoder = avcodec_find_decoder(par.codec_id);
  if (!decoder || decoder->type != AVMEDIA_TYPE_VIDEO) return false;
  codec.reset(avcodec_alloc_context3(decoder));
  if (!codec || avcodec_parameters_to_context(codec.get(), &par) < 0) return false;
  // Frames the decoder makes (and allocates) are bounded as the file's header is.
  codec->max_pixels = maxPixels;
  codec->thread_count = 1;
  codec->pkt_timebase = video->time_base;
  if (avcodec_open2(codec.get(), decoder, nullptr) < 0) return false;
  packet.reset(av_packet_alloc());
  current.reset(av_frame_alloc());
  ahead.reset(av_frame_alloc());
  return packet && current && ahead;
}

// The last key frame at or before `frame` by the demuxer's index; 0 when the index does not
// know (a file without one is read from its start, or on from where the decoder stands).
int64_t TRVAviDecoder::TImpl::KeyFrameAtOrBefore(int64_t frame) {
  const AVIndexEntry* e = avformat_index_get_entry_from_timestamp(video, frame, AVSEEK_FLAG_BACKWARD);
  return e ? e->timestamp : 0;
}

bool TRVAviDecoder::TImpl::Seek(int64_t frame) {
  avcodec_flush_buffers(codec.get());
  av_frame_unref(current.get());
  av_frame_unref(ahead.get());
  haveCurrent = haveAhead = false;
  currentIndex = aheadIndex = lastIndex = lastSent = -1;
  draining = false;
  positioned = av_seek_frame(format.get(), video->index, frame, AVSEEK_FLAG_BACKWARD) >= 0;
  return positioned;
}

// Reads the next packet of the video stream and sends it. At the end of the stream, or at a
// packet beyond `last` (frames up to `last` need none of those), the decoder is told to give
// out what it holds instead. False when the decoder refuses a packet, or when more than
// `budget` packets are needed.
bool TRVAviDecoder::TImpl::SendNextPacket(int64_t last, int64_t& budget) {
  for (;;) {
    if (av_read_frame(format.get(), packet.get()) < 0) return Drain();
    if (packet->stream_index != video->index || packet->size <= 0) {
      av_packet_unref(packet.get());
      continue;
    }
    // The demuxer numbers the packets by their chunks.
    const int64_t number = packet->dts != AV_NOPTS_VALUE ? packet->dts : lastSent + 1;
    if (number > last) {
      // Packets come in chunk order: no frame up to `last` follows.
      av_packet_unref(packet.get());
      return Drain();
    }
    if (--budget < 0) {
      av_packet_unref(packet.get());
      return false;
    }
    const int sent = avcodec_send_packet(codec.get(), packet.get());
    av_packet_unref(packet.get());
    if (sent < 0) return false;
    lastSent = number;
    return true;
  }
}

bool TRVAviDecoder::TImpl::Drain() {
  draining = true;
  drainFrom = lastSent + 1 - codec->has_b_frames;
  return avcodec_send_packet(codec.get(), nullptr) >= 0;
}

int64_t TRVAviDecoder::TImpl::NumberOf(const AVFrame& f) {
  int64_t number = lastIndex + 1;
  if (f.pkt_dts != AV_NOPTS_VALUE) {
    number = f.pkt_dts - codec->has_b_frames;
  } else if (draining) {
    // What the decoder gives out when told to finish has no packet: the frames it held back,
    // the last ones sent.
    number = std::max(number, drainFrom);
  }
  if (number <= lastIndex) number = lastIndex + 1;
  lastIndex = number;
  return number;
}

// Decodes on until frame `frame` is out: kFound with it (or the frame before a dropped one) in
// `current`, kPast when the first frame out already lies beyond it, kFailed on a damaged stream.
TRVAviDecoder::TImpl::TRun TRVAviDecoder::TImpl::Run(int64_t frame) {
  // Packets are numbered by their chunks, so frames up to this one need at most this many.
  int64_t budget = frame + 1 + kMaxLookahead;
  for (;;) {
    if (haveAhead) {
      if (aheadIndex > frame) return haveCurrent ? kFound : kPast;
      std::swap(current, ahead);
      currentIndex = aheadIndex;
      haveCurrent = true;
      haveAhead = false;
    }
    if (haveCurrent && currentIndex == frame) return kFound;
    const int received = avcodec_receive_frame(codec.get(), ahead.get());
    if (received == 0) {
      aheadIndex = NumberOf(*ahead);
      haveAhead = true;
      continue;
    }
    if (received == AVERROR(EAGAIN) && !draining && SendNextPacket(frame + kMaxLookahead, budget)) continue;
    positioned = false;
    // At the end of the stream, chunks after the last packet are dropped frames.
    return received == AVERROR_EOF && haveCurrent ? kFound : kFailed;
  }
}

bool TRVAviDecoder::TImpl::Decode(int64_t frame) {
  int64_t key = KeyFrameAtOrBefore(frame);
  // Decoding on from where the decoder stands is never longer than from the key frame once the
  // key frame's packet is in.
  if (positioned && haveCurrent && currentIndex <= frame && key <= lastSent) return Run(frame) == kFound;
  // Frames that decode after a key frame may show before it (and need the frames before it):
  // when the first frame out lies beyond the one asked for, the key frame before is tried.
  for (int tries = 0; tries < kMaxKeyFramesBack; ++tries) {
    if (!Seek(key)) break;
    const TRun run = Run(frame);
    if (run != kPast || key == 0) return run == kFound;
    key = KeyFrameAtOrBefore(key - 1);
  }
  positioned = false;
  return false;
}

bool TRVAviDecoder::TImpl::MakeScaler(const AVFrame& f) {
  const auto pixelFormat = static_cast<AVPixelFormat>(f.format);
  const int range = f.color_range == AVCOL_RANGE_JPEG || IsFullRangeFormat(pixelFormat) ? 1 : 0;
  const int space = f.colorspace == AVCOL_SPC_UNSPECIFIED ? SWS_CS_DEFAULT : int(f.colorspace);
  if (scaler && f.width == scalerWidth && f.height == scalerHeight && f.format == scalerFormat &&
      space == scalerSpace && range == scalerRange)
    return true;
  scaler.reset(sws_getContext(f.width, f.height, pixelFormat, f.width, f.height, AV_PIX_FMT_BGR24,
                              SWS_BILINEAR, nullptr, nullptr, nullptr));
  if (!scaler) return false;
  // The picture's own matrix and range (unknown ones: the common definition of YCbCr); pixels
  // out at the full range. Pictures of RGB pixels have neither, and refuse this call.
  sws_setColorspaceDetails(scaler.get(), sws_getCoefficients(space), range,
                           sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
  scalerWidth = f.width;
  scalerHeight = f.height;
  scalerFormat = f.format;
  scalerSpace = space;
  scalerRange = range;
  return true;
}

bool TRVAviDecoder::TImpl::Convert(const AVFrame& f, TRVBitmap& bitmap) {
  if (f.width <= 0 || f.height <= 0 || int64_t(f.width) * f.height > maxPixels) return false;
  if (!MakeScaler(f) || !bitmap.Allocate(f.width, f.height, rv24RGB)) return false;
  const int32_t w = f.width, h = f.height;
  const int64_t rowBytes = int64_t(w) * 3;
  // Straight into the bitmap when its rows are aligned rows of one block, top-down or bottom-up
  // (the converter takes a negative step); else through a buffer of aligned rows, copied row by
  // row.
  const int64_t rowLen = bitmap.GetRowLen();
  if (bitmap.GetLocation() == rvInMemory && w % kDirectWidthStep == 0 && rowLen % kRowAlignment == 0) {
    uint8_t* first = bitmap.GetScanLine(0);
    const int64_t step = h > 1 ? bitmap.GetScanLine(1) - first : rowLen;
    if ((step == rowLen || step == -rowLen) && bitmap.GetScanLine(h - 1) == first + step * (h - 1)) {
      uint8_t* const dst[4] = {first, nullptr, nullptr, nullptr};
      const int dstStride[4] = {static_cast<int>(step), 0, 0, 0};
      return sws_scale(scaler.get(), f.data, f.linesize, 0, h, dst, dstStride) == h;
    }
  }
  const int64_t stride = (rowBytes + kRowSlack + kRowAlignment - 1) / kRowAlignment * kRowAlignment;
  if (rowsSize < stride * h) {
    rows.reset(new uint8_t[size_t(stride * h)]);
    rowsSize = stride * h;
  }
  uint8_t* const dst[4] = {rows.get(), nullptr, nullptr, nullptr};
  const int dstStride[4] = {static_cast<int>(stride), 0, 0, 0};
  if (sws_scale(scaler.get(), f.data, f.linesize, 0, h, dst, dstStride) != h) return false;
  for (int32_t y = 0; y < h; ++y)
    std::memcpy(bitmap.GetScanLine(y), rows.get() + stride * y, size_t(rowBytes));
  return true;
}

TRVAviDecoder::TRVAviDecoder(std::unique_ptr<TImpl> impl) : impl_(std::move(impl)) {}
TRVAviDecoder::~TRVAviDecoder() = default;

std::unique_ptr<TRVAviDecoder> TRVAviDecoder::Open(TStream& stream, int32_t streamNumber, int64_t maxPixels) {
  QuietLibraries();
  auto impl = std::make_unique<TImpl>();
  impl->maxPixels = maxPixels;
  impl->source.stream = &stream;
  try {
    impl->source.size = stream.GetSize();
  } catch (const std::exception&) {
    return nullptr;
  }
  if (!impl->OpenDemuxer() || !impl->OpenCodec(streamNumber)) return nullptr;
  return std::unique_ptr<TRVAviDecoder>(new TRVAviDecoder(std::move(impl)));
}

bool TRVAviDecoder::GetFrame(int64_t frame, TRVBitmap& bitmap) {
  if (frame < 0) return false;
  try {
    return impl_->Decode(frame) && impl_->Convert(*impl_->current, bitmap);
  } catch (const std::bad_alloc&) {
    impl_->positioned = false;
    return false;
  }
}

}  // namespace rv
