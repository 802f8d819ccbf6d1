#include "io/output_unit.h"

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <random>
#include <system_error>

namespace veltmoor {

namespace fs = std::filesystem;

namespace {

// ".<folder>.veltmoor-<kind>.<host>.<pid>.<nonce>": hidden, beside the folder (so the swap
// is a rename on one file system) and telling which process on which host made it.
constexpr const char* kStaging = "stage";
constexpr const char* kAside = "aside";
// The names a unit wrote, one a line: what a later run may replace besides its own names.
constexpr const char* kMarker = ".veltmoor-outputs";

std::string HostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') {
    return "host";
  }
  std::string host(name);
  for (char& ch : host) {
    if (ch == '.' || ch == '/') {
      ch = '_';
    }
  }
  return host;
}

std::string Prefix(const fs::path& folder, const char* kind) {
  return "." + folder.filename().string() + ".veltmoor-" + kind + ".";
}

fs::path TemporaryBeside(const fs::path& folder, const char* kind) {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  return folder.parent_path() /
         (Prefix(folder, kind) + HostName() + "." + std::to_string(::getpid()) + "." +
          std::to_string(counter++) + "-" + std::to_string(random()));
}

// The pid in a temporary's name when it was made on this host, or 0.
pid_t OwnerOnThisHost(const std::string& name, const std::string& prefix) {
  const std::string rest = name.substr(prefix.size());
  const std::string host = HostName() + ".";
  if (rest.compare(0, host.size(), host) != 0) {
    return 0;
  }
  const std::string tail = rest.substr(host.size());
  const std::size_t dot = tail.find('.');
  if (dot == std::string::npos || dot == 0) {
    return 0;
  }
  try {
    return static_cast<pid_t>(std::stol(tail.substr(0, dot)));
  } catch (const std::exception&) {
    return 0;
  }
}

bool ProcessLives(pid_t pid) {
  return pid == ::getpid() || ::kill(pid, 0) == 0 || errno == EPERM;
}

void SyncPath(const fs::path& path, bool folder) {
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

void SyncTree(const fs::path& root) {
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_symlink()) {
      continue;
    }
    SyncPath(entry.path(), entry.is_directory());
  }
  SyncPath(root, true);
}

// Swaps two existing paths in one step; false when the file system cannot.
bool ExchangePaths(const fs::path& a, const fs::path& b) {
  if (::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0) {
    return true;
  }
  if (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP) {
    return false;
  }
  throw std::runtime_error("cannot replace '" + b.string() + "': " + std::strerror(errno));
}

void Rename(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  fs::rename(from, to, ec);
  if (ec) {
    throw std::runtime_error("cannot replace '" + to.string() + "': " + ec.message());
  }
}

void CheckExistingFolder(const fs::path& folder, const fs::path& given,
                         std::set<std::string> owned) {
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(folder, ec);
  if (!fs::exists(status)) {
    return;
  }
  if (!fs::is_directory(status)) {
    throw OutputFolderError("output folder '" + given.string() + "' exists and is not a folder");
  }
  std::ifstream marker(folder / kMarker);
  for (std::string name; std::getline(marker, name);) {
    owned.insert(name);
  }
  owned.insert(kMarker);
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    if (owned.count(name) == 0) {
      throw OutputFolderError(
          "output folder '" + given.string() + "' holds '" + name +
          "', which veltmoor-batch does not write there; an output folder is replaced as a "
          "whole, so give a new or empty folder, or one that holds only outputs of "
          "veltmoor-batch");
    }
  }
  if (ec) {
    throw OutputFolderError("cannot read output folder '" + given.string() + "': " + ec.message());
  }
  struct stat own {};
  struct stat parent {};
  if (::stat(folder.c_str(), &own) == 0 && ::stat(folder.parent_path().c_str(), &parent) == 0 &&
      own.st_dev != parent.st_dev) {
    throw OutputFolderError("output folder '" + given.string() +
                            "' is a mount point; its replacement could not be swapped in");
  }
}

}  // namespace

// An output folder given as a symbolic link is replaced where the link points.
fs::path OutputFolderPath(const fs::path& folder) {
  std::error_code ec;
  fs::path resolved = fs::weakly_canonical(fs::absolute(folder), ec);
  if (ec) {
    throw OutputFolderError("cannot use '" + folder.string() + "': " + ec.message());
  }
  if (!resolved.has_filename()) {
    resolved = resolved.parent_path();
  }
  if (resolved == resolved.root_path() || !resolved.has_filename()) {
    throw OutputFolderError("'" + folder.string() + "' cannot be an output folder");
  }
  return resolved;
}

void CheckWritableFile(const fs::path& path, const std::string& label) {
  std::error_code ec;
  if (fs::is_directory(path, ec)) {
    throw OutputFolderError(label + " is a folder");
  }
  fs::path existing = path.parent_path();
  while (!existing.empty() && !fs::exists(existing, ec)) {
    existing = existing.parent_path();
  }
  if (existing.empty() || !fs::is_directory(existing, ec) ||
      ::access(existing.c_str(), W_OK | X_OK) != 0 ||
      (fs::exists(path, ec) && ::access(path.c_str(), W_OK) != 0)) {
    throw OutputFolderError(label + " cannot be written");
  }
}

void CleanStaleOutputTemporaries(const fs::path& folder) {
  std::error_code ec;
  const fs::path parent = folder.parent_path();
  for (const char* kind : {kStaging, kAside}) {
    const std::string prefix = Prefix(folder, kind);
    for (const fs::directory_entry& entry : fs::directory_iterator(parent, ec)) {
      const std::string name = entry.path().filename().string();
      if (name.compare(0, prefix.size(), prefix) != 0) {
        continue;
      }
      const pid_t owner = OwnerOnThisHost(name, prefix);
      if (owner <= 0 || ProcessLives(owner)) {
        continue;
      }
      std::error_code ignored;
      if (kind == kAside && !fs::exists(fs::symlink_status(folder, ignored))) {
        fs::rename(entry.path(), folder, ignored);
      } else {
        fs::remove_all(entry.path(), ignored);
      }
    }
  }
}

OutputUnit::OutputUnit(const fs::path& folder, const std::set<std::string>& owned)
    : folder_(OutputFolderPath(folder)) {
  std::error_code ec;
  fs::create_directories(folder_.parent_path(), ec);
  if (ec) {
    throw OutputFolderError("cannot create output folder '" + folder.string() +
                            "': " + ec.message());
  }
  CleanStaleOutputTemporaries(folder_);
  CheckExistingFolder(folder_, folder, owned);
  staging_ = TemporaryBeside(folder_, kStaging);
  if (!fs::create_directory(staging_, ec) || ec) {
    throw OutputFolderError("cannot write output folder '" + folder.string() +
                            "': " + (ec ? ec.message() : "a temporary is in the way"));
  }
}

OutputUnit::~OutputUnit() {
  if (!committed_ && !staging_.empty()) {
    std::error_code ignored;
    fs::remove_all(staging_, ignored);
  }
}

void OutputUnit::Commit() {
  {
    std::set<std::string> names;  // sorted, so equal results have equal markers
    for (const fs::directory_entry& entry : fs::directory_iterator(staging_)) {
      const std::string name = entry.path().filename().string();
      if (name != kMarker && name.find('\n') == std::string::npos) {
        names.insert(name);
      }
    }
    std::ofstream marker(staging_ / kMarker, std::ios::trunc);
    for (const std::string& name : names) {
      marker << name << '\n';
    }
    marker.close();
    if (!marker) {
      throw std::runtime_error("cannot write '" + (staging_ / kMarker).string() + "'");
    }
  }
  SyncTree(staging_);
  std::error_code ec;
  const bool replacing = fs::exists(fs::symlink_status(folder_, ec));
  if (!replacing) {
    Rename(staging_, folder_);
  } else if (!ExchangePaths(staging_, folder_)) {
    // Two renames: a kill between them leaves the old result aside, and the next run puts
    // it back.
    const fs::path aside = TemporaryBeside(folder_, kAside);
    Rename(folder_, aside);
    try {
      Rename(staging_, folder_);
    } catch (...) {
      fs::rename(aside, folder_, ec);
      throw;
    }
    fs::rename(aside, staging_, ec);
  }
  committed_ = true;
  SyncPath(folder_.parent_path(), true);
  // After the swap the staging name holds the previous result.
  fs::remove_all(staging_, ec);
}

}  // namespace veltmoor
