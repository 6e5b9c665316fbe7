#pragma once
// Helpers of the shape file tests: a scratch folder, settings restored after each test, shapes on
// the heap (a shape record is 3.5 MB) and prompts that tests answer.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "settings/AppSettings.h"
#include "shape/OutputNames.h"
#include "shape/model/uScPrim.h"

namespace shape_test {

class ScratchDir {
 public:
  ScratchDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string leaf = "zephor_shape_";
    if (info) leaf += std::string(info->test_suite_name()) + "_" + info->name();
    for (char& c : leaf)
      if (c == '/') c = '_';
    path_ = std::filesystem::temp_directory_path() / (leaf + "_" + std::to_string(::getpid()));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  std::string Path() const { return path_.string(); }
  void Touch(const std::string& name) const { std::ofstream(path_ / name) << "x"; }

 private:
  std::filesystem::path path_;
};

// Restores the settings, the rename notice and the prompts a test changes.
class SettingsGuard {
 public:
  SettingsGuard() : saved_(settings::AppSettings) {
    for (int k = 0; k < 3; ++k) {
      objectSize_[k] = settings::ObjectSize[k];
      axisScales_[k] = settings::AxisScales[k];
    }
  }
  ~SettingsGuard() {
    settings::AppSettings = saved_;
    for (int k = 0; k < 3; ++k) {
      settings::ObjectSize[k] = objectSize_[k];
      settings::AxisScales[k] = axisScales_[k];
    }
    shape::RenameNotice.clear();
    shape::SetFilePrompts(nullptr);
  }

 private:
  settings::TAppSettings saved_;
  double objectSize_[3];
  double axisScales_[3];
};

// Prompts answered by the test; every question and notice is recorded.
class RecordingPrompts : public shape::IFilePrompts {
 public:
  bool answer = true;
  std::vector<std::string> questions;
  std::vector<std::string> notices;
  std::vector<std::string> messages;
  bool AskWarningYesNo(const std::string& text) override {
    questions.push_back(text);
    return answer;
  }
  void ShowWarning(const std::string& text) override { notices.push_back(text); }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
};

inline std::unique_ptr<shape::TCS> NewShape(shape::TScType type, int columns, int rows) {
  auto cs = std::make_unique<shape::TCS>();
  shape::InitShape(*cs, type, columns, rows);
  return cs;
}

}  // namespace shape_test
