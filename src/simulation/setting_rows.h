// Short constructors for the rows of a window's settings registry, so each table reads as a
// list of controls.
#pragma once

#include <string>
#include <utility>

#include "simulation/settings.h"

namespace veltmoor::setting_rows {

inline SettingDef Spin(SettingName name, std::string caption, std::string value, long long min,
                       long long max, std::string tab) {
  return {name.Str(),
          std::move(caption),
          ControlKind::SpinEdit,
          std::move(value),
          min,
          max,
          std::move(tab),
          {}};
}

inline SettingDef Track(SettingName name, std::string caption, std::string value, long long min,
                        long long max, std::string tab) {
  return {name.Str(),
          std::move(caption),
          ControlKind::TrackBar,
          std::move(value),
          min,
          max,
          std::move(tab),
          {}};
}

inline SettingDef Edit(SettingName name, std::string caption, std::string text, std::string tab) {
  return {
      name.Str(), std::move(caption), ControlKind::EditBox, std::move(text), 0, 0, std::move(tab),
      {}};
}

inline SettingDef State(ControlKind kind, SettingName name, std::string caption, bool on,
                        std::string tab, std::string group = {}) {
  return {name.Str(),     std::move(caption), kind, on ? "1" : "0", 0, 0,
          std::move(tab), std::move(group)};
}

inline SettingDef Check(SettingName name, std::string caption, bool checked, std::string tab) {
  return State(ControlKind::CheckBox, name, std::move(caption), checked, std::move(tab));
}

inline SettingDef Radio(SettingName name, std::string caption, bool checked, std::string tab,
                        std::string group) {
  return State(ControlKind::RadioButton, name, std::move(caption), checked, std::move(tab),
               std::move(group));
}

inline SettingDef Toggle(SettingName name, std::string caption, bool down, std::string tab) {
  return State(ControlKind::ToggleButton, name, std::move(caption), down, std::move(tab));
}

}  // namespace veltmoor::setting_rows
