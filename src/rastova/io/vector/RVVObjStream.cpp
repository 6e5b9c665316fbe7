// The object stream: the entry reader over two sources (the inflated block in memory, or any
// stream for one entry on its own), the whole-stream reader, the writer and the content tests.
#include "rastova/io/vector/RVVObjStream.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVZLib.h"
#include "rastova/io/RVLayerStream.h"
#include "rastova/io/RastovaIO.h"
#include "rastova/io/vector/RVExtendedObject.h"

namespace rv {

static_assert(sizeof(TRVPoint) == 8 && sizeof(TRVDoublePoint) == 16,
              "points are stored as they lie in memory");

TRVVObjStreamContent::~TRVVObjStreamContent() {
  for (TRVVObjRecord& o : Objects) {
    delete o.ExtendedObject;
    if (o.UserDataLen > 0) std::free(o.UserData);
  }
}

namespace {

constexpr char kEndsEarly[] = "The object stream ends early";

// The failures stay out of line, so that the field reads around them stay small.
[[noreturn, gnu::cold, gnu::noinline]] void Fail(const std::string& m) { throw ERVVectStreamError(m); }
[[noreturn, gnu::cold, gnu::noinline]] void EndsEarly(const char* what) {
  Fail(std::string(kEndsEarly) + " (" + what + ")");
}
[[noreturn, gnu::cold, gnu::noinline]] void EndsEarly() { Fail(kEndsEarly); }
[[noreturn, gnu::cold, gnu::noinline]] void Negative(const char* what) {
  Fail(std::string("Negative ") + what + " in the object stream");
}

// ------------------------------------------------------------------ the two sources of fields

// The typed fields and counts over a source's Raw and Need.
template <class Source>
class TFields {
 public:
  int32_t I32() {
    int32_t v;
    Self().Raw(&v, 4);
    return v;
  }
  double D() {
    double v;
    Self().Raw(&v, 8);
    return v;
  }
  // A count or length: negative refused, and never more than the bytes left could hold.
  int32_t Count(int64_t itemSize, const char* what) {
    const int32_t n = I32();
    if (n < 0) Negative(what);
    Self().Need(int64_t(n) * itemSize, what);
    return n;
  }

 private:
  Source& Self() { return static_cast<Source&>(*this); }
};

// Fields of the inflated object block: every read is checked against the bytes that remain.
class TBlockFields : public TFields<TBlockFields> {
 public:
  TBlockFields(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
  int64_t Left() const { return end_ - p_; }
  void Need(int64_t n, const char* what) {
    if (n > Left()) EndsEarly(what);
  }
  void Raw(void* d, int64_t n) {
    if (n <= 0) return;
    if (n > Left()) EndsEarly();
    std::memcpy(d, p_, size_t(n));
    p_ += n;
  }
  uint8_t U8() {
    if (p_ == end_) EndsEarly();
    return *p_++;
  }
  void Str(std::string& out, const char* what) {
    const int32_t n = Count(1, what);
    out.assign(reinterpret_cast<const char*>(p_), size_t(n));
    p_ += n;
  }
  template <class T>
  void Items(std::vector<T>& out, int32_t n) {
    Need(int64_t(n) * int64_t(sizeof(T)), "items");
    out.resize(size_t(n));
    Raw(out.data(), int64_t(n) * int64_t(sizeof(T)));
  }
  void Skip(int32_t n) {
    Need(n, "skipped bytes");
    p_ += n;
  }
  // n bytes (n above 0, checked) in a block of std::malloc.
  void* Block(int32_t n) {
    Need(n, "user data");
    void* b = std::malloc(size_t(n));
    if (!b) throw std::bad_alloc();
    Raw(b, n);
    return b;
  }
  // An extended object's own data: it reads from a stream over the rest of the block.
  template <class F>
  void WithStream(F&& read) {
    TRVMemStream s(p_, Left());
    read(static_cast<TStream&>(s));
    p_ += std::clamp<int64_t>(s.GetPosition(), 0, Left());
  }

 private:
  const uint8_t* p_;
  const uint8_t* end_;
};

// Fields from any stream (the header and slots of a stream, or one entry read on its own):
// lengths are checked against the bytes the stream can still hold, and blocks are read in
// chunks, growing only as their data arrives.
class TStreamFields : public TFields<TStreamFields> {
 public:
  explicit TStreamFields(TStream& s) : s_(s) {}
  void Need(int64_t n, const char* what) {
    if (n > BytesLeftBound(s_)) EndsEarly(what);
  }
  void Raw(void* p, int64_t n) {
    if (n > 0 && s_.Read(p, n) != n) EndsEarly();
  }
  uint8_t U8() {
    uint8_t v;
    Raw(&v, 1);
    return v;
  }
  template <class C>
  void Grow(C& out, int64_t n) {
    out.clear();
    using T = typename C::value_type;
    const int64_t chunk = std::max<int64_t>(1, (int64_t(1) << 16) / int64_t(sizeof(T)));
    while (n > 0) {
      const int64_t step = std::min(n, chunk);
      const size_t at = out.size();
      out.resize(at + size_t(step));
      Raw(out.data() + at, step * int64_t(sizeof(T)));
      n -= step;
    }
  }
  void Str(std::string& out, const char* what) { Grow(out, Count(1, what)); }
  template <class T>
  void Items(std::vector<T>& out, int32_t n) {
    Grow(out, n);
  }
  void Skip(int32_t n) {
    std::vector<uint8_t> dropped;
    Grow(dropped, n);
  }
  void* Block(int32_t n) {
    std::vector<uint8_t> b;
    Grow(b, n);
    void* copy = std::malloc(size_t(n));
    if (!copy) throw std::bad_alloc();
    std::memcpy(copy, b.data(), size_t(n));
    return copy;
  }
  template <class F>
  void WithStream(F&& read) {
    read(s_);
  }

 private:
  TStream& s_;
};

// ------------------------------------------------------------------ entries

// A font flag and, when it is set, the font record.
template <class R>
void ReadFont(R& r, std::optional<LOGFONTA>& font) {
  font.reset();
  if (!r.U8()) return;
  r.Raw(&font.emplace(), sizeof(LOGFONTA));
  font->lfFaceName[31] = 0;
}

struct TReadState {
  char V;
  const TRVVObjRecord& Template;
  TRastovaVect* Owner;
  TRVVObjStreamContent& Content;
  bool CheckSlots;  // whole streams: references are checked against the slots read
};

LOGFONTA DefaultFont(const TRVVObjRecord& t, int32_t height) {
  LOGFONTA f = t.LogFont ? *t.LogFont : LOGFONTA{};
  f.lfHeight = height;
  SetLogFontFaceName(f, "Arial");
  return f;
}

template <class R>
void ReadKindFields(R& r, const TReadState& st, TRVVObjRecord& o);

// One entry, read straight into a new record at the end of the content (a group's record is
// dropped again before its members are read).
template <class R>
void ReadEntry(R& r, TReadState& st, int32_t depth) {
  if (depth > kRVVMaxGroupDepth) Fail("Object groups nested too deep in the object stream");
  const char V = st.V;
  const TRVVObjRecord& t = st.Template;
  std::vector<TRVVObjRecord>& objects = st.Content.Objects;
  TRVVObjRecord& o = objects.emplace_back();
  o.FontLocked = true;
  // Fields older versions do not store start from the template's values.
  o.TextAlign = t.TextAlign;
  o.TextAutoSize = t.TextAutoSize;
  o.LabelBorder = t.LabelBorder;
  o.RulerUnit = t.RulerUnit;
  o.RulerType = t.RulerType;
  for (int i = 0; i < 3; ++i) o.AnglePoints[i] = t.AnglePoints[i];
  o.SoftShadow.OffsetX = o.SoftShadow.OffsetY = 2;
  if (V >= '<') r.I32();
  o.X1 = r.I32(), o.Y1 = r.I32(), o.X2 = r.I32(), o.Y2 = r.I32();
  const uint8_t kind = r.U8();
  if (kind > rvkEXTENDED) Fail("Unknown object kind " + std::to_string(kind) + " in the object stream");
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
  r.Str(o.Name, "name length");
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
  if (V >= 'I') {
    const int32_t n = r.Count(1, "user data length");
    if (o.Kind == rvkNONE) {
      r.Skip(n);
    } else if (n > 0) {
      o.UserData = r.Block(n);
      o.UserDataLen = n;
    }
  }
  if (o.Kind == rvkNONE) {
    objects.pop_back();
    const int32_t n = r.Count(1, "group count");
    for (int32_t i = 0; i < n; ++i) ReadEntry(r, st, depth + 1);
    return;
  }
  ReadKindFields(r, st, o);
  // A bitmap reference outside the slot table names no bitmap.
  const auto& table = st.Content.Slots;
  if (st.CheckSlots && (o.BitmapIdx >= int32_t(table.size()) || o.BitmapIdx < -1 ||
                        (o.BitmapIdx >= 0 && !table[size_t(o.BitmapIdx)])))
    o.BitmapIdx = -1;
  // Trimmed here, while the record is at hand, so that a layer takes it as it is.
  KeepDataOfKind(o);
}

template <class R>
void ReadMemoFields(R& r, TRVVObjRecord& o, char V) {
  r.Str(o.Text, "text length");
  ReadFont(r, o.LogFont);
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

// The blocks of each kind after the common fields, in their stored order.
template <class R>
void ReadKindFields(R& r, const TReadState& st, TRVVObjRecord& o) {
  const char V = st.V;
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
    if (V >= 'F') r.Str(o.Text, "text length");
  }
  if (o.Kind == rvkTEXT || o.Kind == rvkLINELABEL || o.Kind == rvkEXTENDED) {
    if (V >= '4') o.TextAlign = r.U8();
    if (V >= '9') o.TextAutoSize = r.U8() != 0;
    r.Str(o.Text, "text length");
    ReadFont(r, o.LogFont);
    o.CurveCharRot = -10;
    if (V >= '?') {
      // A count of 0 or less is no curve.
      const int32_t n = r.I32();
      if (n > 0) {
        r.Need(int64_t(n) * 16, "curve points");
        r.Items(o.CurvePoints, n);
        o.CurvePointsCount = n;
        o.CurveCharRot = r.I32();
      }
    }
  }
  if (o.Kind == rvkMEMO) ReadMemoFields(r, o, V);
  o.TextEditable = V >= 'J' ? r.U8() != 0 : true;
  if (o.Kind == rvkRULER && V >= '5') {
    o.RulerUnit = TRVUnits(std::min<uint8_t>(r.U8(), rvuMILES));
    o.RulerType = TRVVRulerType(std::min<uint8_t>(r.U8(), rvrtQUOTEEND));
    if (V >= 'A') ReadFont(r, o.LogFont);
    if (!o.LogFont) o.LogFont = DefaultFont(st.Template, 12);
  }
  if (o.Kind == rvkPOLYLINE && V >= '8') {
    const int32_t n = r.Count(8, "point count");
    r.Items(o.PolyPoints, n);
    o.PolyPointsCount = o.PolyPointsAlloc = n;
    o.PolyBaseX1 = r.I32(), o.PolyBaseY1 = r.I32(), o.PolyBaseX2 = r.I32(), o.PolyBaseY2 = r.I32();
    if (V >= ';') o.PolylineClosed = r.U8() != 0;
  }
  if (o.Kind == rvkANGLE) {
    if (V >= ':')
      for (auto& p : o.AnglePoints) p.x = r.I32(), p.y = r.I32();
    if (V >= 'K') ReadFont(r, o.LogFont);
    if (!o.LogFont) o.LogFont = DefaultFont(st.Template, 10);
  }
  if (o.Kind == rvkEXTENDED && V >= 'N' && r.U8()) {
    std::string cls;
    r.Str(cls, "class name length");
    o.ExtendedObject = CreateExtendedObjectByName(cls);
    // The object's own data has no stored length, so nothing after it could be found.
    if (!o.ExtendedObject) Fail("Extended object class \"" + cls + "\" is not registered");
    o.ExtendedObject->Owner = st.Owner;
    o.ExtendedObject->Initialize();
    r.WithStream([&](TStream& s) { o.ExtendedObject->LoadFromStream(s); });
  }
}

// The fewest bytes an entry of an object (not a group) takes in the version: no entry count
// can ask for more records than the block's bytes could hold.
int64_t MinEntrySize(char V) {
  int64_t n = 16 + 1 + 4 + 4 + 9 + 5 + 1;  // corners, kind, name length, ID, pen, brush, style
  if (V >= '<') n += 4;                    // handle
  if (V >= 'M') n += 1;                    // aspect ratio
  if (V >= 'R') n += 1;                    // blend operation
  if (V >= '=') n += 17 + 4;               // shadow, transparency
  if (V >= 'O') n += 7;                    // shadow intensity and colour
  if (V >= 0x40) n += 1;                   // highlight
  if (V >= 'Q') n += 1;                    // font quality
  if (V >= 'I') n += 4;                    // user data length
  return n;
}

// ------------------------------------------------------------------ the whole stream

void ReadSlots(TStreamFields& r, TStream& Stream, char V, TRVVObjStreamContent& c) {
  const int32_t n = r.Count(4, "slot count");
  c.Slots.reserve(size_t(n));
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
    if (io.Aborting) Fail("A bitmap of the object stream cannot be read");
    if (V >= '7' && V <= '<') {
      std::vector<uint8_t> packed;
      r.Items(packed, r.Count(1, "alpha block length"));
      TRVMemStream ms(packed.data(), int64_t(packed.size()));
      TZDecompressionStream z(ms);
      TRVBitmap* alpha = bmp->AlphaBitmap();
      const int32_t rowLen = alpha->GetRowLen();
      for (int32_t y = alpha->GetHeight() - 1; y >= 0; --y)
        if (z.Read(alpha->GetScanLine(y), rowLen) != rowLen) Fail("The alpha plane of a bitmap ends early");
    }
    c.Slots.back() = std::move(bmp);
  }
}

struct TFreeBytes {
  void operator()(uint8_t* p) const { std::free(p); }
};
using TInflated = std::unique_ptr<uint8_t, TFreeBytes>;

// The object block inflated whole, so that every count inside it is checked against what it
// really holds and its fields are read from memory. The buffer starts from the size of the
// compressed bytes that are present and doubles only as data arrives.
size_t InflateBlock(TStream& Stream, int64_t packedBytes, TInflated& out) {
  TZDecompressionStream z(Stream);
  size_t cap = size_t(std::clamp<int64_t>(packedBytes * 8, 1 << 16, 1 << 24));
  size_t size = 0;
  out.reset(static_cast<uint8_t*>(std::malloc(cap)));
  if (!out) throw std::bad_alloc();
  for (;;) {
    const int64_t want = int64_t(cap - size);
    const int64_t got = z.Read(out.get() + size, want);
    size += size_t(std::max<int64_t>(got, 0));
    if (got < want) return size;
    auto* grown = static_cast<uint8_t*>(std::realloc(out.get(), cap * 2));
    if (!grown) throw std::bad_alloc();
    (void)out.release();
    out.reset(grown);
    cap *= 2;
  }
}

}  // namespace

namespace {

// Runs a content test at the stream's position and restores the position; a test that raises
// answers false.
template <class F>
bool ContentTest(TStream& Stream, F&& test) {
  int64_t pos = 0;
  bool ok = false;
  try {
    pos = Stream.GetPosition();
    ok = test();
  } catch (...) {
    ok = false;
  }
  try {
    Stream.SetPosition(pos);
  } catch (...) {
  }
  return ok;
}

}  // namespace

bool IsRVVStream(TStream& Stream) {
  return ContentTest(Stream, [&] {
    char b[4];
    return Stream.Read(b, 4) == 4 && std::memcmp(b, "RVV", 3) == 0 && b[3] >= '1' && b[3] <= kRVVVersion;
  });
}

bool IsAllStream(TStream& Stream) {
  return ContentTest(Stream, [&] {
    int32_t p = 0;
    if (Stream.Read(&p, 4) != 4 || p < 0 || p > Stream.GetSize() || !IsLayersStream(Stream)) return false;
    Stream.SetPosition(p);
    return IsRVVStream(Stream);
  });
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
  TStreamFields r(Stream);
  try {
    // The stream's length tells a stream cut short inside the block's check bytes.
    const int64_t total = r.I32();
    if (total < 20 || start + total > Stream.GetSize()) Fail(kEndsEarly);
    c.MeasureBaseScale = V == '1' ? double(r.I32()) : r.D();
    ReadSlots(r, Stream, V, c);
    TInflated block;
    const size_t size = InflateBlock(Stream, start + total - Stream.GetPosition(), block);
    TBlockFields b(block.get(), size);
    const int32_t m = b.I32();
    if (m < 0) Negative("object count");
    c.Objects.reserve(size_t(std::min<int64_t>(m, int64_t(size) / MinEntrySize(V)) + kRVVStoreSpare));
    TReadState st{V, Template, Owner, c, true};
    for (int32_t i = 0; i < m; ++i) ReadEntry(b, st, 0);
  } catch (const EZLibError& e) {
    throw ERVVectStreamError(std::string("The object block is damaged: ") + e.what());
  } catch (const EReadError&) {
    throw ERVVectStreamError(kEndsEarly);
  }
  return true;
}

void ReadObjectEntry(TStream& Stream, char Version, TRVVObjStreamContent& Content,
                     const TRVVObjRecord& Template, TRastovaVect* Owner) {
  TStreamFields r(Stream);
  TReadState st{Version, Template, Owner, Content, false};
  ReadEntry(r, st, 0);
}

// ------------------------------------------------------------------ writing

namespace {

// Collects entries in memory and hands them to the stream in large pieces.
class TEntryWriter {
 public:
  explicit TEntryWriter(TStream& s) : s_(s) {}
  void U8(uint8_t v) { buf_.push_back(v); }
  void I32(int32_t v) { Raw(&v, 4); }
  void D(double v) { Raw(&v, 8); }
  void Raw(const void* p, size_t n) {
    if (n == 0) return;
    const auto* b = static_cast<const uint8_t*>(p);
    buf_.insert(buf_.end(), b, b + n);
  }
  void Str(const std::string& v) {
    // Measured up to a terminating zero, as a C string would be.
    const size_t n = std::strlen(v.c_str());
    I32(int32_t(n));
    Raw(v.data(), n);
  }
  void Font(const std::optional<LOGFONTA>& f) {
    U8(f ? 1 : 0);
    if (f) Raw(&*f, sizeof(LOGFONTA));
  }
  void Flush() {
    if (!buf_.empty()) s_.WriteBuffer(buf_.data(), int64_t(buf_.size()));
    buf_.clear();
  }
  void FlushIfLarge() {
    if (buf_.size() >= (1u << 16)) Flush();
  }
  // The stream itself, with everything collected so far written.
  TStream& Stream() {
    Flush();
    return s_;
  }

 private:
  TStream& s_;
  std::vector<uint8_t> buf_;
};

void WriteMemoFields(TEntryWriter& w, const TRVVObjRecord& o) {
  w.Str(o.Text);
  w.Font(o.LogFont);
  const size_t len = std::strlen(o.Text.c_str());
  const bool withFormats = !o.MemoCharFormatIdx.empty();
  w.U8(withFormats);
  if (withFormats)
    for (size_t i = 0; i < len; ++i) w.I32(i < o.MemoCharFormatIdx.size() ? o.MemoCharFormatIdx[i] : 0);
  w.I32(int32_t(o.MemoCharFormats.size()));
  w.Raw(o.MemoCharFormats.data(), o.MemoCharFormats.size() * sizeof(TRVCharFormat));
  w.U8(o.FontLocked), w.U8(o.TextAutoSize);
  w.I32(o.MemoLineSpace), w.I32(o.MemoBorderColor), w.U8(o.MemoBorderStyle);
  w.U8(o.TextAlign);
  w.I32(o.MemoFixedHeight);
  w.U8(o.MemoHasBitmap);
  if (o.MemoHasBitmap) w.I32(o.BitmapIdx), w.U8(o.BitmapBorder);
  w.D(o.MemoMarginLeft), w.D(o.MemoMarginTop), w.D(o.MemoMarginRight), w.D(o.MemoMarginBottom);
  w.U8(o.MemoCharsBrushStyle);
}

void WriteEntry(TEntryWriter& w, const TRVVObjRecord& o, int32_t hobj) {
  w.I32(hobj);
  w.I32(o.X1), w.I32(o.Y1), w.I32(o.X2), w.I32(o.Y2);
  w.U8(o.Kind);
  w.U8(o.AspectRatio);
  w.U8(o.BlendOperation);
  w.U8(o.SoftShadow.Enabled);
  w.D(o.SoftShadow.Radius);
  w.I32(o.SoftShadow.OffsetX), w.I32(o.SoftShadow.OffsetY);
  w.I32(o.SoftShadow.Intensity);
  w.U8(o.SoftShadow.ShadowColor.b), w.U8(o.SoftShadow.ShadowColor.g), w.U8(o.SoftShadow.ShadowColor.r);
  w.Str(o.Name);
  w.I32(o.ID);
  w.I32(o.PenColor), w.U8(o.PenStyle), w.I32(o.PenWidth);
  w.I32(o.BrushColor), w.U8(o.BrushStyle);
  w.U8(o.Style);
  w.I32(o.Transparency);
  w.U8(o.BoxHighLight);
  w.U8(o.FontQuality);
  const int32_t ul = o.UserDataLen > 0 && o.UserData ? o.UserDataLen : 0;
  w.I32(ul);
  if (ul) w.Raw(o.UserData, size_t(ul));
  // A kind-none object is an empty group, so that it reads back.
  if (o.Kind == rvkNONE) {
    w.I32(0);
    return;
  }
  if (o.Kind == rvkLINELABEL) {
    w.I32(o.LabelBrushColor), w.U8(o.LabelBrushStyle), w.U8(o.LabelPos), w.U8(o.LabelBorder);
  }
  if (o.Kind == rvkLINE || o.Kind == rvkLINELABEL) {
    w.U8(o.BeginShape), w.U8(o.EndShape), w.I32(o.ShapeWidth), w.I32(o.ShapeHeight);
  }
  if (o.Kind == rvkARC) w.D(o.ArcStartingAngle), w.D(o.ArcEndingAngle);
  if (o.Kind == rvkBITMAP) {
    w.I32(o.BitmapIdx), w.U8(o.BitmapBorder);
    w.Str(o.Text);
  }
  if (o.Kind == rvkTEXT || o.Kind == rvkLINELABEL || o.Kind == rvkEXTENDED) {
    w.U8(o.TextAlign), w.U8(o.TextAutoSize);
    w.Str(o.Text);
    w.Font(o.LogFont);
    const int32_t n = std::min<int32_t>(o.CurvePointsCount, int32_t(o.CurvePoints.size()));
    w.I32(std::max(n, 0));
    if (n > 0) {
      w.Raw(o.CurvePoints.data(), size_t(n) * sizeof(TRVDoublePoint));
      w.I32(o.CurveCharRot);
    }
  }
  if (o.Kind == rvkMEMO) WriteMemoFields(w, o);
  w.U8(o.TextEditable);
  if (o.Kind == rvkRULER) {
    w.U8(o.RulerUnit), w.U8(o.RulerType);
    w.Font(o.LogFont);
  }
  if (o.Kind == rvkPOLYLINE) {
    const int32_t n = std::clamp<int32_t>(o.PolyPointsCount, 0, int32_t(o.PolyPoints.size()));
    w.I32(n);
    w.Raw(o.PolyPoints.data(), size_t(n) * sizeof(TRVPoint));
    w.I32(o.PolyBaseX1), w.I32(o.PolyBaseY1), w.I32(o.PolyBaseX2), w.I32(o.PolyBaseY2);
    w.U8(o.PolylineClosed);
  }
  if (o.Kind == rvkANGLE) {
    for (const auto& p : o.AnglePoints) w.I32(p.x), w.I32(p.y);
    w.Font(o.LogFont);
  }
  if (o.Kind == rvkEXTENDED) {
    w.U8(o.ExtendedObject ? 1 : 0);
    if (o.ExtendedObject) {
      w.Str(GetExtendedObjectName(o.ExtendedObject));
      o.ExtendedObject->SaveToStream(w.Stream());
    }
  }
}

void WriteI32(TStream& s, int32_t v) { s.WriteBuffer(&v, 4); }

}  // namespace

void WriteObjectEntry(TStream& Stream, const TRVVObjRecord& Obj, int32_t Handle) {
  TEntryWriter w(Stream);
  WriteEntry(w, Obj, Handle);
  w.Flush();
}

void WriteObjectStream(TStream& Stream, double MeasureBaseScale, const std::vector<TRVVSlotToWrite>& Slots,
                       const std::vector<TRVVEntryToWrite>& Entries) {
  const int64_t S = Stream.GetPosition();
  Stream.WriteBuffer("RVV", 3);
  const char version = kRVVVersion;
  Stream.WriteBuffer(&version, 1);
  WriteI32(Stream, 0);
  Stream.WriteBuffer(&MeasureBaseScale, 8);
  WriteI32(Stream, int32_t(Slots.size()));
  {
    TRastovaIO io;
    for (const TRVVSlotToWrite& slot : Slots) {
      const int32_t count = slot.Bitmap ? slot.Count : 0;
      WriteI32(Stream, count);
      if (count > 0) {
        io.SetAttachedRVBitmap(slot.Bitmap);
        io.SaveToStreamPNG(Stream);
        io.SetAttachedRVBitmap(nullptr);
        if (io.Aborting) throw ERVVectStreamError("A bitmap of the vector layer cannot be written");
      }
    }
  }
  {
    TZCompressionStream z(Stream, zcDefault);
    TEntryWriter w(z);
    w.I32(int32_t(Entries.size()));
    for (const TRVVEntryToWrite& e : Entries) {
      WriteEntry(w, *e.Obj, e.Handle);
      w.FlushIfLarge();
    }
    w.Flush();
    z.Finish();
  }
  const int64_t E = Stream.GetPosition();
  Stream.SetPosition(S + 4);
  WriteI32(Stream, int32_t(E - S));
  Stream.SetPosition(E);
}

}  // namespace rv
