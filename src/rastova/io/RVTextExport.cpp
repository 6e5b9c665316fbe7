// TRastovaIO::SaveToText: the image, saved in a file format, written out as text (a byte-array
// constant, a hexadecimal list or Base64 lines), or its pixels as ASCII art. Lines end in CR LF.
// The text file replaces its target through a temporary file, like every other save.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "common/CodePage.h"
#include "common/FileReplace.h"
#include "common/Round.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVUtils.h"
#include "rastova/io/RastovaIO.h"

namespace rv {

namespace {

std::string Hex2(uint8_t b) { return IntToHexA(b, 2); }

// The identifier of the constant: the file's base name with its first "." replaced by "_".
std::string IdentifierOf(const std::string& fileName) {
  const size_t slash = fileName.rfind('/');
  std::string name = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
  const size_t dot = name.find('.');
  if (dot != std::string::npos) name[dot] = '_';
  return name;
}

// The bytes except the last as `prefix` hh ",", collected in lines written (after `indent`)
// whenever they grow longer than 70 characters; the last byte ends the final line, followed by
// `close`.
void WriteByteLines(std::string& out, const uint8_t* data, int64_t size, const char* prefix,
                    const char* indent, const char* close) {
  std::string line;
  for (int64_t i = 0; i + 1 < size; ++i) {
    line += prefix + Hex2(data[i]) + ",";
    if (line.size() > 70) {
      out += indent + line + "\r\n";
      line.clear();
    }
  }
  if (size > 0) line += prefix + Hex2(data[size - 1]);
  out += indent + line + close + "\r\n";
}

// ASCII art: one character per pixel by its grey level, from "W" (black) to the blank (white).
constexpr char kArtCharacters[] = "W@#*+:., ";

}  // namespace

void TRastovaIO::SaveToText(const std::string& fileName, int32_t fileType, int32_t format) {
  std::string text;
  if (format >= 0 && format <= 2) {
    TMemoryStream encoded;
    // The encoding is needed here and now: it runs in this thread whatever Asynchronous says.
    const bool asynchronous = Asynchronous.exchange(false);
    try {
      SaveToStream(encoded, fileType);
    } catch (...) {
      Asynchronous = asynchronous;
      throw;
    }
    Asynchronous = asynchronous;
    // A failed encoding leaves the target as it was.
    if (Aborting) return;
    encoded.SetPosition(0);
    const int64_t size = encoded.GetSize();
    const auto* data = static_cast<const uint8_t*>(encoded.Memory());
    const std::string name = IdentifierOf(fileName);
    if (format == 0) {
      text += "const\r\n";
      text += "  " + name + "_Size = " + IntToStrA(size) + ";\r\n";
      text += "  " + name + " : array [0.." + name + "_Size-1] of byte = (\r\n";
      WriteByteLines(text, data, size, "$", "    ", ");");
    } else if (format == 1) {
      text += "\\\\ Size=" + IntToStrA(size) + "\r\n";
      WriteByteLines(text, data, size, "0x", "", "");
    } else {
      WriteBase64Lines(encoded, text, 76);
    }
  } else if (format == 3 && PrepareBitmap(PixelFormatBit(rv24RGB))) {
    TRVBitmap& b = *bitmap_;
    for (int32_t y = 0; y < b.GetHeight(); ++y) {
      const uint8_t* p = b.GetScanLine(y);
      for (int32_t x = 0; x < b.GetWidth(); ++x, p += 3) {
        const int32_t grey = RGBToGrayLevel(uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16));
        // Pure white falls on index 9, one past the nine characters: it is the blank too.
        const int32_t index = std::min(8, common::TruncInt(grey / 255.0 * 9));
        text += kArtCharacters[index];
      }
      text += "\r\n";
    }
  }
  const int error = common::ReplaceFileThrough(
      fileName, ".rvtext-" + std::to_string(::getpid()) + ".tmp", [&](const std::string& temporary) {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        if (file) file.write(text.data(), static_cast<std::streamsize>(text.size()));
        if (file) file.close();
        if (!file) throw EFCreateError("Cannot create file \"" + fileName + "\". " + std::strerror(errno));
      });
  if (error != 0) throw EFCreateError("Cannot create file \"" + fileName + "\". " + std::strerror(error));
  Params.FileName = common::Utf8ToUtf16(fileName);
}

}  // namespace rv
