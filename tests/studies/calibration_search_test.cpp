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

void AddPoint(std::vector<CalibrationRun>& runs, const CalibrationDesign& design,
              std::uint64_t point, double value, const std::vector<double>& measures,
              RunEnd end = RunEnd::Done) {
  for (std::uint64_t r = 0; r < measures.size(); ++r) {
    CalibrationRun run;
    run.point = point;
    run.replicate = r;
    run.run = RunIndex(design, 0, point, r);
    run.values = {value};
    run.end = r == 0 ? end : RunEnd::Done;
    run.measures = {measures[r]};
    runs.push_back(run);
  }
}

TEST(CalibrationSearchTest, DistanceIsInPooledReplicateSdsAndTheNoiseBandDecidesAcceptance) {
  const CalibrationDesign design = OneMeasure(4, 2);
  std::vector<CalibrationRun> runs;
  AddPoint(runs, design, 0, 1.0, {9.0, 11.0});   // mean 10, sd sqrt 2
  AddPoint(runs, design, 1, 2.0, {11.0, 13.0});  // mean 12, sd sqrt 2
  AddPoint(runs, design, 2, 3.0, {19.0, 21.0});  // mean 20, sd sqrt 2
  AddPoint(runs, design, 3, 4.0, {1.0, 1.0}, RunEnd::Stalled);
  const CalibrationSummary s = Summarise(design, runs);

  ASSERT_EQ(s.points.size(), 4u);
  ASSERT_EQ(s.scales.size(), 1u);
  EXPECT_DOUBLE_EQ(s.scales[0], std::sqrt(2.0));  // the stalled point does not pool
  EXPECT_DOUBLE_EQ(*s.points[0].distance, 0.0);
  EXPECT_DOUBLE_EQ(*s.points[1].distance, 2.0);   // (2 / sqrt 2)^2
  EXPECT_DOUBLE_EQ(*s.points[2].distance, 50.0);  // (10 / sqrt 2)^2
  EXPECT_EQ(s.best, 0u);
  // noise^2 = 4 z^2 / n + 2 / n^2 with n = 2: 0.5 at the best, 4.5 for z^2 = 2.
  EXPECT_DOUBLE_EQ(s.points[0].noise, std::sqrt(0.5));
  EXPECT_DOUBLE_EQ(s.points[1].noise, std::sqrt(4.5));
  EXPECT_TRUE(s.points[0].accepted);
  EXPECT_TRUE(s.points[1].accepted);  // 2 <= 2 sqrt(5)
  EXPECT_FALSE(s.points[2].accepted);
  // Recorded, counted, and never judged.
  EXPECT_EQ(s.points[3].stopped, 1u);
  EXPECT_FALSE(s.points[3].distance);
  EXPECT_FALSE(s.points[3].accepted);
  EXPECT_EQ(s.accepted_count, 2u);
  EXPECT_DOUBLE_EQ(s.accepted_low[0], 1.0);
  EXPECT_DOUBLE_EQ(s.accepted_high[0], 2.0);
  EXPECT_DOUBLE_EQ(s.at_truth.expected, 1.5);

  // The order runs arrive in (shards) changes nothing.
  std::vector<CalibrationRun> reversed(runs.rbegin(), runs.rend());
  const CalibrationSummary again = Summarise(design, reversed);
  EXPECT_EQ(again.best, s.best);
  EXPECT_EQ(*again.points[2].distance, *s.points[2].distance);
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
  EXPECT_NE(second[0], first[0]);  // the sequence continues, it does not start over
  for (const ParameterPoint& p : second) {
    EXPECT_GE(p[0], next.low[0]);
    EXPECT_LE(p[0], next.high[0]);
  }
}

}  // namespace
}  // namespace veltmoor
