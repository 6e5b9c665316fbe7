#include "rastova/view/text/RVTextMemoBlock.h"

#include <algorithm>
#include <cstring>

namespace rv {

namespace {
constexpr uint8_t kLastBrushStyle = 7;  // bsSolid 0 .. bsDiagCross 7
constexpr uint8_t kClearBrushStyle = 1;
}  // namespace

std::vector<uint8_t> BuildTextMemoBlock(std::string_view text, std::span<const TRVCharFormat> formats) {
  const size_t n = text.size();
  std::vector<uint8_t> block(n + 1 + sizeof(TRVCharFormat) * n, 0);
  std::memcpy(block.data(), text.data(), n);
  for (size_t k = 0; k < n && k < formats.size(); ++k)
    std::memcpy(block.data() + n + 1 + sizeof(TRVCharFormat) * k, &formats[k], sizeof(TRVCharFormat));
  return block;
}

void SanitizeCharFormat(TRVCharFormat& f) {
  if (f.Alignment > rvtaJustify) f.Alignment = rvtaLeft;
  if (f.BackStyle > kLastBrushStyle) f.BackStyle = kClearBrushStyle;
  f.FontStyle &= rvfsBold | rvfsItalic | rvfsUnderline | rvfsStrikeOut;
  f.FontHeight = std::clamp(f.FontHeight, -kMaxFontHeight, kMaxFontHeight);
  std::memset(f.Reserved1, 0, sizeof f.Reserved1);
  std::memset(f.Reserved2, 0, sizeof f.Reserved2);
  const uint8_t n = f.FontName[0];
  std::memset(f.FontName + 1 + n, 0, sizeof f.FontName - 1 - n);
}

bool ParseTextMemoBlock(std::span<const uint8_t> block, std::string& text,
                        std::vector<TRVCharFormat>& formats) {
  text.clear();
  formats.clear();
  const auto zero = std::find(block.begin(), block.end(), uint8_t{0});
  if (zero == block.end()) return false;
  const size_t n = static_cast<size_t>(zero - block.begin());
  // n < block size here, so 281 x n cannot overflow.
  if (block.size() < (sizeof(TRVCharFormat) + 1) * n + 1) return false;
  text.assign(reinterpret_cast<const char*>(block.data()), n);
  formats.resize(n);
  for (size_t k = 0; k < n; ++k) {
    std::memcpy(&formats[k], block.data() + n + 1 + sizeof(TRVCharFormat) * k, sizeof(TRVCharFormat));
    SanitizeCharFormat(formats[k]);
  }
  return true;
}

}  // namespace rv
