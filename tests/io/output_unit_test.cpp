#include "io/output_unit.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "io/file_names.h"
#include "support/scratch_folder.h"

namespace veltmoor {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Write(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << text;
}

// The pid of a process that has ended, as a killed run's would be.
pid_t DeadPid() {
  const pid_t child = ::fork();
  if (child == 0) {
    ::_exit(0);
  }
  ::waitpid(child, nullptr, 0);
  return child;
}

std::string Host() {
  char name[256] = {};
  ::gethostname(name, sizeof name - 1);
  std::string host(name);
  for (char& ch : host) {
    ch = ch == '.' || ch == '/' ? '_' : ch;
  }
  return host;
}

class OutputUnitTest : public ::testing::Test {
 protected:
  veltmoor::testing::ScratchFolder scratch_{"unit"};
  const fs::path out_ = scratch_.path() / "out";
  const std::set<std::string> owned_ = {"a.txt", "b.txt", "data"};
};

TEST_F(OutputUnitTest, ACommitReplacesTheWholeFolderAndLeavesNothingBeside) {
  {
    OutputUnit unit(out_, owned_);
    Write(unit.Staging() / "a.txt", "old a");
    Write(unit.Staging() / "b.txt", "old b");
    unit.Commit();
  }
  {
    OutputUnit unit(out_, owned_);
    Write(unit.Staging() / "a.txt", "new a");
    EXPECT_EQ(Read(out_ / "a.txt"), "old a");  // nothing shows before the commit
    unit.Commit();
  }
  EXPECT_EQ(Read(out_ / "a.txt"), "new a");
  EXPECT_FALSE(fs::exists(out_ / "b.txt"));  // no older file beside the newer ones
  EXPECT_EQ(std::distance(fs::directory_iterator(scratch_.path()), fs::directory_iterator()), 1);
}

TEST_F(OutputUnitTest, WithoutACommitThePreviousResultStaysAndTheStagingGoes) {
  {
    OutputUnit unit(out_, owned_);
    Write(unit.Staging() / "a.txt", "old");
    unit.Commit();
  }
  {
    OutputUnit unit(out_, owned_);
    Write(unit.Staging() / "a.txt", "half");
  }
  EXPECT_EQ(Read(out_ / "a.txt"), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(scratch_.path()), fs::directory_iterator()), 1);
}

TEST_F(OutputUnitTest, AFolderWithFilesTheProgramDidNotWriteIsRefused) {
  Write(out_ / "thesis.tex", "years of work");
  EXPECT_THROW(OutputUnit(out_, owned_), OutputFolderError);
  EXPECT_EQ(Read(out_ / "thesis.tex"), "years of work");
  Write(scratch_.path() / "file", "x");
  EXPECT_THROW(OutputUnit(scratch_.path() / "file", owned_), OutputFolderError);
  EXPECT_THROW(OutputUnit("/", owned_), OutputFolderError);
}

TEST_F(OutputUnitTest, TemporariesOfKilledRunsAreClearedAndASetAsideResultPutBack) {
  const std::string tail = Host() + "." + std::to_string(DeadPid()) + ".0-1";
  const fs::path stale = scratch_.path() / (".out.veltmoor-stage." + tail);
  const fs::path aside = scratch_.path() / (".out.veltmoor-aside." + tail);
  const fs::path live = scratch_.path() / (".out.veltmoor-stage." + Host() + "." +
                                           std::to_string(::getpid()) + ".9-9");
  Write(stale / "a.txt", "half");
  Write(aside / "a.txt", "the previous result");
  fs::create_directories(live);
  CleanStaleOutputTemporaries(out_);
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_EQ(Read(out_ / "a.txt"), "the previous result");
  EXPECT_TRUE(fs::exists(live));  // a run still going keeps its staging
}

TEST(FileStemTest, ANameIsNeverAPath) {
  for (const char* good : {"xx_Veltmoor", "run 1", "Straße", "a.b", ".hidden"}) {
    EXPECT_EQ(FileStemFault(good), "") << good;
  }
  for (const char* bad : {"", "/some/dir/notes", "../../x", "..", "a\\b", "a\nb", "a\x7f", "a\xff",
                          "\xc0\xaf", "\xed\xa0\x80"}) {
    EXPECT_NE(FileStemFault(bad), "") << bad;
  }
  EXPECT_NE(FileStemFault(std::string(201, 'a')), "");
}

}  // namespace
}  // namespace veltmoor
