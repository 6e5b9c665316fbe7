#include "rastova/codecs/CodecUtils.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "common/Round.h"
#include "rastova/core/RVUtils.h"

namespace rv::codecs {

bool WriteAll(TStream& stream, const void* data, int64_t count) {
  if (count <= 0) return true;
  try {
    return stream.Write(data, count) == count;
  } catch (const std::exception&) {
    return false;
  }
}

bool WriteChecked(TStream& stream, TRVProgressRec& progress, const void* data, int64_t count) {
  if (WriteAll(stream, data, count)) return true;
  progress.SetAborting();
  return false;
}

void StartProgress(TRVProgressRec& progress, int64_t rows) {
  progress.val = 0;
  progress.per1 = rows > 0 ? 100.0 / static_cast<double>(rows) : 0.0;
  progress.Extra = -1;
}

void StepProgress(TRVProgressRec& progress, bool onlyOnChange) {
  ++progress.val;
  if (!progress.HasEvent()) return;
  const int32_t per = common::TruncInt(progress.val * progress.per1);
  if (onlyOnChange && per == progress.Extra) return;
  progress.Extra = per;
  progress.Report(per);
}

int64_t BytesLeft(TStream& stream) {
  const int64_t left = stream.GetSize() - stream.GetPosition();
  return left > 0 ? left : 0;
}

int StreamByte(TStream& stream) {
  uint8_t b;
  return stream.Read(&b, 1) == 1 ? b : -1;
}

bool ReadAll(TStream& stream, void* buffer, int64_t n) { return n >= 0 && stream.Read(buffer, n) == n; }

bool TBufferedInput::Fill() {
  index_ = 0;
  count_ = 0;
  int64_t got = 0;
  try {
    got = stream_.Read(buffer_.data(), static_cast<int64_t>(buffer_.size()));
  } catch (const std::exception&) {
    got = 0;
  }
  count_ = static_cast<int32_t>(std::max<int64_t>(got, 0));
  return count_ > 0;
}

bool TBufferedInput::Bytes(void* dest, int64_t n) {
  auto* d = static_cast<uint8_t*>(dest);
  while (n > 0) {
    if (index_ >= count_ && !Fill()) {
      Truncated = true;
      std::memset(d, 0, static_cast<size_t>(n));
      return false;
    }
    const int64_t k = std::min<int64_t>(n, count_ - index_);
    std::memcpy(d, buffer_.data() + index_, static_cast<size_t>(k));
    index_ += static_cast<int32_t>(k);
    d += k;
    n -= k;
  }
  return true;
}

bool TBufferedInput::Skip(int64_t n) {
  while (n > 0) {
    if (index_ >= count_ && !Fill()) {
      Truncated = true;
      return false;
    }
    const int64_t k = std::min<int64_t>(n, count_ - index_);
    index_ += static_cast<int32_t>(k);
    n -= k;
  }
  return true;
}

namespace {
using namespace std::chrono;
constexpr sys_days kEpoch{year{1899} / 12 / 30};
}  // namespace

bool DecodeDateTime(TDateTime value, int32_t& y, int32_t& m, int32_t& d, int32_t& hh, int32_t& mm, int32_t& ss) {
  y = m = d = hh = mm = ss = 0;
  if (!std::isfinite(value) || value < -693593.0 || value > 2958466.0) return false;
  const int64_t days = common::Floor(value);
  const year_month_day ymd{kEpoch + std::chrono::days{days}};
  y = static_cast<int32_t>(static_cast<int>(ymd.year()));
  m = static_cast<int32_t>(static_cast<unsigned>(ymd.month()));
  d = static_cast<int32_t>(static_cast<unsigned>(ymd.day()));
  // Milliseconds of the day, rounded as the date-time type does.
  int64_t ms = common::Round((value - static_cast<double>(days)) * 86400000.0L);
  if (ms >= 86400000) ms = 86399999;
  hh = static_cast<int32_t>(ms / 3600000);
  mm = static_cast<int32_t>(ms / 60000 % 60);
  ss = static_cast<int32_t>(ms / 1000 % 60);
  return true;
}

bool TryEncodeDateTime(int32_t y, int32_t m, int32_t d, int32_t hh, int32_t mm, int32_t ss, TDateTime& value) {
  if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > 31 || hh < 0 || hh > 23 || mm < 0 || mm > 59 || ss < 0 ||
      ss > 59)
    return false;
  const year_month_day ymd{year{y}, month{static_cast<unsigned>(m)}, day{static_cast<unsigned>(d)}};
  if (!ymd.ok()) return false;
  const double days = static_cast<double>((sys_days{ymd} - kEpoch).count());
  value = days + (hh * 3600.0 + mm * 60.0 + ss) / 86400.0;
  return true;
}

bool ReduceToPalette(TRVBitmap& source24, int32_t colors, TRVBitmap& indices, std::vector<TRGB>& palette) {
  colors = std::clamp(colors, 1, 256);
  indices.PaletteColorCount = colors;
  if (!indices.Allocate(source24.GetWidth(), source24.GetHeight(), rv8p)) return false;
  indices.CopyAndConvertFormat(source24);
  indices.RemoveAlphaBitmap(false, 0);
  palette.assign(static_cast<size_t>(colors), TRGB{});
  for (int32_t i = 0; i < colors && i < indices.GetPaletteLength(); ++i) palette[static_cast<size_t>(i)] = indices.GetPalette(i);
  return true;
}

std::unique_ptr<TRVBitmap> ConvertedCopy(TRVBitmap& bitmap, TRVPixelFormat format) {
  auto out = std::make_unique<TRVBitmap>();
  if (!out->Allocate(bitmap.GetWidth(), bitmap.GetHeight(), format)) return nullptr;
  out->CopyAndConvertFormat(bitmap);
  out->RemoveAlphaBitmap(false, 0);
  return out;
}

namespace {

#if defined(__x86_64__)
// The shuffle that puts source byte i of one plane at output byte 3i + channel of each of the
// three 16-byte output blocks; 0x80 leaves a byte for the other planes.
struct TInterleaveMasks {
  alignas(16) uint8_t m[3][3][16];  // [output block][channel: blue, green, red][byte]
  TInterleaveMasks() {
    for (int k = 0; k < 3; ++k)
      for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 16; ++i) {
          const int j = 16 * k + i;
          m[k][c][i] = j % 3 == c ? static_cast<uint8_t>(j / 3) : 0x80;
        }
  }
};

__attribute__((target("ssse3"))) int64_t PlanesToBGRShuffle(uint8_t* dest, const uint8_t* red,
                                                            const uint8_t* green, const uint8_t* blue,
                                                            int64_t count) {
  static const TInterleaveMasks masks;
  __m128i m[3][3];
  for (int k = 0; k < 3; ++k)
    for (int c = 0; c < 3; ++c) m[k][c] = _mm_load_si128(reinterpret_cast<const __m128i*>(masks.m[k][c]));
  int64_t x = 0;
  for (; x + 16 <= count; x += 16) {
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(blue + x));
    const __m128i g = _mm_loadu_si128(reinterpret_cast<const __m128i*>(green + x));
    const __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i*>(red + x));
    for (int k = 0; k < 3; ++k) {
      const __m128i v = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(b, m[k][0]), _mm_shuffle_epi8(g, m[k][1])),
                                     _mm_shuffle_epi8(r, m[k][2]));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + 3 * x + 16 * k), v);
    }
  }
  return x;
}
#endif

}  // namespace

void PlanesToBGR(uint8_t* dest, const uint8_t* red, const uint8_t* green, const uint8_t* blue,
                 int64_t count) {
  int64_t x = 0;
#if defined(__x86_64__)
  static const bool shuffle = __builtin_cpu_supports("ssse3");
  if (shuffle) x = PlanesToBGRShuffle(dest, red, green, blue, count);
#endif
  for (; x < count; ++x) {
    dest[3 * x] = blue[x];
    dest[3 * x + 1] = green[x];
    dest[3 * x + 2] = red[x];
  }
}

}  // namespace rv::codecs
