#pragma once
// The scroll bars of a window, kept as the window system keeps them: one horizontal and one
// vertical bar per window, each with a range Min..Max, a page and a position, set through one
// record whose mask names the parts to change.
//
// The bars are Qt scroll bars made on first use as children of the window and kept along its
// bottom and right edges; they lie over the window's own pixels (the window does not shrink),
// so a window that shows them keeps its content out of ScrollBarExtent at those edges. A
// window's code connects to WindowScrollBar's signals to learn of the user's scrolling.
#include <cstdint>

class QScrollBar;
class QWidget;

namespace platform {

constexpr int32_t SB_HORZ = 0, SB_VERT = 1, SB_CTL = 2, SB_BOTH = 3;
constexpr uint32_t SIF_RANGE = 0x1, SIF_PAGE = 0x2, SIF_POS = 0x4, SIF_DISABLENOSCROLL = 0x8,
                   SIF_TRACKPOS = 0x10, SIF_ALL = 0x17;
constexpr uint32_t ESB_ENABLE_BOTH = 0, ESB_DISABLE_LTUP = 1, ESB_DISABLE_RTDN = 2, ESB_DISABLE_BOTH = 3;

struct TScrollInfo {
  uint32_t cbSize = 28;
  uint32_t fMask = 0;
  int32_t nMin = 0;
  int32_t nMax = 0;
  uint32_t nPage = 0;
  int32_t nPos = 0;
  int32_t nTrackPos = 0;
};
static_assert(sizeof(TScrollInfo) == 28);

// Changes the parts of bar SB_HORZ or SB_VERT that the mask names, as the window system does:
// the page is kept within 0 .. Max - Min + 1 and the position within Min .. Max - max(Page - 1,
// 0). A bar whose range and page leave nothing to scroll is hidden, or with SIF_DISABLENOSCROLL
// shown disabled; otherwise it is shown. Returns the position; 0 for another bar or no window.
// Redraw is accepted for the callers' sake: the bar repaints itself in any case.
int32_t SetScrollInfo(QWidget* window, int32_t bar, const TScrollInfo& info, bool redraw);
// Fills the parts the mask names (the track position is the position while the thumb is
// dragged); false for another bar or no window.
bool GetScrollInfo(QWidget* window, int32_t bar, TScrollInfo& info);
// ESB_DISABLE_BOTH disables the bar (SB_HORZ, SB_VERT or SB_BOTH), any other value enables it:
// the bars here cannot disable one arrow alone.
bool EnableScrollBar(QWidget* window, int32_t bar, uint32_t arrows);
// Shows or hides SB_HORZ, SB_VERT or SB_BOTH.
bool ShowScrollBar(QWidget* window, int32_t bar, bool show);
// The bar of a window (made on first use); nullptr for another bar or no window.
QScrollBar* WindowScrollBar(QWidget* window, int32_t bar);
// The thickness of the bars in pixels.
int32_t ScrollBarExtent(QWidget* window);

}  // namespace platform
