#include "shape/ShapeReadCopy.h"

namespace shape {

namespace {

int32_t* const kDerived[7] = {&CPHalfI, &CPHalfJ, &CapRows, &UpperRimRow, &LinesPerPart, &TextureWidth, &TextureHeight};

}  // namespace

TShapeReadCopy::TShapeReadCopy(const TCS& cs) : work_(std::make_unique<TCS>(cs)), hook_(GetTextureResizeHook()) {
  for (int k = 0; k < 7; ++k) derived_[k] = *kDerived[k];
  SetTextureResizeHook(nullptr);
}

TShapeReadCopy::~TShapeReadCopy() {
  if (!done_) Restore();
}

void TShapeReadCopy::Restore() {
  for (int k = 0; k < 7; ++k) *kDerived[k] = derived_[k];
  SetTextureResizeHook(hook_);
  done_ = true;
}

void TShapeReadCopy::Commit(TCS& cs) {
  cs = *work_;
  Restore();
  SetGridSize(cs);
}

}  // namespace shape
