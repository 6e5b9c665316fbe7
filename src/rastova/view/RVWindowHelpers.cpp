#include "rastova/view/RVWindowHelpers.h"

#include <QWidget>
#include <algorithm>

#include "platform/ui/Keys.h"

namespace rv {

namespace {

platform::TScrollInfo ScrollInfo(uint32_t mask, int32_t min, int32_t max, int32_t page, int32_t pos) {
  platform::TScrollInfo info;
  info.fMask = mask;
  info.nMin = min;
  info.nMax = max;
  info.nPage = static_cast<uint32_t>(std::max(page, 0));
  info.nPos = pos;
  return info;
}

}  // namespace

void SetScrollBarInfo(QWidget* Wnd, int32_t Bar, int32_t Min, int32_t Max, int32_t Page, int32_t Pos,
                      bool Redraw, bool Flat) {
  SetScrollInfoEx(
      Wnd, Bar, ScrollInfo(platform::SIF_RANGE | platform::SIF_PAGE | platform::SIF_POS, Min, Max, Page, Pos),
      Flat, Redraw);
}

void SetScrollBarRange(QWidget* Wnd, int32_t Bar, int32_t Min, int32_t Max, bool Redraw, bool Flat) {
  SetScrollInfoEx(Wnd, Bar, ScrollInfo(platform::SIF_RANGE, Min, Max, 0, 0), Flat, Redraw);
}

void SetScrollBarPos(QWidget* Wnd, int32_t Bar, int32_t Pos, bool Redraw, bool Flat) {
  SetScrollInfoEx(Wnd, Bar, ScrollInfo(platform::SIF_POS, 0, 0, 0, Pos), Flat, Redraw);
}

int32_t SetScrollInfoEx(QWidget* Wnd, int32_t Bar, const platform::TScrollInfo& Info, bool /*Flat*/,
                        bool Redraw) {
  return platform::SetScrollInfo(Wnd, Bar, Info, Redraw);
}

bool EnableScrollBarEx(QWidget* Wnd, int32_t Bar, uint32_t Arrows, bool /*Flat*/) {
  return platform::EnableScrollBar(Wnd, Bar, Arrows);
}

bool ShowScrollBarEx(QWidget* Wnd, int32_t Bar, bool Show, bool /*Flat*/) {
  return platform::ShowScrollBar(Wnd, Bar, Show);
}

bool PrimaryMouseButtonDown() { return platform::GetKeyState(platform::VK_LBUTTON) < 0; }

uintptr_t OwnerWindowHandle(QObject* Component) {
  for (QObject* o = Component; o != nullptr; o = o->parent()) {
    auto* widget = qobject_cast<QWidget*>(o);
    if (widget && widget->internalWinId() != 0) return static_cast<uintptr_t>(widget->internalWinId());
  }
  return 0;
}

}  // namespace rv
