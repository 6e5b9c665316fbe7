#include "rastova/view/previews/IOPreviews.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <exception>
#include <map>

#include "platform/gfx/Canvas.h"
#include "platform/ui/FontColorDialogs.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVLists.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVUtils.h"
#include "rastova/core/RVWords.h"
#include "rastova/core/RastovaProc.h"
#include "rastova/core/RastovaProcColor.h"
#include "rastova/io/RVFileFormat.h"
#include "rastova/io/RastovaIO.h"
#include "rastova/view/RastovaPaletteDialog.h"
#include "rastova/view/core/RastovaView.h"

namespace rv {

namespace {

constexpr int32_t kClientWidth = 527, kClientHeight = 425, kPageControlHeight = 176;
// Word numbers of the controls that are not captions of their own.
constexpr int32_t kWordOriginalSize = 43, kWordCompressedSize = 44, kWordAdvanced = 45, kWordDocInfo = 50,
                  kWordOf = 55, kSliderEdit = 1000;
const char* const kSheetNames[kIOPreviewsPageCount] = {"JPEG", "TIFF", "GIF", "BMP",
                                                       "PCX",  "PNG",  "TGA", "J2000"};
const char* const kTabCaptions[kIOPreviewsPageCount] = {"JPEG", "TIFF", "GIF", "BMP",
                                                        "PCX",  "PNG",  "TGA", "JPEG2000"};
// The file type OK and Apply give each page.
constexpr int32_t kPageFileType[kIOPreviewsPageCount] = {3, 1, 2, 5, 4, 8, 11, 14};
// Pages with a sheet of their own for the simplified layout.
constexpr bool kTwoSheets[kIOPreviewsPageCount] = {true, true, true, false, false, false, false, false};

QString Word(int32_t index, TMsgLanguage language) {
  return QString::fromStdU16String(GetLocalizedWord(static_cast<uint8_t>(index), language));
}

QString Bytes(int64_t n) { return QString::number(n) + QStringLiteral(" bytes"); }

// (SamplesPerPixel, BitsPerSample) of a colour list entry.
struct TDepth {
  int32_t spp, bps;
};
constexpr TDepth kTIFFDepths[] = {{1, 1}, {1, 4}, {1, 8}, {1, 16}, {3, 8}};
constexpr TDepth kTIFFDepthsSimple[] = {{1, 1}, {1, 4}, {1, 8}, {3, 8}};
constexpr TDepth kBMPDepths[] = {{1, 1}, {1, 4}, {1, 8}, {3, 8}, {3, 8}};
constexpr TDepth kPCXDepths[] = {{1, 1}, {1, 4}, {1, 8}, {3, 8}};
constexpr TDepth kPNGDepths[] = {{1, 1}, {1, 8}, {3, 8}};

template <size_t N>
int32_t DepthIndex(const TDepth (&table)[N], const TIOParamsVals& p) {
  for (size_t i = 0; i < N; ++i)
    if (table[i].spp == p.SamplesPerPixel && table[i].bps == p.BitsPerSample) return static_cast<int32_t>(i);
  // CMYK's four samples and anything unknown show as the deepest entry.
  return static_cast<int32_t>(N - 1);
}

template <size_t N>
void SetDepth(const TDepth (&table)[N], TIOParamsVals& p, int32_t index) {
  const TDepth& d = table[std::clamp<int32_t>(index, 0, N - 1)];
  p.SamplesPerPixel = d.spp;
  p.BitsPerSample = d.bps;
}

TRGB ToRGB(TColor c) {
  TRGB v{};
  ColorToTRGB(c, v);
  return v;
}

// Keeps the override cursor for the life of the object.
struct THourglass {
  THourglass() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
  ~THourglass() { QGuiApplication::restoreOverrideCursor(); }
};

}  // namespace

uint16_t PreviewPageOfFileType(int32_t FileType) {
  switch (FileType) {
    case ioTIFF:
      return ppTIFF;
    case ioGIF:
      return ppGIF;
    case ioJPEG:
      return ppJPEG;
    case ioPCX:
      return ppPCX;
    case ioBMP:
      return ppBMP;
    case ioPNG:
      return ppPNG;
    case ioTGA:
      return ppTGA;
    case ioJP2:
    case ioJ2K:
      return ppJ2000;
    default:
      return 0;
  }
}

uint16_t PreviewPagesOf(uint16_t Pages, int32_t FileType) {
  if (Pages & 2) Pages |= PreviewPageOfFileType(FileType);
  if (Pages & 1) return Pages;
  return (Pages & ~3u) ? Pages : 0;
}

uint8_t TIFFCompressionOfIndex(int32_t Index, bool WithLZW) {
  if (Index >= 0 && Index <= 4) return static_cast<uint8_t>(Index);
  constexpr uint8_t withLZW[] = {5, 7, 8, 9}, withoutLZW[] = {7, 8, 9};
  if (WithLZW && Index >= 5 && Index <= 8) return withLZW[Index - 5];
  if (!WithLZW && Index >= 5 && Index <= 7) return withoutLZW[Index - 5];
  return 0;
}

int32_t TIFFCompressionIndex(int32_t Value, bool WithLZW) {
  if (Value >= 1 && Value <= 4) return Value;
  switch (Value) {
    case 5:
      return WithLZW ? 5 : 6;
    case 7:
      return WithLZW ? 6 : 5;
    case 8:
      return WithLZW ? 7 : 6;
    case 9:
      return WithLZW ? 8 : 7;
    default:
      return 0;
  }
}

TIOColorPanel::TIOColorPanel(QWidget* parent) : QFrame(parent) {
  setFrameShape(QFrame::Panel);
  setFrameShadow(QFrame::Sunken);
  setAutoFillBackground(true);
  setFixedSize(40, 20);
  SetColor(0);
}

void TIOColorPanel::SetColor(TColor color) {
  color_ = color;
  QPalette p = palette();
  p.setColor(QPalette::Window, platform::ToQColor(color));
  setPalette(p);
}

void TIOColorPanel::mouseReleaseEvent(QMouseEvent* event) {
  QFrame::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && OnClick) OnClick();
}

// ---------------------------------------------------------------- the pages as tables

struct TfIOPreviews::TField {
  enum TKind { kCombo, kNumber, kSlider, kCheck, kText, kPanel };
  TField(TKind k, int32_t w, QStringList entries = {}) : kind(k), word(w), items(std::move(entries)) {}
  TKind kind;
  int32_t word;
  QStringList items;        // combo entries (normal layout)
  QStringList simpleItems;  // combo entries of the simplified sheet, when they differ
  bool advanced = false;    // hidden in the simplified layout
  bool inGroup = false;     // in the page's group box
  bool affectsPreview = true;
  int32_t min = 0, max = 65535, fallback = 0;  // numbers: range and the value of a non-number
  std::function<int32_t(const TIOParamsVals&, bool simplified)> get;
  std::function<void(TIOParamsVals&, int32_t, bool simplified)> set;
  std::function<std::string(const TIOParamsVals&)> getText;
  std::function<void(TIOParamsVals&, const std::string&)> setText;
  std::function<TRGB&(TIOParamsVals&)> colour;
};

struct TfIOPreviews::TSheet {
  QWidget* widget = nullptr;
  bool simplified = false;
  std::map<int32_t, QWidget*> controls;
  std::vector<std::pair<QLabel*, int32_t>> labels;
  std::vector<std::pair<QCheckBox*, int32_t>> checks;
  std::vector<std::pair<QWidget*, bool>> advanced;  // (row widget, hidden in simplified)
  QGroupBox* group = nullptr;
  int32_t groupWord = 0;
  QLabel* ofLabel = nullptr;
  QLabel* original = nullptr;
  QLabel* compressed = nullptr;
};

namespace {

using F = TfIOPreviews::TField;

F Combo(int32_t word, QStringList items, std::function<int32_t(const TIOParamsVals&, bool)> get,
        std::function<void(TIOParamsVals&, int32_t, bool)> set) {
  F f(F::kCombo, word, std::move(items));
  f.get = std::move(get);
  f.set = std::move(set);
  return f;
}

template <typename C, typename T>
F Number(F::TKind kind, int32_t word, T C::*member, int32_t min, int32_t max, int32_t fallback) {
  F f(kind, word);
  f.min = min;
  f.max = max;
  f.fallback = fallback;
  f.get = [member](const TIOParamsVals& p, bool) { return static_cast<int32_t>(p.*member); };
  f.set = [member](TIOParamsVals& p, int32_t v, bool) { p.*member = static_cast<T>(v); };
  return f;
}

template <typename C>
F Check(int32_t word, bool C::*member) {
  F f(F::kCheck, word);
  f.get = [member](const TIOParamsVals& p, bool) { return p.*member ? 1 : 0; };
  f.set = [member](TIOParamsVals& p, int32_t v, bool) { p.*member = v != 0; };
  return f;
}

template <typename C>
F Text(int32_t word, std::string C::*member) {
  F f(F::kText, word);
  f.affectsPreview = false;
  f.getText = [member](const TIOParamsVals& p) { return p.*member; };
  f.setText = [member](TIOParamsVals& p, const std::string& s) { p.*member = s; };
  return f;
}

template <typename C>
F Panel(int32_t word, TRGB C::*member) {
  F f(F::kPanel, word);
  f.affectsPreview = false;
  f.colour = [member](TIOParamsVals& p) -> TRGB& { return p.*member; };
  return f;
}

F Advanced(F f, bool inGroup = true) {
  f.advanced = true;
  f.inGroup = inGroup;
  return f;
}

template <size_t N>
F Colours(QStringList items, const TDepth (&table)[N]) {
  return Combo(
      58, std::move(items), [&table](const TIOParamsVals& p, bool) { return DepthIndex(table, p); },
      [&table](TIOParamsVals& p, int32_t i, bool) { SetDepth(table, p, i); });
}

}  // namespace

TfIOPreviews::TfIOPreviews(QWidget* AOwner) : QDialog(AOwner), pageControlHeight_(kPageControlHeight) {
  setWindowTitle(QStringLiteral("Parameters preview"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setModal(true);
  QFont font(platform::StandInFontFamily("MS Sans Serif"));
  font.setPixelSize(11);
  setFont(font);
  resize(kClientWidth, kClientHeight);

  LabelSource = new QLabel(QStringLiteral("Source:"), this);
  LabelResult = new QLabel(QStringLiteral("Result:"), this);
  Rastova1 = new TRastovaView(this);
  Rastova1->setObjectName(QStringLiteral("Rastova1"));
  Rastova1->WriteMouseInteract(MouseInteractOf({miZoom, miScroll}));
  Rastova1->WriteBackground(platform::clWhite);
  Rastova2 = new TRastovaView(this);
  Rastova2->setObjectName(QStringLiteral("Rastova2"));
  Rastova2->WriteBackground(platform::clWhite);
  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);
  Button1 = new QPushButton(QStringLiteral("OK"), this);
  Button1->setDefault(true);
  Button2 = new QPushButton(QStringLiteral("Cancel"), this);
  Button3 = new QPushButton(QStringLiteral("&Preview"), this);
  Button4 = new QPushButton(QStringLiteral("&Apply"), this);
  chkLockPreview = new QCheckBox(QStringLiteral("Lock Preview"), this);
  chkLockPreview->setToolTip(
      QStringLiteral("Automatically updates your preview with the changes you have selected"));
  for (QPushButton* b : {Button2, Button3, Button4}) b->setAutoDefault(false);

  // FormCreate: both views' components use the dialog font; Apply waits for a change.
  platform::TFont ioFont;
  ioFont.Name = "MS Sans Serif";
  ioFont.Color = platform::clWindowText;
  ioFont.SetHeight(-11);
  Rastova1->GetIO()->SetPreviewFont(ioFont);
  Rastova2->GetIO()->SetPreviewFont(ioFont);
  Button4->setEnabled(false);

  connect(Button1, &QPushButton::clicked, this, [this] {
    Button1Click();
    accept();
  });
  connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
  connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
  connect(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });
  connect(chkLockPreview, &QCheckBox::toggled, this, [this](bool on) {
    Button3->setEnabled(!on);
    if (on) MakePreview();
  });
  connect(PageControl1, &QTabWidget::currentChanged, this, [this](int) {
    if (activated_) PageControl1Change();
  });
  Rastova1->FOnViewChange = [this](TRastovaView*, int32_t) { Rastova1ViewChange(); };
  Rastova1->WriteOnProgress([this](TRastovaView*, int32_t per) { Rastova1Progress(per); });

  BuildPages();
  PlaceControls();
}

TfIOPreviews::~TfIOPreviews() {
  // The source view may show a bitmap of its caller's; it is not the view's to free.
  Rastova1->FOnViewChange = nullptr;
  Rastova1->WriteOnProgress(nullptr);
}

void TfIOPreviews::BuildPages() {
  auto& jpeg = fields_[pgJPEG];
  jpeg.push_back(Number(F::kSlider, 38, &TIOParamsVals::JPEG_Quality, 0, 100, 50));
  jpeg.push_back(Advanced(Combo(
      39, {"ISLOW", "IFAST", "FLOAT"}, [](const TIOParamsVals& p, bool) { return int32_t(p.JPEG_DCTMethod); },
      [](TIOParamsVals& p, int32_t v, bool) { p.JPEG_DCTMethod = uint8_t(v); })));
  jpeg.push_back(Advanced(Number(F::kNumber, 40, &TIOParamsVals::JPEG_Smooth, 0, 100, 0)));
  jpeg.push_back(Advanced(Combo(
      49, {"RGB", "GrayScale", "YCbCr", "CMYK", "YCbCrK"},
      [](const TIOParamsVals& p, bool) { return int32_t(p.JPEG_ColorSpace); },
      [](TIOParamsVals& p, int32_t v, bool) { p.JPEG_ColorSpace = uint8_t(v); })));
  jpeg.push_back(Advanced(Check(42, &TIOParamsVals::JPEG_OptimalHuffman)));
  jpeg.push_back(Advanced(Check(46, &TIOParamsVals::JPEG_Progressive)));

  auto& tiff = fields_[pgTIFF];
  // The list is filled when the dialog is activated, by whether the LZW encoder is there.
  tiff.push_back(Combo(
      47, {},
      [](const TIOParamsVals& p, bool) {
        return TIFFCompressionIndex(p.TIFF_Compression, TIFFLZWEncoderHook);
      },
      [](TIOParamsVals& p, int32_t i, bool) {
        p.TIFF_Compression = TIFFCompressionOfIndex(i, TIFFLZWEncoderHook);
      }));
  F index = Number(F::kNumber, 48, &TIOParamsVals::TIFF_ImageIndex, 0, 1000, 0);
  index.set = [](TIOParamsVals& p, int32_t v, bool) { p.SetImageIndex(v); };
  index.affectsPreview = false;
  tiff.push_back(index);
  tiff.push_back(Advanced(
      Combo(
          49,
          {"WHITEISZERO/Gray", "BLACKISZERO/Gray", "RGB", "RGBPALETTE", "TRANSPMASK", "CMYK", "YCBCR",
           "CIELAB"},
          [](const TIOParamsVals& p, bool) { return int32_t(std::min<uint8_t>(p.TIFF_Photometric, 7)); },
          [](TIOParamsVals& p, int32_t v, bool) { p.TIFF_Photometric = uint8_t(v); }),
      false));
  F colours = Combo(
      58, {"B/W", "16", "256", "65536", "16M"},
      [](const TIOParamsVals& p, bool simple) {
        return simple ? DepthIndex(kTIFFDepthsSimple, p) : DepthIndex(kTIFFDepths, p);
      },
      [](TIOParamsVals& p, int32_t i, bool simple) {
        if (simple)
          SetDepth(kTIFFDepthsSimple, p, i);
        else
          SetDepth(kTIFFDepths, p, i);
      });
  colours.simpleItems = QStringList{"2", "16", "256", "16777216"};
  tiff.push_back(colours);
  tiff.push_back(Advanced(Text(51, &TIOParamsVals::TIFF_DocumentName)));
  tiff.push_back(Advanced(Text(52, &TIOParamsVals::TIFF_ImageDescription)));
  tiff.push_back(Advanced(Text(53, &TIOParamsVals::TIFF_PageName)));
  for (auto [word, member] :
       {std::pair{54, &TIOParamsVals::TIFF_PageNumber}, std::pair{kWordOf, &TIOParamsVals::TIFF_PageCount},
        std::pair{56, &TIOParamsVals::TIFF_XPos}, std::pair{57, &TIOParamsVals::TIFF_YPos}}) {
    F f = Advanced(Number(F::kNumber, word, member, word <= kWordOf ? -1 : 0, 65535, 0));
    f.affectsPreview = false;
    tiff.push_back(f);
  }

  auto& gif = fields_[pgGIF];
  F gifIndex = Number(F::kNumber, 48, &TIOParamsVals::GIF_ImageIndex, 0, 1000, 0);
  gifIndex.set = [](TIOParamsVals& p, int32_t v, bool) { p.SetImageIndex(v); };
  gifIndex.affectsPreview = false;
  gif.push_back(gifIndex);
  gif.push_back(Combo(
      58, {"B/W", "4", "8", "16", "32", "64", "128", "256"},
      [](const TIOParamsVals& p, bool) { return std::clamp(p.BitsPerSample, 1, 8) - 1; },
      [](TIOParamsVals& p, int32_t i, bool) {
        p.BitsPerSample = std::clamp(i, 0, 7) + 1;
        p.SamplesPerPixel = 1;
      }));
  gif.push_back(Check(59, &TIOParamsVals::GIF_FlagTranspColor));
  gif.push_back(Panel(60, &TIOParamsVals::GIF_TranspColor));
  gif.push_back(Check(61, &TIOParamsVals::GIF_Interlaced));
  gif.push_back(Panel(62, &TIOParamsVals::GIF_Background));
  for (auto [word, member] :
       {std::pair{63, &TIOParamsVals::GIF_XPos}, std::pair{64, &TIOParamsVals::GIF_YPos},
        std::pair{65, &TIOParamsVals::GIF_DelayTime}}) {
    F f = Advanced(Number(F::kNumber, word, member, 0, 65535, 0));
    f.affectsPreview = false;
    gif.push_back(f);
  }

  const QStringList rle{"UNCOMPRESSED", "RLE"};
  fields_[pgBMP].push_back(Combo(
      47, rle, [](const TIOParamsVals& p, bool) { return int32_t(p.BMP_Compression != 0); },
      [](TIOParamsVals& p, int32_t v, bool) { p.BMP_Compression = uint8_t(v); }));
  fields_[pgBMP].push_back(Colours({"B/W", "16", "256", "16M", "16M (32bit)"}, kBMPDepths));
  fields_[pgPCX].push_back(Combo(
      47, rle, [](const TIOParamsVals& p, bool) { return int32_t(p.PCX_Compression != 0); },
      [](TIOParamsVals& p, int32_t v, bool) { p.PCX_Compression = uint8_t(v); }));
  fields_[pgPCX].push_back(Colours({"B/W", "16", "256", "16M"}, kPCXDepths));

  auto& png = fields_[pgPNG];
  png.push_back(Colours({"B/W", "256", "16M"}, kPNGDepths));
  png.push_back(Advanced(Panel(62, &TIOParamsVals::PNG_Background), false));
  png.push_back(Advanced(Combo(
      66, {"None", "Sub", "Paeth"},
      [](const TIOParamsVals& p, bool) { return int32_t(std::min<uint8_t>(p.PNG_Filter, 2)); },
      [](TIOParamsVals& p, int32_t v, bool) { p.PNG_Filter = uint8_t(v); })));
  png.push_back(Advanced(Check(61, &TIOParamsVals::PNG_Interlaced)));
  png.push_back(Advanced(Combo(
      47, {"None", "1", "2", "3", "4", "5", "6", "7", "8", "Max"},
      [](const TIOParamsVals& p, bool) { return std::clamp(p.PNG_Compression, 0, 9); },
      [](TIOParamsVals& p, int32_t v, bool) { p.PNG_Compression = v; })));

  auto& tga = fields_[pgTGA];
  tga.push_back(Colours({"B/W", "256", "16M"}, kPNGDepths));
  tga.push_back(Advanced(Panel(62, &TIOParamsVals::TGA_Background), false));
  tga.push_back(Check(47, &TIOParamsVals::TGA_Compressed));
  tga.push_back(Text(51, &TIOParamsVals::TGA_ImageName));
  tga.push_back(Text(52, &TIOParamsVals::TGA_Descriptor));

  auto& j2k = fields_[pgJ2000];
  F rate(F::kSlider, 123);
  rate.min = 0;
  rate.max = 1000;
  rate.fallback = 1000;
  rate.get = [](const TIOParamsVals& p, bool) {
    return std::isfinite(p.J2000_Rate) ? int32_t(std::clamp(std::lround(p.J2000_Rate * 1000), 0L, 1000L))
                                       : 1000;
  };
  rate.set = [](TIOParamsVals& p, int32_t v, bool) { p.J2000_Rate = v / 1000.0; };
  j2k.push_back(rate);
  j2k.push_back(Advanced(
      Combo(
          49, {"GrayScale", "RGB", "YCbCr"},
          [](const TIOParamsVals& p, bool) { return int32_t(std::min<uint8_t>(p.J2000_ColorSpace, 2)); },
          [](TIOParamsVals& p, int32_t v, bool) {
            p.J2000_ColorSpace = uint8_t(v);
            p.BitsPerSample = 8;
            p.SamplesPerPixel = v == 0 ? 1 : 3;
          }),
      false));

  sheets_.resize(2 * kIOPreviewsPageCount);
  for (int32_t page = 0; page < kIOPreviewsPageCount; ++page) {
    BuildSheet(page, false);
    if (kTwoSheets[page]) BuildSheet(page, true);
  }
}

void TfIOPreviews::BuildSheet(int32_t Page, bool Simplified) {
  TSheet& sheet = sheets_[2 * Page + (Simplified ? 1 : 0)];
  sheet.simplified = Simplified;
  sheet.widget = new QWidget;
  sheet.widget->setObjectName(QStringLiteral("TabSheet%1%2").arg(kSheetNames[Page]).arg(Simplified ? 2 : 1));
  auto* grid = new QGridLayout(sheet.widget);
  grid->setContentsMargins(4, 2, 4, 2);
  grid->setVerticalSpacing(1);
  QGridLayout* groupGrid = nullptr;
  const bool groupIsDocInfo = Page == pgTIFF;
  int32_t row = 0, groupRow = 0;
  for (F& f : fields_[Page]) {
    // The simplified sheets leave the advanced controls out.
    if (Simplified && f.advanced) continue;
    QWidget* control = nullptr;
    switch (f.kind) {
      case F::kCombo: {
        auto* c = new QComboBox;
        c->addItems(Simplified && !f.simpleItems.isEmpty() ? f.simpleItems : f.items);
        connect(c, &QComboBox::activated, this,
                [this, Page, w = f.word, a = f.affectsPreview](int) { ControlChanged(Page, w, a); });
        control = c;
        break;
      }
      case F::kNumber:
      case F::kText: {
        auto* e = new QLineEdit;
        connect(e, &QLineEdit::editingFinished, this, [this, Page, w = f.word, a = f.affectsPreview] {
          if (!showing_) ControlChanged(Page, w, a);
        });
        control = e;
        break;
      }
      case F::kSlider: {
        auto* s = new QSlider(Qt::Horizontal);
        s->setRange(f.min, f.max);
        // One preview per change: the value is taken when the thumb is let go.
        s->setTracking(false);
        auto* e = new QLineEdit;
        e->setFixedWidth(50);
        connect(s, &QSlider::sliderMoved, e, [e](int v) { e->setText(QString::number(v)); });
        connect(s, &QSlider::valueChanged, this, [this, Page, w = f.word, e](int v) {
          if (showing_) return;
          e->setText(QString::number(v));
          ControlChanged(Page, w, true);
        });
        connect(e, &QLineEdit::editingFinished, this, [this, Page, w = f.word] {
          if (!showing_) ControlChanged(Page, w, true);
        });
        sheet.controls[f.word + kSliderEdit] = e;
        auto* box = new QWidget;
        auto* h = new QHBoxLayout(box);
        h->setContentsMargins(0, 0, 0, 0);
        h->addWidget(s);
        h->addWidget(e);
        sheet.controls[f.word] = s;
        control = box;
        break;
      }
      case F::kCheck: {
        auto* c = new QCheckBox;
        connect(c, &QCheckBox::clicked, this,
                [this, Page, w = f.word, a = f.affectsPreview] { ControlChanged(Page, w, a); });
        sheet.checks.emplace_back(c, f.word);
        control = c;
        break;
      }
      case F::kPanel: {
        auto* p = new TIOColorPanel(nullptr);
        p->OnClick = [this, Page, w = f.word] { ColorPanelClick(Page, w); };
        control = p;
        break;
      }
    }
    if (f.kind != F::kSlider) sheet.controls[f.word] = control;
    QLabel* label = nullptr;
    if (f.kind != F::kCheck) {
      label = new QLabel;
      label->setBuddy(f.kind == F::kSlider ? sheet.controls[f.word + kSliderEdit] : control);
      sheet.labels.emplace_back(label, f.word);
    }
    QGridLayout* target = grid;
    int32_t* r = &row;
    if (f.inGroup) {
      if (!groupGrid) {
        sheet.group = new QGroupBox;
        sheet.groupWord = groupIsDocInfo ? kWordDocInfo : kWordAdvanced;
        groupGrid = new QGridLayout(sheet.group);
        groupGrid->setContentsMargins(4, 2, 4, 2);
        groupGrid->setVerticalSpacing(1);
      }
      target = groupGrid;
      r = &groupRow;
    }
    if (label) target->addWidget(label, *r, 0);
    target->addWidget(control, *r, 1);
    if (f.word == 65) target->addWidget(new QLabel(QStringLiteral("1/100 s")), *r, 2);
    if (f.advanced && !f.inGroup) {
      if (label) sheet.advanced.emplace_back(label, true);
      sheet.advanced.emplace_back(control, true);
    }
    ++*r;
  }
  if (sheet.group) {
    grid->addWidget(sheet.group, 0, 3, std::max(row, 4), 1);
    if (!kTwoSheets[Page]) sheet.advanced.emplace_back(sheet.group, true);
  }
  sheet.original = new QLabel(QStringLiteral("---"));
  sheet.compressed = new QLabel(QStringLiteral("---"));
  auto *originalCaption = new QLabel, *compressedCaption = new QLabel;
  sheet.labels.emplace_back(originalCaption, kWordOriginalSize);
  sheet.labels.emplace_back(compressedCaption, kWordCompressedSize);
  sheet.controls[kWordOriginalSize] = sheet.original;
  sheet.controls[kWordCompressedSize] = sheet.compressed;
  grid->addWidget(originalCaption, row, 0);
  grid->addWidget(sheet.original, row++, 1);
  grid->addWidget(compressedCaption, row, 0);
  grid->addWidget(sheet.compressed, row++, 1);
  // Without the advanced controls the size labels move up under the rest.
  grid->setRowStretch(row, 1);
  grid->setColumnStretch(1, 1);
  if (!kTwoSheets[Page]) sheets_[2 * Page + 1] = sheet;
}

const TfIOPreviews::TSheet& TfIOPreviews::CurrentSheet(int32_t Page) const {
  return sheets_[2 * Page + (SimplifiedParamsDialogs ? 1 : 0)];
}

QWidget* TfIOPreviews::TabSheet(int32_t Page, bool Simplified) const {
  if (Page < 0 || Page >= kIOPreviewsPageCount) return nullptr;
  return sheets_[2 * Page + (Simplified ? 1 : 0)].widget;
}

QWidget* TfIOPreviews::Control(int32_t Page, int32_t Word, bool Simplified) const {
  if (Page < 0 || Page >= kIOPreviewsPageCount) return nullptr;
  const auto& controls = sheets_[2 * Page + (Simplified ? 1 : 0)].controls;
  const auto it = controls.find(Word);
  return it == controls.end() ? nullptr : it->second;
}

QLabel* TfIOPreviews::OriginalSizeLabel(int32_t Page) const { return CurrentSheet(Page).original; }
QLabel* TfIOPreviews::CompressedSizeLabel(int32_t Page) const { return CurrentSheet(Page).compressed; }

int32_t TfIOPreviews::ActivePage() const {
  QWidget* current = PageControl1->currentWidget();
  if (!current) return -1;
  for (int32_t page = 0; page < kIOPreviewsPageCount; ++page)
    if (CurrentSheet(page).widget == current) return page;
  return -1;
}

void TfIOPreviews::PlaceControls() {
  const int32_t w = width(), h = height();
  const int32_t pcTop = h - 45 - pageControlHeight_;
  const int32_t viewHeight = std::max(20, pcTop - 26);
  const int32_t viewWidth = (w - 24) / 2;
  LabelSource->setGeometry(8, 4, viewWidth, 16);
  LabelResult->setGeometry(16 + viewWidth, 4, viewWidth, 16);
  Rastova1->setGeometry(8, 20, viewWidth, viewHeight);
  Rastova2->setGeometry(16 + viewWidth, 20, viewWidth, viewHeight);
  PageControl1->setGeometry(8, pcTop, w - 16, pageControlHeight_);
  const int32_t y = h - 37;
  chkLockPreview->setGeometry(8, y + 4, 100, 17);
  ProgressBar1->setGeometry(112, y + 6, std::max(10, w - 112 - 4 * 80 - 8), 12);
  Button3->setGeometry(w - 4 * 80, y, 75, 25);
  Button4->setGeometry(w - 3 * 80, y, 75, 25);
  Button1->setGeometry(w - 2 * 80, y, 75, 25);
  Button2->setGeometry(w - 80, y, 75, 25);
}

void TfIOPreviews::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  // The caller may have given the page control another height (the simplified layout).
  if (PageControl1->height() > 0) pageControlHeight_ = PageControl1->height();
  PlaceControls();
}

void TfIOPreviews::Localize(TMsgLanguage ALanguage) {
  Language = ALanguage;
  setWindowTitle(Word(37, ALanguage));
  LabelSource->setText(Word(1, ALanguage) + ':');
  LabelResult->setText(Word(2, ALanguage) + ':');
  Button1->setText(Word(3, ALanguage));
  Button2->setText(Word(4, ALanguage));
  Button3->setText(Word(0, ALanguage));
  chkLockPreview->setText(Word(5, ALanguage));
  Button4->setText(Word(120, ALanguage));
  for (TSheet& sheet : sheets_) {
    for (auto& [label, word] : sheet.labels) label->setText(Word(word, ALanguage) + ':');
    for (auto& [check, word] : sheet.checks) check->setText(Word(word, ALanguage));
    if (sheet.group) sheet.group->setTitle(' ' + Word(sheet.groupWord, ALanguage) + ' ');
  }
}

bool TfIOPreviews::Prepare(uint16_t Pages) {
  pages_ = PreviewPagesOf(Pages, Params ? Params->FileType : 0);
  if (!pages_) return false;
  chkLockPreview->setChecked(DefaultLockPreview);
  Button3->setEnabled(!DefaultLockPreview);
  Localize(Language);
  return true;
}

void TfIOPreviews::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Activation runs from the dialog's own event loop, as a window is activated after it shows:
  // it processes pending events, which must not meet a dialog still inside exec's set-up.
  if (!activated_) QTimer::singleShot(0, this, [this] { FormActivate(); });
}

void TfIOPreviews::FormActivate() {
  if (activated_ || !Params) return;
  PageControl1->hide();
  pageChanging_ = true;
  while (PageControl1->count()) PageControl1->removeTab(0);
  int32_t wanted = -1;
  uint16_t fileTypePage = 0;
  if (const TRVFileFormatInfo* row = GetFileFormatInfo(Params->FileType)) fileTypePage = row->DialogPages;
  if (!fileTypePage) fileTypePage = PreviewPageOfFileType(Params->FileType);
  for (int32_t page = 0; page < kIOPreviewsPageCount; ++page) {
    const uint16_t bit = uint16_t(4u << page);
    if (!(pages_ & 1) && !(pages_ & bit)) continue;
    const TSheet& sheet = CurrentSheet(page);
    PageControl1->addTab(sheet.widget, QString::fromLatin1(kTabCaptions[page]));
    if (fileTypePage & bit && wanted < 0) wanted = PageControl1->count() - 1;
    for (auto& [widget, hidden] : sheet.advanced) widget->setVisible(!(SimplifiedParamsDialogs && hidden));
  }
  if (wanted >= 0) PageControl1->setCurrentIndex(wanted);
  // The compression list depends on whether the LZW encoder is there.
  const QStringList compressions =
      TIFFLZWEncoderHook
          ? QStringList{"UNCOMPRESSED", "CCITT1D", "G3FAX1D",  "G3FAX2D", "G4FAX",
                        "LZW",          "JPEG",    "PACKBITS", "ZIP"}
          : QStringList{"UNCOMPRESSED", "CCITT1D", "G3FAX1D", "G3FAX2D", "G4FAX", "JPEG", "PACKBITS", "ZIP"};
  for (bool simple : {false, true})
    if (auto* combo = static_cast<QComboBox*>(Control(pgTIFF, 47, simple))) {
      combo->clear();
      combo->addItems(compressions);
    }
  PageControl1->show();
  pageChanging_ = false;
  ReadParams();
  ShowParams();
  Rastova1->Fit();
  QCoreApplication::processEvents();
  activated_ = true;
  PageControl1Change();
  active_ = true;
  MakePreview();
}

void TfIOPreviews::ReadParams() {
  if (Params) working_.Assign(*Params);
}

void TfIOPreviews::ShowParams() {
  showing_ = true;
  for (int32_t page = 0; page < kIOPreviewsPageCount; ++page) ShowPage(page);
  showing_ = false;
}

void TfIOPreviews::ForEachControl(int32_t Page, const std::function<void(TField&, QWidget*)>& Action) {
  const TSheet& sheet = CurrentSheet(Page);
  for (F& f : fields_[Page]) {
    const auto it = sheet.controls.find(f.word);
    if (it != sheet.controls.end()) Action(f, it->second);
  }
}

void TfIOPreviews::ShowPage(int32_t Page) {
  const bool simple = SimplifiedParamsDialogs;
  const TSheet& sheet = CurrentSheet(Page);
  ForEachControl(Page, [&](F& f, QWidget* c) {
    switch (f.kind) {
      case F::kCombo:
        static_cast<QComboBox*>(c)->setCurrentIndex(f.get(working_, simple));
        break;
      case F::kNumber:
        static_cast<QLineEdit*>(c)->setText(QString::number(f.get(working_, simple)));
        break;
      case F::kSlider: {
        const int32_t v = std::clamp(f.get(working_, simple), f.min, f.max);
        static_cast<QSlider*>(c)->setValue(v);
        static_cast<QLineEdit*>(sheet.controls.at(f.word + kSliderEdit))->setText(QString::number(v));
        break;
      }
      case F::kCheck:
        static_cast<QCheckBox*>(c)->setChecked(f.get(working_, simple) != 0);
        break;
      case F::kText:
        static_cast<QLineEdit*>(c)->setText(QString::fromStdString(f.getText(working_)));
        break;
      case F::kPanel:
        static_cast<TIOColorPanel*>(c)->SetColor(RGBToColor(f.colour(working_)));
        break;
    }
  });
  if (TRVBitmap* b = Rastova1->GetRVBitmap())
    SetSizeText(Page, false, Bytes(int64_t(b->GetRowLen()) * b->GetHeight()));
}

void TfIOPreviews::ReadControls(int32_t Page) {
  const bool simple = SimplifiedParamsDialogs;
  const TSheet& sheet = CurrentSheet(Page);
  ForEachControl(Page, [&](F& f, QWidget* c) {
    switch (f.kind) {
      case F::kCombo: {
        const int32_t i = static_cast<QComboBox*>(c)->currentIndex();
        if (i >= 0) f.set(working_, i, simple);
        break;
      }
      case F::kNumber:
      case F::kSlider: {
        auto* e = static_cast<QLineEdit*>(f.kind == F::kSlider ? sheet.controls.at(f.word + kSliderEdit) : c);
        bool ok = false;
        const qlonglong v = e->text().trimmed().toLongLong(&ok);
        // Text that is no number takes the field's default; numbers past the range its bounds.
        f.set(working_, ok ? int32_t(std::clamp<qlonglong>(v, f.min, f.max)) : f.fallback, simple);
        break;
      }
      case F::kCheck:
        f.set(working_, static_cast<QCheckBox*>(c)->isChecked() ? 1 : 0, simple);
        break;
      case F::kText:
        f.setText(working_, static_cast<QLineEdit*>(c)->text().toStdString());
        break;
      case F::kPanel:
        f.colour(working_) = ToRGB(static_cast<TIOColorPanel*>(c)->Color());
        break;
    }
  });
}

void TfIOPreviews::KeepTIFFConsistent(int32_t Word) {
  TIOParamsVals& p = working_;
  const int32_t colours = BitDepthColorCount(p.BitsPerSample, p.SamplesPerPixel);
  const bool bw = p.SamplesPerPixel == 1 && p.BitsPerSample == 1;
  auto select = [&](int32_t spp, int32_t bps) {
    p.SamplesPerPixel = spp;
    p.BitsPerSample = bps;
  };
  if (Word == 49) {  // photometric
    if (p.TIFF_Photometric <= 1) {
      if (!bw) select(1, 8);
    } else if (p.TIFF_Photometric == 3) {
      select(1, 8);
    } else if (p.TIFF_Photometric == 5) {
      select(4, 8);
    } else if (p.TIFF_Photometric != 4) {
      select(3, 8);
    }
  } else if (Word == 58) {  // colours
    if (bw && p.TIFF_Photometric > 1)
      p.TIFF_Photometric = 1;
    else if (colours == 16)
      p.TIFF_Photometric = 3;
    else if (colours == 256 && (p.TIFF_Photometric == 2 || p.TIFF_Photometric > 3))
      p.TIFF_Photometric = 3;
    else if (p.SamplesPerPixel == 3 && (p.TIFF_Photometric <= 1 || p.TIFF_Photometric == 3))
      // Three samples cannot be grey or palette indices.
      p.TIFF_Photometric = 2;
    if (SimplifiedParamsDialogs) {
      const bool ccitt = p.TIFF_Compression >= 1 && p.TIFF_Compression <= 4;
      if ((ccitt && !bw) || (p.TIFF_Compression == 7 && colours <= 16)) p.TIFF_Compression = 0;
    }
  } else if (Word == 47 && SimplifiedParamsDialogs) {  // compression
    if (p.TIFF_Compression >= 1 && p.TIFF_Compression <= 4) {
      select(1, 1);
      p.TIFF_Photometric = 1;
    } else if (p.TIFF_Compression == 7) {
      select(3, 8);
      p.TIFF_Photometric = 6;
    }
  }
  if (p.TIFF_Photometric == 5) select(4, 8);
}

void TfIOPreviews::ControlChanged(int32_t Page, int32_t Word, bool AffectsPreview) {
  if (!activated_ || pageChanging_ || showing_) return;
  ReadControls(Page);
  if (Page == pgTIFF) KeepTIFFConsistent(Word);
  showing_ = true;
  ShowPage(Page);
  showing_ = false;
  if (AffectsPreview && chkLockPreview->isChecked()) MakePreview();
  Button4->setEnabled(true);
}

void TfIOPreviews::PageControl1Change() {
  if (!activated_) return;
  pageChanging_ = true;
  ReadParams();
  ShowParams();
  pageChanging_ = false;
  if (chkLockPreview->isChecked() && active_) MakePreview();
  Button4->setEnabled(false);
}

void TfIOPreviews::CopyPageFields(int32_t Page, const TIOParamsVals& From, TIOParamsVals& To) const {
  for (const F& f : fields_[Page]) {
    switch (f.kind) {
      case F::kText:
        f.setText(To, f.getText(From));
        break;
      case F::kPanel:
        f.colour(To) = f.colour(const_cast<TIOParamsVals&>(From));
        break;
      default:
        f.set(To, f.get(From, false), false);
        break;
    }
  }
  // The colour lists share BitsPerSample and SamplesPerPixel; copy them as they stand (the
  // lists' own mapping would fold depths a layout cannot show).
  To.BitsPerSample = From.BitsPerSample;
  To.SamplesPerPixel = From.SamplesPerPixel;
  if (Page == pgTIFF) {
    To.TIFF_Compression = From.TIFF_Compression;
    To.TIFF_Photometric = From.TIFF_Photometric;
  }
  if (Page == pgJ2000) To.J2000_Rate = From.J2000_Rate;
}

void TfIOPreviews::WriteBack() {
  const int32_t page = ActivePage();
  if (page < 0 || !Params) return;
  CopyPageFields(page, working_, *Params);
  Params->FileType = kPageFileType[page];
}

void TfIOPreviews::Button1Click() { WriteBack(); }

void TfIOPreviews::Button3Click() { MakePreview(); }

void TfIOPreviews::Button4Click() {
  WriteBack();
  Button4->setEnabled(false);
}

void TfIOPreviews::Rastova1ViewChange() {
  Rastova2->SetZoom(Rastova1->GetZoom());
  Rastova2->SetViewXY(Rastova1->FViewX, Rastova1->FViewY);
}

void TfIOPreviews::Rastova1Progress(int32_t Percent) {
  ProgressBar1->setValue(Percent / std::max(progressDivisor_, 1) + progressOffset_);
}

void TfIOPreviews::SetSizeText(int32_t Page, bool Compressed, const QString& Text) {
  for (bool s : {false, true}) {
    const TSheet& sheet = sheets_[2 * Page + (s ? 1 : 0)];
    (Compressed ? sheet.compressed : sheet.original)->setText(Text);
  }
}

void TfIOPreviews::MakePreview() {
  const int32_t page = ActivePage();
  if (!active_ || page < 0 || !Rastova1->GetRVBitmap()) return;
  THourglass hourglass;
  progressOffset_ = 0;
  TRastovaIO& source = *Rastova1->GetIO();
  source.SetMonoConversionMode(MonoConversionMode);
  try {
    MeasureAndReduce(page);
  } catch (const std::exception& e) {
    // A codec that throws leaves the dialog as it was, the page telling what went wrong.
    SetSizeText(page, true, QStringLiteral("failed: ") + QString::fromUtf8(e.what()));
  } catch (...) {
    SetSizeText(page, true, QStringLiteral("failed"));
  }
  ProgressBar1->setValue(0);
  Rastova1ViewChange();
}

void TfIOPreviews::MeasureAndReduce(int32_t Page) {
  TRastovaIO& source = *Rastova1->GetIO();
  TRastovaIO& result = *Rastova2->GetIO();
  CopyPageFields(Page, working_, source.Params);
  source.Aborting = false;
  auto failed = [&] {
    if (!source.Aborting) return false;
    SetSizeText(Page, true, QStringLiteral("failed"));
    return true;
  };
  if (Page == pgJPEG || Page == pgJ2000) {
    progressDivisor_ = 2;
    TMemoryStream stream;
    if (Page == pgJ2000) {
      source.Params.BitsPerSample = 8;
      source.Params.SamplesPerPixel = 3;
      source.SaveToStreamJ2K(stream);
    } else {
      source.SaveToStreamJpeg(stream);
    }
    if (failed()) return;
    SetSizeText(Page, true, Bytes(stream.GetSize()));
    progressOffset_ = 50;
    stream.Seek(0, soBeginning);
    if (Page == pgJ2000)
      result.LoadFromStreamJ2K(stream);
    else
      result.LoadFromStreamJpeg(stream);
    Rastova2->Update();
    return;
  }
  progressDivisor_ = 1;
  if (Page == pgTIFF) {
    source.Params.TIFF_LZWCompress = TIFFLZWEncoderHook;
    source.Params.TIFF_LZWDecompress = TIFFLZWDecoderHook;
  }
  {
    TNulStream counter;
    switch (Page) {
      case pgTIFF:
        source.SaveToStreamTIFF(counter);
        break;
      case pgGIF:
        source.SaveToStreamGIF(counter);
        break;
      case pgBMP:
        source.SaveToStreamBMP(counter);
        break;
      case pgPCX:
        source.SaveToStreamPCX(counter);
        break;
      case pgPNG:
        source.SaveToStreamPNG(counter);
        break;
      case pgTGA:
        source.SaveToStreamTGA(counter);
        break;
      default:
        return;
    }
    if (failed()) return;
    SetSizeText(Page, true, Bytes(counter.GetSize()));
  }
  try {
    Rastova2->Assign(Rastova1);
  } catch (const std::exception&) {
    setWindowTitle(QStringLiteral("Result can not be shown but parameters may be entered"));
    return;
  }
  result.Params.Assign(source.Params);
  TIOParamsVals& rp = result.Params;
  TRastovaProc& proc = *Rastova2->GetProc();
  const int32_t colours = BitDepthColorCount(rp.BitsPerSample, rp.SamplesPerPixel);
  const bool useThreshold = MonoConversionMode != 0;
  if (Page == pgBMP || Page == pgPCX) {
    if (colours <= 256) ConvertTo(proc, colours, useThreshold);
  } else if (Page == pgTIFF && rp.TIFF_Photometric <= 1 && rp.BitsPerSample == 8 && rp.SamplesPerPixel == 1) {
    ConvertToGray(proc);
    rp.FreeColorMap();
  } else if (Page != pgTIFF || rp.TIFF_Photometric < 5) {
    if (colours > 256) {
      rp.FreeColorMap();
    } else {
      palette_.clear();
      ConvertToPalette(proc, colours, palette_, useThreshold);
      rp.SetColorMapCount(static_cast<int32_t>(palette_.size()));
      std::copy(palette_.begin(), palette_.end(), rp.ColorMap.begin());
    }
  }
  Rastova2->Update();
}

void TfIOPreviews::ColorPanelClick(int32_t Page, int32_t Word) {
  if (!activated_) return;
  auto* panel = static_cast<TIOColorPanel*>(Control(Page, Word, SimplifiedParamsDialogs));
  if (!panel) return;
  TIOParamsVals& rp = Rastova2->GetIO()->Params;
  // GIF's colours are a palette of the result: compute it first.
  if (Page == pgGIF) MakePreview();
  TColor colour = panel->Color();
  bool picked = false;
  if (rp.ColorMapCount > 0 && static_cast<int32_t>(rp.ColorMap.size()) >= rp.ColorMapCount) {
    const int32_t limit = BitDepthColorCount(working_.BitsPerSample, working_.SamplesPerPixel);
    TRastovaPaletteDialog dialog(this);
    dialog.CancelButton()->setText(QStringLiteral("&Cancel"));
    dialog.SetPalette(rp.ColorMap.data(), std::min(rp.ColorMapCount, limit));
    picked = dialog.Execute();
    if (picked) colour = dialog.PickedColor();
  } else {
    picked = platform::ExecuteColorDialog(this, colour);
  }
  if (!picked) return;
  panel->SetColor(colour);
  ControlChanged(Page, Word, false);
}

// ---------------------------------------------------------------- DoPreviews' dialog

void InstallIOPreviewsDialog() {
  SetIOPreviewsDialogHook([](TRastovaIO& io, uint16_t pages) {
    TfIOPreviews form;
    form.DefaultLockPreview = io.GetPreviewsParams() & PreviewsParamBit(ioppDefaultLockPreview);
    form.Button4->setVisible(io.GetPreviewsParams() & PreviewsParamBit(ioppApplyButton));
    form.Params = &io.Params;
    form.SimplifiedParamsDialogs = io.SimplifiedParamsDialogs;
    if (io.SimplifiedParamsDialogs) {
      const int32_t dpi = std::max(1, ScreenDpiY);
      form.PageControl1->resize(form.PageControl1->width(), dpi * 61 / 48);
      form.resize(form.width(), dpi * 375 / 100);
    }
    form.MonoConversionMode = io.GetMonoConversionMode();
    form.Language = io.MsgLanguage;
    form.setFont(platform::QtFontOf(io.GetPreviewFont(), true));
    form.Rastova1->SetExternalBitmap(io.GetAttachedRVBitmap());
    form.Rastova1->Update();
    form.Rastova2->GetRVBitmap()->Allocate(1, 1, rv24RGB);
    bool result = false;
    if (form.Prepare(pages)) {
      if (io.OnIOPreview) io.OnIOPreview(io, form);
      result = form.exec() == QDialog::Accepted;
    }
    form.Rastova1->SetExternalBitmap(nullptr);
    return result;
  });
}

}  // namespace rv
