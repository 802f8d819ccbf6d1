// The settings registry: every control whose value the behaviour reads, with its caption,
// kind, default, range and tab, and the SettingsSource through which the core reads a
// value at the moment it needs it.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace veltmoor {

enum class ControlKind { SpinEdit, EditBox, CheckBox, RadioButton, ToggleButton, TrackBar };

struct SettingDef {
  std::string name;     // control name, e.g. "SE_cellScale"
  std::string caption;  // caption or label text shown beside the control
  ControlKind kind = ControlKind::EditBox;
  std::string default_text;  // spin/track/edit: the text; check/radio/toggle: "1" or "0"
  long long min = 0;         // range of spin edits and track bars
  long long max = 0;
  std::string tab;    // tab (or group) of the window that holds the control
  std::string group;  // radio buttons of one group exclude each other
};

// An ordered table of settings of one window (the simulation window or a study window).
class SettingsRegistry {
 public:
  explicit SettingsRegistry(std::vector<SettingDef> table);
  const std::vector<SettingDef>& All() const { return table_; }
  const SettingDef* Find(std::string_view name) const;
  const SettingDef& Get(std::string_view name) const;  // throws std::out_of_range

 private:
  std::vector<SettingDef> table_;
};

// The simulation window's registry.
const SettingsRegistry& SimulationSettings();

// Reads settings by control name. Text and Checked are what a control holds; the typed
// readers interpret them the way the controls do.
class SettingsSource {
 public:
  virtual ~SettingsSource() = default;
  virtual const SettingsRegistry& Registry() const = 0;
  virtual std::string Text(std::string_view name) const = 0;
  virtual bool Checked(std::string_view name) const = 0;

  // Spin edits and track bars: a text that is not an integer reads as the minimum and the
  // value is kept inside the range, as a spin edit does.
  long long Int(std::string_view name) const;
  // Edit boxes holding decimals: throws ConversionError naming the text.
  double Float(std::string_view name) const;
};

// Settings held as texts: the registry defaults, overridden by Set. Used by headless
// runs and tests; the desktop program reads its controls instead.
class MapSettings : public SettingsSource {
 public:
  explicit MapSettings(const SettingsRegistry& registry = SimulationSettings());

  const SettingsRegistry& Registry() const override { return registry_; }
  std::string Text(std::string_view name) const override;
  bool Checked(std::string_view name) const override;

  // Sets a control's text (or, for check boxes, radio buttons and toggle buttons, its state
  // from "1"/"0"/"true"/"false"). Checking a radio button unchecks the rest of its group.
  // Throws std::invalid_argument for an unknown name or a state that is not a boolean.
  void Set(std::string_view name, std::string_view value);
  void SetChecked(std::string_view name, bool checked);

 private:
  const SettingsRegistry& registry_;
  std::map<std::string, std::string, std::less<>> values_;
};

// Forwards every read to the settings of whichever window acts now. Several simulation
// windows share one world, and each reads its own controls.
class SettingsRouter : public SettingsSource {
 public:
  explicit SettingsRouter(const SettingsSource& initial) : target_(&initial) {}
  void Route(const SettingsSource& target) { target_ = &target; }
  const SettingsSource& Target() const { return *target_; }

  const SettingsRegistry& Registry() const override { return target_->Registry(); }
  std::string Text(std::string_view name) const override { return target_->Text(name); }
  bool Checked(std::string_view name) const override { return target_->Checked(name); }

 private:
  const SettingsSource* target_;
};

}  // namespace veltmoor
