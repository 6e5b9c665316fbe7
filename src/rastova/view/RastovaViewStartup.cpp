#include "rastova/view/RastovaViewStartup.h"

#include "rastova/core/RVStartup.h"
#include "rastova/io/RastovaIOStartup.h"
#include "rastova/view/canvas/RVCanvas.h"

namespace rv {

int32_t ScreenBitsPerPixel = 32;
bool RemoteSession = false;
int32_t EdgeWidth = 2, EdgeHeight = 2;
int32_t BorderWidth = 1, BorderHeight = 1;
int32_t PixelGridMinZoom = 400;
platform::TPen NotPen{platform::clBlack, 1, platform::psSolid, platform::pmNot};

void RegisterRastovaViewStartup() {
  RegisterRastovaIOStartup();
  RegisterRastovaStartupStep(TRVStartupSlot::GdiPlus, "RVGdiPlus", InitGdiPlusBinding, nullptr);
  RegisterRastovaStartupStep(TRVStartupSlot::View, "RastovaView", RastovaViewStartup, RastovaViewShutdown);
}

void RastovaViewStartup() {}

void RastovaViewShutdown() {}

bool LoadGradientFill() { return true; }

bool GradientRect(const platform::TRect&, platform::TCanvas&, platform::TColor, bool, platform::TColor) {
  return false;
}

void LoadCursorTable() {}

const char* ViewCursorName(int32_t) { return ""; }

}  // namespace rv
