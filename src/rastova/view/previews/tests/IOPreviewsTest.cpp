// The save-parameters preview dialog, headless: page sets, the TIFF compression list, the
// working copy with OK, Apply and Cancel, Lock Preview, the colour panels, bad input and the
// localised captions.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <functional>
#include <stdexcept>

#include "rastova/codecs/IOParamsVals.h"
#include "rastova/core/RVWords.h"
#include "rastova/io/RVFileFormat.h"
#include "rastova/io/RastovaIO.h"
#include "rastova/view/RastovaPaletteDialog.h"
#include "rastova/view/previews/IOPreviews.h"
#include "rastova/view/tests/ViewTestTools.h"

using namespace rv;

namespace {

class IOPreviewsTest : public viewtest::ViewLibraryTest {
 protected:
  void SetUp() override {
    ViewLibraryTest::SetUp();
    savedEncoder_ = TIFFLZWEncoderHook;
    Picture(24, 16);
    io.SimplifiedParamsDialogs = false;
    io.MsgLanguage = msEnglish;
  }
  void TearDown() override {
    TIFFLZWEncoderHook = savedEncoder_;
    ViewLibraryTest::TearDown();
  }

  // A colourful picture in the component's working bitmap.
  void Picture(int32_t w, int32_t h) { viewtest::FillPicture(*io.GetAttachedRVBitmap(), w, h); }

  // DoPreviews with `act` run on the open dialog (it closes the dialog); whether the dialog was
  // shown goes to `shown`.
  bool Run(uint16_t pages, const std::function<void(TfIOPreviews&)>& act, bool* shown = nullptr) {
    bool opened = false;
    std::function<void(TfIOPreviews&)> whenActive = [&](TfIOPreviews& form) {
      // Once the dialog has activated itself.
      QTimer::singleShot(0, &form, [&form, &act, &whenActive] {
        if (!form.Active()) return whenActive(form);
        act(form);
        if (form.isVisible()) form.reject();
      });
    };
    io.OnIOPreview = [&](TRastovaIO&, TfIOPreviews& form) {
      opened = true;
      whenActive(form);
    };
    const bool result = io.DoPreviews(pages);
    if (shown) *shown = opened;
    return result;
  }

  static QStringList VisibleTabs(TfIOPreviews& f) {
    QStringList tabs;
    for (int i = 0; i < f.PageControl1->count(); ++i) tabs << f.PageControl1->tabText(i);
    return tabs;
  }

  static void Select(TfIOPreviews& f, int32_t page) {
    f.PageControl1->setCurrentWidget(f.TabSheet(page, f.SimplifiedParamsDialogs));
  }

  template <typename W>
  static W* Ctl(TfIOPreviews& f, int32_t page, int32_t word) {
    auto* w = dynamic_cast<W*>(f.Control(page, word, f.SimplifiedParamsDialogs));
    EXPECT_NE(w, nullptr) << "page " << page << " word " << word;
    return w;
  }

  static void Choose(TfIOPreviews& f, int32_t page, int32_t word, int index) {
    auto* c = Ctl<QComboBox>(f, page, word);
    c->setCurrentIndex(index);
    emit c->activated(index);
  }

  static void Type(TfIOPreviews& f, int32_t page, int32_t word, const QString& text) {
    auto* e = Ctl<QLineEdit>(f, page, word);
    e->setText(text);
    emit e->editingFinished();
  }

  TRastovaIO io;
  TTIFFLZWCompressProc savedEncoder_ = nullptr;
};

TEST(IOPreviewsTables, PageSets) {
  struct Case {
    uint16_t pages;
    int32_t fileType;
    uint16_t shown;
  } cases[] = {
      {2, 11, ppTGA},    {2, 10, 0},
      {2, 29, 0},        {2, 99, 0},
      {0, 3, 0},         {2, 1, ppTIFF},
      {2, 2, ppGIF},     {2, 3, ppJPEG},
      {2, 4, ppPCX},     {2, 5, ppBMP},
      {2, 8, ppPNG},     {2, 13, ppJ2000},
      {2, 14, ppJ2000},  {4 | 2, 8, ppJPEG | ppPNG},
      {1, 99, 1},        {0xFFFF, 10, 0xFFFF},
      {ppGIF, 3, ppGIF},
  };
  for (const Case& c : cases) {
    const uint16_t got = PreviewPagesOf(c.pages, c.fileType);
    EXPECT_EQ(got & ~3u, c.shown & ~3u) << c.pages << " / " << c.fileType;
    EXPECT_EQ(got != 0, c.shown != 0) << c.pages << " / " << c.fileType;
  }
}

TEST(IOPreviewsTables, TIFFCompressionList) {
  // index: value with LZW, value without
  const int with[] = {0, 1, 2, 3, 4, 5, 7, 8, 9}, without[] = {0, 1, 2, 3, 4, 7, 8, 9};
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(TIFFCompressionOfIndex(i, true), with[i]) << i;
    EXPECT_EQ(TIFFCompressionIndex(with[i], true), i) << i;
  }
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(TIFFCompressionOfIndex(i, false), without[i]) << i;
    EXPECT_EQ(TIFFCompressionIndex(without[i], false), i) << i;
  }
  // LZW kept in the parameters without the encoder shows as the next entry; unknown values and
  // indices past the list are uncompressed.
  EXPECT_EQ(TIFFCompressionIndex(5, false), 6);
  for (int v : {6, 10, 32773, -1}) EXPECT_EQ(TIFFCompressionIndex(v, true), 0) << v;
  EXPECT_EQ(TIFFCompressionOfIndex(9, true), 0);
  EXPECT_EQ(TIFFCompressionOfIndex(8, false), 0);
  EXPECT_EQ(TIFFCompressionOfIndex(-1, false), 0);
}

TEST_F(IOPreviewsTest, PageSetShowsItsTabsAndNothingMeansNoDialog) {
  io.Params.FileType = 11;
  QStringList tabs;
  EXPECT_FALSE(Run(2, [&](TfIOPreviews& f) { tabs = VisibleTabs(f); }));
  EXPECT_EQ(tabs, QStringList{"TGA"});

  for (int32_t fileType : {10, 29, 99}) {
    io.Params.FileType = fileType;
    bool shown = true;
    EXPECT_FALSE(Run(
        2, [](TfIOPreviews&) {}, &shown))
        << fileType;
    EXPECT_FALSE(shown) << fileType;
  }
  bool shown = true;
  EXPECT_FALSE(Run(
      0, [](TfIOPreviews&) {}, &shown));
  EXPECT_FALSE(shown);

  io.Params.FileType = 8;
  Run(0xFFFF, [&](TfIOPreviews& f) {
    tabs = VisibleTabs(f);
    EXPECT_EQ(f.PageControl1->currentWidget(), f.TabSheet(pgPNG, false));
  });
  EXPECT_EQ(tabs, (QStringList{"JPEG", "TIFF", "GIF", "BMP", "PCX", "PNG", "TGA", "JPEG2000"}));
}

TEST_F(IOPreviewsTest, TIFFListFollowsTheLZWEncoder) {
  for (bool lzw : {true, false}) {
    TIFFLZWEncoderHook = lzw ? savedEncoder_ : nullptr;
    if (lzw && !TIFFLZWEncoderHook) continue;
    io.Params.FileType = 1;
    io.Params.TIFF_Compression = 0;
    int count = 0;
    EXPECT_TRUE(Run(ppTIFF, [&](TfIOPreviews& f) {
      count = Ctl<QComboBox>(f, pgTIFF, 47)->count();
      Choose(f, pgTIFF, 47, 5);
      f.Button1->click();
    }));
    EXPECT_EQ(count, lzw ? 9 : 8);
    // The sixth entry is LZW with the encoder, JPEG without.
    EXPECT_EQ(io.Params.TIFF_Compression, lzw ? 5 : 7);
  }
}

TEST_F(IOPreviewsTest, CancelKeepsOKWritesTheActivePage) {
  io.Params.FileType = 2;
  io.Params.BitsPerSample = 8;
  io.Params.SamplesPerPixel = 3;
  io.Params.GIF_Interlaced = false;
  EXPECT_FALSE(Run(1, [](TfIOPreviews& f) {
    Select(f, pgGIF);
    Choose(f, pgGIF, 58, 3);
    Ctl<QCheckBox>(f, pgGIF, 61)->click();
    Select(f, pgJPEG);
    Type(f, pgJPEG, 38 + 1000, "12");
    f.Button2->click();
  }));
  EXPECT_EQ(io.Params.FileType, 2);
  EXPECT_EQ(io.Params.BitsPerSample, 8);
  EXPECT_EQ(io.Params.SamplesPerPixel, 3);
  EXPECT_FALSE(io.Params.GIF_Interlaced);
  EXPECT_EQ(io.Params.JPEG_Quality, 80);

  io.Params.FileType = 3;
  for (int index : {0, 3, 7}) {
    EXPECT_TRUE(Run(1, [&](TfIOPreviews& f) {
      Select(f, pgGIF);
      Choose(f, pgGIF, 58, index);
      Ctl<QCheckBox>(f, pgGIF, 61)->setChecked(true);
      emit Ctl<QCheckBox>(f, pgGIF, 61)->clicked();
      f.Button1->click();
    }));
    EXPECT_EQ(io.Params.FileType, 2);
    EXPECT_EQ(io.Params.BitsPerSample, index + 1);
    EXPECT_EQ(io.Params.SamplesPerPixel, 1);
    EXPECT_TRUE(io.Params.GIF_Interlaced);
    io.Params.FileType = 3;
  }
}

TEST_F(IOPreviewsTest, ApplyWritesAndDisablesItself) {
  io.SetPreviewsParams(PreviewsParamBit(ioppApplyButton));
  io.Params.FileType = 3;
  io.Params.JPEG_Quality = 80;
  EXPECT_FALSE(Run(2, [&](TfIOPreviews& f) {
    EXPECT_TRUE(f.Button4->isVisibleTo(&f));
    EXPECT_FALSE(f.Button4->isEnabled());
    Type(f, pgJPEG, 38 + 1000, "33");
    EXPECT_TRUE(f.Button4->isEnabled());
    f.Button4->click();
    EXPECT_FALSE(f.Button4->isEnabled());
    EXPECT_EQ(io.Params.JPEG_Quality, 33);
    f.Button2->click();
  }));
  EXPECT_EQ(io.Params.JPEG_Quality, 33);
}

TEST_F(IOPreviewsTest, LockPreviewRecomputesOnlyWhenTicked) {
  Picture(64, 48);
  io.Params.FileType = 3;
  io.Params.JPEG_Quality = 90;
  Run(ppJPEG, [&](TfIOPreviews& f) {
    QLabel* size = f.CompressedSizeLabel(pgJPEG);
    auto* slider = Ctl<QSlider>(f, pgJPEG, 38);
    ASSERT_TRUE(size->text().endsWith(" bytes")) << size->text().toStdString();
    const QString atFirst = size->text();
    // Unlocked: moving the quality leaves the size until Preview.
    EXPECT_FALSE(f.chkLockPreview->isChecked());
    EXPECT_TRUE(f.Button3->isEnabled());
    slider->setValue(5);
    EXPECT_EQ(size->text(), atFirst);
    f.Button3->click();
    const QString atFive = size->text();
    EXPECT_NE(atFive, atFirst);
    // Locked: dragging previews nothing, the value taken does.
    f.chkLockPreview->setChecked(true);
    EXPECT_FALSE(f.Button3->isEnabled());
    emit slider->sliderMoved(60);
    EXPECT_EQ(size->text(), atFive);
    EXPECT_EQ(Ctl<QLineEdit>(f, pgJPEG, 38 + 1000)->text(), "60");
    slider->setValue(100);
    EXPECT_NE(size->text(), atFive);
    EXPECT_EQ(f.WorkingCopy().JPEG_Quality, 100);
    // The result view shows the decoded image.
    EXPECT_EQ(f.Rastova2->GetRVBitmap()->GetWidth(), 64);
  });
}

TEST_F(IOPreviewsTest, NumberFieldsTakeDefaultsAndRanges) {
  struct Case {
    int32_t page, word;
    const char* text;
    std::function<double(const TIOParamsVals&)> value;
    double expected;
  } cases[] = {
      {pgJPEG, 1038, "abc", [](const TIOParamsVals& p) { return p.JPEG_Quality; }, 50},
      {pgJPEG, 1038, "", [](const TIOParamsVals& p) { return p.JPEG_Quality; }, 50},
      {pgJPEG, 1038, "500", [](const TIOParamsVals& p) { return p.JPEG_Quality; }, 100},
      {pgJPEG, 1038, "-7", [](const TIOParamsVals& p) { return p.JPEG_Quality; }, 0},
      {pgJPEG, 40, "x1", [](const TIOParamsVals& p) { return p.JPEG_Smooth; }, 0},
      {pgJ2000, 1123, "rate", [](const TIOParamsVals& p) { return p.J2000_Rate; }, 1.0},
      {pgJ2000, 1123, "250", [](const TIOParamsVals& p) { return p.J2000_Rate; }, 0.25},
      {pgJ2000, 1123, "99999999999", [](const TIOParamsVals& p) { return p.J2000_Rate; }, 1.0},
      {pgTIFF, 48, "5000", [](const TIOParamsVals& p) { return p.TIFF_ImageIndex; }, 1000},
      {pgTIFF, 48, "two", [](const TIOParamsVals& p) { return p.TIFF_ImageIndex; }, 0},
      {pgGIF, 65, "", [](const TIOParamsVals& p) { return p.GIF_DelayTime; }, 0},
      {pgGIF, 63, "70000", [](const TIOParamsVals& p) { return p.GIF_XPos; }, 65535},
  };
  io.Params.JPEG_Smooth = 9;
  io.Params.J2000_Rate = 0.5;
  io.Params.TIFF_ImageIndex = 3;
  io.Params.GIF_DelayTime = 7;
  for (const Case& c : cases) {
    io.Params.FileType = 0;
    Run(1, [&](TfIOPreviews& f) {
      Select(f, c.page);
      Type(f, c.page, c.word, c.text);
      EXPECT_DOUBLE_EQ(c.value(f.WorkingCopy()), c.expected) << c.word << " '" << c.text << "'";
      // The field shows what was taken; the dialog still previews.
      f.Button3->click();
      EXPECT_NE(f.CompressedSizeLabel(c.page)->text(), "---");
      f.Button1->click();
    });
    EXPECT_DOUBLE_EQ(c.value(io.Params), c.expected) << c.word << " '" << c.text << "'";
  }
}

TEST_F(IOPreviewsTest, TIFFChoicesStayConsistent) {
  io.Params.FileType = 1;
  io.Params.TIFF_Photometric = 2;
  io.Params.BitsPerSample = 8;
  io.Params.SamplesPerPixel = 3;
  Run(ppTIFF, [&](TfIOPreviews& f) {
    const TIOParamsVals& w = f.WorkingCopy();
    struct Step {
      int32_t word, index;
      int32_t photometric, spp, bps;
    } steps[] = {
        {49, 1, 1, 1, 8},  // BLACKISZERO: colours other than B/W become 256
        {58, 0, 1, 1, 1},  // B/W keeps BLACKISZERO
        {49, 2, 2, 3, 8},  // RGB selects 16M
        {58, 1, 3, 1, 4},  // 16 selects RGBPALETTE
        {49, 5, 5, 4, 8},  // CMYK forces four samples
        {58, 2, 3, 1, 8},  // 256 turns CMYK into RGBPALETTE
        {58, 0, 1, 1, 1},  // B/W turns a palette into BLACKISZERO
        {49, 3, 3, 1, 8},  // RGBPALETTE selects 256
    };
    for (const Step& s : steps) {
      Choose(f, pgTIFF, s.word, s.index);
      EXPECT_EQ(w.TIFF_Photometric, s.photometric) << s.word << "/" << s.index;
      EXPECT_EQ(w.SamplesPerPixel, s.spp) << s.word << "/" << s.index;
      EXPECT_EQ(w.BitsPerSample, s.bps) << s.word << "/" << s.index;
      EXPECT_EQ(Ctl<QComboBox>(f, pgTIFF, 49)->currentIndex(), s.photometric);
    }
  });

  io.SimplifiedParamsDialogs = true;
  Run(ppTIFF, [&](TfIOPreviews& f) {
    const TIOParamsVals& w = f.WorkingCopy();
    EXPECT_EQ(f.Control(pgTIFF, 49, true), nullptr);
    Choose(f, pgTIFF, 47, 1);  // CCITT: 2 colours, BLACKISZERO
    EXPECT_EQ(w.BitsPerSample * w.SamplesPerPixel, 1);
    EXPECT_EQ(w.TIFF_Photometric, 1);
    Choose(f, pgTIFF, 58, 2);  // 256 colours cannot be CCITT
    EXPECT_EQ(w.TIFF_Compression, 0);
    Choose(f, pgTIFF, 47, TIFFLZWEncoderHook ? 6 : 5);  // JPEG: 16777216 colours, YCbCr
    EXPECT_EQ(w.TIFF_Compression, 7);
    EXPECT_EQ(w.SamplesPerPixel, 3);
    EXPECT_EQ(w.TIFF_Photometric, 6);
    Choose(f, pgTIFF, 58, 1);  // 16 colours cannot be JPEG
    EXPECT_EQ(w.TIFF_Compression, 0);
  });
}

TEST_F(IOPreviewsTest, GIFTransparentPickerComputesAPreviewFirst) {
  io.Params.FileType = 3;
  io.Params.BitsPerSample = 8;
  io.Params.SamplesPerPixel = 3;
  bool paletteShown = false;
  int32_t colours = 0;
  TRGB picked{};
  EXPECT_TRUE(Run(ppJPEG | ppGIF, [&](TfIOPreviews& f) {
    Select(f, pgGIF);         // unlocked: the page change computes nothing
    Choose(f, pgGIF, 58, 2);  // 8 colours
    EXPECT_EQ(f.CompressedSizeLabel(pgGIF)->text(), "---");
    // Picks swatch 1 once the palette dialog runs; gives up (closing whatever is modal) after
    // a second.
    std::function<void(int)> pick = [&](int tries) {
      QTimer::singleShot(10, [&, tries] {
        auto* d = dynamic_cast<TRastovaPaletteDialog*>(QApplication::activeModalWidget());
        if (!d && tries < 100) return pick(tries + 1);
        paletteShown = d != nullptr;
        if (!d) {
          if (auto* other = dynamic_cast<QDialog*>(QApplication::activeModalWidget()); other && other != &f)
            other->reject();
          return;
        }
        EXPECT_TRUE(QTest::qWaitForWindowExposed(d));
        // Straight to the dialog: the pointer's window may be the form beneath it.
        const QPoint at(17 + 8, 9);
        QMouseEvent move(QEvent::MouseMove, at, d->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(d, &move);
        QTest::mouseClick(d, Qt::LeftButton, {}, QPoint(17 + 8, 9));
        if (d->isVisible()) d->reject();
      });
    };
    pick(0);
    auto* panel = Ctl<TIOColorPanel>(f, pgGIF, 60);
    QTest::mouseClick(panel, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(f.CompressedSizeLabel(pgGIF)->text().endsWith(" bytes"));
    const TIOParamsVals& rp = f.Rastova2->GetIO()->Params;
    colours = rp.ColorMapCount;
    if (rp.ColorMapCount > 1) picked = rp.ColorMap[1];
    f.Button1->click();
  }));
  EXPECT_TRUE(paletteShown);
  EXPECT_EQ(colours, 8);
  EXPECT_EQ(io.Params.GIF_TranspColor.r, picked.r);
  EXPECT_EQ(io.Params.GIF_TranspColor.g, picked.g);
  EXPECT_EQ(io.Params.GIF_TranspColor.b, picked.b);
}

TEST_F(IOPreviewsTest, ACodecThatThrowsLeavesTheDialogUsable) {
  // An LZW encoder that throws stands for any codec error while a size is measured.
  TIFFLZWEncoderHook = [](const uint8_t*, int32_t, TStream&, void*&) -> void {
    throw std::runtime_error("encoder broke");
  };
  io.Params.FileType = 1;
  io.Params.TIFF_Compression = 5;
  io.Params.TIFF_Photometric = 2;
  EXPECT_TRUE(Run(ppTIFF | ppBMP, [&](TfIOPreviews& f) {
    EXPECT_TRUE(f.CompressedSizeLabel(pgTIFF)->text().startsWith("failed"))
        << f.CompressedSizeLabel(pgTIFF)->text().toStdString();
    // Other formats still measure, and the TIFF page still writes its parameters.
    Select(f, pgBMP);
    f.Button3->click();
    EXPECT_TRUE(f.CompressedSizeLabel(pgBMP)->text().endsWith(" bytes"));
    Select(f, pgTIFF);
    Choose(f, pgTIFF, 47, 0);
    f.Button3->click();
    EXPECT_TRUE(f.CompressedSizeLabel(pgTIFF)->text().endsWith(" bytes"));
    f.Button1->click();
  }));
  EXPECT_EQ(io.Params.TIFF_Compression, 0);
}

TEST_F(IOPreviewsTest, EveryPageInBothLayouts) {
  for (bool simple : {false, true}) {
    for (const std::pair<int32_t, int32_t>& size : {std::pair{1, 1}, std::pair{40, 30}}) {
      const int32_t h = size.second;
      Picture(size.first, h);
      io.SimplifiedParamsDialogs = simple;
      io.Params.FileType = 3;
      io.Params.BitsPerSample = 8;
      io.Params.SamplesPerPixel = 3;
      Run(1, [&](TfIOPreviews& f) {
        for (int32_t page = 0; page < kIOPreviewsPageCount; ++page) {
          Select(f, page);
          EXPECT_EQ(f.ActivePage(), page);
          f.Button3->click();
          const QString size = f.CompressedSizeLabel(page)->text();
          EXPECT_TRUE(size.endsWith(" bytes")) << page << " " << simple << ": " << size.toStdString();
          EXPECT_EQ(f.OriginalSizeLabel(page)->text(),
                    QString::number(int64_t(io.GetAttachedRVBitmap()->GetRowLen()) * h) + " bytes");
          EXPECT_TRUE(f.TabSheet(page, simple)->isVisible());
        }
      });
    }
  }
}

TEST_F(IOPreviewsTest, SimplifiedLayoutSizes) {
  ASSERT_EQ(ScreenDpiY, 96);
  for (bool simple : {false, true}) {
    io.SimplifiedParamsDialogs = simple;
    io.Params.FileType = 8;
    Run(2, [&](TfIOPreviews& f) {
      EXPECT_EQ(f.PageControl1->height(), simple ? 122 : 176);
      EXPECT_EQ(f.height(), simple ? 360 : 425);
      EXPECT_EQ(f.width(), 527);
      // The advanced PNG controls are hidden in the simplified layout.
      EXPECT_EQ(f.Control(pgPNG, 66, simple)->isVisible(), !simple);
      EXPECT_EQ(f.Control(pgPNG, 62, simple)->isVisible(), !simple);
      // Nothing is cut off: the buttons lie inside the form, below the page control.
      EXPECT_LE(f.Button1->geometry().bottom(), f.height());
      EXPECT_GE(f.Button1->y(), f.PageControl1->geometry().bottom());
    });
  }
}

TEST_F(IOPreviewsTest, GermanCaptions) {
  io.MsgLanguage = msGerman;
  io.Params.FileType = 1;
  Run(1, [&](TfIOPreviews& f) {
    EXPECT_EQ(f.windowTitle(), QString::fromUtf8("Parametervorschau"));
    EXPECT_EQ(f.Button2->text(), "Abbrechen");
    EXPECT_EQ(f.chkLockPreview->text(), "Vorschau sperren");
    EXPECT_EQ(f.Button4->text(), QString::fromUtf8("Übernehmen"));
    EXPECT_EQ(f.LabelSource->text(), "Original:");
    auto* quality = Ctl<QSlider>(f, pgJPEG, 38);
    auto* label = dynamic_cast<QLabel*>(f.TabSheet(pgJPEG, false)->findChildren<QLabel*>().value(0));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QString::fromUtf8("Qualität:"));
    (void)quality;
    QStringList groups;
    for (QGroupBox* g : f.TabSheet(pgTIFF, false)->findChildren<QGroupBox*>()) groups << g->title();
    EXPECT_EQ(groups, QStringList{" Info zum gescannten Dokument "});
  });
}

}  // namespace
