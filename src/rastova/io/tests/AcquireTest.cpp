// The I/O component's acquisition hand-over, scanner progress, scanner and print settings, and
// the save-parameters preview call.
#include <gtest/gtest.h>

#include <memory>

#include "IoTestTools.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStream.h"
#include "rastova/io/RVFileFormat.h"
#include "rastova/io/RVTWainParams.h"
#include "rastova/io/RVWia.h"
#include "rastova/io/RastovaIO.h"

namespace rv {
namespace {

// Installs a preview dialog stand-in for one test and removes it afterwards.
class DialogScope {
 public:
  explicit DialogScope(bool answer) {
    SetIOPreviewsDialogHook([this, answer](TRastovaIO& io, uint16_t pages) {
      ++calls;
      this->pages = pages;
      format = io.GetAttachedRVBitmap()->GetPixelFormat();
      return answer;
    });
  }
  ~DialogScope() { SetIOPreviewsDialogHook(nullptr); }
  int calls = 0;
  uint16_t pages = 0;
  TRVPixelFormat format = rvNone;
};

TEST(DoPreviews, AHandledRequestShowsNoDialogAndKeepsTheBitmap) {
  DialogScope dialog(false);
  TRVBitmap grey(4, 3, rv8g);
  TRastovaIO io(&grey);
  int asked = 0;
  io.OnDoPreviews = [&](TRastovaIO& sender, bool& handled) {
    EXPECT_EQ(&sender, &io);
    ++asked;
    handled = true;
  };
  EXPECT_TRUE(io.DoPreviews(ppJPEG));
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(dialog.calls, 0);
  EXPECT_EQ(grey.GetPixelFormat(), rv8g);
  // Not handled: the dialog runs after the handler.
  io.OnDoPreviews = [&](TRastovaIO&, bool&) { ++asked; };
  EXPECT_FALSE(io.DoPreviews(ppJPEG | ppTIFF));
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(dialog.calls, 1);
  EXPECT_EQ(dialog.pages, ppJPEG | ppTIFF);
}

TEST(DoPreviews, TheWorkingBitmapBecomes24BitRGBAndStaysSo) {
  struct Case {
    TRVPixelFormat before, shown;
    bool withDialog, answer, result;
  } cases[] = {
      {rv8g, rv24RGB, true, true, true},     // converted for the dialog, OK
      {rv8g, rv24RGB, true, false, false},   // cancelled: the conversion remains all the same
      {rv8g, rv24RGB, false, false, false},  // no dialog library: False after the conversion
      {rv1g, rv1g, true, true, true},        // one bit and 24 bits are shown as they are
      {rv24RGB, rv24RGB, true, true, true}, {rv48RGB, rv24RGB, true, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.before) * 10 + c.withDialog);
    std::unique_ptr<DialogScope> dialog;
    if (c.withDialog) dialog = std::make_unique<DialogScope>(c.answer);
    TRVBitmap b(3, 2, c.before);
    if (c.before == rv8g) b.SetPixels_rv8(1, 1, 77);
    TRastovaIO io(&b);
    EXPECT_EQ(io.DoPreviews(ppTGA), c.result);
    EXPECT_EQ(b.GetPixelFormat(), c.shown);
    if (dialog) {
      EXPECT_EQ(dialog->format, c.shown);
    }
    if (c.before == rv8g) {
      EXPECT_EQ(b.GetPixels(1, 1), (TRGB{77, 77, 77}));
    }
  }
}

TEST(DoPreviews, WithoutAWorkingBitmapNothingIsShown) {
  DialogScope dialog(true);
  TRastovaIO io;
  io.SetAttachedRVBitmap(nullptr);
  EXPECT_FALSE(io.DoPreviews(ppJPEG));
  EXPECT_EQ(dialog.calls, 0);
}

// A 30 x 20 acquired image, a 2 x 2 grey working bitmap at 300 dpi and the scanner client's
// parameters at 42 dpi.
class AcquiredBitmap : public ::testing::Test {
 protected:
  AcquiredBitmap() {
    acquired.Fill(0x102030);
    io.Params.SetDpiX(300);
    clientParams.SetDpiX(42);
  }
  TRVBitmap acquired{30, 20, rv24RGB};
  TRVBitmap working{2, 2, rv8g};
  TRastovaIO io{&working};
  TIOParamsVals clientParams;
};

TEST_F(AcquiredBitmap, AHandledImageLeavesBitmapAndParametersAlone) {
  TRVBitmap* offered = nullptr;
  io.OnAcquireBitmap = [&](TRastovaIO&, TRVBitmap& bitmap, bool& handled) {
    offered = &bitmap;
    handled = true;
  };
  io.ReceiveAcquiredBitmap(acquired, clientParams);
  EXPECT_EQ(offered, &acquired);
  EXPECT_EQ(working.GetWidth(), 2);
  EXPECT_EQ(working.GetPixelFormat(), rv8g);
  EXPECT_EQ(clientParams.DpiX, 42);
}

TEST_F(AcquiredBitmap, AnUnhandledImageIsTakenWithTheComponentsParameters) {
  int offered = 0;
  io.OnAcquireBitmap = [&](TRastovaIO&, TRVBitmap&, bool&) { ++offered; };
  io.ReceiveAcquiredBitmap(acquired, clientParams);
  EXPECT_EQ(offered, 1);
  EXPECT_EQ(clientParams.DpiX, 300);
  ASSERT_EQ(working.GetWidth(), 30);
  EXPECT_EQ(working.GetHeight(), 20);
  EXPECT_EQ(working.GetPixels(29, 19), acquired.GetPixels(29, 19));
  EXPECT_EQ(working.GetPixels(0, 0), acquired.GetPixels(0, 0));

  // With AutoAdjustDPI differing resolutions are equalised: 20 rows at 50 dpi become 40 at 100.
  TRVBitmap second(30, 20, rv24RGB);
  io.AutoAdjustDPI = true;
  io.Params.Width = 30;
  io.Params.Height = 20;
  io.Params.DpiX = 100;
  io.Params.DpiY = 50;
  io.ReceiveAcquiredBitmap(second, clientParams);
  EXPECT_EQ(working.GetWidth(), 30);
  EXPECT_EQ(working.GetHeight(), 40);
  EXPECT_TRUE(io.GetAutoAdjustDPI());

  // Without a working bitmap the image is not even offered.
  io.SetAttachedRVBitmap(nullptr);
  io.ReceiveAcquiredBitmap(second, clientParams);
  EXPECT_EQ(offered, 2);
}

TEST_F(AcquiredBitmap, ScannerProgressReportsAndAsksToStopWhenAborting) {
  int last = -1;
  io.OnProgress = [&](TRastovaIO&, int32_t per) { last = per; };
  EXPECT_TRUE(io.WIAProgress(40));
  EXPECT_EQ(last, 40);
  io.Aborting = true;
  EXPECT_FALSE(io.WIAProgress(60));
  EXPECT_EQ(last, 60);
}

TEST(ScannerSettings, SetDefaultsRestoresEverySetting) {
  TRastovaIO io;
  TRVTWainParams& p = io.TwainParams();
  EXPECT_EQ(p.Owner, &io);
  p.VisibleDialog = false;
  p.SourceList.push_back(TW_IDENTITY{});
  p.SourceListed = true;
  p.XResolution.push_back(300);
  p.PixelType.push_back(2);
  p.Gamma = 1.0;
  p.AcquireFrame[3] = 9;
  p.TransferCount = 5;
  p.PhysicalWidth = 8.5;
  p.AppInfo = "x";
  p.AppLanguage = 3;
  p.CustomData->Write("abc", 3);
  p.LastError.Code = 4;
  p.LastError.Text = "failed";
  p.SetDefaults();
  EXPECT_TRUE(p.VisibleDialog);
  EXPECT_FALSE(p.ProgressIndicator);
  EXPECT_TRUE(p.SourceList.empty());
  EXPECT_FALSE(p.SourceListed);
  EXPECT_TRUE(p.XResolution.empty());
  EXPECT_TRUE(p.PixelType.empty());
  EXPECT_EQ(p.Gamma, 2.2);
  EXPECT_EQ(p.AcquireFrame[3], 0);
  EXPECT_EQ(p.TransferCount, -2);
  EXPECT_EQ(p.PhysicalWidth, -1.0);
  EXPECT_EQ(p.PhysicalHeight, -1.0);
  EXPECT_TRUE(p.AppInfo.empty());
  EXPECT_EQ(p.AppLanguage, -1);
  EXPECT_EQ(p.AppCountry, 1);
  EXPECT_EQ(p.CustomData->GetSize(), 0);
  EXPECT_EQ(p.LastError.Code, 0);
  EXPECT_TRUE(p.LastError.Text.empty());

  const TIOPrintPreviewParams& print = io.PrintPreviewSettings();
  EXPECT_EQ(print.MarginLeft + print.MarginTop + print.MarginRight + print.MarginBottom, 4.0);
  EXPECT_EQ(print.Position, 4);
  EXPECT_EQ(print.Size, 1);
  EXPECT_EQ(print.Width, -1.0);
  EXPECT_EQ(print.Height, -1.0);
  EXPECT_EQ(print.Gamma, 1.0);
}

TEST(ScannerSettings, SourceNamesComeFromTheScannerLibraryOnce) {
  iotest::SaneConfig config("test\n", 2);
  TRastovaIO io;
  TRVTWainParams& p = io.TwainParams();
  EXPECT_EQ(p.GetSourceName(0), "frontend-tester");
  EXPECT_TRUE(p.SourceListed);
  ASSERT_EQ(p.SourceList.size(), 2u);
  EXPECT_EQ(p.GetSourceName(1), "frontend-tester");
  EXPECT_EQ(p.GetSourceName(2), "");
  EXPECT_EQ(p.GetSourceName(-1), "");
  // Listed once: a source the library gains later is not seen until the list is reset.
  p.SourceList.pop_back();
  EXPECT_EQ(p.GetSourceName(1), "");
  p.SetDefaults();
  EXPECT_EQ(p.GetSourceName(1), "frontend-tester");
}

TEST(ScannerSettings, WithoutSourcesEveryNameIsEmpty) {
  iotest::SaneConfig config("", 1);
  TRastovaIO io;
  EXPECT_EQ(io.TwainParams().GetSourceName(0), "");
  EXPECT_TRUE(io.TwainParams().SourceListed);
}

TEST(ScannerSettings, TheDeviceListIsCreatedOnceWithTheComponentsProgress) {
  iotest::SaneConfig config("test\n", 1);
  TRastovaIO io;
  TRVWia& wia = io.GetWIAParams();
  EXPECT_EQ(&io.GetWIAParams(), &wia);
  EXPECT_EQ(wia.GetOwner(), &io);
  ASSERT_NE(wia.GetDevicesInfo(0), nullptr);
  EXPECT_EQ(wia.GetDevicesInfo(0)->Name, "frontend-tester");
  int last = -1;
  io.OnProgress = [&](TRastovaIO&, int32_t per) { last = per; };
  ASSERT_TRUE(wia.OnProgress);
  EXPECT_TRUE(wia.OnProgress(30));
  EXPECT_EQ(last, 30);
  io.Aborting = true;
  EXPECT_FALSE(wia.OnProgress(31));
}

}  // namespace
}  // namespace rv
