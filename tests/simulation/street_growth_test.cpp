#include "growth/street_growth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <tuple>
#include <utility>
#include <vector>

#include "growth/run_control.h"
#include "simulation/node_creation.h"
#include "simulation/setup.h"
#include "support/test_simulation.h"

namespace veltmoor {
namespace {

struct EmptyWorld : testing::TestSimulation {
  EmptyWorld() {
    settings.SetChecked(setting::kCenterNode, false);
    NewSetup(sim);
  }
  TAgent& Plant(int column, int row) {
    return CreateNode(sim.Growth(), world().CellGrid(column, row));
  }
  TFineCell& Fine(int column, int row) { return world().FineGrid(column, row); }
};

// Column and row of every street fine cell, in scan order.
std::vector<std::pair<int, int>> StreetCells(const World& world) {
  std::vector<std::pair<int, int>> streets;
  for (int r = 0; r < world.FineGrid.Rows(); ++r) {
    for (int c = 0; c < world.FineGrid.Columns(); ++c) {
      if (world.FineGrid(c, r).LandUse == kLandStreet) {
        streets.emplace_back(c, r);
      }
    }
  }
  return streets;
}

bool Linked(const TAgent& a, int otherIndex) {
  for (const LinkEntry& link : a.Links) {
    if (link.OtherNode == otherIndex) {
      return true;
    }
  }
  return false;
}

TEST(GrowNetworkTest, FirstNetworkOnlyStepLinksTheNewNodeTwoCellsAway) {
  testing::TestSimulation t;
  t.settings.Set(setting::kNoiseWeight, "0");
  NewSetup(t.sim);
  World& world = t.world();
  world.FieldType = kFieldNetworkOnly;
  world.CellGrid(14, 14).Potential = 0.5f;
  GrowNetwork(t.sim.Growth());

  ASSERT_EQ(world.NodeCount, 2u);
  EXPECT_EQ(world.EdgeCount, 1u);
  EXPECT_EQ(world.CellGrid(14, 14).Color, colours::kLightGrey);
  ASSERT_EQ(world.Node(1).Links.size(), 1u);
  EXPECT_EQ(world.Node(1).Links[0].OtherNode, 0);
  EXPECT_EQ(world.Node(0).Links[0].Length, 48);
  const auto streets = StreetCells(world);
  ASSERT_EQ(streets.size(), 7u);
  EXPECT_EQ(streets.front().first, 37);
  EXPECT_EQ(streets.back(), std::make_pair(43, 43));
  EXPECT_EQ(world.CellGrid(13, 14).StreetCount, 3);
  EXPECT_EQ(world.CellGrid(14, 14).StreetCount, 2);
}

TEST(GrowNetworkTest, ThresholdOfOneStopsGrowthOutsideNetworkOnlyAndNoSiteStopsTheTimer) {
  for (std::uint8_t fieldType = kFieldNetworkOnly; fieldType <= kFieldCluster; ++fieldType) {
    testing::TestSimulation t;
    t.settings.Set(setting::kGrowThreshold, "1");
    NewSetup(t.sim);
    t.world().FieldType = fieldType;
    for (TCell* cell : t.world().CandidateList) {
      cell->Potential = 1.0f;
    }
    GrowNetwork(t.sim.Growth());
    EXPECT_EQ(t.world().NodeCount, fieldType == kFieldNetworkOnly ? 2u : 1u) << int{fieldType};
  }
  EmptyWorld empty;
  empty.sim.TimerEnabled = true;
  GrowNetwork(empty.sim.Growth());
  EXPECT_FALSE(empty.sim.TimerEnabled);
}

TEST(CollectNearbyNodesTest, ColumnOffsetsOuterCentreAndFarCellsSkipped) {
  EmptyWorld t;
  t.Plant(11, 9);   // column offset 0, row offset -2
  t.Plant(10, 11);  // column offset -1
  t.Plant(11, 11);  // the centre
  t.Plant(14, 11);  // three columns away
  std::vector<TAgent*> list{&t.world().Node(2)};
  CollectNearbyNodes(t.world(), 11, 11, list);
  EXPECT_EQ(list, (std::vector<TAgent*>{&t.world().Node(1), &t.world().Node(0)}));
}

TEST(CollectNearbyNodesTest, TheFourCornersOfTheWindowAreInOneCellFurtherIsNot) {
  EmptyWorld t;
  t.Plant(9, 13);   // column offset -2, row offset +2
  t.Plant(13, 9);   // +2, -2
  t.Plant(9, 9);    // -2, -2
  t.Plant(13, 13);  // +2, +2
  t.Plant(14, 13);  // +3
  t.Plant(13, 8);   // row offset -3
  std::vector<TAgent*> list;
  CollectNearbyNodes(t.world(), 11, 11, list);
  // Column offsets outer, row offsets inner, both from -2 up.
  EXPECT_EQ(list, (std::vector<TAgent*>{&t.world().Node(2), &t.world().Node(0), &t.world().Node(1),
                                        &t.world().Node(3)}));
}

TEST(LinkNewNodeTest, ManhattanDistanceFirstInListWinsAndInterlinkOnlyInTypesOneAndThree) {
  for (std::uint8_t fieldType : {kFieldBoom, kFieldInterlink}) {
    EmptyWorld t;
    t.world().FieldType = fieldType;
    TAgent& straight = t.Plant(12, 10);  // |dx| + |dy| = 48, Euclidean 48
    TAgent& diagonal = t.Plant(11, 9);   // |dx| + |dy| = 48, Euclidean 34
    TAgent& n = t.Plant(10, 10);
    std::vector<TAgent*> list{&straight, &diagonal};
    LinkNewNode(t.sim.Growth(), t.world().CellGrid(10, 10), list);
    ASSERT_FALSE(n.Links.empty());
    EXPECT_EQ(n.Links[0].OtherNode, 0);
    // The diagonal node has no path to n, so the interlink types tie it in as well.
    EXPECT_EQ(Linked(n, 1), fieldType == kFieldInterlink);
  }
}

TEST(InterlinkNodesTest, LinksOnlyWhenTheDetourExceedsMinDist) {
  for (int segments : {2, 3, 4, 6}) {
    EmptyWorld t;
    TAgent* prev = &t.Plant(2, 2);
    for (int i = 1; i <= segments; ++i) {
      TAgent& next = t.Plant(2 + i, 2);
      LinkNodes(t.sim.Growth(), next, *prev);
      prev = &next;
    }
    InterlinkNodes(t.sim.Growth(), t.world().Node(0), {prev});
    EXPECT_EQ(Linked(t.world().Node(0), segments), segments > 3) << segments;
  }
}

TEST(InterlinkNodesTest, UnreachableNodeIsLinkedAndTheLinkServesTheNextSearch) {
  EmptyWorld t;
  TAgent& n = t.Plant(5, 5);
  TAgent& q1 = t.Plant(7, 5);
  TAgent& q2 = t.Plant(7, 7);
  LinkNodes(t.sim.Growth(), q2, q1);
  InterlinkNodes(t.sim.Growth(), n, {&q1, &q2});
  // After n-q1, q2 is two segments away and needs no link of its own.
  EXPECT_TRUE(Linked(n, 1));
  EXPECT_FALSE(Linked(n, 2));
  EXPECT_EQ(t.world().EdgeCount, 2u);
}

TEST(TraceStreetTest, StaircaseHasManhattanLengthAndStaysInItsRectangle) {
  const int ends[][4] = {{4, 3, 13, 8}, {20, 2, 15, 11}, {6, 6, 6, 1}};
  for (const auto& e : ends) {
    EmptyWorld t;
    TraceStreet(t.sim.Growth(), t.Fine(e[0], e[1]), t.Fine(e[2], e[3]), {e[2] - e[0], e[3] - e[1]});
    const auto streets = StreetCells(t.world());
    EXPECT_EQ(streets.size(),
              static_cast<std::size_t>(std::abs(e[2] - e[0]) + std::abs(e[3] - e[1]) + 1));
    EXPECT_EQ(t.Fine(e[2], e[3]).LandUse, kLandStreet);
    for (const auto& [c, r] : streets) {
      EXPECT_TRUE(c >= std::min(e[0], e[2]) && c <= std::max(e[0], e[2]) &&
                  r >= std::min(e[1], e[3]) && r <= std::max(e[1], e[3]));
    }
  }
}

// The cells of a street walked by the rule with long double angles. On grids this small a
// real difference between two deviations is far above 1e-12, so anything closer is a tie
// and goes to the earlier neighbour.
std::vector<std::pair<int, int>> ReferenceStreet(int c, int r, int goalC, int goalR) {
  const long double angle = std::atan2(static_cast<long double>(goalR - r), goalC - c);
  std::vector<std::pair<int, int>> cells{{c, r}};
  while (c != goalC || r != goalR) {
    const int offsets[4][2] = {{0, 1}, {0, -1}, {1, 0}, {-1, 0}};
    long double smallest = 999999999;
    std::pair<int, int> next;
    for (const auto& o : offsets) {
      const int nc = c + o[0];
      const int nr = r + o[1];
      if (std::abs(goalR - nr) > std::abs(goalR - r) ||
          std::abs(goalC - nc) > std::abs(goalC - c)) {
        continue;
      }
      const long double deviation =
          std::fabs(angle - std::atan2(static_cast<long double>(goalR - nr), goalC - nc));
      if (deviation < smallest - 1e-12L) {
        smallest = deviation;
        next = {nc, nr};
      }
    }
    std::tie(c, r) = next;
    cells.push_back(next);
  }
  return cells;
}

std::vector<std::pair<int, int>> TracedStreet(int c, int r, int goalC, int goalR) {
  EmptyWorld t;
  TraceStreet(t.sim.Growth(), t.Fine(c, r), t.Fine(goalC, goalR), {goalC - c, goalR - r});
  std::vector<std::pair<int, int>> cells = StreetCells(t.world());
  std::sort(cells.begin(), cells.end());
  return cells;
}

std::vector<std::pair<int, int>> Sorted(std::vector<std::pair<int, int>> cells) {
  std::sort(cells.begin(), cells.end());
  return cells;
}

TEST(TraceStreetTest, FortyFiveDegreeStreetsStepByRowFirst) {
  // Every cell of a diagonal has its two candidates exactly equally far from 45 degrees, so
  // the earlier neighbour in the scan, the row step, wins each time. (Up and to the left the
  // last step is no tie: the bearing of a step along the goal's row jumps to +pi.)
  for (const auto& [dc, dr] : {std::pair{1, 1}, {-1, 1}, {1, -1}}) {
    std::vector<std::pair<int, int>> expected{{20, 20}};
    for (int k = 0; k < 6; ++k) {
      expected.emplace_back(20 + k * dc, 20 + (k + 1) * dr);
      expected.emplace_back(20 + (k + 1) * dc, 20 + (k + 1) * dr);
    }
    EXPECT_EQ(TracedStreet(20, 20, 20 + 6 * dc, 20 + 6 * dr), Sorted(expected)) << dc << "," << dr;
  }
}

TEST(TraceStreetTest, EveryDirectionFollowsTheAngleRuleExactly) {
  // Just off 45 degrees, steep, flat and in all four quadrants, including the one where the
  // plain difference of radians jumps at pi.
  for (int dc = -7; dc <= 7; ++dc) {
    for (int dr = -7; dr <= 7; ++dr) {
      EXPECT_EQ(TracedStreet(20, 20, 20 + dc, 20 + dr),
                Sorted(ReferenceStreet(20, 20, 20 + dc, 20 + dr)))
          << dc << "," << dr;
    }
  }
  EXPECT_EQ(TracedStreet(10, 10, 50, 49), Sorted(ReferenceStreet(10, 10, 50, 49)));
  EXPECT_EQ(TracedStreet(50, 10, 10, 51), Sorted(ReferenceStreet(50, 10, 10, 51)));
}

TEST(TraceStreetTest, FirstNetworkStepOfSeedOneTakesTheRowStepOnItsDiagonal) {
  testing::TestSimulation t;
  t.random.SetFixedSeed(1);
  t.settings.SetChecked(setting::kNetworkOnly, true);
  NewSetup(t.sim);
  StartRun(t.sim);
  SimulationStep(t.sim);
  // The new node's street runs from fine cell (37, 43) to (31, 49).
  const World& world = t.world();
  for (const auto& [c, r] : {std::pair{37, 44}, {36, 44}, {36, 45}}) {
    EXPECT_EQ(world.FineGrid(c, r).LandUse, kLandStreet) << c << "," << r;
  }
  for (const auto& [c, r] : {std::pair{36, 43}, {35, 44}}) {
    EXPECT_EQ(world.FineGrid(c, r).LandUse, kLandFree) << c << "," << r;
  }
}

TEST(TraceStreetTest, StreetOverDevelopedLandMovesTheCountAndOverAStreetKeepsIt) {
  EmptyWorld t;
  t.Fine(4, 1).LandUse = kLandDeveloped;
  TCell& coarse = t.world().CellGrid(1, 0);
  coarse.DevelopedCount = 1;
  TraceStreet(t.sim.Growth(), t.Fine(2, 1), t.Fine(5, 1), {1, 0});
  EXPECT_EQ(coarse.DevelopedCount, 0);
  EXPECT_EQ(coarse.StreetCount, 3);
  TraceStreet(t.sim.Growth(), t.Fine(5, 1), t.Fine(3, 1), {-1, 0});
  EXPECT_EQ(coarse.StreetCount, 3);
}

TEST(BuildStraightStreetTest, NineCellsApartGetTwoIntermediateNodesAdjacentCellsNone) {
  EmptyWorld t;
  World& world = t.world();
  t.Plant(5, 10);
  BuildStraightStreet(t.sim.Growth(), world.CellGrid(5, 10), world.CellGrid(14, 10));
  ASSERT_EQ(world.NodeCount, 4u);
  EXPECT_EQ(world.EdgeCount, 3u);
  for (int i = 1; i < 4; ++i) {
    EXPECT_EQ(world.Node(i).Column, 5 + 3 * i);
    EXPECT_EQ(world.Node(i).Links[0].OtherNode, i - 1);
  }
  EXPECT_EQ(world.Node(0).Links.size(), 1u);
  EXPECT_EQ(StreetCells(world).size(), 28u);

  BuildStraightStreet(t.sim.Growth(), world.CellGrid(5, 20), world.CellGrid(5, 21));
  ASSERT_EQ(world.NodeCount, 6u);
  EXPECT_EQ(world.EdgeCount, 4u);
  EXPECT_EQ(world.Node(5).Links[0].OtherNode, 4);
}

TEST(BuildStraightStreetTest, IntermediateNodeRoundedOntoTheEndCellIsNotLinkedToItself) {
  // Four cells on a diagonal, one cell per step: n = Round(136 / 24) = 6, and the fifth
  // intermediate node, 5 * 0.707 = 3.54 cells along, rounds onto the end cell.
  EmptyWorld t;
  World& world = t.world();
  t.settings.Set(setting::kStreetStep, "1");
  BuildStraightStreet(t.sim.Growth(), world.CellGrid(5, 5), world.CellGrid(9, 9));
  ASSERT_EQ(world.NodeCount, 6u);
  EXPECT_EQ(world.Node(5).Column, 9);
  EXPECT_EQ(world.Node(5).Row, 9);
  EXPECT_EQ(world.CellGrid(9, 9).NodeIndex, 5);
  EXPECT_EQ(world.EdgeCount, 5u);
  for (std::size_t i = 0; i < world.NodeList.size(); ++i) {
    for (const LinkEntry& link : world.Node(i).Links) {
      EXPECT_NE(link.OtherNode, static_cast<int>(i));
    }
  }
  EXPECT_EQ(world.Node(5).Links.size(), 1u);
}

}  // namespace
}  // namespace veltmoor
