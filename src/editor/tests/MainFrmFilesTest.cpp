// The File, Texture and background commands with a scripted file dialog: what each dialog is
// asked, the choice of reader by extension and filter, the five save formats checked by outside
// tools, the naming rules, the enabling of the commands, the drops, the setup command, and
// that nothing is lost when a file cannot be read or written.
#include <QCheckBox>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "editor/dialogs/ColladaDlg.h"
#include "editor/dialogs/SetupDlg.h"
#include "editor/tests/MainFrmTestUtil.h"
#include "shape/ObjFile.h"
#include "shape/PictureFiles.h"
#include "shape/SculptImage.h"
#include "shape/TextureBitmaps.h"
#include "shape/XmlObject.h"
#include "shape/model/uScSelect.h"

using editor::TMainFrm;
using mainfrm_test::MainFrmTest;
using shape::CurrentShape;

namespace {

namespace fs = std::filesystem;

bool RunTool(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

// A shape file of the type, written by the program's own writers into `file`.
std::string Write(const std::string& file, shape::TScType type, const char* format) {
  auto cs = std::make_unique<shape::TCS>();
  shape::InitShape(*cs, type, 33, 33);
  std::string name = file;
  const std::string f = format;
  if (f == "tga") {
    EXPECT_TRUE(shape::WriteSculptMap(*cs, name));
  }
  if (f == "obj") shape::WriteObjFile(*cs, name, false);
  if (f == "xml") shape::WriteXmlObject(*cs, name);
  shape::SetGridSize(CurrentShape);
  return name;
}

// Answers the next modal dialog with OK.
void AcceptNextDialog() {
  mainfrm_test::OnNextDialog([](QDialog* d) { d->accept(); });
}

}  // namespace

TEST_F(MainFrmTest, LoadChoosesTheReaderByExtensionAndFilter) {
  TMainFrm& f = Open();
  const std::string obj = Write(File("a.obj").string(), shape::SCTYPE_TORUS, "obj");
  const std::string xml = Write(File("b.xml").string(), shape::SCTYPE_CYLINDER, "xml");
  const std::string tga = Write(File("c.tga").string(), shape::SCTYPE_SPHERE, "tga");
  fs::rename(obj, File("A.Obj"));
  fs::rename(xml, File("B.XmL"));
  struct Case {
    std::string file;
    int filter;
    shape::TScType type;
  };
  const Case cases[] = {{File("A.Obj").string(), 1, shape::SCTYPE_TORUS},
                        {File("B.XmL").string(), 1, shape::SCTYPE_CYLINDER},
                        {tga, 3, shape::SCTYPE_SPHERE},
                        {tga, 9, shape::SCTYPE_TORUS},  // "TGA File as Torus"
                        {tga, 10, shape::SCTYPE_PLANE}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file + " " + std::to_string(c.filter));
    dialog->answers.push_back({true, c.file, c.filter});
    const int before = Snapshots(*f.UndoRing);
    f.Act("FileSTLoad")->Execute();
    EXPECT_EQ(CurrentShape.ScType, c.type);
    EXPECT_EQ(settings::AppSettings.SclpFile, c.file);
    EXPECT_EQ(f.StatusText(2).toStdString(), "Sculpted Prim:" + shape::ExtractFileName(c.file));
    EXPECT_LE(Snapshots(*f.UndoRing), before + 1);
  }
  // The dialog was asked as the command asks it, starting where the last shape file is.
  const platform::TFileDialogRequest& r = dialog->requests.back();
  EXPECT_EQ(r.Title, "Load Sculped Prim Texture");
  EXPECT_EQ(r.Filter.substr(0, 47), "All File|*.tga;*.bmp;*.jpg;*.png;*.obj;*.xml|BM");
  EXPECT_EQ(fs::path(r.InitialDir), dir_);
  EXPECT_EQ(r.FileName, "c.tga");
  // An OBJ without its MTL gets the default texture.
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(MainFrmTest, AnObjWithoutItsMaterialGetsTheDefaultTexture) {
  TMainFrm& f = Open();
  const std::string obj = Write(File("m.obj").string(), shape::SCTYPE_SPHERE, "obj");
  // With its texture present the OBJ brings it along.
  ASSERT_TRUE(f.OpenShapeFile(obj, -1));
  EXPECT_EQ(f.StatusText(3), "Texture:m.png");
  fs::remove(File("m.mtl"));
  ASSERT_TRUE(f.OpenShapeFile(obj, -1));
  EXPECT_EQ(f.StatusText(3), "Texture:Initial Data");
}

TEST_F(MainFrmTest, AFileThatCannotBeReadLeavesEverythingAsItWas) {
  TMainFrm& f = Open();
  f.NewShape(shape::SCTYPE_TORUS, 65, 17);
  shape::UndoPush(*f.UndoRing, CurrentShape);
  settings::AppSettings.SclpFile = "/before.tga";
  const shape::TDbl3D point = CurrentShape.CP[5][5];
  const int snapshots = Snapshots(*f.UndoRing);
  const uint32_t texel = *reinterpret_cast<const uint32_t*>(shape::TextureBitmaps().BaseColor.ScanLine(3));
  std::ofstream(File("bad.tga"), std::ios::binary) << std::string(40, '\x02');
  std::ofstream(File("bad.obj")) << "v 1 2\nf 1 2 3 4 5\n";
  std::ofstream(File("bad.png"), std::ios::binary) << "\x89PNG\r\n\x1a\n truncated";
  std::ofstream(File("bad.xml")) << "<?xml version=\"1.0\"?><DURIM><width>9</wid";
  for (const char* name : {"bad.tga", "bad.obj", "bad.png", "bad.xml"}) {
    SCOPED_TRACE(name);
    boxes.shown.clear();
    f.DropDst2FileDrop({File(name).string()});
    EXPECT_EQ(CurrentShape.ScType, shape::SCTYPE_TORUS);
    EXPECT_EQ(CurrentShape.CPMaxI, 65);
    EXPECT_EQ(CurrentShape.CP[5][5][0], point[0]);
    EXPECT_EQ(f.StatusText(2), "Sculpted Prim:Initial Data");
    EXPECT_EQ(settings::AppSettings.SclpFile, "/before.tga");
    EXPECT_EQ(Snapshots(*f.UndoRing), snapshots);
    EXPECT_EQ(shape::TextureWidth, 64 * 16);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_NE(boxes.shown[0].find(name), std::string::npos);
  }
  // The XML reader's own reason goes into the one warning.
  EXPECT_NE(boxes.shown[0].find("XML Read Error: "), std::string::npos);
  // A texture that fails: a warning, the texture as it was.
  boxes.shown.clear();
  f.DropDst1FileDrop({File("bad.png").string()});
  EXPECT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(*reinterpret_cast<const uint32_t*>(shape::TextureBitmaps().BaseColor.ScanLine(3)), texel);
  EXPECT_EQ(f.StatusText(3), "Texture:Initial Data");
}

TEST_F(MainFrmTest, DropsOfOneFileOpenItAndOfSeveralDoNothing) {
  TMainFrm& f = Open();
  const std::string a = Write(File("a.tga").string(), shape::SCTYPE_TORUS, "tga");
  const std::string b = Write(File("b.tga").string(), shape::SCTYPE_PLANE, "tga");
  f.DropDst2FileDrop({a, b});
  f.DropDst2FileDrop({dir_.string()});
  f.DropDst1FileDrop({a, b});
  EXPECT_EQ(CurrentShape.ScType, shape::SCTYPE_SPHERE);
  EXPECT_EQ(f.StatusText(3), "Texture:Initial Data");
  const int snapshots = Snapshots(*f.UndoRing);
  f.DropDst2FileDrop({b});
  EXPECT_EQ(CurrentShape.ScType, shape::SCTYPE_PLANE);
  EXPECT_EQ(settings::AppSettings.SclpFile, b);
  EXPECT_EQ(Snapshots(*f.UndoRing), snapshots + 1);
  f.DropDst1FileDrop({a});
  EXPECT_EQ(f.StatusText(3), "Texture:a.tga");
  EXPECT_EQ(settings::AppSettings.TxtrFile, a);
}

TEST_F(MainFrmTest, SaveLastAppearsAfterTheFirstSaveAndFilterIndexRoundTrips) {
  settings::TAppSettings values;
  values.SclpFile = File("stored.tga").string();
  values.FilterIndex = 4;
  StoreSettings(values);
  TMainFrm& f = Open();
  f.ActionManager1.UpdateActions();
  EXPECT_FALSE(f.Act("FileStSaveLast")->Visible());
  dialog->answers.push_back({true, File("saved.shape.xml").string(), 4});
  f.Act("FileSTSave")->Execute();
  EXPECT_EQ(dialog->requests.back().FilterIndex, 4);
  EXPECT_EQ(dialog->requests.back().Title, "Save Sclpted Prims");
  EXPECT_EQ(dialog->requests.back().FileName, "stored");
  EXPECT_TRUE(fs::exists(File("saved.shape.xml")));
  EXPECT_EQ(f.LastSaveFilter, 4);
  f.ActionManager1.UpdateActions();
  EXPECT_TRUE(f.Act("FileStSaveLast")->Visible());
  EXPECT_EQ(f.Act("FileStSaveLast")->Caption(), "Save \"saved.shape.xml\"");
  dialog->answers.push_back({true, File("second").string(), 2});
  f.Act("FileSTSave")->Execute();
  EXPECT_EQ(settings::AppSettings.FilterIndex, 2);
  EXPECT_EQ(settings::AppSettings.SclpFile, File("second.obj").string());
  form.reset();
  settings::AppSettings = settings::TAppSettings();
  settings::LoadAppSettings();
  EXPECT_EQ(settings::AppSettings.FilterIndex, 2);
}

TEST_F(MainFrmTest, TheFiveSaveFormatsAreReadByOutsideTools) {
  TMainFrm& f = Open();
  f.ActionManager1.UpdateActions();
  struct Case {
    int filter;
    const char* name;
    const char* written;
    std::string check;
  };
  const std::string py = "/usr/bin/python3 -c \"from PIL import Image; im = Image.open('" +
                         File("m1.tga").string() + "'); im.load(); assert im.size == (128, 128)\"";
  const Case cases[] = {
      {1, "m1", "m1.tga", py},
      {2, "m2", "m2.obj", "assimp info " + File("m2.obj").string()},
      {3, "m3.obj", "m3.obj", "assimp info " + File("m3.obj").string()},
      {4, "m4", "m4.xml", "xmllint --noout " + File("m4.xml").string()},
      // A name of two dots keeps both in the texture's name.
      {5, "m5.v2.dae", "m5.v2-high.dae",
       "xmllint --noout " + File("m5.v2-high.dae").string() + " && assimp info " +
           File("m5.v2-high.dae").string()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dialog->answers.push_back({true, File(c.name).string(), c.filter});
    if (c.filter == 5) AcceptNextDialog();  // the COLLADA options
    f.Act("FileSTSave")->Execute();
    ASSERT_TRUE(fs::exists(File(c.written))) << c.written;
    EXPECT_TRUE(RunTool(c.check)) << c.check;
  }
  EXPECT_TRUE(fs::exists(File("m5.v2-tx.png")));
  EXPECT_FALSE(fs::exists(File("m5-tx.png")));
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(MainFrmTest, ColladaWithoutOverwriteTakesFreeNamesAndShowsOneNotice) {
  settings::TAppSettings values;
  values.FileOverWrite = false;
  values.ColladaSaveLod = false;
  StoreSettings(values);
  TMainFrm& f = Open();
  EXPECT_FALSE(f.SaveOverwritePrompt());
  std::ofstream(File("my.shape.dae")) << "old";
  std::ofstream(File("my.shape-tx.png")) << "old";
  dialog->answers.push_back({true, File("my.shape.dae").string(), 5});
  AcceptNextDialog();
  f.Act("FileSTSave")->Execute();
  EXPECT_TRUE(fs::exists(File("my.shape_001.dae")));
  EXPECT_TRUE(fs::exists(File("my.shape_001-tx.png")) || fs::exists(File("my.shape-tx_001.png")));
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_NE(boxes.shown[0].find("my.shape_001.dae"), std::string::npos);
  EXPECT_EQ(settings::AppSettings.SclpFile, File("my.shape_001.dae").string());
  // The old files are untouched.
  std::ifstream old(File("my.shape.dae"));
  std::string text;
  old >> text;
  EXPECT_EQ(text, "old");
}

TEST_F(MainFrmTest, AWriteThatFailsKeepsTheLastFileName) {
  TMainFrm& f = Open();
  settings::AppSettings.SclpFile = File("kept.tga").string();
  settings::AppSettings.TxtrFile = File("kept.png").string();
  for (int filter : {1, 2, 3, 4, 5}) {
    SCOPED_TRACE(filter);
    boxes.shown.clear();
    dialog->answers.push_back({true, File("no-such-folder/x").string(), filter});
    if (filter == 5) AcceptNextDialog();  // the COLLADA options
    f.Act("FileSTSave")->Execute();
    EXPECT_EQ(settings::AppSettings.SclpFile, File("kept.tga").string());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_NE(boxes.shown[0].find("could not be written"), std::string::npos);
  }
  boxes.shown.clear();
  dialog->answers.push_back({true, File("no-such-folder/t").string(), 1});
  f.Act("TextureSave")->Execute();
  EXPECT_EQ(settings::AppSettings.TxtrFile, File("kept.png").string());
  EXPECT_EQ(boxes.shown.size(), 1u);
  // The divided save reports its failure too.
  f.NewShape(shape::SCTYPE_SPHERE, 65, 65);
  f.ActionManager1.UpdateActions();
  boxes.shown.clear();
  dialog->answers.push_back({true, File("no-such-folder/parts.png").string(), 1});
  ASSERT_TRUE(f.Act("TextureDividedSave")->Execute());
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_NE(boxes.shown[0].find("could not be written"), std::string::npos);
}

TEST_F(MainFrmTest, TextureCommands) {
  TMainFrm& f = Open();
  f.ActionManager1.UpdateActions();
  EXPECT_FALSE(f.Act("TextureDividedSave")->Enabled());  // 32 x 32 = 1024 cells
  EXPECT_FALSE(f.Act("TextureLoadLast")->Enabled());
  f.NewShape(shape::SCTYPE_SPHERE, 33, 34);
  f.ActionManager1.UpdateActions();
  EXPECT_TRUE(f.Act("TextureDividedSave")->Enabled());
  dialog->answers.push_back({true, File("tex").string(), 1});
  f.Act("TextureSave")->Execute();
  EXPECT_EQ(dialog->requests.back().Title, "Save Texture");
  EXPECT_EQ(settings::AppSettings.TxtrFile, File("tex.png").string());
  f.ActionManager1.UpdateActions();
  EXPECT_TRUE(f.Act("TextureLoadLast")->Enabled());
  EXPECT_EQ(f.Act("TextureLoadLast")->Caption(), "Load \"tex.png\"");
  dialog->answers.push_back({true, File("parts.png").string(), 2});
  f.Act("TextureDividedSave")->Execute();
  EXPECT_EQ(dialog->requests.back().Title, "Save Divided TexTures");
  EXPECT_TRUE(fs::exists(File("parts-01.tga")));
  f.Act("TextureLoadLast")->Execute();
  EXPECT_EQ(f.StatusText(3), "Texture:tex.png");
  f.Act("TextureReset")->Execute();
  EXPECT_EQ(f.StatusText(3), "Texture:Initial Data");
  // The background dialog names the editor.
  dialog->answers.push_back({false, "", 1});
  f.Act("ViewLoadBkground")->Execute();
  EXPECT_EQ(dialog->requests.back().Title, "Load DODUDA Background Picture");
  EXPECT_EQ(dialog->requests.back().Filter, "All File|*.jpg;*.png;*.bmp;*.gif;*.psd");
}

TEST_F(MainFrmTest, SaveWarnsWhenTheViewLevelIsNotNear) {
  TMainFrm& f = Open();
  settings::AppSettings.ViewLevel = 2;
  dialog->answers.push_back({false, "", 1});
  f.Act("FileSTSave")->Execute();
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(
      boxes.shown[0],
      "View Level is not Near.\rPlease set View Level to Near and check the global image of a sculpted Prim "
      "saved.");
  EXPECT_EQ(dialog->requests.size(), 1u);  // saving goes on after it
}

TEST_F(MainFrmTest, SetupAsksForARestartWhenTheTabDisplayChanges) {
  TMainFrm& f = Open();
  ASSERT_FALSE(settings::AppSettings.ThreePanesDisplay);
  auto toggle = [&] {
    QTimer::singleShot(0, [&] {
      f.SetupDlg->CheckBox5->click();
      f.SetupDlg->OkButton->click();
    });
  };
  boxes.answers.push_back(platform::TModalResult::Cancel);
  toggle();
  f.Act("FileSetup")->Execute();
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0], "A setup of the tab display was updated.\r\nA reboot is required.");
  EXPECT_FALSE(settings::AppSettings.ThreePanesDisplay);
  EXPECT_TRUE(f.isVisible());
  toggle();
  f.Act("FileSetup")->Execute();
  EXPECT_TRUE(settings::AppSettings.ThreePanesDisplay);
  EXPECT_FALSE(f.isVisible());  // OK closes the window; the value is saved at exit
}

namespace {

std::string Content(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

// Each save asks one question about the files it will really write, after their extensions are
// forced; No writes none of them.
TEST_F(MainFrmTest, SavesAskOnceAboutEveryFileTheyWouldReplace) {
  settings::TAppSettings values;
  values.ColladaSaveObj2 = true;
  StoreSettings(values);
  TMainFrm& f = Open();
  struct Case {
    const char* command;
    int filter;
    const char* name;
    std::vector<std::string> existing;  // each named in the question
  };
  const Case cases[] = {
      {"TextureSave", 2, "tex", {"tex.tga"}},
      {"FileSTSave", 5, "c.dae", {"c-tx.png", "c-lowest.dae", "c-Collada.mtl", "c-phisics.dae"}},
      {"FileSTSave", 2, "o", {"o.png", "o.mtl"}},
      {"FileSTSave", 1, "m", {"m.tga"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const std::string& name : c.existing) std::ofstream(File(name)) << "old";
    boxes.shown.clear();
    boxes.answers.push_back(platform::TModalResult::No);
    dialog->answers.push_back({true, File(c.name).string(), c.filter});
    if (c.filter == 5 && std::string(c.command) == "FileSTSave") AcceptNextDialog();
    f.Act(c.command)->Execute();
    ASSERT_EQ(boxes.shown.size(), 1u);
    for (const std::string& name : c.existing) {
      EXPECT_NE(boxes.shown[0].find(name + " already exists."), std::string::npos) << name;
      EXPECT_EQ(Content(File(name)), "old") << name;
    }
    EXPECT_NE(boxes.shown[0].find(c.existing.size() == 1 ? "Do you want to replace it?" : "Do you want to replace them?"),
              std::string::npos);
  }
  EXPECT_FALSE(fs::exists(File("c-high.dae")));
  EXPECT_FALSE(fs::exists(File("o.obj")));
  // Yes replaces them, after one question.
  boxes.shown.clear();
  dialog->answers.push_back({true, File("c.dae").string(), 5});
  AcceptNextDialog();
  f.Act("FileSTSave")->Execute();
  EXPECT_EQ(boxes.shown.size(), 1u);
  for (const char* name : {"c-tx.png", "c-lowest.dae", "c-Collada.mtl", "c-phisics.dae", "c-high.dae"})
    EXPECT_NE(Content(File(name)).substr(0, 3), "old") << name;
  EXPECT_EQ(settings::AppSettings.SclpFile, File("c.dae").string());
  // A divided sculpt map asks about its parts.
  f.NewShape(shape::SCTYPE_SPHERE, 65, 65);
  std::ofstream(File("d-02.tga")) << "old";
  boxes.shown.clear();
  boxes.answers.push_back(platform::TModalResult::No);
  dialog->answers.push_back({true, File("d").string(), 1});
  f.Act("FileSTSave")->Execute();
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_NE(boxes.shown[0].find("d-02.tga already exists."), std::string::npos);
  EXPECT_FALSE(fs::exists(File("d-01.tga")));
  // So does a divided texture.
  f.ActionManager1.UpdateActions();
  std::ofstream(File("t-02.png")) << "old";
  boxes.shown.clear();
  boxes.answers.push_back(platform::TModalResult::No);
  dialog->answers.push_back({true, File("t.png").string(), 1});
  ASSERT_TRUE(f.Act("TextureDividedSave")->Execute());
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_NE(boxes.shown[0].find("t-02.png already exists."), std::string::npos);
  EXPECT_FALSE(fs::exists(File("t-01.png")));
  EXPECT_EQ(Content(File("t-02.png")), "old");
}

TEST_F(MainFrmTest, WithoutOverwriteEveryFileOfTheSaveTakesAFreeNameInOneNotice) {
  settings::TAppSettings values;
  values.FileOverWrite = false;
  values.ColladaSaveObj2 = true;
  StoreSettings(values);
  TMainFrm& f = Open();
  // As after an earlier save of the same name: the companion OBJ and its material are there.
  const char* existing[] = {"c.dae",         "c-tx.png",      "c-lowest.dae",
                            "c-Collada.obj", "c-Collada.mtl", "c-phisics.dae"};
  for (const char* name : existing) std::ofstream(File(name)) << "old";
  dialog->answers.push_back({true, File("c.dae").string(), 5});
  AcceptNextDialog();
  f.Act("FileSTSave")->Execute();
  ASSERT_EQ(boxes.shown.size(), 1u);
  const std::string& notice = boxes.shown[0];
  const char* renamedFiles[] = {"c-tx_001.png", "c-lowest_001.dae", "c-Collada_001.obj", "c-Collada_001.mtl",
                                "c-phisics_001.dae"};
  for (const char* renamed : renamedFiles) {
    EXPECT_NE(notice.find(std::string("\"") + renamed + "\""), std::string::npos) << renamed;
    EXPECT_TRUE(fs::exists(File(renamed))) << renamed;
  }
  // One line each, no file twice.
  EXPECT_EQ(std::count(notice.begin(), notice.end(), '\n') + 1, static_cast<long>(std::size(renamedFiles)))
      << notice;
  // The chosen name itself is not written with levels of detail, so it is not renamed either.
  EXPECT_EQ(notice.find("c_001.dae"), std::string::npos);
  for (const char* name : existing) EXPECT_EQ(Content(File(name)), "old") << name;
  // The documents and the companion OBJ name the texture that was written.
  EXPECT_NE(Content(File("c-high.dae")).find("c-tx_001.png"), std::string::npos);
  EXPECT_NE(Content(File("c-Collada_001.mtl")).find("c-tx_001.png"), std::string::npos);
}

// A save that writes several files and fails part-way says what was written and what was not;
// the last shape file follows the shape file itself.
TEST_F(MainFrmTest, APartlyFailedSaveNamesWhatWasWrittenAndWhatWasNot) {
  settings::TAppSettings values;
  values.ColladaSaveCubePhysics = false;
  StoreSettings(values);
  TMainFrm& f = Open();
  fs::create_directories(File("p-tx.png"));  // the texture cannot be written there
  f.LastSaveFilter = 5;
  boxes.answers.push_back(platform::TModalResult::Yes);
  AcceptNextDialog();
  EXPECT_FALSE(f.SaveShapeFile(File("p.dae").string()));
  ASSERT_EQ(boxes.shown.size(), 2u);  // the question, then the report
  const std::string& report = boxes.shown[1];
  const size_t failed = report.find("could not be written"), written = report.find("were written");
  ASSERT_NE(failed, std::string::npos);
  ASSERT_NE(written, std::string::npos);
  EXPECT_NE(report.find("\"p-tx.png\""), std::string::npos);
  EXPECT_LT(report.find("\"p-tx.png\""), written);
  for (const char* level : {"p-lowest.dae", "p-low.dae", "p-medium.dae", "p-high.dae"}) {
    EXPECT_GT(report.find(std::string("\"") + level + "\""), written) << level;
    EXPECT_TRUE(fs::exists(File(level))) << level;
  }
  EXPECT_EQ(settings::AppSettings.SclpFile, File("p.dae").string());
  // An OBJ whose texture fails: the OBJ is the shape file and is written.
  fs::create_directories(File("q.png"));
  f.LastSaveFilter = 2;
  boxes.shown.clear();
  boxes.answers.push_back(platform::TModalResult::Yes);
  EXPECT_FALSE(f.SaveShapeFile(File("q").string()));
  ASSERT_EQ(boxes.shown.size(), 2u);
  EXPECT_NE(boxes.shown[1].find("\"q.obj\""), std::string::npos);
  EXPECT_EQ(settings::AppSettings.SclpFile, File("q.obj").string());
}

TEST_F(MainFrmTest, APictureThatIsNoSculptMapIsToldBySize) {
  TMainFrm& f = Open();
  const std::string photo = File("photo.png").string();
  ASSERT_TRUE(RunTool("/usr/bin/python3 -c \"from PIL import Image; Image.new('RGB', (1000, 700), (9, 99, 199)).save('" +
                      photo + "')\""));
  f.DropDst2FileDrop({photo});
  ASSERT_EQ(boxes.shown.size(), 1u);
  const std::string& text = boxes.shown[0];
  EXPECT_EQ(text.find("could not be read"), std::string::npos);
  EXPECT_NE(text.find("\"photo.png\" is 1000 x 700 pixels, which is not the size of a sculpt map."), std::string::npos);
  for (const char* size : {"64 x 64", "512 x 512", "1024 x 256", "64 x 4096"})
    EXPECT_NE(text.find(size), std::string::npos) << size;
  EXPECT_EQ(f.StatusText(2), "Sculpted Prim:Initial Data");
}

// The open dialog the editor shows lists the folder in detail: the Size, Type and Date columns
// are as wide as their longest entries, and the name column takes the rest of the list.
TEST_F(MainFrmTest, TheFileDialogsColumnsFitTheirEntries) {
  TMainFrm& f = Open();
  f.SetFileDialog(platform::CreateQtFileDialog(&f));
  const fs::path folder = File("maps");
  fs::create_directories(folder / "parts");
  // Sizes from bytes to megabytes, and types of several lengths.
  const std::pair<const char*, size_t> files[] = {
      {"round.png", 2990}, {"big.tga", 3 << 20}, {"shape.obj", 299}, {"object.xml", 29990}, {"slim.bmp", 7}};
  for (const auto& [name, size] : files)
    std::ofstream(folder / name, std::ios::binary) << std::string(size, 'x');
  settings::AppSettings.SclpFile = (folder / "round.png").string();
  const int rows = static_cast<int>(std::size(files)) + 1;  // and the folder
  bool loaded = false;
  std::string cut;
  int empty = -1;
  mainfrm_test::OnNextDialog([&](QDialog* d) {
    auto* view = d->findChild<QTreeView*>();
    auto* model = d->findChild<QFileSystemModel*>();
    if (!view || !model) {
      d->reject();
      return;
    }
    QHeaderView* header = view->header();
    const QFontMetrics fm(view->font());
    // The item's text between its margins, as the list draws it.
    const int margins = 2 * (view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1);
    auto longest = [&](int column) {
      int width = 0;
      for (int row = 0; row < model->rowCount(view->rootIndex()); ++row) {
        const QString text = model->index(row, column, view->rootIndex()).data().toString();
        width = std::max(width, fm.horizontalAdvance(text) + margins);
      }
      return width;
    };
    auto fits = [&] {
      for (int column = 1; column < 4; ++column)
        if (header->sectionSize(column) < longest(column)) return false;
      return true;
    };
    // The folder is read in the background; the columns follow once it is there.
    loaded = QTest::qWaitFor([&] { return model->rowCount(view->rootIndex()) == rows; }, 5000);
    (void)QTest::qWaitFor(fits, 2000);
    for (int column = 1; column < 4; ++column)
      if (header->sectionSize(column) < longest(column))
        cut += model->headerData(column, Qt::Horizontal).toString().toStdString() + " " +
               std::to_string(header->sectionSize(column)) + " < " + std::to_string(longest(column)) + "\n";
    empty = view->viewport()->width() - header->length();
    d->reject();
  });
  f.Act("FileSTLoad")->Execute();
  EXPECT_TRUE(loaded);
  EXPECT_EQ(cut, "");
  EXPECT_EQ(empty, 0);
}
