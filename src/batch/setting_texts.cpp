#include "batch/setting_texts.h"

#include "batch/batch_options.h"

namespace veltmoor {

using nlohmann::json;

SettingTexts AllTexts(const SettingsSource& source, const SettingsRegistry& registry) {
  SettingTexts texts;
  for (const SettingDef& def : registry.All()) {
    texts.emplace_back(def.name, source.Text(def.Name()));
  }
  return texts;
}

// The settings a user changed: enough to rebuild them, and easy to read in a manifest.
SettingTexts ChangedTexts(const SettingsSource& source) {
  SettingTexts texts;
  for (const SettingDef& def : source.Registry().All()) {
    std::string text = source.Text(def.Name());
    if (text != def.default_text) {
      texts.emplace_back(def.name, std::move(text));
    }
  }
  return texts;
}

std::vector<std::string> AsOverrides(const SettingTexts& texts) {
  std::vector<std::string> overrides;
  for (const auto& [name, text] : texts) {
    overrides.push_back(name + "=" + text);
  }
  return overrides;
}

json TextsToJson(const SettingTexts& texts) {
  json object = json::object();
  for (const auto& [name, text] : texts) {
    object[name] = text;
  }
  return object;
}

// Back into registry order, so radio buttons end up as they were saved.
SettingTexts TextsFromJson(const json& object, const SettingsRegistry& registry) {
  SettingTexts texts;
  for (const auto& [name, value] : object.items()) {
    if (registry.Find(SettingName{name}) == nullptr || !value.is_string()) {
      throw UsageError("'" + name + "' is not a setting with a text");
    }
  }
  for (const SettingDef& def : registry.All()) {
    if (object.contains(def.name)) {
      texts.emplace_back(def.name, object.at(def.name).get<std::string>());
    }
  }
  return texts;
}

}  // namespace veltmoor
