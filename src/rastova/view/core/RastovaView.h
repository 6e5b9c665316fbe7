#pragma once
// TRastovaView: the image library's image view. It shows the image of its current layer zoomed
// and scrolled, composes a stack of layers into a back buffer, keeps scroll bars and the wheel
// in step with zoom and origin, and hands its image to attached processing and I/O components.
//
// The class is split by purpose: RastovaView.cpp (fields, properties, locks, the objects made
// on demand and the image operations), RastovaViewZoom.cpp (zoom, origin, scroll bars, wheel
// and coordinates), RastovaViewLayers.cpp (the layer stack), RastovaViewCompose.cpp (the zoom
// lookup tables and the composition) and RastovaViewPaint.cpp (update, painting, animation and
// the messages of background work).
//
// Two coordinate systems run through the view: view pixels (the client area) and bitmap pixels
// (of the bottom layer). Every conversion of a real number to an integer saturates (common's
// Round, halves to even, and Trunc); zooms that are not finite numbers above 0, or would make
// the zoomed image wider or higher than kMaxZoomedSize view pixels, are refused.
#include <QPointer>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Timer.h"
#include "rastova/core/RVMask.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/draw/RVDrawDib.h"
#include "rastova/core/draw/RVViewParams.h"
#include "rastova/view/background/RVViewBackground.h"
#include "rastova/view/core/RVLayer.h"
#include "rastova/view/core/RVView.h"

namespace rv {

class TRastovaView;
class TRVTransitionEffects;
class TRVDirectShow;

enum TRVMouseInteractItems : uint8_t {
  miZoom,
  miScroll,
  miSelect,
  miSelectPolygon,
  miSelectCircle,
  miSelectZoom,
  miSelectMagicWand,
  miSelectLasso,
  miMoveLayers,
  miResizeLayers,
  miRotateLayers,
  miMovingScroll
};
// A set of TRVMouseInteractItems: bit n = item n.
using TRVMouseInteract = uint16_t;
constexpr TRVMouseInteract MouseInteractOf(std::initializer_list<TRVMouseInteractItems> items) {
  TRVMouseInteract s = 0;
  for (TRVMouseInteractItems i : items) s = static_cast<TRVMouseInteract>(s | (1u << i));
  return s;
}
constexpr bool InInteract(TRVMouseInteract set, TRVMouseInteractItems item) { return (set >> item) & 1u; }

enum TRVSelectionBase : uint8_t { rvsbClientArea, rvsbBitmap };

enum TRVSelectionOptionItems : uint8_t {
  rvsoAnimated,
  rvsoSizeable,
  rvsoMoveable,
  rvsoFilled,
  rvsoCutBorders,
  rvsoMarkOuter,
  rvsoCanScroll,
  rvsoSelectTranspLayers,
  rvsoRightButtonSelectLayers,
  rvsoRightButtonTerminatePolySelect
};
using TRVSelectionOptions = uint16_t;  // bit n = item n
constexpr TRVSelectionOptions SelectionOption(TRVSelectionOptionItems i) {
  return static_cast<TRVSelectionOptions>(1u << i);
}

// Scoped: the image buffer's pixel formats have an rvNone of their own.
enum class TRVGrip : uint8_t {
  rvNone,
  rvTopLeft,
  rvTopRight,
  rvBottomRight,
  rvBottomLeft,
  rvLeftSide,
  rvRightSide,
  rvTopSide,
  rvBottomSide,
  rvRotationCenter
};

enum TRVLayerEvent : uint8_t {
  rvlSelected,
  rvlMoved,
  rvlResized,
  rvlMoving,
  rvlResizing,
  rvlRotating,
  rvlRotated,
  rvlBeginResizing,
  rvlBeginMoving
};

enum TScrollStyle : uint8_t { ssNone, ssHorizontal, ssVertical, ssBoth };

// One selection polygon record: points in bitmap pixels, separator points (kPolygonSeparator)
// between polygons. The selection's operations build on it.
struct TRVSelectionPolygon {
  std::vector<TRVPoint> Points;
  TColor Color1 = platform::clBlack;
  TColor Color2 = platform::clWhite;
  bool Sizeable = true;
  bool Animated = true;
  bool Visible = true;
  int32_t Counter = 0;  // dash phase, 0 .. 9
  // Selections: the bounds of the points (X2, Y2 exclusive for rectangles; separators do not
  // count) and the running dash phase while a border is plotted.
  int32_t X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
  int32_t Phase = 0;
};

// The private messages an I/O component working in the background posts to its view.
constexpr uint32_t RVM_UPDATE = 8024, RVM_PROGRESS = 8027, RVM_FINISHWORK = 8028;

// The zoomed image is at most this many view pixels wide and high.
constexpr int64_t kMaxZoomedSize = int64_t(1) << 24;

class TRastovaView : public TRVView, public IRVProcLayerView {
 public:
  using TViewChangeEvent = std::function<void(TRastovaView* Sender, int32_t Change)>;
  using TViewChangingEvent = std::function<void(TRastovaView* Sender, int32_t Change, double NewValue)>;
  using TViewNotifyEvent = std::function<void(TRastovaView* Sender)>;
  using TRVZoomEvent = std::function<void(TRastovaView* Sender, double& NewZoom)>;
  using TRVProgressViewEvent = std::function<void(TRastovaView* Sender, int32_t per)>;
  using TRVOnDrawCanvas =
      std::function<void(TRastovaView* Sender, platform::TCanvas& ACanvas, platform::TRect ARect)>;
  using TRVOnDrawBackground = std::function<void(TRastovaView* Sender, platform::TCanvas& ACanvas,
                                                 platform::TRect ARect, bool& Handled)>;
  using TRVDrawLayerBoxEvent =
      std::function<void(TRastovaView* Sender, platform::TBitmap* ABitmap, int32_t layer)>;
  using TRVDrawLayerGrip = std::function<void(TRastovaView* Sender, platform::TBitmap* ABitmap, int32_t layer,
                                              int32_t grip, platform::TRect rect)>;
  using TRVLayerNotify = std::function<void(TRastovaView* Sender, int32_t layer, TRVLayerEvent event)>;
  using TRVSetCursorEvent = std::function<void(TRastovaView* Sender, platform::TCursor& Cursor)>;
  using TRVSaveUndoEvent = std::function<void(TRastovaView* Sender, TRVUndoSource source)>;

  explicit TRastovaView(QWidget* AOwner = nullptr);
  ~TRastovaView() override;

  // ---------------------------------------------------------------- image (RastovaView.cpp)
  platform::TBitmap* GetBitmap() override { return FBitmap; }
  TRVBitmap* GetRVBitmap() override { return FRVBitmap; }
  TRVBitmap* GetAlphaChannel() override;
  bool HasAlphaChannel() override;
  void RemoveAlphaChannel(bool Merge) override;
  void WriteBackground(TColor Value) override;
  void ImageChange() override;
  bool IsRastovaView() override { return true; }
  // The I/O component's side: whether the view sits in a window, and that window's handle
  // (made when missing), which the video object notifies.
  bool HasParent() override { return HasParentWindow(); }
  uintptr_t GetWindowHandle() override;
  void Blank();
  void Clear();
  virtual bool IsEmpty();
  virtual bool HasParentWindow();
  // Copies an image into the current layer: another view's current image, or a platform bitmap
  // (nullptr blanks).
  void Assign(TRastovaView* Source);
  void Assign(platform::TBitmap* Source);
  void Assign(std::nullptr_t) { Blank(); }
  // Places the control. A component read from a form would also resize and blank its image
  // while being loaded; views here are always made in code, so placing is all there is.
  void SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight);

  // ---- locks
  void LockPaint() override;
  int32_t UnlockPaint() override;
  int32_t UnlockPaintNoRefresh() override;
  void LockUpdate();
  void UnlockUpdate();
  void UnlockUpdateNoRefresh();
  int32_t PaintLockCount() const { return FPaintLock; }
  int32_t UpdateLockCount() const { return FUpdateLock; }

  // ---- objects made on demand
  TRastovaIO* GetIO();
  TRastovaProc* GetProc();
  void EnsureAnimTimer();
  void EnsureDashPixel();
  platform::TTimer* AnimTimer() { return FAnimTimer.get(); }

  // ---- properties and their writers
  bool LegacyBitmap() const { return FLegacyBitmap; }
  virtual void WriteLegacyBitmap(bool Value);
  TResampleFilter ZoomFilter() const { return FZoomFilter; }
  void WriteZoomFilter(TResampleFilter Value);
  TScrollStyle ScrollBars() const { return FScrollBars; }
  virtual void WriteScrollBars(TScrollStyle Value);
  bool Center() const { return FCenter; }
  void WriteCenter(bool Value);
  TRVMouseInteract MouseInteract() const { return FMouseInteract; }
  virtual void WriteMouseInteract(TRVMouseInteract Value);
  TRVBackgroundStyle BackgroundStyle() const { return FBackgroundStyle; }
  void WriteBackgroundStyle(TRVBackgroundStyle Value);
  bool EnableAlphaChannel() const { return FEnableAlphaChannel; }
  void WriteEnableAlphaChannel(bool Value);
  virtual void WriteOnProgress(TRVProgressViewEvent Value);
  virtual void WriteOnFinishWork(TViewNotifyEvent Value);
  virtual TRVProgressViewEvent ReadOnProgress() { return FOnProgress; }
  virtual TViewNotifyEvent ReadOnFinishWork() { return FOnFinishWork; }
  void WriteOnSaveUndo(TRVSaveUndoEvent Value);
  bool DrawVersion() const { return FDrawVersion; }
  void WriteDrawVersion(bool Value);
  // The library version; writing is ignored.
  std::string RastovaVersion() const { return "3.1.2"; }
  void WriteRastovaVersion(const std::string&) {}
  const platform::TBitmap* WallPaper() const { return FWallPaper.get(); }
  void WriteWallPaper(const platform::TBitmap* Value);
  TRVWallPaperStyle WallPaperStyle() const { return FWallPaperStyle; }
  void WriteWallPaperStyle(TRVWallPaperStyle Value);
  platform::TCursor ReadCursor() const { return FCursor; }
  void WriteCursor(platform::TCursor Value);
  bool FlatScrollBars() const { return FFlatScrollBars; }
  void WriteFlatScrollBars(bool Value);
  void SetChessboardStyle(int32_t Size, platform::TBrushStyle BrushStyle);
  // The palette notification: the screen here has no palette to realise, so the view only
  // repaints. Always handled.
  bool PaletteChanged() {
    Invalidate();
    return true;
  }

  // ---------------------------------------------------------------- zoom (RastovaViewZoom.cpp)
  virtual int32_t GetViewWidth();
  virtual int32_t GetViewHeight();
  void SetZoom(double Zoom);
  void SetZoomX(double Zoom);
  void SetZoomY(double Zoom);
  virtual void ApplyZoom(double Zoom);
  virtual void ApplyZoomX(double Zoom);
  virtual void ApplyZoomY(double Zoom);
  void ZoomAt(int32_t X, int32_t Y, bool Center, double Zoom);
  // Zooms so that the rectangle of bitmap pixels X1..X2 by Y1..Y2 (the selection's bounds)
  // fills the view; the selection's own operations call it with their bounds.
  void ZoomSelection(bool KeepAspect, bool FireZoomIn);
  void Fit();
  double GetIdealZoom();
  void GetIdealZoomXY(double& ZoomX, double& ZoomY);
  void GetBorderMargins(int32_t& MarginX, int32_t& MarginY, bool UseBorderX, bool UseBorderY);
  double ComputeAutoZoom(int32_t BitmapWidth, int32_t BitmapHeight, bool Shrink, bool Stretch,
                         int32_t AvailHeight, int32_t AvailWidth);
  void DoZoomIn(double& Zoom);
  void DoZoomOut(double& Zoom);
  virtual void DoViewChange(int32_t Change);
  virtual void DoViewChanging(int32_t Change, double NewValue);
  void SetViewXY(int32_t X, int32_t Y);
  void SetViewX(int32_t X);
  void SetViewY(int32_t Y);
  void GetMaxViewXY(int32_t& MaxX, int32_t& MaxY);
  bool HasScrollableArea();
  void ScrollHorizontal(int32_t Kind, int32_t Value);
  void ScrollVertical(int32_t Kind, int32_t Value);
  int32_t XScr2Bmp(int32_t X);
  int32_t YScr2Bmp(int32_t Y);
  int32_t XBmp2Scr(int32_t X);
  int32_t YBmp2Scr(int32_t Y);
  virtual void UpdateExtents();
  virtual void UpdateSourceRect();
  void HideHScrollBar();
  void HideVScrollBar();
  void HandleMouseWheel(int32_t WheelDelta, int32_t X, int32_t Y, bool CtrlHeld);
  // Whether a zoom can be taken: a finite number above 0 at which the zoomed working image
  // stays within kMaxZoomedSize on the axis (or both axes).
  bool ZoomAcceptableX(double Zoom);
  bool ZoomAcceptableY(double Zoom);
  double GetZoom() const { return FZoomX; }
  // The four factors from FZoomX and FZoomY.
  void RecomputeZoomFactors();

  // ---------------------------------------------------------------- layers (RastovaViewLayers.cpp)
  int32_t GetLayersCount() override { return static_cast<int32_t>(FLayers.size()); }
  // Out-of-range indexes throw the list's index error.
  TRVLayer* GetLayer(int32_t Index);
  TRVLayer* GetCurrentLayer();
  virtual void SetCurrentLayer(int32_t Index);
  int32_t LayersAdd();
  void LayersRemove(int32_t Index);
  void LayersClear();
  int32_t FindLayerAt(int32_t X, int32_t Y, bool SelectableOnly);
  bool IsPointInLayer(int32_t X, int32_t Y, int32_t Index);
  void GetLayerGripRects(int32_t Index, platform::TRect (&Rects)[9]);
  TRVGrip HitLayerGrip(int32_t X, int32_t Y);
  void LayersSyncSize();
  void LayersDrawTo(TRVBitmap* Dest);
  // The size LayersDrawTo gives its target: layer 0's box and every layer not clipped to the
  // image, widened by the largest negative position on each axis (in 64 bits: positions and
  // display sizes come from files).
  void LayersDrawSize(int64_t& Width, int64_t& Height);
  void LayersMergeAll();
  void LayersFixSizes(int32_t Index);
  void LayersFixRotations(int32_t Index);
  void LayersCropToOpaque(int32_t Index);
  void SetExternalBitmap(TRVBitmap* Bitmap);
  virtual void DoLayerNotify(int32_t Layer, TRVLayerEvent Event);
  // Writes FRVBitmap back into the current layer.
  void SyncCurrentLayer();

  // ---------------------------------------------------------------- composition (RastovaViewCompose.cpp)
  virtual void PrepareZoomTables();
  int32_t SnapViewX(int32_t X);
  int32_t SnapViewY(int32_t Y);
  virtual void DrawLayersTo(TRVBitmap* Dest, TRVRowTable* RowTable, bool DrawMarks, bool DrawBackground,
                            const platform::TRect* ClipRect);
  void DrawLayerBox(platform::TBitmap* Bitmap, int32_t Index);
  void DrawLayerGrips(platform::TBitmap* Bitmap, int32_t Index);
  void DrawLayerRotationCenter(platform::TBitmap* Bitmap, int32_t Index);
  void ShadeOutsideLayer(platform::TBitmap* Bitmap, int32_t Index);
  void DrawSelectionOverlays(platform::TBitmap* Bitmap);
  void DrawPixelGrid(platform::TBitmap* Bitmap);
  platform::TBitmap* GetBackBufferBitmap();
  TRVBitmap* BackBuffer() { return FBackBuffer.get(); }

  // ---------------------------------------------------------------- painting (RastovaViewPaint.cpp)
  // Recomputes everything that depends on image, size and zoom and invalidates the window.
  void Update() override;
  virtual void PaintControl();
  void PaintBackBuffer(const platform::TRect& R);
  void PaintNavigatorShade(const platform::TRect& R);
  void DrawVersionLabel();
  void AnimateSelections(void* Sender, bool OnlyUnlocked);
  virtual void DrawGrid(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);
  // Handles one of the view's private messages (RVM_UPDATE, RVM_PROGRESS, RVM_FINISHWORK).
  void HandleViewMessage(uint32_t Msg, intptr_t WParam);
  // Any thread: queues the message for the main thread (a view destroyed meanwhile gets nothing).
  void PostViewMessage(uint32_t Msg, intptr_t WParam);

  // ================================================================ layer and selection streams,
  // Photoshop layers (streams/RastovaViewStreams.cpp)
  void SaveLayersToStream(TStream& Stream, int32_t ImageFormat) override;
  // Reads the whole stream before the view's layers change: a damaged stream raises
  // ERVLayerStreamError and leaves them as they were. False for another signature or a
  // version below 1.
  bool LoadLayersFromStream(TStream& Stream) override;
  bool LoadLayersFromFile(const std::string& FileName);
  void SaveSelectionToStream(TStream& Stream) override;
  bool LoadSelectionFromStream(TStream& Stream, int32_t Mode) override;
  void SaveSelection();
  bool RestoreSelection(bool Pop, int32_t Mode);
  // The processing component's window on the layers and the selection.
  IRVProcLayerView* AsLayerView() override { return this; }
  TRVMask* SelectionMask() override { return FSelectionMask.get(); }
  bool HasSelection() override { return FSelected; }
  const TRVPoint* PolygonPoints() override;
  int32_t PolygonPointCount() override;
  int32_t CurrentLayerIndex() override { return FLayersCurrent; }
  TRVBitmap* GetLayerBitmap(int32_t Index) override { return GetLayer(Index)->Bitmap; }
  void GetLayerIdentity(int32_t Index, uint8_t Identity[16]) override;
  void SaveLayerToStream(int32_t Index, TStream& Stream, bool WithBitmap) override;
  void LoadLayerFromStream(int32_t Index, TStream& Stream) override;
  // Photoshop documents load one layer per document layer and save the view's layers.
  bool AcceptsPSDLayers() override { return true; }
  void TakePSDLayers(TPSDLayerList& Layers, TIOParamsVals& Params) override;
  bool GetPSDLayersForSave(TRVBitmap& Merged, TPSDLayerList& Layers) override;

  // ================================================================ the selection model
  // (select/RastovaViewSelect.cpp). Coordinates are view pixels with rvsbClientArea and
  // bitmap pixels with rvsbBitmap unless said otherwise.
  TRVSelectionPolygon* NewSelectionPolygon(TColor Color1, TColor Color2, bool Sizeable, bool Animated);
  // Operation 0 replaces the selection, 1 adds the rectangle to the current polygon, any other
  // value starts a new polygon and keeps the mask.
  virtual void SelectRectangle(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t Operation);
  void SelectRectangleCore(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t Operation, bool Square, bool Cut);
  virtual void AddSelectionPoint(int32_t X, int32_t Y);
  void AddSelectionPointCore(int32_t X, int32_t Y);
  void AddSelectionBreak();
  virtual void ApplySelectionPolygon();
  void EndPolySelection(platform::TShiftState Shift, bool RemoveLast);
  void EndPolySelectionOnDblClick(platform::TShiftState Shift);
  void DeSelect();
  // Modes: 0 outline, 1 connected pixels, 2 every pixel of the colour.
  void SelectMagicWand(int32_t X, int32_t Y, int32_t Operation);
  TRVSelectionOptions SelectionOptions() const { return FSelectionOptions; }
  void WriteSelectionOptions(TRVSelectionOptions Value);
  void SetSelectionColor1(TColor Value);
  void SetSelectionColor2(TColor Value);
  void ShowSelection(bool Animate);
  void HideSelection(bool Repaint);
  // ---- polygon records
  void AddPolygonPoint(TRVSelectionPolygon* Record, int32_t X, int32_t Y);
  void AddPolygonPointAndPaint(TRVSelectionPolygon* Record, int32_t X, int32_t Y);
  void AddPolygonBreak(TRVSelectionPolygon* Record);
  void ClearPolygon(TRVSelectionPolygon* Record);
  void RemoveLastPolygon(TRVSelectionPolygon* Record);
  void RemoveLastPoint(TRVSelectionPolygon* Record);
  void MovePolygon(TRVSelectionPolygon* Record, int32_t DX, int32_t DY, bool Cut, int32_t Width, int32_t Height);
  bool IsPolygonRectangle(TRVSelectionPolygon* Record);
  TRVPoint GetPolySel(int32_t Index);
  int32_t GetPolySelCount();
  TRVPoint* GetPolySelArray();
  int32_t SelX1();
  int32_t SelY1();
  int32_t SelX2();
  int32_t SelY2();
  // ---- moving (bitmap pixels)
  void MoveSelection(int32_t DX, int32_t DY, bool Cut);
  void MoveSelectionBy(int32_t DX, int32_t DY);
  // ---- hit tests (view pixels)
  int32_t HitSelectionGrip(int32_t X, int32_t Y);
  int32_t HitSelectionGripIfAllowed(int32_t X, int32_t Y, platform::TShiftState Shift);
  int32_t HitSelectionInside(int32_t X, int32_t Y, platform::TShiftState Shift);
  int32_t ResizeSelectionByGrip(int32_t Grip, int32_t X, int32_t Y, bool KeepAspect);
  void ClampAspectRect(int32_t& X1, int32_t& Y1, int32_t& X2, int32_t& Y2, double P);
  // ---- drawing
  void DrawPolyRubberLine();
  void DashPlotPixel(int32_t X, int32_t Y, TRVSelectionPolygon* Record);
  void DrawGripShape(platform::TCanvas& ACanvas, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);
  void FireDrawPolygon(int32_t PolygonIndex, int32_t PointIndex, int32_t X, int32_t Y, platform::TCanvas& ACanvas);
  // The dashed border (and grips) of one polygon record on the window surface.
  void DrawPolygonBorder(TRVSelectionPolygon& Record);
  void DrawSelectionGrips(TRVSelectionPolygon& Record);
  using TRVDrawPolygonEvent = std::function<void(TRastovaView* Sender, int32_t Polygon, int32_t Point,
                                                 platform::TCanvas& ACanvas, int32_t X, int32_t Y)>;
  TRVDrawPolygonEvent FOnDrawPolygon;

  // ================================================================ mouse and keyboard
  // (interact/RastovaViewMouse.cpp), layer editing (interact/RastovaViewLayerEdit.cpp) and the
  // navigator (navigator/RastovaViewNavigator.cpp)
  using TRVGripEvent = std::function<void(TRastovaView* Sender, TRVGrip Grip)>;
  using TRVSpecialKeyEvent = std::function<void(TRastovaView* Sender, uint16_t Key, platform::TShiftState Shift,
                                                bool& Handled)>;
  using TRVVirtualKeyEvent = std::function<void(TRastovaView* Sender, uint16_t Key, uint32_t KeyData, bool KeyDown)>;
  TRVMouseInteract ReadMouseInteract() const { return FMouseInteract; }
  void WriteSelectionAspectRatio(double Value);
  virtual void OffsetMouseDownPoints(int32_t DX, int32_t DY);
  bool AutoScrollDrag();
  void DragRectSelection(int32_t X, int32_t Y, platform::TShiftState Shift);
  void DragEllipseSelection(int32_t X, int32_t Y, platform::TShiftState Shift);
  void ResizeLayerByGrip(int32_t X, int32_t Y, bool KeepAspect);
  void SetInteractionHint(const std::string& Text, int32_t X, const std::string& Template, int32_t Y);
  void SetInteractionCursor(platform::TCursor Cursor);
  void RestoreUserCursor();
  void SmoothScrollTo(int32_t X, int32_t Y);
  void StopSmoothScroll();
  void SwapSelectionBase();
  void DoSelectionChanging();
  void DoSelectionChange();
  void DoBeforeSelectionChange();
  void DoMouseInResizingGrip(TRVGrip Grip);
  void DoMouseInSel();
  // Whether the view keeps a key that would otherwise move the focus (OnSpecialKey decides).
  bool WantSpecialKey(uint16_t Key, platform::TShiftState Shift) override;
  // After each key down and up: OnVirtualKey.
  void DoVirtualKey(uint16_t Key, uint32_t KeyData, bool KeyDown);
  // The pointer in screen coordinates; tests replace it.
  static std::function<platform::TPoint()> GetCursorPosProvider;
  // The held mouse buttons; tests replace it.
  static std::function<bool()> PrimaryMouseButtonDownProvider;
  void SetNavigator(TRastovaView* Navigator, uint8_t Options);
  void SyncNavigator();
  void NavigatorSelectionChanged(TRastovaView* Sender);
  void NavigatorMouseWheel(TRastovaView* Sender, platform::TShiftState Shift, int32_t WheelDelta,
                           platform::TPoint MousePos, bool& Handled);
  TRVGripEvent FOnMouseInResizingGrip;
  TRVSpecialKeyEvent FOnSpecialKey;
  TRVVirtualKeyEvent FOnVirtualKey;
  std::function<void(TRastovaView* Sender, platform::TShiftState Shift, int32_t WheelDelta, platform::TPoint MousePos,
                     bool& Handled)>
      FOnViewMouseWheel;
  bool FLeftButtonHeld = false;
  bool FButtonHeld = false;
  // The layer press, one layer step and the end of a layer drag (mouse down, move, up).
  void LayerPress(int32_t X, int32_t Y);
  void LayerStep(platform::TShiftState Shift, int32_t X, int32_t Y);
  void LayerEnd(int32_t X, int32_t Y, int32_t ClampedX, int32_t ClampedY);

  // ---------------------------------------------------------------- transitions
  // (transitions/RVTransitionEffects.h) The engine is made when one of its events is set and
  // lives as long as the view; the getters give empty handlers while there is none.
  TRVTransitionEffects* EnsureTransition();
  TRVTransitionEffects* Transition() { return FTransition.get(); }
  void WriteOnTransitionStop(std::function<void(TRastovaView*)> Value);
  void WriteOnTransitionStep(std::function<void(TRastovaView*, int32_t)> Value);
  void WriteOnTransitionPaint(
      std::function<void(TRastovaView*, platform::TBitmap*, TRVTransitionEffects*, int32_t)> Value);
  std::function<void(TRastovaView*)> ReadOnTransitionStop();
  std::function<void(TRastovaView*, int32_t)> ReadOnTransitionStep();
  std::function<void(TRastovaView*, platform::TBitmap*, TRVTransitionEffects*, int32_t)> ReadOnTransitionPaint();
  // The view's background (style, colour, wallpaper) over the whole client area of Canvas, which
  // draws on Bitmap.
  void PaintTransitionBackground(platform::TCanvas& Canvas, platform::TBitmap* Bitmap);

  // ---------------------------------------------------------------- the fields
  bool FLegacyBitmap = true;
  platform::TCursor FUserCursor = 0;
  platform::TCursor FCursor = 1785;
  TViewNotifyEvent FOnImageChange;
  TViewChangeEvent FOnViewChange;
  TViewChangingEvent FOnViewChanging;
  bool FCenter = true;
  TResampleFilter FZoomFilter = rfNone;
  TResampleFilter FSavedZoomFilter = rfNone;
  bool FDelayZoomFilter = false;
  TRVBackgroundStyle FBackgroundStyle = rvbsSolid;
  bool FMagicWandMaxFilter = false;
  int32_t FMagicWandTolerance = 15;
  uint8_t FMagicWandMode = 0;
  double FHScrollUnit = 1.0;
  double FVScrollUnit = 1.0;
  bool FDisplayGrid = false;
  int32_t FGridMarkX = -1, FGridMarkY = -1;
  bool FVScrollVisible = false;
  bool FHScrollVisible = false;
  int32_t FSelectionAnimPhase = 0;
  TViewNotifyEvent FOnPaint;
  TRVZoomEvent FOnZoomIn, FOnZoomOut;
  bool FHideSelectionWhileScrolling = true;
  TRVProgressViewEvent FOnProgress;
  TViewNotifyEvent FOnFinishWork;
  bool FRepaintAll = true;
  bool FMovingRectSelection = false;
  bool FDrawVersion = false;
  TViewNotifyEvent FOnDrawBackBuffer;
  TRVLayerNotify FOnLayerNotify;
  double FSelectionAspectRatio = -1.0;
  int32_t FSelectionAbsWidth = 100, FSelectionAbsHeight = 100;
  // Cleared by itself when the navigator is freed.
  QPointer<TRastovaView> FNavigator;
  uint8_t FNavigatorOptions = 0;
  bool FNavigatorSyncing = false;
  bool FIsNavigator = false;
  std::unique_ptr<TRVBitmap> FNavigatorBuffer;
  platform::TRect FSelectionScreenRect;
  bool FNestedUpdate = false;
  bool FUpdating = false;
  int32_t FAnimationLoad = -20;
  int32_t FLayerDragBox[4] = {0, 0, 0, 0};
  TRVPoint FLayerDragCorners[4];
  bool FZoomSelectionKeepAspect = true;
  double FMouseScrollRate = 1.0;
  uint8_t FLayersRotationMode = 0;
  bool FLayersRotationAntialias = false;
  int32_t FLayerCacheToFree = -1;
  bool FSkipUnselectableLayers = true;
  int32_t FSelectionGridSize = 1;
  int32_t FMarkOuterOpacity = -1;
  TColor FMarkOuterColor = 0xFFFFFF;
  uint8_t FLayersResizeAspect = 1;
  double FLayerResizeRatio = 0;
  TRVSetCursorEvent FOnSetCursor;
  double FTableZoomX = -1.0, FTableZoomY = -1.0;
  int32_t FTableDstWidth = -1, FTableDstHeight = -1;
  int32_t FTableBmpWidth = -1, FTableBmpHeight = -1;
  int32_t FMouseDownViewX = 0, FMouseDownViewY = 0;
  int32_t FSrcX = 0, FSrcY = 0, FSrcWidth = 0, FSrcHeight = 0;
  int32_t FDstWidth = 0, FDstHeight = 0;
  int32_t FLastBitmapWidth = 0, FLastBitmapHeight = 0;
  std::unique_ptr<TRVTransitionEffects> FTransition;
  int32_t FMinLayerSizeToDraw = 2;
  TViewNotifyEvent FOnDShowNewFrame, FOnDShowEvent;
  bool FFlatScrollBars = false;
  TRVOnDrawBackground FOnDrawBackground;
  TRVOnDrawCanvas FOnDrawCanvas;
  uintptr_t FLastPaintWindow = 0;
  TRVDrawLayerBoxEvent FOnDrawLayerBox;
  TRVDrawLayerGrip FOnDrawLayerGrip;
  bool FShowSelection = true;
  bool FCursorPending = true;
  int32_t FLayersRotateStep = 45;
  bool FLayersCropOnRotate = true;
  std::unique_ptr<platform::TBitmap> FWallPaper;
  TRVWallPaperStyle FWallPaperStyle = rvwoNormal;
  std::unique_ptr<platform::TBitmap> FDashPixel;
  uint8_t* FDashPixelRow = nullptr;
  uint8_t FLayersDrawMode = 0;
  int32_t FLayersDrawParam = 60;
  bool FEnableInteractionHints = true;
  std::string FHintText;
  int32_t FHintX = 0, FHintY = 0;
  std::string FHintText2;
  std::vector<std::shared_ptr<void>> FExtraObjects;
  int32_t FDelayZoomTicks = 4;
  int32_t FDelayScrollTicks = 2;
  int32_t FDelayZoomCountdown = 0;
  int32_t FDelayScrollCountdown = 0;
  uint8_t FUpdateReason = 0;
  bool FBackBufferDirty = true;
  std::unique_ptr<TRVBitmap> FBackBuffer;
  int32_t FViewX = 0, FViewY = 0;
  double FZoomX = 100.0, FZoomY = 100.0;
  double FZoomFactorX = 1.0, FInvZoomX = 1.0, FZoomFactorY = 1.0, FInvZoomY = 1.0;
  HDRAWDIB FDrawDib = 0;
  TScrollStyle FScrollBars = ssBoth;
  int32_t FPaintLock = 0;
  int32_t FOffsetX = 0, FOffsetY = 0;
  int32_t FExtentX = 0, FExtentY = 0;
  int32_t FZoomedWidth = 0, FZoomedHeight = 0;
  platform::TBitmap* FBitmap = nullptr;
  // The bitmap information header and two palette entries that describe the back buffer.
  struct TDrawDibInfo {
    uint32_t biSize = 0;
    int32_t biWidth = 0, biHeight = 0;
    uint16_t biPlanes = 0, biBitCount = 0;
    uint32_t biCompression = 0, biSizeImage = 0;
    int32_t biXPelsPerMeter = 0, biYPelsPerMeter = 0;
    uint32_t biClrUsed = 0, biClrImportant = 0;
    uint32_t Palette[2] = {0, 0};
  } FDrawDibInfo;
  bool FDoubleBuffer = true;
  bool FAutoFit = false;
  bool FInvalidateOnUpdate = true;
  bool FAutoStretch = false;
  bool FAutoShrink = false;
  bool FSelected = false;
  bool FPolySelecting = false;
  bool FLassoSelecting = false;
  bool FRectSelecting = false;
  bool FCircleSelecting = false;
  uint8_t FSelectionGrip = 0;
  int32_t FSelectionMove = -1;
  int32_t FPolyLastX = 0, FPolyLastY = 0;
  int32_t FDownInImageX = 0, FDownInImageY = 0, FDownX = 0, FDownY = 0, FMoveX = 0, FMoveY = 0, FRawMoveX = 0,
          FRawMoveY = 0, FRawDownX = 0, FRawDownY = 0;
  TRVSelectionPolygon* FSelectionPolygon = nullptr;
  TRVSelectionBase FSelectionBase = rvsbClientArea;
  TRVSelectionBase FSavedSelectionBase = rvsbClientArea;
  TViewNotifyEvent FOnSelectionChanging, FOnSelectionChange, FOnBeforeSelectionChange, FOnMouseInSel;
  TRVSelectionOptions FSelectionOptions = SelectionOption(rvsoAnimated) | SelectionOption(rvsoSizeable) |
                                          SelectionOption(rvsoMoveable) | SelectionOption(rvsoCanScroll);
  int32_t FPolyCountAtDown = 0;
  std::unique_ptr<TRVMask> FSelectionMask;
  int32_t FSelectionMaskDepth = 1;
  int32_t FSelectionIntensity = 1;
  TColor FSelectionColor1 = platform::clBlack, FSelectionColor2 = platform::clWhite;
  TColor FGripColor1 = platform::clBlack;
  TColor FGripColor2 = 0xBAFFFF;
  platform::TBrushStyle FGripBrushStyle = platform::bsSolid;
  int32_t FGripSize = 5;
  uint8_t FGripShape = 1;
  bool FExtendedGrips = true;
  TColor FLayersGripColor1 = platform::clBlack, FLayersGripColor2 = 0xBAFFFF;
  platform::TBrushStyle FLayersGripBrushStyle = platform::bsSolid;
  int32_t FLayersGripSize = 5;
  uint8_t FLayersGripShape = 1;
  int32_t FChessboardSize = 16;
  platform::TBrushStyle FChessboardBrushStyle = platform::bsSolid;
  bool FForceAlignedSelection = false;
  bool FSelectionDrawingSuspended = false;
  // Saved selections (selection streams), newest last.
  std::vector<std::unique_ptr<TMemoryStream>> FSavedSelections;
  bool FMultiSelectionAllowed = true;
  TColor FGradientEndColor = 0xFF0000;
  int32_t FUpdateLock = 0;
  std::vector<std::unique_ptr<TRVSelectionPolygon>> FSelectionPolygons;
  std::unique_ptr<platform::TTimer> FAnimTimer;
  std::unique_ptr<platform::TTimer> FSmoothScrollTimer;
  int32_t FSmoothScrollTargetX = 0, FSmoothScrollTargetY = 0;
  int32_t FSmoothScrollDivisor = 8;
  TRVMouseInteract FMouseInteract = 0;
  std::unique_ptr<TRVScrollBarParams> FVScrollParams, FHScrollParams;
  std::unique_ptr<TRVMouseWheelParams> FMouseWheelParams;
  int32_t FGripStartX1 = 0, FGripStartY1 = 0, FGripStartX2 = 0, FGripStartY2 = 0;
  bool FEnableAlphaChannel = true;
  TRVBitmap* FRVBitmap = nullptr;
  std::unique_ptr<TRastovaIO> FIO;
  std::unique_ptr<TRastovaProc> FProc;
  std::vector<std::unique_ptr<TRVLayer>> FLayers;
  int32_t FLayersCurrent = 0;
  int32_t FBitmapWidth = 0, FBitmapHeight = 0;
  bool FLayersSaveUndo = false, FLayersAutoSize = false, FShowAllLayerBoxes = false;
  int32_t FMovingLayer = -1;
  bool FLayerMoved = false;
  int32_t FRotatingLayer = -1;
  double FRotationAngle = 0.0;
  int32_t FRotationCenterLayer = -1;
  uint8_t FLayerGrip = 0;
  bool FLayerUndoSaved = false;
  std::vector<int32_t> FScrToBmpX, FScrToBmpY;
  int32_t FScrToBmpXLen = 0, FScrToBmpYLen = 0;
  int32_t* FScrToBmpXView = nullptr;
  int32_t* FScrToBmpYView = nullptr;
  int32_t FScrTableXLen = 0, FScrTableYLen = 0;
  int32_t* FBmpToScrXView = nullptr;
  int32_t* FBmpToScrYView = nullptr;
  std::vector<int32_t> FBmpToScrX, FBmpToScrY;
  int32_t FBmpTableXLen = 0, FBmpTableYLen = 0;
  bool FHasOwner = false;
  TRVSaveUndoEvent FOnSaveUndo;
  platform::TPen FLayerBoxPen;

 protected:
  // The window's messages.
  void Resize() override;
  void Scroll(int32_t bar, int32_t code, int32_t pos) override;
  void MouseDown(platform::TMouseButton Button, platform::TShiftState Shift, int X, int Y) override;
  void MouseMove(platform::TShiftState Shift, int X, int Y) override;
  void MouseUp(platform::TMouseButton Button, platform::TShiftState Shift, int X, int Y) override;
  void KeyDown(uint16_t& Key, platform::TShiftState Shift) override;
  void KeyUp(uint16_t& Key, platform::TShiftState Shift) override;
  bool MouseWheel(platform::TShiftState shift, int wheelDelta, platform::TPoint mousePos) override;
  void Enter() override;
  void Exit() override;
  void Paint() override;
  bool EraseBackground() override { return false; }

 private:
  // One axis of the zoom, origin and scrolling operations (Vertical: the Y axis).
  void ApplyZoomAxis(bool Vertical, double Zoom);
  void SetZoomAxis(bool Vertical, double Zoom);
  void RecomputeAfterZoom();
  void SetViewAxis(bool Vertical, int32_t V);
  void ScrollAxis(bool Vertical, int32_t Kind, int32_t Value);
  void ClearZoomTables();
  void AutoZoom();
  void UpdateScrollBars();
  void ArmCountdowns(bool zoomDiffers);
  bool GetCurrentLayerBitmapRects(platform::TRect& dest, platform::TRect& source);
  void PaintBackground(TRVBitmap* Dest, const platform::TRect* ClipRect, bool Force, TRVLayer& Layer);
  void DrawLayer(TRVBitmap* Dest, TRVRowTable* RowTable, int32_t Index, bool& First, bool DrawMarks,
                 bool DrawBackground, const platform::TRect* ClipRect);
  // How one layer is drawn: the destination's rows, the clip rectangle, the filter and whether
  // rows may be repeated over a plain background.
  struct TLayerDraw {
    TRVRowTable& Rows;
    const TRVClipRect* Clip;
    const platform::TRect* ClipRect;
    TResampleFilter Filter;
    bool BlendOverBackground;
  };
  void DrawLayerPositioned(TRVBitmap* Dest, int32_t Index, const TLayerDraw& how);
  void DrawLayerWholeView(TRVBitmap* Dest, TRVLayer& Layer, const TLayerDraw& how);
  void DrawLayerMarks(TRVBitmap* Dest, int32_t Index);
  void DrawMagnifier(TRVBitmap* Dest, TRVLayer& Layer, TResampleFilter Filter);
  std::unique_ptr<TRVBitmap> CombinedAlpha(TRVLayer& Layer, TRVLayer& Mask, bool TemporaryMask);
  void CopyBackBufferToSurface(TRVBitmap& Source, const platform::TRect& R);
  void DrawMaskBorder(TRVSelectionPolygon& Record);
  void AnimationTimerTick();
  // The I/O component's video object when it is connected and running (never here: the video
  // object builds no graph), else nullptr.
  TRVDirectShow* RunningVideo();
  // The attached navigator shows the current image again: called wherever that image is
  // exchanged, since the one it showed may be freed next.
  void ShowImageInNavigator();

  struct TAliveToken {
    TRastovaView* View;
  };
  std::shared_ptr<TAliveToken> FAlive;
  // The back buffer's row addresses, handed to the renderer.
  TRVRowTable FBackBufferRows;
  bool FDestroying = false;
  // Wheel deltas not yet summed to a whole notch (120).
  int32_t FWheelRemainder = 0;
};

}  // namespace rv
