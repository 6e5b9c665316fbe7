// The object stream: writer, reader (into a separate content first), the "Layers and objects"
// stream, the content tests and the extended-object registry.
#include "rastova/view/vector/RVVectStreams.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <typeinfo>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVZLib.h"
#include "rastova/io/RVLayerStream.h"
#include "rastova/io/RastovaIO.h"
#include "rastova/view/vector/RastovaVect.h"

namespace rv {

// ------------------------------------------------------------------ registry

namespace {

std::map<std::string, TRVExtendedObjectFactory>* Registry = nullptr;

}  // namespace

void CreateExtendedObjectRegistry() {
  if (!Registry) Registry = new std::map<std::string, TRVExtendedObjectFactory>();
}

void FreeExtendedObjectRegistry() {
  delete Registry;
  Registry = nullptr;
}

void RegisterExtendedObjectClass(const std::string& Name, TRVExtendedObjectFactory Factory) {
  if (Registry && Factory) (*Registry)[Name] = std::move(Factory);
}

TRVExtendedObject* CreateExtendedObjectByName(const std::string& Name) {
  if (!Registry) return nullptr;
  auto it = Registry->find(Name);
  return it == Registry->end() ? nullptr : it->second();
}

std::string GetExtendedObjectName(const TRVExtendedObject* Object) {
  if (!Registry || !Object) return {};
  // A class is known by the dynamic type of the instance its factory makes.
  for (const auto& [name, factory] : *Registry) {
    std::unique_ptr<TRVExtendedObject> probe(factory());
    const TRVExtendedObject* made = probe.get();
    if (made && typeid(*made) == typeid(*Object)) return name;
  }
  return {};
}

TRVExtendedObject* TRVExtendedObject::Clone() {
  TRVExtendedObject* copy = CreateExtendedObjectByName(GetExtendedObjectName(this));
  if (!copy) return nullptr;
  copy->Owner = Owner;
  copy->Initialize();
  return copy;
}

TRVVObjStreamContent::~TRVVObjStreamContent() {
  for (TRVVObjRecord& o : Objects) delete o.ExtendedObject;
}

// ------------------------------------------------------------------ writing

namespace {

void W8(TStream& s, uint8_t v) { s.WriteBuffer(&v, 1); }
void W32(TStream& s, int32_t v) { s.WriteBuffer(&v, 4); }
void WD(TStream& s, double v) { s.WriteBuffer(&v, 8); }
void WStr(TStream& s, const std::string& v) {
  // Measured up to a terminating zero, as a C string would be.
  const size_t n = std::strlen(v.c_str());
  W32(s, int32_t(n));
  if (n) s.WriteBuffer(v.data(), int64_t(n));
}
void WFont(TStream& s, const std::optional<LOGFONTA>& f) {
  W8(s, f ? 1 : 0);
  if (f) s.WriteBuffer(&*f, sizeof(LOGFONTA));
}

// ------------------------------------------------------------------ reading

// Reads with every length checked: against the bytes that remain outside the compressed block,
// chunk by chunk inside it so that only data actually present is ever held.
class TRVVReader {
 public:
  explicit TRVVReader(TStream& s) : s_(s) {}
  void Raw(void* p, int64_t n) {
    if (n <= 0) return;
    if (s_.Read(p, n) != n) Fail("The object stream ends early");
  }
  uint8_t U8() {
    uint8_t v;
    Raw(&v, 1);
    return v;
  }
  int32_t I32() {
    int32_t v;
    Raw(&v, 4);
    return v;
  }
  double D() {
    double v;
    Raw(&v, 8);
    return v;
  }
  // A count or length: negative refused, and never more than the bytes left could hold.
  int32_t Count(int64_t itemSize, const char* what) {
    const int32_t n = I32();
    if (n < 0) Fail(std::string("Negative ") + what + " in the object stream");
    if (int64_t(n) * itemSize > BytesLeftBound(s_)) Fail(std::string("The object stream ends early (") + what + ")");
    return n;
  }
  // n bytes, grown as they arrive.
  void Bytes(std::vector<uint8_t>& out, int64_t n) {
    out.clear();
    constexpr int64_t kChunk = 1 << 16;
    while (n > 0) {
      const int64_t step = std::min(n, kChunk);
      const size_t at = out.size();
      out.resize(at + size_t(step));
      Raw(out.data() + at, step);
      n -= step;
    }
  }
  std::string Str(const char* what) {
    std::vector<uint8_t> b;
    Bytes(b, Count(1, what));
    return std::string(b.begin(), b.end());
  }
  template <class T>
  void Items(std::vector<T>& out, int32_t n) {
    std::vector<uint8_t> b;
    Bytes(b, int64_t(n) * int64_t(sizeof(T)));
    out.resize(size_t(n));
    if (n) std::memcpy(out.data(), b.data(), b.size());
  }
  std::optional<LOGFONTA> Font() {
    if (!U8()) return std::nullopt;
    LOGFONTA f;
    Raw(&f, sizeof f);
    f.lfFaceName[31] = 0;
    return f;
  }
  [[noreturn]] static void Fail(const std::string& m) { throw ERVVectStreamError(m); }
  TStream& s_;
};

struct TReadState {
  char V;
  const TRVVObjRecord& Template;
  TRastovaVect* Owner;
  TRVVObjStreamContent& Content;
  bool CheckSlots = true;  // whole streams: references are checked against the slots read
};

void ReadEntry(TRVVReader& r, TReadState& st, int32_t depth);

LOGFONTA DefaultFont(const TRVVObjRecord& t, int32_t height) {
  LOGFONTA f = t.LogFont ? *t.LogFont : LOGFONTA{};
  f.lfHeight = height;
  SetLogFontFaceName(f, "Arial");
  return f;
}

void ReadEntry(TRVVReader& r, TReadState& st, int32_t depth) {
  if (depth > kRVVMaxGroupDepth) TRVVReader::Fail("Object groups nested too deep in the object stream");
  const char V = st.V;
  const TRVVObjRecord& t = st.Template;
  TRVVObjRecord o;
  o.FontLocked = true;
  // Fields older versions do not store start from the template's values.
  o.TextAlign = t.TextAlign;
  o.TextAutoSize = t.TextAutoSize;
  o.LabelBorder = t.LabelBorder;
  o.RulerUnit = t.RulerUnit;
  o.RulerType = t.RulerType;
  for (int i = 0; i < 3; ++i) o.AnglePoints[i] = t.AnglePoints[i];
  o.SoftShadow = TRVVSoftShadow{};
  o.SoftShadow.OffsetX = o.SoftShadow.OffsetY = 2;
  if (V >= '<') r.I32();
  o.X1 = r.I32(), o.Y1 = r.I32(), o.X2 = r.I32(), o.Y2 = r.I32();
  const uint8_t kind = r.U8();
  if (kind > rvkEXTENDED) TRVVReader::Fail("Unknown object kind " + std::to_string(kind) + " in the object stream");
  o.Kind = TRVVObjectKind(kind);
  if (V >= 'M') o.AspectRatio = r.U8() != 0;
  if (V >= 'R') o.BlendOperation = r.U8();
  if (V >= '=') {
    o.SoftShadow.Enabled = r.U8() != 0;
    o.SoftShadow.Radius = r.D();
    o.SoftShadow.OffsetX = r.I32();
    o.SoftShadow.OffsetY = r.I32();
  }
  if (V >= 'O') {
    o.SoftShadow.Intensity = r.I32();
    o.SoftShadow.ShadowColor.b = r.U8();
    o.SoftShadow.ShadowColor.g = r.U8();
    o.SoftShadow.ShadowColor.r = r.U8();
  }
  o.Name = r.Str("name length");
  o.ID = r.I32();
  o.PenColor = r.I32();
  o.PenStyle = platform::TPenStyle(std::min<uint8_t>(r.U8(), platform::psClear));
  o.PenWidth = r.I32();
  o.BrushColor = r.I32();
  o.BrushStyle = platform::TBrushStyle(r.U8());
  o.Style = r.U8() & 15;
  o.Transparency = V >= '=' ? r.I32() : 255;
  if (V >= 0x40) o.BoxHighLight = r.U8() != 0;
  if (V >= 'Q') o.FontQuality = TRVFontQuality(std::min<uint8_t>(r.U8(), rvfqProof));
  std::vector<uint8_t> user;
  if (V >= 'I') r.Bytes(user, r.Count(1, "user data length"));
  if (o.Kind == rvkNONE) {
    const int32_t n = r.Count(1, "group count");
    for (int32_t i = 0; i < n; ++i) ReadEntry(r, st, depth + 1);
    return;
  }
  if (o.Kind == rvkLINELABEL) {
    o.LabelBrushColor = r.I32();
    o.LabelBrushStyle = platform::TBrushStyle(r.U8());
    o.LabelPos = TRVLabelPos(r.U8() & 1);
    if (V >= 'P') o.LabelBorder = TRVLabelBorder(std::min<uint8_t>(r.U8(), rvlEllipse));
  }
  if (o.Kind == rvkLINE || o.Kind == rvkLINELABEL) {
    o.BeginShape = TRVShape(std::min<uint8_t>(r.U8(), rvsOUTARROW));
    o.EndShape = TRVShape(std::min<uint8_t>(r.U8(), rvsOUTARROW));
    o.ShapeWidth = r.I32();
    o.ShapeHeight = r.I32();
  }
  if (o.Kind == rvkARC) {
    o.ArcStartingAngle = r.D();
    o.ArcEndingAngle = r.D();
  }
  if (o.Kind == rvkBITMAP) {
    o.BitmapIdx = r.I32();
    if (V >= 'B') o.BitmapBorder = r.U8() != 0;
    if (V >= 'F') o.Text = r.Str("text length");
  }
  if (o.Kind == rvkTEXT || o.Kind == rvkLINELABEL || o.Kind == rvkEXTENDED) {
    if (V >= '4') o.TextAlign = r.U8();
    if (V >= '9') o.TextAutoSize = r.U8() != 0;
    o.Text = r.Str("text length");
    o.LogFont = r.Font();
    o.CurveCharRot = -10;
    if (V >= '?') {
      const int32_t n = r.I32();
      if (n > 0) {
        if (int64_t(n) * 16 > BytesLeftBound(r.s_)) TRVVReader::Fail("The object stream ends early (curve points)");
        r.Items(o.CurvePoints, n);
        o.CurvePointsCount = n;
        o.CurveCharRot = r.I32();
      }
    }
  }
  if (o.Kind == rvkMEMO) {
    o.Text = r.Str("text length");
    o.LogFont = r.Font();
    const bool withFormats = V >= 'C' ? r.U8() != 0 : true;
    if (withFormats) r.Items(o.MemoCharFormatIdx, int32_t(o.Text.size()));
    const int32_t nf = r.Count(sizeof(TRVCharFormat), "format count");
    r.Items(o.MemoCharFormats, nf);
    // A character pointing outside its format list takes format 0.
    for (int32_t& i : o.MemoCharFormatIdx)
      if (i < 0 || i >= nf) i = 0;
    if (nf == 0) o.MemoCharFormatIdx.clear();
    o.FontLocked = r.U8() != 0;
    o.TextAutoSize = r.U8() != 0;
    o.MemoLineSpace = r.I32();
    o.MemoBorderColor = r.I32();
    o.MemoBorderStyle = platform::TPenStyle(std::min<uint8_t>(r.U8(), platform::psClear));
    o.TextAlign = r.U8();
    o.MemoFixedHeight = r.I32();
    if (V >= 'I') o.MemoHasBitmap = r.U8() != 0;
    if (o.MemoHasBitmap) {
      o.BitmapIdx = r.I32();
      if (V >= 'B') o.BitmapBorder = r.U8() != 0;
    }
    if (V >= 'H') {
      o.MemoMarginLeft = r.D();
      o.MemoMarginTop = r.D();
      o.MemoMarginRight = r.D();
      o.MemoMarginBottom = r.D();
    }
    if (V >= 'L') o.MemoCharsBrushStyle = platform::TBrushStyle(r.U8());
  }
  o.TextEditable = V >= 'J' ? r.U8() != 0 : true;
  if (o.Kind == rvkRULER && V >= '5') {
    o.RulerUnit = TRVUnits(std::min<uint8_t>(r.U8(), rvuMILES));
    o.RulerType = TRVVRulerType(std::min<uint8_t>(r.U8(), rvrtQUOTEEND));
    if (V >= 'A') o.LogFont = r.Font();
    if (!o.LogFont) o.LogFont = DefaultFont(t, 12);
  }
  if (o.Kind == rvkPOLYLINE && V >= '8') {
    const int32_t n = r.Count(8, "point count");
    std::vector<uint8_t> b;
    r.Bytes(b, int64_t(n) * 8);
    o.PolyPoints.resize(size_t(n));
    for (int32_t i = 0; i < n; ++i) std::memcpy(&o.PolyPoints[size_t(i)], b.data() + size_t(i) * 8, 8);
    o.PolyPointsCount = o.PolyPointsAlloc = n;
    o.PolyBaseX1 = r.I32(), o.PolyBaseY1 = r.I32(), o.PolyBaseX2 = r.I32(), o.PolyBaseY2 = r.I32();
    if (V >= ';') o.PolylineClosed = r.U8() != 0;
  }
  if (o.Kind == rvkANGLE) {
    if (V >= ':')
      for (auto& p : o.AnglePoints) p.x = r.I32(), p.y = r.I32();
    if (V >= 'K') o.LogFont = r.Font();
    if (!o.LogFont) o.LogFont = DefaultFont(t, 10);
  }
  std::unique_ptr<TRVExtendedObject> ext;
  if (o.Kind == rvkEXTENDED && V >= 'N' && r.U8()) {
    const std::string cls = r.Str("class name length");
    ext.reset(CreateExtendedObjectByName(cls));
    // The object's own data has no stored length, so nothing after it could be found.
    if (!ext) TRVVReader::Fail("Extended object class \"" + cls + "\" is not registered");
    ext->Owner = st.Owner;
    ext->Initialize();
    ext->LoadFromStream(r.s_);
  }
  // A bitmap reference outside the slot table names no bitmap.
  if (st.CheckSlots && (o.BitmapIdx >= int32_t(st.Content.Slots.size()) || o.BitmapIdx < -1 ||
                        (o.BitmapIdx >= 0 && !st.Content.Slots[size_t(o.BitmapIdx)])))
    o.BitmapIdx = -1;
  if (!user.empty()) {
    o.UserData = std::malloc(user.size());
    std::memcpy(o.UserData, user.data(), user.size());
    o.UserDataLen = int32_t(user.size());
  }
  o.ExtendedObject = ext.release();
  st.Content.Objects.push_back(std::move(o));
}

}  // namespace

bool IsRVVStream(TStream& Stream) {
  int64_t pos = 0;
  try {
    pos = Stream.GetPosition();
    char b[4];
    const bool ok = Stream.Read(b, 4) == 4 && std::memcmp(b, "RVV", 3) == 0 && b[3] >= '1' && b[3] <= kRVVVersion;
    Stream.SetPosition(pos);
    return ok;
  } catch (...) {
    try {
      Stream.SetPosition(pos);
    } catch (...) {
    }
    return false;
  }
}

bool IsAllStream(TStream& Stream) {
  int64_t pos = 0;
  bool ok = false;
  try {
    pos = Stream.GetPosition();
    int32_t p = 0;
    if (Stream.Read(&p, 4) == 4 && p >= 0 && p <= Stream.GetSize() && IsLayersStream(Stream)) {
      Stream.SetPosition(p);
      ok = IsRVVStream(Stream);
    }
  } catch (...) {
    ok = false;
  }
  try {
    Stream.SetPosition(pos);
  } catch (...) {
  }
  return ok;
}

bool ReadObjectStream(TStream& Stream, TRVVObjStreamContent& Content, const TRVVObjRecord& Template,
                      TRastovaVect* Owner) {
  char sig[4];
  const int64_t start = Stream.GetPosition();
  if (Stream.Read(sig, 4) != 4 || std::memcmp(sig, "RVV", 3) != 0 || sig[3] < '1' || sig[3] > kRVVVersion)
    return false;
  const char V = sig[3];
  TRVVObjStreamContent& c = Content;
  c.Version = V;
  TRVVReader r(Stream);
  try {
    // The block's length tells a stream cut short inside the block's check bytes.
    const int64_t total = r.I32();
    if (total < 20 || start + total > Stream.GetSize()) TRVVReader::Fail("The object stream ends early");
    c.MeasureBaseScale = V == '1' ? double(r.I32()) : r.D();
    const int32_t n = r.Count(4, "slot count");
    TRastovaIO io;
    for (int32_t i = 0; i < n; ++i) {
      const int32_t count = r.I32();
      c.Slots.emplace_back();
      if (count <= 0) continue;
      auto bmp = std::make_unique<TRVBitmap>();
      io.SetAttachedRVBitmap(bmp.get());
      io.Aborting = false;
      if (V > '2')
        io.LoadFromStreamPNG(Stream);
      else
        io.LoadFromStreamBMP(Stream);
      io.SetAttachedRVBitmap(nullptr);
      if (io.Aborting) TRVVReader::Fail("A bitmap of the object stream cannot be read");
      if (V >= '7' && V <= '<') {
        const int32_t len = r.Count(1, "alpha block length");
        std::vector<uint8_t> packed;
        r.Bytes(packed, len);
        TRVMemStream ms(packed.data(), int64_t(packed.size()));
        TZDecompressionStream z(ms);
        TRVBitmap* alpha = bmp->AlphaBitmap();
        const int32_t rowLen = alpha->GetRowLen();
        for (int32_t y = alpha->GetHeight() - 1; y >= 0; --y)
          if (z.Read(alpha->GetScanLine(y), rowLen) != rowLen) TRVVReader::Fail("The alpha plane of a bitmap ends early");
      }
      c.Slots.back() = std::move(bmp);
    }
    // The block is inflated whole (growing only as data arrives), so that every count inside
    // it is checked against what it really holds and small reads stay cheap.
    std::vector<uint8_t> block;
    {
      TZDecompressionStream z(Stream);
      constexpr int64_t kChunk = 1 << 20;
      for (;;) {
        const size_t at = block.size();
        block.resize(at + size_t(kChunk));
        const int64_t got = z.Read(block.data() + at, kChunk);
        block.resize(at + size_t(std::max<int64_t>(got, 0)));
        if (got < kChunk) break;
      }
    }
    TRVMemStream zs(block.data(), int64_t(block.size()));
    TRVVReader zr(zs);
    const int32_t m = zr.I32();
    if (m < 0) TRVVReader::Fail("Negative object count in the object stream");
    TReadState st{V, Template, Owner, c};
    for (int32_t i = 0; i < m; ++i) ReadEntry(zr, st, 0);
  } catch (const EZLibError& e) {
    throw ERVVectStreamError(std::string("The object block is damaged: ") + e.what());
  } catch (const EReadError&) {
    throw ERVVectStreamError("The object stream ends early");
  }
  return true;
}

// ------------------------------------------------------------------ the layer's operations

void TRastovaVect::SaveObjectToStream(TStream& Stream, int32_t hobj) {
  if (hobj == kObjTemplate || hobj == kObjLast) return;
  if (!ValidHandle(hobj)) {
    for (int32_t h : ObjectOrder) SaveObjectToStream(Stream, h);
    return;
  }
  const TRVVObjRecord& o = Objects[size_t(hobj)];
  W32(Stream, hobj);
  W32(Stream, o.X1), W32(Stream, o.Y1), W32(Stream, o.X2), W32(Stream, o.Y2);
  W8(Stream, o.Kind);
  W8(Stream, o.AspectRatio);
  W8(Stream, o.BlendOperation);
  W8(Stream, o.SoftShadow.Enabled);
  WD(Stream, o.SoftShadow.Radius);
  W32(Stream, o.SoftShadow.OffsetX), W32(Stream, o.SoftShadow.OffsetY);
  W32(Stream, o.SoftShadow.Intensity);
  W8(Stream, o.SoftShadow.ShadowColor.b), W8(Stream, o.SoftShadow.ShadowColor.g), W8(Stream, o.SoftShadow.ShadowColor.r);
  WStr(Stream, o.Name);
  W32(Stream, o.ID);
  W32(Stream, o.PenColor), W8(Stream, o.PenStyle), W32(Stream, o.PenWidth);
  W32(Stream, o.BrushColor), W8(Stream, o.BrushStyle);
  W8(Stream, o.Style);
  W32(Stream, o.Transparency);
  W8(Stream, o.BoxHighLight);
  W8(Stream, o.FontQuality);
  const int32_t ul = o.UserDataLen > 0 && o.UserData ? o.UserDataLen : 0;
  W32(Stream, ul);
  if (ul) Stream.WriteBuffer(o.UserData, ul);
  // A kind-none object is an empty group, so that it reads back.
  if (o.Kind == rvkNONE) {
    W32(Stream, 0);
    return;
  }
  if (o.Kind == rvkLINELABEL) {
    W32(Stream, o.LabelBrushColor), W8(Stream, o.LabelBrushStyle), W8(Stream, o.LabelPos), W8(Stream, o.LabelBorder);
  }
  if (o.Kind == rvkLINE || o.Kind == rvkLINELABEL) {
    W8(Stream, o.BeginShape), W8(Stream, o.EndShape), W32(Stream, o.ShapeWidth), W32(Stream, o.ShapeHeight);
  }
  if (o.Kind == rvkARC) WD(Stream, o.ArcStartingAngle), WD(Stream, o.ArcEndingAngle);
  if (o.Kind == rvkBITMAP) {
    W32(Stream, o.BitmapIdx), W8(Stream, o.BitmapBorder);
    WStr(Stream, o.Text);
  }
  if (o.Kind == rvkTEXT || o.Kind == rvkLINELABEL || o.Kind == rvkEXTENDED) {
    W8(Stream, o.TextAlign), W8(Stream, o.TextAutoSize);
    WStr(Stream, o.Text);
    WFont(Stream, o.LogFont);
    const int32_t n = std::min<int32_t>(o.CurvePointsCount, int32_t(o.CurvePoints.size()));
    W32(Stream, std::max(n, 0));
    if (n > 0) {
      Stream.WriteBuffer(o.CurvePoints.data(), int64_t(n) * 16);
      W32(Stream, o.CurveCharRot);
    }
  }
  if (o.Kind == rvkMEMO) {
    WStr(Stream, o.Text);
    WFont(Stream, o.LogFont);
    const size_t len = std::strlen(o.Text.c_str());
    const bool withFormats = !o.MemoCharFormatIdx.empty();
    W8(Stream, withFormats);
    if (withFormats)
      for (size_t i = 0; i < len; ++i) W32(Stream, i < o.MemoCharFormatIdx.size() ? o.MemoCharFormatIdx[i] : 0);
    W32(Stream, int32_t(o.MemoCharFormats.size()));
    if (!o.MemoCharFormats.empty())
      Stream.WriteBuffer(o.MemoCharFormats.data(), int64_t(o.MemoCharFormats.size() * sizeof(TRVCharFormat)));
    W8(Stream, o.FontLocked), W8(Stream, o.TextAutoSize);
    W32(Stream, o.MemoLineSpace), W32(Stream, o.MemoBorderColor), W8(Stream, o.MemoBorderStyle);
    W8(Stream, o.TextAlign);
    W32(Stream, o.MemoFixedHeight);
    W8(Stream, o.MemoHasBitmap);
    if (o.MemoHasBitmap) W32(Stream, o.BitmapIdx), W8(Stream, o.BitmapBorder);
    WD(Stream, o.MemoMarginLeft), WD(Stream, o.MemoMarginTop), WD(Stream, o.MemoMarginRight),
        WD(Stream, o.MemoMarginBottom);
    W8(Stream, o.MemoCharsBrushStyle);
  }
  W8(Stream, o.TextEditable);
  if (o.Kind == rvkRULER) {
    W8(Stream, o.RulerUnit), W8(Stream, o.RulerType);
    WFont(Stream, o.LogFont);
  }
  if (o.Kind == rvkPOLYLINE) {
    const int32_t n = std::min<int32_t>(o.PolyPointsCount, int32_t(o.PolyPoints.size()));
    W32(Stream, n);
    for (int32_t i = 0; i < n; ++i) W32(Stream, o.PolyPoints[size_t(i)].x), W32(Stream, o.PolyPoints[size_t(i)].y);
    W32(Stream, o.PolyBaseX1), W32(Stream, o.PolyBaseY1), W32(Stream, o.PolyBaseX2), W32(Stream, o.PolyBaseY2);
    W8(Stream, o.PolylineClosed);
  }
  if (o.Kind == rvkANGLE) {
    for (const auto& p : o.AnglePoints) W32(Stream, p.x), W32(Stream, p.y);
    WFont(Stream, o.LogFont);
  }
  if (o.Kind == rvkEXTENDED) {
    W8(Stream, o.ExtendedObject ? 1 : 0);
    if (o.ExtendedObject) {
      WStr(Stream, GetExtendedObjectName(o.ExtendedObject));
      o.ExtendedObject->SaveToStream(Stream);
    }
  }
}

void TRastovaVect::SaveObjectsToStream(TStream& Stream) {
  PackSharedBitmaps();
  const int64_t S = Stream.GetPosition();
  Stream.WriteBuffer("RVV", 3);
  W8(Stream, uint8_t(kRVVVersion));
  W32(Stream, 0);
  WD(Stream, MeasureBaseScale);
  W32(Stream, SharedBitmapsCount());
  {
    TRastovaIO io;
    for (int32_t i = 0; i < SharedBitmapsCount(); ++i) {
      const TRVVSharedBitmap& slot = SharedBitmaps[size_t(i)];
      int32_t count = slot.Bitmap ? slot.RefCount : 0;
      if (i == NewObjectTemplate.BitmapIdx) --count;
      W32(Stream, count);
      if (count > 0) {
        io.SetAttachedRVBitmap(slot.Bitmap.get());
        io.SaveToStreamPNG(Stream);
        io.SetAttachedRVBitmap(nullptr);
        if (io.Aborting) throw ERVVectStreamError("A bitmap of the vector layer cannot be written");
      }
    }
  }
  {
    TZCompressionStream z(Stream, TZCompressionLevel(2));
    W32(z, ObjectsCount() > 0 ? ObjectOrderCount() : 0);
    SaveObjectToStream(z, kObjAll);
    z.Finish();
  }
  const int64_t E = Stream.GetPosition();
  Stream.SetPosition(S + 4);
  W32(Stream, int32_t(E - S));
  Stream.SetPosition(E);
}

void TRastovaVect::InstallObjects(TRVVObjStreamContent& Content) {
  const bool share = ShareBitmaps;
  const bool autoUndo = ObjAutoUndo;
  std::unique_ptr<TRVBitmap> templ;
  if (TRVBitmap* tb = GetSharedBitmap(NewObjectTemplate.BitmapIdx)) {
    templ = std::make_unique<TRVBitmap>();
    templ->Assign(tb);
    AttachObjBitmap(kObjTemplate, nullptr);
  }
  ObjAutoUndo = false;
  RemoveAllObjects();
  ObjAutoUndo = autoUndo;
  ShareBitmaps = true;
  MeasureBaseScale = Content.MeasureBaseScale;
  SharedBitmaps.clear();
  for (auto& b : Content.Slots) SharedBitmaps.push_back(TRVVSharedBitmap{std::move(b), 0});
  // Room for every object at once, so the store does not move its records as it grows.
  Objects.reserve(Content.Objects.size() + 522);
  ObjectOrder.reserve(Content.Objects.size() + 522);
  for (TRVVObjRecord& rec : Content.Objects) {
    const int32_t h = AddNewObject(rec);
    TRVVObjRecord& o = Objects[size_t(h)];
    o.UserData = rec.UserData, o.UserDataLen = rec.UserDataLen;
    rec.UserData = nullptr, rec.UserDataLen = 0;
    o.ExtendedObject = rec.ExtendedObject;
    rec.ExtendedObject = nullptr;
    if (o.ExtendedObject) {
      o.ExtendedObject->ObjRecord = &o;
      o.ExtendedObject->SetHandle(h);
    }
  }
  // Slots no object took stay free.
  for (auto& s : SharedBitmaps)
    if (s.RefCount == 0) s.Bitmap.reset();
  ShareBitmaps = share;
  if (templ) AttachObjBitmap(kObjTemplate, templ.get());
  DoVectorialChanged();
  Update();
}

bool TRastovaVect::LoadObjectsFromStream(TStream& Stream) {
  TRVVObjStreamContent content;
  if (!ReadObjectStream(Stream, content, NewObjectTemplate, this)) return false;
  InstallObjects(content);
  return true;
}

int32_t TRastovaVect::LoadObjectFromStream(TStream& Stream, char Version) {
  TRVVObjStreamContent content;
  TRVVReader r(Stream);
  TReadState st{Version, NewObjectTemplate, this, content, false};
  ReadEntry(r, st, 0);
  int32_t last = kNoGrip;
  const bool single = content.Objects.size() == 1 && content.Objects[0].Kind != rvkNONE;
  for (TRVVObjRecord& rec : content.Objects) {
    // Stored slot indexes refer to the layer's own table.
    last = AddNewObject(rec);
    TRVVObjRecord& o = Objects[size_t(last)];
    o.UserData = rec.UserData, o.UserDataLen = rec.UserDataLen;
    rec.UserData = nullptr, rec.UserDataLen = 0;
    o.ExtendedObject = rec.ExtendedObject;
    rec.ExtendedObject = nullptr;
    if (o.ExtendedObject) o.ExtendedObject->ObjRecord = &o, o.ExtendedObject->SetHandle(last);
  }
  return single ? last : kNoGrip;
}

void TRastovaVect::SaveAllToStream(TStream& Stream, int32_t Compression) {
  const int64_t S = Stream.GetPosition();
  W32(Stream, 0);
  SaveLayersToStream(Stream, Compression);
  const int64_t P = Stream.GetPosition();
  Stream.SetPosition(S);
  W32(Stream, int32_t(P));
  Stream.SetPosition(P);
  SaveObjectsToStream(Stream);
}

bool TRastovaVect::LoadAllFromStream(TStream& Stream) {
  int32_t P = 0;
  if (Stream.Read(&P, 4) != 4) return false;
  if (P < 0 || P > Stream.GetSize()) throw ERVVectStreamError("The object stream's position lies outside the stream");
  // The objects are read first, so that damaged objects leave layers and objects as they were.
  const int64_t layersAt = Stream.GetPosition();
  TRVVObjStreamContent content;
  Stream.SetPosition(P);
  if (!ReadObjectStream(Stream, content, NewObjectTemplate, this)) return false;
  const int64_t end = Stream.GetPosition();
  Stream.SetPosition(layersAt);
  if (!LoadLayersFromStream(Stream)) return false;
  Stream.SetPosition(end);
  InstallObjects(content);
  return true;
}

bool TRastovaVect::LoadAllFromFile(const std::string& FileName) {
  if (FileName.empty()) return false;
  TRVWideFileStream file(FileName, TRVWideFileStream::fmOpenRead | TRVWideFileStream::fmShareDenyWrite);
  return LoadAllFromStream(file);
}

bool TRastovaVect::LoadObjectsFromFile(const std::string& FileName) {
  if (FileName.empty()) return false;
  TRVWideFileStream file(FileName, TRVWideFileStream::fmOpenRead | TRVWideFileStream::fmShareDenyWrite);
  return LoadObjectsFromStream(file);
}

}  // namespace rv
