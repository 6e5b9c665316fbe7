#pragma once
// The shape's picture files: the one writer that stores a colour image with an 8-bit alpha image
// as PNG or Targa marked with the program's author text, the loading of textures and background
// pictures at their fixed sizes, and the saving of a texture in parts that match a divided
// sculpt map. Every load and save goes through the image library's I/O component, created and
// freed within the call; a load it reports as failed is an EPictureLoadError.
#include <cstdint>
#include <string>
#include <vector>

#include "common/Exception.h"

namespace platform {
class TBitmap;
}
namespace rv {
class TRVBitmap;
}

namespace shape {

// A picture file that could not be loaded (the I/O component reported a failure or left no image).
class EPictureLoadError : public common::Exception {
 public:
  using common::Exception::Exception;
};

// Author marks of the written files.
inline constexpr char kPngAuthor[] = "DURIM PROJECT";
inline constexpr char kTgaAuthor[] = "DURIM PROJECT Ver.3.0";
// Size of a background picture.
constexpr int32_t kBackgroundSize = 511;

// Loads `fileName` into `bitmap` through the I/O component (format by extension) and returns the
// Targa author text ("" for other formats). Throws EPictureLoadError when the component reports
// a failure or leaves no image; errors the component raises pass through.
std::string LoadPictureFile(const std::string& fileName, rv::TRVBitmap& bitmap);

// Stores the 32-bit colour bitmap with the 8-bit alpha bitmap (its pixel values are the opacity):
// PNG when the extension is ".png" in any case, else Targa, under the name MakeUniqueFileName
// gives, which comes back in `fileName`. 0 on success, -1 when anything failed (nothing is
// shown; `fileName` then holds what it was given or the name chosen before the failure).
// The name SaveImageWithAlpha writes for `fileName` (before any renaming): its extension
// replaced by ".png" when it is ".png" in any case, else by ".tga" ("tex" gives "tex.tga").
std::string PictureFileName(const std::string& fileName);
// Each call notes the file it stored or failed to store (NoteSavedFile).
int32_t SaveImageWithAlpha(std::string& fileName, const platform::TBitmap& color,
                           const platform::TBitmap& alpha);
// The same for a 24-bit image buffer that carries the alpha as its alpha channel (the sculpt-map
// writer paints its maps straight into one). The image is not changed.
int32_t SaveImageWithAlpha(std::string& fileName, rv::TRVBitmap& image);

// Loads a texture picture, resampled (Lanczos, radius 3) to TextureWidth x TextureHeight, into
// the loaded pair and copies it into the base pair. A picture without alpha gets an opaque
// alpha. Errors reach the caller; the bitmaps then keep what they held.
void LoadTextureFile(const std::string& fileName);

// Brings a loaded picture to 24-bit colour. Throws EPictureLoadError when it cannot.
void LoadedPictureTo24Bit(rv::TRVBitmap& bitmap);
// Scales `bitmap` (alpha channel included) to width x height with the Lanczos filter of radius
// 3 (a processing component made for the call). Throws EPictureLoadError when the image does
// not come out at that size.
void ResamplePictureLanczos3(rv::TRVBitmap& bitmap, int32_t width, int32_t height);

// Fills `bitmap` (left as 24 or made 32 bits per pixel) with the faded picture at 511 x 511.
// 0 on success, -1 when anything failed.
int32_t LoadBackgroundPicture(const std::string& fileName, platform::TBitmap& bitmap);

// Lightens a 24-bit picture in place: every byte v becomes min(255, nearest(0.4 v + 153)).
void FadeBitmap(rv::TRVBitmap& bitmap);

// Both bitmaps take the picture's own size: colour 32 bits per pixel, alpha 8 bits (all 255 when
// the picture has none). True when a picture wider than 0 was loaded; false on any error.
bool LoadPictureWithAlpha(const std::string& fileName, platform::TBitmap& color, platform::TBitmap& alpha);

// Saves the texture in parts: the picture of `textureFile` when it loads, else the base pair.
// With "Divided Horizontal" on, N = rows div (1024 div columns) parts stacked from the top; off,
// N = columns div (1024 div rows) side by side; part p covers nearest(size * p / N) up to
// nearest(size * (p + 1) / N). Part p is saved as base + "-" + (p + 1, two digits) + ext, so
// part 01 is the top (or left) of the texture, the other way round from the sculpt-map parts.
// True when every part was written; false when a part failed or there was nothing to divide.
// The parts' names SaveDividedImage writes, before any renaming.
std::vector<std::string> DividedImageFileNames(const std::string& base, const std::string& ext, int32_t columns,
                                               int32_t rows);
bool SaveDividedImage(const std::string& base, const std::string& ext, const std::string& textureFile,
                      int32_t columns, int32_t rows);

// Image buffer <-> drawing-layer bitmap copies (24-bit RGB <-> 32-bit colour, 8-bit alpha).
// The target takes the source's size.
void CopyRVBitmapToColor(rv::TRVBitmap& source, platform::TBitmap& color);
void CopyRVAlphaToAlpha(rv::TRVBitmap& alpha, platform::TBitmap& target);

}  // namespace shape
