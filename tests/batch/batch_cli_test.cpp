// veltmoor-batch as a user runs it: a separate process, files in a folder, an exit code.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "support/batch_process.h"
#include "support/scratch_folder.h"

namespace {

using veltmoor::testing::ReadFile;
using veltmoor::testing::Result;

namespace fs = std::filesystem;

class BatchCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* exe = std::getenv("VELTMOOR_BATCH");
    exe_ = exe != nullptr ? exe : VELTMOOR_BATCH_PATH;
    dir_ = scratch_.path();
  }

  Result Run(const std::string& args) {
    const fs::path errFile = dir_ / "stderr.txt";
    const std::string command = exe_ + " " + args + " 2> " + errFile.string();
    Result result;
    const int status = std::system(command.c_str());
    result.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream in(errFile);
    result.err.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    fs::remove(errFile);
    return result;
  }

  nlohmann::json ReadJson(const fs::path& path) {
    std::ifstream in(path);
    return nlohmann::json::parse(in);
  }

  std::string exe_;
  veltmoor::testing::ScratchFolder scratch_{"batch"};
  fs::path dir_;
};

TEST_F(BatchCliTest, SetupWritesTheDefaultWorld) {
  const fs::path out = dir_ / "setup";
  const Result r = Run("setup --width 611 --height 689 --seed 4 --out " + out.string());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(fs::exists(out / "map.png"));
  const nlohmann::json world = ReadJson(out / "world.json");
  EXPECT_EQ(world["ColumnCount"], 25);
  EXPECT_EQ(world["RowCount"], 28);
  EXPECT_EQ(world["CellSize"], 24);
  EXPECT_EQ(world["Seed"], 4);
  EXPECT_EQ(world["NodeCount"], 1);
  EXPECT_EQ(world["State"].size(), 25u);
  EXPECT_EQ(world["State"][12].size(), 28u);
  EXPECT_EQ(world["State"][12][14], 1);
  EXPECT_EQ(world["LandUse"].size(), 75u);
  EXPECT_EQ(world["LandUse"][0].size(), 84u);
  EXPECT_EQ(world["Nodes"][0]["Column"], 12);
  EXPECT_EQ(world["CandidateList"].size(), 26u);
  EXPECT_EQ(world["CandidateList"][0], nlohmann::json::parse("[14, 13]"));
}

TEST_F(BatchCliTest, BadSettingStopsWithTheConversionErrorAndWritesNothing) {
  const fs::path out = dir_ / "bad";
  const Result r = Run("setup --set E_centriPe=0.x --out " + out.string());
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("'0.x' is not a valid floating point value"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(out));

  const Result unknown =
      Run("run --field-type boom --steps 3 --set SE_nope=1 --out " + out.string());
  EXPECT_EQ(unknown.code, 2);
  EXPECT_NE(unknown.err.find("SE_nope"), std::string::npos);
  EXPECT_FALSE(fs::exists(out));

  const Result missing = Run("run --steps 3 --out " + out.string());
  EXPECT_EQ(missing.code, 2);
  EXPECT_NE(missing.err.find("--field-type"), std::string::npos) << missing.err;
}

TEST_F(BatchCliTest, SeededRunsRepeatAndWriteTheMeasures) {
  const fs::path a = dir_ / "a";
  const fs::path b = dir_ / "b";
  const std::string args = "run --field-type boom --steps 25 --seed 9 --no-picture --out ";
  ASSERT_EQ(Run(args + a.string()).code, 0);
  ASSERT_EQ(Run(args + b.string()).code, 0);
  EXPECT_FALSE(fs::exists(a / "map.png"));
  EXPECT_EQ(ReadJson(a / "world.json"), ReadJson(b / "world.json"));
  const nlohmann::json measures = ReadJson(a / "measures.json");
  EXPECT_EQ(measures["TimeStep"], 25);
  EXPECT_EQ(measures["FieldType"], 2);
  EXPECT_EQ(measures["Labels"]["lbl_actTime"], "24");
  EXPECT_EQ(measures["Charts"]["Chart2"]["Series"]["ser_white_all"]["Points"].size(), 3u);
  EXPECT_EQ(measures["Charts"]["Chart_resForce"]["Series"]["ser_custFkt"]["Points"].size(), 101u);
  EXPECT_EQ(measures["ValueList"][1][0], "D_grid");
}

TEST_F(BatchCliTest, RunStopsWhenTheNetworkCannotGrow) {
  const fs::path out = dir_ / "empty";
  const Result r =
      Run("run --field-type network --steps 50 --set cb_centerNode=0 --out " + out.string());
  ASSERT_EQ(r.code, 0) << r.err;
  const nlohmann::json measures = ReadJson(out / "measures.json");
  EXPECT_EQ(measures["TimeStep"], 1);
  EXPECT_EQ(measures["NodeCount"], 0);
}

}  // namespace
