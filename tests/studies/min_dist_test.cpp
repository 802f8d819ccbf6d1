#include "studies/analyseMinDist.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "simulation/numbers.h"
#include "simulation/window_outputs.h"
#include "studies/study_fixture.h"

namespace veltmoor {
namespace {

using testing::RunToEnd;

class MinDistTest : public ::testing::Test {
 protected:
  MinDistTest() : own(MinDistSettings()) {}

  MinDistStudy& Study() {
    study = std::make_unique<MinDistStudy>(world.Context(folder.path()), own);
    return *study;
  }

  testing::ScratchFolder folder;
  testing::StudyWorld world;
  MapSettings own;
  std::unique_ptr<MinDistStudy> study;
};

TEST_F(MinDistTest, DefaultsPlanAHundredRunsAndMakeThemAll) {
  own.Set(setting::min_dist::kTimesteps, "2");
  MinDistStudy& s = Study();
  EXPECT_EQ(s.labels.Get(label::study::kRunsPlanned), "/ 100");
  s.Start();
  EXPECT_EQ(world.t.sim.world.FieldType, kFieldNetworkOnly);
  EXPECT_TRUE(world.t.settings.Checked(setting::kNetworkOnly));
  RunToEnd(s);

  EXPECT_FALSE(s.Running());
  EXPECT_EQ(s.State().RunTotal, 100u);
  EXPECT_EQ(s.labels.Get(label::study::kRunsDone), "100");
  // The simulation window's labels are not the study window's.
  EXPECT_THROW(s.labels.Set(label::kNodeCount, "1"), std::logic_error);
  EXPECT_EQ(s.State().CurrentValue, 11);  // the study ended when the value became 11
  EXPECT_EQ(world.t.settings.Text(setting::kMinDistance), "10");
  EXPECT_EQ(s.Chart_IS.Find("Series_IS")->Count(), 100u);
  EXPECT_EQ(s.Chart_IS.Find("Series_IS_Avg")->Count(), 10u);
  for (const char* line : {"Series_IS_Fit", "Series_StDv", "Series_Correlation", "Series_mean"}) {
    EXPECT_GT(s.Chart_IS.Find(line)->Count(), 0u) << line;
  }
}

TEST_F(MinDistTest, IncrementThreeVisitsFourValues) {
  own.Set(setting::min_dist::kIncrement, "3");
  own.Set(setting::min_dist::kCalculationsPerValue, "1");
  own.Set(setting::min_dist::kTimesteps, "1");
  MinDistStudy& s = Study();
  own.Set(setting::min_dist::kCalculationsPerValue, "10");
  s.ShowPlannedRuns();
  EXPECT_EQ(s.labels.Get(label::study::kRunsPlanned), "/ 40");

  own.Set(setting::min_dist::kCalculationsPerValue, "1");
  const RunPlan plan = s.PlanRuns();
  ASSERT_EQ(plan.RunCount(), 4u);
  EXPECT_EQ(plan.Run(3).value.writes,
            (std::vector<ControlWrite>{{setting::kMinDistance.Str(), "10"}}));
  s.Start();
  RunToEnd(s);
  const chart::Series& data = *s.Chart_IS.Find("Series_IS");
  ASSERT_EQ(data.Count(), 4u);
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_DOUBLE_EQ(data.XValue(i), 1.0 + 3.0 * static_cast<double>(i));
    EXPECT_EQ(s.Measurements()[i].value_index, i);
  }
}

TEST_F(MinDistTest, StartStopAfterTheEndKeepsTheStudyEnded) {
  own.Set(setting::min_dist::kValuesTo, "4");
  own.Set(setting::min_dist::kIncrement, "3");
  own.Set(setting::min_dist::kCalculationsPerValue, "1");
  own.Set(setting::min_dist::kTimesteps, "1");
  MinDistStudy& s = Study();
  s.Start();
  RunToEnd(s);
  const chart::Series& data = *s.Chart_IS.Find("Series_IS");
  ASSERT_EQ(data.Count(), 2u);
  EXPECT_EQ(s.State().CurrentValue, 7);
  EXPECT_EQ(world.t.settings.Text(setting::kMinDistance), "4");

  // Resuming would measure the last world at X = 7, a value the sweep never ran.
  s.B_breakClick();
  EXPECT_FALSE(s.Running());
  RunToEnd(s);
  EXPECT_EQ(data.Count(), 2u);
  // A new start runs the sweep again, pausable as before.
  s.Start();
  s.B_breakClick();
  EXPECT_FALSE(s.Running());
  s.B_breakClick();
  EXPECT_TRUE(s.Running());
}

TEST_F(MinDistTest, IncrementsThatNeverEndAreRefusedAndTextIsNotANumber) {
  MinDistStudy& s = Study();
  own.Set(setting::min_dist::kIncrement, "0");
  EXPECT_THROW(s.NewStart(), StudySettingsError);
  s.ShowPlannedRuns();
  EXPECT_EQ(s.labels.Get(label::study::kRunsPlanned), "/ \u2013 plan refused");
  own.Set(setting::min_dist::kIncrement, "-1");
  EXPECT_THROW(s.Start(), StudySettingsError);
  EXPECT_FALSE(s.Running());
  own.Set(setting::min_dist::kIncrement, "1,5");
  EXPECT_THROW(s.NewStart(), ConversionError);
}

TEST_F(MinDistTest, ValueBelowOneIsPlottedAtItsOwnX) {
  own.Set(setting::min_dist::kValuesFrom, "0");
  own.Set(setting::min_dist::kValuesTo, "0");
  own.Set(setting::min_dist::kCalculationsPerValue, "1");
  own.Set(setting::min_dist::kTimesteps, "2");
  MinDistStudy& s = Study();
  s.Start();
  EXPECT_EQ(world.t.settings.Text(setting::kMinDistance), "0");
  EXPECT_EQ(world.t.settings.Int(setting::kMinDistance), 1);  // the spin edit holds 1
  RunToEnd(s);
  ASSERT_EQ(s.Chart_IS.Find("Series_IS")->Count(), 1u);
  EXPECT_EQ(s.Chart_IS.Find("Series_IS")->XValue(0), 0.0);
}

TEST_F(MinDistTest, OneValueHasNoCorrelation) {
  // From = to: every point has the same X, so there is no r to show.
  own.Set(setting::min_dist::kValuesFrom, "3");
  own.Set(setting::min_dist::kValuesTo, "3");
  own.Set(setting::min_dist::kCalculationsPerValue, "2");
  own.Set(setting::min_dist::kTimesteps, "3");
  MinDistStudy& s = Study();
  s.Start();
  RunToEnd(s);
  ASSERT_EQ(s.Chart_IS.Find("Series_IS")->Count(), 2u);
  EXPECT_EQ(s.Chart_IS.Find("Series_Correlation")->Count(), 0u);
  EXPECT_GT(s.Chart_IS.Find("Series_mean")->Count(), 0u);
}

TEST_F(MinDistTest, DegreeChangeAfterTheEndRefitsOnlyTheCurve) {
  own.Set(setting::min_dist::kValuesTo, "4");
  own.Set(setting::min_dist::kCalculationsPerValue, "1");
  own.Set(setting::min_dist::kTimesteps, "3");
  MinDistStudy& s = Study();
  s.Start();
  RunToEnd(s);
  const auto deviation = s.Chart_IS.Find("Series_StDv")->Points();
  own.Set(setting::min_dist::kPolyDegree, "2");
  s.UpD_polyDegSegClick();
  EXPECT_EQ(s.State().FitDegree, 2);
  EXPECT_EQ(s.Chart_IS.Find("Series_IS_Fit")->Degree(), 2);
  EXPECT_EQ(s.Chart_IS.Find("Series_StDv")->Points(), deviation);
}

TEST_F(MinDistTest, FailingTickStopsTheTimerAndResumingMeasuresEachRunOnce) {
  own.Set(setting::min_dist::kValuesTo, "2");
  own.Set(setting::min_dist::kCalculationsPerValue, "1");
  own.Set(setting::min_dist::kTimesteps, "2");
  MinDistStudy& s = Study();
  s.Start();
  s.Tick();
  s.Tick();
  own.Set(setting::min_dist::kIncrement, "0");  // read when the first value's run is complete
  EXPECT_THROW(s.Tick(), StudySettingsError);
  EXPECT_FALSE(s.Running());
  EXPECT_EQ(s.Chart_IS.Find("Series_IS")->Count(), 0u);

  own.Set(setting::min_dist::kIncrement, "1");
  s.SetRunning(true);
  RunToEnd(s);
  EXPECT_EQ(s.Chart_IS.Find("Series_IS")->Count(), 2u);
}

TEST_F(MinDistTest, ReplayingMergedShardsGivesTheWholeStudysChart) {
  own.Set(setting::min_dist::kValuesTo, "3");
  own.Set(setting::min_dist::kCalculationsPerValue, "2");
  own.Set(setting::min_dist::kTimesteps, "6");
  auto run = [&](std::optional<std::uint64_t> shard) {
    testing::StudyWorld w;
    MinDistStudy s(w.Context(folder.path()), own);
    s.SetBaseSeed(5);
    if (shard) {
      s.SetRunFilter(ShardFilter(*shard, 2));
    }
    s.Start();
    RunToEnd(s);
    return s.Measurements();
  };
  testing::StudyWorld w;
  MinDistStudy whole(w.Context(folder.path()), own);
  whole.SetBaseSeed(5);
  whole.Start();
  RunToEnd(whole);
  ASSERT_EQ(whole.Measurements(), run(std::nullopt));

  MinDistStudy merged(world.Context(folder.path()), own);
  merged.ReplayMeasurements(MergeMeasurements({run(1), run(0)}));
  EXPECT_EQ(merged.Measurements(), whole.Measurements());
  for (const auto& series : whole.Chart_IS.AllSeries()) {
    EXPECT_EQ(merged.Chart_IS.Find(series->Name())->Points(), series->Points()) << series->Name();
  }
  EXPECT_THROW(merged.ReplayMeasurements({{"ser_other", 1, 1, 0, 0}}), std::invalid_argument);
}

}  // namespace
}  // namespace veltmoor
