// The metafile player: the check of the headers and the record chain, then every record played
// into a small picture through a canvas, and the import of the I/O component at a small size.
//
// Text is drawn only with fonts, which need a running application; with ZEPHOR_FUZZ_FONTS set
// the target runs an offscreen one. Fontconfig then leaks a few blocks of its own at its first
// use (lsan-suppressions.txt names it), so the replay of the seeds runs without fonts and
// reads the text records only.
#include <QGuiApplication>
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "fuzz/ImageInput.h"
#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Canvas.h"
#include "rastova/core/RVStream.h"
#include "rastova/io/RastovaIO.h"
#include "rastova/io/metafile/RVMetafilePlayer.h"

namespace {

void StartApplication() {
  static QGuiApplication* app = []() -> QGuiApplication* {
    if (!getenv("ZEPHOR_FUZZ_FONTS")) return nullptr;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "metafile_fuzzer";
    static char* argv[] = {name, nullptr};
    return new QGuiApplication(argc, argv);
  }();
  (void)app;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  StartApplication();
  zephor_fuzz::StartImageLibrary();
  rv::TRVMetafilePlayer player;
  if (!player.LoadFromBytes(std::vector<uint8_t>(data, data + size))) return 0;
  // Small pictures: the records are what is tried, not the filling of large ones.
  player.Width = std::clamp(player.Width, 1, 96);
  player.Height = std::clamp(player.Height, 1, 96);
  platform::TBitmap bitmap(player.Width, player.Height, platform::pf32bit);
  platform::TCanvas canvas(bitmap);
  player.Draw(canvas, 0, 0);
  rv::TRVMemStream stream(data, static_cast<int64_t>(size));
  rv::TRastovaIO io;
  io.ImportMetafileStream(stream, 48, -1, true);
  return 0;
}
