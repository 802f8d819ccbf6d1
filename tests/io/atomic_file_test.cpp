#include "io/atomic_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "support/scratch_folder.h"

namespace veltmoor {
namespace {

namespace fs = std::filesystem;

class AtomicFileTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = scratch_.path() / "files"; }

  static std::string Read(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  veltmoor::testing::ScratchFolder scratch_{"atomic"};
  fs::path dir_;
};

TEST_F(AtomicFileTest, CreatesMissingFoldersAndLeavesNoTemporary) {
  const fs::path target = dir_ / "data" / "study.tee";
  WriteFileAtomically(target.string(), "first");
  WriteFileAtomically(target.string(), "second");
  EXPECT_EQ(Read(target), "second");
  EXPECT_EQ(std::distance(fs::directory_iterator(target.parent_path()), fs::directory_iterator()),
            1);
}

TEST_F(AtomicFileTest, FailedWriterKeepsTheOldFileWhole) {
  const fs::path target = dir_ / "map.json";
  WriteFileAtomically(target.string(), "old");
  EXPECT_THROW(WriteFileAtomically(target.string(),
                                   [](std::ostream& out) {
                                     out << "half";
                                     throw std::runtime_error("disk gone");
                                   }),
               std::runtime_error);
  EXPECT_EQ(Read(target), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(AtomicFileTest, UnwritablePlaceIsNamedInTheError) {
  fs::create_directories(dir_);
  std::ofstream(dir_ / "plain") << "x";
  const std::string target = (dir_ / "plain" / "out.png").string();
  try {
    WriteFileAtomically(target, "data");
    FAIL() << "wrote below a plain file";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("plain"), std::string::npos);
  }
}

}  // namespace
}  // namespace veltmoor
