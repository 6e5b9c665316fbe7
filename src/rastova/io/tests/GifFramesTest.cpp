// Frames of animated GIF files as the animation shows them: animations written by Pillow with
// frames at their own positions, a transparent index and the disposal modes 2 (background),
// 3 (previous) and 1 (keep), compared with the frames Pillow composes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "IoTestTools.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStream.h"
#include "rastova/io/RastovaIO.h"

namespace rv {
namespace {

using iotest::TempDir;

constexpr int kGifW = 10, kGifH = 8, kGifFrames = 3;

// Writes anim.gif and frameN.rgba (Pillow's composed frame N) into `dir`.
bool WritePillowAnimation(const TempDir& dir) {
  return iotest::RunPython(
      "from PIL import Image\n"
      "d = '" +
      dir.Path().string() +
      "/'\n"
      "W, H = " +
      std::to_string(kGifW) + ", " + std::to_string(kGifH) +
      "\n"
      "pal = [0,0,0, 255,0,0, 0,255,0, 0,0,255, 255,255,0, 255,255,255, 9,9,9, 200,100,50] + [0] * 744\n"
      "def frame(fill, rects):\n"
      "  im = Image.new('P', (W, H), fill); im.putpalette(pal)\n"
      "  for (x0, y0, x1, y1, c) in rects:\n"
      "    for y in range(y0, y1):\n"
      "      for x in range(x0, x1): im.putpixel((x, y), c)\n"
      "  return im\n"
      // Index 6 is transparent; Pillow stores each later frame cut to what changed, at its position.
      "f0 = frame(1, [(2, 2, 5, 5, 2), (7, 0, 9, 2, 6)])\n"
      "f1 = frame(1, [(2, 2, 5, 5, 3), (6, 1, 9, 4, 6)])\n"
      "f2 = frame(1, [(2, 2, 5, 5, 3), (6, 1, 9, 4, 6), (0, 5, 3, 8, 4)])\n"
      "f0.save(d + 'anim.gif', save_all=True, append_images=[f1, f2], disposal=[2, 3, 1], transparency=6,\n"
      "        duration=100, loop=0, background=7, optimize=False)\n"
      "im = Image.open(d + 'anim.gif')\n"
      "assert im.n_frames == 3\n"
      "for i in range(3):\n"
      "  im.seek(i)\n"
      "  open(d + 'frame%d.rgba' % i, 'wb').write(im.convert('RGBA').tobytes())\n");
}

// Compares a loaded frame with Pillow's: alpha everywhere, colour where a pixel shows.
void ExpectSameFrame(TRVBitmap& b, const std::vector<uint8_t>& rgba) {
  ASSERT_EQ(b.GetWidth(), kGifW);
  ASSERT_EQ(b.GetHeight(), kGifH);
  ASSERT_EQ(rgba.size(), size_t(kGifW * kGifH * 4));
  for (int y = 0; y < kGifH; ++y)
    for (int x = 0; x < kGifW; ++x) {
      const uint8_t* p = &rgba[size_t((y * kGifW + x) * 4)];
      const uint8_t alpha = b.HasAlphaBitmap() ? b.AlphaBitmap()->GetPixels_rv8(x, y) : 255;
      ASSERT_EQ(alpha, p[3]) << x << "," << y;
      if (p[3] == 0) continue;
      const TRGB c = b.GetPixels(x, y);
      ASSERT_EQ((std::vector<int>{c.r, c.g, c.b}), (std::vector<int>{p[0], p[1], p[2]})) << x << "," << y;
    }
}

TEST(GifFrames, AnimationFramesMatchPillow) {
  if (!iotest::HavePillow()) GTEST_SKIP() << "Pillow is not available";
  TempDir dir;
  ASSERT_TRUE(WritePillowAnimation(dir));
  for (int i = 0; i < kGifFrames; ++i) {
    SCOPED_TRACE(i);
    TRastovaIO io;
    io.Params.GIF_ImageIndex = i;
    EXPECT_EQ(io.LoadFromFileGIF(dir.File("anim.gif")), kGifFrames);
    ASSERT_FALSE(io.Aborting);
    ExpectSameFrame(*io.GetAttachedRVBitmap(),
                    iotest::ReadFileBytes(dir.File("frame" + std::to_string(i) + ".rgba")));
    // The result is one whole-screen image; the index asked for stays.
    EXPECT_EQ(io.Params.GIF_XPos, 0);
    EXPECT_EQ(io.Params.GIF_YPos, 0);
    EXPECT_EQ(io.Params.GIF_Action, 2);
    EXPECT_EQ(io.Params.GIF_ImageIndex, i);
  }
  // A negative index or one past the last frame composes them all.
  for (int index : {-1, 7}) {
    SCOPED_TRACE(index);
    TRastovaIO io;
    io.Params.GIF_ImageIndex = index;
    TRVWideFileStream file(dir.File("anim.gif"), TRVWideFileStream::fmOpenRead);
    EXPECT_EQ(io.LoadFromStreamGIF(file), kGifFrames);
    ASSERT_FALSE(io.Aborting);
    ExpectSameFrame(*io.GetAttachedRVBitmap(), iotest::ReadFileBytes(dir.File("frame2.rgba")));
  }
}

TEST(GifFrames, ASingleImageIsNotComposed) {
  // A single image placed at (4, 0) stays the image as stored, with its position.
  TRastovaIO io;
  TRVBitmap* frame = io.GetAttachedRVBitmap();
  frame->Allocate(3, 3, rv24RGB);
  frame->Fill(0x00FFFF);
  io.Params.GIF_XPos = 4;
  TMemoryStream single;
  io.SaveToStreamGIF(single);
  ASSERT_FALSE(io.Aborting);
  single.SetPosition(0);
  TRastovaIO back;
  EXPECT_EQ(back.LoadFromStreamGIF(single), 1);
  ASSERT_FALSE(back.Aborting);
  EXPECT_EQ(back.GetAttachedRVBitmap()->GetWidth(), 3);
  EXPECT_EQ(back.Params.GIF_XPos, 4);
}

TEST(GifFrames, AnImplausibleScreenIsRefused) {
  if (!iotest::HavePillow()) GTEST_SKIP() << "Pillow is not available";
  TempDir dir;
  ASSERT_TRUE(WritePillowAnimation(dir));
  std::vector<uint8_t> bytes = iotest::ReadFileBytes(dir.File("anim.gif"));
  // A logical screen of 65535 x 65535 for a file of a few hundred bytes.
  bytes[6] = bytes[7] = bytes[8] = bytes[9] = 0xFF;
  TMemoryStream s;
  s.WriteBuffer(bytes.data(), int64_t(bytes.size()));
  s.SetPosition(0);
  TRastovaIO io;
  io.Params.GIF_ImageIndex = 1;
  io.LoadFromStreamGIF(s);
  EXPECT_TRUE(io.Aborting);
  EXPECT_LT(io.GetAttachedRVBitmap()->ImageSize(), int64_t(1) << 20);
}

}  // namespace
}  // namespace rv
