#include "rastova/io/RVColorConv.h"

#include <lcms2.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <vector>

#include "rastova/codecs/IOParamsVals.h"
#include "rastova/codecs/RVICC.h"
#include "rastova/core/RVUtils.h"

namespace rv {

bool CMYKConversionOn = true;
const char* const kCMYKProfileFileName = "/usr/share/color/icc/ghostscript/default_cmyk.icc";

namespace {

// The CMYK profile, an sRGB profile and the two 16-bit transforms between them. Once loaded
// they stay until FreeCMYKProfiles; `state` 0 not tried, 1 loaded, 2 failed.
struct TCMYKProfiles {
  std::mutex lock;
  std::atomic<int> state{0};
  cmsHPROFILE cmyk = nullptr;
  cmsHPROFILE srgb = nullptr;
  cmsHTRANSFORM toRGB = nullptr;   // CMYK 16-bit plain ink -> RGB 16-bit
  cmsHTRANSFORM toCMYK = nullptr;  // RGB 16-bit -> CMYK 16-bit plain ink
};

TCMYKProfiles& Profiles() {
  static TCMYKProfiles p;
  return p;
}

void FreeLocked(TCMYKProfiles& p) {
  if (p.toRGB) cmsDeleteTransform(p.toRGB);
  if (p.toCMYK) cmsDeleteTransform(p.toCMYK);
  if (p.cmyk) cmsCloseProfile(p.cmyk);
  if (p.srgb) cmsCloseProfile(p.srgb);
  p.toRGB = p.toCMYK = nullptr;
  p.cmyk = p.srgb = nullptr;
}

// Scratch rows of 16-bit samples, one set per thread.
std::vector<uint16_t>& Scratch(int which) {
  thread_local std::vector<uint16_t> buffers[2];
  return buffers[which];
}

bool ManagedCMYKActive() { return CMYKConversionOn && LoadCMYKProfile(); }

// CMYK rows with inverted ink bytes (stride 4 or 6) to B,G,R through the profile, one
// transform call for the row.
void CMYKRowThroughProfile(const uint8_t* src, int32_t stride, uint8_t* bgr, int32_t count) {
  std::vector<uint16_t>& in = Scratch(0);
  std::vector<uint16_t>& out = Scratch(1);
  in.resize(static_cast<size_t>(count) * 4);
  out.resize(static_cast<size_t>(count) * 3);
  for (int32_t i = 0; i < count; ++i) {
    const uint8_t* s = src + static_cast<int64_t>(i) * stride;
    for (int c = 0; c < 4; ++c) in[static_cast<size_t>(i) * 4 + c] = static_cast<uint16_t>((255 - s[c]) * 257);
  }
  cmsDoTransform(Profiles().toRGB, in.data(), out.data(), static_cast<cmsUInt32Number>(count));
  for (int32_t i = 0; i < count; ++i) {
    const uint16_t* o = &out[static_cast<size_t>(i) * 3];
    uint8_t* d = bgr + static_cast<int64_t>(i) * 3;
    d[0] = static_cast<uint8_t>(o[2] >> 8);
    d[1] = static_cast<uint8_t>(o[1] >> 8);
    d[2] = static_cast<uint8_t>(o[0] >> 8);
  }
}

// B,G,R rows to CMYK with inverted ink bytes through the profile, one transform call.
void RGBRowThroughProfile(const uint8_t* bgr, uint8_t* dst, int32_t count) {
  std::vector<uint16_t>& in = Scratch(0);
  std::vector<uint16_t>& out = Scratch(1);
  in.resize(static_cast<size_t>(count) * 3);
  out.resize(static_cast<size_t>(count) * 4);
  for (int32_t i = 0; i < count; ++i) {
    const uint8_t* s = bgr + static_cast<int64_t>(i) * 3;
    in[static_cast<size_t>(i) * 3 + 0] = static_cast<uint16_t>(s[2] * 257);
    in[static_cast<size_t>(i) * 3 + 1] = static_cast<uint16_t>(s[1] * 257);
    in[static_cast<size_t>(i) * 3 + 2] = static_cast<uint16_t>(s[0] * 257);
  }
  cmsDoTransform(Profiles().toCMYK, in.data(), out.data(), static_cast<cmsUInt32Number>(count));
  for (int32_t i = 0; i < count; ++i)
    for (int c = 0; c < 4; ++c)
      dst[static_cast<int64_t>(i) * 4 + c] = static_cast<uint8_t>((out[static_cast<size_t>(i) * 4 + c] >> 8) ^ 255);
}

void CMYKRowByFormula(const uint8_t* src, int32_t stride, uint8_t* bgr, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    const uint8_t* s = src + static_cast<int64_t>(i) * stride;
    uint8_t* d = bgr + static_cast<int64_t>(i) * 3;
    d[2] = static_cast<uint8_t>(s[0] * s[3] / 255);
    d[1] = static_cast<uint8_t>(s[1] * s[3] / 255);
    d[0] = static_cast<uint8_t>(s[2] * s[3] / 255);
  }
}

void CMYKRowToBGR(const uint8_t* src, int32_t stride, uint8_t* bgr, int32_t count) {
  if (ManagedCMYKActive()) CMYKRowThroughProfile(src, stride, bgr, count);
  else CMYKRowByFormula(src, stride, bgr, count);
}

// The profile the row's colours are in: the input profile when it is valid or when there is
// no embedded default, else the embedded default; nullptr when the chosen one does not exist.
TRVICC* SourceProfile(TIOParamsVals& params) {
  if (params.HasInputICCProfile() && params.GetInputICCProfile().IsValid()) return &params.GetInputICCProfile();
  if (!params.HasDefaultICCProfile()) return params.HasInputICCProfile() ? &params.GetInputICCProfile() : nullptr;
  return &params.GetDefaultICCProfile();
}

}  // namespace

bool LoadCMYKProfile() {
  TCMYKProfiles& p = Profiles();
  const int s = p.state.load(std::memory_order_acquire);
  if (s != 0) return s == 1;
  std::lock_guard<std::mutex> guard(p.lock);
  if (p.state.load(std::memory_order_relaxed) != 0) return p.state.load() == 1;
  std::ifstream file(kCMYKProfileFileName, std::ios::binary);
  std::vector<char> raw;
  if (file) raw.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  if (!raw.empty()) p.cmyk = cmsOpenProfileFromMem(raw.data(), static_cast<cmsUInt32Number>(raw.size()));
  if (p.cmyk && cmsGetColorSpace(p.cmyk) == cmsSigCmykData) {
    p.srgb = cmsCreate_sRGBProfile();
    // No one-pixel cache: the transforms are shared by every thread.
    p.toRGB = cmsCreateTransform(p.cmyk, TYPE_CMYK_16, p.srgb, TYPE_RGB_16, INTENT_PERCEPTUAL, cmsFLAGS_NOCACHE);
    p.toCMYK = cmsCreateTransform(p.srgb, TYPE_RGB_16, p.cmyk, TYPE_CMYK_16, INTENT_PERCEPTUAL, cmsFLAGS_NOCACHE);
  }
  const bool ok = p.toRGB && p.toCMYK;
  if (!ok) FreeLocked(p);
  p.state.store(ok ? 1 : 2, std::memory_order_release);
  return ok;
}

void FreeCMYKProfiles() {
  TCMYKProfiles& p = Profiles();
  std::lock_guard<std::mutex> guard(p.lock);
  FreeLocked(p);
  p.state.store(0, std::memory_order_release);
}

bool ManagedCMYKToRGB(const TCMYK& cmyk, TRGB& rgb) {
  if (!ManagedCMYKActive()) return false;
  CMYKRowThroughProfile(&cmyk.c, 4, &rgb.b, 1);
  return true;
}

bool ManagedRGBToCMYK(const TRGB& rgb, TCMYK& cmyk) {
  if (!ManagedCMYKActive()) return false;
  RGBRowThroughProfile(&rgb.b, &cmyk.c, 1);
  return true;
}

void ConvertPixelRow(void* source, uint8_t sourceFormat, void* dest, TIOParamsVals* params, int32_t count,
                     uint8_t destFormat) {
  if (count <= 0 || !source || !dest) return;
  if (ColorManagementOn && params) {
    TRVICC* from = SourceProfile(*params);
    if (from && from->IsValid() && !from->Applied()) {
      TRVICC& to = params->GetOutputICCProfile();
      if (to.IsValid() && from->Transform(to, sourceFormat, destFormat, 0, 0, source, dest, count)) return;
    }
  }
  auto* s = static_cast<uint8_t*>(source);
  auto* d = static_cast<uint8_t*>(dest);
  const int64_t n = count;
  if (destFormat == 1) {
    switch (sourceFormat) {
      case 0:
        CopyBGRToRGB(d, s, n);
        return;
      case 1:
        std::memmove(d, s, static_cast<size_t>(n * 3));
        return;
      case 2:
        CMYKRowToBGR(s, 4, d, count);
        return;
      case 3:
        for (int64_t i = 0; i < n; ++i)
          for (int c = 0; c < 4; ++c) s[i * 6 + c] = static_cast<uint8_t>(255 - s[i * 6 + c]);
        CMYKRowToBGR(s, 6, d, count);
        return;
      case 4:
        for (int64_t i = 0; i < n; ++i) {
          const uint8_t* p = s + i * 3;
          TRGB rgb;
          CIELabToRGB(uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16), rgb);
          std::memcpy(d + i * 3, &rgb, 3);
        }
        return;
      case 6:
        for (int64_t i = 0; i < n; ++i) {
          const uint8_t* p = s + i * 6;
          d[i * 3 + 2] = p[1];
          d[i * 3 + 1] = p[3];
          d[i * 3 + 0] = p[5];
        }
        return;
      case 7:
        for (int64_t i = 0; i < n; ++i) {
          const uint8_t* p = s + i * 6;
          d[i * 3 + 2] = p[0];
          d[i * 3 + 1] = p[2];
          d[i * 3 + 0] = p[4];
        }
        return;
      case 8:
        for (int64_t i = 0; i < n; ++i) YCbCrToRGB(d + i * 3, s[i * 3], s[i * 3 + 1], s[i * 3 + 2]);
        return;
      default:
        return;
    }
  }
  if (sourceFormat != 1) return;
  switch (destFormat) {
    case 2:
      if (ManagedCMYKActive()) {
        RGBRowThroughProfile(s, d, count);
      } else {
        for (int64_t i = 0; i < n; ++i) {
          const uint8_t* p = s + i * 3;
          const TCMYK c = RGBToCMYK((uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0]);
          std::memcpy(d + i * 4, &c, 4);
        }
      }
      return;
    case 4:
      for (int64_t i = 0; i < n; ++i) {
        const uint8_t* p = s + i * 3;
        TCIELab lab;
        RGBToCIELab((uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0], lab);
        std::memcpy(d + i * 3, &lab, 3);
      }
      return;
    case 5:
      for (int64_t i = 0; i < n; ++i) {
        const uint8_t* p = s + i * 3;
        d[i] = static_cast<uint8_t>(Gray8(p[2], p[1], p[0]));
      }
      return;
    default:
      return;
  }
}

}  // namespace rv
