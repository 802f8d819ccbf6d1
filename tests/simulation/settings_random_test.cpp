#include <gtest/gtest.h>

#include <set>

#include "simulation/numbers.h"
#include "simulation/random_source.h"
#include "simulation/settings.h"

namespace veltmoor {
namespace {

SettingsRegistry SmallRegistry() {
  return SettingsRegistry({
      {"SE_a", "a:", ControlKind::SpinEdit, "5", 1, 10, "t", ""},
      {"E_b", "b:", ControlKind::EditBox, "1,5", 0, 0, "t", ""},
      {"RB_x", "x", ControlKind::RadioButton, "1", 0, 0, "t", "g"},
      {"RB_y", "y", ControlKind::RadioButton, "0", 0, 0, "t", "g"},
      {"cb_c", "c", ControlKind::CheckBox, "0", 0, 0, "t", ""},
  });
}

TEST(SettingsSourceTest, SpinEditsReadLikeTheControl) {
  const SettingsRegistry registry = SmallRegistry();
  MapSettings settings(registry);
  EXPECT_EQ(settings.Int(SettingName{"SE_a"}), 5);
  settings.Set(SettingName{"SE_a"}, "40");
  EXPECT_EQ(settings.Int(SettingName{"SE_a"}), 10);  // kept inside the range
  settings.Set(SettingName{"SE_a"}, "x");
  EXPECT_EQ(settings.Int(SettingName{"SE_a"}), 1);  // unreadable text reads as the minimum
}

TEST(SettingsSourceTest, DecimalsFailWhenReadNotWhenSet) {
  const SettingsRegistry registry = SmallRegistry();
  MapSettings settings(registry);
  EXPECT_DOUBLE_EQ(settings.Float(SettingName{"E_b"}), 1.5);
  settings.Set(SettingName{"E_b"}, "0.x");
  EXPECT_THROW(settings.Float(SettingName{"E_b"}), ConversionError);
}

TEST(SettingsSourceTest, RadioButtonsOfAGroupExcludeEachOther) {
  const SettingsRegistry registry = SmallRegistry();
  MapSettings settings(registry);
  EXPECT_TRUE(settings.Checked(SettingName{"RB_x"}));
  settings.Set(SettingName{"RB_y"}, "1");
  EXPECT_TRUE(settings.Checked(SettingName{"RB_y"}));
  EXPECT_FALSE(settings.Checked(SettingName{"RB_x"}));
  settings.Set(SettingName{"cb_c"}, "true");
  EXPECT_TRUE(settings.Checked(SettingName{"cb_c"}));
  EXPECT_THROW(settings.Set(SettingName{"cb_c"}, "maybe"), std::invalid_argument);
  EXPECT_THROW(settings.Set(SettingName{"SE_nope"}, "1"), std::invalid_argument);
}

TEST(RandomSourceTest, FixedSeedRepeatsAndIgnoresClockReseeds) {
  RandomSource a(7);
  RandomSource b(7);
  for (int i = 0; i < 100; ++i) {
    if (i % 10 == 0) {
      a.ReseedFromClock();
    }
    const double x = a.Random();
    EXPECT_EQ(x, b.Random());
    EXPECT_GE(x, 0.0);
    EXPECT_LT(x, 1.0);
  }
}

TEST(RandomSourceTest, ClockSeedsDifferBetweenReseeds) {
  RandomSource r;
  std::set<double> firsts;
  for (int i = 0; i < 20; ++i) {
    r.ReseedFromClock();
    firsts.insert(r.Random());
  }
  EXPECT_EQ(firsts.size(), 20u);
}

}  // namespace
}  // namespace veltmoor
