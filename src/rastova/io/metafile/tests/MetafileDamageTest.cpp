// Damaged metafiles: truncated, sizes and counts that lie, offsets out of the record, mutated
// bytes. A damaged record chain refuses the file at loading; a record whose contents do not fit
// is skipped while the rest draws. Never a crash, and no allocation the bytes cannot justify.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "common/tests/support/AllocationWatch.h"
#include "rastova/io/metafile/RVMetaDC.h"
#include "rastova/io/metafile/tests/MetafileTestTools.h"
#include "rastova/io/metafile/tests/MetafileWriter.h"

namespace rv::metatest {
namespace {

uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
  uint32_t v;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) { std::memcpy(b.data() + at, &v, 4); }
void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) { std::memcpy(b.data() + at, &v, 2); }

// The offset of the first EMF record of the type.
size_t FindEmfRecord(const std::vector<uint8_t>& b, uint32_t type) {
  for (size_t at = 0; at + 8 <= b.size(); at += Get32(b, at + 4))
    if (Get32(b, at) == type) return at;
  ADD_FAILURE() << "no record " << type;
  return 0;
}

// The offset of the first WMF record whose function's low byte is `type` (after the 22-byte
// placeable and the 18-byte headers).
size_t FindWmfRecord(const std::vector<uint8_t>& b, uint8_t type) {
  for (size_t at = 40; at + 6 <= b.size(); at += size_t(Get32(b, at)) * 2)
    if (b[at + 4] == type) return at;
  ADD_FAILURE() << "no record " << int(type);
  return 0;
}

struct Damage {
  std::string what;
  std::vector<uint8_t> bytes;
  bool loads;  // the record chain holds: the file loads, and the damaged record is skipped
};

std::vector<Damage> EmfDamages() {
  const std::vector<uint8_t> good = SampleEmf();
  std::vector<Damage> out;
  auto add = [&](std::string what, bool loads, auto&& change) {
    std::vector<uint8_t> b = good;
    change(b);
    out.push_back({std::move(what), std::move(b), loads});
  };
  const size_t header = Get32(good, 4);
  add("cut inside the header", false, [](auto& b) { b.resize(60); });
  add("cut inside a record", false, [&](auto& b) { b.resize(header + 12); });
  add("cut inside the end record", false, [](auto& b) { b.resize(b.size() - 6); });
  add("cut at a record's end, no end record", true,
      [&](auto& b) { b.resize(FindEmfRecord(good, U_EMR_EOF)); });
  add("header shorter than a header", false, [](auto& b) { Put32(b, 4, 40); });
  add("header longer than the file", false, [](auto& b) { Put32(b, 4, 0x7FFFFFF0); });
  add("header signature", false, [](auto& b) { b[41] = 'X'; });
  add("record of size 0", false, [&](auto& b) { Put32(b, header + 4, 0); });
  add("record size not a multiple of 4", false,
      [&](auto& b) { Put32(b, header + 4, Get32(b, header + 4) + 2); });
  add("record size past the end", false, [&](auto& b) { Put32(b, header + 4, 0xFFFFFFF0); });
  add("poly-line point count", true,
      [&](auto& b) { Put32(b, FindEmfRecord(good, U_EMR_POLYLINE) + 24, 0x7FFFFFFF); });
  add("poly-polygon figure count", true,
      [&](auto& b) { Put32(b, FindEmfRecord(good, U_EMR_POLYPOLYGON16) + 24, 0xFFFFFFFF); });
  add("poly-polygon counts beyond the points", true,
      [&](auto& b) { Put32(b, FindEmfRecord(good, U_EMR_POLYPOLYGON16) + 32, 1000); });
  add("region rectangle count", true,
      [&](auto& b) { Put32(b, FindEmfRecord(good, U_EMR_EXTSELECTCLIPRGN) + 16 + 8, 0x10000000); });
  add("region size", true,
      [&](auto& b) { Put32(b, FindEmfRecord(good, U_EMR_EXTSELECTCLIPRGN) + 8, 0xFFFFFF00); });
  add("text character count", true,
      [&](auto& b) { Put32(b, FindEmfRecord(good, U_EMR_EXTTEXTOUTW) + 44, 0x3FFFFFFF); });
  add("text string offset", true,
      [&](auto& b) { Put32(b, FindEmfRecord(good, U_EMR_EXTTEXTOUTW) + 48, 0xFFFFFFF0); });
  add("text advances offset", true,
      [&](auto& b) { Put32(b, FindEmfRecord(good, U_EMR_EXTTEXTOUTW) + 72, 0xFFFFFFF0); });
  add("bitmap header offset", true,
      [&](auto& b) { Put32(b, FindEmfRecord(good, U_EMR_STRETCHDIBITS) + 48, 0xFFFFFFF0); });
  add("bitmap rows size", true,
      [&](auto& b) { Put32(b, FindEmfRecord(good, U_EMR_STRETCHDIBITS) + 60, 0xFFFFFFF0); });
  add("bitmap of 30000 x 30000 pixels", true, [&](auto& b) {
    const size_t at = FindEmfRecord(good, U_EMR_STRETCHDIBITS);
    const size_t bmi = at + Get32(b, at + 48);
    Put32(b, bmi + 4, 30000);
    Put32(b, bmi + 8, 30000);
  });
  add("bitmap run-length coded from two bytes", true, [&](auto& b) {
    const size_t at = FindEmfRecord(good, U_EMR_STRETCHDIBITS);
    const size_t bmi = at + Get32(b, at + 48);
    Put32(b, bmi + 4, 8000);
    Put32(b, bmi + 8, 4000);
    b[bmi + 14] = 8;
    Put32(b, bmi + 16, 1);  // RLE8
  });
  add("pattern brush bitmap offset", true,
      [&](auto& b) { Put32(b, FindEmfRecord(good, U_EMR_CREATEDIBPATTERNBRUSHPT) + 16, 0xFFFFFFF0); });
  add("object index out of the table", true,
      [&](auto& b) { Put32(b, FindEmfRecord(good, U_EMR_CREATEBRUSHINDIRECT) + 8, 0xFFFFFF); });
  add("selected object never created", true,
      [&](auto& b) { Put32(b, FindEmfRecord(good, U_EMR_SELECTOBJECT) + 8, 0x7777); });
  add("region rectangle across the whole 32-bit range", true, [&](auto& b) {
    const size_t rect = FindEmfRecord(good, U_EMR_EXTSELECTCLIPRGN) + 16 + U_SIZE_RGNDATAHEADER;
    Put32(b, rect, 0x80000000);
    Put32(b, rect + 8, 0x7FFFFFFF);
  });
  add("bitmap set to the device from the 32-bit limits", true, [&](auto& b) {
    const size_t at = FindEmfRecord(good, U_EMR_SETDIBITSTODEVICE);
    Put32(b, at + 32, 0x80000000);  // source x
    Put32(b, at + 40, 0x7FFFFFFF);  // source width
    Put32(b, at + 44, 0x7FFFFFFF);  // source height
  });
  return out;
}

std::vector<Damage> WmfDamages() {
  const std::vector<uint8_t> good = SampleWmf();
  std::vector<Damage> out;
  auto add = [&](std::string what, bool loads, auto&& change) {
    std::vector<uint8_t> b = good;
    change(b);
    out.push_back({std::move(what), std::move(b), loads});
  };
  add("cut inside the placeable header", false, [](auto& b) { b.resize(16); });
  add("cut inside the header", false, [](auto& b) { b.resize(30); });
  add("cut inside a record", false, [](auto& b) { b.resize(44); });
  add("header size", false, [](auto& b) { Put16(b, 24, 7); });
  add("record shorter than its head", false, [](auto& b) { Put32(b, 40, 2); });
  add("record size past the end", false, [](auto& b) { Put32(b, 40, 0x7FFFFFFF); });
  add("polygon point count", true,
      [&](auto& b) { Put16(b, FindWmfRecord(good, U_WMR_POLYGON) + 6, 0xFFFF); });
  add("text length", true, [&](auto& b) { Put16(b, FindWmfRecord(good, U_WMR_TEXTOUT) + 6, 0x7FFF); });
  add("bitmap of 30000 x 30000 pixels", true, [&](auto& b) {
    const size_t dib = FindWmfRecord(good, U_WMR_STRETCHDIB) + 28;
    Put32(b, dib + 4, 30000);
    Put32(b, dib + 8, 30000);
  });
  add("selected object never created", true,
      [&](auto& b) { Put16(b, FindWmfRecord(good, U_WMR_SELECTOBJECT) + 6, 999); });
  return out;
}

// Loads and draws at 80 x 60; the largest allocation meanwhile.
size_t LoadAndDraw(const std::vector<uint8_t>& bytes, bool& loaded) {
  return test_support::LargestAllocationDuring([&] {
    TRVMetafilePlayer player;
    loaded = player.LoadFromBytes(bytes);
    if (!loaded) return;
    QImage image(80, 60, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    player.Play(painter, image.rect());
  });
}

TEST(MetafileDamage, DocumentedFailureNoCrashNoHugeAllocation) {
  bool loaded = false;
  const size_t goodEmf = LoadAndDraw(SampleEmf(), loaded);
  ASSERT_TRUE(loaded);
  LoadAndDraw(SampleWmf(), loaded);
  ASSERT_TRUE(loaded);
  std::vector<Damage> all = EmfDamages();
  for (Damage& d : WmfDamages()) {
    d.what = "WMF " + d.what;
    all.push_back(std::move(d));
  }
  for (const Damage& d : all) {
    const size_t largest = LoadAndDraw(d.bytes, loaded);
    EXPECT_EQ(loaded, d.loads) << d.what;
    // The file's bytes, the picture and a few blocks of the good file's size: nothing that grows
    // with what a count or size claims.
    EXPECT_LE(largest, std::max<size_t>(goodEmf, d.bytes.size()) + (size_t(1) << 20)) << d.what;
  }
}

TEST(MetafileDamage, LimitsOfTheStateStackAndOfPaths) {
  // Far more saves than the limit, then as many restores: the stack stays at the limit.
  TEmfWriter saves(40, 40);
  saves.Select(saves.Brush(U_BS_SOLID, Rgb(255, 0, 0))).Select(U_NULL_PEN);
  for (size_t i = 0; i < kMaxSavedStates + 500; ++i) saves.Add(U_EMRSAVEDC_set());
  saves.Select(U_BLACK_BRUSH);
  saves.Add(U_EMRRESTOREDC_set(-int32_t(kMaxSavedStates)));
  saves.Add(U_EMRRECTANGLE_set(Rc(0, 0, 41, 41)));
  bool loaded = false;
  const std::vector<uint8_t> stack = saves.Finish();
  EXPECT_LT(LoadAndDraw(stack, loaded), size_t(8) << 20);
  EXPECT_EQ(At(Render(stack), 20, 20), kRed);  // back to the first save
  // A path of more points than the limit is abandoned: filling it draws nothing.
  TEmfWriter path(40, 40);
  path.Select(path.Brush(U_BS_SOLID, Rgb(255, 0, 0))).Select(U_NULL_PEN);
  std::vector<U_POINT16> points(kMaxPathPoints / 2 + 10);
  for (size_t i = 0; i < points.size(); ++i) points[i] = Pt16(int16_t(i % 40), int16_t(i % 37));
  path.Add(U_EMRBEGINPATH_set());
  path.Add(U_EMRMOVETOEX_set(Pt(0, 0)));
  path.Add(U_EMRPOLYLINETO16_set(U_RCL_DEF, uint32_t(points.size()), points.data()));
  path.Add(U_EMRPOLYLINETO16_set(U_RCL_DEF, uint32_t(points.size()), points.data()));
  path.Add(U_EMRENDPATH_set());
  path.Add(U_EMRFILLPATH_set(U_RCL_DEF));
  EXPECT_EQ(CountColour(Render(path.Finish()), kRed), 0);
}

TEST(MetafileDamage, MutatedBytes) {
  // Random bytes changed in good files: loading refuses or drawing copes, and no block grows
  // beyond what the file can justify: a bitmap of these small files has at most about 2^20
  // pixels (4 MB as 32-bit pixels).
  std::mt19937 random(20240517);
  for (const std::vector<uint8_t>& good : {SampleEmf(), SampleEmfMapped(), SampleWmf(), SampleWmfRegions()}) {
    for (int round = 0; round < 150; ++round) {
      std::vector<uint8_t> b = good;
      const int changes = 1 + int(random() % 8);
      for (int i = 0; i < changes; ++i) b[random() % b.size()] = uint8_t(random());
      bool loaded = false;
      EXPECT_LE(LoadAndDraw(b, loaded), size_t(16) << 20) << round;
    }
  }
}

}  // namespace
}  // namespace rv::metatest
