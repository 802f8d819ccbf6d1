// Settings as name/text pairs, in the order of their registry: how the commands that split
// their runs into shards write settings into a manifest and read them back.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "simulation/settings.h"

namespace veltmoor {

using SettingTexts = std::vector<std::pair<std::string, std::string>>;
SettingTexts AllTexts(const SettingsSource& source, const SettingsRegistry& registry);
// The settings a user changed: enough to rebuild them, and easy to read in a manifest.
SettingTexts ChangedTexts(const SettingsSource& source);
std::vector<std::string> AsOverrides(const SettingTexts& texts);
nlohmann::json TextsToJson(const SettingTexts& texts);
// Back into registry order; throws UsageError for a name the registry lacks.
SettingTexts TextsFromJson(const nlohmann::json& object, const SettingsRegistry& registry);

}  // namespace veltmoor
