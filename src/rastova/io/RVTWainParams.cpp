#include "rastova/io/RVTWainParams.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "rastova/core/RVStream.h"

namespace rv {

TRVTWainParams::TRVTWainParams(TRastovaIO* Owner)
    : Owner(Owner), CustomData(std::make_unique<TMemoryStream>()) {
  SetDefaults();
}

TRVTWainParams::~TRVTWainParams() {
  FreeTWainResources(Connection);
  SetDefaults();
}

void TRVTWainParams::ListSources() {
  SourceList.clear();
  FillTWainSourceList(SourceList, Connection, &LastError);
  SourceListed = true;
}

std::string TRVTWainParams::GetSourceName(int32_t Index) {
  if (!SourceListed) ListSources();
  if (Index < 0 || static_cast<size_t>(Index) >= SourceList.size()) return {};
  const char* name = SourceList[static_cast<size_t>(Index)].ProductName;
  return std::string(name, strnlen(name, sizeof(SourceList[0].ProductName)));
}

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
  LastError = TRVTWainLastError();
}

}  // namespace rv
