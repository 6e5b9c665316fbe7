#include "rastova/view/core/RVLayer.h"

#include <QUuid>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "common/Round.h"
#include "rastova/core/RVPlatformBitmap.h"
#include "rastova/view/core/RastovaView.h"

namespace rv {

void FreeLayerBitmap(TRVBitmap* Bitmap) { delete Bitmap; }

TRVLayer::TRVLayer(TRastovaView* AView, bool UseBitmap, TRVBitmap* ABitmap) : View(AView) {
  // The identity in the 16-byte GUID layout: Data1, Data2 and Data3 little-endian, then Data4.
  const QUuid id = QUuid::createUuid();
  const uint32_t d1 = id.data1;
  for (int i = 0; i < 4; ++i) Guid[i] = static_cast<uint8_t>(d1 >> (8 * i));
  Guid[4] = static_cast<uint8_t>(id.data2);
  Guid[5] = static_cast<uint8_t>(id.data2 >> 8);
  Guid[6] = static_cast<uint8_t>(id.data3);
  Guid[7] = static_cast<uint8_t>(id.data3 >> 8);
  std::memcpy(Guid + 8, id.data4, 8);
  if (UseBitmap) {
    Bitmap = ABitmap;
  } else {
    Bitmap = new TRVBitmap();
    if (ABitmap) {
      if (ABitmap->GetLocation() == rvTBitmap && ABitmap->PlatformBitmap()) {
        std::unique_ptr<TRVPlatformBitmap> platform = CreatePlatformBitmap();
        platform->SetPixelFormat(ABitmap->PlatformBitmap()->PixelFormat());
        platform->SetSize(ABitmap->GetWidth(), ABitmap->GetHeight());
        Bitmap->EncapsulatePlatformBitmap(std::move(platform), true, true);
      } else {
        Bitmap->SetLocation(ABitmap->GetLocation());
        Bitmap->Allocate(ABitmap->GetWidth(), ABitmap->GetHeight(), ABitmap->GetPixelFormat());
      }
    }
  }
  OwnsBitmap = true;
  Reset();
}

TRVLayer::~TRVLayer() {
  if (OwnsBitmap) FreeLayerBitmap(Bitmap);
  Bitmap = nullptr;
  FreeUserData();
}

void TRVLayer::FreeUserData() {
  if (UserDataLen > 0) std::free(UserData);
  UserData = nullptr;
  UserDataLen = 0;
}

void TRVLayer::Reset() {
  Visible = ShowBox = Selectable = true;
  Opacity = 255;
  PosX = PosY = 0;
  DisplayWidth = DisplayHeight = 0;
  ScreenRect = {};
  for (int32_t& v : DrawDest) v = 0;
  for (int32_t& v : DrawSource) v = 0;
  for (TRVPoint& p : Corners) p = {};
  ClipToImage = Locked = IsMask = ShadeOutside = false;
  MagnifierEnabled = false;
  MagnifierRate = 2.0;
  MagnifierShape = 0;
  MagnifierSource = 1;
  Operation = rvlNormal;
  // A block the layer owns is freed, not dropped.
  FreeUserData();
  SetRotation(0);
  RotateCenterX = RotateCenterY = 0.5;
}

void TRVLayer::Assign(TRVLayer& Source) {
  if (&Source == this) return;
  DisplayWidth = Source.DisplayWidth;
  DisplayHeight = Source.DisplayHeight;
  if (Bitmap && Source.Bitmap) Bitmap->Assign(Source.Bitmap);
  Visible = Source.Visible;
  ShowBox = Source.ShowBox;
  Selectable = Source.Selectable;
  Opacity = Source.Opacity;
  PosX = Source.PosX;
  PosY = Source.PosY;
  ScreenRect = Source.ScreenRect;
  ClipToImage = Source.ClipToImage;
  Locked = Source.Locked;
  MagnifierEnabled = Source.MagnifierEnabled;
  MagnifierRate = Source.MagnifierRate;
  MagnifierShape = Source.MagnifierShape;
  MagnifierSource = Source.MagnifierSource;
  Operation = Source.Operation;
  FreeUserData();
  if (Source.UserDataLen > 0 && Source.UserData) {
    // The copy gets a block of its own: the source frees its block when it goes.
    UserData = std::malloc(static_cast<size_t>(Source.UserDataLen));
    if (UserData) {
      std::memcpy(UserData, Source.UserData, static_cast<size_t>(Source.UserDataLen));
      UserDataLen = Source.UserDataLen;
    }
  } else {
    UserData = Source.UserData;
  }
  ResampleFilter = Source.ResampleFilter;
  UseResampleFilter = Source.UseResampleFilter;
  Name = Source.Name;
  IsMask = Source.IsMask;
  ShadeOutside = Source.ShadeOutside;
}

int32_t TRVLayer::GetDisplayWidth() {
  return DisplayWidth != 0 ? DisplayWidth : (Bitmap ? Bitmap->GetWidth() : 0);
}

int32_t TRVLayer::GetDisplayHeight() {
  return DisplayHeight != 0 ? DisplayHeight : (Bitmap ? Bitmap->GetHeight() : 0);
}

void TRVLayer::SetRotation(double Angle) {
  if (std::isfinite(Angle) && Angle == std::trunc(Angle) && common::Trunc(Angle) % 360 == 0)
    Rotation = 0;
  else
    Rotation = Angle;
}

int32_t TRVLayer::ConvXScr2Bmp(int32_t X) {
  const int32_t w = GetDisplayWidth();
  if (w == 0) return 0;
  const int32_t b = View->XScr2Bmp(
      common::SaturateInt32(int64_t(X) - common::TruncInt(static_cast<long double>(PosX) * View->FZoomFactorX)));
  return common::TruncInt(static_cast<long double>(b) / w * Bitmap->GetWidth());
}

int32_t TRVLayer::ConvYScr2Bmp(int32_t Y) {
  const int32_t h = GetDisplayHeight();
  if (h == 0) return 0;
  const int32_t b = View->YScr2Bmp(
      common::SaturateInt32(int64_t(Y) - common::TruncInt(static_cast<long double>(PosY) * View->FZoomFactorY)));
  return common::TruncInt(static_cast<long double>(b) / h * Bitmap->GetHeight());
}

int32_t TRVLayer::ConvXBmp2Scr(int32_t X) {
  const int32_t bw = Bitmap ? Bitmap->GetWidth() : 0;
  const int32_t b = bw == 0 ? 0 : common::TruncInt(static_cast<long double>(X) / bw * GetDisplayWidth());
  return common::SaturateInt32(int64_t(View->XBmp2Scr(b)) +
                               common::TruncInt(static_cast<long double>(PosX) * View->FZoomFactorX));
}

int32_t TRVLayer::ConvYBmp2Scr(int32_t Y) {
  const int32_t bh = Bitmap ? Bitmap->GetHeight() : 0;
  const int32_t b = bh == 0 ? 0 : common::TruncInt(static_cast<long double>(Y) / bh * GetDisplayHeight());
  return common::SaturateInt32(int64_t(View->YBmp2Scr(b)) +
                               common::TruncInt(static_cast<long double>(PosY) * View->FZoomFactorY));
}

platform::TBitmap* TRVLayer::LegacyTBitmap() {
  if (!Bitmap || Bitmap->GetLocation() != rvTBitmap || !Bitmap->PlatformBitmap()) return nullptr;
  return Bitmap->PlatformBitmap()->Bitmap();
}

}  // namespace rv
