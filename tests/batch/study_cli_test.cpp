// veltmoor-batch study and merge as a user runs them: separate processes, shards under GNU
// parallel, files compared byte for byte.
#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

// A tiny world and few steps keep every study here well under a second.
const std::string kWorld = " --width 200 --height 200 --seed 11";
const std::string kDevPara =
    "study devpara --study-set CB0_acti=1 --study-set E0_valFrom=1,0 --study-set E0_valTo=1,2 "
    "--study-set E_incre=0,2 --study-set SE_perVal=2 --study-set SE_toSteps=12" +
    kWorld;
const std::string kMinDist =
    "study mindist --study-set E_valFrom=2 --study-set E_valTo=3 --study-set E_toSteps=15 "
    "--study-set E_calcVals=2" +
    kWorld;

class StudyCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* exe = std::getenv("VELTMOOR_BATCH");
    exe_ = exe != nullptr ? exe : VELTMOOR_BATCH_PATH;
    dir_ = scratch_.path();
  }

  // Runs a shell command line in the test's folder; `{exe}` stands for veltmoor-batch.
  Result Shell(std::string line) {
    for (std::size_t at = line.find("{exe}"); at != std::string::npos; at = line.find("{exe}")) {
      line.replace(at, 5, exe_);
    }
    return RunShell(dir_, line, dir_ / "stderr.txt");
  }
  Result Run(const std::string& args) { return Shell("{exe} " + args); }

  void ExpectSameFiles(const fs::path& a, const fs::path& b) {
    std::vector<fs::path> names;
    for (const auto& entry : fs::recursive_directory_iterator(a)) {
      if (entry.is_regular_file()) {
        names.push_back(fs::relative(entry.path(), a));
      }
    }
    ASSERT_FALSE(names.empty());
    for (const fs::path& name : names) {
      ASSERT_TRUE(fs::exists(b / name)) << name;
      EXPECT_EQ(ReadFile(a / name), ReadFile(b / name)) << name;
    }
  }

  std::string exe_;
  veltmoor::testing::ScratchFolder scratch_{"study"};
  fs::path dir_;
};

TEST_F(StudyCliTest, ShardsUnderGnuParallelMergeIntoTheSingleProcessStudy) {
  if (std::system("command -v parallel > /dev/null 2>&1") != 0) {
    GTEST_SKIP() << "GNU parallel is not on PATH";
  }
  const std::string study = kDevPara + " --pictures";
  Result r = Run(study + " --out single");
  ASSERT_EQ(r.code, 0) << r.err;
  r = Shell("parallel --will-cite --halt now,fail=1 {exe} " + study +
            " --shard {}/2 --out part{} ::: 1 2");
  ASSERT_EQ(r.code, 0) << r.err;
  r = Run("merge merged part2 part1");
  ASSERT_EQ(r.code, 0) << r.err;

  const std::string csv = ReadFile(dir_ / "single/study.csv");
  EXPECT_EQ(ReadFile(dir_ / "merged/study.csv"), csv);
  EXPECT_EQ(ReadFile(dir_ / "merged/study.tee"), ReadFile(dir_ / "single/study.tee"));
  // Data file, pictures and all: the same folder as the single process wrote.
  ExpectSameFiles(dir_ / "single", dir_ / "merged");

  // 2 values x 2 runs, six measures each, in the order the runs added them.
  EXPECT_EQ(csv.rfind("series,x,y,run,value_index\nser_FractGrid,1,", 0), 0u) << csv;
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1 + 4 * 6);
  EXPECT_NE(csv.find("\nser_potConn,1.2,"), std::string::npos);
  EXPECT_NE(csv.find(",3,1\n"), std::string::npos);  // the last run, of the second value
  EXPECT_TRUE(fs::exists(dir_ / "single/data/xx_Veltmoor_3.tee"));

  // The part holds its shard's runs only, and no chart file of its own under data/.
  const auto part = nlohmann::json::parse(ReadFile(dir_ / "part1/part.json"));
  EXPECT_EQ(part["Study"], "devpara");
  EXPECT_EQ(part["Shard"], 1);
  EXPECT_EQ(part["ShardCount"], 2);
  EXPECT_EQ(part["PlannedRuns"], 4);
  EXPECT_EQ(part["Seed"], 11);
  EXPECT_EQ(part["StudySettings"]["E0_valTo"], "1,2");
  EXPECT_FALSE(fs::exists(dir_ / "part1/data"));
  EXPECT_FALSE(fs::exists(dir_ / "part1/study.tee"));

  for (const char* name : {"xx_Veltmoor_main_1_12.jpg", "xx_Veltmoor_main_2_12.jpg"}) {
    QImage picture;
    ASSERT_TRUE(
        picture.load(QString::fromStdString((dir_ / "single/pictures" / name).string()), "JPG"))
        << name;
    EXPECT_EQ(picture.width(), 200);
    EXPECT_EQ(picture.height(), 200);
  }
}

// Sequential shards of the other studies: a run must not depend on the runs before it in
// the same process, whatever the study measures.
TEST_F(StudyCliTest, EveryStudySplitsAndMergesToTheSameResult) {
  const std::vector<std::pair<std::string, std::string>> studies = {
      {"mindist", kMinDist},
      {"clustergrowth",
       "study clustergrowth --study-set E_measureSt=5 --study-set E_toSteps=15 "
       "--study-set E_calcVals=3" +
           kWorld},
      {"buildrules",
       "study buildrules --field-type boom --study-set SE_rdsPerVal=2 "
       "--study-set SE_stepsPerRd=10 --study-set cb_r8114=0 --study-set cb_r5012=0 "
       "--study-set cb_r3010=0" +
           kWorld},
  };
  for (const auto& [name, study] : studies) {
    SCOPED_TRACE(name);
    Result r = Run(study + " --out " + name);
    ASSERT_EQ(r.code, 0) << r.err;
    std::string parts;
    for (int shard = 1; shard <= 3; ++shard) {
      const std::string part = name + "-part" + std::to_string(shard);
      r = Run(study + " --shard " + std::to_string(shard) + "/3 --out " + part);
      ASSERT_EQ(r.code, 0) << r.err;
      parts += " " + part;
    }
    r = Run("merge " + name + "-merged" + parts);
    ASSERT_EQ(r.code, 0) << r.err;
    ExpectSameFiles(dir_ / name, dir_ / (name + "-merged"));
  }
}

TEST_F(StudyCliTest, RefusedSettingsExitWith2AndWriteNothing) {
  const std::vector<std::pair<std::string, std::string>> refused = {
      {kDevPara + " --study-set CB7_acti=1", "--study-set: unknown setting 'CB7_acti'"},
      {kDevPara + " --study-set SE_perVal=0", "SE_perVal must lie in 1..1000"},
      {kDevPara + " --study-set E_incre=0,x", "'0,x' is not a valid floating point value"},
      {kDevPara + " --study-set E_incre=0", "The increment must be above 0"},
      {kDevPara + " --study-set CB0_acti=0", "no active row, so it would never end"},
      {kDevPara + " --set E_nope=1", "--set: unknown setting 'E_nope'"},
      {kMinDist + " --study-set E_incre=-1", "The increment must be a whole number above 0"},
      {kMinDist + " --pictures", "only the development-parameter study"},
      {kMinDist + " --shard 0/2", "--shard expects K/N"},
      {kMinDist + " --shard 3/2", "--shard expects K/N"},
      {kMinDist + " --shard 2", "--shard expects K/N"},
      {"study mindist --width 200 --height 200 --shard 1/2", "--shard needs --seed"},
      {"study buildrules --study-set SE_genA=3" + kWorld, "unknown setting 'SE_genA'"},
      {"study buildrules --study-set cb_r8114=0 --study-set cb_r7013=0 --study-set cb_r5012=0 "
       "--study-set cb_r3011=0 --study-set cb_r3010=0" +
           kWorld,
       "No building rule is ticked"},
  };
  for (const auto& [args, message] : refused) {
    SCOPED_TRACE(args);
    const Result r = Run(args + " --out refused");
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir_ / "refused"));
  }
}

TEST_F(StudyCliTest, MismatchedPartsRefuseToMerge) {
  for (const std::string shard : {"1/2", "2/2"}) {
    const std::string folder = "a" + shard.substr(0, 1);
    const Result r = Run(kMinDist + " --shard " + shard + " --out " + folder);
    ASSERT_EQ(r.code, 0) << r.err;
  }
  std::string seed12 = kMinDist;
  seed12.replace(seed12.find("--seed 11"), 9, "--seed 12");
  ASSERT_EQ(Run(seed12 + " --shard 2/2 --out seed12").code, 0);
  ASSERT_EQ(Run(kMinDist + " --study-set E_calcVals=3 --shard 2/2 --out calc3").code, 0);
  ASSERT_EQ(Run(kMinDist + " --shard 2/3 --out of3").code, 0);
  ASSERT_EQ(Run(kMinDist + " --out whole").code, 0);
  fs::create_directories(dir_ / "stray");
  fs::copy(dir_ / "a2", dir_ / "stray", fs::copy_options::recursive);
  {
    std::ofstream csv(dir_ / "stray/study.csv", std::ios::app);
    csv << "Series_IS,2,3.5,0,0\n";  // run 0 is shard 1's
  }

  const std::vector<std::pair<std::string, std::string>> refused = {
      {"a1", "missing: 2"},
      {"a1 a1 a2", "shard 1/2 is given twice"},
      {"a1 seed12", "Seed differs (12 / 11)"},
      {"a1 calc3", "StudySettings differs (E_calcVals \"3\" / \"2\")"},
      {"a1 of3", "ShardCount differs"},
      {"a1 whole", "has no part.json"},
      {"a1 nowhere", "is not a folder"},
      {"a1 stray", "holds run 0, which is not a run of shard 2/2"},
  };
  for (const auto& [parts, message] : refused) {
    SCOPED_TRACE(parts);
    const Result r = Run("merge merged " + parts);
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir_ / "merged"));
  }
  const Result r = Run("merge merged a2 a1");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(ReadFile(dir_ / "merged/study.csv"), ReadFile(dir_ / "whole/study.csv"));
}

}  // namespace
