#pragma once
// Helpers shared by the sources of the resampling engine; not part of the library's surface.
#include <cstdint>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVProgress.h"

namespace rv::resample_detail {

// Sets an image's row-access mode for a scope and restores it afterwards (1 read, 2 write).
class AccessScope {
 public:
  AccessScope(TRVBaseBitmap& b, uint8_t mode) : b_(b), saved_(b.RowAccess) { b.RowAccess = mode; }
  ~AccessScope() { b_.RowAccess = saved_; }
  AccessScope(const AccessScope&) = delete;
  AccessScope& operator=(const AccessScope&) = delete;

 private:
  TRVBaseBitmap& b_;
  uint8_t saved_;
};

// Reports a percentage when it differs from the last one reported.
class ProgressReporter {
 public:
  ProgressReporter(void* sender, const TRVProgressEvent& event) : sender_(sender), event_(event) {}
  bool Active() const { return static_cast<bool>(event_); }
  void Changed(int32_t per) {
    if (event_ && per != last_) {
      last_ = per;
      event_(sender_, per);
    }
  }
  void Always(int32_t per) {
    if (event_) event_(sender_, per);
  }

 private:
  void* sender_;
  const TRVProgressEvent& event_;
  int32_t last_ = -1;
};

// Whether the image keeps its rows in a temporary file (only one row valid at a time).
inline bool IsFileBacked(TRVBaseBitmap& b) {
  auto* bm = dynamic_cast<TRVBitmap*>(&b);
  return bm && bm->GetLocation() == rvInTempFile;
}

// Gives the destination another pixel format at its size (a TRVBitmap keeps its alpha channel).
inline void SwitchPixelFormat(TRVBaseBitmap& b, TRVPixelFormat format) {
  if (b.GetPixelFormat() == format) return;
  if (auto* bm = dynamic_cast<TRVBitmap*>(&b)) {
    bm->SetPixelFormat(format);
  } else {
    b.Allocate(b.GetWidth(), b.GetHeight(), format);
  }
}

inline uint8_t Clamp255(int32_t v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

}  // namespace rv::resample_detail
