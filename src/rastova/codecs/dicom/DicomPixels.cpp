// The DICOM reader's pixel layouts: native samples, run-length segments and lossless JPEG frames
// into the bitmap, then the grey window (or stretch to the full range) and the MONOCHROME1
// inversion.
#include <algorithm>
#include <cstring>
#include <exception>
#include <limits>
#include <utility>
#include <vector>

#include "common/Round.h"
#include "rastova/codecs/CodecUtils.h"
#include "rastova/codecs/dicom/DicomInternal.h"
#include "rastova/codecs/dicom/rvdicom.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStream.h"

namespace rv::dicom {

namespace {

bool IsPalette(const TDICOMContext& c) { return c.photometric == "PALETTE COLOR"; }

// A table entry; indices beyond the table take its last entry (an empty table gives 0).
uint16_t Lookup(const std::vector<uint16_t>& table, uint32_t index) {
  if (table.empty()) return 0;
  return table[std::min<size_t>(index, table.size() - 1)];
}

void PaletteToRGB(const TDICOMContext& c, uint32_t index, uint8_t* bgr) {
  bgr[0] = static_cast<uint8_t>(Lookup(c.lut[2], index) / 257);
  bgr[1] = static_cast<uint8_t>(Lookup(c.lut[1], index) / 257);
  bgr[2] = static_cast<uint8_t>(Lookup(c.lut[0], index) / 257);
}

bool ReadBytes(TStream& s, uint8_t* dest, int64_t n) {
  try {
    return s.Read(dest, n) == n;
  } catch (const std::exception&) {
    return false;
  }
}

uint16_t* Row16(TRVBitmap& b, int32_t y) { return reinterpret_cast<uint16_t*>(b.GetScanLine(y)); }

// Window (or plain rescale), then stretch to the full range of the samples: 16-bit samples of an
// rv16g bitmap or `rowSamples` bytes per row of an 8-bit one. Samples are signed when the pixel
// representation is 1. The offset that lifts negative values is the frame's largest, so every
// sample keeps its order. The result depends only on a sample's value and on the values present,
// so it is computed once per value present and applied through a table.
void WindowAndStretch(TDICOMContext& c, int32_t rowSamples, bool sixteen) {
  TRVBitmap& b = *c.bitmap;
  const int32_t h = b.GetHeight();
  const size_t values = sixteen ? 65536 : 256;
  std::vector<uint8_t> present(values, 0);
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* row8 = b.GetScanLine(y);
    if (sixteen) {
      const uint16_t* row16 = reinterpret_cast<const uint16_t*>(row8);
      for (int32_t x = 0; x < rowSamples; ++x) present[row16[x]] = 1;
    } else {
      for (int32_t x = 0; x < rowSamples; ++x) present[row8[x]] = 1;
    }
  }
  const double top = sixteen ? 65535.0 : 255.0;
  const bool windowed = c.windowCentre != -1 && c.windowWidth != -1;
  const double centre = c.windowCentre, width = c.windowWidth;
  const double lower = static_cast<double>(common::Trunc(centre - 0.5 - (width - 1) / 2));
  const double upper = static_cast<double>(common::Trunc(centre - 0.5 + (width - 1) / 2));
  const bool signedSamples = c.pixelRepresentation == 1;
  std::vector<double> mapped(values, 0);
  double least = std::numeric_limits<double>::infinity(), most = -least;
  for (size_t raw = 0; raw < values; ++raw) {
    if (!present[raw]) continue;
    const double sample = signedSamples ? (sixteen ? double(static_cast<int16_t>(raw)) : double(static_cast<int8_t>(raw)))
                                        : double(raw);
    double v = sample * c.rescaleSlope + c.rescaleIntercept;
    if (windowed) v = v <= lower ? 0 : (v < upper ? ((v - (centre - 0.5)) / (width - 1) + 0.5) * top : top);
    mapped[raw] = v;
    least = std::min(least, v);
    most = std::max(most, v);
  }
  if (!(least <= most)) return;  // no samples
  const double offset = least < 0 ? -least : 0;
  const double low = static_cast<double>(common::Trunc(least + offset));
  const double range = static_cast<double>(common::Trunc(most + offset)) - low;
  std::vector<uint16_t> table(values, 0);
  for (size_t raw = 0; raw < values; ++raw) {
    if (!present[raw] || !(range > 0)) continue;
    const double s = static_cast<double>(common::Trunc(mapped[raw] + offset));
    table[raw] = static_cast<uint16_t>(std::clamp<int64_t>(common::Trunc((s - low) / range * top), 0, int64_t(top)));
  }
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* row8 = b.GetScanLine(y);
    if (sixteen) {
      uint16_t* row16 = reinterpret_cast<uint16_t*>(row8);
      for (int32_t x = 0; x < rowSamples; ++x) row16[x] = table[row16[x]];
    } else {
      for (int32_t x = 0; x < rowSamples; ++x) row8[x] = static_cast<uint8_t>(table[row8[x]]);
    }
  }
}

void Invert(TDICOMContext& c, int32_t rowSamples, bool sixteen) {
  if (c.photometric != "MONOCHROME1") return;
  TRVBitmap& b = *c.bitmap;
  for (int32_t y = 0; y < b.GetHeight(); ++y) {
    uint8_t* row = b.GetScanLine(y);
    const size_t bytes = static_cast<size_t>(rowSamples) * (sixteen ? 2 : 1);
    for (size_t x = 0; x < bytes; ++x) row[x] = static_cast<uint8_t>(~row[x]);
  }
}

void FinishGrey16(TDICOMContext& c) {
  WindowAndStretch(c, c.bitmap->GetWidth(), true);
  Invert(c, c.bitmap->GetWidth(), true);
}

bool Allocate(TDICOMContext& c, TRVPixelFormat format) {
  if (c.bitmap->Allocate(c.columns, c.rows, format)) return true;
  c.progress->SetAborting();
  return false;
}

// Packed 12-bit samples: b0 b1 b2 give b0 + (b1 & 0F) x 256 and (b1 >> 4) + b2 x 16.
void NativePacked12(TDICOMContext& c, const std::vector<uint8_t>& data) {
  if (!Allocate(c, rv16g)) return;
  const int64_t need = static_cast<int64_t>(data.size());
  int64_t n = 0;
  for (int32_t y = 0; y < c.rows; ++y) {
    uint16_t* row = Row16(*c.bitmap, y);
    for (int32_t x = 0; x < c.columns; ++x, ++n) {
      const uint8_t* p = data.data() + (n / 2) * 3;
      row[x] = n % 2 == 0 ? static_cast<uint16_t>(p[0] + (p[1] & 0x0F) * 256)
                          : static_cast<uint16_t>((p[1] >> 4) + (n / 2 * 3 + 2 < need ? p[2] : 0) * 16);
    }
    codecs::StepProgress(*c.progress, true);
  }
  FinishGrey16(c);
}

void Native16(TDICOMContext& c, const std::vector<uint8_t>& data, bool palette) {
  if (!Allocate(c, palette ? rv48RGB : rv16g)) return;
  const uint8_t* p = data.data();
  for (int32_t y = 0; y < c.rows; ++y) {
    uint16_t* out = Row16(*c.bitmap, y);
    for (int32_t x = 0; x < c.columns; ++x, p += 2) {
      const uint16_t v = c.littleEndian ? static_cast<uint16_t>(p[0] | p[1] << 8) : static_cast<uint16_t>(p[1] | p[0] << 8);
      if (palette) {
        out[3 * x] = Lookup(c.lut[0], v);
        out[3 * x + 1] = Lookup(c.lut[1], v);
        out[3 * x + 2] = Lookup(c.lut[2], v);
      } else {
        out[x] = v;
      }
    }
    codecs::StepProgress(*c.progress, true);
  }
  if (!palette) FinishGrey16(c);
}

// 8-bit samples, `stride` bytes apart; of a 16-bit sample the low byte, which comes second in a
// big-endian data set.
void Native8(TDICOMContext& c, const std::vector<uint8_t>& data, bool palette, int32_t stride) {
  if (!Allocate(c, palette ? rv24RGB : rv8g)) return;
  const int32_t shift = 8 - c.bitsStored;
  const uint8_t* p = data.data() + (stride == 2 && !c.littleEndian ? 1 : 0);
  for (int32_t y = 0; y < c.rows; ++y) {
    uint8_t* out = c.bitmap->GetScanLine(y);
    for (int32_t x = 0; x < c.columns; ++x, p += stride) {
      const uint8_t v = static_cast<uint8_t>(*p << shift);
      if (palette)
        PaletteToRGB(c, v, out + 3 * x);
      else
        out[x] = v;
    }
    codecs::StepProgress(*c.progress, true);
  }
  if (!palette) Invert(c, c.columns, false);
}

void NativeRGB(TDICOMContext& c, const std::vector<uint8_t>& data) {
  if (!Allocate(c, rv24RGB)) return;
  const int64_t pixels = int64_t(c.columns) * c.rows;
  const int32_t shift = 8 - c.bitsStored;
  const bool planar = c.planarConfiguration == 1;
  for (int32_t y = 0; y < c.rows; ++y) {
    uint8_t* out = c.bitmap->GetScanLine(y);
    for (int32_t x = 0; x < c.columns; ++x) {
      const int64_t n = int64_t(y) * c.columns + x;
      for (int32_t k = 0; k < 3; ++k) {
        const uint8_t v = planar ? data[static_cast<size_t>(k * pixels + n)] : data[static_cast<size_t>(n * 3 + k)];
        out[3 * x + 2 - k] = static_cast<uint8_t>(v << shift);
      }
    }
    codecs::StepProgress(*c.progress, true);
  }
}

}  // namespace

void FinishGrey8(TDICOMContext& c) {
  TRVBitmap& b = *c.bitmap;
  const TRVPixelFormat f = b.GetPixelFormat();
  if (f != rv8g && f != rv24RGB) return;
  const int32_t rowSamples = b.GetWidth() * (f == rv24RGB ? 3 : 1);
  WindowAndStretch(c, rowSamples, false);
  Invert(c, rowSamples, false);
}

void FinishJ2000Grey(TDICOMContext& c) {
  TRVBitmap& b = *c.bitmap;
  if (c.bitsStored > 8) {
    FinishGrey16(c);
    return;
  }
  // 8-bit samples: kept in an rv24RGB picture, as the codec delivers pictures.
  TRVBitmap grey;
  if (!grey.Allocate(b.GetWidth(), b.GetHeight(), rv24RGB)) {
    c.progress->SetAborting();
    return;
  }
  const bool signedSamples = c.pixelRepresentation == 1;
  for (int32_t y = 0; y < b.GetHeight(); ++y) {
    const uint16_t* in = Row16(b, y);
    uint8_t* out = grey.GetScanLine(y);
    for (int32_t x = 0; x < b.GetWidth(); ++x) {
      const int32_t v = signedSamples ? std::clamp<int32_t>(static_cast<int16_t>(in[x]), INT8_MIN, INT8_MAX)
                                      : std::min<int32_t>(in[x], UINT8_MAX);
      out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = static_cast<uint8_t>(v);
    }
  }
  grey.MoveTo(b);
  FinishGrey8(c);
}

void DecodeNativeFrame(TDICOMContext& c) {
  if (c.columns < 1 || c.rows < 1 || c.bitsStored < 1) return;
  const int64_t pixels = CheckedProduct({c.columns, c.rows});
  const int64_t left = c.size - c.stream->GetPosition();
  const bool palette = IsPalette(c);
  const int64_t bits = CheckedProduct({pixels, std::max(c.samplesPerPixel, 1), c.bitsStored});
  if (bits < 0 || bits / 8 > left) {
    c.progress->SetAborting();
    return;
  }
  // Each layout's own need; 0 for a combination no layout covers.
  int64_t need = 0;
  int32_t stride = 1;
  enum { None, Packed12, Grey16, Grey8, RGB } layout = None;
  if (c.samplesPerPixel == 1) {
    if (c.bitsAllocated == 12 && c.bitsStored == 12 && !palette) {
      layout = Packed12;
      need = (pixels * 3 + 1) / 2;
    } else if (c.bitsStored >= 9 && c.bitsStored <= 16) {
      layout = Grey16;
      need = pixels * 2;
    } else if (c.bitsStored <= 8) {
      layout = Grey8;
      stride = c.bitsAllocated == 16 ? 2 : 1;
      need = pixels * stride;
    }
  } else if (c.samplesPerPixel == 3 && c.bitsStored <= 8) {
    layout = RGB;
    need = pixels * 3;
  }
  if (layout == None) return;
  if (need > left) {
    c.progress->SetAborting();
    return;
  }
  // 8-bit samples stored as 16-bit words (OW) of a big-endian data set come byte-swapped in pairs.
  const bool swapPairs = !c.littleEndian && c.bitsAllocated <= 8 && c.pixelVR[0] == 'O' && c.pixelVR[1] == 'W';
  std::vector<uint8_t> data(static_cast<size_t>(swapPairs ? std::min(need + (need & 1), left) : need));
  if (!ReadBytes(*c.stream, data.data(), static_cast<int64_t>(data.size()))) {
    c.progress->SetAborting();
    return;
  }
  if (swapPairs)
    for (size_t i = 0; i + 1 < data.size(); i += 2) std::swap(data[i], data[i + 1]);
  codecs::StartProgress(*c.progress, c.rows);
  switch (layout) {
    case Packed12: NativePacked12(c, data); break;
    case Grey16: Native16(c, data, palette); break;
    case Grey8: Native8(c, data, palette, stride); break;
    case RGB: NativeRGB(c, data); break;
    case None: break;
  }
}

void DecodeRLEFrame(TDICOMContext& c, const std::vector<uint8_t>& frame) {
  if (c.columns < 1 || c.rows < 1 || c.bitsStored < 1) return;
  int32_t needed = 0;
  if (c.samplesPerPixel == 1 && c.bitsStored <= 8) needed = 1;
  else if (c.samplesPerPixel == 1 && c.bitsStored <= 16) needed = 2;
  else if (c.samplesPerPixel == 3 && c.bitsStored <= 8) needed = 3;
  else return;
  const int64_t size = static_cast<int64_t>(frame.size());
  const int64_t pixels = int64_t(c.columns) * c.rows;
  const int64_t planeBytes = CheckedProduct({pixels, needed});
  auto le32 = [&](int64_t at) {
    const uint8_t* p = frame.data() + at;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
  };
  // A PackBits byte pair yields at most 128 bytes: a frame too small for the picture is damaged.
  if (size < 64 || le32(0) < uint32_t(needed) || planeBytes < 0 || planeBytes > size * 64) {
    c.progress->SetAborting();
    return;
  }
  const uint32_t segments = std::min<uint32_t>(le32(0), 15);
  std::vector<std::vector<uint8_t>> planes(static_cast<size_t>(needed));
  codecs::StartProgress(*c.progress, c.rows);
  for (int32_t i = 0; i < needed; ++i) {
    const int64_t start = le32(4 + 4 * i);
    if (start < 64 || start >= size) {
      c.progress->SetAborting();
      return;
    }
    int64_t end = size;
    if (uint32_t(i + 1) < segments) {
      const int64_t next = le32(8 + 4 * i);
      if (next > start && next <= size) end = next;
    }
    planes[i].assign(static_cast<size_t>(pixels), 0);
    DecodePackBits(frame.data() + start, end - start, planes[i].data(), pixels);
  }
  const bool palette = needed == 1 && IsPalette(c);
  const TRVPixelFormat format = needed == 2 ? rv16g : (needed == 3 || palette ? rv24RGB : rv8g);
  if (!Allocate(c, format)) return;
  for (int32_t y = 0; y < c.rows; ++y) {
    uint8_t* out = c.bitmap->GetScanLine(y);
    const size_t at = static_cast<size_t>(y) * c.columns;
    for (int32_t x = 0; x < c.columns; ++x) {
      const size_t n = at + x;
      if (palette) PaletteToRGB(c, planes[0][n], out + 3 * x);
      else if (needed == 1) out[x] = planes[0][n];
      else if (needed == 2) reinterpret_cast<uint16_t*>(out)[x] = static_cast<uint16_t>(planes[0][n] << 8 | planes[1][n]);
      else {
        out[3 * x] = planes[2][n];
        out[3 * x + 1] = planes[1][n];
        out[3 * x + 2] = planes[0][n];
      }
    }
    codecs::StepProgress(*c.progress, true);
  }
  if (palette) return;
  if (needed == 2) {
    FinishGrey16(c);
  } else {
    WindowAndStretch(c, c.columns * needed, false);
    Invert(c, c.columns * needed, false);
  }
}

void DecodeLosslessFrame(TDICOMContext& c, const std::vector<uint8_t>& frame) {
  if (c.columns < 1 || c.rows < 1 || c.bitsStored < 1) return;
  TRVPixelFormat format;
  if (c.samplesPerPixel == 1 && c.bitsStored <= 8) format = rv8g;
  else if (c.samplesPerPixel == 1 && c.bitsStored <= 16) format = rv16g;
  else if (c.samplesPerPixel == 3 && c.bitsStored <= 8) format = rv24RGB;
  else return;
  const int64_t samples = CheckedProduct({c.columns, c.rows, c.samplesPerPixel});
  // Every sample costs at least one bit of coded data.
  if (samples < 0 || samples > static_cast<int64_t>(frame.size()) * 8 + 64) {
    c.progress->SetAborting();
    return;
  }
  std::vector<uint8_t> bytes(format == rv16g ? 0 : static_cast<size_t>(samples));
  std::vector<uint16_t> words(format == rv16g ? static_cast<size_t>(samples) : 0);
  if (!DecodeLosslessJPEGBuffer(frame.data(), static_cast<int64_t>(frame.size()), words.empty() ? nullptr : words.data(),
                                bytes.empty() ? nullptr : bytes.data(), samples, c.progress) ||
      !Allocate(c, format)) {
    c.progress->SetAborting();
    return;
  }
  const size_t rowSamples = static_cast<size_t>(c.columns) * c.samplesPerPixel;
  for (int32_t y = 0; y < c.rows; ++y) {
    uint8_t* out = c.bitmap->GetScanLine(y);
    const size_t at = static_cast<size_t>(y) * rowSamples;
    if (format == rv16g) {
      std::memcpy(out, words.data() + at, rowSamples * 2);
    } else if (format == rv8g) {
      std::memcpy(out, bytes.data() + at, rowSamples);
    } else {
      for (int32_t x = 0; x < c.columns; ++x) {
        out[3 * x] = bytes[at + 3 * x + 2];
        out[3 * x + 1] = bytes[at + 3 * x + 1];
        out[3 * x + 2] = bytes[at + 3 * x];
      }
    }
  }
  if (format == rv16g) FinishGrey16(c);
  else if (format == rv8g) FinishGrey8(c);
}

}  // namespace rv::dicom
