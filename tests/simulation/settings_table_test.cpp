#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "simulation/numbers.h"
#include "simulation/settings.h"

namespace veltmoor {
namespace {

bool IsStateKind(ControlKind kind) {
  return kind == ControlKind::CheckBox || kind == ControlKind::RadioButton ||
         kind == ControlKind::ToggleButton;
}

struct Expected {
  SettingName name;
  ControlKind kind;
  const char* value;
  long long min;
  long long max;
  const char* tab;
};

TEST(SimulationSettings, RepresentativeControlsStartWithTheirDefaults) {
  const Expected expected[] = {
      {setting::kCellScale, ControlKind::SpinEdit, "24", 1, 1000, "field types"},
      {setting::kNodeSize, ControlKind::SpinEdit, "5", 1, 1000, "field types"},
      {setting::kCenterNode, ControlKind::CheckBox, "1", 0, 0, "field types"},
      {setting::kStopAt, ControlKind::SpinEdit, "500", 1, 33000, "field types"},
      {setting::kClusterRounds, ControlKind::SpinEdit, "3", 0, 10000, "field types"},
      {setting::kNoiseWeight, ControlKind::EditBox, "0,1", 0, 0, "field types"},
      {setting::kStreetStep, ControlKind::SpinEdit, "3", 1, 10000, "development settings"},
      {setting::kCentripetalScale, ControlKind::EditBox, "1,7", 0, 0, "development settings"},
      {setting::kPlotRandom, ControlKind::CheckBox, "0", 0, 0, "development settings"},
      {setting::kAutoBuild, ControlKind::ToggleButton, "1", 0, 0, "building"},
      {setting::kGenA, ControlKind::SpinEdit, "7", 0, 8, "building"},
      {setting::kGenD, ControlKind::SpinEdit, "3", 0, 8, "building"},
      {setting::kColorAdjust, ControlKind::TrackBar, "5", 0, 10, "analyse graph"},
      {setting::kLocalRadius, ControlKind::SpinEdit, "4", 1, 1000, "analyse graph"},
      {setting::kUseLocalMeasure, ControlKind::CheckBox, "1", 0, 0, "analyse graph"},
      {setting::kCenterGravity, ControlKind::CheckBox, "0", 0, 0, "analyse structure"},
      {setting::kRule3010, ControlKind::CheckBox, "1", 0, 0, "building structure analysis"},
      {setting::kStepsPerRound, ControlKind::SpinEdit, "500", 1, 1000,
       "building structure analysis"},
  };
  const SettingsRegistry& registry = SimulationSettings();
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.name.Str());
    const SettingDef* def = registry.Find(e.name);
    ASSERT_NE(def, nullptr);
    EXPECT_EQ(def->kind, e.kind);
    EXPECT_EQ(def->default_text, e.value);
    EXPECT_EQ(def->min, e.min);
    EXPECT_EQ(def->max, e.max);
    EXPECT_EQ(def->tab, e.tab);
  }
  EXPECT_EQ(registry.Get(setting::kCellScale).caption, "cell size:");
  EXPECT_EQ(registry.Get(setting::kCentripetalScale).caption, "x  scale (A):");
}

TEST(SimulationSettings, FieldTypesFormOneGroupWithClusterChecked) {
  const SettingsRegistry& registry = SimulationSettings();
  std::vector<std::string> members;
  for (const SettingDef& def : registry.All()) {
    if (def.group == "fieldType") {
      EXPECT_EQ(def.kind, ControlKind::RadioButton);
      members.push_back(def.name + "=" + def.default_text);
    }
  }
  EXPECT_EQ(members, (std::vector<std::string>{"RB_netOnly=0", "RB_boom=0", "RB_interlink=0",
                                               "RB_cluster=1"}));
}

TEST(SimulationSettings, CheckingBoomUnchecksCluster) {
  MapSettings settings;
  EXPECT_TRUE(settings.Checked(setting::kCluster));
  settings.Set(setting::kBoom, "1");
  EXPECT_TRUE(settings.Checked(setting::kBoom));
  EXPECT_FALSE(settings.Checked(setting::kCluster));
  EXPECT_FALSE(settings.Checked(setting::kNetworkOnly));
}

TEST(SimulationSettings, NamesAreUniqueAndEveryEntryIsComplete) {
  const std::set<std::string> tabs{"field types",       "development settings",
                                   "building",          "analyse graph",
                                   "analyse structure", "building structure analysis"};
  std::set<std::string> names;
  for (const SettingDef& def : SimulationSettings().All()) {
    SCOPED_TRACE(def.name);
    EXPECT_TRUE(names.insert(def.name).second) << "listed twice";
    EXPECT_FALSE(def.caption.empty());
    EXPECT_TRUE(tabs.count(def.tab) == 1) << def.tab;
    EXPECT_EQ(def.kind == ControlKind::RadioButton, !def.group.empty());
  }
}

// A decimal default written with a dot would fail the first time a step reads it.
TEST(SimulationSettings, DefaultsReadBackAsTheirControlsWould) {
  const char previous = DecimalSeparator();
  SetDecimalSeparator(',');
  const MapSettings settings;
  for (const SettingDef& def : SimulationSettings().All()) {
    SCOPED_TRACE(def.name);
    if (IsStateKind(def.kind)) {
      EXPECT_TRUE(def.default_text == "0" || def.default_text == "1");
    } else if (def.kind == ControlKind::EditBox) {
      EXPECT_NO_THROW(settings.Float(def.Name()));
    } else {
      EXPECT_LT(def.min, def.max);
      const long long value = ParseInteger(def.default_text);
      EXPECT_GE(value, def.min);
      EXPECT_LE(value, def.max);
      EXPECT_EQ(settings.Int(def.Name()), value);
    }
  }
  EXPECT_DOUBLE_EQ(settings.Float(setting::kCentripetalWeight), 2.0);
  EXPECT_DOUBLE_EQ(settings.Float(setting::kCentripetalScale), 1.7);
  SetDecimalSeparator(previous);
}

// The window shows one tab at a time; a tab's controls must not be scattered.
TEST(SimulationSettings, TabsFollowTheWindowOrder) {
  const std::vector<std::string> order{"field types",       "development settings",
                                       "building",          "analyse graph",
                                       "analyse structure", "building structure analysis"};
  std::vector<std::string> seen;
  for (const SettingDef& def : SimulationSettings().All()) {
    if (seen.empty() || seen.back() != def.tab) {
      seen.push_back(def.tab);
    }
  }
  EXPECT_EQ(seen, order);
}

}  // namespace
}  // namespace veltmoor
