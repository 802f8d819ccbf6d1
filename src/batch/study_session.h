// A study with the simulation it drives, as the study and merge commands build it, and what
// both do with it once its runs are over.
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "batch/batch_options.h"
#include "batch/batch_simulation.h"
#include "batch/setting_texts.h"
#include "batch/study_kinds.h"
#include "simulation/settings.h"
#include "studies/analyseDevPara.h"
#include "studies/measurements.h"
#include "studies/study.h"
#include "studies/study_interfaces.h"

namespace veltmoor {

inline constexpr const char* kChartFile = "study.tee";

// Time spent writing files, so --timing can tell it from the simulation and analyses.
class WriteClock {
 public:
  template <typename Write>
  void Time(Write&& write) {
    const auto start = std::chrono::steady_clock::now();
    try {
      write();
    } catch (...) {
      Add(start);
      throw;
    }
    Add(start);
  }
  double Seconds() const { return seconds_; }

 private:
  void Add(std::chrono::steady_clock::time_point start) {
    seconds_ += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  double seconds_ = 0.0;
};

// Pictures of the map for the development-parameter study.
class MapSnapshots : public SnapshotTaker {
 public:
  MapSnapshots(const Simulation& sim, WriteClock& clock) : sim_(sim), clock_(clock) {}
  void Snapshot(const std::string& path, SnapshotKind kind) override;

 private:
  const Simulation& sim_;
  WriteClock& clock_;
};

class StudySession {
 public:
  // `study_texts`: the study window's controls (none for a study of the simulation window,
  // whose settings come with `world`). Files of the study go under `base_dir`.
  StudySession(const StudyKind& kind, const WorldOptions& world, const SettingTexts& study_texts,
               const std::filesystem::path& base_dir);

  DevParaStudy* DevPara() { return dynamic_cast<DevParaStudy*>(study.get()); }

  WriteClock write_clock;
  BatchSimulation batch;
  MapSettings own;
  MapSettingsControls controls;
  std::unique_ptr<MapSnapshots> snapshots;
  std::unique_ptr<Study> study;
};

std::string CsvText(const std::vector<Measurement>& records);

// The study stops itself on a file it cannot write; that is a failure of the command.
int ReportStop(Study& study, std::ostream& err);

}  // namespace veltmoor
