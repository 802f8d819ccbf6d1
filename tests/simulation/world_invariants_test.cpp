// Long seeded runs of every field type keep the world consistent and repeat exactly.
#include <gtest/gtest.h>

#include <vector>

#include "growth/run_control.h"
#include "simulation/setup.h"
#include "support/test_simulation.h"

namespace veltmoor {
namespace {

struct FieldTypeCase {
  SettingName radio;
  int steps;
};

class WorldInvariantsTest : public ::testing::TestWithParam<FieldTypeCase> {
 protected:
  static void Run(testing::TestSimulation& t, const FieldTypeCase& c,
                  std::vector<LandUseCode>* landUseAfterEachStep = nullptr) {
    t.settings.SetChecked(c.radio, true);
    NewSetup(t.sim);
    StartRun(t.sim);
    for (int i = 0; i < c.steps && t.sim.TimerEnabled; ++i) {
      SimulationStep(t.sim);
      if (landUseAfterEachStep != nullptr) {
        for (std::size_t k = 0; k < t.world().FineGrid.Cells().size(); ++k) {
          const LandUseCode now = t.world().FineGrid.Cells()[k].LandUse;
          // Land once used never becomes free again.
          ASSERT_FALSE((*landUseAfterEachStep)[k] != kLandFree && now == kLandFree);
          (*landUseAfterEachStep)[k] = now;
        }
      }
    }
  }
};

TEST_P(WorldInvariantsTest, NetworkAndCountersStayConsistent) {
  testing::TestSimulation t;
  std::vector<LandUseCode> landUse(75 * 84, kLandFree);
  Run(t, GetParam(), &landUse);
  const World& world = t.world();
  ASSERT_GT(world.NodeCount, 1u);

  std::size_t linkEntries = 0;
  for (std::size_t a = 0; a < world.NodeList.size(); ++a) {
    const TAgent& node = world.Node(a);
    EXPECT_EQ(world.CellGrid(node.Column, node.Row).State, kStateNode);
    for (const LinkEntry& link : node.Links) {
      ++linkEntries;
      const TAgent& other = world.Node(static_cast<std::size_t>(link.OtherNode));
      int backLinks = 0;
      for (const LinkEntry& back : other.Links) {
        backLinks += back.OtherNode == static_cast<int>(a) && back.Length == link.Length;
      }
      EXPECT_GE(backLinks, 1) << a << " -> " << link.OtherNode;
    }
  }
  EXPECT_EQ(linkEntries, 2u * world.EdgeCount);

  for (int r = 0; r < world.RowCount; ++r) {
    for (int c = 0; c < world.ColumnCount; ++c) {
      int streets = 0;
      int developed = 0;
      for (int dy = 0; dy < 3; ++dy) {
        for (int dx = 0; dx < 3; ++dx) {
          const LandUseCode use = world.FineGrid(3 * c + dx, 3 * r + dy).LandUse;
          streets += use == kLandStreet;
          developed += use == kLandDeveloped;
        }
      }
      EXPECT_EQ(world.CellGrid(c, r).StreetCount, streets) << c << "," << r;
      EXPECT_EQ(world.CellGrid(c, r).DevelopedCount, developed) << c << "," << r;
      if (world.CellGrid(c, r).State == kStateNode) {
        EXPECT_LT(world.CellGrid(c, r).NodeIndex, static_cast<int>(world.NodeCount));
      }
    }
  }
}

TEST_P(WorldInvariantsTest, FixedSeedRepeatsTheRun) {
  auto fingerprint = [](std::uint64_t seed) {
    testing::TestSimulation t;
    t.random.SetFixedSeed(seed);
    Run(t, GetParam());
    std::vector<std::int64_t> print{t.world().NodeCount, t.world().EdgeCount, t.world().TimeStep};
    for (const TFineCell& fine : t.world().FineGrid.Cells()) {
      print.push_back(CodeNumber(fine.LandUse) * 4 + CodeNumber(fine.SubState));
    }
    for (const TCell& cell : t.world().CellGrid.Cells()) {
      print.push_back(static_cast<std::int64_t>(cell.Potential * 1e6));
    }
    return print;
  };
  EXPECT_EQ(fingerprint(11), fingerprint(11));
}

INSTANTIATE_TEST_SUITE_P(FieldTypes, WorldInvariantsTest,
                         ::testing::Values(FieldTypeCase{setting::kNetworkOnly, 150},
                                           FieldTypeCase{setting::kBoom, 150},
                                           FieldTypeCase{setting::kInterlink, 150},
                                           FieldTypeCase{setting::kCluster, 100}),
                         [](const ::testing::TestParamInfo<FieldTypeCase>& param) {
                           return param.param.radio.Str().substr(3);
                         });

}  // namespace
}  // namespace veltmoor
