#pragma once
// The vector layer's object stream ("RVV"), the "Layers and objects" stream that puts the layer
// stream in front of it, extended objects and their registry.
//
// Reading never trusts a stored count or length for an allocation: outside the compressed block
// every length is checked against the bytes that remain, inside it buffers grow only as data
// arrives. A stream is read whole into a TRVVObjStreamContent before anything of the layer
// changes, so a damaged stream leaves the layer as it was.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/Exception.h"
#include "platform/ui/Control.h"
#include "rastova/view/vector/RVVectTypes.h"

namespace platform {
class TBitmap;
}

namespace rv {

class TStream;
class TRastovaVect;

// A damaged object stream (short, impossible counts, unknown kinds or classes, deep groups).
class ERVVectStreamError : public common::Exception {
 public:
  using Exception::Exception;
};

constexpr char kRVVVersion = 'R';
// Groups nested deeper than this are refused.
constexpr int32_t kRVVMaxGroupDepth = 64;

// The base of user-defined objects of kind rvkEXTENDED. The record that holds one owns it.
class TRVExtendedObject {
 public:
  TRVExtendedObject() = default;
  virtual ~TRVExtendedObject() = default;
  TRVExtendedObject(const TRVExtendedObject&) = delete;
  TRVExtendedObject& operator=(const TRVExtendedObject&) = delete;

  virtual void Initialize() {}
  virtual void Finalize() {}
  virtual void SetHandle(int32_t hobj) { Handle = hobj; }
  virtual void SaveToStream(TStream& Stream) { (void)Stream; }
  virtual bool LoadFromStream(TStream& Stream) {
    (void)Stream;
    return true;
  }
  // A new instance of the object's own class (by its registered name) with Owner copied and
  // Initialize called; no data is copied. nullptr when the class is not registered.
  virtual TRVExtendedObject* Clone();
  virtual void MouseDown(platform::TMouseButton Button, platform::TShiftState Shift, int32_t X, int32_t Y) {
    (void)Button, (void)Shift, (void)X, (void)Y;
  }
  virtual void MouseUp(platform::TMouseButton Button, platform::TShiftState Shift, int32_t X, int32_t Y) {
    (void)Button, (void)Shift, (void)X, (void)Y;
  }
  virtual void MouseMove(platform::TShiftState Shift, int32_t X, int32_t Y) { (void)Shift, (void)X, (void)Y; }
  virtual void MouseEnter() { MouseOver = true; }
  virtual void MouseLeave() { MouseOver = false; }
  virtual void KeyDown(uint16_t& Key, platform::TShiftState Shift) { (void)Key, (void)Shift; }
  virtual void Draw(platform::TBitmap* Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, bool drawingAlpha,
                    double ZoomX, double ZoomY) {
    (void)Bitmap, (void)X1, (void)Y1, (void)X2, (void)Y2, (void)drawingAlpha, (void)ZoomX, (void)ZoomY;
  }

  TRastovaVect* Owner = nullptr;
  TRVVObjRecord* ObjRecord = nullptr;
  int32_t Handle = -1;
  bool MouseOver = false;
};

using TRVExtendedObjectFactory = std::function<TRVExtendedObject*()>;

// The registry of extended-object classes (names compare exactly). It exists between the vector
// unit's start-up and shut-down; registering outside that time does nothing.
void CreateExtendedObjectRegistry();
void FreeExtendedObjectRegistry();
void RegisterExtendedObjectClass(const std::string& Name, TRVExtendedObjectFactory Factory);
// A new instance (the caller owns it), nullptr when the name is not registered.
TRVExtendedObject* CreateExtendedObjectByName(const std::string& Name);
// The registered name of the object's class, empty when it is not registered.
std::string GetExtendedObjectName(const TRVExtendedObject* Object);

// What an object stream holds, read whole. Extended objects of the records are owned here until
// the records are taken by a layer (their ExtendedObject cleared).
struct TRVVObjStreamContent {
  TRVVObjStreamContent() = default;
  TRVVObjStreamContent(const TRVVObjStreamContent&) = delete;
  TRVVObjStreamContent& operator=(const TRVVObjStreamContent&) = delete;
  ~TRVVObjStreamContent();
  char Version = kRVVVersion;
  double MeasureBaseScale = 1.0;
  std::vector<std::unique_ptr<TRVBitmap>> Slots;  // nullptr: a slot no object used
  std::vector<TRVVObjRecord> Objects;             // z-order; BitmapIdx refers to Slots
};

// True when the four bytes at the position are "RVV" and a version from '1' to 'R'. Never
// raises; the position is restored.
bool IsRVVStream(TStream& Stream);
// The content test of the "Layers and objects" stream; never raises, restores the position.
bool IsAllStream(TStream& Stream);

// Reads one object stream at the position. False (the four bytes consumed, Content untouched)
// for another signature or version; ERVVectStreamError for a damaged stream. Template gives
// the values older versions do not store; Owner becomes the extended objects' owner.
bool ReadObjectStream(TStream& Stream, TRVVObjStreamContent& Content, const TRVVObjRecord& Template,
                      TRastovaVect* Owner);

// Installs the I/O operations of the "Vectorial objects" and "Layers and objects" file types.
void InstallVectFormats();

}  // namespace rv
