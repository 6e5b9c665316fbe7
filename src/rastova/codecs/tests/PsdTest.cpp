// Photoshop documents: PackBits, round trips of every colour mode with and without layers,
// resources, damaged files, and files of and for ImageMagick.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>

#include "TestTools.h"
#include "rastova/codecs/psd/rvpsd.h"
#include "rastova/codecs/tiff/tiffilt.h"

namespace rv {
namespace {

using namespace test;

struct PsdDecoded {
  TRVBitmap bitmap;
  TIOParamsVals params;
  TPSDLayerList layers;
  bool ok = false;
};

std::unique_ptr<PsdDecoded> ReadPsd(const std::vector<uint8_t>& data, bool readLayers = false, bool native = false,
                                 bool withList = true) {
  auto d = std::make_unique<PsdDecoded>();
  d->params.NativePixelFormat = native;
  auto s = StreamOf(data);
  TRVProgressRec progress;
  ReadPSDStream(*s, &d->bitmap, d->params, withList ? &d->layers : nullptr, readLayers, progress);
  d->ok = !progress.IsAborting();
  return d;
}

std::vector<uint8_t> WritePsd(TRVBitmap& b, TIOParamsVals& p, TPSDLayerList& layers, bool* ok = nullptr) {
  TMemoryStream s;
  TRVProgressRec progress;
  WritePSDStream(s, p, progress, layers, b);
  if (ok) *ok = !progress.IsAborting();
  return s.Data();
}

std::vector<uint8_t> WritePsd(TRVBitmap& b) {
  TIOParamsVals p;
  TPSDLayerList none;
  return WritePsd(b, p, none);
}

uint32_t PsdBe32(const std::vector<uint8_t>& f, size_t at) {
  return (uint32_t(f[at]) << 24) | (uint32_t(f[at + 1]) << 16) | (uint32_t(f[at + 2]) << 8) | f[at + 3];
}

// Offset of the layer section's length field.
size_t LayerSectionAt(const std::vector<uint8_t>& f) {
  size_t at = 26;
  at += 4 + PsdBe32(f, at);
  at += 4 + PsdBe32(f, at);
  return at;
}

void ExpectSame(TRVBitmap& a, TRVBitmap& b, const char* what) {
  ASSERT_EQ(a.GetWidth(), b.GetWidth()) << what;
  ASSERT_EQ(a.GetHeight(), b.GetHeight()) << what;
  ASSERT_EQ(a.GetPixelFormat(), b.GetPixelFormat()) << what;
  for (int y = 0; y < a.GetHeight(); ++y)
    ASSERT_EQ(std::memcmp(a.GetScanLine(y), b.GetScanLine(y), size_t((int64_t(a.GetWidth()) * a.GetBitCount() + 7) / 8)),
              0)
        << what << " row " << y;
}

TEST(Psd, PackBitsRows) {
  std::vector<uint8_t> out;
  const std::vector<uint8_t> equal(128, 7);
  EXPECT_EQ(PackBitsEncodeRow(equal.data(), 128, out), 2);
  EXPECT_EQ(out, (std::vector<uint8_t>{129, 7}));
  std::vector<uint8_t> mixed = {5, 5, 5};
  for (int i = 0; i < 125; ++i) mixed.push_back(uint8_t(i * 2 + 11));
  out.clear();
  EXPECT_EQ(PackBitsEncodeRow(mixed.data(), 128, out), 129);
  EXPECT_EQ(out[0], 127);  // one literal of 128
  // Header byte 128 is no operation; a run or literal past the row never writes past it.
  const std::vector<uint8_t> coded = {128, 1, 10, 20, 128, 0xFE, 30, 0xF0, 1};
  uint8_t row[6] = {};
  PackBitsDecodeRow(coded.data(), int64_t(coded.size()), row, 5);
  EXPECT_EQ(std::vector<uint8_t>(row, row + 6), (std::vector<uint8_t>{10, 20, 30, 30, 30, 0}));
  uint8_t shortRow[4] = {9, 9, 9, 9};
  PackBitsDecodeRow(coded.data(), 3, shortRow, 4);
  EXPECT_EQ(std::vector<uint8_t>(shortRow, shortRow + 4), (std::vector<uint8_t>{10, 0, 0, 0}));  // cut literal kept
  // Literals of every length around the 16-byte pieces they are copied in: whole, cut by the row
  // and cut by the data; nothing past the row is written.
  for (int length : {1, 2, 15, 16, 17, 31, 32, 33, 100, 127, 128}) {
    std::vector<uint8_t> literal = {uint8_t(length - 1)};
    for (int i = 0; i < length; ++i) literal.push_back(uint8_t(i * 7 + 1));
    for (int rowLength : {length, length - 1, length + 3}) {
      for (int64_t given : {int64_t(literal.size()), int64_t(literal.size()) / 2}) {
        std::vector<uint8_t> decoded(size_t(rowLength) + 20, 0xEE);
        PackBitsDecodeRow(literal.data(), given, decoded.data(), rowLength);
        std::vector<uint8_t> expected(size_t(rowLength) + 20, 0xEE);
        for (int i = 0; i < rowLength; ++i) expected[size_t(i)] = i + 1 < given ? literal[size_t(i) + 1] : 0;
        EXPECT_EQ(decoded, expected) << length << " into " << rowLength << " from " << given;
      }
    }
  }
}

// The merged rows of a picture taller than the bands it is read in, whole, cut short and with a
// row length that shifts the rows after it, come out as each row's own bytes decode.
TEST(Psd, MergedRowsAcrossTheReadBandsAsTheirBytes) {
  const int w = 45, h = 37;
  TRVBitmap src;
  FillTestBitmap(src, w, h);
  const auto good = WritePsd(src);
  const size_t section = LayerSectionAt(good);
  const size_t table = section + 4 + Be32(good, section) + 2;
  const size_t rows = size_t(h) * 3, data = table + 2 * rows;
  std::vector<uint8_t> longer = good;
  longer[table + 2 * size_t(h + 20) + 1] = uint8_t(longer[table + 2 * size_t(h + 20) + 1] + 9);
  struct Case {
    const char* name;
    std::vector<uint8_t> file;
  };
  const Case cases[] = {
      {"whole", good},
      {"cut in the second band",
       std::vector<uint8_t>(good.begin(), good.begin() + long(data + (good.size() - data) / 2))},
      {"cut in the third band", std::vector<uint8_t>(good.begin(), good.begin() + long(good.size() - 40))},
      {"a longer row", longer},
  };
  for (const Case& c : cases) {
    auto d = ReadPsd(c.file);
    ASSERT_EQ(d->bitmap.GetHeight(), h) << c.name;
    size_t start = data;
    std::vector<uint8_t> plane(static_cast<size_t>(w));
    for (size_t i = 0; i < rows; ++i) {
      const size_t n = size_t(c.file[table + 2 * i] << 8 | c.file[table + 2 * i + 1]);
      const size_t from = std::min(start, c.file.size()), to = std::min(start + n, c.file.size());
      PackBitsDecodeRow(c.file.data() + from, int64_t(to - from), plane.data(), w);
      const int channel = int(i) / h, y = int(i) % h;
      for (int x = 0; x < w; ++x)
        ASSERT_EQ(d->bitmap.GetScanLine(y)[3 * x + 2 - channel], plane[size_t(x)])
            << c.name << ", channel " << channel << ", pixel " << x << ", " << y;
      start += n;
    }
  }
}

TEST(Psd, ColourModesRoundTrip) {
  const int w = 13, h = 7;
  for (TRVPixelFormat f : {rv24RGB, rv8g, rv16g, rv48RGB, rvCMYK, rvCIELab, rv1g, rv8p, rv32RGB}) {
    TRVBitmap src;
    FillTestBitmap(src, w, h, f == rv8p);
    if (f != rv24RGB) src.SetPixelFormat(f);
    TIOParamsVals p;
    TPSDLayerList none;
    bool ok = false;
    const auto file = WritePsd(src, p, none, &ok);
    ASSERT_TRUE(ok) << int(f);
    EXPECT_EQ(PsdBe32(file, LayerSectionAt(file)), 0u) << int(f);  // no layers
    auto d = ReadPsd(file, false, true);
    ASSERT_TRUE(d->ok) << int(f);
    if (f == rv32RGB) {
      TRVBitmap expect;
      expect.Assign(&src);
      expect.SetPixelFormat(rv24RGB);
      ExpectSame(d->bitmap, expect, "rv32RGB as 24");
      EXPECT_EQ(file[13], 3);  // three channels
      continue;
    }
    if (f == rv8p) {
      // Palette entry 255 is transparent on reading back.
      ASSERT_TRUE(d->bitmap.HasAlphaBitmap());
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          ASSERT_EQ(d->bitmap.AlphaBitmap()->GetScanLine(y)[x], src.GetScanLine(y)[x] == 255 ? 0 : 255);
      d->bitmap.RemoveAlphaBitmap(false, 0);
    }
    ExpectSame(d->bitmap, src, "native");
  }
  // Without NativePixelFormat 16-bit RGB reads as rv24RGB.
  TRVBitmap wide;
  FillTestBitmap(wide, w, h);
  wide.SetPixelFormat(rv48RGB);
  auto d = ReadPsd(WritePsd(wide));
  EXPECT_EQ(d->bitmap.GetPixelFormat(), rv24RGB);
  EXPECT_EQ(d->params.BitsPerSample, 16);
}

TEST(Psd, ResourcesResolutionAndTransparencyIndex) {
  TRVBitmap src;
  FillTestBitmap(src, 6, 4, true);
  src.SetPixelFormat(rv8p);
  TIOParamsVals p;
  p.SetDpiX(300);
  p.SetDpiY(300);
  p.XMP_Info = "<x:xmpmeta/>";
  TPSDLayerList none;
  auto file = WritePsd(src, p, none);
  // The resolution fields hold 300 x 65536.
  const std::vector<uint8_t> dpi = {0x01, 0x2C, 0x00, 0x00};
  EXPECT_NE(std::search(file.begin(), file.end(), dpi.begin(), dpi.end()), file.end());
  auto d = ReadPsd(file);
  EXPECT_EQ(d->params.DpiX, 300);
  EXPECT_EQ(d->params.XMP_Info, "<x:xmpmeta/>");
  // Transparency index 5 instead of 255: alpha 0 exactly where the index is 5.
  const std::vector<uint8_t> res1047 = {'8', 'B', 'I', 'M', 0x04, 0x17};
  auto at = std::search(file.begin(), file.end(), res1047.begin(), res1047.end());
  ASSERT_NE(at, file.end());
  *(at + 6 + 2 + 4 + 1) = 5;
  auto five = ReadPsd(file, false, true);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x)
      ASSERT_EQ(five->bitmap.AlphaBitmap()->GetScanLine(y)[x], src.GetScanLine(y)[x] == 5 ? 0 : 255);
  // Without a resolution resource the resolution is 96.
  const std::vector<uint8_t> res1005 = {'8', 'B', 'I', 'M', 0x03, 0xED};
  auto r = std::search(file.begin(), file.end(), res1005.begin(), res1005.end());
  *(r + 5) = 0xEE;
  EXPECT_EQ(ReadPsd(file)->params.DpiX, 96);
}

TEST(Psd, LayersWithMasksRoundTrip) {
  TRVBitmap merged;
  FillTestBitmap(merged, 20, 12);
  TPSDLayerList layers;
  auto layer = std::make_unique<TPSDLayer>();
  FillTestBitmap(*layer->Bitmap, 8, 5, true);
  layer->Bitmap->AlphaBitmap()->Fill(200);
  layer->Left = 3;
  layer->Top = 2;
  layer->Opacity = 180;
  layer->Visible = false;
  layer->Name = std::string(300, 'n');
  auto mask = std::make_unique<TPSDLayer>();
  mask->IsMask = true;
  mask->Bitmap->Allocate(4, 3, rv8g);
  mask->Bitmap->Fill(77);
  mask->Left = 5;
  mask->Top = 6;
  auto second = std::make_unique<TPSDLayer>();
  FillTestBitmap(*second->Bitmap, 20, 12);
  second->Name = "second";
  layers.push_back(std::move(layer));
  layers.push_back(std::move(mask));
  layers.push_back(std::move(second));
  TIOParamsVals p;
  const auto file = WritePsd(merged, p, layers);
  auto d = ReadPsd(file, true, true);
  ASSERT_TRUE(d->ok);
  ASSERT_EQ(d->layers.size(), 3u);
  EXPECT_TRUE(d->bitmap.IsEmpty());  // layers read: no merged image
  const TPSDLayer& l = *d->layers[0];
  EXPECT_EQ(l.Left, 3);
  EXPECT_EQ(l.Top, 2);
  EXPECT_EQ(l.Opacity, 180);
  EXPECT_FALSE(l.Visible);
  EXPECT_EQ(l.Name, std::string(255, 'n'));
  EXPECT_EQ(l.Bitmap->AlphaBitmap()->GetScanLine(4)[7], 200);
  TRVBitmap few;
  FillTestBitmap(few, 8, 5, true);
  l.Bitmap->RemoveAlphaBitmap(false, 0);
  ExpectSame(*l.Bitmap, few, "layer");
  const TPSDLayer& m = *d->layers[1];
  EXPECT_TRUE(m.IsMask);
  EXPECT_FALSE(m.Visible);
  EXPECT_EQ(m.Left, 5);
  EXPECT_EQ(m.Width(), 4);
  EXPECT_EQ(m.Bitmap->GetScanLine(2)[3], 77);
  EXPECT_EQ(d->layers[2]->Name, "second");
  // Two layers with ReadLayers false: only the merged image.
  auto mergedOnly = ReadPsd(file, false, true);
  EXPECT_TRUE(mergedOnly->layers.empty());
  ExpectSame(mergedOnly->bitmap, merged, "merged");
  // A 16-bit layer's alpha 200 is written as 0xC8C8.
  TRVBitmap wide;
  FillTestBitmap(wide, 4, 2);
  wide.SetPixelFormat(rv48RGB);
  TPSDLayerList one;
  auto l16 = std::make_unique<TPSDLayer>();
  l16->Bitmap->Assign(&wide);
  l16->Bitmap->AlphaBitmap()->Fill(200);
  one.push_back(std::move(l16));
  const auto f16 = WritePsd(wide, p, one);
  const std::vector<uint8_t> run = {0xF9, 0xC8};  // eight bytes C8: a run
  EXPECT_NE(std::search(f16.begin(), f16.end(), run.begin(), run.end()), f16.end());
  // One layer is read in any case, and its transparency stays with it.
  auto single = ReadPsd(f16, false, true);
  ASSERT_EQ(single->layers.size(), 1u);
  EXPECT_EQ(single->layers[0]->Bitmap->AlphaBitmap()->GetScanLine(1)[3], 200);
  EXPECT_FALSE(single->bitmap.IsEmpty());
}

// A document of raw rows alone: the header, three empty sections and the merged channel data.
std::vector<uint8_t> RawDocument(int w, int h, int depth, int mode, const std::vector<uint8_t>& rows) {
  std::vector<uint8_t> f = {'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0, 0, 1};
  for (uint32_t v : {uint32_t(h), uint32_t(w)})
    for (int k = 0; k < 4; ++k) f.push_back(uint8_t(v >> (24 - 8 * k)));
  Append(f, {0, uint8_t(depth), 0, uint8_t(mode)});
  Append(f, std::vector<uint8_t>(12, 0));  // colour-mode data, resources, layers: all empty
  Append(f, {0, 0});                       // raw
  Append(f, rows);
  return f;
}

TEST(Psd, RawRowsOfOneByte) {
  // Raw rows one byte long make a file shorter than a run-length table of its rows would be.
  struct Case {
    const char* name;
    int w, depth, mode, rowBytes;
  };
  const Case cases[] = {
      {"1 x 100 grey", 1, 8, 1, 1},
      {"8 x 100 bitmap", 8, 1, 0, 1},
      {"1 x 100 grey 16-bit", 1, 16, 1, 2},
  };
  const int h = 100;
  for (const Case& c : cases) {
    std::vector<uint8_t> rows;
    for (int y = 0; y < h; ++y)
      for (int k = 0; k < c.rowBytes; ++k) rows.push_back(uint8_t(y * 2 + 1));
    const auto file = RawDocument(c.w, h, c.depth, c.mode, rows);
    auto d = ReadPsd(file, false, true);
    ASSERT_TRUE(d->ok) << c.name;
    ASSERT_EQ(d->bitmap.GetHeight(), h) << c.name;
    for (int y = 0; y < h; ++y) {
      const uint8_t* row = d->bitmap.GetScanLine(y);
      // Grey bytes as they are; bitmap mode inverted (1 is black); 16-bit words.
      const int got = c.depth == 16 ? reinterpret_cast<const uint16_t*>(row)[0] : row[0];
      const int want = c.depth == 16 ? (y * 2 + 1) * 257 : c.depth == 1 ? uint8_t(~(y * 2 + 1)) : y * 2 + 1;
      ASSERT_EQ(got, want) << c.name << " row " << y;
    }
  }
  // A row short of the last one is still refused.
  EXPECT_FALSE(ReadPsd(RawDocument(1, h, 8, 1, std::vector<uint8_t>(h - 2, 5)))->ok);
}

TEST(Psd, DamagedFiles) {
  TRVBitmap merged;
  FillTestBitmap(merged, 10, 6);
  TPSDLayerList layers;
  auto layer = std::make_unique<TPSDLayer>();
  FillTestBitmap(*layer->Bitmap, 5, 4);
  layers.push_back(std::move(layer));
  auto second = std::make_unique<TPSDLayer>();
  FillTestBitmap(*second->Bitmap, 3, 3);
  layers.push_back(std::move(second));
  TIOParamsVals p;
  const auto good = WritePsd(merged, p, layers);
  const size_t section = LayerSectionAt(good);
  const size_t record = section + 4 + 4 + 2;  // first layer record
  auto set32 = [&](size_t at, uint32_t v) {
    auto f = good;
    for (int k = 0; k < 4; ++k) f[at + size_t(k)] = uint8_t(v >> (24 - 8 * k));
    return f;
  };
  auto set16 = [&](size_t at, uint16_t v) {
    auto f = good;
    f[at] = uint8_t(v >> 8);
    f[at + 1] = uint8_t(v);
    return f;
  };
  const size_t maskLength = record + 16 + 2 + 6 * 4 + 16 + 4;
  // A layer whose width and height reach 2^32 - 1: their product passes 64 bits.
  auto huge = good;
  for (size_t k = 0; k < 4; ++k) {
    const uint32_t v = k < 2 ? 0x80000000u : 0x7FFFFFFFu;
    for (int b = 0; b < 4; ++b) huge[record + 4 * k + size_t(b)] = uint8_t(v >> (24 - 8 * b));
  }
  const size_t mergedTable = section + 4 + PsdBe32(good, section) + 2;
  struct Case {
    const char* name;
    std::vector<uint8_t> data;
    bool ok;
  };
  const Case cases[] = {
      {"empty", {}, false},
      {"signature", set32(0, 0x38425058), false},
      {"version 2", set16(4, 2), false},
      {"0 channels", set16(12, 0), false},
      {"25 channels", set16(12, 25), false},
      {"depth 0", set16(22, 0), false},
      {"depth 17", set16(22, 17), false},
      {"colour mode 10", set16(24, 10), false},
      {"width 2^31 with little data", set32(18, 0x80000000u), false},
      {"height 2^31 - 1 with little data", set32(14, 0x7FFFFFFFu), false},
      {"resource size past its section", set32(26 + 4 + 4 + 10, 0x7FFFFFF0u), true},
      {"layer count 32767 in a short section", set16(section + 8, 32767), false},
      {"a layer rectangle inverted", set32(record + 8, 0), true},
      {"a layer 2^31 wide", set32(record + 12, 0x7FFFFFFFu), true},
      {"a layer 2^32 - 1 square", huge, true},
      {"a channel length past the section", set32(record + 18 + 2, 0x7FFFFFF0u), false},
      {"an unknown channel id", set16(record + 18 + 6, 77), true},
      {"mask length 19", set32(maskLength, 19), false},
      {"mask length 36", set32(maskLength, 36), false},
      {"a row-length table past the end", std::vector<uint8_t>(good.begin(), good.begin() + long(mergedTable + 10)), false},
      {"PackBits rows that overrun", set16(mergedTable, 0x7FFF), true},
  };
  for (const Case& c : cases) {
    // With the layers read, and with the merged image read instead.
    EXPECT_EQ(ReadPsd(c.data, true)->ok && ReadPsd(c.data, false)->ok, c.ok) << c.name;
  }
  // An unknown channel id is skipped by its length: the second layer still reads whole.
  auto unknown = ReadPsd(set16(record + 18 + 6, 77), true, true);
  ASSERT_EQ(unknown->layers.size(), 2u);
  EXPECT_EQ(unknown->layers[1]->Width(), 3);
  // Mask length 0 is a layer without a mask.
  EXPECT_TRUE(ReadPsd(set32(maskLength, 0), true)->ok);
  for (size_t at = 0; at < good.size(); at += 3) {
    auto f = good;
    f[at] ^= 0x3C;
    ReadPsd(f, true);
  }
}

// ---------------------------------------------------------------- independent tools

TEST(PsdTools, ImageMagickDocumentsAndOurs) {
  if (!HaveMagick() || !HavePillow()) GTEST_SKIP() << "ImageMagick and Pillow are needed";
  TempDir dir;
  const int w = 15, h = 9;
  std::ostringstream py;
  py << "from PIL import Image\n" << kPyTestPixel << "base = Image.new('RGB', (" << w << ", " << h << "))\n"
     << "base.putdata([px(x, y)[:3] for y in range(" << h << ") for x in range(" << w << ")])\n"
     << "base.save('" << dir.File("src.png") << "')\n";
  ASSERT_TRUE(RunPython(py.str()));
  const std::string src = dir.File("src.png");
  struct Case {
    const char* name;
    const char* args;
  };
  const Case cases[] = {
      {"rgb8rle", "-depth 8 -compress RLE"},
      {"rgb8raw", "-depth 8 -compress None"},
      {"rgb16", "-depth 16"},
      {"grey8", "-colorspace Gray -depth 8"},
      {"grey16", "-colorspace Gray -depth 16"},
      {"cmyk", "-colorspace CMYK -depth 8"},
  };
  for (const Case& c : cases) {
    const std::string path = dir.File(std::string(c.name) + ".psd");
    ASSERT_TRUE(RunCommand("/usr/bin/convert '" + src + "' " + c.args + " '" + path + "'")) << c.name;
    auto d = ReadPsd(ReadFileBytes(path));
    ASSERT_TRUE(d->ok) << c.name;
    int dw, dh;
    std::vector<uint8_t> expect;
    ASSERT_TRUE(MagickDecode(path + "[0]", dw, dh, expect)) << c.name;
    ASSERT_EQ(d->bitmap.GetWidth(), dw) << c.name;
    const int tol = std::string(c.name) == "cmyk" ? 40 : 1;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const uint8_t* e = &expect[size_t(4 * (y * w + x))];
        const Rgba a = PixelOf(d->bitmap, x, y);
        ASSERT_TRUE(std::abs(a.r - e[0]) <= tol && std::abs(a.g - e[1]) <= tol && std::abs(a.b - e[2]) <= tol)
            << c.name << " at " << x << "," << y << ": " << int(a.r) << "," << int(a.g) << "," << int(a.b) << " vs "
            << int(e[0]) << "," << int(e[1]) << "," << int(e[2]);
      }
  }
  // Ours: the merged image and a layer, read by ImageMagick.
  TRVBitmap merged;
  FillTestBitmap(merged, w, h);
  TPSDLayerList layers;
  auto layer = std::make_unique<TPSDLayer>();
  FillTestBitmap(*layer->Bitmap, w, h);
  layers.push_back(std::move(layer));
  TIOParamsVals p;
  const std::string ours = dir.File("ours.psd");
  WriteFileBytes(ours, WritePsd(merged, p, layers));
  for (const char* which : {"[0]", "[1]"}) {
    int dw, dh;
    std::vector<uint8_t> got;
    ASSERT_TRUE(MagickDecode(ours + which, dw, dh, got)) << which;
    ASSERT_EQ(dw, w);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const Rgba e = TestPixel(x, y);
        const uint8_t* g = &got[size_t(4 * (y * w + x))];
        ASSERT_TRUE(g[0] == e.r && g[1] == e.g && g[2] == e.b) << which << " at " << x << "," << y;
      }
  }
}

}  // namespace
}  // namespace rv
