// The object table of metafile playback and the stock objects.
#include "rastova/io/metafile/RVMetaObjects.h"

#include <uemf.h>

#include <QImage>

namespace rv {

namespace {

int64_t PatternPixels(const TRVMetaObject& object) {
  const TRVMetaBrush* brush = std::get_if<TRVMetaBrush>(&object);
  if (!brush || !brush->Pattern) return 0;
  return int64_t(brush->Pattern->width()) * brush->Pattern->height();
}

}  // namespace

bool TRVMetaObjects::Admit(const TRVMetaObject& object) const {
  return patternPixels_ + PatternPixels(object) <= kMaxPatternPixels;
}

void TRVMetaObjects::Forget(uint32_t index) {
  auto it = objects_.find(index);
  if (it == objects_.end()) return;
  patternPixels_ -= PatternPixels(it->second);
  objects_.erase(it);
}

bool TRVMetaObjects::Put(uint32_t index, TRVMetaObject object) {
  if (index == 0 || index >= kMaxMetaObjects) return false;
  Forget(index);
  if (!Admit(object)) return false;
  patternPixels_ += PatternPixels(object);
  objects_[index] = std::move(object);
  next_ = std::max(next_, index + 1);
  return true;
}

bool TRVMetaObjects::Add(TRVMetaObject object) {
  // Freed indices may have been taken again by Put; skip those.
  while (!freed_.empty() && objects_.count(freed_.top())) freed_.pop();
  uint32_t index = next_;
  if (!freed_.empty()) index = freed_.top();
  if (index >= kMaxMetaObjects || !Admit(object)) return false;
  if (!freed_.empty() && index == freed_.top()) freed_.pop();
  if (index == next_) ++next_;
  patternPixels_ += PatternPixels(object);
  objects_[index] = std::move(object);
  return true;
}

const TRVMetaObject* TRVMetaObjects::Find(uint32_t index) const {
  auto it = objects_.find(index);
  return it == objects_.end() ? nullptr : &it->second;
}

void TRVMetaObjects::Remove(uint32_t index) {
  if (!objects_.count(index)) return;
  Forget(index);
  freed_.push(index);
}

void SelectObject(TRVMetaDC& dc, const TRVMetaObject& object) {
  TRVMetaState& state = dc.State();
  if (const auto* pen = std::get_if<TRVMetaPen>(&object)) {
    state.Pen = *pen;
  } else if (const auto* brush = std::get_if<TRVMetaBrush>(&object)) {
    state.Brush = *brush;
  } else if (const auto* font = std::get_if<TRVMetaFont>(&object)) {
    state.Font = *font;
  } else if (const auto* region = std::get_if<TRVMetaRegion>(&object)) {
    dc.SelectClipRegion(dc.LogicalRegion(region->Logical), U_RGN_COPY);
  }
}

std::optional<TRVMetaObject> StockObject(uint32_t index) {
  auto brush = [](uint32_t style, QRgb color) {
    TRVMetaBrush b;
    b.Style = style;
    b.Color = color;
    return TRVMetaObject(b);
  };
  auto pen = [](uint32_t style, QRgb color) {
    TRVMetaPen p;
    p.Style = style;
    p.Color = color;
    return TRVMetaObject(p);
  };
  auto font = [](const char* face) {
    TRVMetaFont f;
    f.Height = 16;
    f.Weight = 400;
    f.Face = QString::fromLatin1(face);
    return TRVMetaObject(f);
  };
  switch (index) {
    case U_WHITE_BRUSH:
      return brush(U_BS_SOLID, qRgb(255, 255, 255));
    case U_LTGRAY_BRUSH:
      return brush(U_BS_SOLID, qRgb(192, 192, 192));
    case U_GRAY_BRUSH:
      return brush(U_BS_SOLID, qRgb(128, 128, 128));
    case U_DKGRAY_BRUSH:
      return brush(U_BS_SOLID, qRgb(64, 64, 64));
    case U_BLACK_BRUSH:
      return brush(U_BS_SOLID, qRgb(0, 0, 0));
    case U_NULL_BRUSH:
      return brush(U_BS_NULL, qRgb(0, 0, 0));
    case U_WHITE_PEN:
      return pen(U_PS_SOLID, qRgb(255, 255, 255));
    case U_BLACK_PEN:
      return pen(U_PS_SOLID, qRgb(0, 0, 0));
    case U_NULL_PEN:
      return pen(U_PS_NULL, qRgb(0, 0, 0));
    case U_OEM_FIXED_FONT:
    case U_ANSI_FIXED_FONT:
    case U_SYSTEM_FIXED_FONT:
      return font("Courier New");
    case U_ANSI_VAR_FONT:
    case U_SYSTEM_FONT:
    case U_DEVICE_DEFAULT_FONT:
    case U_DEFAULT_GUI_FONT:
      return font("Arial");
    case 0x80000012:  // the DC brush
      return brush(U_BS_SOLID, qRgb(255, 255, 255));
    case 0x80000013:  // the DC pen
      return pen(U_PS_SOLID, qRgb(0, 0, 0));
    default:
      return std::nullopt;
  }
}

}  // namespace rv
