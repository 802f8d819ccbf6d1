#include "studies/study_interfaces.h"

namespace veltmoor {

void MapSettingsControls::SetText(SettingName name, const std::string& text) {
  settings_.Set(name, text);
}

void MapSettingsControls::SetChecked(SettingName name, bool checked) {
  settings_.SetChecked(name, checked);
}

}  // namespace veltmoor
