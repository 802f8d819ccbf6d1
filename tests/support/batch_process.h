// What the batch tests read back from a veltmoor-batch process: its exit code, its stderr
// and the files it left.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
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

// Runs a shell line in `folder` and keeps what it printed on stderr (with stdout too when
// asked), read from `capture`, which is removed afterwards.
inline Result RunShell(const std::filesystem::path& folder, const std::string& line,
                       const std::filesystem::path& capture, bool with_stdout = false) {
  const std::string redirect =
      with_stdout ? "> " + capture.string() + " 2>&1" : "2> " + capture.string();
  const std::string command = "cd " + folder.string() + " && (" + line + ") " + redirect;
  const int status = std::system(command.c_str());
  Result result;
  result.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.err = ReadFile(capture);
  std::filesystem::remove(capture);
  return result;
}

}  // namespace veltmoor::testing
