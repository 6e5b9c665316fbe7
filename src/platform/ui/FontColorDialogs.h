#pragma once
// The font and colour dialogs: modal, owned by a window, started from a font or colour and
// writing the user's choice back only when the user confirms.
#include <QWidget>

#include "platform/gfx/Canvas.h"
#include "platform/gfx/Color.h"

namespace platform {

// Starts from `font`'s name (its stand-in family), height, style; after OK the font takes the
// chosen family, height (negative: the character height in pixels), style (bold from weight 700
// up) and keeps its colour. False (the font unchanged) when the user cancels.
bool ExecuteFontDialog(QWidget* owner, TFont& font);
// Starts from `color` (system colours resolved); after OK `color` is the chosen RGB colour.
bool ExecuteColorDialog(QWidget* owner, TColor& color);

}  // namespace platform
