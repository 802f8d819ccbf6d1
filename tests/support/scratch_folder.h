// A folder of its own for one test: a fresh name on every run, so two test runs on one
// machine never clobber each other's files. Removed afterwards.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace veltmoor::testing {

class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& label = "test") {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = "veltmoor-" + label;
    if (info != nullptr) {
      name += "-" + std::string(info->name());
    }
    std::string pattern = (std::filesystem::temp_directory_path() / (name + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      throw std::runtime_error("cannot create a scratch folder from " + pattern);
    }
    path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace veltmoor::testing
