#pragma once
// Output file naming: no output file is overwritten silently. The setting "File OverWrite"
// chooses the policy: on, the save command asks before replacing a file (ConfirmOverwrite);
// off, every file is written under the next free name "<name>_NNN<ext>" and one notice after
// the command lists each file that got a new name (MakeUniqueFileName, ShowRenameNotice).
//
// File names are UTF-8 paths. "The extension" of a name is the text from the last dot of its
// file-name part (a dot in a folder name does not count). Every routine here removes at most
// one extension from a name it is given, so a caller passes the name with its extension:
// "my.shape.tga" gives "my.shape.png", never "my.png".
#include <string>
#include <vector>

namespace shape {

// The questions and notices of the save commands. The editor answers them with message boxes;
// tests answer them directly.
class IFilePrompts {
 public:
  virtual ~IFilePrompts() = default;
  // A warning message box with the buttons Yes and No; true when the user pressed Yes.
  virtual bool AskWarningYesNo(const std::string& text) = 0;
  // A warning message box with the button OK.
  virtual void ShowWarning(const std::string& text) = 0;
  // A plain message box with the button OK (the readers' error messages).
  virtual void ShowMessage(const std::string& text) = 0;
};

// Installs the prompts (nullptr removes them). Without prompts no question can be asked, so
// ConfirmOverwrite answers "no" where it would ask, and ShowRenameNotice only empties the notice.
void SetFilePrompts(IFilePrompts* prompts);
IFilePrompts* GetFilePrompts();

// One line per file that took a new name since the save command began; empty between commands.
extern std::string RenameNotice;

// With "File OverWrite" on and an existing file: asks "<file> already exists.\r\nDo you want to
// replace it?" and returns the answer. Otherwise true without a question.
bool ConfirmOverwrite(const std::string& fileName);
// The name to write: `fileName` with its extension replaced by `ext` (with its dot). With
// "File OverWrite" off, an existing file makes it take the next free "_NNN" counter (a name
// already ending in a counter of 1 or more continues it) and adds a line to RenameNotice.
std::string MakeUniqueFileName(const std::string& fileName, const std::string& ext);
// Adds the line "File name was renamed to "<file name>"." to RenameNotice, for a file written
// under another name than the one asked for (MakeUniqueFileName does so itself).
void NoteRenamedFile(const std::string& fileName);
// The same for every file one save command is about to write (names with their final
// extensions): with "File OverWrite" on, one question lists each of them that exists (the text
// above when there is one); true when none exists or the user pressed Yes.
bool ConfirmOverwriteFiles(const std::vector<std::string>& fileNames);
// The files one save command wrote and those it could not write, in the order tried. While one
// is alive the writers note every file they store (NoteSavedFile); the last one made records.
class TSavedFiles {
 public:
  TSavedFiles();
  ~TSavedFiles();
  TSavedFiles(const TSavedFiles&) = delete;
  TSavedFiles& operator=(const TSavedFiles&) = delete;
  std::vector<std::string> Written;
  std::vector<std::string> Failed;

 private:
  TSavedFiles* outer_;
};
void NoteSavedFile(const std::string& fileName, bool written);
// Shows RenameNotice (when not empty) as a warning with the button OK, then empties it.
void ShowRenameNotice();
// The name with extension `ext` (none when empty) that ends in suffix + ext: "box.dae" with
// "-tx" and "" gives "box-tx", and so does "box-tx.dae".
std::string ForceNameSuffix(const std::string& fileName, const std::string& suffix, const std::string& ext);
// "<name without extension>-<n, at least two digits><extension>": model.tga, 3 -> model-03.tga.
std::string PartFileName(const std::string& fileName, int n);

// Name helpers (byte-wise on UTF-8; the folder separator is "/").
std::string ExtractFileName(const std::string& fileName);  // without the folder
std::string ExtractFileExt(const std::string& fileName);   // "" or from the last dot
std::string RemoveFileExt(const std::string& fileName);
std::string ChangeFileExt(const std::string& fileName, const std::string& ext);
// The file name without folder and extension.
std::string ExtractBaseName(const std::string& fileName);
// Whether anything (a file, a folder, a link) has that name; a missing folder means no.
bool FileNameTaken(const std::string& fileName);

}  // namespace shape
