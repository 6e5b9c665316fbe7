#pragma once
// The 3D library's levelled log. Every part of the library logs through the process-wide
// session, which is a null session: it discards every message and never touches a file.
// A real, file-backed session can be made but nothing in the program makes one; it never
// halts the process (a level past its limit is simply no longer written).
#include <cstdint>
#include <mutex>
#include <string>

namespace gl3d {

enum TLogLevel { lkDebug = 0, lkInfo = 1, lkNotice = 2, lkWarning = 3, lkError = 4, lkFatalError = 5 };
// A set of levels: bit n for level n.
using TLogLevels = uint8_t;
constexpr TLogLevels LogLevel(TLogLevel level) { return static_cast<TLogLevels>(1u << level); }
inline constexpr TLogLevels llAll = 0x3F;

// 0 none, 1 date, 2 time, 3 date and time, 4 elapsed milliseconds.
enum TLogTimeStampMode { lfNone = 0, lfDate = 1, lfTime = 2, lfTimeStamp = 3, lfElapsed = 4 };

class TLogSession {
 public:
  // Creates (empties) the file; a name without a folder is taken in the current folder. When the
  // file cannot be made no level is enabled.
  TLogSession(const std::string& fileName, TLogLevels levels, TLogTimeStampMode mode);
  ~TLogSession();
  TLogSession(const TLogSession&) = delete;
  TLogSession& operator=(const TLogSession&) = delete;

  void Log(const std::string& text, TLogLevel level);
  void LogDebug(const std::string& text) { Log(text, lkDebug); }
  void LogInfo(const std::string& text) { Log(text, lkInfo); }
  void LogNotice(const std::string& text) { Log(text, lkNotice); }
  void LogWarning(const std::string& text) { Log(text, lkWarning); }
  void LogError(const std::string& text) { Log(text, lkError); }
  void LogFatalError(const std::string& text) { Log(text, lkFatalError); }
  void LogWarningFmt(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void LogErrorFmt(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // Writes "LOGGING [...]" at the notice level under the old set, then stores the new one.
  void SetLevels(TLogLevels levels);
  TLogLevels Levels() const { return levels_; }
  int MessageCount(TLogLevel level) const { return counts_[level]; }
  const std::string& FileName() const { return fileName_; }
  bool IsNullSession() const { return null_; }

 private:
  friend TLogSession& GLSLogger();
  struct NullTag {};
  explicit TLogSession(NullTag) : null_(true) {}
  void DoWriteToLog(const std::string& text, TLogLevel level);

  bool null_ = false;
  bool enabled_ = false;
  std::string fileName_;
  std::mutex lock_;
  TLogLevels levels_ = 0;
  int counts_[6] = {0, 0, 0, 0, 0, 0};
  TLogTimeStampMode mode_ = lfNone;
  uint64_t startMs_ = 0;
};

// The process-wide session: the null session.
TLogSession& GLSLogger();

}  // namespace gl3d
