#pragma once
// The 3D library's GL layer reports through the process-wide log session, which discards every
// line in this program. Tests may watch the lines through an observer.
#include <string>
#include <string_view>

namespace gl3d::gllog {

enum TLevel { lvDebug, lvInfo, lvNotice, lvWarning, lvError };

void Write(TLevel level, std::string_view text);

inline void Debug(std::string_view t) { Write(lvDebug, t); }
inline void Info(std::string_view t) { Write(lvInfo, t); }
inline void Notice(std::string_view t) { Write(lvNotice, t); }
inline void Warning(std::string_view t) { Write(lvWarning, t); }
inline void Error(std::string_view t) { Write(lvError, t); }

// printf-style formatting for the few lines that carry values.
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// One observer for the whole process (tests only); nullptr removes it.
using TObserver = void (*)(TLevel level, std::string_view text, void* data);
void SetObserver(TObserver observer, void* data);

}  // namespace gl3d::gllog
