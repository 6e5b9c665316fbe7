#pragma once
// The frames a scene buffer draws of what a camera sees, on Mesa through EGL (a pbuffer of
// width x height cleared to gray), for the Mesa tests that compare a scene's picture: one frame
// per render, as RGBA bytes, the bottom row first.
#include <cstdint>
#include <vector>

#include "scene3d/gl/GLEGLContext.h"
#include "scene3d/scene/render/GL3DSceneBuffer.h"

namespace gl3d::test {

inline std::vector<std::vector<uint8_t>> RenderSceneFrames(TGLCamera* camera, int width, int height,
                                                           int renders) {
  std::vector<std::vector<uint8_t>> frames;
  TGLEGLOutput output;
  output.Width = width;
  output.Height = height;
  output.OnFrame = [&](const uint8_t* p, int w, int h) {
    frames.emplace_back(p, p + static_cast<size_t>(w) * h * 4);
  };
  TGL3DSceneBuffer buffer(nullptr);
  buffer.SetBackgroundColor(clGray);
  buffer.SetCamera(camera);
  buffer.SetViewPort(0, 0, width, height);
  buffer.CreateRenderingContext(&output, false, 1);
  for (int i = 0; i < renders; ++i) buffer.Render();
  return frames;
}

}  // namespace gl3d::test
