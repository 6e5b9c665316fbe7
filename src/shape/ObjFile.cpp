#include "shape/ObjFile.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <system_error>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "common/NumberText.h"
#include "common/Round.h"
#include "settings/AppSettings.h"
#include "shape/FileFormatSettings.h"
#include "shape/OutputNames.h"
#include "shape/PictureFiles.h"
#include "shape/ShapeReadCopy.h"
#include "shape/ShapeText.h"
#include "shape/TextureBitmaps.h"
#include "shape/model/uScPrim.h"

namespace shape {

namespace {

// ---- record text ----

void AppendVertex(std::string& out, const TDbl3D& p, bool scaled) {
  out += "v";
  for (int k = 0; k < 3; ++k) {
    out += ' ';
    // Under "MaximizeWithSymmetry" the cube's -127/128 and 128/128 are written as -1 and 1.
    FileFormatSettings.AppendFixed(out, scaled ? p[k] * 128 / 127 : p[k], 8);
  }
}

void AppendTexCoord(std::string& out, double u, double v) {
  out += "vt ";
  FileFormatSettings.AppendFixed(out, 1 - (1 - u), 8);
  out += ' ';
  FileFormatSettings.AppendFixed(out, 1 - (1 - v), 8);
}

void AppendFace(std::string& out, int corners, const int32_t* v, const int32_t* t) {
  out += 'f';
  for (int k = 0; k < corners; ++k) {
    out += ' ';
    FileFormatSettings.AppendInt(out, v[k]);
    out += '/';
    FileFormatSettings.AppendInt(out, t[k]);
    out += '/';
  }
}

// ---- writer ----

// Vertex and texture-coordinate numbers of the written file, with I columns, J rows, B = I - 1.
struct TObjLayout {
  TScType type;
  bool triangles;
  int32_t I, J, B;

  // Vertex number of grid point (i, j); i is already wrapped across the seam by the caller.
  int32_t V(int32_t i, int32_t j) const {
    switch (type) {
      case SCTYPE_SPHERE:
        return (j - 1) * B + i + (triangles ? 2 : 3);
      case SCTYPE_TORUS:
        return (j % (J - 1)) * B + i + 1;
      case SCTYPE_CYLINDER:
        return j * B + i + 1;
      default:
        return j * I + i + 1;
    }
  }
  // Texture numbers: the full grid, and the sphere in triangles (pole records at both ends).
  int32_t T(int32_t i, int32_t j) const { return j * I + i + 1; }
  int32_t S(int32_t i, int32_t j) const { return B + (j - 1) * I + i + 1; }
  int32_t U(int32_t k) const { return B + (J - 2) * I + k + 1; }
  // The upper pole's (first) vertex number.
  int32_t P() const { return B * (J - 2) + (triangles ? 2 : 3); }
  // The column after k: across the seam for vertex numbers, except on a plane.
  int32_t Next(int32_t k) const { return type == SCTYPE_PLANE ? k + 1 : (k + 1) % B; }
};

void AppendFaceLine(std::string& out, int corners, const int32_t* v, const int32_t* t) {
  AppendFace(out, corners, v, t);
  out += kLineEnd;
}

// One band of faces between rows l and l + 1 with texture numbers `tex` (T or S).
template <typename TexFn>
void AppendBand(std::string& out, const TObjLayout& o, int32_t l, TexFn tex) {
  for (int32_t k = 0; k < o.B; ++k) {
    const int32_t kn = o.Next(k);
    const int32_t v[4] = {o.V(k, l), o.V(kn, l), o.V(kn, l + 1), o.V(k, l + 1)};
    const int32_t t[4] = {tex(k, l), tex(k + 1, l), tex(k + 1, l + 1), tex(k, l + 1)};
    if (o.triangles) {
      AppendFaceLine(out, 3, v, t);
      const int32_t v2[3] = {v[0], v[2], v[3]};
      const int32_t t2[3] = {t[0], t[2], t[3]};
      AppendFaceLine(out, 3, v2, t2);
    } else {
      AppendFaceLine(out, 4, v, t);
    }
  }
}

void AppendSphereFaces(std::string& out, const TObjLayout& o) {
  const int32_t J = o.J;
  const int32_t P = o.P();
  auto T = [&](int32_t i, int32_t j) { return o.T(i, j); };
  auto S = [&](int32_t i, int32_t j) { return o.S(i, j); };
  for (int32_t k = 0; k < o.B; ++k) {
    const int32_t kn = o.Next(k);
    if (o.triangles) {
      const int32_t v[3] = {1, o.V(kn, 1), o.V(k, 1)};
      const int32_t t[3] = {k + 1, o.S(k + 1, 1), o.S(k, 1)};
      AppendFaceLine(out, 3, v, t);
    } else {
      const int32_t v[4] = {1, 2, o.V(kn, 1), o.V(k, 1)};
      const int32_t t[4] = {o.T(k, 0), o.T(k + 1, 0), o.T(k + 1, 1), o.T(k, 1)};
      AppendFaceLine(out, 4, v, t);
    }
  }
  for (int32_t l = 1; l <= J - 3; ++l) {
    if (o.triangles)
      AppendBand(out, o, l, S);
    else
      AppendBand(out, o, l, T);
  }
  for (int32_t k = 0; k < o.B; ++k) {
    const int32_t kn = o.Next(k);
    if (o.triangles) {
      const int32_t v[3] = {o.V(k, J - 2), o.V(kn, J - 2), P};
      const int32_t t[3] = {o.S(k, J - 2), o.S(k + 1, J - 2), o.U(k)};
      AppendFaceLine(out, 3, v, t);
    } else {
      const int32_t v[4] = {o.V(k, J - 2), o.V(kn, J - 2), P + 1, P};
      const int32_t t[4] = {o.T(k, J - 2), o.T(k + 1, J - 2), o.T(k + 1, J - 1), o.T(k, J - 1)};
      AppendFaceLine(out, 4, v, t);
    }
  }
}

void AppendVertices(std::string& out, const TCS& cs, const TObjLayout& o) {
  const bool scaled = settings::AppSettings.MaximizeWithSymmetry;
  auto put = [&](const TDbl3D& p) {
    AppendVertex(out, p, scaled);
    out += kLineEnd;
  };
  switch (o.type) {
    case SCTYPE_SPHERE:
      for (int n = o.triangles ? 1 : 2; n > 0; --n) put(cs.CP[0][0]);
      for (int32_t j = 1; j <= o.J - 2; ++j)
        for (int32_t i = 0; i <= o.I - 2; ++i) put(cs.CP[i][j]);
      for (int n = o.triangles ? 1 : 2; n > 0; --n) put(cs.CP[o.I - 1][o.J - 1]);
      break;
    case SCTYPE_TORUS:
      for (int32_t j = 0; j <= o.J - 2; ++j)
        for (int32_t i = 0; i <= o.I - 2; ++i) put(cs.CP[i][j]);
      break;
    case SCTYPE_CYLINDER:
      for (int32_t j = 0; j < o.J; ++j)
        for (int32_t i = 0; i <= o.I - 2; ++i) put(cs.CP[i][j]);
      break;
    default:
      for (int32_t j = 0; j < o.J; ++j)
        for (int32_t i = 0; i < o.I; ++i) put(cs.CP[i][j]);
      break;
  }
}

void AppendTexCoords(std::string& out, const TObjLayout& o) {
  const double B = o.B;
  const double rows = o.J - 1;
  auto put = [&](double u, double v) {
    AppendTexCoord(out, u, v);
    out += kLineEnd;
  };
  if (o.type == SCTYPE_SPHERE && o.triangles) {
    for (int32_t k = 0; k < o.B; ++k) put(k / B, 0);
    for (int32_t j = 1; j <= o.J - 2; ++j)
      for (int32_t i = 0; i < o.I; ++i) put(i / B, j / rows);
    for (int32_t k = 0; k < o.B; ++k) put((k + 1) / B, 1);
    return;
  }
  for (int32_t j = 0; j < o.J; ++j)
    for (int32_t i = 0; i < o.I; ++i) put(i / B, j / rows);
}

void AppendCountComment(std::string& out, const TObjLayout& o) {
  const int64_t B = o.B, I = o.I, J = o.J;
  int64_t n = 0, f = 2 * B * (J - 1);
  switch (o.type) {
    case SCTYPE_SPHERE:
      n = B * (J - 2) + 2;
      f = o.triangles ? 2 * B * (J - 2) : B * (J - 1);
      break;
    case SCTYPE_TORUS:
      n = B * (J - 1);
      break;
    case SCTYPE_CYLINDER:
      n = B * J;
      break;
    default:
      n = I * J;
      break;
  }
  out += o.type == SCTYPE_SPHERE ? "# " : "#";
  FileFormatSettings.AppendInt(out, n);
  out += " vertices, ";
  FileFormatSettings.AppendInt(out, f);
  out += " faces";
  out += kLineEnd;
}

// ---- reader ----

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string_view TrimLine(std::string_view line) {
  while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
  while (!line.empty() && IsBlank(line.back())) line.remove_suffix(1);
  return line;
}

// The words of one normalised line: runs of blanks separate them, text in double quotes stays one
// word (without its quotes). Only the first kMax words are kept; `count` counts them all.
struct TWords {
  static constexpr int kMax = 6;
  std::string_view w[kMax];
  int count = 0;
  std::string_view operator[](int k) const { return w[k]; }
};

void SplitWords(std::string_view line, TWords& words) {
  words.count = 0;
  size_t p = 0;
  const size_t n = line.size();
  while (p < n) {
    while (p < n && IsBlank(line[p])) ++p;
    if (p >= n) break;
    std::string_view word;
    if (line[p] == '"') {
      const size_t close = line.find('"', p + 1);
      const size_t end = close == std::string_view::npos ? n : close;
      word = line.substr(p + 1, end - p - 1);
      p = close == std::string_view::npos ? n : close + 1;
    } else {
      const size_t start = p;
      while (p < n && !IsBlank(line[p])) ++p;
      word = line.substr(start, p - start);
    }
    if (words.count < TWords::kMax) words.w[words.count] = word;
    ++words.count;
  }
}

// Calls fn(line) for every line of the file's text (lines end at CR LF, LF or CR, as ForEachLine
// takes them), trimmed, after every tab in the line has been made a blank and every "," a ".". One
// pass over the text finds all four characters, sixteen bytes at a time.
template <typename Fn>
void ForEachNormalisedLine(std::string& text, Fn&& fn) {
  char* const t = text.data();
  const size_t n = text.size();
  size_t lineStart = 0;
  size_t afterCR = std::string::npos;  // just after the CR that ended the last line, if one did
  auto at = [&](size_t k) {
    switch (t[k]) {
      case '\t':
        t[k] = ' ';
        break;
      case ',':
        t[k] = '.';
        break;
      case '\n':
        // The LF of a CR LF ends no second line.
        if (k != afterCR) fn(TrimLine(std::string_view(t + lineStart, k - lineStart)));
        lineStart = k + 1;
        break;
      case '\r':
        fn(TrimLine(std::string_view(t + lineStart, k - lineStart)));
        lineStart = k + 1;
        afterCR = k + 1;
        break;
      default:
        break;
    }
  };
  size_t k = 0;
#if defined(__SSE2__)
  const __m128i lf = _mm_set1_epi8('\n'), cr = _mm_set1_epi8('\r'), tab = _mm_set1_epi8('\t'),
                comma = _mm_set1_epi8(',');
  for (; k + 16 <= n; k += 16) {
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + k));
    unsigned mask = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(c, lf), _mm_cmpeq_epi8(c, cr)),
                                       _mm_or_si128(_mm_cmpeq_epi8(c, tab), _mm_cmpeq_epi8(c, comma)))));
    for (; mask != 0; mask &= mask - 1) at(k + static_cast<size_t>(__builtin_ctz(mask)));
  }
#endif
  for (; k < n; ++k) at(k);
  if (lineStart < n) fn(TrimLine(std::string_view(t + lineStart, n - lineStart)));
}

// The normalised lines of the file's text, viewing it.
std::vector<std::string_view> NormalisedLines(std::string& text) {
  std::vector<std::string_view> lines;
  ForEachNormalisedLine(text, [&](std::string_view line) { lines.push_back(line); });
  return lines;
}

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

// A face corner's number: "no number" counts as 1; a number outside the 32-bit range can match
// nothing and becomes 0.
int32_t CornerNumber(std::string_view text) {
  int64_t v = 0;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
  if (r.ptr != text.data() + text.size() || text.empty()) {
    // Not plain decimal: a sign "+", hexadecimal, or no number at all.
    if (!common::TryStrToInt64(text, v)) return 1;
  } else if (r.ec == std::errc::result_out_of_range) {
    return 0;
  }
  if (v < INT32_MIN || v > INT32_MAX) return 0;
  return static_cast<int32_t>(v);
}

// The common corner: "v", or "v/t" followed by the end or a "/", both plain decimal numbers that
// fit 32 bits. False for anything else, which the general rules read.
bool ParsePlainCorner(std::string_view corner, int32_t& v, int32_t& t) {
  const char* p = corner.data();
  const char* const end = p + corner.size();
  int32_t a = 0, b = 0;
  auto r = std::from_chars(p, end, a);
  if (r.ec != std::errc() || r.ptr == p) return false;
  if (r.ptr == end) {
    v = a;
    t = -1;
    return true;
  }
  if (*r.ptr != '/') return false;
  p = r.ptr + 1;
  r = std::from_chars(p, end, b);
  if (r.ec != std::errc() || r.ptr == p || (r.ptr != end && *r.ptr != '/')) return false;
  v = a;
  t = b;
  return true;
}

void ParseFace(const TWords& words, TFace& face) {
  face.Corners = words.count - 1;
  for (int k = 0; k < face.Corners; ++k) {
    const std::string_view corner = words[k + 1];
    if (ParsePlainCorner(corner, face.V[k], face.T[k])) continue;
    const size_t slash = corner.find('/');
    if (slash == std::string_view::npos) {
      face.V[k] = CornerNumber(corner);
      face.T[k] = -1;
    } else {
      face.V[k] = CornerNumber(corner.substr(0, slash));
      std::string_view rest = corner.substr(slash + 1);
      rest = rest.substr(0, rest.find('/'));
      face.T[k] = CornerNumber(rest);
    }
  }
}

bool IsGridPowerOfTwo(int64_t n) { return n >= 4 && n <= 256 && (n & (n - 1)) == 0; }

// The nearest integer, ties to even (the process rounds to nearest): as common::Round, without its
// extended precision for the many values of a file that lie well inside the range. Below 2^52 the
// addition of 2^52 rounds in the current mode, as nearbyint does, without a call per value.
int64_t Nearest(double x) {
  if (std::fabs(x) < 1e15) {
    constexpr double kShift = 4503599627370496.0;  // 2^52
    const double r = x >= 0 ? (x + kShift) - kShift : -((kShift - x) - kShift);
    return static_cast<int64_t>(r);
  }
  return common::Round(x);
}
int32_t NearestInt(double x) { return common::SaturateInt32(Nearest(x)); }

// 1 / x to the nearest integer.
int64_t Reciprocal(double x) { return Nearest(1.0 / x); }

// The records of the file in file order, read in one pass: faces, texture coordinates (as the
// numbers written; they become grid points once the grid size is known) and vertices, with the
// greatest candidates of 1 / u and 1 / v for the grid size.
struct TObjRecords {
  TFaces faces;
  std::vector<std::pair<double, double>> texCoords;
  TTexs texs;
  std::vector<TDbl3D> vertices;
  int64_t triangles = 0;
  int64_t columns = 0, rows = 0;
};

// ---- the common records, read where they stand ----
//
// The "v", "vt" and plain "f" records that make up nearly the whole file are read without
// splitting the line into words first. Each reader gives up (false) on anything it would not read
// exactly as the word rules do (a quote, a "+" sign, "nan", an exponent cut short, a number out of
// range, a corner of another form, another number of words), and the line then goes the general
// way.

const char* SkipBlanks(const char* p, const char* end) {
  while (p < end && IsBlank(*p)) ++p;
  return p;
}

// The number that makes up the whole word at p (a non-blank), as StrToFloatDef reads it; p moves
// to the end of the word.
bool ReadPlainNumber(const char*& p, const char* end, double& out) {
  const char* digits = *p == '-' ? p + 1 : p;
  if (digits >= end || !((*digits >= '0' && *digits <= '9') || *digits == '.')) return false;
  double v = 0;
  const auto r = std::from_chars(p, end, v, std::chars_format::general);
  if (r.ec != std::errc() || (r.ptr != end && !IsBlank(*r.ptr))) return false;
  out = v;
  p = r.ptr;
  return true;
}

// The first `count` words after the record's kind (p just after it) as numbers; more may follow.
bool ReadPlainNumbers(const char* p, const char* end, int count, double* out) {
  for (int k = 0; k < count; ++k) {
    p = SkipBlanks(p, end);
    if (p == end || !ReadPlainNumber(p, end, out[k])) return false;
  }
  return true;
}

// The face corner that makes up the word at p (a non-blank), as ParsePlainCorner reads it; p moves
// to the end of the word.
bool ReadPlainCorner(const char*& p, const char* end, int32_t& v, int32_t& t) {
  int32_t a = 0, b = 0;
  auto r = std::from_chars(p, end, a);
  if (r.ec != std::errc() || r.ptr == p) return false;
  if (r.ptr == end || IsBlank(*r.ptr)) {
    v = a;
    t = -1;
    p = r.ptr;
    return true;
  }
  if (*r.ptr != '/') return false;
  const char* q = r.ptr + 1;
  r = std::from_chars(q, end, b);
  if (r.ec != std::errc() || r.ptr == q) return false;
  const char* e = r.ptr;
  if (e != end && !IsBlank(*e)) {
    if (*e != '/') return false;
    while (e < end && !IsBlank(*e)) ++e;  // a normal number or anything else after the "/"
  }
  v = a;
  t = b;
  p = e;
  return true;
}

// The three or four corners after the "f" (p just after it), and nothing after them.
bool ReadPlainFace(const char* p, const char* end, TFace& face) {
  face.Corners = 0;
  for (p = SkipBlanks(p, end); p < end; p = SkipBlanks(p, end)) {
    if (face.Corners == 4 || !ReadPlainCorner(p, end, face.V[face.Corners], face.T[face.Corners]))
      return false;
    ++face.Corners;
  }
  return face.Corners >= 3;
}

// Reads the records straight from the text (normalising it on the way), without a list of its
// lines: only the rare vertex-only file needs one.
void ParseRecords(std::string& text, const std::string& folder, std::string& mtlPath, TObjRecords& r) {
  auto addTexCoord = [&r](double u, double v) {
    if (u > 0) r.columns = std::max(r.columns, Reciprocal(u));
    if (v > 0) r.rows = std::max(r.rows, Reciprocal(v));
    r.texCoords.emplace_back(u, v);
  };
  auto addFace = [&r](const TFace& face) {
    // A grid's file has two triangles (or one quad) per texture coordinate, nearly: room for
    // them at once, so the list is not moved as it grows.
    if (r.faces.empty()) r.faces.reserve(2 * r.texCoords.size());
    r.triangles += face.Corners == 3 ? 1 : 2;
    r.faces.push_back(face);
  };
  TWords words;
  ForEachNormalisedLine(text, [&](std::string_view line) {
    if (line.empty()) return;
    const char* const end = line.data() + line.size();
    if (line.size() > 2 && IsBlank(line[1])) {
      if (line[0] == 'v') {
        TDbl3D p;
        if (ReadPlainNumbers(line.data() + 2, end, 3, p.v)) {
          r.vertices.push_back(p);
          return;
        }
      } else if (line[0] == 'f') {
        TFace face;
        if (ReadPlainFace(line.data() + 2, end, face)) {
          addFace(face);
          return;
        }
      }
    } else if (line.size() > 3 && line[0] == 'v' && line[1] == 't' && IsBlank(line[2])) {
      double uv[2];
      if (ReadPlainNumbers(line.data() + 3, end, 2, uv)) {
        addTexCoord(uv[0], uv[1]);
        return;
      }
    }
    SplitWords(line, words);
    const std::string_view kind = words[0];
    if (kind == "v") {
      TDbl3D p{0, 0, 0};
      // x, y and z; an optional w or vertex colours after them are passed over.
      if (words.count >= 4)
        for (int k = 0; k < 3; ++k) p[k] = FileFormatSettings.StrToFloatDef(words[k + 1], 0);
      r.vertices.push_back(p);
    } else if (kind == "vt") {
      if (words.count < 3) return;
      addTexCoord(FileFormatSettings.StrToFloatDef(words[1], 0),
                  FileFormatSettings.StrToFloatDef(words[2], 0));
    } else if (kind == "f") {
      if (words.count != 4 && words.count != 5) return;
      TFace face;
      ParseFace(words, face);
      addFace(face);
    } else if (kind == "mtllib" && words.count >= 2) {
      mtlPath = ResolveRelativePath(folder, std::string(words[1]));
    }
  });
}

// The grid point of every texture coordinate.
void PlaceTexCoords(TObjRecords& r, int32_t columns, int32_t rows) {
  r.texs.reserve(r.texCoords.size());
  for (const auto& [u, v] : r.texCoords)
    r.texs.push_back({NearestInt(u * (columns - 1)), NearestInt(v * (rows - 1))});
}

// For every texture entry, the vertex (from 0) of the first face corner that uses it, or -1.
std::vector<int32_t> FirstCornerVertices(const TTexs& texs, const TFaces& faces, int32_t vertexCount) {
  std::vector<int32_t> first(texs.size(), -1);
  const int64_t texCount = static_cast<int64_t>(texs.size());
  for (const TFace& f : faces)
    for (int k = 0; k < f.Corners; ++k) {
      const int32_t t = f.T[k];
      const int32_t v = f.V[k];
      if (t < 1 || t > texCount || v < 1 || v > vertexCount) continue;
      if (first[t - 1] < 0) first[t - 1] = v - 1;
    }
  return first;
}

// Steps 7 and 8 of the grid reading: every grid point from its vertex; the missing ones kept or
// zeroed, and on a pole-capped sphere the corners completed from each other.
void FillGridFromRecords(TCS& cs, const TObjRecords& r) {
  const int32_t I = cs.CPMaxI, J = cs.CPMaxJ;
  const int32_t vertexCount = static_cast<int32_t>(std::min<size_t>(r.vertices.size(), INT32_MAX));
  // The first matching entry of each grid point, found once in file order.
  const std::vector<int32_t> first = FirstCornerVertices(r.texs, r.faces, vertexCount);
  std::vector<int32_t> grid(static_cast<size_t>(I) * J, -1);
  for (size_t t = 0; t < r.texs.size(); ++t) {
    const Tex& x = r.texs[t];
    if (first[t] < 0 || x.Column < 0 || x.Column >= I || x.Row < 0 || x.Row >= J) continue;
    int32_t& g = grid[static_cast<size_t>(x.Row) * I + x.Column];
    if (g < 0) g = first[t];
  }
  const int64_t cells = int64_t{I - 1} * (J - 1);
  const bool capped = r.triangles == 2 * int64_t{J - 2} * (I - 1) ||
                      (r.triangles == 2 * cells && int64_t{vertexCount} == int64_t{J - 2} * (I - 1) + 2);
  bool missing[4] = {false, false, false, false};  // (I-1, 0), (0, J-1), (I-1, J-1), (0, 0)
  for (int32_t j = 0; j < J; ++j)
    for (int32_t i = 0; i < I; ++i) {
      const int32_t v = grid[static_cast<size_t>(j) * I + i];
      if (v >= 0) {
        cs.CP[i][j] = r.vertices[static_cast<size_t>(v)];
      } else if (capped) {
        if (i == I - 1 && j == 0) missing[0] = true;
        if (i == 0 && j == J - 1) missing[1] = true;
        if (i == I - 1 && j == J - 1) missing[2] = true;
        if (i == 0 && j == 0) missing[3] = true;
      } else {
        cs.CP[i][j] = {0, 0, 0};
      }
    }
  if (missing[0]) cs.CP[I - 1][0] = cs.CP[0][0];
  if (missing[1]) cs.CP[0][J - 1] = cs.CP[I - 1][J - 1];
  if (missing[2]) cs.CP[I - 1][J - 1] = cs.CP[0][J - 1];
  if (missing[3]) cs.CP[0][0] = cs.CP[I - 1][0];
}

struct TVertexOnlySize {
  int32_t records, columns, rows;
};
constexpr TVertexOnlySize kVertexOnlySizes[] = {{770, 257, 5},  {898, 129, 9},  {962, 65, 17}, {994, 33, 33},
                                                {1010, 17, 65}, {1018, 9, 129}, {1022, 5, 257}};

// Fills the work copy; false on a malformed record.
bool FillVertexOnly(TCS& cs, const std::vector<std::string_view>& lines) {
  cs.ScType = SCTYPE_SPHERE;
  int64_t records = 0;
  for (std::string_view line : lines) records += StartsWith(line, "v ") ? 1 : 0;
  const TVertexOnlySize* size = nullptr;
  for (const TVertexOnlySize& s : kVertexOnlySizes)
    if (s.records == records) size = &s;
  if (!size) return false;
  const int32_t I = size->columns, J = size->rows;
  cs.CPMaxI = I;
  cs.CPMaxJ = J;
  SetGridSize(cs);
  bool ok = true;
  int32_t n = 0;  // places taken
  TWords words;
  for (std::string_view line : lines) {
    if (!StartsWith(line, "v ")) continue;
    SplitWords(line, words);
    if (words.count < 4) {
      ok = false;
      continue;
    }
    TDbl3D p;
    for (int k = 0; k < 3; ++k) p[k] = FileFormatSettings.StrToFloatDef(words[k + 1], 0);
    if (n == 0) {
      for (int32_t i = 0; i < I; ++i) cs.CP[i][0] = p;
    } else if (n <= (I - 1) * (J - 2)) {
      const int32_t i = (n - 1) % (I - 1), j = (n - 1) / (I - 1) + 1;
      cs.CP[i][j] = p;
      if (i == 0) cs.CP[I - 1][j] = p;
    } else {
      for (int32_t i = 0; i < I; ++i) cs.CP[i][J - 1] = p;
    }
    ++n;
  }
  return ok;
}

}  // namespace

// ---- public ----

std::string FormatObjVertex(const TDbl3D& p) {
  std::string s;
  AppendVertex(s, p, false);
  return s;
}

std::string FormatObjVertexScaled(const TDbl3D& p) {
  std::string s;
  AppendVertex(s, p, true);
  return s;
}

std::string FormatObjTexCoord(double u, double v) {
  std::string s;
  AppendTexCoord(s, u, v);
  return s;
}

std::string FormatObjTriangle(const int32_t v[3], const int32_t t[3]) {
  std::string s;
  AppendFace(s, 3, v, t);
  return s;
}

std::string FormatObjQuad(const int32_t v[4], const int32_t t[4]) {
  std::string s;
  AppendFace(s, 4, v, t);
  return s;
}

std::vector<std::string> ObjFileNames(const std::string& fileName) {
  return {ChangeFileExt(fileName, ".png"), ChangeFileExt(fileName, ".mtl"), ChangeFileExt(fileName, ".obj")};
}

void WriteObjFile(const TCS& cs, std::string& fileName, bool triangles) {
  TTextureBitmaps& texture = TextureBitmaps();
  std::string pngName = ChangeFileExt(fileName, ".png");
  SaveImageWithAlpha(pngName, texture.BaseColor, texture.BaseAlpha);

  const std::string mtlName = MakeUniqueFileName(fileName, ".mtl");
  StoreTextFile(mtlName, std::string("newmtl olmera") + kLineEnd + "map_Kd " + ExtractFileName(pngName) + kLineEnd);

  const int32_t columns = std::clamp(cs.CPMaxI, 2, kGridMax);
  TObjLayout o{cs.ScType, triangles, columns, std::clamp(cs.CPMaxJ, 2, kGridMax), columns - 1};
  std::string out;
  // About 40 bytes a vertex record, 30 a texture record, 40 a face.
  out.reserve(static_cast<size_t>(o.I) * o.J * 150 + 512);
  out += "# Exported from GYRAN Series";
  out += kLineEnd;
  out += "mtllib " + ExtractFileName(mtlName) + kLineEnd;
  out += "o OLMERA_DURIM";
  out += kLineEnd;
  AppendCountComment(out, o);
  out += "g OLMERA_default";
  out += kLineEnd;
  out += "usemtl olmera";
  out += kLineEnd;
  AppendVertices(out, cs, o);
  AppendTexCoords(out, o);
  if (o.type == SCTYPE_SPHERE) {
    AppendSphereFaces(out, o);
  } else {
    auto T = [&](int32_t i, int32_t j) { return o.T(i, j); };
    for (int32_t l = 0; l <= o.J - 2; ++l) AppendBand(out, o, l, T);
  }
  const std::string objName = MakeUniqueFileName(fileName, ".obj");
  StoreTextFile(objName, out);
  fileName = objName;
}

int32_t ReadObjFile(TCS& cs, const std::string& fileName, std::string& mtlPath, int32_t forcedType) {
  mtlPath.clear();
  std::string text = LoadTextFile(fileName);
  std::string folder = ExtractFilePath(fileName);
  if (folder.empty()) folder = ".";

  TShapeReadCopy copy(cs);
  TCS& work = copy.Work();
  TObjRecords records;
  ParseRecords(text, folder, mtlPath, records);
  if (!IsGridPowerOfTwo(records.columns) || !IsGridPowerOfTwo(records.rows)) {
    records = TObjRecords();  // the vertex-only reading needs none of them
    if (!FillVertexOnly(work, NormalisedLines(text))) {
      mtlPath.clear();
      return -1;
    }
  } else {
    work.CPMaxI = static_cast<int32_t>(records.columns) + 1;
    work.CPMaxJ = static_cast<int32_t>(records.rows) + 1;
    PlaceTexCoords(records, work.CPMaxI, work.CPMaxJ);
    SetGridSize(work);
    FillGridFromRecords(work, records);
    work.ScType = DetectStitchType(work, forcedType);
    CopySeams(work, 0);
  }
  FitShapeToCube(work);
  copy.Commit(cs);
  return 0;
}

int32_t ReadVertexOnlyObj(TCS& cs, const std::vector<std::string_view>& lines) {
  TShapeReadCopy copy(cs);
  if (!FillVertexOnly(copy.Work(), lines)) return -1;
  copy.Commit(cs);
  return 0;
}

std::string ReadMtlTexturePath(const std::string& mtlFile) {
  std::string text = LoadTextFile(mtlFile);
  std::string folder = ExtractFilePath(mtlFile);
  if (folder.empty()) folder = ".";
  std::string path;
  TWords words;
  for (std::string_view line : NormalisedLines(text)) {
    if (!StartsWith(line, "map_Kd")) continue;
    SplitWords(line, words);
    if (words.count >= 2) path = ResolveRelativePath(folder, std::string(words[1]));
  }
  return path;
}

std::string ResolveRelativePath(const std::string& folder, const std::string& fileName) {
  namespace fs = std::filesystem;
  const fs::path name(fileName);
  if (name.is_absolute()) return fileName;
  std::error_code ec;
  if (!fs::is_directory(fs::path(folder), ec)) return std::string();
  const fs::path base = fs::absolute(fs::path(folder), ec);
  if (ec) return std::string();
  return (base / name).lexically_normal().string();
}

void FitShapeToCube(TCS& cs) { FitShapeToCube(cs, settings::AppSettings.MaximizeWithSymmetry); }

void FitShapeToCube(TCS& cs, bool maximizeWithSymmetry) {
  const int32_t I = std::clamp(cs.CPMaxI, 1, kGridMax);
  const int32_t J = std::clamp(cs.CPMaxJ, 1, kGridMax);
  const double k = maximizeWithSymmetry ? 0.9921875 : 1.0;
  for (int axis = 0; axis < 3; ++axis) {
    double lo = cs.CP[0][0][axis], hi = lo;
    for (int32_t i = 0; i < I; ++i)
      for (int32_t j = 0; j < J; ++j) {
        const double c = cs.CP[i][j][axis];
        if (c < lo) lo = c;
        if (c > hi) hi = c;
      }
    lo *= k;
    hi *= k;
    const double s1 = lo < -0.9921875 ? -0.9921875 / lo : 1.0;
    const double s2 = hi > 1.0 ? 1.0 / hi : 1.0;
    double s = std::min(s1, s2);
    s = s < 1 ? s * k : k;
    for (int32_t i = 0; i < I; ++i)
      for (int32_t j = 0; j < J; ++j) cs.CP[i][j][axis] *= s;
  }
}

int32_t FindVertexForGridPoint(int32_t column, int32_t row, const TTexs& texs, const TFaces& faces,
                               int32_t vertexCount) {
  const int64_t texCount = static_cast<int64_t>(texs.size());
  for (int64_t t = 0; t < texCount; ++t) {
    if (texs[t].Column != column || texs[t].Row != row) continue;
    for (const TFace& f : faces)
      for (int k = 0; k < f.Corners; ++k)
        if (f.T[k] == t + 1 && f.V[k] >= 1 && f.V[k] <= vertexCount) return f.V[k] - 1;
  }
  return -1;
}

}  // namespace shape
