#include "studies/building_rule_study.h"

#include <memory>
#include <string>

#include "analysis/fractal.h"
#include "growth/building_rules.h"
#include "growth/run_control.h"
#include "simulation/numbers.h"
#include "simulation/window_outputs.h"

namespace veltmoor {

const std::array<BuildingRule, 5> kBuildingRules{{
    {setting::kRule8114, {8, 1, 1, 4}},
    {setting::kRule7013, {7, 0, 1, 3}},
    {setting::kRule5012, {5, 0, 1, 2}},
    {setting::kRule3011, {3, 0, 1, 1}},
    {setting::kRule3010, {3, 0, 1, 0}},
}};

namespace {

constexpr SettingName kGenControls[] = {setting::kGenA, setting::kGenB, setting::kGenC,
                                        setting::kGenD};

struct RuleSeries {
  chart::SeriesName data;
  chart::SeriesName trend;
  chart::SeriesName average;
};

constexpr RuleSeries kSeries[] = {
    {series_name::kRuleBuildFreeRatio, series_name::kRuleBuildFreeRatioTrend,
     series_name::kRuleBuildFreeRatioAverage},
    {series_name::kRuleMoreThanThree, series_name::kRuleMoreThanThreeTrend,
     series_name::kRuleMoreThanThreeAverage},
    {series_name::kRuleMoreThanTwo, series_name::kRuleMoreThanTwoTrend,
     series_name::kRuleMoreThanTwoAverage},
    {series_name::kRuleMeanLength, series_name::kRuleMeanLengthTrend,
     series_name::kRuleMeanLengthAverage},
    {series_name::kRuleRadialDimension, series_name::kRuleRadialDimensionTrend,
     series_name::kRuleRadialDimensionAverage},
};

std::optional<double> PercentIn(const std::string& text) {
  try {
    return static_cast<double>(ParseInteger(text)) / 100.0;
  } catch (const ConversionError&) {
    return std::nullopt;
  }
}

std::vector<ControlWrite> RuleWrites(const BuildingRule& rule) {
  std::vector<ControlWrite> writes;
  for (std::size_t i = 0; i < rule.gen.size(); ++i) {
    writes.push_back({kGenControls[i].Str(), FormatInt(rule.gen[i])});
  }
  return writes;
}

}  // namespace

BuildingRuleStudy::BuildingRuleStudy(StudyContext context) : Study(std::move(context)) {}

chart::Chart& BuildingRuleStudy::StudyChart() {
  return sim().charts.Get(chart_name::kBuildingRules);
}

void BuildingRuleStudy::CheckSomeRuleTicked() const {
  for (const BuildingRule& rule : kBuildingRules) {
    if (sim().settings.Checked(rule.check_box)) {
      return;
    }
  }
  throw StudySettingsError(
      "No building rule is ticked: tick at least one of \"activate rule 1: 8114\" to "
      "\"activate rule 5: 3010\".");
}

void BuildingRuleStudy::StartBuildingRuleStudy() {
  CheckSomeRuleTicked();
  rule_number_ = 0;
  rule_run_count_ = 0;
  selections_ = 0;
  SetCurrentRun(0);
  ClearMeasurements();
  SelectNextRule();
  ClearStudySeries();
  ReadFieldType(sim().world, sim().settings);
  if (CurrentSelected()) {
    FreshWorld(CurrentRun());
  }
  SetRunning(true);
  sim().TimerEnabled = false;
}

void BuildingRuleStudy::SelectNextRule() {
  ++selections_;
  while (true) {
    ++rule_number_;
    if (rule_number_ < 1 || rule_number_ > static_cast<int>(kBuildingRules.size())) {
      SetRunning(false);
      return;
    }
    const BuildingRule& rule = kBuildingRules[static_cast<std::size_t>(rule_number_ - 1)];
    if (sim().settings.Checked(rule.check_box)) {
      for (const ControlWrite& write : RuleWrites(rule)) {
        controls().SetText(SettingName{write.name}, write.text);
      }
      return;
    }
  }
}

void BuildingRuleStudy::ClearStudySeries() {
  for (const auto& series : StudyChart().AllSeries()) {
    series->Clear();
  }
  SetAveragePeriods();
}

void BuildingRuleStudy::SetAveragePeriods() {
  const int period = static_cast<int>(sim().settings.Int(setting::kRoundsPerRule));
  chart::Chart& chart = StudyChart();
  for (const RuleSeries& s : kSeries) {
    chart.Get(s.average).SetPeriod(period);
  }
}

void BuildingRuleStudy::BuildingStudyTick() {
  if (CurrentSelected()) {
    // The step's own auto-stop switches the simulation window's timer, not this study's.
    SimulationStep(sim());
    if (static_cast<long long>(sim().world.TimeStep) <
        sim().settings.Int(setting::kStepsPerRound)) {
      return;
    }
    RecordStudyRun();
  }
  ++rule_run_count_;
  SetCurrentRun(CurrentRun() + 1);
  if (rule_run_count_ >= sim().settings.Int(setting::kRoundsPerRule)) {
    rule_run_count_ = 0;
    SelectNextRule();
  }
  // Also after the last rule: the study leaves a fresh world behind.
  if (CurrentSelected()) {
    FreshWorld(CurrentRun());
  }
}

void BuildingRuleStudy::RecordStudyRun() {
  Simulation& s = sim();
  BuildingStatistics(s.world, *s.sink);
  AnalyseNetwork();
  RadialAnalysis(s);
  const std::optional<double> ys[] = {LastY(s.charts.GetSeries(series_name::kBuildFreeRatio)),
                                      PercentIn(s.labels.Get(label::kMoreThanThreeNeighbours)),
                                      PercentIn(s.labels.Get(label::kMoreThanTwoNeighbours)),
                                      NumberIn(s.labels.Get(label::kMeanLength)),
                                      NumberIn(s.valueList.Value(value_key::kEdgeSlope))};
  chart::Chart& chart = StudyChart();
  for (std::size_t i = 0; i < std::size(kSeries); ++i) {
    AddPoint(chart.Get(kSeries[i].data), rule_number_, ys[i], CurrentRun(), selections_ - 1);
  }
  for (const RuleSeries& series : kSeries) {
    chart.Get(series.trend).Recompute();
    chart.Get(series.average).Recompute();
  }
}

RunPlan BuildingRuleStudy::PlanRuns() const {
  CheckSomeRuleTicked();
  auto rules = std::make_shared<std::vector<int>>();
  for (std::size_t i = 0; i < kBuildingRules.size(); ++i) {
    if (sim().settings.Checked(kBuildingRules[i].check_box)) {
      rules->push_back(static_cast<int>(i + 1));
    }
  }
  return RunPlan(
      rules->size(), static_cast<std::uint64_t>(sim().settings.Int(setting::kRoundsPerRule)),
      [rules](std::uint64_t index) {
        const int rule = (*rules)[index];
        return PlannedValue{static_cast<double>(rule),
                            RuleWrites(kBuildingRules[static_cast<std::size_t>(rule - 1)])};
      });
}

void BuildingRuleStudy::ReplayMeasurements(const std::vector<Measurement>& records) {
  std::vector<chart::SeriesName> data_series;
  for (const RuleSeries& s : kSeries) {
    data_series.push_back(s.data);
  }
  chart::Chart& chart = StudyChart();
  ReplayPoints(chart, data_series, records);
  SetAveragePeriods();
  for (const RuleSeries& series : kSeries) {
    chart.Get(series.trend).Recompute();
    chart.Get(series.average).Recompute();
  }
}

}  // namespace veltmoor
