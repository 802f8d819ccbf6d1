#include "batch/batch_options.h"

#include <charconv>
#include <cmath>
#include <limits>

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
    const double number = ParseDecimal(value);  // throws the conversion error naming the text
    // The behaviour keeps weights and scales in 32-bit floats; beyond their range a value
    // becomes infinite and the run silently dies.
    if (std::fabs(number) > static_cast<double>(std::numeric_limits<float>::max())) {
      throw UsageError(def.name + ": '" + value +
                       "' is beyond the range of the control (at most 3.4e38 either side of 0)");
    }
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

const std::set<std::string>& BatchOutputNames() {
  static const std::set<std::string> names = {
      "map.png", "world.json", "measures.json", "study.csv", "study.tee",    "part.json",
      "data",    "pictures",   "landuse.tif",   "cells.tif", "network.gpkg", "network_stats.csv"};
  return names;
}

std::uint64_t ParseSeed(const std::string& text) {
  std::uint64_t seed = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, seed);
  if (text.empty() || text[0] == '+' || ec != std::errc() || ptr != end) {
    throw UsageError("--seed: '" + text + "' is not a whole number in 0.." +
                     std::to_string(std::numeric_limits<std::uint64_t>::max()));
  }
  return seed;
}

void ApplySettingOverrides(MapSettings& settings, const std::vector<std::string>& sets) {
  for (const std::string& pair : sets) {
    const auto eq = pair.find('=');
    if (eq == std::string::npos || eq == 0) {
      throw UsageError("--set expects NAME=VALUE, got '" + pair + "'");
    }
    const std::string name = pair.substr(0, eq);
    const std::string value = pair.substr(eq + 1);
    const SettingDef* def = settings.Registry().Find(SettingName{name});
    if (def == nullptr) {
      throw UsageError("--set: unknown setting '" + name + "'");
    }
    try {
      CheckValue(*def, value);
      settings.Set(def->Name(), value);
    } catch (const ConversionError& e) {
      throw UsageError(name + ": " + e.what());
    } catch (const std::invalid_argument& e) {
      const std::string message = e.what();
      throw UsageError(message.find(name) == std::string::npos ? name + ": " + message : message);
    }
  }
}

}  // namespace veltmoor
