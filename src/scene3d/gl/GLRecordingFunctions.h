#pragma once
// A recording entry-point table for tests: every call made through a record initialised with
// TGLExtensionsAndEntryPoints::InitializeRecording is logged, with its arguments, in the calling
// thread's current TGLCallRecorder; calls that return a value or fill an output argument are
// answered by the recorder's OnCall handler (zero when it has none).
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace gl3d {

struct TGLArgValue {
  enum TKind : uint8_t { kInt, kFloat, kPointer, kValues };
  TKind Kind = kInt;
  int64_t I = 0;
  double F = 0;
  const void* P = nullptr;
  int Count = 0;         // kValues: number of values, copied into the call's Values
  bool Doubles = false;  // kValues: P points at doubles, else at floats
};

struct TGLRecordedCall {
  std::string_view Name;  // the entry's field name, e.g. "Enable"
  std::vector<TGLArgValue> Args;
  std::vector<double> Values;  // the values of array arguments of known length, in order
  // "Name(a, b, ...)": integers in decimal, floats with %g, pointers as "ptr", arrays as [v v ..].
  std::string Text() const;
};

class TGLCallRecorder {
 public:
  // Becomes the calling thread's current recorder until destroyed.
  TGLCallRecorder();
  ~TGLCallRecorder();
  TGLCallRecorder(const TGLCallRecorder&) = delete;
  TGLCallRecorder& operator=(const TGLCallRecorder&) = delete;

  static TGLCallRecorder* Current();

  std::vector<TGLRecordedCall> Calls;
  // Answers a call: its I, F or P is the return value; it may write through pointer arguments.
  std::function<TGLArgValue(const TGLRecordedCall&)> OnCall;

  void Clear() { Calls.clear(); }
  size_t Count(std::string_view name) const;
  // The calls' texts joined with "; ".
  std::string Log() const;
  // The calls' names joined with " ".
  std::string Names() const;

 private:
  TGLCallRecorder* previous_;
};

namespace detail {
inline TGLArgValue ArgI(int64_t v) {
  TGLArgValue a;
  a.I = v;
  return a;
}
template <class T>
inline TGLArgValue ArgI(T v) {
  return ArgI(static_cast<int64_t>(v));
}
inline TGLArgValue ArgF(double v) {
  TGLArgValue a;
  a.Kind = TGLArgValue::kFloat;
  a.F = v;
  return a;
}
inline TGLArgValue ArgP(const void* p) {
  TGLArgValue a;
  a.Kind = TGLArgValue::kPointer;
  a.P = p;
  return a;
}
inline TGLArgValue ArgValues(const float* p, int n) {
  TGLArgValue a = ArgP(p);
  if (p) {
    a.Kind = TGLArgValue::kValues;
    a.Count = n;
  }
  return a;
}
inline TGLArgValue ArgValues(const double* p, int n) {
  TGLArgValue a = ArgValues(reinterpret_cast<const float*>(p), n);
  a.Doubles = true;
  return a;
}
TGLArgValue RecordCall(int entry, const TGLArgValue* args, int count);
}  // namespace detail

}  // namespace gl3d
