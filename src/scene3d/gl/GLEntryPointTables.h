#pragma once
// Tables generated from the Khronos registry (see gen/gen_gl_entry_points.py): for every field
// of the entry-point record, its stub and the names that may bind it, each name with the OpenGL
// versions and extensions that provide it. Internal to the GL layer.
#include <cstddef>
#include <cstdint>

#include "scene3d/gl/GLEntryPointsGen.h"

namespace gl3d::detail {

using TGLProc = void (*)();

// A name is provided from version Major.Minor on (Extension < 0), or by the extension
// kGLGateExtensions[Extension].
struct TGLEntryGate {
  uint8_t Major;
  uint8_t Minor;
  int16_t Extension;
};

struct TGLEntryCandidate {
  const char* Name;
  int FirstGate;
  int GateCount;
};

// How an entry is bound: ResolveGLEntryPoint over its own names, ResolveGLEntryPointAlt with the
// entry AltEntry first (the older shader-object names), or ResolveGLEntryPointNoSuffix (the
// field's name carries its vendor suffix).
enum TGLEntryResolution : uint8_t { kResolvePlain, kResolveAlt, kResolveNoSuffix };

struct TGLEntryInfo {
  const char* Field;
  size_t Offset;  // in TGLEntryPoints
  TGLProc Stub;
  int FirstCandidate;  // the entry's own names: the plain one first, then the vendor-suffixed ones
  int CandidateCount;
  TGLEntryResolution Resolution;
  int AltEntry;  // kResolveAlt: the row whose names are tried first; else -1
};

struct TGLExtensionFlagInfo {
  const char* Name;
  size_t Offset;  // in TGLExtensionFlags
};

extern const char* const kGLGateExtensions[];
extern const int kGLGateExtensionCount;
extern const TGLEntryGate kGLGates[];
extern const TGLEntryCandidate kGLCandidates[];
extern const TGLEntryInfo kGLEntries[];                     // kGLEntryPointCount rows, record order
extern const TGLExtensionFlagInfo kGLExtensionFlagInfos[];  // kGLExtensionFlagCount rows
extern const TGLProc kGLRecorders[];                        // kGLEntryPointCount rows

// Reached through every unbound entry: logs and raises the silent abort.
[[noreturn]] void UndefinedEntryPointStub();

}  // namespace gl3d::detail
