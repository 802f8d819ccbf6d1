// The development-parameter study: sweeps up to five development parameters of the
// simulation window over ranges of values, makes several fresh runs per value, and charts
// six characteristic measures of each run against the value, with snapshot pictures and
// the study chart saved beside the executable.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "chart/chart.h"
#include "simulation/output_models.h"
#include "simulation/settings.h"
#include "studies/study.h"

namespace veltmoor {

inline constexpr int kDevParaRows = 5;
// The rows as they stand in the window from the top; the row index decides the order in
// which rows are processed.
inline constexpr std::array<int, kDevParaRows> kDevParaScreenOrder{1, 0, 3, 2, 4};

struct DevParaRow {
  const char* label;   // the row's caption in the study window
  SettingName from;    // its from edit
  SettingName to;      // its to edit
  SettingName active;  // its activation box
  SettingName target;  // the simulation window's edit box the values go to
};
extern const std::array<DevParaRow, kDevParaRows> kDevParaRowControls;

// The study window's controls (caption "AnaDevPara").
const SettingsRegistry& DevParaSettings();

// Besides the rows' controls above.
namespace setting::dev_para {
inline constexpr SettingName kIncrement{"E_incre"};
inline constexpr SettingName kMultiply{"cb_multiply"};
inline constexpr SettingName kTimeUntilNextStep{"SE_toSteps"};
inline constexpr SettingName kCalculationsPerRound{"SE_perVal"};
inline constexpr SettingName kSaveSnapshot{"Cb_saveSnap"};
inline constexpr SettingName kBasicName{"E_bName"};
inline constexpr SettingName kShowData{"CB_dataShow"};
inline constexpr SettingName kShowAverage{"CB_avgShow"};
inline constexpr SettingName kShowTrend{"CB_trendShow"};
inline constexpr SettingName kStartStop{"B_startStop"};
}  // namespace setting::dev_para

// The window's labels beside the progress labels of every study.
namespace label::dev_para {
inline constexpr LabelName kValue{"Lbl_mainRds"};  // the value being studied, of how many
inline constexpr LabelName kRunOfValue{"Lbl_round"};
}  // namespace label::dev_para

// The study's mean-length series, which a picture of the study shows on its own.
namespace series_name::dev_para {
inline constexpr chart::SeriesName kMeanLength{"ser_Connect"};
}  // namespace series_name::dev_para

struct DevParaState {
  std::array<float, kDevParaRows> CurrentValue{};  // always rounded to four decimals
  std::array<float, kDevParaRows> EndValue{};
  std::array<float, kDevParaRows> StartValue{};  // the from edits at the last new start
  std::array<bool, kDevParaRows> RowActive{};
  std::uint32_t StepCounter = 0;  // 1 + time steps performed in the current run
  std::uint32_t RunInValue = 0;   // from 1
  std::uint32_t ValueIndex = 0;   // from 1
  std::uint32_t RunTotal = 0;     // from 1
  std::string BaseName;
  bool Started = false;  // a new start has been made
  // The value's last run is measured but its picture is not taken yet (it failed); the
  // next tick takes it before the study moves on.
  bool SnapshotDue = false;
};

class DevParaStudy : public Study {
 public:
  // `settings` reads the study window's own controls (DevParaSettings()).
  DevParaStudy(StudyContext context, const SettingsSource& settings);

  // The progress labels and label::dev_para.
  Labels labels = ProgressLabels();
  chart::Chart Chart_devPara;

  // The window's controls.
  void B_startClick();      // "new start"; the timer then runs while "start / stop" is down
  void B_startStopClick();  // "start / stop": the timer follows the toggle button
  void B_undoZClick() { Chart_devPara.UndoZoom(); }
  void E_bNameChange();

  void NewStart();
  void RestartRun();
  void StudyTick();
  void MeasureRun();
  void ApplyAveragePeriod();
  void ReadStudySettings();
  void UpdateSeriesVisibility();
  // Both stop the study with a message naming the path when the file cannot be written,
  // and say whether it was written.
  bool SaveSnapshot(SnapshotKind kind);
  bool SaveStudyData();
  std::string SnapshotPath(SnapshotKind kind) const;
  std::string DataFilePath() const;

  const DevParaState& State() const { return state_; }

  void Start() override;
  void Tick() override { StudyTick(); }
  RunPlan PlanRuns() const override;
  chart::Chart& StudyChart() override { return Chart_devPara; }
  void ReplayMeasurements(const std::vector<Measurement>& records) override;

 private:
  void CreateChart();
  // Measures the finished run and counts it; a value's last run makes its picture due.
  void CompleteRun();
  // Moves every active row on by the increment; false once a row passes its end.
  bool AdvanceValues();
  void FinishStudy();
  void CheckSweepEnds() const;
  // Nothing when the sweep would stall or run too long: the plan is refused.
  std::optional<std::uint64_t> PlannedRuns() const;
  int FirstActiveRow() const;

  const SettingsSource& own_;
  DevParaState state_;
};

}  // namespace veltmoor
