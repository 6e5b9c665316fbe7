#pragma once
// Object streams built by hand for the tests of the stream (here) and of the vector layer
// (rastova/view/vector/tests): little-endian fields, a stream of any version around given
// entries, records with every field away from its default, and the table of damaged object
// blocks that every reader of them must refuse.
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "rastova/core/RVStream.h"
#include "rastova/core/RVZLib.h"
#include "rastova/io/vector/RVVObjStream.h"

namespace rv::vectbytes {

struct TBytes {
  std::vector<uint8_t> b;
  TBytes& i32(int32_t v) {
    b.insert(b.end(), reinterpret_cast<uint8_t*>(&v), reinterpret_cast<uint8_t*>(&v) + 4);
    return *this;
  }
  TBytes& u8(uint8_t v) {
    b.push_back(v);
    return *this;
  }
  TBytes& str(const std::string& s) {
    i32(int32_t(s.size()));
    b.insert(b.end(), s.begin(), s.end());
    return *this;
  }
  TBytes& zeros(size_t n) {
    b.resize(b.size() + n, 0);
    return *this;
  }
  TBytes& add(const TBytes& o) {
    b.insert(b.end(), o.b.begin(), o.b.end());
    return *this;
  }
};

// A stream of the version with the scale as the version stores it, no slots, and the
// compressed block of `count` and the given entries.
inline std::vector<uint8_t> OldStream(char version, const std::vector<uint8_t>& entries, int32_t count) {
  TMemoryStream m;
  m.WriteBuffer("RVV", 3);
  m.WriteBuffer(&version, 1);
  int32_t zero = 0, scale = 3;
  m.WriteBuffer(&zero, 4);
  if (version == '1') {
    m.WriteBuffer(&scale, 4);
  } else {
    double d = 3;
    m.WriteBuffer(&d, 8);
  }
  m.WriteBuffer(&zero, 4);
  {
    TZCompressionStream z(m, zcDefault);
    z.WriteBuffer(&count, 4);
    if (!entries.empty()) z.WriteBuffer(entries.data(), int64_t(entries.size()));
    z.Finish();
  }
  auto out = m.Data();
  const int32_t total = int32_t(out.size());
  std::memcpy(out.data() + 4, &total, 4);
  return out;
}

// The common fields of a version '1' entry (no handle, no shadow, no transparency ...).
inline TBytes OldCommon(uint8_t kind) {
  TBytes e;
  e.i32(2).i32(3).i32(40).i32(30).u8(kind).str("n").i32(7).i32(0xFF).u8(0).i32(2).i32(0).u8(1).u8(15);
  return e;
}

// An entry of the current version: handle, corners, kind and shadow, then `tail`.
inline TBytes Entry(uint8_t kind, const std::function<void(TBytes&)>& tail) {
  TBytes e;
  e.i32(0).i32(1).i32(1).i32(9).i32(9).u8(kind).u8(0).u8(0).u8(0).zeros(8);
  e.i32(0).i32(0).i32(100).u8(0).u8(0).u8(0);
  tail(e);
  return e;
}
// The rest of the common fields, from the name to a user data length of 0.
inline void Common(TBytes& e) {
  e.str("").i32(0).i32(0).u8(0).i32(1).i32(0).u8(0).u8(15).i32(255).u8(0).u8(0).i32(0);
}

struct TDamagedBlock {
  const char* name;
  std::vector<uint8_t> entries;
  int32_t count;
};

// Object blocks of the current version that must fail to load: impossible kinds, negative and
// huge lengths and counts, an unregistered extended class, groups nested too deep.
inline std::vector<TDamagedBlock> DamagedObjectBlocks() {
  std::vector<TDamagedBlock> cases;
  cases.push_back({"kind 13", Entry(13, Common).b, 1});
  cases.push_back({"negative name", Entry(rvkBOX, [](TBytes& e) { e.i32(-5); }).b, 1});
  cases.push_back({"huge name", Entry(rvkBOX, [](TBytes& e) { e.i32(0x7FFFFFF0); }).b, 1});
  cases.push_back({"huge user data",
                   Entry(rvkBOX,
                         [](TBytes& e) {
                           e.str("").i32(0).i32(0).u8(0).i32(1).i32(0).u8(0).u8(15).i32(255).u8(0).u8(0).i32(
                               0x7FFFFFF0);
                         })
                       .b,
                   1});
  cases.push_back(
      {"huge poly-line", Entry(rvkPOLYLINE, [](TBytes& e) { Common(e), e.u8(1).i32(0x7FFFFFF0); }).b, 1});
  cases.push_back(
      {"negative poly-line", Entry(rvkPOLYLINE, [](TBytes& e) { Common(e), e.u8(1).i32(-1); }).b, 1});
  cases.push_back({"huge format count",
                   Entry(rvkMEMO, [](TBytes& e) { Common(e), e.str("").u8(0).u8(0).i32(0x10000000); }).b, 1});
  cases.push_back(
      {"huge curve",
       Entry(rvkTEXT, [](TBytes& e) { Common(e), e.u8(0).u8(0).str("t").u8(0).i32(0x7FFFFFF); }).b, 1});
  cases.push_back({"huge group", Entry(rvkNONE, [](TBytes& e) { Common(e), e.i32(0x7FFFFFF0); }).b, 1});
  cases.push_back({"unregistered class",
                   Entry(rvkEXTENDED,
                         [](TBytes& e) {
                           Common(e), e.u8(0).u8(0).str("").u8(0).i32(0).u8(1).u8(1).str("TNoSuchObject");
                         })
                       .b,
                   1});
  {
    // A whole entry owning user data, then a damaged one: what was read is freed with the rest.
    TBytes two = Entry(rvkBOX, [](TBytes& e) {
      e.str("").i32(0).i32(0).u8(0).i32(1).i32(0).u8(0).u8(15).i32(255).u8(0).u8(0);
      e.i32(4).u8(1).u8(2).u8(3).u8(4).u8(1);
    });
    two.add(Entry(13, Common));
    cases.push_back({"user data, then kind 13", two.b, 2});
  }
  cases.push_back({"huge object count", {}, 0x7FFFFFFF});
  cases.push_back({"negative object count", {}, -1});
  cases.push_back({"entry cut short",
                   [] {
                     auto b = Entry(rvkARC, Common).b;
                     b.resize(b.size() + 10, 0);  // 10 of the 17 bytes of angles and the editable flag
                     return b;
                   }(),
                   1});
  {
    // Groups nested 65 deep.
    TBytes deep;
    const TBytes group = Entry(rvkNONE, [](TBytes& e) { Common(e), e.i32(1); });
    for (int i = 0; i < 66; ++i) deep.add(group);
    cases.push_back({"deep groups", deep.b, 1});
  }
  return cases;
}

// Sets every field a stored entry of the kind carries away from its default.
inline void SetEveryField(TRVVObjRecord& o, TRVVObjectKind k) {
  o.Kind = k;
  o.X1 = 10 + k, o.Y1 = 20 + k, o.X2 = 60 + k, o.Y2 = 90 + k;
  o.Name = "obj" + std::to_string(k);
  o.ID = 100 + k;
  o.PenColor = 0x123456 + k;
  o.PenWidth = 3;
  o.BrushColor = 0x654321;
  o.Style = rvvsSelectable | rvvsVisible;
  o.Transparency = 200;
  o.SoftShadow.Enabled = true;
  o.SoftShadow.Radius = 4.5;
  o.SoftShadow.OffsetX = -3;
  o.SoftShadow.ShadowColor = TRGB{1, 2, 3};
  o.BlendOperation = 2;
  o.AspectRatio = true;
  o.FontQuality = rvfqDraft;
  o.TextEditable = false;
  o.BeginShape = rvsINARROW;
  o.ShapeWidth = 7;
  o.ArcStartingAngle = 0.25;
  o.ArcEndingAngle = 2.5;
  o.Text = k == rvkMEMO ? "memo" : "text" + std::to_string(k);
  o.TextAlign = 2;
  o.LabelBorder = rvlEllipse;
  o.LabelPos = rvlEnd;
  o.RulerUnit = rvuMILLIMETERS;
  o.RulerType = rvrtQUOTEEND;
  o.AnglePoints[0] = {1, 2}, o.AnglePoints[1] = {3, 4}, o.AnglePoints[2] = {5, 6};
  LOGFONTA f;
  f.lfHeight = -17;
  SetLogFontFaceName(f, "Serif");
  o.LogFont = f;
  if (k == rvkTEXT) {
    o.CurvePoints = {{0.1, 0.2}, {0.9, 0.8}};
    o.CurvePointsCount = 2;
    o.CurveCharRot = 450;
  }
  if (k == rvkMEMO) {
    o.MemoCharFormats.resize(2);
    o.MemoCharFormats[1].FontHeight = 22;
    o.MemoCharFormatIdx = {0, 1, 1, 0};
    o.MemoMarginTop = 1.5;
    o.MemoLineSpace = 4;
  }
  if (k == rvkPOLYLINE) {
    o.PolyPoints = {{10, 10}, {40, 60}, {70, 20}};
    o.PolyPointsCount = o.PolyPointsAlloc = 3;
    o.PolyBaseX1 = 10, o.PolyBaseY1 = 10, o.PolyBaseX2 = 70, o.PolyBaseY2 = 60;
    o.PolylineClosed = true;
  }
}

}  // namespace rv::vectbytes
