#include "rastova/codecs/RVICC.h"

#include <lcms2.h>

#include <cstring>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStream.h"

namespace rv {

namespace {

// Channels of each row format's colour type, and the colour engine's 16-bit layout for it.
int FormatChannels(int32_t f) {
  switch (f) {
    case 2:
    case 3:
      return 4;
    case 5:
      return 1;
    default:
      return 3;
  }
}

cmsUInt32Number EngineFormat(int32_t f) {
  switch (f) {
    case 0:
    case 1:
    case 6:
    case 7:
      return TYPE_RGB_16;
    case 2:
    case 3:
      return TYPE_CMYK_16;
    case 4:
      return TYPE_Lab_16;
    case 5:
      return TYPE_GRAY_16;
    case 8:
      return TYPE_YCbCr_16;
    default:
      return 0;
  }
}

bool KnownFormat(int32_t f) { return f >= 0 && f <= 8; }

// One pixel run of a row format into 16-bit colour entries.
void ToEntries(int32_t f, const uint8_t* s, uint16_t* e, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    switch (f) {
      case 0:
      case 4:
      case 8:
        e[0] = uint16_t(s[0] * 257);
        e[1] = uint16_t(s[1] * 257);
        e[2] = uint16_t(s[2] * 257);
        s += 3;
        e += 3;
        break;
      case 1:
        e[0] = uint16_t(s[2] * 257);
        e[1] = uint16_t(s[1] * 257);
        e[2] = uint16_t(s[0] * 257);
        s += 3;
        e += 3;
        break;
      case 2:
        for (int k = 0; k < 4; ++k) e[k] = uint16_t((255 - s[k]) * 257);
        s += 4;
        e += 4;
        break;
      case 3:
        for (int k = 0; k < 4; ++k) e[k] = uint16_t(s[k] * 257);
        s += 6;
        e += 4;
        break;
      case 5:
        e[0] = uint16_t(s[0] * 257);
        s += 1;
        e += 1;
        break;
      case 6:
        for (int k = 0; k < 3; ++k) e[k] = uint16_t(s[2 * k] | (s[2 * k + 1] << 8));
        s += 6;
        e += 3;
        break;
      case 7:
        for (int k = 0; k < 3; ++k) e[k] = uint16_t((s[2 * k] << 8) | s[2 * k + 1]);
        s += 6;
        e += 3;
        break;
      default:
        return;
    }
  }
}

// 16-bit colour entries back into a row format (the high bytes for byte formats).
void FromEntries(int32_t f, const uint16_t* e, uint8_t* d, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    switch (f) {
      case 0:
      case 4:
      case 8:
        d[0] = uint8_t(e[0] >> 8);
        d[1] = uint8_t(e[1] >> 8);
        d[2] = uint8_t(e[2] >> 8);
        d += 3;
        e += 3;
        break;
      case 1:
        d[0] = uint8_t(e[2] >> 8);
        d[1] = uint8_t(e[1] >> 8);
        d[2] = uint8_t(e[0] >> 8);
        d += 3;
        e += 3;
        break;
      case 2:
        for (int k = 0; k < 4; ++k) d[k] = uint8_t(255 - (e[k] >> 8));
        d += 4;
        e += 4;
        break;
      case 3:
        for (int k = 0; k < 4; ++k) d[k] = uint8_t(e[k] >> 8);
        d += 6;
        e += 4;
        break;
      case 5:
        d[0] = uint8_t(e[0] >> 8);
        d += 1;
        e += 1;
        break;
      case 6:
        for (int k = 0; k < 3; ++k) {
          d[2 * k] = uint8_t(e[k]);
          d[2 * k + 1] = uint8_t(e[k] >> 8);
        }
        d += 6;
        e += 3;
        break;
      case 7:
        for (int k = 0; k < 3; ++k) {
          d[2 * k] = uint8_t(e[k] >> 8);
          d[2 * k + 1] = uint8_t(e[k]);
        }
        d += 6;
        e += 3;
        break;
      default:
        return;
    }
  }
}

uint32_t ReadBE32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

// The zero-terminated text at `offset`, never read past `limit` (the end of its tag inside the
// profile); empty when it is 1000 bytes or longer.
std::string TextAt(const std::vector<uint8_t>& raw, int64_t offset, int64_t limit) {
  if (offset < 0 || offset >= limit) return {};
  const auto* begin = raw.data() + offset;
  const auto* end = static_cast<const uint8_t*>(std::memchr(begin, 0, static_cast<size_t>(limit - offset)));
  const int64_t n = end ? end - begin : limit - offset;
  if (n >= 1000) return {};
  return std::string(reinterpret_cast<const char*>(begin), static_cast<size_t>(n));
}

int32_t RowFormatOf(TRVPixelFormat f) {
  switch (f) {
    case rv8g:
      return 5;
    case rv24RGB:
      return 1;
    case rvCMYK:
      return 2;
    case rv48RGB:
      return 6;
    case rvCIELab:
      return 4;
    default:
      return -1;
  }
}

}  // namespace

bool LoadColorManagementLibrary() { return true; }

TRVICC::~TRVICC() { Clear(); }

void TRVICC::LoadFromBuffer(const void* data, int64_t size) {
  Clear();
  if (data && size > 0) {
    const auto* p = static_cast<const uint8_t*>(data);
    raw_.assign(p, p + size);
  }
  OpenProfile();
}

void TRVICC::Assign(const TRVICC& source) {
  if (&source == this) return;
  LoadFromBuffer(source.raw_.data(), static_cast<int64_t>(source.raw_.size()));
}

void TRVICC::LoadSRGB() {
  Clear();
  profile_ = cmsCreate_sRGBProfile();
}

void TRVICC::OpenProfile() {
  if (!raw_.empty() && raw_.size() <= 0xFFFFFFFFu)
    profile_ = cmsOpenProfileFromMem(raw_.data(), static_cast<cmsUInt32Number>(raw_.size()));
  ReadProfileTexts();
}

bool TRVICC::SaveToStream(TStream& stream, bool noLength) const {
  bool ok = true;
  if (!noLength) {
    const uint32_t n = static_cast<uint32_t>(raw_.size());
    const uint8_t le[4] = {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
    ok = stream.Write(le, 4) == 4;
  }
  if (!raw_.empty())
    ok = stream.Write(raw_.data(), static_cast<int64_t>(raw_.size())) == static_cast<int64_t>(raw_.size()) && ok;
  return ok;
}

void TRVICC::Clear() {
  CloseProfile();
  raw_.clear();
  applied_ = false;
  cprt_.clear();
  desc_.clear();
}

void TRVICC::CloseProfile() {
  FreeTransform();
  if (profile_) cmsCloseProfile(static_cast<cmsHPROFILE>(profile_));
  profile_ = nullptr;
  inFormat_ = outFormat_ = intent_ = flags_ = 0;
}

void TRVICC::FreeTransform() {
  if (transform_) {
    cmsDeleteTransform(static_cast<cmsHTRANSFORM>(transform_));
    transform_ = nullptr;
    applied_ = true;
  }
}

bool TRVICC::Transform(TRVICC& dest, int32_t inputFormat, int32_t outputFormat, int32_t intent, int32_t flags,
                       const void* source, void* destination, int32_t count) {
  if (!transform_ || inputFormat != inFormat_ || outputFormat != outFormat_ || intent != intent_ ||
      flags != flags_) {
    FreeTransform();
    if (profile_ && dest.profile_ && KnownFormat(inputFormat) && KnownFormat(outputFormat)) {
      transform_ = cmsCreateTransform(static_cast<cmsHPROFILE>(profile_), EngineFormat(inputFormat),
                                      static_cast<cmsHPROFILE>(dest.profile_), EngineFormat(outputFormat),
                                      INTENT_PERCEPTUAL, cmsFLAGS_HIGHRESPRECALC);
    }
    inFormat_ = inputFormat;
    outFormat_ = outputFormat;
    intent_ = intent;
    flags_ = flags;
  }
  if (!transform_) return false;
  if (count <= 0 || !source || !destination) return true;
  std::vector<uint16_t> in(static_cast<size_t>(count) * FormatChannels(inputFormat));
  std::vector<uint16_t> out(static_cast<size_t>(count) * FormatChannels(outputFormat));
  ToEntries(inputFormat, static_cast<const uint8_t*>(source), in.data(), count);
  cmsDoTransform(static_cast<cmsHTRANSFORM>(transform_), in.data(), out.data(), static_cast<cmsUInt32Number>(count));
  FromEntries(outputFormat, out.data(), static_cast<uint8_t*>(destination), count);
  return true;
}

bool TRVICC::ConvertBitmap(TRVBitmap& bitmap, TRVPixelFormat targetFormat, TRVICC& dest) {
  const int32_t sf = RowFormatOf(bitmap.GetPixelFormat());
  const int32_t tf = RowFormatOf(targetFormat);
  if (sf < 0 || tf < 0) return false;
  const int32_t w = bitmap.GetWidth(), h = bitmap.GetHeight();
  TRVBitmap converted;
  if (!converted.Allocate(w, h, targetFormat)) return false;
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* d = converted.GetScanLine(y);
    std::memset(d, 0, static_cast<size_t>(converted.GetRowLen()));
    Transform(dest, sf, tf, 0, 0, bitmap.GetScanLine(y), d, w);
  }
  FreeTransform();
  std::unique_ptr<TRVBitmap> alpha = bitmap.HasAlphaBitmap() ? bitmap.ReplaceAlphaBitmap(nullptr) : nullptr;
  converted.MoveTo(bitmap);
  if (alpha) bitmap.ReplaceAlphaBitmap(std::move(alpha));
  return true;
}

void TRVICC::ReadProfileTexts() {
  cprt_.clear();
  desc_.clear();
  const int64_t len = static_cast<int64_t>(raw_.size());
  if (len <= 132) return;
  const int32_t count = static_cast<int32_t>(ReadBE32(raw_.data() + 128));
  if (count > 1000 || count < 0) return;
  for (int32_t i = 0; i < count; ++i) {
    const int64_t entry = 132 + int64_t(i) * 12;
    if (entry + 12 > len) break;
    const uint8_t* e = raw_.data() + entry;
    const int32_t off = static_cast<int32_t>(ReadBE32(e + 4));
    const int32_t size = static_cast<int32_t>(ReadBE32(e + 8));
    if (off < 0 || size < 0 || off > len || size > len) break;
    const int64_t limit = std::min<int64_t>(len, int64_t(off) + size);
    if (std::memcmp(e, "cprt", 4) == 0 && size < 1000) cprt_ = TextAt(raw_, int64_t(off) + 8, limit);
    else if (std::memcmp(e, "desc", 4) == 0 && size < 1000) desc_ = TextAt(raw_, int64_t(off) + 12, limit);
  }
}

}  // namespace rv
