#include "shape/OutputNames.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "settings/AppSettings.h"

namespace shape {

std::string RenameNotice;

namespace {

IFilePrompts* gPrompts = nullptr;

// Index of the first character of the file-name part.
size_t NameStart(const std::string& fileName) {
  const size_t slash = fileName.find_last_of('/');
  return slash == std::string::npos ? 0 : slash + 1;
}

// Index of the extension's dot, or npos.
size_t ExtDot(const std::string& fileName) {
  const size_t dot = fileName.find_last_of('.');
  if (dot == std::string::npos || dot < NameStart(fileName)) return std::string::npos;
  return dot;
}

// The counter of a name ending in "_NNN" (three decimal digits), -1 when there is none.
int TrailingCounter(const std::string& name) {
  const size_t len = name.size();
  if (len <= 4 || name[len - 4] != '_') return -1;
  int value = 0;
  for (size_t k = len - 3; k < len; ++k) {
    const char c = name[k];
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

}  // namespace

void SetFilePrompts(IFilePrompts* prompts) { gPrompts = prompts; }
IFilePrompts* GetFilePrompts() { return gPrompts; }

std::string ExtractFileName(const std::string& fileName) { return fileName.substr(NameStart(fileName)); }

std::string ExtractFileExt(const std::string& fileName) {
  const size_t dot = ExtDot(fileName);
  return dot == std::string::npos ? std::string() : fileName.substr(dot);
}

std::string RemoveFileExt(const std::string& fileName) {
  const size_t dot = ExtDot(fileName);
  return dot == std::string::npos ? fileName : fileName.substr(0, dot);
}

std::string ChangeFileExt(const std::string& fileName, const std::string& ext) {
  return RemoveFileExt(fileName) + ext;
}

std::string ExtractBaseName(const std::string& fileName) { return RemoveFileExt(ExtractFileName(fileName)); }

bool FileNameTaken(const std::string& fileName) {
  std::error_code ec;
  // symlink_status: a dangling link still occupies the name.
  const auto status = std::filesystem::symlink_status(std::filesystem::path(fileName), ec);
  return !ec && std::filesystem::exists(status);
}

bool ConfirmOverwrite(const std::string& fileName) {
  if (!settings::AppSettings.FileOverWrite || !FileNameTaken(fileName)) return true;
  // Without a way to ask, the file is kept.
  if (!gPrompts) return false;
  return gPrompts->AskWarningYesNo(ExtractFileName(fileName) + " already exists." + "\r\n" +
                                   "Do you want to replace it?");
}

bool ConfirmOverwriteFiles(const std::vector<std::string>& fileNames) {
  if (!settings::AppSettings.FileOverWrite) return true;
  std::vector<std::string> taken;
  for (const std::string& name : fileNames)
    if (FileNameTaken(name) && std::find(taken.begin(), taken.end(), name) == taken.end()) taken.push_back(name);
  if (taken.empty()) return true;
  if (taken.size() == 1) return ConfirmOverwrite(taken.front());
  if (!gPrompts) return false;
  std::string text;
  for (const std::string& name : taken) text += ExtractFileName(name) + " already exists.\r\n";
  return gPrompts->AskWarningYesNo(text + "Do you want to replace them?");
}

namespace {
TSavedFiles* gSavedFiles = nullptr;
}

TSavedFiles::TSavedFiles() : outer_(gSavedFiles) { gSavedFiles = this; }
TSavedFiles::~TSavedFiles() { gSavedFiles = outer_; }

void NoteSavedFile(const std::string& fileName, bool written) {
  if (gSavedFiles) (written ? gSavedFiles->Written : gSavedFiles->Failed).push_back(fileName);
}

std::string MakeUniqueFileName(const std::string& fileName, const std::string& ext) {
  std::string name = RemoveFileExt(fileName);
  std::string candidate = name + ext;
  if (settings::AppSettings.FileOverWrite) return candidate;

  int counter = TrailingCounter(name);
  bool carriesCounter = counter >= 1;
  if (!carriesCounter) counter = 0;
  bool renamed = false;
  while (FileNameTaken(candidate)) {
    if (carriesCounter) {
      name.resize(name.size() - 4);
      carriesCounter = false;
    }
    ++counter;
    char digits[16];
    std::snprintf(digits, sizeof digits, "%03d", counter);
    candidate = name + "_" + digits + ext;
    renamed = true;
  }
  if (renamed) NoteRenamedFile(candidate);
  return candidate;
}

void NoteRenamedFile(const std::string& fileName) {
  if (!RenameNotice.empty()) RenameNotice += "\r\n";
  RenameNotice += "File name was renamed to \"" + ExtractFileName(fileName) + "\".";
}

void ShowRenameNotice() {
  if (!RenameNotice.empty() && gPrompts) gPrompts->ShowWarning(RenameNotice);
  RenameNotice.clear();
}

std::string ForceNameSuffix(const std::string& fileName, const std::string& suffix, const std::string& ext) {
  // The base keeps every dot but the one of its own extension, which is removed once.
  const std::string base = RemoveFileExt(fileName);
  const bool hasSuffix =
      base.size() >= suffix.size() && base.compare(base.size() - suffix.size(), suffix.size(), suffix) == 0;
  return hasSuffix ? base + ext : base + suffix + ext;
}

std::string PartFileName(const std::string& fileName, int n) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%02d", n);
  return RemoveFileExt(fileName) + "-" + digits + ExtractFileExt(fileName);
}

}  // namespace shape
