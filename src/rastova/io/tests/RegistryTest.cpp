// The format registry and the detection of a stream's or file's format.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "IoTestTools.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStartup.h"
#include "rastova/core/RVStream.h"
#include "rastova/io/RVFileFormat.h"
#include "rastova/io/RastovaIOStartup.h"

namespace rv {
namespace {

using iotest::TempDir;

// The registration order of every built-in format.
const std::vector<int32_t> kFullOrder = {1,  2,  3,  4,  5,  21, 6,  7,  8,  28, 9,  10, 11,
                                         12, 16, 13, 14, 17, 18, 19, 20, 24, 25, 26, 27, 29};

// The rows of the formats whose codecs are built, in registration order, with their data.
struct BuiltRow {
  int32_t type;
  const char* description;
  const char* extensions;
  uint16_t pages;
  bool writable;
  bool readable = true;
};
const BuiltRow kBuiltRows[] = {
    {ioTIFF, "TIFF Bitmap", "TIF;TIFF;FAX;G3N;G3F;XIF", 8, true},
    {ioGIF, "CompuServe Bitmap", "GIF", 16, true},
    {ioJPEG, "JPEG Bitmap", "JPG;JPEG;JPE;JIF", 4, true},
    {ioPCX, "PaintBrush", "PCX", 64, true},
    {ioBMP, "Windows Bitmap", "BMP;DIB;RLE", 32, true},
    {ioBMPRAW, "Raw Bitmap", "", 0, true},
    {ioICO, "Windows Icon", "ICO", 0, true},
    {ioCUR, "Windows Cursor", "CUR", 0, false},
    {ioPNG, "Portable Network Graphics", "PNG", 128, true},
    {ioDICOM, "DICOM Bitmap", "DCM;DIC;DICOM;V2", 0, false},
    {ioWMF, "Windows Metafile", "WMF", 0, false},
    {ioEMF, "Enhanced Windows Metafile", "EMF", 0, false},
    {ioTGA, "Targa Bitmap", "TGA;TARGA;VDA;ICB;VST;PIX", 256, true},
    {ioPXM, "Portable Pixmap, GrayMap, BitMap", "PXM;PPM;PGM;PBM", 0, true},
    {ioWBMP, "Wireless Bitmap", "WBMP", 0, true},
    {ioJP2, "JPEG2000", "JP2", 512, true},
    {ioJ2K, "JPEG2000 Code Stream", "J2K;JPC;J2C", 512, true},
    {ioPS, "PostScript Level 2", "PS;EPS", 0, true, false},
    {ioPDF, "Adobe PDF", "PDF", 0, true, false},
    {ioDCX, "Multipage PCX", "DCX", 0, true},
    {ioRAW, "Camera RAW", "CRW;CR2;NEF;RAW;PEF;RAF;X3F;BAY;ORF;SRF;MRW;DCR;SR2", 0, false},
    {ioPSD, "Photoshop PSD", "PSD", 0, true},
    {ioHDP, "Microsoft HD Photo", "WDP;HDP", 0, true},
};

TEST(Registry, RowsFollowTheRegistrationOrderAndCarryTheirData) {
  ASSERT_TRUE(FileFormatRegistryBuilt());
  EXPECT_TRUE(URLLibraryLoaded());
  // The I/O step runs after the core's own steps.
  const std::vector<std::string> steps = RastovaStartupStepNames();
  const auto io = std::find(steps.begin(), steps.end(), "RastovaIO");
  ASSERT_NE(io, steps.end());
  EXPECT_LT(std::find(steps.begin(), steps.end(), "HyRVUtils"), io);
  std::vector<int32_t> types;
  for (int32_t i = 0; i < FileFormatCount(); ++i) types.push_back(FileFormatAt(i)->FileType);
  // The rows present keep the fixed order of the full table.
  size_t at = 0;
  for (int32_t t : types) {
    while (at < kFullOrder.size() && kFullOrder[at] != t) ++at;
    ASSERT_LT(at, kFullOrder.size()) << "file type " << t << " out of order";
  }
  // Exactly the formats whose codecs are built, each with its data.
  std::vector<int32_t> built;
  for (const BuiltRow& r : kBuiltRows) built.push_back(r.type);
  EXPECT_EQ(types, built);
  for (const BuiltRow& r : kBuiltRows) {
    SCOPED_TRACE(r.description);
    const TRVFileFormatInfo* row = GetFileFormatInfo(r.type);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->FileType, r.type);
    EXPECT_EQ(row->Description, r.description);
    EXPECT_EQ(row->Extensions, r.extensions);
    EXPECT_TRUE(row->BuiltIn);
    EXPECT_EQ(row->DialogPages, r.pages);
    EXPECT_EQ(row->ReadRoutine != nullptr, r.readable);
    EXPECT_EQ(row->WriteRoutine != nullptr, r.writable);
  }
  EXPECT_EQ(GetExtensionCount(ioTGA), 6);
  EXPECT_EQ(GetFileExtension(ioTGA, 0), "TGA");
  EXPECT_EQ(GetFileExtension(ioTGA, 5), "PIX");
  EXPECT_EQ(GetFileExtension(ioTGA, 6), "");
  EXPECT_EQ(GetFileExtension(ioTGA, -1), "");
  EXPECT_EQ(GetExtensionCount(ioAVI), 0);
  EXPECT_EQ(GetFileFormatInfo(0), nullptr);
  // The fax coder's tables come up with the I/O step.
  EXPECT_NE(std::find(steps.begin(), steps.end(), "TifCCITT"), steps.end());
}

TEST(Registry, ExtensionLookupIgnoresCaseAndOneDot) {
  struct Case {
    const char* ext;
    int32_t type;
  } cases[] = {{".TGA", ioTGA}, {"tga", ioTGA},   {"TgA", ioTGA},   {"pix", ioTGA}, {".pix", ioTGA},
               {"win", 0},      {"", 0},          {".", 0},         {"..tga", 0},   {"JPG", ioJPEG},
               {"jpg", ioJPEG}, {"JpEg", ioJPEG}, {".jif", ioJPEG}, {"png", ioPNG}, {"rle", ioBMP},
               {"gif", ioGIF},  {"tif", ioTIFF},  {"wdp", ioHDP},   {"avi", 0},       {"PCX", ioPCX}, {"dcx", ioDCX},
               {"ico", ioICO},  {"cur", ioCUR},   {"wmf", ioWMF},   {"emf", ioEMF}, {"pbm", ioPXM},
               {"PPM", ioPXM},  {"wbmp", ioWBMP}, {"psd", ioPSD},   {"NEF", ioRAW}, {"hdp", ioHDP}};
  for (const Case& c : cases) {
    const TRVFileFormatInfo* row = FindFileFormatInfo(c.ext);
    EXPECT_EQ(row ? row->FileType : 0, c.type) << c.ext;
    EXPECT_EQ(FileTypeOfExtension(c.ext), c.type) << c.ext;
  }
}

// Fixtures written by Pillow: the same small picture in every format.
class Detection : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!iotest::HavePillow()) GTEST_SKIP() << "Pillow (python3-pil) is not installed";
    std::string script = "from PIL import Image\n";
    script += iotest::kPyPixel;
    script +=
        "im = Image.new('RGBA', (17, 11))\n"
        "im.putdata([px(x, y) for y in range(11) for x in range(17)])\n"
        "d = '";
    script += dir.Path().string();
    script +=
        "/'\n"
        "im.save(d + 'a.tga', compression='tga_rle')\n"
        "im.convert('RGB').save(d + 'b.tga')\n"
        "im.save(d + 'a.png')\n"
        "im.convert('RGB').save(d + 'a.bmp')\n"
        "im.convert('RGB').save(d + 'a.jpg', quality=90)\n"
        "im.convert('RGB').save(d + 'a.gif')\n"
        "im.save(d + 'a.tif')\n"
        "im.convert('RGB').save(d + 'b.tif', compression='tiff_lzw')\n"
        "open(d + 'text.txt', 'w').write('hello, this is plain text and no picture at all\\n' * 4)\n";
    ASSERT_TRUE(iotest::RunPython(script));
  }
  std::vector<uint8_t> Bytes(const std::string& name) { return iotest::ReadFileBytes(dir.File(name)); }
  // Writes `content` under a new name with the extension `ext`.
  std::string As(const std::vector<uint8_t>& content, const std::string& ext) {
    std::string base = "f";
    base += std::to_string(++counter);
    base += ext;
    const std::string name = dir.File(base);
    iotest::WriteFileBytes(name, content);
    return name;
  }
  TempDir dir;
  int counter = 0;
};

TEST_F(Detection, ContentAndExtensionGiveTheFileType) {
  std::vector<uint8_t> junkJpeg(100, 0x20);
  const std::vector<uint8_t> jpg = Bytes("a.jpg");
  junkJpeg.insert(junkJpeg.end(), jpg.begin(), jpg.end());
  struct Case {
    const char* fixture;  // nullptr: the bytes below
    std::vector<uint8_t> bytes;
    const char* ext;
    bool check;
    int32_t expected;
  } cases[] = {
      {"a.tga", {}, ".tga", true, ioTGA},
      {"b.tga", {}, ".tga", true, ioTGA},
      {"a.tga", {}, ".pix", true, ioTGA},
      {"a.tga", {}, ".TGA", true, ioTGA},
      {"a.tga", {}, ".png", true, 0},
      {"a.tga", {}, ".png", false, ioTGA},
      {"a.tga", {}, ".xyz", true, 0},
      {"a.tga", {}, ".xyz", false, ioTGA},
      {"a.png", {}, ".png", true, ioPNG},
      {"a.png", {}, ".jpg", true, 0},
      {"a.png", {}, ".jpg", false, ioPNG},
      {"a.bmp", {}, ".bmp", true, ioBMP},
      {"a.bmp", {}, ".dib", true, ioBMP},
      {"a.bmp", {}, ".tga", true, 0},
      {"a.jpg", {}, ".jpg", true, ioJPEG},
      {"a.jpg", {}, ".jpeg", true, ioJPEG},
      {nullptr, junkJpeg, ".jpg", true, ioJPEG},
      {"a.tif", {}, ".tif", true, ioTIFF},
      {"b.tif", {}, ".tiff", true, ioTIFF},
      {"a.tif", {}, ".fax", true, ioTIFF},
      {"a.tif", {}, ".png", false, ioTIFF},
      {"a.tif", {}, ".jpg", true, 0},
      {"a.gif", {}, ".gif", true, ioGIF},
      {"a.gif", {}, ".png", true, 0},
      {"a.gif", {}, ".xyz", false, ioGIF},
      {"text.txt", {}, ".tga", false, 0},
      {"text.txt", {}, ".txt", false, 0},
  };
  for (const Case& c : cases) {
    const std::string name = As(c.fixture ? Bytes(c.fixture) : c.bytes, c.ext);
    EXPECT_EQ(FindFileFormat(name, c.check), c.expected)
        << (c.fixture ? c.fixture : "bytes") << " as " << c.ext << (c.check ? " checked" : "");
  }
  EXPECT_EQ(FindFileFormat(dir.File("missing.tga"), false), 0);
  EXPECT_EQ(FindFileFormat("", false), 0);
  EXPECT_EQ(FindFileFormat(dir.Path().string(), false), 0);  // a folder
}

TEST_F(Detection, StreamDetectionStartsAtThePositionAndRestoresIt) {
  std::vector<uint8_t> data(37, 0x55);
  const std::vector<uint8_t> tga = Bytes("a.tga");
  data.insert(data.end(), tga.begin(), tga.end());
  TRVMemStream stream(data.data(), static_cast<int64_t>(data.size()));
  stream.SetPosition(37);
  EXPECT_EQ(FindStreamFormat(stream), ioTGA);
  EXPECT_EQ(stream.GetPosition(), 37);
  // Past the end nothing matches and the position stays.
  stream.SetPosition(static_cast<int64_t>(data.size()) + 10);
  EXPECT_EQ(FindStreamFormat(stream), 0);
  EXPECT_EQ(stream.GetPosition(), static_cast<int64_t>(data.size()) + 10);
}

TEST(DetectionThresholds, HeaderTestsNeedTheirMinimumSizes) {
  // "BM" decides only for streams above 14 bytes; the JPEG stream header above 12 bytes.
  std::vector<uint8_t> bm(14, 0);
  bm[0] = 'B';
  bm[1] = 'M';
  TRVMemStream s14(bm.data(), 14);
  EXPECT_EQ(FindStreamFormat(s14), 0);
  bm.push_back(0);
  TRVMemStream s15(bm.data(), 15);
  EXPECT_EQ(FindStreamFormat(s15), ioBMP);
  std::vector<uint8_t> jfif = {'J', 'F', 'I', 'F', 0, 0, 0, 0, 0, 0, 0, 0};
  TRVMemStream j12(jfif.data(), 12);
  EXPECT_EQ(FindStreamFormat(j12), 0);
  jfif.push_back(0);
  TRVMemStream j13(jfif.data(), 13);
  EXPECT_EQ(FindStreamFormat(j13), ioJPEG);
}

// A format registered from outside is found by its extension and its own content test.
bool ZztTest(TStream& stream, int32_t) {
  char b[4] = {};
  return stream.Read(b, 4) == 4 && std::memcmp(b, "ZZT!", 4) == 0;
}
void ZztRead(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, bool, TRVProgressRec& progress) {
  uint8_t b[7];
  if (stream.Read(b, 7) != 7) {
    progress.SetAborting();
    return;
  }
  bitmap.Allocate(2, 1, rv24RGB);
  std::memcpy(bitmap.GetScanLine(0), b + 4, 3);
  std::memcpy(bitmap.GetScanLine(0) + 3, b + 4, 3);
  params.Width = 2;
  params.Height = 1;
}

TEST(Registry, OutsideFormatsAreFoundByTheirTestAndExtension) {
  auto row = std::make_unique<TRVFileFormatInfo>();
  row->FileType = 100;
  row->Description = "Test format";
  row->Extensions = "ZZT;ZZ2";
  row->ReadRoutine = ZztRead;
  row->TestRoutine = ZztTest;
  RegisterFileFormat(std::move(row));
  EXPECT_EQ(FileTypeOfExtension("zz2"), 100);
  std::vector<uint8_t> data = {'Z', 'Z', 'T', '!', 1, 2, 3};
  TRVMemStream stream(data.data(), 7);
  EXPECT_EQ(FindStreamFormat(stream), 100);
  EXPECT_EQ(stream.GetPosition(), 0);
  TempDir dir;
  // The extension of an outside format decides, whatever the content.
  iotest::WriteFileBytes(dir.File("x.zzt"), {1, 2, 3});
  EXPECT_EQ(FindFileFormat(dir.File("x.zzt"), true), 100);
  UnregisterFileFormat(100);
  EXPECT_EQ(GetFileFormatInfo(100), nullptr);
  EXPECT_EQ(FindStreamFormat(stream), 0);
  UnregisterFileFormat(100);  // nothing left to remove
}

}  // namespace
}  // namespace rv
