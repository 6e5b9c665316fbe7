#pragma once
// The system clipboard with private formats: a format registered under a name is the MIME type
// "application/x-" + name on QClipboard. Needs a running QGuiApplication.
#include <map>
#include <string>
#include <vector>

#include "platform/ui/Clipboard.h"

namespace platform {

// Bytes under a registered format, one of the blocks Put places together.
struct TClipboardBlock {
  TClipboardFormat Format = 0;
  std::vector<uint8_t> Bytes;
};

class TSystemClipboard : public IClipboard {
 public:
  TClipboardFormat RegisterFormat(const std::string& name) override;
  bool HasFormat(TClipboardFormat format) override;
  void PutBytes(TClipboardFormat format, const std::vector<uint8_t>& bytes) override;
  bool GetBytes(TClipboardFormat format, std::vector<uint8_t>& bytes) override;

  // Empties the clipboard and puts the blocks and, when `text` is given, plain text, all at once
  // (as one opening of the window system's clipboard takes several formats).
  void Put(const std::vector<TClipboardBlock>& blocks, const std::u16string* text);
  // Whether the clipboard offers plain text, and the text (empty and false when it offers none).
  bool HasText();
  bool GetText(std::u16string& text);

  // The MIME type of a registered format ("" for one never registered).
  std::string MimeType(TClipboardFormat format) const;

 private:
  std::map<TClipboardFormat, std::string> mimeTypes_;
};

// The program's clipboard, one for the whole run, so that a format name registered anywhere has
// one number. Needs a running QGuiApplication for its transfers.
TSystemClipboard& Clipboard();

// Whether the clipboard can be used now: a running QGuiApplication that has one. The window
// system's clipboard had to be opened, and tries were repeated while another program held it;
// this one is never held, so it needs no retries.
bool OpenClipboardRetry();

}  // namespace platform
