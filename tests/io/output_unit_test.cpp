#include "io/output_unit.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
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
  // A committed unit of a.txt and data/b.txt in out_.
  void CommitFirstResult() {
    OutputUnit unit(out_);
    Write(unit.Staging() / "a.txt", "old a");
    Write(unit.Staging() / "data/b.txt", "old b");
    unit.Commit();
  }

  veltmoor::testing::ScratchFolder scratch_{"unit"};
  const fs::path out_ = scratch_.path() / "out";
};

TEST_F(OutputUnitTest, ACommitReplacesTheWholeFolderAndLeavesNothingBeside) {
  {
    OutputUnit unit(out_);
    Write(unit.Staging() / "a.txt", "old a");
    Write(unit.Staging() / "b.txt", "old b");
    unit.Commit();
  }
  {
    OutputUnit unit(out_);
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
    OutputUnit unit(out_);
    Write(unit.Staging() / "a.txt", "old");
    unit.Commit();
  }
  {
    OutputUnit unit(out_);
    Write(unit.Staging() / "a.txt", "half");
  }
  EXPECT_EQ(Read(out_ / "a.txt"), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(scratch_.path()), fs::directory_iterator()), 1);
}

TEST_F(OutputUnitTest, AFolderWithFilesTheProgramDidNotWriteIsRefused) {
  Write(out_ / "thesis.tex", "years of work");
  EXPECT_THROW(OutputUnit{out_}, OutputFolderError);
  EXPECT_EQ(Read(out_ / "thesis.tex"), "years of work");
  // A name the program writes is still the user's when no list of the program names it.
  fs::remove(out_ / "thesis.tex");
  Write(out_ / "map.png", "the user's own map");
  EXPECT_THROW(OutputUnit{out_}, OutputFolderError);
  Write(scratch_.path() / "file", "x");
  EXPECT_THROW(OutputUnit(scratch_.path() / "file"), OutputFolderError);
  EXPECT_THROW(OutputUnit("/"), OutputFolderError);
}

// Only what the list names may go: a file at any depth, an empty folder or a link the
// program never wrote makes the folder the user's.
TEST_F(OutputUnitTest, AnythingUnlistedAtAnyDepthIsRefused) {
  CommitFirstResult();
  EXPECT_EQ(Read(out_ / kOutputList), "a.txt\ndata/\ndata/b.txt\n");
  for (const char* entry : {"data/thesis.txt", "data/deeper/notes.txt", "data/empty/"}) {
    SCOPED_TRACE(entry);
    const fs::path path = out_ / entry;
    if (path.filename().empty()) {
      fs::create_directories(path);
    } else {
      Write(path, "the user's");
    }
    EXPECT_THROW(OutputUnit{out_}, OutputFolderError);
    EXPECT_TRUE(fs::exists(path));
    fs::remove_all(out_ / "data" / fs::path(entry).lexically_relative("data").begin()->string());
  }
  fs::create_symlink("/etc", out_ / "link");
  EXPECT_THROW(OutputUnit{out_}, OutputFolderError);
  fs::remove(out_ / "link");
  // A listed file turned into a folder of the user's is theirs too.
  fs::remove(out_ / "a.txt");
  Write(out_ / "a.txt/inside.txt", "the user's");
  EXPECT_THROW(OutputUnit{out_}, OutputFolderError);
}

TEST_F(OutputUnitTest, AFileAddedDuringTheRunKeepsThePreviousResult) {
  CommitFirstResult();
  OutputUnit unit(out_);
  Write(unit.Staging() / "a.txt", "new a");
  Write(out_ / "data/late.txt", "written while the command ran");
  try {
    unit.Commit();
    ADD_FAILURE() << "the commit replaced a folder with a user's file";
  } catch (const OutputFolderError&) {
    ADD_FAILURE() << "a late file is a failure of the run, not a bad folder";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("data/late.txt"), std::string::npos) << e.what();
  }
  EXPECT_EQ(Read(out_ / "a.txt"), "old a");
  EXPECT_EQ(Read(out_ / "data/late.txt"), "written while the command ran");
}

// The list is read from a folder anyone could have written: a FIFO or a device in its
// place must be refused, not waited on or read for ever.
TEST_F(OutputUnitTest, AListThatIsNoRegularFileIsRefused) {
  CommitFirstResult();
  fs::remove(out_ / kOutputList);
  ASSERT_EQ(::mkfifo((out_ / kOutputList).c_str(), 0600), 0);
  EXPECT_THROW(OutputUnit{out_}, OutputFolderError);
  fs::remove(out_ / kOutputList);
  fs::create_symlink("/dev/zero", out_ / kOutputList);
  EXPECT_THROW(OutputUnit{out_}, OutputFolderError);
  fs::remove(out_ / kOutputList);
  Write(out_ / kOutputList, std::string(100000, 'x'));
  EXPECT_THROW(OutputUnit{out_}, OutputFolderError);
  EXPECT_EQ(Read(out_ / "a.txt"), "old a");
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

// A result set aside by a killed swap is removed by its list only: what a user put into it
// survives, in a folder named so they find it.
TEST_F(OutputUnitTest, ASetAsideResultLosesOnlyWhatItLists) {
  CommitFirstResult();
  const fs::path aside = scratch_.path() / (".out.veltmoor-aside." + Host() + "." +
                                            std::to_string(DeadPid()) + ".0-1");
  fs::copy(out_, aside, fs::copy_options::recursive);
  Write(aside / "data/late.txt", "the user's");
  CleanStaleOutputTemporaries(out_);
  EXPECT_FALSE(fs::exists(aside));
  EXPECT_EQ(Read(out_ / "a.txt"), "old a");
  int kept = 0;
  for (const auto& entry : fs::directory_iterator(scratch_.path())) {
    if (entry.path().filename().string().rfind("out.veltmoor-kept-", 0) == 0) {
      ++kept;
      EXPECT_EQ(Read(entry.path() / "data/late.txt"), "the user's");
      EXPECT_FALSE(fs::exists(entry.path() / "a.txt"));
    }
  }
  EXPECT_EQ(kept, 1);
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
