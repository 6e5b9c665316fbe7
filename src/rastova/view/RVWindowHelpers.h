#pragma once
// Window helpers of the image view and the scanner parameters: the scroll-bar calls over the
// platform layer's window scroll bars, the primary mouse button, and the native window that owns
// an object.
#include <cstdint>

#include "platform/ui/ScrollBars.h"

class QObject;
class QWidget;

namespace rv {

// One scroll-bar record with range, page and position.
void SetScrollBarInfo(QWidget* Wnd, int32_t Bar, int32_t Min, int32_t Max, int32_t Page, int32_t Pos,
                      bool Redraw, bool Flat);
// The same with the range only, and with the position only.
void SetScrollBarRange(QWidget* Wnd, int32_t Bar, int32_t Min, int32_t Max, bool Redraw, bool Flat);
void SetScrollBarPos(QWidget* Wnd, int32_t Bar, int32_t Pos, bool Redraw, bool Flat);
// The window's scroll bars are of one kind here: Flat chooses nothing. Returns the position.
int32_t SetScrollInfoEx(QWidget* Wnd, int32_t Bar, const platform::TScrollInfo& Info, bool Flat, bool Redraw);
bool EnableScrollBarEx(QWidget* Wnd, int32_t Bar, uint32_t Arrows, bool Flat);
bool ShowScrollBarEx(QWidget* Wnd, int32_t Bar, bool Show, bool Flat);

// Whether the primary mouse button is held. The window system of this platform has already
// applied any swap of the buttons: the primary button is the left one.
bool PrimaryMouseButtonDown();

// The window id of the first of Component and its owners (parents) that has a native window;
// 0 when none has (a widget's native window is made when it is first shown).
uintptr_t OwnerWindowHandle(QObject* Component);

}  // namespace rv
