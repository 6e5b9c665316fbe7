// The entry-point record against a scripted driver: version and extension parsing, binding
// gated by version and extension list, fallbacks, the stub, Close and the error queries.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "scene3d/gl/GLExceptions.h"
#include "scene3d/gl/GLExtensionsAndEntryPoints.h"
#include "scene3d/gl/GLLog.h"

using namespace gl3d;

namespace {

// The scripted driver: answers every name (as eglGetProcAddress does) and remembers the names.
struct FakeDriver {
  std::string version = "3.0 Fake";
  std::vector<std::string> extensions;
  std::string legacy_list;
  std::vector<std::string> resolved;
  int errors_left = 0;
  int error_calls = 0;
} g_fake;

const GLubyte* APIENTRY FakeGetString(GLenum name) {
  static std::string s;
  switch (name) {
    case GL_VERSION:
      s = g_fake.version;
      break;
    case GL_EXTENSIONS:
      s = g_fake.legacy_list;
      break;
    default:
      s = "fake";
      break;
  }
  return reinterpret_cast<const GLubyte*>(s.c_str());
}
const GLubyte* APIENTRY FakeGetStringi(GLenum, GLuint i) {
  return reinterpret_cast<const GLubyte*>(g_fake.extensions.at(i).c_str());
}
void APIENTRY FakeGetIntegerv(GLenum pname, GLint* v) {
  if (pname == GL_NUM_EXTENSIONS) *v = static_cast<GLint>(g_fake.extensions.size());
}
GLenum APIENTRY FakeGetError() {
  ++g_fake.error_calls;
  if (g_fake.errors_left < 0) return GL_INVALID_VALUE;  // forever
  if (g_fake.errors_left == 0) return GL_NO_ERROR;
  --g_fake.errors_left;
  return GL_INVALID_ENUM;
}
void APIENTRY FakeAny() {}

void* FakeResolve(const char* name) {
  std::string n(name);
  g_fake.resolved.push_back(n);
  if (n == "glGetString") return reinterpret_cast<void*>(&FakeGetString);
  if (n == "glGetStringi") return reinterpret_cast<void*>(&FakeGetStringi);
  if (n == "glGetIntegerv") return reinterpret_cast<void*>(&FakeGetIntegerv);
  if (n == "glGetError") return reinterpret_cast<void*>(&FakeGetError);
  return reinterpret_cast<void*>(&FakeAny);
}

bool Resolved(const std::string& n) {
  return std::find(g_fake.resolved.begin(), g_fake.resolved.end(), n) != g_fake.resolved.end();
}

struct LogLines {
  std::vector<std::string> lines;
  LogLines() {
    gllog::SetObserver(
        [](gllog::TLevel, std::string_view t, void* d) { static_cast<LogLines*>(d)->lines.emplace_back(t); },
        this);
  }
  ~LogLines() { gllog::SetObserver(nullptr, nullptr); }
  bool Has(const std::string& s) const { return std::find(lines.begin(), lines.end(), s) != lines.end(); }
};

class EntryPoints : public ::testing::Test {
 protected:
  void SetUp() override {
    g_fake = FakeDriver();
    rec.SetProcResolver(&FakeResolve);
  }
  TGLExtensionsAndEntryPoints rec;
};

}  // namespace

TEST(GLVersion, SplitAndCompare) {
  struct Case {
    const char* text;
    int major, minor;
  } cases[] = {{"4.2.0 NVIDIA 300.1", 4, 2},
               {"OpenGL ES 2.0", 2, 0},
               {"1.1.0", 1, 1},
               {"4.5 (Compatibility Profile) Mesa 22.3.6", 4, 5},
               {"garbage", 0, 0},
               {".5", 0, 0},
               {"3.", 0, 0},
               {"", 0, 0},
               {"99999999999.1", 0, 0}};
  for (const auto& c : cases) {
    int ma = -1, mi = -1;
    SplitGLVersionString(c.text, ma, mi);
    EXPECT_EQ(ma, c.major) << c.text;
    EXPECT_EQ(mi, c.minor) << c.text;
  }
  EXPECT_TRUE(IsGLVersionMet(3, 0, 3, 0));
  EXPECT_TRUE(IsGLVersionMet(3, 3, 4, 0));
  EXPECT_FALSE(IsGLVersionMet(3, 3, 3, 2));
}

TEST(GLVersion, ExtensionTokensAreWhole) {
  // The longer name before the shorter one does not hide it; a name inside another is no match.
  std::string list =
      "GL_ARB_draw_buffers_blend GL_ARB_draw_buffers GL_AMDX_debug_output GL_EXT_direct_state_access";
  EXPECT_TRUE(TGLExtensionsAndEntryPoints::CheckExtension(list, "GL_ARB_draw_buffers"));
  EXPECT_TRUE(TGLExtensionsAndEntryPoints::CheckExtension(list, "GL_ARB_draw_buffers_blend"));
  EXPECT_FALSE(TGLExtensionsAndEntryPoints::CheckExtension(list, "GL_ARB_draw"));
  EXPECT_FALSE(TGLExtensionsAndEntryPoints::CheckExtension(list, "ARB_draw_buffers_blend GL"));
  // names the table keeps without the prefix match the driver's prefixed name
  EXPECT_TRUE(TGLExtensionsAndEntryPoints::CheckExtension(list, "AMDX_debug_output"));
  EXPECT_TRUE(TGLExtensionsAndEntryPoints::CheckExtension(list, "EXT_direct_state_access"));
  EXPECT_FALSE(TGLExtensionsAndEntryPoints::CheckExtension(list, "GL_EXT_direct_state"));
  EXPECT_FALSE(TGLExtensionsAndEntryPoints::CheckExtension("", "GL_ARB_sync"));
}

TEST_F(EntryPoints, Version30ReadsIndexedExtensionsAndGatesEntries) {
  g_fake.version = "3.0 Fake";
  g_fake.extensions = {"GL_ARB_draw_buffers_blend", "GL_ARB_draw_buffers", "GL_AMDX_debug_output",
                       "GL_ARB_texture_rg"};
  rec.Initialize(false);
  EXPECT_TRUE(rec.Initialized());
  EXPECT_TRUE(rec.VERSION_3_0);
  EXPECT_FALSE(rec.VERSION_3_1);
  EXPECT_TRUE(rec.ARB_draw_buffers);
  EXPECT_TRUE(rec.ARB_draw_buffers_blend);
  EXPECT_TRUE(rec.AMDX_debug_output);
  EXPECT_TRUE(rec.ARB_texture_rg);  // the last name of the list
  EXPECT_FALSE(rec.ARB_multitexture);
  // 3.0 core entries are looked up by their plain names
  EXPECT_TRUE(Resolved("glBindFramebuffer"));
  EXPECT_TRUE(Resolved("glBlendFuncSeparate"));
  // 4.0 core blending per draw buffer comes from the ARB extension here
  EXPECT_FALSE(Resolved("glBlendEquationi"));
  EXPECT_TRUE(Resolved("glBlendEquationiARB"));
  // nothing provides path rendering: the driver is never asked, the entry is the stub
  EXPECT_FALSE(Resolved("glGenPathsNV"));
  EXPECT_THROW(rec.GenPathsNV(1), EAbort);
  EXPECT_FALSE(Resolved("glDebugMessageCallback"));
  EXPECT_TRUE(Resolved("glDebugMessageEnableAMDX"));
  EXPECT_NO_THROW(rec.BindFramebuffer(GL_FRAMEBUFFER, 0));
}

TEST_F(EntryPoints, OldVersionUsesExtensionFallbacks) {
  g_fake.version = "1.2.1 Old";
  g_fake.legacy_list = "GL_ARB_multitexture GL_EXT_blend_func_separate GL_ARB_shader_objects";
  rec.Initialize(false);
  EXPECT_TRUE(rec.VERSION_1_2);
  EXPECT_FALSE(rec.VERSION_1_3);
  EXPECT_TRUE(rec.ARB_multitexture);
  EXPECT_FALSE(Resolved("glGetStringi"));
  EXPECT_TRUE(Resolved("glActiveTextureARB"));
  EXPECT_FALSE(Resolved("glActiveTexture"));
  EXPECT_TRUE(Resolved("glBlendFuncSeparateEXT"));
  // the older shader-object name serves the newer entry
  EXPECT_TRUE(Resolved("glCreateShaderObjectARB"));
  EXPECT_FALSE(Resolved("glCreateShader"));
  EXPECT_NO_THROW(rec.CreateShader(GL_VERTEX_SHADER));
  EXPECT_THROW(rec.BindBuffer(GL_ARRAY_BUFFER, 1), EAbort);  // 1.5 and no ARB_vertex_buffer_object
}

TEST_F(EntryPoints, TemporaryInitializeReadsOnlyTheVersion) {
  g_fake.version = "4.2.0 Fake";
  g_fake.extensions = {"GL_ARB_multitexture"};
  rec.Initialize(true);
  EXPECT_TRUE(rec.Initialized());
  EXPECT_TRUE(rec.VERSION_4_2);
  EXPECT_FALSE(rec.ARB_multitexture);
  EXPECT_EQ(rec.Enable, nullptr);
  EXPECT_EQ(rec.BindTexture, nullptr);
  EXPECT_NE(rec.GetStringi, nullptr);
  EXPECT_NE(rec.GetError, nullptr);
}

TEST_F(EntryPoints, CloseLeavesOnlyStubs) {
  g_fake.extensions = {"GL_ARB_multitexture"};
  rec.Initialize(false);
  rec.Close();
  EXPECT_FALSE(rec.Initialized());
  EXPECT_FALSE(rec.VERSION_1_0);
  EXPECT_FALSE(rec.VERSION_3_0);
  EXPECT_FALSE(rec.ARB_multitexture);
  LogLines log;
  EXPECT_THROW(rec.Enable(GL_BLEND), EAbort);
  EXPECT_THROW(rec.GetString(GL_VERSION), EAbort);
  EXPECT_TRUE(log.Has("Call OpenGL function with undefined entry point"));
  rec.CheckError();  // not initialised: does nothing, raises nothing
}

TEST_F(EntryPoints, CheckErrorDrainsAtMostEightAndReportsTheFirst) {
  rec.Initialize(false);
  LogLines log;
  g_fake.errors_left = -1;
  g_fake.error_calls = 0;
  rec.CheckError();
  EXPECT_EQ(g_fake.error_calls, 8);
  EXPECT_TRUE(log.Has("OpenGL error - Invalid value"));
  g_fake.errors_left = 2;
  g_fake.error_calls = 0;
  rec.CheckError();
  EXPECT_EQ(g_fake.error_calls, 3);
  EXPECT_TRUE(log.Has("OpenGL error - Invalid enum"));
  g_fake.errors_left = -1;
  g_fake.error_calls = 0;
  rec.ClearError();
  EXPECT_EQ(g_fake.error_calls, 7);
}

TEST_F(EntryPoints, UnreadableVersionSetsOnlyVersion10) {
  g_fake.version = "no version here";
  rec.Initialize(false);
  EXPECT_TRUE(rec.VERSION_1_0);
  EXPECT_FALSE(rec.VERSION_1_1);
  EXPECT_THROW(rec.BindTexture(GL_TEXTURE_2D, 1), EAbort);
}

namespace {

// The names the driver was asked for since `mark`, in order.
std::vector<std::string> AskedSince(size_t mark) {
  return std::vector<std::string>(g_fake.resolved.begin() + static_cast<std::ptrdiff_t>(mark),
                                  g_fake.resolved.end());
}

using TGLProc = TGLExtensionsAndEntryPoints::TGLProc;
const TGLProc kDriverFunction = reinterpret_cast<TGLProc>(&FakeAny);

}  // namespace

// Each routine by name, on a context of the given version and extensions: the names asked of the
// driver in order (the last one binds) or none, and whether the driver's function comes back.
TEST_F(EntryPoints, ResolutionRoutinesAskOnlyForNamesTheContextOffers) {
  struct Case {
    const char* version;
    std::vector<std::string> extensions;  // without "GL_"
    char routine;  // P: ResolveGLEntryPoint, A: ResolveGLEntryPointAlt, N: ResolveGLEntryPointNoSuffix
    const char* name;
    const char* second;              // A only
    std::vector<std::string> asked;  // without "gl"
  };
  const Case cases[] = {
      // the plain name first when the version has it, the ARB form when only the extension does
      {"1.3", {}, 'P', "ActiveTexture", "", {"ActiveTexture"}},
      {"1.2", {"ARB_multitexture"}, 'P', "ActiveTexture", "", {"ActiveTextureARB"}},
      {"1.2", {}, 'P', "ActiveTexture", "", {}},
      // the EXT form where only that extension has it
      {"1.3", {"EXT_blend_func_separate"}, 'P', "BlendFuncSeparate", "", {"BlendFuncSeparateEXT"}},
      {"4.0", {}, 'P', "BlendEquationi", "", {"BlendEquationi"}},
      {"3.0", {"ARB_draw_buffers_blend"}, 'P', "BlendEquationi", "", {"BlendEquationiARB"}},
      // not a field of the record
      {"4.2", {}, 'P', "NoSuchFunction", "", {}},
      // the older shader-object name first, the newer one when the older is not offered
      {"2.0", {"ARB_shader_objects"}, 'A', "CreateShaderObject", "CreateShader", {"CreateShaderObjectARB"}},
      {"2.0", {}, 'A', "CreateShaderObject", "CreateShader", {"CreateShader"}},
      {"1.5", {}, 'A', "CreateShaderObject", "CreateShader", {}},
      {"1.5",
       {"ARB_shader_objects"},
       'A',
       "GetObjectParameteriv",
       "GetShaderiv",
       {"GetObjectParameterivARB"}},
      // a name that carries its suffix is asked for as it is, never with another one
      {"4.2", {"NV_path_rendering"}, 'N', "GenPathsNV", "", {"GenPathsNV"}},
      {"4.2", {}, 'N', "GenPathsNV", "", {}},
      {"4.2", {"AMDX_debug_output"}, 'N', "DebugMessageEnableAMDX", "", {"DebugMessageEnableAMDX"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(1, c.routine) + " " + c.name + " on " + c.version);
    g_fake = FakeDriver();
    g_fake.version = c.version;
    for (const std::string& e : c.extensions) {
      g_fake.extensions.push_back("GL_" + e);
      g_fake.legacy_list += "GL_" + e + " ";
    }
    TGLExtensionsAndEntryPoints r;
    r.SetProcResolver(&FakeResolve);
    r.Initialize(false);
    const size_t mark = g_fake.resolved.size();
    const TGLProc p = c.routine == 'P'   ? r.ResolveGLEntryPoint(c.name)
                      : c.routine == 'A' ? r.ResolveGLEntryPointAlt(c.name, c.second)
                                         : r.ResolveGLEntryPointNoSuffix(c.name);
    std::vector<std::string> asked;
    for (const std::string& n : c.asked) asked.push_back("gl" + n);
    EXPECT_EQ(AskedSince(mark), asked);
    if (!asked.empty()) {
      EXPECT_EQ(p, kDriverFunction);
    } else {
      ASSERT_NE(p, nullptr);  // the field's stub (see the next test)
      EXPECT_NE(p, kDriverFunction);
    }
  }
  // A name that is no field gives the untyped stub, which logs and aborts.
  const TGLProc none = rec.ResolveGLEntryPoint("NoSuchFunction");
  EXPECT_EQ(none, TGLExtensionsAndEntryPoints::GetUndefinedEntryPoint());
  LogLines log;
  EXPECT_THROW(none(), EAbort);
  EXPECT_TRUE(log.Has("Call OpenGL function with undefined entry point"));
}

// Initialize binds every field through those routines: a field holds what its routine gives.
TEST_F(EntryPoints, FieldsHoldWhatTheResolutionRoutinesGive) {
  g_fake.version = "2.0 Fake";
  g_fake.legacy_list = "GL_ARB_multitexture GL_NV_path_rendering";
  rec.Initialize(false);
  EXPECT_EQ(reinterpret_cast<TGLProc>(rec.ActiveTexture), rec.ResolveGLEntryPoint("ActiveTexture"));
  EXPECT_EQ(reinterpret_cast<TGLProc>(rec.CreateShader),
            rec.ResolveGLEntryPointAlt("CreateShaderObject", "CreateShader"));
  EXPECT_EQ(reinterpret_cast<TGLProc>(rec.GenPathsNV), rec.ResolveGLEntryPointNoSuffix("GenPathsNV"));
  // unresolved: the field's own stub, which the routine gives back too
  EXPECT_EQ(reinterpret_cast<TGLProc>(rec.BindFramebuffer), rec.ResolveGLEntryPoint("BindFramebuffer"));
  EXPECT_NE(reinterpret_cast<TGLProc>(rec.BindFramebuffer), kDriverFunction);
  EXPECT_NE(rec.ResolveGLEntryPoint("BindFramebuffer"),
            TGLExtensionsAndEntryPoints::GetUndefinedEntryPoint());
  // After Close nothing is offered any more.
  rec.Close();
  const size_t mark = g_fake.resolved.size();
  EXPECT_NE(rec.ResolveGLEntryPoint("ActiveTexture"), kDriverFunction);
  EXPECT_TRUE(AskedSince(mark).empty());
}
