#include "scene3d/gl/GLExtensionsAndEntryPoints.h"

#include <EGL/egl.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

#include "scene3d/gl/GLEntryPointTables.h"
#include "scene3d/gl/GLExceptions.h"
#include "scene3d/gl/GLLog.h"

namespace gl3d {

namespace detail {
void UndefinedEntryPointStub() {
  gllog::Error("Call OpenGL function with undefined entry point");
  throw EAbort();
}
}  // namespace detail

namespace {

std::atomic<bool> g_renderer_not_reported{true};

void* DefaultResolver(const char* name) { return reinterpret_cast<void*>(eglGetProcAddress(name)); }

void SetEntry(TGLEntryPoints* record, size_t offset, detail::TGLProc proc) {
  std::memcpy(reinterpret_cast<char*>(record) + offset, &proc, sizeof proc);
}

std::string_view SafeText(const GLubyte* s) {
  return s ? std::string_view(reinterpret_cast<const char*>(s)) : std::string_view();
}

// Splits a blank-separated list into sorted tokens for lookups.
std::vector<std::string_view> Tokens(std::string_view list) {
  std::vector<std::string_view> out;
  size_t i = 0;
  while (i < list.size()) {
    while (i < list.size() && list[i] == ' ') ++i;
    size_t j = i;
    while (j < list.size() && list[j] != ' ') ++j;
    if (j > i) out.push_back(list.substr(i, j - i));
    i = j;
  }
  std::sort(out.begin(), out.end());
  return out;
}

bool HasToken(const std::vector<std::string_view>& sorted, std::string_view name) {
  if (std::binary_search(sorted.begin(), sorted.end(), name)) return true;
  if (name.substr(0, 3) == "GL_") return false;
  std::string prefixed = "GL_" + std::string(name);
  return std::binary_search(sorted.begin(), sorted.end(), std::string_view(prefixed));
}

// The rows of the entry table sorted by field name, for the resolution routines.
const std::vector<int>& EntriesByField() {
  static const std::vector<int> rows = [] {
    std::vector<int> r(static_cast<size_t>(kGLEntryPointCount));
    for (int i = 0; i < kGLEntryPointCount; ++i) r[static_cast<size_t>(i)] = i;
    std::sort(r.begin(), r.end(), [](int a, int b) {
      return std::strcmp(detail::kGLEntries[a].Field, detail::kGLEntries[b].Field) < 0;
    });
    return r;
  }();
  return rows;
}

// The row of field `name`, or -1.
int EntryRow(std::string_view name) {
  const std::vector<int>& rows = EntriesByField();
  auto it = std::lower_bound(rows.begin(), rows.end(), name,
                             [](int row, std::string_view n) { return detail::kGLEntries[row].Field < n; });
  return it != rows.end() && detail::kGLEntries[*it].Field == name ? *it : -1;
}

detail::TGLProc StubOf(int row) { return detail::kGLEntries[row].Stub; }

void APIENTRY DebugOutputCallbackARB(GLenum, GLenum, GLuint, GLenum, GLsizei length, const GLchar* message,
                                     const void*) {
  if (length > 0 && message) gllog::Debug(std::string_view(message, static_cast<size_t>(length)));
}

void APIENTRY DebugOutputCallbackAMDX(GLuint, GLenum, GLenum, GLsizei length, const GLchar* message, void*) {
  if (length > 0 && message) gllog::Debug(std::string_view(message, static_cast<size_t>(length)));
}

}  // namespace

TGLExtensionsAndEntryPoints::TGLExtensionsAndEntryPoints() : resolver_(&DefaultResolver) {}

bool IsGLVersionMet(int neededMajor, int neededMinor, int actualMajor, int actualMinor) {
  return actualMajor > neededMajor || (actualMajor == neededMajor && actualMinor >= neededMinor);
}

void SplitGLVersionString(std::string_view text, int& major, int& minor) {
  major = 0;
  minor = 0;
  size_t dot = text.find('.');
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  if (dot == std::string_view::npos || dot == 0 || dot + 1 >= text.size() || !digit(text[dot - 1]) ||
      !digit(text[dot + 1]))
    return;
  size_t b = dot;
  while (b > 0 && digit(text[b - 1])) --b;
  size_t e = dot + 1;
  while (e < text.size() && digit(text[e])) ++e;
  auto parse = [](std::string_view s, int& out) {
    if (s.size() > 9) return false;  // keeps the value within an int
    int v = 0;
    for (char c : s) v = v * 10 + (c - '0');
    out = v;
    return true;
  };
  int ma = 0, mi = 0;
  if (!parse(text.substr(b, dot - b), ma) || !parse(text.substr(dot + 1, e - dot - 1), mi)) return;
  major = ma;
  minor = mi;
}

bool TGLExtensionsAndEntryPoints::CheckExtension(std::string_view list, std::string_view name) {
  if (name.empty()) return false;
  size_t i = 0;
  while (i < list.size()) {
    while (i < list.size() && list[i] == ' ') ++i;
    size_t j = i;
    while (j < list.size() && list[j] != ' ') ++j;
    std::string_view tok = list.substr(i, j - i);
    if (tok == name) return true;
    if (name.substr(0, 3) != "GL_" && tok.size() == name.size() + 3 && tok.substr(0, 3) == "GL_" &&
        tok.substr(3) == name)
      return true;
    i = j;
  }
  return false;
}

void TGLExtensionsAndEntryPoints::SetVersionFlags(int major, int minor) {
  MajorVersion = major;
  MinorVersion = minor;
  VERSION_1_0 = true;
  VERSION_1_1 = IsGLVersionMet(1, 1, major, minor);
  VERSION_1_2 = IsGLVersionMet(1, 2, major, minor);
  VERSION_1_3 = IsGLVersionMet(1, 3, major, minor);
  VERSION_1_4 = IsGLVersionMet(1, 4, major, minor);
  VERSION_1_5 = IsGLVersionMet(1, 5, major, minor);
  VERSION_2_0 = IsGLVersionMet(2, 0, major, minor);
  VERSION_2_1 = IsGLVersionMet(2, 1, major, minor);
  VERSION_3_0 = IsGLVersionMet(3, 0, major, minor);
  VERSION_3_1 = IsGLVersionMet(3, 1, major, minor);
  VERSION_3_2 = IsGLVersionMet(3, 2, major, minor);
  VERSION_3_3 = IsGLVersionMet(3, 3, major, minor);
  VERSION_4_0 = IsGLVersionMet(4, 0, major, minor);
  VERSION_4_1 = IsGLVersionMet(4, 1, major, minor);
  VERSION_4_2 = IsGLVersionMet(4, 2, major, minor);
}

bool TGLExtensionsAndEntryPoints::CheckExtension(std::string_view name) const {
  return HasToken(extension_tokens_, name);
}

TGLExtensionsAndEntryPoints::TGLProc TGLExtensionsAndEntryPoints::GetUndefinedEntryPoint() {
  return &detail::UndefinedEntryPointStub;
}

TGLExtensionsAndEntryPoints::TGLProc TGLExtensionsAndEntryPoints::ResolveEntry(int row) const {
  using namespace detail;
  const TGLEntryInfo& e = kGLEntries[row];
  for (int c = 0; c < e.CandidateCount; ++c) {
    const TGLEntryCandidate& cand = kGLCandidates[e.FirstCandidate + c];
    bool offered = false;
    for (int g = 0; g < cand.GateCount && !offered; ++g) {
      const TGLEntryGate& gate = kGLGates[cand.FirstGate + g];
      if (gate.Extension < 0)
        offered = IsGLVersionMet(gate.Major, gate.Minor, MajorVersion, MinorVersion);
      else
        offered = static_cast<size_t>(gate.Extension) < gate_present_.size() &&
                  gate_present_[static_cast<size_t>(gate.Extension)] != 0;
    }
    if (!offered) continue;
    if (void* p = resolver_(cand.Name)) return reinterpret_cast<TGLProc>(p);
  }
  return e.Stub;
}

TGLExtensionsAndEntryPoints::TGLProc TGLExtensionsAndEntryPoints::ResolveGLEntryPoint(
    std::string_view name) const {
  const int row = EntryRow(name);
  return row < 0 ? GetUndefinedEntryPoint() : ResolveEntry(row);
}

TGLExtensionsAndEntryPoints::TGLProc TGLExtensionsAndEntryPoints::ResolveGLEntryPointAlt(
    std::string_view first, std::string_view second) const {
  const int row = EntryRow(first);
  if (row >= 0) {
    const TGLProc p = ResolveEntry(row);
    if (p != StubOf(row)) return p;
  }
  return ResolveGLEntryPoint(second);
}

TGLExtensionsAndEntryPoints::TGLProc TGLExtensionsAndEntryPoints::ResolveGLEntryPointNoSuffix(
    std::string_view name) const {
  // The field's own names are the suffixed name alone.
  return ResolveGLEntryPoint(name);
}

void TGLExtensionsAndEntryPoints::BindEntries(bool recording) {
  using namespace detail;
  if (recording) {
    for (int i = 0; i < kGLEntryPointCount; ++i) SetEntry(this, kGLEntries[i].Offset, kGLRecorders[i]);
    return;
  }
  for (int i = 0; i < kGLEntryPointCount; ++i) {
    const TGLEntryInfo& e = kGLEntries[i];
    TGLProc bound = e.Stub;
    switch (e.Resolution) {
      case kResolvePlain:
        bound = ResolveGLEntryPoint(e.Field);
        break;
      case kResolveAlt:
        bound = ResolveGLEntryPointAlt(kGLEntries[e.AltEntry].Field, e.Field);
        break;
      case kResolveNoSuffix:
        bound = ResolveGLEntryPointNoSuffix(e.Field);
        break;
    }
    SetEntry(this, e.Offset, bound);
  }
}

void TGLExtensionsAndEntryPoints::Initialize(bool temporary) {
  gllog::Notice("Getting OpenGL entry points and extension");
  // The basic queries exist in every OpenGL version.
  // The basic queries exist in every OpenGL version: they are asked for before the version is
  // known, without a gate.
  auto basic = [this](const char* name, size_t offset) {
    const detail::TGLProc stub = StubOf(EntryRow(name + 2));
    void* p = resolver_(name);
    SetEntry(this, offset, p ? reinterpret_cast<detail::TGLProc>(p) : stub);
  };
  basic("glGetString", offsetof(TGLEntryPoints, GetString));
  basic("glGetIntegerv", offsetof(TGLEntryPoints, GetIntegerv));
  basic("glGetError", offsetof(TGLEntryPoints, GetError));

  std::string_view version = SafeText(GetString(GL_VERSION));
  int major = 0, minor = 0;
  SplitGLVersionString(version, major, minor);
  SetVersionFlags(major, minor);
  SetEntry(this, offsetof(TGLEntryPoints, GetStringi), ResolveGLEntryPoint("GetStringi"));

  if (g_renderer_not_reported.exchange(false)) {
    gllog::Notice("");
    gllog::Info("OpenGL rendering context information:");
    gllog::Info("Renderer     : " + std::string(SafeText(GetString(GL_RENDERER))));
    gllog::Info("Vendor       : " + std::string(SafeText(GetString(GL_VENDOR))));
    gllog::Info("Version      : " + std::string(version));
    if (VERSION_2_0)
      gllog::Info("GLSL version : " + std::string(SafeText(GetString(GL_SHADING_LANGUAGE_VERSION))));
    else
      gllog::Warning("GLSL version : not supported");
    gllog::Notice("");
  }

  if (temporary) {
    initialized_ = true;
    return;
  }

  extensions_.clear();
  if (VERSION_3_0) {
    GLint n = 0;
    GetIntegerv(GL_NUM_EXTENSIONS, &n);
    for (GLint i = 0; i < n; ++i) {
      extensions_ += SafeText(GetStringi(GL_EXTENSIONS, static_cast<GLuint>(i)));
      extensions_ += ' ';
    }
  } else {
    extensions_ = std::string(SafeText(GetString(GL_EXTENSIONS)));
  }

  extension_tokens_ = Tokens(extensions_);
  for (int i = 0; i < kGLExtensionFlagCount; ++i) {
    bool has = CheckExtension(detail::kGLExtensionFlagInfos[i].Name);
    std::memcpy(reinterpret_cast<char*>(static_cast<TGLExtensionFlags*>(this)) +
                    detail::kGLExtensionFlagInfos[i].Offset,
                &has, sizeof has);
  }
  gate_present_.assign(static_cast<size_t>(detail::kGLGateExtensionCount), 0);
  for (int i = 0; i < detail::kGLGateExtensionCount; ++i)
    gate_present_[static_cast<size_t>(i)] = CheckExtension(detail::kGLGateExtensions[i]);

  BindEntries(false);

  if (DebugMode) {
    if (ARB_debug_output) {
      DebugMessageCallback(&DebugOutputCallbackARB, nullptr);
      DebugMessageControl(GL_DONT_CARE, GL_DONT_CARE, GL_DONT_CARE, 0, &id_slot_, GL_TRUE);
      Enable(GL_DEBUG_OUTPUT_SYNCHRONOUS);
    } else if (AMDX_debug_output) {
      DebugMessageCallbackAMDX(&DebugOutputCallbackAMDX, nullptr);
      DebugMessageEnableAMDX(0, 0, 0, &id_slot_, GL_TRUE);
    } else {
      DebugMode = false;
    }
  }

  extension_tokens_.clear();
  extensions_.clear();
  initialized_ = true;
}

void TGLExtensionsAndEntryPoints::InitializeRecording(int major, int minor) {
  SetVersionFlags(major, minor);
  bool on = true;
  for (int i = 0; i < kGLExtensionFlagCount; ++i)
    std::memcpy(reinterpret_cast<char*>(static_cast<TGLExtensionFlags*>(this)) +
                    detail::kGLExtensionFlagInfos[i].Offset,
                &on, sizeof on);
  BindEntries(true);
  initialized_ = true;
}

void TGLExtensionsAndEntryPoints::Close() {
  if (DebugMode && initialized_) {
    try {
      if (ARB_debug_output) {
        DebugMessageCallback(nullptr, nullptr);
        DebugMessageControl(GL_DONT_CARE, GL_DONT_CARE, GL_DONT_CARE, 0, &id_slot_, GL_FALSE);
      } else if (AMDX_debug_output) {
        DebugMessageCallbackAMDX(nullptr, nullptr);
        DebugMessageEnableAMDX(0, 0, 0, &id_slot_, GL_FALSE);
      }
    } catch (const EAbort&) {
    }
  }
  initialized_ = false;
  SetVersionFlags(0, 0);
  VERSION_1_0 = false;
  gate_present_.clear();
  static_cast<TGLExtensionFlags&>(*this) = TGLExtensionFlags();
  for (int i = 0; i < kGLEntryPointCount; ++i)
    SetEntry(this, detail::kGLEntries[i].Offset, detail::kGLEntries[i].Stub);
}

void TGLExtensionsAndEntryPoints::CheckError() {
  if (!initialized_) return;
  const char* text = nullptr;
  try {
    GLenum e = GetError();
    if (e == GL_NO_ERROR) return;
    try {
      for (int i = 0; i < 7 && GetError() != GL_NO_ERROR; ++i) {
      }
    } catch (...) {
    }
    if (DebugMode && ARB_debug_output) return;
    switch (e) {
      case GL_INVALID_ENUM:
        text = "Invalid enum";
        break;
      case GL_INVALID_VALUE:
        text = "Invalid value";
        break;
      case GL_INVALID_OPERATION:
        text = "Invalid Operation";
        break;
      case GL_OUT_OF_MEMORY:
        text = "Out of memory";
        break;
      default:
        return;
    }
  } catch (...) {
    text = "Exception in glGetError";
  }
  gllog::Error(std::string("OpenGL error - ") + text);
}

void TGLExtensionsAndEntryPoints::ClearError() {
  for (int i = 0; i < 7; ++i)
    if (GetError() == GL_NO_ERROR) break;
}

}  // namespace gl3d
