// The commands that move the shape, its texture and the editors' background pictures between
// the program and files: the File menu, the Texture menu over the 3D view, View > Load
// Background, the setup command and the two drop targets.
//
// Nothing is lost on a failure: a file that cannot be read leaves the shape, its texture, the
// status, the last file names and the undo ring as they were, and a warning names the file; a
// write that fails is reported and the last file name keeps its old value.
#include <QApplication>
#include <QCursor>
#include <filesystem>

#include "editor/dialogs/ColladaDlg.h"
#include "editor/dialogs/NewDlg.h"
#include "editor/dialogs/SetupDlg.h"
#include "editor/mainwin/EditorModules.h"
#include "editor/mainwin/MainFrm.h"
#include "editor/mainwin/PreviewScene.h"
#include "editor/panes/ScBase.h"
#include "platform/ui/MessageBoxes.h"
#include "settings/AppSettings.h"
#include "shape/ObjFile.h"
#include "shape/OutputNames.h"
#include "shape/PictureFiles.h"
#include "shape/SculptImage.h"
#include "shape/ShapeReadCopy.h"
#include "shape/TextureBitmaps.h"
#include "shape/XmlObject.h"
#include "shape/model/uScPrim.h"
#include "shape/uScCollada.h"

namespace editor {

using settings::AppSettings;
using shape::CurrentShape;

namespace {

constexpr char kShapeOpenFilter[] =
    "All File|*.tga;*.bmp;*.jpg;*.png;*.obj;*.xml|BMP File|*.bmp|TGA File|*.tga|JPEG File|*.jpg|PNG "
    "File|*.png|"
    "OBJ File|*.obj|ZEPHOR XML File|*.xml|TGA File as Sphere|*.tga|TGA File as Torus|*.tga|TGA File as "
    "Plane|*.tga|"
    "TGA File as Cylinder|*.tga";
constexpr char kShapeSaveFilter[] =
    "TGA File|*.tga|OBJ File(Mesh of Triangles)|*.obj|OBJ File(Mesh of Quadrangles)|*.obj|XML File|*.xml|"
    "Collada File|*.dae";
constexpr char kTextureOpenFilter[] =
    "All File|*.tga;*.bmp;*.jpg;*.png;*.psd|BMP File|*.bmp|TGA File|*.tga|JPEG File|*.jpg|PNG File|*.png|"
    "Photoshop PSD File|*.psd";
constexpr char kTextureSaveFilter[] = "PNG File|*.png|TGA File|*.tga";
constexpr char kBackgroundFilter[] = "All File|*.jpg;*.png;*.bmp;*.gif;*.psd";

// The busy cursor while a file is read or written.
class TBusyCursor {
 public:
  TBusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~TBusyCursor() { QApplication::restoreOverrideCursor(); }
};

std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

std::string FolderOf(const std::string& path) {
  return path.empty() ? std::string() : std::filesystem::path(path).parent_path().string();
}

// `reason`, when given, goes on a line of its own after the file's name.
void ReadFailed(const std::string& path, const std::string& reason = {}) {
  platform::ShowWarning("The file \"" + shape::ExtractFileName(path) + "\" could not be read." +
                        (reason.empty() ? std::string() : "\r\n" + reason));
}

// Holds back the notices a reader shows (the XML reader tells its error that way, without the
// file's name), so that the window shows them in its own warning, once; questions and warnings
// go on to the window's prompts.
class THeldNotices : public shape::IFilePrompts {
 public:
  THeldNotices() : outer_(shape::GetFilePrompts()) { shape::SetFilePrompts(this); }
  ~THeldNotices() override { shape::SetFilePrompts(outer_); }
  THeldNotices(const THeldNotices&) = delete;
  THeldNotices& operator=(const THeldNotices&) = delete;
  bool AskWarningYesNo(const std::string& text) override { return outer_ && outer_->AskWarningYesNo(text); }
  void ShowWarning(const std::string& text) override {
    if (outer_) outer_->ShowWarning(text);
  }
  void ShowMessage(const std::string& text) override { Held += Held.empty() ? text : "\r\n" + text; }
  std::string Held;

 private:
  shape::IFilePrompts* outer_;
};

void WriteFailed(const std::string& path) {
  platform::ShowWarning("The file \"" + shape::ExtractFileName(path) + "\" could not be written.");
}

std::string QuotedNames(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += "\r\n\"" + shape::ExtractFileName(name) + "\"";
  return text;
}

// A save that failed: which files it wrote and which it could not write.
void ReportSaveFailure(const shape::TSavedFiles& saved) {
  if (saved.Written.empty() && saved.Failed.size() == 1) {
    WriteFailed(saved.Failed.front());
    return;
  }
  std::string text = "These files could not be written:" + QuotedNames(saved.Failed);
  if (!saved.Written.empty()) text += "\r\nThese files were written:" + QuotedNames(saved.Written);
  platform::ShowWarning(text);
}

QString Quoted(const char* verb, const std::string& path) {
  return QString::fromStdString(std::string(verb) + " \"" + shape::ExtractFileName(path) + "\"");
}

}  // namespace

bool TMainFrm::PrepareOpenDialog(platform::TFileDialogRequest& request, const std::string& path) {
  request.Kind = platform::TFileDialogKind::Open;
  std::error_code ec;
  if (!path.empty() && std::filesystem::is_regular_file(path, ec)) {
    request.InitialDir = FolderOf(path);
    request.FileName = shape::ExtractFileName(path);
    return true;
  }
  // The dialog keeps its name; it still starts where files of this kind were last.
  if (!path.empty() && std::filesystem::is_directory(FolderOf(path), ec)) request.InitialDir = FolderOf(path);
  return false;
}

void TMainFrm::SetSaveOverwritePrompt() { overwritePrompt_ = AppSettings.FileOverWrite; }

// ---- the shape ----

bool TMainFrm::OpenShapeFile(const std::string& path, int32_t forcedType) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    // Named by the folder's own name, also when the path ends in "/".
    std::string folder = path;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    ReadFailed(folder, "It is a folder, not a file.");
    return false;
  }
  TBusyCursor busy;
  const std::string ext = Upper(shape::ExtractFileExt(path));
  if (ext != ".OBJ") {
    if (ext != ".XML") {
      // The reader falls back to the default sphere when it cannot use the picture; it works on
      // a copy, so that a failure leaves the shape as it was.
      shape::TShapeReadCopy copy(CurrentShape);
      std::string problem;
      if (!shape::ReadSculptImage(copy.Work(), path, forcedType, &problem)) {
        // A picture that loaded but is no sculpt map is told so, with the sizes that are.
        if (problem.empty())
          ReadFailed(path);
        else
          platform::ShowWarning("The picture \"" + shape::ExtractFileName(path) + "\" " + problem);
        return false;
      }
      copy.Commit(CurrentShape);
    } else {
      // The reader leaves the shape as it was on a failure and tells why in a notice.
      std::string reason;
      bool read;
      {
        THeldNotices notices;
        read = shape::ReadXmlObject(CurrentShape, path, true);
        reason = notices.Held;
      }
      if (!read) {
        ReadFailed(path, reason);
        return false;
      }
      if (!reason.empty()) platform::ShowMessage(reason);
      ApplyObjectSize(true);
    }
    ShowDefaultTexture();
  } else {
    std::string mtl;
    int32_t result = -1;
    try {
      result = shape::ReadObjFile(CurrentShape, path, mtl, forcedType);
    } catch (const std::exception&) {
      result = -1;
    }
    if (result != 0) {
      ReadFailed(path);
      return false;
    }
    std::string texture;
    if (!mtl.empty() && std::filesystem::is_regular_file(mtl, ec)) {
      try {
        texture = shape::ReadMtlTexturePath(mtl);
      } catch (const std::exception&) {
        texture.clear();
      }
    }
    if (texture.empty() || !std::filesystem::is_regular_file(texture, ec) || !LoadTexture(texture, false))
      ShowDefaultTexture();
  }
  SetStatusText(2, QString::fromStdString("Sculpted Prim:" + shape::ExtractFileName(path)));
  ResetEditorsForShape();
  MeshDirty = true;
  UpdateTabsAndStatus();
  return true;
}

void TMainFrm::OpenAndRemember(const std::string& path, int32_t forcedType) {
  if (!OpenShapeFile(path, forcedType)) return;
  AppSettings.SclpFile = path;
  shape::UndoPush(*UndoRing, CurrentShape);
  TabControl1Change();
}

bool TMainFrm::SaveShapeFile(std::string path) {
  shape::RenameNotice.clear();
  // Every file the save will write, each with its final extension, is known before anything
  // is written: the one question covers them all.
  std::vector<std::string> names;
  std::string texture;
  switch (LastSaveFilter) {
    case 1:
      path = shape::ChangeFileExt(path, ".tga");
      names = shape::SculptMapFileNames(CurrentShape, path);
      break;
    case 2:
    case 3:
      path = shape::ChangeFileExt(path, ".obj");
      names = shape::ObjFileNames(path);
      break;
    case 4:
      path = shape::ChangeFileExt(path, ".xml");
      names = {path};
      break;
    case 5:
      // The options choose the files, so they come before the question.
      if (!ColladaDlg || !ColladaDlg->Execute()) return false;
      path = shape::ChangeFileExt(path, ".dae");
      texture = shape::ForceNameSuffix(path, "-tx", ".png");
      names = shape::ColladaFileNames(path);
      names.insert(names.begin(), texture);
      break;
    default:
      return false;
  }
  if (!shape::ConfirmOverwriteFiles(names)) return false;

  shape::TSavedFiles saved;
  // Whether the shape file itself was written: the map, the OBJ, the XML file or the COLLADA
  // documents; the companions (texture, material, text list) may fail without it.
  bool shapeWritten = false;
  bool stopped = false;
  {
    TBusyCursor busy;
    try {
      switch (LastSaveFilter) {
        case 1:
          shapeWritten = shape::WriteSculptMap(CurrentShape, path);
          break;
        case 2:
        case 3:
          shape::WriteObjFile(CurrentShape, path, LastSaveFilter == 2);
          shapeWritten = true;
          break;
        case 4:
          shape::WriteXmlObject(CurrentShape, path);
          shapeWritten = true;
          break;
        case 5: {
          texture = shape::MakeUniqueFileName(texture, ".png");
          const shape::TTextureBitmaps& t = shape::TextureBitmaps();
          shape::SaveImageWithAlpha(texture, t.BaseColor, t.BaseAlpha);
          const std::string document = shape::ExportColladaLods(CurrentShape, path, texture);
          // One document: the shape file is that document, under the name it took.
          if (!AppSettings.ColladaSaveLod) path = document;
          shapeWritten = true;
          break;
        }
      }
    } catch (const std::exception&) {
      stopped = true;
    }
  }
  shape::ShowRenameNotice();
  if (stopped && saved.Failed.empty()) saved.Failed.push_back(path);
  if (!shapeWritten && saved.Failed.empty()) saved.Failed.push_back(path);
  if (!saved.Failed.empty()) ReportSaveFailure(saved);
  if (shapeWritten) AppSettings.SclpFile = path;
  return shapeWritten && saved.Failed.empty();
}

void TMainFrm::FileSTLoadExecute() {
  platform::TFileDialogRequest request;
  PrepareOpenDialog(request, AppSettings.SclpFile);
  request.Title = "Load Sculped Prim Texture";
  request.Filter = kShapeOpenFilter;
  platform::TFileDialogResult result;
  if (!fileDialog_->Execute(request, result)) return;
  OpenAndRemember(result.FileName, result.FilterIndex - 8);
}

void TMainFrm::FileNewExecute() {
  if (!NewDlg) return;
  if (!NewDlg->Execute(CurrentShape.ScType, CurrentShape.CPMaxI - 1, CurrentShape.CPMaxJ - 1)) return;
  NewShape(static_cast<shape::TScType>(NewDlg->ResultType), NewDlg->ResultCols, NewDlg->ResultRows);
  ResetEditorsForShape();
  ShowDefaultTexture();
  shape::UndoPush(*UndoRing, CurrentShape);
  TabControl1Change();
}

void TMainFrm::FileSTSaveExecute() {
  if (AppSettings.ViewLevel != 1)
    platform::ShowWarning(
        "View Level is not Near.\rPlease set View Level to Near and check the global image of a sculpted "
        "Prim "
        "saved.");
  platform::TFileDialogRequest request;
  request.Kind = platform::TFileDialogKind::Save;
  request.InitialDir = FolderOf(AppSettings.SclpFile);
  request.FileName = shape::ExtractBaseName(AppSettings.SclpFile);
  request.Title = "Save Sclpted Prims";
  request.Filter = kShapeSaveFilter;
  request.FilterIndex = AppSettings.FilterIndex;
  // The command asks once about every file it writes, after their extensions are forced.
  request.OverwritePrompt = false;
  platform::TFileDialogResult result;
  if (!fileDialog_->Execute(request, result)) return;
  LastSaveFilter = result.FilterIndex;
  SaveShapeFile(result.FileName);
  AppSettings.FilterIndex = result.FilterIndex;
}

void TMainFrm::FileStSaveLastExecute() {
  if (LastSaveFilter >= 0) SaveShapeFile(AppSettings.SclpFile);
}

void TMainFrm::FileSetupExecute() {
  if (!SetupDlg) return;
  const bool dividedHorizontal = AppSettings.DividedHorizontal;
  const bool threePanes = AppSettings.ThreePanesDisplay;
  SetupDlg->Execute();
  ChoosePaintersAll();
  UpdatePenGlyphs();
  SetSaveOverwritePrompt();
  if (AppSettings.ThreePanesDisplay != threePanes) {
    if (platform::AskOkCancel("A setup of the tab display was updated.\r\nA reboot is required."))
      close();
    else
      AppSettings.ThreePanesDisplay = threePanes;
  }
  SetupScrollBars();
  if (AppSettings.DividedHorizontal != dividedHorizontal) {
    shape::SetGridSize(CurrentShape);
    ShowDefaultTexture();
    RefreshEditorUi(false);
  }
  Preview->BuildPreviewMesh(CurrentShape);
  MeshDirty = true;
}

// ---- the texture ----

void TMainFrm::ShowDefaultTexture() {
  shape::DrawDefaultTexture(CurrentShape.CPMaxI, CurrentShape.CPMaxJ);
  shape::RefreshTextureDisplay(CurrentShape);
  SetStatusText(3, "Texture:Initial Data");
  if (EditorMode == 6) RefreshEditorUi(false);
  TextureDirty = true;
}

bool TMainFrm::LoadTexture(const std::string& path, bool repaint) {
  {
    TBusyCursor busy;
    try {
      shape::LoadTextureFile(path);
    } catch (const std::exception&) {
      ReadFailed(path);
      return false;
    }
  }
  shape::RefreshTextureDisplay(CurrentShape);
  SetStatusText(3, QString::fromStdString("Texture:" + shape::ExtractFileName(path)));
  AppSettings.TxtrFile = path;
  if (repaint && EditorMode == 6) FullRedraw();
  TextureDirty = true;
  return true;
}

void TMainFrm::TextureLoadExecute() {
  platform::TFileDialogRequest request;
  PrepareOpenDialog(request, AppSettings.TxtrFile);
  request.Title = "Load Texture";
  request.Filter = kTextureOpenFilter;
  platform::TFileDialogResult result;
  if (fileDialog_->Execute(request, result)) LoadTexture(result.FileName, true);
}

bool TMainFrm::AskTextureSaveName(const char* title, platform::TFileDialogResult& result) {
  platform::TFileDialogRequest request;
  request.Kind = platform::TFileDialogKind::Save;
  request.InitialDir = FolderOf(AppSettings.TxtrFile);
  request.FileName = shape::ExtractFileName(AppSettings.TxtrFile);
  request.Title = title;
  request.Filter = kTextureSaveFilter;
  // The command asks once about every file it writes, after their extensions are forced.
  request.OverwritePrompt = false;
  return fileDialog_->Execute(request, result);
}

void TMainFrm::TextureSaveExecute() {
  platform::TFileDialogResult result;
  if (!AskTextureSaveName("Save Texture", result)) return;
  // The name the picture is written under: a name not ending in ".png" is written as Targa.
  std::string name = shape::PictureFileName(
      result.FilterIndex == 1 ? shape::ChangeFileExt(result.FileName, ".png") : result.FileName);
  if (!shape::ConfirmOverwrite(name)) return;
  shape::RenameNotice.clear();
  const shape::TTextureBitmaps& t = shape::TextureBitmaps();
  bool written;
  {
    TBusyCursor busy;
    written = shape::SaveImageWithAlpha(name, t.BaseColor, t.BaseAlpha) == 0;
  }
  shape::ShowRenameNotice();
  if (!written) {
    WriteFailed(name);
    return;
  }
  AppSettings.TxtrFile = name;
}

void TMainFrm::TextureDividedSaveExecute() {
  platform::TFileDialogResult result;
  if (!AskTextureSaveName("Save Divided TexTures", result)) return;
  const std::string base = shape::RemoveFileExt(result.FileName);
  const std::string ext = result.FilterIndex == 1 ? ".png" : ".tga";
  const int32_t columns = CurrentShape.CPMaxI - 1, rows = CurrentShape.CPMaxJ - 1;
  if (!shape::ConfirmOverwriteFiles(shape::DividedImageFileNames(base, ext, columns, rows))) return;
  shape::RenameNotice.clear();
  shape::TSavedFiles saved;
  bool written;
  {
    TBusyCursor busy;
    written = shape::SaveDividedImage(base, ext, AppSettings.TxtrFile, columns, rows);
  }
  shape::ShowRenameNotice();
  if (!written && saved.Failed.empty()) saved.Failed.push_back(base + ext);
  if (!saved.Failed.empty()) ReportSaveFailure(saved);
}

// ---- background pictures ----

void TMainFrm::ViewLoadBkgroundExecute() {
  platform::TFileDialogRequest request;
  PrepareOpenDialog(request, AppSettings.BkgdFile);
  request.Filter = kBackgroundFilter;
  request.Title = std::string("Load ") + ModeCaption(EditorMode) + " Background Picture";
  platform::TFileDialogResult result;
  if (!fileDialog_->Execute(request, result) || !CurrentShapeEditor) return;
  bool loaded;
  {
    TBusyCursor busy;
    loaded = CurrentShapeEditor->LoadBackground(result.FileName);
  }
  if (!loaded) {
    ReadFailed(result.FileName);
    return;
  }
  RefreshEditorUi(false);
  AppSettings.BkgdFile = result.FileName;
}

// ---- drops ----

void TMainFrm::DropDst1FileDrop(const std::vector<std::string>& files) {
  std::error_code ec;
  if (files.size() == 1 && std::filesystem::is_regular_file(files.front(), ec))
    LoadTexture(files.front(), true);
}

void TMainFrm::DropDst2FileDrop(const std::vector<std::string>& files) {
  std::error_code ec;
  if (files.size() == 1 && std::filesystem::is_regular_file(files.front(), ec))
    OpenAndRemember(files.front(), -1);
}

// ---- the actions ----

void TMainFrm::WireFileActions() {
  Act("FileNew")->OnExecute = [this](platform::TAction*) { FileNewExecute(); };
  Act("FileSTLoad")->OnExecute = [this](platform::TAction*) { FileSTLoadExecute(); };
  Act("FileSTSave")->OnExecute = [this](platform::TAction*) { FileSTSaveExecute(); };
  Act("FileStSaveLast")->OnExecute = [this](platform::TAction*) { FileStSaveLastExecute(); };
  Act("FileStSaveLast")->OnUpdate = [this](platform::TAction* a) {
    a->SetVisible(LastSaveFilter >= 0);
    if (LastSaveFilter >= 0) a->SetCaption(Quoted("Save", AppSettings.SclpFile));
  };
  Act("FileStSaveLast")->SetVisible(false);
  Act("FileSetup")->OnExecute = [this](platform::TAction*) { FileSetupExecute(); };
  Act("TextureReset")->OnExecute = [this](platform::TAction*) { ShowDefaultTexture(); };
  Act("TextureLoad")->OnExecute = [this](platform::TAction*) { TextureLoadExecute(); };
  Act("TextureLoadLast")->OnExecute = [this](platform::TAction*) { LoadTexture(AppSettings.TxtrFile, true); };
  Act("TextureLoadLast")->OnUpdate = [](platform::TAction* a) {
    a->SetEnabled(!AppSettings.TxtrFile.empty());
    if (!AppSettings.TxtrFile.empty()) a->SetCaption(Quoted("Load", AppSettings.TxtrFile));
  };
  Act("TextureSave")->OnExecute = [this](platform::TAction*) { TextureSaveExecute(); };
  Act("TextureDividedSave")->OnExecute = [this](platform::TAction*) { TextureDividedSaveExecute(); };
  Act("TextureDividedSave")->OnUpdate = [](platform::TAction* a) {
    a->SetEnabled(int64_t{CurrentShape.CPMaxI - 1} * (CurrentShape.CPMaxJ - 1) > 1024);
  };
  Act("ViewLoadBkground")->OnExecute = [this](platform::TAction*) { ViewLoadBkgroundExecute(); };
  Act("ViewLoadBkground")->OnUpdate = [this](platform::TAction* a) { a->SetEnabled(EditorMode != 7); };
}

}  // namespace editor
