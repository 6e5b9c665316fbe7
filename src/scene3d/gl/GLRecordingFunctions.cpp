#include "scene3d/gl/GLRecordingFunctions.h"

#include <cstdio>

#include "scene3d/gl/GLEntryPointTables.h"

namespace gl3d {
namespace {
thread_local TGLCallRecorder* t_recorder = nullptr;
}

TGLCallRecorder::TGLCallRecorder() : previous_(t_recorder) { t_recorder = this; }
TGLCallRecorder::~TGLCallRecorder() { t_recorder = previous_; }
TGLCallRecorder* TGLCallRecorder::Current() { return t_recorder; }

size_t TGLCallRecorder::Count(std::string_view name) const {
  size_t n = 0;
  for (const auto& c : Calls) n += c.Name == name;
  return n;
}

std::string TGLCallRecorder::Log() const {
  std::string s;
  for (const auto& c : Calls) {
    if (!s.empty()) s += "; ";
    s += c.Text();
  }
  return s;
}

std::string TGLCallRecorder::Names() const {
  std::string s;
  for (const auto& c : Calls) {
    if (!s.empty()) s += ' ';
    s += c.Name;
  }
  return s;
}

std::string TGLRecordedCall::Text() const {
  std::string s(Name);
  s += '(';
  size_t v = 0;
  char buf[64];
  for (size_t i = 0; i < Args.size(); ++i) {
    if (i) s += ", ";
    const TGLArgValue& a = Args[i];
    switch (a.Kind) {
      case TGLArgValue::kInt:
        s += std::to_string(a.I);
        break;
      case TGLArgValue::kFloat:
        std::snprintf(buf, sizeof buf, "%g", a.F);
        s += buf;
        break;
      case TGLArgValue::kPointer:
        s += a.P ? "ptr" : "nil";
        break;
      case TGLArgValue::kValues:
        s += '[';
        for (int k = 0; k < a.Count && v < Values.size(); ++k, ++v) {
          if (k) s += ' ';
          std::snprintf(buf, sizeof buf, "%g", Values[v]);
          s += buf;
        }
        s += ']';
        break;
    }
  }
  s += ')';
  return s;
}

namespace detail {
TGLArgValue RecordCall(int entry, const TGLArgValue* args, int count) {
  TGLCallRecorder* r = t_recorder;
  if (!r) return TGLArgValue();
  TGLRecordedCall call;
  call.Name = kGLEntries[entry].Field;
  call.Args.assign(args, args + count);
  for (int i = 0; i < count; ++i) {
    const TGLArgValue& a = args[i];
    if (a.Kind != TGLArgValue::kValues) continue;
    for (int k = 0; k < a.Count; ++k)
      call.Values.push_back(a.Doubles ? static_cast<const double*>(a.P)[k]
                                      : static_cast<const float*>(a.P)[k]);
  }
  r->Calls.push_back(std::move(call));
  return r->OnCall ? r->OnCall(r->Calls.back()) : TGLArgValue();
}
}  // namespace detail

}  // namespace gl3d
