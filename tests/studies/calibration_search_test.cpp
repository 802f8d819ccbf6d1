// The calibration's arithmetic on hand-made runs: distance in pooled replicate sds, the
// accepted set, incomplete points, and the boxes and points of later stages.
#include "studies/calibration_search.h"

#include <gtest/gtest.h>

#include <cmath>

namespace veltmoor {
namespace {

CalibrationDesign OneMeasure(std::uint64_t points, std::uint64_t runs) {
  CalibrationDesign design;
  design.settings = {{setting::kCentripetalScale.Str(), 0.0, 10.0, false}};
  design.targets = {{"NodeCount", 10.0, 1.0}};
  design.points = points;
  design.runs = runs;
  design.stages = 2;
  design.seed = 1;
  return design;
}

// One point's runs; `per_run` holds each replicate's measures in the targets' order.
void AddRuns(std::vector<CalibrationRun>& runs, const CalibrationDesign& design,
             std::uint64_t point, double value, const std::vector<std::vector<double>>& per_run,
             RunEnd end = RunEnd::Done) {
  for (std::uint64_t r = 0; r < per_run.size(); ++r) {
    CalibrationRun run;
    run.point = point;
    run.replicate = r;
    run.run = RunIndex(design, 0, point, r);
    run.values = {value};
    run.end = r == 0 ? end : RunEnd::Done;
    run.measures.assign(per_run[r].begin(), per_run[r].end());
    runs.push_back(run);
  }
}

// One point's runs of a single measure, one value a replicate.
void AddPoint(std::vector<CalibrationRun>& runs, const CalibrationDesign& design,
              std::uint64_t point, double value, const std::vector<double>& measures,
              RunEnd end = RunEnd::Done) {
  std::vector<std::vector<double>> per_run;
  for (double m : measures) {
    per_run.push_back({m});
  }
  AddRuns(runs, design, point, value, per_run, end);
}

// Weights 3 and 0.5 and two measures whose replicates spread differently: a distance that
// drops a weight, pools the wrong spread or scales by the wrong measure shows in the values.
TEST(CalibrationSearchTest, DistanceWeighsEachMeasureInItsOwnPooledReplicateSd) {
  CalibrationDesign design = OneMeasure(4, 2);
  design.targets = {{"NodeCount", 10.0, 3.0}, {"MeanLength", 5.0, 0.5}};
  std::vector<CalibrationRun> runs;
  AddRuns(runs, design, 0, 1.0, {{9.0, 4.5}, {11.0, 5.5}});   // on target
  AddRuns(runs, design, 1, 2.0, {{10.0, 4.5}, {12.0, 5.5}});  // NodeCount 1 too high
  AddRuns(runs, design, 2, 3.0, {{9.0, 5.5}, {11.0, 6.5}});   // MeanLength 1 too high
  AddRuns(runs, design, 3, 4.0, {{1.0, 1.0}, {1.0, 1.0}}, RunEnd::Stalled);
  const CalibrationSummary s = Summarise(design, runs);

  ASSERT_EQ(s.points.size(), 4u);
  // Replicates 2 and 1 apart: sds sqrt 2 and sqrt 0.5; the stalled point does not pool.
  EXPECT_DOUBLE_EQ(s.scales[0], std::sqrt(2.0));
  EXPECT_DOUBLE_EQ(s.scales[1], std::sqrt(0.5));
  EXPECT_DOUBLE_EQ(*s.points[0].distance, 0.0);
  EXPECT_DOUBLE_EQ(*s.points[1].distance, 1.5);  // 3 * (1 / sqrt 2)^2
  EXPECT_DOUBLE_EQ(*s.points[2].distance, 1.0);  // 0.5 * (1 / sqrt 0.5)^2
  // noise^2 = sum w^2 (4 z^2 / n + 2 / n^2), n = 2: 9 * 0.5 + 0.25 * 0.5 at the best, and
  // 9 * (1 + 0.5) + 0.25 * 0.5 with NodeCount's z^2 = 0.5.
  EXPECT_DOUBLE_EQ(s.points[0].noise, std::sqrt(4.625));
  EXPECT_DOUBLE_EQ(s.points[1].noise, std::sqrt(13.625));
  EXPECT_DOUBLE_EQ(s.points[2].noise, std::sqrt(4.5 + 0.25 * 4.5));
  EXPECT_EQ(s.best, 0u);
  // Recorded, counted, and never judged.
  EXPECT_EQ(s.points[3].stopped, 1u);
  EXPECT_FALSE(s.points[3].distance);
  EXPECT_FALSE(s.points[3].accepted);
  // (1 + 1/R) times the sum of the weights, and times sqrt(2 sum w^2).
  EXPECT_DOUBLE_EQ(s.at_truth.expected, 1.5 * 3.5);
  EXPECT_DOUBLE_EQ(s.at_truth.sd, 1.5 * std::sqrt(2.0 * 9.25));

  // The order runs arrive in (shards) changes nothing.
  std::vector<CalibrationRun> reversed(runs.rbegin(), runs.rend());
  const CalibrationSummary again = Summarise(design, reversed);
  EXPECT_EQ(again.best, s.best);
  EXPECT_EQ(*again.points[2].distance, *s.points[2].distance);
}

// With weight 2, replicates sqrt 2 apart and the best on target, a point whose mean is d
// off has z^2 = d^2 / 2, distance 2 z^2 and noise^2 = 8 z^2 + 2; it is accepted while
// 2 z^2 <= 2 sqrt(8 z^2 + 4), that is z^2 <= 4 + sqrt 20 = 8.47: d = 4.1 (z^2 8.405) lies
// just inside, d = 4.2 (z^2 8.82) just outside, and both lie beyond one sd (z^2 <= 2.41).
TEST(CalibrationSearchTest, AcceptanceBandIsTwiceTheSdOfTheDifferenceToTheBest) {
  CalibrationDesign design = OneMeasure(3, 2);
  design.targets[0].weight = 2.0;
  std::vector<CalibrationRun> runs;
  AddPoint(runs, design, 0, 1.0, {9.0, 11.0});
  AddPoint(runs, design, 1, 2.0, {13.1, 15.1});
  AddPoint(runs, design, 2, 3.0, {13.2, 15.2});
  const CalibrationSummary s = Summarise(design, runs);
  ASSERT_EQ(s.best, 0u);
  EXPECT_NEAR(*s.points[1].distance, 16.81, 1e-9);
  EXPECT_NEAR(s.points[1].noise, std::sqrt(8 * 8.405 + 2), 1e-9);
  EXPECT_TRUE(s.points[0].accepted);
  EXPECT_TRUE(s.points[1].accepted);
  EXPECT_FALSE(s.points[2].accepted);
  EXPECT_EQ(s.accepted_count, 2u);
  EXPECT_DOUBLE_EQ(s.accepted_low[0], 1.0);
  EXPECT_DOUBLE_EQ(s.accepted_high[0], 2.0);
}

TEST(CalibrationSearchTest, PointsMissingARunOrAMeasureHaveNoDistance) {
  const CalibrationDesign design = OneMeasure(2, 2);
  std::vector<CalibrationRun> runs;
  AddPoint(runs, design, 0, 1.0, {9.0});  // one of two runs so far
  AddPoint(runs, design, 1, 2.0, {9.0, 10.0});
  runs.back().measures[0].reset();  // an analysis that left no number
  const CalibrationSummary s = Summarise(design, runs);
  EXPECT_FALSE(s.best);
  EXPECT_FALSE(s.points[0].distance);
  EXPECT_FALSE(s.points[1].distance);
  EXPECT_DOUBLE_EQ(s.scales[0], 1.0);  // nothing to pool
}

TEST(CalibrationSearchTest, LaterStagesSearchAroundTheAcceptedPointsInsideTheWholeBox) {
  CalibrationDesign design = OneMeasure(4, 2);
  design.settings.push_back({setting::kMinDistance.Str(), 1.0, 9.0, true});
  const SearchBox whole = StageBox(design, 0, {});
  EXPECT_EQ(whole, (SearchBox{{0.0, 1.0}, {10.0, 9.0}}));
  const std::vector<ParameterPoint> first = StagePoints(design, 0, whole);
  ASSERT_EQ(first.size(), 4u);
  for (const ParameterPoint& p : first) {
    EXPECT_GE(p[0], 0.0);
    EXPECT_LT(p[0], 10.0);
    EXPECT_EQ(p[1], std::round(p[1]));
  }
  EXPECT_EQ(first[0], (ParameterPoint{5.0, 5.0}));  // the Sobol sequence's first point

  std::vector<CalibrationRun> runs;
  const std::vector<std::vector<double>> measures = {{30, 31}, {10, 11}, {50, 51}, {40, 41}};
  for (std::uint64_t p = 0; p < 4; ++p) {
    AddPoint(runs, design, p, 0.0, measures[p]);
    for (std::uint64_t r = 0; r < 2; ++r) {
      runs[runs.size() - 1 - r].values = first[p];
    }
  }
  const SearchBox next = StageBox(design, 1, runs);
  // Only point 1 is accepted; half the previous spacing (10 / 2 / 2, 8 / 2 / 2) around it.
  EXPECT_DOUBLE_EQ(next.low[0], std::max(0.0, first[1][0] - 2.5));
  EXPECT_DOUBLE_EQ(next.high[0], std::min(10.0, first[1][0] + 2.5));
  EXPECT_DOUBLE_EQ(next.low[1], std::max(1.0, first[1][1] - 2.0));
  const std::vector<ParameterPoint> second = StagePoints(design, 1, next);
  for (const ParameterPoint& p : second) {
    EXPECT_GE(p[0], next.low[0]);
    EXPECT_LE(p[0], next.high[0]);
  }
}

// The one-dimensional Sobol sequence runs 1/2, 3/4, 1/4, 3/8 | 7/8, 5/8, 1/8, 3/16: a
// second stage of four points takes up at the fifth, wherever its box lies.
TEST(CalibrationSearchTest, EachStageContinuesTheSequenceWhereThePreviousStopped) {
  const CalibrationDesign design = OneMeasure(4, 1);
  EXPECT_EQ(StagePoints(design, 0, {{0.0}, {10.0}}),
            (std::vector<ParameterPoint>{{5.0}, {7.5}, {2.5}, {3.75}}));
  EXPECT_EQ(StagePoints(design, 1, {{2.0}, {6.0}}),
            (std::vector<ParameterPoint>{{5.5}, {4.5}, {2.5}, {2.75}}));
}

}  // namespace
}  // namespace veltmoor
