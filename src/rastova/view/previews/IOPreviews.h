#pragma once
// The save-parameters preview dialog of the I/O component: the image to be saved on the left,
// the result of the chosen settings on the right, and one page of settings per format with the
// uncompressed and the compressed size. It edits a working copy of the parameters and writes it
// back only on OK or Apply.
#include <QDialog>
#include <QFrame>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "rastova/codecs/IOParamsVals.h"
#include "rastova/core/RVDefs.h"

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTabWidget;

namespace rv {

class TRastovaIO;
class TRastovaView;

// The format pages, in the order of their bits in a page set (bit 4 << page).
enum TIOPreviewsPage : int32_t {
  pgJPEG,
  pgTIFF,
  pgGIF,
  pgBMP,
  pgPCX,
  pgPNG,
  pgTGA,
  pgJ2000,
  kIOPreviewsPageCount
};

// The page set's bit of the format of a file type (0: the format has no page).
uint16_t PreviewPageOfFileType(int32_t FileType);
// The pages a request shows: bit 1 every page, bit 2 adds the page of FileType. 0 when there
// is nothing to show.
uint16_t PreviewPagesOf(uint16_t Pages, int32_t FileType);
// The TIFF compression list: entry index to TIFF_Compression and back, with and without the
// LZW encoder in the list.
uint8_t TIFFCompressionOfIndex(int32_t Index, bool WithLZW);
int32_t TIFFCompressionIndex(int32_t Value, bool WithLZW);

// A colour swatch that answers a click.
class TIOColorPanel : public QFrame {
 public:
  explicit TIOColorPanel(QWidget* parent);
  void SetColor(TColor color);
  TColor Color() const { return color_; }
  std::function<void()> OnClick;

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  TColor color_ = 0;
};

class TfIOPreviews : public QDialog {
 public:
  // One control of a page: what it shows and where its value lives in the parameters.
  struct TField;

  explicit TfIOPreviews(QWidget* AOwner = nullptr);
  ~TfIOPreviews() override;

  // ---- set up by the caller before Prepare
  TIOParamsVals* Params = nullptr;
  bool DefaultLockPreview = false;
  bool SimplifiedParamsDialogs = false;
  // The I/O component's MonoConversionMode: 0 ordered dithering, 1 threshold.
  uint8_t MonoConversionMode = 0;
  TMsgLanguage Language = msEnglish;

  // Shows the tabs of Pages in the chosen layout; false when there is nothing to show.
  bool Prepare(uint16_t Pages);
  void Localize(TMsgLanguage ALanguage);
  void FormActivate();
  void ReadParams();
  void ShowParams();
  void PageControl1Change();
  void MakePreview();
  void Button1Click();
  void Button3Click();
  void Button4Click();
  void Rastova1ViewChange();
  void Rastova1Progress(int32_t Percent);

  // ---- the controls
  TRastovaView* Rastova1 = nullptr;
  TRastovaView* Rastova2 = nullptr;
  QTabWidget* PageControl1 = nullptr;
  QProgressBar* ProgressBar1 = nullptr;
  QPushButton* Button1 = nullptr;
  QPushButton* Button2 = nullptr;
  QPushButton* Button3 = nullptr;
  QPushButton* Button4 = nullptr;
  QCheckBox* chkLockPreview = nullptr;
  QLabel* LabelSource = nullptr;
  QLabel* LabelResult = nullptr;

  // The active format page, -1 when none.
  int32_t ActivePage() const;
  // The tab sheet of a page in a layout.
  QWidget* TabSheet(int32_t Page, bool Simplified) const;
  // A page's control by its caption's word number (the sizes: 43 and 44 give their value
  // labels); nullptr when the page has none.
  QWidget* Control(int32_t Page, int32_t Word, bool Simplified) const;
  QLabel* CompressedSizeLabel(int32_t Page) const;
  QLabel* OriginalSizeLabel(int32_t Page) const;
  const TIOParamsVals& WorkingCopy() const { return working_; }
  bool Active() const { return active_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  struct TSheet;
  void BuildPages();
  void BuildSheet(int32_t Page, bool Simplified);
  void PlaceControls();
  void ShowPage(int32_t Page);
  void ReadControls(int32_t Page);
  // Runs Action on each field of the page that has a control in the current layout.
  void ForEachControl(int32_t Page, const std::function<void(TField&, QWidget*)>& Action);
  void ControlChanged(int32_t Page, int32_t Word, bool AffectsPreview);
  void KeepTIFFConsistent(int32_t Word);
  void CopyPageFields(int32_t Page, const TIOParamsVals& From, TIOParamsVals& To) const;
  void WriteBack();
  void SetSizeText(int32_t Page, bool Compressed, const QString& Text);
  void MeasureAndReduce(int32_t Page);
  void ColorPanelClick(int32_t Page, int32_t Word);
  const TSheet& CurrentSheet(int32_t Page) const;

  std::vector<TField> fields_[kIOPreviewsPageCount];
  std::vector<TSheet> sheets_;
  TIOParamsVals working_;
  uint16_t pages_ = 0;
  bool active_ = false;
  bool pageChanging_ = false;
  bool showing_ = false;
  bool activated_ = false;
  int32_t progressDivisor_ = 1;
  int32_t progressOffset_ = 0;
  int32_t pageControlHeight_ = 0;
  std::vector<TRGB> palette_;
};

// Installs the dialog as the I/O component's DoPreviews dialog (the view library's start-up
// calls it).
void InstallIOPreviewsDialog();

}  // namespace rv
