#include "rastova/core/draw/RVTextHint.h"

#include <algorithm>

#include "common/Round.h"
#include "platform/gfx/Bitmap.h"
#include "rastova/core/RVPlatformAdapter.h"

namespace rv {

void DrawTextHint(platform::TCanvas& Canvas, int32_t& X, int32_t& Y, const std::string& Text,
                  const platform::TFont& Font, const platform::TBrush& Brush, platform::TBitmap& Saved,
                  int32_t MaxWidth, int32_t MaxHeight, platform::TColor LightColor,
                  platform::TColor DarkColor) {
  Canvas.Font = Font;
  Canvas.Brush = Brush;
  const platform::TSize extent = Canvas.TextExtent(Text);
  const int32_t w = extent.cx + 12, h = extent.cy + 12;
  X = common::SaturateInt32(std::min<int64_t>(std::max(X, 0), int64_t(MaxWidth) - w - 1));
  Y = common::SaturateInt32(std::min<int64_t>(std::max(Y, 0), int64_t(MaxHeight) - h - 1));
  Saved.SetPixelFormat(platform::pf24bit);
  Saved.SetSize(w, h);
  Saved.Canvas().CopyMode = platform::cmSrcCopy;
  Saved.Canvas().CopyRect(platform::Rect(0, 0, w, h), Canvas, platform::Rect(X, Y, X + w, Y + h));
  Canvas.FillRect(platform::Rect(X + 6, Y + 6, X + w, Y + h));
  DrawEdgeFrame(Canvas, X + 6, Y + 6, X + w - 1, Y + h - 1, LightColor, DarkColor);
  Canvas.TextOut(X + 9, Y + 9, Text);
}

}  // namespace rv
