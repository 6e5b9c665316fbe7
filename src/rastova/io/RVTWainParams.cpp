#include "rastova/io/RVTWainParams.h"

#include "rastova/core/RVStream.h"

namespace rv {

TRVTWainParams::TRVTWainParams(TRastovaIO* Owner)
    : Owner(Owner), CustomData(std::make_unique<TMemoryStream>()) {
  SetDefaults();
}

TRVTWainParams::~TRVTWainParams() { SetDefaults(); }

void TRVTWainParams::SetDefaults() {
  VisibleDialog = true;
  ProgressIndicator = false;
  SourceList.clear();
  SelectedSource = 0;
  SourceListed = false;
  AcquireFrameEnabled = false;
  for (auto* list :
       {&XResolution, &YResolution, &XScaling, &YScaling, &Threshold, &Rotation, &Shadow, &Highlight})
    list->clear();
  for (auto* list : {&PixelType, &BitDepth, &Orientation, &FileTransferFormat}) list->clear();
  Gamma = 2.2;
  Contrast = 0.0;
  Brightness = 0.0;
  FeederEnabled = false;
  BufferedTransfer = true;
  std::fill(std::begin(AcquireFrame), std::end(AcquireFrame), 0);
  AutoFeed = true;
  AutoScroll = true;
  DuplexEnabled = false;
  NativePixelFormat = false;
  UseMemoryHandle = false;
  AutoDeskew = false;
  AutoBorderDetection = false;
  std::fill(std::begin(Reserved), std::end(Reserved), 0);
  TransferCount = -2;
  InvertBits = false;
  PhysicalWidth = -1.0;
  PhysicalHeight = -1.0;
  AppManufacturer.clear();
  AppProductFamily.clear();
  AppProductName.clear();
  AppInfo.clear();
  AppVersion = 0;
  AppLanguage = -1;
  AppCountry = 1;
  CustomData->Clear();
  std::fill(std::begin(Connection), std::end(Connection), 0);
  LastError = 0;
  LastErrorStr.clear();
}

}  // namespace rv
