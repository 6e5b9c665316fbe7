#pragma once
// Worker threads of the image I/O component. With `Asynchronous` set on a component that works
// on a bitmap, view or picture of the caller's, every load and save hands itself to a
// TRVIOThread, which runs the same operation again on its own thread, and returns at once. The
// component (RastovaIO.h) keeps the list of its running workers; its destructor and WaitThreads
// wait until that list is empty.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace rv {

class TRastovaIO;
class TStream;
class TRVIOThread;

// The workers of one component: the list of those created and not yet finished, the lock that
// guards it (never held while an operation runs) and the idle event, an auto-reset event that
// the worker which empties the list signals. Workers share it with their component, so that the
// last one may leave it after the component is gone.
struct TRVIOWorkerList {
  std::mutex Lock;
  std::condition_variable IdleEvent;
  bool IdleSignalled = false;
  std::vector<TRVIOThread*> Items;
};

class TRVIOThread {
 public:
  // The call shapes (kinds) a worker runs.
  using TFileMethod = std::function<void(const std::string& fileName)>;                        // 0, 10
  using TStreamMethod = std::function<void(TStream& stream)>;                                  // 1
  using TFileIntMethod = std::function<int32_t(const std::string& fileName)>;                  // 2
  using TStreamIntMethod = std::function<int32_t(TStream& stream)>;                            // 4
  using TFileTypeMethod = std::function<void(const std::string& fileName, int32_t fileType)>;  // 5
  using TStreamTypeMethod = std::function<void(TStream& stream, int32_t fileType)>;            // 6
  using TFrameMethod = std::function<void(int32_t frame)>;                                     // 8
  using TMetafileMethod =
      std::function<void(const std::string& fileName, int32_t width, int32_t height, bool withAlpha)>;  // 9

  // Each starts a worker of its kind for `owner` and returns before the operation has run. The
  // worker is in the owner's list before its thread starts.
  static void StartFile(TRastovaIO& owner, const std::string& fileName, TFileMethod method);
  static void StartStream(TRastovaIO& owner, TStream& stream, TStreamMethod method);
  static void StartFileInt(TRastovaIO& owner, const std::string& fileName, TFileIntMethod method);
  static void StartStreamInt(TRastovaIO& owner, TStream& stream, TStreamIntMethod method);
  static void StartFileType(TRastovaIO& owner, const std::string& fileName, int32_t fileType,
                            TFileTypeMethod method);
  static void StartStreamType(TRastovaIO& owner, TStream& stream, int32_t fileType, TStreamTypeMethod method);
  static void StartFrame(TRastovaIO& owner, int32_t frame, TFrameMethod method);
  static void StartMetafile(TRastovaIO& owner, const std::string& fileName, int32_t width, int32_t height,
                            bool withAlpha, TMetafileMethod method);
  // Kind 10: the address is kept in its own field.
  static void StartURL(TRastovaIO& owner, const std::string& url, TFileMethod method);

  int32_t Kind() const { return kind_; }
  // The id of the running thread (stored, under the list's lock, when it starts).
  std::thread::id ThreadID() const { return threadID_; }

 private:
  TRVIOThread(TRastovaIO& owner, int32_t kind);
  // Registers the worker, then starts its thread.
  void Start();
  void Execute();
  void RunMethod();

  TRastovaIO& owner_;
  std::shared_ptr<TRVIOWorkerList> workers_;
  int32_t kind_;
  TFileMethod fileMethod_;
  TStreamMethod streamMethod_;
  TFileIntMethod fileIntMethod_;
  TStreamIntMethod streamIntMethod_;
  TFileTypeMethod fileTypeMethod_;
  TStreamTypeMethod streamTypeMethod_;
  TFrameMethod frameMethod_;
  TMetafileMethod metafileMethod_;
  std::string fileName_;
  TStream* stream_ = nullptr;
  int32_t integer_ = 0;
  int32_t width_ = 0, withAlpha_ = 0, height_ = 0;
  std::string url_;
  std::thread::id threadID_;
};

}  // namespace rv
