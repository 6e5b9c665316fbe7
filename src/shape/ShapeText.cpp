#include "shape/ShapeText.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "common/FileReplace.h"
#include "rastova/core/RVStream.h"
#include "shape/OutputNames.h"

namespace shape {

void AppendXmlEscaped(std::string& out, std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out += c;
    }
  }
}

std::string XmlEscaped(std::string_view text) {
  std::string out;
  AppendXmlEscaped(out, text);
  return out;
}

void StoreTextFile(const std::string& fileName, std::string_view text) {
  auto fail = [&](int error) {
    NoteSavedFile(fileName, false);
    throw rv::EFCreateError("Cannot create file \"" + fileName + "\". " + std::strerror(error));
  };
  const int error = common::ReplaceFileThrough(fileName, ".tmp~", [&](const std::string& temp) {
    FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) fail(errno);
    const size_t written = text.empty() ? 0 : std::fwrite(text.data(), 1, text.size(), f);
    const int writeError = written == text.size() ? 0 : (errno ? errno : EIO);
    const bool closed = std::fclose(f) == 0;
    if (writeError) fail(writeError);
    if (!closed) fail(errno ? errno : EIO);
  });
  if (error) fail(error);
  NoteSavedFile(fileName, true);
}

std::string LoadTextFile(const std::string& fileName) {
  auto fail = [&](int error) -> std::string {
    throw rv::EFOpenError("Cannot open file \"" + fileName + "\". " + std::strerror(error));
  };
  FILE* f = std::fopen(fileName.c_str(), "rb");
  if (!f) return fail(errno);
  std::string text;
  // Read at the size the file has now in one go, then whatever follows (a file that grows).
  std::error_code ec;
  const auto size = std::filesystem::file_size(fileName, ec);
  if (!ec && size > 0) {
    text.resize(static_cast<size_t>(size));
    text.resize(std::fread(text.data(), 1, text.size(), f));
  }
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  const bool failed = std::ferror(f) != 0;
  const int error = errno;
  std::fclose(f);
  if (failed) return fail(error ? error : EIO);
  return text;
}

std::string ExtractFilePath(const std::string& fileName) {
  const size_t slash = fileName.find_last_of('/');
  return slash == std::string::npos ? std::string() : fileName.substr(0, slash + 1);
}

std::string RelativePathFrom(const std::string& folder, const std::string& target) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path from = fs::absolute(fs::path(folder.empty() ? "." : folder), ec).lexically_normal();
  if (!from.has_filename()) from = from.parent_path();  // "dir/" names the folder "dir"
  const fs::path to = fs::absolute(fs::path(target), ec).lexically_normal();
  fs::path relative = to.parent_path().lexically_relative(from);
  if (relative.empty()) relative = to.parent_path();  // no relative way (cannot happen on one root)
  if (relative == ".") return to.filename().string();
  return (relative / to.filename()).generic_string();
}

std::string LocalTimeStamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S", &local);
  return buf;
}

}  // namespace shape
