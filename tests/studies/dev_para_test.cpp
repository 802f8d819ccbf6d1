#include "studies/analyseDevPara.h"

#include <gtest/gtest.h>

#include "chart/chart_file.h"
#include "simulation/window_outputs.h"
#include "studies/study_fixture.h"

namespace veltmoor {
namespace {

using testing::OfSeries;
using testing::RunToEnd;

class DevParaTest : public ::testing::Test {
 protected:
  DevParaTest() : own(DevParaSettings()) {}

  // Only row 1 active, from 1,0 to 1,4 by 0,2, two runs per value.
  void ExampleSweep(const char* steps = "300") {
    own.SetChecked(SettingName{"CB1_acti"}, true);
    own.Set(SettingName{"E1_valFrom"}, "1,0");
    own.Set(SettingName{"E1_valTo"}, "1,4");
    own.Set(setting::dev_para::kTimeUntilNextStep, steps);
  }

  DevParaStudy& Study(SnapshotTaker* taker = nullptr) {
    study = std::make_unique<DevParaStudy>(world.Context(folder.path(), taker), own);
    return *study;
  }

  std::string InFolder(const std::string& relative) const {
    return (folder.path() / relative).string();
  }

  testing::ScratchFolder folder;
  testing::StudyWorld world;
  MapSettings own;
  std::unique_ptr<DevParaStudy> study;
};

TEST_F(DevParaTest, ExampleSweepNamesItsPicturesAndDataFileAfterValueAndSteps) {
  ExampleSweep();
  own.SetChecked(setting::dev_para::kSaveSnapshot, true);
  testing::RecordingSnapshots pictures;
  DevParaStudy& s = Study(&pictures);
  s.Start();
  RunToEnd(s);

  ASSERT_FALSE(s.Running());
  EXPECT_EQ(s.Message(), "");
  ASSERT_EQ(pictures.taken.size(), 4u);
  EXPECT_EQ(pictures.taken[0].first, InFolder("pictures/xx_Veltmoor_main_1_300.jpg"));
  EXPECT_EQ(pictures.taken[1].first, InFolder("pictures/xx_Veltmoor_main_2_300.jpg"));
  EXPECT_EQ(pictures.taken[2].first, InFolder("pictures/xx_Veltmoor_main_3_300.jpg"));
  EXPECT_EQ(pictures.taken[3].first, InFolder("pictures/xx_Veltmoor_measure_4_300.jpg"));
  EXPECT_EQ(pictures.taken[0].second, SnapshotKind::Main);
  EXPECT_EQ(pictures.taken[3].second, SnapshotKind::Measure);

  // Values 1, 1,2 and 1,4 get two points each; 1,6 passes the end.
  const chart::Series& connect = *s.Chart_devPara.Find("ser_Connect");
  ASSERT_EQ(connect.Count(), 6u);
  const double xs[] = {1.0, 1.0, 1.2, 1.2, 1.4, 1.4};
  for (std::size_t i = 0; i < 6; ++i) {
    EXPECT_DOUBLE_EQ(connect.XValue(i), xs[i]) << i;
  }
  EXPECT_EQ(s.Chart_devPara.Find("avg_Connect")->Count(), 3u);
  EXPECT_EQ(world.t.settings.Text(setting::kCentripetalWeight), "1,4");
  EXPECT_EQ(s.State().ValueIndex, 4u);

  const auto saved = chart::LoadChartFile(InFolder("data/xx_Veltmoor_4.tee"));
  EXPECT_EQ(saved->Title(), "Analyse Development Parameters");
  EXPECT_EQ(saved->Find("ser_Connect")->Points(), connect.Points());
}

TEST_F(DevParaTest, MultiplyModeDoublesUntilTheEndIsPassed) {
  own.SetChecked(SettingName{"CB0_acti"}, true);
  own.Set(SettingName{"E0_valFrom"}, "1");
  own.Set(SettingName{"E0_valTo"}, "10");
  own.Set(setting::dev_para::kIncrement, "2");
  own.SetChecked(setting::dev_para::kMultiply, true);
  own.Set(setting::dev_para::kTimeUntilNextStep, "0");
  own.Set(setting::dev_para::kCalculationsPerRound, "1");
  DevParaStudy& s = Study();

  const RunPlan plan = s.PlanRuns();
  ASSERT_EQ(plan.RunCount(), 4u);
  for (std::uint64_t r = 0; r < 4; ++r) {
    EXPECT_DOUBLE_EQ(*plan.Run(r).value.x, 1 << r);
  }
  EXPECT_EQ(plan.Run(3).value.writes,
            (std::vector<ControlWrite>{{setting::kCentrifugalWeight.Str(), "8"}}));

  s.Start();
  EXPECT_EQ(s.labels.Get(label::study::kRunsPlanned), "/ 4");
  RunToEnd(s);
  const chart::Series& grid = *s.Chart_devPara.Find("ser_Connect");
  ASSERT_EQ(grid.Count(), 4u);
  EXPECT_DOUBLE_EQ(grid.XValue(3), 8.0);
  EXPECT_EQ(world.t.settings.Text(setting::kCentrifugalWeight), "8");
}

TEST_F(DevParaTest, PlannedRunsCountTheSweepAndNoActiveRowShowsZero) {
  DevParaStudy& s = Study();
  EXPECT_EQ(s.labels.Get(label::study::kRunsPlanned), "/ 0");
  ExampleSweep();
  s.ReadStudySettings();
  EXPECT_EQ(s.labels.Get(label::study::kRunsPlanned), "/ 6");
  // Two active rows advance together; the first to pass its end ends the sweep.
  own.SetChecked(SettingName{"CB3_acti"}, true);
  own.Set(SettingName{"E3_valFrom"}, "1,0");
  own.Set(SettingName{"E3_valTo"}, "1,2");
  s.ReadStudySettings();
  EXPECT_EQ(s.labels.Get(label::study::kRunsPlanned), "/ 4");
  EXPECT_EQ(s.PlanRuns().Value(1).writes,
            (std::vector<ControlWrite>{{setting::kCentripetalWeight.Str(), "1,2"},
                                       {setting::kCentripetalScale.Str(), "1,2"}}));
}

TEST_F(DevParaTest, NoActiveRowRunsWithoutPointsAndWithoutEnd) {
  own.Set(setting::dev_para::kTimeUntilNextStep, "1");
  DevParaStudy& s = Study();
  EXPECT_FALSE(s.PlanRuns().Bounded());
  s.Start();
  EXPECT_EQ(RunToEnd(s, 40), 40);
  EXPECT_TRUE(s.Running());
  EXPECT_TRUE(s.Measurements().empty());
  EXPECT_GT(s.State().RunTotal, 10u);
}

// The study window's "new start" shows the message; the study does not start and its files
// never land outside their folders.
TEST_F(DevParaTest, ABaseNameThatIsAPathIsRefusedAtNewStart) {
  ExampleSweep();
  DevParaStudy& s = Study();
  for (const char* name : {"../../x", "/some/dir/notes", ""}) {
    own.Set(setting::dev_para::kBasicName, name);
    EXPECT_THROW(s.NewStart(), StudySettingsError) << name;
    EXPECT_FALSE(s.Running());
    // Typed into the running study, it is not taken up.
    s.E_bNameChange();
    EXPECT_EQ(s.DataFilePath(), InFolder("data/xx_Veltmoor_0.tee"));
  }
}

TEST_F(DevParaTest, SettingsThatNeverEndTheSweepAreRefusedAtNewStart) {
  ExampleSweep();
  DevParaStudy& s = Study();
  own.Set(setting::dev_para::kIncrement, "0");
  EXPECT_THROW(s.NewStart(), StudySettingsError);
  own.Set(setting::dev_para::kIncrement, "-0,2");
  EXPECT_THROW(s.NewStart(), StudySettingsError);
  own.SetChecked(setting::dev_para::kMultiply, true);
  own.Set(setting::dev_para::kIncrement, "1");
  EXPECT_THROW(s.NewStart(), StudySettingsError);
  own.Set(setting::dev_para::kIncrement, "2");
  own.Set(SettingName{"E1_valFrom"}, "0");
  EXPECT_THROW(s.NewStart(), StudySettingsError);
  // An increment lost in rounding to four decimals pins the value.
  own.SetChecked(setting::dev_para::kMultiply, false);
  own.Set(SettingName{"E1_valFrom"}, "1");
  own.Set(setting::dev_para::kIncrement, "0,00001");
  s.ReadStudySettings();  // as the window does on every change
  EXPECT_EQ(s.labels.Get(label::study::kRunsPlanned), label::study::kPlanRefused);
  try {
    s.NewStart();
    FAIL() << "a pinned sweep started";
  } catch (const StudySettingsError& e) {
    EXPECT_NE(std::string(e.what()).find("increment"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(s.Running());
  EXPECT_EQ(s.State().RunTotal, 0u);  // nothing was started
  EXPECT_EQ(s.labels.Get(label::study::kRunsPlanned), label::study::kPlanRefused);
}

TEST_F(DevParaTest, MeasuresThatCannotBeReadAddNoPoint) {
  // Network only: no structure analysis, no developed land, so "slope_rank" is empty and
  // "slope_grid" reads "-"; the mean length is always there.
  world.t.settings.SetChecked(setting::kNetworkOnly, true);
  ExampleSweep("3");
  own.Set(SettingName{"E1_valTo"}, "1,0");
  own.Set(setting::dev_para::kCalculationsPerRound, "1");
  DevParaStudy& s = Study();
  s.Start();
  RunToEnd(s);
  EXPECT_EQ(world.t.sim.valueList.Value(value_key::kGridSlope), "-");
  EXPECT_EQ(s.Chart_devPara.Find("ser_FractGrid")->Count(), 0u);
  EXPECT_EQ(s.Chart_devPara.Find("ser_Rank")->Count(), 0u);
  EXPECT_EQ(s.Chart_devPara.Find("ser_Connect")->Count(), 1u);
  EXPECT_TRUE(OfSeries(s.Measurements(), "ser_FractGrid").empty());
  EXPECT_EQ(OfSeries(s.Measurements(), "ser_Connect").size(), 1u);
}

TEST_F(DevParaTest, UndefinedCorrelationsAddNoPoint) {
  // Boom measured on the freshly set-up world: one node, so one connectivity point and no
  // r, and no developed land, so no density point at all.
  world.t.settings.SetChecked(setting::kBoom, true);
  ExampleSweep("0");
  own.Set(SettingName{"E1_valTo"}, "1,0");
  own.Set(setting::dev_para::kCalculationsPerRound, "1");
  DevParaStudy& s = Study();
  s.Start();
  RunToEnd(s);
  ASSERT_EQ(world.t.sim.world.NodeCount, 1u);
  EXPECT_EQ(world.t.sim.charts.GetSeries(series_name::kPotentialConnectivity).Count(), 1u);
  EXPECT_EQ(s.Chart_devPara.Find("ser_Connect")->Count(), 1u);
  EXPECT_EQ(s.Chart_devPara.Find("ser_potConn")->Count(), 0u);
  EXPECT_EQ(s.Chart_devPara.Find("ser_potDens")->Count(), 0u);
  EXPECT_TRUE(OfSeries(s.Measurements(), "ser_potConn").empty());
}

TEST_F(DevParaTest, UnwritableDataFolderStopsTheStudyNamingThePath) {
  ExampleSweep("2");
  own.Set(SettingName{"E1_valTo"}, "1,2");
  own.Set(setting::dev_para::kCalculationsPerRound, "1");
  // A file where the folder should be: no permission trick, so it fails for root as well.
  std::ofstream(folder.path() / "data") << "in the way";
  DevParaStudy& s = Study();
  s.Start();
  const long long ticks = RunToEnd(s);
  EXPECT_FALSE(s.Running());
  EXPECT_LT(ticks, 20);
  EXPECT_NE(s.Message().find(InFolder("data/xx_Veltmoor_3.tee")), std::string::npos) << s.Message();
  EXPECT_NE(s.TakeMessage(), "");
  EXPECT_EQ(s.Message(), "");
}

TEST_F(DevParaTest, FailedPictureStopsOnceAndResumingMeasuresNoRunTwice) {
  ExampleSweep("2");
  own.Set(setting::dev_para::kCalculationsPerRound, "1");
  own.SetChecked(setting::dev_para::kSaveSnapshot, true);
  std::ofstream(folder.path() / "pictures") << "in the way";
  testing::RecordingSnapshots pictures;
  DevParaStudy& s = Study(&pictures);
  s.Start();
  RunToEnd(s);
  EXPECT_FALSE(s.Running());
  EXPECT_NE(s.TakeMessage().find(InFolder("pictures/xx_Veltmoor_main_1_2.jpg")), std::string::npos);
  EXPECT_EQ(s.Chart_devPara.Find("ser_Connect")->Count(), 1u);

  std::filesystem::remove(folder.path() / "pictures");
  s.SetRunning(true);
  RunToEnd(s);
  EXPECT_EQ(s.Message(), "");
  EXPECT_EQ(s.Chart_devPara.Find("ser_Connect")->Count(), 3u);
  // The picture that failed is taken again of the same world, then main 2 and 3, and the
  // study window.
  ASSERT_EQ(pictures.taken.size(), 4u);
  EXPECT_NE(pictures.taken[0].first.find("xx_Veltmoor_main_1_2.jpg"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(InFolder("data/xx_Veltmoor_4.tee")));
}

TEST_F(DevParaTest, BaseNameWithADotKeepsItsWholeName) {
  ExampleSweep("0");
  own.Set(SettingName{"E1_valTo"}, "1,0");
  own.Set(setting::dev_para::kCalculationsPerRound, "1");
  own.Set(setting::dev_para::kBasicName, "run.v2");
  DevParaStudy& s = Study();
  s.Start();
  RunToEnd(s);
  EXPECT_EQ(s.DataFilePath(), InFolder("data/run.v2_2.tee"));
  EXPECT_TRUE(std::filesystem::exists(s.DataFilePath()));
}

TEST_F(DevParaTest, StartStopButtonDecidesWhetherNewStartRuns) {
  ExampleSweep("1");
  DevParaStudy& s = Study();
  s.B_startClick();
  EXPECT_FALSE(s.Running());
  EXPECT_EQ(s.labels.Get(label::dev_para::kValue), "1 / ");
  own.SetChecked(setting::dev_para::kStartStop, true);
  s.B_startStopClick();
  EXPECT_TRUE(s.Running());
  EXPECT_FALSE(world.t.sim.TimerEnabled);
}

// Runs the example sweep with a base seed, optionally only the runs of one shard.
std::vector<Measurement> SeededSweep(std::uint64_t seed, std::optional<std::uint64_t> shard = {}) {
  testing::ScratchFolder folder;
  testing::StudyWorld world;
  MapSettings own(DevParaSettings());
  own.SetChecked(SettingName{"CB2_acti"}, true);
  own.Set(SettingName{"E2_valTo"}, "1,4");
  own.Set(setting::dev_para::kTimeUntilNextStep, "12");
  DevParaStudy s(world.Context(folder.path()), own);
  s.SetBaseSeed(seed);
  s.SetPathThreads(1);
  if (shard) {
    s.SetRunFilter(ShardFilter(*shard, 2));
  }
  s.Start();
  RunToEnd(s);
  return s.Measurements();
}

TEST(DevParaSeedTest, SameSeedSameMeasurementsAndShardsMergeIntoTheWhole) {
  const std::vector<Measurement> whole = SeededSweep(11);
  ASSERT_EQ(OfSeries(whole, "ser_Connect").size(), 6u);
  EXPECT_EQ(SeededSweep(11), whole);
  EXPECT_NE(SeededSweep(12), whole);

  const std::vector<Measurement> first = SeededSweep(11, 0);
  const std::vector<Measurement> second = SeededSweep(11, 1);
  EXPECT_LT(first.size(), whole.size());
  EXPECT_EQ(MergeMeasurements({second, first}), whole);
}

}  // namespace
}  // namespace veltmoor
