// The cluster-growth study: grows a fresh street network ("network only") several times
// under the same settings, measures it every few growth steps, and charts its mean path
// length, segment count and border nodes against the steps grown, averaged over the runs.
#pragma once

#include <cstdint>
#include <vector>

#include "chart/chart.h"
#include "simulation/output_models.h"
#include "simulation/settings.h"
#include "studies/study.h"

namespace veltmoor {

// The study window's controls (caption "analyse cluster growth").
const SettingsRegistry& ClusterGrowthSettings();

namespace setting::cluster_growth {
inline constexpr SettingName kMeasureSteps{"E_measureSt"};
inline constexpr SettingName kGrowUntil{"E_toSteps"};
inline constexpr SettingName kCalculations{"E_calcVals"};
inline constexpr SettingName kShowData{"CB_data_Seg"};
inline constexpr SettingName kShowAverage{"CB_avg_Seg"};
inline constexpr SettingName kShowTrend{"CB_trend_Seg"};
}  // namespace setting::cluster_growth

struct ClusterGrowthState {
  std::uint32_t StepCounter = 0;        // 1 + growth steps performed in the current run
  std::uint32_t StepsSinceMeasure = 0;  // since the last measurement or the run's start
  std::uint32_t RunTotal = 0;           // the current run, from 1
};

class ClusterGrowthStudy : public Study {
 public:
  ClusterGrowthStudy(StudyContext context, const SettingsSource& settings);

  Labels labels = ProgressLabels();
  chart::Chart Chart_growCluster;

  void B_startClick() { Start(); }                 // "new start", then the timer runs
  void B_breakClick() { SetRunning(!Running()); }  // "start / stop"
  void B_undoZClick() { Chart_growCluster.UndoZoom(); }
  // A change of the three edits: the planned number of runs, as typed.
  void ShowPlannedRuns();
  void UpdateSeriesVisibility();

  void NewStart();
  void RestartRun();
  void StudyTick();
  void MeasureRun();

  const ClusterGrowthState& State() const { return state_; }

  void Start() override;
  void Tick() override { StudyTick(); }
  RunPlan PlanRuns() const override;
  chart::Chart& StudyChart() override { return Chart_growCluster; }
  void ReplayMeasurements(const std::vector<Measurement>& records) override;

 private:
  void FinishStudy();

  const SettingsSource& own_;
  ClusterGrowthState state_;
  std::uint64_t runs_measured_ = 0;   // runs of this process that have been measured
  std::uint64_t measure_in_run_ = 0;  // 0-based index of the next measurement of the run
};

}  // namespace veltmoor
