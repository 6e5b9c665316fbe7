#pragma once
// TRastovaProc: the image library's processing component. It works on one image buffer that
// it owns, borrows from the caller, takes from an attached image view or wraps around the
// picture of an attached picture control, and gives every processing operation the same
// machinery: the pixel-format check with automatic conversion, the optional undo entry with a
// caption, the work area of a view's selection, the notification of the view or picture after
// the change, and the finish signal.
//
// The image view and the picture control live in libraries above this one; the component
// reaches them only through the small interfaces below, which those libraries implement.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/gfx/Types.h"
#include "rastova/core/RVColorReduce.h"
#include "rastova/core/RVDefs.h"
#include "rastova/core/RVProgress.h"
#include "rastova/core/RVResample.h"
#include "rastova/core/RVUtils.h"

namespace platform {
class TBitmap;
}

namespace rv {

class TRVBitmap;
class TRVMask;
class TStream;
class TMemoryStream;
class TRastovaProc;

// What an undo entry holds. Stored values: they must not change.
enum TRVUndoSource : uint8_t {
  rvuUnknown = 0,
  rvuImage = 1,
  rvuSelection = 2,
  rvuObject = 3,
  rvuLayer = 4,
  rvuFullLayer = 5,
  rvuObjectsAndLayers = 6,
};

// Preview options of the processing dialogs.
enum TPRPreviewsParam : uint8_t {
  prppDefaultLockPreview = 0,
  prppShowResetButton = 1,
  prppHardReset = 2,
  prppResetSelectedTab = 3,
};
using TPRPreviewsParams = uint8_t;  // bit n: parameter n
constexpr TPRPreviewsParams PreviewsParam(TPRPreviewsParam p) { return static_cast<TPRPreviewsParams>(1u << p); }

// Allowed pixel formats: bit n stands for format n; the empty set allows every format.
using TRVPixelFormatSet = uint16_t;
constexpr TRVPixelFormatSet FormatSetOf(TRVPixelFormat f) { return static_cast<TRVPixelFormatSet>(1u << f); }

// ---------------------------------------------------------------- the view's side

enum class TOperation : uint8_t { opInsert, opRemove };

class IRVProcLayerView;
class IRVProcVectView;

// What the component uses of an attached image view (the view library's TRVView).
class IRVProcView {
 public:
  using TBitmapChangeHandler = std::function<void(IRVProcView* sender, bool destroying)>;
  virtual ~IRVProcView() = default;
  // Registers a handler called whenever the view's bitmap changes (destroying false) and once
  // from the view's destructor (destroying true); returns the registration.
  virtual void* AddBitmapChangeHandler(TBitmapChangeHandler handler) = 0;
  // Removes a registration; nullptr or an unknown registration is ignored.
  virtual void RemoveBitmapChangeHandler(void* registration) = 0;
  // The current image (nullptr for a view without one).
  virtual TRVBitmap* GetRVBitmap() = 0;
  // The view's platform bitmap, for views without a TRVBitmap.
  virtual platform::TBitmap* GetBitmap() = 0;
  virtual TColor GetBackground() = 0;
  virtual void SetBackground(TColor value) = 0;
  // Recomputes and repaints the view.
  virtual void Update() = 0;
  // Fires the view's image-change event.
  virtual void ImageChange() = 0;
  // The view calls proc->HandleNotification(this, TOperation::opRemove) before it goes away.
  virtual void FreeNotification(TRastovaProc* proc) = 0;
  // The layered view and the vector-object view; nullptr when the view is not of that class.
  virtual IRVProcLayerView* AsLayerView() { return nullptr; }
  virtual IRVProcVectView* AsVectView() { return nullptr; }
};

// The layered image view (TRastovaView).
class IRVProcLayerView {
 public:
  virtual ~IRVProcLayerView() = default;
  virtual TRVMask* SelectionMask() = 0;
  virtual bool HasSelection() = 0;
  // The points of a polygon selection.
  virtual const TRVPoint* PolygonPoints() = 0;
  virtual int32_t PolygonPointCount() = 0;
  virtual int32_t CurrentLayerIndex() = 0;
  virtual int32_t GetLayersCount() = 0;
  virtual TRVBitmap* GetLayerBitmap(int32_t index) = 0;
  // The layer's 16-byte identity.
  virtual void GetLayerIdentity(int32_t index, uint8_t identity[16]) = 0;
  virtual void SaveSelectionToStream(TStream& stream) = 0;
  // False when nothing could be read (the selection unchanged).
  virtual bool LoadSelectionFromStream(TStream& stream, int32_t mode) = 0;
  // One layer record: its 4-byte length (of the whole record), its 16-byte identity, then the
  // rest, with the layer's bitmap when asked. Loading reads one record from the position and
  // leaves the position after it.
  virtual void SaveLayerToStream(int32_t index, TStream& stream, bool withBitmap) = 0;
  virtual void LoadLayerFromStream(int32_t index, TStream& stream) = 0;
  // All layers; format -2 stores the bitmaps uncompressed, -1 compressed.
  virtual void SaveLayersToStream(TStream& stream, int32_t format) = 0;
  // False for another signature or an unsupported version (the layers unchanged).
  virtual bool LoadLayersFromStream(TStream& stream) = 0;
};

// The vector-object view (TRastovaVect).
class IRVProcVectView {
 public:
  virtual ~IRVProcVectView() = default;
  virtual void SaveObjectsToStream(TStream& stream) = 0;
  // False for another signature or version (the objects unchanged).
  virtual bool LoadObjectsFromStream(TStream& stream) = 0;
  virtual void SaveAllToStream(TStream& stream, int32_t format) = 0;
  virtual bool LoadAllFromStream(TStream& stream) = 0;
};

// What the component uses of an attached picture control (the UI library's TImage).
class IRVProcPicture {
 public:
  virtual ~IRVProcPicture() = default;
  // The picture's bitmap (created by the control when it has none).
  virtual platform::TBitmap* PictureBitmap() = 0;
  // Marks the picture modified, which repaints it.
  virtual void SetModified() = 0;
  // The control calls proc->HandleNotification(this, TOperation::opRemove) before it goes away.
  virtual void FreeNotification(TRastovaProc* proc) = 0;
};

// ---------------------------------------------------------------- the dialogs' parameters

// The parameter block of the processing dialogs, owned by the component. The dialogs give the
// fields their meaning; the block only keeps them between two runs of a dialog. The four values
// with setters key the stream (a cached preview, for instance): setting any of them empties it.
class TIPDialogParams {
 public:
  TIPDialogParams();  // with its stream, then Reset
  ~TIPDialogParams();
  TIPDialogParams(const TIPDialogParams&) = delete;
  TIPDialogParams& operator=(const TIPDialogParams&) = delete;

  // Every field back to its default, the stream emptied.
  void Reset();

  int32_t GetValue1() const { return value1_; }
  int32_t GetValue2() const { return value2_; }
  int32_t GetValue3() const { return value3_; }
  int32_t GetValue4() const { return value4_; }
  void SetValue1(int32_t value);
  void SetValue2(int32_t value);
  void SetValue3(int32_t value);
  void SetValue4(int32_t value);

  // The further fields in their order, each with its default after Reset.
  int32_t Integers[11] = {};             // 0
  TFilter3x3 Filter;                     // the preset "None"
  TRGB Colors[4] = {};                   // black, white, black, white
  uint8_t Flag1 = 0;                     // 0
  int32_t Integer12 = 0, Integer13 = 0;  // 0, 0
  int32_t Integer14 = 0, Integer15 = 0;  // 150, 150
  TRGB Color5;                           // white
  int32_t Integer16 = 0;                 // 0
  uint8_t Flag2 = 0;                     // 1
  int32_t Integer17 = 0, Integer18 = 0;  // 0, 0
  int32_t Integer19 = 0, Integer20 = 0;  // 150, 150
  double Double1 = 0;                    // 1.7
  uint8_t Flag3 = 0;                     // 1
  int32_t Integer21 = 0, Integer22 = 0;  // 10, 10
  int32_t Integer23 = 0;                 // 0
  uint8_t Flag4 = 0;                     // 0
  int32_t Integer24 = 0;                 // 0
  int32_t Integer25 = 0;                 // 1
  double Double2 = 0;                    // 0
  double Double3 = 0;                    // 1.0
  int32_t Integer26 = 0, Integer27 = 0;  // 1, 4
  uint8_t Flag5 = 0;                     // 1
  // Owned; emptied by Reset and by the four setters.
  TMemoryStream& Stream() { return *stream_; }

 private:
  void SetKey(int32_t& field, int32_t value);
  int32_t value1_ = -1, value2_ = -1, value3_ = -1, value4_ = -1;
  std::unique_ptr<TMemoryStream> stream_;
};

// ---------------------------------------------------------------- the component

class TRastovaProc {
 public:
  using TNotifyEvent = std::function<void(TRastovaProc* sender)>;
  using TRVSaveUndoEvent = std::function<void(TRastovaProc* sender, TRVUndoSource source)>;

  // With an owner the component records undo (AutoUndo on); without one it does not.
  explicit TRastovaProc(const void* owner = nullptr);
  virtual ~TRastovaProc();
  TRastovaProc(const TRastovaProc&) = delete;
  TRastovaProc& operator=(const TRastovaProc&) = delete;

  // ---- attachment
  // Works on the caller's image (never freed here). nullptr while a view or picture is
  // attached changes nothing else; nullptr with nothing attached leaves the component without
  // an image, and every operation then does nothing.
  void SetAttachedRVBitmap(TRVBitmap* bitmap);
  void SetAttachedRastova(IRVProcView* view);
  IRVProcView* GetAttachedRastova() const { return view_; }
  void SetAttachedTImage(IRVProcPicture* picture);
  IRVProcPicture* GetAttachedTImage() const { return picture_; }
  void HandleNotification(const void* component, TOperation operation);
  // The callback registered with an attached view.
  void ViewBitmapChanged(IRVProcView* sender, bool destroying);
  // The image worked on (nullptr when none).
  TRVBitmap* GetBitmap() const { return buffer_; }

  TColor GetBackground() const;
  void SetBackground(TColor value);

  // ---- undo and redo (positions count from the newest entry, 0 = newest)
  virtual bool GetCanUndo() const { return !undo_.empty(); }
  virtual bool GetCanRedo() const { return !redo_.empty(); }
  virtual int32_t GetUndoCount() const { return static_cast<int32_t>(undo_.size()); }
  virtual int32_t GetRedoCount() const { return static_cast<int32_t>(redo_.size()); }
  virtual std::string GetRedoCaptions(int32_t index) const;
  virtual std::string GetUndoCaptions(int32_t index) const;
  void SetUndoCaptions(int32_t index, const std::string& caption);
  virtual void DoFinishWork();
  virtual void SaveUndo(TRVUndoSource source);
  virtual void SaveUndoCaptioned(const std::string& caption, TRVUndoSource source);
  virtual void ClearOneUndo();
  virtual void ClearAllUndo();
  virtual void Undo(bool saveRedo);
  virtual void UndoAt(int32_t position, bool saveRedo);
  virtual void SaveRedo(TRVUndoSource source);
  virtual void SaveRedoCaptioned(const std::string& caption, TRVUndoSource source);
  virtual void ClearAllRedo();
  virtual void ClearOneRedo();
  virtual void Redo();
  virtual void RedoAt(int32_t position);
  void ClearUndoAt(int32_t position);
  // Source of the undo entry at `index` counted from the OLDEST; rvuUnknown out of range.
  TRVUndoSource GetUndoSourceAt(int32_t index) const;
  int32_t GetUndoLimit() const { return undoLimit_; }
  // Negative values are ignored. Entries are trimmed at the next push.
  void SetUndoLimit(int32_t value);
  // Storage location of the image copies in the undo and redo lists (temporary file by default).
  TRVLocation UndoLocation = rvInTempFile;

  // ---- processing machinery of the operations
  bool CanProcess(TRVPixelFormatSet allowed);
  bool EnsurePixelFormat(TRVPixelFormatSet allowed);
  // The area to work on: the whole image, or with a layered view its selection's box.
  virtual bool GetWorkArea(int32_t& x1, int32_t& y1, int32_t& x2, int32_t& y2, const TRVPoint*& polygon,
                           int32_t& polygonCount, TRVMask*& mask);
  // Work is the image itself, or a copy of the selection's box (free it with EndImageProcessing).
  bool BeginImageProcessing(TRVPixelFormatSet allowed, int32_t& x1, int32_t& y1, int32_t& x2, int32_t& y2,
                            const std::string& caption, TRVBitmap*& work, TRVMask*& mask);
  void EndImageProcessing(TRVBitmap* work, TRVMask* mask);
  void Update();

  // ---- size operations
  // Scales the image in place. Undo caption "Resample <w>, <h>".
  void Resample(int32_t newWidth, int32_t newHeight, TResampleFilter filter);
  // Scales the image into `dest`. -1 for one side keeps the aspect ratio, 0 keeps that side,
  // another negative value counts as its absolute value.
  void ResampleTo(TRVBitmap& dest, int32_t newWidth, int32_t newHeight, TResampleFilter filter);
  // Changes the canvas size; alignments 0 none (top left), 1 centre, 2 far side; new areas
  // take the background, and those of the alpha channel `alpha`.
  void ImageResize(int32_t newWidth, int32_t newHeight, uint8_t horizAlign, uint8_t vertAlign, int32_t alpha);
  // Fills the image with the background colour.
  void Clear();

  // ---- crop
  // Keeps the rectangle left..right by top..bottom (corners included) of the image and of its
  // alpha channel. Undo caption "Crop <left>, <top>, <right>, <bottom>". The rectangle is
  // clipped to the image first; an empty (inverted or outside) rectangle or the whole image
  // changes nothing and stores no undo entry.
  void Crop(int32_t left, int32_t top, int32_t right, int32_t bottom);
  // Crop with the rectangle's Left, Top, Right and Bottom, all taken as included.
  void CropToRect(const platform::TRect& rect);
  // Crops to the box of the pixels whose alpha is not 0 (GetOpaqueBounds), storing no undo
  // entry. Without an alpha channel, or with one that is 0 everywhere, nothing changes.
  void CropToOpaqueArea();

  // ---- properties
  bool AutoUndo = false;
  bool AutoConvertFormat = true;
  TMsgLanguage MsgLanguage = msSystem;
  TPRPreviewsParams PreviewsParams = PreviewsParam(prppShowResetButton) | PreviewsParam(prppHardReset);
  TRVProgressEvent OnProgress;
  TNotifyEvent OnFinishWork;
  TRVSaveUndoEvent OnSaveUndo;
  // The processing dialogs' parameters, created and reset with the component.
  TIPDialogParams& DialogParams() { return *dialogParams_; }

 private:
  struct State;
  void RemoveRegistration();
  void OwnNewBuffer();
  void FreeOwnedBuffer();
  std::unique_ptr<State> BuildState(TRVUndoSource source);
  void Push(std::vector<std::unique_ptr<State>>& list, std::unique_ptr<State> state);
  void Restore(State& state);
  bool SaveEntry(std::vector<std::unique_ptr<State>>& list, TRVUndoSource source);

  IRVProcView* view_ = nullptr;
  void* registration_ = nullptr;
  TColor background_ = 0;
  IRVProcPicture* picture_ = nullptr;
  platform::TBitmap* platformBitmap_ = nullptr;
  TRVBitmap* buffer_ = nullptr;
  bool ownsBuffer_ = true;
  int32_t undoLimit_ = 1;
  std::vector<std::unique_ptr<State>> undo_, redo_;  // oldest first
  std::unique_ptr<TIPDialogParams> dialogParams_;
};

// ---------------------------------------------------------------- the module's start-up

// The private clipboard format of the processing module. The core keeps its name and the
// number it was registered under; the platform's clipboard maps the name to a private type.
inline constexpr char kRastovaRawFormatName[] = "RASTOVA RAW FORMAT";
// The number of "RASTOVA RAW FORMAT" once the module has started (0 before).
extern uint32_t RastovaRawClipboardFormat;
// Library-wide numbering of clipboard format names: the same name gives the same number (from
// 0xC000 up, as registered formats are numbered) for the whole run.
uint32_t RegisterClipboardFormatName(const std::string& name);
// The name of a registered number ("" for any other number).
std::string ClipboardFormatName(uint32_t format);

// Scales `source` into `dest`, which already has the wanted size: a copy for equal sizes,
// nearest-pixel stretching for rfNone, the filtered engine otherwise; the alpha channel
// follows with the same filter.
void ResampleBitmap(TRVBitmap& source, TRVBitmap& dest, TResampleFilter filter, const TRVProgressEvent& onProgress,
                    TRastovaProc* sender);
// Nearest-pixel scaling of any pixel format into `dest` (given the source's format).
TRVBitmap& StretchBitmapNearest(TRVBitmap& source, TRVBitmap& dest, TRastovaProc* sender,
                                const TRVProgressEvent& onProgress);

}  // namespace rv
