#include "io/output_unit.h"

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <random>
#include <set>
#include <system_error>

#include "io/atomic_file.h"
#include "io/input_file.h"

namespace veltmoor {

namespace fs = std::filesystem;

namespace {

// ".<folder>.veltmoor-<kind>.<host>.<pid>.<nonce>": hidden, beside the folder (so the swap
// is a rename on one file system) and telling which process on which host made it.
constexpr const char* kStaging = "stage";
constexpr const char* kAside = "aside";
// The longest line of an output list: a path the program could have written.
constexpr std::size_t kMaxListLine = 4096;

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

void SyncTree(const fs::path& root) {
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_symlink()) {
      continue;
    }
    SyncToDisk(entry.path(), entry.is_directory());
  }
  SyncToDisk(root, true);
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

// Entries of `root` at any depth as the output list names them: relative, with '/'
// between names and after a folder's. Links are entries, never followed.
std::set<std::string> TreeEntries(const fs::path& root) {
  std::set<std::string> entries;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::end(it);
       it.increment(ec)) {
    std::string name = it->path().lexically_relative(root).generic_string();
    if (it->symlink_status(ec).type() == fs::file_type::directory) {
      name += '/';
    }
    entries.insert(std::move(name));
  }
  if (ec) {
    throw std::runtime_error("cannot read '" + root.string() + "': " + ec.message());
  }
  return entries;
}

// What a folder holds, split into what its output list names and what it does not.
struct Holding {
  std::set<std::string> listed;
  std::set<std::string> foreign;
};

Holding ReadHolding(const fs::path& folder) {
  Holding holding;
  holding.foreign = TreeEntries(folder);
  if (holding.foreign.erase(kOutputList) == 0) {
    return holding;
  }
  std::error_code ec;
  if (!fs::is_regular_file(fs::symlink_status(folder / kOutputList, ec))) {
    throw std::runtime_error("'" + (folder / kOutputList).string() + "' is not a regular file");
  }
  holding.listed.insert(kOutputList);
  ReadLines(folder / kOutputList, kMaxListLine, [&holding](std::string_view line) {
    const auto found = holding.foreign.find(std::string(line));
    if (found != holding.foreign.end()) {
      holding.listed.insert(holding.foreign.extract(found));
    }
  });
  return holding;
}

std::string ForeignMessage(const fs::path& given, const std::string& entry) {
  return "output folder '" + given.string() + "' holds '" + entry +
         "', which veltmoor-batch did not write there";
}

void CheckExistingFolder(const fs::path& folder, const fs::path& given) {
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(folder, ec);
  if (!fs::exists(status)) {
    return;
  }
  if (!fs::is_directory(status)) {
    throw OutputFolderError("output folder '" + given.string() + "' exists and is not a folder");
  }
  Holding holding;
  try {
    holding = ReadHolding(folder);
  } catch (const std::runtime_error& e) {
    throw OutputFolderError(std::string("cannot use output folder '") + given.string() +
                            "': " + e.what());
  }
  if (!holding.foreign.empty()) {
    throw OutputFolderError(ForeignMessage(given, *holding.foreign.begin()) +
                            "; an output folder is replaced as a whole, so give a new or "
                            "empty folder, or one that holds only outputs of veltmoor-batch");
  }
  struct stat own {};
  struct stat parent {};
  if (::stat(folder.c_str(), &own) == 0 && ::stat(folder.parent_path().c_str(), &parent) == 0 &&
      own.st_dev != parent.st_dev) {
    throw OutputFolderError("output folder '" + given.string() +
                            "' is a mount point; its replacement could not be swapped in");
  }
}

// Visible, so that the user finds what they had put there.
fs::path KeptName(const fs::path& folder) {
  return folder.parent_path() /
         (folder.filename().string() + ".veltmoor-kept-" + std::to_string(::getpid()) + "-" +
          std::to_string(::time(nullptr)));
}

// Removes what a previous result lists, deepest first, and the folder once it is empty.
// Whatever else is in it stays, and so does the folder, under a name that says so: a file
// a user put there at the last moment is theirs.
void RemoveListed(const fs::path& root, const fs::path& folder) {
  std::set<std::string> listed;
  try {
    listed = ReadHolding(root).listed;
  } catch (const std::runtime_error&) {
    // An unreadable old result is left in place below rather than guessed at.
  }
  std::error_code ec;
  for (auto it = listed.rbegin(); it != listed.rend(); ++it) {
    fs::remove(root / *it, ec);
  }
  if (!fs::remove(root, ec)) {
    fs::rename(root, KeptName(folder), ec);
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

bool IsWithin(const fs::path& path, const fs::path& folder) {
  const fs::path relative = path.lexically_relative(folder);
  return !relative.empty() && *relative.begin() != "..";
}

void CheckWritableFile(const fs::path& path, const std::string& label) {
  std::error_code ec;
  if (fs::is_directory(path, ec)) {
    throw OutputFolderError(label + " is a folder");
  }
  // A file is replaced by a rename: over a device or a FIFO that would put a plain file in
  // its place.
  if (fs::exists(path, ec) && !fs::is_regular_file(path, ec)) {
    throw OutputFolderError(label + " is not a regular file");
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
      } else if (fs::exists(entry.path() / kOutputList, ignored)) {
        // A listed result, old or new, may have been swapped with the folder a user had
        // just added to: only what it lists goes.
        RemoveListed(entry.path(), folder);
      } else {
        fs::remove_all(entry.path(), ignored);  // a staging folder still being written
      }
    }
  }
}

OutputUnit::OutputUnit(const fs::path& folder) : folder_(OutputFolderPath(folder)) {
  std::error_code ec;
  fs::create_directories(folder_.parent_path(), ec);
  if (ec) {
    throw OutputFolderError("cannot create output folder '" + folder.string() +
                            "': " + ec.message());
  }
  CleanStaleOutputTemporaries(folder_);
  CheckExistingFolder(folder_, folder);
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

namespace {

// Throws unless `old` (the previous result, under whatever name it has now) still holds
// nothing but what it lists.
void CheckStillOwned(const fs::path& old, const fs::path& folder) {
  const std::set<std::string> foreign = ReadHolding(old).foreign;
  if (!foreign.empty()) {
    throw std::runtime_error(ForeignMessage(folder, *foreign.begin()) +
                             ", which appeared while the command ran; the previous result "
                             "was kept and the new one discarded");
  }
}

// Swaps the staging folder and the output folder: in one step where the file system can.
void Swap(const fs::path& staging, const fs::path& folder) {
  if (ExchangePaths(staging, folder)) {
    return;
  }
  // Two renames: a kill between them leaves the old result aside, and the next run puts
  // it back.
  const fs::path aside = TemporaryBeside(folder, kAside);
  Rename(folder, aside);
  try {
    Rename(staging, folder);
  } catch (...) {
    std::error_code ec;
    fs::rename(aside, folder, ec);
    throw;
  }
  Rename(aside, staging);
}

}  // namespace

void OutputUnit::Commit() {
  {
    std::ofstream list(staging_ / kOutputList, std::ios::trunc);
    // Sorted, so equal results have equal lists; a name with a newline cannot be listed
    // and stays the user's to remove.
    for (const std::string& name : TreeEntries(staging_)) {
      if (name != kOutputList && name.find('\n') == std::string::npos) {
        list << name << '\n';
      }
    }
    list.close();
    if (!list) {
      throw std::runtime_error("cannot write '" + (staging_ / kOutputList).string() + "'");
    }
  }
  SyncTree(staging_);
  std::error_code ec;
  if (!fs::exists(fs::symlink_status(folder_, ec))) {
    Rename(staging_, folder_);
  } else {
    CheckStillOwned(folder_, folder_);
    Swap(staging_, folder_);
    // A file added between the check and the swap is found here, and the swap undone.
    try {
      CheckStillOwned(staging_, folder_);
    } catch (...) {
      Swap(staging_, folder_);
      throw;
    }
  }
  committed_ = true;
  SyncToDisk(folder_.parent_path(), true);
  // After the swap the staging name holds the previous result.
  if (fs::exists(fs::symlink_status(staging_, ec))) {
    RemoveListed(staging_, folder_);
  }
}

}  // namespace veltmoor
