#pragma once
// What the program's dialogs share: the fixed dialog border and the dialog font, the standard
// controls placed at fixed pixel positions (the forms are laid out in code, as the plug-in's
// dialog is), and reading the number lists.
#include <QString>
#include <cstdint>
#include <initializer_list>

class QCheckBox;
class QComboBox;
class QDialog;
class QLabel;
class QPushButton;
class QSize;
class QWidget;

namespace editor {

// Caption, a border with a close box only (no resizing, no minimise or maximise), the dialog
// font and, when `width` is above 0, a fixed client size.
void SetupDialogForm(QDialog& dialog, const char* caption, int width, int height);

// The width and height a label, box or button needs to show its text whole at its font (0, 0
// for other widgets and empty texts).
QSize TextNeed(const QWidget& control);
// Grows the dialog's fixed layout until every text shows whole and the caption has the room a
// window manager needs (platform::CaptionWidth): the children's places and sizes and the
// dialog's size are scaled from those it was built with by the largest factor a text needs, on
// each axis (never below 1). SetupDialogForm makes every dialog do this whenever it is shown or
// its font changes.
void FitDialogToTexts(QDialog& dialog);

QLabel* AddLabel(QWidget* parent, const QString& text, int x, int y, int width, int height);
// A drop-down list the user cannot type into.
QComboBox* AddDropDownList(QWidget* parent, std::initializer_list<const char*> entries, int x, int y,
                           int width, int height);
QCheckBox* AddCheckBox(QWidget* parent, const QString& text, int x, int y, int width, int height);
QPushButton* AddButton(QWidget* parent, const QString& text, int x, int y, int width, int height);
// OK closes the dialog with OK and is the default button (Enter presses it); Cancel closes it
// with Cancel, as Escape does.
QPushButton* AddOkButton(QDialog& dialog, int x, int y, int width = 75, int height = 25);
QPushButton* AddCancelButton(QDialog& dialog, int x, int y, int width = 75, int height = 25);

// Refills a list with `entries`, nothing selected.
void SetEntries(QComboBox& list, std::initializer_list<const char*> entries);
// Selects the entry whose text is `text`; none when there is no such entry.
void SelectEntry(QComboBox& list, const QString& text);
// The selected entry read as a whole number; `fallback` when none is selected or it does not read.
int32_t SelectedInteger(const QComboBox& list, int32_t fallback);

}  // namespace editor
