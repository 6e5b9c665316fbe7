#pragma once
// The picture layer of the 3D library: graphics that load themselves from streams (a 24/32-bit
// bitmap and a PNG image, Bitmap.h and PngImage.h) and the picture that holds one of them
// (Picture.h). Texture images take their pixels from these; the layer needs neither the GUI
// library nor the image library.
#include <cstdint>
#include <memory>
#include <string>

#include "common/Exception.h"
#include "scene3d/base/BaseClasses.h"
#include "scene3d/base/Classes.h"

namespace gl3d {

// A picture's data cannot be read: "Bitmap image is not valid" for bitmaps, "PNG image is not
// valid" for PNG images, "Unknown picture file extension (.<ext>)" for a file name whose
// extension no registered format claims.
class EInvalidGraphic : public common::Exception {
 public:
  using Exception::Exception;
};

class TGraphic;
class TBitmap;

// A graphic class is the function that makes a new, empty graphic of it.
using TGraphicClass = std::unique_ptr<TGraphic> (*)();

// A colour of the GUI library: red in the low byte, green next, blue third.
using TColor = int32_t;

class TGraphic : public TPersistent {
 public:
  const char* ClassName() const override { return "TGraphic"; }
  virtual TGraphicClass GraphicClass() const = 0;
  // A new, empty graphic of the same class.
  std::unique_ptr<TGraphic> NewInstance() const { return GraphicClass()(); }

  virtual bool Empty() const = 0;
  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;

  // A reader starts at the stream's position and stops after its data; on failure it raises
  // EInvalidGraphic and the graphic keeps what it held.
  virtual void LoadFromStream(TStream& stream) = 0;
  virtual void SaveToStream(TStream& stream) const = 0;
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName) const;

  // Draws the graphic over the rectangle (left, top, width, height) of `target`, each target pixel
  // taking the nearest source pixel; parts outside the target are clipped.
  virtual void StretchDraw(TBitmap& target, int32_t left, int32_t top, int32_t width,
                           int32_t height) const = 0;
  void Draw(TBitmap& target, int32_t left, int32_t top) const {
    StretchDraw(target, left, top, Width(), Height());
  }

  // Fired after the graphic's contents changed through one of its own operations.
  TNotifyEvent OnChange;

 protected:
  void Changed() {
    if (OnChange) OnChange(this);
  }
};

}  // namespace gl3d
