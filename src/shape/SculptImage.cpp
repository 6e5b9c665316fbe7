#include "shape/SculptImage.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <functional>
#include <vector>

#include "platform/gfx/Bitmap.h"
#include "rastova/core/RVBitmap.h"
#include "settings/AppSettings.h"
#include "shape/OutputNames.h"
#include "shape/PictureFiles.h"
#include "shape/SculptCodec.h"
#include "shape/ShapeText.h"
#include "shape/model/uScPrim.h"

namespace shape {

namespace {

// The author text of the pictures whose channels use the earlier decoding.
constexpr char kEarlierAuthor[] = "DURIM PROJECT";

// Writes the text list beside the maps (a temporary file renamed over the target, so a failed
// write leaves an older list as it was). Failures are not reported, as for the maps.
bool WriteTextList(const std::string& fileName, const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + kLineEnd;
  try {
    StoreTextFile(fileName, text);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

int32_t SculptCellSize() { return std::max(settings::AppSettings.TgaSize / 32, 2); }

namespace {

// Loads the picture as 24-bit colour; 1 for the earlier decoding, 0 for the current one, -1 when
// it could not be loaded.
int32_t LoadSculptPixels(const std::string& fileName, rv::TRVBitmap& picture) {
  try {
    const std::string author = LoadPictureFile(fileName, picture);
    if (picture.GetPixelFormat() != rv::rv24RGB) picture.ConvertToPixelFormat(rv::rv24RGB);
    if (picture.IsEmpty() || picture.GetPixelFormat() != rv::rv24RGB) return -1;
    return author == kEarlierAuthor ? 1 : 0;
  } catch (...) {
    return -1;
  }
}

}  // namespace

int32_t LoadSculptPicture(const std::string& fileName, platform::TBitmap& bitmap) {
  rv::TRVBitmap picture;
  const int32_t kind = LoadSculptPixels(fileName, picture);
  if (kind < 0) return -1;
  try {
    CopyRVBitmapToColor(picture, bitmap);
  } catch (...) {
    return -1;
  }
  return kind;
}

bool ReadSculptImage(TCS& cs, const std::string& fileName, int32_t forcedType, std::string* problem) {
  // The pixels are sampled straight from the loaded image (LoadSculptPicture's copy into a
  // platform bitmap would only be read once).
  rv::TRVBitmap picture;
  const int32_t kind = LoadSculptPixels(fileName, picture);
  int32_t columns = 0, rows = 0, step = 0;
  if (kind < 0 || !SculptGridOfPicture(picture.GetWidth(), picture.GetHeight(), columns, rows, step)) {
    if (kind >= 0 && problem)
      *problem = "is " + std::to_string(picture.GetWidth()) + " x " + std::to_string(picture.GetHeight()) +
                 " pixels, which is not the size of a sculpt map.\r\nSculpt maps are (width x height):\r\n" +
                 SculptMapSizesText();
    ResetDefaultShape(cs);
    return false;
  }
  cs.CPMaxI = columns;
  cs.CPMaxJ = rows;
  SetGridSize(cs);
  const int w = picture.GetWidth();
  const int h = picture.GetHeight();
  for (int32_t j = 0; j < rows; ++j) {
    const uint8_t* row = picture.GetScanLine(SculptPictureRow(j, rows, step, h));
    for (int32_t i = 0; i < columns; ++i) {
      // Blue, green, red.
      const uint8_t* p = row + int64_t{SculptPictureColumn(i, columns, step, w)} * 3;
      const uint32_t color = static_cast<uint32_t>(p[2]) | (static_cast<uint32_t>(p[1]) << 8) |
                             (static_cast<uint32_t>(p[0]) << 16);
      cs.CP[i][j] = kind == 1 ? DecodePixel128(color) : DecodePixel127(color);
    }
  }
  cs.ScType = DetectStitchType(cs, forcedType);
  CopySeams(cs, (cs.CPMaxI - 1) / 2);
  return true;
}

void CreateSculptBitmaps(int32_t columnCells, int32_t rowCells, int32_t cell, platform::TBitmap& color,
                         platform::TBitmap& alpha) {
  color.SetPixelFormat(platform::pf32bit);
  alpha.SetPixelFormat(platform::pf8bit);
  color.SetSize(columnCells * cell, rowCells * cell);
  alpha.SetSize(columnCells * cell, rowCells * cell);
  const int value = settings::AppSettings.SculptTransparent ? 0 : 255;
  for (int y = 0; y < alpha.Height(); ++y)
    std::memset(alpha.ScanLine(y), value, static_cast<size_t>(alpha.Width()));
}

namespace {

// Rows of an image to paint into: `bytes` per pixel, blue, green and red first.
struct PaintTarget {
  int width = 0, height = 0, bytes = 4;
  std::function<uint8_t*(int)> row;
};

std::string PaintSculptBlock(const PaintTarget& target, int32_t cell, int32_t firstColumn, const TCS& cs,
                             int32_t rows, int32_t columns, int32_t firstRow) {
  const int32_t lastColumn = std::clamp(cs.CPMaxI, 1, kGridMax) - 1;
  const int32_t lastRow = std::clamp(cs.CPMaxJ, 1, kGridMax) - 1;
  firstColumn = std::clamp(firstColumn, 0, lastColumn);
  firstRow = std::clamp(firstRow, 0, lastRow);
  // The part of the block that lies on the grid; the image's rows and columns beyond it repeat
  // the grid's last row or column instead of reading points outside the grid.
  const int32_t realColumns = std::min(columns, lastColumn - firstColumn + 1);
  const int32_t realRows = std::min(rows, lastRow - firstRow + 1);

  const bool box = settings::AppSettings.AutoMaximize;
  TDbl3D lo{}, hi{};
  std::string scale = kUnscaledScaleText;
  if (box) {
    BlockBounds(cs.CP, firstColumn, firstRow, realRows, realColumns, lo, hi);
    scale = FormatScaleText(hi, lo);
  }

  const int w = target.width;
  const int h = target.height;
  const int bytes = target.bytes;
  const int half = cell / 2;
  columns = std::max(columns, 0);
  std::vector<uint32_t> rowColors(static_cast<size_t>(columns));
  // Paints the squares of one image row. Squares of an even cell tile the row from x = 0 on, so
  // their rows are painted once into `line` and copied; with an odd cell the pixels between the
  // squares keep what they held, and every row is painted.
  auto paint = [&](uint8_t* out) {
    for (int32_t i = 0; i < columns; ++i) {
      const int x1 = std::max(i * cell - half, 0);
      const int x2 = std::min(i * cell + half, w);
      const uint32_t c = rowColors[static_cast<size_t>(i)];
      if (bytes == 4) {
        for (int x = x1; x < x2; ++x) std::memcpy(out + int64_t{x} * 4, &c, 4);
      } else {
        const uint8_t blue = static_cast<uint8_t>(c), green = static_cast<uint8_t>(c >> 8),
                      red = static_cast<uint8_t>(c >> 16);
        for (int x = x1; x < x2; ++x) {
          uint8_t* p = out + int64_t{x} * 3;
          p[0] = blue;
          p[1] = green;
          p[2] = red;
        }
      }
    }
  };
  const bool tiled = cell % 2 == 0;
  const int span = columns > 0 ? std::clamp((columns - 1) * cell + half, 0, std::max(w, 0)) : 0;
  std::vector<uint8_t> line(tiled ? static_cast<size_t>(span) * static_cast<size_t>(bytes) : 0);
  std::vector<TDbl3D> rowPoints(static_cast<size_t>(columns));
  for (int32_t y = 0; y < rows; ++y) {
    const int32_t j = std::min(firstRow + rows - 1 - y, lastRow);
    for (int32_t i = 0; i < columns; ++i)
      rowPoints[static_cast<size_t>(i)] = cs.CP[std::min(firstColumn + i, lastColumn)][j];
    EncodePointColors(rowPoints.data(), columns, box, hi, lo, rowColors.data());
    for (uint32_t& c : rowColors) {
      // Colour word (red low) to the image's blue, green, red, x bytes.
      c = ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
    }
    const int y1 = std::max(y * cell - half, 0);
    const int y2 = std::min(y * cell + half, h);  // exclusive
    if (y1 >= y2) continue;
    if (tiled) paint(line.data());
    for (int py = y1; py < y2; ++py) {
      uint8_t* out = target.row(py);
      if (!out) continue;
      if (tiled) {
        if (!line.empty()) std::memcpy(out, line.data(), line.size());
      } else {
        paint(out);
      }
    }
  }
  return BlockDescription(scale, StitchTypeName(cs.CP, firstColumn, firstRow, realColumns, realRows));
}

// The picture of a map of `columnCells` x `rowCells` cells: 24-bit colour (black until painted)
// with the alpha of CreateSculptBitmaps as its alpha channel.
void CreateSculptImage(int32_t columnCells, int32_t rowCells, int32_t cell, rv::TRVBitmap& image) {
  if (!image.Allocate(columnCells * cell, rowCells * cell, rv::rv24RGB)) return;
  image.Fill(0.0);
  rv::TRVBitmap* alpha = image.AlphaBitmap();
  alpha->Fill(settings::AppSettings.SculptTransparent ? 0.0 : 255.0);
  alpha->Full = false;
}

}  // namespace

std::string RenderSculptBlock(platform::TBitmap& color, int32_t cell, int32_t firstColumn, const TCS& cs,
                              int32_t rows, int32_t columns, int32_t firstRow) {
  PaintTarget target;
  target.width = color.Width();
  target.height = color.Height();
  target.bytes = 4;
  target.row = [&color](int y) { return color.ScanLine(y); };
  return PaintSculptBlock(target, cell, firstColumn, cs, rows, columns, firstRow);
}

namespace {

// Points per part along the divided direction (neighbouring parts share their boundary line)
// and the points along it.
void DividedMapParts(const TCS& cs, int32_t& per, int32_t& extent) {
  const int32_t columns = std::clamp(cs.CPMaxI, 2, kGridMax);
  const int32_t rows = std::clamp(cs.CPMaxJ, 2, kGridMax);
  const bool horizontal = settings::AppSettings.DividedHorizontal;
  per = horizontal ? 1024 / (columns - 1) + 1 : 1024 / (rows - 1) + 1;
  extent = horizontal ? rows : columns;
}

}  // namespace

std::vector<std::string> SculptMapFileNames(const TCS& cs, const std::string& fileName) {
  const int32_t columns = std::clamp(cs.CPMaxI, 2, kGridMax);
  const int32_t rows = std::clamp(cs.CPMaxJ, 2, kGridMax);
  if ((columns - 1) * (rows - 1) <= 1024) return {PictureFileName(fileName)};
  int32_t per = 0, extent = 0;
  DividedMapParts(cs, per, extent);
  std::vector<std::string> names;
  int n = 0;
  for (int32_t start = 0; start < extent - 1; start += per - 1) names.push_back(PictureFileName(PartFileName(fileName, ++n)));
  if (settings::AppSettings.OutputTextForKelpo) names.push_back(ChangeFileExt(fileName, ".txt"));
  return names;
}

bool WriteSculptMap(const TCS& cs, std::string& fileName) {
  const int32_t columns = std::clamp(cs.CPMaxI, 2, kGridMax);
  const int32_t rows = std::clamp(cs.CPMaxJ, 2, kGridMax);
  const int32_t cell = SculptCellSize();
  // The maps are painted straight into the image buffer the writer saves: no 32-bit drawing
  // copy to convert for every part.
  rv::TRVBitmap image;
  PaintTarget target;
  target.bytes = 3;
  target.row = [&image](int y) { return image.GetScanLine(y); };
  auto create = [&](int32_t columnCells, int32_t rowCells) {
    CreateSculptImage(columnCells, rowCells, cell, image);
    target.width = image.GetWidth();
    target.height = image.GetHeight();
  };

  if ((columns - 1) * (rows - 1) <= 1024) {
    create(columns - 1, rows - 1);
    PaintSculptBlock(target, cell, 0, cs, rows, columns, 0);
    return SaveImageWithAlpha(fileName, image) == 0;
  }

  const bool horizontal = settings::AppSettings.DividedHorizontal;
  int32_t per = 0, extent = 0;
  DividedMapParts(cs, per, extent);
  if (horizontal)
    create(columns - 1, per - 1);
  else
    create(per - 1, rows - 1);

  std::vector<std::string> lines;
  bool written = true;
  int n = 0;
  for (int32_t start = 0; start < extent - 1; start += per - 1) {
    ++n;
    const std::string description = horizontal ? PaintSculptBlock(target, cell, 0, cs, per, columns, start)
                                               : PaintSculptBlock(target, cell, start, cs, rows, per, 0);
    std::string partName = PartFileName(fileName, n);
    if (SaveImageWithAlpha(partName, image) != 0) written = false;
    lines.push_back(ExtractBaseName(partName) + ":" + description);
  }
  if (settings::AppSettings.OutputTextForKelpo && !WriteTextList(MakeUniqueFileName(fileName, ".txt"), lines))
    written = false;
  return written;
}

}  // namespace shape
