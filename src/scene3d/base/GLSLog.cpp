#include "scene3d/base/GLSLog.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <sstream>
#include <thread>
#include <vector>

#include "scene3d/base/GLUtils.h"

namespace gl3d {

namespace {

struct LevelInfo {
  const char* name;
  const char* prefix;
  int limit;
};

constexpr LevelInfo kLevels[6] = {
    {"debug info", " (D)  ", 2147483647}, {"info", " (i)  ", 2147483647}, {"notices", " (I)  ", 2147483647},
    {"warnings", "(WW)   ", 500},         {"errors", "(EE)   ", 100},     {"fatal errors", "(!!) ", 10},
};

const char* const kModeTexts[5] = {"no timestamp mode.", "date only mode.", "time only mode.",
                                   "date and time mode.", "elapsed time mode."};

std::string Trim(const std::string& s) {
  const size_t a = s.find_first_not_of(' ');
  if (a == std::string::npos) return "";
  return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

std::string VFormat(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (n <= 0) return "";
  std::vector<char> buf(static_cast<size_t>(n) + 1);
  std::vsnprintf(buf.data(), buf.size(), format, args);
  return std::string(buf.data(), static_cast<size_t>(n));
}

std::string Stamp(TLogTimeStampMode mode, uint64_t startMs) {
  if (mode == lfElapsed) return std::to_string(GetTickCountMs() - startMs);
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char buf[64];
  const char* fmt = mode == lfDate ? "%Y-%m-%d" : (mode == lfTime ? "%H:%M:%S" : "%Y-%m-%d %H:%M:%S");
  std::strftime(buf, sizeof(buf), fmt, &tm);
  return buf;
}

}  // namespace

TLogSession& GLSLogger() {
  static TLogSession session{TLogSession::NullTag{}};
  return session;
}

TLogSession::TLogSession(const std::string& fileName, TLogLevels levels, TLogTimeStampMode mode) {
  enabled_ = true;
  const std::filesystem::path p(fileName);
  fileName_ = p.has_parent_path() ? fileName : (std::filesystem::current_path() / p).string();
  bool created = false;
  if (std::FILE* f = std::fopen(fileName_.c_str(), "w")) {
    created = std::fclose(f) == 0;
  }
  startMs_ = GetTickCountMs();
  mode_ = mode;
  SetLevels(created ? levels : 0);
  LogNotice(std::string("Log subsystem started in ") + kModeTexts[mode_ <= lfElapsed ? mode_ : 0]);
  for (int& c : counts_) c = 0;
}

TLogSession::~TLogSession() {
  if (null_) return;
  LogInfo("Logged fatal errors: " + std::to_string(counts_[lkFatalError]) + ", errors: " +
          std::to_string(counts_[lkError]) + ", warnings: " + std::to_string(counts_[lkWarning]) +
          ", titles: " + std::to_string(counts_[lkNotice]) + ", infos: " + std::to_string(counts_[lkInfo]) +
          ", debug info: " + std::to_string(counts_[lkDebug]));
  LogInfo("Log session shutdown");
}

void TLogSession::SetLevels(TLogLevels levels) {
  if (this == &GLSLogger()) return;
  std::string names;
  for (int i = 0; i < 6; ++i)
    if (levels & (1u << i)) {
      if (!names.empty()) names += ", ";
      names += std::string(kLevels[i].name) + " " + Trim(kLevels[i].prefix);
    }
  LogNotice("LOGGING [" + (names.empty() ? std::string("nothing") : names) + "]");
  levels_ = levels;
}

void TLogSession::Log(const std::string& text, TLogLevel level) {
  if (this == &GLSLogger() || null_) return;
  if (!enabled_ || level < lkDebug || level > lkFatalError || !(levels_ & (1u << level))) return;
  std::lock_guard<std::mutex> guard(lock_);
  DoWriteToLog(text, level);
}

void TLogSession::LogWarningFmt(const char* format, ...) {
  if (this == &GLSLogger()) return;
  va_list args;
  va_start(args, format);
  const std::string text = VFormat(format, args);
  va_end(args);
  Log(text, lkWarning);
}

void TLogSession::LogErrorFmt(const char* format, ...) {
  if (this == &GLSLogger()) return;
  va_list args;
  va_start(args, format);
  const std::string text = VFormat(format, args);
  va_end(args);
  Log(text, lkError);
}

void TLogSession::DoWriteToLog(const std::string& text, TLogLevel level) {
  // A level that reached its limit is no longer written; the process goes on.
  if (counts_[level] >= kLevels[level].limit) return;
  std::FILE* f = std::fopen(fileName_.c_str(), "a");
  if (!f) return;
  std::ostringstream id;
  id << std::this_thread::get_id();
  std::string line = "\tThread ID " + id.str() + "\t" + text;
  if (mode_ == lfNone)
    line = kLevels[level].prefix + line;
  else
    line = Stamp(mode_, startMs_) + "\t" + kLevels[level].prefix + line;
  line += "\n";
  std::fwrite(line.data(), 1, line.size(), f);
  std::fclose(f);
  ++counts_[level];
}

}  // namespace gl3d
