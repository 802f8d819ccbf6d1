#include "batch/study_kinds.h"

#include "batch/batch_options.h"
#include "studies/analyseClusterGrowth.h"
#include "studies/analyseDevPara.h"
#include "studies/analyseMinDist.h"
#include "studies/building_rule_study.h"

namespace veltmoor {

namespace {

// The building-rule study's controls sit in the simulation window's own group box.
const SettingsRegistry& BuildingRuleSettings() {
  static const SettingsRegistry registry = [] {
    const std::string& tab = SimulationSettings().Get(setting::kRoundsPerRule).tab;
    std::vector<SettingDef> table;
    for (const SettingDef& def : SimulationSettings().All()) {
      if (def.tab == tab) {
        table.push_back(def);
      }
    }
    return SettingsRegistry(std::move(table));
  }();
  return registry;
}

}  // namespace

const std::vector<StudyKind>& StudyKinds() {
  static const std::vector<StudyKind> kinds = {
      {"devpara", "development-parameter study", &DevParaSettings, false,
       [](StudyContext context, const SettingsSource& own) {
         auto study = std::make_unique<DevParaStudy>(std::move(context), own);
         study->UpdateSeriesVisibility();
         return std::unique_ptr<Study>(std::move(study));
       }},
      {"mindist", "minimum-distance study", &MinDistSettings, false,
       [](StudyContext context, const SettingsSource& own) {
         auto study = std::make_unique<MinDistStudy>(std::move(context), own);
         study->UpD_polyDegSegClick();
         return std::unique_ptr<Study>(std::move(study));
       }},
      {"clustergrowth", "cluster-growth study", &ClusterGrowthSettings, false,
       [](StudyContext context, const SettingsSource& own) {
         return std::unique_ptr<Study>(
             std::make_unique<ClusterGrowthStudy>(std::move(context), own));
       }},
      {"buildrules", "building-rule study", &BuildingRuleSettings, true,
       [](StudyContext context, const SettingsSource&) {
         return std::unique_ptr<Study>(std::make_unique<BuildingRuleStudy>(std::move(context)));
       }},
  };
  return kinds;
}

const StudyKind& FindKind(const std::string& name) {
  for (const StudyKind& kind : StudyKinds()) {
    if (kind.name == name) {
      return kind;
    }
  }
  throw UsageError("unknown study '" + name + "'");
}

const std::vector<std::string>& StudyKindNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> list;
    for (const StudyKind& kind : StudyKinds()) {
      list.push_back(kind.name);
    }
    return list;
  }();
  return names;
}

}  // namespace veltmoor
