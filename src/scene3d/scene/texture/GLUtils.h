#pragma once
// Small routines that the texture and material code share: texture sizes raised to a power of
// two, whole-file reads and writes of 8-bit strings, a file-size query, the square-root byte
// table of an alpha mode, and the message boxes, which the platform side shows through a hook.
// (The operating-system services below these are in scene3d/base/GLUtils.h.)
#include <cstdint>
#include <string>

namespace gl3d {

// The least power of two not below `value`: 1 for values up to 1, 1024 for 1021. Values above
// 2^30 give 2^30, so the result never overflows.
int32_t NextPowerOfTwo(int32_t value);

// Writes the bytes of `data` as the file's whole contents, through a temporary name that then
// replaces the file: a failed save leaves an older file as it was. Stream errors propagate.
void SaveAnsiStringToFile(const std::string& fileName, const std::string& data);
// The bytes of the file, or the empty string when it does not exist.
std::string LoadAnsiStringFromFile(const std::string& fileName);
// The size of the file in bytes, 0 when it does not exist.
int64_t FileSizeOf(const std::string& fileName);

// 256 entries: entry i = floor(sqrt(i / 255) * 255) (0, 15, 22, 27, ... 254, 255). Built on first
// use; safe to call from any thread.
const uint8_t* SqrtByteTable();

// Shows a message box with one OK button and returns when the user closed it. The platform side
// installs the hook; without one nothing is shown. An empty caption stands for the program's title.
using TMessageBoxHook = void (*)(const std::string& text, const std::string& caption);
void SetMessageBoxHook(TMessageBoxHook hook);
void ShowMessageBox(const std::string& text, const std::string& caption);
// A plain information box with the program's title.
void ShowInformation(const std::string& text);

}  // namespace gl3d
