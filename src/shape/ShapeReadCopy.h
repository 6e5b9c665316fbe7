#pragma once
// A shape reader works on a copy of the caller's record and commits it only when the whole file
// has been read: a failed read leaves the record byte for byte as it was, and with it the values
// SetGridSize derives and the size of the texture bitmaps.
#include <cstdint>
#include <memory>

#include "shape/model/ShapeRecord.h"
#include "shape/model/uScPrim.h"

namespace shape {

class TShapeReadCopy {
 public:
  // Copies `cs` and holds back the texture resize hook, so SetGridSize on the copy changes only
  // the derived values (which are put back unless the copy is committed).
  explicit TShapeReadCopy(const TCS& cs);
  ~TShapeReadCopy();
  TShapeReadCopy(const TShapeReadCopy&) = delete;
  TShapeReadCopy& operator=(const TShapeReadCopy&) = delete;

  TCS& Work() { return *work_; }
  // cs := the copy, then SetGridSize(cs) with the hook in place again.
  void Commit(TCS& cs);

 private:
  void Restore();

  std::unique_ptr<TCS> work_;
  TTextureResizeHook hook_;
  int32_t derived_[7];
  bool done_ = false;
};

}  // namespace shape
