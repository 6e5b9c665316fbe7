#pragma once
// The base of ZEPHOR's exceptions, and the always-on assertion.
//
// Contract checks stay on in release builds: a failed check throws EAssertionFailed with its
// text, so the caller's error handling sees it instead of the process aborting.
#include <stdexcept>
#include <string>

namespace common {

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  std::string Message() const { return what(); }
};

class EDivByZero : public Exception {
 public:
  using Exception::Exception;
};

class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

class EAssertionFailed : public Exception {
 public:
  EAssertionFailed(const std::string& text, const char* file, int line)
      : Exception(text), file_(file ? file : ""), line_(line) {}
  const std::string& File() const { return file_; }
  int Line() const { return line_; }

 private:
  std::string file_;
  int line_;
};

[[noreturn]] void AssertionFailed(const char* text, const char* file, int line);

}  // namespace common

// Always on, in every build type. `text` is the message the exception carries.
#define ZASSERT(cond, text)                                                   \
  do {                                                                        \
    if (!(cond)) ::common::AssertionFailed((text), __FILE__, __LINE__);       \
  } while (0)
