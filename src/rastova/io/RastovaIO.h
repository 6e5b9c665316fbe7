#pragma once
// TRastovaIO: loads and saves the image of one working bitmap. The bitmap is the component's
// own, one attached by the caller, or an image view's. The format comes from the file name's
// extension, from the content, or from the caller; the parameters `Params` carry what a reader
// found and what a writer needs. Every load and save reports its outcome through `Aborting`
// (false = done, true = failed or cancelled) and ends with the finish event.
//
// A save into a file never leaves an empty or partial file and never destroys the file it would
// replace: it checks that the target can be written, writes a temporary file in the same folder
// and renames it over the target only when the writer succeeded.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "rastova/codecs/IOParamsVals.h"
#include "rastova/codecs/psd/rvpsd.h"
#include "rastova/core/RVProgressRec.h"
#include "rastova/core/RVDefs.h"

namespace platform {
class TBitmap;
class TFont;
}

namespace rv {

class TRVBitmap;
class TRVMask;
class TStream;
class TRVFileFormatInfo;
class TRVTWainParams;
class TRVWia;
class TIOPrintPreviewParams;
class TfIOPreviews;
struct PSDocument;
struct PDFDocument;
class TRVIOThread;
struct TRVIOWorkerList;
class TRVAviFile;
class TRVMetafile;
class TRVDirectShow;

// What the component needs of an image view attached to it. The view subsystem implements it.
class TRVIOView {
 public:
  virtual ~TRVIOView() = default;
  // Called with destroying false when the view's image changes and with true from the view's
  // destructor.
  using TBitmapChangeHandler = std::function<void(bool destroying)>;
  // Returns the registration; RemoveBitmapChangeHandler ignores nullptr and unknown ones.
  virtual void* AddBitmapChangeHandler(TBitmapChangeHandler handler) = 0;
  virtual void RemoveBitmapChangeHandler(void* registration) = 0;
  // The view's image buffer, or nullptr when it shows a plain platform bitmap.
  virtual TRVBitmap* GetRVBitmap() = 0;
  virtual platform::TBitmap* GetBitmap() = 0;
  virtual TColor GetBackground() = 0;
  virtual int32_t GetDpiX() = 0;
  virtual int32_t GetDpiY() = 0;
  // True for the library's full image view, which can be paint-locked and take a resolution.
  virtual bool IsRastovaView() = 0;
  virtual void LockPaint() = 0;
  // Returns the paint lock count left (the component ignores it).
  virtual int32_t UnlockPaint() = 0;
  virtual void SetDPI(int32_t dpiX, int32_t dpiY) = 0;
  virtual void Update() = 0;
  virtual void ImageChange() = 0;
  // Photoshop layers. A view that keeps layers answers true, takes the layers a load read (and
  // may leave the list empty), and on saving fills `merged` with its flattened layers and
  // `layers` with copies of them. A view without layers keeps these defaults: the working
  // bitmap is loaded and saved alone.
  virtual bool AcceptsPSDLayers() { return false; }
  virtual void TakePSDLayers(TPSDLayerList& /*layers*/, TIOParamsVals& /*params*/) {}
  virtual bool GetPSDLayersForSave(TRVBitmap& /*merged*/, TPSDLayerList& /*layers*/) { return false; }
  // Whether the view sits in a window; a worker's refresh, progress and finish reach only such
  // a view (through the main thread's call queue).
  virtual bool HasParent() { return true; }
  // The view's window handle (made when missing); the video object notifies it.
  virtual uintptr_t GetWindowHandle() { return 0; }
};

// What the component needs of a picture control attached to it.
class TRVIOImage {
 public:
  virtual ~TRVIOImage() = default;
  virtual platform::TBitmap* PictureBitmap() = 0;
  virtual void MarkModified() = 0;
};

// A set of pixel formats for PrepareBitmap: bit n stands for format n.
using TRVPixelFormatSet = uint16_t;
constexpr TRVPixelFormatSet PixelFormatBit(TRVPixelFormat f) {
  return static_cast<TRVPixelFormatSet>(1u << f);
}

// Options of the save-parameters preview dialog, as bits of TIOPreviewsParams.
enum TIOPreviewsParam : uint8_t {
  ioppDefaultLockPreview = 0,
  ioppApplyButton = 1,
};
using TIOPreviewsParams = uint8_t;
constexpr TIOPreviewsParams PreviewsParamBit(TIOPreviewsParam p) {
  return static_cast<TIOPreviewsParams>(1u << p);
}

class TRastovaIO;
// The save-parameters preview dialog for DoPreviews: shows the dialog with the given pages (the
// registry's dialog-page bits) on the component's working bitmap and answers true when it
// closed with OK, false when it has no page for the request or was cancelled. The I/O library
// does not know the dialog; the view library's start-up installs it, and without it DoPreviews
// answers false.
using TIOPreviewsDialogHook = std::function<bool(TRastovaIO& io, uint16_t pages)>;
void SetIOPreviewsDialogHook(TIOPreviewsDialogHook hook);

class TRastovaIO : public TIOParamsOwner {
  // Declared first: the parameters ask for the bitmap's size while they are constructed.
  TRVBitmap* bitmap_ = nullptr;
  bool ownsBitmap_ = false;
  platform::TBitmap* attachedTBitmap_ = nullptr;
  TRVIOView* view_ = nullptr;
  void* viewRegistration_ = nullptr;
  TRVIOImage* image_ = nullptr;
  TColor background_ = 0;
  uint8_t monoConversionMode_ = 1;

 public:
  using TProgressEvent = std::function<void(TRastovaIO& sender, int32_t per)>;
  using TNotifyEvent = std::function<void(TRastovaIO& sender)>;
  using TAcquireBitmapEvent = std::function<void(TRastovaIO& sender, TRVBitmap& bitmap, bool& handled)>;
  using TDoPreviewsEvent = std::function<void(TRastovaIO& sender, bool& handled)>;
  using TIOPreviewEvent = std::function<void(TRastovaIO& sender, TfIOPreviews& previewForm)>;

  // An own, empty working bitmap.
  TRastovaIO();
  // Works on the caller's bitmap (which stays the caller's).
  explicit TRastovaIO(TRVBitmap* bitmap);
  ~TRastovaIO() override;
  TRastovaIO(const TRastovaIO&) = delete;
  TRastovaIO& operator=(const TRastovaIO&) = delete;

  // ---- attachment
  // nullptr while a view or picture is attached changes nothing; otherwise the bitmap (possibly
  // nullptr) becomes the working bitmap and view and picture are forgotten.
  void SetAttachedRVBitmap(TRVBitmap* bitmap);
  TRVBitmap* GetAttachedRVBitmap() { return bitmap_; }
  bool OwnsBitmap() const { return ownsBitmap_; }
  // Attaches an image view (nullptr detaches and gives the component a fresh own bitmap).
  void SetAttachedView(TRVIOView* view);
  TRVIOView* GetAttachedView() { return view_; }
  void SetAttachedImage(TRVIOImage* image);
  TRVIOImage* GetAttachedImage() { return image_; }
  // The attached picture control is going away.
  void ImageRemoved();
  // The platform bitmap behind the working bitmap, or the attached one.
  platform::TBitmap* GetBitmap();

  // ---- properties
  TColor GetBackground();
  void SetBackground(TColor value);
  bool GetNativePixelFormat() const { return Params.NativePixelFormat; }
  void SetNativePixelFormat(bool value) { Params.NativePixelFormat = value; }
  uint8_t GetMonoConversionMode() const { return monoConversionMode_; }
  void SetMonoConversionMode(uint8_t value);
  // A 12-byte header before JPEG, TIFF and PCX data written to and read from streams.
  bool StreamHeaders = false;
  // After a load, equalise differing horizontal and vertical resolutions.
  bool AutoAdjustDPI = false;
  bool FilteredAdjustDPI = false;
  TProgressEvent OnProgress;
  TNotifyEvent OnFinishWork;

  TIOParamsVals Params;
  // Outcome of the last load or save, and the cancel flag the codecs poll.
  std::atomic<bool> Aborting{false};

  // ---- worker threads (RVIOThread.h)
  // With a bitmap, view or picture of the caller's attached, every load and save runs on a
  // worker thread and the call returns at once (the TIFF and GIF loaders then return -1). The
  // outcome is known after the finish event or WaitThreads. Two operations whose work overlaps
  // must not run on one component; the bitmap and a caller's stream stay untouched and alive
  // until the finish event.
  std::atomic<bool> Asynchronous{false};
  // Whether the calling thread is one of this component's running workers.
  bool IsInsideAsyncThreads();
  // Waits until no worker of this component runs; with setAborting, Aborting is set first so
  // that running work stops at its next poll.
  void WaitThreads(bool setAborting);

  // ---- metafiles (RVMetafileImport.h): drawn at Width x Height (0: nothing; -1 for one side:
  // that side follows the aspect; -1 for both: the metafile's own size), at most
  // MetafileSizeLimit pixels a side; with withAlpha the parts the metafile leaves unpainted
  // become transparent.
  void ImportMetafile(const std::string& fileName, int32_t width, int32_t height, bool withAlpha);
  void ImportMetafileStream(TStream& stream, int32_t width, int32_t height, bool withAlpha);
  void ImportMetafileGraphic(TRVMetafile& metafile, int32_t width, int32_t height, bool withAlpha);
  void ParamsFromMetafileStream(TStream& stream);

  // ---- AVI frames (RVAvi.h): the first video stream of an AVI file.
  // Opens the file (closing one still open) and returns its frame count; Aborting tells whether
  // it could be opened.
  int32_t OpenAVIFile(const std::string& fileName);
  // Loads one frame of the open file; a frame number outside the file changes nothing.
  void LoadAVIFrame(int32_t frame);
  void CloseAVIFile();

  // ---- the video object of an attached view
  // Created on first use; an attached view's window receives its notifications.
  TRVDirectShow* GetDShowParams();
  // Binds the video object to the view's current window when that changed.
  void SyncDirectShowWindow();

  // ---- text export (RVTextExport.cpp): the image saved as fileType, written as text: 0 a
  // byte-array constant, 1 a hexadecimal list, 2 Base64 lines, 3 ASCII art of the pixels.
  virtual void SaveToText(const std::string& fileName, int32_t fileType, int32_t format);

  // ---- common steps
  // False without a working bitmap or when `formats` is not empty and lacks its format.
  bool PrepareBitmap(TRVPixelFormatSet formats);
  void Update();
  void UpdateViewDPI(int32_t dpiX, int32_t dpiY);
  void FixDefaultDPI();
  void AdjustDPI();
  virtual void DoFinishWork();
  virtual void DoProgress(TRastovaIO& sender, int32_t per);

  // ---- load and save by name, stream, buffer and format
  virtual void LoadFromFile(const std::string& fileName);
  virtual void LoadFromFileAuto(const std::string& fileName);
  virtual void LoadFromFileFormat(const std::string& fileName, int32_t fileType);
  virtual void SaveToFile(const std::string& fileName);
  virtual void LoadFromStream(TStream& stream);
  virtual void LoadFromStreamFormat(TStream& stream, int32_t fileType);
  virtual void SaveToStream(TStream& stream, int32_t fileType);
  virtual void LoadFromBuffer(const void* buffer, int64_t bufferSize, int32_t fileType);
  virtual void ParamsFromBuffer(const void* buffer, int64_t bufferSize, int32_t fileType);
  virtual void ParamsFromFile(const std::string& fileName);
  virtual void ParamsFromFileFormat(const std::string& fileName, int32_t fileType);
  virtual void ParamsFromStream(TStream& stream);
  virtual void ParamsFromStreamFormat(TStream& stream, int32_t fileType);

  // ---- from HTTP, HTTPS and FTP addresses (RVURLLoad.cpp): the download's content decides the
  // format; a failed download or unknown content sets Aborting.
  void LoadFromURL(const std::string& URL);
  // An HTTP proxy ("host:port") for LoadFromURL; with it the address's own user and password
  // give way to these.
  std::string ProxyServer;
  std::string ProxyUserName;
  std::string ProxyUserPassword;

  // ---- per format
  void LoadFromFileTGA(const std::string& fileName);
  void LoadFromStreamTGA(TStream& stream);
  void SaveToFileTGA(const std::string& fileName);
  void SaveToStreamTGA(TStream& stream);
  void LoadFromFilePNG(const std::string& fileName);
  void LoadFromStreamPNG(TStream& stream);
  void SaveToFilePNG(const std::string& fileName);
  void SaveToStreamPNG(TStream& stream);
  void LoadFromFileBMP(const std::string& fileName);
  void LoadFromStreamBMP(TStream& stream);
  void SaveToFileBMP(const std::string& fileName);
  void SaveToStreamBMP(TStream& stream);
  void LoadFromFileJpeg(const std::string& fileName);
  void LoadFromStreamJpeg(TStream& stream);
  void SaveToFileJpeg(const std::string& fileName);
  void SaveToStreamJpeg(TStream& stream);
  // The TIFF loaders return the file's page count.
  int32_t LoadFromFileTIFF(const std::string& fileName);
  int32_t LoadFromStreamTIFF(TStream& stream);
  void SaveToFileTIFF(const std::string& fileName);
  void SaveToStreamTIFF(TStream& stream);
  void LoadFromFileJP2(const std::string& fileName);
  void LoadFromStreamJP2(TStream& stream);
  void SaveToFileJP2(const std::string& fileName);
  void SaveToStreamJP2(TStream& stream);
  void LoadFromFileJ2K(const std::string& fileName);
  void LoadFromStreamJ2K(TStream& stream);
  void SaveToFileJ2K(const std::string& fileName);
  void SaveToStreamJ2K(TStream& stream);
  // DICOM is read only.
  void LoadFromFileDICOM(const std::string& fileName);
  void LoadFromStreamDICOM(TStream& stream);
  // GIF loaders return the number of images in the file.
  int32_t LoadFromFileGIF(const std::string& fileName);
  int32_t LoadFromStreamGIF(TStream& stream);
  void SaveToFileGIF(const std::string& fileName);
  void SaveToStreamGIF(TStream& stream);
  // PCX streams carry a 12-byte "PCX2" header with their length when StreamHeaders is set.
  void LoadFromFilePCX(const std::string& fileName);
  void LoadFromStreamPCX(TStream& stream);
  void SaveToFilePCX(const std::string& fileName);
  void SaveToStreamPCX(TStream& stream);
  void LoadFromFileDCX(const std::string& fileName);
  void LoadFromStreamDCX(TStream& stream);
  void SaveToFileDCX(const std::string& fileName);
  void SaveToStreamDCX(TStream& stream);
  void LoadFromFileICO(const std::string& fileName);
  void LoadFromStreamICO(TStream& stream);
  void SaveToFileICO(const std::string& fileName);
  void SaveToStreamICO(TStream& stream);
  void LoadFromFileCUR(const std::string& fileName);
  void LoadFromStreamCUR(TStream& stream);
  void LoadFromFilePXM(const std::string& fileName);
  void LoadFromStreamPXM(TStream& stream);
  void SaveToFilePXM(const std::string& fileName);
  void SaveToStreamPXM(TStream& stream);
  void LoadFromFileWBMP(const std::string& fileName);
  void LoadFromStreamWBMP(TStream& stream);
  void SaveToFileWBMP(const std::string& fileName);
  void SaveToStreamWBMP(TStream& stream);
  void LoadFromFilePSD(const std::string& fileName);
  void LoadFromStreamPSD(TStream& stream);
  void SaveToFilePSD(const std::string& fileName);
  void SaveToStreamPSD(TStream& stream);
  // Raw pixels fill the working bitmap as the caller allocated it (RAWBMP_* parameters).
  void LoadFromFileRawBitmap(const std::string& fileName);
  void LoadFromStreamRawBitmap(TStream& stream);
  // Camera raw files are read only.
  void LoadFromFileRAW(const std::string& fileName);
  void LoadFromStreamRAW(TStream& stream);
  void LoadFromFileHDP(const std::string& fileName);
  void LoadFromStreamHDP(TStream& stream);
  void SaveToFileHDP(const std::string& fileName);
  void SaveToStreamHDP(TStream& stream);
  // PostScript and PDF are written only, one page per file.
  void SaveToFilePS(const std::string& fileName);
  void SaveToStreamPS(TStream& stream);
  void SaveToFilePDF(const std::string& fileName);
  void SaveToStreamPDF(TStream& stream);
  // End a multi-page PostScript or PDF document under construction (a failed write sets
  // Aborting), free its stream and clear the state; nothing when there is none. The destructor
  // calls both.
  void ClosePSFile();
  void ClosePDFFile();
  // The view's own formats (25 vector objects, 26 layers, 27 layers and objects), through the
  // operations the view library installs (RVViewFormats.h). A file loads into an attached view
  // of the format's kind, else merged into the working bitmap; a stream only into such a view
  // (without one nothing changes and no event fires). Damaged content sets Aborting.
  void LoadFromFileLayered(const std::string& fileName, int32_t fileType);
  void LoadFromStreamLayered(TStream& stream, int32_t fileType);

  // ---- acquisition, scanner and print settings, the save-parameters preview
  // (RastovaIOAcquire.cpp)
  // Font of the preview dialog: the setter copies, the component keeps its own object.
  const platform::TFont& GetPreviewFont() const { return *previewFont_; }
  void SetPreviewFont(const platform::TFont& font);
  TIOPreviewsParams GetPreviewsParams() const { return previewsParams_; }
  void SetPreviewsParams(TIOPreviewsParams value) { previewsParams_ = value; }
  // The compact layout of the preview dialog.
  bool SimplifiedParamsDialogs = true;
  // Language of the dialogs' texts.
  TMsgLanguage MsgLanguage = msSystem;
  // Each acquired image is offered here first; setting handled keeps it from the component.
  TAcquireBitmapEvent OnAcquireBitmap;
  // Replaces the preview dialog when it sets handled.
  TDoPreviewsEvent OnDoPreviews;
  // Just before the preview dialog is shown.
  TIOPreviewEvent OnIOPreview;
  TRVTWainParams& TwainParams() { return *twainParams_; }
  TIOPrintPreviewParams& PrintPreviewSettings() { return *printPreviewSettings_; }

  // The scanner clients hand every acquired image here: offered to OnAcquireBitmap, else
  // taken into the working bitmap, with `params` receiving the component's parameters.
  virtual void ReceiveAcquiredBitmap(TRVBitmap& ABitmap, TIOParamsVals& AParams);
  virtual void DoAcquireBitmap(TRVBitmap& ABitmap, bool& Handled);
  bool GetAutoAdjustDPI() const { return AutoAdjustDPI; }
  // The scanner device list, created on first use with its progress going to WIAProgress.
  TRVWia& GetWIAParams();
  // Progress of a scanner transfer; false asks it to stop.
  bool WIAProgress(int32_t per);
  // Shows the save-parameters preview dialog with the given pages on the working bitmap,
  // which becomes 24-bit RGB unless it is that or 1-bit; true when the dialog closed with OK
  // or OnDoPreviews handled the request.
  virtual bool DoPreviews(uint16_t Pages);

  // ---- from the parameters
  bool ParamsOwnerBitmapSize(int32_t& width, int32_t& height) override;
  void ParamsOwnerDpiChanged(bool horizontal, int32_t value) override;

 private:
  friend class TRVIOThread;
  // Whether an operation hands itself to a worker: a bitmap of the caller's, Asynchronous set,
  // and the caller not already one of the workers.
  bool AsyncGateOpen();
  // Runs `call` on the main thread later, unless the component is gone by then.
  void PostToMainThread(std::function<void()> call);
  // Whether a notification from here goes to the view through the main thread.
  bool NotifyThroughMainThread();
  std::shared_ptr<TRVIOWorkerList> workers_;
  std::shared_ptr<int> life_ = std::make_shared<int>(0);
  std::unique_ptr<TRVAviFile> avi_;
  std::unique_ptr<TRVDirectShow> dshow_;
  // LoadFromFile of an AVI file: the frame Params.ImageIndex.
  void LoadAVIFromFile(const std::string& fileName);
  void InitProgress(TRVProgressRec& progress, bool withEvent);
  void ViewBitmapChanged(bool destroying);
  void DropViewRegistration();
  void UseExternalBitmap(TRVBitmap* bitmap);
  void MakeOwnBitmap();
  // The shared frame of the per-format loads and saves.
  void LoadFileFrame(const std::string& fileName, int32_t fileType);
  void LoadStreamFrame(TStream& stream, int32_t fileType);
  void LoadStreamWithRow(TStream& stream, TRVFileFormatInfo& row);
  void SaveFileFrame(const std::string& fileName, int32_t fileType);
  void SaveStreamFrame(TStream& stream, int32_t fileType);
  // Reads the format's data at the stream's position into the working bitmap.
  void ReadFormat(int32_t fileType, TStream& stream, TRVProgressRec& progress, bool fromFile);
  void ReadPSD(TStream& stream, TRVProgressRec& progress);
  // Frame GIF_ImageIndex of a GIF stream, an animation's frames composed up to it (RVGIFFrames.cpp).
  void ReadGIFFrames(TStream& stream, TRVProgressRec& progress);
  // A stream load whose data may follow a 12-byte header of `tag` giving their length.
  void ReadWithStreamHeader(int32_t fileType, TStream& stream, TRVProgressRec& progress, const char* tag,
                            bool required);
  void WriteWithStreamHeader(int32_t fileType, TStream& stream, TRVProgressRec& progress, const char* tag);
  int32_t pageCount_ = 0;
  // A multi-page PostScript or PDF document under construction and its stream.
  std::unique_ptr<PSDocument> psDocument_;
  std::unique_ptr<TStream> psStream_;
  std::unique_ptr<PDFDocument> pdfDocument_;
  std::unique_ptr<TStream> pdfStream_;
  bool absoluteOffsets_ = false;
  std::unique_ptr<platform::TFont> previewFont_;
  TIOPreviewsParams previewsParams_ = 0;
  std::unique_ptr<TRVTWainParams> twainParams_;
  std::unique_ptr<TIOPrintPreviewParams> printPreviewSettings_;
  std::unique_ptr<TRVWia> wia_;
  void WriteFormat(int32_t fileType, TStream& stream, TRVProgressRec& progress);
  void ConvertForWriter(int32_t fileType, bool toFile);
  // Reads a PCX stream after its optional stream header; false when the header is wrong.
  bool ReadPCXWithHeader(TStream& stream, TRVProgressRec& progress, bool fromFile);
  // Runs `write` into a temporary file beside `fileName`, syncs it to the disk and renames it
  // over the target when it succeeded, then syncs the folder; Aborting tells the outcome.
  // Temporary files that saves of processes no longer running left in the folder go first.
  void WriteFileSafely(const std::string& fileName, const std::function<void(TStream&)>& write);
  // WriteFileSafely, then the finish of a save: on success the name and type are recorded;
  // OnFinishWork runs once either way (an exception passes on after it, with Aborting set).
  void SaveFileAndFinish(const std::string& fileName, int32_t fileType, const std::function<void(TStream&)>& write);
  // Writes an attached view's content in its own format (file and stream); without a view of
  // the format's kind Aborting is set and nothing is written.
  void SaveLayeredFile(const std::string& fileName, int32_t fileType);
  void SaveLayeredStream(TStream& stream, int32_t fileType);
};

}  // namespace rv
