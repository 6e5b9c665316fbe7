// The texture object: defaults, format mapping, image-class switch, notifications, copy and memory
// estimate; then, on the recording table, what it sends to OpenGL: one upload per change, the
// sampler parameters, the alpha rules, the error picture, Apply and UnApply on unit 0 and unit n,
// and coordinate generation.
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "TextureTestObjects.h"
#include "common/Exception.h"
#include "scene3d/gl/tests/RecordingFixture.h"
#include "scene3d/scene/texture/GLMultitextureCoordinator.h"
#include "scene3d/scene/texture/GLTexture.h"
#include "scene3d/scene/texture/TextureStartup.h"
#include "scene3d/scene/texture/picture/Bitmap.h"

using namespace gl3d;
using common::EAssertionFailed;

namespace {

using Material = test::ListeningMaterial;
using test::PlainBitmap;

// w x h RGBA pixels of one colour, as the editor fills them.
std::unique_ptr<TGLImage> Pixels(int w, int h, TGLPixel32 colour) {
  auto image = std::make_unique<TGLImage>();
  image->SetWidth(w);
  image->SetHeight(h);
  image->SetBlank(false);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image->ScanLine(y)[x] = colour;
  return image;
}

class Texture : public ::testing::Test {
 protected:
  void SetUp() override { TextureStartup(); }
};

// ---- Properties ----

TEST_F(Texture, Defaults) {
  TGLTexture t(nullptr);
  EXPECT_TRUE(t.Disabled());
  EXPECT_FALSE(t.Enabled());
  EXPECT_EQ(t.TextureMode(), tmDecal);
  EXPECT_EQ(t.TextureWrap(), twBoth);
  EXPECT_EQ(t.TextureWrapS(), twRepeat);
  EXPECT_EQ(t.MagFilter(), maLinear);
  EXPECT_EQ(t.MinFilter(), miLinearMipmapLinear);
  EXPECT_EQ(t.TextureFormat(), tfDefault);
  EXPECT_EQ(t.TextureFormatEx(), tfRGBA8);
  EXPECT_EQ(t.Compression(), tcDefault);
  EXPECT_EQ(t.ImageAlpha(), tiaDefault);
  EXPECT_EQ(t.ImageBrightness(), 1.0f);
  EXPECT_EQ(t.ImageGamma(), 1.0f);
  EXPECT_EQ(t.MappingMode(), tmmUser);
  EXPECT_EQ(t.NormalMapScale(), 0.125f);
  EXPECT_EQ(t.TextureCompareFunc(), cfLEqual);
  EXPECT_EQ(t.DepthTextureMode(), dtmLuminance);
  EXPECT_EQ(t.ImageClassName(), "TGLPersistentImage");
  EXPECT_FALSE(t.StoreImageClassName());
  EXPECT_FALSE(t.StoreTextureFormatEx());
  const TVector4f zero{0, 0, 0, 0};
  EXPECT_TRUE(VectorEquals4f(t.EnvColor().Color(), zero));
  EXPECT_TRUE(VectorEquals4f(t.BorderColor().Color(), zero));
  EXPECT_TRUE(t.MappingSCoordinates()->Equals({1, 0, 0, 0}));
  EXPECT_TRUE(t.MappingQCoordinates()->Equals({0, 0, 0, 1}));
  EXPECT_EQ(t.MappingTCoordinates()->Kind(), ckVector);
}

TEST_F(Texture, TextureFormatMapsToTheInternalFormatAndBack) {
  struct Case {
    TGLTextureFormat written;
    TGLInternalFormat stored;
    TGLTextureFormat read;
  } cases[] = {{tfDefault, tfRGBA8, tfDefault},
               {tfRGB, tfRGB8, tfRGB},
               {tfRGBA, tfRGBA8, tfDefault},
               {tfRGB16, tfRGB5, tfRGB16},
               {tfRGBA16, tfRGBA4, tfRGBA16},
               {tfAlpha, tfALPHA8, tfAlpha},
               {tfLuminance, tfLUMINANCE8, tfLuminance},
               {tfLuminanceAlpha, tfLUMINANCE8_ALPHA8, tfLuminanceAlpha},
               {tfIntensity, tfINTENSITY8, tfIntensity},
               {tfNormalMap, tfRGB8, tfRGB},
               {tfRGBAFloat16, tfRGBA_FLOAT16, tfRGBAFloat16},
               {tfRGBAFloat32, tfRGBA_FLOAT32, tfRGBAFloat32}};
  for (const Case& c : cases) {
    Material owner;
    TGLTexture t(&owner);
    t.SetTextureFormatEx(tfDEPTH_COMPONENT16);
    owner.changes = 0;
    t.SetTextureFormat(c.written);
    EXPECT_EQ(t.TextureFormatEx(), c.stored) << int(c.written);
    EXPECT_EQ(t.TextureFormat(), c.read) << int(c.written);
    EXPECT_EQ(owner.changes, 0) << "writing TextureFormat does not notify";
    EXPECT_FALSE(t.StoreTextureFormatEx());
  }
  TGLTexture t(nullptr);
  t.SetTextureFormatEx(tfDEPTH_COMPONENT24);
  EXPECT_EQ(t.TextureFormat(), tfExtended);
  EXPECT_TRUE(t.StoreTextureFormatEx());
  t.SetTextureFormat(tfExtended);
  EXPECT_EQ(t.TextureFormatEx(), tfDEPTH_COMPONENT24) << "tfExtended stores nothing";
}

TEST_F(Texture, ImageClassSwitch) {
  Material owner;
  TGLTexture t(&owner);
  owner.changes = 0;
  t.SetImageClassName("TGLBlankImage");
  EXPECT_EQ(t.ImageClassName(), "TGLBlankImage");
  EXPECT_EQ(t.Image()->GetWidth(), 256);
  EXPECT_EQ(t.Image()->GetHeight(), 256);
  EXPECT_TRUE(t.StoreImageClassName());
  EXPECT_EQ(owner.changes, 0) << "no notification";
  TGLTextureImage* blank = t.Image();
  t.SetImageClassName("TGLBlankImage");
  t.SetImageClassName("");
  EXPECT_EQ(t.Image(), blank);
  try {
    t.SetImageClassName("TGLMissingImage");
    FAIL();
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Message(), "Make sure you include the unit for TGLMissingImage in your uses clause");
  }
  EXPECT_EQ(t.Image(), blank);

  // SetImage makes the class of the value and copies it; nil gives a new persistent image.
  TGLBlankImage value(nullptr);
  value.SetWidth(16);
  t.SetImage(&value);
  EXPECT_EQ(t.Image(), blank);
  EXPECT_EQ(t.Image()->GetWidth(), 16);
  TGLCubeMapImage cube(nullptr);
  t.SetImage(&cube);
  EXPECT_EQ(t.ImageClassName(), "TGLCubeMapImage");
  EXPECT_EQ(t.Image()->OwnerTexture(), &t);
  t.SetImage(nullptr);
  EXPECT_EQ(t.ImageClassName(), "TGLPersistentImage");

  // The image's file requests reach the texture's handler.
  std::string asked;
  t.OnTextureNeeded = [&](TObject*, std::string& name) { asked = name; };
  EXPECT_THROW(t.Image()->LoadFromFile("/no/such/picture.bmp"), ETexture);
  EXPECT_EQ(asked, "/no/such/picture.bmp");
}

TEST_F(Texture, ChangeRules) {
  Material owner;
  TGLTexture t(&owner);
  struct Case {
    const char* what;
    std::function<void()> change;
    int changes, texMapChanges;
  } cases[] = {
      {"Disabled", [&] { t.SetDisabled(false); }, 0, 1},
      {"same Disabled", [&] { t.SetEnabled(true); }, 0, 0},
      {"user to sphere", [&] { t.SetMappingMode(tmmSphere); }, 0, 1},
      {"sphere to eye linear", [&] { t.SetMappingMode(tmmEyeLinear); }, 1, 0},
      {"back to user", [&] { t.SetMappingMode(tmmUser); }, 0, 1},
      {"mag filter", [&] { t.SetMagFilter(maNearest); }, 1, 0},
      {"same mag filter", [&] { t.SetMagFilter(maNearest); }, 0, 0},
      {"image alpha", [&] { t.SetImageAlpha(tiaOpaque); }, 1, 0},
      {"normal-map scale", [&] { t.SetNormalMapScale(2); }, 0, 0},
      {"keep image", [&] { t.SetKeepImageAfterTransfer(true); }, 0, 0},
      {"mapping plane", [&] { t.MappingSCoordinates()->SetX(3); }, 1, 0},
  };
  for (const Case& c : cases) {
    owner.changes = owner.texMapChanges = 0;
    c.change();
    EXPECT_EQ(owner.changes, c.changes) << c.what;
    EXPECT_EQ(owner.texMapChanges, c.texMapChanges) << c.what;
  }
  // An owner without the interface hears of Disabled through the plain notification.
  TGLTexture plain(nullptr);
  int changes = 0;
  plain.OnPropertyChange = [&](TObject*) { ++changes; };
  plain.SetDisabled(false);
  EXPECT_EQ(changes, 1);
  plain.SetMappingMode(tmmSphere);
  EXPECT_EQ(changes, 1) << "a texture-mapping change only reaches an owner that listens for it";
}

TEST_F(Texture, AssignCopiesTheImageAndItsShapingSettings) {
  TGLTexture source(nullptr);
  source.SetDisabled(false);
  source.SetTextureMode(tmReplace);
  source.SetTextureWrap(twNone);
  source.SetTextureWrapS(twClampToEdge);
  source.SetTextureCompareMode(tcmCompareRtoTexture);
  source.SetMinFilter(miNearest);
  source.SetImageGamma(2);
  source.SetNormalMapScale(3);
  source.MappingTCoordinates()->SetVector(0, 2, 0, 0);
  source.SetImageClassName("TGLBlankImage");
  static_cast<TGLBlankImage*>(source.Image())->SetWidth(40);

  TGLTexture target(nullptr);
  target.Assign(&source);
  EXPECT_FALSE(target.Disabled());
  EXPECT_EQ(target.TextureMode(), tmReplace);
  EXPECT_EQ(target.TextureWrap(), twNone);
  EXPECT_EQ(target.MinFilter(), miNearest);
  EXPECT_EQ(target.ImageGamma(), 2.0f);
  EXPECT_EQ(target.NormalMapScale(), 3.0f);
  EXPECT_TRUE(target.MappingTCoordinates()->Equals({0, 2, 0, 0}));
  EXPECT_EQ(target.ImageClassName(), "TGLBlankImage");
  EXPECT_EQ(target.Image()->GetWidth(), 40);
  EXPECT_EQ(target.TextureWrapS(), twRepeat) << "not copied";
  EXPECT_EQ(target.TextureCompareMode(), tcmNone) << "not copied";

  TBitmap bitmap = PlainBitmap(8, 2, 1, 2, 3);
  TGLTexture fromGraphic(nullptr);
  fromGraphic.Assign(&bitmap);
  EXPECT_EQ(fromGraphic.Image()->GetWidth(), 8);
  target.Assign(nullptr);
  EXPECT_TRUE(target.Disabled());
  EXPECT_EQ(target.ImageClassName(), "TGLPersistentImage");
  TGLColor colour(nullptr);
  EXPECT_THROW(target.Assign(&colour), EConvertError);
}

TEST_F(Texture, RequiredMemory) {
  struct Case {
    const char* what;
    int32_t width, height, depth;
    bool cube;
    TGLMinFilter filter;
    TGLInternalFormat format;
    int32_t expected;
  } cases[] = {
      {"256 RGBA8 with mipmaps", 256, 256, 0, false, miLinearMipmapLinear, tfRGBA8, 349524},
      {"256 RGBA8 without", 256, 256, 0, false, miLinear, tfRGBA8, 262144},
      {"cube", 256, 256, 0, true, miLinear, tfRGBA8, 6 * 262144},
      {"volume", 16, 16, 4, false, miNearest, tfRGB8, 16 * 16 * 3 * 4},
      {"DXT1 in whole blocks", 10, 6, 0, false, miLinear, tfCOMPRESSED_RGB_S3TC_DXT1, 3 * 2 * 8},
      {"DXT5 chain stops at one block", 8, 8, 0, false, miLinearMipmapNearest, tfCOMPRESSED_RGBA_S3TC_DXT5,
       64 + 16},
      {"beyond 32 bits", 65536, 65536, 0, false, miLinearMipmapLinear, tfRGBA8, INT32_MAX},
      {"cube beyond 32 bits", 32768, 16384, 0, true, miLinear, tfRGBA8, INT32_MAX},
  };
  for (const Case& c : cases) {
    TGLTexture t(nullptr);
    t.SetImageClassName("TGLBlankImage");
    auto* blank = static_cast<TGLBlankImage*>(t.Image());
    blank->SetWidth(c.width);
    blank->SetHeight(c.height);
    blank->SetDepth(c.depth);
    blank->SetCubeMap(c.cube);
    t.SetMinFilter(c.filter);
    t.SetTextureFormatEx(c.format);
    EXPECT_EQ(t.RequiredMemory(), c.expected) << c.what;
    blank->SetWidth(1);
    EXPECT_EQ(t.RequiredMemory(), c.expected) << c.what << ": cached";
  }
}

// ---- On the recording table ----

class TextureGL : public test::TextureRecordingFixture {
 protected:
  void SetUp() override {
    TextureRecordingFixture::SetUp();
    // Errors: `stale` ones pending before anything, and one after each upload while failUploads.
    Answer = [this](const TGLRecordedCall& c, TGLArgValue& r) {
      if (c.Name != "GetError") return;
      const size_t n = rec.Calls.size();
      const bool afterUpload = n >= 2 && rec.Calls[n - 2].Name.find("Image2D") != std::string_view::npos;
      if (stale > 0) {
        --stale;
        r.I = GL_INVALID_ENUM;
      } else if (failUploads && afterUpload) {
        r.I = GL_OUT_OF_MEMORY;
      }
    };
  }
  // A texture holding a 4 x 4 picture, enabled, mode replace.
  std::unique_ptr<TGLTexture> Picture(Material* owner = nullptr) {
    auto t = std::make_unique<TGLTexture>(owner);
    TBitmap bitmap = PlainBitmap(4, 4, 10, 20, 30);
    t->Assign(&bitmap);
    t->SetDisabled(false);
    t->SetTextureMode(tmReplace);
    return t;
  }
  // The texture's image becomes a cube map of six 4 x 4 faces.
  static void MakeCubeMap(TGLTexture& t) {
    TGLCubeMapImage cube(nullptr);
    TBitmap face = PlainBitmap(4, 4, 5, 5, 5);
    for (int i = 0; i < 6; ++i) cube.Pictures(static_cast<TGLCubeMapTarget>(i))->SetGraphic(&face);
    t.SetImage(&cube);
  }
  size_t Uploads() const { return rec.Count("TextureImage2D") + rec.Count("TexImage2D"); }
  // The 16 values of the last matrix loaded.
  std::vector<double> LoadedMatrix() const {
    for (auto c = rec.Calls.rbegin(); c != rec.Calls.rend(); ++c)
      if (c->Name == "LoadMatrixf") return c->Values;
    return {};
  }
  // The texture-parameter calls as pname -> value.
  std::map<GLenum, double> Parameters() const {
    std::map<GLenum, double> p;
    for (const TGLRecordedCall& c : rec.Calls)
      if (c.Name == "TexParameteri") p[static_cast<GLenum>(c.Args[1].I)] = static_cast<double>(c.Args[2].I);
    return p;
  }
  std::string Log(std::initializer_list<std::string_view> names) const {
    std::string log;
    for (const TGLRecordedCall& c : rec.Calls)
      for (std::string_view n : names)
        if (c.Name == n) log += (log.empty() ? "" : "; ") + c.Text();
    return log;
  }

  int stale = 0;
  bool failUploads = false;
};

TEST_F(TextureGL, OneUploadPerNotifyThenNoCPUImage) {
  TGLTexture t(nullptr);
  t.SetImageClassName("TGLBlankImage");
  t.SetDisabled(false);
  TGLTextureImage* image = t.Image();
  std::unique_ptr<TGLImage> painted = Pixels(8, 4, {1, 2, 3, 4});
  image->GetImageBuffer()->Assign(painted.get());
  image->NotifyChange(nullptr);

  t.Apply(rci);
  t.UnApply(rci);
  EXPECT_EQ(Uploads(), 1u);
  EXPECT_EQ(t.TexWidth(), 8);
  EXPECT_EQ(t.TexHeight(), 4);
  EXPECT_EQ(t.RequiredMemory(), 128 + 32 + 8 + 2);
  rec.Clear();
  t.Apply(rci);
  t.UnApply(rci);
  t.Apply(rci);
  t.UnApply(rci);
  EXPECT_EQ(Uploads(), 0u);
  EXPECT_TRUE(image->GetImageBuffer()->Blank()) << "the pixels were released after the upload";

  // A notify without new pixels uploads the blank image of the stored size, once.
  image->NotifyChange(nullptr);
  rec.Clear();
  t.Apply(rci);
  t.Apply(rci);
  EXPECT_EQ(Uploads(), 1u);
  EXPECT_EQ(t.TexWidth(), 8);

  // With KeepImageAfterTransfer the pixels stay.
  t.SetKeepImageAfterTransfer(true);
  image->GetImageBuffer()->Assign(painted.get());
  image->NotifyChange(nullptr);
  t.Apply(rci);
  EXPECT_FALSE(image->GetImageBuffer()->Blank());
}

TEST_F(TextureGL, ApplyOfAnUnchangedTextureSendsOnlyWhatTheCacheLetsThrough) {
  auto t = Picture();
  t->Apply(rci);
  EXPECT_EQ(Uploads(), 1u);
  EXPECT_EQ(rec.Count("TexParameteri"), 6u) << rec.Log();
  t->UnApply(rci);
  rec.Clear();
  t->Apply(rci);
  EXPECT_EQ(rec.Log(),
            "BindTexture(3553, 0); BindTexture(3553, 1); Enable(3553); TexEnvi(8960, 8704, 7681); "
            "TexEnvfv(8960, 8705, ptr)");
  rec.Clear();
  t->UnApply(rci);
  EXPECT_EQ(rec.Log(), "Disable(3553)");
  EXPECT_EQ(CurrentMultitextureCoordinator()->Mode(), mtcmMain);

  // A sampler change sends the parameters again, without an upload.
  t->SetMagFilter(maNearest);
  rec.Clear();
  t->Apply(rci);
  EXPECT_EQ(Uploads(), 0u);
  EXPECT_EQ(Parameters()[GL_TEXTURE_MAG_FILTER], GL_NEAREST);
  // An upload setting uploads again.
  t->SetImageBrightness(0.5f);
  rec.Clear();
  t->Apply(rci);
  EXPECT_EQ(Uploads(), 1u);
}

TEST_F(TextureGL, ADisabledTextureUploadsWithoutBinding) {
  for (bool dsa : {true, false}) {
    G().EXT_direct_state_access = dsa;
    auto t = Picture();
    t->SetDisabled(true);
    CurrentMultitextureCoordinator()->SetNullMapping();
    rec.Clear();
    t->Apply(rci);
    EXPECT_EQ(Uploads(), 1u) << dsa;
    EXPECT_EQ(rec.Count("Enable"), 0u) << dsa;
    EXPECT_EQ(S().GetTextureBinding(0, ttTexture2D), 0u) << "what the upload bound is undone";
    EXPECT_EQ(CurrentMultitextureCoordinator()->Mode(), mtcmMain);
    rec.Clear();
    t->UnApply(rci);
    EXPECT_EQ(rec.Calls.size(), 0u);
  }
}

TEST_F(TextureGL, GetHandleKeepsTheBindingsOfTheActiveUnit) {
  G().EXT_direct_state_access = false;
  S().SetActiveTexture(1);
  S().SetTextureBinding(1, ttTexture2D, 99);
  S().SetTextureBinding(1, ttTextureCube, 98);
  auto t = Picture();
  rec.Clear();
  const GLuint name = t->GetHandle();
  EXPECT_NE(name, 0u);
  EXPECT_EQ(Log({"BindTexture"}), "BindTexture(3553, 1); BindTexture(3553, 99)")
      << "bound for the upload, then put back";
  EXPECT_EQ(S().GetTextureBinding(1, ttTextureCube), 98u);
  EXPECT_TRUE(t->HasHandle());

  // The texture itself bound on the active unit is unbound before the next upload.
  S().SetTextureBinding(1, ttTexture2D, name);
  t->MarkImageChanged();
  rec.Clear();
  t->GetHandle();
  EXPECT_EQ(Log({"BindTexture"}), "BindTexture(3553, 0); BindTexture(3553, 1); BindTexture(3553, 0)");
  t->DestroyHandles();
  EXPECT_FALSE(t->HasHandle());
}

TEST_F(TextureGL, AnImageThatBecomesACubeMapRemakesTheObject) {
  auto t = Picture();
  t->Apply(rci);
  const GLuint first = t->TextureHandle().GetHandle();
  EXPECT_EQ(t->TextureHandle().Target(), ttTexture2D);
  t->UnApply(rci);

  MakeCubeMap(*t);
  rec.Clear();
  t->Apply(rci);
  EXPECT_EQ(rec.Count("DeleteTextures"), 1u);
  EXPECT_EQ(rec.Count("GenTextures"), 1u);
  EXPECT_EQ(t->TextureHandle().Target(), ttTextureCube);
  EXPECT_NE(t->TextureHandle().GetHandle(), first);
  EXPECT_EQ(S().GetTextureBinding(0, ttTextureCube), t->TextureHandle().GetHandle());
  EXPECT_EQ(rec.Count("TextureImage2D"), 6u) << "one image per face";
  EXPECT_EQ(t->RequiredMemory(), 6 * (64 + 16 + 4));
}

TEST_F(TextureGL, UnsupportedTargetsAndFormatsGiveTheErrorPicture) {
  struct Case {
    const char* what;
    bool TGLExtensionsAndEntryPoints::*flag;
    std::function<void(TGLTexture&)> setUp;
  } cases[] = {
      {"depth format without depth textures", &TGLExtensionsAndEntryPoints::ARB_depth_texture,
       [](TGLTexture& t) { t.SetTextureFormatEx(tfDEPTH_COMPONENT24); }},
      {"volume without 3D textures", &TGLExtensionsAndEntryPoints::EXT_texture3D,
       [](TGLTexture& t) {
         t.SetImageClassName("TGLBlankImage");
         static_cast<TGLBlankImage*>(t.Image())->SetDepth(2);
       }},
      {"cube map without cube maps", &TGLExtensionsAndEntryPoints::ARB_texture_cube_map,
       [](TGLTexture& t) { t.SetImageClassName("TGLCubeMapImage"); }},
  };
  for (const Case& c : cases) {
    G().*c.flag = false;
    auto t = Picture();
    t->SetMappingMode(tmmSphere);
    t->SetCompression(tcHighQuality);
    c.setUp(*t);
    rec.Clear();
    t->Apply(rci);
    EXPECT_EQ(t->ImageClassName(), "TGLBlankImage") << c.what;
    EXPECT_EQ(t->Image()->GetWidth(), 64) << c.what;
    EXPECT_EQ(t->MagFilter(), maNearest) << c.what;
    EXPECT_EQ(t->MinFilter(), miNearest) << c.what;
    EXPECT_EQ(t->MappingMode(), tmmUser) << c.what;
    EXPECT_EQ(t->Compression(), tcNone) << c.what;
    EXPECT_EQ(t->TextureHandle().Target(), ttTexture2D) << c.what;
    EXPECT_EQ(t->TextureFormatEx(), tfRGBA8)
        << c.what << ": the error picture is uploaded in a format the context has";
    EXPECT_GE(Uploads(), 1u) << c.what;
    EXPECT_EQ(S().GetTextureBinding(0, ttTexture2D), t->TextureHandle().GetHandle()) << c.what;
    G().*c.flag = true;
  }
}

TEST_F(TextureGL, AGLErrorAfterTheUploadGivesTheErrorPictureAStaleOneDoesNot) {
  auto t = Picture();
  t->PrepareHandle();  // the object exists: nothing reads errors before the upload but the upload
  t->MarkImageChanged();
  stale = 3;
  t->Apply(rci);
  EXPECT_EQ(stale, 0);
  EXPECT_EQ(Uploads(), 1u);
  EXPECT_EQ(t->ImageClassName(), "TGLPersistentImage");
  EXPECT_EQ(t->MagFilter(), maLinear);

  auto failing = Picture();
  failUploads = true;
  failing->Apply(rci);
  EXPECT_EQ(failing->ImageClassName(), "TGLBlankImage");
  EXPECT_EQ(failing->MinFilter(), miNearest);
}

TEST_F(TextureGL, SamplerParameters) {
  struct Case {
    const char* what;
    TGLTextureWrap wrap;
    bool edgeClamp, thirdAxis;
    GLenum s, t, r;  // r 0: not sent
  } cases[] = {
      {"both", twBoth, true, true, GL_REPEAT, GL_REPEAT, GL_REPEAT},
      {"none", twNone, true, true, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE},
      {"vertical", twVertical, true, true, GL_CLAMP_TO_EDGE, GL_REPEAT, GL_REPEAT},
      {"horizontal", twHorizontal, true, false, GL_REPEAT, GL_CLAMP_TO_EDGE, 0},
      {"separate", twSeparate, true, true, GL_MIRRORED_REPEAT, 0x8743, GL_CLAMP_TO_BORDER},
      {"none, no edge clamp", twNone, false, true, GL_CLAMP, GL_CLAMP, 0},
      {"vertical, no edge clamp", twVertical, false, true, GL_CLAMP, GL_REPEAT, 0},
      {"horizontal, no edge clamp", twHorizontal, false, true, GL_REPEAT, GL_CLAMP, 0},
      {"separate, no edge clamp", twSeparate, false, true, GL_REPEAT, GL_CLAMP, 0},
  };
  for (const Case& c : cases) {
    G().VERSION_1_2 = G().EXT_texture_edge_clamp = c.edgeClamp;
    G().ARB_texture_cube_map = G().EXT_texture3D = c.thirdAxis;
    auto t = Picture();
    t->SetTextureWrap(c.wrap);
    t->SetTextureWrapT(twMirrorClampToEdge);
    t->SetTextureWrapR(twClampToBorder);
    t->SetTextureWrapS(c.wrap == twSeparate && !c.edgeClamp ? twRepeat : twMirrorRepeat);
    rec.Clear();
    t->PrepareHandle();
    std::map<GLenum, double> p = Parameters();
    EXPECT_EQ(p[GL_TEXTURE_WRAP_S], c.s) << c.what;
    EXPECT_EQ(p[GL_TEXTURE_WRAP_T], c.t) << c.what;
    EXPECT_EQ(p.count(GL_TEXTURE_WRAP_R), c.r ? 1u : 0u) << c.what;
    if (c.r) {
      EXPECT_EQ(p[GL_TEXTURE_WRAP_R], c.r) << c.what;
    }
  }
  G().VERSION_1_2 = G().ARB_texture_cube_map = G().EXT_texture3D = true;

  // Mipmap filters without level-of-detail control, anisotropy, depth comparison.
  G().EXT_texture_lod = G().SGIS_texture_lod = false;
  auto t = Picture();
  t->SetFilteringQuality(tfAnisotropic);
  t->SetTextureFormatEx(tfDEPTH_COMPONENT24);
  t->SetTextureCompareMode(tcmCompareRtoTexture);
  t->SetDepthTextureMode(dtmAlpha);
  t->SetTextureCompareFunc(cfGreater);
  rec.Clear();
  t->PrepareHandle();
  std::map<GLenum, double> p = Parameters();
  EXPECT_EQ(p[GL_TEXTURE_MIN_FILTER], GL_LINEAR);
  EXPECT_EQ(p[GL_TEXTURE_MAG_FILTER], GL_LINEAR);
  EXPECT_EQ(p[GL_TEXTURE_MAX_ANISOTROPY_EXT], 2);
  EXPECT_EQ(p[GL_TEXTURE_COMPARE_MODE], GL_COMPARE_R_TO_TEXTURE);
  EXPECT_EQ(p[GL_TEXTURE_COMPARE_FUNC], GL_GREATER);
  EXPECT_EQ(p[GL_DEPTH_TEXTURE_MODE], GL_ALPHA);
  EXPECT_EQ(Log({"TexParameterfv"}), "TexParameterfv(3553, 4100, ptr)");
  G().SGIS_texture_lod = true;
  t->SetMinFilter(miNearestMipmapLinear);
  rec.Clear();
  t->PrepareHandle();
  EXPECT_EQ(Parameters()[GL_TEXTURE_MIN_FILTER], GL_NEAREST_MIPMAP_LINEAR);
}

TEST_F(TextureGL, InternalFormatAndCompression) {
  struct Case {
    TGLInternalFormat format;
    TGLInternalCompression compression;
    bool extension;
    GLenum expected;
    size_t hints;
  } cases[] = {
      {tfRGBA8, tcDefault, true, GL_RGBA8, 0},
      {tfRGBA8, tcHighQuality, true, GL_COMPRESSED_RGBA, 1},
      {tfRGB8, tcStandard, true, GL_COMPRESSED_RGB, 1},
      {tfLUMINANCE8, tcHighSpeed, true, GL_COMPRESSED_LUMINANCE, 1},
      {tfRGBA8, tcHighQuality, false, GL_RGBA8, 0},
      {tfRGBA_FLOAT32, tcHighQuality, true, 0x8814, 0},
      {tfDEPTH_COMPONENT24, tcHighQuality, true, GL_DEPTH_COMPONENT24, 0},
  };
  for (const Case& c : cases) {
    G().ARB_texture_compression = c.extension;
    TGLTexture t(nullptr);
    t.SetTextureFormatEx(c.format);
    t.SetCompression(c.compression);
    rec.Clear();
    EXPECT_EQ(t.GLInternalFormat(), c.expected) << int(c.format) << " " << int(c.compression);
    EXPECT_EQ(rec.Count("Hint"), c.hints);
    EXPECT_EQ(t.HasFloatFormat(), c.format == tfRGBA_FLOAT32);
  }
  G().ARB_texture_compression = true;
  TGLTexture t(nullptr);
  t.SetCompression(tcHighQuality);
  t.GLInternalFormat();
  EXPECT_EQ(Log({"Hint"}), "Hint(34031, 4354)");
}

TEST_F(TextureGL, AlphaRules) {
  // Two pixels in the first stored row: black, then grey 100; the second row white, then red.
  std::unique_ptr<TGLImage> picture = Pixels(2, 2, {0, 0, 0, 7});
  picture->ScanLine(0)[1] = {100, 100, 100, 7};
  picture->ScanLine(1)[0] = {255, 255, 255, 7};
  picture->ScanLine(1)[1] = {255, 0, 0, 7};
  struct Case {
    TGLTextureImageAlpha alpha;
    int expected[4];  // alpha of the four pixels in data order
  } cases[] = {
      {tiaDefault, {7, 7, 7, 7}},
      {tiaOpaque, {255, 255, 255, 255}},
      {tiaSuperBlackTransparent, {0, 255, 255, 255}},
      {tiaAlphaFromIntensity, {0, 100, 255, 85}},
      {tiaInverseLuminance, {255, 155, 0, 170}},
      {tiaTopLeftPointColorTransparent, {0, 255, 255, 255}},
      {tiaBottomRightPointColorTransparent, {255, 0, 255, 255}},
  };
  for (const Case& c : cases) {
    TGLTexture t(nullptr);
    t.SetImageClassName("TGLBlankImage");
    t.SetKeepImageAfterTransfer(true);
    t.SetImageAlpha(c.alpha);
    t.Image()->GetImageBuffer()->Assign(picture.get());
    t.GetHandle();
    const TGLPixel32* p = reinterpret_cast<const TGLPixel32*>(t.Image()->GetImageBuffer()->GetData());
    for (int i = 0; i < 4; ++i) EXPECT_EQ(p[i].A, c.expected[i]) << int(c.alpha) << " pixel " << i;
  }
  TGLTexture t(nullptr);
  t.SetImageClassName("TGLBlankImage");
  t.SetKeepImageAfterTransfer(true);
  t.SetImageBrightness(0.5f);
  t.Image()->GetImageBuffer()->Assign(picture.get());
  t.GetHandle();
  EXPECT_EQ(t.Image()->GetImageBuffer()->ScanLine(0)[1].R, 50);
}

TEST_F(TextureGL, CoordinateGeneration) {
  struct Case {
    TGLTextureMappingMode mode;
    bool thirdAxis;
    const char* expected;
  } cases[] = {
      {tmmUser, true, ""},
      {tmmSphere, true, "TexGeni(8192, 9472, 9218); TexGeni(8193, 9472, 9218); Enable(3168); Enable(3169)"},
      {tmmObjectLinear, false,
       "TexGeni(8192, 9472, 9217); TexGeni(8193, 9472, 9217); TexGenfv(8192, 9473, ptr); "
       "TexGenfv(8193, 9473, ptr); Enable(3168); Enable(3169)"},
      {tmmEyeLinear, true,
       "TexGeni(8192, 9472, 9216); TexGeni(8193, 9472, 9216); MatrixMode(5888); PushMatrix(); "
       "LoadIdentity(); "
       "TexGenfv(8192, 9474, ptr); TexGenfv(8193, 9474, ptr); Enable(3168); Enable(3169); "
       "TexGenfv(8194, 9474, ptr); TexGenfv(8195, 9474, ptr); Enable(3170); Enable(3171); PopMatrix()"},
      {tmmCubeMapReflection, true,
       "TexGeni(8192, 9472, 34066); TexGeni(8193, 9472, 34066); TexGeni(8194, 9472, 34066); Enable(3168); "
       "Enable(3169); Enable(3170)"},
      {tmmCubeMapNormal, true,
       "TexGeni(8192, 9472, 34065); TexGeni(8193, 9472, 34065); TexGeni(8194, 9472, 34065); Enable(3168); "
       "Enable(3169); Enable(3170)"},
      {tmmCubeMapCamera, false, ""},
  };
  for (const Case& c : cases) {
    G().ARB_texture_cube_map = G().EXT_texture3D = c.thirdAxis;
    TGLTexture t(nullptr);
    t.SetMappingMode(c.mode);
    rec.Clear();
    t.ApplyCoordinateGeneration();
    EXPECT_EQ(rec.Log(), c.expected) << int(c.mode);
    rec.Clear();
    t.UnApplyCoordinateGeneration();
    const std::string off = c.mode == tmmUser ? ""
                            : c.thirdAxis     ? "Disable(3168); Disable(3169); Disable(3170); Disable(3171)"
                                              : "Disable(3168); Disable(3169)";
    EXPECT_EQ(rec.Log(), off) << int(c.mode);
  }
  // The planes sent are the mapping coordinates.
  G().ARB_texture_cube_map = true;
  TGLTexture t(nullptr);
  t.SetMappingMode(tmmObjectLinear);
  t.MappingTCoordinates()->SetVector(0, 2, 0, 0.5f);
  rec.Clear();
  t.ApplyCoordinateGeneration();
  ASSERT_EQ(rec.Count("TexGenfv"), 4u);
  const float* plane = static_cast<const float*>(rec.Calls[3].Args[2].P);
  EXPECT_EQ(rec.Calls[3].Args[0].I, GL_T);
  EXPECT_EQ(std::vector<float>(plane, plane + 4), (std::vector<float>{0, 2, 0, 0.5f}));
}

TEST_F(TextureGL, CubeMapTextureMatrices) {
  auto t = Picture();
  MakeCubeMap(*t);
  // A view turned a quarter around Z, moved away: the matrix is its rotation, transposed.
  TMatrix4f view{{{0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 0, 1, 0}, {5, 6, 7, 1}}};
  ctx->PipelineTransformation().SetViewMatrix(view);
  t->SetMappingMode(tmmCubeMapReflection);
  rec.Clear();
  t->Apply(rci);
  EXPECT_EQ(LoadedMatrix(), (std::vector<double>{0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}));
  rec.Clear();
  t->UnApply(rci);
  EXPECT_NE(rec.Log().find("MatrixMode(5890); LoadIdentity(); MatrixMode(5888)"), std::string::npos)
      << rec.Log();

  // The camera mode: rows direction x up, -direction, up.
  rci.CameraDirection = {0, 0, -1, 0};
  rci.CameraUp = {0, 1, 0, 0};
  ctx->PipelineTransformation().SetViewMatrix(IdentityMatrix4f);
  t->SetMappingMode(tmmCubeMapCamera);
  rec.Clear();
  t->Apply(rci);
  EXPECT_EQ(LoadedMatrix(), (std::vector<double>{1, 0, 0, 0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 1}));
  t->UnApply(rci);
  // Light 0 without a scene: no matrix.
  t->SetMappingMode(tmmCubeMapLight0);
  rec.Clear();
  t->Apply(rci);
  EXPECT_EQ(rec.Count("LoadMatrixf"), 0u);
  t->UnApply(rci);
}

TEST_F(TextureGL, ApplyOnUnitN) {
  auto t = Picture();
  t->GetHandle();
  const TMatrix4f shift{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0.5f, 0, 0, 1}}};
  rec.Clear();
  t->ApplyOnUnit(3, rci, &shift);
  EXPECT_EQ(rec.Log(),
            "ActiveTexture(33986); BindTexture(3553, 1); Enable(3553); MatrixMode(5890); "
            "LoadMatrixf([1 0 0 0 0 1 0 0 0 0 1 0 0.5 0 0 1]); MatrixMode(5888); TexEnvi(8960, 8704, 7681); "
            "TexEnvfv(8960, 8705, ptr); ActiveTexture(33984)");
  rec.Clear();
  t->UnApplyOnUnit(3, rci, true);
  EXPECT_EQ(rec.Log(),
            "ActiveTexture(33986); Disable(3553); MatrixMode(5890); LoadIdentity(); MatrixMode(5888); "
            "ActiveTexture(33984)");
  rec.Clear();
  t->ApplyOnSecondUnit(rci, nullptr);
  t->UnApplyOnSecondUnit(rci, false);
  EXPECT_EQ(Log({"ActiveTexture", "Enable", "Disable", "LoadIdentity"}),
            "ActiveTexture(33985); Enable(3553); ActiveTexture(33984); ActiveTexture(33985); Disable(3553); "
            "ActiveTexture(33984)");

  // A disabled texture is not applied on a unit; in a forward-compatible context the unit stays.
  t->SetDisabled(true);
  rec.Clear();
  t->ApplyOnUnit(3, rci, nullptr);
  EXPECT_EQ(rec.Calls.size(), 0u);
  t->SetDisabled(false);
  S().SetForwardContext(true);
  t->ApplyOnUnit(3, rci, nullptr);
  EXPECT_EQ(S().ActiveTexture(), 2);
  rec.Clear();
  t->UnApplyOnUnit(3, rci, true);
  t->UnApply(rci);
  EXPECT_EQ(rec.Calls.size(), 0u);
  S().SetForwardContext(false);
}

}  // namespace
