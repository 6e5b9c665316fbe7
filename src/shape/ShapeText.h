#pragma once
// The text side of the shape's files (OBJ, MTL, the XML object file, COLLADA): lines split at any
// line break, XML escapes, and whole files stored and loaded. Their numbers go through
// FileFormatSettings.
//
// Every text file the shape writes ends each line, the last one included, with CR LF, and is
// stored under a temporary name in the target folder that is renamed over the target once it is
// complete: a failed write leaves an older file of that name as it was.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace shape {

inline constexpr char kLineEnd[] = "\r\n";

// Calls fn(line) for every line of `text`; lines end at CR LF, LF or CR. A last line without a
// line break counts; an empty text has no line.
template <typename Fn>
void ForEachLine(std::string_view text, Fn&& fn) {
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p < end) {
    const char* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
    const char* stop = lf ? lf : end;
    const char* cr = static_cast<const char*>(std::memchr(p, '\r', static_cast<size_t>(stop - p)));
    if (cr) stop = cr;
    fn(std::string_view(p, static_cast<size_t>(stop - p)));
    p = stop + 1;
    if (cr && p < end && *p == '\n') ++p;
  }
}

// `text` with & < > " and ' replaced by their XML entities.
void AppendXmlEscaped(std::string& out, std::string_view text);
std::string XmlEscaped(std::string_view text);

// Stores `text` as the whole file: written to a temporary name in the same folder and renamed over
// `fileName`. Throws rv::EFCreateError when the file cannot be created or written; an older file
// of that name is then left as it was.
void StoreTextFile(const std::string& fileName, std::string_view text);
// The whole file. Throws rv::EFOpenError when it cannot be opened or read.
std::string LoadTextFile(const std::string& fileName);

// The folder part of a file name ("" for a bare name).
std::string ExtractFilePath(const std::string& fileName);
// The path of `target` as seen from `folder`: folder names joined by "/", ".." to go up; the bare
// file name when both lie in one folder.
std::string RelativePathFrom(const std::string& folder, const std::string& target);

// The local date and time as "yyyy-mm-ddThh:nn:ss".
std::string LocalTimeStamp();

}  // namespace shape
