#include "rastova/io/RVIOThread.h"

#include <algorithm>

#include "rastova/io/RastovaIO.h"

namespace rv {

TRVIOThread::TRVIOThread(TRastovaIO& owner, int32_t kind)
    : owner_(owner), workers_(owner.workers_), kind_(kind) {}

void TRVIOThread::StartFile(TRastovaIO& owner, const std::string& fileName, TFileMethod method) {
  auto* t = new TRVIOThread(owner, 0);
  t->fileName_ = fileName;
  t->fileMethod_ = std::move(method);
  t->Start();
}

void TRVIOThread::StartStream(TRastovaIO& owner, TStream& stream, TStreamMethod method) {
  auto* t = new TRVIOThread(owner, 1);
  t->stream_ = &stream;
  t->streamMethod_ = std::move(method);
  t->Start();
}

void TRVIOThread::StartFileInt(TRastovaIO& owner, const std::string& fileName, TFileIntMethod method) {
  auto* t = new TRVIOThread(owner, 2);
  t->fileName_ = fileName;
  t->fileIntMethod_ = std::move(method);
  t->Start();
}

void TRVIOThread::StartStreamInt(TRastovaIO& owner, TStream& stream, TStreamIntMethod method) {
  auto* t = new TRVIOThread(owner, 4);
  t->stream_ = &stream;
  t->streamIntMethod_ = std::move(method);
  t->Start();
}

void TRVIOThread::StartFileType(TRastovaIO& owner, const std::string& fileName, int32_t fileType,
                                TFileTypeMethod method) {
  auto* t = new TRVIOThread(owner, 5);
  t->fileName_ = fileName;
  t->integer_ = fileType;
  t->fileTypeMethod_ = std::move(method);
  t->Start();
}

void TRVIOThread::StartStreamType(TRastovaIO& owner, TStream& stream, int32_t fileType,
                                  TStreamTypeMethod method) {
  auto* t = new TRVIOThread(owner, 6);
  t->stream_ = &stream;
  t->integer_ = fileType;
  t->streamTypeMethod_ = std::move(method);
  t->Start();
}

void TRVIOThread::StartFrame(TRastovaIO& owner, int32_t frame, TFrameMethod method) {
  auto* t = new TRVIOThread(owner, 8);
  t->integer_ = frame;
  t->frameMethod_ = std::move(method);
  t->Start();
}

void TRVIOThread::StartMetafile(TRastovaIO& owner, const std::string& fileName, int32_t width, int32_t height,
                                bool withAlpha, TMetafileMethod method) {
  auto* t = new TRVIOThread(owner, 9);
  t->fileName_ = fileName;
  t->width_ = width;
  t->height_ = height;
  t->withAlpha_ = withAlpha ? 1 : 0;
  t->metafileMethod_ = std::move(method);
  t->Start();
}

void TRVIOThread::StartURL(TRastovaIO& owner, const std::string& url, TFileMethod method) {
  auto* t = new TRVIOThread(owner, 10);
  t->url_ = url;
  t->fileMethod_ = std::move(method);
  t->Start();
}

void TRVIOThread::Start() {
  // In the list before the thread runs: a worker that finished before it was registered would
  // leave an entry nobody removes, and every wait for the list to empty would last for ever.
  {
    std::lock_guard lock(workers_->Lock);
    workers_->Items.push_back(this);
    workers_->IdleSignalled = false;
  }
  try {
    std::thread([this] { Execute(); }).detach();
  } catch (...) {
    {
      std::lock_guard lock(workers_->Lock);
      auto& items = workers_->Items;
      items.erase(std::remove(items.begin(), items.end(), this), items.end());
      if (items.empty()) {
        workers_->IdleSignalled = true;
        workers_->IdleEvent.notify_all();
      }
    }
    delete this;
    throw;
  }
}

void TRVIOThread::RunMethod() {
  switch (kind_) {
    case 0:
      fileMethod_(fileName_);
      break;
    case 1:
      streamMethod_(*stream_);
      break;
    case 2:
      fileIntMethod_(fileName_);
      break;
    case 4:
      streamIntMethod_(*stream_);
      break;
    case 5:
      fileTypeMethod_(fileName_, integer_);
      break;
    case 6:
      streamTypeMethod_(*stream_, integer_);
      break;
    case 8:
      frameMethod_(integer_);
      break;
    case 9:
      metafileMethod_(fileName_, width_, height_, withAlpha_ != 0);
      break;
    case 10:
      fileMethod_(url_);
      break;
    default:
      break;
  }
}

void TRVIOThread::Execute() {
  {
    std::lock_guard lock(workers_->Lock);
    threadID_ = std::this_thread::get_id();
  }
  try {
    RunMethod();
  } catch (...) {
    // The outcome of a worker's operation is its owner's flag.
    owner_.Aborting = true;
  }
  // From here on the owner may be gone: only the shared list is touched.
  const std::shared_ptr<TRVIOWorkerList> workers = workers_;
  {
    std::lock_guard lock(workers->Lock);
    auto& items = workers->Items;
    items.erase(std::remove(items.begin(), items.end(), this), items.end());
    if (items.empty()) {
      workers->IdleSignalled = true;
      workers->IdleEvent.notify_all();
    }
  }
  delete this;
}

}  // namespace rv
