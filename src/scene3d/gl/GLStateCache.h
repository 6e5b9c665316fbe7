#pragma once
// The OpenGL state of one rendering context, mirrored so that a render pass can state what it
// needs without paying for redundant driver calls: each setter compares with the cached value
// and talks to OpenGL only when they differ. While a display list is compiled the setters always
// send, leave the cache alone and record which attribute groups the list changes, so that
// CallList can wrap the list in glPushAttrib/glPopAttrib of exactly those groups.
//
// Every command goes through the calling thread's current entry-point record. Indices of texture
// units, lights, draw buffers, vertex attributes, sample mask words and clip distances are checked
// against their ranges (common::EAssertionFailed); display-list name 0 is refused likewise.
#include <GL/gl.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "scene3d/base/GLUtils.h"
#include "scene3d/base/VectorGeometry.h"
#include "scene3d/gl/GLTextureFormat.h"

namespace gl3d {

enum TComparisonFunction : uint8_t {
  cfNever,
  cfAlways,
  cfLess,
  cfLEqual,
  cfEqual,
  cfGreater,
  cfNotEqual,
  cfGEqual
};
enum TBlendFunction : uint8_t {
  bfZero,
  bfOne,
  bfSrcColor,
  bfOneMinusSrcColor,
  bfDstColor,
  bfOneMinusDstColor,
  bfSrcAlpha,
  bfOneMinusSrcAlpha,
  bfDstAlpha,
  bfOneMinusDstAlpha,
  bfConstantColor,
  bfOneMinusConstantColor,
  bfConstantAlpha,
  bfOneMinusConstantAlpha,
  bfSrcAlphaSat
};
enum TPolygonMode : uint8_t { pmFill, pmLines, pmPoints };
enum TCullFaceMode : uint8_t { cmFront, cmBack, cmFrontAndBack };
enum TColorComponent : uint8_t { ccRed, ccGreen, ccBlue, ccAlpha };
using TColorMask = uint8_t;  // bit 0 red .. bit 3 alpha
constexpr TColorMask cAllColorComponents = 0x0F;
enum TQueryType : uint8_t {
  qrySamplesPassed,
  qryPrimitivesGenerated,
  qryTransformFeedbackPrimitivesWritten,
  qryTimeElapsed,
  qryAnySamplesPassed
};
enum TGLStateType : uint8_t {
  sttCurrent,
  sttPoint,
  sttLine,
  sttPolygon,
  sttPolygonStipple,
  sttPixelMode,
  sttLighting,
  sttFog,
  sttDepthBuffer,
  sttAccumBuffer,
  sttStencilBuffer,
  sttViewport,
  sttTransform,
  sttEnable,
  sttColorBuffer,
  sttHint,
  sttEval,
  sttList,
  sttTexture,
  sttScissor,
  sttMultisample
};
using TGLStateTypes = uint32_t;  // bit n for the TGLStateType of ordinal n
constexpr TGLStateTypes StateTypes(TGLStateType t) { return 1u << t; }
enum TGLWinding : uint8_t { windCounterClockwise, windClockwise };
enum TGLHintMode : uint8_t { hintDontCare, hintFastest, hintNicest };
enum TGLLogicOp : uint8_t {
  logicClear,
  logicAnd,
  logicAndReverse,
  logicCopy,
  logicAndInverted,
  logicNoOp,
  logicXor,
  logicOr,
  logicNor,
  logicEquiv,
  logicInvert,
  logicOrReverse,
  logicCopyInverted,
  logicOrInverted,
  logicNand,
  logicSet
};
enum TGLCapability : uint8_t {
  capAlphaTest,
  capAutoNormal,
  capBlend,
  capColorMaterial,
  capCullFace,
  capDepthTest,
  capDither,
  capFog,
  capLighting,
  capLineSmooth,
  capLineStipple,
  capIndexLogicOp,
  capColorLogicOp,
  capNormalize,
  capPointSmooth,
  capPointSprite,
  capPolygonSmooth,
  capPolygonStipple,
  capScissorTest,
  capStencilTest,
  capPolygonOffsetPoint,
  capPolygonOffsetLine,
  capPolygonOffsetFill,
  capDepthClamp
};
using TGLCapabilities = uint32_t;  // bit n for the TGLCapability of ordinal n

constexpr int kTextureUnitCount = 48;
constexpr int kDrawBufferCount = 16;
constexpr int kVertexAttribCount = 16;
constexpr int kSampleMaskWords = 16;
constexpr int kClipDistanceCount = 8;
constexpr int kMaxLights = 16;

uint32_t ComparisonFunctionToGL(TComparisonFunction f);
uint32_t BlendFunctionToGL(TBlendFunction f);
uint32_t CapabilityToGL(TGLCapability c);
uint32_t StateTypesToAttribBits(TGLStateTypes groups);

class TGLStateCache {
 public:
  TGLStateCache();
  virtual ~TGLStateCache() = default;

  // Capabilities.
  void Enable(TGLCapability cap);
  void Disable(TGLCapability cap);
  void ForceEnable(TGLCapability cap);
  void ForceDisable(TGLCapability cap);
  TGLCapabilities States() const { return states_; }
  bool IsEnabled(TGLCapability cap) const { return (states_ >> cap) & 1u; }

  // Texture units and targets.
  int ActiveTexture() const { return active_texture_; }
  void SetActiveTexture(int unit);
  void SetTextureBinding(int unit, TGLTextureTarget target, GLuint name);
  GLuint GetTextureBinding(int unit, TGLTextureTarget target) const;
  double GetTextureBindingTime(int unit, TGLTextureTarget target) const;
  void SetActiveTextureEnabled(TGLTextureTarget target, bool enabled);
  bool GetActiveTextureEnabled(TGLTextureTarget target) const;
  void SetSamplerBinding(int unit, GLuint sampler);
  GLuint GetSamplerBinding(int unit) const;
  void SetTextureMatrix(const TMatrix4f& matrix);
  void ResetTextureMatrix();
  void ResetAllTextureMatrix();

  // Buffers, program and vertex attributes (plain: they ignore list compilation).
  GLuint ArrayBufferBinding() const { return array_buffer_; }
  GLuint ElementBufferBinding() const { return element_buffer_; }
  GLuint PixelUnpackBufferBinding() const { return unpack_buffer_; }
  GLuint CurrentProgram() const { return program_; }
  void SetArrayBufferBinding(GLuint buffer);
  void SetElementBufferBinding(GLuint buffer);
  void SetPixelUnpackBufferBinding(GLuint buffer);
  void SetCurrentProgram(GLuint program);
  void SetCurrentVertexAttrib(int index, const TVector4f& value);
  TVector4f GetCurrentVertexAttrib(int index) const;

  // Blending and colour buffer.
  void SetBlendFunc(TBlendFunction source, TBlendFunction destination);
  void SetBlendFuncSeparate(TBlendFunction srcColor, TBlendFunction dstColor, TBlendFunction srcAlpha,
                            TBlendFunction dstAlpha);
  void SetEnableBlend(int drawBuffer, bool enabled);
  bool GetEnableBlend(int drawBuffer) const;
  void SetColorWriteMask(int drawBuffer, TColorMask mask);
  TColorMask GetColorWriteMask(int drawBuffer) const;
  void SetColorMask(TColorMask mask);
  void SetColorWriting(bool enabled);
  void SetColorClearValue(const TVector4f& color);
  void SetAlphaFunction(TComparisonFunction function, float reference);
  void SetLogicOpMode(TGLLogicOp op);

  // Depth, viewport, clipping.
  void SetDepthFunc(TComparisonFunction function);
  void SetDepthWriteMask(bool enabled);
  void SetDepthRange(double zNear, double zFar);
  void SetViewPort(int x, int y, int width, int height);
  void GetViewPort(int out[4]) const;
  void SetEnableClipDistance(int index, bool enabled);
  bool GetEnableClipDistance(int index) const;

  // Rasterisation.
  void SetFrontFace(TGLWinding winding);
  TGLWinding FrontFace() const { return front_face_; }
  void InvertFrontFace();
  void SetPolygonMode(TPolygonMode mode);
  TPolygonMode PolygonMode() const { return polygon_front_; }
  void SetLineWidth(float width);
  float LineWidth() const { return line_width_; }
  void SetLineStippleFactor(int factor);
  void SetLineStipplePattern(uint16_t pattern);
  void SetPointSize(float size);

  // Multisampling and hints.
  void SetSampleMaskValue(int index, uint32_t mask);
  uint32_t GetSampleMaskValue(int index) const;
  void SetTextureCompressionHint(TGLHintMode hint);
  void SetMultisampleFilterHint(TGLHintMode hint);

  // Pixel unpacking (plain).
  void SetUnpackAlignment(int v);
  void SetUnpackRowLength(int v);
  void SetUnpackSkipRows(int v);
  void SetUnpackSkipPixels(int v);

  GLuint GetCurrentQuery(TQueryType type) const { return queries_[type]; }
  int GetMaxTextureSize();
  int GetMaxTextureImageUnits();
  bool ForwardContext() const { return forward_context_; }
  void SetForwardContext(bool forward);

  // Materials (face 0 front, 1 back).
  void SetGLMaterialColors(TCullFaceMode face, const TVector4f& emission, const TVector4f& ambient,
                           const TVector4f& diffuse, const TVector4f& specular, int shininess);
  // face: GL_FRONT or GL_BACK.
  void SetGLMaterialAlphaChannel(GLenum face, float alpha);
  TVector4f GetMaterialEmission(TCullFaceMode face) const;
  TVector4f GetMaterialAmbient(TCullFaceMode face) const;
  TVector4f GetMaterialDiffuse(TCullFaceMode face) const;
  TVector4f GetMaterialSpecular(TCullFaceMode face) const;
  int GetMaterialShininess(TCullFaceMode face) const;

  // Lights 0 to 15.
  bool FixedFunctionLights() const { return fixed_function_lights_; }
  void SetFixedFunctionLights(bool on);
  int GetMaxLights();
  void SetLightEnabling(int light, bool on);
  bool GetLightEnabling(int light) const;
  // The lights that are on, ascending.
  int LightCount() const { return light_count_; }
  int EnabledLight(int i) const;
  void SetLightPosition(int light, const TVector4f& position);
  TVector4f GetLightPosition(int light) const;
  void SetLightSpotDirection(int light, const TAffineVector& direction);
  TVector4f GetLightSpotDirection(int light) const;
  void SetLightAmbient(int light, const TVector4f& v);
  TVector4f GetLightAmbient(int light) const;
  void SetLightDiffuse(int light, const TVector4f& v);
  TVector4f GetLightDiffuse(int light) const;
  void SetLightSpecular(int light, const TVector4f& v);
  TVector4f GetLightSpecular(int light) const;
  void SetSpotCutoff(int light, float degrees);
  float GetSpotCutoff(int light) const;
  float GetSpotCosine(int light) const;
  void SetSpotExponent(int light, float v);
  float GetSpotExponent(int light) const;
  void SetConstantAtten(int light, float v);
  float GetConstantAtten(int light) const;
  void SetLinearAtten(int light, float v);
  float GetLinearAtten(int light) const;
  void SetQuadAtten(int light, float v);
  float GetQuadAtten(int light) const;
  std::function<void(TGLStateCache*)> OnLightsChanged;

  // Display lists and attribute groups.
  void NewList(GLuint list, GLenum mode);
  void EndList();
  void CallList(GLuint list);
  void PushAttrib(TGLStateTypes groups);
  void PopAttrib();
  bool InsideList() const { return inside_list_; }
  size_t ListStatesLength() const { return list_states_.size(); }
  TGLStateTypes ListStates(GLuint list) const;

 private:
  // The common rule: true when the command must be sent; records `group` inside a list.
  bool Passes(bool differs, TGLStateType group);
  void LightsChanged();
  void SendLightfv(int light, GLenum pname, const float* v);
  void ResendMaterials();

  TGLCapabilities states_ = 0;
  int active_texture_ = 0;
  GLuint texture_bindings_[kTextureUnitCount][kTextureTargetCount] = {};
  double binding_times_[kTextureUnitCount][kTextureTargetCount] = {};
  bool target_enabled_[kTextureUnitCount][kTextureTargetCount] = {};
  GLuint samplers_[kTextureUnitCount] = {};
  bool texture_matrix_identity_[4] = {};
  GLuint array_buffer_ = 0, element_buffer_ = 0, unpack_buffer_ = 0, program_ = 0;
  TVector4f vertex_attribs_[kVertexAttribCount];
  TBlendFunction blend_[4] = {bfOne, bfOne, bfZero, bfZero};  // src colour, src alpha, dst colour, dst alpha
  bool enable_blend_[kDrawBufferCount] = {};
  TColorMask color_write_mask_[kDrawBufferCount];
  bool color_writing_ = false;
  TVector4f clear_color_ = {0, 0, 0, 0};
  TComparisonFunction alpha_function_ = cfAlways;
  float alpha_reference_ = 0;
  TGLLogicOp logic_op_ = logicCopy;
  TComparisonFunction depth_func_ = cfLess;
  bool depth_write_ = true;
  double depth_range_[2] = {0, 1};
  int viewport_[4] = {0, 0, 0, 0};
  bool clip_distances_[kClipDistanceCount] = {};
  TGLWinding front_face_ = windCounterClockwise;
  TPolygonMode polygon_front_ = pmFill, polygon_back_ = pmFill;
  float line_width_ = 1;
  int line_stipple_factor_ = 1;
  uint16_t line_stipple_pattern_ = 0xFFFF;
  float point_size_ = 1;
  uint32_t sample_mask_[kSampleMaskWords];
  TGLHintMode texture_compression_hint_ = hintDontCare;
  TGLHintMode multisample_filter_hint_ = hintDontCare;
  int unpack_alignment_ = 4, unpack_row_length_ = 0, unpack_skip_rows_ = 0, unpack_skip_pixels_ = 0;
  GLuint queries_[5] = {};
  int max_texture_size_ = 0, max_texture_image_units_ = 0;
  bool forward_context_ = false;

  TVector4f material_[2][4];  // emission, ambient, diffuse, specular
  int shininess_[2] = {0, 0};
  bool light_on_[kMaxLights] = {};
  int enabled_lights_[kMaxLights] = {};
  int light_count_ = 0;
  TVector4f light_position_[kMaxLights], light_ambient_[kMaxLights], light_diffuse_[kMaxLights],
      light_specular_[kMaxLights], light_spot_direction_[kMaxLights], light_spot_cos_exp_[kMaxLights],
      light_attenuation_[kMaxLights];
  float spot_cutoff_[kMaxLights];
  bool fixed_function_lights_ = true;
  int max_lights_ = 0;

  std::vector<TGLStateTypes> list_states_;
  int current_list_ = 0;
  bool inside_list_ = false;
};

}  // namespace gl3d
