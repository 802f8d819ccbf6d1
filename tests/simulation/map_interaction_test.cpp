#include "growth/map_interaction.h"

#include <gtest/gtest.h>

#include "simulation/setup.h"
#include "support/test_simulation.h"

namespace veltmoor {
namespace {

// Pixel in the middle of coarse cell `index` with CellSize 24.
int Mid(int index) {
  return 12 + 24 * index;
}

void Click(Simulation& sim, MouseButton button, int x, int y) {
  Panel_PaintMouseDown(sim, button, x, y);
  Panel_PaintMouseUp(sim, button, x, y);
}

struct MapWorld : testing::TestSimulation {
  MapWorld() { NewSetup(sim); }  // 25 x 28 cells, the initial node at (12, 14)
};

TEST(MapInteractionTest, LeftClickPlantsANodeAndMarginClicksDoNothing) {
  MapWorld t;
  World& world = t.world();
  // 25 cells of 24 pixels end at x = 600; the panel is 611 wide.
  Click(t.sim, MouseButton::Left, 605, Mid(3));
  Panel_PaintMouseDown(t.sim, MouseButton::Left, 605, Mid(3));
  Panel_PaintMouseUp(t.sim, MouseButton::Left, Mid(3), Mid(3));
  Click(t.sim, MouseButton::Other, Mid(6), Mid(6));
  EXPECT_EQ(world.NodeCount, 1u);

  Click(t.sim, MouseButton::Left, Mid(3) + 5, Mid(4) - 7);
  EXPECT_EQ(world.NodeCount, 2u);
  EXPECT_EQ(world.EdgeCount, 0u);
  EXPECT_EQ(world.CellGrid(3, 4).State, kStateNode);
  EXPECT_EQ(world.CellGrid(5, 6).State, kStateCandidate);
}

TEST(MapInteractionTest, LeftDragLaysAStraightStreet) {
  MapWorld t;
  World& world = t.world();
  Panel_PaintMouseDown(t.sim, MouseButton::Left, Mid(12), Mid(14));
  Panel_PaintMouseUp(t.sim, MouseButton::Left, Mid(21), Mid(14));
  EXPECT_EQ(world.NodeCount, 4u);
  EXPECT_EQ(world.EdgeCount, 3u);
  EXPECT_EQ(world.CellGrid(18, 14).State, kStateNode);
  EXPECT_EQ(t.sim.map.DragEndCell, &world.CellGrid(21, 14));
}

TEST(MapInteractionTest, RightClickCountsEveryClickAndStaysInsideTheCell) {
  MapWorld t;
  Click(t.sim, MouseButton::Right, Mid(3) + 9, Mid(4));
  Click(t.sim, MouseButton::Right, Mid(3) + 10, Mid(4) + 1);
  EXPECT_EQ(t.world().FineGrid(11, 13).LandUse, kLandDeveloped);
  EXPECT_EQ(t.world().FineGrid(11, 13).Color, colours::kBlue);
  EXPECT_EQ(t.world().CellGrid(3, 4).DevelopedCount, 2);
  EXPECT_EQ(t.world().CellGrid(3, 4).LandUse, kLandDeveloped);

  t.settings.Set(setting::kCellScale, "25");
  B_setupClick(t.sim);
  // 125 / (25 / 3) falls just short of 15 in floating point, a fine column of cell 4.
  Click(t.sim, MouseButton::Right, 125, 5);
  EXPECT_EQ(t.world().FineGrid(15, 0).LandUse, kLandDeveloped);
  EXPECT_EQ(t.world().FineGrid(14, 0).LandUse, kLandFree);
}

TEST(MapInteractionTest, NoWorldOrNoGridIgnoresTheMouse) {
  testing::TestSimulation before;
  Click(before.sim, MouseButton::Left, 30, 30);
  Click(before.sim, MouseButton::Right, 30, 30);
  EXPECT_EQ(before.world().NodeCount, 0u);

  MapWorld cleared;
  Panel_PaintMouseDown(cleared.sim, MouseButton::Left, Mid(1), Mid(1));
  ClearWorld(cleared.sim);
  Panel_PaintMouseUp(cleared.sim, MouseButton::Left, Mid(5), Mid(1));
  Click(cleared.sim, MouseButton::Right, Mid(1), Mid(1));
  EXPECT_TRUE(cleared.world().NodeList.empty());

  testing::TestSimulation tiny(20, 20);  // smaller than one cell
  NewSetup(tiny.sim);
  ASSERT_EQ(tiny.world().ColumnCount, 0);
  Click(tiny.sim, MouseButton::Left, 5, 5);
  Click(tiny.sim, MouseButton::Right, 5, 5);
  EXPECT_EQ(tiny.world().NodeCount, 0u);
}

}  // namespace
}  // namespace veltmoor
