#include "scene3d/platform/GL3DSceneViewer.h"

#include <QEnterEvent>
#include <QKeyEvent>
#include <QPainter>
#include <algorithm>
#include <cstring>
#include <exception>
#include <string>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "scene3d/gl/GLLog.h"

namespace gl3d {

namespace {

using TPixels4 = uint32_t __attribute__((vector_size(16)));

void SwapRedAndBlueTail(const uint8_t* src, uint8_t* dst, int from, int count) {
  for (int i = from; i < count; ++i) {
    dst[i * 4] = src[i * 4 + 2];
    dst[i * 4 + 1] = src[i * 4 + 1];
    dst[i * 4 + 2] = src[i * 4];
    dst[i * 4 + 3] = 0xFF;
  }
}

#if defined(__x86_64__)
// Eight pixels at a time through one byte shuffle: the copy then costs little more than memcpy.
__attribute__((target("avx2"))) void SwapRedAndBlueShuffle(const uint8_t* src, uint8_t* dst, int count) {
  const __m256i order = _mm256_setr_epi8(2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15, 2, 1, 0, 3, 6,
                                         5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15);
  const __m256i opaque = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i * 4));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i * 4),
                        _mm256_or_si256(_mm256_shuffle_epi8(p, order), opaque));
  }
  SwapRedAndBlueTail(src, dst, i, count);
}
#endif

// One row: RGBA to BGRX, with AVX2 eight pixels at a time, else four.
void SwapRedAndBlue(const uint8_t* src, uint8_t* dst, int count) {
#if defined(__x86_64__)
  static const bool shuffle = __builtin_cpu_supports("avx2");
  if (shuffle) return SwapRedAndBlueShuffle(src, dst, count);
#endif
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    TPixels4 p;
    std::memcpy(&p, src + i * 4, sizeof p);
    const TPixels4 q = (p & 0x0000FF00u) | ((p >> 16) & 0xFFu) | ((p & 0xFFu) << 16) | 0xFF000000u;
    std::memcpy(dst + i * 4, &q, sizeof q);
  }
  SwapRedAndBlueTail(src, dst, i, count);
}

void LogFailure(const char* what, const std::exception_ptr& error) {
  std::string text = what;
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    text += " - ";
    text += e.what();
  } catch (...) {
  }
  gllog::Error(text);
}

}  // namespace

void ApplyVSyncMode(TVSyncMode) {}

void CopyFrameToSurface(const uint8_t* rgba, int width, int height, platform::TBitmap& surface) {
  const int w = std::min(width, surface.Width());
  const int h = std::min(height, surface.Height());
  if (!rgba || w <= 0 || h <= 0) return;
  const size_t rowBytes = static_cast<size_t>(width) * 4;
  for (int y = 0; y < h; ++y)
    SwapRedAndBlue(rgba + static_cast<size_t>(height - 1 - y) * rowBytes, surface.ScanLine(y), w);
}

// Hears that the viewer's camera is freed.
class TGL3DSceneViewer::TCameraWatch : public TComponent {
 public:
  explicit TCameraWatch(TGL3DSceneViewer& viewer) : TComponent(nullptr), viewer_(viewer) {}
  void Notification(TComponent* component, TOperation operation) override {
    if (operation == opRemove && component == viewer_.buffer_->Camera()) viewer_.buffer_->SetCamera(nullptr);
    TComponent::Notification(component, operation);
  }

 private:
  TGL3DSceneViewer& viewer_;
};

TGL3DSceneViewer::TGL3DSceneViewer(QWidget* parent)
    : platform::TCustomControl(parent),
      buffer_(std::make_unique<TGL3DSceneBuffer>(nullptr)),
      cameraWatch_(std::make_unique<TCameraWatch>(*this)) {
  resize(100, 100);
  buffer_->OnFrameSetup = [this](TObject*) { DoSetupVSync(); };
  buffer_->OnChange = [this](TObject*) { DoBufferChange(); };
  buffer_->OnStructuralChange = [this](TObject*) { DoBufferStructuralChange(); };
  output_.OnFrame = [this](const uint8_t* pixels, int width, int height) {
    CopyFrameToSurface(pixels, width, height, Surface());
    SurfaceChanged(platform::Rect(0, 0, width, height));
  };
}

TGL3DSceneViewer::~TGL3DSceneViewer() {
  try {
    buffer_->DestroyRenderingContext();
  } catch (...) {
    LogFailure("Scene viewer: releasing the rendering context failed", std::current_exception());
  }
  output_.OnFrame = nullptr;
  cameraWatch_.reset();
  buffer_.reset();
}

void TGL3DSceneViewer::SetCamera(TGLCamera* camera) {
  if (TGLCamera* old = buffer_->Camera()) old->RemoveFreeNotification(cameraWatch_.get());
  buffer_->SetCamera(camera);
  if (TGLCamera* taken = buffer_->Camera()) taken->FreeNotification(cameraWatch_.get());
}

float TGL3DSceneViewer::FieldOfView() const {
  const TGLCamera* camera = buffer_->Camera();
  return camera ? camera->GetFieldOfView(static_cast<float>(std::min(width(), height()))) : 0;
}

void TGL3DSceneViewer::SetFieldOfView(float value) {
  if (TGLCamera* camera = buffer_->Camera())
    camera->SetFieldOfView(value, static_cast<float>(std::min(width(), height())));
}

void TGL3DSceneViewer::DoBufferChange() {
  if (!buffer_->Rendering()) Invalidate();
}

void TGL3DSceneViewer::DoBufferStructuralChange() {
  // The options take effect through a new context, made at the next paint.
  try {
    buffer_->DestroyRenderingContext();
  } catch (...) {
    LogFailure("Scene viewer: releasing the rendering context failed", std::current_exception());
  }
  Invalidate();
}

bool TGL3DSceneViewer::EnsureContext() {
  if (buffer_->HasRenderingContext()) return true;
  try {
    output_.Width = std::max(width(), 1);
    output_.Height = std::max(height(), 1);
    buffer_->SetViewPort(0, 0, width(), height());
    buffer_->CreateRenderingContext(&output_, false, 1);
    return true;
  } catch (...) {
    LogFailure("Scene viewer: the rendering context cannot be made", std::current_exception());
    return false;
  }
}

void TGL3DSceneViewer::FillBackground() {
  QImage image = Surface().Image();
  if (image.isNull()) return;
  {
    QPainter p(&image);
    p.fillRect(image.rect(), platform::ToQColor(Color()));
  }
  SurfaceChanged(ClientRect());
}

void TGL3DSceneViewer::Paint() {
  if (!isVisible() || width() <= 0 || height() <= 0) return;
  if (!EnsureContext()) return FillBackground();
  try {
    if (auto* context = dynamic_cast<TGLEGLContext*>(buffer_->RenderingContext()))
      context->Resize(width(), height());
    buffer_->Render();
  } catch (...) {
    LogFailure("Scene viewer: the frame failed", std::current_exception());
    FillBackground();
  }
}

void TGL3DSceneViewer::Resize() {
  try {
    buffer_->SetViewPort(0, 0, width(), height());
  } catch (...) {
    LogFailure("Scene viewer: the viewport cannot be set", std::current_exception());
  }
  platform::TCustomControl::Resize();
}

void TGL3DSceneViewer::showEvent(QShowEvent* event) {
  platform::TCustomControl::showEvent(event);
  EnsureContext();
  Invalidate();
}

void TGL3DSceneViewer::enterEvent(QEnterEvent* event) {
  mouseInside_ = true;
  platform::TCustomControl::enterEvent(event);
}

void TGL3DSceneViewer::leaveEvent(QEvent* event) {
  mouseInside_ = false;
  platform::TCustomControl::leaveEvent(event);
}

bool TGL3DSceneViewer::event(QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride) {
    switch (static_cast<QKeyEvent*>(event)->key()) {
      case Qt::Key_Left:
      case Qt::Key_Right:
      case Qt::Key_Up:
      case Qt::Key_Down:
        event->accept();
        return true;
      default:
        break;
    }
  }
  return platform::TCustomControl::event(event);
}

}  // namespace gl3d
