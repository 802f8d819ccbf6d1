// Targets read from the two file layouts, and towns grown to a size or stopped short.
#include "studies/calibration.h"

#include <gtest/gtest.h>

#include "analysis/analysis_values.h"
#include "analysis/fractal.h"
#include "growth/run_control.h"
#include "simulation/setup.h"
#include "simulation/window_outputs.h"
#include "support/test_simulation.h"

namespace veltmoor {
namespace {

using nlohmann::json;

TEST(CalibrationTargetTest, ReadsMeasuresFilesAndNamedValues) {
  const json measures = {{"MeanLength", 6.62},
                         {"DevelopedShare", nullptr},
                         {"Labels", {{"lbl_grOne", "77"}}},
                         {"ValueList", json::array({json::array({"D_grid", "1,77"}),
                                                    json::array({"slope_rank", "-1,53"}),
                                                    json::array({"IS_developed_cells", "-"})})}};
  const auto from_run = ReadTarget(measures, {"D_grid", "slope_rank", "MeanLength", "lbl_grOne"});
  ASSERT_EQ(from_run.size(), 4u);
  EXPECT_EQ(from_run[0], (TargetValue{"D_grid", 1.77, 1.0}));
  EXPECT_EQ(from_run[1], (TargetValue{"slope_rank", -1.53, 1.0}));
  EXPECT_EQ(from_run[2], (TargetValue{"MeanLength", 6.62, 1.0}));
  EXPECT_EQ(from_run[3], (TargetValue{"lbl_grOne", 77.0, 1.0}));
  // A dash or null is no number: the run was not analysed or the measure undefined.
  EXPECT_THROW(ReadTarget(measures, {"IS_developed_cells"}), CalibrationInputError);
  EXPECT_THROW(ReadTarget(measures, {"DevelopedShare"}), CalibrationInputError);

  const json named = {{"IS", 0.7}, {"D_grid", {{"value", 1.8}, {"weight", 3}}}};
  const auto values = ReadTarget(named, {"D_grid", "IS_developed_cells"});
  EXPECT_EQ(values[0], (TargetValue{"D_grid", 1.8, 3.0}));
  EXPECT_EQ(values[1], (TargetValue{"IS_developed_cells", 0.7, 1.0}));
  EXPECT_THROW(ReadTarget(named, {"slope_rank"}), CalibrationInputError);
  EXPECT_THROW(ReadTarget(json{{"D_grid", "1,8"}}, {"D_grid"}), CalibrationInputError);
  EXPECT_THROW(ReadTarget(json{{"D_grid", {{"value", 1.8}, {"weight", 0}}}}, {"D_grid"}),
               CalibrationInputError);
  EXPECT_THROW(ReadTarget(json::array(), {"D_grid"}), CalibrationInputError);

  EXPECT_EQ(CanonicalMeasureName("IS"), "IS_developed_cells");
  EXPECT_FALSE(CanonicalMeasureName("lbl_rat1"));
}

TEST(CalibrationGrowthTest, GrowsToTheDevelopedSizeOrSaysWhyItStopped) {
  testing::TestSimulation t(300, 300);
  t.settings.SetChecked(setting::kBoom, true);
  NewSetup(t.sim);
  StartRun(t.sim);
  const Growth reached = GrowTown(t.sim, {GrowthLimit::Kind::Developed, 40});
  EXPECT_EQ(reached.end, RunEnd::Done);
  EXPECT_GE(reached.developed, 40);
  EXPECT_EQ(reached.developed, DevelopedFineCells(t.world()));

  // Far more than the area holds: the run ends or stalls, it does not loop.
  const Growth short_of = GrowTown(t.sim, {GrowthLimit::Kind::Developed, 1000000});
  EXPECT_NE(short_of.end, RunEnd::Done);
  EXPECT_LT(short_of.developed, 1000000);

  StopRun(t.sim);
  const Growth stopped = GrowTown(t.sim, {GrowthLimit::Kind::Steps, 10});
  EXPECT_EQ(stopped.end, RunEnd::Ended);
  EXPECT_EQ(stopped.steps, 0);
}

// Value-list measures travel as the numbers the analysis computed; the shown text is only
// their rounding, and files written before the numbers were kept still read from it.
TEST(CalibrationMeasureTest, ValueListMeasuresAreReadAtFullPrecision) {
  testing::TestSimulation t(300, 300);
  t.random.SetFixedSeed(4);
  t.settings.SetChecked(setting::kBoom, true);
  NewSetup(t.sim);
  EXPECT_FALSE(ReadMeasure(t.sim, "D_grid", nullptr));
  StartRun(t.sim);
  for (int i = 0; i < 30; ++i) {
    SimulationStep(t.sim);
  }
  GridAnalysis(t.sim);
  const std::optional<double> number = t.sim.valueList.Number(value_key::kGridDimension);
  ASSERT_TRUE(number);
  EXPECT_EQ(ReadMeasure(t.sim, "D_grid", nullptr), number);
  EXPECT_EQ(ShownValue(*number), t.sim.valueList.Value(value_key::kGridDimension));

  json measures = {{"ValueList", json::array({json::array({"D_grid", "1,92"})})},
                   {"ValueNumbers", {{"D_grid", 1.9234}}}};
  EXPECT_EQ(MeasureFromJson(measures, "D_grid"), 1.9234);
  measures["ValueNumbers"]["D_grid"] = nullptr;
  EXPECT_FALSE(MeasureFromJson(measures, "D_grid"));
  measures.erase("ValueNumbers");
  EXPECT_EQ(MeasureFromJson(measures, "D_grid"), 1.92);
}

}  // namespace
}  // namespace veltmoor
