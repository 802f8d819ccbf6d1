#include "io/input_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/scratch_folder.h"

namespace veltmoor {
namespace {

namespace fs = std::filesystem;

// Whatever a hostile folder holds in a file's place is refused at once, and a file is
// never read past its limit.
TEST(InputFileTest, OnlyRegularFilesWithinTheirLimitAreRead) {
  const veltmoor::testing::ScratchFolder scratch("input");
  const fs::path dir = scratch.path();
  std::ofstream(dir / "small") << "one\ntwo\n";
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", dir / "zero");
  fs::create_symlink(dir / "small", dir / "link");

  EXPECT_EQ(ReadRegularFile(dir / "small", 8), "one\ntwo\n");
  EXPECT_EQ(ReadRegularFile(dir / "link", 8), "one\ntwo\n");
  for (const char* name : {"fifo", "zero", "missing", "."}) {
    SCOPED_TRACE(name);
    EXPECT_THROW(ReadRegularFile(dir / name, 1 << 20), InputFileError);
    EXPECT_THROW(ReadLines(dir / name, 100, [](std::string_view) {}), InputFileError);
  }
  EXPECT_THROW(ReadRegularFile(dir / "small", 7), InputFileError);
  // A regular file that claims no size, as those under /proc do, still meets the limit.
  EXPECT_FALSE(ReadRegularFile("/proc/self/status", 1 << 20).empty());
  EXPECT_THROW(ReadRegularFile("/proc/self/status", 16), InputFileError);
}

TEST(InputFileTest, LinesAreReadOneAtATimeAndBounded) {
  const veltmoor::testing::ScratchFolder scratch("input");
  const fs::path dir = scratch.path();
  const std::string long_line(100000, 'x');
  std::ofstream(dir / "lines") << "a\n\nb/c\n" << long_line << "\nlast";
  std::vector<std::string> lines;
  const auto collect = [&lines](std::string_view line) { lines.emplace_back(line); };
  ReadLines(dir / "lines", long_line.size(), collect);
  EXPECT_EQ(lines, (std::vector<std::string>{"a", "", "b/c", long_line, "last"}));
  lines.clear();
  EXPECT_THROW(ReadLines(dir / "lines", long_line.size() - 1, collect), InputFileError);
  std::ofstream(dir / "endless") << long_line;  // no newline at all
  EXPECT_THROW(ReadLines(dir / "endless", 4096, collect), InputFileError);
}

}  // namespace
}  // namespace veltmoor
