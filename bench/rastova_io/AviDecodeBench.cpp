// Frame 100 of a 1920 x 1080 MJPEG AVI file (101 frames of ffmpeg's test pattern, made by the
// ffmpeg tool in a temporary folder at start): opened, decoded to 24-bit pixels and closed
// through OpenAVIFile, LoadAVIFrame and CloseAVIFile, against the same work done with FFmpeg's
// libraries directly (AVI demuxer on the file, seek to the frame, one decoding thread, BGR24
// conversion by libswscale). The first should take at most 1.2 times the second.
#include <benchmark/benchmark.h>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStartup.h"
#include "rastova/io/RastovaIO.h"
#include "rastova/io/RastovaIOStartup.h"

namespace {

using namespace rv;

constexpr int64_t kFrame = 100;

// The folder goes when the program ends.
struct TClipFolder {
  TClipFolder() : path("/tmp/rvio-avi-decode-bench-" + std::to_string(::getpid())) {
    std::filesystem::create_directories(path);
  }
  ~TClipFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  std::string path;
};

// The clip's name, or empty when the ffmpeg tool could not make it.
const std::string& Clip() {
  static TClipFolder folder;
  static const std::string name = [] {
    RegisterRastovaIOStartup();
    RastovaLibraryStartup();
    const std::string n = folder.path + "/clip.avi";
    const std::string command = "ffmpeg -v error -y -f lavfi -i testsrc2=s=1920x1080:r=25 -frames:v " +
                                std::to_string(kFrame + 1) + " -c:v mjpeg -q:v 3 " + n + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0 ? n : std::string();
  }();
  return name;
}

void BM_LoadAVIFrame100(benchmark::State& state) {
  if (Clip().empty()) return state.SkipWithError("the ffmpeg tool could not make the clip");
  TRVBitmap bitmap;
  TRastovaIO io(&bitmap);
  for (auto _ : state) {
    io.OpenAVIFile(Clip());
    io.LoadAVIFrame(int32_t(kFrame));
    io.CloseAVIFile();
    if (io.Aborting) return state.SkipWithError("the frame did not load");
  }
}
BENCHMARK(BM_LoadAVIFrame100)->Unit(benchmark::kMillisecond)->UseRealTime();

// FFmpeg alone: the frame with chunk number 100 (every MJPEG frame is a key frame).
bool DecodeWithFFmpeg(const std::string& file, std::vector<uint8_t>& bgr) {
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, file.c_str(), av_find_input_format("avi"), nullptr) < 0) return false;
  const AVStream* stream = format->streams[0];
  const AVCodec* decoder = avcodec_find_decoder(stream->codecpar->codec_id);
  AVCodecContext* codec = avcodec_alloc_context3(decoder);
  avcodec_parameters_to_context(codec, stream->codecpar);
  codec->thread_count = 1;
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  bool done = avcodec_open2(codec, decoder, nullptr) >= 0 &&
              av_seek_frame(format, 0, kFrame, AVSEEK_FLAG_BACKWARD) >= 0;
  bool got = false;
  while (done && !got && av_read_frame(format, packet) >= 0) {
    if (avcodec_send_packet(codec, packet) >= 0 && avcodec_receive_frame(codec, frame) >= 0)
      got = frame->pkt_dts == kFrame;
    av_packet_unref(packet);
  }
  if (got) {
    SwsContext* scaler =
        sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format), frame->width, frame->height,
                       AV_PIX_FMT_BGR24, SWS_BILINEAR, nullptr, nullptr, nullptr);
    const int stride = frame->width * 3;
    bgr.resize(size_t(stride) * size_t(frame->height));
    uint8_t* const dst[4] = {bgr.data(), nullptr, nullptr, nullptr};
    const int dstStride[4] = {stride, 0, 0, 0};
    got = scaler && sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, dst, dstStride) > 0;
    sws_freeContext(scaler);
  }
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&codec);
  avformat_close_input(&format);
  return got;
}

void BM_FFmpegFrame100(benchmark::State& state) {
  if (Clip().empty()) return state.SkipWithError("the ffmpeg tool could not make the clip");
  av_log_set_level(AV_LOG_QUIET);
  std::vector<uint8_t> bgr;
  for (auto _ : state) {
    if (!DecodeWithFFmpeg(Clip(), bgr)) return state.SkipWithError("FFmpeg could not decode the frame");
    benchmark::DoNotOptimize(bgr.data());
  }
}
BENCHMARK(BM_FFmpegFrame100)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
