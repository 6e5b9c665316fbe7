#pragma once
// The base of user-defined vector objects (kind rvkEXTENDED) and the registry that makes them by
// class name. The object stream creates them by the name it stores (RVVObjStream.h), so both
// live here without windows; the vector layer (rastova/view/vector/RastovaVect.h) forwards its
// pointer and key events to them and has them draw themselves.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/gfx/ShiftState.h"

namespace platform {
class TBitmap;
}

namespace rv {

class TStream;
class TRastovaVect;
struct TRVVObjRecord;

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
  virtual void Draw(platform::TBitmap* Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2,
                    bool drawingAlpha, double ZoomX, double ZoomY) {
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

}  // namespace rv
