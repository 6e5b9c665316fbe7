#include "rastova/view/RastovaViewStartup.h"

#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>

#include "common/Round.h"
#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Color.h"
#include "platform/ui/Cursors.h"
#include "rastova/core/RVStartup.h"
#include "rastova/io/RastovaIO.h"
#include "rastova/io/RastovaIOStartup.h"
#include "rastova/view/canvas/RVCanvas.h"
#include "rastova/view/presets/RVPresetIm.h"
#include "rastova/view/previews/IOPreviews.h"
#include "rastova/view/streams/RVLayersFormat.h"
#include "rastova/view/vector/RVVectStreams.h"
#include "rastova/view/text/RVTextControl.h"
#include "rastova/view/vect/RVVectStartup.h"

// The cursor pictures are a resource of this library; a static library registers its
// resources by an explicit call.
static void InitViewResources() { Q_INIT_RESOURCE(rastova_view_resources); }

namespace rv {

int32_t ScreenBitsPerPixel = 32;
bool RemoteSession = false;
int32_t EdgeWidth = 2, EdgeHeight = 2;
int32_t BorderWidth = 1, BorderHeight = 1;
int32_t PixelGridMinZoom = 400;
platform::TPen NotPen{platform::clBlack, 1, platform::psSolid, platform::pmNot};

namespace {

bool resourcesReady = false;

void EnsureResources() {
  if (resourcesReady) return;
  InitViewResources();
  resourcesReady = true;
}

struct TViewCursor {
  const char* name;
  int hotX, hotY;
};

// Ids 1778 .. 1814 in order. The names the system gives without a meaning ("1795" ...) show
// the plain cross.
constexpr TViewCursor kViewCursors[kLastViewCursor - kFirstViewCursor + 1] = {
    {"ZOOMMENO", 12, 12}, {"ZOOMPIU", 12, 12}, {"CROCE", 15, 15},   {"GOMMA", 5, 26},    {"MANO", 15, 15},
    {"PENNA", 3, 28},     {"CROCE1", 15, 15},  {"CROCE3", 15, 15},  {"MOVE2", 15, 15},   {"MOVEY", 15, 15},
    {"MOVE1", 15, 15},    {"MOVEX", 15, 15},   {"MOVE", 15, 15},    {"CROCE3+", 15, 15}, {"CROCE3-", 15, 15},
    {"CROCE2", 15, 15},   {"CROCE2+", 15, 15}, {"CROCE2-", 15, 15}, {"CROCE2-", 15, 15}, {"1795", 15, 15},
    {"1796", 15, 15},     {"1797", 15, 15},    {"1798", 15, 15},    {"1799", 15, 15},    {"1800", 15, 15},
    {"1801", 15, 15},     {"1802", 15, 15},    {"1803", 15, 15},    {"1803", 15, 15},    {"1805", 15, 15},
    {"1806", 15, 15},     {"1807", 15, 15},    {"1808", 15, 15},    {"ROT1", 15, 15},    {"ROT2", 15, 15},
    {"ROT3", 15, 15},     {"ROT4", 15, 15},
};

// Row y's colour of a vertical gradient, or column x's of a horizontal one, over n rows or
// columns: Color1 at the first, Color2 at the last.
QColor GradientStep(const QColor& c1, const QColor& c2, int64_t i, int64_t n) {
  if (n <= 1) return c1;
  auto mix = [&](int a, int b) { return a + static_cast<int>((int64_t(b) - a) * i / (n - 1)); };
  return QColor(mix(c1.red(), c2.red()), mix(c1.green(), c2.green()), mix(c1.blue(), c2.blue()));
}

}  // namespace

void RegisterRastovaViewStartup() {
  InstallLayersFormat();
  InstallVectFormats();
  RegisterRastovaIOStartup();
  RegisterRastovaStartupStep(TRVStartupSlot::GdiPlus, "RVGdiPlus", InitGdiPlusBinding, nullptr);
  RegisterRastovaStartupStep(TRVStartupSlot::Vect, "RVVect", RVVectStartup, RVVectShutdown);
  RegisterRastovaStartupStep(TRVStartupSlot::View, "RastovaView", RastovaViewStartup, RastovaViewShutdown);
  RegisterRastovaStartupStep(TRVStartupSlot::TextC, "RVTextC", RegisterTextMemoFormat, nullptr);
  RegisterRastovaStartupStep(TRVStartupSlot::PresetIm, "RVPresetIm", CreatePresetImages, FreePresetImages);
}

void RastovaViewStartup() {
  EnsureResources();
  RemoteSession = false;
  EdgeWidth = EdgeHeight = 2;
  BorderWidth = BorderHeight = 1;
  PixelGridMinZoom = 400;
  NotPen = platform::TPen{platform::clBlack, 1, platform::psSolid, platform::pmNot};
  InstallIOPreviewsDialog();
  ScreenBitsPerPixel = 32;
  ScreenDpiX = ScreenDpiY = 96;
  const QScreen* screen = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                              ? QGuiApplication::primaryScreen()
                              : nullptr;
  if (screen) {
    ScreenBitsPerPixel = screen->depth() == 24 ? 24 : 32;
    ScreenDpiX = std::max(1, common::RoundInt(screen->logicalDotsPerInchX()));
    ScreenDpiY = std::max(1, common::RoundInt(screen->logicalDotsPerInchY()));
  }
}

void RastovaViewShutdown() {
  SetIOPreviewsDialogHook(nullptr);
  NotPen = platform::TPen{platform::clBlack, 1, platform::psSolid, platform::pmNot};
  ScreenDpiX = ScreenDpiY = 96;
}

bool LoadGradientFill() { return true; }

bool GradientRect(const platform::TRect& Rect, platform::TCanvas& Canvas, platform::TColor Color1,
                  bool Vertical, platform::TColor Color2) {
  const platform::TRect r = Rect.Normalized();
  if (r.IsEmpty()) return false;
  const QColor c1 = platform::ToQColor(Color1), c2 = platform::ToQColor(Color2);
  platform::TBitmap& bitmap = Canvas.Bitmap();
  const platform::TPixelFormat format = bitmap.PixelFormat();
  if (format != platform::pf24bit && format != platform::pf32bit) {
    // Indexed pixels: one band per row or column through the canvas.
    const platform::TBrush saved = Canvas.Brush;
    Canvas.Brush.Style = platform::bsSolid;
    const platform::TRect clip = Canvas.ClipRect();
    const int64_t n = Vertical ? r.Height() : r.Width();
    const int64_t from = std::max<int64_t>(0, (Vertical ? clip.Top - r.Top : clip.Left - r.Left));
    const int64_t to = std::min<int64_t>(n, (Vertical ? clip.Bottom - r.Top : clip.Right - r.Left));
    for (int64_t i = from; i < to; ++i) {
      Canvas.Brush.Color = platform::FromQColor(GradientStep(c1, c2, i, n));
      const int k = static_cast<int>(i);
      Canvas.FillRect(Vertical ? platform::TRect{r.Left, r.Top + k, r.Right, r.Top + k + 1}
                               : platform::TRect{r.Left + k, r.Top, r.Left + k + 1, r.Bottom});
    }
    Canvas.Brush = saved;
    return true;
  }
  QImage image = bitmap.Image();
  QPainter painter(&image);
  if (const auto& clip = Canvas.ClipRegion()) painter.setClipRegion(*clip);
  // From the centre of the first row (or column) to the centre of the last, so that they take
  // the two colours exactly.
  QLinearGradient gradient(Vertical ? QPointF(0, r.Top + 0.5) : QPointF(r.Left + 0.5, 0),
                           Vertical ? QPointF(0, r.Bottom - 0.5) : QPointF(r.Right - 0.5, 0));
  gradient.setColorAt(0, c1);
  gradient.setColorAt(1, c2);
  painter.fillRect(QRect(r.Left, r.Top, r.Width(), r.Height()), gradient);
  painter.end();
  Canvas.NotifyChanged(r);
  return true;
}

const char* ViewCursorName(int32_t Id) {
  if (Id < kFirstViewCursor || Id > kLastViewCursor) return "";
  return kViewCursors[Id - kFirstViewCursor].name;
}

void LoadCursorTable() {
  EnsureResources();
  for (int32_t id = kFirstViewCursor; id <= kLastViewCursor; ++id) {
    const TViewCursor& c = kViewCursors[id - kFirstViewCursor];
    const QImage image(QStringLiteral(":/rastova/cursors/%1.png").arg(QLatin1StringView(c.name)));
    // A picture that cannot be had leaves the id to the default cursor.
    if (image.isNull())
      platform::Cursors().Remove(id);
    else
      platform::Cursors().SetFromImage(id, image, c.hotX, c.hotY);
  }
}

}  // namespace rv
