#pragma once
// The data of the vector layer's objects: object kinds and their sister enumerations (one byte
// each in a record), the soft-shadow options and the object record itself. They live here,
// without windows, because the object stream (RVVObjStream.h) reads and writes them; the vector
// layer that keeps, draws and edits them is rastova/view/vector/RastovaVect.h.
//
// Owned blocks are containers (strings, vectors, an optional font record), so a record copied by
// value copies them deeply; the layer's AddNewObject then clears what a copy must not carry.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gfx/Canvas.h"
#include "platform/gfx/Types.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVUtils.h"
#include "rastova/core/draw/RVCharFormat.h"
#include "rastova/core/draw/RVGeometry.h"

namespace rv {

enum TRVVObjectKind : uint8_t {
  rvkNONE,
  rvkLINE,
  rvkBOX,
  rvkELLIPSE,
  rvkARC,
  rvkBITMAP,
  rvkTEXT,
  rvkRULER,
  rvkPOLYLINE,
  rvkANGLE,
  rvkMEMO,
  rvkLINELABEL,
  rvkEXTENDED
};
enum TRVShape : uint8_t { rvsNONE, rvsINARROW, rvsOUTARROW };
enum TRVVRulerType : uint8_t { rvrtRULER, rvrtQUOTEBEGIN, rvrtQUOTECENTER, rvrtQUOTEEND };
// A set: bit 0 selectable, bit 1 moveable, bit 2 sizeable, bit 3 visible.
using TRVVStyle = uint8_t;
constexpr TRVVStyle rvvsSelectable = 1, rvvsMoveable = 2, rvvsSizeable = 4, rvvsVisible = 8;
enum TRVUnits : uint8_t {
  rvuPIXELS,
  rvuINCHES,
  rvuKM,
  rvuMETERS,
  rvuCENTIMETERS,
  rvuMILLIMETERS,
  rvuMICRONS,
  rvuNANOMETERS,
  rvuFEET,
  rvuYARDS,
  rvuMILES
};
enum TRVLabelPos : uint8_t { rvlBegin, rvlEnd };
enum TRVLabelBorder : uint8_t { rvlNone, rvlRectangle, rvlRoundRect, rvlEllipse };
enum TRVFontQuality : uint8_t {
  rvfqAntialiased,
  rvfqClearType,
  rvfqClearTypeNatural,
  rvfqDefault,
  rvfqDraft,
  rvfqNonAntialiased,
  rvfqProof
};
enum TRVVValType : uint8_t { rvvtAREA, rvvtLENGTH };
enum TRVVUndoMode : uint8_t { rvumSeparated, rvumShared };

// The lfQuality byte of each TRVFontQuality.
constexpr uint8_t kFontQualityByte[7] = {4, 5, 6, 0, 1, 3, 2};

// LOGFONTA and LogFontStyleBits come from rastova/core/draw/RVGeometry.h.

// The face name as it stands (up to the first zero, at most 31 characters).
std::string LogFontFaceName(const LOGFONTA& LogFont);
// Stores at most the first 31 characters and a terminating zero.
void SetLogFontFaceName(LOGFONTA& LogFont, std::string_view Name);

// Shadow options of an object.
struct TRVVSoftShadow {
  bool Enabled = false;
  double Radius = 3.0;
  int32_t OffsetX = 0;
  int32_t OffsetY = 0;
  int32_t Intensity = 100;
  TRGB ShadowColor{0, 0, 0};
};

struct TRVDoublePoint {
  double x = 0, y = 0;
};

class TRVExtendedObject;

// One vector object. Coordinates in bitmap pixels.
struct TRVVObjRecord {
  int32_t X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
  TRVVObjectKind Kind = rvkNONE;
  int32_t Transparency = 255;
  void* UserData = nullptr;
  int32_t UserDataLen = 0;  // above 0: the object owns UserData (std::malloc) and frees it
  bool AspectRatio = false;
  uint8_t BlendOperation = 0;
  TRVShape BeginShape = rvsNONE, EndShape = rvsNONE;
  int32_t ShapeWidth = 0, ShapeHeight = 0;
  platform::TColor LabelBrushColor = 0;
  platform::TBrushStyle LabelBrushStyle = platform::bsSolid;
  TRVLabelPos LabelPos = rvlBegin;
  TRVLabelBorder LabelBorder = rvlNone;
  int32_t LabelRect[4] = {0, 0, 0, 0};
  platform::TColor PenColor = 0;
  platform::TPenStyle PenStyle = platform::psSolid;
  int32_t PenWidth = 1;
  platform::TColor BrushColor = 0;
  platform::TBrushStyle BrushStyle = platform::bsSolid;
  bool BoxHighLight = false;
  double ArcStartingAngle = 0, ArcEndingAngle = 0;
  int32_t BitmapIdx = -1;
  bool BitmapBorder = false;
  std::string Text;  // one-byte characters; empty for none
  std::optional<LOGFONTA> LogFont;
  TRVFontQuality FontQuality = rvfqAntialiased;
  uint8_t TextAlign = 0;
  bool TextAutoSize = false;
  bool FontLocked = false;
  std::vector<TRVDoublePoint> CurvePoints;
  int32_t CurvePointsCount = 0;
  int32_t CurveCharRot = 0;
  bool TextEditable = false;
  std::vector<int32_t> MemoCharFormatIdx;
  std::vector<TRVCharFormat> MemoCharFormats;
  int32_t MemoLineSpace = 0;
  platform::TColor MemoBorderColor = 0;
  platform::TPenStyle MemoBorderStyle = platform::psSolid;
  int32_t MemoFixedHeight = 0;
  bool MemoHasBitmap = false;
  double MemoMarginLeft = 0, MemoMarginTop = 0, MemoMarginRight = 0, MemoMarginBottom = 0;
  platform::TBrushStyle MemoCharsBrushStyle = platform::bsSolid;
  std::string Name;
  int32_t ID = 0;
  TRVVStyle Style = 0;
  TRVUnits RulerUnit = rvuPIXELS;
  TRVVRulerType RulerType = rvrtRULER;
  std::vector<TRVPoint> PolyPoints;  // PolyPointsAlloc entries, the first PolyPointsCount used
  int32_t PolyPointsCount = 0, PolyPointsAlloc = 0;
  int32_t PolyBaseX1 = 0, PolyBaseY1 = 0, PolyBaseX2 = 0, PolyBaseY2 = 0;
  bool PolylineClosed = false;
  std::vector<TRVPoint> DrawnPoints;  // DrawnPointsAlloc entries, the first DrawnPointsCount used
  int32_t DrawnPointsCount = 0, DrawnPointsAlloc = 0;
  TRVPoint AnglePoints[3];
  int32_t DownRect[4] = {0, 0, 0, 0};
  platform::TRect DrawnRect;
  int32_t DrawnPenWidth = 0;
  TRVVSoftShadow SoftShadow;
  TRVExtendedObject* ExtendedObject = nullptr;  // extended objects come with the object streams
};

// What a record added to a layer keeps of its owned data: the text and font of the text kinds
// (with the curve when it has points), the text, font and character formats of memos (the
// indexes one per character, none without indexes), the font of rulers and angles, the used
// poly-line points of poly-lines; everything else of those blocks, and the drawn points, is
// cleared. Boxes, ellipses and the other two-corner kinds get their corners ordered. The bitmap
// slot, user data and extended object are left to the caller.
void KeepDataOfKind(TRVVObjRecord& Obj);

}  // namespace rv
