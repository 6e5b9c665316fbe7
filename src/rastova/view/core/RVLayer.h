#pragma once
// TRVLayer: one layer of an image view. An image buffer with an optional alpha channel, placed
// in the coordinate space of the bottom layer (layer 0), with an optional display size, a
// pending rotation, an opacity and blend operation, visibility and interaction flags, a
// magnifier, a name, user data and a 16-byte identity. The view (RastovaView.h) keeps a stack of
// them and composes them into its back buffer.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/gfx/Types.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVRenderOperation.h"
#include "rastova/core/RVResample.h"
#include "rastova/core/RVUtils.h"

namespace rv {

class TRastovaView;
class TStream;
struct TPSDLayer;

class TRVLayer {
 public:
  // UseBitmap: the layer shows Bitmap itself. Otherwise it gets a new image: with a template
  // Bitmap one of the template's size, pixel format and storage (pixels not copied), without
  // one an empty image. The layer owns its image in both cases.
  TRVLayer(TRastovaView* View, bool UseBitmap, TRVBitmap* Bitmap);
  ~TRVLayer();
  TRVLayer(const TRVLayer&) = delete;
  TRVLayer& operator=(const TRVLayer&) = delete;

  // Every field back to its default, except the view, the image and its ownership, the
  // filter, the name, the identity and the mask cache. A user-data block the layer owns is
  // freed first.
  void Reset();
  // Copies the display fields and the image's content (not the rotation, rotation centre,
  // identity or drawing results). An owned user-data block is copied, so the copy owns its own.
  void Assign(TRVLayer& Source);
  int32_t GetDisplayWidth();
  int32_t GetDisplayHeight();
  // A whole multiple of 360 degrees is stored as exactly 0; any other angle as given.
  void SetRotation(double Angle);
  // View pixels to this layer's bitmap pixels and back.
  int32_t ConvXScr2Bmp(int32_t X);
  int32_t ConvYScr2Bmp(int32_t Y);
  int32_t ConvXBmp2Scr(int32_t X);
  int32_t ConvYBmp2Scr(int32_t Y);
  // The platform bitmap that holds the image when it is kept in one of its own (else nullptr).
  platform::TBitmap* LegacyTBitmap();

  // One layer record with its identity (undo steps; streams/RVLayerRecord.cpp). The user-data
  // reference is kept, not its bytes: records never leave the process. Loading checks every
  // length against the record and the stream (ERVLayerStreamError) before the layer changes.
  void SaveToStream(TStream& Stream, bool SaveImage);
  void LoadFromStream(TStream& Stream);
  // A layer of a Photoshop document: image, position, opacity, visibility, name, mask flag.
  void AssignFromPSDLayer(TPSDLayer& Source);

  int32_t DisplayWidth = 0;
  int32_t DisplayHeight = 0;
  double Rotation = 0.0;
  std::unique_ptr<TRVBitmap> MaskedAlphaCache;
  TRastovaView* View = nullptr;
  TRVBitmap* Bitmap = nullptr;
  bool Visible = true;
  bool ShowBox = true;
  int32_t Opacity = 255;
  int32_t PosX = 0;
  int32_t PosY = 0;
  platform::TRect ScreenRect;
  bool ClipToImage = false;
  bool Locked = false;
  bool Selectable = true;
  bool MagnifierEnabled = false;
  double MagnifierRate = 2.0;
  uint8_t MagnifierShape = 0;
  uint8_t MagnifierSource = 1;
  TRVRenderOperation Operation = rvlNormal;
  void* UserData = nullptr;
  int32_t UserDataLen = 0;
  bool OwnsBitmap = true;
  TResampleFilter ResampleFilter = rfNone;
  bool UseResampleFilter = false;
  std::string Name;
  bool IsMask = false;
  int32_t DrawDest[4] = {0, 0, 0, 0};    // left, top, width, height (view pixels)
  int32_t DrawSource[4] = {0, 0, 0, 0};  // x, y, width, height (bitmap pixels)
  TRVPoint Corners[4];
  bool ShadeOutside = false;
  uint8_t Guid[16] = {};
  double RotateCenterX = 0.5;
  double RotateCenterY = 0.5;

 private:
  void FreeUserData();
};

// Frees an image the way a layer that owns it does (its platform bitmap goes with it).
void FreeLayerBitmap(TRVBitmap* Bitmap);

}  // namespace rv
