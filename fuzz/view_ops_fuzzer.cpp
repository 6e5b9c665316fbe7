// The image view's API as a program: each input is read as a sequence of calls on one vector
// layer (an image view with objects over its image), with a navigator view, a second layer that
// objects are copied to and assigned from, and the view's transition engine. After every call
// the invariants that callers rely on are checked:
//   - the view has layers and its current layer is one of them (-1 never stays), and the view's
//     picture is that layer's;
//   - an attached navigator shows a picture that a live layer holds;
//   - a paint allocates no block larger than the visible area and the layers' pictures justify,
//     and leaves every layer picture within the sizes the layers had before;
//   - the object store is consistent: drawing order, selection and shared picture slots name
//     live records and slots, every slot's count of users is right and its alpha plane has the
//     picture's size;
//   - a running transition has its frames and row tables at the size it started with.
// Pictures stay small (at most 200 x 200 pixels) so that one input runs in milliseconds; values
// the callers may pass unchecked (positions, deltas, display sizes, zooms) also take extremes.
#include <sanitizer/allocator_interface.h>

#include <QApplication>
#include <QCoreApplication>
#include <QPointer>
#include <QWidget>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <limits>
#include <memory>

#include "platform/gfx/Bitmap.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStartup.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RastovaProc.h"
#include "rastova/view/RastovaViewStartup.h"
#include "rastova/view/core/RastovaView.h"
#include "rastova/view/transitions/RVTransitionEffects.h"
#include "rastova/view/vector/RastovaVect.h"

namespace {

using rv::TRastovaVect;
using rv::TRastovaView;
using rv::TRVBitmap;

[[noreturn]] void Broken(const char* what) {
  std::fprintf(stderr, "view_ops_fuzzer: invariant broken: %s\n", what);
  std::abort();
}
void Require(bool holds, const char* what) {
  if (!holds) Broken(what);
}

// ---------------------------------------------------------------- the largest block of a paint

// The allocation hooks note the largest block asked for while a paint runs.
bool gWatchAllocations = false;
size_t gLargestBlock = 0;
void MallocHook(const volatile void*, size_t size) {
  if (gWatchAllocations && size > gLargestBlock) gLargestBlock = size;
}
void FreeHook(const volatile void*) {}

// ---------------------------------------------------------------- reading the program

// The input as the arguments of the calls: bytes, small counts and indexes, coordinates that
// are mostly near the pictures but sometimes the extremes of their type.
class TProgram {
 public:
  TProgram(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
  bool Done() const { return p_ >= end_; }
  uint8_t Byte() { return p_ < end_ ? *p_++ : 0; }
  bool Bool() { return Byte() & 1; }
  // The choice of a call among n of a group (0 .. n - 1), printed when VIEW_OPS_TRACE is set.
  int32_t Call(const char* group, int32_t n) {
    const int32_t c = Below(n);
    static const bool trace = std::getenv("VIEW_OPS_TRACE") != nullptr;
    if (trace) std::fprintf(stderr, "call: %s %d\n", group, c);
    return c;
  }
  // 0 .. n - 1.
  int32_t Below(int32_t n) { return n > 0 ? int32_t(Byte() % uint32_t(n)) : 0; }
  // -1 .. n: the indexes of a list of n entries and one past each end.
  int32_t Index(int32_t n) { return Below(n + 2) - 1; }
  // A picture side: 1 .. 200.
  int32_t Side() { return 1 + Below(200); }
  int32_t Coord() {
    static constexpr int32_t kExtremes[16] = {std::numeric_limits<int32_t>::min(),
                                              std::numeric_limits<int32_t>::max(),
                                              std::numeric_limits<int32_t>::min() + 1,
                                              std::numeric_limits<int32_t>::max() - 1,
                                              1 << 30,
                                              -(1 << 30),
                                              1 << 24,
                                              -(1 << 24),
                                              65536,
                                              -65536,
                                              1000000,
                                              -1000000,
                                              0xFFFFF,
                                              4096,
                                              -1,
                                              0};
    const uint8_t b = Byte();
    return b < 240 ? int32_t(b) - 20 : kExtremes[b - 240];
  }
  double Zoom() {
    static constexpr double kZooms[16] = {100, 50, 200,  1,   0.5, 0.01, 1600, 12345,
                                          0,   -5, 33.3, 400, 25,  75,   3200, 1e-9};
    const uint8_t b = Byte();
    if (b == 254) return std::numeric_limits<double>::quiet_NaN();
    if (b == 255) return std::numeric_limits<double>::infinity();
    return b < 16 ? kZooms[b] : double(b) * 2.5;
  }

 private:
  const uint8_t* p_;
  const uint8_t* end_;
};

// ---------------------------------------------------------------- the views under test

constexpr int32_t kMaxLayers = 8;
constexpr int32_t kMaxObjects = 48;

// Fills a picture of the given size with a pattern (and, when asked, an alpha plane of
// stripes), in one of the formats the view shows.
void MakePicture(TRVBitmap& b, int32_t w, int32_t h, uint8_t format, bool alpha) {
  static constexpr rv::TRVPixelFormat kFormats[4] = {rv::rv24RGB, rv::rv8g, rv::rv1g, rv::rv32RGB};
  if (!b.Allocate(w, h, kFormats[format % 4])) return;
  const int32_t rowLen = b.GetRowLen();
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* row = b.GetScanLine(y);
    for (int32_t x = 0; x < rowLen; ++x) row[x] = uint8_t(x * 7 + y * 13);
  }
  if (!alpha) return;
  TRVBitmap* a = b.AlphaBitmap();
  if (!a) return;
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* row = a->GetScanLine(y);
    for (int32_t x = 0; x < w; ++x) row[x] = ((x / 4 + y / 4) & 1) ? 255 : 0;
  }
}

// What a transition's events do when they fire.
enum TEventAction : uint8_t { eaNothing, eaStop, eaClear, eaResize, eaRemoveLayer, eaCount };

struct TRig {
  // Pictures the caller shows in layers or pans over: they outlive the views.
  std::array<std::unique_ptr<TRVBitmap>, 3> Pictures;
  QWidget Window;
  TRastovaVect* View;
  QPointer<TRastovaView> Navigator;
  TRastovaVect* Other;  // a child of Window, like the view
  uint32_t Clock = 1000;
  TEventAction StepAction = eaNothing;
  TEventAction StopAction = eaNothing;
  bool InEvent = false;

  TRig() {
    for (auto& p : Pictures) {
      p = std::make_unique<TRVBitmap>();
      MakePicture(*p, 16, 12, 0, false);
    }
    Window.resize(400, 400);
    View = new TRastovaVect(&Window);
    View->resize(120, 90);
    MakePicture(*View->GetRVBitmap(), 64, 48, 0, false);
    View->GetProc()->UndoLocation = rv::rvInMemory;
    View->Update();
    // A view without a parent would start at the size of a top-level window (and a surface of
    // that size); as a child it starts small.
    Other = new TRastovaVect(&Window);
    rv::TRVTransitionEffects* engine = View->EnsureTransition();
    engine->TickCount = [this] { return Clock; };
    View->WriteOnTransitionStep([this](TRastovaView*, int32_t) { Act(StepAction); });
    View->WriteOnTransitionStop([this](TRastovaView*) { Act(StopAction); });
  }
  ~TRig() {
    delete View;
    delete Navigator.data();
  }
  TRig(const TRig&) = delete;
  TRig& operator=(const TRig&) = delete;

  // An event handler's call back into the view (not nested: an event of an event does nothing).
  void Act(TEventAction a) {
    if (InEvent || !View) return;
    InEvent = true;
    switch (a) {
      case eaStop:
        View->Transition()->Stop();
        break;
      case eaClear:
        View->Clear();
        break;
      case eaResize:
        View->resize(View->width() / 2 + 1, View->height() + 7);
        break;
      case eaRemoveLayer:
        View->LayersRemove(View->FLayersCurrent);
        break;
      default:
        break;
    }
    InEvent = false;
  }
};

// ---------------------------------------------------------------- invariants

bool LayerHolds(TRastovaView& v, TRVBitmap* b) {
  for (int32_t i = 0; i < v.GetLayersCount(); ++i)
    if (v.GetLayer(i)->Bitmap == b) return true;
  return false;
}

void CheckLayers(TRastovaView& v) {
  Require(v.GetLayersCount() > 0, "a view without layers");
  Require(v.FLayersCurrent >= 0 && v.FLayersCurrent < v.GetLayersCount(), "current layer out of the list");
  Require(v.GetCurrentLayer() != nullptr, "no current layer");
  for (int32_t i = 0; i < v.GetLayersCount(); ++i) Require(v.GetLayer(i)->Bitmap, "a layer without picture");
  Require(v.GetRVBitmap() == v.GetCurrentLayer()->Bitmap, "the view's picture is not its current layer's");
}

void CheckNavigator(TRig& rig) {
  TRastovaView* n = rig.Navigator.data();
  if (!n) return;
  CheckLayers(*n);
  if (!n->FIsNavigator) return;
  TRVBitmap* shown = n->GetRVBitmap();
  const bool ownLayer = n->GetCurrentLayer()->OwnsBitmap;
  Require(ownLayer || (rig.View && LayerHolds(*rig.View, shown)),
          "the navigator shows a picture no live layer holds");
}

void CheckObjects(TRastovaVect& v) {
  const int32_t count = v.ObjectsCount();
  Require(v.ObjectOrderCount() == count, "drawing order and store differ in size");
  std::vector<int32_t> users(size_t(v.SharedBitmapsCount()), 0);
  auto countUser = [&](const rv::TRVVObjRecord& o) {
    if (o.BitmapIdx == -1) return;
    Require(o.BitmapIdx >= 0 && o.BitmapIdx < v.SharedBitmapsCount(), "a picture slot out of the table");
    Require(v.SharedBitmaps[size_t(o.BitmapIdx)].Bitmap != nullptr, "an object on a free picture slot");
    ++users[size_t(o.BitmapIdx)];
  };
  for (int32_t h : v.ObjectOrder) Require(h >= 0 && h < count, "drawing order names no record");
  for (const rv::TRVVObjRecord& o : v.Objects) countUser(o);
  countUser(v.NewObjectTemplate);
  for (int32_t h : v.SelObjects) Require(h >= 0 && h < count, "selection names no record");
  for (size_t i = 0; i < users.size(); ++i) {
    const rv::TRVVSharedBitmap& s = v.SharedBitmaps[i];
    if (!s.Bitmap) continue;
    Require(s.RefCount == users[i], "a picture slot's count of users is wrong");
    if (TRVBitmap* a = s.Bitmap->HasAlphaBitmap() ? s.Bitmap->AlphaBitmap() : nullptr)
      Require(a->GetWidth() == s.Bitmap->GetWidth() && a->GetHeight() == s.Bitmap->GetHeight(),
              "an alpha plane of another size than its picture");
  }
}

void CheckTransition(TRastovaView& v) {
  rv::TRVTransitionEffects* t = v.Transition();
  if (!t || !t->FRunning) return;
  Require(t->FFrameBitmap->Width() == t->FWidth && t->FFrameBitmap->Height() == t->FHeight,
          "a running transition's frame changed size");
  if (t->FTransition != 213)
    Require(int32_t(t->FSourceRows.size()) == t->FHeight && int32_t(t->FFrameRows.size()) == t->FHeight,
            "a running transition without its row tables");
}

void CheckAll(TRig& rig) {
  if (rig.View) {
    CheckLayers(*rig.View);
    CheckObjects(*rig.View);
    CheckTransition(*rig.View);
  }
  CheckNavigator(rig);
  CheckLayers(*rig.Other);
  CheckObjects(*rig.Other);
}

// ---------------------------------------------------------------- painting

int64_t Area(TRVBitmap* b) { return b ? int64_t(b->GetWidth()) * b->GetHeight() : 0; }

// Paints the view (and the navigator), watching the largest block allocated and the layers'
// picture sizes: a paint draws what is visible and may bring layers to the size of the largest
// (automatic layer size), nothing more.
void PaintWatched(TRastovaView& v) {
  int32_t maxW = 1, maxH = 1;
  std::vector<int64_t> before;
  for (int32_t i = 0; i < v.GetLayersCount(); ++i) {
    TRVBitmap* b = v.GetLayer(i)->Bitmap;
    maxW = std::max(maxW, b->GetWidth());
    maxH = std::max(maxH, b->GetHeight());
    before.push_back(Area(b));
  }
  const int64_t shown = std::max<int64_t>(1, int64_t(v.width()) * v.height());
  // Four bytes a pixel, with room for a few copies at twice the size (rotation, filtering) and
  // the platform's own buffers.
  const int64_t limit = 16 * 4 * std::max<int64_t>(shown, int64_t(maxW) * maxH) + (4 << 20);
  gLargestBlock = 0;
  gWatchAllocations = true;
  v.Invalidate();
  v.PaintPendingNow();
  gWatchAllocations = false;
  if (int64_t(gLargestBlock) > limit) {
    std::fprintf(stderr, "paint allocated %zu bytes at once (view %dx%d, layers up to %dx%d)\n",
                 gLargestBlock, v.width(), v.height(), maxW, maxH);
    Broken("a paint allocated more than the visible area and the layers justify");
  }
  for (int32_t i = 0; i < v.GetLayersCount() && size_t(i) < before.size(); ++i)
    Require(Area(v.GetLayer(i)->Bitmap) <= std::max<int64_t>(before[size_t(i)], int64_t(maxW) * maxH),
            "a paint grew a layer's picture");
}

// ---------------------------------------------------------------- the calls

void LayerCall(TRig& rig, TProgram& in) {
  TRastovaVect& v = *rig.View;
  const int32_t n = v.GetLayersCount();
  switch (in.Call("layer", 8)) {
    case 0:
      if (n < kMaxLayers) v.LayersAdd();
      break;
    case 1:  // a layer and its mask above it
      if (n + 2 <= kMaxLayers) {
        v.LayersAdd();
        v.LayersAdd();
        v.GetCurrentLayer()->IsMask = true;
        MakePicture(*v.GetRVBitmap(), v.GetRVBitmap()->GetWidth(), v.GetRVBitmap()->GetHeight(), 1, false);
        v.Update();
      }
      break;
    case 2:
      v.LayersRemove(in.Index(n));
      break;
    case 3:
      v.SetCurrentLayer(in.Index(n));
      break;
    case 4:
      v.LayersClear();
      break;
    case 5: {
      // Merging makes a picture of the layers' whole extent, which the caller's positions and
      // display sizes set: only for extents a picture may have.
      int64_t w = 0, h = 0;
      v.LayersDrawSize(w, h);
      if (w * h <= 4096 * 4096) v.LayersMergeAll();
      break;
    }
    case 6: {
      const int32_t i = in.Index(n);
      const uint8_t what = in.Byte();
      // Baking display sizes and rotations allocates them: only for sizes a picture may have.
      bool small = true;
      for (int32_t k = 0; k < n; ++k)
        small = small && v.GetLayer(k)->DisplayWidth <= 400 && v.GetLayer(k)->DisplayHeight <= 400;
      if (what % 3 == 0 && small) v.LayersFixSizes(i);
      if (what % 3 == 1 && small) v.LayersFixRotations(i);
      if (what % 3 == 2) v.LayersCropToOpaque(i);
      break;
    }
    default: {  // a property of a layer
      rv::TRVLayer& l = *v.GetLayer(in.Below(n));
      switch (in.Call("layer property", 9)) {
        case 0:
          l.PosX = in.Coord();
          break;
        case 1:
          l.PosY = in.Coord();
          break;
        case 2:
          l.DisplayWidth = in.Bool() ? in.Coord() : in.Below(256) * 40;
          break;
        case 3:
          l.DisplayHeight = in.Bool() ? in.Coord() : in.Below(256) * 40;
          break;
        case 4:
          l.SetRotation(double(in.Coord()) / 4);
          break;
        case 5:
          l.Visible = in.Bool();
          break;
        case 6:
          l.MagnifierEnabled = in.Bool();
          l.MagnifierRate = double(in.Below(40)) / 4;
          l.MagnifierShape = in.Below(2);
          l.MagnifierSource = in.Below(2);
          break;
        case 7:
          l.ClipToImage = in.Bool();
          break;
        default:
          l.Opacity = in.Coord();
          l.Operation = rv::TRVRenderOperation(in.Below(8));
          break;
      }
      v.Update();
    }
  }
}

void PictureCall(TRig& rig, TProgram& in) {
  TRastovaVect& v = *rig.View;
  switch (in.Call("picture", 6)) {
    case 0: {  // the current image changed in place (a load, processing)
      const int32_t w = in.Side(), h = in.Side();
      const uint8_t format = in.Byte();
      MakePicture(*v.GetRVBitmap(), w, h, format, in.Bool());
      v.Update();
      break;
    }
    case 1:
      v.SetExternalBitmap(rig.Pictures[size_t(in.Below(3))].get());
      break;
    case 2:
      v.SetExternalBitmap(nullptr);
      break;
    case 3:
      v.SetExternalBitmap(v.GetRVBitmap());
      break;
    case 4: {  // a picture the caller shows changes size
      TRVBitmap& p = *rig.Pictures[size_t(in.Below(3))];
      const int32_t w = in.Side(), h = in.Side();
      const uint8_t format = in.Byte();
      MakePicture(p, w, h, format, in.Bool());
      v.Update();
      break;
    }
    default:
      if (in.Bool())
        v.Clear();
      else
        v.Blank();
  }
}

void NavigatorCall(TRig& rig, TProgram& in) {
  switch (in.Call("navigator", 4)) {
    case 0:  // a navigator attached (made when there is none)
      if (!rig.Navigator) {
        rig.Navigator = new TRastovaView(&rig.Window);
        const int32_t w = 40 + in.Below(80);
        rig.Navigator->resize(w, 30 + in.Below(60));
      }
      rig.View->SetNavigator(rig.Navigator.data(), in.Below(4));
      break;
    case 1:
      rig.View->SetNavigator(nullptr, 0);
      break;
    case 2:
      delete rig.Navigator.data();
      break;
    default:
      if (rig.Navigator) PaintWatched(*rig.Navigator);
  }
}

void SelectionCall(TRig& rig, TProgram& in) {
  TRastovaVect& v = *rig.View;
  switch (in.Call("selection", 8)) {
    case 0: {
      const int32_t x1 = in.Coord(), y1 = in.Coord(), x2 = in.Coord(), y2 = in.Coord();
      v.SelectRectangle(x1, y1, x2, y2, in.Below(3));
      break;
    }
    case 1: {
      const int32_t x = in.Coord();
      v.AddSelectionPoint(x, in.Coord());
      break;
    }
    case 2:
      v.AddSelectionBreak();
      v.ApplySelectionPolygon();
      break;
    case 3:
      v.DeSelect();
      break;
    case 4: {
      const int32_t dx = in.Coord(), dy = in.Coord();
      v.MoveSelection(dx, dy, in.Bool());
      break;
    }
    case 5: {
      v.FMagicWandMode = in.Below(3);
      const int32_t x = in.Coord(), y = in.Coord();
      v.SelectMagicWand(x, y, in.Below(3));
      break;
    }
    case 6:
      v.FSelectionBase = in.Bool() ? rv::rvsbBitmap : rv::rvsbClientArea;
      break;
    default: {
      const int32_t x = in.Coord(), y = in.Coord();
      v.HitSelectionGrip(x, y);
      v.HitSelectionInside(x, y, {});
      v.HitLayerGrip(x, y);
      v.FindLayerAt(x, y, in.Bool());
    }
  }
}

void ViewCall(TRig& rig, TProgram& in) {
  TRastovaVect& v = *rig.View;
  switch (in.Call("view", 8)) {
    case 0:
      v.SetZoom(in.Zoom());
      break;
    case 1: {
      const int32_t x = in.Coord(), y = in.Coord();
      const bool center = in.Bool();
      v.ZoomAt(x, y, center, in.Zoom());
      break;
    }
    case 2:
      v.Fit();
      break;
    case 3: {
      const int32_t x = in.Coord();
      v.SetViewXY(x, in.Coord());
      break;
    }
    case 4: {
      const int32_t w = in.Below(300);
      v.resize(w, in.Below(300));
      break;
    }
    case 5:  // the composition's options
      v.FLayersDrawMode = in.Below(5);
      v.FLayersDrawParam = in.Coord();
      v.FLayersAutoSize = in.Bool();
      v.FShowAllLayerBoxes = in.Bool();
      v.Update();
      break;
    case 6:  // what the animation timer does on a tick
      v.AnimateSelections(v.AnimTimer(), true);
      v.QualityTimerTick();
      break;
    default:
      PaintWatched(v);
  }
}

// An object handle: -2 (the last object), -1 (the template), the objects and one past them.
int32_t Handle(TRastovaVect& v, TProgram& in) { return in.Below(v.ObjectsCount() + 3) - 2; }

// An object of a kind over a box, made from the template as the mouse insertion makes it.
void AddObject(TRastovaVect& v, TProgram& in) {
  if (v.ObjectsCount() >= kMaxObjects) return;
  rv::TRVVObjRecord rec;
  rec.Kind = rv::TRVVObjectKind(in.Below(12));
  rec.X1 = in.Coord();
  rec.Y1 = in.Coord();
  rec.X2 = in.Coord();
  rec.Y2 = in.Coord();
  rec.PenWidth = in.Below(6);
  rec.BrushStyle = in.Bool() ? platform::bsClear : platform::bsSolid;
  rec.Style = rv::rvvsSelectable | rv::rvvsMoveable | rv::rvvsSizeable | rv::rvvsVisible;
  rec.Text = "Ab";
  rec.LogFont.emplace();
  rec.LogFont->lfHeight = -int32_t(in.Below(30));
  rec.AnglePoints[0] = {rec.X1, rec.Y1};
  rec.AnglePoints[1] = {rec.X2, rec.Y2};
  rec.AnglePoints[2] = {rec.X1, rec.Y2};
  const int32_t h = v.AddNewObject(rec);
  if (rec.Kind == rv::rvkPOLYLINE)
    for (int32_t k = in.Below(5); k >= 0; --k) {
      const int32_t x = in.Coord();
      v.AddPolylinePoint(h, x, in.Coord());
    }
  if (rec.Kind == rv::rvkBITMAP) {
    TRVBitmap b;
    const int32_t w = 1 + in.Below(40), bh = 1 + in.Below(40);
    const uint8_t format = in.Byte();
    MakePicture(b, w, bh, format, in.Bool());
    v.SetObjBitmap(h, &b);
  }
  v.Update();
}

void ObjectCall(TRig& rig, TProgram& in) {
  TRastovaVect& v = *rig.View;
  const int32_t h = Handle(v, in);
  switch (in.Call("object", 10)) {
    case 0:
      AddObject(v, in);
      break;
    case 1:
      if (v.ObjectsCount() < kMaxObjects && v.GetObj(h)) v.AddNewObject(*v.GetObj(h));
      break;
    case 2:
      v.RemoveAllObjects();
      break;
    case 3:
      if (rig.Other->ObjectsCount() < kMaxObjects) v.CopyObjectTo(h, rig.Other);
      break;
    case 4:  // assigning layers: objects go over whole, or are removed with nullptr
      if (in.Bool())
        rig.Other->Assign(static_cast<TRastovaView*>(rig.View));
      else if (rig.Other->ObjectsCount() <= kMaxObjects)
        v.Assign(static_cast<TRastovaView*>(rig.Other));
      else
        v.Assign(nullptr);
      break;
    case 5: {
      const int32_t dx = in.Coord();
      v.MoveObject(h, dx, in.Coord());
      break;
    }
    case 6: {
      const int32_t d1 = in.Coord(), d2 = in.Coord(), d3 = in.Coord(), d4 = in.Coord();
      const bool keep = in.Bool();
      v.ResizeObject(h, d1, d2, d3, d4, keep, in.Below(13));
      break;
    }
    case 7: {
      const int32_t x = in.Coord(), y = in.Coord();
      double d = 0;
      v.FindObjectAt(x, y, d, in.Bool());
      int32_t grip = 0;
      v.FindGrip(x, y, grip);
      if (const rv::TRVVObjRecord* o = v.GetObj(h)) v.ObjectDistance(*o, x, y);
      const bool shift = in.Bool();
      v.ClickSelect(shift, x, y, in.Bool());
      break;
    }
    case 8: {
      const int32_t which = in.Bool() ? rv::kObjAll : h;
      const int32_t x1 = in.Coord(), y1 = in.Coord(), w = in.Below(200), bh = in.Below(200);
      v.SelectObjectsInRect(which, x1, y1, int32_t(int64_t(x1) + w), int32_t(int64_t(y1) + bh));
      if (in.Bool()) v.UnSelObject(h);
      break;
    }
    default: {
      platform::TRect r;
      v.GetObjectsExtents(r);
      const int32_t w = 1 + in.Below(100), bh = 1 + in.Below(100);
      platform::TBitmap target(w, bh, platform::pf24bit);
      const bool noZoom = in.Bool(), antialias = in.Bool();
      v.DrawObjectsToBitmap(v.GetRVBitmap(), noZoom, &target, antialias, in.Bool() ? rv::kObjAll : h);
    }
  }
}

void ObjectPictureCall(TRig& rig, TProgram& in) {
  TRastovaVect& v = *rig.View;
  const int32_t h = Handle(v, in);
  switch (in.Call("object picture", 6)) {
    case 0: {
      TRVBitmap b;
      const int32_t w = 1 + in.Below(40), bh = 1 + in.Below(40);
      const uint8_t format = in.Byte();
      MakePicture(b, w, bh, format, in.Bool());
      v.SetObjBitmap(h, &b);
      break;
    }
    case 1:
      v.SetObjBitmap(h, v.GetObjBitmap(in.Index(v.ObjectsCount())));
      break;
    case 2:
      v.ShareObjBitmap(h, in.Index(v.SharedBitmapsCount()));
      break;
    case 3: {
      TRVBitmap a;
      const int32_t w = 1 + in.Below(40);
      a.Allocate(w, 1 + in.Below(40), rv::rv8g);
      a.Fill(in.Bool() ? 0 : 0xFFFFFF);
      v.SetObjBitmapAlpha(h, &a);
      break;
    }
    case 4:
      v.SetObjBitmap(h, nullptr);
      break;
    default:
      v.ShareBitmaps = in.Bool();
      v.PackSharedBitmaps();
  }
}

void UndoCall(TRig& rig, TProgram& in) {
  TRastovaVect& v = *rig.View;
  rv::TRastovaProc& proc = *v.GetProc();
  static constexpr rv::TRVUndoSource kSources[6] = {rv::rvuImage, rv::rvuSelection, rv::rvuObject,
                                                    rv::rvuLayer, rv::rvuFullLayer, rv::rvuObjectsAndLayers};
  switch (in.Call("undo", 4)) {
    case 0:
      proc.SaveUndo(kSources[in.Below(6)]);
      break;
    case 1:
      if (proc.GetCanUndo()) proc.Undo(in.Bool());
      break;
    case 2:
      v.ObjUndoLimit = 1 + in.Below(3);
      v.PushObjUndo();
      break;
    default:
      if (!v.ObjUndoList.empty()) {
        rv::TMemoryStream& s = *v.ObjUndoList.back();
        s.Seek(0, rv::soBeginning);
        v.LoadObjectsFromStream(s);
      }
  }
}

void TransitionCall(TRig& rig, TProgram& in) {
  TRastovaVect& v = *rig.View;
  rv::TRVTransitionEffects& t = *v.Transition();
  switch (in.Call("transition", 5)) {
    case 0: {
      const int32_t sw = 1 + in.Below(150), sh = 1 + in.Below(150), tw = 1 + in.Below(150),
                    th = 1 + in.Below(150);
      platform::TBitmap source(sw, sh, platform::pf24bit), target(tw, th, platform::pf24bit);
      const uint8_t code = in.Byte();
      const int32_t duration = in.Below(4) * 100;
      const auto timing = rv::TRVTransitionTiming(in.Below(3));
      t.FUpdateOnStop = in.Bool();
      t.Start(code, source, target, duration, timing);
      break;
    }
    case 1: {
      platform::TRect from{in.Coord(), in.Coord(), in.Coord(), in.Coord()};
      platform::TRect to{in.Coord(), in.Coord(), in.Coord(), in.Coord()};
      TRVBitmap* image = rig.Pictures[size_t(in.Below(3))].get();
      const int32_t duration = in.Below(4) * 100;
      t.StartPanZoom(image, from, to, duration, rv::TRVTransitionTiming(in.Below(3)));
      break;
    }
    case 2:  // a tick of the frame timer after some time
      rig.Clock += uint32_t(in.Below(8)) * 50;
      t.TimerStep(nullptr);
      break;
    case 3:
      t.Stop();
      break;
    default:
      rig.StepAction = TEventAction(in.Below(eaCount));
      rig.StopAction = TEventAction(in.Below(eaCount));
  }
}

void RunCall(TRig& rig, TProgram& in) {
  switch (in.Below(10)) {
    case 0:
    case 1:
      LayerCall(rig, in);
      break;
    case 2:
      PictureCall(rig, in);
      break;
    case 3:
      NavigatorCall(rig, in);
      break;
    case 4:
      SelectionCall(rig, in);
      break;
    case 5:
      ViewCall(rig, in);
      break;
    case 6:
      ObjectCall(rig, in);
      break;
    case 7:
      ObjectPictureCall(rig, in);
      break;
    case 8:
      UndoCall(rig, in);
      break;
    default:
      TransitionCall(rig, in);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  (void)argc;
  (void)argv;
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static int qtArgc = 1;
  static char name[] = "view_ops_fuzzer";
  static char* qtArgv[] = {name, nullptr};
  // Never destroyed: the process ends with it.
  new QApplication(qtArgc, qtArgv);
  rv::RegisterRastovaViewStartup();
  rv::RastovaLibraryStartup();
  __sanitizer_install_malloc_and_free_hooks(MallocHook, FreeHook);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TProgram in(data, size);
  {
    TRig rig;
    const bool viewFirst = in.Bool();
    for (int calls = 0; !in.Done() && calls < 120; ++calls) {
      try {
        RunCall(rig, in);
      } catch (const std::exception&) {
        // The library's documented failures (list indexes, allocation) are the caller's to handle.
      }
      CheckAll(rig);
    }
    // Both orders of taking the views down.
    if (!viewFirst) delete rig.Navigator.data();
    delete rig.View;
    rig.View = nullptr;
    CheckNavigator(rig);
    if (rig.Navigator) PaintWatched(*rig.Navigator);
  }
  QCoreApplication::sendPostedEvents();
  return 0;
}
