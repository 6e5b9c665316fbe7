#pragma once
// The scroll bars of a window, kept as the window system keeps them: one horizontal and one
// vertical bar per window, each with a range Min..Max, a page and a position, set through one
// record whose mask names the parts to change.
//
// The bars are Qt scroll bars made on first use as children of the window and kept along its
// bottom and right edges, inside its frame. On a TControl (Control.h) a bar shown takes its
// room from the client area, which shrinks by ScrollBarExtent, and the user's actions reach
// TControl::Scroll as the window system's scroll codes: SB_LINEUP / SB_LINEDOWN for the arrows,
// SB_PAGEUP / SB_PAGEDOWN for clicks beside the thumb, SB_TOP / SB_BOTTOM, SB_THUMBTRACK with
// the thumb's position while it is dragged, SB_THUMBPOSITION with its position when it is
// released, and SB_ENDSCROLL when the mouse button goes up. As on the window system the bar's
// position does not move by itself on these actions: the window sets it (SetScrollInfo) when it
// scrolls. Other windows connect to WindowScrollBar's signals.
#include <cstdint>

class QScrollBar;
class QWidget;

namespace platform {

constexpr int32_t SB_HORZ = 0, SB_VERT = 1, SB_CTL = 2, SB_BOTH = 3;
constexpr uint32_t SIF_RANGE = 0x1, SIF_PAGE = 0x2, SIF_POS = 0x4, SIF_DISABLENOSCROLL = 0x8,
                   SIF_TRACKPOS = 0x10, SIF_ALL = 0x17;
// Scroll codes of a bar's actions (left and right are the horizontal names of up and down).
constexpr int32_t SB_LINEUP = 0, SB_LINELEFT = 0, SB_LINEDOWN = 1, SB_LINERIGHT = 1, SB_PAGEUP = 2,
                  SB_PAGELEFT = 2, SB_PAGEDOWN = 3, SB_PAGERIGHT = 3, SB_THUMBPOSITION = 4, SB_THUMBTRACK = 5,
                  SB_TOP = 6, SB_LEFT = 6, SB_BOTTOM = 7, SB_RIGHT = 7, SB_ENDSCROLL = 8;
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
// Enables or disables the arrows of SB_HORZ, SB_VERT or SB_BOTH: ESB_DISABLE_LTUP the left or up
// arrow, ESB_DISABLE_RTDN the right or down one, ESB_DISABLE_BOTH the whole bar. A disabled arrow
// does nothing when clicked.
bool EnableScrollBar(QWidget* window, int32_t bar, uint32_t arrows);
// Shows or hides SB_HORZ, SB_VERT or SB_BOTH.
bool ShowScrollBar(QWidget* window, int32_t bar, bool show);
// The bar of a window (made on first use); nullptr for another bar or no window.
QScrollBar* WindowScrollBar(QWidget* window, int32_t bar);
// The thickness of the bars in pixels.
int32_t ScrollBarExtent(const QWidget* window);
// Whether the window shows that bar (made and not hidden); makes no bar.
bool ScrollBarShown(const QWidget* window, int32_t bar);
// Places the window's bars again along its edges, inside its frame (after the frame changed).
void RelayoutScrollBars(QWidget* window);

}  // namespace platform
