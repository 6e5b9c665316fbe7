#include "rastova/codecs/bitmaps/pxmfilter.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <vector>

#include "rastova/codecs/CodecUtils.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVUtils.h"

namespace rv {

using namespace codecs;

namespace {

bool IsAlnum(int c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// A decimal token's value; -1 for anything else, and for values past the 32-bit range.
int64_t TokenValue(const std::string& token) {
  if (token.empty() || token.size() > 12) return -1;
  int64_t v = 0;
  for (char c : token) {
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
  }
  return v > INT32_MAX ? -1 : v;
}

struct TPNMHeader {
  std::string magic;
  int64_t width = -1, height = -1, maximum = -1;
};

// Reads the header tokens; comments go to `comments` when given.
void ReadHeader(TStream& stream, TPNMHeader& h, std::vector<std::string>* comments, int32_t maxTokens) {
  int32_t stage = 0;
  std::string token;
  for (int32_t i = 0; i < maxTokens && stream.GetPosition() < stream.GetSize(); ++i) {
    ReadPNMToken(stream, token);
    if (token.empty()) return;
    if (token[0] == '#') {
      if (comments) comments->push_back(token.substr(1));
      continue;
    }
    switch (stage++) {
      case 0:
        h.magic = token;
        if (token == "P1" || token == "P4") h.maximum = 1;
        break;
      case 1:
        h.width = TokenValue(token);
        break;
      case 2:
        h.height = TokenValue(token);
        if (h.magic == "P1" || h.magic == "P4") return;
        break;
      default:
        h.maximum = TokenValue(token);
        return;
    }
  }
}

// The form of a magic: text or binary, samples per pixel.
struct TPNMForm {
  bool text;
  int32_t samples;
  bool bits1;
};

bool FormOf(const std::string& magic, TPNMForm& f) {
  if (magic.size() != 2 || magic[0] != 'P' || magic[1] < '1' || magic[1] > '6') return false;
  const int k = magic[1] - '0';
  f.text = k <= 3;
  f.bits1 = k == 1 || k == 4;
  f.samples = (k == 3 || k == 6) ? 3 : 1;
  return true;
}

// Reads text values through the token reader (a non-integer counts as 0).
int64_t NextTextValue(TStream& stream) {
  std::string token;
  do {
    ReadPNMToken(stream, token);
  } while (!token.empty() && token[0] == '#');
  const int64_t v = TokenValue(token);
  return v < 0 ? 0 : v;
}

inline int64_t Scale(int64_t v, int64_t maximum, int64_t top) { return std::min(v, maximum) * top / maximum; }

void DecodeRows(TStream& s, TRVBitmap& bitmap, const TPNMHeader& h, const TPNMForm& f, bool wide, bool native,
                TRVProgressRec& progress) {
  const int32_t w = static_cast<int32_t>(h.width), hh = static_cast<int32_t>(h.height);
  const int64_t maximum = h.maximum;
  std::vector<uint8_t> raw(size_t(w) * f.samples * (wide ? 2 : 1) + 8);
  for (int32_t y = 0; y < hh && !progress.IsAborting(); ++y) {
    uint8_t* row = bitmap.GetScanLine(y);
    if (f.bits1 && f.text) {
      for (int32_t x = 0; x < w;) {
        const int c = StreamByte(s);
        if (c < 0) return;
        if (c != '0' && c != '1') continue;
        if (c == '0') row[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
        else row[x >> 3] &= static_cast<uint8_t>(~(0x80 >> (x & 7)));
        ++x;
      }
    } else if (!f.text && !wide && maximum == 255) {
      // Bytes as they are: red, green, blue read into the row and swapped there, or grey to
      // all three channels.
      if (f.samples == 3) {
        const int64_t n = int64_t(w) * 3;
        const int64_t got = std::max<int64_t>(s.Read(row, n), 0);
        if (got < n) std::memset(row + got, 0, size_t(n - got));
        SwapRedBlue(row, w);
      } else {
        s.Read(raw.data(), w);
        auto* px = reinterpret_cast<TRGB*>(row);
        for (int32_t x = 0; x < w; ++x) px[x] = TRGB{raw[size_t(x)], raw[size_t(x)], raw[size_t(x)]};
      }
    } else if (f.bits1) {
      const int32_t n = (w + 7) / 8;
      s.Read(row, n);
      for (int32_t i = 0; i < n; ++i) row[i] = static_cast<uint8_t>(~row[i]);
    } else {
      const int64_t top = wide && native ? 65535 : 255;
      int64_t v[3] = {0, 0, 0};
      if (!f.text) s.Read(raw.data(), int64_t(w) * f.samples * (wide ? 2 : 1));
      for (int32_t x = 0; x < w; ++x) {
        for (int32_t c = 0; c < f.samples; ++c) {
          const int64_t k = int64_t(x) * f.samples + c;
          int64_t value = f.text ? NextTextValue(s) : wide ? (raw[size_t(2 * k)] << 8) | raw[size_t(2 * k + 1)] : raw[size_t(k)];
          if (wide && !native && f.samples == 3) {
            // 16-bit colour: the high byte of the sample scaled to 16 bits.
            value = Scale(value, maximum, 65535) >> 8;
          } else if (maximum != top || f.text) {
            value = Scale(value, maximum, top);
          }
          v[c] = value;
        }
        if (f.samples == 1) v[1] = v[2] = v[0];
        if (wide && native) {
          if (f.samples == 1)
            reinterpret_cast<uint16_t*>(row)[x] = static_cast<uint16_t>(v[0]);
          else
            reinterpret_cast<TRGB48*>(row)[x] = TRGB48{uint16_t(v[0]), uint16_t(v[1]), uint16_t(v[2])};
        } else {
          reinterpret_cast<TRGB*>(row)[x] = TRGB{uint8_t(v[2]), uint8_t(v[1]), uint8_t(v[0])};
        }
      }
    }
    StepProgress(progress);
  }
}

}  // namespace

void ReadPNMToken(TStream& stream, std::string& token) {
  token.clear();
  int c;
  // Everything but letters, digits and "#" separates tokens, a minus sign too.
  do {
    c = StreamByte(stream);
  } while (c >= 0 && !IsAlnum(c) && c != '#');
  if (c < 0) return;
  if (c == '#') {
    std::string text;
    while ((c = StreamByte(stream)) >= 0 && c != '\r' && c != '\n') text.push_back(static_cast<char>(c));
    const size_t a = text.find_first_not_of(" \t");
    const size_t b = text.find_last_not_of(" \t");
    token = "#" + (a == std::string::npos ? std::string() : text.substr(a, b - a + 1));
    return;
  }
  do {
    token.push_back(static_cast<char>(c));
    c = StreamByte(stream);
  } while (c >= 0 && IsAlnum(c));
}

bool IsPXMStream(TStream& stream) {
  const int64_t start = stream.GetPosition();
  TPNMHeader h;
  {
    TRVBufferedReadStream buffered(stream, 4096, true);
    ReadHeader(buffered, h, nullptr, 501);
  }
  stream.SetPosition(start);
  TPNMForm f;
  return FormOf(h.magic, f) && h.width > 0 && h.height > 0;
}

void ReadPXMStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, bool paramsOnly,
                   TRVProgressRec& progress) {
  const int64_t start = stream.GetPosition();
  TRVBufferedReadStream s(stream, 8192, true);
  params.PXM_Comments.clear();
  TPNMHeader h;
  ReadHeader(s, h, &params.PXM_Comments, INT32_MAX);
  TPNMForm f{};
  const bool known = FormOf(h.magic, f);
  const bool wide = h.maximum > 255;
  // The sizes are below 2^31 each; their product is bounded before anything is multiplied on.
  int64_t pixels = 0;
  const bool sized = h.width > 0 && h.height > 0 && !__builtin_mul_overflow(h.width, h.height, &pixels) &&
                     pixels <= kMaxPixelCount;
  const int64_t samples = sized ? pixels * (known ? f.samples : 1) : 0;
  const int64_t left = s.GetSize() - s.GetPosition();
  // Binary data must hold the whole image; text needs at least a byte per sample.
  const int64_t needed = !known || !sized ? 0
                         : f.text         ? samples
                         : f.bits1        ? (h.width + 7) / 8 * h.height
                                          : samples * (wide ? 2 : 1);
  if (!known || !sized || h.maximum <= 0 || (!f.text && h.maximum > 65535) || (!paramsOnly && needed > left)) {
    progress.SetAborting();
    stream.SetPosition(start + s.GetPosition());
    return;
  }
  params.FreeColorMap();
  params.Width = params.StoredWidth = static_cast<int32_t>(h.width);
  params.Height = params.StoredHeight = static_cast<int32_t>(h.height);
  params.SetDpiX(DefaultDpiX);
  params.SetDpiY(DefaultDpiY);
  StartProgress(progress, h.height);
  params.BitsPerSample = f.bits1 ? 1 : wide && !f.text ? 16 : 8;
  params.SamplesPerPixel = f.samples;
  if (paramsOnly) {
    stream.SetPosition(start + s.GetPosition());
    return;
  }
  const bool native = wide && !f.text && params.NativePixelFormat;
  const TRVPixelFormat format = f.bits1 ? rv1g : native ? (f.samples == 1 ? rv16g : rv48RGB) : rv24RGB;
  if (!bitmap.Allocate(static_cast<int32_t>(h.width), static_cast<int32_t>(h.height), format)) {
    progress.SetAborting();
    return;
  }
  if (f.text) {
    bitmap.Fill(0);
    DecodeRows(s, bitmap, h, f, false, native, progress);
    stream.SetPosition(start + s.GetPosition());
  } else {
    // Binary rows are read straight from the stream, without the text buffer between.
    stream.SetPosition(start + s.GetPosition());
    DecodeRows(stream, bitmap, h, f, wide, native, progress);
  }
}

void WritePXMStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress) {
  std::string comments;
  for (const std::string& line : params.PXM_Comments) comments += "\n# " + line + "\n";
  const TRVPixelFormat pf = bitmap.GetPixelFormat();
  const int32_t bps = params.BitsPerSample, spp = params.SamplesPerPixel;
  enum { kP4, kP5, kP6Wide24, kP6Wide48, kP6 } form;
  if ((bps == 1 && spp == 1) || pf == rv1g)
    form = kP4;
  else if (bps == 8 && spp == 1)
    form = kP5;
  else if (bps == 16 && spp == 3 && pf == rv24RGB)
    form = kP6Wide24;
  else if (pf == rv48RGB)
    form = kP6Wide48;
  else if ((bps == 8 && spp == 3) || pf == rv24RGB)
    form = kP6;
  else
    return;
  // Each form reads its own pixel format; another source is converted on a copy.
  const TRVPixelFormat wanted = form == kP4 ? rv1g : form == kP6Wide48 ? rv48RGB : rv24RGB;
  TRVBitmap* work = &bitmap;
  std::unique_ptr<TRVBitmap> made;
  if (pf != wanted) {
    made = ConvertedCopy(bitmap, wanted);
    if (!made) {
      progress.SetAborting();
      return;
    }
    work = made.get();
  }
  const int32_t w = work->GetWidth(), h = work->GetHeight();
  const char* magic = form == kP4 ? "P4 " : form == kP5 ? "P5 " : "P6 ";
  std::string header = magic + comments + std::to_string(w) + " " + std::to_string(h);
  if (form == kP5 || form == kP6) header += " 255";
  if (form == kP6Wide24 || form == kP6Wide48) header += " 65535";
  header += "\n";
  WriteChecked(stream, progress, header.data(), static_cast<int64_t>(header.size()));
  StartProgress(progress, h);
  std::vector<uint8_t> out(size_t(w) * 6 + 8);
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* row = work->GetScanLine(y);
    int64_t n = 0;
    switch (form) {
      case kP4:
        n = (w + 7) / 8;
        for (int64_t i = 0; i < n; ++i) out[size_t(i)] = static_cast<uint8_t>(~row[i]);
        break;
      case kP5:
        n = w;
        ConvertPixelRow(row, 1, out.data(), &params, w, 5);
        break;
      case kP6Wide24:
        for (int32_t x = 0; x < w; ++x)
          for (int c = 0; c < 3; ++c) {
            const int32_t v = row[3 * x + 2 - c] * 257;
            out[size_t(n++)] = static_cast<uint8_t>(v >> 8);
            out[size_t(n++)] = static_cast<uint8_t>(v);
          }
        break;
      case kP6Wide48: {
        const auto* px = reinterpret_cast<const uint16_t*>(row);
        for (int32_t k = 0; k < 3 * w; ++k) {
          out[size_t(n++)] = static_cast<uint8_t>(px[k] >> 8);
          out[size_t(n++)] = static_cast<uint8_t>(px[k]);
        }
        break;
      }
      case kP6:
        for (int32_t x = 0; x < w; ++x)
          for (int c = 0; c < 3; ++c) out[size_t(n++)] = row[3 * x + 2 - c];
        break;
    }
    WriteChecked(stream, progress, out.data(), n);
    StepProgress(progress);
  }
}

// ---------------------------------------------------------------- WBMP

int32_t ReadWBMPInteger(TStream& stream) {
  int32_t value = 0;
  for (int i = 0; i < 4; ++i) {
    const int b = StreamByte(stream);
    if (b < 0) return -1;
    value = value * 128 + (b & 127);
    if ((b & 0x80) == 0) return value;
  }
  return -1;
}

void ReadWBMPStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, bool paramsOnly,
                    TRVProgressRec& progress) {
  const int32_t type = ReadWBMPInteger(stream);
  const int32_t fixed = ReadWBMPInteger(stream);
  const int32_t w = ReadWBMPInteger(stream);
  const int32_t h = ReadWBMPInteger(stream);
  const int64_t rowBytes = (int64_t(w) + 7) / 8;
  if (type != 0 || fixed != 0 || w <= 0 || h <= 0 || int64_t(w) * h > kMaxPixelCount ||
      (!paramsOnly && rowBytes * h > BytesLeft(stream))) {
    progress.SetAborting();
    return;
  }
  params.BitsPerSample = params.SamplesPerPixel = 1;
  params.Width = params.StoredWidth = w;
  params.Height = params.StoredHeight = h;
  params.SetDpiX(DefaultDpiX);
  params.SetDpiY(DefaultDpiY);
  params.FreeColorMap();
  if (paramsOnly) return;
  progress.per1 = 100.0 / h;
  if (!bitmap.Allocate(w, h, rv1g)) {
    progress.SetAborting();
    return;
  }
  for (int32_t y = 0; y < h; ++y) {
    stream.Read(bitmap.GetScanLine(y), rowBytes);
    if (progress.HasEvent()) progress.Report(static_cast<int32_t>(y * progress.per1));
  }
}

namespace {
void PutWBMPInteger(std::vector<uint8_t>& out, uint32_t v) {
  uint8_t groups[5];
  int n = 0;
  do {
    groups[n++] = static_cast<uint8_t>(v & 127);
    v >>= 7;
  } while (v != 0);
  while (n > 0) {
    --n;
    out.push_back(static_cast<uint8_t>(groups[n] | (n > 0 ? 0x80 : 0)));
  }
}
}  // namespace

void WriteWBMPStream(TStream& stream, TRVBitmap& bitmap, TRVProgressRec& progress) {
  TRVBitmap* work = &bitmap;
  std::unique_ptr<TRVBitmap> made;
  if (bitmap.GetPixelFormat() != rv1g) {
    made = ConvertedCopy(bitmap, rv1g);
    if (!made) {
      progress.SetAborting();
      return;
    }
    work = made.get();
  }
  int32_t w = work->GetWidth(), h = work->GetHeight();
  if (w <= 0 || h <= 0) {
    progress.SetAborting();
    return;
  }
  // The picture is cut to its top-left part of at most 255 x 255.
  if (w > 255 || h > 255) {
    if (w > h) {
      h = static_cast<int32_t>(int64_t(h) * 255 / w);
      w = 255;
    } else {
      w = static_cast<int32_t>(int64_t(w) * 255 / h);
      h = 255;
    }
    w = std::max(w, 1);
    h = std::max(h, 1);
  }
  std::vector<uint8_t> head;
  PutWBMPInteger(head, 0);
  PutWBMPInteger(head, 0);
  PutWBMPInteger(head, uint32_t(w));
  PutWBMPInteger(head, uint32_t(h));
  if (!WriteChecked(stream, progress, head.data(), static_cast<int64_t>(head.size()))) return;
  const int32_t n = (w + 7) / 8;
  std::vector<uint8_t> row(static_cast<size_t>(n));
  const double step = 100.0 / h;
  for (int32_t y = 0; y < h; ++y) {
    std::memcpy(row.data(), work->GetScanLine(y), size_t(n));
    // Bits past the cut are not part of the picture.
    if (w & 7) row[size_t(n - 1)] &= static_cast<uint8_t>(0xFF << (8 - (w & 7)));
    if (!WriteChecked(stream, progress, row.data(), n)) return;
    if (progress.HasEvent()) progress.Report(static_cast<int32_t>(y * step));
  }
}

}  // namespace rv
