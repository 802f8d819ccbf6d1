// veltmoor-batch as a user runs it: a separate process, files in a folder, an exit code.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "batch/batch_options.h"
#include "batch/study_kinds.h"
#include "simulation/settings.h"
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

// Every control with a range, of the simulation window and of each study, through the
// check --set and --study-set apply: both ends are taken, one step beyond either is refused
// naming the control; decimal boxes take 3.4e38 either side of 0 and refuse 3.5e38. Then
// as a user meets it: all ends at once pass (the user's folder as --out is refused after
// the settings, by its own message), one beyond exits 2 naming the control.
TEST_F(BatchCliTest, EveryControlTakesBothEndsOfItsRangeAndRefusesOneStepBeyond) {
  struct Front {
    std::string command;
    std::string option;
    const veltmoor::SettingsRegistry& registry;
  };
  std::vector<Front> fronts = {{"setup", "--set", veltmoor::SimulationSettings()}};
  for (const veltmoor::StudyKind& kind : veltmoor::StudyKinds()) {
    if (!kind.in_simulation_window) {
      fronts.push_back({"study " + kind.name, "--study-set", kind.registry()});
    }
  }
  const fs::path foreign = dir_ / "foreign";
  fs::create_directories(foreign);
  std::ofstream(foreign / "mine.txt") << "the user's";
  const std::string out = " --out " + foreign.string();
  int ranged = 0;
  for (const Front& front : fronts) {
    SCOPED_TRACE(front.command);
    const auto takes = [&](const std::string& name, const std::string& value) {
      veltmoor::MapSettings settings(front.registry);
      try {
        veltmoor::ApplySettingOverrides(settings, {name + "=" + value});
        return std::string("taken");
      } catch (const veltmoor::UsageError& e) {
        return std::string(e.what());
      }
    };
    std::string lows;
    std::string highs;
    std::string beyond;
    for (const veltmoor::SettingDef& def : front.registry.All()) {
      const std::string& name = def.name;
      if (def.kind == veltmoor::ControlKind::EditBox && takes(name, "x") != "taken") {
        EXPECT_EQ(takes(name, "3,4e38"), "taken") << name;
        EXPECT_EQ(takes(name, "-3,4e38"), "taken") << name;
        EXPECT_NE(takes(name, "3,5e38").find(name + ": '3,5e38' is beyond"), std::string::npos);
        EXPECT_NE(takes(name, "-3,5e38").find(name + ": '-3,5e38' is beyond"), std::string::npos);
      } else if (def.max > def.min) {
        ++ranged;
        const std::string range = name + " must lie in " + std::to_string(def.min) + ".." +
                                  std::to_string(def.max) + ", not ";
        EXPECT_EQ(takes(name, std::to_string(def.min)), "taken") << name;
        EXPECT_EQ(takes(name, std::to_string(def.max)), "taken") << name;
        EXPECT_EQ(takes(name, std::to_string(def.min - 1)), range + std::to_string(def.min - 1));
        EXPECT_EQ(takes(name, std::to_string(def.max + 1)), range + std::to_string(def.max + 1));
        const std::string set = " " + front.option + " " + name + "=";
        lows += set + std::to_string(def.min);
        highs += set + std::to_string(def.max);
        beyond = set + std::to_string(def.max + 1);
      }
    }
    for (const std::string& ends : {lows, highs}) {
      const Result r = Run(front.command + ends + out);
      EXPECT_EQ(r.code, 2);
      EXPECT_NE(r.err.find("did not write there"), std::string::npos) << ends << "\n" << r.err;
    }
    const Result r = Run(front.command + beyond + out);
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("must lie in"), std::string::npos) << beyond << "\n" << r.err;
  }
  EXPECT_GE(ranged, 15);
  EXPECT_TRUE(fs::exists(foreign / "mine.txt"));
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
