#pragma once
// Classes created by name: form descriptions and archives name a class, and the registry
// makes an instance. Names compare without regard to ASCII case. One registry per base type.
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/Exception.h"

namespace common {

struct CaseInsensitiveLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const noexcept;
};

class EClassNotFound : public Exception {
 public:
  using Exception::Exception;
};

template <class Base>
class TClassRegistry {
 public:
  using Factory = std::function<std::unique_ptr<Base>()>;

  static TClassRegistry& Instance() {
    static TClassRegistry registry;
    return registry;
  }

  // Registering a name again replaces its factory.
  void Register(const std::string& name, Factory factory) { classes_[name] = std::move(factory); }
  template <class Derived>
  void Register(const std::string& name) {
    Register(name, [] { return std::unique_ptr<Base>(new Derived()); });
  }
  void Unregister(std::string_view name) {
    auto it = classes_.find(name);
    if (it != classes_.end()) classes_.erase(it);
  }
  bool IsRegistered(std::string_view name) const { return classes_.find(name) != classes_.end(); }

  // nullptr for an unknown name.
  std::unique_ptr<Base> TryCreate(std::string_view name) const {
    auto it = classes_.find(name);
    return it == classes_.end() ? nullptr : it->second();
  }
  // Throws EClassNotFound("Class <name> not found") for an unknown name.
  std::unique_ptr<Base> Create(std::string_view name) const {
    auto it = classes_.find(name);
    if (it == classes_.end()) throw EClassNotFound("Class " + std::string(name) + " not found");
    return it->second();
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> out;
    for (auto& [n, f] : classes_) out.push_back(n);
    return out;
  }

 private:
  std::map<std::string, Factory, CaseInsensitiveLess> classes_;
};

}  // namespace common
