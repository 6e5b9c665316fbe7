#pragma once
// TRVICC: one ICC colour profile, kept as the raw bytes found in (or destined for) an image file,
// opened with the colour engine (lcms2), converting runs of pixels from this profile to another.
//
// Row formats, as the colour conversions of the library number them:
//   0 R,G,B bytes          1 B,G,R bytes (24-bit image rows)     2 C,M,Y,K bytes, inverted ink
//   3 6 bytes, the first 4 C,M,Y,K                                 4 CIELab bytes
//   5 grey bytes           6 16-bit R,G,B little-endian           7 16-bit R,G,B big-endian
//   8 Y,Cb,Cr bytes
// Every format can be a source and a target of Transform.
#include <cstdint>
#include <string>
#include <vector>

#include "rastova/core/RVDefs.h"

namespace rv {

class TRVBitmap;
class TStream;

// Always true: the colour engine is linked in.
bool LoadColorManagementLibrary();

class TRVICC {
 public:
  TRVICC() = default;
  ~TRVICC();
  TRVICC(const TRVICC&) = delete;
  TRVICC& operator=(const TRVICC&) = delete;

  void LoadFromBuffer(const void* data, int64_t size);
  void Assign(const TRVICC& source);
  // Opens the built-in sRGB profile; the raw bytes stay empty.
  void LoadSRGB();
  void OpenProfile();
  bool IsValid() const { return profile_ != nullptr; }
  // The raw length as 4 bytes little-endian (unless noLength), then the raw bytes. False on a
  // short write.
  bool SaveToStream(TStream& stream, bool noLength) const;
  void Clear();
  void CloseProfile();
  bool HasTransform() const { return transform_ != nullptr; }
  void FreeTransform();
  // Converts `count` pixels of `source` (this profile) into `destination` (dest's profile).
  // True when a transform is open afterwards. The source run is not changed.
  bool Transform(TRVICC& dest, int32_t inputFormat, int32_t outputFormat, int32_t intent, int32_t flags,
                 const void* source, void* destination, int32_t count);
  // Replaces the pixels of an rv8g, rv24RGB, rvCMYK, rv48RGB or rvCIELab bitmap by their
  // conversion into `targetFormat` (one of the same) through dest's profile.
  bool ConvertBitmap(TRVBitmap& bitmap, TRVPixelFormat targetFormat, TRVICC& dest);

  const std::vector<uint8_t>& Raw() const { return raw_; }
  bool Applied() const { return applied_; }
  const std::string& CprtText() const { return cprt_; }
  const std::string& DescText() const { return desc_; }

 private:
  void ReadProfileTexts();
  std::vector<uint8_t> raw_;
  void* profile_ = nullptr;    // cmsHPROFILE
  void* transform_ = nullptr;  // cmsHTRANSFORM
  bool applied_ = false;
  int32_t inFormat_ = 0, outFormat_ = 0, intent_ = 0, flags_ = 0;
  std::string cprt_, desc_;
};

}  // namespace rv
