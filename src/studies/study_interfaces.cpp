#include "studies/study_interfaces.h"

namespace veltmoor {

void MapSettingsControls::SetText(std::string_view name, const std::string& text) {
  settings_.Set(name, text);
}

void MapSettingsControls::SetChecked(std::string_view name, bool checked) {
  settings_.SetChecked(name, checked);
}

}  // namespace veltmoor
