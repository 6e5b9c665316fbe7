#pragma once
// The OpenGL entry points and extension flags of one rendering context.
//
// Every GL call of the 3D library goes through the record of the calling thread's current
// context (CurrentGLEntryPoints). Entries are bound only when the context's version or one of
// its extensions provides the name (eglGetProcAddress answers even for names the driver lacks,
// so a resolved address alone proves nothing); every other entry points at a typed stub that
// logs and raises EAbort. The fields are generated from the Khronos registry; the tables that
// tell which names may bind each field are in GLEntryPointTables.h.
#include <string>
#include <string_view>
#include <vector>

#include "scene3d/gl/GLEntryPointsGen.h"

namespace gl3d {

class TGLExtensionsAndEntryPoints : public TGLEntryPoints, public TGLExtensionFlags {
 public:
  // Looks a name up in the driver (eglGetProcAddress unless set otherwise).
  using TProcResolver = void* (*)(const char* name);
  // An entry point of any type, as the resolution routines hand it out.
  using TGLProc = void (*)();

  TGLExtensionsAndEntryPoints();

  void SetProcResolver(TProcResolver resolver) { resolver_ = resolver; }

  // Reads the current context's version, extensions and entry points; the context must be current
  // on the calling thread. A temporary initialisation reads only the version and the four basic
  // entries GetString, GetStringi, GetIntegerv and GetError.
  void Initialize(bool temporary);
  // Back to the uninitialised state: every flag off, every entry at its stub.
  void Close();
  bool Initialized() const { return initialized_; }

  // Reads and reports pending OpenGL errors (never raises); ClearError discards them.
  void CheckError();
  void ClearError();

  // Points every entry at its recording function (see GLRecordingFunctions.h), sets the version
  // flags for major.minor and switches every extension flag on; tests switch flags off.
  void InitializeRecording(int major, int minor);

  // A debug context was asked for: Initialize installs the driver's message callback.
  bool DebugMode = false;

  bool VERSION_1_0 = false, VERSION_1_1 = false, VERSION_1_2 = false, VERSION_1_3 = false,
       VERSION_1_4 = false, VERSION_1_5 = false, VERSION_2_0 = false, VERSION_2_1 = false,
       VERSION_3_0 = false, VERSION_3_1 = false, VERSION_3_2 = false, VERSION_3_3 = false,
       VERSION_4_0 = false, VERSION_4_1 = false, VERSION_4_2 = false;
  // The version the driver reported (0.0 when unreadable).
  int MajorVersion = 0;
  int MinorVersion = 0;

  // Entry-point resolution, by field name without the "gl" prefix. Each name is asked of the
  // driver only when this context's version or extension list provides it (so the record must
  // have been initialised); the names that may bind a field are those the registry gives the
  // field's signature. The result is the driver's function, or the field's stub when no name
  // binds it; a name that is no field of the record gives GetUndefinedEntryPoint().
  //
  // ResolveGLEntryPoint: the plain name, then its ARB, EXT and NV forms.
  TGLProc ResolveGLEntryPoint(std::string_view name) const;
  // ResolveGLEntryPoint(first); when that gives its stub, ResolveGLEntryPoint(second). The older
  // shader-object names come first (DetachObject before DetachShader, CreateShaderObject before
  // CreateShader, GetObjectParameteriv before GetProgramiv and GetShaderiv, ...).
  TGLProc ResolveGLEntryPointAlt(std::string_view first, std::string_view second) const;
  // A name that already carries its vendor suffix (the NV bindless and path-rendering entries,
  // the AMDX debug output): "gl" + name alone.
  TGLProc ResolveGLEntryPointNoSuffix(std::string_view name) const;
  // The stub behind every unresolved entry: logs and raises EAbort.
  static TGLProc GetUndefinedEntryPoint();

  // Whether `name` is a whole blank-separated token of `list`; a name without the "GL_" prefix
  // also matches the token with it. A longer name that begins with `name` does not hide a later
  // token equal to it.
  static bool CheckExtension(std::string_view list, std::string_view name);

 private:
  void SetVersionFlags(int major, int minor);
  void BindEntries(bool recording);
  // CheckExtension against the extension text read by Initialize.
  bool CheckExtension(std::string_view name) const;
  // Row `row` of the entry table by its own names (ResolveGLEntryPoint of its field).
  TGLProc ResolveEntry(int row) const;

  std::string extensions_;
  std::vector<std::string_view> extension_tokens_;  // extensions_ split and sorted
  std::vector<char> gate_present_;                  // per extension that gates entry names; kept until Close
  bool initialized_ = false;
  unsigned id_slot_ = 0;  // its address is the (empty) id list of the debug-output controls
  TProcResolver resolver_;
};

bool IsGLVersionMet(int neededMajor, int neededMinor, int actualMajor, int actualMinor);
// "4.2.0 vendor words" gives 4 and 2; "OpenGL ES 2.0" gives 2 and 0; anything unreadable 0 and 0.
void SplitGLVersionString(std::string_view text, int& major, int& minor);

}  // namespace gl3d
