#pragma once
// TRastovaVect: an image view that keeps vector objects over its image (lines, boxes, ellipses,
// arcs, bitmaps, texts, rulers, poly-lines, angles, memos, labelled lines and extended objects),
// draws them over the zoomed image, measures in a chosen unit, finds the object and grip under a
// point and flattens the objects into an image.
//
// The class is split by purpose: RastovaVect.cpp (store, shared bitmaps, object properties,
// construction), RastovaVectMeasure.cpp (units and the measure hint), RastovaVectSelect.cpp
// (selection, hit testing, grips), RastovaVectDraw.cpp (drawing one object and the paint hooks),
// RastovaVectFlatten.cpp (the object loop with blending and shadows, arrow heads) and
// RastovaVectRuler.cpp (rulers and angles).
//
// Handles: an object is named by its index in Objects; -1 names the new-object template, -2 the
// last object. Every accessor checks its handle: one that names no record reads 0, empty or
// nullptr and writes nothing.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Timer.h"
#include "rastova/view/canvas/RVCanvas.h"
#include "rastova/view/core/RastovaView.h"
#include "rastova/view/vector/RVVectTypes.h"

namespace rv {

class TRVEdit;
class TRVTextControl;
struct TRVVObjStreamContent;

// What the left mouse button does over the layer (bits; the mouse editing gives them meaning).
using TRVVObjectInteract = uint32_t;
constexpr TRVVObjectInteract rvoiMeasureArea = 1u << 0, rvoiMeasureLength = 1u << 1, rvoiInsertLine = 1u << 2,
                             rvoiInsertBox = 1u << 3, rvoiInsertEllipse = 1u << 4, rvoiInsertBitmap = 1u << 5,
                             rvoiInsertText = 1u << 6, rvoiEditObjects = 1u << 7, rvoiDragLength = 1u << 8,
                             rvoiInsertRuler = 1u << 9, rvoiInsertPolyline = 1u << 10, rvoiInsertAngle = 1u << 11,
                             rvoiInsertMemo = 1u << 12, rvoiInsertLineLabel = 1u << 13,
                             rvoiEditPolylinePoints = 1u << 14, rvoiNoClickInsert = 1u << 15,
                             rvoiInsertExtended = 1u << 16;

class TRastovaVect : public TRastovaView, public IRVProcVectView {
 public:
  using TNotify = std::function<void(TRastovaVect* Sender)>;
  using TRVVNewObject = std::function<void(TRastovaVect* Sender, int32_t hobj)>;
  using TRVUserSelectObject = TRVVNewObject;
  using TRVVObjectClickEvent = TRVVNewObject;
  using TRVVObjectMoveResizeEvent =
      std::function<void(TRastovaVect* Sender, int32_t hobj, int32_t Grip, int32_t& OffsetX, int32_t& OffsetY)>;
  using TRVVMeasureHintEvent = std::function<void(TRastovaVect* Sender, std::string& Text, double Value)>;
  using TRVOnPresentMeasure =
      std::function<void(TRastovaVect* Sender, std::string& Text, double Value, TRVVValType ValType)>;
  using TRVVDragLenEndEvent = std::function<void(TRastovaVect* Sender, double Value)>;
  using TRVDrawObjectEvent =
      std::function<void(TRastovaVect* Sender, int32_t hobj, platform::TBitmap* destination,
                         platform::TRect destRect, bool drawingAlpha, bool& handled)>;

  explicit TRastovaVect(QWidget* AOwner = nullptr);
  ~TRastovaVect() override;

  // ------------------------------------------------------------ store (RastovaVect.cpp)
  TRVVObjRecord* GetObj(int32_t hobj);
  int32_t AddNewObject(const TRVVObjRecord& Source);
  void FreeObjText(TRVVObjRecord& Obj);
  void FreeObjData(TRVVObjRecord& Obj);
  void FreeAllObjects();
  void RemoveAllObjects();
  void AddPolylinePoint(int32_t hobj, int32_t X, int32_t Y);
  void ClearPolylinePoints(TRVVObjRecord& Obj);
  void AssignObjFont(int32_t hobj, const platform::TFont& Font);
  void SetObjBitmapFromIcon(int32_t hobj, const std::string& IconName, int32_t Width, int32_t Height);
  int32_t ObjectsCount() const { return static_cast<int32_t>(Objects.size()); }
  int32_t ObjectOrderCount() const { return static_cast<int32_t>(ObjectOrder.size()); }
  // Entries the arrays have room for (grown by 522 whenever the count reaches a multiple of 512).
  int32_t ObjectsCapacity() const { return FObjectsAlloc; }

  // ---- shared bitmaps
  TRVBitmap* GetSharedBitmap(int32_t Index);
  TRVBitmap* GetSharedBitmapAlpha(int32_t Index);
  int32_t FindSharedBitmap(TRVBitmap* Bitmap);
  int32_t AllocSharedBitmapSlot();
  void ReleaseSharedBitmap(int32_t Index);
  void AttachObjBitmap(int32_t hobj, TRVBitmap* Bitmap);
  void ShareObjBitmap(int32_t hobj, int32_t Index);
  void PackSharedBitmaps();
  int32_t SharedBitmapsCount() const { return static_cast<int32_t>(SharedBitmaps.size()); }

  void Update() override;
  void DoViewChange(int32_t Change) override;

  // ---- object properties (Get / Set per property; Set updates unless hobj is -1)
#define RV_OBJ_PROP(Name, Type) \
  Type GetObj##Name(int32_t hobj); \
  void SetObj##Name(int32_t hobj, Type Value);
  RV_OBJ_PROP(Kind, TRVVObjectKind)
  RV_OBJ_PROP(Left, int32_t)
  RV_OBJ_PROP(Top, int32_t)
  RV_OBJ_PROP(Width, int32_t)
  RV_OBJ_PROP(Height, int32_t)
  RV_OBJ_PROP(PenColor, platform::TColor)
  RV_OBJ_PROP(PenStyle, platform::TPenStyle)
  RV_OBJ_PROP(PenWidth, int32_t)
  RV_OBJ_PROP(BrushColor, platform::TColor)
  RV_OBJ_PROP(BrushStyle, platform::TBrushStyle)
  RV_OBJ_PROP(BoxHighlight, bool)
  RV_OBJ_PROP(Transparency, int32_t)
  RV_OBJ_PROP(BlendOperation, uint8_t)
  RV_OBJ_PROP(AspectRatio, bool)
  RV_OBJ_PROP(Style, TRVVStyle)
  RV_OBJ_PROP(UserData, void*)
  RV_OBJ_PROP(UserDataLength, int32_t)
  RV_OBJ_PROP(ID, int32_t)
  RV_OBJ_PROP(Name, std::string)
  RV_OBJ_PROP(Text, std::string)
  RV_OBJ_PROP(FontName, std::string)
  RV_OBJ_PROP(FontHeight, int32_t)
  RV_OBJ_PROP(FontStyles, platform::TFontStyles)
  RV_OBJ_PROP(FontAngle, double)
  RV_OBJ_PROP(FontQuality, TRVFontQuality)
  RV_OBJ_PROP(FontLocked, bool)
  RV_OBJ_PROP(TextAlign, uint8_t)
  RV_OBJ_PROP(TextAutoSize, bool)
  RV_OBJ_PROP(TextEditable, bool)
  RV_OBJ_PROP(TextCurveCharRot, double)
  RV_OBJ_PROP(Bitmap, TRVBitmap*)
  RV_OBJ_PROP(BitmapAlpha, TRVBitmap*)
  RV_OBJ_PROP(BitmapBorder, bool)
  RV_OBJ_PROP(BeginShape, TRVShape)
  RV_OBJ_PROP(EndShape, TRVShape)
  RV_OBJ_PROP(ShapeWidth, int32_t)
  RV_OBJ_PROP(ShapeHeight, int32_t)
  RV_OBJ_PROP(LabelBrushColor, platform::TColor)
  RV_OBJ_PROP(LabelBrushStyle, platform::TBrushStyle)
  RV_OBJ_PROP(LabelPosition, TRVLabelPos)
  RV_OBJ_PROP(LabelBorder, TRVLabelBorder)
  RV_OBJ_PROP(ArcStartingAngle, double)
  RV_OBJ_PROP(ArcEndingAngle, double)
  RV_OBJ_PROP(RulerUnit, TRVUnits)
  RV_OBJ_PROP(RulerType, TRVVRulerType)
  RV_OBJ_PROP(PolylineClosed, bool)
  RV_OBJ_PROP(MemoBorderColor, platform::TColor)
  RV_OBJ_PROP(MemoBorderStyle, platform::TPenStyle)
  RV_OBJ_PROP(MemoFixedHeight, int32_t)
  RV_OBJ_PROP(MemoHasBitmap, bool)
  RV_OBJ_PROP(MemoLineSpace, int32_t)
  RV_OBJ_PROP(MemoCharsBrushStyle, platform::TBrushStyle)
  RV_OBJ_PROP(MemoMarginLeft, double)
  RV_OBJ_PROP(MemoMarginTop, double)
  RV_OBJ_PROP(MemoMarginRight, double)
  RV_OBJ_PROP(MemoMarginBottom, double)
#undef RV_OBJ_PROP
  // The point mapped into bitmap pixels; an index outside 0 .. count - 1 leaves Point as it is.
  void GetObjPolylinePoints(int32_t hobj, int32_t Index, platform::TPoint& Point);
  int32_t GetObjPolylinePointsCount(int32_t hobj);
  TRVVSoftShadow* GetObjSoftShadow(int32_t hobj);
  TRVExtendedObject* GetObjExtendedObject(int32_t hobj);

  // ------------------------------------------------------------ measuring (RastovaVectMeasure.cpp)
  void ComputeMeasureScale(double& ScaleX, double& ScaleY, TRVUnits Unit);
  double GetSelectionLength();
  // The area of the view's selection in square units: its polygons, or the mask's pixels.
  double GetSelectionArea();
  void EraseMeasureHint();
  void DrawMeasureHint(int32_t X, int32_t Y);
  void RedrawMeasureHint(int32_t X, int32_t Y);
  TRVUnits MUnit() const { return FMUnit; }
  void WriteMUnit(TRVUnits Value);
  int32_t FloatDigits() const { return FFloatDigits; }
  void WriteFloatDigits(int32_t Value);
  int32_t FloatPrecision() const { return FFloatPrecision; }
  void WriteFloatPrecision(int32_t Value);
  void SetDpiX(int32_t Value) override;
  void SetDpiY(int32_t Value) override;
  // A measured value as it is shown: fixed notation with FloatPrecision and FloatDigits, the
  // locale's decimal separator.
  std::string FormatMeasure(double Value);

  // ------------------------------------------------------------ selection (RastovaVectSelect.cpp)
  void AppendSelObject(int32_t hobj);
  void AddSelObject(int32_t hobj);
  bool IsSelObject(int32_t hobj);
  void UnSelObject(int32_t hobj);
  void ClearSelection();
  void UnSelAllObjects();
  int32_t GetSelObjects(int32_t Index);
  int32_t SelObjectsCount() const { return static_cast<int32_t>(SelObjects.size()); }
  void SelectObjectsInRect(int32_t hobj, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);
  double ObjectDistance(const TRVVObjRecord& Obj, int32_t X, int32_t Y);
  int32_t FindObjectAt(int32_t X, int32_t Y, double& Distance, bool OnlySelectable);
  // FindObjectAt at a control position, over every object.
  int32_t FindObjectAtScreen(int32_t X, int32_t Y, double& Distance);
  int32_t FindGrip(int32_t X, int32_t Y, int32_t& Grip);
  bool PointInGrip(int32_t GX, int32_t GY, int32_t X, int32_t Y);
  void ClickSelect(bool Shift, int32_t X, int32_t Y, bool AllowPending);
  int32_t FindPolylinePoint(int32_t X, int32_t Y);
  int32_t FindPolylineSegment(int32_t X, int32_t Y);
  void DrawGrip(platform::TCanvas& Canvas, TRVCanvas& RVCanvas, int32_t X, int32_t Y);
  void DrawObjectGrips(platform::TCanvas& Canvas, const TRVVObjRecord& Obj);
  void DrawSelectionGrips(platform::TCanvas& Canvas);
  // The picture grips are drawn as (empty: round grips).
  const platform::TBitmap& ObjGripImage() const { return *FObjGripImage; }
  void WriteObjGripImage(const platform::TBitmap* Value);

  // ------------------------------------------------------------ drawing (RastovaVectDraw.cpp)
  bool DrawObject(TRVVObjRecord& Obj, int32_t hobj, bool drawingAlpha, int32_t Factor, TRVBitmap* TargetRV,
                  bool UseZoom, bool OnlyVisible, platform::TBitmap* Target);
  int32_t XBmpToDraw(int32_t X, bool UseZoom, int32_t Factor);
  int32_t YBmpToDraw(int32_t Y, bool UseZoom, int32_t Factor);
  int32_t GetObjPenWidthZoomed(const TRVVObjRecord& Obj, double ZX, double ZY);
  void DrawBitmapObject(platform::TBitmap* Target, TRVVObjRecord& Obj, int32_t PenWidth, TRVBitmap* TargetRV,
                        int32_t X1d, int32_t Y1d, int32_t X2d, int32_t Y2d);
  void DrawTextObject(TRVCanvas& Canvas, TRVVObjRecord& Obj, int32_t hobj, bool drawingAlpha, double ZX, double ZY,
                      int32_t X1d, int32_t Y1d, int32_t X2d, int32_t Y2d);
  void DrawLineLabel(TRVCanvas& Canvas, TRVVObjRecord& Obj, double ZY, int32_t X1d, int32_t Y1d, int32_t X2d,
                     int32_t Y2d);
  void DrawCurveChar(TRVCanvas& Canvas, TRVVObjRecord& Obj, const platform::TRect& Box, char Char,
                     const TRVDoublePoint& Q, const TRVDoublePoint& P);
  void GetGlyphExtent(TRVCanvas& Canvas, char Char, int32_t& W, int32_t& H);
  void GetPolylineScale(const TRVVObjRecord& Obj, double& SX, double& SY);
  // A poly-line point in bitmap pixels: its offset from the base box scaled by (SX, SY) and
  // rounded (halves to even), then moved by the object's corner (X1, Y1). Rounding the offset
  // alone keeps a point on the same pixel wherever the object lies.
  static TRVPoint MapPolylinePoint(const TRVVObjRecord& Obj, const TRVPoint& P, double SX, double SY);
  void NormalizePolyline(TRVVObjRecord& Obj);
  void PaintControl() override;
  void QualityTimerTick();
  void MouseDown(platform::TMouseButton Button, platform::TShiftState Shift, int X, int Y) override;
  void MouseMove(platform::TShiftState Shift, int X, int Y) override;
  void MouseUp(platform::TMouseButton Button, platform::TShiftState Shift, int X, int Y) override;
  void DrawLayersTo(TRVBitmap* Dest, TRVRowTable* RowTable, bool DrawMarks, bool DrawBackground,
                    const platform::TRect* ClipRect) override;
  void DrawObjectsOnBackBuffer(platform::TBitmap* Target);
  void DrawPolylinePointMarkers(platform::TCanvas& Canvas);
  void CopyObjectsToBack(bool Antialias);
  void DrawObjectsToRVBitmap(TRVBitmap* Bitmap, bool Antialias, int32_t hobj);
  void GetObjectsExtents(platform::TRect& Rect);
  bool ObjAntialias() const { return FObjAntialias; }
  void WriteObjAntialias(bool Value);
  TResampleFilter BitmapResampleFilter() const { return FBitmapResampleFilter; }
  void WriteBitmapResampleFilter(TResampleFilter Value);
  bool ZoomObjectsWidth() const { return FZoomObjectsWidth; }
  void WriteZoomObjectsWidth(bool Value);

  // ------------------------------------------------------------ flattening (RastovaVectFlatten.cpp)
  void DrawObjectsToBitmap(TRVBitmap* Image, bool NoZoom, platform::TBitmap* Target, bool Antialias, int32_t hobj);
  void DrawLineShape(const TRVVObjRecord& Obj, TRVCanvas& Canvas, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2,
                     TRVShape Shape, int32_t Width, int32_t Length, platform::TRect& Bounds);

  // ------------------------------------------------------------ rulers and angles (RastovaVectRuler.cpp)
  void DrawRuler(TRVCanvas& Canvas, int32_t X1d, int32_t Y1d, int32_t X2d, int32_t Y2d, double Length,
                 TRVUnits RulerUnit, platform::TColor Color, int32_t PenWidth, TRVVRulerType RulerType, double InvZX,
                 double InvZY, platform::TRect& DrawnRect, const LOGFONTA* Font);
  void DrawAngle(TRVCanvas& Canvas, const TRVPoint (&Points)[3], const LOGFONTA* Font, double InvZY, int32_t Factor,
                 bool UseZoom, platform::TRect& DrawnRect, int32_t PenWidth, platform::TColor Color);
  // The text an angle of three placed points shows: its degrees and the code page's degree sign.
  std::string AngleText(const TRVPoint (&Points)[3]);

  // ------------------------------------------------------------ keys and in-place editing (RastovaVectEdit.cpp)
  // Sender: the editor the key came to (TextEdit or MemoEdit).
  using TRVTextKeyEvent = std::function<void(QWidget* Sender, uint16_t& Key, platform::TShiftState Shift)>;
  // Escape ends an edit, F2 opens one on the first selected text or memo; then the view's keys,
  // and a single selected extended object gets the key last.
  void KeyDown(uint16_t& Key, platform::TShiftState Shift) override;
  // The arrows stay with the layer.
  bool WantSpecialKey(uint16_t Key, platform::TShiftState Shift) override;
  void TextEditChange();
  void TextEditKeyDown(uint16_t& Key, platform::TShiftState Shift);
  void MemoEditKeyDown(uint16_t& Key, platform::TShiftState Shift);
  // MemoEdit's cursor-moved event.
  platform::TNotifyEvent OnTextEditCursorMoved() const;
  void WriteOnTextEditCursorMoved(platform::TNotifyEvent Value);
  // The view's Assign first; from another layer its objects and base scale replace this one's,
  // nullptr removes the objects, a picture changes only the image.
  void Assign(TRastovaView* Source);
  void Assign(platform::TBitmap* Source) { TRastovaView::Assign(Source); }
  void Assign(std::nullptr_t) { Assign(static_cast<TRastovaView*>(nullptr)); }
  void OffsetMouseDownPoints(int32_t DX, int32_t DY) override;
  void Resize() override;
  void Enter() override;
  void Exit() override;
  TRVTextKeyEvent OnTextKeyDown;
  TNotify OnActivateTextEdit, OnDeactivateTextEdit;
  // The character-set byte of the layer's font (1: the default set); the editors take the Greek
  // (161) or Russian (204) set where the user's language asks for it.
  uint8_t FontCharset = 1;

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;
  // Arrows and typed characters are the layer's even when nothing handled them: they do not
  // go on to the window around it.
  void keyPressEvent(QKeyEvent* Event) override;
  // The editor that is open and the object it belongs to (rvkNONE: none): what was begun is what
  // is ended, whatever EditingObject or the object's kind became meanwhile.
  TRVVObjectKind FEditedKind = rvkNONE;
  int32_t FEditedObject = -1;

 public:
  // ------------------------------------------------------------ object streams (RVVectStreams.cpp)
  void SaveObjectsToStream(TStream& Stream) override;
  bool LoadObjectsFromStream(TStream& Stream) override;
  void SaveObjectToStream(TStream& Stream, int32_t hobj);
  int32_t LoadObjectFromStream(TStream& Stream, char Version);
  void SaveAllToStream(TStream& Stream, int32_t Compression) override;
  bool LoadAllFromStream(TStream& Stream) override;
  bool LoadAllFromFile(const std::string& FileName);
  bool LoadObjectsFromFile(const std::string& FileName);
  IRVProcVectView* AsVectView() override { return this; }
  // Replaces the objects by a stream's content read whole (the template and its bitmap stay).
  void InstallObjects(TRVVObjStreamContent& Content);

  // ------------------------------------------------------------ object undo and copies (RVVectUndo.cpp)
  void PushObjUndo();
  void ClearObjUndo();
  void DropLastObjUndo();
  int32_t CopyObjectTo(int32_t hobj, TRastovaVect* Dest);
  void CopyAllObjectsTo(TRastovaVect* Dest);
  void SetScale(double Value);
  // Object undo entries, oldest first; UndoSaved: an entry stored for the gesture in progress
  // that may still be dropped.
  std::vector<std::unique_ptr<TMemoryStream>> ObjUndoList;
  bool UndoSaved = false;

  // ------------------------------------------------------------ the next issue's members
  // Interaction, undo and in-place editing come with the mouse editing and object streams;
  // here they exist so that the store can call them.
  virtual void CancelInteraction();  // RastovaVectMouse.cpp
  virtual void SaveObjUndo();  // RVVectUndo.cpp
  virtual void PlaceTextEditor();
  virtual void EndTextEdit();
  // In-place editing of the edited text or memo (RastovaVectEdit.cpp).
  virtual void BeginTextEdit();
  bool IsEditingText() const { return EditingObject >= 0; }

  // ------------------------------------------------------------ mouse editing (RastovaVectMouse.cpp)
  // D values: the deltas of X1, Y1, X2, Y2. Poly-line points follow their box.
  void MoveObject(int32_t hobj, int32_t DX, int32_t DY);
  void ResizeObject(int32_t hobj, int32_t DX1, int32_t DY1, int32_t DX2, int32_t DY2, bool KeepAspect, int32_t Grip);
  // The box stored in an angle's X1..Y2, from its three points (the second is the vertex).
  static platform::TRect AngleBounds(const TRVPoint (&Points)[3]);
  // The inherited write; a mouse interaction of the view's own (not empty) takes the left button
  // from the layer: every insertion and editing bit goes, the measuring ones and
  // rvoiNoClickInsert stay.
  void WriteMouseInteract(TRVMouseInteract Value) override;
  // Rubber outlines of an insertion, on the window surface between the view's mouse-down point
  // and (InsertX, InsertY): with a pmNot RubberPen erasing draws the same outline again, with
  // another mode it copies the back buffer over it. The ruler and the angle are drawn in full
  // after a repaint. (RastovaVectRubber.cpp)
  virtual void DrawRubberLine(bool Erase);
  virtual void DrawRubberBox(bool Erase);
  virtual void DrawRubberEllipse(bool Erase);
  virtual void DrawRubberRuler();
  virtual void DrawRubberAngle();
  TRVVObjectKind Inserting = rvkNONE;
  uint8_t DragGrip = 0;
  int32_t InsertX = 0, InsertY = 0, RawMouseX = 0, RawMouseY = 0, DragOffsetX = 0, DragOffsetY = 0;
  int32_t InsertingPolyline = 0;
  int32_t LastPolyX = 0, LastPolyY = 0;
  int32_t InsertingAngle = 0;
  int32_t DraggedPolyPoint = -1;
  int32_t PolySegmentToSplit = -1;
  bool DoubleClicked = false;
  int32_t ObjectUnderMouse = -1;

 protected:
  // The outline on the window surface (control pixels), so that erasing takes away exactly what
  // was drawn and a repaint, which copies the back buffer over it, puts it back.
  enum TRubberKind : uint8_t { rbNone, rbLine, rbBox, rbEllipse, rbRuler, rbAngle };
  struct TRubberShown {
    TRubberKind Kind = rbNone;
    int32_t X0 = 0, Y0 = 0, X1 = 0, Y1 = 0;
  } FRubber;
  void ShowRubber(TRubberKind Kind);
  void StrokeRubber();
  void EraseRubber();
  // After a repaint: the outline again, over the part the repaint covered (Whole: everything).
  void RedrawRubber(bool Whole);
  // The base-space position of DraggedPolyPoint when its drag began.
  TRVPoint FPolyPointDown;
  // The gesture moved, added or removed a poly-line point.
  bool FPolyPointsEdited = false;
  // Parts of the handlers (RastovaVectMouse.cpp).
  void InsertAngleClick(platform::TShiftState Shift, int32_t X, int32_t Y);
  void InsertPolylineClick(platform::TShiftState Shift, int32_t& X, int32_t& Y);
  void EditObjectsDown(platform::TMouseButton Button, platform::TShiftState Shift, int32_t X, int32_t Y);
  void DragInsertion(platform::TShiftState Shift, int32_t X, int32_t Y);
  void DragSelection(platform::TShiftState Shift, int32_t X, int32_t Y);
  void DragPolylinePoint(int32_t X, int32_t Y);
  void DragRubberBand(platform::TShiftState Shift, int32_t X, int32_t Y);
  void HoverWithoutButton(platform::TShiftState Shift, int32_t X, int32_t Y);
  void TrackExtendedObjects(platform::TShiftState Shift, int32_t X, int32_t Y);
  void EditPolylinePointsUp(platform::TShiftState Shift, int32_t X, int32_t Y);
  void DropGestureUndo();
  // The extended object of a record of kind rvkEXTENDED, nullptr otherwise.
  TRVExtendedObject* ExtendedAt(int32_t hobj);

 public:
  // ------------------------------------------------------------ event triggers
  virtual void DoVectorialChanged();
  virtual void DoObjectMoveResize(int32_t hobj, int32_t Grip, int32_t& OffsetX, int32_t& OffsetY);
  virtual void DoObjectClick(int32_t hobj);
  virtual void DoObjectDblClick(int32_t hobj);
  virtual void DoObjectOver(int32_t hobj);
  virtual void SetAntialiasedDrawing(bool Value);
  virtual void DoVectorialChangedOnce();
  virtual void DoNewObject(int32_t hobj);
  virtual void DoUserSelectObject(int32_t hobj);
  virtual void DoUserDeselectObject(int32_t hobj);

  // ------------------------------------------------------------ the fields
  std::vector<TRVVObjRecord> Objects;
  std::vector<int32_t> ObjectOrder;
  std::vector<int32_t> SelObjects;
  std::vector<TRVVSharedBitmap> SharedBitmaps;
  TRVVObjRecord NewObjectTemplate;
  TRVVObjectInteract ObjectInteract = 0;
  double MeasureBaseScale = 1.0;
  double MeasureScaleX = 1.0, MeasureScaleY = 1.0;
  bool ShareBitmaps = true;
  bool SelectOnMouseDown = true;
  int32_t ObjUndoLimit = 1;
  bool ObjAutoUndo = false;
  TRVVUndoMode ObjUndoMode = rvumSeparated;
  int32_t EditingObject = -1;
  std::unique_ptr<TRVEdit> TextEdit;
  std::unique_ptr<TRVTextControl> MemoEdit;
  bool ObjectsChanged = false;
  bool ChangedNotified = false;
  int32_t ObjectMoving = 0;
  // measuring
  double LastMeasure = 0;
  bool HintVisible = false;
  int32_t HintX = 0, HintY = 0;
  std::unique_ptr<platform::TBitmap> HintBackground;
  platform::TFont HintFont;
  platform::TBrush HintBrush;
  platform::TColor HintFrameLightColor = 0xFFFFFF;
  platform::TColor HintFrameShadowColor = 0x808080;
  // grips
  int32_t GripSize = 5;
  platform::TPen GripPen;
  platform::TBrush GripBrush;
  bool SelectPending = false;
  platform::TPen RubberPen;
  // drawing
  std::unique_ptr<TRVBitmap> DrawCache;
  bool AntialiasedDrawing = false;
  bool FastDrawing = false;
  int32_t DrawnObjectsCount = 0;
  std::unique_ptr<platform::TTimer> QualityTimer;
  // What the last cached object left in DrawCache: outside FCacheDirty the cache holds
  // FCacheColour (-1: unknown) and the alpha plane and FCoverage hold 0.
  platform::TRect FCacheDirty;
  int64_t FCacheColour = -1;
  std::unique_ptr<platform::TBitmap> FCoverage;
  // events
  TNotify OnSelectObject, OnVectorialChanged, OnBeforeVectorialChanged;
  TRVUserSelectObject OnUserSelectObject, OnUserDeselectObject;
  TRVVMeasureHintEvent OnMeasureHint;
  TRVOnPresentMeasure OnPresentMeasure;
  TRVVDragLenEndEvent OnDragLenEnd;
  TRVVNewObject OnNewObject;
  TRVVObjectMoveResizeEvent OnObjectMoveResize;
  TRVVObjectClickEvent OnObjectClick, OnObjectDblClick, OnObjectOver;
  TRVDrawObjectEvent OnBeforeDrawObject, OnAfterDrawObject;

  // For tests: the primary mouse button as the paint sees it (nullptr: the real button).
  std::function<bool()> PrimaryButtonProbe;

 protected:
  // Whether the handle names a record (-2 and -1 always do while there are objects / always).
  bool ValidHandle(int32_t hobj) const;
  // Set accessors' tail: Update unless hobj is -1.
  void ObjChanged(int32_t hobj);
  void GrowStore();
  TRVBitmap* TemplateIconBitmap();

  TRVUnits FMUnit = rvuPIXELS;
  int32_t FFloatPrecision = 15;
  int32_t FFloatDigits = 2;
  bool FZoomObjectsWidth = true;
  bool FObjAntialias = true;
  TResampleFilter FBitmapResampleFilter = rfNone;
  std::unique_ptr<platform::TBitmap> FObjGripImage;
  int32_t FObjectsAlloc = 0;
  int32_t FOrderAlloc = 0;
  bool FDestroying = false;
};

// The number of leading placed angle points (0 to 3).
int32_t CountAnglePoints(const TRVPoint (&Points)[3]);

// The measure unit names (also the abbreviations of the measure hint), by TRVUnits.
extern const char* const kRVUnitNames[11];

}  // namespace rv
