// What the four parameter studies share: the study's own timer, reproducible seeding of
// each run, running only some runs (one shard of a split study), the record of every point
// added, and a message when the study had to stop.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chart/chart.h"
#include "simulation/output_models.h"
#include "studies/measurements.h"
#include "studies/run_plan.h"
#include "studies/study_interfaces.h"

namespace veltmoor {

// The progress labels every study window shows.
namespace label::study {
inline constexpr LabelName kSteps{"lbl_pSteps"};  // growth steps of the current run
inline constexpr LabelName kRunsDone{"Lbl_akt"};
inline constexpr LabelName kRunsPlanned{"Lbl_proceed"};  // "/ planned"
// What the planned-runs label says when the settings make no plan: "/ 0" would read as a
// study that ends at once; "new start" names the fault.
inline constexpr const char* kPlanRefused = "/ \u2013 plan refused";
}  // namespace label::study

// The labels of a study window with its progress labels registered.
Labels ProgressLabels();

class Study {
 public:
  virtual ~Study() = default;
  Study(const Study&) = delete;
  Study& operator=(const Study&) = delete;

  // "new start" with the study's timer on afterwards: what a batch loop or a test wants.
  // Throws StudySettingsError for settings that would never let the study end.
  virtual void Start() = 0;
  // One tick of the study's timer.
  virtual void Tick() = 0;
  // The runs a new start would make with the settings as they stand.
  virtual RunPlan PlanRuns() const = 0;
  virtual chart::Chart& StudyChart() = 0;
  // Rebuilds the chart from records (merged partial results, in MergeMeasurements order)
  // and computes every derived line as the end of the study does.
  virtual void ReplayMeasurements(const std::vector<Measurement>& records) = 0;

  // The study's own timer; the simulation window's timer stays off while a study runs.
  bool Running() const { return running_; }
  void SetRunning(bool running) { running_ = running; }

  // 0-based index of the run in progress (or about to start).
  std::uint64_t CurrentRun() const { return current_run_; }

  // With a base seed, run r starts from RunSeed(base, r); without one the random source is
  // left as it is. A seeded study leaves the random source on a fixed seed.
  void SetBaseSeed(std::optional<std::uint64_t> seed) { base_seed_ = seed; }
  std::optional<std::uint64_t> BaseSeed() const { return base_seed_; }
  // Runs the filter refuses are passed over: no world, no steps, no points, but the study
  // counts them so the runs it does make carry their place in the whole study.
  void SetRunFilter(std::function<bool(std::uint64_t run)> filter) { filter_ = std::move(filter); }
  // Threads of the path computation; 0 uses every core.
  void SetPathThreads(unsigned threads) { path_threads_ = threads; }

  // Every point added since the last new start, in the order added.
  const std::vector<Measurement>& Measurements() const { return measurements_; }

  // Why the study stopped on its own, for the front end to show; empty when it did not.
  const std::string& Message() const { return message_; }
  std::string TakeMessage();

 protected:
  explicit Study(StudyContext context) : context_(std::move(context)) {}

  Simulation& sim() const { return context_.sim; }
  SimulationControls& controls() const { return context_.controls; }
  const StudyContext& context() const { return context_; }

  void SetCurrentRun(std::uint64_t run) { current_run_ = run; }
  bool Selected(std::uint64_t run) const { return !filter_ || filter_(run); }
  bool CurrentSelected() const { return Selected(current_run_); }

  // Seeds the random source for `run` (with a base seed) and builds a fresh world.
  void FreshWorld(std::uint64_t run);
  // "network only" in the simulation window, as a click on its radio button does.
  void SelectNetworkOnly();
  // The path computation, the connectivity table and the degree histogram.
  void AnalyseNetwork();

  // Adds (x, y) to `series` and records it; a measure that could not be read adds nothing.
  void AddPoint(chart::Series& series, double x, std::optional<double> y, std::uint64_t run,
                std::uint64_t value_index);
  void ClearMeasurements() { measurements_.clear(); }
  // Empties `data_series` of `chart` and refills them from `records`; a record naming any
  // other series is refused with std::invalid_argument.
  void ReplayPoints(chart::Chart& chart, const std::vector<chart::SeriesName>& data_series,
                    const std::vector<Measurement>& records);

  // Stops the timer and keeps `text` for the front end; several in one tick are joined.
  void StopWithMessage(const std::string& text);
  // Writes a file through `write`, creating its folder; a failure stops the study with a
  // message naming `path`. Returns whether the file was written.
  bool WriteStudyFile(const std::string& path, const std::function<void()>& write);

 private:
  StudyContext context_;
  bool running_ = false;
  std::uint64_t current_run_ = 0;
  std::optional<std::uint64_t> base_seed_;
  std::function<bool(std::uint64_t)> filter_;
  unsigned path_threads_ = 0;
  std::vector<Measurement> measurements_;
  std::string message_;
};

// Measures read back from texts and series; none where there is nothing to read.
std::optional<double> NumberIn(std::string_view text);
std::optional<double> FirstY(const chart::Series& series);
std::optional<double> LastY(const chart::Series& series);

}  // namespace veltmoor
