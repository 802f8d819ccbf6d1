#include "simulation/settings.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "simulation/numbers.h"

namespace veltmoor {

SettingsRegistry::SettingsRegistry(std::vector<SettingDef> table) : table_(std::move(table)) {}

const SettingDef* SettingsRegistry::Find(SettingName name) const {
  const auto it = std::find_if(table_.begin(), table_.end(),
                               [name](const SettingDef& def) { return def.name == name.View(); });
  return it == table_.end() ? nullptr : &*it;
}

const SettingDef& SettingsRegistry::Get(SettingName name) const {
  const SettingDef* def = Find(name);
  if (def == nullptr) {
    throw std::out_of_range("unknown setting '" + name.Str() + "'");
  }
  return *def;
}

long long SettingsSource::Int(SettingName name) const {
  const SettingDef& def = Registry().Get(name);
  long long value = def.min;
  try {
    value = ParseInteger(Text(name));
  } catch (const ConversionError&) {
    value = def.min;
  }
  if (def.max > def.min) {
    value = std::clamp(value, def.min, def.max);
  }
  return value;
}

double SettingsSource::Float(SettingName name) const {
  return ParseDecimal(Text(name));
}

namespace {

// An edit box whose default is a number holds a decimal the behaviour will parse.
bool HoldsDecimal(const SettingDef& def) {
  if (def.kind != ControlKind::EditBox) {
    return false;
  }
  try {
    ParseDecimal(def.default_text);
    return true;
  } catch (const ConversionError&) {
    return false;
  }
}

}  // namespace

void CheckSettingText(const SettingDef& def, std::string_view text, std::string_view label) {
  if (HoldsDecimal(def)) {
    const double number = ParseDecimal(text);
    if (std::fabs(number) > static_cast<double>(std::numeric_limits<float>::max())) {
      throw SettingValueError(std::string(label) + ": '" + std::string(text) +
                              "' is beyond the range of the control (at most 3.4e38 either "
                              "side of 0)");
    }
    return;
  }
  if (def.kind == ControlKind::SpinEdit || def.kind == ControlKind::TrackBar) {
    const long long number = ParseInteger(text);
    if (def.max > def.min && (number < def.min || number > def.max)) {
      throw SettingValueError(std::string(label) + " must lie in " + std::to_string(def.min) +
                              ".." + std::to_string(def.max) + ", not " + std::string(text));
    }
  }
}

namespace {
bool IsStateKind(ControlKind kind) {
  return kind == ControlKind::CheckBox || kind == ControlKind::RadioButton ||
         kind == ControlKind::ToggleButton;
}

}  // namespace

bool HoldsState(const SettingDef& def) {
  return IsStateKind(def.kind);
}

namespace {

bool ParseState(SettingName name, std::string_view value) {
  if (value == "1" || value == "true" || value == "on" || value == "yes") {
    return true;
  }
  if (value == "0" || value == "false" || value == "off" || value == "no") {
    return false;
  }
  throw std::invalid_argument("'" + std::string(value) + "' is not a valid state for " +
                              name.Str() + " (use 1 or 0)");
}
}  // namespace

MapSettings::MapSettings(const SettingsRegistry& registry) : registry_(registry) {
  for (const SettingDef& def : registry_.All()) {
    values_[def.name] = def.default_text;
  }
}

std::string MapSettings::Text(SettingName name) const {
  const auto it = values_.find(name.View());
  if (it == values_.end()) {
    throw std::out_of_range("unknown setting '" + name.Str() + "'");
  }
  return it->second;
}

bool MapSettings::Checked(SettingName name) const {
  return Text(name) == "1";
}

void MapSettings::Set(SettingName name, std::string_view value) {
  const SettingDef* def = registry_.Find(name);
  if (def == nullptr) {
    throw std::invalid_argument("unknown setting '" + name.Str() + "'");
  }
  if (IsStateKind(def->kind)) {
    SetChecked(name, ParseState(name, value));
    return;
  }
  values_[def->name] = std::string(value);
}

void MapSettings::SetCheckedText(SettingName name, std::string_view value) {
  const SettingDef* def = registry_.Find(name);
  if (def == nullptr) {
    throw SettingValueError("unknown setting '" + name.Str() + "'");
  }
  try {
    CheckSettingText(*def, value, def->name);
    Set(name, value);
  } catch (const ConversionError& e) {
    throw SettingValueError(def->name + ": " + e.what());
  } catch (const SettingValueError&) {
    throw;
  } catch (const std::invalid_argument& e) {
    const std::string message = e.what();
    throw SettingValueError(
        message.find(def->name) == std::string::npos ? def->name + ": " + message : message);
  }
}

void MapSettings::SetChecked(SettingName name, bool checked) {
  const SettingDef& def = registry_.Get(name);
  if (def.kind == ControlKind::RadioButton && checked && !def.group.empty()) {
    for (const SettingDef& other : registry_.All()) {
      if (other.kind == ControlKind::RadioButton && other.group == def.group) {
        values_[other.name] = "0";
      }
    }
  }
  values_[def.name] = checked ? "1" : "0";
}

}  // namespace veltmoor
