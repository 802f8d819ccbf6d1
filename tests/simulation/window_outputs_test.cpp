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

// Clearing the world and the analyses find these by name; a missing one would throw mid-run.
TEST_F(WindowOutputs, EverythingTheOperationsNameExists) {
  for (const char* name :
       {"Chart_fractal", "Ch_clusterSize", "Chart_rank", "Chart_denseA", "Chart_denseD",
        "Chart_ConnPot", "Chart_PotDens", "Chart_nodes", "Chart_FractGrid", "Chart_IS", "Chart_nNb",
        "Chart_resForce", "Chart1", "Chart2", "Chart_buildAna"}) {
    EXPECT_NE(charts.Find(name), nullptr) << name;
  }
  for (const char* name : {"ser_fract",        "ser_f2",          "ser_devFract",
                           "bar_clusterSize",  "ser_rank",        "ser_rankTrend",
                           "ser_devDense",     "ser_buildDense",  "ser_streetDense",
                           "ser_ConnPot",      "ser_PotDense",    "Ser_Edges",
                           "ser_DGrid",        "ser_DGrid_Slope", "ser_DGrid_Corr",
                           "ser_IS",           "ser_RS",          "ser_freeNb",
                           "ser_white_all",    "ser_street_all",  "ser_blue_all",
                           "ser_green_all",    "ser_dev_all",     "ser_blue_green",
                           "ser_PotDenseCorr", "ser_ConnPotCorr", "ser_custFkt",
                           "ser_fractCorr1",   "ser_fractCorr2",  "ser_devFractCorr",
                           "ser_fractTrend",   "ser_ft2",         "ser_devFractTrend",
                           "ser_rankCorr"}) {
    EXPECT_NE(charts.FindSeries(name), nullptr) << name;
  }
}

TEST_F(WindowOutputs, CorrelationsAreHiddenAndTrendsFollowTheirData) {
  chart::Chart& grid = charts.Get("Chart_FractGrid");
  EXPECT_EQ(grid.Title(), "Fractal Grid Analysis");
  EXPECT_EQ(grid.BottomAxisTitle(), "log (number of tiles)");
  EXPECT_FALSE(charts.GetSeries("ser_DGrid_Corr").Visible());
  EXPECT_TRUE(charts.GetSeries("ser_DGrid_Slope").Visible());

  chart::Series& data = charts.GetSeries("ser_DGrid");
  data.Add(0.0, 0.0);
  data.Add(1.0, 2.0);
  data.Add(2.0, 4.0);
  grid.RecomputeDerived();
  const chart::Series& trend = charts.GetSeries("ser_DGrid_Slope");
  ASSERT_EQ(trend.Count(), 2u);
  EXPECT_DOUBLE_EQ(trend.YValue(1) - trend.YValue(0), 4.0);
  EXPECT_DOUBLE_EQ(charts.GetSeries("ser_DGrid_Corr").YValue(1), 1.0);
}

TEST_F(WindowOutputs, RuleStudyAveragesPerRoundsAndHidesTrends) {
  for (const char* name :
       {"avg_ratBlueGreen", "avg_greaterThree", "avg_greaterTwo", "avg_bML", "avg_D_rad"}) {
    const chart::Series& average = charts.GetSeries(name);
    EXPECT_EQ(average.Derived(), DerivedKind::Average) << name;
    EXPECT_EQ(average.Period(), 10) << name;
  }
  EXPECT_FALSE(charts.GetSeries("trend_D_rad").Visible());
  EXPECT_EQ(charts.Get("Chart_buildAna").AllSeries().size(), 15u);
}

TEST_F(WindowOutputs, ForceCurveIsAFunctionSeriesWaitingForItsCallback) {
  chart::Series& curve = charts.GetSeries("ser_custFkt");
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
