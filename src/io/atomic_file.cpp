#include "io/atomic_file.h"

#include <unistd.h>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace veltmoor {

namespace fs = std::filesystem;

void WriteFileAtomically(const std::string& path, const std::function<void(std::ostream&)>& write) {
  static std::atomic<unsigned> counter{0};
  const fs::path target(path);
  std::error_code ec;
  if (target.has_parent_path()) {
    fs::create_directories(target.parent_path(), ec);
    if (ec) {
      throw std::runtime_error("cannot write '" + path + "': cannot create folder '" +
                               target.parent_path().string() + "': " + ec.message());
    }
  }
  fs::path temp = target;
  temp += ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
  try {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) {
      throw std::runtime_error("cannot write '" + path + "'");
    }
    write(out);
    out.flush();
    if (!out) {
      throw std::runtime_error("cannot write '" + path + "'");
    }
    out.close();
    if (out.fail()) {
      throw std::runtime_error("cannot write '" + path + "'");
    }
    fs::rename(temp, target, ec);
    if (ec) {
      throw std::runtime_error("cannot write '" + path + "': " + ec.message());
    }
  } catch (...) {
    fs::remove(temp, ec);
    throw;
  }
}

void WriteFileAtomically(const std::string& path, const std::string& content) {
  WriteFileAtomically(path, [&content](std::ostream& out) { out << content; });
}

}  // namespace veltmoor
