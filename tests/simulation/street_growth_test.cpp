#include "simulation/street_growth.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <numbers>
#include <vector>

#include "simulation/node_creation.h"
#include "simulation/setup.h"
#include "support/test_simulation.h"

namespace veltmoor {
namespace {

struct EmptyWorld : testing::TestSimulation {
  EmptyWorld() {
    settings.SetChecked("cb_centerNode", false);
    NewSetup(sim);
  }
  TAgent& Plant(int column, int row) { return CreateNode(sim, world().CellGrid(column, row)); }
  TCell& Fine(int column, int row) { return world().FineGrid(column, row); }
};

std::vector<const TCell*> StreetCells(const World& world) {
  std::vector<const TCell*> streets;
  for (const TCell& fine : world.FineGrid.Cells()) {
    if (fine.LandUse == kLandStreet) {
      streets.push_back(&fine);
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
  t.settings.Set("E_fieldW", "0");
  NewSetup(t.sim);
  World& world = t.world();
  world.FieldType = kFieldNetworkOnly;
  world.CellGrid(14, 14).Potential = 0.5f;

  GrowNetwork(t.sim);

  ASSERT_EQ(world.NodeCount, 2u);
  EXPECT_EQ(world.EdgeCount, 1u);
  const TCell& site = world.CellGrid(14, 14);
  EXPECT_EQ(site.State, kStateNode);
  EXPECT_EQ(site.Color, colours::kLightGrey);
  ASSERT_EQ(world.Node(1).Links.size(), 1u);
  EXPECT_EQ(world.Node(1).Links[0].OtherNode, 0);
  EXPECT_EQ(world.Node(1).Links[0].Length, 48);
  EXPECT_EQ(world.Node(0).Links[0].OtherNode, 1);

  const auto streets = StreetCells(world);
  ASSERT_EQ(streets.size(), 7u);
  for (const TCell* fine : streets) {
    EXPECT_EQ(fine->Row, 43);
    EXPECT_GE(fine->Column, 37);
    EXPECT_LE(fine->Column, 43);
    EXPECT_EQ(fine->SubState, kSubStreet);
    EXPECT_EQ(fine->Color, colours::kYellow);
  }
  EXPECT_EQ(world.CellGrid(12, 14).StreetCount, 2);
  EXPECT_EQ(world.CellGrid(13, 14).StreetCount, 3);
  EXPECT_EQ(world.CellGrid(14, 14).StreetCount, 2);
}

TEST(GrowNetworkTest, ThresholdOfOneStopsGrowthOnlyOutsideNetworkOnly) {
  for (std::uint8_t fieldType = kFieldNetworkOnly; fieldType <= kFieldCluster; ++fieldType) {
    testing::TestSimulation t;
    t.settings.Set("E_nodeThresh", "1");
    NewSetup(t.sim);
    World& world = t.world();
    world.FieldType = fieldType;
    for (TCell* cell : world.CandidateList) {
      cell->Potential = 1.0f;
    }
    GrowNetwork(t.sim);
    EXPECT_EQ(world.NodeCount, fieldType == kFieldNetworkOnly ? 2u : 1u) << int{fieldType};
  }
}

TEST(GrowNetworkTest, NoCandidateSiteSwitchesTheTimerOff) {
  EmptyWorld t;
  t.sim.TimerEnabled = true;
  GrowNetwork(t.sim);
  EXPECT_FALSE(t.sim.TimerEnabled);
  EXPECT_EQ(t.world().NodeCount, 0u);
}

TEST(CollectNearbyNodesTest, ColumnOffsetsOuterCentreAndFarCellsSkipped) {
  EmptyWorld t;
  t.Plant(11, 9);   // column offset 0, row offset -2
  t.Plant(10, 11);  // column offset -1
  t.Plant(11, 11);  // the centre
  t.Plant(14, 11);  // three columns away
  std::vector<TAgent*> list{&t.world().Node(2)};
  CollectNearbyNodes(t.world(), 11, 11, list);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0], &t.world().Node(1));
  EXPECT_EQ(list[1], &t.world().Node(0));
}

TEST(LinkNewNodeTest, ManhattanDistanceFirstInListWinsAndInterlinkOnlyInTypesOneAndThree) {
  for (std::uint8_t fieldType : {kFieldBoom, kFieldInterlink}) {
    EmptyWorld t;
    World& world = t.world();
    world.FieldType = fieldType;
    TAgent& straight = t.Plant(12, 10);  // |dx| + |dy| = 48, Euclidean 48
    TAgent& diagonal = t.Plant(11, 9);   // |dx| + |dy| = 48, Euclidean 34
    TAgent& n = t.Plant(10, 10);
    std::vector<TAgent*> list{&straight, &diagonal};
    LinkNewNode(t.sim, world.CellGrid(10, 10), list);

    ASSERT_FALSE(n.Links.empty());
    EXPECT_EQ(n.Links[0].OtherNode, 0);
    // The diagonal node has no path to n yet, so the interlink types tie it in as well.
    EXPECT_EQ(Linked(n, 1), fieldType == kFieldInterlink);
    EXPECT_EQ(world.EdgeCount, fieldType == kFieldInterlink ? 2u : 1u);
  }
}

// A chain of `segments` segments from a new node n to q, built away from everything else.
struct Chain : EmptyWorld {
  explicit Chain(int segments) {
    n = &Plant(2, 2);
    TAgent* prev = n;
    for (int i = 1; i <= segments; ++i) {
      TAgent& next = Plant(2 + i, 2);
      LinkNodes(sim, next, *prev);
      prev = &next;
    }
    q = prev;
  }
  TAgent* n = nullptr;
  TAgent* q = nullptr;
};

TEST(InterlinkNodesTest, LinksOnlyWhenTheDetourExceedsMinDist) {
  for (int segments : {2, 3, 4, 6}) {
    Chain t(segments);
    const auto edgesBefore = t.world().EdgeCount;
    InterlinkNodes(t.sim, *t.n, {t.q});
    const bool linked = segments > 3;
    EXPECT_EQ(t.world().EdgeCount, edgesBefore + (linked ? 1u : 0u)) << segments;
    EXPECT_EQ(Linked(*t.n, segments), linked) << segments;
  }
}

TEST(InterlinkNodesTest, UnreachableNodeIsLinkedAndTheLinkServesTheNextSearch) {
  EmptyWorld t;
  TAgent& n = t.Plant(5, 5);
  TAgent& q1 = t.Plant(7, 5);
  TAgent& q2 = t.Plant(7, 7);
  LinkNodes(t.sim, q2, q1);
  InterlinkNodes(t.sim, n, {&q1, &q2});
  // n-q1 is new; afterwards q2 is two segments away and needs no link of its own.
  EXPECT_TRUE(Linked(n, 1));
  EXPECT_FALSE(Linked(n, 2));
  EXPECT_EQ(t.world().EdgeCount, 2u);
}

TEST(TraceStreetTest, StaircaseHasManhattanLengthAndStaysInItsRectangle) {
  const int ends[][4] = {{4, 3, 13, 8}, {13, 8, 4, 3}, {20, 2, 15, 11}, {6, 6, 6, 1}};
  for (const auto& e : ends) {
    EmptyWorld t;
    TCell& start = t.Fine(e[0], e[1]);
    TCell& goal = t.Fine(e[2], e[3]);
    TraceStreet(t.sim, start, goal, std::atan2(e[3] - e[1], e[2] - e[0]));
    const auto streets = StreetCells(t.world());
    EXPECT_EQ(streets.size(),
              static_cast<std::size_t>(std::abs(e[2] - e[0]) + std::abs(e[3] - e[1]) + 1));
    EXPECT_EQ(start.LandUse, kLandStreet);
    EXPECT_EQ(goal.LandUse, kLandStreet);
    for (const TCell* fine : streets) {
      EXPECT_GE(fine->Column, std::min(e[0], e[2]));
      EXPECT_LE(fine->Column, std::max(e[0], e[2]));
      EXPECT_GE(fine->Row, std::min(e[1], e[3]));
      EXPECT_LE(fine->Row, std::max(e[1], e[3]));
    }
  }
}

TEST(TraceStreetTest, StreetOverDevelopedLandMovesTheCountAndOverAStreetKeepsIt) {
  EmptyWorld t;
  TCell& developed = t.Fine(4, 1);
  developed.LandUse = kLandDeveloped;
  TCell& coarse = t.world().CellGrid(1, 0);
  coarse.DevelopedCount = 1;

  TraceStreet(t.sim, t.Fine(2, 1), t.Fine(5, 1), 0.0);
  EXPECT_EQ(coarse.DevelopedCount, 0);
  EXPECT_EQ(coarse.StreetCount, 3);
  EXPECT_EQ(t.world().CellGrid(0, 0).StreetCount, 1);

  TraceStreet(t.sim, t.Fine(5, 1), t.Fine(3, 1), std::numbers::pi);
  EXPECT_EQ(coarse.StreetCount, 3);
  EXPECT_EQ(coarse.DevelopedCount, 0);
}

TEST(BuildStraightStreetTest, NineCellsInARowGetTwoIntermediateNodes) {
  EmptyWorld t;
  World& world = t.world();
  t.Plant(5, 10);
  BuildStraightStreet(t.sim, world.CellGrid(5, 10), world.CellGrid(14, 10));

  ASSERT_EQ(world.NodeCount, 4u);
  EXPECT_EQ(world.EdgeCount, 3u);
  const int expectedColumns[] = {5, 8, 11, 14};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(world.Node(i).Column, expectedColumns[i]);
    EXPECT_EQ(world.Node(i).Row, 10);
  }
  // A chain: each node is linked to its neighbours only.
  EXPECT_EQ(world.Node(1).Links[0].OtherNode, 0);
  EXPECT_EQ(world.Node(2).Links[0].OtherNode, 1);
  EXPECT_EQ(world.Node(3).Links[0].OtherNode, 2);
  EXPECT_EQ(world.Node(0).Links.size(), 1u);
  EXPECT_EQ(world.Node(1).Links[0].Length, 72);
  EXPECT_EQ(StreetCells(world).size(), 28u);
}

TEST(BuildStraightStreetTest, AdjacentCellsAreJoinedDirectly) {
  EmptyWorld t;
  World& world = t.world();
  BuildStraightStreet(t.sim, world.CellGrid(5, 10), world.CellGrid(5, 11));
  ASSERT_EQ(world.NodeCount, 2u);
  EXPECT_EQ(world.EdgeCount, 1u);
  EXPECT_EQ(world.Node(1).Links[0].OtherNode, 0);
  EXPECT_EQ(world.Node(1).Links[0].Length, 24);
}

TEST(BuildStraightStreetTest, DiagonalStreetToTheCornerStaysOnTheGrid) {
  EmptyWorld t;
  World& world = t.world();
  t.settings.Set("SE_strStep", "1");
  BuildStraightStreet(t.sim, world.CellGrid(world.ColumnCount - 1, world.RowCount - 1),
                      world.CellGrid(0, 0));
  // 24 x 27 cells: Round(sqrt(24^2 + 27^2)) = 36 segments, nodes spread towards (0, 0).
  EXPECT_EQ(world.EdgeCount, 36u);
  for (const auto& node : world.NodeList) {
    EXPECT_TRUE(world.InGrid(node->Column, node->Row));
  }
  EXPECT_EQ(world.CellGrid(0, 0).State, kStateNode);
}

}  // namespace
}  // namespace veltmoor
