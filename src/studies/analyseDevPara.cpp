#include "studies/analyseDevPara.h"

#include <filesystem>
#include <memory>

#include "analysis/fractal.h"
#include "analysis/structure_analysis.h"
#include "chart/chart_file.h"
#include "growth/run_control.h"
#include "io/file_names.h"
#include "simulation/numbers.h"
#include "simulation/setting_rows.h"
#include "simulation/setup.h"
#include "simulation/window_outputs.h"

namespace veltmoor {

const std::array<DevParaRow, kDevParaRows> kDevParaRowControls{{
    {"centrifugal weight :", SettingName{"E0_valFrom"}, SettingName{"E0_valTo"},
     SettingName{"CB0_acti"}, setting::kCentrifugalWeight},
    {"centripetal weight :", SettingName{"E1_valFrom"}, SettingName{"E1_valTo"},
     SettingName{"CB1_acti"}, setting::kCentripetalWeight},
    {"centrifugal scale :", SettingName{"E2_valFrom"}, SettingName{"E2_valTo"},
     SettingName{"CB2_acti"}, setting::kCentrifugalScale},
    {"centripetal scale :", SettingName{"E3_valFrom"}, SettingName{"E3_valTo"},
     SettingName{"CB3_acti"}, setting::kCentripetalScale},
    {"random scale :", SettingName{"E4_valFrom"}, SettingName{"E4_valTo"}, SettingName{"CB4_acti"},
     setting::kRandomScale},
}};

namespace {

constexpr const char* kParameters = "settings / development parameters";
constexpr const char* kSnapshot = "save snapshot";
constexpr const char* kChart = "chart";
constexpr const char* kTitle = "Analyse Development Parameters";

// A sweep of more values than this is refused rather than planned.
constexpr std::uint64_t kMaxValues = 1000000;

std::vector<SettingDef> DevParaTable() {
  using namespace setting_rows;
  constexpr std::array<std::array<const char*, 2>, kDevParaRows> kRanges{
      {{"1,0", "10,0"}, {"1,0", "10,0"}, {"1,0", "3,0"}, {"1,0", "3,0"}, {"1", "1000"}}};
  std::vector<SettingDef> table;
  for (int i = 0; i < kDevParaRows; ++i) {
    const DevParaRow& row = kDevParaRowControls[static_cast<std::size_t>(i)];
    const auto& range = kRanges[static_cast<std::size_t>(i)];
    table.push_back(Edit(row.from, row.label, range[0], kParameters));
    table.push_back(Edit(row.to, "to", range[1], kParameters));
    table.push_back(Check(row.active, "", false, kParameters));
  }
  table.push_back(Edit(setting::dev_para::kIncrement, "increment:", "0,2", kParameters));
  table.push_back(Check(setting::dev_para::kMultiply, "multiply", false, kParameters));
  table.push_back(Spin(setting::dev_para::kTimeUntilNextStep, "time until next step:", "300", 0,
                       10000, kParameters));
  table.push_back(Spin(setting::dev_para::kCalculationsPerRound, "calculations per round:", "2", 1,
                       1000, kParameters));
  table.push_back(
      Check(setting::dev_para::kSaveSnapshot, "save snapshot per value", false, kSnapshot));
  table.push_back(Edit(setting::dev_para::kBasicName, "basic name:", "xx_Veltmoor", kSnapshot));
  table.push_back(Check(setting::dev_para::kShowData, "show data", true, kChart));
  table.push_back(Check(setting::dev_para::kShowAverage, "show average", true, kChart));
  table.push_back(Check(setting::dev_para::kShowTrend, "show trend", false, kChart));
  table.push_back(Toggle(setting::dev_para::kStartStop, "start / stop", false, kChart));
  return table;
}

struct MeasureSeries {
  chart::SeriesName data;
  const char* data_title;
  chart::SeriesName average;
  const char* average_title;  // null: named after the series
  chart::SeriesName trend;
  chart::AxisSide axis;
};

constexpr MeasureSeries kMeasures[] = {
    {chart::SeriesName{"ser_FractGrid"}, "Fract_D grid", chart::SeriesName{"avg_FractGrid"},
     "avg FGrid", chart::SeriesName{"trend_FractGrid"}, chart::AxisSide::Left},
    {series_name::dev_para::kMeanLength, "mean length", chart::SeriesName{"avg_Connect"}, "avg_ML",
     chart::SeriesName{"trend_Connect"}, chart::AxisSide::Right},
    {chart::SeriesName{"ser_Rank"}, "Slope Rank", chart::SeriesName{"avg_Rank"}, nullptr,
     chart::SeriesName{"trend_Rank"}, chart::AxisSide::Left},
    {chart::SeriesName{"ser_IS"}, "IS", chart::SeriesName{"avg_IS"}, nullptr,
     chart::SeriesName{"trend_IS"}, chart::AxisSide::Left},
    {chart::SeriesName{"ser_potDens"}, "Pot / Dens", chart::SeriesName{"avg_potDens"},
     "avg_PotDens", chart::SeriesName{"trend_potDens"}, chart::AxisSide::Left},
    {chart::SeriesName{"ser_potConn"}, "Pot / Conn", chart::SeriesName{"avg_potConn"},
     "avg_PotConn", chart::SeriesName{"trend_potConn"}, chart::AxisSide::Left},
};

using RowValues = std::array<float, kDevParaRows>;

// Values live as 32-bit floats rounded to four decimals; the same step serves the sweep
// itself and its plan, so the two always agree.
float NextValue(float current, double increment, bool multiply) {
  const long double value = static_cast<long double>(current);
  return static_cast<float>(RoundTo4(multiply ? value * increment : value + increment));
}

float RoundedStart(double from) {
  return static_cast<float>(RoundTo4(from));
}

std::string ValueText(float value) {
  return FormatNumber(RoundTo4(value));
}

struct SweepInput {
  RowValues start{};
  RowValues end{};
  std::array<bool, kDevParaRows> active{};
  double increment = 0.0;
  bool multiply = false;

  bool AnyActive() const {
    for (bool a : active) {
      if (a) {
        return true;
      }
    }
    return false;
  }
};

enum class SweepEnd { Passes, NoActiveRow, Stalls, TooLong };

struct Sweep {
  SweepEnd end = SweepEnd::Passes;
  std::uint64_t value_count = 0;
  std::vector<RowValues> values;  // only when asked for
};

// Follows the values as the study will: the first value always runs, and the sweep ends
// when a row passes its end. Rounding to four decimals can pin a value for good (a tiny
// increment, multiplying 0), which would run forever.
Sweep TraceSweep(const SweepInput& in, bool keep_values) {
  Sweep sweep;
  if (!in.AnyActive()) {
    sweep.end = SweepEnd::NoActiveRow;
    return sweep;
  }
  RowValues current = in.start;
  sweep.value_count = 1;
  if (keep_values) {
    sweep.values.push_back(current);
  }
  while (true) {
    RowValues next = current;
    for (std::size_t i = 0; i < next.size(); ++i) {
      if (!in.active[i]) {
        continue;
      }
      next[i] = NextValue(next[i], in.increment, in.multiply);
      if (next[i] > in.end[i]) {
        sweep.end = SweepEnd::Passes;
        return sweep;
      }
    }
    if (next == current) {
      sweep.end = SweepEnd::Stalls;
      return sweep;
    }
    if (sweep.value_count == kMaxValues) {
      sweep.end = SweepEnd::TooLong;
      return sweep;
    }
    current = next;
    ++sweep.value_count;
    if (keep_values) {
      sweep.values.push_back(current);
    }
  }
}

SweepInput InputFromEdits(const SettingsSource& own) {
  SweepInput in;
  for (std::size_t i = 0; i < kDevParaRowControls.size(); ++i) {
    const DevParaRow& row = kDevParaRowControls[i];
    in.start[i] = RoundedStart(own.Float(row.from));
    in.end[i] = static_cast<float>(own.Float(row.to));
    in.active[i] = own.Checked(row.active);
  }
  in.increment = own.Float(setting::dev_para::kIncrement);
  in.multiply = own.Checked(setting::dev_para::kMultiply);
  return in;
}

const char* Tag(SnapshotKind kind) {
  return kind == SnapshotKind::Main ? "main" : "measure";
}

}  // namespace

const SettingsRegistry& DevParaSettings() {
  static const SettingsRegistry registry(DevParaTable());
  return registry;
}

DevParaStudy::DevParaStudy(StudyContext context, const SettingsSource& settings)
    : Study(std::move(context)), Chart_devPara("Chart_devPara", kTitle), own_(settings) {
  CreateChart();
  sim().TimerEnabled = false;
  state_.BaseName = own_.Text(setting::dev_para::kBasicName);
  labels.Register(label::dev_para::kValue);
  labels.Register(label::dev_para::kRunOfValue);
  labels.Set(label::study::kSteps, "0");
  labels.Set(label::dev_para::kValue, "0");
  labels.Set(label::study::kRunsDone, "0");
  labels.Set(label::dev_para::kRunOfValue, "0");
  labels.Set(label::study::kRunsPlanned,
             "/ 0");  // no row is read as active before the first change
}

void DevParaStudy::CreateChart() {
  Chart_devPara.SetAxisTitles("analysed development parameters", "characteristic values",
                              "mean length");
  const int period = static_cast<int>(own_.Int(setting::dev_para::kCalculationsPerRound));
  for (const MeasureSeries& m : kMeasures) {
    chart::Series& data =
        Chart_devPara.AddSeries(m.data.Str(), m.data_title, chart::SeriesKind::Point);
    data.SetOrder(chart::XOrder::Ascending);
    chart::Series& average = Chart_devPara.AddDerived(
        m.average.Str(), m.average_title ? m.average_title : m.average.Str(),
        chart::DerivedKind::Average, data);
    average.SetPeriod(period);
    chart::Series& trend =
        Chart_devPara.AddDerived(m.trend.Str(), m.trend.Str(), chart::DerivedKind::Trend, data);
    trend.SetVisible(false);
    for (chart::Series* series : {&data, &average, &trend}) {
      series->SetVerticalAxis(m.axis);
    }
  }
}

void DevParaStudy::B_startClick() {
  NewStart();
  SetRunning(own_.Checked(setting::dev_para::kStartStop));
  state_.BaseName = own_.Text(setting::dev_para::kBasicName);
}

void DevParaStudy::B_startStopClick() {
  SetRunning(own_.Checked(setting::dev_para::kStartStop));
}

void DevParaStudy::E_bNameChange() {
  // A name half typed may not be a file name yet; the study goes on with the last good one.
  if (FileStemFault(own_.Text(setting::dev_para::kBasicName)).empty()) {
    state_.BaseName = own_.Text(setting::dev_para::kBasicName);
  }
}

void DevParaStudy::Start() {
  NewStart();
  state_.BaseName = own_.Text(setting::dev_para::kBasicName);
  SetRunning(true);
}

void DevParaStudy::CheckSweepEnds() const {
  // The base name names the study's files; as a path it could reach outside their folders.
  const std::string bad_name = FileStemFault(own_.Text(setting::dev_para::kBasicName));
  if (!bad_name.empty()) {
    throw StudySettingsError("The \"basic name:\" '" + own_.Text(setting::dev_para::kBasicName) +
                             "' " + bad_name + "; it names the study's files and can be no path.");
  }
  const SweepInput in = InputFromEdits(own_);
  if (!in.AnyActive()) {
    return;  // runs without points until stopped, which a user may want to watch
  }
  const std::string increment = "\"increment:\" " + own_.Text(setting::dev_para::kIncrement);
  if (!in.multiply && in.increment <= 0.0) {
    throw StudySettingsError(
        "The increment must be above 0, or the values never reach their "
        "end (" +
        increment + ").");
  }
  if (in.multiply && in.increment <= 1.0) {
    throw StudySettingsError(
        "With \"multiply\" the increment must be above 1, or the values "
        "never grow past their end (" +
        increment + ").");
  }
  for (std::size_t i = 0; i < in.active.size(); ++i) {
    if (in.multiply && in.active[i] && in.start[i] <= 0.0f) {
      throw StudySettingsError(std::string("With \"multiply\" the values of \"") +
                               kDevParaRowControls[i].label +
                               "\" must start above 0, or they never grow past their end.");
    }
  }
  switch (TraceSweep(in, false).end) {
    case SweepEnd::Stalls:
      throw StudySettingsError("The values stop changing before any row passes its end (" +
                               increment + " is lost in rounding to four decimals).");
    case SweepEnd::TooLong:
      throw StudySettingsError("The sweep would take more than " + FormatInt(kMaxValues) +
                               " values; choose a larger increment or a smaller range.");
    case SweepEnd::Passes:
    case SweepEnd::NoActiveRow:
      break;
  }
}

void DevParaStudy::NewStart() {
  CheckSweepEnds();
  sim().TimerEnabled = false;
  Chart_devPara.SetTitle(kTitle);
  for (const auto& series : Chart_devPara.AllSeries()) {
    series->Clear();
  }
  ClearMeasurements();
  state_.StepCounter = 0;
  state_.RunInValue = 1;
  state_.ValueIndex = 1;
  state_.RunTotal = 1;
  SetCurrentRun(0);
  labels.Set(label::study::kSteps, "0");
  labels.Set(label::dev_para::kValue, "1 / ");
  for (std::size_t i = 0; i < kDevParaRowControls.size(); ++i) {
    const double from = own_.Float(kDevParaRowControls[i].from);
    state_.CurrentValue[i] = RoundedStart(from);
    state_.StartValue[i] = static_cast<float>(from);
  }
  state_.Started = true;
  state_.SnapshotDue = false;
  ReadStudySettings();
  RestartRun();
  // The run's world is set up once more, after its values were written.
  if (CurrentSelected()) {
    FreshWorld(CurrentRun());
  }
}

void DevParaStudy::RestartRun() {
  if (CurrentSelected()) {
    FreshWorld(CurrentRun());
  }
  state_.StepCounter = 1;
  for (std::size_t i = 0; i < kDevParaRowControls.size(); ++i) {
    if (state_.RowActive[i]) {
      controls().SetText(kDevParaRowControls[i].target, ValueText(state_.CurrentValue[i]));
    }
  }
}

void DevParaStudy::StudyTick() {
  const long long to_steps = own_.Int(setting::dev_para::kTimeUntilNextStep);
  if (!CurrentSelected()) {
    // A run of another shard counts as done at once.
    state_.StepCounter = static_cast<std::uint32_t>(to_steps + 1);
  }
  if (static_cast<long long>(state_.StepCounter) > to_steps) {
    if (!state_.SnapshotDue) {
      CompleteRun();
    }
    if (state_.SnapshotDue && own_.Checked(setting::dev_para::kSaveSnapshot)) {
      // A picture that could not be taken stops the study here, so resuming takes it again
      // of the same world.
      if (!SaveSnapshot(SnapshotKind::Main)) {
        return;
      }
    }
    state_.SnapshotDue = false;
    if (state_.RunInValue > own_.Int(setting::dev_para::kCalculationsPerRound)) {
      ++state_.ValueIndex;
      labels.Set(label::dev_para::kValue, FormatInt(state_.ValueIndex) + " ; ");
      ApplyAveragePeriod();
      state_.RunInValue = 1;
      labels.Set(label::dev_para::kRunOfValue, "1");
      if (!AdvanceValues()) {
        FinishStudy();
        return;
      }
    }
    SetCurrentRun(state_.RunTotal - 1);
    RestartRun();
    if (!CurrentSelected()) {
      return;
    }
  }
  SimulationStep(sim());
  labels.Set(label::study::kSteps, FormatInt(state_.StepCounter));
  ++state_.StepCounter;
}

void DevParaStudy::CompleteRun() {
  if (CurrentSelected()) {
    MeasureRun();
  }
  labels.Set(label::study::kRunsDone, FormatInt(state_.RunTotal));
  labels.Set(label::dev_para::kRunOfValue, FormatInt(state_.RunInValue));
  ++state_.RunInValue;
  ++state_.RunTotal;
  // The picture shows the world of the value's last run, so only its own shard takes it.
  state_.SnapshotDue = state_.RunInValue > own_.Int(setting::dev_para::kCalculationsPerRound) &&
                       own_.Checked(setting::dev_para::kSaveSnapshot) && CurrentSelected();
}

bool DevParaStudy::AdvanceValues() {
  const bool multiply = own_.Checked(setting::dev_para::kMultiply);
  for (std::size_t i = 0; i < kDevParaRowControls.size(); ++i) {
    if (!state_.RowActive[i]) {
      continue;
    }
    state_.CurrentValue[i] =
        NextValue(state_.CurrentValue[i], own_.Float(setting::dev_para::kIncrement), multiply);
    if (state_.CurrentValue[i] > state_.EndValue[i]) {
      return false;
    }
  }
  return true;
}

void DevParaStudy::FinishStudy() {
  SetRunning(false);
  if (own_.Checked(setting::dev_para::kSaveSnapshot)) {
    SaveSnapshot(SnapshotKind::Measure);
  }
  SaveStudyData();
}

int DevParaStudy::FirstActiveRow() const {
  for (int i = 0; i < kDevParaRows; ++i) {
    if (state_.RowActive[static_cast<std::size_t>(i)]) {
      return i;
    }
  }
  return -1;
}

void DevParaStudy::MeasureRun() {
  Simulation& s = sim();
  AnalyseNetwork();
  if (s.world.FieldType > kFieldNetworkOnly) {
    StructureAnalysis(s);
  }
  RadialAnalysis(s);
  GridAnalysis(s);
  auto squared = [](std::optional<double> r) -> std::optional<double> {
    if (!r) {
      return std::nullopt;
    }
    return *r * *r;
  };
  const std::optional<double> r2_density =
      squared(FirstY(s.charts.GetSeries(series_name::kPotentialDensityCorrelation)));
  const std::optional<double> r2_connectivity =
      squared(FirstY(s.charts.GetSeries(series_name::kPotentialConnectivityCorrelation)));

  const int row = FirstActiveRow();
  if (row >= 0) {
    const double x = RoundTo4(state_.CurrentValue[static_cast<std::size_t>(row)]);
    std::optional<double> rank = NumberIn(s.valueList.Value(value_key::kRankSlope));
    if (rank) {
      *rank = -*rank;
    }
    const std::optional<double> ys[] = {
        NumberIn(s.valueList.Value(value_key::kGridSlope)),   s.world.MeanLength, rank,
        NumberIn(s.valueList.Value(value_key::kSegregation)), r2_density,         r2_connectivity};
    for (std::size_t i = 0; i < std::size(kMeasures); ++i) {
      AddPoint(Chart_devPara.Get(kMeasures[i].data), x, ys[i], CurrentRun(), state_.ValueIndex - 1);
    }
  }
  for (const MeasureSeries& m : kMeasures) {
    Chart_devPara.Get(m.trend).Recompute();
  }
}

void DevParaStudy::ApplyAveragePeriod() {
  const int period = static_cast<int>(own_.Int(setting::dev_para::kCalculationsPerRound));
  for (const MeasureSeries& m : kMeasures) {
    chart::Series& average = Chart_devPara.Get(m.average);
    average.SetPeriod(period);
    average.Recompute();
  }
}

std::optional<std::uint64_t> DevParaStudy::PlannedRuns() const {
  SweepInput in;
  for (std::size_t i = 0; i < kDevParaRowControls.size(); ++i) {
    in.start[i] = state_.Started ? RoundedStart(state_.StartValue[i])
                                 : RoundedStart(own_.Float(kDevParaRowControls[i].from));
  }
  in.end = state_.EndValue;
  in.active = state_.RowActive;
  in.increment = own_.Float(setting::dev_para::kIncrement);
  in.multiply = own_.Checked(setting::dev_para::kMultiply);
  const Sweep sweep = TraceSweep(in, false);
  if (sweep.end == SweepEnd::NoActiveRow) {
    return 0;
  }
  if (sweep.end != SweepEnd::Passes) {
    return std::nullopt;
  }
  return sweep.value_count *
         static_cast<std::uint64_t>(own_.Int(setting::dev_para::kCalculationsPerRound));
}

void DevParaStudy::ReadStudySettings() {
  labels.Set(label::dev_para::kRunOfValue, FormatInt(state_.RunInValue));
  for (std::size_t i = 0; i < kDevParaRowControls.size(); ++i) {
    state_.EndValue[i] = static_cast<float>(own_.Float(kDevParaRowControls[i].to));
    state_.RowActive[i] = own_.Checked(kDevParaRowControls[i].active);
  }
  ReadFieldType(sim().world, sim().settings);
  const std::optional<std::uint64_t> planned = PlannedRuns();
  labels.Set(label::study::kRunsPlanned, planned
                                             ? "/ " + FormatInt(static_cast<long long>(*planned))
                                             : std::string(label::study::kPlanRefused));
}

void DevParaStudy::UpdateSeriesVisibility() {
  const bool data = own_.Checked(setting::dev_para::kShowData);
  const bool average = own_.Checked(setting::dev_para::kShowAverage);
  const bool trend = own_.Checked(setting::dev_para::kShowTrend);
  for (const MeasureSeries& m : kMeasures) {
    Chart_devPara.Get(m.data).SetVisible(data);
    Chart_devPara.Get(m.average).SetVisible(average);
    Chart_devPara.Get(m.trend).SetVisible(trend);
  }
}

std::string DevParaStudy::SnapshotPath(SnapshotKind kind) const {
  const std::string name = state_.BaseName + "_" + Tag(kind) + "_" + FormatInt(state_.ValueIndex) +
                           "_" + FormatInt(static_cast<long long>(state_.StepCounter) - 1) + ".jpg";
  return (context().base_dir / "pictures" / name).string();
}

std::string DevParaStudy::DataFilePath() const {
  const std::string name = state_.BaseName + "_" + FormatInt(state_.ValueIndex) + ".tee";
  return (context().base_dir / "data" / name).string();
}

bool DevParaStudy::SaveSnapshot(SnapshotKind kind) {
  SnapshotTaker* taker = context().snapshots;
  if (taker == nullptr) {
    return true;
  }
  const std::string path = SnapshotPath(kind);
  return WriteStudyFile(path, [&] { taker->Snapshot(path, kind); });
}

bool DevParaStudy::SaveStudyData() {
  Chart_devPara.UndoZoom();
  const std::string path = DataFilePath();
  return WriteStudyFile(path, [&] { chart::SaveChartFile(Chart_devPara, path); });
}

RunPlan DevParaStudy::PlanRuns() const {
  CheckSweepEnds();
  const SweepInput in = InputFromEdits(own_);
  const auto runs_per_value =
      static_cast<std::uint64_t>(own_.Int(setting::dev_para::kCalculationsPerRound));
  if (!in.AnyActive()) {
    return RunPlan::Unbounded(runs_per_value, {});
  }
  auto values = std::make_shared<const std::vector<RowValues>>(TraceSweep(in, true).values);
  const std::array<bool, kDevParaRows> active = in.active;
  return RunPlan(values->size(), runs_per_value, [values, active](std::uint64_t index) {
    const RowValues& row_values = (*values)[index];
    PlannedValue planned;
    for (std::size_t i = 0; i < active.size(); ++i) {
      if (!active[i]) {
        continue;
      }
      if (!planned.x) {
        planned.x = RoundTo4(row_values[i]);
      }
      planned.writes.push_back({kDevParaRowControls[i].target.Str(), ValueText(row_values[i])});
    }
    return planned;
  });
}

void DevParaStudy::ReplayMeasurements(const std::vector<Measurement>& records) {
  std::vector<chart::SeriesName> data_series;
  for (const MeasureSeries& m : kMeasures) {
    data_series.push_back(m.data);
  }
  Chart_devPara.SetTitle(kTitle);
  ReplayPoints(Chart_devPara, data_series, records);
  ApplyAveragePeriod();
  for (const MeasureSeries& m : kMeasures) {
    Chart_devPara.Get(m.trend).Recompute();
  }
  // Where the study ends: one value past the last, after a full run; the file names follow.
  const RunPlan plan = PlanRuns();
  if (const auto values = plan.ValueCount()) {
    state_.ValueIndex = static_cast<std::uint32_t>(*values + 1);
  }
  state_.StepCounter =
      static_cast<std::uint32_t>(own_.Int(setting::dev_para::kTimeUntilNextStep) + 1);
  state_.BaseName = own_.Text(setting::dev_para::kBasicName);
}

}  // namespace veltmoor
