// The per-format operations of GIF, PCX, DCX, icon, cursor, PNM, WBMP, Photoshop, raw pixels
// and the metafiles: detection by content and extension, stream headers, the loaders' own steps
// and the savers' conversions.
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "IoTestTools.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStream.h"
#include "rastova/io/RVFileFormat.h"
#include "rastova/io/RastovaIO.h"

namespace rv {
namespace {

using iotest::TempDir;

void FillPicture(TRVBitmap& b, int w, int h) {
  b.Allocate(w, h, rv24RGB);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const iotest::Rgba p = iotest::TestPixel(x, y);
      b.SetPixels(x, y, uint32_t(p.r) << 16 | uint32_t(p.g) << 8 | p.b);
    }
}

TEST(FormatOps, SavedFilesAreRecognisedByContentAndExtension) {
  TempDir dir;
  struct Case {
    const char* ext;
    int32_t type;
    bool content;  // the format has a content test
  };
  const Case cases[] = {{".gif", ioGIF, true}, {".pcx", ioPCX, true},   {".dcx", ioDCX, true},
                        {".ico", ioICO, true}, {".ppm", ioPXM, true},   {".pgm", ioPXM, true},
                        {".psd", ioPSD, true}, {".wbmp", ioWBMP, false}};
  for (const Case& c : cases) {
    TRastovaIO io;
    FillPicture(*io.GetAttachedRVBitmap(), 40, 30);
    io.Params.ICO_Sizes[0] = {40, 30};  // icons are written at their listed sizes
    const std::string name = dir.File(std::string("f") + c.ext);
    io.SaveToFile(name);
    ASSERT_FALSE(io.Aborting) << c.ext;
    EXPECT_EQ(io.Params.FileType, c.type) << c.ext;
    EXPECT_EQ(FindFileFormat(name, true), c.content ? c.type : 0) << c.ext;
    // Loaded back through the extension.
    TRastovaIO back;
    back.LoadFromFile(name);
    ASSERT_FALSE(back.Aborting) << c.ext;
    EXPECT_EQ(back.GetAttachedRVBitmap()->GetWidth(), 40) << c.ext;
    EXPECT_EQ(back.Params.FileType, c.type) << c.ext;
    // The parameters alone.
    TRastovaIO params;
    params.ParamsFromFileFormat(name, c.type);
    EXPECT_EQ(params.Params.Width, 40) << c.ext;
    EXPECT_EQ(params.Params.Height, 30) << c.ext;
  }
  // An icon file named .cur is a cursor when the extension decides, an icon otherwise.
  const std::string ico = dir.File("f.ico");
  const std::string cur = dir.File("f2.cur");
  iotest::WriteFileBytes(cur, iotest::ReadFileBytes(ico));
  EXPECT_EQ(FindFileFormat(cur, true), ioCUR);
  EXPECT_EQ(FindFileFormat(cur, false), ioICO);
  // Metafiles are recognised but not drawn: loading one fails.
  std::vector<uint8_t> wmf(18, 0);
  wmf[0] = 1;
  wmf[2] = 9;
  wmf.resize(64, 0);
  std::vector<uint8_t> emf(128, 0);
  emf[0] = 1;
  std::memcpy(&emf[40], " EMF", 4);
  for (const auto& [bytes, ext, type] : {std::tuple{wmf, ".wmf", ioWMF}, std::tuple{emf, ".emf", ioEMF}}) {
    const std::string metaName = dir.File(std::string("m") + ext);
    iotest::WriteFileBytes(metaName, bytes);
    EXPECT_EQ(FindFileFormat(metaName, true), type) << ext;
    TRastovaIO meta;
    meta.LoadFromFile(metaName);
    EXPECT_TRUE(meta.Aborting) << ext;
  }
  // A cursor cannot be saved.
  TRastovaIO save;
  FillPicture(*save.GetAttachedRVBitmap(), 4, 4);
  save.SaveToFile(dir.File("x.cur"));
  EXPECT_TRUE(save.Aborting);
}

TEST(FormatOps, PcxStreamHeadersLetImagesFollowEachOther) {
  TRastovaIO io;
  io.StreamHeaders = true;
  TMemoryStream s;
  FillPicture(*io.GetAttachedRVBitmap(), 9, 5);
  io.SaveToStreamPCX(s);
  ASSERT_FALSE(io.Aborting);
  FillPicture(*io.GetAttachedRVBitmap(), 6, 4);
  io.SaveToStreamPCX(s);
  const int64_t end = s.GetPosition();
  EXPECT_EQ(std::memcmp(s.Memory(), "PCX2\0\0\0\0", 8), 0);
  // The content test knows the header.
  s.SetPosition(0);
  EXPECT_EQ(FindStreamFormat(s), ioPCX);
  TRastovaIO back;
  back.StreamHeaders = true;
  back.LoadFromStreamPCX(s);
  ASSERT_FALSE(back.Aborting);
  EXPECT_EQ(back.GetAttachedRVBitmap()->GetWidth(), 9);
  back.LoadFromStreamPCX(s);
  ASSERT_FALSE(back.Aborting);
  EXPECT_EQ(back.GetAttachedRVBitmap()->GetWidth(), 6);
  EXPECT_EQ(s.GetPosition(), end);
  // The older four-byte header, and a header that is not PCX.
  TMemoryStream old;
  old.WriteBuffer("PCX", 4);
  TMemoryStream plain;
  TRastovaIO writer;
  FillPicture(*writer.GetAttachedRVBitmap(), 5, 5);
  writer.SaveToStreamPCX(plain);
  old.WriteBuffer(plain.Memory(), plain.GetSize());
  old.SetPosition(0);
  back.LoadFromStreamPCX(old);
  EXPECT_FALSE(back.Aborting);
  EXPECT_EQ(back.GetAttachedRVBitmap()->GetWidth(), 5);
  TMemoryStream wrong;
  wrong.WriteBuffer("TIFF\0\0\0\0\0\0\0\0", 12);
  wrong.SetPosition(0);
  back.LoadFromStreamPCX(wrong);
  EXPECT_TRUE(back.Aborting);
}

TEST(FormatOps, GifLoaderCountsFramesAndSetsTheBackground) {
  TRastovaIO io;
  FillPicture(*io.GetAttachedRVBitmap(), 12, 8);
  io.Params.GIF_Background = TRGB{30, 20, 10};
  TMemoryStream s;
  io.SaveToStreamGIF(s);
  ASSERT_FALSE(io.Aborting);
  s.SetPosition(0);
  TRastovaIO back;
  EXPECT_EQ(back.LoadFromStreamGIF(s), 1);
  EXPECT_FALSE(back.Aborting);
  EXPECT_EQ(back.GetAttachedRVBitmap()->GetWidth(), 12);
  EXPECT_EQ(back.Params.FileType, ioGIF);
}

TEST(FormatOps, DcxSaverWritesANewOnePageFile) {
  TRastovaIO io;
  FillPicture(*io.GetAttachedRVBitmap(), 7, 3);
  TMemoryStream s;
  s.WriteBuffer("old data that is replaced", 25);
  io.Params.SetImageIndex(4);
  io.SaveToStreamDCX(s);
  ASSERT_FALSE(io.Aborting);
  s.SetPosition(0);
  EXPECT_EQ(FindStreamFormat(s), ioDCX);
  TRastovaIO back;
  back.LoadFromStreamDCX(s);
  EXPECT_FALSE(back.Aborting);
  EXPECT_EQ(back.GetAttachedRVBitmap()->GetWidth(), 7);
}

TEST(FormatOps, PhotoshopSingleLayerGivesThePictureItsTransparency) {
  // A document of one layer at (2, 1) smaller than the picture: its alpha lands at its place.
  TRVBitmap merged;
  FillPicture(merged, 10, 6);
  TPSDLayerList layers;
  auto layer = std::make_unique<TPSDLayer>();
  FillPicture(*layer->Bitmap, 4, 3);
  layer->Bitmap->AlphaBitmap()->Fill(100);
  layer->Left = 2;
  layer->Top = 1;
  layers.push_back(std::move(layer));
  TMemoryStream s;
  TIOParamsVals p;
  TRVProgressRec progress;
  WritePSDStream(s, p, progress, layers, merged);
  s.SetPosition(0);
  TRastovaIO io;
  io.LoadFromStream(s);
  ASSERT_FALSE(io.Aborting);
  TRVBitmap& b = *io.GetAttachedRVBitmap();
  ASSERT_EQ(b.GetWidth(), 10);
  ASSERT_TRUE(b.HasAlphaBitmap());
  EXPECT_EQ(b.GetAlpha(3, 2), 100);
  EXPECT_EQ(b.GetAlpha(0, 0), 0);
  EXPECT_EQ(b.GetAlpha(9, 5), 0);
}

TEST(FormatOps, RawPixelsThroughTheFormatCalls) {
  TRastovaIO io;
  io.GetAttachedRVBitmap()->Allocate(2, 1, rv24RGB);
  TMemoryStream s;
  const uint8_t data[6] = {1, 2, 3, 4, 5, 6};
  s.WriteBuffer(data, 6);
  s.SetPosition(0);
  io.LoadFromStreamFormat(s, ioBMPRAW);
  ASSERT_FALSE(io.Aborting);
  EXPECT_EQ(io.GetAttachedRVBitmap()->GetPixels(1, 0).r, 4);
  // Hexadecimal text into rv32f: "Format unsupported" ends as a failed load.
  io.GetAttachedRVBitmap()->Allocate(1, 1, rv32f);
  io.Params.RAWBMP_DataFormat = 2;
  s.SetPosition(0);
  io.LoadFromStreamFormat(s, ioBMPRAW);
  EXPECT_TRUE(io.Aborting);
  // Raw pixels cannot be saved, nor do metafiles load from a stream by their type.
  TMemoryStream out;
  io.SaveToStream(out, ioBMPRAW);
  EXPECT_TRUE(io.Aborting);
  EXPECT_EQ(out.GetSize(), 0);
}

}  // namespace
}  // namespace rv
