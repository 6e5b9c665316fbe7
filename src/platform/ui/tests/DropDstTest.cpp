// The control hook and the file drop target, driven headless with synthetic drag and drop events.
#include <gtest/gtest.h>

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "UiTestApp.h"
#include "common/Exception.h"
#include "platform/ui/Application.h"
#include "platform/ui/DropDst.h"

using namespace platform;
using platform::test::App;

namespace {

struct TDrop {
  QObject* sender;
  std::vector<std::string> files;
  int32_t x, y;
};

// A drop target that records its drops and the window changes it hears of.
class TRecordingDropDst : public TDropDst {
 public:
  explicit TRecordingDropDst(QObject* owner = nullptr) : TDropDst(owner) {
    OnFileDrop = [this](TDropDst* sender, const std::vector<std::string>& files, int32_t x, int32_t y) {
      drops.push_back({sender, files, x, y});
    };
  }
  std::vector<TDrop> drops;
  std::vector<int> handleChanges;

 protected:
  void HandleChanged(int reason) override {
    handleChanges.push_back(reason);
    TDropDst::HandleChanged(reason);
  }
};

std::unique_ptr<QMimeData> Files(const std::vector<QString>& paths, const std::vector<QUrl>& extra = {}) {
  auto data = std::make_unique<QMimeData>();
  QList<QUrl> urls;
  for (const QString& p : paths) urls.push_back(QUrl::fromLocalFile(p));
  for (const QUrl& u : extra) urls.push_back(u);
  data->setUrls(urls);
  return data;
}

// Drags `data` onto `widget` at `enter`, then drops it at `at`, as the window system does; the
// result tells whether the drag was taken.
bool DragAndDrop(QWidget& widget, const QMimeData& data, QPoint enter, QPoint at) {
  QDragEnterEvent dragEnter(enter, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&widget, &dragEnter);
  if (!dragEnter.isAccepted()) return false;
  QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&widget, &drop);
  return drop.isAccepted();
}

struct TDropFixture {
  TDropFixture() {
    target.resize(200, 100);
    hook.SetControl(&target);
    hook.Loaded();
  }
  QApplication& app = App();
  QWidget target;
  TRecordingDropDst hook;
};

}  // namespace

TEST(DropDst, FilesArriveInTheDropsOrderWithThePointWholeAndOnlyLocalOnes) {
  TDropFixture f;
  ASSERT_EQ(f.hook.HookedControl(), &f.target);
  EXPECT_TRUE(f.target.acceptDrops());

  const QString longName = "/tmp/" + QString(300, QChar('n')) + ".tga";
  const QString japanese = QString::fromUtf8("/tmp/テクスチャ 1.png");
  // A folder goes through as well: the handler decides what it opens.
  auto data =
      Files({"/tmp/a.obj", longName, japanese, "/tmp/a folder/"}, {QUrl("https://example.invalid/b.png")});
  ASSERT_TRUE(DragAndDrop(f.target, *data, {5, 5}, {30, 40}));

  ASSERT_EQ(f.hook.drops.size(), 1u);
  const TDrop& d = f.hook.drops[0];
  EXPECT_EQ(d.sender, &f.hook);
  ASSERT_EQ(d.files.size(), 4u);
  EXPECT_EQ(d.files[0], "/tmp/a.obj");
  EXPECT_EQ(d.files[1], longName.toStdString());
  EXPECT_EQ(d.files[1].size(), 309u);
  EXPECT_EQ(d.files[2], japanese.toStdString());
  EXPECT_EQ(d.files[3], "/tmp/a folder/");
  EXPECT_EQ(d.x, 30);
  EXPECT_EQ(d.y, 40);
}

TEST(DropDst, DragsWithoutLocalFilesAndSwitchedOffTargetsAreRefused) {
  TDropFixture f;
  QMimeData text;
  text.setText("not a file");
  EXPECT_FALSE(DragAndDrop(f.target, text, {1, 1}, {1, 1}));
  auto web = Files({}, {QUrl("https://example.invalid/b.png")});
  EXPECT_FALSE(DragAndDrop(f.target, *web, {1, 1}, {1, 1}));
  EXPECT_TRUE(f.hook.drops.empty());

  auto file = Files({"/tmp/a.obj"});
  f.hook.SetAcceptDrop(false);
  EXPECT_FALSE(f.target.acceptDrops()) << "applied at once";
  EXPECT_FALSE(DragAndDrop(f.target, *file, {1, 1}, {1, 1}));
  EXPECT_TRUE(f.hook.drops.empty());
  f.hook.SetAcceptDrop(true);
  EXPECT_TRUE(DragAndDrop(f.target, *file, {1, 1}, {2, 3}));
  EXPECT_EQ(f.hook.drops.size(), 1u);
}

TEST(DropDst, ARecreatedNativeWindowKeepsTakingDrops) {
  TDropFixture f;
  f.target.winId();  // a native window
  f.hook.handleChanges.clear();
  // Changing the window flags of a native window destroys it; asking for its id makes a new one.
  f.target.setWindowFlags(f.target.windowFlags() | Qt::Tool);
  f.target.winId();
  EXPECT_EQ(f.hook.handleChanges,
            (std::vector<int>{TControlHook::kHandleDestroyed, TControlHook::kHandleCreated}));
  EXPECT_EQ(f.hook.HookedControl(), &f.target);
  auto file = Files({"/tmp/a.obj"});
  EXPECT_TRUE(DragAndDrop(f.target, *file, {1, 1}, {7, 8}));
  ASSERT_EQ(f.hook.drops.size(), 1u);
  EXPECT_EQ(f.hook.drops[0].x, 7);
}

TEST(DropDst, AFailingHandlerGoesToTheApplicationAndTheDropIsStillFinished) {
  TDropFixture f;
  TApplication app;
  std::string reported;
  app.OnException = [&](std::exception_ptr e) {
    try {
      std::rethrow_exception(e);
    } catch (const std::exception& x) {
      reported = x.what();
    }
  };
  f.hook.OnFileDrop = [](TDropDst*, const std::vector<std::string>&, int32_t, int32_t) {
    throw std::runtime_error("cannot open");
  };
  auto file = Files({"/tmp/a.obj"});
  EXPECT_TRUE(DragAndDrop(f.target, *file, {1, 1}, {1, 1}));
  EXPECT_EQ(reported, "cannot open");
}

TEST(ControlHook, FormTargetsAndTheirFailure) {
  App();
  // No control and no widget among the owners: there is no form.
  TControlHook lonely;
  lonely.SetTarget(htForm);
  try {
    lonely.Loaded();
    FAIL() << "no exception";
  } catch (const common::Exception& e) {
    EXPECT_EQ(e.Message(), "フック先を特定できません。");
  }
  EXPECT_EQ(lonely.HookedControl(), nullptr);

  // The form of a control is its top-level window; a hook owned by a form finds it without one.
  QWidget form;
  auto* panel = new QWidget(&form);
  auto* pane = new QWidget(panel);
  TRecordingDropDst onForm;
  onForm.SetControl(pane);
  onForm.SetTarget(htForm);
  onForm.Loaded();
  EXPECT_EQ(onForm.HookedControl(), &form);
  TControlHook owned(panel);
  owned.SetTarget(htForm);
  owned.Loaded();
  EXPECT_EQ(owned.HookedControl(), &form);

  // After loading, a new Control or Target hooks again at once; htControl without a control stays
  // unhooked without an error.
  onForm.SetTarget(htControl);
  EXPECT_EQ(onForm.HookedControl(), pane);
  onForm.SetControl(nullptr);
  EXPECT_EQ(onForm.HookedControl(), nullptr);
}

TEST(ControlHook, AFreedControlIsForgotten) {
  App();
  auto widget = std::make_unique<QWidget>();
  TRecordingDropDst hook;
  hook.SetControl(widget.get());
  hook.Loaded();
  hook.handleChanges.clear();
  widget.reset();
  EXPECT_EQ(hook.HookedControl(), nullptr);
  EXPECT_EQ(hook.handleChanges, std::vector<int>{TControlHook::kHandleDestroyed});
  hook.SetAcceptDrop(false);  // nothing to apply it to
}
