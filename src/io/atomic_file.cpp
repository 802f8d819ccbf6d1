#include "io/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace veltmoor {

namespace fs = std::filesystem;

namespace {

// The failure of a stream on `path` with the system's reason (no permission, disk full),
// read at once before anything else can change errno.
std::runtime_error CannotWrite(const std::string& path) {
  const int error = errno;
  return std::runtime_error("cannot write '" + path +
                            "': " + (error != 0 ? std::strerror(error) : "the write failed"));
}

// Writes the whole file under a temporary name beside `target` and returns that name.
fs::path WriteBeside(const fs::path& target, const std::function<void(std::ostream&)>& write) {
  static std::atomic<unsigned> counter{0};
  const std::string path = target.string();
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
    errno = 0;
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) {
      throw CannotWrite(path);
    }
    write(out);
    out.flush();
    if (!out) {
      throw CannotWrite(path);
    }
    out.close();
    if (out.fail()) {
      throw CannotWrite(path);
    }
  } catch (...) {
    fs::remove(temp, ec);
    throw;
  }
  return temp;
}

void RenameInPlace(const fs::path& temp, const fs::path& target) {
  std::error_code ec;
  fs::rename(temp, target, ec);
  if (ec) {
    fs::remove(temp, ec);
    throw std::runtime_error("cannot write '" + target.string() + "': " + ec.message());
  }
}

}  // namespace

void WriteFileAtomically(const std::string& path, const std::function<void(std::ostream&)>& write) {
  const fs::path target(path);
  RenameInPlace(WriteBeside(target, write), target);
}

void WriteFileAtomically(const std::string& path, const std::string& content) {
  WriteFileAtomically(path, [&content](std::ostream& out) { out << content; });
}

StagedFile::StagedFile(const fs::path& path, const std::function<void(std::ostream&)>& write)
    : target_(path), temp_(WriteBeside(path, write)) {
  try {
    SyncToDisk(temp_, false);
  } catch (...) {
    std::error_code ignored;
    fs::remove(temp_, ignored);
    throw;
  }
}

StagedFile::~StagedFile() {
  if (!temp_.empty()) {
    std::error_code ignored;
    fs::remove(temp_, ignored);
  }
}

void StagedFile::Commit() {
  const fs::path temp = std::move(temp_);
  temp_.clear();
  RenameInPlace(temp, target_);
  SyncToDisk(target_.parent_path().empty() ? fs::path(".") : target_.parent_path(), true);
}

void SyncToDisk(const fs::path& path, bool folder) {
  const int fd = ::open(path.c_str(), (folder ? O_RDONLY | O_DIRECTORY : O_RDONLY) | O_CLOEXEC);
  if (fd < 0) {
    throw std::runtime_error("cannot open '" + path.string() + "': " + std::strerror(errno));
  }
  const int result = ::fsync(fd);
  const int error = errno;
  ::close(fd);
  if (result != 0) {
    throw std::runtime_error("cannot write '" + path.string() +
                             "' to disk: " + std::strerror(error));
  }
}

}  // namespace veltmoor
