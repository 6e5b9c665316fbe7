// Text in metafiles: present in the box its position, alignment, font height and advances give
// it, turned by the escapement, over the background in the opaque mode, clipped to its
// rectangle. Fonts need a running application.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <functional>

#include "rastova/io/metafile/tests/MetafileTestTools.h"
#include "rastova/io/metafile/tests/MetafileWriter.h"

namespace rv::metatest {
namespace {

QGuiApplication& TextApp() {
  static int argc = 1;
  static char name[] = "test_rastova_metafile_text";
  static char* argv[] = {name, nullptr};
  // Never destroyed: destroying it among Qt's own exit-time destructors is not safe.
  static QGuiApplication* app = new QGuiApplication(argc, argv);
  return *app;
}

// The box of the pixels that are neither white nor `background`.
QRect InkBox(const QImage& image, QRgb background = kWhite) {
  QRect box;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QRgb c = At(image, x, y);
      if (c != kWhite && c != background) box |= QRect(x, y, 1, 1);
    }
  return box;
}

TEST(MetafileText, PresentInItsBox) {
  TextApp();
  const struct {
    const char* what;
    std::function<void(TEmfWriter&)> draw;
    QRect within;   // the ink lies inside
    QSize atLeast;  // and spans at least this much
  } cases[] = {
      {"top left", [](TEmfWriter& w) { w.Add(TextW(10, 10, "HHHH")); }, QRect(10, 10, 70, 26), QSize(40, 12)},
      {"baseline",
       [](TEmfWriter& w) {
         w.Add(U_EMRSETTEXTALIGN_set(U_TA_BASELINE));
         w.Add(TextW(10, 40, "HHHH"));
       },
       QRect(10, 20, 70, 21), QSize(40, 12)},
      {"right aligned",
       [](TEmfWriter& w) {
         w.Add(U_EMRSETTEXTALIGN_set(U_TA_RIGHT));
         w.Add(TextW(190, 10, "HHHH"));
       },
       QRect(120, 10, 71, 26), QSize(40, 12)},
      {"centred",
       [](TEmfWriter& w) {
         w.Add(U_EMRSETTEXTALIGN_set(U_TA_CENTER));
         w.Add(TextW(100, 10, "HHHH"));
       },
       QRect(65, 10, 71, 26), QSize(40, 12)},
      {"the record's advances", [](TEmfWriter& w) { w.Add(TextW(10, 10, "HH", U_ETO_NONE, U_RCL_DEF, 100)); },
       QRect(10, 10, 125, 26), QSize(100, 12)},
      {"clipped to its rectangle",
       [](TEmfWriter& w) { w.Add(TextW(10, 10, "HHHHHHHH", U_ETO_CLIPPED, Rc(0, 0, 40, 60))); },
       QRect(10, 10, 30, 26), QSize(25, 12)},
      {"turned a quarter up",
       [](TEmfWriter& w) {
         w.Select(w.Font(-20, "Arial", 900));
         w.Add(U_EMRSETTEXTALIGN_set(U_TA_BASELINE));
         w.Add(TextW(50, 55, "HHHH"));
       },
       QRect(30, 0, 21, 56), QSize(12, 40)},
  };
  for (const auto& c : cases) {
    TEmfWriter w(200, 60);
    w.Select(w.Font(-20, "Arial"));
    w.Add(U_EMRSETBKMODE_set(U_TRANSPARENT));
    c.draw(w);
    const QImage image = Render(w.Finish());
    ASSERT_FALSE(image.isNull()) << c.what;
    const QRect ink = InkBox(image);
    EXPECT_TRUE(c.within.contains(ink))
        << c.what << ": ink at " << ink.x() << "," << ink.y() << " " << ink.width() << "x" << ink.height();
    EXPECT_GE(ink.width(), c.atLeast.width()) << c.what;
    EXPECT_GE(ink.height(), c.atLeast.height()) << c.what;
  }
}

TEST(MetafileText, ColoursBackgroundAndScale) {
  TextApp();
  // Red text over a green cell in the opaque background mode.
  TEmfWriter w(200, 60);
  w.Select(w.Font(-20, "Arial"));
  w.Add(U_EMRSETTEXTCOLOR_set(Rgb(255, 0, 0)));
  w.Add(U_EMRSETBKCOLOR_set(Rgb(0, 255, 0)));
  w.Add(U_EMRSETBKMODE_set(U_OPAQUE));
  w.Add(TextW(10, 10, "HHHH"));
  const std::vector<uint8_t> bytes = w.Finish();
  const QImage image = Render(bytes);
  EXPECT_GT(CountColour(image, kRed), 40);
  const QRect cell = InkBox(image, kRed);  // the green cell
  EXPECT_EQ(cell.topLeft(), QPoint(10, 10));
  EXPECT_GE(cell.height(), 20);
  EXPECT_EQ(At(image, 5, 5), kWhite);
  // At half the size the text takes half the room.
  const QRect full = InkBox(image, kGreen);
  const QRect half = InkBox(Render(bytes, QSize(100, 30)), kGreen);
  EXPECT_NEAR(half.width(), full.width() / 2.0, 3);
  EXPECT_NEAR(half.left(), 5, 1);
}

TEST(MetafileText, WmfTextOut) {
  TextApp();
  TWmfWriter w(200, 60, 96);
  w.Add(U_WMRSETBKMODE_set(U_TRANSPARENT));
  w.Add(U_WMRTEXTOUT_set(Pt16(10, 10), const_cast<char*>("HHHH")));
  const QImage image = Render(w.Finish());
  const QRect ink = InkBox(image);
  EXPECT_FALSE(ink.isEmpty());
  EXPECT_TRUE(QRect(10, 10, 120, 30).contains(ink));
}

}  // namespace
}  // namespace rv::metatest
