// Reading files a user names or a folder holds: regular files only, and never more than the
// caller can hold, so a FIFO, a device, or a link to one never hangs or floods a command.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace veltmoor {

// The file cannot be read as asked: missing, no regular file, or too large. Its message
// names the file.
class InputFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The whole content of the regular file at `path` (a symbolic link is followed to it).
// Throws InputFileError when it is no regular file, cannot be read, or holds more than
// `max_bytes`.
std::string ReadRegularFile(const std::filesystem::path& path, std::uint64_t max_bytes);

// Calls `line` for every line of the regular file at `path`, without its newline, holding
// no more than one line at a time. Throws InputFileError as ReadRegularFile does, and for a
// line longer than `max_line` bytes.
void ReadLines(const std::filesystem::path& path, std::size_t max_line,
               const std::function<void(std::string_view)>& line);

}  // namespace veltmoor
