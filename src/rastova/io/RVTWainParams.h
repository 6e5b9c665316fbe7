#pragma once
// The settings objects the I/O component owns for acquisition and printing: TRVTWainParams,
// the scanner settings handed to the scanner client (and the list of its sources), and
// TIOPrintPreviewParams, the page layout of a print preview. Nothing in the system prints, so
// the latter is a record of defaults.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "rastova/io/RVTwain.h"

namespace rv {

class TRastovaIO;
class TMemoryStream;

class TRVTWainParams {
 public:
  // The sources found, as the scanner client lists them.
  using TSourceList = std::vector<TW_IDENTITY>;

  explicit TRVTWainParams(TRastovaIO* Owner);
  ~TRVTWainParams();
  TRVTWainParams(const TRVTWainParams&) = delete;
  TRVTWainParams& operator=(const TRVTWainParams&) = delete;

  // Empties the source list and sets every setting to its default.
  void SetDefaults();
  // Lists the sources through the scanner client and marks them listed.
  void ListSources();
  // The product name of source Index, the sources listed first when they are not yet; empty
  // when Index is negative or not below the count.
  std::string GetSourceName(int32_t Index);

  TRastovaIO* Owner;
  bool VisibleDialog = true;
  bool ProgressIndicator = false;
  TSourceList SourceList;
  int32_t SelectedSource = 0;
  bool SourceListed = false;
  bool AcquireFrameEnabled = false;
  std::vector<double> XResolution, YResolution, XScaling, YScaling;
  std::vector<int32_t> PixelType, BitDepth;
  double Gamma = 2.2;
  double Contrast = 0.0;
  double Brightness = 0.0;
  bool FeederEnabled = false;
  std::vector<int32_t> Orientation;
  bool BufferedTransfer = true;
  // The area to acquire, four fixed-point numbers (left, top, right, bottom).
  uint8_t AcquireFrame[16] = {};
  bool AutoFeed = true;
  bool AutoScroll = true;
  bool DuplexEnabled = false;
  bool NativePixelFormat = false;
  bool UseMemoryHandle = false;
  std::vector<double> Threshold, Rotation, Shadow, Highlight;
  bool AutoDeskew = false;
  std::vector<int32_t> FileTransferFormat;
  bool AutoBorderDetection = false;
  uint8_t Reserved[4] = {};
  int32_t TransferCount = -2;
  bool InvertBits = false;
  double PhysicalWidth = -1.0;
  double PhysicalHeight = -1.0;
  // The application's identity for the source: texts, version, language (-1: the user's) and
  // country.
  std::string AppManufacturer, AppProductFamily, AppProductName, AppInfo;
  uint8_t AppVersion = 0;
  int16_t AppLanguage = -1;
  int16_t AppCountry = 1;
  // Data a source keeps of its own between sessions.
  std::unique_ptr<TMemoryStream> CustomData;
  // The scanner client's library session, kept between listings until destruction.
  TRVTWainKeptHandles Connection;
  // The condition of the last failed step of the scanner client and its text.
  TRVTWainLastError LastError;
};

class TIOPrintPreviewParams {
 public:
  double MarginLeft = 1.0;
  double MarginTop = 1.0;
  double MarginRight = 1.0;
  double MarginBottom = 1.0;
  uint8_t Position = 4;
  uint8_t Size = 1;
  double Width = -1.0;
  double Height = -1.0;
  double Gamma = 1.0;
};

}  // namespace rv
