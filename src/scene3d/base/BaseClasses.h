#pragma once
// The roots of change propagation: property objects tell their owner when they change, and
// components pass the news up to theirs, until the scene at the top makes its viewers repaint.
// Also the base of file-backed data.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "scene3d/base/Classes.h"
#include "scene3d/base/PersistentClasses.h"

namespace gl3d {

using TNotifyEvent = std::function<void(TObject* sender)>;
using TGLProgressEvent = std::function<void(TObject* sender, double deltaTime, double newTime)>;

struct TProgressTimes {
  double deltaTime;
  double newTime;
};

// Implemented by what can be told of a change. Objects are owned, never freed through it.
class IGLNotifyAble {
 public:
  virtual ~IGLNotifyAble() = default;
  virtual void NotifyChange(TObject* sender) = 0;
};

// Implemented by what advances with the scene's time.
class IGLProgessAble {
 public:
  virtual ~IGLProgessAble() = default;
  virtual void DoProgress(const TProgressTimes& progressTime) = 0;
};

class TGLUpdateAbleComponent;

// An owned property object (coordinates, colours, materials, textures).
class TGLUpdateAbleObject : public TGLInterfacedPersistent, public IGLNotifyAble {
 public:
  explicit TGLUpdateAbleObject(TPersistent* owner) : owner_(owner) {}
  const char* ClassName() const override { return "TGLUpdateAbleObject"; }
  TPersistent* Owner() const { return owner_; }
  TPersistent* GetOwner() const override { return owner_; }
  int Updating() const { return updating_; }
  // Unless updating: tells the owner (when it is an update-able object or component) with this
  // object as the sender, then fires OnPropertyChange. The sender received is not passed on.
  void NotifyChange(TObject* sender) override;

  TNotifyEvent OnPropertyChange;

 protected:
  // Descendants raise it around batched edits and lower it afterwards.
  int updating_ = 0;

 private:
  TPersistent* owner_;
};

class TGLComponent : public TComponent {
 public:
  using TComponent::TComponent;
  const char* ClassName() const override { return "TGLComponent"; }
};

class TGLCadenceAbleComponent : public TGLComponent, public IGLProgessAble {
 public:
  using TGLComponent::TGLComponent;
  const char* ClassName() const override { return "TGLCadenceAbleComponent"; }
  void DoProgress(const TProgressTimes&) override {}
};

class TGLUpdateAbleComponent : public TGLCadenceAbleComponent, public IGLNotifyAble {
 public:
  using TGLCadenceAbleComponent::TGLCadenceAbleComponent;
  const char* ClassName() const override { return "TGLUpdateAbleComponent"; }
  // Tells the owner when it is an update-able component, with this component as the sender.
  void NotifyChange(TObject* sender) override;
};

// Capabilities of a data-file class.
enum TDataFileCapability : uint8_t { dfcRead = 1, dfcWrite = 2 };

// Base of file-backed data (texture images, vector-file formats).
class TDataFile : public TGLUpdateAbleObject {
 public:
  explicit TDataFile(TPersistent* owner) : TGLUpdateAbleObject(owner) {}
  const char* ClassName() const override { return "TDataFile"; }
  // dfcRead here; a format that can also write adds dfcWrite.
  virtual uint8_t Capabilities() const { return dfcRead; }
  // The virtual constructor: a new object of the same class with the given owner.
  virtual std::unique_ptr<TDataFile> NewInstance(TPersistent* owner) const;
  // A new, empty object of the same class (the data is not copied).
  std::unique_ptr<TDataFile> CreateCopy(TPersistent* owner) const { return NewInstance(owner); }

  // Set the resource name to the file name without its folder, then read or write through a
  // file stream, which is freed also on failure.
  virtual void LoadFromFile(const std::string& fileName);
  virtual void SaveToFile(const std::string& fileName);
  // The base fails the assertion "Imaport for <class> to <stream class> not available." /
  // "Export for <class> to <stream class> not available.".
  virtual void LoadFromStream(TStream& stream);
  virtual void SaveToStream(TStream& stream);

  const std::string& ResourceName() const { return resourceName_; }
  void SetResourceName(const std::string& name) { resourceName_ = name; }

 private:
  std::string resourceName_;
};

}  // namespace gl3d
