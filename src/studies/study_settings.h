// Short constructors for the rows of a study window's settings registry.
#pragma once

#include <string>
#include <utility>

#include "simulation/settings.h"

namespace veltmoor::study_settings {

inline SettingDef Edit(std::string name, std::string caption, std::string text, std::string group) {
  return {std::move(name),
          std::move(caption),
          ControlKind::EditBox,
          std::move(text),
          0,
          0,
          std::move(group),
          {}};
}

inline SettingDef Spin(std::string name, std::string caption, std::string value, long long min,
                       long long max, std::string group) {
  return {std::move(name),
          std::move(caption),
          ControlKind::SpinEdit,
          std::move(value),
          min,
          max,
          std::move(group),
          {}};
}

inline SettingDef Check(std::string name, std::string caption, bool checked, std::string group) {
  return {std::move(name),
          std::move(caption),
          ControlKind::CheckBox,
          checked ? "1" : "0",
          0,
          0,
          std::move(group),
          {}};
}

inline SettingDef Toggle(std::string name, std::string caption, bool down, std::string group) {
  return {std::move(name),
          std::move(caption),
          ControlKind::ToggleButton,
          down ? "1" : "0",
          0,
          0,
          std::move(group),
          {}};
}

}  // namespace veltmoor::study_settings
