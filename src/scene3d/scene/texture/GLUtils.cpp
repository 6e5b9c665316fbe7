#include "scene3d/scene/texture/GLUtils.h"

#include <atomic>
#include <cmath>
#include <system_error>

#include "common/FileReplace.h"
#include "common/Round.h"
#include "scene3d/base/ApplicationFileIO.h"

namespace gl3d {

int32_t NextPowerOfTwo(int32_t value) {
  int32_t r = 1;
  while (r < value && r < (1 << 30)) r *= 2;
  return r;
}

// The bytes go to a temporary name that then replaces the file, so a failed save leaves an older
// file as it was; a link stays a link and the file keeps its permissions.
void SaveAnsiStringToFile(const std::string& fileName, const std::string& data) {
  const int error = common::ReplaceFileThrough(fileName, ".saving~", [&](const std::string& temporary) {
    std::unique_ptr<TStream> stream = CreateFileStream(temporary, fmCreate);
    if (!data.empty()) stream->WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
  });
  if (error)
    throw EFCreateError("Cannot create file \"" + fileName + "\". " + std::system_category().message(error));
}

std::string LoadAnsiStringFromFile(const std::string& fileName) {
  if (!FileStreamExists(fileName)) return std::string();
  std::unique_ptr<TStream> stream = CreateFileStream(fileName, fmShareDenyNone);
  std::string data(static_cast<size_t>(stream->Size()), '\0');
  if (!data.empty()) stream->ReadBuffer(data.data(), static_cast<int64_t>(data.size()));
  return data;
}

int64_t FileSizeOf(const std::string& fileName) {
  if (!FileStreamExists(fileName)) return 0;
  return CreateFileStream(fileName, fmShareDenyNone)->Size();
}

// sqrt(i * c) with c the extended constant 1/255, times 255, stored as a single and truncated: this
// gives exactly the floor values.
const uint8_t* SqrtByteTable() {
  static const struct Table {
    uint8_t v[256];
    Table() {
      for (int i = 0; i < 256; ++i) {
        const float f = static_cast<float>(std::sqrt(static_cast<long double>(i) * (1.0L / 255.0L)) * 255.0L);
        v[i] = static_cast<uint8_t>(common::TruncInt(f));
      }
    }
  } table;
  return table.v;
}

namespace {
std::atomic<TMessageBoxHook> g_message_box{nullptr};
}  // namespace

void SetMessageBoxHook(TMessageBoxHook hook) { g_message_box.store(hook); }

void ShowMessageBox(const std::string& text, const std::string& caption) {
  if (TMessageBoxHook hook = g_message_box.load()) hook(text, caption);
}

void ShowInformation(const std::string& text) { ShowMessageBox(text, std::string()); }

}  // namespace gl3d
