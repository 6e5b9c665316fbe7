#include "rastova/io/RVLayerStream.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "rastova/codecs/CodecUtils.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVRawStream.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVUtils.h"
#include "rastova/core/RVZLib.h"
#include "rastova/io/RVFileFormat.h"
#include "rastova/io/RastovaIO.h"

namespace rv {

namespace {

[[noreturn]] void Damaged(const std::string& what) { throw ERVLayerStreamError("Damaged layer stream: " + what); }

// Reads little-endian fields, every read checked against the bytes the stream holds.
class TFieldReader {
 public:
  explicit TFieldReader(TStream& s) : s_(s) {}
  void Bytes(void* buffer, int64_t n, const char* what) {
    if (n < 0 || s_.Read(buffer, n) != n) Damaged(std::string("truncated inside ") + what);
  }
  uint8_t U8(const char* what) {
    uint8_t b = 0;
    Bytes(&b, 1, what);
    return b;
  }
  bool Bool(const char* what) { return U8(what) != 0; }
  int32_t I32(const char* what) {
    uint8_t b[4];
    Bytes(b, 4, what);
    return static_cast<int32_t>(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24);
  }
  double F64(const char* what) {
    uint8_t b[8];
    Bytes(b, 8, what);
    double d;
    std::memcpy(&d, b, 8);
    return d;
  }

 private:
  TStream& s_;
};

// Collects a record in memory and writes it in one piece.
class TFieldWriter {
 public:
  void Bytes(const void* p, size_t n) {
    const auto* b = static_cast<const uint8_t*>(p);
    buf_.insert(buf_.end(), b, b + n);
  }
  void U8(uint8_t v) { buf_.push_back(v); }
  void I32(int32_t v) {
    for (int i = 0; i < 4; ++i) buf_.push_back(static_cast<uint8_t>(uint32_t(v) >> (8 * i)));
  }
  void F64(double d) {
    uint8_t b[8];
    std::memcpy(b, &d, 8);
    Bytes(b, 8);
  }
  void Flush(TStream& s) {
    if (!buf_.empty()) s.WriteBuffer(buf_.data(), static_cast<int64_t>(buf_.size()));
    buf_.clear();
  }

 private:
  std::vector<uint8_t> buf_;
};

void WriteI32At(TStream& s, int64_t pos, int32_t v) {
  TFieldWriter w;
  w.I32(v);
  const int64_t back = s.GetPosition();
  s.SetPosition(pos);
  w.Flush(s);
  s.SetPosition(back);
}

// The smallest record a version can have: the fixed fields, empty name and no user data.
int64_t MinRecordSize(int32_t version) {
  int64_t n = 1 + 1 + 4 + 4 + 4 + 1 + 1 + 1 + 8 + 1 + 1 + 4 + 4 + 8;  // up to version 2, slot included
  if (version >= 3) n += 1 + 1 + 1 + 4 + 4 + 1;
  if (version >= 4) n += 1;
  if (version >= 6) n += 1;
  return n;
}

void ReadProps(TFieldReader& r, TStream& s, int32_t version, TRVLayerProps& p) {
  const char* rec = "a layer record";
  p.Visible = r.Bool(rec);
  p.ShowBox = r.Bool(rec);
  p.Opacity = r.I32(rec);
  p.PosX = r.I32(rec);
  p.PosY = r.I32(rec);
  p.ClipToImage = r.Bool(rec);
  p.Locked = r.Bool(rec);
  p.MagnifierEnabled = r.Bool(rec);
  p.MagnifierRate = r.F64(rec);
  p.MagnifierShape = r.U8(rec);
  if (version >= 3) p.MagnifierSource = r.U8(rec);
  p.Operation = r.U8(rec);
  p.DisplayWidth = r.I32(rec);
  p.DisplayHeight = r.I32(rec);
  if (version >= 3) {
    p.ResampleFilter = r.U8(rec);
    p.UseResampleFilter = r.Bool(rec);
    const int32_t nameLen = r.I32(rec);
    if (nameLen < 0) Damaged("negative name length");
    CheckBytesLeft(s, nameLen, "a layer name");
    p.Name.assign(static_cast<size_t>(nameLen), '\0');
    r.Bytes(p.Name.data(), nameLen, "a layer name");
    const int32_t userLen = r.I32(rec);
    if (userLen < 0) Damaged("negative user data length");
    CheckBytesLeft(s, userLen, "a layer's user data");
    p.UserData.assign(static_cast<size_t>(userLen), 0);
    if (userLen > 0) r.Bytes(p.UserData.data(), userLen, "a layer's user data");
    p.IsMask = r.Bool(rec);
  }
  if (version >= 4) p.Selectable = r.Bool(rec);
  if (version >= 6) p.ShadeOutside = r.Bool(rec);
}

void WriteProps(TFieldWriter& w, const TRVLayerProps& p) {
  w.U8(p.Visible);
  w.U8(p.ShowBox);
  w.I32(p.Opacity);
  w.I32(p.PosX);
  w.I32(p.PosY);
  w.U8(p.ClipToImage);
  w.U8(p.Locked);
  w.U8(p.MagnifierEnabled);
  w.F64(p.MagnifierRate);
  w.U8(p.MagnifierShape);
  w.U8(p.MagnifierSource);
  w.U8(p.Operation);
  w.I32(p.DisplayWidth);
  w.I32(p.DisplayHeight);
  w.U8(p.ResampleFilter);
  w.U8(p.UseResampleFilter);
  if (p.Name.size() > size_t(std::numeric_limits<int32_t>::max()))
    throw ERVLayerStreamError("Layer name too long to store");
  w.I32(static_cast<int32_t>(p.Name.size()));
  w.Bytes(p.Name.data(), p.Name.size());
  if (p.UserData.size() > size_t(std::numeric_limits<int32_t>::max()))
    throw ERVLayerStreamError("Layer user data too long to store");
  w.I32(static_cast<int32_t>(p.UserData.size()));
  w.Bytes(p.UserData.data(), p.UserData.size());
  w.U8(p.IsMask);
  w.U8(p.Selectable);
  w.U8(p.ShadeOutside);
}

// The view's own formats cannot hold a layer's image: they would read layer streams inside
// layer streams without end.
bool IsImageFileFormat(int32_t format) {
  return format != ioRVV && format != ioLYR && format != ioALL && GetFileFormatInfo(format) != nullptr;
}

void ReadFileImage(TStream& s, int32_t format, bool isMask, TRVBitmap& image) {
  if (!IsImageFileFormat(format)) Damaged("image format " + std::to_string(format) + " unknown");
  TRastovaIO io(&image);
  io.SetNativePixelFormat(isMask);
  io.Aborting = true;
  try {
    io.LoadFromStreamFormat(s, format);
  } catch (const std::exception& e) {
    Damaged(std::string("a layer image does not decode (") + e.what() + ")");
  }
  if (io.Aborting || image.IsEmpty()) Damaged("a layer image does not decode");
}

// The bytes of one layer's image, seen as a stream of their own: reads stop at the next image,
// so that no byte of the layer stream serves two images.
class TImageBytes : public TStream {
 public:
  TImageBytes(TStream& source, int64_t begin, int64_t end)
      : source_(source), begin_(begin), size_(end - begin) {}
  int64_t Read(void* buffer, int64_t count) override {
    if (count <= 0 || pos_ >= size_) return 0;
    source_.SetPosition(begin_ + pos_);
    const int64_t n = source_.Read(buffer, std::min(count, size_ - pos_));
    if (n > 0) pos_ += n;
    return n;
  }
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    const int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? pos_ : size_;
    int64_t to = 0;
    if (__builtin_add_overflow(base, offset, &to) || to < 0)
      throw EReadError("Seek before the start of a layer image");
    pos_ = to;
    return pos_;
  }
  int64_t GetSize() override { return size_; }
  void SetSize(int64_t) override {}

 private:
  TStream& source_;
  int64_t begin_;
  int64_t size_;
  int64_t pos_ = 0;
};

// Where each layer's image ends: at the next image's position, the last one at the stream's end.
// Two layers naming one position would decode the same bytes twice and hold the image twice
// (300 records over one 3,072 x 3,072 image in 22 KB ask for gigabytes): such a stream is
// damaged, since the writer gives every layer an image of its own.
std::vector<int64_t> ImageEnds(const std::vector<int64_t>& positions, int64_t streamEnd) {
  std::vector<size_t> order(positions.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return positions[a] < positions[b]; });
  std::vector<int64_t> ends(positions.size(), streamEnd);
  for (size_t k = 0; k + 1 < order.size(); ++k) {
    const size_t a = order[k], b = order[k + 1];
    if (positions[a] == positions[b])
      Damaged("layers " + std::to_string(std::min(a, b)) + " and " + std::to_string(std::max(a, b)) +
              " share one image");
    ends[a] = positions[b];
  }
  return ends;
}

// A display size is 0 (the image's own) or a stretch of the image: at most kMaxLayerDisplayRatio
// times its side (an empty image counts as 1 pixel), and never more pixels than a reader makes.
void CheckDisplaySize(const TRVLayerProps& p, TRVBitmap& image, int32_t layer) {
  auto fits = [](int32_t display, int32_t side) {
    return display >= 0 && int64_t(display) <= kMaxLayerDisplayRatio * std::max<int64_t>(side, 1);
  };
  const int64_t w = p.DisplayWidth != 0 ? p.DisplayWidth : image.GetWidth();
  const int64_t h = p.DisplayHeight != 0 ? p.DisplayHeight : image.GetHeight();
  if (!fits(p.DisplayWidth, image.GetWidth()) || !fits(p.DisplayHeight, image.GetHeight()) ||
      w * h > codecs::kMaxPixelCount)
    Damaged("the display size " + std::to_string(p.DisplayWidth) + " x " + std::to_string(p.DisplayHeight) +
            " of layer " + std::to_string(layer) + " does not fit its " + std::to_string(image.GetWidth()) +
            " x " + std::to_string(image.GetHeight()) + " image");
}

void WriteFileImage(TStream& s, int32_t format, TRVBitmap& image) {
  TRastovaIO io(&image);
  const TRVPixelFormat f = image.GetPixelFormat();
  if (f == rv1g) {
    io.Params.BitsPerSample = 1;
    io.Params.SamplesPerPixel = 1;
  } else {
    io.Params.BitsPerSample = 8;
    if (f == rv8g) {
      io.Params.SamplesPerPixel = 1;
      io.Params.TIFF_Photometric = 1;
    } else {
      io.Params.SamplesPerPixel = 3;
      io.Params.TIFF_Photometric = 2;
    }
  }
  io.SaveToStream(s, format);
  if (io.Aborting) throw ERVLayerStreamError("A layer image could not be written in file format " + std::to_string(format));
}

}  // namespace

void CheckBytesLeft(TStream& stream, int64_t count, const char* what) {
  if (count < 0 || count > stream.GetSize() - stream.GetPosition()) Damaged(std::string(what) + " goes past the end");
}

bool IsLayersStream(TStream& stream) {
  int64_t start = 0;
  try {
    start = stream.GetPosition();
  } catch (...) {
    return false;
  }
  bool ok = false;
  try {
    uint8_t h[kLayersHeaderSize];
    if (stream.Read(h, kLayersHeaderSize) == kLayersHeaderSize && std::memcmp(h, kLayersSignature, kLayersSignatureLen) == 0) {
      const int32_t version =
          static_cast<int32_t>(uint32_t(h[13]) | uint32_t(h[14]) << 8 | uint32_t(h[15]) << 16 | uint32_t(h[16]) << 24);
      ok = version > 0;
    }
  } catch (...) {
    ok = false;
  }
  try {
    stream.SetPosition(start);
  } catch (...) {
  }
  return ok;
}

void WriteLayerRawImage(TStream& stream, TRVBitmap& image, bool compressed) {
  // The count goes in front; it is known once the image is written, so its place is kept.
  const int64_t countPos = stream.GetPosition();
  TFieldWriter w;
  w.I32(0);
  w.Flush(stream);
  const int64_t dataStart = stream.GetPosition();
  if (compressed) {
    TZCompressionStream z(stream, zcDefault);
    SaveRawToStream(image, z);
    z.Finish();
  } else {
    SaveRawToStream(image, stream);
  }
  stream.Seek(0, soEnd);
  const int64_t count = stream.GetPosition() - dataStart;
  if (count > std::numeric_limits<int32_t>::max())
    throw ERVLayerStreamError("A layer image is too large for the layer stream");
  WriteI32At(stream, countPos, static_cast<int32_t>(count));
}

void ReadLayerRawImage(TStream& stream, TRVBitmap& image, bool compressed) {
  TFieldReader r(stream);
  const int32_t count = r.I32("an image's byte count");
  if (count < 0) Damaged("negative image byte count");
  CheckBytesLeft(stream, count, "a layer image");
  TMemoryStream data;
  data.SetSize(count);
  r.Bytes(data.Memory(), count, "a layer image");
  data.SetPosition(0);
  bool ok = false;
  try {
    if (compressed) {
      TZDecompressionStream z(data);
      ok = LoadRawFromStream(image, z);
    } else {
      ok = LoadRawFromStream(image, data);
    }
  } catch (const std::exception& e) {
    Damaged(std::string("a layer image does not inflate (") + e.what() + ")");
  }
  if (!ok) Damaged("a layer image is not a raw bitmap");
}

TLayerStreamRead ReadLayerStream(TStream& stream, TRVLayerStreamContent& content) {
  content = TRVLayerStreamContent();
  TFieldReader r(stream);
  const int64_t start = stream.GetPosition();
  uint8_t sig[kLayersSignatureLen];
  if (stream.Read(sig, kLayersSignatureLen) != kLayersSignatureLen ||
      std::memcmp(sig, kLayersSignature, kLayersSignatureLen) != 0)
    return TLayerStreamRead::NotLayers;
  const int32_t version = r.I32("the header");
  const int32_t format = r.I32("the header");
  const int32_t count = r.I32("the header");
  if (version < 1) return TLayerStreamRead::BadVersion;
  if (count < 0) Damaged("negative number of layers");
  const int64_t recordBytes = stream.GetSize() - stream.GetPosition();
  if (count > recordBytes / MinRecordSize(version)) Damaged("more layers than the stream can hold");
  content.Version = version;
  content.ImageFormat = format;
  content.Layers.resize(static_cast<size_t>(count));
  std::vector<int64_t> positions(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    ReadProps(r, stream, version, content.Layers[size_t(i)].Props);
    const uint32_t low = static_cast<uint32_t>(r.I32("an image position"));
    const uint32_t high = static_cast<uint32_t>(r.I32("an image position"));
    positions[size_t(i)] = static_cast<int64_t>(uint64_t(high) << 32 | low);
  }
  const int64_t recordsEnd = stream.GetPosition();
  const int64_t size = stream.GetSize();
  for (int32_t i = 0; i < count; ++i) {
    const int64_t pos = positions[size_t(i)];
    if (pos < start + kLayersHeaderSize || pos >= size)
      Damaged("the image of layer " + std::to_string(i) + " lies outside the stream");
  }
  const std::vector<int64_t> ends = ImageEnds(positions, size);
  for (int32_t i = 0; i < count; ++i) {
    TRVLayerStreamEntry& layer = content.Layers[size_t(i)];
    TImageBytes bytes(stream, positions[size_t(i)], ends[size_t(i)]);
    auto image = std::make_unique<TRVBitmap>();
    if (format == kLayerImageZlib || format == kLayerImageRaw)
      ReadLayerRawImage(bytes, *image, format == kLayerImageZlib);
    else
      ReadFileImage(bytes, format, layer.Props.IsMask, *image);
    CheckDisplaySize(layer.Props, *image, i);
    layer.Image = std::move(image);
  }
  stream.SetPosition(recordsEnd);
  return TLayerStreamRead::Ok;
}

void WriteLayerStream(TStream& stream, int32_t imageFormat, const std::vector<TRVLayerToWrite>& layers) {
  if (imageFormat == ioTIFF) imageFormat = ioPNG;
  if (imageFormat != kLayerImageZlib && imageFormat != kLayerImageRaw) {
    TRVFileFormatInfo* row = IsImageFileFormat(imageFormat) ? GetFileFormatInfo(imageFormat) : nullptr;
    if (!row || !row->WriteRoutine)
      throw ERVLayerStreamError("Layer images cannot be written in file format " + std::to_string(imageFormat));
  }
  if (layers.size() > size_t(std::numeric_limits<int32_t>::max())) throw ERVLayerStreamError("Too many layers");
  TFieldWriter w;
  w.Bytes(kLayersSignature, kLayersSignatureLen);
  w.I32(kLayersStreamVersion);
  w.I32(imageFormat);
  w.I32(static_cast<int32_t>(layers.size()));
  w.Flush(stream);
  std::vector<int64_t> slots;
  slots.reserve(layers.size());
  for (const TRVLayerToWrite& l : layers) {
    WriteProps(w, *l.Props);
    w.Flush(stream);
    slots.push_back(stream.GetPosition());
    w.I32(0);
    w.I32(0);
    w.Flush(stream);
  }
  for (size_t i = 0; i < layers.size(); ++i) {
    stream.Seek(0, soEnd);
    const int64_t pos = stream.GetPosition();
    TFieldWriter slot;
    slot.I32(static_cast<int32_t>(static_cast<uint32_t>(uint64_t(pos))));
    slot.I32(static_cast<int32_t>(static_cast<uint32_t>(uint64_t(pos) >> 32)));
    stream.SetPosition(slots[i]);
    slot.Flush(stream);
    stream.SetPosition(pos);
    TRVBitmap& image = *layers[i].Image;
    if (imageFormat == kLayerImageZlib || imageFormat == kLayerImageRaw)
      WriteLayerRawImage(stream, image, imageFormat == kLayerImageZlib);
    else
      WriteFileImage(stream, imageFormat, image);
  }
  stream.Seek(0, soEnd);
}

}  // namespace rv
