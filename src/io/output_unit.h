// An output folder replaced as one unit: its files are written into a fresh sibling folder,
// made durable, and swapped in with one rename, so readers and crashes only ever see the
// previous complete result or the new one.
#pragma once

#include <filesystem>
#include <set>
#include <stdexcept>
#include <string>

namespace veltmoor {

// The folder cannot be used for output at all: the user has to name another one.
class OutputFolderError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class OutputUnit {
 public:
  // Prepares the replacement of `folder`. Removes what killed runs left beside it, checks
  // that an existing `folder` is a folder holding nothing but entries named in `owned` or
  // written by an earlier unit (the program never deletes what it did not write) and
  // creates the staging folder.
  // Throws OutputFolderError when the folder cannot be used.
  OutputUnit(const std::filesystem::path& folder, const std::set<std::string>& owned);
  // Without Commit the staging folder and all written into it are removed.
  ~OutputUnit();
  OutputUnit(const OutputUnit&) = delete;
  OutputUnit& operator=(const OutputUnit&) = delete;

  // Where the outputs go until Commit.
  const std::filesystem::path& Staging() const { return staging_; }
  const std::filesystem::path& Folder() const { return folder_; }

  // Records the names it holds, flushes every staged file and folder to the disk and swaps the
  // staging folder in place of `folder`; the previous contents are removed afterwards. Throws
  // std::runtime_error when that fails, leaving `folder` as it was.
  void Commit();

 private:
  std::filesystem::path folder_;
  std::filesystem::path staging_;
  bool committed_ = false;
};

// `folder` as the unit will replace it: absolute, normal, symbolic links followed.
// Throws OutputFolderError for the root or a path that cannot be resolved.
std::filesystem::path OutputFolderPath(const std::filesystem::path& folder);

// Throws OutputFolderError, starting with `label` (which names the file as the user gave
// it), unless a file could be created or replaced at `path` (absolute): it is no folder,
// and its nearest existing folder is writable.
void CheckWritableFile(const std::filesystem::path& path, const std::string& label);

// Removes the staging folders of runs of this host that no longer live, and puts back a
// previous result that a run killed half-way through a swap had set aside.
void CleanStaleOutputTemporaries(const std::filesystem::path& folder);

}  // namespace veltmoor
