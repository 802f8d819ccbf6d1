// The four studies as the command line names them.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "simulation/settings.h"
#include "studies/study.h"
#include "studies/study_interfaces.h"

namespace veltmoor {

struct StudyKind {
  std::string name;
  std::string title;
  const SettingsRegistry& (*registry)();
  // Its controls are the simulation window's, so --study-set writes the simulation settings.
  bool in_simulation_window = false;
  // The study, with its chart shown as the window's check boxes ask.
  std::function<std::unique_ptr<Study>(StudyContext, const SettingsSource&)> make;
};

const std::vector<StudyKind>& StudyKinds();
// Throws UsageError for a name no study has.
const StudyKind& FindKind(const std::string& name);
// "devpara", "mindist", "clustergrowth", "buildrules".
const std::vector<std::string>& StudyKindNames();

}  // namespace veltmoor
