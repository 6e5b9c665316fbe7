#include "scene3d/gl/GLStateCache.h"

#include <GL/glext.h>

#include <cmath>
#include <cstring>

#include "common/Exception.h"
#include "scene3d/gl/GLContext.h"

namespace gl3d {
namespace {

constexpr uint32_t kComparison[] = {GL_NEVER, GL_ALWAYS,  GL_LESS,     GL_LEQUAL,
                                    GL_EQUAL, GL_GREATER, GL_NOTEQUAL, GL_GEQUAL};
constexpr uint32_t kBlend[] = {GL_ZERO,
                               GL_ONE,
                               GL_SRC_COLOR,
                               GL_ONE_MINUS_SRC_COLOR,
                               GL_DST_COLOR,
                               GL_ONE_MINUS_DST_COLOR,
                               GL_SRC_ALPHA,
                               GL_ONE_MINUS_SRC_ALPHA,
                               GL_DST_ALPHA,
                               GL_ONE_MINUS_DST_ALPHA,
                               GL_CONSTANT_COLOR,
                               GL_ONE_MINUS_CONSTANT_COLOR,
                               GL_CONSTANT_ALPHA,
                               GL_ONE_MINUS_CONSTANT_ALPHA,
                               GL_SRC_ALPHA_SATURATE};
constexpr uint32_t kPolygonMode[] = {GL_FILL, GL_LINE, GL_POINT};
constexpr uint32_t kWinding[] = {GL_CCW, GL_CW};
constexpr uint32_t kHint[] = {GL_DONT_CARE, GL_FASTEST, GL_NICEST};
constexpr uint32_t kCapability[] = {GL_ALPHA_TEST,
                                    GL_AUTO_NORMAL,
                                    GL_BLEND,
                                    GL_COLOR_MATERIAL,
                                    GL_CULL_FACE,
                                    GL_DEPTH_TEST,
                                    GL_DITHER,
                                    GL_FOG,
                                    GL_LIGHTING,
                                    GL_LINE_SMOOTH,
                                    GL_LINE_STIPPLE,
                                    GL_INDEX_LOGIC_OP,
                                    GL_COLOR_LOGIC_OP,
                                    GL_NORMALIZE,
                                    GL_POINT_SMOOTH,
                                    GL_POINT_SPRITE,
                                    GL_POLYGON_SMOOTH,
                                    GL_POLYGON_STIPPLE,
                                    GL_SCISSOR_TEST,
                                    GL_STENCIL_TEST,
                                    GL_POLYGON_OFFSET_POINT,
                                    GL_POLYGON_OFFSET_LINE,
                                    GL_POLYGON_OFFSET_FILL,
                                    GL_DEPTH_CLAMP};
// Capabilities a forward-compatible context does not have.
constexpr TGLCapabilities kLegacy =
    1u << capAlphaTest | 1u << capAutoNormal | 1u << capColorMaterial | 1u << capFog | 1u << capLighting |
    1u << capLineSmooth | 1u << capLineStipple | 1u << capIndexLogicOp | 1u << capNormalize |
    1u << capPointSmooth | 1u << capPointSprite | 1u << capPolygonSmooth | 1u << capPolygonStipple;
constexpr uint32_t kAttribBits[] = {
    GL_CURRENT_BIT,        GL_POINT_BIT,    GL_LINE_BIT,      GL_POLYGON_BIT,      GL_POLYGON_STIPPLE_BIT,
    GL_PIXEL_MODE_BIT,     GL_LIGHTING_BIT, GL_FOG_BIT,       GL_DEPTH_BUFFER_BIT, GL_ACCUM_BUFFER_BIT,
    GL_STENCIL_BUFFER_BIT, GL_VIEWPORT_BIT, GL_TRANSFORM_BIT, GL_ENABLE_BIT,       GL_COLOR_BUFFER_BIT,
    GL_HINT_BIT,           GL_EVAL_BIT,     GL_LIST_BIT,      GL_TEXTURE_BIT,      GL_SCISSOR_BIT,
    GL_MULTISAMPLE_BIT};
constexpr GLenum kFace[] = {GL_FRONT, GL_BACK};

TGLExtensionsAndEntryPoints& GL() { return CurrentGLEntryPoints(); }

// Byte comparison, as the cache compares stored values.
template <class T>
bool Same(const T& a, const T& b) {
  return std::memcmp(&a, &b, sizeof(T)) == 0;
}
bool Same3(const TVector4f& a, const TVector4f& b) {
  return Same(a.X, b.X) && Same(a.Y, b.Y) && Same(a.Z, b.Z);
}

void CheckIndex(int index, int count, const char* what) {
  if (index < 0 || index >= count) common::AssertionFailed(what, __FILE__, __LINE__);
}
void CheckUnit(int unit) { CheckIndex(unit, kTextureUnitCount, "Texture unit out of range"); }
void CheckLight(int light) { CheckIndex(light, kMaxLights, "Light index out of range"); }
void CheckTarget(TGLTextureTarget t) { CheckIndex(t, kTextureTargetCount, "Texture target out of range"); }
int FaceIndex(TCullFaceMode face) {
  ZASSERT(face == cmFront || face == cmBack, "Only cmFront or cmBack supported");
  return face == cmFront ? 0 : 1;
}

}  // namespace

uint32_t ComparisonFunctionToGL(TComparisonFunction f) { return kComparison[f]; }
uint32_t BlendFunctionToGL(TBlendFunction f) { return kBlend[f]; }
uint32_t CapabilityToGL(TGLCapability c) { return kCapability[c]; }
uint32_t StateTypesToAttribBits(TGLStateTypes groups) {
  uint32_t bits = 0;
  for (int i = 0; i <= sttMultisample; ++i)
    if (groups & (1u << i)) bits |= kAttribBits[i];
  return bits;
}

TGLStateCache::TGLStateCache() : list_states_(128, 0) {
  for (auto& v : vertex_attribs_) v = {0, 0, 0, 1};
  for (auto& m : color_write_mask_) m = cAllColorComponents;
  for (auto& m : sample_mask_) m = 0xFFFFFFFFu;
  for (auto& face : material_) {
    face[0] = {0, 0, 0, 1};
    face[1] = {0.2f, 0.2f, 0.2f, 1};
    face[2] = {0.8f, 0.8f, 0.8f, 1};
    face[3] = {0, 0, 0, 1};
  }
  for (int i = 0; i < kMaxLights; ++i) {
    light_position_[i] = {0, 0, 0, 0};
    light_ambient_[i] = {0, 0, 0, 1};
    light_diffuse_[i] = i == 0 ? TVector4f{1, 1, 1, 1} : TVector4f{0, 0, 0, 1};
    light_specular_[i] = light_diffuse_[i];
    light_spot_direction_[i] = {0, 0, -1, 0};
    light_spot_cos_exp_[i] = {-1, 0, 0, 0};
    light_attenuation_[i] = {0, 0, 0, 0};
    spot_cutoff_[i] = 180;
  }
  fixed_function_lights_ = true;
}

bool TGLStateCache::Passes(bool differs, TGLStateType group) {
  if (inside_list_) {
    list_states_[static_cast<size_t>(current_list_)] |= 1u << group;
    return true;
  }
  return differs;
}

// ---- capabilities

void TGLStateCache::Enable(TGLCapability cap) {
  if (forward_context_ && (kLegacy >> cap & 1u)) return;
  if (IsEnabled(cap) && !inside_list_) return;
  if (inside_list_)
    list_states_[static_cast<size_t>(current_list_)] |= StateTypes(sttEnable);
  else
    states_ |= 1u << cap;
  GL().Enable(kCapability[cap]);
}

void TGLStateCache::Disable(TGLCapability cap) {
  if (forward_context_ && (kLegacy >> cap & 1u)) return;
  if (!IsEnabled(cap) && !inside_list_) return;
  if (inside_list_)
    list_states_[static_cast<size_t>(current_list_)] |= StateTypes(sttEnable);
  else
    states_ &= ~(1u << cap);
  GL().Disable(kCapability[cap]);
  if (cap == capColorMaterial) {
    if (inside_list_)
      list_states_[static_cast<size_t>(current_list_)] |= StateTypes(sttLighting);
    else
      ResendMaterials();
  }
}

void TGLStateCache::ResendMaterials() {
  TGLExtensionsAndEntryPoints& gl = GL();
  for (int f = 0; f < 2; ++f) {
    gl.Materialfv(kFace[f], GL_EMISSION, &material_[f][0].X);
    gl.Materialfv(kFace[f], GL_AMBIENT, &material_[f][1].X);
    gl.Materialfv(kFace[f], GL_DIFFUSE, &material_[f][2].X);
    gl.Materialfv(kFace[f], GL_SPECULAR, &material_[f][3].X);
    gl.Materiali(kFace[f], GL_SHININESS, shininess_[f]);
  }
}

void TGLStateCache::ForceEnable(TGLCapability cap) {
  if (forward_context_ && (kLegacy >> cap & 1u)) return;
  states_ |= 1u << cap;
  GL().Enable(kCapability[cap]);
}

void TGLStateCache::ForceDisable(TGLCapability cap) {
  if (forward_context_ && (kLegacy >> cap & 1u)) return;
  states_ &= ~(1u << cap);
  GL().Disable(kCapability[cap]);
}

// ---- texture units

void TGLStateCache::SetActiveTexture(int unit) {
  CheckUnit(unit);
  if (Passes(unit != active_texture_, sttTexture)) {
    if (!inside_list_) active_texture_ = unit;
    TGLExtensionsAndEntryPoints& gl = GL();
    if (gl.ARB_multitexture) gl.ActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
  }
}

void TGLStateCache::SetTextureBinding(int unit, TGLTextureTarget target, GLuint name) {
  CheckUnit(unit);
  CheckTarget(target);
  if (target == ttNoShape) return;
  if (Passes(texture_bindings_[unit][target] != name, sttTexture)) {
    if (!inside_list_) texture_bindings_[unit][target] = name;
    int previous = active_texture_;
    SetActiveTexture(unit);
    GL().BindTexture(TextureTargetToGL(target), name);
    SetActiveTexture(previous);
  }
  binding_times_[unit][target] = GLClockMs();
}

GLuint TGLStateCache::GetTextureBinding(int unit, TGLTextureTarget target) const {
  CheckUnit(unit);
  CheckTarget(target);
  return texture_bindings_[unit][target];
}

double TGLStateCache::GetTextureBindingTime(int unit, TGLTextureTarget target) const {
  CheckUnit(unit);
  CheckTarget(target);
  return binding_times_[unit][target];
}

void TGLStateCache::SetActiveTextureEnabled(TGLTextureTarget target, bool enabled) {
  CheckTarget(target);
  GLenum gl_target = TextureTargetToGL(target);
  if (forward_context_ || !IsGLTargetSupported(gl_target)) return;
  bool& flag = target_enabled_[active_texture_][target];
  if (Passes(flag != enabled, sttEnable)) {
    if (!inside_list_) flag = enabled;
    if (enabled)
      GL().Enable(gl_target);
    else
      GL().Disable(gl_target);
  }
}

bool TGLStateCache::GetActiveTextureEnabled(TGLTextureTarget target) const {
  CheckTarget(target);
  return target_enabled_[active_texture_][target];
}

void TGLStateCache::SetSamplerBinding(int unit, GLuint sampler) {
  if (unit < 0 || unit >= kTextureUnitCount) return;
  if (Passes(samplers_[unit] != sampler, sttTexture)) {
    if (!inside_list_) samplers_[unit] = sampler;
    GL().BindSampler(static_cast<GLuint>(unit), sampler);
  }
}

GLuint TGLStateCache::GetSamplerBinding(int unit) const {
  CheckUnit(unit);
  return samplers_[unit];
}

// The identity flags cover units 0 to 3; matrices of higher units are loaded but not tracked.
void TGLStateCache::SetTextureMatrix(const TMatrix4f& matrix) {
  if (forward_context_) return;
  if (inside_list_)
    list_states_[static_cast<size_t>(current_list_)] |= StateTypes(sttTransform);
  else if (active_texture_ < 4)
    texture_matrix_identity_[active_texture_] = false;
  TGLExtensionsAndEntryPoints& gl = GL();
  gl.MatrixMode(GL_TEXTURE);
  gl.LoadMatrixf(&matrix[0].X);
  gl.MatrixMode(GL_MODELVIEW);
}

void TGLStateCache::ResetTextureMatrix() {
  if (forward_context_) return;
  TGLExtensionsAndEntryPoints& gl = GL();
  gl.MatrixMode(GL_TEXTURE);
  gl.LoadIdentity();
  if (active_texture_ < 4) texture_matrix_identity_[active_texture_] = true;
  gl.MatrixMode(GL_MODELVIEW);
}

void TGLStateCache::ResetAllTextureMatrix() {
  if (forward_context_) return;
  TGLExtensionsAndEntryPoints& gl = GL();
  int previous = active_texture_;
  gl.MatrixMode(GL_TEXTURE);
  for (int unit = 3; unit >= 0; --unit) {
    if (texture_matrix_identity_[unit]) continue;
    SetActiveTexture(unit);
    gl.LoadIdentity();
    texture_matrix_identity_[unit] = true;
  }
  gl.MatrixMode(GL_MODELVIEW);
  SetActiveTexture(previous);
}

// ---- buffers, program, attributes

void TGLStateCache::SetArrayBufferBinding(GLuint buffer) {
  if (buffer == array_buffer_) return;
  array_buffer_ = buffer;
  GL().BindBuffer(GL_ARRAY_BUFFER, buffer);
}

void TGLStateCache::SetElementBufferBinding(GLuint buffer) {
  if (buffer == element_buffer_) return;
  element_buffer_ = buffer;
  GL().BindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffer);
}

void TGLStateCache::SetPixelUnpackBufferBinding(GLuint buffer) {
  if (buffer == unpack_buffer_) return;
  unpack_buffer_ = buffer;
  GL().BindBuffer(GL_PIXEL_UNPACK_BUFFER, buffer);
}

void TGLStateCache::SetCurrentProgram(GLuint program) {
  if (program == program_) return;
  program_ = program;
  GL().UseProgram(program);
}

void TGLStateCache::SetCurrentVertexAttrib(int index, const TVector4f& value) {
  CheckIndex(index, kVertexAttribCount, "Vertex attribute index out of range");
  if (Same(vertex_attribs_[index], value)) return;
  vertex_attribs_[index] = value;
  GL().VertexAttrib4fv(static_cast<GLuint>(index), &value.X);
}

TVector4f TGLStateCache::GetCurrentVertexAttrib(int index) const {
  CheckIndex(index, kVertexAttribCount, "Vertex attribute index out of range");
  return vertex_attribs_[index];
}

// ---- blending and colour buffer

// All four factors are compared, so a plain blend after a separate one is sent.
void TGLStateCache::SetBlendFunc(TBlendFunction source, TBlendFunction destination) {
  bool differs =
      blend_[0] != source || blend_[1] != source || blend_[2] != destination || blend_[3] != destination;
  if (Passes(differs, sttColorBuffer)) {
    if (!inside_list_) {
      blend_[0] = blend_[1] = source;
      blend_[2] = blend_[3] = destination;
    }
    GL().BlendFunc(kBlend[source], kBlend[destination]);
  }
}

void TGLStateCache::SetBlendFuncSeparate(TBlendFunction srcColor, TBlendFunction dstColor,
                                         TBlendFunction srcAlpha, TBlendFunction dstAlpha) {
  bool differs =
      blend_[0] != srcColor || blend_[1] != srcAlpha || blend_[2] != dstColor || blend_[3] != dstAlpha;
  if (Passes(differs, sttColorBuffer)) {
    if (!inside_list_) {
      blend_[0] = srcColor;
      blend_[1] = srcAlpha;
      blend_[2] = dstColor;
      blend_[3] = dstAlpha;
    }
    GL().BlendFuncSeparate(kBlend[srcColor], kBlend[dstColor], kBlend[srcAlpha], kBlend[dstAlpha]);
  }
}

void TGLStateCache::SetEnableBlend(int drawBuffer, bool enabled) {
  CheckIndex(drawBuffer, kDrawBufferCount, "Draw buffer index out of range");
  if (enable_blend_[drawBuffer] == enabled) return;
  enable_blend_[drawBuffer] = enabled;
  if (enabled)
    GL().Enablei(GL_BLEND, static_cast<GLuint>(drawBuffer));
  else
    GL().Disablei(GL_BLEND, static_cast<GLuint>(drawBuffer));
}

bool TGLStateCache::GetEnableBlend(int drawBuffer) const {
  CheckIndex(drawBuffer, kDrawBufferCount, "Draw buffer index out of range");
  return enable_blend_[drawBuffer];
}

void TGLStateCache::SetColorWriteMask(int drawBuffer, TColorMask mask) {
  CheckIndex(drawBuffer, kDrawBufferCount, "Draw buffer index out of range");
  if (color_write_mask_[drawBuffer] == mask) return;
  color_write_mask_[drawBuffer] = mask;
  GL().ColorMaski(static_cast<GLuint>(drawBuffer), mask & 1, (mask >> 1) & 1, (mask >> 2) & 1,
                  (mask >> 3) & 1);
}

TColorMask TGLStateCache::GetColorWriteMask(int drawBuffer) const {
  CheckIndex(drawBuffer, kDrawBufferCount, "Draw buffer index out of range");
  return color_write_mask_[drawBuffer];
}

void TGLStateCache::SetColorMask(TColorMask mask) {
  if (inside_list_)
    list_states_[static_cast<size_t>(current_list_)] |= StateTypes(sttColorBuffer);
  else
    for (auto& m : color_write_mask_) m = mask;
  GL().ColorMask(mask & 1, (mask >> 1) & 1, (mask >> 2) & 1, (mask >> 3) & 1);
}

void TGLStateCache::SetColorWriting(bool enabled) {
  if (Passes(color_writing_ != enabled, sttColorBuffer)) {
    if (!inside_list_) color_writing_ = enabled;
    GLboolean v = enabled ? GL_TRUE : GL_FALSE;
    GL().ColorMask(v, v, v, v);
  }
}

void TGLStateCache::SetColorClearValue(const TVector4f& color) {
  if (Passes(!Same(clear_color_, color), sttColorBuffer)) {
    if (!inside_list_) clear_color_ = color;
    GL().ClearColor(color.X, color.Y, color.Z, color.W);
  }
}

void TGLStateCache::SetAlphaFunction(TComparisonFunction function, float reference) {
  if (forward_context_) return;
  if (Passes(alpha_function_ != function || !Same(alpha_reference_, reference), sttColorBuffer)) {
    if (!inside_list_) {
      alpha_function_ = function;
      alpha_reference_ = reference;
    }
    GL().AlphaFunc(kComparison[function], reference);
  }
}

void TGLStateCache::SetLogicOpMode(TGLLogicOp op) {
  if (Passes(logic_op_ != op, sttColorBuffer)) {
    if (!inside_list_) logic_op_ = op;
    GL().LogicOp(GL_CLEAR + op);
  }
}

// ---- depth, viewport, clipping

void TGLStateCache::SetDepthFunc(TComparisonFunction function) {
  if (Passes(depth_func_ != function, sttDepthBuffer)) {
    if (!inside_list_) depth_func_ = function;
    GL().DepthFunc(kComparison[function]);
  }
}

void TGLStateCache::SetDepthWriteMask(bool enabled) {
  if (Passes(depth_write_ != enabled, sttDepthBuffer)) {
    if (!inside_list_) depth_write_ = enabled;
    GL().DepthMask(enabled ? GL_TRUE : GL_FALSE);
  }
}

void TGLStateCache::SetDepthRange(double zNear, double zFar) {
  if (Passes(!Same(depth_range_[0], zNear) || !Same(depth_range_[1], zFar), sttViewport)) {
    if (!inside_list_) {
      depth_range_[0] = zNear;
      depth_range_[1] = zFar;
    }
    GL().DepthRange(zNear, zFar);
  }
}

void TGLStateCache::SetViewPort(int x, int y, int width, int height) {
  int v[4] = {x, y, width, height};
  if (Passes(std::memcmp(v, viewport_, sizeof v) != 0, sttViewport)) {
    if (!inside_list_) std::memcpy(viewport_, v, sizeof v);
    GL().Viewport(x, y, width, height);
  }
}

void TGLStateCache::GetViewPort(int out[4]) const { std::memcpy(out, viewport_, sizeof viewport_); }

void TGLStateCache::SetEnableClipDistance(int index, bool enabled) {
  CheckIndex(index, kClipDistanceCount, "Clip distance index out of range");
  if (clip_distances_[index] == enabled) return;
  clip_distances_[index] = enabled;
  if (enabled)
    GL().Enable(GL_CLIP_DISTANCE0 + static_cast<GLenum>(index));
  else
    GL().Disable(GL_CLIP_DISTANCE0 + static_cast<GLenum>(index));
}

bool TGLStateCache::GetEnableClipDistance(int index) const {
  CheckIndex(index, kClipDistanceCount, "Clip distance index out of range");
  return clip_distances_[index];
}

// ---- rasterisation

void TGLStateCache::SetFrontFace(TGLWinding winding) {
  if (Passes(front_face_ != winding, sttPolygon)) {
    if (!inside_list_) front_face_ = winding;
    GL().FrontFace(kWinding[winding]);
  }
}

void TGLStateCache::InvertFrontFace() {
  SetFrontFace(front_face_ == windCounterClockwise ? windClockwise : windCounterClockwise);
}

void TGLStateCache::SetPolygonMode(TPolygonMode mode) {
  if (Passes(polygon_front_ != mode, sttPolygon)) {
    if (!inside_list_) polygon_front_ = polygon_back_ = mode;
    GL().PolygonMode(GL_FRONT_AND_BACK, kPolygonMode[mode]);
  }
}

void TGLStateCache::SetLineWidth(float width) {
  if (Passes(!Same(line_width_, width), sttLine)) {
    if (!inside_list_) line_width_ = width;
    GL().LineWidth(width);
  }
}

void TGLStateCache::SetLineStippleFactor(int factor) {
  if (Passes(line_stipple_factor_ != factor, sttLine)) {
    if (!inside_list_) line_stipple_factor_ = factor;
    GL().LineStipple(factor, line_stipple_pattern_);
  }
}

void TGLStateCache::SetLineStipplePattern(uint16_t pattern) {
  if (Passes(line_stipple_pattern_ != pattern, sttLine)) {
    if (!inside_list_) line_stipple_pattern_ = pattern;
    GL().LineStipple(line_stipple_factor_, pattern);
  }
}

void TGLStateCache::SetPointSize(float size) {
  if (Passes(!Same(point_size_, size), sttPoint)) {
    if (!inside_list_) point_size_ = size;
    GL().PointSize(size);
  }
}

// ---- multisampling and hints

void TGLStateCache::SetSampleMaskValue(int index, uint32_t mask) {
  CheckIndex(index, kSampleMaskWords, "Sample mask index out of range");
  if (Passes(sample_mask_[index] != mask, sttMultisample)) {
    if (!inside_list_) sample_mask_[index] = mask;
    GL().SampleMaski(static_cast<GLuint>(index), mask);
  }
}

uint32_t TGLStateCache::GetSampleMaskValue(int index) const {
  CheckIndex(index, kSampleMaskWords, "Sample mask index out of range");
  return sample_mask_[index];
}

void TGLStateCache::SetTextureCompressionHint(TGLHintMode hint) {
  if (Passes(texture_compression_hint_ != hint, sttHint)) {
    if (!inside_list_) texture_compression_hint_ = hint;
    GL().Hint(GL_TEXTURE_COMPRESSION_HINT, kHint[hint]);
  }
}

void TGLStateCache::SetMultisampleFilterHint(TGLHintMode hint) {
  TGLExtensionsAndEntryPoints& gl = GL();
  if (!gl.NV_multisample_filter_hint || multisample_filter_hint_ == hint) return;
  if (inside_list_)
    list_states_[static_cast<size_t>(current_list_)] |= StateTypes(sttHint);
  else
    multisample_filter_hint_ = hint;
  gl.Hint(GL_MULTISAMPLE_FILTER_HINT_NV, kHint[hint]);
}

// ---- unpacking

void TGLStateCache::SetUnpackAlignment(int v) {
  if (v == unpack_alignment_) return;
  unpack_alignment_ = v;
  GL().PixelStoref(GL_UNPACK_ALIGNMENT, static_cast<float>(v));
}
void TGLStateCache::SetUnpackRowLength(int v) {
  if (v == unpack_row_length_) return;
  unpack_row_length_ = v;
  GL().PixelStoref(GL_UNPACK_ROW_LENGTH, static_cast<float>(v));
}
void TGLStateCache::SetUnpackSkipRows(int v) {
  if (v == unpack_skip_rows_) return;
  unpack_skip_rows_ = v;
  GL().PixelStoref(GL_UNPACK_SKIP_ROWS, static_cast<float>(v));
}
void TGLStateCache::SetUnpackSkipPixels(int v) {
  if (v == unpack_skip_pixels_) return;
  unpack_skip_pixels_ = v;
  GL().PixelStoref(GL_UNPACK_SKIP_PIXELS, static_cast<float>(v));
}

int TGLStateCache::GetMaxTextureSize() {
  if (max_texture_size_ == 0) GL().GetIntegerv(GL_MAX_TEXTURE_SIZE, &max_texture_size_);
  return max_texture_size_;
}

int TGLStateCache::GetMaxTextureImageUnits() {
  if (max_texture_image_units_ == 0) GL().GetIntegerv(GL_MAX_TEXTURE_IMAGE_UNITS, &max_texture_image_units_);
  return max_texture_image_units_;
}

void TGLStateCache::SetForwardContext(bool forward) {
  if (forward == forward_context_) return;
  forward_context_ = forward;
  if (forward) SetFixedFunctionLights(false);
}

// ---- materials

void TGLStateCache::SetGLMaterialColors(TCullFaceMode face, const TVector4f& emission,
                                        const TVector4f& ambient, const TVector4f& diffuse,
                                        const TVector4f& specular, int shininess) {
  if (forward_context_) return;
  const int f = FaceIndex(face);
  const GLenum glface = kFace[f];
  TGLExtensionsAndEntryPoints& gl = GL();
  if (shininess_[f] != shininess || inside_list_) {
    if (!inside_list_) shininess_[f] = shininess;
    gl.Materiali(glface, GL_SHININESS, shininess);
  }
  if (!Same3(material_[f][0], emission) || inside_list_) {
    if (!inside_list_) material_[f][0] = emission;
    gl.Materialfv(glface, GL_EMISSION, &emission.X);
  }
  if (!Same3(material_[f][1], ambient) || inside_list_) {
    if (!inside_list_) material_[f][1] = ambient;
    gl.Materialfv(glface, GL_AMBIENT, &ambient.X);
  }
  if (!Same(material_[f][2], diffuse) || inside_list_) {
    if (!inside_list_) material_[f][2] = diffuse;
    gl.Materialfv(glface, GL_DIFFUSE, &diffuse.X);
  }
  if (!Same3(material_[f][3], specular) || inside_list_) {
    if (!inside_list_) material_[f][3] = specular;
    gl.Materialfv(glface, GL_SPECULAR, &specular.X);
  }
  if (inside_list_) list_states_[static_cast<size_t>(current_list_)] |= StateTypes(sttLighting);
}

void TGLStateCache::SetGLMaterialAlphaChannel(GLenum face, float alpha) {
  if (forward_context_) return;
  ZASSERT(face == GL_FRONT || face == GL_BACK, "Only cmFront or cmBack supported");
  const int f = face == GL_FRONT ? 0 : 1;
  TGLExtensionsAndEntryPoints& gl = GL();
  if (!IsEnabled(capLighting)) {
    float color[4] = {0, 0, 0, 0};
    gl.GetFloatv(GL_CURRENT_COLOR, color);
    color[3] = alpha;
    gl.Color4fv(color);
    return;
  }
  if (inside_list_) {
    list_states_[static_cast<size_t>(current_list_)] |= StateTypes(sttLighting);
    TVector4f d = material_[f][2];
    d.W = alpha;
    gl.Materialfv(face, GL_DIFFUSE, &d.X);
    return;
  }
  if (Same(material_[f][2].W, alpha)) return;
  material_[f][2].W = alpha;
  gl.Materialfv(face, GL_DIFFUSE, &material_[f][2].X);
}

TVector4f TGLStateCache::GetMaterialEmission(TCullFaceMode face) const {
  return material_[FaceIndex(face)][0];
}
TVector4f TGLStateCache::GetMaterialAmbient(TCullFaceMode face) const {
  return material_[FaceIndex(face)][1];
}
TVector4f TGLStateCache::GetMaterialDiffuse(TCullFaceMode face) const {
  return material_[FaceIndex(face)][2];
}
TVector4f TGLStateCache::GetMaterialSpecular(TCullFaceMode face) const {
  return material_[FaceIndex(face)][3];
}
int TGLStateCache::GetMaterialShininess(TCullFaceMode face) const { return shininess_[FaceIndex(face)]; }

// ---- lights

void TGLStateCache::SetFixedFunctionLights(bool on) { fixed_function_lights_ = on && !forward_context_; }

int TGLStateCache::GetMaxLights() {
  while (max_lights_ == 0) {
    if (forward_context_)
      max_lights_ = kMaxLights;
    else {
      GL().GetIntegerv(GL_MAX_LIGHTS, &max_lights_);
      if (max_lights_ == 0) break;  // a driver that answers nothing is asked again next time
    }
  }
  return max_lights_;
}

void TGLStateCache::LightsChanged() {
  if (OnLightsChanged) OnLightsChanged(this);
}

void TGLStateCache::SendLightfv(int light, GLenum pname, const float* v) {
  if (fixed_function_lights_) GL().Lightfv(GL_LIGHT0 + static_cast<GLenum>(light), pname, v);
}

void TGLStateCache::SetLightEnabling(int light, bool on) {
  CheckLight(light);
  if (!Passes(light_on_[light] != on, sttLighting)) return;
  if (!inside_list_) light_on_[light] = on;
  if (fixed_function_lights_) {
    if (on)
      GL().Enable(GL_LIGHT0 + static_cast<GLenum>(light));
    else
      GL().Disable(GL_LIGHT0 + static_cast<GLenum>(light));
  }
  light_count_ = 0;
  for (int i = 0; i < kMaxLights; ++i)
    if (light_on_[i]) enabled_lights_[light_count_++] = i;
  LightsChanged();
}

bool TGLStateCache::GetLightEnabling(int light) const {
  CheckLight(light);
  return light_on_[light];
}

int TGLStateCache::EnabledLight(int i) const {
  CheckIndex(i, light_count_, "Light index out of range");
  return enabled_lights_[i];
}

void TGLStateCache::SetLightPosition(int light, const TVector4f& position) {
  CheckLight(light);
  if (Same(light_position_[light], position)) return;
  light_position_[light] = position;
  LightsChanged();
}

TVector4f TGLStateCache::GetLightPosition(int light) const {
  CheckLight(light);
  return light_position_[light];
}

void TGLStateCache::SetLightSpotDirection(int light, const TAffineVector& d) {
  CheckLight(light);
  TVector4f v{d.X, d.Y, d.Z, 0};
  if (Same3(light_spot_direction_[light], v)) return;
  light_spot_direction_[light] = v;
  LightsChanged();
}

TVector4f TGLStateCache::GetLightSpotDirection(int light) const {
  CheckLight(light);
  return light_spot_direction_[light];
}

#define ZEPHOR_LIGHT_VECTOR_SETTER(Name, field, pname)           \
  void TGLStateCache::Set##Name(int light, const TVector4f& v) { \
    CheckLight(light);                                           \
    if (!Passes(!Same(field[light], v), sttLighting)) return;    \
    if (!inside_list_) field[light] = v;                         \
    SendLightfv(light, pname, &v.X);                             \
    LightsChanged();                                             \
  }                                                              \
  TVector4f TGLStateCache::Get##Name(int light) const {          \
    CheckLight(light);                                           \
    return field[light];                                         \
  }
ZEPHOR_LIGHT_VECTOR_SETTER(LightAmbient, light_ambient_, GL_AMBIENT)
ZEPHOR_LIGHT_VECTOR_SETTER(LightDiffuse, light_diffuse_, GL_DIFFUSE)
ZEPHOR_LIGHT_VECTOR_SETTER(LightSpecular, light_specular_, GL_SPECULAR)
#undef ZEPHOR_LIGHT_VECTOR_SETTER

void TGLStateCache::SetSpotCutoff(int light, float degrees) {
  CheckLight(light);
  if (!Passes(!Same(spot_cutoff_[light], degrees), sttLighting)) return;
  if (!inside_list_) {
    spot_cutoff_[light] = degrees;
    light_spot_cos_exp_[light].X =
        static_cast<float>(std::cos(static_cast<long double>(degrees) * 3.14159265358979323846L / 180));
  }
  SendLightfv(light, GL_SPOT_CUTOFF, &degrees);
  LightsChanged();
}

float TGLStateCache::GetSpotCutoff(int light) const {
  CheckLight(light);
  return spot_cutoff_[light];
}

float TGLStateCache::GetSpotCosine(int light) const {
  CheckLight(light);
  return light_spot_cos_exp_[light].X;
}

#define ZEPHOR_LIGHT_SCALAR_SETTER(Name, field, pname) \
  void TGLStateCache::Set##Name(int light, float v) {  \
    CheckLight(light);                                 \
    if (!Passes(!Same(field, v), sttLighting)) return; \
    if (!inside_list_) field = v;                      \
    SendLightfv(light, pname, &v);                     \
    LightsChanged();                                   \
  }                                                    \
  float TGLStateCache::Get##Name(int light) const {    \
    CheckLight(light);                                 \
    return field;                                      \
  }
ZEPHOR_LIGHT_SCALAR_SETTER(SpotExponent, light_spot_cos_exp_[light].Y, GL_SPOT_EXPONENT)
ZEPHOR_LIGHT_SCALAR_SETTER(ConstantAtten, light_attenuation_[light].X, GL_CONSTANT_ATTENUATION)
ZEPHOR_LIGHT_SCALAR_SETTER(LinearAtten, light_attenuation_[light].Y, GL_LINEAR_ATTENUATION)
ZEPHOR_LIGHT_SCALAR_SETTER(QuadAtten, light_attenuation_[light].Z, GL_QUADRATIC_ATTENUATION)
#undef ZEPHOR_LIGHT_SCALAR_SETTER

// ---- display lists

void TGLStateCache::NewList(GLuint list, GLenum mode) {
  ZASSERT(mode == GL_COMPILE, "Compile & executing not supported by TGLStateCache");
  ZASSERT(list != 0, "Display list name 0 is not a list");
  const size_t index = static_cast<size_t>(list) - 1;
  ZASSERT(index < (size_t(1) << 30), "Display list name out of range");
  while (list_states_.size() <= index) list_states_.resize(list_states_.size() * 2, 0);
  current_list_ = static_cast<int>(index);
  list_states_[index] = 0;
  inside_list_ = true;
  TGLExtensionsAndEntryPoints& gl = GL();
  if (gl.ARB_vertex_buffer_object) {
    SetArrayBufferBinding(0);
    SetElementBufferBinding(0);
    for (GLuint i = 0; i < 16; ++i) gl.DisableVertexAttribArray(i);
  }
  gl.NewList(list, mode);
}

void TGLStateCache::EndList() {
  GL().EndList();
  inside_list_ = false;
}

void TGLStateCache::CallList(GLuint list) {
  ZASSERT(list != 0, "Display list name 0 is not a list");
  ZASSERT(list < (GLuint(1) << 30), "Display list name out of range");
  while (list_states_.size() <= list) list_states_.resize(list_states_.size() * 2, 0);
  TGLStateTypes groups = list_states_[list - 1];
  TGLExtensionsAndEntryPoints& gl = GL();
  if (groups) {
    PushAttrib(groups);
    gl.CallList(list);
    PopAttrib();
  } else {
    gl.CallList(list);
  }
}

void TGLStateCache::PushAttrib(TGLStateTypes groups) { GL().PushAttrib(StateTypesToAttribBits(groups)); }

void TGLStateCache::PopAttrib() { GL().PopAttrib(); }

TGLStateTypes TGLStateCache::ListStates(GLuint list) const {
  ZASSERT(list != 0, "Display list name 0 is not a list");
  return list - 1 < list_states_.size() ? list_states_[list - 1] : 0;
}

}  // namespace gl3d
