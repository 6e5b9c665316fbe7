#pragma once
// TRVView: the base of the image library's view controls. A platform custom control (it draws
// into its window surface at any time) that owns what every view shares: the background colour,
// the frame, the resolution of the shown image and the registry of bitmap-change handlers
// through which the processing and I/O components attached to a view learn that its image was
// exchanged or that the view goes away. The image view (RastovaView.h) derives from it.
//
// The view is the processing component's IRVProcView and the I/O component's TRVIOView: one
// registry, in registration order, serves the handlers of both.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/ui/Control.h"
#include "rastova/core/RastovaProc.h"
#include "rastova/io/RastovaIO.h"

namespace rv {

class TRVView : public platform::TCustomControl, public IRVProcView, public TRVIOView {
 public:
  // A view made with a parent has an owner and a parent window; one without has neither.
  explicit TRVView(QWidget* AOwner = nullptr);
  ~TRVView() override;

  // ---- bitmap-change registry
  // One registration: the handler, called with Destroying.
  struct TBitmapChangeRegistration {
    std::function<void(bool Destroying)> Handler;
  };
  void* AddBitmapChangeHandler(IRVProcView::TBitmapChangeHandler Handler) override;
  void* AddBitmapChangeHandler(TRVIOView::TBitmapChangeHandler Handler) override;
  void RemoveBitmapChangeHandler(void* Registration) override;
  // Calls every handler, first to last, with Destroying false.
  virtual void CallBitmapChangeHandlers();
  int32_t BitmapChangeHandlerCount() const { return static_cast<int32_t>(FBitmapChangeHandlers.size()); }

  // ---- background, frame, resolution
  TColor Background() const { return FBackground; }
  virtual void WriteBackground(TColor Value);
  platform::TBorderStyle ReadBorderStyle() const { return BorderStyle(); }
  // A different value changes the frame (and so the client area); an equal one changes nothing.
  void WriteBorderStyle(platform::TBorderStyle Value);
  bool ReadCtl3D() const { return Ctl3D(); }
  void WriteCtl3D(bool Value);
  bool ParentCtl3D = true;
  int32_t DpiX() const { return FDpiX; }
  int32_t DpiY() const { return FDpiY; }
  // A value of 0 leaves the old one.
  virtual void SetDpiX(int32_t Value);
  virtual void SetDpiY(int32_t Value);
  virtual void SetDPI(int32_t DpiX, int32_t DpiY) override;

  // ---- the image (nothing in the base)
  virtual platform::TBitmap* GetBitmap() override { return nullptr; }
  virtual TRVBitmap* GetRVBitmap() override { return nullptr; }
  virtual TRVBitmap* GetAlphaChannel() = 0;
  virtual bool HasAlphaChannel() = 0;
  virtual void RemoveAlphaChannel(bool Merge) = 0;
  virtual void LockPaint() override = 0;
  virtual int32_t UnlockPaint() override = 0;
  virtual int32_t UnlockPaintNoRefresh() = 0;
  // The image-changed hook; nothing in the base.
  virtual void ImageChange() override {}
  // The view's recompute-and-invalidate. The control's own Update (run the pending paint now)
  // stays reachable as PaintPendingNow.
  virtual void Update() override {}
  void PaintPendingNow() { platform::TCustomControl::Update(); }
  platform::TCanvas& GetCanvas() { return Canvas(); }

  // ---- the components' sides
  TColor GetBackground() override { return FBackground; }
  void SetBackground(TColor Value) override { WriteBackground(Value); }
  // The registry's Destroying call already tells an attached processing component.
  void FreeNotification(TRastovaProc*) override {}
  int32_t GetDpiX() override { return FDpiX; }
  int32_t GetDpiY() override { return FDpiY; }
  bool IsRastovaView() override { return false; }

 protected:
  void* AddRegistration(std::function<void(bool)> Handler);

  std::vector<std::unique_ptr<TBitmapChangeRegistration>> FBitmapChangeHandlers;
  TColor FBackground = platform::clBtnFace;
  int32_t FDpiX = 0;
  int32_t FDpiY = 0;
};

}  // namespace rv
