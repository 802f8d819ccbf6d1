// The controls of a window built from its settings registry, and the SettingsSource that
// reads them: the core asks for a value by control name at the moment it needs it.
#pragma once

#include <QWidget>
#include <map>
#include <set>
#include <string>
#include <string_view>

#include "simulation/settings.h"

class QLineEdit;

namespace veltmoor {

// A control's caption as a message names it: "noise weight :" becomes "noise weight".
QString FieldLabel(const SettingDef& def);

class WidgetSettings : public SettingsSource {
 public:
  explicit WidgetSettings(const SettingsRegistry& registry);

  // Creates the control of one setting (spin box, line edit, check box, radio button,
  // toggle button or slider) with its default; the caller places it.
  QWidget* CreateControl(const SettingDef& def, QWidget* parent);
  QWidget* Control(SettingName name) const;  // nullptr when not created

  const SettingsRegistry& Registry() const override { return registry_; }
  // While the user types into a decimal box, half-typed text ("-", "1e", nothing) is not
  // a value yet: until the box is left, the text last holding a value is read instead.
  std::string Text(SettingName name) const override;
  bool Checked(SettingName name) const override;
  // Names the field by its caption: "noise weight: 'abc' is not a number"; a number out
  // of the control's range throws SettingValueError naming the field likewise.
  double Float(SettingName name) const override;

  // Writes a control's text or state as a user would (tests, studies).
  void SetText(SettingName name, const std::string& text);
  void SetChecked(SettingName name, bool checked);

 private:
  void TrackTyping(const SettingDef& def, QLineEdit* edit);

  const SettingsRegistry& registry_;
  std::map<std::string, QWidget*, std::less<>> controls_;
  std::map<std::string, std::string, std::less<>> last_good_;  // decimal boxes
  std::set<std::string, std::less<>> typing_;                  // boxes being typed into
};

}  // namespace veltmoor
