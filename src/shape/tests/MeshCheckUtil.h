#pragma once
// The outside checkers of the shape file tests: assimp loads every OBJ and COLLADA file the tests
// write, xmllint checks the XML and COLLADA documents; plus small text helpers.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "settings/tests/TestFiles.h"

namespace shape_test {

// Runs a shell command; its standard output and error, and its exit status.
inline std::string RunCommand(const std::string& command, int& status) {
  std::string out;
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (!pipe) {
    status = -1;
    return out;
  }
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
  const int rc = ::pclose(pipe);
  status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return out;
}

inline std::string Quoted(const std::string& path) { return "'" + path + "'"; }

// What `assimp info` reports of a file.
struct TAssimpInfo {
  int status = -1;
  long faces = -1;
  std::vector<std::string> textures;
  std::string output;
};

inline TAssimpInfo AssimpInfo(const std::string& file) {
  TAssimpInfo info;
  info.output = RunCommand("assimp info " + Quoted(file), info.status);
  std::smatch m;
  static const std::regex kFaces(R"(\nFaces:\s+(\d+))");
  if (std::regex_search(info.output, m, kFaces)) info.faces = std::stol(m[1]);
  const size_t refs = info.output.find("Texture Refs:");
  if (refs != std::string::npos) {
    std::istringstream lines(info.output.substr(refs));
    std::string line;
    std::getline(lines, line);
    static const std::regex kRef(R"(^\s+'(.*)'\s*$)");
    while (std::getline(lines, line) && std::regex_match(line, m, kRef)) info.textures.push_back(m[1]);
  }
  return info;
}

// xmllint finds the file well formed.
inline bool XmlWellFormed(const std::string& file, std::string* output = nullptr) {
  int status = 0;
  const std::string out = RunCommand("xmllint --noout " + Quoted(file), status);
  if (output) *output = out;
  return status == 0;
}

inline std::string XPath(const std::string& file, const std::string& expression) {
  int status = 0;
  std::string out = RunCommand("xmllint --xpath " + Quoted(expression) + " " + Quoted(file), status);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

using settings_test::ReadWholeFile;
using settings_test::WriteWholeFile;

// The lines of a file that must end every line with CR LF (checked), without their line ends.
inline std::vector<std::string> CrLfLines(const std::string& fileName) {
  const std::string text = ReadWholeFile(fileName);
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      ADD_FAILURE() << fileName << ": last line without CR LF";
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  for (const std::string& line : lines)
    if (line.find_first_of("\r\n") != std::string::npos) ADD_FAILURE() << fileName << ": bare line break";
  return lines;
}

// Lines beginning with `prefix`.
inline size_t CountPrefix(const std::vector<std::string>& lines, const std::string& prefix) {
  size_t n = 0;
  for (const std::string& line : lines) n += line.compare(0, prefix.size(), prefix) == 0;
  return n;
}

}  // namespace shape_test
