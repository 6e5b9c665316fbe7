#include "rastova/view/transitions/ComplexRegion.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <span>

namespace rv {

namespace {
void PutInt(uint8_t* at, int32_t v) { std::memcpy(at, &v, 4); }
}  // namespace

TComplexRegion::~TComplexRegion() { std::free(FData); }

void TComplexRegion::Clear() {
  std::free(FData);
  FData = nullptr;
  FNext = nullptr;
  FCount = 0;
  FCapacity = 0;
  FBounds = {2147483647, 2147483647, -2147483647, -2147483647};
}

void TComplexRegion::AddRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) {
  if (FCount == FCapacity) {
    const size_t bytes = static_cast<size_t>(kHeaderSize + 4) + 16 * static_cast<size_t>(FCapacity + kGrowth);
    auto* grown = static_cast<uint8_t*>(std::realloc(FData, bytes));
    if (!grown) throw std::bad_alloc();
    FData = grown;
    FCapacity += kGrowth;
    FNext = FData + kHeaderSize + 16 * static_cast<size_t>(FCount);
  }
  const platform::TRect r{Left, Top, Right, Bottom};
  std::memcpy(FNext, &r, 16);
  FNext += 16;
  ++FCount;
  if (Left < FBounds.Left) FBounds.Left = Left;
  if (Top < FBounds.Top) FBounds.Top = Top;
  if (Right > FBounds.Right) FBounds.Right = Right;
  if (Bottom > FBounds.Bottom) FBounds.Bottom = Bottom;
}

PRegion TComplexRegion::CreateRegion() {
  if (!FData) return nullptr;
  PutInt(FData, kHeaderSize);
  PutInt(FData + 4, 1);
  PutInt(FData + 8, FCount);
  PutInt(FData + 12, 16);
  std::memcpy(FData + 16, &FBounds, 16);
  std::span<const platform::TRect> rects(reinterpret_cast<const platform::TRect*>(FData + kHeaderSize),
                                         static_cast<size_t>(FCount));
  return std::make_unique<platform::TRegion>(platform::TRegion::FromRects(rects));
}

}  // namespace rv
