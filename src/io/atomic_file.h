// Writing a file so that a crash or a full disk never leaves a half-written file under the
// final name: write beside it under a temporary name, then rename over it.
#pragma once

#include <filesystem>
#include <functional>
#include <ostream>
#include <string>

namespace veltmoor {

// Calls `write` with a stream on a temporary file in the target's folder and renames it to
// `path` once the stream is flushed and closed without error. Creates missing folders.
// Throws std::runtime_error naming `path` when any of it fails; the temporary is removed.
void WriteFileAtomically(const std::string& path, const std::function<void(std::ostream&)>& write);

// The same for content already in memory.
void WriteFileAtomically(const std::string& path, const std::string& content);

// A file written whole and made durable beside `path`, put in place only by Commit: what
// must not replace the previous file until something else has succeeded too. Without
// Commit the temporary is removed.
class StagedFile {
 public:
  // Throws std::runtime_error naming `path` when the file cannot be written whole.
  StagedFile(const std::filesystem::path& path, const std::function<void(std::ostream&)>& write);
  ~StagedFile();
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  // One rename. Throws std::runtime_error when it fails.
  void Commit();

 private:
  std::filesystem::path target_;
  std::filesystem::path temp_;
};

// Flushes a file, or a folder's entries, to the disk. Throws std::runtime_error.
void SyncToDisk(const std::filesystem::path& path, bool folder);

}  // namespace veltmoor
