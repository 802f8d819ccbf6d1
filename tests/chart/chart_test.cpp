#include "chart/chart.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <vector>

namespace veltmoor::chart {
namespace {

void Fill(Series& series, const std::vector<Point>& points) {
  for (const Point& p : points) {
    series.Add(p.x, p.y);
  }
}

void ExpectPoints(const Series& series, const std::vector<Point>& expected, double tolerance) {
  ASSERT_EQ(series.Count(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_NEAR(series.XValue(i), expected[i].x, tolerance) << "point " << i;
    EXPECT_NEAR(series.YValue(i), expected[i].y, tolerance) << "point " << i;
  }
}

void ExpectAllFinite(const Series& series) {
  for (const Point& p : series.Points()) {
    EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y)) << series.Name();
  }
}

TEST(SeriesTest, AscendingOrderKeepsRunsAtOneXAdjacentAndStable) {
  Series series("s", "s", SeriesKind::Point);
  series.SetOrder(XOrder::Ascending);
  // Two runs measured at x = 11 and 21; the second run's points join the first run's.
  Fill(series, {{11, 1}, {21, 2}, {11, 3}, {21, 4}, {5, 0}});
  ExpectPoints(series, {{5, 0}, {11, 1}, {11, 3}, {21, 2}, {21, 4}}, 0);
}

TEST(ChartTest, ChangeCountMovesOnEveryChange) {
  Chart chart("c", "title");
  Series& series = chart.AddSeries("s", "s", SeriesKind::Line);
  std::uint64_t seen = chart.ChangeCount();
  auto moved = [&] {
    const bool result = chart.ChangeCount() != seen;
    seen = chart.ChangeCount();
    return result;
  };
  series.Add(1, 2);
  EXPECT_TRUE(moved());
  series.SetVisible(false);
  EXPECT_TRUE(moved());
  EXPECT_FALSE(series.Visible());
  series.Clear();
  EXPECT_TRUE(moved());
  EXPECT_EQ(series.Count(), 0u);
  chart.SetAxisTitles("x", "y");
  EXPECT_TRUE(moved());
  chart.UndoZoom();
  EXPECT_TRUE(moved());
  EXPECT_EQ(chart.ZoomResetRequests(), 1u);
  // Series are found and saved by name, so a second one of a name is refused.
  EXPECT_THROW(chart.AddSeries("s", "other", SeriesKind::Line), std::invalid_argument);
}

class DerivedTest : public ::testing::Test {
 protected:
  DerivedTest() : data_(chart_.AddSeries("data", "data", SeriesKind::Point)) {
    // Mean (3, 4.4); least squares y = 1.4 + x; r = 0.87038827977849; sample sd 1.81659021.
    Fill(data_, {{1, 2}, {2, 4}, {3, 5}, {4, 4}, {5, 7}});
  }
  Series& Derive(DerivedKind kind) {
    Series& series =
        chart_.AddDerived("d" + std::to_string(chart_.AllSeries().size()), "d", kind, data_);
    return series;
  }

  Chart chart_{"c", "title"};
  Series& data_;
};

TEST_F(DerivedTest, LineStatisticsAgainstHandComputedValues) {
  Series& trend = Derive(DerivedKind::Trend);
  Series& corr = Derive(DerivedKind::Correlation);
  Series& sd = Derive(DerivedKind::StdDeviation);
  Series& mean = Derive(DerivedKind::Mean);
  chart_.RecomputeDerived();
  ExpectPoints(trend, {{1, 2.4}, {5, 6.4}}, 1e-12);
  ExpectPoints(corr, {{1, 0.8703882797784892}, {5, 0.8703882797784892}}, 1e-12);
  ExpectPoints(sd, {{1, 1.816590212458495}, {5, 1.816590212458495}}, 1e-12);
  ExpectPoints(mean, {{1, 4.4}, {5, 4.4}}, 1e-12);
}

TEST_F(DerivedTest, AverageTakesCompleteGroupsInSourceOrder) {
  Series& average = Derive(DerivedKind::Average);
  average.SetPeriod(2);
  average.Recompute();
  // The fifth point starts a group that is not complete yet.
  ExpectPoints(average, {{1.5, 3}, {3.5, 4.5}}, 1e-12);

  average.SetPeriod(0);
  average.Recompute();
  ExpectPoints(average, {{1, 4.4}, {5, 4.4}}, 1e-12);

  average.SetPeriod(6);
  average.Recompute();
  EXPECT_EQ(average.Count(), 0u);
}

TEST_F(DerivedTest, RecomputeFollowsTheSourceOnlyOnRequest) {
  Series& trend = Derive(DerivedKind::Trend);
  trend.Recompute();
  data_.Clear();
  data_.Add(2, 3);
  EXPECT_EQ(trend.Count(), 2u);
  EXPECT_NEAR(trend.YValue(0), 2.4, 1e-12);
  trend.Recompute();
  // One point: a flat line through it.
  ExpectPoints(trend, {{2, 3}, {2, 3}}, 0);
}

TEST(DerivedDegenerateTest, NoPointOnePointAndZeroVariance) {
  Chart chart("c", "c");
  Series& data = chart.AddSeries("data", "data", SeriesKind::Point);
  const std::vector<DerivedKind> kinds = {DerivedKind::Trend,       DerivedKind::Average,
                                          DerivedKind::Correlation, DerivedKind::StdDeviation,
                                          DerivedKind::Mean,        DerivedKind::CurveFit};
  for (DerivedKind kind : kinds) {
    chart.AddDerived("d" + std::to_string(static_cast<int>(kind)), "d", kind, data);
  }
  auto derived = [&](DerivedKind kind) -> Series& {
    return *chart.Find("d" + std::to_string(static_cast<int>(kind)));
  };

  chart.RecomputeDerived();
  for (DerivedKind kind : kinds) {
    EXPECT_EQ(derived(kind).Count(), 0u);
  }

  data.Add(2, 5);
  chart.RecomputeDerived();
  // r of one point, of all x equal or of all y equal is undefined: no point at all.
  EXPECT_EQ(derived(DerivedKind::Correlation).Count(), 0u);
  ExpectPoints(derived(DerivedKind::StdDeviation), {{2, 0}, {2, 0}}, 0);
  ExpectPoints(derived(DerivedKind::CurveFit), {{2, 5}}, 0);

  // All x equal: the trend is flat at the mean.
  data.Add(2, 7);
  chart.RecomputeDerived();
  ExpectPoints(derived(DerivedKind::Trend), {{2, 6}, {2, 6}}, 1e-12);
  EXPECT_EQ(derived(DerivedKind::Correlation).Count(), 0u);

  // All y equal (a repeated 0.1 whose mean need not be exactly 0.1).
  data.Clear();
  Fill(data, {{1, 0.1}, {2, 0.1}, {3, 0.1}});
  chart.RecomputeDerived();
  EXPECT_EQ(derived(DerivedKind::Correlation).Count(), 0u);
  ExpectPoints(derived(DerivedKind::StdDeviation), {{1, 0}, {3, 0}}, 0);

  // Points such as log10(0) are left out rather than spreading NaN.
  data.Add(4, -std::numeric_limits<double>::infinity());
  data.Add(std::numeric_limits<double>::quiet_NaN(), 1);
  chart.RecomputeDerived();
  for (DerivedKind kind : kinds) {
    ExpectAllFinite(derived(kind));
  }
  ExpectPoints(derived(DerivedKind::Trend), {{1, 0.1}, {3, 0.1}}, 1e-12);
}

TEST(CurveFitTest, MatchesExactLeastSquaresAndStaysStable) {
  Chart chart("c", "c");
  Series& data = chart.AddSeries("data", "data", SeriesKind::Point);
  Series& fit = chart.AddDerived("fit", "fit", DerivedKind::CurveFit, data);
  fit.SetDegree(2);
  // Exact solution of the normal equations: y = 31/28 - 533/280 x + 61/56 x^2.
  Fill(data, {{5, 20}, {0, 1}, {1, 0}, {2, 2}, {3, 7}, {4, 8}});
  fit.Recompute();
  ExpectPoints(fit,
               {{0, 1.1071428571428572},
                {1, 0.29285714285714287},
                {2, 1.6571428571428573},
                {3, 5.2},
                {4, 10.92142857142857},
                {5, 18.821428571428573}},
               1e-9);

  // Far from the origin a plain power basis loses every digit; the cubic must come back.
  data.Clear();
  auto cubic = [](double x) { return 0.5 * x * x * x - 2 * x + 7; };
  for (int i = 0; i <= 10; ++i) {
    data.Add(1000 + i, cubic(1000 + i));
  }
  fit.SetDegree(3);
  fit.Recompute();
  ASSERT_EQ(fit.Count(), 11u);
  for (std::size_t i = 0; i < fit.Count(); ++i) {
    EXPECT_NEAR(fit.YValue(i), cubic(fit.XValue(i)), 1e-6 * cubic(fit.XValue(i)));
  }
}

TEST(CurveFitTest, DegreeLimitedByDistinctXValues) {
  Chart chart("c", "c");
  Series& data = chart.AddSeries("data", "data", SeriesKind::Point);
  Series& fit = chart.AddDerived("fit", "fit", DerivedKind::CurveFit, data);
  fit.SetDegree(20);
  // Three values with two runs each: the fit passes through the three means.
  Fill(data, {{1, 1}, {1, 3}, {2, 2}, {2, 6}, {3, 5}});
  fit.Recompute();
  ExpectPoints(fit, {{1, 2}, {2, 4}, {3, 5}}, 1e-9);
}

TEST(FunctionSeriesTest, EvaluatesCallbackOverRangeOnEachRecompute) {
  Series series("f", "f", SeriesKind::Line);
  double offset = 0;
  series.SetFunction([&](double x) { return 2 * x + offset; }, 0, 0.01, 101);
  series.Recompute();
  ASSERT_EQ(series.Count(), 101u);
  EXPECT_DOUBLE_EQ(series.XValue(100), 1.0);
  EXPECT_DOUBLE_EQ(series.YValue(100), 2.0);
  offset = 1;
  series.Recompute();
  EXPECT_DOUBLE_EQ(series.YValue(0), 1.0);

  series.SetFunction([](double x) { return 1 / x; }, 0, 1, 3);
  series.Recompute();
  ExpectPoints(series, {{1, 1}, {2, 0.5}}, 0);
}

}  // namespace
}  // namespace veltmoor::chart
