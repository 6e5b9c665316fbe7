#pragma once
// The start of a frame drawn by bare GL calls the way the scene buffer draws the Mesa tests'
// scenes: a size x size framebuffer object with colour and depth, cleared to gray, depth test and
// culling on, and the projection and view of a camera at (0, 0, 3) looking at the origin (focal
// length 50, depth of view 100, 96 DPI). The objects stay alive with the context.
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

#include "scene3d/gl/GLExtensionsAndEntryPoints.h"

namespace gl3d::test {

inline void BeginBareCameraFrame(TGLExtensionsAndEntryPoints& gl, int size) {
  GLuint fbo = 0, colour = 0, depth = 0;
  gl.GenFramebuffers(1, &fbo);
  gl.BindFramebuffer(GL_FRAMEBUFFER, fbo);
  gl.GenRenderbuffers(1, &colour);
  gl.BindRenderbuffer(GL_RENDERBUFFER, colour);
  gl.RenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, size, size);
  gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
  gl.GenRenderbuffers(1, &depth);
  gl.BindRenderbuffer(GL_RENDERBUFFER, depth);
  gl.RenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, size, size);
  gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
  gl.Viewport(0, 0, size, size);
  gl.ClearColor(128 / 255.0f, 128 / 255.0f, 128 / 255.0f, 1);
  gl.Clear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  gl.Enable(GL_DEPTH_TEST);
  gl.Enable(GL_CULL_FACE);
  gl.MatrixMode(GL_PROJECTION);
  gl.LoadIdentity();
  const double zNear = 50.0 * 2 * 96 / (25.4 * size);
  gl.Frustum(-0.5, 0.5, -0.5, 0.5, zNear, zNear + 100);
  gl.MatrixMode(GL_MODELVIEW);
  gl.LoadIdentity();
  gluLookAt(0, 0, 3, 0, 0, 0, 0, 1, 0);
}

}  // namespace gl3d::test
