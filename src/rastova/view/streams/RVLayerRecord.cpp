// One layer with its identity as a record, for the processing component's layer undo steps.
#include <cstring>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVRawStream.h"
#include "rastova/core/RVStream.h"
#include "rastova/io/RVLayerStream.h"
#include "rastova/view/core/RVLayer.h"

namespace rv {

namespace {

// Every field up to the name length, then after the name up to the has-image flag.
constexpr int64_t kFixedBefore = 4 + 16 + 4 + 4 + 1 + 1 + 1 + 4 + 4 + 4 + 16 + 1 + 1 + 24 + 1 + 8 + 1 + 1;
constexpr int64_t kFixedAfter = 1 + 1 + 8 + 8 + 8 + 1;

class TRecordWriter {
 public:
  void Bytes(const void* p, size_t n) {
    const auto* b = static_cast<const uint8_t*>(p);
    d.insert(d.end(), b, b + n);
  }
  void U8(uint8_t v) { d.push_back(v); }
  void I32(int32_t v) {
    for (int i = 0; i < 4; ++i) d.push_back(static_cast<uint8_t>(uint32_t(v) >> (8 * i)));
  }
  void F64(double v) { Bytes(&v, 8); }
  void Zeros(size_t n) { d.insert(d.end(), n, 0); }
  std::vector<uint8_t> d;
};

class TRecordReader {
 public:
  TRecordReader(const uint8_t* p, int64_t n) : p_(p), n_(n) {}
  void Bytes(void* out, int64_t n) {
    if (n < 0 || n > n_ - at_) throw ERVLayerStreamError("Damaged layer record: truncated");
    std::memcpy(out, p_ + at_, size_t(n));
    at_ += n;
  }
  uint8_t U8() {
    uint8_t v;
    Bytes(&v, 1);
    return v;
  }
  int32_t I32() {
    uint8_t b[4];
    Bytes(b, 4);
    return static_cast<int32_t>(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24);
  }
  double F64() {
    double v;
    Bytes(&v, 8);
    return v;
  }
  void Skip(int64_t n) {
    if (n > n_ - at_) throw ERVLayerStreamError("Damaged layer record: truncated");
    at_ += n;
  }
  int64_t Left() const { return n_ - at_; }
  const uint8_t* Here() const { return p_ + at_; }

 private:
  const uint8_t* p_;
  int64_t n_;
  int64_t at_ = 0;
};

}  // namespace

void TRVLayer::SaveToStream(TStream& Stream, bool SaveImage) {
  const int64_t start = Stream.GetPosition();
  TRecordWriter w;
  w.I32(0);  // the length, filled in at the end
  w.Bytes(Guid, 16);
  w.I32(DisplayWidth);
  w.I32(DisplayHeight);
  w.U8(Visible);
  w.U8(ShowBox);
  w.U8(Selectable);
  w.I32(Opacity);
  w.I32(PosX);
  w.I32(PosY);
  w.I32(ScreenRect.Left);
  w.I32(ScreenRect.Top);
  w.I32(ScreenRect.Right);
  w.I32(ScreenRect.Bottom);
  w.U8(ClipToImage);
  w.U8(Locked);
  w.U8(MagnifierEnabled);
  w.Zeros(7);
  w.F64(MagnifierRate);
  w.U8(MagnifierShape);
  w.U8(MagnifierSource);
  w.Zeros(6);
  w.U8(static_cast<uint8_t>(Operation));
  // The reference in full width: the record never leaves the process.
  const uint64_t ref = reinterpret_cast<uintptr_t>(UserData);
  w.Bytes(&ref, 8);
  w.U8(static_cast<uint8_t>(ResampleFilter));
  w.U8(UseResampleFilter);
  w.I32(static_cast<int32_t>(Name.size()));
  w.Bytes(Name.data(), Name.size());
  w.U8(IsMask);
  w.U8(ShadeOutside);
  w.F64(Rotation);
  w.F64(RotateCenterX);
  w.F64(RotateCenterY);
  w.U8(SaveImage);
  Stream.WriteBuffer(w.d.data(), static_cast<int64_t>(w.d.size()));
  if (SaveImage) SaveRawToStream(*Bitmap, Stream);
  const int64_t end = Stream.GetPosition();
  const int64_t length = end - start;
  if (length > INT32_MAX) throw ERVLayerStreamError("Layer record too large");
  TRecordWriter len;
  len.I32(static_cast<int32_t>(length));
  Stream.SetPosition(start);
  Stream.WriteBuffer(len.d.data(), 4);
  Stream.SetPosition(end);
}

void TRVLayer::LoadFromStream(TStream& Stream) {
  // The whole record is read and checked before the layer changes.
  uint8_t lenBytes[4];
  if (Stream.Read(lenBytes, 4) != 4) throw ERVLayerStreamError("Damaged layer record: truncated");
  const int32_t length =
      static_cast<int32_t>(uint32_t(lenBytes[0]) | uint32_t(lenBytes[1]) << 8 | uint32_t(lenBytes[2]) << 16 | uint32_t(lenBytes[3]) << 24);
  if (length < kFixedBefore + 4 + kFixedAfter) throw ERVLayerStreamError("Damaged layer record: length too small");
  CheckBytesLeft(Stream, int64_t(length) - 4, "a layer record");
  std::vector<uint8_t> body(size_t(length) - 4);
  Stream.ReadBuffer(body.data(), int64_t(body.size()));
  TRecordReader r(body.data(), int64_t(body.size()));
  uint8_t guid[16];
  r.Bytes(guid, 16);
  const int32_t dw = r.I32(), dh = r.I32();
  const bool visible = r.U8(), showBox = r.U8(), selectable = r.U8();
  const int32_t opacity = r.I32(), posX = r.I32(), posY = r.I32();
  platform::TRect screen;
  screen.Left = r.I32();
  screen.Top = r.I32();
  screen.Right = r.I32();
  screen.Bottom = r.I32();
  const bool clip = r.U8(), locked = r.U8(), magEnabled = r.U8();
  r.Skip(7);
  const double magRate = r.F64();
  const uint8_t magShape = r.U8(), magSource = r.U8();
  r.Skip(6);
  const uint8_t operation = r.U8();
  uint64_t ref = 0;
  r.Bytes(&ref, 8);
  const uint8_t filter = r.U8();
  const bool useFilter = r.U8();
  const int32_t nameLen = r.I32();
  if (nameLen < 0 || nameLen > r.Left() - kFixedAfter) throw ERVLayerStreamError("Damaged layer record: name length");
  std::string name(size_t(nameLen), '\0');
  r.Bytes(name.data(), nameLen);
  const bool isMask = r.U8(), shade = r.U8();
  const double rotation = r.F64(), cx = r.F64(), cy = r.F64();
  const bool hasImage = r.U8();
  TRVBitmap image;
  if (hasImage) {
    TRVMemStream data(r.Here(), r.Left());
    if (!LoadRawFromStream(image, data)) throw ERVLayerStreamError("Damaged layer record: image");
  }

  std::memcpy(Guid, guid, 16);
  DisplayWidth = dw;
  DisplayHeight = dh;
  Visible = visible;
  ShowBox = showBox;
  Selectable = selectable;
  Opacity = opacity;
  PosX = posX;
  PosY = posY;
  ScreenRect = screen;
  ClipToImage = clip;
  Locked = locked;
  MagnifierEnabled = magEnabled;
  MagnifierRate = magRate;
  MagnifierShape = magShape;
  MagnifierSource = magSource;
  Operation = static_cast<TRVRenderOperation>(operation);
  // A block the layer owns stays where it is: taking the stored reference would leave two
  // owners of one block.
  if (UserDataLen <= 0) UserData = reinterpret_cast<void*>(static_cast<uintptr_t>(ref));
  ResampleFilter = static_cast<TResampleFilter>(filter);
  UseResampleFilter = useFilter;
  Name = std::move(name);
  IsMask = isMask;
  ShadeOutside = shade;
  Rotation = rotation;
  RotateCenterX = cx;
  RotateCenterY = cy;
  if (hasImage) {
    Bitmap->Assign(&image);
    if (Bitmap->PlatformBitmap()) Bitmap->SyncFromTBitmap();
  }
}

}  // namespace rv
