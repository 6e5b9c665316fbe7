#include "shape/PictureFiles.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "common/CodePage.h"
#include "common/Round.h"
#include "platform/gfx/Bitmap.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RastovaProc.h"
#include "rastova/io/RVFileFormat.h"
#include "rastova/io/RastovaIO.h"
#include "settings/AppSettings.h"
#include "shape/OutputNames.h"
#include "shape/TextureBitmaps.h"
#include "shape/model/uScPrim.h"

namespace shape {

namespace {

bool IsPngName(const std::string& fileName) {
  std::string ext = ExtractFileExt(fileName);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::toupper(c); });
  return ext == ".PNG";
}

// The colour bitmap as a 24-bit image buffer with the alpha bitmap as its alpha channel (of the
// colour's size; what the alpha bitmap does not cover stays opaque).
std::unique_ptr<rv::TRVBitmap> MakeImageWithAlpha(const platform::TBitmap& color,
                                                  const platform::TBitmap& alpha) {
  const int w = color.Width();
  const int h = color.Height();
  if (w <= 0 || h <= 0 || color.PixelFormat() != platform::pf32bit)
    throw EPictureLoadError("The colour image is empty or not 32 bits per pixel");
  auto image = std::make_unique<rv::TRVBitmap>();
  if (!image->Allocate(w, h, rv::rv24RGB)) throw EPictureLoadError("Out of memory for the picture");
  for (int y = 0; y < h; ++y) {
    const uint8_t* src = color.ScanLine(y);
    uint8_t* dst = image->GetScanLine(y);
    for (int x = 0; x < w; ++x, src += 4, dst += 3) {
      dst[0] = src[0];
      dst[1] = src[1];
      dst[2] = src[2];
    }
  }
  rv::TRVBitmap* a = image->AlphaBitmap();  // created all 255
  const bool indices = alpha.PixelFormat() == platform::pf8bit;
  const int aw = std::min(w, alpha.Width());
  const int ah = std::min(h, alpha.Height());
  for (int y = 0; y < ah; ++y) {
    uint8_t* dst = a->GetScanLine(y);
    if (indices) {
      std::memcpy(dst, alpha.ScanLine(y), static_cast<size_t>(aw));
    } else {
      // Not an 8-bit alpha bitmap: its grey level is the opacity.
      for (int x = 0; x < aw; ++x) {
        const platform::TColor c = alpha.PixelColor(x, y);
        dst[x] = static_cast<uint8_t>(
            (platform::GetRValue(c) * 21 + platform::GetGValue(c) * 71 + platform::GetBValue(c) * 8) / 100);
      }
    }
  }
  a->Full = false;
  return image;
}

// The fading table: min(255, nearest(0.4 v + 153)).
const std::array<uint8_t, 256>& FadeTable() {
  static const std::array<uint8_t, 256> table = [] {
    std::array<uint8_t, 256> t{};
    for (int v = 0; v < 256; ++v)
      t[v] = static_cast<uint8_t>(std::min<int64_t>(255, common::Round(0.4 * v + 153)));
    return t;
  }();
  return table;
}

// Copies the rows of a part (x, y, w, h) of the colour and alpha bitmaps into new part bitmaps.
void CopyPart(const platform::TBitmap& color, const platform::TBitmap& alpha, int x, int y, int w, int h,
              platform::TBitmap& partColor, platform::TBitmap& partAlpha) {
  partColor.SetSize(w, h);
  partAlpha.SetSize(w, h);
  for (int r = 0; r < h; ++r) {
    std::memcpy(partColor.ScanLine(r), color.ScanLine(y + r) + int64_t{x} * 4, static_cast<size_t>(w) * 4);
    std::memcpy(partAlpha.ScanLine(r), alpha.ScanLine(y + r) + x, static_cast<size_t>(w));
  }
}

}  // namespace

void ResamplePictureLanczos3(rv::TRVBitmap& bitmap, int32_t width, int32_t height) {
  rv::TRastovaProc proc;
  proc.SetAttachedRVBitmap(&bitmap);
  proc.Resample(width, height, rv::rfLanczos3);
  if (bitmap.GetWidth() != width || bitmap.GetHeight() != height)
    throw EPictureLoadError("The picture could not be resampled");
}

void LoadedPictureTo24Bit(rv::TRVBitmap& bitmap) {
  if (bitmap.GetPixelFormat() != rv::rv24RGB) bitmap.ConvertToPixelFormat(rv::rv24RGB);
  if (bitmap.IsEmpty() || bitmap.GetPixelFormat() != rv::rv24RGB)
    throw EPictureLoadError("The picture could not be converted to 24-bit colour");
}

std::string LoadPictureFile(const std::string& fileName, rv::TRVBitmap& bitmap) {
  rv::TRastovaIO io(&bitmap);
  io.LoadFromFile(fileName);
  // The component reports a failed load through Aborting; a half-read picture is no picture.
  if (io.Aborting || bitmap.IsEmpty())
    throw EPictureLoadError("Cannot load the picture \"" + fileName + "\"");
  return io.Params.FileType == rv::ioTGA ? io.Params.TGA_Author : std::string();
}

void CopyRVBitmapToColor(rv::TRVBitmap& source, platform::TBitmap& color) {
  const int w = source.GetWidth();
  const int h = source.GetHeight();
  color.SetPixelFormat(platform::pf32bit);
  color.SetSize(w, h);
  if (source.GetPixelFormat() == rv::rv24RGB) {
    for (int y = 0; y < h; ++y) {
      const uint8_t* src = source.GetScanLine(y);
      uint8_t* dst = color.ScanLine(y);
      for (int x = 0; x < w; ++x, src += 3, dst += 4) {
        dst[0] = src[0];
        dst[1] = src[1];
        dst[2] = src[2];
        dst[3] = 0;
      }
    }
    return;
  }
  for (int y = 0; y < h; ++y) {
    uint8_t* dst = color.ScanLine(y);
    for (int x = 0; x < w; ++x, dst += 4) {
      const rv::TRGB c = source.GetPixels(x, y);
      dst[0] = c.b;
      dst[1] = c.g;
      dst[2] = c.r;
      dst[3] = 0;
    }
  }
}

void CopyRVAlphaToAlpha(rv::TRVBitmap& alpha, platform::TBitmap& target) {
  const int w = alpha.GetWidth();
  const int h = alpha.GetHeight();
  target.SetPixelFormat(platform::pf8bit);
  target.SetSize(w, h);
  for (int y = 0; y < h; ++y) std::memcpy(target.ScanLine(y), alpha.GetScanLine(y), static_cast<size_t>(w));
}

std::string PictureFileName(const std::string& fileName) {
  return ChangeFileExt(fileName, IsPngName(fileName) ? ".png" : ".tga");
}

int32_t SaveImageWithAlpha(std::string& fileName, const platform::TBitmap& color,
                           const platform::TBitmap& alpha) {
  std::unique_ptr<rv::TRVBitmap> image;
  try {
    image = MakeImageWithAlpha(color, alpha);
  } catch (...) {
    NoteSavedFile(PictureFileName(fileName), false);
    return -1;
  }
  return SaveImageWithAlpha(fileName, *image);
}

namespace {

// SaveImageWithAlpha without noting the file.
int32_t StoreImageWithAlpha(std::string& fileName, rv::TRVBitmap& image) {
  try {
    if (image.IsEmpty() || image.GetPixelFormat() != rv::rv24RGB) return -1;
    const bool png = IsPngName(fileName);
    rv::TRastovaIO io(&image);
    // The image name is that of the name asked for, before any renaming.
    const std::string imageName = ExtractBaseName(fileName);
    if (png) {
      io.Params.PNG_TextKeys = {"Author", "ImageName"};
      io.Params.PNG_TextValues = {kPngAuthor, imageName};
      io.Params.PNG_Interlaced = false;
      io.Params.PNG_Compression = 9;
      fileName = MakeUniqueFileName(fileName, ".png");
      io.SaveToFilePNG(fileName);
    } else {
      io.Params.TGA_Author = kTgaAuthor;
      io.Params.TGA_ImageName = common::Utf8ToCp1252(imageName);
      io.Params.TGA_Compressed = true;
      fileName = MakeUniqueFileName(fileName, ".tga");
      io.SaveToFileTGA(fileName);
    }
    return io.Aborting ? -1 : 0;
  } catch (...) {
    return -1;
  }
}

}  // namespace

int32_t SaveImageWithAlpha(std::string& fileName, rv::TRVBitmap& image) {
  const int32_t result = StoreImageWithAlpha(fileName, image);
  NoteSavedFile(result == 0 ? fileName : PictureFileName(fileName), result == 0);
  return result;
}

void LoadTextureFile(const std::string& fileName) {
  rv::TRVBitmap picture;
  LoadPictureFile(fileName, picture);
  LoadedPictureTo24Bit(picture);
  ResamplePictureLanczos3(picture, TextureWidth, TextureHeight);
  // Nothing of the texture changes before the picture is ready.
  TTextureBitmaps& t = TextureBitmaps();
  CopyRVBitmapToColor(picture, t.LoadedColor);
  if (picture.HasAlphaBitmap()) {
    CopyRVAlphaToAlpha(*picture.AlphaBitmap(), t.LoadedAlpha);
  } else {
    // No alpha in the file: the texture is opaque (not the alpha of the previous texture).
    t.LoadedAlpha.SetPixelFormat(platform::pf8bit);
    t.LoadedAlpha.SetSize(TextureWidth, TextureHeight);
    for (int y = 0; y < t.LoadedAlpha.Height(); ++y)
      std::memset(t.LoadedAlpha.ScanLine(y), 255, static_cast<size_t>(t.LoadedAlpha.Width()));
  }
  t.BaseColor.SetSize(t.LoadedColor.Width(), t.LoadedColor.Height());
  CopyColorPixels(t.LoadedColor, t.BaseColor);
  CopyAlphaRows(t.LoadedAlpha, t.BaseAlpha);
}

void FadeBitmap(rv::TRVBitmap& bitmap) {
  if (bitmap.GetPixelFormat() != rv::rv24RGB) return;
  const std::array<uint8_t, 256>& fade = FadeTable();
  const int w = bitmap.GetWidth();
  for (int y = 0; y < bitmap.GetHeight(); ++y) {
    uint8_t* row = bitmap.GetScanLine(y);
    for (int k = 0; k < w * 3; ++k) row[k] = fade[row[k]];
  }
}

int32_t LoadBackgroundPicture(const std::string& fileName, platform::TBitmap& bitmap) {
  try {
    rv::TRVBitmap picture;
    LoadPictureFile(fileName, picture);
    LoadedPictureTo24Bit(picture);
    ResamplePictureLanczos3(picture, kBackgroundSize, kBackgroundSize);
    FadeBitmap(picture);
    if (bitmap.PixelFormat() != platform::pf24bit) bitmap.SetPixelFormat(platform::pf32bit);
    bitmap.SetSize(kBackgroundSize, kBackgroundSize);
    const int bpp = bitmap.PixelFormat() == platform::pf24bit ? 3 : 4;
    for (int y = 0; y < kBackgroundSize; ++y) {
      const uint8_t* src = picture.GetScanLine(y);
      uint8_t* dst = bitmap.ScanLine(y);
      for (int x = 0; x < kBackgroundSize; ++x, src += 3, dst += bpp) std::memcpy(dst, src, 3);
    }
    return 0;
  } catch (...) {
    return -1;
  }
}

bool LoadPictureWithAlpha(const std::string& fileName, platform::TBitmap& color, platform::TBitmap& alpha) {
  try {
    rv::TRVBitmap picture;
    LoadPictureFile(fileName, picture);
    LoadedPictureTo24Bit(picture);
    CopyRVBitmapToColor(picture, color);
    if (picture.HasAlphaBitmap()) {
      CopyRVAlphaToAlpha(*picture.AlphaBitmap(), alpha);
    } else {
      alpha.SetPixelFormat(platform::pf8bit);
      alpha.SetSize(color.Width(), color.Height());
      for (int y = 0; y < alpha.Height(); ++y)
        std::memset(alpha.ScanLine(y), 255, static_cast<size_t>(alpha.Width()));
    }
    return color.Width() > 0;
  } catch (...) {
    return false;
  }
}

namespace {

int32_t DividedParts(int32_t columns, int32_t rows) {
  if (columns <= 0 || rows <= 0 || columns > 1024 || rows > 1024) return 0;
  return settings::AppSettings.DividedHorizontal ? rows / (1024 / columns) : columns / (1024 / rows);
}

std::string DividedPartName(const std::string& base, const std::string& ext, int32_t p) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%02d", p + 1);
  return base + "-" + digits + ext;
}

}  // namespace

std::vector<std::string> DividedImageFileNames(const std::string& base, const std::string& ext, int32_t columns,
                                               int32_t rows) {
  std::vector<std::string> names;
  for (int32_t p = 0; p < DividedParts(columns, rows); ++p)
    names.push_back(PictureFileName(DividedPartName(base, ext, p)));
  return names;
}

bool SaveDividedImage(const std::string& base, const std::string& ext, const std::string& textureFile,
                      int32_t columns, int32_t rows) {
  if (columns <= 0 || rows <= 0 || columns > 1024 || rows > 1024) return false;
  platform::TBitmap color(0, 0, platform::pf32bit), alpha(0, 0, platform::pf8bit);
  if (!(FileNameTaken(textureFile) && LoadPictureWithAlpha(textureFile, color, alpha))) {
    const TTextureBitmaps& t = TextureBitmaps();
    color.Assign(t.BaseColor);
    alpha.Assign(t.BaseAlpha);
    if (alpha.Width() != color.Width() || alpha.Height() != color.Height()) {
      alpha.SetSize(color.Width(), color.Height());
    }
  }
  const bool horizontal = settings::AppSettings.DividedHorizontal;
  const int32_t n = DividedParts(columns, rows);
  if (n <= 0 || color.Empty()) return false;
  bool written = true;
  const int32_t size = horizontal ? color.Height() : color.Width();
  platform::TBitmap partColor(0, 0, platform::pf32bit), partAlpha(0, 0, platform::pf8bit);
  for (int32_t p = 0; p < n; ++p) {
    const int32_t from = common::RoundInt(static_cast<double>(size) * p / n);
    const int32_t to = common::RoundInt(static_cast<double>(size) * (p + 1) / n);
    if (to <= from) continue;
    if (horizontal)
      CopyPart(color, alpha, 0, from, color.Width(), to - from, partColor, partAlpha);
    else
      CopyPart(color, alpha, from, 0, to - from, color.Height(), partColor, partAlpha);
    std::string partName = DividedPartName(base, ext, p);
    if (SaveImageWithAlpha(partName, partColor, partAlpha) != 0) written = false;
  }
  return written;
}

}  // namespace shape
