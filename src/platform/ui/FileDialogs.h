#pragma once
// The common open and save dialogs, behind an interface so that commands can be tested with a
// scripted dialog in place of the real one.
//
// Filters are written as the program writes them: pairs of a name and a pattern list separated
// by "|" ("All File|*.tga;*.png|PNG File|*.png"); the filter index counts from 1.
#include <memory>
#include <string>

class QWidget;

namespace platform {

// The size the file dialogs start at, at least.
constexpr int kFileDialogWidth = 820;
constexpr int kFileDialogHeight = 500;

enum class TFileDialogKind { Open, Save };

struct TFileDialogRequest {
  TFileDialogKind Kind = TFileDialogKind::Open;
  std::string Title;
  std::string Filter;
  int FilterIndex = 1;           // the filter shown first
  std::string InitialDir;        // "" keeps the dialog's own
  std::string FileName;          // the name shown, without folder or with one
  bool OverwritePrompt = false;  // save: ask before replacing an existing file
};

struct TFileDialogResult {
  std::string FileName;  // the chosen path
  int FilterIndex = 1;   // the filter in use when the dialog was confirmed
};

class IFileDialog {
 public:
  virtual ~IFileDialog() = default;
  // Shows the dialog; false when it was cancelled.
  virtual bool Execute(const TFileDialogRequest& request, TFileDialogResult& result) = 0;
};

// The dialog over QFileDialog, owned by `owner` for its modality.
std::unique_ptr<IFileDialog> CreateQtFileDialog(QWidget* owner);

// "Name|*.a;*.b|Other|*.c" -> "Name (*.a *.b)", "Other (*.c)" in Qt's form, one per filter.
std::string QtFilterEntry(const std::string& name, const std::string& patterns);

}  // namespace platform
