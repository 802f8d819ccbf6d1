// The settings registry: every control whose value the behaviour reads, with its caption,
// kind, default, range and tab, and the SettingsSource through which the core reads a
// value at the moment it needs it.
#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "io/typed_name.h"

namespace veltmoor {

using SettingName = TypedName<struct SettingNameKind>;

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

  SettingName Name() const { return SettingName{name}; }
};

// Check boxes, radio buttons and toggles: their text is "0" or "1".
bool HoldsState(const SettingDef& def);

// An ordered table of settings of one window (the simulation window or a study window).
class SettingsRegistry {
 public:
  explicit SettingsRegistry(std::vector<SettingDef> table);
  const std::vector<SettingDef>& All() const { return table_; }
  const SettingDef* Find(SettingName name) const;
  const SettingDef& Get(SettingName name) const;  // throws std::out_of_range

 private:
  std::vector<SettingDef> table_;
};

// The simulation window's registry.
const SettingsRegistry& SimulationSettings();

// A text that a control could not hold; the message starts with the control's name or
// caption.
class SettingValueError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// The one check of a value both front ends apply before the behaviour reads it: a decimal
// box must hold a decimal within 3.4e38 either side of 0 (the behaviour keeps weights and
// scales in 32-bit floats, beyond which a run silently dies), a spin edit or track bar a
// whole number in its range. Throws ConversionError (the parser's message, naming only the
// text) when the text is no number at all, SettingValueError starting with `label` when it
// is out of range. State controls are not checked here.
void CheckSettingText(const SettingDef& def, std::string_view text, std::string_view label);

// The names of the simulation window's settings, in its tab order.
namespace setting {
inline constexpr SettingName kCellScale{"SE_cellScale"};
inline constexpr SettingName kCenterNode{"cb_centerNode"};
inline constexpr SettingName kNetworkOnly{"RB_netOnly"};
inline constexpr SettingName kBoom{"RB_boom"};
inline constexpr SettingName kInterlink{"RB_interlink"};
inline constexpr SettingName kCluster{"RB_cluster"};
inline constexpr SettingName kClusterRounds{"se_clusterRds"};
inline constexpr SettingName kStopAt{"SE_stopAt"};
inline constexpr SettingName kNoiseWeight{"E_fieldW"};
inline constexpr SettingName kGrowThreshold{"E_nodeThresh"};
inline constexpr SettingName kMinDistance{"SE_minDist"};
inline constexpr SettingName kNodeSize{"SE_nSz"};
inline constexpr SettingName kNodeNumbers{"CB_nodeLbl"};

inline constexpr SettingName kGrowthRate{"SE_HWM_gRate"};
inline constexpr SettingName kStreetStep{"SE_strStep"};
inline constexpr SettingName kCentripetalWeight{"E_centriPe"};
inline constexpr SettingName kCentrifugalWeight{"E_centriFu"};
inline constexpr SettingName kCentripetalScale{"E_peScale"};
inline constexpr SettingName kCentrifugalScale{"E_fuScale"};
inline constexpr SettingName kRandomScale{"E_rndScale"};
inline constexpr SettingName kDevelopmentThreshold{"E_devThresh"};
inline constexpr SettingName kPlotRandom{"cb_plotRnd"};

inline constexpr SettingName kAutoBuild{"b_autoBuild"};
inline constexpr SettingName kGenA{"SE_genA"};
inline constexpr SettingName kGenB{"SE_genB"};
inline constexpr SettingName kGenC{"SE_genC"};
inline constexpr SettingName kGenD{"SE_genD"};

inline constexpr SettingName kColorAdjust{"TB_color"};
inline constexpr SettingName kLocalRadius{"SE_locRad"};
inline constexpr SettingName kUseLocalMeasure{"CB_locMeas"};

inline constexpr SettingName kCenterGravity{"cb_centerGrav"};
inline constexpr SettingName kShowAgentLayer{"CB_agLayer"};
inline constexpr SettingName kShowCellLayer{"CB_cellLayer"};

inline constexpr SettingName kRule8114{"cb_r8114"};
inline constexpr SettingName kRule7013{"cb_r7013"};
inline constexpr SettingName kRule5012{"cb_r5012"};
inline constexpr SettingName kRule3011{"cb_r3011"};
inline constexpr SettingName kRule3010{"cb_r3010"};
inline constexpr SettingName kRoundsPerRule{"SE_rdsPerVal"};
inline constexpr SettingName kStepsPerRound{"SE_stepsPerRd"};
}  // namespace setting

// Reads settings by control name. Text and Checked are what a control holds; the typed
// readers interpret them the way the controls do.
class SettingsSource {
 public:
  virtual ~SettingsSource() = default;
  virtual const SettingsRegistry& Registry() const = 0;
  virtual std::string Text(SettingName name) const = 0;
  virtual bool Checked(SettingName name) const = 0;

  // Spin edits and track bars: a text that is not an integer reads as the minimum and the
  // value is kept inside the range, as a spin edit does.
  long long Int(SettingName name) const;
  // Edit boxes holding decimals: throws ConversionError naming the text.
  virtual double Float(SettingName name) const;
};

// Settings held as texts: the registry defaults, overridden by Set. Used by headless
// runs and tests; the desktop program reads its controls instead.
class MapSettings : public SettingsSource {
 public:
  explicit MapSettings(const SettingsRegistry& registry = SimulationSettings());

  const SettingsRegistry& Registry() const override { return registry_; }
  std::string Text(SettingName name) const override;
  bool Checked(SettingName name) const override;

  // Sets a control's text (or, for check boxes, radio buttons and toggle buttons, its state
  // from "1"/"0"/"true"/"false"). Checking a radio button unchecks the rest of its group.
  // Throws std::invalid_argument for an unknown name or a state that is not a boolean.
  void Set(SettingName name, std::string_view value);
  void SetChecked(SettingName name, bool checked);
  // Set after CheckSettingText: a text the control could not hold throws SettingValueError
  // whose message starts with the setting's name, and nothing changes.
  void SetCheckedText(SettingName name, std::string_view value);

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
  std::string Text(SettingName name) const override { return target_->Text(name); }
  bool Checked(SettingName name) const override { return target_->Checked(name); }
  // The target words a conversion error its own way (the desktop names the field).
  double Float(SettingName name) const override { return target_->Float(name); }

 private:
  const SettingsSource* target_;
};

}  // namespace veltmoor
