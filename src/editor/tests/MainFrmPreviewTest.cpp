// The main window's 3D preview on the real viewer: a window at rest renders no frame however
// often its idle pass runs; one drag gives one mesh rebuild, one upload and one frame; a stroke of
// the texture painter reaches the preview's texture; files dropped on the viewer and on the pane
// area; the background plane and the frame cube follow their controls.
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMimeData>
#include <QSlider>
#include <QTabBar>
#include <QTimer>
#include <QUrl>
#include <cstring>

#include "editor/editors/uScDODUDA.h"
#include "editor/mainwin/PreviewScene.h"
#include "editor/tests/MainFrmTestUtil.h"
#include "platform/ui/Application.h"
#include "scene3d/platform/GL3DSceneViewer.h"
#include "scene3d/scene/mesh/GLBaseMesh.h"
#include "scene3d/scene/objects/GLCube.h"
#include "scene3d/scene/objects/GLPlane.h"
#include "shape/SculptImage.h"
#include "shape/TextureBitmaps.h"
#include "shape/model/uScPrim.h"
#include "shape/preview/BackgroundPlane.h"

using editor::TMainFrm;
using mainfrm_test::MainFrmTest;
using shape::CurrentShape;

namespace {

int Frames(const TMainFrm& f) { return f.GL3DSceneViewer1->Buffer()->FrameCount(); }

// The preview mesh's vertices.
const gl3d::TAffineVectorList& Vertices(const TMainFrm& f) {
  return *f.Preview->GLFreeForm1->MeshObjects()->GetMeshObject(0)->Vertices();
}

// Whether the free form's texture image holds the display pair as the upload gives it.
bool TextureHoldsTheDisplayPair(const TMainFrm& f) {
  shape::TRGBAImage expected;
  shape::CopyPreviewTexture(expected);
  gl3d::TGLImage& image = *f.Preview->GLFreeForm1->Material()->Texture()->Image()->GetImageBuffer();
  return image.GetWidth() == expected.Width && image.GetHeight() == expected.Height &&
         std::memcmp(image.GetScanLine(0), expected.Pixels.data(), expected.Pixels.size()) == 0;
}

// Drags `files` onto `widget` and drops them there, as the window system does (the event goes
// up to the first widget that takes drops).
void DropFiles(QWidget* widget, const std::vector<std::string>& files) {
  QMimeData data;
  QList<QUrl> urls;
  for (const std::string& file : files) urls.push_back(QUrl::fromLocalFile(QString::fromStdString(file)));
  data.setUrls(urls);
  const QPoint at = widget->rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(widget, &enter);
  QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(widget, &drop);
}

// The program's event loop with the window's idle pass as its idle handler, for at least `ms`
// milliseconds and at least `passes` idle passes (a loaded machine may need longer for them); a
// timer wakes the loop every few milliseconds, so the idle pass runs again and again. `during`
// runs once, early in the loop. Returns the number of idle passes.
int RunEventLoop(TMainFrm& f, int ms, const std::function<void()>& during = {}, int passes = 20) {
  platform::TApplication application;
  int count = 0;
  application.OnIdle = [&] {
    ++count;
    f.IdleLoop();
  };
  QTimer wake;
  wake.start(3);
  if (during) QTimer::singleShot(20, during);
  QEventLoop loop;
  QElapsedTimer clock;
  clock.start();
  QTimer check;
  QObject::connect(&check, &QTimer::timeout, [&] {
    if ((clock.elapsed() >= ms && count >= passes) || clock.elapsed() >= 30000) loop.quit();
  });
  check.start(10);
  loop.exec();
  return count;
}

}  // namespace

TEST_F(MainFrmTest, AWindowAtRestRendersNoFrameAndOneEditRendersOne) {
  TMainFrm& f = Open();
  // The start's pending work and its frames.
  RunEventLoop(f, 200);
  ASSERT_GT(Frames(f), 0);
  const int frames = Frames(f);
  const int passes = RunEventLoop(f, 400);
  EXPECT_GE(passes, 20);
  EXPECT_EQ(Frames(f), frames) << "frames rendered at rest over " << passes << " idle passes";

  // An edit's pending mesh and texture: one frame for both.
  const int edit = RunEventLoop(f, 300, [&f] {
    CurrentShape.CP[0][16][0] *= 0.5;
    shape::CommitShapePoints(CurrentShape);
    f.MeshDirty = true;
    f.TextureDirty = true;
  });
  EXPECT_GE(edit, 20);
  EXPECT_EQ(Frames(f), frames + 1);
}

TEST_F(MainFrmTest, ADragRebuildsTheMeshUploadsTheTextureAndRendersOnce) {
  settings::TAppSettings values;
  values.DodudaSurface = false;
  StoreSettings(values);
  TMainFrm& f = Open();
  f.IdleLoop();
  QCoreApplication::processEvents();
  // Vertex 16 * 33 is grid point (0, 16): row 16 from the top, column 0.
  constexpr int kVertex = 16 * 33;
  const gl3d::TVector3f before = Vertices(f)[kVertex];
  const int frames = Frames(f);
  std::vector<std::string> steps;
  f.OnIdleStep = [&](const char* s) { steps.emplace_back(s); };

  const platform::TPoint q = editor::ScDODUDA->PointToScreen(CurrentShape.CP[0][16]);
  const QPoint p(q.X, q.Y);
  Press(f.Image1, p);
  for (int k = 1; k <= 10; ++k) {
    DragMove(f.Image1, p + QPoint(2 * k, -k));
    f.IdleLoop();  // the quick repaints of the pane
    QCoreApplication::processEvents();
  }
  EXPECT_EQ(Vertices(f)[kVertex].X, before.X) << "the moves never touch the mesh";
  EXPECT_EQ(std::count(steps.begin(), steps.end(), "mesh"), 0);
  Release(f.Image1, p + QPoint(20, -10));
  steps.clear();
  // The release repaints the pane itself; with a plane and a pane pending too, the pass's order.
  f.PlaneDirty = true;
  f.PaneRequest = 2;
  f.IdleLoop();
  EXPECT_EQ(steps, (std::vector<std::string>{"mesh", "texture", "plane", "pane"}));
  const gl3d::TVector3f after = Vertices(f)[kVertex];
  EXPECT_TRUE(after.X != before.X || after.Y != before.Y || after.Z != before.Z);
  EXPECT_TRUE(TextureHoldsTheDisplayPair(f));
  QCoreApplication::processEvents();
  EXPECT_EQ(Frames(f), frames + 1);
  // The texture keeps its pixels once they went to the card.
  EXPECT_TRUE(TextureHoldsTheDisplayPair(f));
  steps.clear();
  f.IdleLoop();
  QCoreApplication::processEvents();
  EXPECT_TRUE(steps.empty());
  EXPECT_EQ(Frames(f), frames + 1);
}

TEST_F(MainFrmTest, AStrokeOfTheTexturePainterReachesThePreview) {
  TMainFrm& f = Open();
  f.TabControl1->setCurrentIndex(f.TabControl1->count() - 1);
  ASSERT_EQ(f.EditorMode, 6);
  f.IdleLoop();
  const std::vector<float> mesh(&Vertices(f)[0].X, &Vertices(f)[0].X + 3 * Vertices(f).Count());
  const std::vector<uint8_t> before(
      shape::TextureBitmaps().DisplayColor.ScanLine(0),
      shape::TextureBitmaps().DisplayColor.ScanLine(0) + 4 * shape::TextureBitmaps().DisplayColor.Width());
  const QPoint c = f.Image1->rect().center();
  Press(f.Image1, c);
  DragMove(f.Image1, c + QPoint(15, 5));
  Release(f.Image1, c + QPoint(15, 5));
  std::vector<std::string> steps;
  f.OnIdleStep = [&](const char* s) { steps.emplace_back(s); };
  f.IdleLoop();
  ASSERT_FALSE(steps.empty());
  EXPECT_EQ(steps.front(), "texture");
  EXPECT_TRUE(TextureHoldsTheDisplayPair(f));
  EXPECT_EQ(Snapshots(*f.UndoRing), 1);
  EXPECT_EQ(std::vector<float>(&Vertices(f)[0].X, &Vertices(f)[0].X + 3 * Vertices(f).Count()), mesh);
}

TEST_F(MainFrmTest, FilesDroppedOnTheViewerAndOnThePaneArea) {
  TMainFrm& f = Open();
  auto write = [this](const char* name, shape::TScType type) {
    auto cs = std::make_unique<shape::TCS>();
    shape::InitShape(*cs, type, 33, 33);
    std::string file = File(name).string();
    EXPECT_TRUE(shape::WriteSculptMap(*cs, file));
    return file;
  };
  const std::string torus = write("torus.tga", shape::SCTYPE_TORUS);
  const std::string plane = write("plane.tga", shape::SCTYPE_PLANE);
  f.IdleLoop();
  const int snapshots = Snapshots(*f.UndoRing);

  // Two files, on either target: nothing.
  DropFiles(f.GL3DSceneViewer1, {torus, plane});
  DropFiles(f.Image1, {torus, plane});
  EXPECT_EQ(CurrentShape.ScType, shape::SCTYPE_SPHERE);
  EXPECT_EQ(f.StatusText(3), "Texture:Initial Data");
  EXPECT_EQ(Snapshots(*f.UndoRing), snapshots);

  // One file on the viewer: the texture, uploaded at the next idle pass; the shape stays.
  DropFiles(f.GL3DSceneViewer1, {torus});
  EXPECT_EQ(f.StatusText(3), "Texture:torus.tga");
  EXPECT_EQ(settings::AppSettings.TxtrFile, torus);
  EXPECT_EQ(CurrentShape.ScType, shape::SCTYPE_SPHERE);
  f.IdleLoop();
  EXPECT_TRUE(TextureHoldsTheDisplayPair(f));

  // One file on the pane (the drop reaches Panel5 through the pane in it): the shape, with an
  // undo step.
  DropFiles(f.Image1, {plane});
  EXPECT_EQ(CurrentShape.ScType, shape::SCTYPE_PLANE);
  EXPECT_EQ(settings::AppSettings.SclpFile, plane);
  EXPECT_EQ(Snapshots(*f.UndoRing), snapshots + 1);
}

TEST_F(MainFrmTest, ThePlaneAndTheFrameCubeFollowTheirControls) {
  settings::TAppSettings values;
  values.DodudaBackground = false;
  StoreSettings(values);
  TMainFrm& f = Open();
  editor::TPreviewScene& s = *f.Preview;
  EXPECT_FLOAT_EQ(s.GLCube1->CubeWidth(), 2.0f);
  // The cube is 2 x AxisScales: (1, 2.5, 1) / 2.5 gives (0.8, 2, 0.8).
  f.TrackBarY->setValue(25);
  EXPECT_FLOAT_EQ(s.GLCube1->CubeWidth(), 0.8f);
  EXPECT_FLOAT_EQ(s.GLCube1->CubeHeight(), 2.0f);
  EXPECT_FLOAT_EQ(s.GLCube1->CubeDepth(), 0.8f);
  f.TrackBarY->setValue(10);
  EXPECT_FLOAT_EQ(s.GLCube1->CubeWidth(), 2.0f);
  EXPECT_TRUE(s.GLCube1->GetVisible());
  f.CBCubeDisp->click();
  EXPECT_FALSE(s.GLCube1->GetVisible());

  // The background plane: shown in mode 0 with the box ticked, its side's texture drawn.
  f.IdleLoop();
  EXPECT_FALSE(s.GLPlane1->GetVisible());
  f.CBPanelDisp->click();
  f.IdleLoop();
  ASSERT_TRUE(s.GLPlane1->GetVisible());
  gl3d::TGLImage& side = *s.GLPlane1->Material()->Texture()->Image()->GetImageBuffer();
  EXPECT_EQ(side.GetWidth(), shape::kSidePlaneTextureSize);
  EXPECT_EQ(side.GetHeight(), shape::kSidePlaneTextureSize);
  f.TabControl1->setCurrentIndex(1);
  ASSERT_NE(f.EditorMode, 0);
  f.IdleLoop();
  EXPECT_FALSE(s.GLPlane1->GetVisible());
}
