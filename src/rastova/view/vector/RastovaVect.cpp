// The vector layer's store: objects and drawing order, the shared bitmap table, the object
// properties, and construction and destruction.
#include "rastova/view/vector/RastovaVect.h"
#include "rastova/view/vector/RVVectStreams.h"

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "common/Round.h"
#include "rastova/core/RVPixelRoutines.h"
#include "rastova/core/draw/RVGeometry.h"
#include "rastova/view/text/RVEdit.h"
#include "rastova/view/text/RVTextControl.h"

namespace rv {

const char* const kRVUnitNames[11] = {"pixels",  "inches",     "km",   "mt",    "cm",   "mm",
                                      "microns", "nanometers", "feet", "yards", "miles"};

// ---------------------------------------------------------------- font record

void LogFontToFont(const LOGFONTA& LogFont, platform::TFont& Font) {
  Font.Name = LogFontFaceName(LogFont);
  Font.SetHeight(LogFont.lfHeight);
  const uint8_t s = LogFontStyleBits(LogFont);
  Font.Style.Bold = s & fsBold;
  Font.Style.Italic = s & fsItalic;
  Font.Style.Underline = s & fsUnderline;
  Font.Style.StrikeOut = s & fsStrikeOut;
  Font.Escapement = LogFont.lfEscapement;
  Font.Quality = LogFont.lfQuality;
}

// ---------------------------------------------------------------- construction

TRastovaVect::TRastovaVect(QWidget* AOwner) : TRastovaView(AOwner) {
  EditingObject = -1;
  TextEdit = std::make_unique<TRVEdit>(this);
  TextEdit->hide();
  MemoEdit = std::make_unique<TRVTextControl>(this);
  MemoEdit->hide();
  FObjGripImage = std::make_unique<platform::TBitmap>();
  // The template.
  TRVVObjRecord& t = NewObjectTemplate;
  t.X1 = 0, t.Y1 = 0, t.X2 = 63, t.Y2 = 63;
  t.ArcStartingAngle = 0;
  t.ArcEndingAngle = 6.283185307179586;
  t.PenColor = 0xFFFFFF;
  t.PenStyle = platform::psSolid;
  t.PenWidth = 1;
  t.BrushColor = 0xFFFFFF;
  t.BrushStyle = platform::bsClear;
  t.LabelBrushColor = 0xFFFFFF;
  t.LabelBrushStyle = platform::bsSolid;
  t.ShapeWidth = 10;
  t.ShapeHeight = 20;
  t.LabelPos = rvlEnd;
  t.LabelBorder = rvlRectangle;
  t.BitmapIdx = -1;
  SetObjBitmapFromIcon(kObjTemplate, "APPLICATION", 64, 64);
  platform::TFont canvasFont;
  canvasFont.Name = "Arial";
  AssignObjFont(kObjTemplate, canvasFont);
  t.MemoBorderColor = 0xFFFFFF;
  t.MemoBorderStyle = platform::psSolid;
  t.MemoCharsBrushStyle = platform::bsSolid;
  t.CurveCharRot = -10;
  t.FontLocked = true;
  t.FontQuality = rvfqAntialiased;
  t.TextEditable = true;
  t.Style = rvvsSelectable | rvvsMoveable | rvvsSizeable | rvvsVisible;
  t.RulerUnit = FMUnit;
  t.RulerType = rvrtQUOTECENTER;
  t.AnglePoints[0] = {50, 50};
  t.Transparency = 255;
  // Measuring, grips, hint.
  ComputeMeasureScale(MeasureScaleX, MeasureScaleY, FMUnit);
  GripPen.Color = platform::clBlack;
  GripPen.Style = platform::psSolid;
  GripPen.Mode = platform::pmCopy;
  GripPen.Width = 1;
  GripBrush.Color = 0xBAFFFF;
  GripBrush.Style = platform::bsSolid;
  HintFont.Color = platform::clBlack;
  HintFont.Style.Bold = true;
  HintBrush.Color = 0x60FFFF;
  HintBrush.Style = platform::bsSolid;
  HintBackground = std::make_unique<platform::TBitmap>(1, 1, platform::pf24bit);
  RubberPen.Color = platform::clBlack;
  RubberPen.Mode = platform::pmNot;
  RubberPen.Width = 1;
  RubberPen.Style = platform::psSolid;
  QualityTimer = std::make_unique<platform::TTimer>();
  QualityTimer->SetInterval(50);
  QualityTimer->SetEnabled(false);
  QualityTimer->OnTimer = [this](platform::TTimer*) { QualityTimerTick(); };
}

TRastovaVect::~TRastovaVect() {
  FDestroying = true;
  EndTextEdit();
  QualityTimer.reset();
  FreeAllObjects();
  FreeObjData(NewObjectTemplate);
  Objects.clear();
  SelObjects.clear();
  SharedBitmaps.clear();
  DrawCache.reset();
}

// ---------------------------------------------------------------- handles and store

bool TRastovaVect::ValidHandle(int32_t hobj) const {
  if (hobj == kObjTemplate) return true;
  if (hobj == kObjLast) return !Objects.empty();
  return hobj >= 0 && hobj < ObjectsCount();
}

TRVVObjRecord* TRastovaVect::GetObj(int32_t hobj) {
  if (!ValidHandle(hobj)) return nullptr;
  if (hobj == kObjTemplate) return &NewObjectTemplate;
  if (hobj == kObjLast) return &Objects.back();
  return &Objects[size_t(hobj)];
}

void TRastovaVect::ObjChanged(int32_t hobj) {
  if (hobj != kObjTemplate) Update();
}

void TRastovaVect::GrowStore() {
  // Room for count + 522 whenever the count reaches a multiple of 512 (0 included).
  if (Objects.size() % 512 == 0) {
    Objects.reserve(Objects.size() + 522);
    FObjectsAlloc = static_cast<int32_t>(Objects.size() + 522);
    // The records moved: extended objects must not keep pointing at the old ones.
    for (TRVVObjRecord& o : Objects)
      if (o.ExtendedObject) o.ExtendedObject->ObjRecord = &o;
  }
  if (ObjectOrder.size() % 512 == 0) {
    ObjectOrder.reserve(ObjectOrder.size() + 522);
    FOrderAlloc = static_cast<int32_t>(ObjectOrder.size() + 522);
  }
}

int32_t TRastovaVect::AddNewObject(const TRVVObjRecord& Source) {
  // A record of this store given as the source would move when the store grows.
  if (!Objects.empty() && &Source >= Objects.data() && &Source < Objects.data() + Objects.size() &&
      Objects.size() % 512 == 0) {
    const TRVVObjRecord copy = Source;
    return AddNewObject(copy);
  }
  GrowStore();
  const int32_t h = ObjectsCount();
  Objects.push_back(Source);
  ObjectOrder.push_back(h);
  TRVVObjRecord& o = Objects.back();
  o.BitmapIdx = -1;
  o.UserData = nullptr;
  o.UserDataLen = 0;
  // An extended object is never shared: the copy gets a new instance of its class.
  o.ExtendedObject = nullptr;
  if (Source.Kind == rvkEXTENDED && Source.ExtendedObject) {
    o.ExtendedObject = Source.ExtendedObject->Clone();
    if (o.ExtendedObject) {
      o.ExtendedObject->ObjRecord = &o;
      o.ExtendedObject->SetHandle(h);
    }
  }
  KeepDataOfKind(o);
  if (Source.Kind == rvkBITMAP || (Source.Kind == rvkMEMO && Source.MemoHasBitmap))
    ShareObjBitmap(h, Source.BitmapIdx);
  return h;
}

void TRastovaVect::FreeObjText(TRVVObjRecord& Obj) {
  Obj.Text.clear();
  Obj.MemoCharFormatIdx.clear();
  Obj.MemoCharFormats.clear();
}

void TRastovaVect::FreeObjData(TRVVObjRecord& Obj) {
  ReleaseSharedBitmap(Obj.BitmapIdx);
  Obj.BitmapIdx = -1;
  Obj.Name.clear();
  Obj.LogFont.reset();
  FreeObjText(Obj);
  Obj.CurvePoints.clear();
  Obj.CurvePointsCount = 0;
  ClearPolylinePoints(Obj);
  Obj.DrawnPoints.clear();
  Obj.DrawnPointsCount = Obj.DrawnPointsAlloc = 0;
  Obj.SoftShadow = TRVVSoftShadow{};
  // ---- extended objects are owned by their record
  delete Obj.ExtendedObject;
  // ----
  Obj.ExtendedObject = nullptr;
  if (Obj.UserDataLen > 0) {
    std::free(Obj.UserData);
    Obj.UserData = nullptr;
    Obj.UserDataLen = 0;
  }
}

void TRastovaVect::FreeAllObjects() {
  for (int32_t h : ObjectOrder)
    if (h >= 0 && h < ObjectsCount()) FreeObjData(Objects[size_t(h)]);
  ObjectOrder.clear();
}

void TRastovaVect::RemoveAllObjects() {
  CancelInteraction();
  if (ObjAutoUndo) SaveObjUndo();
  // The records go whole below (their strings and lists with them) and so does the bitmap
  // table, so only what a record owns outside itself is freed one by one.
  for (int32_t h : ObjectOrder) {
    if (h < 0 || h >= ObjectsCount()) continue;
    TRVVObjRecord& o = Objects[size_t(h)];
    delete o.ExtendedObject;
    o.ExtendedObject = nullptr;
    if (o.UserDataLen > 0) std::free(o.UserData);
    o.UserData = nullptr;
    o.UserDataLen = 0;
  }
  ObjectOrder.clear();
  SelObjects.clear();
  Objects.clear();
  Objects.shrink_to_fit();
  ObjectOrder.shrink_to_fit();
  FObjectsAlloc = FOrderAlloc = 0;
  // The template's bitmap outlives the objects: it is taken out, the table emptied, and it is
  // attached again (landing in slot 0).
  std::unique_ptr<TRVBitmap> kept;
  const int32_t ti = NewObjectTemplate.BitmapIdx;
  if (ti >= 0 && ti < SharedBitmapsCount() && SharedBitmaps[size_t(ti)].Bitmap)
    kept = std::move(SharedBitmaps[size_t(ti)].Bitmap);
  SharedBitmaps.clear();
  NewObjectTemplate.BitmapIdx = -1;
  if (kept) AttachObjBitmap(kObjTemplate, kept.get());
  DoVectorialChanged();
  Update();
}

void TRastovaVect::ClearPolylinePoints(TRVVObjRecord& Obj) {
  Obj.PolyPoints.clear();
  Obj.PolyPointsCount = Obj.PolyPointsAlloc = 0;
  Obj.PolyBaseX1 = Obj.PolyBaseY1 = Obj.PolyBaseX2 = Obj.PolyBaseY2 = 0;
}

void TRastovaVect::AddPolylinePoint(int32_t hobj, int32_t X, int32_t Y) {
  TRVVObjRecord* o = GetObj(hobj);
  if (!o) return;
  if (o->PolyPointsCount > 0) {
    const TRVPoint& last = o->PolyPoints[size_t(o->PolyPointsCount - 1)];
    if (last.x == X && last.y == Y) return;
  }
  ++o->PolyPointsCount;
  if (o->PolyPointsCount > o->PolyPointsAlloc) {
    o->PolyPointsAlloc = o->PolyPointsCount * 2;
    o->PolyPoints.resize(size_t(o->PolyPointsAlloc));
  }
  o->PolyPoints[size_t(o->PolyPointsCount - 1)] = {X, Y};
  o->X1 = std::min(o->X1, X);
  o->Y1 = std::min(o->Y1, Y);
  o->X2 = std::max(o->X2, X);
  o->Y2 = std::max(o->Y2, Y);
  o->PolyBaseX1 = o->X1, o->PolyBaseY1 = o->Y1, o->PolyBaseX2 = o->X2, o->PolyBaseY2 = o->Y2;
}

void TRastovaVect::AssignObjFont(int32_t hobj, const platform::TFont& Font) {
  TRVVObjRecord* o = GetObj(hobj);
  if (!o) return;
  if (!o->LogFont) o->LogFont.emplace();
  LOGFONTA& f = *o->LogFont;
  f.lfHeight = Font.Height();
  f.lfWidth = 0;
  f.lfEscapement = Font.Escapement;
  f.lfOrientation = Font.Escapement;
  f.lfWeight = Font.Style.Bold ? 700 : 400;
  f.lfItalic = Font.Style.Italic;
  f.lfUnderline = Font.Style.Underline;
  f.lfStrikeOut = Font.Style.StrikeOut;
  f.lfCharSet = 1;
  f.lfOutPrecision = 0;
  f.lfClipPrecision = 0;
  f.lfQuality = Font.Quality;
  f.lfPitchAndFamily = 0;
  SetLogFontFaceName(f, Font.Name);
  o->PenColor = Font.Color;
  ObjChanged(hobj);
}

void TRastovaVect::SetObjBitmapFromIcon(int32_t hobj, const std::string& IconName, int32_t Width, int32_t Height) {
  if (!GetObj(hobj) || Width <= 0 || Height <= 0) return;
  // The icons are pictures of the library's resources; a missing one leaves the bitmap black.
  platform::TBitmap work(Width, Height, platform::pf24bit);
  const QImage icon(QString(":/rastova/icons/%1.png").arg(QString::fromStdString(IconName)));
  if (!icon.isNull()) {
    QImage surface = work.Image();
    QPainter p(&surface);
    p.drawImage(QRect(0, 0, Width, Height), icon);
  }
  TRVBitmap b;
  b.Assign(&work);
  AttachObjBitmap(hobj, &b);
  ObjChanged(hobj);
}

// ---------------------------------------------------------------- shared bitmaps

TRVBitmap* TRastovaVect::GetSharedBitmap(int32_t Index) {
  if (Index < 0 || Index >= SharedBitmapsCount()) return nullptr;
  return SharedBitmaps[size_t(Index)].Bitmap.get();
}

TRVBitmap* TRastovaVect::GetSharedBitmapAlpha(int32_t Index) {
  TRVBitmap* b = GetSharedBitmap(Index);
  return b ? b->AlphaBitmap() : nullptr;
}

namespace {
// A quick look before the full compare: the first bytes (up to 256, whole eight-byte words) of
// the middle row. Bitmaps of equal size and alpha presence whose samples differ are never
// compared row by row.
struct TBitmapSample {
  int32_t Width = 0, Height = 0;
  bool HasAlpha = false;
  size_t Length = 0;
  uint8_t Bytes[256] = {};

  explicit TBitmapSample(TRVBitmap& b) : Width(b.GetWidth()), Height(b.GetHeight()), HasAlpha(b.HasAlphaBitmap()) {
    Length = std::min<size_t>(size_t(std::max(0, b.GetRowLen())), sizeof(Bytes)) / 8 * 8;
    if (Height <= 0 || Length == 0) return;
    if (const uint8_t* row = b.GetScanLine(Height / 2)) std::memcpy(Bytes, row, Length);
    else Length = 0;
  }
  // Whether b may equal the sampled bitmap.
  bool MayEqual(TRVBitmap& b) const {
    if (b.GetWidth() != Width || b.GetHeight() != Height || b.HasAlphaBitmap() != HasAlpha) return false;
    const size_t length = std::min<size_t>(size_t(std::max(0, b.GetRowLen())), sizeof(Bytes)) / 8 * 8;
    if (length != Length) return false;
    if (Height <= 0 || Length == 0) return true;
    const uint8_t* row = b.GetScanLine(Height / 2);
    return row && std::memcmp(row, Bytes, Length) == 0;
  }
};
}  // namespace

int32_t TRastovaVect::FindSharedBitmap(TRVBitmap* Bitmap) {
  if (!Bitmap) return -1;
  const TBitmapSample sample(*Bitmap);
  for (int32_t i = SharedBitmapsCount() - 1; i >= 0; --i) {
    TRVBitmap* s = SharedBitmaps[size_t(i)].Bitmap.get();
    if (s && (s == Bitmap || (sample.MayEqual(*s) && SameBitmaps(*s, *Bitmap)))) return i;
  }
  return -1;
}

int32_t TRastovaVect::AllocSharedBitmapSlot() {
  for (int32_t i = 0; i < SharedBitmapsCount(); ++i)
    if (!SharedBitmaps[size_t(i)].Bitmap) return i;
  SharedBitmaps.emplace_back();
  return SharedBitmapsCount() - 1;
}

void TRastovaVect::ReleaseSharedBitmap(int32_t Index) {
  if (Index < 0 || Index >= SharedBitmapsCount()) return;
  TRVVSharedBitmap& s = SharedBitmaps[size_t(Index)];
  if (s.RefCount <= 1) {
    s.Bitmap.reset();
    s.RefCount = 0;
  } else {
    --s.RefCount;
  }
}

namespace {
// The object's slot becomes `Slot`, whose reference the caller has taken already, or a new slot
// holding `Copy`; only then is its former slot released. So the picture given may be the one
// that slot holds: an object's own picture or slot given back to it is kept, not freed first.
void MoveObjToSlot(TRastovaVect& v, int32_t hobj, int32_t Slot, std::unique_ptr<TRVBitmap> Copy) {
  v.ReleaseSharedBitmap(v.GetObj(hobj)->BitmapIdx);
  if (Copy) {
    Slot = v.AllocSharedBitmapSlot();
    v.SharedBitmaps[size_t(Slot)] = TRVVSharedBitmap{std::move(Copy), 1};
  }
  v.GetObj(hobj)->BitmapIdx = Slot;
}

std::unique_ptr<TRVBitmap> CopyOf(TRVBitmap* Bitmap) {
  auto copy = std::make_unique<TRVBitmap>();
  copy->Assign(Bitmap);
  return copy;
}
}  // namespace

void TRastovaVect::AttachObjBitmap(int32_t hobj, TRVBitmap* Bitmap) {
  if (!GetObj(hobj)) return;
  const int32_t found = Bitmap && ShareBitmaps ? FindSharedBitmap(Bitmap) : -1;
  if (found >= 0) ++SharedBitmaps[size_t(found)].RefCount;
  MoveObjToSlot(*this, hobj, found, Bitmap && found < 0 ? CopyOf(Bitmap) : nullptr);
}

void TRastovaVect::ShareObjBitmap(int32_t hobj, int32_t Index) {
  if (!GetObj(hobj)) return;
  TRVBitmap* shared = GetSharedBitmap(Index);
  if (shared && ShareBitmaps) ++SharedBitmaps[size_t(Index)].RefCount;
  MoveObjToSlot(*this, hobj, shared && ShareBitmaps ? Index : -1,
                shared && !ShareBitmaps ? CopyOf(shared) : nullptr);
}

void TRastovaVect::PackSharedBitmaps() {
  std::vector<int32_t> newIndex(SharedBitmaps.size(), -1);
  std::vector<TRVVSharedBitmap> packed;
  for (size_t i = 0; i < SharedBitmaps.size(); ++i)
    if (SharedBitmaps[i].Bitmap) {
      newIndex[i] = static_cast<int32_t>(packed.size());
      packed.push_back(std::move(SharedBitmaps[i]));
    }
  SharedBitmaps = std::move(packed);
  auto renumber = [&newIndex](TRVVObjRecord& o) {
    if (o.BitmapIdx >= 0 && size_t(o.BitmapIdx) < newIndex.size()) o.BitmapIdx = newIndex[size_t(o.BitmapIdx)];
  };
  renumber(NewObjectTemplate);
  for (TRVVObjRecord& o : Objects) renumber(o);
}

// ---------------------------------------------------------------- view overrides

void TRastovaVect::Update() {
  TRastovaView::Update();
  PlaceTextEditor();
}

void TRastovaVect::DoViewChange(int32_t Change) {
  TRastovaView::DoViewChange(Change);
  if (EditingObject >= 0) PlaceTextEditor();
}

// ---------------------------------------------------------------- event triggers

void TRastovaVect::DoVectorialChanged() {
  ObjectsChanged = true;
  ChangedNotified = false;
  if (OnVectorialChanged) OnVectorialChanged(this);
}
void TRastovaVect::DoVectorialChangedOnce() {
  if (!ChangedNotified && OnVectorialChanged) OnVectorialChanged(this);
  ChangedNotified = true;
}
void TRastovaVect::DoObjectMoveResize(int32_t hobj, int32_t Grip, int32_t& OffsetX, int32_t& OffsetY) {
  if (OnObjectMoveResize) OnObjectMoveResize(this, hobj, Grip & 0x7F, OffsetX, OffsetY);
}
void TRastovaVect::DoObjectClick(int32_t hobj) {
  if (OnObjectClick) OnObjectClick(this, hobj);
}
void TRastovaVect::DoObjectDblClick(int32_t hobj) {
  if (OnObjectDblClick) OnObjectDblClick(this, hobj);
}
void TRastovaVect::DoObjectOver(int32_t hobj) {
  if (OnObjectOver) OnObjectOver(this, hobj);
}
void TRastovaVect::DoNewObject(int32_t hobj) {
  if (OnNewObject) OnNewObject(this, hobj);
}
void TRastovaVect::DoUserSelectObject(int32_t hobj) {
  if (OnUserSelectObject) OnUserSelectObject(this, hobj);
}
void TRastovaVect::DoUserDeselectObject(int32_t hobj) {
  if (OnUserDeselectObject) OnUserDeselectObject(this, hobj);
}
void TRastovaVect::SetAntialiasedDrawing(bool Value) {
  AntialiasedDrawing = Value;
  Update();
}

// ---------------------------------------------------------------- object properties

// Plain fields: read the field, write it and update unless the template is written.
#define RV_PLAIN_PROP(Name, Type, Field)                         \
  Type TRastovaVect::GetObj##Name(int32_t hobj) {                \
    const TRVVObjRecord* o = GetObj(hobj);                       \
    using T = Type;                                              \
    return o ? o->Field : T{};                                   \
  }                                                              \
  void TRastovaVect::SetObj##Name(int32_t hobj, Type Value) {    \
    TRVVObjRecord* o = GetObj(hobj);                             \
    if (!o) return;                                              \
    o->Field = Value;                                            \
    ObjChanged(hobj);                                            \
  }
RV_PLAIN_PROP(PenColor, platform::TColor, PenColor)
RV_PLAIN_PROP(PenStyle, platform::TPenStyle, PenStyle)
RV_PLAIN_PROP(PenWidth, int32_t, PenWidth)
RV_PLAIN_PROP(BrushColor, platform::TColor, BrushColor)
RV_PLAIN_PROP(BrushStyle, platform::TBrushStyle, BrushStyle)
RV_PLAIN_PROP(BoxHighlight, bool, BoxHighLight)
RV_PLAIN_PROP(Transparency, int32_t, Transparency)
RV_PLAIN_PROP(BlendOperation, uint8_t, BlendOperation)
RV_PLAIN_PROP(AspectRatio, bool, AspectRatio)
RV_PLAIN_PROP(UserData, void*, UserData)
RV_PLAIN_PROP(UserDataLength, int32_t, UserDataLen)
RV_PLAIN_PROP(ID, int32_t, ID)
RV_PLAIN_PROP(FontQuality, TRVFontQuality, FontQuality)
RV_PLAIN_PROP(FontLocked, bool, FontLocked)
RV_PLAIN_PROP(TextAlign, uint8_t, TextAlign)
RV_PLAIN_PROP(TextAutoSize, bool, TextAutoSize)
RV_PLAIN_PROP(TextEditable, bool, TextEditable)
RV_PLAIN_PROP(BitmapBorder, bool, BitmapBorder)
RV_PLAIN_PROP(BeginShape, TRVShape, BeginShape)
RV_PLAIN_PROP(EndShape, TRVShape, EndShape)
RV_PLAIN_PROP(ShapeWidth, int32_t, ShapeWidth)
RV_PLAIN_PROP(ShapeHeight, int32_t, ShapeHeight)
RV_PLAIN_PROP(LabelBrushColor, platform::TColor, LabelBrushColor)
RV_PLAIN_PROP(LabelBrushStyle, platform::TBrushStyle, LabelBrushStyle)
RV_PLAIN_PROP(LabelPosition, TRVLabelPos, LabelPos)
RV_PLAIN_PROP(LabelBorder, TRVLabelBorder, LabelBorder)
RV_PLAIN_PROP(ArcStartingAngle, double, ArcStartingAngle)
RV_PLAIN_PROP(ArcEndingAngle, double, ArcEndingAngle)
RV_PLAIN_PROP(RulerUnit, TRVUnits, RulerUnit)
RV_PLAIN_PROP(RulerType, TRVVRulerType, RulerType)
RV_PLAIN_PROP(PolylineClosed, bool, PolylineClosed)
RV_PLAIN_PROP(MemoBorderColor, platform::TColor, MemoBorderColor)
RV_PLAIN_PROP(MemoBorderStyle, platform::TPenStyle, MemoBorderStyle)
RV_PLAIN_PROP(MemoHasBitmap, bool, MemoHasBitmap)
RV_PLAIN_PROP(MemoLineSpace, int32_t, MemoLineSpace)
RV_PLAIN_PROP(MemoCharsBrushStyle, platform::TBrushStyle, MemoCharsBrushStyle)
RV_PLAIN_PROP(MemoMarginLeft, double, MemoMarginLeft)
RV_PLAIN_PROP(MemoMarginTop, double, MemoMarginTop)
RV_PLAIN_PROP(MemoMarginRight, double, MemoMarginRight)
RV_PLAIN_PROP(MemoMarginBottom, double, MemoMarginBottom)
#undef RV_PLAIN_PROP

TRVVObjectKind TRastovaVect::GetObjKind(int32_t hobj) {
  const TRVVObjRecord* o = GetObj(hobj);
  return o ? o->Kind : rvkNONE;
}
void TRastovaVect::SetObjKind(int32_t hobj, TRVVObjectKind Value) {
  TRVVObjRecord* o = GetObj(hobj);
  if (!o) return;
  o->Kind = Value;
  const bool textLike = Value == rvkTEXT || Value == rvkLINELABEL || Value == rvkEXTENDED;
  if (textLike || Value == rvkRULER || Value == rvkANGLE || Value == rvkMEMO)
    if (!o->LogFont) o->LogFont = NewObjectTemplate.LogFont;
  // (Text: an empty string already stands for "none".)
  ObjChanged(hobj);
}

int32_t TRastovaVect::GetObjLeft(int32_t hobj) {
  const TRVVObjRecord* o = GetObj(hobj);
  return o ? o->X1 : 0;
}
void TRastovaVect::SetObjLeft(int32_t hobj, int32_t Value) {
  TRVVObjRecord* o = GetObj(hobj);
  if (!o) return;
  o->X2 = static_cast<int32_t>(std::clamp<int64_t>(int64_t(o->X2) + Value - o->X1, INT32_MIN, INT32_MAX));
  o->X1 = Value;
  ObjChanged(hobj);
}
int32_t TRastovaVect::GetObjTop(int32_t hobj) {
  const TRVVObjRecord* o = GetObj(hobj);
  return o ? o->Y1 : 0;
}
void TRastovaVect::SetObjTop(int32_t hobj, int32_t Value) {
  TRVVObjRecord* o = GetObj(hobj);
  if (!o) return;
  o->Y2 = static_cast<int32_t>(std::clamp<int64_t>(int64_t(o->Y2) + Value - o->Y1, INT32_MIN, INT32_MAX));
  o->Y1 = Value;
  ObjChanged(hobj);
}
int32_t TRastovaVect::GetObjWidth(int32_t hobj) {
  const TRVVObjRecord* o = GetObj(hobj);
  return o ? static_cast<int32_t>(std::min<int64_t>(std::abs(int64_t(o->X2) - o->X1) + 1, INT32_MAX)) : 0;
}
void TRastovaVect::SetObjWidth(int32_t hobj, int32_t Value) {
  TRVVObjRecord* o = GetObj(hobj);
  if (!o) return;
  o->X2 = static_cast<int32_t>(std::clamp<int64_t>(int64_t(o->X1) + Value - 1, INT32_MIN, INT32_MAX));
  ObjChanged(hobj);
}
int32_t TRastovaVect::GetObjHeight(int32_t hobj) {
  const TRVVObjRecord* o = GetObj(hobj);
  return o ? static_cast<int32_t>(std::min<int64_t>(std::abs(int64_t(o->Y2) - o->Y1) + 1, INT32_MAX)) : 0;
}
void TRastovaVect::SetObjHeight(int32_t hobj, int32_t Value) {
  TRVVObjRecord* o = GetObj(hobj);
  if (!o) return;
  o->Y2 = static_cast<int32_t>(std::clamp<int64_t>(int64_t(o->Y1) + Value - 1, INT32_MIN, INT32_MAX));
  ObjChanged(hobj);
}

TRVVStyle TRastovaVect::GetObjStyle(int32_t hobj) {
  const TRVVObjRecord* o = GetObj(hobj);
  return o ? o->Style : 0;
}
void TRastovaVect::SetObjStyle(int32_t hobj, TRVVStyle Value) {
  if (!GetObj(hobj)) return;
  if (!(Value & rvvsSelectable)) UnSelObject(hobj);
  GetObj(hobj)->Style = Value;
  ObjChanged(hobj);
}

std::string TRastovaVect::GetObjName(int32_t hobj) {
  const TRVVObjRecord* o = GetObj(hobj);
  return o ? o->Name : std::string();
}
void TRastovaVect::SetObjName(int32_t hobj, std::string Value) {
  TRVVObjRecord* o = GetObj(hobj);
  if (!o) return;
  o->Name = std::move(Value);
  ObjChanged(hobj);
}

std::string TRastovaVect::GetObjText(int32_t hobj) {
  const TRVVObjRecord* o = GetObj(hobj);
  return o ? o->Text : std::string();
}
void TRastovaVect::SetObjText(int32_t hobj, std::string Value) {
  TRVVObjRecord* o = GetObj(hobj);
  if (!o) return;
  FreeObjText(*o);
  Value.erase(std::remove(Value.begin(), Value.end(), '\r'), Value.end());
  o->Text = std::move(Value);
  ObjChanged(hobj);
}

std::string TRastovaVect::GetObjFontName(int32_t hobj) {
  const TRVVObjRecord* o = GetObj(hobj);
  return o && o->LogFont ? LogFontFaceName(*o->LogFont) : std::string();
}
void TRastovaVect::SetObjFontName(int32_t hobj, std::string Value) {
  TRVVObjRecord* o = GetObj(hobj);
  if (!o) return;
  if (o->LogFont) SetLogFontFaceName(*o->LogFont, Value);
  ObjChanged(hobj);
}
int32_t TRastovaVect::GetObjFontHeight(int32_t hobj) {
  const TRVVObjRecord* o = GetObj(hobj);
  return o && o->LogFont ? o->LogFont->lfHeight : 0;
}
void TRastovaVect::SetObjFontHeight(int32_t hobj, int32_t Value) {
  TRVVObjRecord* o = GetObj(hobj);
  if (!o) return;
  if (o->LogFont) o->LogFont->lfHeight = Value;
  ObjChanged(hobj);
}
platform::TFontStyles TRastovaVect::GetObjFontStyles(int32_t hobj) {
  const TRVVObjRecord* o = GetObj(hobj);
  platform::TFontStyles s;
  if (!o || !o->LogFont) return s;
  const uint8_t b = LogFontStyleBits(*o->LogFont);
  s.Bold = b & fsBold, s.Italic = b & fsItalic, s.Underline = b & fsUnderline, s.StrikeOut = b & fsStrikeOut;
  return s;
}
void TRastovaVect::SetObjFontStyles(int32_t hobj, platform::TFontStyles Value) {
  TRVVObjRecord* o = GetObj(hobj);
  if (!o) return;
  if (o->LogFont) {
    o->LogFont->lfWeight = Value.Bold ? 700 : 400;
    o->LogFont->lfItalic = Value.Italic;
    o->LogFont->lfUnderline = Value.Underline;
    o->LogFont->lfStrikeOut = Value.StrikeOut;
  }
  ObjChanged(hobj);
}
double TRastovaVect::GetObjFontAngle(int32_t hobj) {
  const TRVVObjRecord* o = GetObj(hobj);
  return o && o->LogFont ? o->LogFont->lfEscapement / 10.0 : 0.0;
}
void TRastovaVect::SetObjFontAngle(int32_t hobj, double Value) {
  TRVVObjRecord* o = GetObj(hobj);
  if (!o) return;
  if (o->LogFont) o->LogFont->lfEscapement = common::TruncInt(static_cast<long double>(Value) * 10);
  ObjChanged(hobj);
}
double TRastovaVect::GetObjTextCurveCharRot(int32_t hobj) {
  const TRVVObjRecord* o = GetObj(hobj);
  return o ? o->CurveCharRot / 10.0 : 0.0;
}
void TRastovaVect::SetObjTextCurveCharRot(int32_t hobj, double Value) {
  TRVVObjRecord* o = GetObj(hobj);
  if (!o) return;
  o->CurveCharRot = common::TruncInt(static_cast<long double>(Value) * 10);
  ObjChanged(hobj);
}

TRVBitmap* TRastovaVect::GetObjBitmap(int32_t hobj) {
  const TRVVObjRecord* o = GetObj(hobj);
  return o ? GetSharedBitmap(o->BitmapIdx) : nullptr;
}
void TRastovaVect::SetObjBitmap(int32_t hobj, TRVBitmap* Value) {
  if (!GetObj(hobj)) return;
  AttachObjBitmap(hobj, Value);
  ObjChanged(hobj);
}
TRVBitmap* TRastovaVect::GetObjBitmapAlpha(int32_t hobj) {
  const TRVVObjRecord* o = GetObj(hobj);
  return o ? GetSharedBitmapAlpha(o->BitmapIdx) : nullptr;
}
void TRastovaVect::SetObjBitmapAlpha(int32_t hobj, TRVBitmap* Value) {
  const TRVVObjRecord* o = GetObj(hobj);
  TRVBitmap* picture = o ? GetSharedBitmap(o->BitmapIdx) : nullptr;
  if (!picture || !Value) return;
  // The plane holds one 8-bit value per pixel of the picture, and hit testing and drawing index
  // it by the picture's columns and rows: a plane of another size is refused, as the write is
  // for an object without a picture, and one of another format is taken as 8-bit grey.
  if (Value->GetWidth() != picture->GetWidth() || Value->GetHeight() != picture->GetHeight()) return;
  TRVBitmap* a = picture->AlphaBitmap();
  if (!a || a == Value) return;
  TRVBitmap grey;
  if (Value->GetPixelFormat() != rv8g) {
    grey.Assign(Value);
    grey.ConvertToPixelFormat(rv8g);
    Value = &grey;
  }
  a->Assign(Value);
  ObjChanged(hobj);
}

int32_t TRastovaVect::GetObjMemoFixedHeight(int32_t hobj) {
  const TRVVObjRecord* o = GetObj(hobj);
  return o ? o->MemoFixedHeight : 0;
}
void TRastovaVect::SetObjMemoFixedHeight(int32_t hobj, int32_t Value) {
  if (TRVVObjRecord* o = GetObj(hobj)) o->MemoFixedHeight = Value;
}

void TRastovaVect::GetObjPolylinePoints(int32_t hobj, int32_t Index, platform::TPoint& Point) {
  const TRVVObjRecord* o = GetObj(hobj);
  if (!o || Index < 0 || Index >= o->PolyPointsCount) return;
  double sx, sy;
  GetPolylineScale(*o, sx, sy);
  const TRVPoint& p = o->PolyPoints[size_t(Index)];
  Point.X = common::RoundInt((p.x - static_cast<long double>(o->PolyBaseX1)) * sx + o->X1);
  Point.Y = common::RoundInt((p.y - static_cast<long double>(o->PolyBaseY1)) * sy + o->Y1);
}
int32_t TRastovaVect::GetObjPolylinePointsCount(int32_t hobj) {
  const TRVVObjRecord* o = GetObj(hobj);
  return o ? o->PolyPointsCount : 0;
}
TRVVSoftShadow* TRastovaVect::GetObjSoftShadow(int32_t hobj) {
  TRVVObjRecord* o = GetObj(hobj);
  return o ? &o->SoftShadow : nullptr;
}
TRVExtendedObject* TRastovaVect::GetObjExtendedObject(int32_t hobj) {
  const TRVVObjRecord* o = GetObj(hobj);
  return o ? o->ExtendedObject : nullptr;
}

}  // namespace rv
