#include "studies/building_rule_study.h"

#include <gtest/gtest.h>

#include "simulation/window_outputs.h"
#include "studies/study_fixture.h"

namespace veltmoor {
namespace {

using testing::RunToEnd;

class BuildingRuleStudyTest : public ::testing::Test {
 protected:
  BuildingRuleStudyTest() : study(world.Context(folder.path())) {
    settings().Set(setting::kStepsPerRound, "1");
    settings().Set(setting::kRoundsPerRule, "2");
  }
  MapSettings& settings() { return world.t.settings; }
  void TickOnly(SettingName rule) {
    for (const BuildingRule& r : kBuildingRules) {
      settings().SetChecked(r.check_box, r.check_box == rule);
    }
  }

  testing::ScratchFolder folder;
  testing::StudyWorld world;
  BuildingRuleStudy study;
};

TEST_F(BuildingRuleStudyTest, OnlyRuleThreeLoadsItsDigitsAndPlotsAtThree) {
  TickOnly(setting::kRule5012);
  study.StartBuildingRuleStudy();
  EXPECT_EQ(study.RuleNumber(), 3);
  EXPECT_TRUE(study.Running());
  EXPECT_FALSE(world.t.sim.TimerEnabled);
  const SettingName gens[] = {setting::kGenA, setting::kGenB, setting::kGenC, setting::kGenD};
  const char* digits[] = {"5", "0", "1", "2"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(settings().Text(gens[i]), digits[i]);
  }

  // With one step per round each tick is a whole study run; two rounds end the rule.
  EXPECT_EQ(RunToEnd(study), 2);
  EXPECT_FALSE(study.Running());
  EXPECT_GT(study.RuleNumber(), 5);
  const chart::Chart& chart = study.StudyChart();
  const chart::Series& ml = *chart.Find("ser_bML");
  ASSERT_EQ(ml.Count(), 2u);
  EXPECT_EQ(ml.XValue(0), 3.0);
  EXPECT_EQ(ml.XValue(1), 3.0);
  EXPECT_EQ(chart.Find("avg_bML")->Count(), 1u);
  EXPECT_EQ(chart.Find("avg_bML")->Period(), 2);
  for (const Measurement& m : study.Measurements()) {
    EXPECT_EQ(m.x, 3.0);
    EXPECT_EQ(m.value_index, 0u);
  }
  // A fresh world is left behind after the last run.
  EXPECT_EQ(world.t.sim.world.TimeStep, 0u);
}

TEST_F(BuildingRuleStudyTest, StudyRunsLastStepsPerRoundTimeSteps) {
  settings().Set(setting::kStepsPerRound, "3");
  settings().Set(setting::kRoundsPerRule, "1");
  TickOnly(setting::kRule8114);
  settings().SetChecked(setting::kRule3010, true);
  const RunPlan plan = study.PlanRuns();
  ASSERT_EQ(plan.RunCount(), 2u);
  EXPECT_EQ(*plan.Run(1).value.x, 5.0);
  EXPECT_EQ(plan.Run(1).value.writes.back(), (ControlWrite{setting::kGenD.Str(), "0"}));

  study.StartBuildingRuleStudy();
  EXPECT_EQ(RunToEnd(study), 6);
  const chart::Series& ml = *study.StudyChart().Find("ser_bML");
  ASSERT_EQ(ml.Count(), 2u);
  EXPECT_EQ(ml.XValue(1), 5.0);
  EXPECT_EQ(study.Measurements().back().run, 1u);
  EXPECT_EQ(study.Measurements().back().value_index, 1u);
}

TEST_F(BuildingRuleStudyTest, NoRuleTickedIsRefused) {
  TickOnly(SettingName{"none"});
  EXPECT_THROW(study.StartBuildingRuleStudy(), StudySettingsError);
  EXPECT_FALSE(study.Running());
  EXPECT_THROW(study.PlanRuns(), StudySettingsError);
}

TEST_F(BuildingRuleStudyTest, RadialMeasureOfANetworkWithoutNodesIsMissingNotZero) {
  // No initial street and network growth only: no node, so the radial analysis has no
  // segment to fit and "slope_edge" reads "-".
  TickOnly(setting::kRule3011);
  settings().SetChecked(setting::kCenterNode, false);
  settings().SetChecked(setting::kNetworkOnly, true);
  study.StartBuildingRuleStudy();
  RunToEnd(study);
  EXPECT_EQ(world.t.sim.valueList.Value(value_key::kEdgeSlope), "-");
  EXPECT_EQ(study.StudyChart().Find("ser_D_rad")->Count(), 0u);
  EXPECT_EQ(study.StudyChart().Find("ser_bML")->Count(), 2u);
  EXPECT_TRUE(testing::OfSeries(study.Measurements(), "ser_D_rad").empty());
}

TEST_F(BuildingRuleStudyTest, RoundsPerRuleChangeTakesTheNewAveragePeriod) {
  settings().Set(setting::kRoundsPerRule, "4");
  study.SE_rdsPerValChange();
  EXPECT_EQ(study.StudyChart().Find("avg_ratBlueGreen")->Period(), 4);
}

}  // namespace
}  // namespace veltmoor
