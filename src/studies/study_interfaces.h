// What a parameter study needs from the program around it: writing the simulation window's
// controls, taking pictures, and where its files go. The desktop program and
// veltmoor-batch each supply their own.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

#include "simulation/settings.h"
#include "simulation/simulation.h"

namespace veltmoor {

// Settings that would never let a study end (or could not start it at all). The message is
// meant for the user as it stands.
class StudySettingsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The simulation window's controls as a study writes them: a parameter value into an edit
// box, a rule into the spin edits, "network only" into the field-type radio buttons. The
// simulation reads them back through its own SettingsSource.
class SimulationControls {
 public:
  virtual ~SimulationControls() = default;
  virtual void SetText(SettingName name, const std::string& text) = 0;
  virtual void SetChecked(SettingName name, bool checked) = 0;
};

// Headless runs and tests: the controls are the texts of a MapSettings.
class MapSettingsControls : public SimulationControls {
 public:
  explicit MapSettingsControls(MapSettings& settings) : settings_(settings) {}
  void SetText(SettingName name, const std::string& text) override;
  void SetChecked(SettingName name, bool checked) override;

 private:
  MapSettings& settings_;
};

enum class SnapshotKind {
  Main,     // the simulation window at the end of a value
  Measure,  // the study window when the study ends
};

// Takes a picture for the development-parameter study. `path` is the final ".jpg" name; its
// folder exists. Throws (any std::exception) when the picture cannot be written; the study
// then stops and reports the path.
class SnapshotTaker {
 public:
  virtual ~SnapshotTaker() = default;
  virtual void Snapshot(const std::string& path, SnapshotKind kind) = 0;
};

// The services a study works with. `snapshots` may be null (no pictures wanted);
// `base_dir` is the folder beside the executable under which "pictures" and "data" lie.
struct StudyContext {
  Simulation& sim;
  SimulationControls& controls;
  SnapshotTaker* snapshots = nullptr;
  std::filesystem::path base_dir;
};

}  // namespace veltmoor
