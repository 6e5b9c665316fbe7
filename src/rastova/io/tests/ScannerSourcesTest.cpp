// The scanner sources over the scanner library: the TWAIN client's listing and its states, the
// WIA device list, the condition texts, and the window-free transfer steps. A stand-in library
// makes failures and odd devices; the library's own "test" backend, configured in a folder of
// the test's own, is compared with scanimage.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "IoTestTools.h"
#include "rastova/codecs/IOParamsVals.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVDefs.h"
#include "rastova/core/RVUtils.h"
#include "rastova/io/RVTwain.h"
#include "rastova/io/RVWia.h"

namespace rv {
namespace {

using iotest::SaneConfig;
using iotest::TempDir;

// A library of the test's own: its answers and how often it was called.
struct FakeSane {
  static inline SANE_Status initStatus = SANE_STATUS_GOOD;
  static inline SANE_Status listStatus = SANE_STATUS_GOOD;
  static inline int inits = 0, exits = 0, lists = 0;
  static inline std::vector<SANE_Device> devices;
  static inline std::vector<const SANE_Device*> pointers;
  static SANE_Status Init(SANE_Int* version, SANE_Auth_Callback) {
    ++inits;
    if (version) *version = SANE_VERSION_CODE(1, 2, 7);
    return initStatus;
  }
  static void Exit() { ++exits; }
  static SANE_Status GetDevices(const SANE_Device*** list, SANE_Bool) {
    ++lists;
    pointers.clear();
    for (const SANE_Device& d : devices) pointers.push_back(&d);
    pointers.push_back(nullptr);
    *list = pointers.data();
    return listStatus;
  }
  static void Reset() {
    initStatus = listStatus = SANE_STATUS_GOOD;
    inits = exits = lists = 0;
    devices.clear();
  }
};
const TRVSaneEntryPoints kFakeSane{FakeSane::Init, FakeSane::Exit, FakeSane::GetDevices};

std::string ProductName(const TW_IDENTITY& id) {
  return std::string(id.ProductName, strnlen(id.ProductName, 34));
}

// Writes the log into a temporary folder while it lives.
struct TWainLogToFile {
  TWainLogToFile() { TWainLogFileName = dir.File("twain.log"); }
  ~TWainLogToFile() { TWainLogFileName.clear(); }
  std::string Text() const { return iotest::ReadFileText(dir.File("twain.log")); }
  TempDir dir;
};

class ScannerSources : public ::testing::Test {
 protected:
  void SetUp() override { FakeSane::Reset(); }
  void TearDown() override { FakeSane::Reset(); }
};

TEST(TWainConditions, Texts) {
  const std::pair<int32_t, const char*> table[] = {
      {0, "Operation worked."},
      {1, "General failure. Unload Source immediately."},
      {2, "Not enough memory to complete operation."},
      {3, "Source Manager unable to find the specified Source."},
      {4, "Source is connected to maximum supported number of applications."},
      {5,
       "Source or Source Manager reported an error to the user and handled the error; no application action "
       "required."},
      {6,
       "Capability not supported by Source or operation (get,set) is not supported on capability, or "
       "capability "
       "had dependencies on other capabilities and cannot be operated upon at this time"},
      {7, "Unknown Condition 7"},
      {8, "Unknown Condition 8"},
      {9, "Unrecognized operation triplet."},
      {10, "Data parameter out of supported range."},
      {11, "Illegal operation for current Source Manager Source state."},
      {12, "Unknown destination in DSM_Entry."},
      {13, "Capability not supported by Source."},
      {14, "Operation not supported on capability."},
      {15, "Capability has dependencies on other capabilities and cannot be operated upon at this time."},
      {16, "File System operation is denied (file is protected)."},
      {17, "Operation failed because file already exists."},
      {18, "File not found."},
      {19, "Operation failed because directory is not empty."},
      {20, "Transfer failed because of a feeder error"},
      {21, "Transfer failed because of a feeder error"},
      {22, "Unknown Condition 22"},
      {-1, "Unknown Condition -1"},
      {65535, "Unknown Condition 65535"},
  };
  for (const auto& [code, text] : table) EXPECT_EQ(TWainConditionText(code), text) << code;
}

// One identity per device with a model; the library stays loaded between listings and is let
// go only by FreeTWainResources.
TEST_F(ScannerSources, TWainListingKeepsTheLibraryAndSkipsUnnamedSources) {
  const std::string longModel(40, 'M');
  FakeSane::devices = {{"fake:usb:001", "Acme", "Flatbed 9000", "flatbed scanner"},
                       {"fake:usb:002", "Acme", "", "flatbed scanner"},
                       {"fake:usb:003", "Other", longModel.c_str(), "sheetfed scanner"}};
  TWainLogToFile log;
  TRVTWainKeptHandles kept;
  kept.Library = &kFakeSane;
  std::vector<TW_IDENTITY> list;
  for (int round = 0; round < 2; ++round) {
    FillTWainSourceList(list, kept);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(ProductName(list[0]), "Flatbed 9000");
    EXPECT_EQ(ProductName(list[1]), longModel.substr(0, 33));
    EXPECT_EQ(std::string(list[0].Manufacturer), "Acme");
    EXPECT_EQ(uint32_t{list[0].Id}, 1u);
    EXPECT_EQ(uint32_t{list[1].Id}, 2u);
    EXPECT_TRUE(kept.Loaded);
  }
  EXPECT_EQ(FakeSane::inits, 1);
  EXPECT_EQ(FakeSane::lists, 2);
  EXPECT_EQ(FakeSane::exits, 0);
  FreeTWainResources(kept);
  EXPECT_FALSE(kept.Loaded);
  EXPECT_EQ(FakeSane::exits, 1);
  FreeTWainResources(kept);  // nothing left to let go
  EXPECT_EQ(FakeSane::exits, 1);

  const std::string text = log.Text();
  for (const char* line :
       {" : RVTW_LoadSourceManager\n", "  RVTW_LoadSourceManager : Load OK\n",
        "  RVTW_LoadSourceManager : already loaded\n", "  RVTW_OpenSourceManager : Ok\n",
        "  RVTW_CloseSourceManager : Ok\n", "  RVTW_UnloadSourceManager not Unloaded, for future uses\n",
        "  RVTW_UnloadSourceManager : Unload OK\n", "  FillTWainSourceList : 2 sources\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
  EXPECT_EQ(text.find("Load OK"), text.rfind("Load OK"));
}

// A failing call leaves the condition code and its text (not the return code's) with the
// scanner parameters and in the log, and an empty list.
TEST_F(ScannerSources, FailingCallsRecordTheCondition) {
  struct Case {
    SANE_Status init, list;
    int32_t code;
    int inits, lists;
  };
  const Case cases[] = {
      {SANE_STATUS_ACCESS_DENIED, SANE_STATUS_GOOD, 16, 1, 0},
      {SANE_STATUS_GOOD, SANE_STATUS_NO_MEM, 2, 1, 1},
      {SANE_STATUS_GOOD, SANE_STATUS_IO_ERROR, 1, 1, 1},
      {SANE_STATUS_GOOD, SANE_STATUS_JAMMED, 20, 1, 1},
  };
  for (const Case& c : cases) {
    FakeSane::Reset();
    FakeSane::devices = {{"fake:1", "Acme", "Model", "flatbed scanner"}};
    FakeSane::initStatus = c.init;
    FakeSane::listStatus = c.list;
    TWainLogToFile log;
    TRVTWainKeptHandles kept;
    kept.Library = &kFakeSane;
    TRVTWainLastError last;
    std::vector<TW_IDENTITY> list(3);
    FillTWainSourceList(list, kept, &last);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(last.Code, c.code);
    EXPECT_EQ(last.Text, TWainConditionText(c.code));
    EXPECT_NE(log.Text().find("RVTW_Mgr : " + TWainConditionText(c.code)), std::string::npos) << log.Text();
    EXPECT_EQ(FakeSane::inits, c.inits);
    EXPECT_EQ(FakeSane::lists, c.lists);
    EXPECT_EQ(kept.Loaded, c.init == SANE_STATUS_GOOD);
    FreeTWainResources(kept);
    EXPECT_EQ(FakeSane::exits, c.init == SANE_STATUS_GOOD ? 1 : 0);
  }
}

TEST_F(ScannerSources, TWainStatesMoveOneToThreeAndBack) {
  TRVTWainKeptHandles kept;
  kept.Library = &kFakeSane;
  TRVTWainContext context;
  InitTWainContext(context);
  EXPECT_EQ(context.State, 1);
  EXPECT_EQ(context.AppId.ProtocolMinor, 9);
  EXPECT_EQ(uint32_t{context.AppId.SupportedGroups}, 3u);
  EXPECT_STREQ(context.AppId.ProductName, " ");
  EXPECT_FALSE(RVTW_OpenSourceManager(context));  // nothing loaded yet
  ASSERT_TRUE(RVTW_LoadSourceManager(context, kept));
  EXPECT_EQ(context.State, 2);
  ASSERT_TRUE(RVTW_OpenSourceManager(context));
  EXPECT_EQ(context.State, 3);
  ASSERT_TRUE(RVTW_CloseSourceManager(context));
  EXPECT_EQ(context.State, 2);
  EXPECT_TRUE(RVTW_UnloadSourceManager(context, kept, false));
  EXPECT_EQ(context.State, 1);
  EXPECT_TRUE(kept.Loaded);
  EXPECT_TRUE(RVTW_UnloadSourceManager(context, kept, true));
  EXPECT_FALSE(kept.Loaded);
  EXPECT_EQ(FakeSane::inits, 1);
  EXPECT_EQ(FakeSane::exits, 1);
}

TEST_F(ScannerSources, WiaListsDevicesAndAsksAgainWhileEmpty) {
  {
    TRVWia wia(nullptr, &kFakeSane);
    EXPECT_EQ(wia.GetDevicesInfo(0), nullptr);
    EXPECT_EQ(wia.GetDevicesInfo(0), nullptr);
    EXPECT_EQ(FakeSane::lists, 2);  // an empty list is asked for again
    FakeSane::devices = {{"fake:usb:001:004", "Acme", "Flatbed 9000", "flatbed scanner"},
                         {"cam:ptp", "Camco", "Snap", "still camera"},
                         {"v4l:/dev/video0", "Vidco", "Grab", "video camera"}};
    const TRVWiaDeviceInfo* d = wia.GetDevicesInfo(0);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->ID, "fake:usb:001:004");
    EXPECT_EQ(d->Name, "Flatbed 9000");
    EXPECT_EQ(d->DeviceType, WIA_DEVICE_SCANNER);
    EXPECT_EQ(d->VendorDescription, "Acme");
    EXPECT_EQ(d->PortName, "usb:001:004");
    EXPECT_EQ(d->DriverVersion, "1.2.7");
    EXPECT_EQ(d->ServerName, "local");
    ASSERT_NE(wia.GetDevicesInfo(2), nullptr);
    EXPECT_EQ(wia.GetDevicesInfo(1)->DeviceType, WIA_DEVICE_CAMERA);
    EXPECT_EQ(wia.GetDevicesInfo(2)->DeviceType, WIA_DEVICE_VIDEO);
    EXPECT_EQ(wia.GetDevicesInfo(3), nullptr);
    EXPECT_EQ(wia.GetDevicesInfo(-1), nullptr);
    EXPECT_EQ(FakeSane::lists, 3);  // a filled list is kept

    // The TWAIN client shares the library's session.
    TRVTWainKeptHandles kept;
    kept.Library = &kFakeSane;
    std::vector<TW_IDENTITY> list;
    FillTWainSourceList(list, kept);
    EXPECT_EQ(list.size(), 3u);
    FreeTWainResources(kept);
    EXPECT_EQ(FakeSane::exits, 0);
  }
  EXPECT_EQ(FakeSane::inits, 1);
  EXPECT_EQ(FakeSane::exits, 1);

  // Without the library the list stays empty.
  FakeSane::Reset();
  FakeSane::initStatus = SANE_STATUS_IO_ERROR;
  TRVWia none(nullptr, &kFakeSane);
  EXPECT_EQ(none.GetDevicesInfo(0), nullptr);
  EXPECT_EQ(FakeSane::lists, 0);

  const std::pair<const char*, uint8_t> kinds[] = {{"flatbed scanner", WIA_DEVICE_SCANNER},
                                                   {"virtual device", WIA_DEVICE_SCANNER},
                                                   {"multi-function peripheral", WIA_DEVICE_SCANNER},
                                                   {"still camera", WIA_DEVICE_CAMERA},
                                                   {"video camera", WIA_DEVICE_VIDEO},
                                                   {"frame grabber", WIA_DEVICE_VIDEO},
                                                   {"", WIA_DEVICE_SCANNER}};
  for (const auto& [type, kind] : kinds) EXPECT_EQ(WiaDeviceKind(type), kind) << type;
}

// The library's test backend: the sources and devices are those scanimage lists.
TEST(ScannerSourcesSane, TestBackendMatchesScanimage) {
  bool ok = false;
  iotest::RunCapture("command -v scanimage", ok);
  if (!ok) GTEST_SKIP() << "scanimage (sane-utils) is not installed";
  SaneConfig config("test\n", 3);
  const std::string listed = iotest::RunCapture("scanimage -f '%d|%v|%m|%t%n'", ok);
  ASSERT_TRUE(ok);
  std::vector<std::vector<std::string>> expected;
  std::istringstream lines(listed);
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> fields;
    std::istringstream parts(line);
    for (std::string f; std::getline(parts, f, '|');) fields.push_back(f);
    ASSERT_EQ(fields.size(), 4u) << line;
    expected.push_back(fields);
  }
  ASSERT_EQ(expected.size(), 3u) << listed;

  TRVTWainKeptHandles kept;
  std::vector<TW_IDENTITY> sources;
  FillTWainSourceList(sources, kept);
  ASSERT_EQ(sources.size(), expected.size());
  {
    TRVWia wia(nullptr);
    for (size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(ProductName(sources[i]), expected[i][2]);
      const TRVWiaDeviceInfo* d = wia.GetDevicesInfo(static_cast<int32_t>(i));
      ASSERT_NE(d, nullptr);
      EXPECT_EQ(d->ID, expected[i][0]);
      EXPECT_EQ(d->VendorDescription, expected[i][1]);
      EXPECT_EQ(d->Name, expected[i][2]);
      EXPECT_EQ(d->DeviceType, WiaDeviceKind(expected[i][3]));
      EXPECT_EQ(d->PortName, expected[i][0].substr(expected[i][0].find(':') + 1));
    }
    EXPECT_EQ(wia.GetDevicesInfo(3), nullptr);
  }
  FreeTWainResources(kept);
}

// With no backend configured both lists are empty, and asking again finds nothing again.
TEST(ScannerSourcesSane, NoBackendGivesEmptyLists) {
  SaneConfig config("", 1);
  TRVTWainKeptHandles kept;
  std::vector<TW_IDENTITY> sources(2);
  FillTWainSourceList(sources, kept);
  EXPECT_TRUE(sources.empty());
  FillTWainSourceList(sources, kept);
  EXPECT_TRUE(sources.empty());
  {
    TRVWia wia(nullptr);
    EXPECT_EQ(wia.GetDevicesInfo(0), nullptr);
    EXPECT_EQ(wia.GetDevicesInfo(0), nullptr);
  }
  FreeTWainResources(kept);
}

// ---------------------------------------------------------------- transfer steps

TEST(TWainTransfer, ImageInfoMapping) {
  struct Case {
    int16_t bpp, pixelType;
    uint16_t planar, compression;
    bool native;
    int32_t mode;
    int32_t bitsPerSample, samples;
    TRVPixelFormat format;
    int32_t modeAfter;
  };
  const Case cases[] = {
      {1, TWPT_BW, 0, 0, false, 1, 1, 1, rv1g, 1},
      {1, TWPT_BW, 0, 0, true, 1, 1, 1, rv1g, 1},
      {8, 1, 0, 0, false, 1, 8, 1, rv24RGB, 1},
      {8, 1, 0, 0, true, 1, 8, 1, rv8g, 1},
      {16, 1, 0, 0, true, 1, 16, 1, rv16g, 1},
      {24, TWPT_RGB, 0, 0, false, 1, 8, 3, rv24RGB, 1},
      {48, TWPT_RGB, 0, 0, false, 1, 16, 3, rv24RGB, 1},  // three samples of 16 bits
      {48, TWPT_RGB, 0, 0, true, 1, 16, 3, rv48RGB, 1},
      {24, TWPT_RGB, 1, 0, false, 1, 8, 3, rv24RGB, 0},  // planar: native transfer
      {24, TWPT_RGB, 0, 5, false, 1, 8, 3, rv24RGB, 0},  // compressed: native transfer
      {24, 3, 0, 0, false, 1, 8, 3, rv24RGB, 0},         // palette: native transfer
      {24, 3, 0, 0, false, 2, 8, 3, rv24RGB, 2},         // a file transfer stays one
  };
  for (const Case& c : cases) {
    TW_IMAGEINFO info{};
    info.XResolution = {299, 32768};  // 299.5: halves to even
    info.YResolution = {150, 40000};
    info.ImageWidth = 7;
    info.ImageLength = 5;
    info.BitsPerPixel = c.bpp;
    info.PixelType = c.pixelType;
    info.Planar = c.planar;
    info.Compression = c.compression;
    TIOParamsVals params;
    TRVBitmap bitmap;
    int32_t mode = c.mode;
    EXPECT_EQ(XferReadyImageInfo(info, mode, c.native, params, bitmap), TRVTWainImageInfoResult::Ready)
        << c.bpp;
    EXPECT_EQ(params.BitsPerSample, c.bitsPerSample) << c.bpp;
    EXPECT_EQ(params.SamplesPerPixel, c.samples) << c.bpp;
    EXPECT_EQ(bitmap.GetPixelFormat(), c.format) << c.bpp << " native " << c.native;
    EXPECT_EQ(mode, c.modeAfter) << c.bpp;
    EXPECT_EQ(params.DpiX, 300);
    EXPECT_EQ(params.DpiY, 151);
    EXPECT_EQ(bitmap.GetWidth(), 7);
    EXPECT_EQ(params.StoredHeight, 5);
  }
  TW_IMAGEINFO info{};
  info.BitsPerPixel = 24;
  info.ImageWidth = 0;
  info.ImageLength = 5;
  TIOParamsVals params;
  TRVBitmap bitmap(3, 2, rv8g);
  int32_t mode = 1;
  EXPECT_EQ(XferReadyImageInfo(info, mode, false, params, bitmap), TRVTWainImageInfoResult::Abort);
  info.ImageWidth = -1;
  EXPECT_EQ(XferReadyImageInfo(info, mode, false, params, bitmap), TRVTWainImageInfoResult::UnknownSize);
  EXPECT_EQ(bitmap.GetWidth(), 3);
  EXPECT_EQ(bitmap.GetPixelFormat(), rv8g);
}

// A strip reaching past the bitmap on both axes, or claiming more columns than its rows hold
// or more rows than its memory holds, is clipped; its memory is exactly BytesPerRow x Rows (or
// Length), so a read past it shows under the address sanitizer.
TEST(TWainTransfer, CopyBufferClipsAndMapsSamples) {
  struct Case {
    int32_t bpp;
    bool native;
    TRVPixelFormat format;
    uint32_t columns, rows, bytesPerRow, xOffset, yOffset, length;
  };
  const Case cases[] = {
      {24, false, rv24RGB, 6, 5, 18, 1, 1, 0},    // past the right and the bottom edge
      {24, false, rv24RGB, 50, 3, 9, 0, 0, 0},    // 50 columns claimed, rows of 3 pixels
      {24, false, rv24RGB, 3, 100, 9, 0, 0, 18},  // 100 rows claimed, memory for 2
      {8, false, rv24RGB, 5, 3, 5, 2, 0, 0},
      {8, true, rv8g, 5, 3, 5, 2, 0, 0},
      {16, false, rv24RGB, 4, 2, 8, 0, 2, 0},
      {16, true, rv16g, 4, 2, 8, 0, 2, 0},
      {48, false, rv24RGB, 4, 2, 24, 1, 0, 0},
      {48, true, rv48RGB, 4, 2, 24, 1, 0, 0},
      {1, true, rv1g, 13, 2, 2, 3, 1, 0},
      {24, false, rv24RGB, 2, 2, 6, 4, 0, 0},  // offset past the right edge: nothing
  };
  const int32_t w = 4, h = 3;
  for (const Case& c : cases) {
    const std::string what =
        std::to_string(c.bpp) + "/" + std::to_string(c.columns) + "x" + std::to_string(c.rows);
    const size_t size = c.length ? c.length : size_t(c.bytesPerRow) * c.rows;
    std::vector<uint8_t> memory(size);
    for (size_t i = 0; i < size; ++i) memory[i] = uint8_t(i * 7 + 1);
    TRVBitmap bitmap(w, h, c.format);
    const int32_t rowLen = bitmap.GetRowLen();
    for (int32_t y = 0; y < h; ++y) std::memset(bitmap.GetScanLine(y), 0xEE, size_t(rowLen));
    TW_IMAGEMEMXFER strip{};
    strip.Columns = c.columns;
    strip.Rows = c.rows;
    strip.BytesPerRow = c.bytesPerRow;
    strip.XOffset = c.xOffset;
    strip.YOffset = c.yOffset;
    strip.Memory.Length = c.length;
    strip.Memory.TheMem = memory.data();
    CopyBuffer(strip, c.bpp, c.native, bitmap);

    const int64_t rowsHeld = c.length ? c.length / c.bytesPerRow : c.rows;
    const int64_t colsHeld = std::min<int64_t>(c.columns, int64_t(c.bytesPerRow) * 8 / c.bpp);
    for (int32_t y = 0; y < h; ++y) {
      const uint8_t* row = bitmap.GetScanLine(y);
      for (int32_t x = 0; x < w; ++x) {
        const int64_t sr = y - int64_t(c.yOffset), sc = x - int64_t(c.xOffset);
        const bool inside = sr >= 0 && sr < rowsHeld && sc >= 0 && sc < colsHeld;
        const uint8_t* s = inside ? &memory[size_t(sr * c.bytesPerRow)] : nullptr;
        std::vector<uint8_t> want;
        std::vector<uint8_t> got;
        if (c.format == rv1g) {
          const bool bit = inside ? (s[sc / 8] >> (7 - sc % 8)) & 1 : (0xEE >> (7 - x % 8)) & 1;
          want = {uint8_t(bit)};
          got = {uint8_t((row[x / 8] >> (7 - x % 8)) & 1)};
        } else if (c.format == rv24RGB) {
          got.assign(row + x * 3, row + x * 3 + 3);
          if (!inside) {
            want = {0xEE, 0xEE, 0xEE};
          } else if (c.bpp == 24) {
            want = {s[sc * 3 + 2], s[sc * 3 + 1], s[sc * 3]};
          } else if (c.bpp == 8) {
            want = {s[sc], s[sc], s[sc]};
          } else if (c.bpp == 16) {
            want.assign(3, s[sc * 2 + 1]);
          } else {  // 48: the high bytes of blue, green and red
            want = {s[sc * 6 + 5], s[sc * 6 + 3], s[sc * 6 + 1]};
          }
        } else {
          const int32_t bytes = c.format == rv8g ? 1 : c.format == rv16g ? 2 : 6;
          got.assign(row + x * bytes, row + (x + 1) * bytes);
          if (inside)
            want.assign(s + sc * bytes, s + (sc + 1) * bytes);
          else
            want.assign(size_t(bytes), 0xEE);
        }
        EXPECT_EQ(got, want) << what << " at " << x << "," << y;
      }
    }
  }
}

TEST(TWainTransfer, TempFileNames) {
  const std::string saved = TempDirectory;
  const std::string name = TWainTempFileName();
  EXPECT_EQ(name.substr(0, TemporaryDirectory().size()), TemporaryDirectory());
  EXPECT_EQ(name.substr(name.size() - 4), ".bmp");
  // Folders so long that the temporary name passes 254 characters.
  TempDirectory = "/" + std::string(234, 'd') + "/";
  EXPECT_EQ(TWainTempFileName(), TempDirectory + "rastovatwain03.bmp");
  TempDirectory = "/" + std::string(250, 'd') + "/";
  EXPECT_EQ(TWainTempFileName(), "rastovatwain03.bmp");
  TempDirectory = saved;
}

}  // namespace
}  // namespace rv
