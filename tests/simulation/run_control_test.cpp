#include "growth/run_control.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "growth/potential_field.h"
#include "simulation/setup.h"
#include "simulation/window_outputs.h"
#include "support/test_simulation.h"

namespace veltmoor {
namespace {

int DevelopedFineCells(const World& world) {
  int count = 0;
  for (const TFineCell& fine : world.FineGrid.Cells()) {
    count += fine.LandUse == kLandDeveloped ? 1 : 0;
  }
  return count;
}

class RunControlTest : public ::testing::Test {
 protected:
  void Start(SettingName radio) {
    t.settings.SetChecked(radio, true);
    NewSetup(t.sim);
    StartRun(t.sim);
  }
  std::size_t StatisticsPoints() {
    return t.sim.charts.GetSeries(series_name::kEmptyShare).Count();
  }

  testing::TestSimulation t;
};

TEST_F(RunControlTest, ReadFieldTypeTakesTheCheckedButtonAndStopResetsIt) {
  Start(setting::kInterlink);
  EXPECT_EQ(t.world().FieldType, kFieldInterlink);
  EXPECT_TRUE(t.sim.TimerEnabled);
  StopRun(t.sim);
  EXPECT_FALSE(t.sim.TimerEnabled);
  EXPECT_EQ(t.world().FieldType, kFieldStopped);
}

TEST_F(RunControlTest, BoomRunsClusterRoundsFirst) {
  t.settings.Set(setting::kClusterRounds, "3");
  t.settings.Set(setting::kGrowthRate, "2");
  Start(setting::kBoom);
  for (int step = 0; step < 3; ++step) {
    SimulationStep(t.sim);
    // Cluster rounds leave the node-count label alone: only a network phase writes it.
    EXPECT_EQ(t.sim.labels.Get(label::kNodeCount), "0");
    EXPECT_EQ(t.world().TimeStep, static_cast<std::uint32_t>(step + 1));
  }
  const auto nodesBefore = t.world().NodeCount;
  const std::string labelBefore = t.sim.labels.Get(label::kNodeCount);
  SimulationStep(t.sim);  // TimeStep 3: network phase first
  EXPECT_EQ(t.world().TimeStep, 4u);
  EXPECT_NE(t.sim.labels.Get(label::kNodeCount), labelBefore);
  EXPECT_GE(t.world().NodeCount, nodesBefore);
}

TEST_F(RunControlTest, NetworkOnlyNeverRunsThePeriodicAnalyses) {
  Start(setting::kNetworkOnly);
  for (int i = 0; i < 12; ++i) {
    SimulationStep(t.sim);
  }
  EXPECT_EQ(StatisticsPoints(), 0u);
  EXPECT_EQ(t.world().AnalysisCountdown, -12);
  EXPECT_EQ(t.world().NodeCount, 13u);
}

TEST_F(RunControlTest, PeriodicAnalysesRunAtStepsZeroTenTwenty) {
  Start(setting::kCluster);
  t.settings.Set(setting::kGrowthRate, "1");
  for (int i = 0; i < 21; ++i) {
    SimulationStep(t.sim);
  }
  const chart::Series& empty = t.sim.charts.GetSeries(series_name::kEmptyShare);
  ASSERT_EQ(empty.Count(), 3u);
  EXPECT_EQ(empty.XValue(0), 0);
  EXPECT_EQ(empty.XValue(1), 10);
  EXPECT_EQ(empty.XValue(2), 20);
}

TEST_F(RunControlTest, AutoStopComparesBeforeTheIncrement) {
  t.settings.Set(setting::kStopAt, "3");
  Start(setting::kCluster);
  t.settings.Set(setting::kGrowthRate, "1");
  int steps = 0;
  while (t.sim.TimerEnabled && steps < 10) {
    SimulationStep(t.sim);
    ++steps;
  }
  EXPECT_EQ(steps, 4);
  EXPECT_EQ(t.world().TimeStep, 4u);
  EXPECT_EQ(t.sim.labels.Get(label::kTimeStep), "3");
  StartRun(t.sim);  // resumes: one more step, then stops again
  SimulationStep(t.sim);
  EXPECT_FALSE(t.sim.TimerEnabled);
  EXPECT_EQ(t.world().TimeStep, 5u);
}

TEST_F(RunControlTest, StepCounterCountsPastAByteToTheDefaultAutoStop) {
  Start(setting::kCluster);
  t.settings.Set(setting::kGrowthRate, "1");
  t.world().TimeStep = 499;
  SimulationStep(t.sim);
  EXPECT_TRUE(t.sim.TimerEnabled);
  SimulationStep(t.sim);
  EXPECT_FALSE(t.sim.TimerEnabled);
  EXPECT_EQ(t.world().TimeStep, 501u);
  EXPECT_EQ(t.sim.labels.Get(label::kTimeStep), "500");
}

TEST_F(RunControlTest, DevelopmentPhaseSpreadsThePotentialFivePassesFirst) {
  t.settings.SetChecked(setting::kCenterNode, false);
  t.settings.Set(setting::kGrowthRate, "1");
  Start(setting::kCluster);
  t.world().CellGrid(10, 10).DevelopedCount = 9;
  ClusterDevelopmentPhase(t.sim.Growth());
  // The first pass fills the cell itself, each further one reaches a cell further out:
  // five passes reach four cells away, not five.
  EXPECT_GT(t.world().CellGrid(14, 10).Potential, 0.0f);
  EXPECT_GT(t.world().CellGrid(12, 12).Potential, 0.0f);
  EXPECT_EQ(t.world().CellGrid(15, 10).Potential, 0.0f);
  EXPECT_EQ(t.world().CellGrid(10, 5).Potential, 0.0f);
}

// A development phase shades the cells once, after its first round, as developing land
// leaves the cells' colours alone; what a step leaves must still be every cell in the grey
// of its potential, with streets and nodes grown during the later rounds too.
TEST_F(RunControlTest, EveryCellShowsItsPotentialAfterADevelopmentStep) {
  for (SettingName radio : {setting::kCluster, setting::kBoom}) {
    testing::TestSimulation s;
    s.random.SetFixedSeed(11);
    s.settings.SetChecked(setting::kCenterNode, false);
    s.settings.SetChecked(setting::kAutoBuild, false);
    s.settings.SetChecked(radio, true);
    NewSetup(s.sim);
    StartRun(s.sim);
    for (int step = 0; step < 12; ++step) {
      SimulationStep(s.sim);
      for (const TCell& cell : s.world().CellGrid.Cells()) {
        ASSERT_EQ(cell.Color, PotentialShade(cell.Potential)) << "step " << step;
      }
    }
    EXPECT_GT(s.world().NodeCount, 3u);
  }
}

TEST_F(RunControlTest, NodeLimitStopsTheNetworkPhase) {
  t.settings.Set(setting::kStopAt, "1");
  Start(setting::kNetworkOnly);
  SimulationStep(t.sim);
  EXPECT_EQ(t.world().NodeCount, 2u);
  EXPECT_FALSE(t.sim.TimerEnabled);
}

TEST_F(RunControlTest, StoppedStepStillCountsAndBuilds) {
  Start(setting::kCluster);
  StopRun(t.sim);
  SimulationStep(t.sim);
  EXPECT_EQ(t.world().TimeStep, 1u);
  EXPECT_EQ(t.world().AnalysisCountdown, -1);
  EXPECT_EQ(DevelopedFineCells(t.world()), 0);
  EXPECT_EQ(t.sim.labels.Get(label::kTimeStep), "0");
}

TEST_F(RunControlTest, NetworkWithoutInitialNodeStopsAtOnce) {
  t.settings.SetChecked(setting::kCenterNode, false);
  Start(setting::kNetworkOnly);
  SimulationStep(t.sim);
  EXPECT_FALSE(t.sim.TimerEnabled);
  EXPECT_EQ(t.world().NodeCount, 0u);
}

TEST_F(RunControlTest, ClusterRunWithoutInitialNodeGrowsItsOwnNetwork) {
  t.settings.SetChecked(setting::kCenterNode, false);
  Start(setting::kCluster);
  for (int i = 0; i < 5; ++i) {
    SimulationStep(t.sim);
  }
  EXPECT_GT(t.world().NodeCount, 0u);
  EXPECT_GT(DevelopedFineCells(t.world()), 0);
}

// What a grown town is made of, down to the colours a saved world keeps.
struct Town {
  std::vector<std::tuple<LandUseCode, SubStateCode, Colour>> fine;
  std::vector<std::tuple<CellState, std::int32_t, Colour>> cells;
  std::vector<std::tuple<int, int, std::vector<std::int32_t>>> nodes;
  std::uint32_t edges = 0;
  bool operator==(const Town&) const = default;
};

Town TownOf(const World& world) {
  Town town;
  for (const TFineCell& f : world.FineGrid.Cells()) {
    town.fine.emplace_back(f.LandUse, f.SubState, f.Color);
  }
  for (const TCell& c : world.CellGrid.Cells()) {
    town.cells.emplace_back(c.State, c.DevelopedCount, c.Color);
  }
  for (const auto& node : world.NodeList) {
    std::vector<std::int32_t> links;
    for (const LinkEntry& link : node->Links) {
      links.push_back(link.OtherNode);
    }
    town.nodes.emplace_back(node->X, node->Y, links);
  }
  town.edges = world.EdgeCount;
  return town;
}

// The rules' reports only show the town: a run whose sink forgets them all grows exactly
// the town a run that paints, labels and charts grows, whatever the field type.
class SinkTest : public ::testing::TestWithParam<std::string_view> {};

TEST_P(SinkTest, TheNullSinkGrowsTheTownThePaintingSinkGrows) {
  auto run = [](bool reported) {
    testing::TestSimulation s;
    s.random.SetFixedSeed(7);
    s.settings.SetChecked(SettingName(GetParam()), true);
    s.settings.SetChecked(setting::kNodeNumbers, true);
    s.settings.SetChecked(setting::kAutoBuild, true);
    NewSetup(s.sim);
    if (!reported) {
      s.sim.sink = std::make_unique<NullGrowthSink>();
    }
    StartRun(s.sim);
    for (int i = 0; i < 25; ++i) {
      SimulationStep(s.sim);
    }
    const std::size_t points = s.sim.charts.GetSeries(series_name::kEmptyShare).Count();
    return std::make_tuple(TownOf(s.world()), points, s.sim.labels.Get(label::kTimeStep));
  };
  const auto [painted, paintedPoints, paintedStep] = run(true);
  const auto [silent, silentPoints, silentStep] = run(false);
  EXPECT_GT(painted.nodes.size(), 1u);
  EXPECT_TRUE(silent == painted);
  // The silent run did take its statistics and number its steps; they went nowhere.
  EXPECT_EQ(paintedStep, "24");
  EXPECT_EQ(silentStep, "0");
  EXPECT_EQ(silentPoints, 0u);
  if (GetParam() != setting::kNetworkOnly.View()) {
    EXPECT_GT(paintedPoints, 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(FieldTypes, SinkTest,
                         ::testing::Values(setting::kNetworkOnly.View(), setting::kBoom.View(),
                                           setting::kInterlink.View(), setting::kCluster.View()),
                         [](const ::testing::TestParamInfo<std::string_view>& param) {
                           return std::string(param.param.substr(3));
                         });

TEST_F(RunControlTest, SeededRunsRepeat) {
  auto run = [](std::uint64_t seed) {
    testing::TestSimulation s;
    s.random.SetFixedSeed(seed);
    s.settings.SetChecked(setting::kBoom, true);
    NewSetup(s.sim);
    StartRun(s.sim);
    for (int i = 0; i < 15; ++i) {
      SimulationStep(s.sim);
    }
    std::vector<LandUseCode> landUse;
    for (const TFineCell& fine : s.world().FineGrid.Cells()) {
      landUse.push_back(fine.LandUse);
    }
    return std::make_pair(s.world().NodeCount, landUse);
  };
  EXPECT_EQ(run(5), run(5));
  EXPECT_NE(run(5).second, run(6).second);
}

}  // namespace
}  // namespace veltmoor
