// Single frames of AVI files: the frame count and delay, frames read by number, and damaged
// files, all written by the test.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "AviTools.h"
#include "IoTestTools.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/io/RVFileFormat.h"
#include "rastova/io/RastovaIO.h"

namespace rv {
namespace {

using iotest::AviSpec;
using iotest::TempDir;

// Whether the bitmap holds frame `frame` of an AviSpec picture exactly.
void ExpectAviFrame(TRVBitmap& b, const AviSpec& spec, int32_t frame, const std::string& what) {
  ASSERT_EQ(b.GetWidth(), spec.width) << what;
  ASSERT_EQ(b.GetHeight(), spec.height) << what;
  int bad = 0;
  for (int32_t y = 0; y < spec.height; ++y)
    for (int32_t x = 0; x < spec.width; ++x) {
      uint8_t bgr[3];
      iotest::AviPixel(frame, x, y, bgr);
      const TRGB c = b.GetPixels(x, y);
      if (c.b != bgr[0] || c.g != bgr[1] || c.r != bgr[2]) ++bad;
    }
  EXPECT_EQ(bad, 0) << what;
}

struct AviEvents {
  explicit AviEvents(TRastovaIO& io) {
    io.OnFinishWork = [this](TRastovaIO&) { ++finished; };
  }
  int finished = 0;
};

TEST(AviFrames, CountDelayAndFramesByNumber) {
  TempDir dir;
  AviSpec spec;
  spec.width = 7;  // rows padded to 4 bytes
  spec.height = 3;
  spec.rate = 25;
  const std::string name = dir.File("clip.avi");
  iotest::WriteFileBytes(name, iotest::MakeAvi(spec));

  TRastovaIO io;
  AviEvents events(io);
  EXPECT_EQ(io.OpenAVIFile(name), 3);
  ASSERT_FALSE(io.Aborting);
  EXPECT_EQ(io.Params.AVI_FrameCount, 3);
  EXPECT_EQ(io.Params.AVI_FrameDelayTime, 40);
  for (int32_t f : {1, 0, 2}) {
    io.LoadAVIFrame(f);
    ASSERT_FALSE(io.Aborting) << f;
    ExpectAviFrame(*io.GetAttachedRVBitmap(), spec, f, "frame " + std::to_string(f));
    EXPECT_EQ(io.Params.BitsPerSample, 8);
    EXPECT_EQ(io.Params.SamplesPerPixel, 3);
    EXPECT_EQ(io.Params.Width, 7);
  }
  EXPECT_EQ(events.finished, 3);
  // Frame numbers outside the file change nothing and report success.
  for (int32_t f : {3, -1, 1 << 30}) {
    io.LoadAVIFrame(f);
    EXPECT_FALSE(io.Aborting) << f;
    ExpectAviFrame(*io.GetAttachedRVBitmap(), spec, 2, "after frame " + std::to_string(f));
  }
  EXPECT_EQ(events.finished, 6);
  io.CloseAVIFile();
  io.LoadAVIFrame(0);  // nothing open
  EXPECT_FALSE(io.Aborting);
  ExpectAviFrame(*io.GetAttachedRVBitmap(), spec, 2, "closed");

  // LoadFromFile takes frame Params.ImageIndex and closes the file again.
  TRastovaIO byName;
  AviEvents byNameEvents(byName);
  byName.Params.ImageIndex = 1;
  byName.LoadFromFile(name);
  ASSERT_FALSE(byName.Aborting);
  ExpectAviFrame(*byName.GetAttachedRVBitmap(), spec, 1, "by name");
  EXPECT_EQ(byName.Params.FileType, ioAVI);
  EXPECT_EQ(byNameEvents.finished, 1);
}

TEST(AviFrames, FrameDelayFromRateAndScale) {
  struct Case {
    uint32_t rate, scale;
    int32_t delay;
  } cases[] = {{25, 1, 40}, {30000, 1001, 33}, {15, 2, 133}, {0, 1, 0}, {25, 0, 0}, {0, 0, 0}};
  TempDir dir;
  for (const Case& c : cases) {
    AviSpec spec;
    spec.rate = c.rate;
    spec.scale = c.scale;
    const std::string name = dir.File("r.avi");
    iotest::WriteFileBytes(name, iotest::MakeAvi(spec));
    TRastovaIO io;
    EXPECT_EQ(io.OpenAVIFile(name), 3) << c.rate << "/" << c.scale;
    EXPECT_FALSE(io.Aborting);
    EXPECT_EQ(io.Params.AVI_FrameDelayTime, c.delay) << c.rate << "/" << c.scale;
    io.LoadAVIFrame(1);
    EXPECT_FALSE(io.Aborting);
  }
}

// The frame chunks come from the index, whichever place its offsets count from, or, when it is
// missing or does not fit the file, from the chunks themselves: the frames are the same.
TEST(AviFrames, FramesFromTheIndexOrTheChunks) {
  AviSpec plain;
  const std::vector<uint8_t> good = iotest::MakeAvi(plain);
  const size_t index = std::string(good.begin(), good.end()).rfind("idx1");
  ASSERT_NE(index, std::string::npos);
  auto changed = [&](const std::function<void(std::vector<uint8_t>&)>& change) {
    std::vector<uint8_t> b = good;
    change(b);
    return b;
  };
  auto put32 = [](std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
  };
  AviSpec fromStart;
  fromStart.indexFromFileStart = true;
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"offsets from the movie list", good},
      {"offsets from the file's start", iotest::MakeAvi(fromStart)},
      {"offsets pointing nowhere",
       changed([&](std::vector<uint8_t>& b) { put32(b, index + 8 + 8, 0x7FFF0000); })},
      {"sizes that do not match", changed([&](std::vector<uint8_t>& b) { put32(b, index + 8 + 12, 7); })},
      {"entries of another stream only", changed([&](std::vector<uint8_t>& b) {
         for (int32_t f = 0; f < plain.frames; ++f) b[index + 8 + size_t(f) * 16 + 1] = '1';
       })},
      {"no index", changed([&](std::vector<uint8_t>& b) {
         b.resize(index);
         put32(b, 4, uint32_t(index - 8));
       })},
  };
  TempDir dir;
  for (const Case& c : cases) {
    const std::string name = dir.File("i.avi");
    iotest::WriteFileBytes(name, c.bytes);
    TRastovaIO io;
    EXPECT_EQ(io.OpenAVIFile(name), plain.frames) << c.what;
    for (int32_t f : {2, 0, 1}) {
      io.LoadAVIFrame(f);
      ASSERT_FALSE(io.Aborting) << c.what << " frame " << f;
      ExpectAviFrame(*io.GetAttachedRVBitmap(), plain, f, c.what);
    }
  }
}

TEST(AviFrames, DamagedFilesEndInTheirOutcome) {
  AviSpec plain;
  const std::vector<uint8_t> good = iotest::MakeAvi(plain);
  const int64_t frame2 = iotest::AviFrameChunkOffset(plain, 2);
  auto cut = [&](int64_t size) { return std::vector<uint8_t>(good.begin(), good.begin() + size); };
  auto withSpec = [](const std::function<void(AviSpec&)>& change) {
    AviSpec s;
    change(s);
    return iotest::MakeAvi(s);
  };
  std::vector<uint8_t> chunkPastEnd = good;
  // Frame 2's chunk claims a megabyte.
  chunkPastEnd[size_t(frame2 + 4)] = 0;
  chunkPastEnd[size_t(frame2 + 5)] = 0;
  chunkPastEnd[size_t(frame2 + 6)] = 0x10;
  chunkPastEnd[size_t(frame2 + 7)] = 0;
  std::vector<uint8_t> notRiff = good;
  std::memcpy(notRiff.data(), "RIFX", 4);

  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    bool opens;
    int32_t count;
    // The outcome of frames 0, 1 and 2: 0 loads, 1 fails (Aborting), 2 out of range (nothing).
    int outcome[3];
  } cases[] = {
      {"cut inside hdrl", cut(iotest::AviHeaderListOffset() + 70), false, 0, {}},
      {"cut inside frame 2", cut(frame2 + 20), true, 3, {0, 0, 1}},
      {"cut before frame 2", cut(frame2), true, 2, {0, 0, 2}},
      {"frame count 2^31", withSpec([](AviSpec& s) { s.length = int64_t(1) << 31; }), true, 3, {0, 0, 0}},
      {"frame count 0", withSpec([](AviSpec& s) { s.length = 0; }), true, 0, {2, 2, 2}},
      {"frame chunk past the end", chunkPastEnd, true, 3, {0, 0, 1}},
      {"bitmap width 2^31",
       withSpec([](AviSpec& s) { s.headerWidth = int64_t(1) << 31; }),
       true,
       3,
       {1, 1, 1}},
      {"bitmap wider than the frame", withSpec([](AviSpec& s) { s.headerWidth = 1000; }), true, 3, {1, 1, 1}},
      {"compressed frames", withSpec([](AviSpec& s) { s.compression = 0x47504A4D; }), true, 3, {1, 1, 1}},
      {"no RIFF", notRiff, false, 0, {}},
      {"empty", {}, false, 0, {}},
  };
  TempDir dir;
  for (const Case& c : cases) {
    const std::string name = dir.File("d.avi");
    iotest::WriteFileBytes(name, c.bytes);
    TRastovaIO io;
    AviEvents events(io);
    EXPECT_EQ(io.OpenAVIFile(name), c.count) << c.what;
    EXPECT_EQ(io.Aborting.load(), !c.opens) << c.what;
    EXPECT_EQ(io.Params.AVI_FrameCount, c.count) << c.what;
    if (c.opens) {
      for (int32_t f = 0; f < 3; ++f) {
        io.GetAttachedRVBitmap()->Allocate(2, 2, rv24RGB);
        io.LoadAVIFrame(f);
        EXPECT_EQ(io.Aborting.load(), c.outcome[f] == 1) << c.what << " frame " << f;
        if (c.outcome[f] == 0) {
          ExpectAviFrame(*io.GetAttachedRVBitmap(), plain, f, c.what);
        } else if (c.outcome[f] == 2) {
          EXPECT_EQ(io.GetAttachedRVBitmap()->GetWidth(), 2) << c.what;
        }
      }
      EXPECT_EQ(events.finished, 3) << c.what;
    }
    // Through LoadFromFile a file that cannot be opened ends with the finish event too.
    TRastovaIO byName;
    AviEvents byNameEvents(byName);
    byName.LoadFromFile(name);
    EXPECT_EQ(byNameEvents.finished, 1) << c.what;
    if (!c.opens) {
      EXPECT_TRUE(byName.Aborting) << c.what;
    }
  }
  // A missing file is an outcome, not an error.
  TRastovaIO io;
  AviEvents events(io);
  EXPECT_EQ(io.OpenAVIFile(dir.File("missing.avi")), 0);
  EXPECT_TRUE(io.Aborting);
  EXPECT_NO_THROW(io.LoadFromFile(dir.File("missing.avi")));
  EXPECT_TRUE(io.Aborting);
  EXPECT_EQ(events.finished, 1);
}

}  // namespace
}  // namespace rv
