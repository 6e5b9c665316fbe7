// The Photoshop writer: the document is built in memory (its length fields are known only after
// the data behind them) and written out with one checked write.
#include <algorithm>
#include <cstring>

#include "common/Round.h"
#include "rastova/codecs/CodecUtils.h"
#include "rastova/codecs/RVICC.h"
#include "rastova/codecs/jpeg/jpegfilt.h"
#include "rastova/codecs/psd/rvpsd.h"
#include "rastova/codecs/tiff/tiffilt.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RastovaProc.h"

namespace rv {

using namespace codecs;

namespace {

class TBuffer {
 public:
  std::vector<uint8_t> d;
  size_t Size() const { return d.size(); }
  void U8(uint32_t v) { d.push_back(static_cast<uint8_t>(v)); }
  void U16(uint32_t v) {
    U8(v >> 8);
    U8(v);
  }
  void U32(uint32_t v) {
    U16(v >> 16);
    U16(v);
  }
  void Bytes(const void* p, size_t n) {
    const auto* b = static_cast<const uint8_t*>(p);
    d.insert(d.end(), b, b + n);
  }
  void Text(const char* s) { Bytes(s, std::strlen(s)); }
  // A 32-bit length field to fill in later: its offset.
  size_t Reserve32() {
    const size_t at = d.size();
    U32(0);
    return at;
  }
  void Put32(size_t at, uint32_t v) {
    for (int k = 0; k < 4; ++k) d[at + size_t(k)] = static_cast<uint8_t>(v >> (24 - 8 * k));
  }
  void Put16(size_t at, uint32_t v) {
    d[at] = static_cast<uint8_t>(v >> 8);
    d[at + 1] = static_cast<uint8_t>(v);
  }
  // Fills a length field with the bytes written after it.
  void Close32(size_t at) { Put32(at, static_cast<uint32_t>(d.size() - at - 4)); }
};

// Colour mode of a pixel format; -1 when it has none.
int32_t ModeOf(TRVPixelFormat f) {
  switch (f) {
    case rv1g: return 0;
    case rv8p: return 2;
    case rv8g: case rv16g: return 1;
    case rv24RGB: case rv48RGB: case rv32RGB: return 3;
    case rvCMYK: return 4;
    case rvCIELab: return 9;
    default: return -1;
  }
}

int32_t ColorChannels(int32_t mode) { return mode == 3 || mode == 9 ? 3 : mode == 4 ? 4 : 1; }

// The pixel format a layer takes in a document of this mode and depth.
TRVPixelFormat LayerFormat(int32_t mode, int32_t depth) {
  switch (mode) {
    case 0: return rv1g;
    case 1: return depth == 16 ? rv16g : rv8g;
    case 2: return rv8p;
    case 3: return depth == 16 ? rv48RGB : rv24RGB;
    case 4: return rvCMYK;
    default: return rvCIELab;
  }
}

// Row bytes of channel `t` of row y (t = -1: alpha) as the file stores them.
void ChannelRow(TRVBitmap& b, int32_t t, int32_t y, int32_t depth, std::vector<uint8_t>& out) {
  const int32_t w = b.GetWidth();
  const TRVPixelFormat f = b.GetPixelFormat();
  out.assign(size_t((int64_t(w) * depth + 7) / 8), 0);
  if (t < 0) {
    const uint8_t* a = b.AlphaBitmap()->GetScanLine(y);
    for (int32_t x = 0; x < w; ++x) {
      if (depth == 16) {
        out[size_t(2 * x)] = out[size_t(2 * x + 1)] = a[x];
      } else {
        out[size_t(x)] = a[x];
      }
    }
    return;
  }
  const uint8_t* row = b.GetScanLine(y);
  switch (f) {
    case rv1g:
      for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<uint8_t>(~row[i]);
      break;
    case rv8g:
    case rv8p:
      std::memcpy(out.data(), row, size_t(w));
      break;
    case rv24RGB:
      for (int32_t x = 0; x < w; ++x) out[size_t(x)] = row[3 * x + 2 - t];
      break;
    case rv16g:
    case rv48RGB: {
      const int32_t n = f == rv16g ? 1 : 3;
      const auto* px = reinterpret_cast<const uint16_t*>(row);
      for (int32_t x = 0; x < w; ++x) {
        out[size_t(2 * x)] = static_cast<uint8_t>(px[n * x + t] >> 8);
        out[size_t(2 * x + 1)] = static_cast<uint8_t>(px[n * x + t]);
      }
      break;
    }
    case rvCMYK:
      for (int32_t x = 0; x < w; ++x) out[size_t(x)] = row[4 * x + t];
      break;
    case rvCIELab:
      for (int32_t x = 0; x < w; ++x) out[size_t(x)] = static_cast<uint8_t>(t == 0 ? row[3 * x] : row[3 * x + t] + 128);
      break;
    default:
      break;
  }
}

// One channel of rows in PackBits: compression word, row lengths, rows.
void WriteChannel(TBuffer& out, TRVBitmap& b, int32_t t, int32_t depth) {
  const int32_t h = b.GetHeight();
  out.U16(1);
  const size_t table = out.Size();
  for (int32_t y = 0; y < h; ++y) out.U16(0);
  std::vector<uint8_t> row;
  for (int32_t y = 0; y < h; ++y) {
    ChannelRow(b, t, y, depth, row);
    const int32_t n = PackBitsEncodeRow(row.data(), static_cast<int32_t>(row.size()), out.d);
    out.Put16(table + size_t(2) * size_t(y), uint32_t(n));
  }
}

void WriteResource(TBuffer& out, uint16_t id, const void* data, size_t n) {
  if (out.Size() & 1) out.U8(0);
  out.Text("8BIM");
  out.U16(id);
  out.U16(0);  // empty name
  out.U32(static_cast<uint32_t>(n));
  out.Bytes(data, n);
  if (n & 1) out.U8(0);
}

void WriteResources(TBuffer& out, TIOParamsVals& params, TRVBitmap& merged) {
  const size_t len = out.Reserve32();
  TBuffer res;
  res.U32(uint32_t(params.DpiX) << 16);
  res.U16(1);
  res.U16(1);
  res.U32(uint32_t(params.DpiY) << 16);
  res.U16(1);
  res.U16(1);
  WriteResource(out, 1005, res.d.data(), res.Size());
  if (merged.GetPixelFormat() == rv8p) {
    const uint8_t index[2] = {0, 255};
    WriteResource(out, 1047, index, 2);
  }
  const std::vector<uint8_t> iptc = params.IPTC_Info.SaveToBuffer(false);
  if (!iptc.empty()) WriteResource(out, 1028, iptc.data(), iptc.size());
  if (params.HasInputICCProfile() && !params.GetInputICCProfile().Raw().empty()) {
    const std::vector<uint8_t>& icc = params.GetInputICCProfile().Raw();
    WriteResource(out, 1039, icc.data(), icc.size());
  }
  if (params.EXIF_Thumbnail && !params.EXIF_Thumbnail->IsEmpty()) {
    TMemoryStream jpeg;
    TIOParamsVals fresh;
    TRVProgressRec own;
    TRVBitmap thumb;
    thumb.Assign(params.EXIF_Thumbnail.get());
    if (thumb.GetPixelFormat() != rv24RGB) thumb.SetPixelFormat(rv24RGB);
    WriteJpegStream(jpeg, thumb, fresh, own);
    const uint32_t tw = uint32_t(thumb.GetWidth()), th = uint32_t(thumb.GetHeight());
    TBuffer t;
    t.U32(1);
    t.U32(tw);
    t.U32(tw * 3);
    t.U32(tw * th * 3);
    t.U32(uint32_t(jpeg.GetSize()));
    t.U16(24);
    t.U16(1);
    t.Bytes(jpeg.Memory(), size_t(jpeg.GetSize()));
    WriteResource(out, 1036, t.d.data(), t.Size());
  }
  if (!params.XMP_Info.empty()) WriteResource(out, 1060, params.XMP_Info.data(), params.XMP_Info.size());
  if (out.Size() & 1) out.U8(0);
  out.Close32(len);
}

// Brings every layer to the document's mode, depth and its own size; every layer gets an alpha
// channel.
void PrepareLayers(TPSDLayerList& layers, int32_t mode, int32_t depth) {
  for (auto& l : layers) {
    TRVBitmap& b = *l->Bitmap;
    if (!l->IsMask) {
      const TRVPixelFormat f = LayerFormat(mode, depth);
      if (b.GetPixelFormat() != f) b.SetPixelFormat(f);
      if (!b.IsEmpty() && (b.GetWidth() != l->Width() || b.GetHeight() != l->Height())) {
        TRastovaProc proc(nullptr);
        proc.SetAttachedRVBitmap(&b);
        proc.Resample(l->Width(), l->Height(), l->UseResampleFilter ? l->ResampleFilter : rfNone);
      }
    }
    b.AlphaBitmap();
  }
}

void WriteLayerSection(TBuffer& out, TPSDLayerList& layers, int32_t mode, int32_t depth, TRVProgressRec& progress) {
  const size_t sectionLen = out.Reserve32();
  if (layers.empty()) return;
  const size_t infoLen = out.Reserve32();
  std::vector<size_t> plain;
  for (size_t i = 0; i < layers.size(); ++i)
    if (!layers[i]->IsMask) plain.push_back(i);
  out.U16(uint32_t(plain.size()));
  const int32_t colors = ColorChannels(mode);
  std::vector<std::vector<size_t>> lengthFields(plain.size());
  for (size_t k = 0; k < plain.size(); ++k) {
    TPSDLayer& l = *layers[plain[k]];
    TPSDLayer* mask = plain[k] + 1 < layers.size() && layers[plain[k] + 1]->IsMask ? layers[plain[k] + 1].get() : nullptr;
    out.U32(uint32_t(l.Top));
    out.U32(uint32_t(l.Left));
    out.U32(uint32_t(l.Top + l.Bitmap->GetHeight()));
    out.U32(uint32_t(l.Left + l.Bitmap->GetWidth()));
    out.U16(uint32_t(colors + 1 + (mask ? 1 : 0)));
    auto channel = [&](int32_t id) {
      out.U16(uint32_t(id) & 0xFFFF);
      lengthFields[k].push_back(out.Reserve32());
    };
    channel(-1);
    for (int32_t c = 0; c < colors; ++c) channel(c);
    if (mask) channel(-2);
    out.Text("8BIMnorm");
    out.U8(l.Opacity);
    out.U8(0);
    out.U8(l.Visible ? 0 : 2);
    out.U8(0);
    const size_t extra = out.Reserve32();
    if (mask) {
      out.U32(20);
      out.U32(uint32_t(mask->Top));
      out.U32(uint32_t(mask->Left));
      out.U32(uint32_t(mask->Top + mask->Bitmap->GetHeight()));
      out.U32(uint32_t(mask->Left + mask->Bitmap->GetWidth()));
      out.U32(0);
    } else {
      out.U32(0);
    }
    out.U32(0);
    const size_t nameLen = std::min<size_t>(l.Name.size(), 255);
    out.U8(uint32_t(nameLen));
    out.Bytes(l.Name.data(), nameLen);
    while ((out.Size() - extra - 4) % 4 != 0) out.U8(1);
    out.Close32(extra);
  }
  for (size_t k = 0; k < plain.size(); ++k) {
    TPSDLayer& l = *layers[plain[k]];
    TPSDLayer* mask = plain[k] + 1 < layers.size() && layers[plain[k] + 1]->IsMask ? layers[plain[k] + 1].get() : nullptr;
    size_t field = 0;
    auto channel = [&](TRVBitmap& b, int32_t t, int32_t d) {
      const size_t start = out.Size();
      WriteChannel(out, b, t, d);
      out.Put32(lengthFields[k][field++], uint32_t(out.Size() - start));
    };
    channel(*l.Bitmap, -1, depth);
    for (int32_t c = 0; c < colors; ++c) channel(*l.Bitmap, c, depth);
    if (mask) {
      TRVBitmap grey;
      grey.Assign(mask->Bitmap.get());
      if (grey.GetPixelFormat() != rv8g) grey.SetPixelFormat(rv8g);
      channel(grey, 0, 8);
    }
    if (progress.HasEvent()) progress.Report(common::TruncInt((k + 1) * 100.0 / plain.size()));
  }
  out.Close32(infoLen);
  out.U32(0);  // global layer mask info
  out.Close32(sectionLen);
}

}  // namespace

void WritePSDStream(TStream& stream, TIOParamsVals& params, TRVProgressRec& progress, TPSDLayerList& layers,
                    TRVBitmap& bitmap) {
  TRVBitmap* merged = &bitmap;
  std::unique_ptr<TRVBitmap> made;
  // Four-byte pixels would not match the three colour channels of the RGB mode.
  if (bitmap.GetPixelFormat() == rv32RGB) {
    made = ConvertedCopy(bitmap, rv24RGB);
    merged = made.get();
  }
  const int32_t mode = merged ? ModeOf(merged->GetPixelFormat()) : -1;
  // The format holds at most 30,000 pixels a side (and 16-bit row lengths).
  if (mode < 0 || merged->IsEmpty() || merged->GetWidth() > 30000 || merged->GetHeight() > 30000) {
    progress.SetAborting();
    return;
  }
  const int32_t channels = merged->GetChannelCount();
  const int32_t depth = merged->GetBitCount() / channels;
  PrepareLayers(layers, mode, depth);
  TBuffer out;
  out.Text("8BPS");
  out.U16(1);
  out.Bytes("\0\0\0\0\0\0", 6);
  out.U16(uint32_t(channels));
  out.U32(uint32_t(merged->GetHeight()));
  out.U32(uint32_t(merged->GetWidth()));
  out.U16(uint32_t(depth));
  out.U16(uint32_t(mode));
  if (merged->GetPixelFormat() == rv8p) {
    out.U32(768);
    for (int c = 0; c < 3; ++c)
      for (int32_t i = 0; i < 256; ++i) {
        const TRGB p = i < merged->GetPaletteLength() ? merged->GetPalette(i) : TRGB{};
        out.U8(c == 0 ? p.r : c == 1 ? p.g : p.b);
      }
  } else {
    out.U32(0);
  }
  WriteResources(out, params, *merged);
  WriteLayerSection(out, layers, mode, depth, progress);
  // The merged image: one table of every channel's rows, then the rows.
  const int32_t h = merged->GetHeight();
  out.U16(1);
  const size_t table = out.Size();
  for (int64_t i = 0; i < int64_t(channels) * h; ++i) out.U16(0);
  std::vector<uint8_t> row;
  for (int32_t c = 0; c < channels; ++c) {
    for (int32_t y = 0; y < h; ++y) {
      ChannelRow(*merged, c, y, depth, row);
      const int32_t n = PackBitsEncodeRow(row.data(), static_cast<int32_t>(row.size()), out.d);
      out.Put16(table + size_t(2) * (size_t(c) * size_t(h) + size_t(y)), uint32_t(n));
    }
    if (!layers.empty() && progress.HasEvent()) progress.Report(100 * c / channels);
  }
  WriteChecked(stream, progress, out.d.data(), int64_t(out.Size()));
}

}  // namespace rv
