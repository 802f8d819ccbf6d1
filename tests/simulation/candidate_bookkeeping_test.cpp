// The frontier and the candidate sites kept up to date as a run goes must give exactly the
// lists a rescan of the whole grids gives, step after step, whatever the world.
#include "simulation/candidate_bookkeeping.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "growth/potential_field.h"
#include "growth/run_control.h"
#include "simulation/node_creation.h"
#include "simulation/setup.h"
#include "support/test_simulation.h"

namespace veltmoor {
namespace {

using Positions = std::vector<std::pair<int, int>>;

// Where the cells of a list lie in `grid`, in list order.
template <typename Cell>
Positions PositionsIn(const Grid2D<Cell>& grid, const std::vector<Cell*>& list) {
  Positions positions;
  positions.reserve(list.size());
  for (const Cell* cell : list) {
    positions.emplace_back(grid.ColumnOf(*cell), grid.RowOf(*cell));
  }
  return positions;
}

Positions PositionsOf(const World& world, const std::vector<TCell*>& list) {
  return PositionsIn(world.CellGrid, list);
}
Positions PositionsOf(const World& world, const FineCellList& list) {
  std::vector<TFineCell*> cells;
  list.ForEach([&cells](TFineCell& cell) { cells.push_back(&cell); });
  return PositionsIn(world.FineGrid, cells);
}

std::vector<CellState> States(const World& world) {
  std::vector<CellState> states;
  for (const TCell& cell : world.CellGrid.Cells()) {
    states.push_back(cell.State);
  }
  return states;
}

// Land use and sub-type of every fine cell: the building rules visit only developed cells
// in the kept world.
std::vector<std::pair<LandUseCode, SubStateCode>> LandUses(const World& world) {
  std::vector<std::pair<LandUseCode, SubStateCode>> uses;
  for (const TFineCell& fine : world.FineGrid.Cells()) {
    uses.emplace_back(fine.LandUse, fine.SubState);
  }
  return uses;
}

// Two runs from one seed, one keeping its candidates up to date, one rescanning the grids.
struct Lockstep {
  Lockstep(const char* radio, int cellSize, bool autoBuild, std::uint64_t seed)
      : kept(180, 160), rescanned(180, 160) {
    for (testing::TestSimulation* t : {&kept, &rescanned}) {
      t->random.SetFixedSeed(seed);
      t->settings.SetChecked(SettingName{radio}, true);
      t->settings.Set(setting::kCellScale, std::to_string(cellSize));
      t->settings.SetChecked(setting::kAutoBuild, autoBuild);
    }
    rescanned.world().RescanGrids = true;
    NewSetup(kept.sim);
    NewSetup(rescanned.sim);
    StartRun(kept.sim);
    StartRun(rescanned.sim);
  }

  testing::TestSimulation kept;
  testing::TestSimulation rescanned;
};

using RunCase = std::tuple<const char*, int, bool>;

class CandidateBookkeepingTest : public ::testing::TestWithParam<RunCase> {};

TEST_P(CandidateBookkeepingTest, EveryStepMatchesARescanOfTheGrids) {
  const auto& [radio, cellSize, autoBuild] = GetParam();
  for (std::uint64_t seed : {3u, 17u}) {
    Lockstep run(radio, cellSize, autoBuild, seed);
    World& kept = run.kept.world();
    World& rescanned = run.rescanned.world();
    int step = 0;
    for (; step < 40 && run.kept.sim.TimerEnabled; ++step) {
      SimulationStep(run.kept.sim);
      SimulationStep(run.rescanned.sim);
      SCOPED_TRACE("seed " + std::to_string(seed) + ", step " + std::to_string(step));
      ASSERT_EQ(run.kept.sim.TimerEnabled, run.rescanned.sim.TimerEnabled);
      ASSERT_EQ(PositionsOf(kept, kept.CandidateList),
                PositionsOf(rescanned, rescanned.CandidateList));
      ASSERT_EQ(PositionsOf(kept, kept.HwmCandidateList),
                PositionsOf(rescanned, rescanned.HwmCandidateList));
      // The kept cluster list shows the free cells as they are now, so it is compared
      // below, straight after a collection; equal land uses show the step chose alike.
      ASSERT_EQ(States(kept), States(rescanned));
      ASSERT_EQ(LandUses(kept), LandUses(rescanned));

      // And within the kept world, at a moment the step itself never collects.
      CollectHwmCandidates(run.kept.sim.Growth());
      const Positions fromFrontier = PositionsOf(kept, kept.HwmCandidateList);
      CollectHwmCandidatesByRescan(run.kept.sim.Growth());
      ASSERT_EQ(fromFrontier, PositionsOf(kept, kept.HwmCandidateList));
      CollectClusterCandidates(run.kept.sim.Growth());
      const Positions freeCells = PositionsOf(kept, kept.ClusterCandidateList);
      CollectClusterCandidatesByRescan(run.kept.sim.Growth());
      ASSERT_EQ(freeCells, PositionsOf(kept, kept.ClusterCandidateList));
      // The other run collects the same, so both lists still compare after the next step.
      CollectHwmCandidatesByRescan(run.rescanned.sim.Growth());
    }
    EXPECT_GT(step, 5);
    EXPECT_GT(kept.NodeCount, 2u);
  }
}

INSTANTIATE_TEST_SUITE_P(Worlds, CandidateBookkeepingTest,
                         ::testing::Combine(::testing::Values("RB_netOnly", "RB_boom",
                                                              "RB_interlink", "RB_cluster"),
                                            ::testing::Values(3, 6, 24), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<RunCase>& param) {
                           return std::string(std::get<0>(param.param) + 3) + "_size" +
                                  std::to_string(std::get<1>(param.param)) +
                                  (std::get<2>(param.param) ? "_autoBuild" : "_byHand");
                         });

// Nodes planted by hand, on the border and in clusters, in an order no growth step takes.
TEST(CandidateSitesTest, NodesAnywhereMatchTwoFullSweeps) {
  testing::TestSimulation kept(200, 160);
  testing::TestSimulation rescanned(200, 160);
  for (testing::TestSimulation* t : {&kept, &rescanned}) {
    t->settings.SetChecked(setting::kCenterNode, false);
    t->settings.Set(setting::kCellScale, "8");
  }
  rescanned.world().RescanGrids = true;
  NewSetup(kept.sim);
  NewSetup(rescanned.sim);
  const Positions nodes = {{0, 0}, {3, 1},  {24, 19}, {12, 10}, {14, 10}, {13, 12}, {12, 10},
                           {1, 3}, {23, 0}, {16, 9},  {9, 13},  {10, 7},  {0, 19},  {5, 5}};
  for (const auto& [c, r] : nodes) {
    CreateNode(kept.sim.Growth(), kept.world().CellGrid(c, r));
    CreateNode(rescanned.sim.Growth(), rescanned.world().CellGrid(c, r));
    SCOPED_TRACE(std::to_string(c) + "," + std::to_string(r));
    ASSERT_EQ(PositionsOf(kept.world(), kept.world().CandidateList),
              PositionsOf(rescanned.world(), rescanned.world().CandidateList));
    ASSERT_EQ(States(kept.world()), States(rescanned.world()));
  }
  EXPECT_TRUE(kept.world().Sites.Trusted);
}

// A read world may hold States no run produces; those are swept in full, as they always were.
TEST(CandidateSitesTest, StatesThatDoNotFollowFromTheNodesAreSweptInFull) {
  testing::TestSimulation kept(200, 160);
  testing::TestSimulation rescanned(200, 160);
  for (testing::TestSimulation* t : {&kept, &rescanned}) {
    t->settings.Set(setting::kCellScale, "8");
  }
  rescanned.world().RescanGrids = true;
  NewSetup(kept.sim);
  NewSetup(rescanned.sim);
  for (World* world : {&kept.world(), &rescanned.world()}) {
    world->CellGrid(2, 2).State = kStateNextToNode;  // no node anywhere near
    world->Sites.Reset();
  }
  CreateNode(kept.sim.Growth(), kept.world().CellGrid(20, 5));
  CreateNode(rescanned.sim.Growth(), rescanned.world().CellGrid(20, 5));
  EXPECT_EQ(PositionsOf(kept.world(), kept.world().CandidateList),
            PositionsOf(rescanned.world(), rescanned.world().CandidateList));
  EXPECT_EQ(States(kept.world()), States(rescanned.world()));
  // The stray cell was listed as a candidate, so the States still do not follow.
  EXPECT_FALSE(kept.world().Sites.Trusted);
}

TEST(FineFrontierTest, FollowsLandUseChangesAtTheGridBorder) {
  Grid2D<TFineCell> fine(4, 3);
  fine(0, 0).LandUse = kLandStreet;
  FineFrontier frontier;
  frontier.Build(fine);
  EXPECT_EQ(frontier.FreeCount(), 11u);
  auto marked = [&frontier] {
    Positions positions;
    frontier.Frontier().ForEachSet([&positions](std::size_t index) {
      positions.emplace_back(static_cast<int>(index % 4), static_cast<int>(index / 4));
    });
    return positions;
  };
  EXPECT_EQ(marked(), (Positions{{1, 0}, {0, 1}}));

  auto developed = [&frontier] {
    std::size_t count = 0;
    frontier.Developed().ForEachSet([&count](std::size_t) { ++count; });
    return count;
  };

  frontier.Update(3, 2, kLandDeveloped);  // the far corner used
  EXPECT_EQ(marked(), (Positions{{1, 0}, {0, 1}, {3, 1}, {2, 2}}));
  EXPECT_EQ(developed(), 1u);
  frontier.Update(3, 2, kLandStreet);  // a street over developed land: still used
  EXPECT_EQ(marked(), (Positions{{1, 0}, {0, 1}, {3, 1}, {2, 2}}));
  EXPECT_EQ(frontier.FreeCount(), 10u);
  EXPECT_EQ(developed(), 0u);
  frontier.Update(0, 0, kLandFree);  // freed, as a reset grid is
  EXPECT_EQ(marked(), (Positions{{3, 1}, {2, 2}}));
  EXPECT_EQ(frontier.FreeCount(), 11u);
}

// Runs must cover exactly the set bits, in order, never across a word, for patterns that
// fill, cross and end words: a word of 64, runs at either end of a word, single bits.
TEST(BitGridTest, RunsCoverTheSetBitsInOrder) {
  BitGrid bits;
  bits.Resize(67, 5);
  const std::size_t total = 67 * 5;
  for (std::size_t i = 0; i < total; ++i) {
    const bool on = (i >= 64 && i < 128) || (i >= 120 && i < 131) || i % 29 == 0 ||
                    (i >= 250 && i < 256) || i == total - 1;
    bits.Assign(i, on);
  }
  std::vector<std::size_t> set;
  bits.ForEachSet([&set](std::size_t index) { set.push_back(index); });
  std::vector<std::size_t> runs;
  std::size_t longest = 0;
  bits.ForEachRun([&](std::size_t first, std::size_t count) {
    ASSERT_GT(count, 0u);
    ASSERT_EQ(first / 64, (first + count - 1) / 64) << first;
    for (std::size_t i = first; i < first + count; ++i) {
      runs.push_back(i);
    }
    longest = std::max(longest, count);
  });
  EXPECT_EQ(runs, set);
  EXPECT_EQ(longest, 64u);
}

// The debug builds' check of the kept frontier: a land use written past SetFineLandUse
// leaves the frontier stale, and the check must see it.
TEST(FrontierCheckTest, ALandUseChangedAroundSetFineLandUseIsCaught) {
  testing::TestSimulation t(120, 120);
  NewSetup(t.sim);
  World& world = t.world();
  ASSERT_EQ(world.FineGrid.Columns(), 15);
  ASSERT_EQ(world.FineGrid.Rows(), 15);
  EXPECT_TRUE(world.FrontierMatchesGrid());  // nothing kept yet
  world.KeptFrontier();
  world.SetFineLandUse(world.FineGrid(4, 4), kLandDeveloped);
  EXPECT_TRUE(world.FrontierMatchesGrid());
  world.FineGrid(10, 10).LandUse = kLandStreet;
  EXPECT_FALSE(world.FrontierMatchesGrid());
}

}  // namespace
}  // namespace veltmoor
