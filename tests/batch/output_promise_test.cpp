// What veltmoor-batch promises about its outputs, tried as a user would break it: bad
// arguments refused before any work, nothing touched outside --out, a whole result or none.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/batch_process.h"
#include "support/scratch_folder.h"

namespace {

using veltmoor::testing::ReadFile;
using veltmoor::testing::Result;
using veltmoor::testing::RunShell;

namespace fs = std::filesystem;

// Every file under `root` with its bytes: what a user would find there.
std::map<std::string, std::string> Snapshot(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const std::string name = fs::relative(entry.path(), root).string();
    files[name] = entry.is_regular_file() ? ReadFile(entry.path()) : "<folder>";
  }
  return files;
}

const std::string kWorld = " --width 200 --height 200 --seed 11";
const std::string kDevPara =
    "study devpara --study-set CB0_acti=1 --study-set E0_valFrom=1,0 --study-set E0_valTo=1,2 "
    "--study-set E_incre=0,2 --study-set SE_perVal=2 --study-set SE_toSteps=12" +
    kWorld;

class OutputPromiseTest : public ::testing::Test {
 protected:
  // Runs a shell command line in the scratch folder; `{exe}` stands for veltmoor-batch.
  Result Shell(std::string line) {
    const char* exe = std::getenv("VELTMOOR_BATCH");
    const std::string program = exe != nullptr ? exe : VELTMOOR_BATCH_PATH;
    for (std::size_t at = line.find("{exe}"); at != std::string::npos; at = line.find("{exe}")) {
      line.replace(at, 5, program);
    }
    return RunShell(
        dir_, line,
        scratch_.path().parent_path() / (scratch_.path().filename().string() + ".stderr"));
  }
  Result Run(const std::string& args) { return Shell("{exe} " + args); }

  veltmoor::testing::ScratchFolder scratch_{"promise"};
  const fs::path dir_ = scratch_.path();
};

TEST_F(OutputPromiseTest, BadArgumentsAreRefusedWithExit2BeforeAnyWork) {
  std::ofstream(dir_ / "a-file") << "not a folder";
  fs::create_directories(dir_ / "foreign");
  std::ofstream(dir_ / "foreign/notes.txt") << "the user's";
  const std::string study = " --study-set CB0_acti=1 --out o";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"setup --set E_centriPe=1e39 --out o", "E_centriPe: '1e39' is beyond the range"},
      {"setup --set E_centriPe=1e308 --out o", "E_centriPe: '1e308' is beyond the range"},
      {"setup --set E_centriPe=-1e39 --out o", "E_centriPe: '-1e39' is beyond the range"},
      {"setup --set E_fieldW=3e40 --out o", "E_fieldW"},
      {"setup --set SE_cellScale=abc --out o", "SE_cellScale: 'abc' is not a valid integer"},
      {"setup --set cb_centerNode=maybe --out o", "cb_centerNode"},
      {"setup --seed -1 --out o", "--seed"},
      {"setup --seed -5 --out o", "--seed"},
      {"setup --seed 18446744073709551616 --out o", "--seed"},
      {"setup --seed 1e20 --out o", "--seed"},
      {"setup --seed ' 7' --out o", "--seed"},
      {"setup --out ''", "--out"},
      {"merge '' p1 p2", "out"},
      {"setup --width 20000 --height 20000 --set SE_cellScale=1 --out o", "cells fit"},
      {"setup --out a-file/o", "cannot create output folder 'a-file/o'"},
      {"setup --out a-file", "exists and is not a folder"},
      {"setup --out foreign", "holds 'notes.txt'"},
      {"run --field-type boom --steps 1 --analyse --table o/world.json --out o",
       "one of the run's own outputs"},
      {"run --field-type boom --steps 1 --analyse --table o --out o", "--table"},
      {"run --field-type boom --steps 1 --analyse --table o/.veltmoor-outputs --out o",
       "list of the output folder's own files"},
      {"run --field-type boom --steps 1 --analyse --table /dev/full --out o",
       "--table '/dev/full' is not a regular file"},
      {"export --from a-file --out ''", "--out"},
      {"analyse --from a-file --out ''", "--out"},
      {"run --field-type boom --steps 1 --analyse --table a-file/t.csv --out o",
       "--table 'a-file/t.csv' cannot be written"},
      {"study devpara --study-set E_bName=../x" + study, "E_bName"},
      {"study devpara --study-set E_bName=/tmp/x --shard 1/2 --seed 1" + study, "E_bName"},
      {"study devpara --study-set E_bName=" + study, "E_bName: the base name is empty"},
      {"study devpara --study-set E_bName=.." + study, "E_bName"},
      {"study devpara --study-set \"E_bName=$(printf 'a\\377b')\"" + study, "UTF-8"},
      {"study devpara --study-set \"E_bName=$(printf 'a\\nb')\"" + study, "control character"},
      {"study mindist --study-set E_valTo=9200000000000000000 --out o", "values"},
      {"study mindist --study-set E_calcVals=9200000000000000000 --out o", "calculations"},
      {"study mindist --study-set E_toSteps=9200000000000000000 --out o", "timesteps"},
  };
  const auto before = Snapshot(dir_);
  for (const auto& [args, message] : cases) {
    const Result r = Run(args);
    EXPECT_EQ(r.code, 2) << args << "\n" << r.err;
    EXPECT_NE(r.err.find(message), std::string::npos) << args << "\n" << r.err;
    EXPECT_EQ(Snapshot(dir_), before) << args;
  }
}

// A base name reached outside --out: it deleted a file of the user beside it, and a
// merge overwrote a part. Neither may touch anything the command does not own.
TEST_F(OutputPromiseTest, NothingOutsideTheOutputFolderIsTouched) {
  std::ofstream(dir_ / "notes_2.tee") << "the user's";
  Result r =
      Run(kDevPara + " --study-set E_bName=" + (dir_ / "notes").string() + " --shard 1/2 --out p1");
  EXPECT_EQ(r.code, 2) << r.err;
  EXPECT_EQ(ReadFile(dir_ / "notes_2.tee"), "the user's");

  ASSERT_EQ(Run(kDevPara + " --shard 1/2 --out p1").code, 0);
  ASSERT_EQ(Run(kDevPara + " --shard 2/2 --out p2").code, 0);
  const auto parts = Snapshot(dir_);
  for (const char* args : {"merge p1 p1 p2", "merge p2/inner p1 p2", "merge . p1 p2"}) {
    r = Run(args);
    EXPECT_EQ(r.code, 2) << args << "\n" << r.err;
    EXPECT_NE(r.err.find("would replace the part"), std::string::npos) << r.err;
  }
  EXPECT_EQ(Snapshot(dir_), parts);

  // A part's manifest is hostile input too.
  auto manifest = nlohmann::json::parse(ReadFile(dir_ / "p1/part.json"));
  manifest["StudySettings"]["E_bName"] = "../../escaped";
  std::ofstream(dir_ / "p1/part.json") << manifest.dump();
  r = Run("merge m p1 p2");
  EXPECT_EQ(r.code, 2) << r.err;
  manifest["StudySettings"]["E_bName"] = "xx_Veltmoor";
  manifest["StudySettings"]["CB0_acti"] = "maybe";
  std::ofstream(dir_ / "p1/part.json") << manifest.dump();
  r = Run("merge m p1 p2");
  EXPECT_EQ(r.code, 2) << r.err;
  EXPECT_NE(r.err.find("CB0_acti"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir_ / "m"));
  EXPECT_FALSE(fs::exists(dir_.parent_path() / "escaped_3.tee"));
}

TEST_F(OutputPromiseTest, MergeRefusesPartsThatLostRowsOrHoldNaN) {
  ASSERT_EQ(Run(kDevPara + " --shard 1/2 --out p1").code, 0);
  ASSERT_EQ(Run(kDevPara + " --shard 2/2 --out p2").code, 0);
  const std::string csv = ReadFile(dir_ / "p1/study.csv");
  // The last run of the part gone, whole rows and all.
  const std::size_t cut = csv.rfind(",2,");
  ASSERT_NE(cut, std::string::npos);
  std::ofstream(dir_ / "p1/study.csv") << csv.substr(0, csv.rfind('\n', cut) + 1);
  Result r = Run("merge m p1 p2");
  EXPECT_EQ(r.code, 2) << r.err;
  EXPECT_NE(r.err.find("does not hold the rows"), std::string::npos) << r.err;

  std::string with_nan = csv;
  const std::size_t row = with_nan.find('\n') + 1;
  const std::size_t y = with_nan.find(',', with_nan.find(',', row) + 1) + 1;
  with_nan.replace(y, with_nan.find(',', y) - y, "nan");
  std::ofstream(dir_ / "p1/study.csv") << with_nan;
  r = Run("merge m p1 p2");
  EXPECT_EQ(r.code, 2) << r.err;
  EXPECT_NE(r.err.find("line 2"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir_ / "m"));

  std::ofstream(dir_ / "p1/study.csv") << csv;
  r = Run("merge m p1 p2");
  EXPECT_EQ(r.code, 0) << r.err;
}

// The file-system fault suite: a file-size limit makes every write past a few hundred bytes
// fail, as a full disk would. The previous complete result must stay as it was, with no
// temporary left beside it.
TEST_F(OutputPromiseTest, AWriteFailureLeavesThePreviousWholeResult) {
  const std::string limited = "ulimit -f 1; trap '' XFSZ; {exe} ";
  ASSERT_EQ(Run("setup --width 300 --height 300 --seed 1 --out o").code, 0);
  ASSERT_EQ(Run(kDevPara + " --shard 1/2 --out p").code, 0);
  ASSERT_EQ(Run(kDevPara + " --out s").code, 0);
  const auto before = Snapshot(dir_);
  std::string seed12 = kDevPara;
  seed12.replace(seed12.find("--seed 11"), 9, "--seed 12");
  const std::vector<std::string> commands = {
      "setup --width 300 --height 300 --seed 2 --out o",
      "run --field-type boom --steps 5 --seed 2 --out o",
      seed12 + " --shard 1/2 --out p",
      seed12 + " --out s",
  };
  for (const std::string& command : commands) {
    const Result r = Shell(limited + command);
    EXPECT_EQ(r.code, 1) << command << "\n" << r.err;
    EXPECT_EQ(Snapshot(dir_), before) << command;
  }
}

// SIGKILL at moments spread over a run: the folder holds the old complete result or the
// new one, never a mix; the next run clears whatever the killed ones left.
TEST_F(OutputPromiseTest, AKillAtAnyMomentLeavesTheOldOrTheNewResult) {
  const std::string setup = "setup --width 1000 --height 1000 --set SE_cellScale=6 --seed ";
  ASSERT_EQ(Run(setup + "1 --out old").code, 0);
  ASSERT_EQ(Run(setup + "2 --out new").code, 0);
  const auto old_result = Snapshot(dir_ / "old");
  const auto new_result = Snapshot(dir_ / "new");
  ASSERT_NE(old_result, new_result);
  fs::copy(dir_ / "old", dir_ / "o");

  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(Run(setup + "2 --out timed").code, 0);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  fs::remove_all(dir_ / "timed");
  int saw_new = 0;
  constexpr int kKills = 12;
  for (int k = 1; k <= kKills; ++k) {
    fs::remove_all(dir_ / "o");
    fs::copy(dir_ / "old", dir_ / "o");
    const std::string delay = std::to_string(seconds * 1.1 * k / kKills);
    Shell("{exe} " + setup + "2 --out o & pid=$!; sleep " + delay + "; kill -9 $pid; wait $pid");
    const auto found = Snapshot(dir_ / "o");
    EXPECT_TRUE(found == old_result || found == new_result) << "kill after " << delay << " s";
    saw_new += found == new_result ? 1 : 0;
  }
  ASSERT_EQ(Run(setup + "2 --out o").code, 0);
  std::vector<std::string> entries;
  for (const auto& entry : fs::directory_iterator(dir_)) {
    entries.push_back(entry.path().filename().string());
  }
  std::sort(entries.begin(), entries.end());
  EXPECT_EQ(entries, (std::vector<std::string>{"new", "o", "old"}));
  RecordProperty("kills_that_left_the_new_result", saw_new);
}

TEST_F(OutputPromiseTest, ARerunReplacesTheWholeFolderAndKeepsATableInside) {
  ASSERT_EQ(
      Run("run --field-type boom --steps 3 --seed 1 --analyse --table o/table.csv --out o").code,
      0);
  ASSERT_TRUE(fs::exists(dir_ / "o/table.csv"));
  ASSERT_TRUE(fs::exists(dir_ / "o/map.png"));
  // Without a picture the older map.png must not stand beside the new world.json.
  const Result r = Run("setup --no-picture --seed 2 --out o");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_FALSE(fs::exists(dir_ / "o/map.png"));
  EXPECT_FALSE(fs::exists(dir_ / "o/table.csv"));
  EXPECT_TRUE(fs::exists(dir_ / "o/world.json"));
}

// Files a user keeps inside an output folder, at any depth, are theirs: the command refuses
// the folder rather than delete them, whatever names they have.
TEST_F(OutputPromiseTest, UserFilesAtAnyDepthAreNeverDeleted) {
  const std::string setup = "setup --no-picture" + kWorld;
  ASSERT_EQ(Run(setup + " --out o").code, 0);
  ASSERT_EQ(Run(kDevPara + " --pictures --out s").code, 0);
  ASSERT_TRUE(fs::is_directory(dir_ / "s/pictures"));
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"o/world.json.d/thesis.txt", setup + " --out o"},
      {"fresh/world.json/thesis.txt", setup + " --out fresh"},
      {"mine/map.png", setup + " --out mine"},
      {"s/data/notes.txt", kDevPara + " --out s"},
      {"s/pictures/holiday.jpg", kDevPara + " --pictures --out s"},
  };
  for (const auto& [file, command] : cases) {
    SCOPED_TRACE(command);
    fs::create_directories((dir_ / file).parent_path());
    std::ofstream(dir_ / file) << "the user's";
    const auto before = Snapshot(dir_);
    const Result r = Run(command);
    EXPECT_EQ(r.code, 2) << r.err;
    EXPECT_NE(r.err.find("veltmoor-batch did not write there"), std::string::npos) << r.err;
    EXPECT_EQ(Snapshot(dir_), before);
    fs::remove(dir_ / file);
  }
}

// A file dropped into the old result while a run goes: the run fails with the old result,
// and the file, in place.
TEST_F(OutputPromiseTest, AFileAddedDuringARunKeepsTheOldResult) {
  const std::string run = "run --no-picture --field-type boom --steps 400" + kWorld;
  ASSERT_EQ(Run(run + " --out o").code, 0);
  const std::string world = ReadFile(dir_ / "o/world.json");
  // About a second: the file comes in well before the swap.
  const Result r = Shell(
      "{exe} run --no-picture --field-type boom --steps 1500 --width 960 "
      "--height 960 --set SE_stopAt=33000 --seed 12 --out o & pid=$!; "
      "for i in $(seq 3000); do ls -a | grep -q '^\\.o\\.veltmoor-stage' "
      "&& break; sleep 0.01; done; "
      "echo mine > o/late.txt; wait $pid");
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_NE(r.err.find("appeared while the command ran"), std::string::npos) << r.err;
  EXPECT_EQ(ReadFile(dir_ / "o/world.json"), world);
  EXPECT_EQ(ReadFile(dir_ / "o/late.txt"), "mine\n");
  std::vector<std::string> entries;
  for (const auto& entry : fs::directory_iterator(dir_)) {
    entries.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(entries, std::vector<std::string>{"o"});
}

// A table outside the unit that cannot be written fails the command, and the previous
// result stays: the table is written before the swap, not after it.
TEST_F(OutputPromiseTest, ATableThatCannotBeWrittenLeavesThePreviousResult) {
  // Long enough (about a second) that the folder is broken while the run still grows.
  const std::string run = "{exe} run --no-picture --field-type boom --steps 1500 --analyse " +
                          std::string("--width 960 --height 960 --set SE_stopAt=33000 ") +
                          "--table tables/t.csv --out o";
  ASSERT_EQ(Shell(run + " --seed 11").code, 0);
  const auto before = Snapshot(dir_ / "o");
  // The table's folder becomes a file once the run has begun, as a disk that fills or a
  // folder that goes away would fail it.
  const Result r = Shell(run +
                         " --seed 12 & pid=$!; for i in $(seq 3000); do ls -a | grep -q "
                         "'^\\.o\\.veltmoor-stage' && break; sleep 0.01; done; "
                         "rm -r tables; echo x > tables; wait $pid");
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_NE(r.err.find("t.csv"), std::string::npos) << r.err;
  EXPECT_EQ(Snapshot(dir_ / "o"), before);
  std::vector<std::string> entries;
  for (const auto& entry : fs::directory_iterator(dir_)) {
    entries.push_back(entry.path().filename().string());
  }
  std::sort(entries.begin(), entries.end());
  EXPECT_EQ(entries, (std::vector<std::string>{"o", "tables"}));
}

// What stands where the program reads a file is refused at once: it never waits on a FIFO
// nor reads a device for ever.
TEST_F(OutputPromiseTest, FifosAndDevicesInPlaceOfFilesAreRefused) {
  ASSERT_EQ(Run("setup --no-picture" + kWorld + " --out o").code, 0);
  ASSERT_EQ(Run(kDevPara + " --shard 1/2 --out p1").code, 0);
  ASSERT_EQ(Run(kDevPara + " --shard 2/2 --out p2").code, 0);
  fs::remove(dir_ / "o/.veltmoor-outputs");
  ASSERT_EQ(::mkfifo((dir_ / "o/.veltmoor-outputs").c_str(), 0600), 0);
  fs::remove(dir_ / "p1/study.csv");
  fs::create_symlink("/dev/zero", dir_ / "p1/study.csv");
  ASSERT_EQ(::mkfifo((dir_ / "target.json").c_str(), 0600), 0);
  const std::string calibrate =
      "calibrate --measures D_grid --vary E_peScale=1:2 --points 1 "
      "--runs 1 --steps 1 --field-type boom --seed 1 --out c";
  for (const std::string& args :
       {"setup --no-picture" + kWorld + " --out o", std::string("merge m p1 p2"),
        calibrate + " --target target.json", calibrate + " --target p2"}) {
    SCOPED_TRACE(args);
    const Result r = Shell("timeout 60 {exe} " + args);
    EXPECT_EQ(r.code, 2) << r.err;
    EXPECT_TRUE(r.err.find("is not a regular file") != std::string::npos) << r.err;
  }
  EXPECT_FALSE(fs::exists(dir_ / "m"));
  EXPECT_FALSE(fs::exists(dir_ / "c"));
}

TEST_F(OutputPromiseTest, HelpThatCannotBeWrittenIsNoSuccess) {
  EXPECT_EQ(Shell("{exe} --help > /dev/null").code, 0);
  EXPECT_EQ(Shell("{exe} --help > /dev/full").code, 1);
}

TEST_F(OutputPromiseTest, StudyProgressOffATerminalIsALinePerRun) {
  const Result r = Run(kDevPara + " --out s");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("devpara: run 1 of 4 finished\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("devpara: run 4 of 4 finished\n"), std::string::npos) << r.err;
}

}  // namespace
