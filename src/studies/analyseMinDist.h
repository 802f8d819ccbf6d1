// The minimum-distance study: sweeps the simulation window's minimum distance for
// connections over whole numbers, grows a fresh street network ("network only") several
// times per value, and charts the network's mean path length against the distance.
#pragma once

#include <cstdint>
#include <vector>

#include "chart/chart.h"
#include "simulation/output_models.h"
#include "simulation/settings.h"
#include "studies/study.h"

namespace veltmoor {

// The study window's controls (caption "analyse min distance").
const SettingsRegistry& MinDistSettings();

namespace setting::min_dist {
inline constexpr SettingName kValuesFrom{"E_valFrom"};
inline constexpr SettingName kValuesTo{"E_valTo"};
inline constexpr SettingName kIncrement{"E_incre"};
inline constexpr SettingName kTimesteps{"E_toSteps"};
inline constexpr SettingName kCalculationsPerValue{"E_calcVals"};
inline constexpr SettingName kShowData{"CB_data_Seg"};
inline constexpr SettingName kShowAverage{"CB_avg_Seg"};
inline constexpr SettingName kShowTrend{"CB_trend_Seg"};
inline constexpr SettingName kShowCurveFit{"CB_cFit_Seg"};
inline constexpr SettingName kPolyDegree{"E_polyDegSeg"};
}  // namespace setting::min_dist

struct MinDistState {
  long long CurrentValue = 0;     // the minimum distance of the current runs
  std::uint32_t StepCounter = 0;  // growth steps performed in the current run, from 0
  std::uint32_t RunInValue = 0;   // from 1
  std::uint32_t RunTotal = 0;     // runs measured so far
  int FitDegree = 3;              // degree of the curve-fitting function
};

class MinDistStudy : public Study {
 public:
  MinDistStudy(StudyContext context, const SettingsSource& settings);

  Labels labels = ProgressLabels();
  chart::Chart Chart_IS;

  void B_startClick() { Start(); }  // "new start", then the timer runs
  // "start / stop": pauses and resumes; a study past its last value stays ended, since
  // resuming it would measure a distance beyond the sweep.
  void B_breakClick() { SetRunning(!Running() && !finished_); }
  void B_undoZClick() { Chart_IS.UndoZoom(); }
  // The up-down of "poly degree:": a position above 1 becomes the degree, refitted at once.
  void UpD_polyDegSegClick();
  // A change of any of the five values: the planned number of runs.
  void ShowPlannedRuns();
  // The four check boxes of the chart group.
  void UpdateSeriesVisibility();

  void NewStart();
  void StudyTick();
  void MeasureRun();

  const MinDistState& State() const { return state_; }

  void Start() override;
  void Tick() override { StudyTick(); }
  RunPlan PlanRuns() const override;
  chart::Chart& StudyChart() override { return Chart_IS; }
  void ReplayMeasurements(const std::vector<Measurement>& records) override;

 private:
  struct Sweep {
    long long from = 0;
    long long to = 0;
    long long increment = 1;
    long long runs_per_value = 1;
    std::uint64_t ValueCount() const;
  };
  // Whole numbers read from the edits; throws ConversionError for other text.
  long long Whole(SettingName name) const;
  Sweep ReadSweep() const;
  bool finished_ = false;
  void CheckSweepEnds(const Sweep& sweep) const;
  void AdvanceStudy();
  void WriteMinDist();
  void FinishStudy();

  const SettingsSource& own_;
  MinDistState state_;
  std::uint64_t value_index_ = 0;  // 0-based index of the current value
};

}  // namespace veltmoor
