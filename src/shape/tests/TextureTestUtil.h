#pragma once
// The texture bitmaps for one test: created, sized by a shape's grid and freed afterwards.
#include <memory>

#include "shape/TextureBitmaps.h"
#include "shape/model/LineMarks.h"
#include "shape/tests/ShapeIoTestUtil.h"

namespace shape_test {

class TextureFixture {
 public:
  TextureFixture() {
    shape::CreateTextureBitmaps();
    shape::FillLineMarks(shape::ColumnMarks, 1);
    shape::FillLineMarks(shape::RowMarks, 1);
    shape::ShowTextureGrid = true;
  }
  ~TextureFixture() {
    shape::FreeTextureBitmaps();
    shape::FillLineMarks(shape::ColumnMarks, 1);
    shape::FillLineMarks(shape::RowMarks, 1);
    shape::ShowTextureGrid = true;
  }
  shape::TTextureBitmaps& T() { return shape::TextureBitmaps(); }

 private:
  SettingsGuard guard_;
};

inline int CountColor(const platform::TBitmap& b, platform::TColor color) {
  int n = 0;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) n += b.PixelColor(x, y) == color;
  return n;
}

}  // namespace shape_test
