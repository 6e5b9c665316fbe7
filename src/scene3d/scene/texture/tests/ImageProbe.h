#pragma once
// A texture image whose layout a test sets directly, and fills with a counting pattern.
#include <cstdint>
#include <vector>

#include "scene3d/scene/texture/GLGraphics.h"

struct Probe : gl3d::TGLImage {
  void Layout(int32_t w, int32_t h, int32_t d, uint32_t colorFormat, uint32_t dataType,
              gl3d::TGLInternalFormat internal, int32_t elementSize, bool cube = false, bool array = false,
              uint8_t levels = 1) {
    SetLayout(w, h, d, colorFormat, dataType, internal, elementSize, cube, array);
    levelCount_ = levels;
  }
  // Sizes the block for the layout and fills every byte.
  void Fill() {
    SetBlank(false);
    for (uint64_t i = 0; i < HeldBytes(); ++i) GetData()[i] = static_cast<uint8_t>(i * 7 + 3);
  }
  void Rgba(int32_t w, int32_t h, uint8_t levels = 1) {
    Layout(w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, gl3d::tfRGBA8, 4, false, false, levels);
    Fill();
  }
  std::vector<uint8_t> Level(int i) const {
    return std::vector<uint8_t>(LevelAddress(i), LevelAddress(i) + LevelSizeInByte(static_cast<uint8_t>(i)));
  }
};
