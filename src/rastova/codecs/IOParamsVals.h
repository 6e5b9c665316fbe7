#pragma once
// TIOParamsVals: the parameters that steer the next write (quality, compression, colour depth,
// texts to embed) and the information the last read found (size, resolution, palette, texts,
// metadata) of one I/O component, or of a codec used on its own. The codecs receive it with every
// read and write. The record is plain data with a few setters that keep related copies
// consistent (resolution, page index and count, orientation, thumbnail flag) and the present-tag
// list of the EXIF block.
//
// Field names used by the codecs for the same fields:
//
//   codec name                       field here
//   -------------------------------  ------------------------------
//   OriginalWidth / OriginalHeight   StoredWidth / StoredHeight
//   NoFileHeader                     IsResource
//   ReadThumbnail                    GetThumbnail
//   TGA_RLE                          TGA_Compressed
//   TGA_ID                           TGA_Descriptor
//   TGA_XOrigin / TGA_YOrigin        TGA_XPos / TGA_YPos
//   TGA_KeyColor                     TGA_Background
//   TGA_Grayscale                    TGA_GrayLevel
//   PNG_CompressionLevel             PNG_Compression
//   JPEG_Markers                     JPEG_MarkerList
//   JPEG_Sampling                    JPEG_ChromaSubsampling
//   JPEG_OptimizeCoding              JPEG_OptimalHuffman
//   JPEG_Smoothing                   JPEG_Smooth
//   JPEG_ScaleDenominator            JPEG_ScaleUsed
//   JPEG_ReadEXIFThumbnail           JPEG_GetExifThumbnail
//   JPEG_ApplyOrientation            JPEG_EnableAdjustOrientation
//   BMP_UseAlpha                     BMP_KeepAlpha
//   GIF_LZWDecoder / GIF_LZWEncoder  GIF_LZWDecompress / GIF_LZWCompress
//   GIF_Left / GIF_Top               GIF_XPos / GIF_YPos
//   GIF_Delay                        GIF_DelayTime
//   GIF_Transparent                  GIF_FlagTranspColor
//   GIF_TransparentColor             GIF_TranspColor
//   GIF_BackgroundColor              GIF_Background
//   GIF_Disposal                     GIF_Action
//   CUR_HotSpotX / CUR_HotSpotY      CUR_XHotSpot / CUR_YHotSpot
//   BMPRAW_HeaderSize, _RowAlign,    RAWBMP_HeaderSize, _RowAlign,
//     _Planar, _DataFormat             _Planar, _DataFormat
//   BMPRAW_KeepChannelOrder true     RAWBMP_ChannelOrder 1
//   TIFF_LZWDecoder / ..Encoder      TIFF_LZWDecompress / TIFF_LZWCompress
//   TIFF_PhotometInterpret           TIFF_Photometric
//   TIFF_PlanarConf                  TIFF_PlanarConfiguration
//   TIFF_ByteOrder (1 for "II")      TIFF_LittleEndian
//   TIFF_AdjustOrientation           TIFF_EnableAdjustOrientation
//   TRVProgressRecord                TRVProgressRec (RVProgressRec.h)
//   RAW_Gamma                        RAW_OutputGamma
//   RAW_Bright                       RAW_Brightness
//   RAW_RedScale / RAW_BlueScale     RAW_RedFactor / RAW_BlueFactor
//   RAW_UseAutoWB                    RAW_AutoWhiteBalance
//   RAW_UseCameraWB                  RAW_CameraWhiteBalance
//   RAW_FourColorRGB                 RAW_FourColorInterpolation
//   RAW_GetEXIFThumbnail             RAW_GetExifThumbnail
//   RAW_AutoAdjustColors             RAW_MatchThumbnailColors
//   RAW_QuickInterpolate             (none: the raw reader always interpolates quickly)
//   EXIF_GPSLatitudeDegrees, ..      EXIF_GPSLatitude[0..2] (and the same for GPSLongitude,
//     ..Minutes, ..Seconds             GPSDestLatitude, GPSDestLongitude; GPSTimeStampHour,
//                                      ..Minute, ..Second are EXIF_GPSTimeStamp[0..2])
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "rastova/codecs/RVICC.h"
#include "rastova/codecs/RVMarkerList.h"
#include "rastova/codecs/RVTagsHandler.h"
#include "rastova/core/RVDICOMTags.h"
#include "rastova/core/RVDefs.h"
#include "rastova/core/RVImagingAnnot.h"

namespace rv {

class TRVBitmap;
class TStream;

// What the parameters need of the I/O component that owns them.
class TIOParamsOwner {
 public:
  virtual ~TIOParamsOwner() = default;
  // The size of the component's bitmap; false when it has none.
  virtual bool ParamsOwnerBitmapSize(int32_t& width, int32_t& height) = 0;
  // A resolution change to pass on to an attached view (horizontal or vertical axis).
  virtual void ParamsOwnerDpiChanged(bool horizontal, int32_t value) = 0;
};

// LZW coders of the TIFF and GIF codecs, reached through hooks that the I/O start-up installs and
// that every parameter set copies when it is reset. The TIFF decoder is given the strip's byte
// count with its first row, so that it never reads past the strip.
using TTIFFLZWDecompressProc = const uint8_t* (*)(const uint8_t* input, int64_t inputSize, int32_t rowBytes,
                                                  void*& state, int32_t fillOrder);
using TTIFFLZWCompressProc = void (*)(const uint8_t* row, int32_t rowBytes, TStream& stream, void*& state);
using TGIFLZWDecompressProc = void (*)(TStream& stream, int32_t height, int32_t width, bool interlaced,
                                       uint8_t* pixels);
using TGIFLZWCompressProc = void (*)(TStream& stream, int32_t height, int32_t width, bool interlaced,
                                     const uint8_t* pixels, int32_t bitsPerPixel);
extern TTIFFLZWDecompressProc TIFFLZWDecoderHook;
extern TTIFFLZWCompressProc TIFFLZWEncoderHook;
extern TGIFLZWDecompressProc GIFLZWDecoderHook;
extern TGIFLZWCompressProc GIFLZWEncoderHook;

// The colour management switch of the library: only when it is on are rows converted through
// ICC profiles.
extern bool ColorManagementOn;

class TIOParamsVals;
// Converts `count` pixels between row kinds (0 R,G,B; 1 B,G,R; 2 inverted CMYK; 4 CIELab;
// 5 grey; 6 and 7 16-bit RGB little- and big-endian; 8 YCbCr). The I/O start-up installs its
// conversion here; until then the built-in one serves: through the input and output profiles
// of `params` when colour management is on and the input profile is valid and not yet applied,
// else by plain formulas for the 8-bit RGB and CMYK kinds and RGB to grey (a grey source only through
// a profile).
using TConvertPixelRowProc = void (*)(const void* source, int32_t sourceKind, void* dest, TIOParamsVals* params,
                                      int32_t count, int32_t destKind);
extern TConvertPixelRowProc ConvertPixelRowHook;
void ConvertPixelRow(const void* source, int32_t sourceKind, void* dest, TIOParamsVals* params, int32_t count,
                     int32_t destKind);

// Date-time as days since 30 December 1899, the fraction being the time of day.
using TDateTime = double;
// Today's local date at midnight.
TDateTime DateToday();

// The plain fields with their defaults (the values SetDefaultParams gives).
struct TIOParamsFields {
  // ================================================================ general fields
  int32_t BitsPerSample = 8;
  std::u16string FileName;
  int32_t SamplesPerPixel = 3;
  int32_t Width = 0, Height = 0;
  int32_t DpiX = 0, DpiY = 0;  // through SetDpiX / SetDpiY
  int32_t FileType = 0;
  int32_t ImageIndex = 0;      // through SetImageIndex
  int32_t ImageCount = 0;      // through SetImageCount
  bool GetThumbnail = false;
  bool IsResource = false;
  int32_t StoredWidth = 0, StoredHeight = 0;
  bool NativePixelFormat = false;
  // Palette of the last file read (or built by a writer): ColorMapCount entries.
  std::vector<TRGB> ColorMap;
  int32_t ColorMapCount = 0;

  // ================================================================ TIFF
  uint8_t TIFF_Compression = 0;
  int32_t TIFF_ImageIndex = 0;
  int32_t TIFF_SubIndex = -1;
  uint8_t TIFF_Photometric = 2;
  int32_t TIFF_PlanarConfiguration = 1;
  int32_t TIFF_XPos = 0, TIFF_YPos = 0;
  int32_t TIFF_GetTile = -1;
  std::string TIFF_DocumentName, TIFF_ImageDescription, TIFF_PageName;
  int32_t TIFF_PageNumber = -1, TIFF_PageCount = -1;
  int32_t TIFF_Orientation = 1;  // through SetTIFF_Orientation
  TTIFFLZWDecompressProc TIFF_LZWDecompress = nullptr;
  TTIFFLZWCompressProc TIFF_LZWCompress = nullptr;
  bool TIFF_EnableAdjustOrientation = false;
  int32_t TIFF_JPEGQuality = 80;
  uint8_t TIFF_JPEGColorSpace = 2;
  int32_t TIFF_ZIPCompression = 1;
  int32_t TIFF_ImageCount = 0;
  int32_t TIFF_FillOrder = 1;
  bool TIFF_LittleEndian = true;

  // ================================================================ GIF
  std::string GIF_Version = "GIF89a";
  int32_t GIF_ImageIndex = 0;
  int32_t GIF_XPos = 0, GIF_YPos = 0;
  int32_t GIF_DelayTime = 0;
  bool GIF_FlagTranspColor = false;
  TRGB GIF_TranspColor{};
  bool GIF_Interlaced = false;
  int32_t GIF_ScreenWidth = 0, GIF_ScreenHeight = 0;
  TRGB GIF_Background{};
  int32_t GIF_AspectRatio = 0;
  std::vector<std::string> GIF_Comments;
  uint8_t GIF_Action = 2;
  TGIFLZWDecompressProc GIF_LZWDecompress = nullptr;
  TGIFLZWCompressProc GIF_LZWCompress = nullptr;
  int32_t GIF_ImageCount = 0;

  // ================================================================ JPEG and JPEG 2000
  uint8_t JPEG_ColorSpace = 2;  // 0 RGB, 1 grey, 2 YCbCr, 3 CMYK, 4 YCCK
  int32_t JPEG_Quality = 80;
  uint8_t JPEG_DCTMethod = 0;   // 0 ISLOW, 1 IFAST, 2 FLOAT
  uint8_t JPEG_ChromaSubsampling = 1;  // 0 2x1, 1 2x2, 2 1x1
  bool JPEG_OptimalHuffman = false;
  int32_t JPEG_Smooth = 0;
  bool JPEG_Progressive = false;
  uint8_t JPEG_Scale = 1;       // 0 automatic, 1 full, 2 half, 3 quarter, 4 eighth
  int32_t JPEG_ScaleUsed = 1;
  bool JPEG_EnableAdjustOrientation = false;
  bool JPEG_GetExifThumbnail = false;
  // libjpeg warnings of the last read, and the message code of the last one.
  int32_t JPEG_WarningCount = 0;
  int32_t JPEG_LastWarning = 0;
  uint8_t J2000_ColorSpace = 1;
  double J2000_Rate = 1.0;
  uint8_t J2000_Progression = 0;

  // ================================================================ PCX, BMP, icon and cursor
  int32_t PCX_Version = 5;
  uint8_t PCX_Compression = 1;
  int32_t DCX_ImageIndex = 0;
  uint8_t BMP_Version = 1;
  uint8_t BMP_Compression = 0;
  bool BMP_KeepAlpha = false;
  int32_t ICO_ImageIndex = 0;
  TRGB ICO_Background{255, 255, 255};
  int32_t CUR_ImageIndex = 0;
  int32_t CUR_XHotSpot = 0, CUR_YHotSpot = 0;
  TRGB CUR_Background{255, 255, 255};
  struct TIcoSize {
    int32_t cx = 0, cy = 0;
  };
  TIcoSize ICO_Sizes[16] = {{64, 64}};
  int32_t ICO_BitCount[16] = {8};

  // ================================================================ PNG, Targa
  bool PNG_Interlaced = false;
  TRGB PNG_Background{};
  uint8_t PNG_Filter = 0;
  int32_t PNG_Compression = 5;
  std::vector<std::string> PNG_TextKeys, PNG_TextValues;  // UTF-8 in memory
  int32_t TGA_XPos = 0, TGA_YPos = 0;
  bool TGA_Compressed = true;
  std::string TGA_Descriptor;   // 8-bit
  std::string TGA_Author;       // 8-bit
  TDateTime TGA_Date = 0;
  std::string TGA_ImageName;    // 8-bit
  TRGB TGA_Background{};
  double TGA_AspectRatio = 1.0;
  double TGA_Gamma = 2.2;
  bool TGA_GrayLevel = false;

  // ================================================================ other formats and metadata
  std::vector<std::string> PXM_Comments;
  std::string XMP_Info;
  int32_t AVI_FrameCount = 0;
  int32_t AVI_FrameDelayTime = 0;
  int32_t PS_PaperWidth = 595, PS_PaperHeight = 842;
  uint8_t PS_Compression = 1;
  std::string PS_Title = "No Title";
  int32_t PDF_PaperWidth = 595, PDF_PaperHeight = 842;
  uint8_t PDF_Compression = 2;
  std::string PDF_Title, PDF_Author, PDF_Subject, PDF_Keywords, PDF_Creator, PDF_Producer;
  bool RAW_HalfSize = false;
  double RAW_OutputGamma = 0.6;
  double RAW_Brightness = 1.0;
  double RAW_RedFactor = 1.0, RAW_BlueFactor = 1.0;
  bool RAW_AutoWhiteBalance = false;
  bool RAW_CameraWhiteBalance = false;
  bool RAW_FourColorInterpolation = false;
  std::string RAW_Camera;
  bool RAW_GetExifThumbnail = false;
  bool RAW_MatchThumbnailColors = false;
  uint8_t RAWBMP_ChannelOrder = 0;
  uint8_t RAWBMP_Planar = 0;
  int32_t RAWBMP_RowAlign = 8;
  int32_t RAWBMP_HeaderSize = 0;
  uint8_t RAWBMP_DataFormat = 0;
  bool PSD_ReadLayers = false;
  bool PSD_ReplaceViewLayers = true;
  double HDP_ImageQuality = 0.9;
  bool HDP_Lossless = false;

};

// The EXIF and GPS fields with their absent values (the values ResetEXIF gives).
struct TIOParamsEXIF {
  // ================================================================ EXIF block (absent values)
  bool EXIF_HasEXIFData = false;
  std::vector<uint16_t> EXIF_Tags;

  int32_t EXIF_Orientation = 0;  // through SetEXIF_Orientation
  std::string EXIF_ImageDescription, EXIF_Make, EXIF_Model;
  double EXIF_XResolution = 0, EXIF_YResolution = 0;
  int32_t EXIF_ResolutionUnit = 0;
  std::string EXIF_Software, EXIF_Artist, EXIF_DateTime;
  double EXIF_WhitePoint[2] = {-1, -1};
  double EXIF_PrimaryChromaticities[6] = {-1, -1, -1, -1, -1, -1};
  double EXIF_YCbCrCoefficients[3] = {-1, -1, -1};
  int32_t EXIF_YCbCrPositioning = -1;
  double EXIF_ReferenceBlackWhite[6] = {-1, -1, -1, -1, -1, -1};
  std::string EXIF_Copyright;
  double EXIF_ExposureTime = -1;
  double EXIF_FNumber = -1;
  int32_t EXIF_ExposureProgram = -1;
  int32_t EXIF_ISOSpeedRatings[2] = {0, 0};
  std::string EXIF_ExifVersion, EXIF_DateTimeOriginal, EXIF_DateTimeDigitized;
  double EXIF_CompressedBitsPerPixel = 0;
  double EXIF_ShutterSpeedValue = -1;
  double EXIF_ApertureValue = -1;
  double EXIF_BrightnessValue = -1000;
  double EXIF_ExposureBiasValue = -1000;
  double EXIF_MaxApertureValue = -1000;
  double EXIF_SubjectDistance = -1;
  int32_t EXIF_MeteringMode = -1;
  int32_t EXIF_LightSource = -1;
  int32_t EXIF_Flash = -1;
  double EXIF_FocalLength = -1;
  std::string EXIF_SubsecTime, EXIF_SubsecTimeOriginal, EXIF_SubsecTimeDigitized;
  std::string EXIF_FlashPixVersion;
  int32_t EXIF_ColorSpace = -1;
  uint32_t EXIF_PixelXDimension = 0, EXIF_PixelYDimension = 0;
  std::string EXIF_RelatedSoundFile;
  double EXIF_FocalPlaneXResolution = -1, EXIF_FocalPlaneYResolution = -1;
  int32_t EXIF_FocalPlaneResolutionUnit = -1;
  double EXIF_ExposureIndex = -1;
  int32_t EXIF_SensingMethod = -1;
  int32_t EXIF_FileSource = -1;
  int32_t EXIF_SceneType = -1;
  std::u16string EXIF_UserComment;
  std::string EXIF_UserCommentCode;
  int32_t EXIF_Rating = -1;
  std::u16string EXIF_XPTitle, EXIF_XPComment, EXIF_XPAuthor, EXIF_XPKeywords, EXIF_XPSubject;
  int32_t EXIF_ExposureMode = -1, EXIF_WhiteBalance = -1;
  double EXIF_DigitalZoomRatio = -1;
  int32_t EXIF_FocalLengthIn35mmFilm = -1, EXIF_SceneCaptureType = -1, EXIF_GainControl = -1,
          EXIF_Contrast = -1, EXIF_Saturation = -1, EXIF_Sharpness = -1, EXIF_SubjectDistanceRange = -1;
  std::string EXIF_ImageUniqueID;

  // GPS (texts empty and numbers 0 when absent)
  std::string EXIF_GPSVersionID;
  std::string EXIF_GPSLatitudeRef;
  double EXIF_GPSLatitude[3] = {0, 0, 0};
  std::string EXIF_GPSLongitudeRef;
  double EXIF_GPSLongitude[3] = {0, 0, 0};
  std::string EXIF_GPSAltitudeRef;
  double EXIF_GPSAltitude = 0;
  double EXIF_GPSTimeStamp[3] = {0, 0, 0};
  std::string EXIF_GPSSatellites, EXIF_GPSStatus, EXIF_GPSMeasureMode;
  double EXIF_GPSDOP = 0;
  std::string EXIF_GPSSpeedRef;
  double EXIF_GPSSpeed = 0;
  std::string EXIF_GPSTrackRef;
  double EXIF_GPSTrack = 0;
  std::string EXIF_GPSImgDirectionRef;
  double EXIF_GPSImgDirection = 0;
  std::string EXIF_GPSMapDatum;
  std::string EXIF_GPSDestLatitudeRef;
  double EXIF_GPSDestLatitude[3] = {0, 0, 0};
  std::string EXIF_GPSDestLongitudeRef;
  double EXIF_GPSDestLongitude[3] = {0, 0, 0};
  std::string EXIF_GPSDestBearingRef;
  double EXIF_GPSDestBearing = 0;
  std::string EXIF_GPSDestDistanceRef;
  double EXIF_GPSDestDistance = 0;
  std::string EXIF_GPSDateStamp;
};

class TIOParamsVals : public TIOParamsFields, public TIOParamsEXIF {
 public:
  explicit TIOParamsVals(TIOParamsOwner* owner = nullptr);
  ~TIOParamsVals();
  TIOParamsVals(const TIOParamsVals&) = delete;
  TIOParamsVals& operator=(const TIOParamsVals&) = delete;

  // ---- whole-record operations
  void SetDefaultParams();
  // Forgets what the last file carried, keeping the write settings.
  void ResetInfo();
  void Assign(const TIOParamsVals& source);
  void FreeColorMap();
  // A new zeroed colour map of `count` entries (count <= 0: none).
  void SetColorMapCount(int32_t count);

  // ---- setters keeping copies consistent
  void SetDpiX(int32_t value);
  void SetDpiY(int32_t value);
  void SetImageIndex(int32_t value);
  void SetImageCount(int32_t value);
  void SetGetEXIFThumbnail(bool value);
  void SetRAW_GetEXIFThumbnail(bool value) { RAW_GetExifThumbnail = value; }
  void SetTIFF_Orientation(int32_t value);
  void SetEXIF_Orientation(int32_t value);

  // ---- colour profiles, created on first use
  TRVICC& GetInputICCProfile();
  TRVICC& GetOutputICCProfile();  // sRGB when created
  TRVICC& GetDefaultICCProfile();
  bool HasInputICCProfile() const { return InputICC_ != nullptr; }
  bool HasOutputICCProfile() const { return OutputICC_ != nullptr; }
  bool HasDefaultICCProfile() const { return DefaultICC_ != nullptr; }

  TIOParamsOwner* Owner() const { return owner_; }
  TRGB* ColorMapData() { return ColorMap.empty() ? nullptr : ColorMap.data(); }

  // ---- owned lists and objects
  TRVMarkerList JPEG_MarkerList;
  TRVIPTCInfoList IPTC_Info;
  // Every element of the last DICOM file read, in file order.
  TRVDICOMTags DICOM_Tags;
  std::unique_ptr<TRVBitmap> EXIF_Thumbnail;
  // The MakerNote of the EXIF block, cleared with it.
  TRVTagsHandler EXIF_MakerNote;

  // ---- the Wang annotations of a TIFF page, created on first use
  TRVImagingAnnot& GetImagingAnnot();
  bool HasImagingAnnot() const { return ImagingAnnot_ != nullptr; }
  void FreeImagingAnnot() { ImagingAnnot_.reset(); }

  // ---- EXIF block
  void ResetEXIF();
  void AddEXIFTag(uint16_t tag);
  void RemoveEXIFTag(uint16_t tag);
  bool HasEXIFTag(uint16_t tag) const;

  // The listed setters: store, then list the tag unless the value is the field's absent value.
  void SetEXIF_ExposureTime(double v);
  void SetEXIF_FNumber(double v);
  void SetEXIF_ExposureProgram(int32_t v);
  void SetEXIF_CompressedBitsPerPixel(double v);
  void SetEXIF_ShutterSpeedValue(double v);
  void SetEXIF_ApertureValue(double v);
  void SetEXIF_BrightnessValue(double v);
  void SetEXIF_ExposureBiasValue(double v);
  void SetEXIF_MaxApertureValue(double v);
  void SetEXIF_SubjectDistance(double v);
  void SetEXIF_MeteringMode(int32_t v);
  void SetEXIF_LightSource(int32_t v);
  void SetEXIF_Flash(int32_t v);
  void SetEXIF_FocalLength(double v);
  void SetEXIF_ColorSpace(int32_t v);
  void SetEXIF_PixelXDimension(uint32_t v);
  void SetEXIF_PixelYDimension(uint32_t v);
  void SetEXIF_FocalPlaneXResolution(double v);
  void SetEXIF_FocalPlaneYResolution(double v);
  void SetEXIF_FocalPlaneResolutionUnit(int32_t v);
  void SetEXIF_ExposureIndex(double v);
  void SetEXIF_SensingMethod(int32_t v);
  void SetEXIF_FileSource(int32_t v);
  void SetEXIF_SceneType(int32_t v);
  void SetEXIF_XResolution(double x);
  void SetEXIF_YResolution(double y);

  // Indexed accessors; an index outside the array is ignored (getters answer 0).
  void SetEXIF_ISOSpeedRatings(int32_t index, int32_t value);
  int32_t GetEXIF_ISOSpeedRatings(int32_t index) const;
  void SetEXIF_WhitePoint(int32_t index, double value);
  double GetEXIF_WhitePoint(int32_t index) const;
  void SetEXIF_PrimaryChromaticities(int32_t index, double value);
  double GetEXIF_PrimaryChromaticities(int32_t index) const;
  void SetEXIF_YCbCrCoefficients(int32_t index, double value);
  double GetEXIF_YCbCrCoefficients(int32_t index) const;
  void SetEXIF_ReferenceBlackWhite(int32_t index, double value);
  double GetEXIF_ReferenceBlackWhite(int32_t index) const;

 private:
  void ForgetIPTC();
  void SetListedDouble(double& field, double value, double sentinel, uint16_t tag);
  void SetListedInt(int32_t& field, int32_t value, int32_t sentinel, uint16_t tag);

  TIOParamsOwner* owner_ = nullptr;
  std::unique_ptr<TRVICC> InputICC_, OutputICC_, DefaultICC_;
  std::unique_ptr<TRVImagingAnnot> ImagingAnnot_;
};

}  // namespace rv
