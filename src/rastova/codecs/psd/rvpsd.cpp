#include "rastova/codecs/psd/rvpsd.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "common/Round.h"
#include "rastova/codecs/CodecUtils.h"
#include "rastova/codecs/RVICC.h"
#include "rastova/codecs/jpeg/jpegfilt.h"
#include "rastova/codecs/dicom/rvdicom.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVUtils.h"

namespace rv {

using namespace codecs;

namespace {

bool ReadBe32(TStream& s, uint32_t& v) {
  uint8_t b[4];
  if (!ReadAll(s, b, 4)) return false;
  v = GetBE32(b);
  return true;
}
bool ReadBe16(TStream& s, uint16_t& v) {
  uint8_t b[2];
  if (!ReadAll(s, b, 2)) return false;
  v = GetBE16(b);
  return true;
}

struct TPSDHeader {
  int32_t channels = 0, height = 0, width = 0, depth = 0, mode = 0;
};

bool ParseHeader(const uint8_t* h, TPSDHeader& hd) {
  if (std::memcmp(h, "8BPS", 4) != 0 || GetBE16(h + 4) != 1) return false;
  hd.channels = GetBE16(h + 12);
  hd.height = static_cast<int32_t>(GetBE32(h + 14));
  hd.width = static_cast<int32_t>(GetBE32(h + 18));
  hd.depth = GetBE16(h + 22);
  hd.mode = GetBE16(h + 24);
  return hd.channels >= 1 && hd.channels <= 24 && hd.depth >= 1 && hd.depth <= 16 && hd.mode < 10;
}

// Colour channels and pixel format of a colour mode at a depth; format rvNone when the reader
// does not decode the combination.
struct TModeLayout {
  int32_t colors = 1;
  TRVPixelFormat format = rvNone;
};

TModeLayout LayoutOf(int32_t mode, int32_t depth) {
  TModeLayout l;
  switch (mode) {
    case 0: l.colors = 1; l.format = depth == 1 ? rv1g : rvNone; break;
    case 1: case 8: l.colors = 1; l.format = depth == 8 ? rv8g : depth == 16 ? rv16g : rvNone; break;
    case 7: l.colors = 1; l.format = depth == 8 ? rv8g : rvNone; break;
    case 2: l.colors = 1; l.format = depth == 8 ? rv8p : rvNone; break;
    case 3: l.colors = 3; l.format = depth == 8 ? rv24RGB : depth == 16 ? rv48RGB : rvNone; break;
    case 4: l.colors = 4; l.format = depth == 8 || depth == 16 ? rvCMYK : rvNone; break;
    case 9: l.colors = 3; l.format = depth == 8 || depth == 16 ? rvCIELab : rvNone; break;
    default: break;
  }
  return l;
}

// The reader's state for one call.
struct TPSDReader {
  TPSDReader(TStream& stream, TIOParamsVals& p, TRVProgressRec& pr) : s(stream), params(p), progress(pr) {}
  TStream& s;
  TIOParamsVals& params;
  TRVProgressRec& progress;
  TPSDHeader hd;
  TModeLayout layout;
  std::vector<TRGB> palette;
  int32_t transparentIndex = -1;
  bool thumbnailDelivered = false;
  bool hasProfile = false;
  TRVBitmap* target = nullptr;
  bool readLayers = false;
  int64_t size = 0;

  int64_t Left() { return size - s.GetPosition(); }
};

// ---------------------------------------------------------------- sections before the layers

void ReadColorModeData(TPSDReader& r) {
  uint32_t len = 0;
  if (!ReadBe32(r.s, len)) return;
  const int64_t start = r.s.GetPosition();
  if (len == 768) {
    uint8_t raw[768];
    if (ReadAll(r.s, raw, 768)) {
      r.palette.resize(256);
      for (int i = 0; i < 256; ++i) r.palette[size_t(i)] = TRGB{raw[512 + i], raw[256 + i], raw[i]};
    }
  }
  r.s.SetPosition(std::min<int64_t>(start + len, r.size));
}

void ReadThumbnailResource(TPSDReader& r, const std::vector<uint8_t>& data) {
  if (data.size() <= 28) return;
  TMemoryStream jpeg;
  jpeg.WriteBuffer(data.data() + 28, int64_t(data.size()) - 28);
  jpeg.SetPosition(0);
  if (!r.params.EXIF_Thumbnail) r.params.EXIF_Thumbnail = std::make_unique<TRVBitmap>();
  TIOParamsVals own;
  TRVProgressRec ownProgress;
  try {
    ReadJpegStream(jpeg, nullptr, *r.params.EXIF_Thumbnail, false, -1, false, false, false, false, false, false,
                   ownProgress, own);
  } catch (...) {
    return;
  }
  if (r.params.GetThumbnail && r.target && !ownProgress.IsAborting()) {
    r.target->Assign(r.params.EXIF_Thumbnail.get());
    r.readLayers = false;
    r.thumbnailDelivered = true;
  }
}

void ApplyResource(TPSDReader& r, uint16_t id, const std::vector<uint8_t>& data) {
  switch (id) {
    case 1005:
      if (data.size() >= 16) {
        r.params.SetDpiX(static_cast<int32_t>(GetBE32(data.data()) >> 16));
        r.params.SetDpiY(static_cast<int32_t>(GetBE32(data.data() + 8) >> 16));
      }
      break;
    case 1028:
      r.params.IPTC_Info.LoadFromBuffer(data.data(), static_cast<int32_t>(data.size()));
      break;
    case 1036:
      ReadThumbnailResource(r, data);
      break;
    case 1039:
      r.params.GetInputICCProfile().LoadFromBuffer(data.data(), int64_t(data.size()));
      r.hasProfile = true;
      break;
    case 1047:
      if (data.size() >= 2) r.transparentIndex = GetBE16(data.data());
      break;
    case 1060:
      r.params.XMP_Info.assign(data.begin(), data.end());
      break;
    default:
      break;
  }
}

void ReadResources(TPSDReader& r) {
  uint32_t len = 0;
  if (!ReadBe32(r.s, len)) return;
  const int64_t start = r.s.GetPosition();
  const int64_t end = std::min<int64_t>(start + len, r.size);
  while (r.s.GetPosition() + 12 <= end) {
    uint8_t head[6];
    if (!ReadAll(r.s, head, 6) || std::memcmp(head, "8BIM", 4) != 0) break;
    const uint16_t id = GetBE16(head + 4);
    uint8_t nameLen = 0;
    if (!ReadAll(r.s, &nameLen, 1)) break;
    r.s.Seek(nameLen + ((nameLen + 1) & 1), soCurrent);
    uint32_t dataSize = 0;
    if (!ReadBe32(r.s, dataSize) || dataSize < 1 || int64_t(dataSize) > end - r.s.GetPosition()) break;
    std::vector<uint8_t> data(dataSize);
    if (!ReadAll(r.s, data.data(), dataSize)) break;
    ApplyResource(r, id, data);
    if (dataSize & 1) r.s.Seek(1, soCurrent);
  }
  r.s.SetPosition(end);
}

// ---------------------------------------------------------------- channel rows

// Stores one decoded row of channel `channel` (0.. colour channels, -1 alpha) into row y.
void StoreChannelRow(TPSDReader& r, TRVBitmap& b, int32_t channel, int32_t y, const uint8_t* src, int32_t w) {
  const int32_t depth = r.hd.depth;
  const TRVPixelFormat f = b.GetPixelFormat();
  const bool wide = depth == 16;
  auto high = [&](int32_t x) { return wide ? src[2 * x] : src[x]; };
  if (channel < 0 || channel >= r.layout.colors) {
    if (f == rv1g || f == rv8p) return;
    uint8_t* a = b.AlphaBitmap()->GetScanLine(y);
    for (int32_t x = 0; x < w; ++x) a[x] = high(x);
    return;
  }
  uint8_t* row = b.GetScanLine(y);
  switch (f) {
    case rv1g:
      for (int32_t i = 0; i < (w + 7) / 8; ++i) row[i] = static_cast<uint8_t>(~src[i]);
      break;
    case rv8g:
      std::memcpy(row, src, size_t(w));
      break;
    case rv8p:
      std::memcpy(row, src, size_t(w));
      if (r.transparentIndex >= 0) {
        uint8_t* a = b.AlphaBitmap()->GetScanLine(y);
        for (int32_t x = 0; x < w; ++x) a[x] = src[x] == r.transparentIndex ? 0 : 255;
      }
      break;
    case rv16g:
      for (int32_t x = 0; x < w; ++x) reinterpret_cast<uint16_t*>(row)[x] = GetBE16(src + 2 * x);
      break;
    case rv24RGB:
      for (int32_t x = 0; x < w; ++x) row[3 * x + 2 - channel] = src[x];
      break;
    case rv48RGB:
      for (int32_t x = 0; x < w; ++x) reinterpret_cast<uint16_t*>(row)[3 * x + channel] = GetBE16(src + 2 * x);
      break;
    case rvCMYK:
      for (int32_t x = 0; x < w; ++x) row[4 * x + channel] = high(x);
      break;
    case rvCIELab:
      for (int32_t x = 0; x < w; ++x) row[3 * x + channel] = static_cast<uint8_t>(channel == 0 ? high(x) : high(x) - 128);
      break;
    default:
      break;
  }
}

// The channel data of `rows` rows at the stream's position, raw or PackBits with the row
// lengths given; rows go to `store`. `limit` is where the channel's data end.
template <typename Store>
void DecodeRows(TPSDReader& r, bool packBits, const std::vector<uint16_t>& lengths, size_t firstRow, int32_t rows,
                int64_t rowBytes, int64_t limit, Store store) {
  std::vector<uint8_t> in, out(size_t(rowBytes) + 8);
  for (int32_t y = 0; y < rows; ++y) {
    const int64_t n = packBits ? lengths[firstRow + size_t(y)] : rowBytes;
    const int64_t avail = std::max<int64_t>(0, std::min(n, limit - r.s.GetPosition()));
    in.resize(size_t(avail));
    const int64_t got = std::max<int64_t>(0, r.s.Read(in.data(), avail));
    if (packBits) {
      PackBitsDecodeRow(in.data(), got, out.data(), rowBytes);
    } else {
      std::memcpy(out.data(), in.data(), size_t(got));
      std::memset(out.data() + got, 0, size_t(rowBytes - got));
    }
    if (avail < n) r.s.SetPosition(std::min(limit, r.s.GetPosition() + (n - avail)));
    store(y, out.data());
  }
}

int64_t RowBytesOf(int64_t width, int32_t depth) { return (width * depth + 7) / 8; }

// Whether a bitmap of w x h with row tables of `tableRows` rows can come from `dataLength` bytes
// of channel data: raw rows need their bytes, PackBits rows at least one byte for 128. A layer's
// sizes are differences of 32-bit coordinates (up to 2^32 - 1 each), so every product is checked.
bool Plausible(int64_t w, int64_t h, int64_t rowBytes, int64_t tableRows, bool packBits, int64_t dataLength) {
  int64_t pixels = 0, bytes = 0;
  if (w <= 0 || h <= 0 || w > INT32_MAX || h > INT32_MAX || __builtin_mul_overflow(w, h, &pixels) ||
      pixels > kMaxPixelCount || __builtin_mul_overflow(rowBytes, tableRows, &bytes))
    return false;
  if (!packBits) return bytes <= dataLength;
  return tableRows * 2 <= dataLength && bytes <= (dataLength + tableRows) * 64;
}

// Allocates (or keeps) the layer bitmap for one channel.
bool PrepareBitmap(TPSDReader& r, TRVBitmap& b, int32_t w, int32_t h) {
  if (r.layout.format == rvNone) return false;
  if (r.layout.format == rv8p) b.PaletteColorCount = 256;
  if (b.GetWidth() == w && b.GetHeight() == h && b.GetPixelFormat() == r.layout.format) return true;
  if (!b.Allocate(w, h, r.layout.format)) return false;
  if (r.layout.format == rv8p)
    for (int32_t i = 0; i < 256 && size_t(i) < r.palette.size(); ++i) b.SetPalette(i, r.palette[size_t(i)]);
  return true;
}

// ---------------------------------------------------------------- layers

struct TChannelInfo {
  int16_t id = 0;
  uint32_t length = 0;
};

struct TLayerRecord {
  int32_t top = 0, left = 0, bottom = 0, right = 0;
  std::vector<TChannelInfo> channels;
  int32_t maskTop = 0, maskLeft = 0, maskBottom = 0, maskRight = 0;
};

// One layer record; false when it does not fit the section.
bool ReadLayerRecord(TPSDReader& r, int64_t end, TLayerRecord& rec, TPSDLayer& layer) {
  uint8_t b[18];
  if (end - r.s.GetPosition() < 18 || !ReadAll(r.s, b, 18)) return false;
  rec.top = static_cast<int32_t>(GetBE32(b));
  rec.left = static_cast<int32_t>(GetBE32(b + 4));
  rec.bottom = static_cast<int32_t>(GetBE32(b + 8));
  rec.right = static_cast<int32_t>(GetBE32(b + 12));
  const int32_t count = GetBE16(b + 16);
  if (int64_t(count) * 6 + 16 > end - r.s.GetPosition()) return false;
  for (int32_t i = 0; i < count; ++i) {
    uint8_t c[6];
    ReadAll(r.s, c, 6);
    rec.channels.push_back(TChannelInfo{static_cast<int16_t>(GetBE16(c)), GetBE32(c + 2)});
  }
  uint8_t misc[16];
  if (!ReadAll(r.s, misc, 16)) return false;
  layer.Opacity = misc[8];
  layer.ClipBase = misc[9] == 0;
  layer.Visible = (misc[10] & 2) == 0;
  layer.Left = rec.left;
  layer.Top = rec.top;
  const uint32_t extra = GetBE32(misc + 12);
  const int64_t extraStart = r.s.GetPosition();
  if (int64_t(extra) > end - extraStart) return false;
  const int64_t extraEnd = extraStart + extra;
  // Layer mask data: read as far as 20 bytes, skipped by its length.
  uint32_t maskLen = 0;
  if (!ReadBe32(r.s, maskLen) || int64_t(maskLen) > extraEnd - r.s.GetPosition()) return false;
  const int64_t maskStart = r.s.GetPosition();
  if (maskLen >= 16) {
    uint8_t m[16];
    ReadAll(r.s, m, 16);
    rec.maskTop = static_cast<int32_t>(GetBE32(m));
    rec.maskLeft = static_cast<int32_t>(GetBE32(m + 4));
    rec.maskBottom = static_cast<int32_t>(GetBE32(m + 8));
    rec.maskRight = static_cast<int32_t>(GetBE32(m + 12));
  }
  r.s.SetPosition(maskStart + maskLen);
  uint32_t blendLen = 0;
  if (!ReadBe32(r.s, blendLen) || int64_t(blendLen) > extraEnd - r.s.GetPosition()) return false;
  r.s.Seek(blendLen, soCurrent);
  uint8_t nameLen = 0;
  if (r.s.GetPosition() < extraEnd && ReadAll(r.s, &nameLen, 1)) {
    const int64_t n = std::min<int64_t>(nameLen, extraEnd - r.s.GetPosition());
    layer.Name.resize(size_t(n));
    ReadAll(r.s, layer.Name.data(), n);
  }
  r.s.SetPosition(extraEnd);
  return true;
}

// The data of one channel of a layer; its whole length is consumed whatever happens.
void ReadLayerChannel(TPSDReader& r, const TChannelInfo& ch, const TLayerRecord& rec, TPSDLayer& layer,
                      TPSDLayer* maskLayer, int64_t end) {
  const int64_t start = r.s.GetPosition();
  const int64_t limit = std::min<int64_t>(start + ch.length, end);
  const bool isMask = ch.id == -2;
  int64_t w = isMask ? int64_t(rec.maskRight) - rec.maskLeft : int64_t(rec.right) - rec.left;
  int64_t h = isMask ? int64_t(rec.maskBottom) - rec.maskTop : int64_t(rec.bottom) - rec.top;
  uint16_t compression = 0;
  const bool decodable = (ch.id >= -2 && ch.id < r.layout.colors + 1) && w > 0 && h > 0 &&
                         (isMask || r.layout.format != rvNone) && ReadBe16(r.s, compression) && compression <= 1;
  const int32_t depth = isMask ? 8 : r.hd.depth;
  const int64_t rowBytes = RowBytesOf(w, depth);
  if (decodable && Plausible(w, h, rowBytes, h, compression == 1, limit - r.s.GetPosition())) {
    std::vector<uint16_t> lengths;
    if (compression == 1) {
      std::vector<uint8_t> raw(size_t(h) * 2);
      ReadAll(r.s, raw.data(), int64_t(raw.size()));
      lengths.resize(size_t(h));
      for (size_t i = 0; i < lengths.size(); ++i) lengths[i] = GetBE16(&raw[2 * i]);
    }
    if (isMask && maskLayer) {
      TRVBitmap& mb = *maskLayer->Bitmap;
      if (mb.Allocate(int32_t(w), int32_t(h), rv8g))
        DecodeRows(r, compression == 1, lengths, 0, int32_t(h), rowBytes, limit,
                   [&](int32_t y, const uint8_t* row) { std::memcpy(mb.GetScanLine(y), row, size_t(w)); });
    } else if (!isMask && PrepareBitmap(r, *layer.Bitmap, int32_t(w), int32_t(h))) {
      const int32_t channel = ch.id == r.layout.colors ? -1 : ch.id;
      DecodeRows(r, compression == 1, lengths, 0, int32_t(h), rowBytes, limit, [&](int32_t y, const uint8_t* row) {
        StoreChannelRow(r, *layer.Bitmap, channel, y, row, int32_t(w));
      });
    }
  }
  r.s.SetPosition(limit);
}

void ReadLayerSection(TPSDReader& r, TPSDLayerList* layers) {
  uint32_t len = 0;
  if (!ReadBe32(r.s, len)) return;
  const int64_t start = r.s.GetPosition();
  const int64_t end = std::min<int64_t>(start + len, r.size);
  if (len == 0) return;
  uint32_t infoLen = 0;
  uint16_t rawCount = 0;
  if (!ReadBe32(r.s, infoLen) || !ReadBe16(r.s, rawCount)) {
    r.s.SetPosition(end);
    return;
  }
  const int32_t count = std::abs(static_cast<int16_t>(rawCount));
  if (!layers || (count >= 2 && !r.readLayers)) {
    r.s.SetPosition(end);
    return;
  }
  // Each record takes at least 34 bytes.
  if (int64_t(count) * 34 > end - r.s.GetPosition()) {
    r.progress.SetAborting();
    r.s.SetPosition(end);
    return;
  }
  std::vector<TLayerRecord> records(static_cast<size_t>(count));
  TPSDLayerList read;
  for (int32_t i = 0; i < count; ++i) {
    auto layer = std::make_unique<TPSDLayer>();
    if (!ReadLayerRecord(r, end, records[size_t(i)], *layer)) {
      r.progress.SetAborting();
      r.s.SetPosition(end);
      return;
    }
    int64_t total = 0;
    for (const TChannelInfo& c : records[size_t(i)].channels) total += c.length;
    if (total > end - r.s.GetPosition()) {
      r.progress.SetAborting();
      r.s.SetPosition(end);
      return;
    }
    read.push_back(std::move(layer));
  }
  // Channel data of every layer in record order; a user mask becomes a mask layer after its layer.
  TPSDLayerList result;
  for (int32_t i = 0; i < count; ++i) {
    const TLayerRecord& rec = records[size_t(i)];
    std::unique_ptr<TPSDLayer> layer = std::move(read[size_t(i)]);
    std::unique_ptr<TPSDLayer> mask;
    for (const TChannelInfo& c : rec.channels) {
      if (c.id == -2 && !mask) {
        mask = std::make_unique<TPSDLayer>();
        mask->IsMask = true;
        mask->Visible = false;
        mask->Left = rec.maskLeft;
        mask->Top = rec.maskTop;
      }
      ReadLayerChannel(r, c, rec, *layer, mask.get(), end);
    }
    if (r.progress.HasEvent()) r.progress.Report(common::TruncInt((i + 1) * 100.0 / count));
    // Empty layers go, with the mask layer that follows them.
    if (layer->Width() <= 0 || layer->Height() <= 0) continue;
    result.push_back(std::move(layer));
    if (mask && mask->Width() > 0 && mask->Height() > 0) result.push_back(std::move(mask));
  }
  for (auto& l : result) layers->push_back(std::move(l));
  r.s.SetPosition(end);
}

// ---------------------------------------------------------------- merged image and conversion

void ReadMergedImage(TPSDReader& r) {
  uint16_t compression = 0;
  if (!ReadBe16(r.s, compression) || compression > 1) {
    r.progress.SetAborting();
    return;
  }
  const bool packBits = compression == 1;
  const int64_t w = r.hd.width, h = r.hd.height;
  const int64_t rows = h * r.hd.channels;
  const int64_t rowBytes = RowBytesOf(w, r.hd.depth);
  if (!Plausible(w, h, rowBytes, rows, packBits, r.Left()) || r.layout.format == rvNone) {
    r.progress.SetAborting();
    return;
  }
  std::vector<uint16_t> lengths;
  if (packBits) {
    std::vector<uint8_t> raw(size_t(rows) * 2);
    ReadAll(r.s, raw.data(), int64_t(raw.size()));
    lengths.resize(size_t(rows));
    for (size_t i = 0; i < lengths.size(); ++i) lengths[i] = GetBE16(&raw[2 * i]);
  }
  if (!PrepareBitmap(r, *r.target, int32_t(w), int32_t(h))) {
    r.progress.SetAborting();
    return;
  }
  r.target->RemoveAlphaBitmap(false, 0);
  // Where each row of each channel starts: rows are decoded a picture row at a time, all channels
  // of it together, so that they meet in the cache when they are put together. The rows of a
  // channel lie together in the file, so a band of them comes in by one read per channel.
  const int32_t used = std::min(r.hd.channels, r.layout.colors + 1);
  std::vector<int64_t> starts(size_t(rows) + 1);
  starts[0] = r.s.GetPosition();
  for (int64_t i = 0; i < rows; ++i) starts[size_t(i + 1)] = starts[size_t(i)] + (packBits ? lengths[size_t(i)] : rowBytes);
  std::vector<std::vector<uint8_t>> planes(size_t(used), std::vector<uint8_t>(size_t(rowBytes) + 8));
  constexpr int32_t kBandRows = 16;
  std::vector<std::vector<uint8_t>> bands(static_cast<size_t>(used));
  std::vector<int64_t> bandGot(static_cast<size_t>(used));
  for (int32_t y = 0; y < h && !r.progress.IsAborting(); ++y) {
    if (y % kBandRows == 0) {
      for (int32_t c = 0; c < used; ++c) {
        const size_t first = size_t(c) * size_t(h) + size_t(y);
        const int64_t from = starts[first];
        const int64_t to =
            std::max(from, std::min(starts[first + size_t(std::min(kBandRows, int32_t(h) - y))], r.size));
        std::vector<uint8_t>& band = bands[size_t(c)];
        band.resize(size_t(to - from));
        r.s.SetPosition(from);
        bandGot[size_t(c)] = std::max<int64_t>(0, r.s.Read(band.data(), to - from));
      }
    }
    for (int32_t c = 0; c < used; ++c) {
      const size_t first = size_t(c) * size_t(h) + size_t(y - y % kBandRows);
      const size_t i = size_t(c) * size_t(h) + size_t(y);
      const int64_t n = std::max<int64_t>(0, std::min(starts[i + 1], r.size) - starts[i]);
      const int64_t offset = starts[i] - starts[first];
      const int64_t got = std::clamp<int64_t>(bandGot[size_t(c)] - offset, 0, n);
      const uint8_t* in = bands[size_t(c)].data() + std::min<int64_t>(offset, bandGot[size_t(c)]);
      uint8_t* out = planes[size_t(c)].data();
      if (packBits) {
        PackBitsDecodeRow(in, got, out, rowBytes);
      } else {
        std::memcpy(out, in, size_t(std::min(got, rowBytes)));
        if (got < rowBytes) std::memset(out + got, 0, size_t(rowBytes - got));
      }
    }
    if (r.target->GetPixelFormat() == rv24RGB && used >= 3) {
      PlanesToBGR(r.target->GetScanLine(y), planes[0].data(), planes[1].data(), planes[2].data(), w);
      if (used > 3) StoreChannelRow(r, *r.target, -1, y, planes[3].data(), int32_t(w));
    } else {
      for (int32_t c = 0; c < used; ++c)
        StoreChannelRow(r, *r.target, c == r.layout.colors ? -1 : c, y, planes[size_t(c)].data(), int32_t(w));
    }
    if (r.progress.HasEvent() && (y & 255) == 0) r.progress.Report(common::TruncInt(y * 100.0 / h));
  }
}

void ConvertToRGB(TPSDReader& r, TRVBitmap& b) {
  if (b.IsEmpty() || b.GetPixelFormat() == rv1g || b.GetPixelFormat() == rv24RGB) return;
  TIOParamsVals& p = r.params;
  if (r.hasProfile && ColorManagementOn && p.HasInputICCProfile() && p.GetInputICCProfile().IsValid() &&
      !p.GetInputICCProfile().Applied() && p.GetOutputICCProfile().IsValid() &&
      p.GetInputICCProfile().ConvertBitmap(b, rv24RGB, p.GetOutputICCProfile()))
    return;
  b.SetPixelFormat(rv24RGB);
}

}  // namespace

void PackBitsDecodeRow(const uint8_t* src, int64_t srcLen, uint8_t* dest, int64_t destLen) {
  int64_t produced = 0;
  DecodePackBits(src, srcLen, dest, destLen, &produced);
  if (produced < destLen) std::memset(dest + produced, 0, static_cast<size_t>(destLen - produced));
}

bool IsPSDStream(TStream& stream) {
  const int64_t start = stream.GetPosition();
  uint8_t h[26];
  TPSDHeader hd;
  const bool ok = ReadAll(stream, h, 26) && ParseHeader(h, hd);
  stream.SetPosition(start);
  return ok;
}

void ReadPSDStream(TStream& stream, TRVBitmap* bitmap, TIOParamsVals& params, TPSDLayerList* layers, bool readLayers,
                   TRVProgressRec& progress) {
  progress.Report(0);
  TPSDReader r(stream, params, progress);
  r.size = stream.GetSize();
  r.target = bitmap;
  r.readLayers = readLayers;
  uint8_t h[26];
  // The merged image's rows must fit the stream: two bytes each in a run-length table, or the
  // row bytes of raw data (one byte for a picture one byte wide).
  const bool headerRead = ReadAll(stream, h, 26) && ParseHeader(h, r.hd);
  const int64_t rowBytes = RowBytesOf(r.hd.width, r.hd.depth);
  if (!headerRead || r.hd.width <= 0 || r.hd.height <= 0 ||
      int64_t(r.hd.height) * r.hd.channels * std::min<int64_t>(rowBytes, 2) > r.size || rowBytes > r.size * 64) {
    progress.SetAborting();
    return;
  }
  r.layout = LayoutOf(r.hd.mode, r.hd.depth);
  params.SetImageCount(1);
  params.Width = params.StoredWidth = r.hd.width;
  params.Height = params.StoredHeight = r.hd.height;
  params.BitsPerSample = r.hd.depth;
  params.SamplesPerPixel = r.hd.channels;
  params.SetDpiX(96);
  params.SetDpiY(96);
  // A target that wraps a platform bitmap is filled through a bitmap of its own.
  std::unique_ptr<TRVBitmap> temporary;
  if (bitmap && bitmap->GetLocation() == rvTBitmap) {
    temporary = std::make_unique<TRVBitmap>();
    r.target = temporary.get();
  }
  ReadColorModeData(r);
  ReadResources(r);
  const size_t layersBefore = layers ? layers->size() : 0;
  if (!progress.IsAborting()) ReadLayerSection(r, layers);
  const bool noLayersRead = !layers || layers->size() == layersBefore;
  if (!progress.IsAborting() && (!r.readLayers || noLayersRead) && r.target && !r.thumbnailDelivered)
    ReadMergedImage(r);
  if (!params.NativePixelFormat) {
    if (layers)
      for (size_t i = layersBefore; i < layers->size(); ++i)
        if (!(*layers)[i]->IsMask) ConvertToRGB(r, *(*layers)[i]->Bitmap);
    if (r.target && !r.thumbnailDelivered) ConvertToRGB(r, *r.target);
  }
  if (temporary) bitmap->Assign(temporary.get());
  if (!progress.IsAborting()) progress.Report(100);
}

}  // namespace rv
