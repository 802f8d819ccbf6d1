#include "batch/batch_options.h"

#include "simulation/numbers.h"

namespace veltmoor {

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

void CheckValue(const SettingDef& def, const std::string& value) {
  if (HoldsDecimal(def)) {
    ParseDecimal(value);  // throws the conversion error naming the text
    return;
  }
  if (def.kind == ControlKind::SpinEdit || def.kind == ControlKind::TrackBar) {
    const long long number = ParseInteger(value);
    if (def.max > def.min && (number < def.min || number > def.max)) {
      throw UsageError(def.name + " must lie in " + std::to_string(def.min) + ".." +
                       std::to_string(def.max) + ", not " + value);
    }
  }
}

}  // namespace

void ApplySettingOverrides(MapSettings& settings, const std::vector<std::string>& sets) {
  for (const std::string& pair : sets) {
    const auto eq = pair.find('=');
    if (eq == std::string::npos || eq == 0) {
      throw UsageError("--set expects NAME=VALUE, got '" + pair + "'");
    }
    const std::string name = pair.substr(0, eq);
    const std::string value = pair.substr(eq + 1);
    const SettingDef* def = settings.Registry().Find(name);
    if (def == nullptr) {
      throw UsageError("--set: unknown setting '" + name + "'");
    }
    try {
      CheckValue(*def, value);
      settings.Set(name, value);
    } catch (const ConversionError& e) {
      throw UsageError(e.what());
    } catch (const std::invalid_argument& e) {
      throw UsageError(e.what());
    }
  }
}

}  // namespace veltmoor
