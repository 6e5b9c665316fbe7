#pragma once
// Message boxes and the system beep.
//
// The program's texts carry Windows line breaks ("\r\n") and bare "\r"; both are shown as one
// line break. Each box is modal over the active window. A test installs its own answerer
// (SetMessageBoxHandler) and sees every box the program shows, with its kind and buttons,
// without a modal loop; the beeps are counted.
#include <functional>
#include <string>

namespace platform {

enum class TMsgDlgType { Warning, Information, Confirmation, Error };
enum class TMsgDlgButtons { Ok, YesNo, OkCancel };
enum class TModalResult { Ok, Cancel, Yes, No };

struct TMessageBoxRequest {
  TMsgDlgType Type = TMsgDlgType::Information;
  TMsgDlgButtons Buttons = TMsgDlgButtons::Ok;
  std::string Text;  // as the program wrote it (UTF-8, with its "\r")
};

// Shows the box and answers the button pressed (closing the box counts as Cancel or No).
TModalResult MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons);
// A plain box with OK.
void ShowMessage(const std::string& text);
// A warning with OK.
void ShowWarning(const std::string& text);
// A warning with Yes and No: true for Yes.
bool AskWarningYesNo(const std::string& text);
// A confirmation with OK (the default button) and Cancel: true for OK.
bool AskOkCancel(const std::string& text);

// The width a fixed-size dialog needs for its caption under a window manager: the caption's
// text at the default font (a window manager draws it in its own font, commonly the desktop's
// default, which grows with the desktop's scaling) and the room of the window's icon and three
// caption buttons (some window managers show minimise and maximise even on a fixed-size
// dialog), each a square of the text's line height and 8 pixels. Message boxes are as wide.
int CaptionWidth(const std::string& caption);

// "\r\n" and "\r" become "\n".
std::string DisplayLineBreaks(const std::string& text);

// The system beep (the default sound).
void MessageBeep();
// How many beeps the program has made.
int BeepCount();

// Replaces the boxes (nullptr brings back the real ones).
using TMessageBoxHandler = std::function<TModalResult(const TMessageBoxRequest&)>;
void SetMessageBoxHandler(TMessageBoxHandler handler);

}  // namespace platform
