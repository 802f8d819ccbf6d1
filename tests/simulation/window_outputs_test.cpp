#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "chart/chart_set.h"
#include "simulation/window_outputs.h"

namespace veltmoor {
namespace {

using chart::DerivedKind;

class WindowOutputs : public ::testing::Test {
 protected:
  void SetUp() override { CreateSimulationOutputs(labels, values, charts); }

  Labels labels;
  ValueList values;
  chart::ChartSet charts;
};

TEST_F(WindowOutputs, LabelsShowTheirFirstTextsAndOnlyRegisteredOnesExist) {
  EXPECT_EQ(labels.Get(label::kNodeCount), "0");
  EXPECT_EQ(labels.Get(label::kEdgeCount), "0");
  EXPECT_EQ(labels.Get(label::kMeanLength), "ML");
  EXPECT_EQ(labels.Get(label::kMoreThanOneNeighbour), "___");
  EXPECT_EQ(labels.Get(label::kMoreThanThreeNeighbours), "___");
  EXPECT_EQ(labels.Get(label::kPathProgress), "calculate pathes...");
  for (const auto& [name, text] : labels.All()) {
    EXPECT_FALSE(text.empty()) << name;
  }
  // A label of a study window, or a name no window has, is refused rather than kept where
  // no view shows it.
  const auto changes = labels.ChangeCount();
  EXPECT_THROW(labels.Set(LabelName{"lbl_pSteps"}, "1"), std::logic_error);
  EXPECT_THROW(labels.SetTop(LabelName{"Lbl_halt"}, 3), std::logic_error);
  EXPECT_THROW(labels.Get(LabelName{"Lbl_nrNode"}), std::logic_error);
  EXPECT_EQ(labels.ChangeCount(), changes);
  EXPECT_EQ(labels.All().count("lbl_pSteps"), 0u);
}

TEST_F(WindowOutputs, AValueForAKeyWithoutARowIsRefusedNotLost) {
  values.SetValue(value_key::kGridDimension, "1,5");
  EXPECT_EQ(values.Value(value_key::kGridDimension), "1,5");
  const auto changes = values.ChangeCount();
  EXPECT_THROW(values.SetValue(ValueKey{"D_gird"}, "1,5"), std::logic_error);
  EXPECT_THROW(values.Value(ValueKey{"D_gird"}), std::logic_error);
  EXPECT_EQ(values.ChangeCount(), changes);
}

TEST_F(WindowOutputs, EveryMeasureTheAnalysesWriteHasOneRowUnderItsHeading) {
  // Values are written by key into the first row that carries it, so a measure listed
  // twice, or missing, would silently lose its value.
  const auto& rows = values.Rows();
  auto position = [&rows](const std::string& key) {
    int found = -1;
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
      if (rows[static_cast<std::size_t>(i)].first == key) {
        EXPECT_EQ(found, -1) << key << " is listed twice";
        found = i;
      }
    }
    EXPECT_GE(found, 0) << key << " is missing";
    return found;
  };
  EXPECT_LT(position("Grid Analysis"), position("D_grid"));
  EXPECT_LT(position("Radial Analysis"), position("D_rad"));
  EXPECT_LT(position("Nodes (radial a.)"), position("D_nodes"));
  EXPECT_LT(position("Edges (length, radial a.)"), position("D_edge"));
  for (const char* key : {"slope_grid", "slope_rad", "slope_nodes", "slope_edge",
                          "IS_developed_cells", "slope_rank"}) {
    position(key);
  }
  EXPECT_EQ(values.Value(value_key::kRadialDimension), "0,33");
  EXPECT_EQ(rows.front().first, "Grid Analysis");
  EXPECT_EQ(rows.back().first, "slope_rank");
}

TEST_F(WindowOutputs, SeriesNamesAreUniqueAcrossTheWindow) {
  std::set<std::string> names;
  for (const auto& chart : charts.All()) {
    for (const auto& series : chart->AllSeries()) {
      EXPECT_TRUE(names.insert(series->Name()).second) << series->Name();
      EXPECT_EQ(series->Count(), 0u) << series->Name();
    }
  }
}

TEST_F(WindowOutputs, DerivedSeriesReadFromTheirOwnChart) {
  for (const auto& chart : charts.All()) {
    for (const auto& series : chart->AllSeries()) {
      SCOPED_TRACE(series->Name());
      if (series->Derived() == DerivedKind::None || series->Derived() == DerivedKind::Function) {
        EXPECT_EQ(series->Source(), nullptr);
        continue;
      }
      ASSERT_NE(series->Source(), nullptr);
      EXPECT_EQ(chart->Find(series->Source()->Name()), series->Source());
      EXPECT_EQ(series->Source()->Derived(), DerivedKind::None);
    }
  }
}

// A chart or series the window lacks is a programming error, never an empty answer.
TEST_F(WindowOutputs, ANameTheWindowLacksIsRefused) {
  EXPECT_THROW(charts.Get(chart::ChartName{"Chart_fractl"}), std::logic_error);
  EXPECT_THROW(charts.GetSeries(chart::SeriesName{"ser_fractTrnd"}), std::logic_error);
  // Series of a study window's own chart are not the simulation window's.
  EXPECT_THROW(charts.GetSeries(chart::SeriesName{"Series_IS"}), std::logic_error);
  EXPECT_THROW(charts.Get(chart_name::kGridFractal).Get(series_name::kEdgeFractal),
               std::logic_error);
}

TEST_F(WindowOutputs, CorrelationsAreHiddenAndTrendsFollowTheirData) {
  chart::Chart& grid = charts.Get(chart_name::kGridFractal);
  EXPECT_EQ(grid.Title(), "Fractal Grid Analysis");
  EXPECT_EQ(grid.BottomAxisTitle(), "log (number of tiles)");
  EXPECT_FALSE(charts.GetSeries(series_name::kGridFractalCorrelation).Visible());
  EXPECT_TRUE(charts.GetSeries(series_name::kGridFractalTrend).Visible());

  chart::Series& data = charts.GetSeries(series_name::kGridFractal);
  data.Add(0.0, 0.0);
  data.Add(1.0, 2.0);
  data.Add(2.0, 4.0);
  grid.RecomputeDerived();
  const chart::Series& trend = charts.GetSeries(series_name::kGridFractalTrend);
  ASSERT_EQ(trend.Count(), 2u);
  EXPECT_DOUBLE_EQ(trend.YValue(1) - trend.YValue(0), 4.0);
  EXPECT_DOUBLE_EQ(charts.GetSeries(series_name::kGridFractalCorrelation).YValue(1), 1.0);
}

TEST_F(WindowOutputs, RuleStudyAveragesPerRoundsAndHidesTrends) {
  for (const chart::SeriesName name :
       {series_name::kRuleBuildFreeRatioAverage, series_name::kRuleMoreThanThreeAverage,
        series_name::kRuleMoreThanTwoAverage, series_name::kRuleMeanLengthAverage,
        series_name::kRuleRadialDimensionAverage}) {
    const chart::Series& average = charts.GetSeries(name);
    EXPECT_EQ(average.Derived(), DerivedKind::Average) << name.View();
    EXPECT_EQ(average.Period(), 10) << name.View();
  }
  EXPECT_FALSE(charts.GetSeries(series_name::kRuleRadialDimensionTrend).Visible());
  EXPECT_EQ(charts.Get(chart_name::kBuildingRules).AllSeries().size(), 15u);
}

TEST_F(WindowOutputs, ForceCurveIsAFunctionSeriesWaitingForItsCallback) {
  chart::Series& curve = charts.GetSeries(series_name::kResultingForce);
  EXPECT_EQ(curve.Derived(), DerivedKind::Function);
  curve.Recompute();
  EXPECT_EQ(curve.Count(), 0u);
  curve.SetFunction([](double x) { return 2 * x; }, 0.0, 0.01, 101);
  curve.Recompute();
  ASSERT_EQ(curve.Count(), 101u);
  EXPECT_DOUBLE_EQ(curve.YValue(100), 2.0);
}

}  // namespace
}  // namespace veltmoor
