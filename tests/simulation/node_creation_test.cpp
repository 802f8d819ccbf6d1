#include "simulation/node_creation.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "simulation/setup.h"
#include "support/test_simulation.h"

namespace veltmoor {
namespace {

using Cells = std::vector<std::pair<int, int>>;

Cells CandidatePositions(const World& world) {
  Cells positions;
  for (const TCell* cell : world.CandidateList) {
    positions.emplace_back(world.ColumnOf(*cell), world.RowOf(*cell));
  }
  return positions;
}

TEST(PixelDistanceTest, RoundsTheEuclideanDistanceHalfToEven) {
  EXPECT_EQ(PixelDistance(0, 0, 3, 4), 5);
  EXPECT_EQ(PixelDistance(0, 0, 1, 1), 1);
  EXPECT_EQ(PixelDistance(3, 4, 0, 0), 5);
  EXPECT_EQ(PixelDistance(5, 5, 5, 5), 0);
  EXPECT_EQ(PixelDistance(0, 0, 24, 24), 34);  // 33.94
  EXPECT_EQ(PixelDistance(0, 0, 1, 2), 2);     // 2.236
}

TEST(CreateNodeTest, InitialNodeClassifiesTwoRingsAndListsTheDoublePass) {
  testing::TestSimulation t;
  NewSetup(t.sim);
  const World& world = t.world();
  ASSERT_EQ(world.NodeCount, 1u);
  for (int r = 0; r < world.RowCount; ++r) {
    for (int c = 0; c < world.ColumnCount; ++c) {
      const int ring = std::max(std::abs(c - 12), std::abs(r - 14));
      const CellState expected = ring == 0   ? kStateNode
                                 : ring == 1 ? kStateNextToNode
                                 : ring == 2 ? kStateCandidate
                                             : kStateFree;
      EXPECT_EQ(world.CellGrid(c, r).State, expected) << c << "," << r;
    }
  }
  const Cells firstPass = {{14, 13}, {10, 14}, {14, 14}, {10, 15}, {14, 15},
                           {10, 16}, {11, 16}, {12, 16}, {13, 16}, {14, 16}};
  Cells expected = firstPass;
  const Cells secondPassHead = {{10, 12}, {11, 12}, {12, 12}, {13, 12}, {14, 12}, {10, 13}};
  expected.insert(expected.end(), secondPassHead.begin(), secondPassHead.end());
  expected.insert(expected.end(), firstPass.begin(), firstPass.end());
  EXPECT_EQ(CandidatePositions(world), expected);
  ASSERT_EQ(world.CandidateList.size(), 26u);
  for (const TCell* cell : world.CandidateList) {
    EXPECT_EQ(cell->State, kStateCandidate);
  }
}

TEST(CreateNodeTest, SecondNodeInTheSameCellIsAddedAndTheCellPointsAtIt) {
  testing::TestSimulation t;
  NewSetup(t.sim);
  World& world = t.world();
  TCell& cell = world.CellGrid(12, 14);
  TAgent& second = CreateNode(t.sim.Growth(), cell);
  EXPECT_EQ(world.NodeCount, 2u);
  ASSERT_EQ(world.NodeList.size(), 2u);
  EXPECT_EQ(cell.NodeIndex, 1);
  EXPECT_EQ(world.Node(0).X, second.X);
  EXPECT_EQ(world.Node(0).Y, second.Y);
  EXPECT_EQ(second.Column, 12);
  EXPECT_EQ(second.Row, 14);
  EXPECT_EQ(second.Radius, 5);
  EXPECT_EQ(second.Color, colours::kGrey);
  EXPECT_EQ(world.EdgeCount, 0u);
}

TEST(CreateNodeTest, NodeNextToTheBorderSkipsPositionsOffTheGrid) {
  testing::TestSimulation t;
  t.settings.SetChecked(setting::kCenterNode, false);
  NewSetup(t.sim);
  World& world = t.world();
  EXPECT_TRUE(world.CandidateList.empty());
  CreateNode(t.sim.Growth(), world.CellGrid(0, 0));
  EXPECT_EQ(world.CellGrid(1, 1).State, kStateNextToNode);
  EXPECT_EQ(world.CellGrid(2, 2).State, kStateCandidate);
  EXPECT_EQ(world.CellGrid(3, 0).State, kStateFree);
  // Five candidates, each listed in both passes.
  EXPECT_EQ(world.CandidateList.size(), 10u);
}

TEST(CreateNodeTest, NodeNumbersAreLabelledWhenAsked) {
  testing::TestSimulation t;
  t.settings.SetChecked(setting::kNodeNumbers, true);
  NewSetup(t.sim);
  CreateNode(t.sim.Growth(), t.world().CellGrid(3, 4));
  const auto& labels = t.sim.map.NodeLabelList;
  ASSERT_EQ(labels.size(), 2u);
  EXPECT_EQ(labels[1].Caption, "1");
  EXPECT_EQ(labels[1].Left, 3 * 24 + 12 - 5);
  EXPECT_EQ(labels[1].Top, 4 * 24 + 12 - 13);
}

TEST(ClassifyNeighbourhoodTest, NodeBeatsNextToNodeAndCentreCounts) {
  testing::TestSimulation t;
  t.settings.SetChecked(setting::kCenterNode, false);
  NewSetup(t.sim);
  World& world = t.world();
  EXPECT_EQ(ClassifyNeighbourhood(world, 5, 5), NeighbourhoodClass::kFarFromNodes);
  world.CellGrid(6, 6).State = kStateNextToNode;
  EXPECT_EQ(ClassifyNeighbourhood(world, 5, 5), NeighbourhoodClass::kNextToNodeNearby);
  world.CellGrid(5, 5).State = kStateNode;
  EXPECT_EQ(ClassifyNeighbourhood(world, 5, 5), NeighbourhoodClass::kNodeNearby);
  EXPECT_EQ(ClassifyNeighbourhood(world, 4, 4), NeighbourhoodClass::kNodeNearby);
  EXPECT_EQ(ClassifyNeighbourhood(world, 7, 7), NeighbourhoodClass::kNextToNodeNearby);
}

}  // namespace
}  // namespace veltmoor
