#include "batch/batch_options.h"

#include <charconv>
#include <limits>

#include "simulation/numbers.h"

namespace veltmoor {

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
    if (settings.Registry().Find(SettingName{name}) == nullptr) {
      throw UsageError("--set: unknown setting '" + name + "'");
    }
    try {
      settings.SetCheckedText(SettingName{name}, value);
    } catch (const SettingValueError& e) {
      throw UsageError(e.what());
    }
  }
}

}  // namespace veltmoor
