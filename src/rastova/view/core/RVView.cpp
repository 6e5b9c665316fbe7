#include "rastova/view/core/RVView.h"

#include <algorithm>

namespace rv {

TRVView::TRVView(QWidget* AOwner) : platform::TCustomControl(AOwner) {
  OnMouseEnter = nullptr;
  OnMouseLeave = nullptr;
  FBackground = platform::clBtnFace;
  WriteBorderStyle(platform::bsSingle);
  WriteCtl3D(true);
}

TRVView::~TRVView() {
  // Each handler is told once and must then only forget the view; the registration is freed here.
  while (!FBitmapChangeHandlers.empty()) {
    std::unique_ptr<TBitmapChangeRegistration> first = std::move(FBitmapChangeHandlers.front());
    FBitmapChangeHandlers.erase(FBitmapChangeHandlers.begin());
    if (first->Handler) first->Handler(true);
  }
}

void* TRVView::AddRegistration(std::function<void(bool)> Handler) {
  auto registration = std::make_unique<TBitmapChangeRegistration>();
  registration->Handler = std::move(Handler);
  void* result = registration.get();
  FBitmapChangeHandlers.push_back(std::move(registration));
  return result;
}

void* TRVView::AddBitmapChangeHandler(IRVProcView::TBitmapChangeHandler Handler) {
  IRVProcView* self = this;
  return AddRegistration([self, Handler](bool destroying) {
    if (Handler) Handler(self, destroying);
  });
}

void* TRVView::AddBitmapChangeHandler(TRVIOView::TBitmapChangeHandler Handler) {
  return AddRegistration([Handler](bool destroying) {
    if (Handler) Handler(destroying);
  });
}

void TRVView::RemoveBitmapChangeHandler(void* Registration) {
  if (!Registration) return;
  auto it = std::find_if(FBitmapChangeHandlers.begin(), FBitmapChangeHandlers.end(),
                         [Registration](const auto& r) { return r.get() == Registration; });
  if (it != FBitmapChangeHandlers.end()) FBitmapChangeHandlers.erase(it);
}

void TRVView::CallBitmapChangeHandlers() {
  // A handler may add or remove registrations: walk by index over those present at the start.
  std::vector<TBitmapChangeRegistration*> current;
  for (const auto& r : FBitmapChangeHandlers) current.push_back(r.get());
  for (TBitmapChangeRegistration* r : current) {
    const bool stillThere = std::any_of(FBitmapChangeHandlers.begin(), FBitmapChangeHandlers.end(),
                                        [r](const auto& x) { return x.get() == r; });
    if (stillThere && r->Handler) r->Handler(false);
  }
}

void TRVView::WriteBackground(TColor Value) { FBackground = Value; }

void TRVView::WriteBorderStyle(platform::TBorderStyle Value) {
  if (Value != BorderStyle()) SetBorderStyle(Value);
}

void TRVView::WriteCtl3D(bool Value) {
  if (Value != Ctl3D()) SetCtl3D(Value);
}

void TRVView::SetDpiX(int32_t Value) {
  if (Value != 0) FDpiX = Value;
}

void TRVView::SetDpiY(int32_t Value) {
  if (Value != 0) FDpiY = Value;
}

void TRVView::SetDPI(int32_t DpiX, int32_t DpiY) {
  SetDpiX(DpiX);
  SetDpiY(DpiY);
}

}  // namespace rv
