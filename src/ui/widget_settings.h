// The controls of a window built from its settings registry, and the SettingsSource that
// reads them: the core asks for a value by control name at the moment it needs it.
#pragma once

#include <QWidget>
#include <map>
#include <string>
#include <string_view>

#include "simulation/settings.h"

namespace veltmoor {

class WidgetSettings : public SettingsSource {
 public:
  explicit WidgetSettings(const SettingsRegistry& registry);

  // Creates the control of one setting (spin box, line edit, check box, radio button,
  // toggle button or slider) with its default; the caller places it.
  QWidget* CreateControl(const SettingDef& def, QWidget* parent);
  QWidget* Control(SettingName name) const;  // nullptr when not created

  const SettingsRegistry& Registry() const override { return registry_; }
  std::string Text(SettingName name) const override;
  bool Checked(SettingName name) const override;

  // Writes a control's text or state as a user would (tests, studies).
  void SetText(SettingName name, const std::string& text);
  void SetChecked(SettingName name, bool checked);

 private:
  const SettingsRegistry& registry_;
  std::map<std::string, QWidget*, std::less<>> controls_;
};

}  // namespace veltmoor
