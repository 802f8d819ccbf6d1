// An output folder replaced as one unit: its files are written into a fresh sibling folder,
// made durable, and swapped in with one rename, so readers and crashes only ever see the
// previous complete result or the new one.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

namespace veltmoor {

// The folder cannot be used for output at all: the user has to name another one.
class OutputFolderError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The list a unit leaves in its folder of every file and folder it wrote there, at any
// depth: what a later unit may remove, and all it may remove.
inline constexpr const char* kOutputList = ".veltmoor-outputs";

class OutputUnit {
 public:
  // Prepares the replacement of `folder`. Removes what killed runs left beside it, checks
  // that an existing `folder` is a folder holding, at any depth, nothing but what its
  // output list names (the program never deletes what it did not write), and creates the
  // staging folder.
  // Throws OutputFolderError when the folder cannot be used.
  explicit OutputUnit(const std::filesystem::path& folder);
  // Without Commit the staging folder and all written into it are removed.
  ~OutputUnit();
  OutputUnit(const OutputUnit&) = delete;
  OutputUnit& operator=(const OutputUnit&) = delete;

  // Where the outputs go until Commit.
  const std::filesystem::path& Staging() const { return staging_; }
  const std::filesystem::path& Folder() const { return folder_; }

  // Lists what it holds, flushes every staged file and folder to the disk and swaps the
  // staging folder in place of `folder`; what the previous result listed is removed
  // afterwards. Throws std::runtime_error when that fails, or when `folder` gained anything
  // its list does not name since the unit was prepared, leaving `folder` as it was.
  void Commit();

 private:
  std::filesystem::path folder_;
  std::filesystem::path staging_;
  bool committed_ = false;
};

// `folder` as the unit will replace it: absolute, normal, symbolic links followed.
// Throws OutputFolderError for the root or a path that cannot be resolved.
std::filesystem::path OutputFolderPath(const std::filesystem::path& folder);

// Whether `path` is `folder` or lies inside it; both absolute and normal, as
// OutputFolderPath gives them.
bool IsWithin(const std::filesystem::path& path, const std::filesystem::path& folder);

// Throws OutputFolderError, starting with `label` (which names the file as the user gave
// it), unless a file could be created or replaced at `path` (absolute): it is no folder
// nor anything else but a regular file, and its nearest existing folder is writable.
void CheckWritableFile(const std::filesystem::path& path, const std::string& label);

// Removes the staging folders of runs of this host that no longer live, and puts back a
// previous result that a run killed half-way through a swap had set aside.
void CleanStaleOutputTemporaries(const std::filesystem::path& folder);

}  // namespace veltmoor
