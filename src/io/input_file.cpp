#include "io/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace veltmoor {

namespace fs = std::filesystem;

namespace {

std::string Quoted(const fs::path& path) {
  return "'" + path.string() + "'";
}

// An open file descriptor, closed on every way out.
class RegularFile {
 public:
  // Opening without blocking: a FIFO with no writer would otherwise wait forever before
  // the check that refuses it could run.
  explicit RegularFile(const fs::path& path)
      : path_(path), fd_(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)) {
    if (fd_ < 0) {
      throw InputFileError(Quoted(path) + " is missing or unreadable: " + std::strerror(errno));
    }
    struct stat info {};
    if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
      ::close(fd_);
      throw InputFileError(Quoted(path) + " is not a regular file");
    }
    size_ = static_cast<std::uint64_t>(info.st_size);
  }
  ~RegularFile() { ::close(fd_); }
  RegularFile(const RegularFile&) = delete;
  RegularFile& operator=(const RegularFile&) = delete;

  std::uint64_t Size() const { return size_; }

  // Up to `capacity` bytes into `buffer`; 0 at the end.
  std::size_t Read(char* buffer, std::size_t capacity) {
    for (;;) {
      const ssize_t got = ::read(fd_, buffer, capacity);
      if (got >= 0) {
        return static_cast<std::size_t>(got);
      }
      if (errno != EINTR) {
        throw InputFileError("cannot read " + Quoted(path_) + ": " + std::strerror(errno));
      }
    }
  }

 private:
  fs::path path_;
  int fd_;
  std::uint64_t size_ = 0;
};

std::string TooLarge(const fs::path& path, std::uint64_t max_bytes) {
  return Quoted(path) + " is larger than " + std::to_string(max_bytes) +
         " bytes, more than veltmoor ever writes there";
}

}  // namespace

std::string ReadRegularFile(const fs::path& path, std::uint64_t max_bytes) {
  RegularFile file(path);
  if (file.Size() > max_bytes) {
    throw InputFileError(TooLarge(path, max_bytes));
  }
  std::string content;
  content.resize(static_cast<std::size_t>(file.Size()));
  std::size_t used = 0;
  // The file may grow while it is read; the limit holds all the same.
  for (;;) {
    if (used == content.size()) {
      if (content.size() > max_bytes) {
        throw InputFileError(TooLarge(path, max_bytes));
      }
      content.resize(std::max<std::size_t>(content.size() * 2, 4096));
    }
    const std::size_t got = file.Read(content.data() + used, content.size() - used);
    if (got == 0) {
      break;
    }
    used += got;
  }
  if (used > max_bytes) {
    throw InputFileError(TooLarge(path, max_bytes));
  }
  content.resize(used);
  return content;
}

void ReadLines(const fs::path& path, std::size_t max_line,
               const std::function<void(std::string_view)>& line) {
  RegularFile file(path);
  constexpr std::size_t kChunk = std::size_t{64} << 10U;
  std::vector<char> buffer(kChunk);
  std::string pending;
  const auto check = [&] {
    if (pending.size() > max_line) {
      throw InputFileError(Quoted(path) + " holds a line longer than " + std::to_string(max_line) +
                           " bytes");
    }
  };
  for (std::size_t got = file.Read(buffer.data(), buffer.size()); got != 0;
       got = file.Read(buffer.data(), buffer.size())) {
    std::string_view chunk(buffer.data(), got);
    for (std::size_t newline = chunk.find('\n'); newline != std::string_view::npos;
         newline = chunk.find('\n')) {
      pending.append(chunk.substr(0, newline));
      check();
      line(pending);
      pending.clear();
      chunk.remove_prefix(newline + 1);
    }
    pending.append(chunk);
    check();
  }
  if (!pending.empty()) {
    line(pending);
  }
}

}  // namespace veltmoor
