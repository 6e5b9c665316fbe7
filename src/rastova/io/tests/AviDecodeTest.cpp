// Compressed AVI frames: files made by the ffmpeg tool from frames of one known colour each
// (MJPEG, MPEG-4 part 2 and H.264 with B-frames and key frames every 4 frames, PNG, raw YUV and
// raw BGR), read by number in and out of order, with dropped frames, an audio stream before the
// video, through LoadFromFile, and damaged.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "IoTestTools.h"
#include "common/tests/support/AllocationWatch.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStream.h"
#include "rastova/io/RVAvi.h"
#include "rastova/io/RVFileFormat.h"
#include "rastova/io/RastovaIO.h"

namespace rv {
namespace {

using iotest::TempDir;

// Frame i is all kColours[i] (0xRRGGBB).
constexpr uint32_t kColours[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x00FFFF,
                                 0xFF00FF, 0xFFFFFF, 0x000000, 0x808080, 0xFF8000};
constexpr int32_t kFrames = 10;
// Every frame asked for once more, in an order that goes back and skips ahead across key frames.
constexpr int32_t kScrambled[] = {9, 3, 4, 0, 7, 5, 1, 8, 2, 6};

bool HaveFfmpeg() { return std::filesystem::exists("/usr/bin/ffmpeg"); }

struct Clip {
  const char* file;
  const char* what;
  // The ffmpeg tool's options for the file (after "-map 0:v" or maps of their own).
  const char* options;
  int32_t width, height;
  // Largest difference of a channel from the frame's colour: the codecs keep flat colours
  // nearly as they are; YUV 4:2:0 rounds each conversion, the lossy codecs quantise a little.
  int tolerance;
};

constexpr const char* kH264WithBFrames =
    "-c:v libx264 -preset veryfast -crf 10 -bf 2 -g 4 -x264-params scenecut=0:b-adapt=0 -pix_fmt yuv420p";

// Each codec's file. Widths of a multiple of 16 pixels are converted straight into the bitmap's
// rows, others through rows of the decoder's own; both are here.
const Clip kCodecs[] = {
    {"mjpeg.avi", "MJPEG", "-c:v mjpeg -q:v 2", 40, 24, 6},
    {"mpeg4.avi", "MPEG-4 part 2, B-frames", "-c:v mpeg4 -q:v 2 -bf 2 -g 4 -sc_threshold 1000000000", 64, 32,
     6},
    {"h264.avi", "H.264, B-frames", kH264WithBFrames, 48, 16, 6},
    {"h264-444.avi", "H.264, full range", "-c:v libx264 -preset veryfast -qp 0 -pix_fmt yuvj444p", 40, 24, 2},
    {"png.avi", "PNG", "-c:v png", 21, 7, 0},
    {"yuv.avi", "raw YUV 4:2:0", "-c:v rawvideo -pix_fmt yuv420p", 40, 24, 4},
    {"bgr.avi", "raw BGR", "-c:v rawvideo -pix_fmt bgr24", 21, 7, 0},
};
// Frames 2, 3 and 9 dropped; and a video stream after an audio stream.
const Clip kDropped = {"dropped.avi",
                       "",
                       "-c:v mjpeg -q:v 2 -vf \"select='not(between(n,2,3)+eq(n,9))'\" -fps_mode passthrough",
                       32,
                       16,
                       6};
const Clip kAfterAudio = {
    "after-audio.avi",
    "",
    "-map 1:a -map 0:v -c:a pcm_s16le -shortest -c:v libx264 -preset veryfast -crf 10 -g 3 -pix_fmt yuv420p",
    32,
    16,
    6};

// The files of the tests, made by the ffmpeg tool from the colour frames at 25 frames a second
// (and a silent audio source): each test asks for those it reads, and one run of the tool makes
// the ones not made yet (the test program runs once per test).
class AviDecode : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { dir_ = new TempDir; }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  void SetUp() override {
    if (!HaveFfmpeg()) GTEST_SKIP() << "the ffmpeg tool is not installed";
  }
  static bool Make(std::initializer_list<const Clip*> clips) {
    const int32_t w = 64, h = 32;
    if (!std::filesystem::exists(dir_->File("frames.rgb"))) {
      std::vector<uint8_t> raw;
      for (uint32_t c : kColours)
        for (int32_t i = 0; i < w * h; ++i)
          raw.insert(raw.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
      iotest::WriteFileBytes(dir_->File("frames.rgb"), raw);
    }
    std::string command = "/usr/bin/ffmpeg -v error -y -f rawvideo -pix_fmt rgb24 -s 64x32 -r 25 -i " +
                          dir_->File("frames.rgb") + " -f lavfi -i anullsrc=r=8000:cl=mono";
    bool missing = false;
    for (const Clip* c : clips) {
      if (std::filesystem::exists(File(*c))) continue;
      missing = true;
      const std::string options = c->options;
      command += (options.find("-map") == std::string::npos ? " -map 0:v " : " ") + options + " -s " +
                 std::to_string(c->width) + "x" + std::to_string(c->height) + " " + File(*c);
    }
    return !missing || std::system((command + " >/dev/null 2>&1").c_str()) == 0;
  }
  static std::string File(const Clip& c) { return dir_->File(c.file); }
  static TempDir* dir_;
};
TempDir* AviDecode::dir_ = nullptr;

// How many pixels of the bitmap stray more than `tolerance` from the colour in any channel.
int StrayPixels(TRVBitmap& b, uint32_t colour, int tolerance) {
  int stray = 0;
  for (int32_t y = 0; y < b.GetHeight(); ++y)
    for (int32_t x = 0; x < b.GetWidth(); ++x) {
      const TRGB p = b.GetPixels(x, y);
      if (std::abs(p.r - int(colour >> 16)) > tolerance ||
          std::abs(p.g - int((colour >> 8) & 255)) > tolerance ||
          std::abs(p.b - int(colour & 255)) > tolerance)
        ++stray;
    }
  return stray;
}

void ExpectFrame(TRastovaIO& io, int32_t w, int32_t h, uint32_t colour, int tolerance,
                 const std::string& what) {
  ASSERT_FALSE(io.Aborting) << what;
  TRVBitmap& b = *io.GetAttachedRVBitmap();
  ASSERT_EQ(b.GetPixelFormat(), rv24RGB) << what;
  ASSERT_EQ(b.GetWidth(), w) << what;
  ASSERT_EQ(b.GetHeight(), h) << what;
  EXPECT_EQ(StrayPixels(b, colour, tolerance), 0) << what;
}

// The offsets of the video stream's frame chunks ("00dc" or "01dc") in the movie list.
std::vector<size_t> FrameChunks(const std::vector<uint8_t>& avi, const char* id) {
  std::vector<size_t> at;
  const auto le32 = [&](size_t p) {
    return uint32_t(avi[p]) | uint32_t(avi[p + 1]) << 8 | uint32_t(avi[p + 2]) << 16 |
           uint32_t(avi[p + 3]) << 24;
  };
  const std::string bytes(avi.begin(), avi.end());
  size_t p = bytes.find("movi");
  if (p == std::string::npos) return at;
  for (p += 4; p + 8 <= avi.size();) {
    if (std::memcmp(&avi[p], "idx1", 4) == 0) break;
    if (std::memcmp(&avi[p], id, 4) == 0) at.push_back(p);
    p += 8 + le32(p + 4) + (le32(p + 4) & 1);
  }
  return at;
}

TEST_F(AviDecode, EveryFrameOfEachCodecByNumber) {
  ASSERT_TRUE(
      Make({&kCodecs[0], &kCodecs[1], &kCodecs[2], &kCodecs[3], &kCodecs[4], &kCodecs[5], &kCodecs[6]}));
  for (const Clip& c : kCodecs) {
    SCOPED_TRACE(c.what);
    TRastovaIO io;
    ASSERT_EQ(io.OpenAVIFile(File(c)), kFrames);
    ASSERT_FALSE(io.Aborting);
    EXPECT_EQ(io.Params.AVI_FrameDelayTime, 40);
    for (int32_t f = 0; f < kFrames; ++f) {
      io.LoadAVIFrame(f);
      ExpectFrame(io, c.width, c.height, kColours[f], c.tolerance, "in order, frame " + std::to_string(f));
      EXPECT_EQ(io.Params.BitsPerSample, 8);
      EXPECT_EQ(io.Params.SamplesPerPixel, 3);
    }
    for (int32_t f : kScrambled) {
      io.LoadAVIFrame(f);
      ExpectFrame(io, c.width, c.height, kColours[f], c.tolerance,
                  "out of order, frame " + std::to_string(f));
    }
    // A frame asked for twice, and the frame count, which loads nothing.
    io.LoadAVIFrame(6);
    io.LoadAVIFrame(6);
    ExpectFrame(io, c.width, c.height, kColours[6], c.tolerance, "again");
    io.LoadAVIFrame(kFrames);
    ExpectFrame(io, c.width, c.height, kColours[6], c.tolerance, "past the end");
  }
}

// A dropped frame is an empty chunk: it shows the frame before it. In the second file an audio
// stream comes first, so that the video is stream 1 and its chunks are "01dc"; the third has
// lost its index, so that the chunks and the key frames are found by reading the movie list.
TEST_F(AviDecode, DroppedFramesAnAudioStreamFirstAndNoIndex) {
  ASSERT_TRUE(Make({&kDropped, &kAfterAudio, &kCodecs[2]}));
  TRastovaIO io;
  ASSERT_EQ(io.OpenAVIFile(File(kDropped)), kFrames - 1);  // no chunk follows the last one dropped
  const int32_t shown[] = {0, 1, 1, 1, 4, 5, 6, 7, 8};
  for (int32_t f : {0, 1, 2, 3, 4, 5, 6, 7, 8, 3, 2, 8, 4}) {
    io.LoadAVIFrame(f);
    ExpectFrame(io, 32, 16, kColours[shown[f]], kDropped.tolerance, "dropped, frame " + std::to_string(f));
  }

  ASSERT_EQ(FrameChunks(iotest::ReadFileBytes(File(kAfterAudio)), "01dc").size(), size_t(kFrames));
  TRastovaIO second;
  ASSERT_EQ(second.OpenAVIFile(File(kAfterAudio)), kFrames);
  for (int32_t f : kScrambled) {
    second.LoadAVIFrame(f);
    ExpectFrame(second, 32, 16, kColours[f], kAfterAudio.tolerance,
                "after audio, frame " + std::to_string(f));
  }

  const Clip& c = kCodecs[2];
  std::vector<uint8_t> bytes = iotest::ReadFileBytes(File(c));
  const size_t index = std::string(bytes.begin(), bytes.end()).rfind("idx1");
  ASSERT_NE(index, std::string::npos);
  bytes.resize(index);
  for (int i = 0; i < 4; ++i) bytes[size_t(4 + i)] = uint8_t((index - 8) >> (8 * i));
  TempDir dir;
  iotest::WriteFileBytes(dir.File("no-index.avi"), bytes);
  TRastovaIO third;
  ASSERT_EQ(third.OpenAVIFile(dir.File("no-index.avi")), kFrames);
  for (int32_t f : kScrambled) {
    third.LoadAVIFrame(f);
    ExpectFrame(third, c.width, c.height, kColours[f], c.tolerance, "no index, frame " + std::to_string(f));
  }
}

// The whole road: LoadFromFile takes frame Params.ImageIndex of a compressed file.
TEST_F(AviDecode, LoadFromFileTakesTheIndexedFrame) {
  ASSERT_TRUE(Make({&kCodecs[2]}));
  const Clip& c = kCodecs[2];
  TempDir dir;
  const std::string name = dir.File("clip.AVI");
  std::filesystem::copy_file(File(c), name);
  for (int32_t index : {0, 5, 9}) {
    TRastovaIO io;
    int finished = 0;
    io.OnFinishWork = [&](TRastovaIO&) { ++finished; };
    io.Params.ImageIndex = index;
    io.LoadFromFile(name);
    ExpectFrame(io, c.width, c.height, kColours[index], c.tolerance, "index " + std::to_string(index));
    EXPECT_EQ(io.Params.FileType, ioAVI);
    EXPECT_EQ(io.Params.Width, c.width);
    EXPECT_EQ(io.Params.Height, c.height);
    EXPECT_EQ(io.Params.AVI_FrameCount, kFrames);
    EXPECT_EQ(finished, 1);
  }
}

// Damaged compressed files end in their outcome: a file that cannot be read is not opened, a
// damaged or cut frame sets Aborting and leaves the others readable, and no mutation crashes,
// hangs or asks for a block its file cannot justify.
TEST_F(AviDecode, DamagedFilesEndInTheirOutcome) {
  ASSERT_TRUE(Make({&kCodecs[0], &kCodecs[2]}));
  const Clip& mjpeg = kCodecs[0];
  const std::vector<uint8_t> good = iotest::ReadFileBytes(File(mjpeg));
  const std::vector<size_t> chunks = FrameChunks(good, "00dc");
  ASSERT_EQ(chunks.size(), size_t(kFrames));
  const std::string text(good.begin(), good.end());
  const size_t strf = text.find("strf");
  ASSERT_NE(strf, std::string::npos);
  auto patched = [&](size_t at, const std::vector<uint8_t>& with) {
    std::vector<uint8_t> b = good;
    std::copy(with.begin(), with.end(), b.begin() + std::ptrdiff_t(at));
    return b;
  };
  std::vector<uint8_t> frame4Zeroed = good;
  std::fill(frame4Zeroed.begin() + std::ptrdiff_t(chunks[4] + 8),
            frame4Zeroed.begin() + std::ptrdiff_t(chunks[5] - 8), 0);

  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    int32_t count;  // -1: not opened
    std::vector<int32_t> failing;
  } cases[] = {
      {"a codec nobody knows", patched(strf + 8 + 16, {'Z', 'Z', 'Z', 'Z'}), -1, {}},
      {"40000 x 40000 frames", patched(strf + 8 + 4, {0x40, 0x9C, 0, 0, 0x40, 0x9C, 0, 0}), -1, {}},
      {"frame 4 zeroed", frame4Zeroed, kFrames, {4}},
      {"cut inside frame 6",
       std::vector<uint8_t>(good.begin(), good.begin() + std::ptrdiff_t(chunks[6] + 40)),
       7,
       {6}},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    iotest::WriteFileBytes(dir.File("d.avi"), c.bytes);
    TRastovaIO io;
    const size_t largest = test_support::LargestAllocationDuring([&] { io.OpenAVIFile(dir.File("d.avi")); });
    EXPECT_LT(largest, size_t(8) << 20);
    EXPECT_EQ(io.Aborting.load(), c.count < 0);
    EXPECT_EQ(io.Params.AVI_FrameCount, std::max(c.count, 0));
    for (int32_t f = 0; f < c.count; ++f) {
      io.LoadAVIFrame(f);
      if (std::find(c.failing.begin(), c.failing.end(), f) != c.failing.end()) {
        EXPECT_TRUE(io.Aborting) << "frame " << f;
      } else {
        ExpectFrame(io, mjpeg.width, mjpeg.height, kColours[f], mjpeg.tolerance,
                    "frame " + std::to_string(f));
      }
    }
  }

  // Bytes changed at random in the headers or the movie data of an MJPEG and an H.264 file.
  std::mt19937 random(54);
  for (const Clip* clip : {&kCodecs[0], &kCodecs[2]}) {
    const std::vector<uint8_t> clean = iotest::ReadFileBytes(File(*clip));
    const size_t movie = FrameChunks(clean, "00dc").front();
    for (int round = 0; round < 60; ++round) {
      std::vector<uint8_t> b = clean;
      const size_t from = round % 3 == 0 ? 0 : movie;
      for (int k = 0; k < 6; ++k) b[from + random() % (b.size() - from)] = uint8_t(random());
      SCOPED_TRACE(std::string(clip->what) + ", round " + std::to_string(round));
      TRVBitmap bitmap;
      TRVAviFile avi;
      if (!avi.Open(std::make_unique<TRVMemStream>(b.data(), int64_t(b.size())))) continue;
      for (int32_t f : {0, 9, 3, 4, 5, 1}) {
        if (avi.GetFrame(f, bitmap) != 0) {
          EXPECT_GT(bitmap.GetWidth(), 0);
          EXPECT_EQ(bitmap.GetPixelFormat(), rv24RGB);
        }
      }
    }
  }
}

}  // namespace
}  // namespace rv
