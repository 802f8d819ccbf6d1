// Writing a file so that a crash or a full disk never leaves a half-written file under the
// final name: write beside it under a temporary name, then rename over it.
#pragma once

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

}  // namespace veltmoor
