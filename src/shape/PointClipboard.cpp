#include "shape/PointClipboard.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "shape/model/uScSelect.h"

namespace shape {

namespace {

platform::IClipboard* gClipboard = nullptr;
platform::TClipboardFormat gFormat = 0;

void PutLE32(std::vector<uint8_t>& out, uint32_t v) {
  for (int k = 0; k < 4; ++k) out.push_back(static_cast<uint8_t>(v >> (8 * k)));
}

void PutLE64(std::vector<uint8_t>& out, uint64_t v) {
  for (int k = 0; k < 8; ++k) out.push_back(static_cast<uint8_t>(v >> (8 * k)));
}

uint64_t GetLE(const uint8_t* p, int bytes) {
  uint64_t v = 0;
  for (int k = 0; k < bytes; ++k) v |= static_cast<uint64_t>(p[k]) << (8 * k);
  return v;
}

}  // namespace

void RegisterPointClipboardFormat(platform::IClipboard* clipboard) {
  gClipboard = clipboard;
  gFormat = clipboard ? clipboard->RegisterFormat(kPointClipboardFormatName) : 0;
}

void SelectionBox(const TCS& cs, int32_t& firstColumn, int32_t& lastColumn, int32_t& firstRow,
                  int32_t& lastRow) {
  firstColumn = cs.CPMaxI;
  firstRow = cs.CPMaxJ;
  lastColumn = -1;
  lastRow = -1;
  const int32_t columns = cs.ScType == SCTYPE_PLANE ? cs.CPMaxI : cs.CPMaxI - 1;
  const int32_t rows = cs.ScType == SCTYPE_TORUS ? cs.CPMaxJ - 1 : cs.CPMaxJ;
  for (int32_t i = 0; i < columns; ++i)
    for (int32_t j = 0; j < rows; ++j) {
      if (!cs.SP[i][j]) continue;
      firstColumn = std::min(firstColumn, i);
      lastColumn = std::max(lastColumn, i);
      firstRow = std::min(firstRow, j);
      lastRow = std::max(lastRow, j);
    }
}

TBitmapClip CopySelectionBlock(const TCS& cs) {
  TBitmapClip block;
  int32_t c0, c1, r0, r1;
  SelectionBox(cs, c0, c1, r0, r1);
  if (c1 < 0) return block;
  block.Width = c1 - c0 + 1;
  block.Height = r1 - r0 + 1;
  block.Points.assign(static_cast<size_t>(block.Width) * block.Height, TDbl3D{0, 0, 0});
  for (int32_t j = r0; j <= r1; ++j)
    for (int32_t i = c0; i <= c1; ++i) {
      TDbl3D& e = block.Points[static_cast<size_t>(j - r0) * block.Width + (i - c0)];
      if (cs.SP[i][j])
        e = cs.CP[i][j];
      else
        e[0] = kClipHoleX;
    }
  return block;
}

std::vector<uint8_t> EncodePointBlock(const TBitmapClip& block) {
  std::vector<uint8_t> out;
  out.reserve(8 + block.Points.size() * 24);
  PutLE32(out, static_cast<uint32_t>(block.Width));
  PutLE32(out, static_cast<uint32_t>(block.Height));
  for (const TDbl3D& p : block.Points)
    for (int k = 0; k < 3; ++k) PutLE64(out, std::bit_cast<uint64_t>(p[k]));
  return out;
}

bool DecodePointBlock(const std::vector<uint8_t>& bytes, TBitmapClip& block) {
  block = TBitmapClip();
  if (bytes.size() < 8) return false;
  const int32_t w = static_cast<int32_t>(static_cast<uint32_t>(GetLE(bytes.data(), 4)));
  const int32_t h = static_cast<int32_t>(static_cast<uint32_t>(GetLE(bytes.data() + 4, 4)));
  // Only another writer of the format can send more: the grid holds at most 257 x 257 points.
  if (w < 1 || w > kGridMax || h < 1 || h > kGridMax) return false;
  const size_t count = static_cast<size_t>(w) * static_cast<size_t>(h);
  if (bytes.size() < 8 + 24 * count) return false;
  block.Width = w;
  block.Height = h;
  block.Points.resize(count);
  const uint8_t* p = bytes.data() + 8;
  for (TDbl3D& e : block.Points)
    for (int k = 0; k < 3; ++k, p += 8) e[k] = std::bit_cast<double>(GetLE(p, 8));
  return true;
}

void PastePointBlock(TCS& cs, const TBitmapClip& block) {
  int32_t c0, c1, r0, r1;
  SelectionBox(cs, c0, c1, r0, r1);
  if (c1 < 0) return;
  std::memset(cs.SP, 0, sizeof cs.SP);
  const int32_t I = cs.CPMaxI, J = cs.CPMaxJ;
  const int32_t firstRow = cs.ScType == SCTYPE_TORUS && r0 == 0 ? 0 : r1 - block.Height + 1;
  for (int32_t r = 0; r < block.Height; ++r)
    for (int32_t c = 0; c < block.Width; ++c) {
      const TDbl3D& e = block.Points[static_cast<size_t>(r) * block.Width + c];
      int32_t tc = c0 + c;
      int32_t tr = firstRow + r;
      if (cs.ScType != SCTYPE_PLANE) tc = (tc + I - 1) % (I - 1);
      if (cs.ScType == SCTYPE_TORUS) tr = (tr + J - 1) % (J - 1);  // negative stays outside
      if (tc < 0 || tc >= I || tr < 0 || tr >= J || e[0] == kClipHoleX || cs.RP[tc][tr]) continue;
      cs.CP[tc][tr] = e;
      cs.SP[tc][tr] = true;
    }
  ClampShapePoints(cs);
  CountSelectedPoints(cs);
}

void CopyPointsToClipboard(const TCS& cs) {
  const TBitmapClip block = CopySelectionBlock(cs);
  if (block.Width == 0 || !gClipboard) return;
  gClipboard->PutBytes(gFormat, EncodePointBlock(block));
}

bool CanPastePoints() { return gClipboard && gClipboard->HasFormat(gFormat); }

bool ReadPointsFromClipboard(TBitmapClip& block) {
  block = TBitmapClip();
  std::vector<uint8_t> bytes;
  return CanPastePoints() && gClipboard->GetBytes(gFormat, bytes) && DecodePointBlock(bytes, block);
}

void PastePointsFromClipboard(TCS& cs) {
  TBitmapClip block;
  ReadPointsFromClipboard(block);
  PastePointBlock(cs, block);
}

}  // namespace shape
