// The process-wide settings of the I/O start-up: what the start-up gives them, and that each
// one governs what it names (the quantizer's method and NeuQuant quality, the position base of
// the buffered readers the component makes).
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVQuantizer.h"
#include "rastova/core/RVStartup.h"
#include "rastova/core/RVStream.h"
#include "rastova/io/RVFileFormat.h"
#include "rastova/io/RastovaIO.h"
#include "rastova/io/RastovaIOStartup.h"

namespace rv {
namespace {

// Puts the settings back as the start-up left them.
struct SettingsGuard {
  ~SettingsGuard() {
    ColorReductionMethod = -1;
    NeuQuantSetting = -1;
    BufferedReaderRelative = false;
  }
};

// A picture of far more than 256 colours.
std::unique_ptr<TRVBitmap> ManyColours() {
  auto b = std::make_unique<TRVBitmap>(80, 60, rv24RGB);
  for (int32_t y = 0; y < 60; ++y)
    for (int32_t x = 0; x < 80; ++x)
      b->SetPixels(x, y, uint32_t(x * 3) << 16 | uint32_t(y * 4) << 8 | uint32_t((x * y) & 255));
  return b;
}

TEST(IOSettings, TheStartUpGivesEverySettingItsValue) {
  SettingsGuard guard;
  ColorReductionMethod = 1;
  NeuQuantSetting = 40;
  BufferedReaderRelative = true;
  MetafileSizeLimit = 5;
  RastovaLibraryShutdown();
  RastovaLibraryStartup();
  EXPECT_EQ(ColorReductionMethod, -1);
  EXPECT_EQ(NeuQuantSetting, -1);
  EXPECT_FALSE(BufferedReaderRelative);
  EXPECT_EQ(MetafileSizeLimit, 8000);
  EXPECT_TRUE(TempDirectory.empty());
}

TEST(IOSettings, TheColourReductionSettingsChooseTheQuantizer) {
  SettingsGuard guard;
  auto picture = ManyColours();
  struct Case {
    int32_t method, setting, colours;
    TRVQuantizerKind kind;
    int32_t samplingFactor;  // NeuQuant only
  } cases[] = {
      {-1, -1, 100, TRVQuantizerKind::VarianceSplit, 0},
      {-1, -1, 200, TRVQuantizerKind::NeuQuant, 2},  // 4800 pixels
      {0, -1, 100, TRVQuantizerKind::NeuQuant, 2},
      {1, -1, 200, TRVQuantizerKind::VarianceSplit, 0},
      {0, 100, 200, TRVQuantizerKind::NeuQuant, 1},
      {0, 0, 200, TRVQuantizerKind::NeuQuant, 30},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "method " << c.method << ", setting " << c.setting << ", " << c.colours);
    ColorReductionMethod = c.method;
    NeuQuantSetting = c.setting;
    std::vector<TRGB> palette(static_cast<size_t>(c.colours));
    TRVQuantizer q(*picture, c.colours, 255, palette.data());
    EXPECT_EQ(q.Kind(), c.kind);
    EXPECT_EQ(q.SamplingFactor(), c.samplingFactor);
  }
}

// A registered format whose reader notes where its stream says it stands.
int64_t seenPosition = -1, seenSize = -1;
void NotePosition(TStream& stream, TRVBitmap&, TIOParamsVals&, bool, TRVProgressRec&) {
  seenPosition = stream.GetPosition();
  seenSize = stream.GetSize();
}

TEST(IOSettings, TheBufferedReadersCountFromWhereTheSettingSays) {
  SettingsGuard guard;
  auto row = std::make_unique<TRVFileFormatInfo>();
  row->FileType = 101;
  row->Description = "Position probe";
  row->Extensions = "PPB";
  row->ReadRoutine = NotePosition;
  RegisterFileFormat(std::move(row));
  std::vector<uint8_t> data(300, 7);
  for (bool relative : {false, true}) {
    SCOPED_TRACE(relative ? "relative" : "absolute");
    BufferedReaderRelative = relative;
    TRVMemStream stream(data.data(), 300);
    stream.SetPosition(100);
    TRastovaIO io;
    seenPosition = seenSize = -1;
    io.ParamsFromStreamFormat(stream, 101);
    EXPECT_EQ(seenPosition, relative ? 0 : 100);
    EXPECT_EQ(seenSize, relative ? 200 : 300);
  }
  UnregisterFileFormat(101);
}

}  // namespace
}  // namespace rv
