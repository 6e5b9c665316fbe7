#pragma once
// The clipboard as the program's own code sees it: blocks of bytes under private formats that are
// registered by name. A header of plain C++ (no Qt), so libraries that must build and test without
// a window system can take an IClipboard and leave the transport to this layer
// (SystemClipboard.h holds the one over the system clipboard).
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// A registered format; 0 is none.
using TClipboardFormat = uint32_t;

class IClipboard {
 public:
  virtual ~IClipboard() = default;
  // The format of that name: the same name gives the same number for the whole run.
  virtual TClipboardFormat RegisterFormat(const std::string& name) = 0;
  // Whether the clipboard offers data in the format.
  virtual bool HasFormat(TClipboardFormat format) = 0;
  // Empties the clipboard and puts `bytes` on it under the format.
  virtual void PutBytes(TClipboardFormat format, const std::vector<uint8_t>& bytes) = 0;
  // The bytes of the format; false (and `bytes` empty) when the clipboard does not offer it.
  virtual bool GetBytes(TClipboardFormat format, std::vector<uint8_t>& bytes) = 0;
};

}  // namespace platform
