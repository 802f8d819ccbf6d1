#include "studies/analyseClusterGrowth.h"

#include <algorithm>

#include "growth/run_control.h"
#include "simulation/numbers.h"
#include "simulation/setting_rows.h"
#include "simulation/window_outputs.h"

namespace veltmoor {

namespace {

constexpr const char* kSettings = "growing cluster:";
constexpr const char* kChart = "chart";
constexpr std::uint32_t kGreen = 0x008000;
constexpr std::uint32_t kRed = 0x0000FF;

std::vector<SettingDef> ClusterGrowthTable() {
  using namespace setting_rows;
  return {
      Spin(setting::cluster_growth::kMeasureSteps, "measure steps:", "10", 1, 10000, kSettings),
      Spin(setting::cluster_growth::kGrowUntil, "grow until:", "1000", 2, 32000, kSettings),
      Spin(setting::cluster_growth::kCalculations, "calculations:", "10", 1, 30000, kSettings),
      Check(setting::cluster_growth::kShowData, "show data", true, kChart),
      Check(setting::cluster_growth::kShowAverage, "show average", true, kChart),
      Check(setting::cluster_growth::kShowTrend, "show trend", false, kChart),
  };
}

constexpr chart::SeriesName kMeanLength{"Series_ML"};
constexpr chart::SeriesName kMeanLengthAverage{"Series_ML_Avg"};
constexpr chart::SeriesName kMeanLengthTrend{"Series_ML_Trend"};
constexpr chart::SeriesName kEdges{"Series_Edges"};
constexpr chart::SeriesName kBorder{"Series_Border"};
constexpr chart::SeriesName kStdDeviation{"Series_StDv"};
constexpr chart::SeriesName kCorrelation{"Series_Correlation"};
constexpr chart::SeriesName kMean{"Series_mean"};

constexpr chart::SeriesName kDataSeries[] = {kMeanLength, kEdges, kBorder};
// Computed once the last run is over; hidden until a user asks for them.
constexpr chart::SeriesName kEndOfStudyLines[] = {kStdDeviation, kCorrelation, kMean};

}  // namespace

const SettingsRegistry& ClusterGrowthSettings() {
  static const SettingsRegistry registry(ClusterGrowthTable());
  return registry;
}

ClusterGrowthStudy::ClusterGrowthStudy(StudyContext context, const SettingsSource& settings)
    : Study(std::move(context)),
      Chart_growCluster("Chart_growCluster", "growing cluster"),
      own_(settings) {
  Chart_growCluster.SetAxisTitles("cluster size ", "mean length (ml)", "edges & borders");
  chart::Series& ml =
      Chart_growCluster.AddSeries(kMeanLength.Str(), "ML", chart::SeriesKind::Point);
  ml.SetColor(kRed);
  Chart_growCluster.AddDerived(kMeanLengthAverage.Str(), "avg ML", chart::DerivedKind::Average, ml)
      .SetPeriod(1);
  Chart_growCluster.AddDerived(kMeanLengthTrend.Str(), "trend", chart::DerivedKind::Trend, ml);
  for (const auto& [name, title] : {std::pair{kEdges, "edges"}, {kBorder, "border"}}) {
    Chart_growCluster.AddSeries(name.Str(), title, chart::SeriesKind::Point)
        .SetVerticalAxis(chart::AxisSide::Right);
  }
  const std::pair<chart::SeriesName, chart::DerivedKind> summaries[] = {
      {kStdDeviation, chart::DerivedKind::StdDeviation},
      {kCorrelation, chart::DerivedKind::Correlation},
      {kMean, chart::DerivedKind::Mean}};
  for (const auto& [name, kind] : summaries) {
    chart::Series& line = Chart_growCluster.AddDerived(name.Str(), name.Str(), kind, ml);
    line.SetVerticalAxis(chart::AxisSide::Right);
    line.SetShowMarks(true);
    line.SetVisible(false);
  }
  // Every run measures at the same step counts; keeping each count's points together is
  // what lets the average line take one group per count.
  for (const chart::SeriesName name : kDataSeries) {
    Chart_growCluster.Get(name).SetOrder(chart::XOrder::Ascending);
  }
  UpdateSeriesVisibility();
  labels.Set(label::study::kSteps, "0");
  labels.Set(label::study::kRunsDone, "1");
  ShowPlannedRuns();
}

void ClusterGrowthStudy::ShowPlannedRuns() {
  labels.Set(label::study::kRunsPlanned, "/ " + own_.Text(setting::cluster_growth::kCalculations));
}

void ClusterGrowthStudy::UpdateSeriesVisibility() {
  Chart_growCluster.Get(kMeanLength).SetVisible(own_.Checked(setting::cluster_growth::kShowData));
  Chart_growCluster.Get(kMeanLengthAverage)
      .SetVisible(own_.Checked(setting::cluster_growth::kShowAverage));
  Chart_growCluster.Get(kMeanLengthTrend)
      .SetVisible(own_.Checked(setting::cluster_growth::kShowTrend));
}

void ClusterGrowthStudy::Start() {
  NewStart();
  SetRunning(true);
}

void ClusterGrowthStudy::NewStart() {
  SelectNetworkOnly();
  sim().TimerEnabled = false;
  Chart_growCluster.SetTitle("growing cluster with minDist = " +
                             FormatInt(sim().settings.Int(setting::kMinDistance)));
  for (const chart::SeriesName name :
       {kMeanLength, kMeanLengthAverage, kStdDeviation, kBorder, kEdges, kCorrelation}) {
    Chart_growCluster.Get(name).Clear();
  }
  Chart_growCluster.Get(kMeanLengthAverage).SetColor(kGreen);
  Chart_growCluster.Get(kMeanLengthAverage)
      .SetVisible(own_.Checked(setting::cluster_growth::kShowAverage));
  Chart_growCluster.Get(kMeanLengthTrend)
      .SetVisible(own_.Checked(setting::cluster_growth::kShowTrend));
  ClearMeasurements();
  runs_measured_ = 0;
  state_.RunTotal = 1;
  state_.StepsSinceMeasure = 0;
  SetCurrentRun(0);
  labels.Set(label::study::kRunsDone, "1");
  RestartRun();
  if (CurrentSelected()) {
    FreshWorld(CurrentRun());
  }
  SelectNetworkOnly();
}

void ClusterGrowthStudy::RestartRun() {
  if (CurrentSelected()) {
    FreshWorld(CurrentRun());
  }
  state_.StepsSinceMeasure = 0;
  state_.StepCounter = 1;
  measure_in_run_ = 0;
}

void ClusterGrowthStudy::StudyTick() {
  const long long to_steps = own_.Int(setting::cluster_growth::kGrowUntil);
  if (!CurrentSelected()) {
    // A run of another shard counts as done at once.
    state_.StepCounter = static_cast<std::uint32_t>(to_steps + 1);
  }
  if (static_cast<long long>(state_.StepCounter) >= to_steps + 1) {
    if (CurrentSelected()) {
      ++runs_measured_;
    }
    chart::Series& average = Chart_growCluster.Get(kMeanLengthAverage);
    average.SetPeriod(static_cast<int>(std::max<std::uint64_t>(runs_measured_, 1)));
    average.Recompute();
    Chart_growCluster.Get(kMeanLengthTrend).Recompute();
    labels.Set(label::study::kRunsDone, FormatInt(state_.RunTotal));
    ++state_.RunTotal;
    if (own_.Int(setting::cluster_growth::kCalculations) <
        static_cast<long long>(state_.RunTotal)) {
      FinishStudy();
      return;
    }
    SetCurrentRun(state_.RunTotal - 1);
    RestartRun();
    if (!CurrentSelected()) {
      return;
    }
  }
  NetworkPhase(sim().Growth());
  labels.Set(label::study::kSteps, FormatInt(state_.StepCounter));
  ++state_.StepCounter;
  ++state_.StepsSinceMeasure;
  if (static_cast<long long>(state_.StepsSinceMeasure) >=
      own_.Int(setting::cluster_growth::kMeasureSteps)) {
    MeasureRun();
    state_.StepsSinceMeasure = 0;
  }
}

void ClusterGrowthStudy::MeasureRun() {
  AnalyseNetwork();
  const auto x = static_cast<double>(state_.StepCounter);
  const Simulation& s = sim();
  const std::optional<double> ys[] = {s.world.MeanLength, static_cast<double>(s.world.EdgeCount),
                                      FirstY(s.charts.GetSeries(series_name::kEdgesPerNode))};
  for (std::size_t i = 0; i < std::size(kDataSeries); ++i) {
    AddPoint(Chart_growCluster.Get(kDataSeries[i]), x, ys[i], CurrentRun(), measure_in_run_);
  }
  ++measure_in_run_;
}

void ClusterGrowthStudy::FinishStudy() {
  for (const chart::SeriesName name : kEndOfStudyLines) {
    Chart_growCluster.Get(name).Recompute();
  }
  SetRunning(false);
  state_.RunTotal = 1;
}

RunPlan ClusterGrowthStudy::PlanRuns() const {
  return RunPlan(1, static_cast<std::uint64_t>(own_.Int(setting::cluster_growth::kCalculations)),
                 [](std::uint64_t) { return PlannedValue{}; });
}

void ClusterGrowthStudy::ReplayMeasurements(const std::vector<Measurement>& records) {
  ReplayPoints(Chart_growCluster, {std::begin(kDataSeries), std::end(kDataSeries)}, records);
  chart::Series& average = Chart_growCluster.Get(kMeanLengthAverage);
  average.SetPeriod(static_cast<int>(own_.Int(setting::cluster_growth::kCalculations)));
  average.Recompute();
  Chart_growCluster.Get(kMeanLengthTrend).Recompute();
  for (const chart::SeriesName name : kEndOfStudyLines) {
    Chart_growCluster.Get(name).Recompute();
  }
}

}  // namespace veltmoor
