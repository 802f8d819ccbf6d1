#include "studies/analyseClusterGrowth.h"

#include <gtest/gtest.h>

#include "studies/study_fixture.h"

namespace veltmoor {
namespace {

using testing::OfSeries;
using testing::RunToEnd;

class ClusterGrowthTest : public ::testing::Test {
 protected:
  ClusterGrowthTest() : own(ClusterGrowthSettings()) {
    own.Set(setting::cluster_growth::kGrowUntil, "20");
    own.Set(setting::cluster_growth::kMeasureSteps, "10");
    own.Set(setting::cluster_growth::kCalculations, "3");
  }

  ClusterGrowthStudy& Study() {
    study = std::make_unique<ClusterGrowthStudy>(world.Context(folder.path()), own);
    return *study;
  }

  testing::ScratchFolder folder;
  testing::StudyWorld world;
  MapSettings own;
  std::unique_ptr<ClusterGrowthStudy> study;
};

TEST_F(ClusterGrowthTest, ThreeRunsMeasureAtElevenAndTwentyOneAndAverageThem) {
  ClusterGrowthStudy& s = Study();
  EXPECT_EQ(s.labels.Get(label::study::kRunsPlanned), "/ 3");
  s.Start();
  EXPECT_EQ(s.Chart_growCluster.Title(), "growing cluster with minDist = 3");
  RunToEnd(s);
  EXPECT_FALSE(s.Running());
  EXPECT_EQ(s.State().RunTotal, 1u);
  EXPECT_EQ(s.labels.Get(label::study::kRunsDone), "3");

  for (const char* name : {"Series_ML", "Series_Edges", "Series_Border"}) {
    const chart::Series& series = *s.Chart_growCluster.Find(name);
    ASSERT_EQ(series.Count(), 6u) << name;
    for (std::size_t i = 0; i < 6; ++i) {
      EXPECT_EQ(series.XValue(i), i < 3 ? 11.0 : 21.0) << name << " " << i;
    }
  }
  const auto ml = OfSeries(s.Measurements(), "Series_ML");
  const chart::Series& average = *s.Chart_growCluster.Find("Series_ML_Avg");
  ASSERT_EQ(average.Count(), 2u);
  for (std::size_t at = 0; at < 2; ++at) {
    double sum = 0.0;
    for (const Measurement& m : ml) {
      sum += m.x == (at == 0 ? 11.0 : 21.0) ? m.y : 0.0;
    }
    EXPECT_DOUBLE_EQ(average.YValue(at), sum / 3.0);
  }
  EXPECT_EQ(ml.front().run, 0u);
  EXPECT_EQ(ml.back().run, 2u);
  EXPECT_EQ(ml.back().value_index, 1u);  // the second measurement of its run
  EXPECT_EQ(s.Chart_growCluster.Find("Series_mean")->Count(), 2u);
  EXPECT_FALSE(s.Chart_growCluster.Find("Series_mean")->Visible());
}

TEST_F(ClusterGrowthTest, GrowUntilThatIsNoMultipleMeasuresAtTheSameStepsEveryRun) {
  own.Set(setting::cluster_growth::kGrowUntil, "25");
  ClusterGrowthStudy& s = Study();
  s.Start();
  RunToEnd(s);
  const chart::Series& edges = *s.Chart_growCluster.Find("Series_Edges");
  ASSERT_EQ(edges.Count(), 6u);
  EXPECT_EQ(edges.XValue(2), 11.0);
  EXPECT_EQ(edges.XValue(5), 21.0);
}

TEST_F(ClusterGrowthTest, MeasureStepsBeyondGrowUntilMeasureNothingButStillEnd) {
  own.Set(setting::cluster_growth::kMeasureSteps, "30");
  ClusterGrowthStudy& s = Study();
  s.Start();
  const long long ticks = RunToEnd(s);
  EXPECT_FALSE(s.Running());
  // Twenty growth steps per run; the tick that completes a run grows the next one, and
  // one more tick ends the study.
  EXPECT_EQ(ticks, 3 * 20 + 1);
  EXPECT_TRUE(s.Measurements().empty());
  EXPECT_EQ(s.Chart_growCluster.Find("Series_StDv")->Count(), 0u);
}

TEST_F(ClusterGrowthTest, ShardsMergeIntoTheSingleProcessChart) {
  auto shard = [&](std::uint64_t k) {
    testing::StudyWorld w;
    ClusterGrowthStudy s(w.Context(folder.path()), own);
    s.SetBaseSeed(3);
    s.SetRunFilter(ShardFilter(k, 2));
    s.Start();
    RunToEnd(s);
    return s.Measurements();
  };
  ClusterGrowthStudy& whole = Study();
  whole.SetBaseSeed(3);
  whole.Start();
  RunToEnd(whole);

  testing::StudyWorld w;
  ClusterGrowthStudy merged(w.Context(folder.path()), own);
  merged.ReplayMeasurements(MergeMeasurements({shard(0), shard(1)}));
  EXPECT_EQ(merged.Measurements(), whole.Measurements());
  for (const auto& series : whole.Chart_growCluster.AllSeries()) {
    EXPECT_EQ(merged.Chart_growCluster.Find(series->Name())->Points(), series->Points())
        << series->Name();
  }
}

}  // namespace
}  // namespace veltmoor
