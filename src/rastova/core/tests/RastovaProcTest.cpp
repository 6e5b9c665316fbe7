// The processing component: its resampling front, undo and redo, format checks, canvas
// operations and its work with an attached layered view.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVMask.h"
#include "rastova/core/RVRawStream.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RastovaProc.h"

namespace rv {
namespace {

void Gradient(TRVBitmap& b) {
  for (int32_t y = 0; y < b.GetHeight(); ++y)
    for (int32_t x = 0; x < b.GetWidth(); ++x)
      b.SetPixels_rv24RGB(x, y, static_cast<uint32_t>(((x * 3) & 255) << 16 | ((y * 5) & 255) << 8 | ((x + y) & 255)));
}

std::vector<uint8_t> Pixels(TRVBitmap& b) {
  std::vector<uint8_t> v;
  int32_t bytes = (b.GetWidth() * b.GetBitCount() + 7) / 8;
  for (int32_t y = 0; y < b.GetHeight(); ++y) v.insert(v.end(), b.GetScanLine(y), b.GetScanLine(y) + bytes);
  return v;
}

struct Events {
  int finished = 0;
  int saved = 0;
  std::vector<TRVUndoSource> sources;
  void Attach(TRastovaProc& p) {
    p.OnFinishWork = [this](TRastovaProc*) { ++finished; };
    p.OnSaveUndo = [this](TRastovaProc*, TRVUndoSource s) {
      ++saved;
      sources.push_back(s);
    };
  }
};

TEST(RastovaProc, ResampleSizesWithoutOwner) {
  struct Case {
    int32_t w, h;
    int32_t expectW, expectH;
    int finishes;
  };
  const Case cases[] = {
      {-1, 100, 200, 100, 2}, {0, 50, 400, 50, 2}, {-1, -1, 400, 200, 0}, {400, 200, 400, 200, 0}, {-3, 7, 3, 7, 2},
  };
  for (const Case& c : cases) {
    TRVBitmap image(400, 200, rv24RGB);
    Gradient(image);
    TRastovaProc proc;
    Events ev;
    ev.Attach(proc);
    proc.SetAttachedRVBitmap(&image);
    proc.Resample(c.w, c.h, rfLanczos3);
    EXPECT_EQ(image.GetWidth(), c.expectW) << c.w << "," << c.h;
    EXPECT_EQ(image.GetHeight(), c.expectH);
    EXPECT_EQ(ev.finished, c.finishes);
    EXPECT_EQ(ev.saved, 0);
    EXPECT_EQ(proc.GetUndoCount(), 0);
    EXPECT_EQ(proc.GetRedoCount(), 0);
  }
  TRVBitmap image(400, 200, rv24RGB), dest;
  TRastovaProc proc;
  proc.SetAttachedRVBitmap(&image);
  proc.ResampleTo(dest, -1, 0, rfTriangle);
  EXPECT_EQ(dest.GetWidth(), 1);
  EXPECT_EQ(dest.GetHeight(), 200);
  EXPECT_EQ(image.GetWidth(), 400);
}

TEST(RastovaProc, ResampleCarriesTheAlphaChannel) {
  TRVBitmap image(60, 40, rv24RGB);
  Gradient(image);
  TRVBitmap* alpha = image.AlphaBitmap();
  for (int32_t y = 0; y < 40; ++y)
    for (int32_t x = 0; x < 60; ++x) alpha->SetPixels_rv8(x, y, static_cast<uint8_t>(x < 30 ? 0 : 255));
  alpha->Full = false;
  TRVBitmap colourOnly(60, 40, rv24RGB), alphaOnly(60, 40, rv8g);
  colourOnly.AssignImage(image);
  alphaOnly.Assign(alpha);
  TRastovaProc proc;
  proc.SetAttachedRVBitmap(&image);
  proc.Resample(17, 23, rfLanczos3);
  ASSERT_TRUE(image.HasAlphaBitmap());
  EXPECT_EQ(image.AlphaBitmap()->GetWidth(), 17);
  EXPECT_FALSE(image.AlphaBitmap()->Full);
  TRVBitmap c(17, 23, rv24RGB), a(17, 23, rv8g);
  ResampleFiltered(colourOnly, c, rfLanczos3, nullptr, TRVProgressEvent());
  ResampleGrayFiltered(alphaOnly, a, rfLanczos3);
  EXPECT_EQ(Pixels(image), Pixels(c));
  EXPECT_EQ(Pixels(*image.AlphaBitmap()), Pixels(a));
}

TEST(RastovaProc, ResampleBitmapEqualSizesCopiesWhateverTheFilter) {
  for (int f = rfNone; f <= rfProjectWB; ++f) {
    TRVBitmap src(7, 5, rv24RGB), dst(7, 5, rv24RGB);
    Gradient(src);
    src.AlphaBitmap()->SetPixels_rv8(3, 3, 17);
    ResampleBitmap(src, dst, static_cast<TResampleFilter>(f), TRVProgressEvent(), nullptr);
    EXPECT_EQ(Pixels(dst), Pixels(src)) << f;
    ASSERT_TRUE(dst.HasAlphaBitmap());
    EXPECT_EQ(dst.AlphaBitmap()->GetPixels_rv8(3, 3), 17);
  }
}

TEST(RastovaProc, OneBitImages) {
  TRVBitmap a(16, 16, rv1g), b(16, 16, rv1g);
  a.Fill(0);
  b.Fill(0);
  TRastovaProc proc;
  proc.SetAttachedRVBitmap(&a);
  proc.Resample(8, 8, rfProjectWB);
  EXPECT_EQ(a.GetPixelFormat(), rv1g);
  proc.SetAttachedRVBitmap(&b);
  proc.Resample(8, 8, rfLanczos3);
  EXPECT_EQ(b.GetPixelFormat(), rv24RGB);
}

TEST(RastovaProc, NearestStretchPicksColumns) {
  TRVBitmap src(3, 1, rv8g), dst(2, 1, rv8g);
  for (int x = 0; x < 3; ++x) src.SetPixels_rv8(x, 0, static_cast<uint8_t>(10 + x));
  StretchBitmapNearest(src, dst, nullptr, TRVProgressEvent());
  EXPECT_EQ(dst.GetPixels_rv8(0, 0), 10);
  EXPECT_EQ(dst.GetPixels_rv8(1, 0), 11);
  // Every format, bits included, through the same tables.
  TRVBitmap bits(10, 2, rv1g), bits2(5, 1, rv1g);
  bits.Fill(0);
  bits.SetPixels_rv1g(4, 0, true);
  StretchBitmapNearest(bits, bits2, nullptr, TRVProgressEvent());
  EXPECT_TRUE(bits2.GetPixels_rv1g(2, 0));
  EXPECT_FALSE(bits2.GetPixels_rv1g(1, 0));
  TRVBitmap pal(4, 4, rv8p), pal2(2, 2, rv8p);
  pal.SetPalette(5, TRGB{1, 2, 3});
  pal.Fill(5);
  StretchBitmapNearest(pal, pal2, nullptr, TRVProgressEvent());
  EXPECT_EQ(pal2.GetPixels(1, 1), (TRGB{1, 2, 3}));
}

TEST(RastovaProc, UndoAndRedo) {
  int owner = 0;
  TRVBitmap image(20, 10, rv24RGB);
  Gradient(image);
  const std::vector<uint8_t> before = Pixels(image);
  TRastovaProc proc(&owner);
  EXPECT_TRUE(proc.AutoUndo);
  Events ev;
  ev.Attach(proc);
  proc.SetAttachedRVBitmap(&image);
  proc.Resample(10, 5, rfMitchell);
  ASSERT_EQ(proc.GetUndoCount(), 1);
  EXPECT_EQ(proc.GetUndoCaptions(0), "Resample 10, 5");
  EXPECT_EQ(ev.saved, 1);
  proc.Resample(4, 4, rfMitchell);
  EXPECT_EQ(proc.GetUndoCount(), 1);  // the default limit keeps one entry
  EXPECT_EQ(proc.GetUndoCaptions(0), "Resample 4, 4");

  proc.SetUndoLimit(3);
  proc.ClearAllUndo();
  proc.Resample(9, 9, rfBell);
  const std::vector<uint8_t> nine = Pixels(image);
  proc.Clear();
  ASSERT_EQ(proc.GetUndoCount(), 2);
  EXPECT_EQ(proc.GetUndoCaptions(0), "Clear");
  EXPECT_EQ(proc.GetUndoCaptions(1), "Resample 9, 9");
  EXPECT_EQ(proc.GetUndoSourceAt(0), rvuImage);
  EXPECT_EQ(proc.GetUndoSourceAt(5), rvuUnknown);
  // Undo with redo, then redo: the image returns; both entries stay.
  const std::vector<uint8_t> cleared = Pixels(image);
  proc.Undo(true);
  EXPECT_EQ(Pixels(image), nine);
  EXPECT_EQ(proc.GetRedoCount(), 1);
  proc.Redo();
  EXPECT_EQ(Pixels(image), cleared);
  EXPECT_EQ(proc.GetUndoCount(), 2);
  EXPECT_EQ(proc.GetRedoCount(), 1);
  proc.UndoAt(1, false);
  EXPECT_EQ(image.GetWidth(), 4);
  (void)before;

  // Negative positions, limits and caption indexes change nothing.
  proc.UndoAt(-1, true);
  proc.RedoAt(-1);
  proc.ClearUndoAt(-1);
  proc.SetUndoCaptions(-1, "x");
  proc.SetUndoLimit(-5);
  EXPECT_EQ(proc.GetUndoLimit(), 3);
  EXPECT_EQ(proc.GetUndoCount(), 2);
  EXPECT_EQ(proc.GetUndoCaptions(-1), "");
  proc.ClearUndoAt(1);
  EXPECT_EQ(proc.GetUndoCount(), 1);
  EXPECT_EQ(proc.GetUndoCaptions(0), "Clear");
}

TEST(RastovaProc, UndoLimitZeroAndTinyImages) {
  int owner = 0;
  TRVBitmap image(8, 8, rv24RGB);
  TRastovaProc proc(&owner);
  Events ev;
  ev.Attach(proc);
  proc.SetAttachedRVBitmap(&image);
  proc.SetUndoLimit(0);
  proc.Resample(4, 4, rfTriangle);
  proc.Clear();
  EXPECT_EQ(proc.GetUndoCount(), 0);
  EXPECT_EQ(ev.saved, 0);

  TRVBitmap tiny(1, 1, rv24RGB);
  TRastovaProc p2(&owner);
  Events ev2;
  ev2.Attach(p2);
  p2.SetAttachedRVBitmap(&tiny);
  p2.SaveUndo(rvuImage);  // nothing saved, the event still fires
  EXPECT_EQ(p2.GetUndoCount(), 0);
  EXPECT_EQ(ev2.saved, 1);
  p2.SaveUndoCaptioned("x", rvuImage);  // returns at once
  EXPECT_EQ(ev2.saved, 1);
}

TEST(RastovaProc, PixelFormatChecks) {
  struct Case {
    TRVPixelFormat from;
    TRVPixelFormatSet allowed;
    bool autoConvert;
    bool ok;
    TRVPixelFormat result;
  };
  const Case cases[] = {
      {rv8p, FormatSetOf(rv24RGB), true, true, rv24RGB},
      {rv8p, FormatSetOf(rv24RGB), false, false, rv8p},
      {rv16g, static_cast<TRVPixelFormatSet>(FormatSetOf(rv8g) | FormatSetOf(rv24RGB)), true, true, rv8g},
      {rv1g, FormatSetOf(rvCMYK), true, true, rvCMYK},  // no preferred entry: tried from 10 down
      {rv24RGB, 0, false, true, rv24RGB},
      {rv24RGB, FormatSetOf(rv24RGB), false, true, rv24RGB},
  };
  for (const Case& c : cases) {
    TRVBitmap image(4, 4, c.from);
    TRastovaProc proc;
    proc.AutoConvertFormat = c.autoConvert;
    proc.SetAttachedRVBitmap(&image);
    EXPECT_EQ(proc.CanProcess(c.allowed), c.ok) << int(c.from);
    EXPECT_EQ(image.GetPixelFormat(), c.result) << int(c.from);
  }
  // Without an image every operation does nothing.
  TRastovaProc none;
  none.SetAttachedRVBitmap(nullptr);
  EXPECT_EQ(none.GetBitmap(), nullptr);
  EXPECT_FALSE(none.CanProcess(0));
  none.Resample(5, 5, rfLanczos3);
  none.Clear();
  none.SaveUndo(rvuImage);
}

TEST(RastovaProc, ImageResizeAndClear) {
  TRVBitmap image(4, 2, rv24RGB);
  image.Fill(0x0000FF);  // red
  TRastovaProc proc;
  proc.SetBackground(0x00FF00);  // green
  proc.SetAttachedRVBitmap(&image);
  proc.ImageResize(8, 4, 1, 2, 255);
  EXPECT_FALSE(image.HasAlphaBitmap());
  ASSERT_EQ(image.GetWidth(), 8);
  EXPECT_EQ(PackRGB(image.GetPixels(1, 1)), 0x00FF00u);  // margin
  EXPECT_EQ(PackRGB(image.GetPixels(2, 2)), 0xFF0000u);  // centred horizontally, at the bottom
  EXPECT_EQ(PackRGB(image.GetPixels(5, 3)), 0xFF0000u);
  EXPECT_EQ(PackRGB(image.GetPixels(6, 3)), 0x00FF00u);
  proc.ImageResize(10, 5, 0, 0, 0);
  ASSERT_TRUE(image.HasAlphaBitmap());
  EXPECT_EQ(image.AlphaBitmap()->GetPixels_rv8(9, 4), 0);
  EXPECT_EQ(image.AlphaBitmap()->GetPixels_rv8(3, 3), 255);
  proc.Clear();
  EXPECT_EQ(PackRGB(image.GetPixels(3, 3)), 0x00FF00u);
}

// ---------------------------------------------------------------- an attached layered view

class FakeView : public IRVProcView, public IRVProcLayerView {
 public:
  struct Layer {
    uint8_t id[16];
    std::unique_ptr<TRVBitmap> bitmap;
    std::string name;
  };
  std::vector<Layer> layers;
  int32_t current = 0;
  std::string selection = "sel-A";
  TRVMask mask;
  bool hasSelection = false;
  int updates = 0, imageChanges = 0;
  std::map<int, TBitmapChangeHandler> handlers;
  int nextId = 1;
  TColor background = 0x123456;

  void AddLayer(const std::string& name, int32_t w, int32_t h, uint8_t idByte) {
    Layer l;
    std::memset(l.id, idByte, 16);
    l.bitmap = std::make_unique<TRVBitmap>(w, h, rv24RGB);
    l.bitmap->Fill(idByte);
    l.name = name;
    layers.push_back(std::move(l));
  }
  void* AddBitmapChangeHandler(TBitmapChangeHandler h) override {
    handlers[nextId] = std::move(h);
    return reinterpret_cast<void*>(static_cast<intptr_t>(nextId++));
  }
  void RemoveBitmapChangeHandler(void* r) override { handlers.erase(static_cast<int>(reinterpret_cast<intptr_t>(r))); }
  void Fire(bool destroying) {
    auto copy = handlers;
    for (auto& [id, h] : copy) h(this, destroying);
  }
  TRVBitmap* GetRVBitmap() override { return layers[static_cast<size_t>(current)].bitmap.get(); }
  platform::TBitmap* GetBitmap() override { return nullptr; }
  TColor GetBackground() override { return background; }
  void SetBackground(TColor v) override { background = v; }
  void Update() override { ++updates; }
  void ImageChange() override { ++imageChanges; }
  void FreeNotification(TRastovaProc*) override {}
  IRVProcLayerView* AsLayerView() override { return this; }

  TRVMask* SelectionMask() override { return &mask; }
  bool HasSelection() override { return hasSelection; }
  const TRVPoint* PolygonPoints() override { return nullptr; }
  int32_t PolygonPointCount() override { return 0; }
  int32_t CurrentLayerIndex() override { return current; }
  int32_t GetLayersCount() override { return static_cast<int32_t>(layers.size()); }
  TRVBitmap* GetLayerBitmap(int32_t i) override { return layers[static_cast<size_t>(i)].bitmap.get(); }
  void GetLayerIdentity(int32_t i, uint8_t id[16]) override { std::memcpy(id, layers[static_cast<size_t>(i)].id, 16); }
  void SaveSelectionToStream(TStream& s) override { SaveAnsi(s, selection); }
  bool LoadSelectionFromStream(TStream& s, int32_t mode) override {
    EXPECT_EQ(mode, 1);
    selection = LoadAnsi(s);
    return true;
  }
  // Record: length, identity, name, bitmap flag, raw bitmap.
  void SaveLayerToStream(int32_t i, TStream& s, bool withBitmap) override {
    TMemoryStream body;
    body.WriteBuffer(layers[static_cast<size_t>(i)].id, 16);
    SaveAnsi(body, layers[static_cast<size_t>(i)].name);
    uint8_t flag = withBitmap ? 1 : 0;
    body.WriteBuffer(&flag, 1);
    if (withBitmap) SaveRawToStream(*layers[static_cast<size_t>(i)].bitmap, body);
    uint32_t len = static_cast<uint32_t>(body.GetSize() + 4);
    s.WriteBuffer(&len, 4);
    s.WriteBuffer(body.Memory(), body.GetSize());
  }
  void LoadLayerFromStream(int32_t i, TStream& s) override {
    uint32_t len;
    s.ReadBuffer(&len, 4);
    s.Seek(16, soCurrent);
    layers[static_cast<size_t>(i)].name = LoadAnsi(s);
    uint8_t flag;
    s.ReadBuffer(&flag, 1);
    if (flag) LoadRawFromStream(*layers[static_cast<size_t>(i)].bitmap, s);
  }
  void SaveLayersToStream(TStream&, int32_t) override {}
  bool LoadLayersFromStream(TStream&) override { return true; }

 private:
  static void SaveAnsi(TStream& s, const std::string& t) {
    uint32_t n = static_cast<uint32_t>(t.size());
    s.WriteBuffer(&n, 4);
    s.WriteBuffer(t.data(), n);
  }
  static std::string LoadAnsi(TStream& s) {
    uint32_t n;
    s.ReadBuffer(&n, 4);
    std::string t(n, '\0');
    s.ReadBuffer(t.data(), n);
    return t;
  }
};

TEST(RastovaProcView, WorksOnTheViewsCurrentLayer) {
  FakeView view;
  view.AddLayer("back", 10, 10, 1);
  view.AddLayer("top", 6, 6, 2);
  view.current = 1;
  int owner = 0;
  TRastovaProc proc(&owner);
  proc.SetUndoLimit(5);
  proc.SetAttachedRastova(&view);
  EXPECT_EQ(proc.GetBitmap(), view.layers[1].bitmap.get());
  EXPECT_EQ(proc.GetBackground(), 0x123456);
  EXPECT_EQ(view.handlers.size(), 1u);

  proc.Resample(3, 3, rfLanczos3);
  EXPECT_EQ(view.layers[1].bitmap->GetWidth(), 3);
  EXPECT_GE(view.updates, 1);
  EXPECT_GE(view.imageChanges, 1);
  // The view switches layers: the component follows; undo goes back into the tagged layer.
  view.current = 0;
  view.Fire(false);
  EXPECT_EQ(proc.GetBitmap(), view.layers[0].bitmap.get());
  proc.Undo(false);
  EXPECT_EQ(view.layers[1].bitmap->GetWidth(), 6);
  EXPECT_EQ(view.layers[0].bitmap->GetWidth(), 10);

  // Selection and layer states.
  proc.SaveUndo(rvuSelection);
  view.selection = "sel-B";
  proc.SaveUndo(rvuFullLayer);
  view.layers[0].name = "renamed";
  view.layers[0].bitmap->Fill(9);
  proc.UndoAt(1, false);
  EXPECT_EQ(view.selection, "sel-A");
  proc.Undo(false);
  EXPECT_EQ(view.layers[0].name, "back");
  EXPECT_EQ(view.layers[0].bitmap->GetPixels(0, 0).r, 1);  // the current layer's bitmap came back
  // A layer that no longer exists is skipped by its record length.
  std::memset(view.layers[1].id, 7, 16);
  view.layers[0].name = "again";
  proc.Undo(false);
  EXPECT_EQ(view.layers[0].name, "back");

  // The view goes away: the component forgets it and works on a buffer of its own.
  view.Fire(true);
  EXPECT_EQ(proc.GetAttachedRastova(), nullptr);
  ASSERT_NE(proc.GetBitmap(), nullptr);
  EXPECT_NE(proc.GetBitmap(), view.layers[0].bitmap.get());
}

TEST(RastovaProcView, SelectionBoxIsTheWorkArea) {
  FakeView view;
  view.AddLayer("only", 8, 8, 0);
  view.layers[0].bitmap->Fill(0);
  view.mask.AllocateBits(8, 8, 1);
  for (int y = 2; y <= 4; ++y)
    for (int x = 3; x <= 6; ++x) view.mask.SetPixel(x, y, 1);
  view.hasSelection = true;
  TRastovaProc proc;
  proc.SetAttachedRastova(&view);
  int32_t x1, y1, x2, y2;
  TRVBitmap* work = nullptr;
  TRVMask* mask = nullptr;
  ASSERT_TRUE(proc.BeginImageProcessing(0, x1, y1, x2, y2, "Fill", work, mask));
  ASSERT_NE(work, proc.GetBitmap());
  EXPECT_EQ(work->GetWidth(), 4);
  EXPECT_EQ(work->GetHeight(), 3);
  EXPECT_EQ(x2, 4);
  work->Fill(0xFFFFFF);
  proc.EndImageProcessing(work, mask);
  TRVBitmap& b = *view.layers[0].bitmap;
  EXPECT_EQ(PackRGB(b.GetPixels(3, 2)), 0xFFFFFFu);
  EXPECT_EQ(PackRGB(b.GetPixels(6, 4)), 0xFFFFFFu);
  EXPECT_EQ(PackRGB(b.GetPixels(2, 2)), 0u);
  EXPECT_EQ(PackRGB(b.GetPixels(3, 5)), 0u);
}

}  // namespace
}  // namespace rv
