// The building-rule study of the simulation window: runs the simulation repeatedly under
// each ticked building rule and charts, per rule, the share of build land, two neighbour
// percentages, the mean street length and the radial fractal measure. Its settings and its
// chart (Chart_buildAna) belong to the simulation window.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "chart/chart.h"
#include "studies/study.h"

namespace veltmoor {

struct BuildingRule {
  SettingName check_box;   // its activation box in the simulation window
  std::array<int, 4> gen;  // the values for SE_genA .. SE_genD
};
extern const std::array<BuildingRule, 5> kBuildingRules;

class BuildingRuleStudy : public Study {
 public:
  // Reads the simulation window's settings (sim.settings) and writes its spin edits.
  explicit BuildingRuleStudy(StudyContext context);

  void B_startBuildAnaClick() { StartBuildingRuleStudy(); }  // "new start"
  void B_stopBuildAnaClick() { SetRunning(!Running()); }     // "start / stop"
  void SE_rdsPerValChange() { SetAveragePeriods(); }

  // Throws StudySettingsError when no rule is ticked.
  void StartBuildingRuleStudy();
  void SelectNextRule();
  void ClearStudySeries();
  void SetAveragePeriods();
  void BuildingStudyTick();
  void RecordStudyRun();

  // 1..5 while the study runs, 0 before the first selection, above 5 once the rules ran out.
  int RuleNumber() const { return rule_number_; }
  // Finished study runs of the current rule.
  long long RuleRunCount() const { return rule_run_count_; }

  void Start() override { StartBuildingRuleStudy(); }
  void Tick() override { BuildingStudyTick(); }
  RunPlan PlanRuns() const override;
  chart::Chart& StudyChart() override;
  void ReplayMeasurements(const std::vector<Measurement>& records) override;

 private:
  void CheckSomeRuleTicked() const;

  int rule_number_ = 0;
  long long rule_run_count_ = 0;
  std::uint64_t selections_ = 0;  // SelectNextRule calls since the new start
};

}  // namespace veltmoor
