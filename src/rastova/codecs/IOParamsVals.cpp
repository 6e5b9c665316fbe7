#include "rastova/codecs/IOParamsVals.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>

#include "common/Round.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVUtils.h"

namespace rv {

TTIFFLZWDecompressProc TIFFLZWDecoderHook = nullptr;
TTIFFLZWCompressProc TIFFLZWEncoderHook = nullptr;
TGIFLZWDecompressProc GIFLZWDecoderHook = nullptr;
TGIFLZWCompressProc GIFLZWEncoderHook = nullptr;
bool ColorManagementOn = false;
TConvertPixelRowProc ConvertPixelRowHook = nullptr;

namespace {
void BuiltInConvertPixelRow(const void* source, int32_t sourceKind, void* dest, TIOParamsVals* params, int32_t count,
                            int32_t destKind) {
  if (ColorManagementOn && params && params->HasInputICCProfile()) {
    TRVICC& in = params->GetInputICCProfile();
    if (in.IsValid() && !in.Applied() &&
        in.Transform(params->GetOutputICCProfile(), sourceKind, destKind, 0, 0, source, dest, count))
      return;
  }
  const auto* s = static_cast<const uint8_t*>(source);
  auto* d = static_cast<uint8_t*>(dest);
  if (sourceKind == 1 && destKind == 1) {
    std::memmove(d, s, static_cast<size_t>(count) * 3);
  } else if ((sourceKind == 0 && destKind == 1) || (sourceKind == 1 && destKind == 0)) {
    CopyBGRToRGB(d, s, count);
  } else if (sourceKind == 2 && (destKind == 1 || destKind == 0)) {
    for (int32_t i = 0; i < count; ++i) {
      const TRGB c = CMYKToRGB(TCMYK{s[4 * i], s[4 * i + 1], s[4 * i + 2], s[4 * i + 3]});
      d[3 * i] = destKind == 1 ? c.b : c.r;
      d[3 * i + 1] = c.g;
      d[3 * i + 2] = destKind == 1 ? c.r : c.b;
    }
  } else if ((sourceKind == 1 || sourceKind == 0) && destKind == 2) {
    for (int32_t i = 0; i < count; ++i) {
      const uint8_t* p = s + 3 * i;
      const TRGB c = sourceKind == 1 ? TRGB{p[0], p[1], p[2]} : TRGB{p[2], p[1], p[0]};
      const TCMYK k = RGBToCMYK(PackRGB(c));
      d[4 * i] = k.c;
      d[4 * i + 1] = k.m;
      d[4 * i + 2] = k.y;
      d[4 * i + 3] = k.k;
    }
  } else if ((sourceKind == 1 || sourceKind == 0) && destKind == 5) {
    for (int32_t i = 0; i < count; ++i) {
      const uint8_t* p = s + 3 * i;
      d[i] = sourceKind == 1 ? static_cast<uint8_t>(Gray8(p[2], p[1], p[0])) : static_cast<uint8_t>(Gray8(p[0], p[1], p[2]));
    }
  }
}
}  // namespace

void ConvertPixelRow(const void* source, int32_t sourceKind, void* dest, TIOParamsVals* params, int32_t count,
                     int32_t destKind) {
  if (count <= 0) return;
  (ConvertPixelRowHook ? ConvertPixelRowHook : BuiltInConvertPixelRow)(source, sourceKind, dest, params, count,
                                                                       destKind);
}

TDateTime DateToday() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const std::chrono::year_month_day ymd{std::chrono::year{local.tm_year + 1900},
                                        std::chrono::month{static_cast<unsigned>(local.tm_mon + 1)},
                                        std::chrono::day{static_cast<unsigned>(local.tm_mday)}};
  const auto epoch = std::chrono::sys_days{std::chrono::year{1899} / 12 / 30};
  return static_cast<double>((std::chrono::sys_days{ymd} - epoch).count());
}

TIOParamsVals::TIOParamsVals(TIOParamsOwner* owner) : owner_(owner) { SetDefaultParams(); }

TIOParamsVals::~TIOParamsVals() = default;

void TIOParamsVals::SetDefaultParams() {
  FreeColorMap();
  static_cast<TIOParamsFields&>(*this) = TIOParamsFields{};
  if (owner_) {
    int32_t w = 0, h = 0;
    if (owner_->ParamsOwnerBitmapSize(w, h)) {
      Width = w;
      Height = h;
    }
    SetDpiX(DefaultDpiX);
    SetDpiY(DefaultDpiY);
  }
  TIFF_LZWDecompress = TIFFLZWDecoderHook;
  TIFF_LZWCompress = TIFFLZWEncoderHook;
  GIF_LZWDecompress = GIFLZWDecoderHook;
  GIF_LZWCompress = GIFLZWEncoderHook;
  JPEG_MarkerList.Clear();
  ForgetIPTC();
  DICOM_Tags.Clear();
  ResetEXIF();
  InputICC_.reset();
  OutputICC_.reset();
  DefaultICC_.reset();
  ImagingAnnot_.reset();
  TGA_Date = DateToday();
}

// Emptying the records on a reset is no edit of the user's: the flag tells the JPEG writer to
// re-encode the IPTC marker, which would drop a Photoshop marker that carries no records.
void TIOParamsVals::ForgetIPTC() {
  IPTC_Info.Clear();
  IPTC_Info.Changed = false;
}

void TIOParamsVals::ResetInfo() {
  ForgetIPTC();
  JPEG_MarkerList.Clear();
  ResetEXIF();
  GIF_Comments.clear();
  DICOM_Tags.Clear();
  PNG_TextKeys.clear();
  PNG_TextValues.clear();
  TIFF_DocumentName.clear();
  TIFF_ImageDescription.clear();
  TIFF_PageName.clear();
  TGA_Descriptor.clear();
  TGA_Author.clear();
  TGA_ImageName.clear();
  PXM_Comments.clear();
  XMP_Info.clear();
  InputICC_.reset();
  ImagingAnnot_.reset();
}

void TIOParamsVals::Assign(const TIOParamsVals& source) {
  if (&source == this) return;
  static_cast<TIOParamsFields&>(*this) = static_cast<const TIOParamsFields&>(source);
  static_cast<TIOParamsEXIF&>(*this) = static_cast<const TIOParamsEXIF&>(source);
  ColorMap.resize(static_cast<size_t>(std::max(0, ColorMapCount)));
  // The owner hears of the new resolution as through SetDpiX / SetDpiY.
  if (owner_) {
    owner_->ParamsOwnerDpiChanged(true, DpiX);
    owner_->ParamsOwnerDpiChanged(false, DpiY);
  }
  JPEG_MarkerList.Assign(&source.JPEG_MarkerList);
  IPTC_Info.Assign(&source.IPTC_Info);
  DICOM_Tags.Assign(source.DICOM_Tags);
  // A copy saves as its source would: re-encoded only when the source's records were edited.
  IPTC_Info.Changed = source.IPTC_Info.Changed;
  if (source.EXIF_Thumbnail) {
    if (!EXIF_Thumbnail) EXIF_Thumbnail = std::make_unique<TRVBitmap>();
    EXIF_Thumbnail->Assign(source.EXIF_Thumbnail.get());
  } else {
    EXIF_Thumbnail.reset();
  }
  auto copyProfile = [](std::unique_ptr<TRVICC>& dst, const std::unique_ptr<TRVICC>& src) {
    if (!src) {
      dst.reset();
      return;
    }
    if (!dst) dst = std::make_unique<TRVICC>();
    if (src->Raw().empty() && src->IsValid()) dst->LoadSRGB();  // a built-in profile has no bytes
    else dst->Assign(*src);
  };
  copyProfile(InputICC_, source.InputICC_);
  copyProfile(OutputICC_, source.OutputICC_);
  copyProfile(DefaultICC_, source.DefaultICC_);
  EXIF_MakerNote.Assign(source.EXIF_MakerNote);
  if (source.ImagingAnnot_)
    GetImagingAnnot().Assign(*source.ImagingAnnot_);
  else
    ImagingAnnot_.reset();
}

TRVImagingAnnot& TIOParamsVals::GetImagingAnnot() {
  if (!ImagingAnnot_) {
    ImagingAnnot_ = std::make_unique<TRVImagingAnnot>();
    ImagingAnnot_->Owner = this;
  }
  return *ImagingAnnot_;
}

void TIOParamsVals::FreeColorMap() {
  ColorMap.clear();
  ColorMap.shrink_to_fit();
  ColorMapCount = 0;
}

void TIOParamsVals::SetColorMapCount(int32_t count) {
  FreeColorMap();
  if (count <= 0) return;
  ColorMap.assign(static_cast<size_t>(count), TRGB{});
  ColorMapCount = count;
}

void TIOParamsVals::SetDpiX(int32_t value) {
  DpiX = value;
  EXIF_XResolution = value;
  if (owner_) owner_->ParamsOwnerDpiChanged(true, value);
}

void TIOParamsVals::SetDpiY(int32_t value) {
  DpiY = value;
  EXIF_YResolution = value;
  if (owner_) owner_->ParamsOwnerDpiChanged(false, value);
}

void TIOParamsVals::SetImageIndex(int32_t value) {
  ImageIndex = TIFF_ImageIndex = DCX_ImageIndex = GIF_ImageIndex = ICO_ImageIndex = CUR_ImageIndex = value;
}

void TIOParamsVals::SetImageCount(int32_t value) {
  ImageCount = TIFF_ImageCount = AVI_FrameCount = GIF_ImageCount = value;
}

void TIOParamsVals::SetGetEXIFThumbnail(bool value) { GetThumbnail = JPEG_GetExifThumbnail = value; }

void TIOParamsVals::SetTIFF_Orientation(int32_t value) { TIFF_Orientation = EXIF_Orientation = value; }
void TIOParamsVals::SetEXIF_Orientation(int32_t value) { TIFF_Orientation = EXIF_Orientation = value; }

TRVICC& TIOParamsVals::GetInputICCProfile() {
  if (!InputICC_) InputICC_ = std::make_unique<TRVICC>();
  return *InputICC_;
}

TRVICC& TIOParamsVals::GetOutputICCProfile() {
  if (!OutputICC_) {
    OutputICC_ = std::make_unique<TRVICC>();
    OutputICC_->LoadSRGB();
  }
  return *OutputICC_;
}

TRVICC& TIOParamsVals::GetDefaultICCProfile() {
  if (!DefaultICC_) DefaultICC_ = std::make_unique<TRVICC>();
  return *DefaultICC_;
}

// ---------------------------------------------------------------- EXIF

void TIOParamsVals::ResetEXIF() {
  static_cast<TIOParamsEXIF&>(*this) = TIOParamsEXIF{};
  EXIF_Thumbnail.reset();
  EXIF_MakerNote.Clear();
  for (int32_t i = 0; i < JPEG_MarkerList.Count(); ++i) {
    if (JPEG_MarkerList.GetMarkerType(i) == 0xE1 &&
        IsEXIFMarker(JPEG_MarkerList.GetMarkerData(i), JPEG_MarkerList.GetMarkerLength(i))) {
      JPEG_MarkerList.DeleteMarker(i);
      break;
    }
  }
}

void TIOParamsVals::AddEXIFTag(uint16_t tag) {
  if (!HasEXIFTag(tag)) EXIF_Tags.push_back(tag);
}

void TIOParamsVals::RemoveEXIFTag(uint16_t tag) {
  auto it = std::find(EXIF_Tags.begin(), EXIF_Tags.end(), tag);
  if (it != EXIF_Tags.end()) EXIF_Tags.erase(it);
}

bool TIOParamsVals::HasEXIFTag(uint16_t tag) const {
  return std::find(EXIF_Tags.begin(), EXIF_Tags.end(), tag) != EXIF_Tags.end();
}

void TIOParamsVals::SetListedDouble(double& field, double value, double sentinel, uint16_t tag) {
  field = value;
  // An unordered comparison (NaN) counts as equal.
  const bool absent = !(value < sentinel || value > sentinel);
  if (absent) RemoveEXIFTag(tag);
  else AddEXIFTag(tag);
}

void TIOParamsVals::SetListedInt(int32_t& field, int32_t value, int32_t sentinel, uint16_t tag) {
  field = value;
  if (value == sentinel) RemoveEXIFTag(tag);
  else AddEXIFTag(tag);
}

void TIOParamsVals::SetEXIF_ExposureTime(double v) { SetListedDouble(EXIF_ExposureTime, v, -1, 0x829A); }
void TIOParamsVals::SetEXIF_FNumber(double v) { SetListedDouble(EXIF_FNumber, v, -1, 0x829D); }
void TIOParamsVals::SetEXIF_ExposureProgram(int32_t v) { SetListedInt(EXIF_ExposureProgram, v, -1, 0x8822); }
void TIOParamsVals::SetEXIF_CompressedBitsPerPixel(double v) {
  SetListedDouble(EXIF_CompressedBitsPerPixel, v, 0, 0x9102);
}
void TIOParamsVals::SetEXIF_ShutterSpeedValue(double v) { SetListedDouble(EXIF_ShutterSpeedValue, v, -1, 0x9201); }
void TIOParamsVals::SetEXIF_ApertureValue(double v) { SetListedDouble(EXIF_ApertureValue, v, -1, 0x9202); }
void TIOParamsVals::SetEXIF_BrightnessValue(double v) { SetListedDouble(EXIF_BrightnessValue, v, -1000, 0x9203); }
void TIOParamsVals::SetEXIF_ExposureBiasValue(double v) {
  SetListedDouble(EXIF_ExposureBiasValue, v, -1000, 0x9204);
}
void TIOParamsVals::SetEXIF_MaxApertureValue(double v) { SetListedDouble(EXIF_MaxApertureValue, v, -1000, 0x9205); }
void TIOParamsVals::SetEXIF_SubjectDistance(double v) { SetListedDouble(EXIF_SubjectDistance, v, -1, 0x9206); }
void TIOParamsVals::SetEXIF_MeteringMode(int32_t v) { SetListedInt(EXIF_MeteringMode, v, -1, 0x9207); }
void TIOParamsVals::SetEXIF_LightSource(int32_t v) { SetListedInt(EXIF_LightSource, v, -1, 0x9208); }
void TIOParamsVals::SetEXIF_Flash(int32_t v) { SetListedInt(EXIF_Flash, v, -1, 0x9209); }
void TIOParamsVals::SetEXIF_FocalLength(double v) { SetListedDouble(EXIF_FocalLength, v, -1, 0x920A); }
void TIOParamsVals::SetEXIF_ColorSpace(int32_t v) { SetListedInt(EXIF_ColorSpace, v, -1, 0xA001); }
void TIOParamsVals::SetEXIF_PixelXDimension(uint32_t v) {
  EXIF_PixelXDimension = v;
  if (v == 0) RemoveEXIFTag(0xA002);
  else AddEXIFTag(0xA002);
}
void TIOParamsVals::SetEXIF_PixelYDimension(uint32_t v) {
  EXIF_PixelYDimension = v;
  if (v == 0) RemoveEXIFTag(0xA003);
  else AddEXIFTag(0xA003);
}
void TIOParamsVals::SetEXIF_FocalPlaneXResolution(double v) {
  SetListedDouble(EXIF_FocalPlaneXResolution, v, -1, 0xA20E);
}
void TIOParamsVals::SetEXIF_FocalPlaneYResolution(double v) {
  SetListedDouble(EXIF_FocalPlaneYResolution, v, -1, 0xA20F);
}
void TIOParamsVals::SetEXIF_FocalPlaneResolutionUnit(int32_t v) {
  SetListedInt(EXIF_FocalPlaneResolutionUnit, v, -1, 0xA210);
}
void TIOParamsVals::SetEXIF_ExposureIndex(double v) { SetListedDouble(EXIF_ExposureIndex, v, -1, 0xA215); }
void TIOParamsVals::SetEXIF_SensingMethod(int32_t v) { SetListedInt(EXIF_SensingMethod, v, -1, 0xA217); }
void TIOParamsVals::SetEXIF_FileSource(int32_t v) { SetListedInt(EXIF_FileSource, v, -1, 0xA300); }
void TIOParamsVals::SetEXIF_SceneType(int32_t v) { SetListedInt(EXIF_SceneType, v, -1, 0xA301); }

void TIOParamsVals::SetEXIF_XResolution(double x) {
  SetDpiX(common::TruncInt(x));
  EXIF_XResolution = x;
}

void TIOParamsVals::SetEXIF_YResolution(double y) {
  SetDpiY(common::TruncInt(y));
  EXIF_YResolution = y;
}

namespace {
template <typename T, size_t N>
void SetAt(T (&a)[N], int32_t i, T v) {
  if (i >= 0 && static_cast<size_t>(i) < N) a[i] = v;
}
template <typename T, size_t N>
T GetAt(const T (&a)[N], int32_t i) {
  return (i >= 0 && static_cast<size_t>(i) < N) ? a[i] : T{};
}
}  // namespace

void TIOParamsVals::SetEXIF_ISOSpeedRatings(int32_t i, int32_t v) { SetAt(EXIF_ISOSpeedRatings, i, v); }
int32_t TIOParamsVals::GetEXIF_ISOSpeedRatings(int32_t i) const { return GetAt(EXIF_ISOSpeedRatings, i); }
void TIOParamsVals::SetEXIF_WhitePoint(int32_t i, double v) { SetAt(EXIF_WhitePoint, i, v); }
double TIOParamsVals::GetEXIF_WhitePoint(int32_t i) const { return GetAt(EXIF_WhitePoint, i); }
void TIOParamsVals::SetEXIF_PrimaryChromaticities(int32_t i, double v) { SetAt(EXIF_PrimaryChromaticities, i, v); }
double TIOParamsVals::GetEXIF_PrimaryChromaticities(int32_t i) const { return GetAt(EXIF_PrimaryChromaticities, i); }
void TIOParamsVals::SetEXIF_YCbCrCoefficients(int32_t i, double v) { SetAt(EXIF_YCbCrCoefficients, i, v); }
double TIOParamsVals::GetEXIF_YCbCrCoefficients(int32_t i) const { return GetAt(EXIF_YCbCrCoefficients, i); }
void TIOParamsVals::SetEXIF_ReferenceBlackWhite(int32_t i, double v) { SetAt(EXIF_ReferenceBlackWhite, i, v); }
double TIOParamsVals::GetEXIF_ReferenceBlackWhite(int32_t i) const { return GetAt(EXIF_ReferenceBlackWhite, i); }

}  // namespace rv
