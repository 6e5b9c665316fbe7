#pragma once
// Helpers shared by the shape model tests. Shape records are 3.5 MB: always on the heap.
#include <memory>

#include "settings/AppSettings.h"
#include "shape/model/uScPrim.h"

namespace shape_test {

inline std::unique_ptr<shape::TCS> NewShape(shape::TScType type, int columns, int rows) {
  auto cs = std::make_unique<shape::TCS>();
  shape::InitShape(*cs, type, columns, rows);
  return cs;
}

// Restores the settings a test changes.
class SettingsGuard {
 public:
  SettingsGuard() : saved_(settings::AppSettings) {}
  ~SettingsGuard() { settings::AppSettings = saved_; }

 private:
  settings::TAppSettings saved_;
};

}  // namespace shape_test
