#include "scene3d/gl/GLRecordingContext.h"

namespace gl3d {

TGLRecordingContext::TGLRecordingContext(int major, int minor) : major_(major), minor_(minor) {}

TGLRecordingContext::~TGLRecordingContext() {
  try {
    if (IsValid()) DestroyContext();
  } catch (...) {
  }
}

std::unique_ptr<TGLContext> TGLRecordingContext::Create() { return std::make_unique<TGLRecordingContext>(); }

void TGLRecordingContext::DoCreateContext(TGLOutputDevice device) {
  device_ = device;
  created_ = true;
  GL().InitializeRecording(major_, minor_);
  if (TGLContext* service = GetServiceContext(); service && service != this && service->IsValid())
    ShareLists(service);
}

void TGLRecordingContext::DoCreateMemoryContext(TGLOutputDevice device, int, int, int) {
  DoCreateContext(device);
}

bool TGLRecordingContext::DoShareLists(TGLContext* other) {
  return dynamic_cast<TGLRecordingContext*>(other) != nullptr;
}

void TGLRecordingContext::DoActivate() {
  ++DoActivateCount;
  if (FailActivation) {
    FailActivation = false;
    throw EAbort();
  }
  if (!GL().Initialized()) GL().InitializeRecording(major_, minor_);
}

}  // namespace gl3d
