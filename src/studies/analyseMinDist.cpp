#include "studies/analyseMinDist.h"

#include <algorithm>
#include <limits>
#include <string>

#include "growth/run_control.h"
#include "simulation/numbers.h"
#include "simulation/setting_rows.h"

namespace veltmoor {

namespace {

constexpr const char* kSettings = "settings";
constexpr const char* kChart = "chart";

std::vector<SettingDef> MinDistTable() {
  using namespace setting_rows;
  return {
      Edit(setting::min_dist::kValuesFrom, "values from:", "1", kSettings),
      Edit(setting::min_dist::kValuesTo, "to:", "10", kSettings),
      Edit(setting::min_dist::kIncrement, "increment:", "1", kSettings),
      Edit(setting::min_dist::kTimesteps, "timesteps:", "300", kSettings),
      Edit(setting::min_dist::kCalculationsPerValue, "calculations per value:", "10", kSettings),
      Check(setting::min_dist::kShowData, "show data", true, kChart),
      Check(setting::min_dist::kShowAverage, "show average", true, kChart),
      Check(setting::min_dist::kShowTrend, "show trend", false, kChart),
      Check(setting::min_dist::kShowCurveFit, "show curve fitting", false, kChart),
      Spin(setting::min_dist::kPolyDegree, "poly degree:", "3", 2, 20, kChart),
  };
}

constexpr std::uint64_t kMaxValues = 1000000;
constexpr long long kMaxRunsPerValue = 1000000;
constexpr long long kMaxSteps = 100000000;

constexpr chart::SeriesName kData{"Series_IS"};
constexpr chart::SeriesName kAverage{"Series_IS_Avg"};
constexpr chart::SeriesName kTrend{"Series_IS_Trend"};
constexpr chart::SeriesName kCurveFit{"Series_IS_Fit"};
constexpr chart::SeriesName kStdDeviation{"Series_StDv"};
constexpr chart::SeriesName kCorrelation{"Series_Correlation"};
constexpr chart::SeriesName kMean{"Series_mean"};

// The lines computed only when the sweep is over.
constexpr chart::SeriesName kEndOfStudyLines[] = {kCurveFit, kStdDeviation, kCorrelation, kMean};

}  // namespace

const SettingsRegistry& MinDistSettings() {
  static const SettingsRegistry registry(MinDistTable());
  return registry;
}

std::uint64_t MinDistStudy::Sweep::ValueCount() const {
  // The first value always runs; the sweep stops once a value passes `to`.
  if (to < from) {
    return 1;
  }
  const auto span = static_cast<std::uint64_t>(to) - static_cast<std::uint64_t>(from);
  const std::uint64_t steps = span / static_cast<std::uint64_t>(increment);
  return steps == std::numeric_limits<std::uint64_t>::max() ? steps : steps + 1;
}

MinDistStudy::MinDistStudy(StudyContext context, const SettingsSource& settings)
    : Study(std::move(context)),
      Chart_IS("Chart_IS", "mean length / min distance for connections"),
      own_(settings) {
  Chart_IS.SetAxisTitles("min. distance (minDist)", "mean length (ml)");
  chart::Series& data = Chart_IS.AddSeries(kData.Str(), kData.Str(), chart::SeriesKind::Point);
  data.SetOrder(chart::XOrder::Ascending);
  Chart_IS.AddDerived(kAverage.Str(), kAverage.Str(), chart::DerivedKind::Average, data)
      .SetPeriod(10);
  Chart_IS.AddDerived(kTrend.Str(), kTrend.Str(), chart::DerivedKind::Trend, data);
  Chart_IS.AddDerived(kCurveFit.Str(), kCurveFit.Str(), chart::DerivedKind::CurveFit, data)
      .SetDegree(state_.FitDegree);
  const std::pair<chart::SeriesName, chart::DerivedKind> summaries[] = {
      {kStdDeviation, chart::DerivedKind::StdDeviation},
      {kCorrelation, chart::DerivedKind::Correlation},
      {kMean, chart::DerivedKind::Mean}};
  for (const auto& [name, kind] : summaries) {
    chart::Series& line = Chart_IS.AddDerived(name.Str(), name.Str(), kind, data);
    line.SetVerticalAxis(chart::AxisSide::Right);
    line.SetShowMarks(true);
  }
  UpdateSeriesVisibility();
  labels.Set(label::study::kSteps, "0");
  labels.Set(label::study::kRunsDone, "0");
  ShowPlannedRuns();
}

long long MinDistStudy::Whole(SettingName name) const {
  return ParseInteger(own_.Text(name));
}

MinDistStudy::Sweep MinDistStudy::ReadSweep() const {
  Sweep sweep;
  sweep.from = Whole(setting::min_dist::kValuesFrom);
  sweep.to = Whole(setting::min_dist::kValuesTo);
  sweep.increment = Whole(setting::min_dist::kIncrement);
  sweep.runs_per_value = std::max(Whole(setting::min_dist::kCalculationsPerValue), 1LL);
  return sweep;
}

void MinDistStudy::CheckSweepEnds(const Sweep& sweep) const {
  if (sweep.increment <= 0) {
    throw StudySettingsError(
        "The increment must be a whole number above 0, or the minimum "
        "distance never passes its end (\"increment:\" " +
        own_.Text(setting::min_dist::kIncrement) + ").");
  }
  // Bounds like the development-parameter study's, so no plan runs for ever.
  if (sweep.ValueCount() > kMaxValues) {
    throw StudySettingsError("The sweep would take more than " + FormatInt(kMaxValues) +
                             " values; choose a larger increment or a smaller range.");
  }
  if (sweep.runs_per_value > kMaxRunsPerValue) {
    throw StudySettingsError("\"calculations per value:\" " +
                             own_.Text(setting::min_dist::kCalculationsPerValue) +
                             " is more than " + FormatInt(kMaxRunsPerValue) + ".");
  }
  const long long steps = Whole(setting::min_dist::kTimesteps);
  if (steps > kMaxSteps) {
    throw StudySettingsError("\"timesteps:\" " + own_.Text(setting::min_dist::kTimesteps) +
                             " is more than " + FormatInt(kMaxSteps) + ".");
  }
}

void MinDistStudy::ShowPlannedRuns() {
  try {
    labels.Set(label::study::kRunsPlanned,
               "/ " + std::to_string(PlanRuns().RunCount().value_or(0)));
  } catch (const StudySettingsError&) {
    labels.Set(label::study::kRunsPlanned, label::study::kPlanRefused);
  }
}

void MinDistStudy::UpdateSeriesVisibility() {
  Chart_IS.Get(kData).SetVisible(own_.Checked(setting::min_dist::kShowData));
  Chart_IS.Get(kAverage).SetVisible(own_.Checked(setting::min_dist::kShowAverage));
  Chart_IS.Get(kTrend).SetVisible(own_.Checked(setting::min_dist::kShowTrend));
  Chart_IS.Get(kCurveFit).SetVisible(own_.Checked(setting::min_dist::kShowCurveFit));
}

void MinDistStudy::UpD_polyDegSegClick() {
  const long long position = own_.Int(setting::min_dist::kPolyDegree);
  if (position <= 1) {
    return;
  }
  state_.FitDegree = static_cast<int>(position);
  chart::Series& fit = Chart_IS.Get(kCurveFit);
  fit.SetDegree(state_.FitDegree);
  fit.Recompute();
}

void MinDistStudy::WriteMinDist() {
  controls().SetText(setting::kMinDistance, FormatInt(state_.CurrentValue));
}

void MinDistStudy::Start() {
  NewStart();
  SetRunning(true);
}

void MinDistStudy::NewStart() {
  const Sweep sweep = ReadSweep();
  CheckSweepEnds(sweep);
  finished_ = false;
  SelectNetworkOnly();
  sim().TimerEnabled = false;
  state_.StepCounter = 0;
  for (const chart::SeriesName name : {kData, kAverage, kCurveFit, kStdDeviation, kCorrelation}) {
    Chart_IS.Get(name).Clear();
  }
  Chart_IS.Get(kAverage).SetPeriod(static_cast<int>(sweep.runs_per_value));
  Chart_IS.Get(kCurveFit).SetDegree(state_.FitDegree);
  Chart_IS.Get(kAverage).SetVisible(own_.Checked(setting::min_dist::kShowAverage));
  Chart_IS.Get(kTrend).SetVisible(own_.Checked(setting::min_dist::kShowTrend));
  Chart_IS.Get(kCurveFit).SetVisible(own_.Checked(setting::min_dist::kShowCurveFit));
  ClearMeasurements();
  state_.RunInValue = 1;
  state_.RunTotal = 0;
  value_index_ = 0;
  SetCurrentRun(0);
  labels.Set(label::study::kRunsDone, "0");
  state_.CurrentValue = sweep.from;
  WriteMinDist();
  if (CurrentSelected()) {
    FreshWorld(0);
  }
  SelectNetworkOnly();
}

void MinDistStudy::StudyTick() {
  // A failing tick stops the timer, so the failure is reported once rather than every
  // millisecond.
  try {
    AdvanceStudy();
  } catch (...) {
    SetRunning(false);
    throw;
  }
}

void MinDistStudy::AdvanceStudy() {
  const long long to_steps = Whole(setting::min_dist::kTimesteps);
  if (!CurrentSelected() && static_cast<long long>(state_.StepCounter) < to_steps) {
    // A run of another shard counts as done at once.
    state_.StepCounter = static_cast<std::uint32_t>(to_steps);
  }
  if (static_cast<long long>(state_.StepCounter) >= to_steps) {
    // Everything the tick reads is read before the run is measured, so a tick that fails
    // here leaves the run to be measured once the settings are mended.
    const bool value_done = state_.RunInValue + 1 > Whole(setting::min_dist::kCalculationsPerValue);
    const Sweep sweep = value_done ? ReadSweep() : Sweep{};
    if (value_done) {
      CheckSweepEnds(sweep);
    }
    if (CurrentSelected()) {
      MeasureRun();
    }
    ++state_.RunInValue;
    ++state_.RunTotal;
    labels.Set(label::study::kRunsDone, FormatInt(state_.RunTotal));
    if (value_done) {
      // The value moves on before the end is tested, so a study resumed after its end
      // measures at the value beyond `to`. The increment is above 0; a sum past the integer
      // range stops at its top, which is past every `to` but the largest.
      state_.CurrentValue =
          state_.CurrentValue > std::numeric_limits<long long>::max() - sweep.increment
              ? std::numeric_limits<long long>::max()
              : state_.CurrentValue + sweep.increment;
      ++value_index_;
      if (state_.CurrentValue > sweep.to) {
        FinishStudy();
        return;
      }
      state_.RunInValue = 1;
    }
    state_.StepCounter = 0;
    WriteMinDist();
    SetCurrentRun(state_.RunTotal);
    if (!CurrentSelected()) {
      return;
    }
    FreshWorld(CurrentRun());
  }
  NetworkPhase(sim().Growth());
  labels.Set(label::study::kSteps, FormatInt(state_.StepCounter));
  ++state_.StepCounter;
}

void MinDistStudy::MeasureRun() {
  AnalyseNetwork();
  AddPoint(Chart_IS.Get(kData), static_cast<double>(state_.CurrentValue), sim().world.MeanLength,
           CurrentRun(), value_index_);
  Chart_IS.Get(kAverage).Recompute();
  Chart_IS.Get(kTrend).Recompute();
}

void MinDistStudy::FinishStudy() {
  for (const chart::SeriesName name : kEndOfStudyLines) {
    Chart_IS.Get(name).Recompute();
  }
  SetRunning(false);
  finished_ = true;
}

RunPlan MinDistStudy::PlanRuns() const {
  const Sweep sweep = ReadSweep();
  CheckSweepEnds(sweep);
  return RunPlan(sweep.ValueCount(), static_cast<std::uint64_t>(sweep.runs_per_value),
                 [sweep](std::uint64_t index) {
                   const long long value =
                       sweep.from + static_cast<long long>(index) * sweep.increment;
                   return PlannedValue{static_cast<double>(value),
                                       {{setting::kMinDistance.Str(), FormatInt(value)}}};
                 });
}

void MinDistStudy::ReplayMeasurements(const std::vector<Measurement>& records) {
  ReplayPoints(Chart_IS, {kData}, records);
  Chart_IS.Get(kAverage).SetPeriod(static_cast<int>(ReadSweep().runs_per_value));
  Chart_IS.Get(kAverage).Recompute();
  Chart_IS.Get(kTrend).Recompute();
  for (const chart::SeriesName name : kEndOfStudyLines) {
    Chart_IS.Get(name).Recompute();
  }
}

}  // namespace veltmoor
