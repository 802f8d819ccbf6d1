// What the batch tests read back from a veltmoor-batch process: its exit code, its stderr
// and the files it left.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace veltmoor::testing {

struct Result {
  int code = -1;
  std::string err;
};

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace veltmoor::testing
