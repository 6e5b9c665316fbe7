#include "rastova/io/RVTwain.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iterator>
#include <utility>

#include "common/Round.h"
#include "rastova/codecs/IOParamsVals.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVUtils.h"

namespace rv {

std::string TWainLogFileName;

namespace {

void CopyField(char (&field)[34], const std::string& text) {
  std::memset(field, 0, sizeof field);
  std::memcpy(field, text.data(), std::min(text.size(), sizeof field - 1));
}

void LogResult(const char* name, bool ok) {
  TWainLog(std::string("  ") + name + (ok ? " : Ok" : " : FAILED!"));
}

// A call of the manager: the library's status becomes the return code and, for a failure, the
// condition, which with its text goes to the scanner parameters and the log.
bool TWainDSMCall(TRVTWainContext& context, SANE_Status status) {
  context.ReturnCode = TWRC_FAILURE;
  context.ConditionCode = TWCC_SUCCESS;
  if (!context.Entry) return false;
  if (status == SANE_STATUS_GOOD) {
    context.ReturnCode = TWRC_SUCCESS;
    return true;
  }
  context.ConditionCode = SaneStatusCondition(status);
  const std::string text = TWainConditionText(context.ConditionCode);
  if (context.LastError) {
    context.LastError->Code = context.ConditionCode;
    context.LastError->Text = text;
  }
  TWainLog("RVTW_Mgr : " + text);
  return false;
}

}  // namespace

std::string TWainConditionText(int32_t code) {
  // By condition code; 7 and 8 have no text.
  static const char* const kTexts[] = {
      "Operation worked.",
      "General failure. Unload Source immediately.",
      "Not enough memory to complete operation.",
      "Source Manager unable to find the specified Source.",
      "Source is connected to maximum supported number of applications.",
      "Source or Source Manager reported an error to the user and handled the error; no application action "
      "required.",
      "Capability not supported by Source or operation (get,set) is not supported on capability, or "
      "capability "
      "had dependencies on other capabilities and cannot be operated upon at this time",
      nullptr,
      nullptr,
      "Unrecognized operation triplet.",
      "Data parameter out of supported range.",
      "Illegal operation for current Source Manager Source state.",
      "Unknown destination in DSM_Entry.",
      "Capability not supported by Source.",
      "Operation not supported on capability.",
      "Capability has dependencies on other capabilities and cannot be operated upon at this time.",
      "File System operation is denied (file is protected).",
      "Operation failed because file already exists.",
      "File not found.",
      "Operation failed because directory is not empty.",
      "Transfer failed because of a feeder error",
      "Transfer failed because of a feeder error",
  };
  if (code >= 0 && code < static_cast<int32_t>(std::size(kTexts)) && kTexts[code]) return kTexts[code];
  return "Unknown Condition " + std::to_string(code);
}

uint16_t SaneStatusCondition(SANE_Status status) {
  static const std::pair<SANE_Status, uint16_t> kConditions[] = {
      {SANE_STATUS_GOOD, TWCC_SUCCESS},
      {SANE_STATUS_UNSUPPORTED, TWCC_BADPROTOCOL},
      {SANE_STATUS_CANCELLED, TWCC_OPERATIONERROR},
      {SANE_STATUS_DEVICE_BUSY, TWCC_MAXCONNECTIONS},
      {SANE_STATUS_INVAL, TWCC_BADVALUE},
      {SANE_STATUS_JAMMED, TWCC_PAPERJAM},
      {SANE_STATUS_NO_MEM, TWCC_LOWMEMORY},
      {SANE_STATUS_ACCESS_DENIED, TWCC_DENIED},
  };
  for (const auto& [from, to] : kConditions)
    if (from == status) return to;
  return TWCC_BUMMER;
}

void TWainLog(const std::string& Text) {
  if (TWainLogFileName.empty()) return;
  std::FILE* f = std::fopen(TWainLogFileName.c_str(), "a");
  if (!f) throw EInOutError("Unable to append to " + TWainLogFileName);
  char stamp[64];
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::strftime(stamp, sizeof stamp, "%x %X", &local);
  const std::string line = std::string(stamp) + " : " + Text + "\n";
  const bool written = std::fwrite(line.data(), 1, line.size(), f) == line.size();
  if (std::fclose(f) != 0 || !written) throw EInOutError("Unable to write to " + TWainLogFileName);
}

void InitTWainContext(TRVTWainContext& context) {
  context = TRVTWainContext{};
  TW_IDENTITY& a = context.AppId;
  a.Id = 0;
  a.Version.MajorNum = 1;
  a.Version.MinorNum = 0;
  a.Version.Language = 0xFFFF;  // the user's locale
  a.Version.Country = 1;
  CopyField(a.Version.Info, " ");
  a.ProtocolMajor = 1;
  a.ProtocolMinor = 9;
  a.SupportedGroups = 3;  // control and image
  CopyField(a.Manufacturer, " ");
  CopyField(a.ProductFamily, " ");
  CopyField(a.ProductName, " ");
}

bool RVTW_LoadSourceManager(TRVTWainContext& context, TRVTWainKeptHandles& kept) {
  TWainLog("RVTW_LoadSourceManager");
  if (context.State < 2 && !kept.Loaded) {
    const TRVSaneEntryPoints& library = kept.Library ? *kept.Library : SaneLibrary();
    context.Entry = &library;
    SANE_Int version = 0;
    if (TWainDSMCall(context, SaneOpen(library, version))) {
      TWainLog("  RVTW_LoadSourceManager : Load OK");
      kept.Loaded = true;
      kept.Entry = &library;
      kept.Version = version;
      context.State = 2;
    } else {
      context.Entry = nullptr;
    }
    LogResult("RVTW_LoadSourceManager", context.State > 1);
    return context.State > 1;
  }
  if (kept.Loaded) {
    context.Entry = kept.Entry;
    context.State = std::max(context.State, 2);
  }
  TWainLog("  RVTW_LoadSourceManager : already loaded");
  return true;
}

bool RVTW_UnloadSourceManager(TRVTWainContext& context, TRVTWainKeptHandles& kept, bool force) {
  TWainLog("RVTW_UnloadSourceManager");
  if (force && kept.Loaded) {
    SaneClose(*kept.Entry);
    kept.Loaded = false;
    kept.Entry = nullptr;
    kept.Version = 0;
    context.Entry = nullptr;
    context.State = 1;
    TWainLog("  RVTW_UnloadSourceManager : Unload OK");
  } else if (!force && context.State == 2) {
    context.Entry = nullptr;
    context.State = 1;
    TWainLog("  RVTW_UnloadSourceManager not Unloaded, for future uses");
  }
  return context.State == 1;
}

bool RVTW_OpenSourceManager(TRVTWainContext& context) {
  TWainLog("RVTW_OpenSourceManager");
  // The library has no separate open step: a loaded library is open.
  const bool ok = context.State == 2 && TWainDSMCall(context, SANE_STATUS_GOOD);
  if (ok) context.State = 3;
  LogResult("RVTW_OpenSourceManager", ok);
  return ok;
}

bool RVTW_CloseSourceManager(TRVTWainContext& context) {
  TWainLog("RVTW_CloseSourceManager");
  const bool ok = context.State == 3 && TWainDSMCall(context, SANE_STATUS_GOOD);
  if (ok) context.State = 2;
  LogResult("RVTW_CloseSourceManager", ok);
  return ok;
}

void FillTWainSourceList(std::vector<TW_IDENTITY>& List, TRVTWainKeptHandles& kept,
                         TRVTWainLastError* lastError) {
  TWainLog("FillTWainSourceList");
  List.clear();
  TRVTWainContext context;
  InitTWainContext(context);
  context.LastError = lastError;
  if (RVTW_LoadSourceManager(context, kept) && RVTW_OpenSourceManager(context)) {
    std::vector<TRVSaneDevice> devices;
    if (TWainDSMCall(context, SaneListDevices(*context.Entry, devices))) {
      for (const TRVSaneDevice& d : devices) {
        // A source without a product name cannot be shown or chosen.
        if (d.Model.empty()) continue;
        TW_IDENTITY id{};
        id.Id = static_cast<uint32_t>(List.size() + 1);
        id.ProtocolMajor = 1;
        id.ProtocolMinor = 9;
        id.SupportedGroups = 3;
        CopyField(id.Version.Info, d.Name);
        CopyField(id.Manufacturer, d.Vendor);
        CopyField(id.ProductFamily, d.Type);
        CopyField(id.ProductName, d.Model);
        List.push_back(id);
      }
      context.ReturnCode = TWRC_ENDOFLIST;
    }
    RVTW_CloseSourceManager(context);
    RVTW_UnloadSourceManager(context, kept, false);
  }
  TWainLog("  FillTWainSourceList : " + std::to_string(List.size()) + " sources");
}

void FreeTWainResources(TRVTWainKeptHandles& kept) {
  TWainLog("FreeTWainResources");
  TRVTWainContext context;
  InitTWainContext(context);
  RVTW_UnloadSourceManager(context, kept, true);
}

// ---------------------------------------------------------------- transfer steps

TRVTWainImageInfoResult XferReadyImageInfo(const TW_IMAGEINFO& info, int32_t& transferMode,
                                           bool nativePixelFormat, TIOParamsVals& params, TRVBitmap& bitmap) {
  if (transferMode != 2 && (info.Planar != 0 || info.Compression != TWCP_NONE || info.PixelType > TWPT_RGB))
    transferMode = 0;
  const int32_t bpp = info.BitsPerPixel;
  if (bpp >= 1 && bpp <= 8) {
    params.BitsPerSample = bpp;
    params.SamplesPerPixel = 1;
  } else if (bpp == 16) {
    params.BitsPerSample = 16;
    params.SamplesPerPixel = 1;
  } else if (bpp == 24) {
    params.BitsPerSample = 8;
    params.SamplesPerPixel = 3;
  } else if (bpp == 48) {
    params.BitsPerSample = 16;
    params.SamplesPerPixel = 3;
  }
  auto resolution = [](const TW_FIX32& f) {
    return common::RoundInt(static_cast<long double>(f.Whole) + static_cast<long double>(f.Frac) / 65536.0L);
  };
  params.SetDpiX(resolution(info.XResolution));
  params.SetDpiY(resolution(info.YResolution));
  params.Width = info.ImageWidth;
  params.Height = info.ImageLength;
  params.StoredWidth = info.ImageWidth;
  params.StoredHeight = info.ImageLength;
  params.FreeColorMap();
  if (info.ImageWidth == 0 || info.ImageLength == 0) return TRVTWainImageInfoResult::Abort;
  if (info.ImageWidth < 0 || info.ImageLength < 0) return TRVTWainImageInfoResult::UnknownSize;
  TRVPixelFormat format = rv24RGB;
  if (nativePixelFormat) {
    switch (bpp) {
      case 1:
        format = rv1g;
        break;
      case 8:
        format = rv8g;
        break;
      case 16:
        format = rv16g;
        break;
      case 48:
        format = rv48RGB;
        break;
      default:
        format = rv24RGB;
        break;
    }
  } else if (bpp == 1 && info.PixelType == TWPT_BW) {
    format = rv1g;
  }
  if (bitmap.GetWidth() != info.ImageWidth || bitmap.GetHeight() != info.ImageLength ||
      bitmap.GetPixelFormat() != format) {
    if (!bitmap.Allocate(info.ImageWidth, info.ImageLength, format)) return TRVTWainImageInfoResult::Abort;
  }
  return TRVTWainImageInfoResult::Ready;
}

void CopyBuffer(const TW_IMAGEMEMXFER& strip, int32_t bitsPerPixel, bool nativePixelFormat,
                TRVBitmap& bitmap) {
  TWainLog("CopyBuffer compression=" + std::to_string(strip.Compression) +
           " BytesPerRow=" + std::to_string(strip.BytesPerRow) + " Columns=" + std::to_string(strip.Columns) +
           " Rows=" + std::to_string(strip.Rows) + " XOffset=" + std::to_string(strip.XOffset) + " YOffset=" +
           std::to_string(strip.YOffset) + " BytesWritten=" + std::to_string(strip.BytesWritten));
  const auto* memory = static_cast<const uint8_t*>(strip.Memory.TheMem);
  const int64_t bpp = bitsPerPixel;
  if (!memory || strip.BytesPerRow == 0 || (bpp != 1 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 48))
    return;
  const int64_t width = bitmap.GetWidth();
  const int64_t height = bitmap.GetHeight();
  const int64_t x0 = strip.XOffset;
  const int64_t y0 = strip.YOffset;
  if (x0 >= width || y0 >= height) return;
  // Rows: those the strip holds, within the memory it came in, and within the bitmap.
  int64_t rows = strip.Rows;
  if (strip.Memory.Length != 0) rows = std::min<int64_t>(rows, strip.Memory.Length / strip.BytesPerRow);
  rows = std::min(rows, height - y0);
  // Columns: those a row of the strip holds, and within the bitmap.
  int64_t columns = std::min<int64_t>(strip.Columns, int64_t(strip.BytesPerRow) * 8 / bpp);
  columns = std::min(columns, width - x0);
  if (rows <= 0 || columns <= 0) return;
  const TRVPixelFormat format = bitmap.GetPixelFormat();
  for (int64_t r = 0; r < rows; ++r) {
    const uint8_t* src = memory + r * int64_t(strip.BytesPerRow);
    uint8_t* dst = bitmap.GetScanLine(static_cast<int32_t>(y0 + r));
    if (bpp == 1) {
      if (format == rv1g) CopyBitBlock(src, dst, 0, x0, columns);
      continue;
    }
    for (int64_t c = 0; c < columns; ++c) {
      const int64_t x = x0 + c;
      if (bpp == 8) {
        if (nativePixelFormat && format == rv8g)
          dst[x] = src[c];
        else if (format == rv24RGB)
          std::memset(dst + x * 3, src[c], 3);
      } else if (bpp == 16) {
        uint16_t v;
        std::memcpy(&v, src + c * 2, 2);
        if (nativePixelFormat && format == rv16g)
          std::memcpy(dst + x * 2, &v, 2);
        else if (format == rv24RGB)
          std::memset(dst + x * 3, v >> 8, 3);
      } else if (bpp == 24) {
        if (format != rv24RGB) continue;
        dst[x * 3] = src[c * 3 + 2];
        dst[x * 3 + 1] = src[c * 3 + 1];
        dst[x * 3 + 2] = src[c * 3];
      } else {  // 48: three 16-bit samples, red, green and blue
        uint16_t s[3];
        std::memcpy(s, src + c * 6, 6);
        if (nativePixelFormat && format == rv48RGB) {
          std::memcpy(dst + x * 6, s, 6);
        } else if (format == rv24RGB) {
          dst[x * 3] = static_cast<uint8_t>(s[2] >> 8);
          dst[x * 3 + 1] = static_cast<uint8_t>(s[1] >> 8);
          dst[x * 3 + 2] = static_cast<uint8_t>(s[0] >> 8);
        }
      }
    }
  }
}

std::string TWainTempFileName() {
  constexpr size_t kLimit = 254;
  std::string name = MakeTempFileName() + ".bmp";
  if (name.size() > kLimit) name = TemporaryDirectory() + "rastovatwain03.bmp";
  if (name.size() > kLimit) name = "rastovatwain03.bmp";
  return name;
}

}  // namespace rv
