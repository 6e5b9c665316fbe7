// The six-sided point editor driven through a headless pane: facing points, depth picking,
// the band, the edit-line marks and the background pictures.
#include <QImage>
#include <QTemporaryDir>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "editor/editors/uScDODUDA.h"
#include "editor/tests/ShapeEditorTestUtil.h"
#include "platform/gfx/RecordingDrawing.h"

using editor::TScDODUDA;
using editor_test::PaintRecorder;
using editor_test::Pane;

namespace {

class DodudaTest : public editor_test::ShapeEditorTest {
 protected:
  // A 9 x 9 sphere seen from the front (x across, z up): columns 1 and 7 lie on the same screen
  // points, one in front of the axis and one behind it.
  shape::TCS& Sphere() {
    shape::TCS& cs = NewShape(shape::SCTYPE_SPHERE, 9, 9);
    doduda.ResetForShape();
    doduda.SyncFromShape(cs);
    return cs;
  }
  static int Marks(const std::vector<platform::TDrawCall>& calls) {
    int n = 0;
    for (const auto& c : calls)
      if (c.Kind == platform::TDrawCall::OutlineRect || c.Kind == platform::TDrawCall::OutlineEllipse) ++n;
    return n;
  }
  TScDODUDA doduda;
};

}  // namespace

TEST_F(DodudaTest, SurfaceHidesThePointsBehindIt) {
  shape::TCS& cs = Sphere();
  Pane pane(doduda, cs);
  settings::AppSettings.DodudaSurface = true;
  PaintRecorder rec;
  pane.Paint();
  // Front view: the viewer looks along -y, so the points with y < 0 face it.
  ASSERT_TRUE(doduda.SurfaceMask[7][4]);
  ASSERT_FALSE(doduda.SurfaceMask[1][4]);
  int mask = 0;
  for (int i = 0; i < 9; ++i)
    for (int j = 0; j < 9; ++j) mask += doduda.SurfaceMask[i][j];
  EXPECT_EQ(Marks(rec.calls), mask);
  EXPECT_LT(mask, 81);
  // A click on the shared screen point picks the facing point.
  const QPoint p = At(doduda, cs.CP[1][4]);
  ASSERT_EQ(p, At(doduda, cs.CP[7][4]));
  pane.Drag({p});
  EXPECT_TRUE(cs.SP[7][4]);
  EXPECT_FALSE(cs.SP[1][4]);
  // A band over the whole pane selects only the facing points.
  pane.Drag({{1, 1}, {399, 399}});
  EXPECT_FALSE(cs.SP[1][4]);
  EXPECT_TRUE(cs.SP[7][4]);
  // Hidden points cannot be hit either: move the front point away, and its twin stays unhit.
  settings::AppSettings.DodudaSurface = false;
  shape::FillPointFlags(cs.SP, 9, 9, false);
  shape::CountSelectedPoints(cs);
  rec.calls.clear();
  pane.Paint();
  EXPECT_EQ(Marks(rec.calls), 81);
}

TEST_F(DodudaTest, TheDeeperOfTwoCoincidingPointsWins) {
  shape::TCS& cs = Sphere();
  settings::AppSettings.DodudaSurface = false;
  Pane pane(doduda, cs);
  pane.Paint();
  // Depth along -y: column 7 (y < 0) lies nearer the viewer, DepthOf larger.
  ASSERT_GT(doduda.DepthOf(cs.CP[7][4]), doduda.DepthOf(cs.CP[1][4]));
  pane.Drag({At(doduda, cs.CP[1][4])});
  EXPECT_TRUE(cs.SP[7][4]);
  EXPECT_FALSE(cs.SP[1][4]);
  EXPECT_TRUE(doduda.HitPoint(cs, At(doduda, cs.CP[1][4]).x(), At(doduda, cs.CP[1][4]).y()));
  // From the back the other one is nearer.
  doduda.SelectViewSide(3);
  pane.Paint();
  pane.Drag({At(doduda, cs.CP[1][4])});
  EXPECT_TRUE(cs.SP[1][4]);
  EXPECT_FALSE(cs.SP[7][4]);
}

TEST_F(DodudaTest, ABandOverSelectedPointsClearsThemAndADragMovesTheSelection) {
  shape::TCS& cs = Sphere();
  settings::AppSettings.DodudaSurface = false;
  Pane pane(doduda, cs);
  pane.Paint();
  pane.Drag({{1, 1}, {399, 399}});
  EXPECT_EQ(cs.Count, 8 * 7 + 2);
  // Pressed without Shift the corner would catch the frame's ring; Shift alone always bands.
  pane.Drag({{1, 1}, {399, 399}}, Qt::ShiftModifier);
  EXPECT_EQ(cs.Count, 0);
  // A drag on one point moves it in the view plane; its depth stays.
  const shape::TDbl3D before = cs.CP[0][4];
  const QPoint p = At(doduda, before);
  pane.Drag({p, p + QPoint(10, 0), p + QPoint(20, -10)});
  EXPECT_NEAR(cs.CP[0][4][0], before[0] + 20.0 / 256, 1e-9);
  EXPECT_NEAR(cs.CP[0][4][2], before[2] + 10.0 / 256, 1e-9);
  EXPECT_EQ(cs.CP[0][4][1], before[1]);
  ExpectSame(cs.CP[8][4], cs.CP[0][4]);  // the seam copy follows
  EXPECT_TRUE(pane.upResult);
}

TEST_F(DodudaTest, EditLineMarksArePublishedAndDrawnInSilver) {
  shape::TCS& cs = Sphere();
  settings::AppSettings.DodudaSurface = false;
  doduda.EditColumnMarks[3] = 0;
  doduda.EditRowMarks[5] = 0;
  doduda.PublishLineMarks();
  EXPECT_EQ(shape::ColumnMarks[3], 0);
  EXPECT_EQ(shape::ColumnMarks[2], 1);
  EXPECT_EQ(shape::RowMarks[5], 0);
  Pane pane(doduda, cs);
  auto silverSegments = [&] {
    PaintRecorder rec;
    pane.Paint();
    size_t n = 0;
    for (const auto& c : rec.calls)
      if (c.Kind == platform::TDrawCall::Lines && c.Color == 0xFFC0C0C0) n += c.Points.size() / 2;
    return n;
  };
  settings::AppSettings.DodudaLine = false;
  EXPECT_EQ(silverSegments(), 0u);
  settings::AppSettings.DodudaLine = true;
  // Column 3 and row 5 have 8 segments each, every one drawn by the two cells it borders.
  EXPECT_EQ(silverSegments(), 32u);
  doduda.ResetForShape();
  EXPECT_EQ(doduda.EditColumnMarks[3], 1);
  EXPECT_EQ(doduda.EditRowMarks[5], 1);
}

TEST_F(DodudaTest, ARepaintAfterOtherSettingsDrawsAsAFreshEditorWould) {
  // The mesh keeps its buffers from paint to paint: a repaint with other settings must draw
  // exactly what an editor painting for the first time draws, and leave the same mask.
  shape::TCS& cs = NewShape(shape::SCTYPE_SPHERE, 17, 13);
  // Crumpled across the view, so that the triangles of one step and of two or three steps
  // often face differently.
  uint32_t seed = 7;
  auto jitter = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return ((seed >> 8) % 1000) / 1000.0 - 0.5;
  };
  for (int i = 0; i < 17; ++i)
    for (int j = 0; j < 13; ++j) {
      cs.CP[i][j][0] += 0.5 * jitter();
      cs.CP[i][j][2] += 0.5 * jitter();
    }
  shape::CopySeams(cs, 0);
  cs.SP[3][4] = cs.RP[5][6] = true;
  doduda.ResetForShape();
  doduda.SyncFromShape(cs);
  doduda.EditRowMarks[5] = 0;
  Pane pane(doduda, cs);
  struct Step {
    int viewLevel;
    bool surface, line;
  } steps[] = {{1, false, true}, {2, true, false}, {1, true, true}, {3, false, false}, {1, true, false}};
  for (const Step& step : steps) {
    SCOPED_TRACE(testing::Message() << "level " << step.viewLevel << " surface " << step.surface);
    settings::AppSettings.ViewLevel = step.viewLevel;
    settings::AppSettings.DodudaSurface = step.surface;
    settings::AppSettings.DodudaLine = step.line;
    std::vector<platform::TDrawCall> reused, fresh;
    {
      PaintRecorder rec;
      pane.Paint();
      reused = rec.calls;
    }
    TScDODUDA first;
    first.ResetForShape();
    first.SyncFromShape(cs);
    first.EditRowMarks[5] = 0;
    Pane other(first, cs);
    {
      PaintRecorder rec;
      other.Paint();
      fresh = rec.calls;
    }
    // Two segments for each triangle of the step's cells that faces the viewer (every one with
    // the surface off).
    const int st = step.viewLevel;
    size_t want = 0, drawn = 0;
    for (int i = 0; i + st <= 16; i += st)
      for (int j = 0; j + st <= 12; j += st) {
        const auto& p = cs.CP;
        want += !step.surface || doduda.Faces(p[i][j], p[i + st][j], p[i][j + st]) ? 2 : 0;
        want += !step.surface || doduda.Faces(p[i + st][j + st], p[i][j + st], p[i + st][j]) ? 2 : 0;
      }
    for (const auto& c : reused)  // the mesh's lines are opaque, the cube's translucent
      if (c.Kind == platform::TDrawCall::Lines && (c.Color >> 24) == 0xFF) drawn += c.Points.size() / 2;
    EXPECT_EQ(drawn, want);
    ASSERT_EQ(reused.size(), fresh.size());
    for (size_t k = 0; k < reused.size(); ++k) {
      EXPECT_EQ(reused[k].Kind, fresh[k].Kind) << k;
      EXPECT_EQ(reused[k].Color, fresh[k].Color) << k;
      EXPECT_TRUE(reused[k].Points == fresh[k].Points) << k;
      EXPECT_TRUE(reused[k].Rect == fresh[k].Rect) << k;
    }
    EXPECT_EQ(std::memcmp(doduda.SurfaceMask, first.SurfaceMask, sizeof doduda.SurfaceMask), 0);
  }
}

namespace {

// A picture with a smooth pattern (no sharp edges, so the resamplers agree closely).
std::string WritePicture(const QTemporaryDir& dir, const char* name, int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      image.setPixel(x, y,
                     qRgb(128 + int(100 * std::sin(x / 37.0)), 128 + int(100 * std::cos(y / 23.0)),
                          (x + y) % 256 / 2 + 60));
  const QString path = dir.filePath(name);
  image.save(path, "PNG");
  return path.toStdString();
}

double Psnr(const platform::TBitmap& tile, const QImage& reference, int x0, int y0) {
  double sum = 0;
  for (int y = 0; y < 511; ++y)
    for (int x = 0; x < 511; ++x) {
      const QRgb r = reference.pixel(x0 + x, y0 + y);
      const platform::TColor c = tile.PixelColor(x, y);
      const int fade[3] = {qRed(r), qGreen(r), qBlue(r)};
      const int got[3] = {int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)};
      for (int k = 0; k < 3; ++k) {
        const double want = std::min(255.0, std::nearbyint(0.4 * fade[k] + 153));
        sum += (want - got[k]) * (want - got[k]);
      }
    }
  const double mse = sum / (511.0 * 511 * 3);
  return mse == 0 ? 99 : 10 * std::log10(255.0 * 255 / mse);
}

}  // namespace

TEST_F(DodudaTest, BackgroundPicturesSplitOverTheSides) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  settings::AppSettings.AutoSplitBkImage = true;
  Sphere();
  // 3:2 fills all six sides; compared with ImageMagick's Lanczos of the same picture, faded alike.
  const std::string wide = WritePicture(dir, "wide.png", 1200, 800);
  ASSERT_TRUE(doduda.LoadBackground(wide));
  EXPECT_TRUE(doduda.ShowBackground);
  EXPECT_TRUE(doduda.BackgroundLoaded);
  const std::string ref = dir.filePath("ref.png").toStdString();
  ASSERT_EQ(std::system(("convert '" + wide + "' -filter Lanczos -resize 1533x1022! '" + ref + "'").c_str()),
            0);
  const QImage reference(QString::fromStdString(ref));
  ASSERT_EQ(reference.width(), 1533);
  const int places[6][3] = {{0, 0, 0}, {511, 0, 1}, {1022, 0, 5}, {0, 511, 3}, {511, 511, 4}, {1022, 511, 2}};
  for (const auto& p : places) {
    SCOPED_TRACE(p[2]);
    ASSERT_EQ(doduda.SideBackgrounds[p[2]].Width(), 511);
    EXPECT_GT(Psnr(doduda.SideBackgrounds[p[2]], reference, p[0], p[1]), 35);
  }
  // 3:1 fills the sides in pairs.
  for (auto& b : doduda.SideBackgrounds) b.SetSize(0, 0);
  ASSERT_TRUE(doduda.LoadBackground(WritePicture(dir, "band.png", 1200, 400)));
  for (int side = 0; side < 3; ++side)
    for (int y = 0; y < 511; y += 50)
      for (int x = 0; x < 511; x += 50)
        EXPECT_EQ(doduda.SideBackgrounds[side].PixelColor(x, y),
                  doduda.SideBackgrounds[side + 3].PixelColor(x, y));
  // Other proportions fill only the current side.
  for (auto& b : doduda.SideBackgrounds) b.SetSize(0, 0);
  doduda.SelectViewSide(4);
  EXPECT_FALSE(doduda.BackgroundLoaded);
  ASSERT_TRUE(doduda.LoadBackground(WritePicture(dir, "square.png", 800, 800)));
  for (int side = 0; side < 6; ++side) EXPECT_EQ(doduda.SideBackgrounds[side].Width(), side == 4 ? 511 : 0);
  // A side without a picture clears the flag, so the background cannot be switched on there.
  doduda.SelectViewSide(2);
  EXPECT_FALSE(doduda.BackgroundLoaded);
  doduda.ShowBackground = false;
  doduda.ToggleBackground();
  EXPECT_FALSE(doduda.ShowBackground);
  doduda.SelectViewSide(4);
  EXPECT_TRUE(doduda.BackgroundLoaded);
}

TEST_F(DodudaTest, DamagedPicturesLeaveEverythingAsItWas) {
  QTemporaryDir dir;
  Sphere();
  const std::string good = WritePicture(dir, "good.png", 300, 300);
  QFile file(QString::fromStdString(good));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray bytes = file.readAll();
  struct Case {
    const char* name;
    QByteArray data;
  } cases[] = {
      {"empty.png", QByteArray()},
      {"truncated.png", bytes.left(60)},
      {"header.png", bytes.left(8)},
      {"noise.png", QByteArray(4000, '\x5a')},
      {"huge.png",
       [&] {
         QByteArray b = bytes;
         b[16] = '\x7f';  // width 2^31-ish
         b[20] = '\x7f';
         return b;
       }()},
      {"text.jpg", QByteArray("not a picture at all")},
  };
  doduda.ShowBackground = false;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QFile out(dir.filePath(c.name));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(c.data);
    out.close();
    EXPECT_FALSE(doduda.LoadBackground(out.fileName().toStdString()));
    EXPECT_FALSE(doduda.ShowBackground);
    EXPECT_FALSE(doduda.BackgroundLoaded);
    for (const auto& b : doduda.SideBackgrounds) EXPECT_EQ(b.Width(), 0);
  }
  EXPECT_FALSE(doduda.LoadBackground(dir.filePath("missing.png").toStdString()));
}
