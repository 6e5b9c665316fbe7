#pragma once
// The system clipboard with private formats: a format registered under a name is the MIME type
// "application/x-" + name on QClipboard. Needs a running QGuiApplication.
#include <map>
#include <string>

#include "platform/ui/Clipboard.h"

namespace platform {

class TSystemClipboard : public IClipboard {
 public:
  TClipboardFormat RegisterFormat(const std::string& name) override;
  bool HasFormat(TClipboardFormat format) override;
  void PutBytes(TClipboardFormat format, const std::vector<uint8_t>& bytes) override;
  bool GetBytes(TClipboardFormat format, std::vector<uint8_t>& bytes) override;

  // The MIME type of a registered format ("" for one never registered).
  std::string MimeType(TClipboardFormat format) const;

 private:
  std::map<TClipboardFormat, std::string> mimeTypes_;
};

}  // namespace platform
