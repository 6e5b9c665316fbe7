// The I/O component: load and save by name and stream, events, outcomes, safe saving, the
// attached view and the resolution steps.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "IoTestTools.h"
#include "common/tests/support/ReplacedFiles.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVUtils.h"
#include "rastova/io/RVFileFormat.h"
#include "rastova/io/RastovaIO.h"

namespace rv {
namespace {

using iotest::TempDir;
using iotest::TestPixel;

bool Has(int32_t type) { return GetFileFormatInfo(type) != nullptr; }

// A sculpt-map-like picture: 24-bit colour with an 8-bit alpha channel.
std::unique_ptr<TRVBitmap> MakePicture(int32_t w, int32_t h) {
  auto b = std::make_unique<TRVBitmap>(w, h, rv24RGB);
  TRVBitmap* alpha = b->AlphaBitmap();
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const iotest::Rgba p = TestPixel(x, y);
      b->SetPixels(x, y, (uint32_t(p.r) << 16) | (uint32_t(p.g) << 8) | p.b);
      alpha->SetPixels_rv8(x, y, p.a);
    }
  return b;
}

// Every pixel and alpha value of the test picture.
void ExpectPicture(TRVBitmap& b, int32_t w, int32_t h, bool withAlpha, const std::string& what) {
  ASSERT_EQ(b.GetWidth(), w) << what;
  ASSERT_EQ(b.GetHeight(), h) << what;
  ASSERT_EQ(b.HasAlphaBitmap(), withAlpha) << what;
  int bad = 0;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const iotest::Rgba p = TestPixel(x, y);
      const TRGB c = b.GetPixels(x, y);
      if (c.r != p.r || c.g != p.g || c.b != p.b ||
          (withAlpha && b.AlphaBitmap()->GetPixels_rv8(x, y) != p.a))
        ++bad;
    }
  EXPECT_EQ(bad, 0) << what;
}

// Counts the finish events and the progress reports of a component.
struct EventLog {
  explicit EventLog(TRastovaIO& io) {
    io.OnFinishWork = [this](TRastovaIO&) { ++finished; };
    io.OnProgress = [this](TRastovaIO&, int32_t per) { last = per; };
  }
  int finished = 0;
  int32_t last = -1;
};

TEST(RastovaIOEndToEnd, ThirtyTwoBitPictureThroughTargaAndPngFiles) {
  TempDir dir;
  std::unique_ptr<TRVBitmap> picture = MakePicture(257, 129);
  std::unique_ptr<TRVBitmap> inFile = MakePicture(257, 129);
  // Rows and alpha rows in temporary files, mapped one at a time.
  for (TRVBitmap* b : {inFile.get(), inFile->AlphaBitmap()}) {
    b->MemoryThreshold = 0;
    b->SetLocation(rvInTempFile);
    ASSERT_EQ(b->GetLocation(), rvInTempFile);
  }
  for (const char* name : {"sculpt.tga", "sculpt.png", "sculpt.TGA", "sculpt.pix", "file.tga", "file.png"}) {
    TRastovaIO out(std::string(name).rfind("file", 0) == 0 ? inFile.get() : picture.get());
    out.Params.TGA_Author = "ZEPHOR";
    out.Params.TGA_ImageName = "sculpt";
    out.SaveToFile(dir.File(name));
    ASSERT_FALSE(out.Aborting) << name;
    TRVBitmap loaded;
    TRastovaIO in(&loaded);
    in.LoadFromFile(dir.File(name));
    ASSERT_FALSE(in.Aborting) << name;
    ExpectPicture(loaded, 257, 129, true, name);
    EXPECT_EQ(in.Params.FileType, std::string(name).find("png") != std::string::npos ? ioPNG : ioTGA) << name;
  }
  EXPECT_EQ(FindFileFormat(dir.File("sculpt.pix"), true), ioTGA);  // pix is saved as Targa
}

TEST(RastovaIOEndToEnd, ReadsPicturesWrittenByPillow) {
  if (!iotest::HavePillow()) GTEST_SKIP() << "Pillow (python3-pil) is not installed";
  TempDir dir;
  std::string script = "from PIL import Image\n";
  script += iotest::kPyPixel;
  script +=
      "im = Image.new('RGBA', (31, 17))\n"
      "im.putdata([px(x, y) for y in range(17) for x in range(31)])\n"
      "d = '";
  script += dir.Path().string();
  script +=
      "/'\n"
      "im.save(d + 'p.tga', compression='tga_rle')\n"
      "im.save(d + 'p.png')\n"
      "im.convert('RGB').save(d + 'p.bmp')\n";
  ASSERT_TRUE(iotest::RunPython(script));
  for (const char* name : {"p.tga", "p.png", "p.bmp"}) {
    const bool bmp = std::strstr(name, "bmp") != nullptr;
    if (bmp && !Has(ioBMP)) continue;
    TRastovaIO io;
    io.LoadFromFile(dir.File(name));
    ASSERT_FALSE(io.Aborting) << name;
    ExpectPicture(*io.GetAttachedRVBitmap(), 31, 17, !bmp, name);
  }
}

TEST(RastovaIOEvents, EachPathFiresTheFinishEventOnceOrNever) {
  TempDir dir;
  std::unique_ptr<TRVBitmap> picture = MakePicture(8, 5);
  {
    TRastovaIO io(picture.get());
    io.SaveToFile(dir.File("ok.tga"));
  }
  iotest::WriteFileBytes(dir.File("text.tga"), std::vector<uint8_t>(40, 'x'));
  // A Windows metafile without the placeable header that would give its size.
  std::vector<uint8_t> wmf(64, 0);
  wmf[0] = 1;
  wmf[2] = 9;
  iotest::WriteFileBytes(dir.File("x.wmf"), wmf);
  struct Case {
    const char* what;
    std::function<void(TRastovaIO&)> run;
    int events;
    bool aborting;
  } cases[] = {
      {"load ok", [&](TRastovaIO& io) { io.LoadFromFile(dir.File("ok.tga")); }, 1, false},
      {"load by content", [&](TRastovaIO& io) { io.LoadFromFileAuto(dir.File("ok.tga")); }, 1, false},
      {"load damaged", [&](TRastovaIO& io) { io.LoadFromFile(dir.File("text.tga")); }, 1, true},
      {"load empty name", [&](TRastovaIO& io) { io.LoadFromFile(""); }, 1, true},
      {"load unknown extension", [&](TRastovaIO& io) { io.LoadFromFile(dir.File("x.qqq")); }, 1, true},
      {"load metafile without size", [&](TRastovaIO& io) { io.LoadFromFile(dir.File("x.wmf")); }, 1, true},
      {"load address", [&](TRastovaIO& io) { io.LoadFromFile("http://localhost/x.png"); }, 1, true},
      {"load type without row", [&](TRastovaIO& io) { io.LoadFromFileFormat(dir.File("ok.tga"), ioRVV); }, 0,
       false},
      {"save ok", [&](TRastovaIO& io) { io.SaveToFile(dir.File("new.tga")); }, 1, false},
      {"save empty name", [&](TRastovaIO& io) { io.SaveToFile(""); }, 0, true},
      {"save read-only format", [&](TRastovaIO& io) { io.SaveToFile(dir.File("x.cur")); }, 0, true},
      {"save unknown extension", [&](TRastovaIO& io) { io.SaveToFile(dir.File("x.qqq")); }, 0, true},
      {"save stream type without writer",
       [&](TRastovaIO& io) {
         TMemoryStream s;
         io.SaveToStream(s, ioBMPRAW);
       },
       0, true},
      {"params ok", [&](TRastovaIO& io) { io.ParamsFromFile(dir.File("ok.tga")); }, 1, false},
      {"params of text", [&](TRastovaIO& io) { io.ParamsFromFile(dir.File("text.tga")); }, 1, true},
      {"buffer without data", [&](TRastovaIO& io) { io.LoadFromBuffer(nullptr, 10, 0); }, 0, true},
  };
  for (const Case& c : cases) {
    TRVBitmap target;
    target.Assign(picture.get());
    TRastovaIO io(&target);
    EventLog log(io);
    io.Aborting = false;
    c.run(io);
    EXPECT_EQ(log.finished, c.events) << c.what;
    EXPECT_EQ(io.Aborting.load(), c.aborting) << c.what;
    if (log.finished) {
      EXPECT_EQ(log.last, 100) << c.what;
    }
  }
  // A file that cannot be opened: the error reaches the caller after the finish event.
  TRastovaIO io;
  EventLog log(io);
  EXPECT_THROW(io.LoadFromFile(dir.File("missing.tga")), EFOpenError);
  EXPECT_EQ(log.finished, 1);
  EXPECT_TRUE(io.Aborting);
  EXPECT_EQ(FindFileFormat(dir.File("x.cur"), false), 0);  // nothing was created
  EXPECT_FALSE(FileExistsUnicode(dir.File("x.qqq")));
}

TEST(RastovaIOEvents, UnrecognisedStreamsAndMissingBitmapsChangeNothing) {
  const std::string text = "just some text, no picture in here at all";
  for (bool before : {false, true}) {
    TRastovaIO io;
    EventLog log(io);
    io.Aborting = before;
    TRVMemStream s(text.data(), static_cast<int64_t>(text.size()));
    io.LoadFromStream(s);
    EXPECT_EQ(log.finished, 0);
    EXPECT_EQ(io.Aborting.load(), before);
  }
  TRastovaIO io;
  io.SetAttachedRVBitmap(nullptr);
  EventLog log(io);
  io.LoadFromFile("/nonexistent/x.tga");
  EXPECT_EQ(log.finished, 0);
  // Saving without a bitmap fails, with the event.
  io.SaveToFile("/nonexistent/x.tga");
  EXPECT_EQ(log.finished, 1);
  EXPECT_TRUE(io.Aborting);
}

TEST(RastovaIOSafeSave, AFailedSaveLeavesTheOldFileByteForByte) {
  TempDir dir;
  const std::string target = dir.File("keep.tga");
  const std::vector<uint8_t> old = {'o', 'l', 'd', ' ', 'c', 'o', 'n', 't', 'e', 'n', 't'};
  iotest::WriteFileBytes(target, old);
  ::chmod(target.c_str(), 0640);
  std::unique_ptr<TRVBitmap> picture = MakePicture(64, 64);
  // Cancelled half-way through the writer.
  for (const char* name : {"keep.tga", "keep.png"}) {
    const std::string file = dir.File(name);
    iotest::WriteFileBytes(file, old);
    TRastovaIO io(picture.get());
    EventLog log(io);
    io.OnProgress = [](TRastovaIO& sender, int32_t per) {
      if (per >= 50 && per < 100) sender.Aborting = true;
    };
    io.SaveToFile(file);
    EXPECT_TRUE(io.Aborting) << name;
    EXPECT_EQ(log.finished, 1) << name;
    EXPECT_EQ(iotest::ReadFileBytes(file), old) << name;
  }
  // Without a bitmap to save.
  {
    TRastovaIO io;
    io.SetAttachedRVBitmap(nullptr);
    io.SaveToFile(target);
    EXPECT_TRUE(io.Aborting);
    EXPECT_EQ(iotest::ReadFileBytes(target), old);
  }
  // The target is a folder: nothing is written anywhere.
  std::filesystem::create_directory(dir.File("folder.tga"));
  {
    TRastovaIO io(picture.get());
    EventLog log(io);
    EXPECT_THROW(io.SaveToFile(dir.File("folder.tga")), EFCreateError);
    EXPECT_TRUE(io.Aborting);
    EXPECT_EQ(log.finished, 1);
  }
  // A folder that does not exist.
  {
    TRastovaIO io(picture.get());
    EXPECT_THROW(io.SaveToFile(dir.File("no/such/folder/x.tga")), EFCreateError);
    EXPECT_TRUE(io.Aborting);
  }
  // No temporary file is left behind, and a successful save keeps the file's permissions.
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"folder.tga", "keep.png", "keep.tga"}));
  {
    TRastovaIO io(picture.get());
    io.SaveToFile(target);
    EXPECT_FALSE(io.Aborting);
  }
  struct stat st {};
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_NE(iotest::ReadFileBytes(target), old);
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"folder.tga", "keep.png", "keep.tga"}));
}

TEST(RastovaIOSafeSave, ASaveKeepsALinkAndThePermissionsOfWhatItReplaces) {
  std::unique_ptr<TRVBitmap> picture = MakePicture(16, 16);
  common::test::ExpectSaveKeepsLinksAndModes(".tga", [&](const std::string& name) {
    TRastovaIO io(picture.get());
    io.SaveToFile(name);
    EXPECT_FALSE(io.Aborting);
  });
}

TEST(RastovaIOStreams, TargaAndPngThroughStreamsAndBuffers) {
  std::unique_ptr<TRVBitmap> picture = MakePicture(40, 30);
  for (int32_t type : {ioTGA, ioPNG}) {
    TMemoryStream stream;
    TRastovaIO out(picture.get());
    out.SaveToStream(stream, type);
    ASSERT_FALSE(out.Aborting) << type;
    stream.SetPosition(0);
    TRastovaIO in;
    in.LoadFromStream(stream);
    ASSERT_FALSE(in.Aborting) << type;
    EXPECT_EQ(in.Params.FileType, type);
    EXPECT_TRUE(in.Params.FileName.empty());
    ExpectPicture(*in.GetAttachedRVBitmap(), 40, 30, true, "stream");
    TRastovaIO fromBuffer;
    fromBuffer.LoadFromBuffer(stream.Memory(), stream.GetSize(), type);
    ASSERT_FALSE(fromBuffer.Aborting) << type;
    ExpectPicture(*fromBuffer.GetAttachedRVBitmap(), 40, 30, true, "buffer");
    TRastovaIO params;
    params.ParamsFromBuffer(stream.Memory(), stream.GetSize(), 0);
    EXPECT_EQ(params.Params.FileType, type);
    EXPECT_EQ(params.Params.Width, 40);
    EXPECT_EQ(params.Params.Height, 30);
  }
}

TEST(RastovaIOStreams, TwoJpegsWithStreamHeadersReadBackInSequence) {
  if (!Has(ioJPEG)) GTEST_SKIP() << "the JPEG codec is not built yet";
  TMemoryStream stream;
  std::unique_ptr<TRVBitmap> first = MakePicture(48, 32);
  TRVBitmap second(20, 10, rv24RGB);
  second.Fill(0x0000FF);  // red
  TRastovaIO out(first.get());
  out.StreamHeaders = true;
  out.SaveToStreamJpeg(stream);
  ASSERT_FALSE(out.Aborting);
  const int64_t firstEnd = stream.GetPosition();
  out.SetAttachedRVBitmap(&second);
  out.SaveToStreamJpeg(stream);
  ASSERT_FALSE(out.Aborting);
  const int64_t end = stream.GetPosition();
  // Each header holds the length of its data.
  const uint8_t* m = stream.Memory();
  EXPECT_EQ(std::memcmp(m, "JFIF\0\0\0\0", 8), 0);
  EXPECT_EQ(int64_t(m[8] | (m[9] << 8) | (m[10] << 16) | (uint32_t(m[11]) << 24)), firstEnd - 12);
  stream.SetPosition(0);
  TRastovaIO in;
  in.LoadFromStream(stream);
  ASSERT_FALSE(in.Aborting);
  EXPECT_EQ(stream.GetPosition(), firstEnd);
  EXPECT_EQ(in.GetAttachedRVBitmap()->GetWidth(), 48);
  in.LoadFromStreamJpeg(stream);
  ASSERT_FALSE(in.Aborting);
  EXPECT_EQ(stream.GetPosition(), end);
  EXPECT_EQ(in.GetAttachedRVBitmap()->GetWidth(), 20);
  const TRGB c = in.GetAttachedRVBitmap()->GetPixels(10, 5);
  EXPECT_GT(c.r, 240);
  EXPECT_LT(c.g, 16);
  // A header whose length runs past the end is held to the bytes that are there.
  std::vector<uint8_t> cut(stream.Data().begin(), stream.Data().begin() + firstEnd);
  cut[11] = 0x7F;
  TRVMemStream shortStream(cut.data(), static_cast<int64_t>(cut.size()));
  TRastovaIO again;
  again.LoadFromStreamJpeg(shortStream);
  EXPECT_FALSE(again.Aborting);
  EXPECT_EQ(shortStream.GetPosition(), firstEnd);
}

// A view that hands out its own image buffer.
class FakeView : public TRVIOView {
 public:
  ~FakeView() override {
    if (handler) handler(true);
  }
  void* AddBitmapChangeHandler(TBitmapChangeHandler h) override {
    handler = std::move(h);
    return this;
  }
  void RemoveBitmapChangeHandler(void* registration) override {
    if (registration == this) handler = nullptr;
  }
  TRVBitmap* GetRVBitmap() override { return &bitmap; }
  platform::TBitmap* GetBitmap() override { return nullptr; }
  TColor GetBackground() override { return 0x123456; }
  int32_t GetDpiX() override { return dpiX; }
  int32_t GetDpiY() override { return dpiY; }
  bool IsRastovaView() override { return true; }
  void LockPaint() override { ++locks; }
  int32_t UnlockPaint() override { return --locks; }
  void SetDPI(int32_t x, int32_t y) override {
    dpiX = x;
    dpiY = y;
  }
  void Update() override { ++updates; }
  void ImageChange() override { ++changes; }

  TRVBitmap bitmap;
  TBitmapChangeHandler handler;
  int32_t dpiX = 96, dpiY = 96;
  int locks = 0, updates = 0, changes = 0;
};

TEST(RastovaIOView, LoadsIntoTheViewAndForgetsItWhenItIsDestroyed) {
  TempDir dir;
  std::unique_ptr<TRVBitmap> picture = MakePicture(12, 9);
  {
    TRastovaIO out(picture.get());
    out.Params.SetDpiX(150);
    out.Params.SetDpiY(150);
    out.SaveToFile(dir.File("v.tga"));
  }
  TRastovaIO io;
  auto view = std::make_unique<FakeView>();
  io.SetAttachedView(view.get());
  EXPECT_EQ(io.GetAttachedRVBitmap(), &view->bitmap);
  EXPECT_FALSE(io.OwnsBitmap());
  io.SetBackground(7);
  EXPECT_EQ(io.GetBackground(), 0x123456);  // the view's colour
  io.LoadFromFile(dir.File("v.tga"));
  ASSERT_FALSE(io.Aborting);
  ExpectPicture(view->bitmap, 12, 9, true, "view");
  EXPECT_EQ(view->updates, 1);
  EXPECT_EQ(view->changes, 1);
  EXPECT_EQ(view->locks, 0);
  EXPECT_EQ(view->dpiX, io.Params.DpiX);
  // The view's own notification hands its resolution to the parameters.
  view->dpiX = 72;
  view->handler(false);
  EXPECT_EQ(io.Params.DpiX, 72);
  view.reset();
  EXPECT_EQ(io.GetAttachedView(), nullptr);
  EXPECT_EQ(io.GetAttachedRVBitmap(), nullptr);
  EventLog log(io);
  io.LoadFromFile(dir.File("v.tga"));  // nothing to load into: no event
  EXPECT_EQ(log.finished, 0);
  // Detaching gives a fresh own bitmap.
  io.SetAttachedView(nullptr);
  ASSERT_NE(io.GetAttachedRVBitmap(), nullptr);
  EXPECT_TRUE(io.OwnsBitmap());
}

TEST(RastovaIODpi, AdjustDPIScalesTheShorterSide) {
  struct Case {
    int32_t w, h, dx, dy, newW, newH, dpi;
  } cases[] = {
      {300, 200, 100, 50, 300, 400, 100}, {200, 300, 100, 50, 100, 300, 50}, {30, 20, 72, 72, 30, 20, 72}};
  for (const Case& c : cases) {
    TRVBitmap b(c.w, c.h, rv24RGB);
    b.Fill(0x00FF00);
    b.AlphaBitmap()->Fill(9);
    TRastovaIO io(&b);
    io.Params.Width = c.w;
    io.Params.Height = c.h;
    io.Params.DpiX = c.dx;
    io.Params.DpiY = c.dy;
    io.AdjustDPI();
    EXPECT_EQ(b.GetWidth(), c.newW);
    EXPECT_EQ(b.GetHeight(), c.newH);
    EXPECT_EQ(io.Params.DpiX, c.dpi);
    EXPECT_EQ(io.Params.DpiY, c.dpi);
    ASSERT_TRUE(b.HasAlphaBitmap());
    EXPECT_EQ(b.AlphaBitmap()->GetWidth(), c.newW);
    EXPECT_EQ(b.AlphaBitmap()->GetPixels_rv8(c.newW - 1, c.newH - 1), 9);
    EXPECT_EQ(b.GetPixels(c.newW - 1, c.newH - 1), (TRGB{0, 255, 0}));
  }
}

// The filtered setting blends the rows it adds and works in 24-bit colour; without it rows are
// repeated and the pixel format stays. The alpha channel is repeated in both cases.
TEST(RastovaIODpi, FilteredAdjustDPIBlendsInTwentyFourBits) {
  for (const TRVPixelFormat format : {rv24RGB, rv8g}) {
    for (const bool filtered : {false, true}) {
      const std::string what = std::string(filtered ? "filtered" : "nearest") + (format == rv8g ? " grey" : " colour");
      // Black and white rows, twice as many rows after the adjustment.
      TRVBitmap b(8, 2, format);
      for (int32_t x = 0; x < 8; ++x) {
        b.SetPixels(x, 0, 0x000000);
        b.SetPixels(x, 1, 0xFFFFFF);
      }
      b.AlphaBitmap()->Fill(0);
      for (int32_t x = 0; x < 8; ++x) b.AlphaBitmap()->SetPixels_rv8(x, 1, 200);
      TRastovaIO io(&b);
      io.FilteredAdjustDPI = filtered;
      io.Params.Width = 8;
      io.Params.Height = 2;
      io.Params.DpiX = 100;
      io.Params.DpiY = 50;
      io.AdjustDPI();
      ASSERT_EQ(b.GetWidth(), 8) << what;
      ASSERT_EQ(b.GetHeight(), 4) << what;
      EXPECT_EQ(b.GetPixelFormat(), filtered ? rv24RGB : format) << what;
      std::vector<int> column;
      for (int32_t y = 0; y < 4; ++y) {
        const TRGB c = b.GetPixels(5, y);
        EXPECT_TRUE(c.r == c.g && c.g == c.b) << what;
        column.push_back(c.r);
        for (int32_t x = 0; x < 8; ++x) EXPECT_EQ(b.GetPixels(x, y), c) << what << " " << x << "," << y;
      }
      if (filtered) {
        // The added row halfway between black and white is grey.
        EXPECT_EQ(column[0], 0) << what;
        EXPECT_TRUE(column[1] > 100 && column[1] < 155) << what << " " << column[1];
        EXPECT_EQ(column[2], 255) << what;
        EXPECT_EQ(column[3], 255) << what;
      } else {
        EXPECT_EQ(column, (std::vector<int>{0, 0, 255, 255})) << what;
      }
      ASSERT_TRUE(b.HasAlphaBitmap()) << what;
      ASSERT_EQ(b.AlphaBitmap()->GetHeight(), 4) << what;
      for (int32_t y = 0; y < 4; ++y) EXPECT_EQ(b.AlphaBitmap()->GetPixels_rv8(3, y), y < 2 ? 0 : 200) << what;
    }
  }
}

}  // namespace
}  // namespace rv
