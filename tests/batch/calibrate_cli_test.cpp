// veltmoor-batch calibrate as a user runs it: a town of known settings recovered, shards and
// stages merged byte for byte, refused input and towns that stop growing.
#include <gtest/gtest.h>

#include <QImage>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include <unistd.h>

#include "batch/study_part.h"
#include "support/batch_process.h"

namespace {

using veltmoor::testing::ReadFile;
using veltmoor::testing::Result;

namespace fs = std::filesystem;
using nlohmann::json;

// 100 steps on a 300 x 300 area: towns of about 25 nodes, a run in a few hundredths of a
// second, and still a clear response of the measures to the centripetal scale A.
const std::string kWorld = " --field-type boom --width 300 --height 300 --steps 100";
const std::string kMeasures = " --measures MeanLength,NodeCount,lbl_grOne";

class CalibrateCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* exe = std::getenv("VELTMOOR_BATCH");
    exe_ = exe != nullptr ? exe : VELTMOOR_BATCH_PATH;
    // The process id keeps test runs of several checkouts on one machine apart.
    dir_ = fs::temp_directory_path() /
           ("veltmoor-calibrate-" + std::to_string(getpid()) + "-" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  Result Run(const std::string& args) {
    const fs::path err_file = dir_ / "stderr.txt";
    const std::string command =
        "cd " + dir_.string() + " && " + exe_ + " " + args + " 2> " + err_file.string();
    const int status = std::system(command.c_str());
    Result result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(err_file)};
    fs::remove(err_file);
    return result;
  }
  json ReadJson(const std::string& name) { return json::parse(ReadFile(dir_ / name)); }
  void WriteTarget(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name) << text;
  }

  std::string exe_;
  fs::path dir_;
};

TEST_F(CalibrateCliTest, RecoversTheSettingsOfAKnownTown) {
  Result r = Run("run --analyse --no-picture --seed 77 --set E_peScale=1,7 --out truth" + kWorld);
  ASSERT_EQ(r.code, 0) << r.err;
  r = Run("calibrate --target truth/measures.json" + kMeasures + kWorld +
          " --vary E_peScale=0,5:3,0 --points 8 --runs 3 --stages 2 --seed 5 --out cal");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("stage 2/2, point 8/8 done; best so far"), std::string::npos) << r.err;

  const json best = ReadJson("cal/best.json");
  const double low = best["Accepted"]["Ranges"]["E_peScale"][0];
  const double high = best["Accepted"]["Ranges"]["E_peScale"][1];
  EXPECT_LE(low, 1.7);
  EXPECT_GE(high, 1.7);
  EXPECT_LT(high - low, 2.0 / 3.0 * (3.0 - 0.5)) << "the measures should narrow the box down";
  // Other seeds than the target's: the best point scores what the true settings would.
  const double expected = best["DistanceAtTruth"]["Expected"];
  const double sd = best["DistanceAtTruth"]["Sd"];
  EXPECT_LE(best["Distance"].get<double>(), expected + 2 * sd);
  EXPECT_EQ(best["Set"].size(), 1u);
  EXPECT_EQ(best["Set"][0].get<std::string>().rfind("E_peScale=1,", 0), 0u) << best["Set"];
  EXPECT_EQ(best["Runs"], 2 * 8 * 3);

  const std::string runs = ReadFile(dir_ / "cal/runs.csv");
  EXPECT_EQ(runs.rfind("stage,point,replicate,run,seed,E_peScale,end,steps,developed,"
                       "MeanLength,NodeCount,lbl_grOne\n",
                       0),
            0u);
  EXPECT_EQ(std::count(runs.begin(), runs.end(), '\n'), 1 + 48);
  const std::string points = ReadFile(dir_ / "cal/points.csv");
  EXPECT_EQ(std::count(points.begin(), points.end(), '\n'), 1 + 16);
  QImage chart;
  ASSERT_TRUE(chart.load(QString::fromStdString((dir_ / "cal/distance_E_peScale.png").string())));
  EXPECT_EQ(chart.width(), 720);
  const json tee = ReadJson("cal/distance_E_peScale.tee");
  EXPECT_EQ(tee["Series"]["ser_accepted"]["Points"].size(), best["Accepted"]["Points"]);
}

TEST_F(CalibrateCliTest, ShardsOfEveryStageMergeIntoTheSingleProcessResult) {
  WriteTarget("target.json", R"({"NodeCount": 20, "IS": {"value": 0.7, "weight": 2}})");
  const std::string calibrate =
      "calibrate --target target.json --measures NodeCount,IS --vary E_peScale=1,0:2,5 "
      "--vary SE_minDist=2:6 --points 3 --runs 2 --stages 2 --seed 9" +
      kWorld;
  Result r = Run(calibrate + " --out single");
  ASSERT_EQ(r.code, 0) << r.err;
  for (const std::string stage : {"1", "2"}) {
    const std::string previous = stage == "1" ? "" : " --previous merged1";
    for (const std::string shard : {"1", "2"}) {
      r = Run(calibrate + previous + " --shard " + shard + "/2 --out s" + stage + "p" + shard);
      ASSERT_EQ(r.code, 0) << r.err;
    }
    r = Run("merge merged" + stage + " s" + stage + "p2 s" + stage + "p1");
    ASSERT_EQ(r.code, 0) << r.err;
  }
  for (const char* name :
       {"runs.csv", "points.csv", "best.json", "calibration.json", "distance_E_peScale.tee",
        "distance_E_peScale.png", "distance_SE_minDist.png"}) {
    EXPECT_EQ(ReadFile(dir_ / "merged2" / name), ReadFile(dir_ / "single" / name)) << name;
  }
  EXPECT_EQ(ReadJson("merged1/best.json")["StagesDone"], 1);
  EXPECT_EQ(ReadJson("single/best.json")["Measures"]["IS_developed_cells"]["Weight"], 2.0);

  // A missing shard, a shard twice, and a finished calibration continued are refused.
  r = Run("merge bad s1p1");
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("only 1 are given"), std::string::npos) << r.err;
  r = Run("merge bad s1p1 s1p1");
  EXPECT_EQ(r.code, 2);
  r = Run("merge bad s1p1 s2p2");
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("not parts of the same calibration stage"), std::string::npos) << r.err;
  r = Run(calibrate + " --previous single --out bad");
  EXPECT_EQ(r.code, 2);
  EXPECT_FALSE(fs::exists(dir_ / "bad"));

  // The stage before is the other shards' input: no shard may write over or into it.
  const std::string merged1 = ReadFile(dir_ / "merged1/calibration.json");
  for (const char* out : {"merged1", "merged1/inner", "."}) {
    r = Run(calibrate + " --previous merged1 --shard 1/2 --out " + out);
    EXPECT_EQ(r.code, 2) << out;
    EXPECT_NE(r.err.find("would replace --previous"), std::string::npos) << r.err;
  }
  EXPECT_EQ(ReadFile(dir_ / "merged1/calibration.json"), merged1);
}

// A part or an earlier stage is checked against its digest and against what a run can
// report, so neither an edited number nor an impossible growth reaches the result.
TEST_F(CalibrateCliTest, EditedOrImpossibleRunsAreRefused) {
  WriteTarget("target.json", R"({"NodeCount": 20})");
  const std::string calibrate =
      "calibrate --target target.json --measures NodeCount --vary E_peScale=1,0:2,5 "
      "--points 2 --runs 1 --stages 2 --seed 9" +
      kWorld;
  ASSERT_EQ(Run(calibrate + " --shard 1/2 --out p1").code, 0);
  ASSERT_EQ(Run(calibrate + " --shard 2/2 --out p2").code, 0);
  ASSERT_EQ(Run("merge m p1 p2").code, 0);
  const json part = ReadJson("p1/part.json");
  const json state = ReadJson("m/calibration.json");
  const auto resealed = [](json holder, const std::string& list) {
    holder[list + "Sha256"] = veltmoor::Sha256(holder[list].dump());
    return holder;
  };
  struct Edit {
    std::string what;
    std::string key;
    json value;
    bool reseal;
    std::string message;
  };
  const std::vector<Edit> edits = {
      {"a measure", "Measures", json::array({99.0}), false, "changed or damaged"},
      {"the steps of a done run", "Steps", 99, true, "grew as no run can"},
      {"negative steps", "Steps", -1, true, "grew as no run can"},
      {"developed cells", "Developed", -5, true, "grew as no run can"},
      {"a seed", "Seed", 12345, true, "not a run of this calibration"},
  };
  for (const Edit& edit : edits) {
    SCOPED_TRACE(edit.what);
    json edited = part;
    edited["Runs"][0][edit.key] = edit.value;
    std::ofstream(dir_ / "p1/part.json") << (edit.reseal ? resealed(edited, "Runs") : edited);
    Result r = Run("merge bad p1 p2");
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find(edit.message), std::string::npos) << r.err;
    edited = state;
    edited["Runs"][0][edit.key] = edit.value;
    std::ofstream(dir_ / "m/calibration.json") << (edit.reseal ? resealed(edited, "Runs") : edited);
    r = Run(calibrate + " --previous m --out bad");
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find(edit.message), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir_ / "bad"));
  }
}

TEST_F(CalibrateCliTest, RefusedInputExitsWith2AndWritesNothing) {
  WriteTarget("target.json", R"({"D_grid": 1.8, "slope_rank": -1})");
  const std::string base = "calibrate --target target.json --seed 1 --points 2 --runs 2" + kWorld;
  const std::vector<std::pair<std::string, std::string>> refused = {
      {base + " --measures D_grid,D_nope --vary E_peScale=1,0:2,0", "unknown measure 'D_nope'"},
      {base + " --measures D_grid --vary E_nope=1,0:2,0", "unknown setting 'E_nope'"},
      {base + " --measures D_grid --vary E_peScale=2,0:2,0", "FROM must be less than TO"},
      {base + " --measures D_grid --vary E_peScale=3,0:2,0", "FROM must be less than TO"},
      {base + " --measures D_grid --vary E_peScale=1,x:2,0", "'1,x' is not a valid"},
      {base + " --measures D_grid --vary RB_boom=0:1", "does not hold a number"},
      {base + " --measures D_grid,D_rad --vary E_peScale=1,0:2,0", "has no value for D_rad"},
      {base + " --measures D_grid --vary E_peScale=1,0:2,0 --set E_peScale=1,0",
       "both --set and --vary"},
      {base + " --measures D_grid --vary E_peScale=1,0:2,0 --points 0", "--points"},
      {base + " --measures D_grid --vary E_peScale=1,0:2,0 --runs 0", "--runs"},
      {base + " --measures D_grid --vary E_peScale=1,0:2,0 --until-developed 50", "exclude"},
      {base + " --measures D_grid --vary E_peScale=1,0:2,0 --shard 3/2", "--shard expects"},
      {"calibrate --target target.json --points 2 --runs 2 --measures D_grid "
       "--vary E_peScale=1,0:2,0" +
           kWorld,
       "--seed is required"},
      {base + " --measures D_grid, --vary E_peScale=1,0:2,0", "holds an empty name"},
      {base + " --measures ,D_grid --vary E_peScale=1,0:2,0", "holds an empty name"},
      {"calibrate --target target.json --seed 1 --points 1000000 --runs 10000 --stages 1 "
       "--measures D_grid --vary E_peScale=1,0:2,0" +
           kWorld,
       "more than 100000 runs"},
      {"calibrate --target . --seed 1 --points 2 --runs 2 --measures D_grid "
       "--vary E_peScale=1,0:2,0" +
           kWorld,
       "is not a regular file"},
      {"calibrate --target missing.json --seed 1 --points 2 --runs 2 --measures D_grid "
       "--vary E_peScale=1,0:2,0" +
           kWorld,
       "'missing.json' is missing"},
  };
  for (const auto& [args, message] : refused) {
    SCOPED_TRACE(args);
    const Result r = Run(args + " --out refused");
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir_ / "refused"));
  }
}

TEST_F(CalibrateCliTest, TownsThatCannotReachTheSizeAreRecordedNotDropped) {
  WriteTarget("target.json", R"({"NodeCount": 30})");
  // A 150 x 150 area has about 2 500 fine cells: no town gets 100 000 of them developed.
  const Result r =
      Run("calibrate --target target.json --measures NodeCount --vary E_peScale=1,0:2,0 "
          "--points 2 --runs 1 --seed 3 --field-type boom --width 150 --height 150 "
          "--until-developed 100000 --out small");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("no point had all its runs reach the target's size"), std::string::npos)
      << r.err;
  const std::string runs = ReadFile(dir_ / "small/runs.csv");
  EXPECT_EQ(std::count(runs.begin(), runs.end(), '\n'), 1 + 2);
  EXPECT_EQ(runs.find(",done,"), std::string::npos) << runs;
  const json best = ReadJson("small/best.json");
  EXPECT_TRUE(best["Set"].is_null());
  EXPECT_EQ(best["StoppedEarly"], 2);
}

}  // namespace

TEST_F(CalibrateCliTest, RunsGrowOnASavedStartWorldWhichMustBeSound) {
  Result r = Run("run --no-picture --seed 3 --out start" + kWorld);
  ASSERT_EQ(r.code, 0) << r.err;
  WriteTarget("target.json", R"({"NodeCount": 40})");
  const std::string calibrate =
      "calibrate --target target.json --measures NodeCount --vary E_peScale=1,0:2,5 "
      "--points 2 --runs 2 --seed 4 --field-type boom --steps 20";
  r = Run(calibrate + " --start start/world.json --out cal");
  ASSERT_EQ(r.code, 0) << r.err;
  // Every run continues the saved town, so none has fewer nodes than it had.
  const int start_nodes = ReadJson("start/world.json")["NodeCount"];
  const json points = ReadJson("cal/best.json");
  EXPECT_GE(points["Measures"]["NodeCount"]["Mean"].get<double>(), start_nodes) << points;
  EXPECT_TRUE(ReadJson("cal/calibration.json")["Calibration"].contains("Start"));

  std::ofstream(dir_ / "broken.json") << R"({"CellSize": -3})";
  r = Run(calibrate + " --start broken.json --out bad");
  EXPECT_EQ(r.code, 2) << r.err;
  EXPECT_FALSE(fs::exists(dir_ / "bad"));
}
