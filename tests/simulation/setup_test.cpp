#include "simulation/setup.h"

#include <gtest/gtest.h>

#include "display/recording_canvas.h"
#include "simulation/numbers.h"
#include "simulation/window_outputs.h"
#include "support/test_simulation.h"

namespace veltmoor {
namespace {

TEST(NewSetupTest, DefaultAreaGivesTheDefaultWorld) {
  testing::TestSimulation t(611, 689);
  NewSetup(t.sim);
  const World& world = t.world();
  EXPECT_EQ(world.CellSize, 24);
  EXPECT_EQ(world.ColumnCount, 25);
  EXPECT_EQ(world.RowCount, 28);
  EXPECT_EQ(world.FineGrid.Columns(), 75);
  EXPECT_EQ(world.FineGrid.Rows(), 84);
  EXPECT_EQ(world.PotentialGrid.Columns(), 25);
  ASSERT_EQ(world.NodeCount, 1u);
  EXPECT_EQ(world.Node(0).Column, 12);
  EXPECT_EQ(world.Node(0).Row, 14);
  EXPECT_EQ(world.Node(0).X, 12 * 24 + 12);
  EXPECT_EQ(world.EdgeCount, 0u);
  EXPECT_EQ(world.TimeStep, 0u);
  EXPECT_EQ(world.CellGrid(12, 14).NodeIndex, 0);
  // The label is written after the node is planted, so it still reads 0.
  EXPECT_EQ(t.sim.labels.Get(label::kNodeCount), "0");
  EXPECT_EQ(t.sim.labels.Get(label::kEdgeCount), "0");
  EXPECT_EQ(t.sim.labels.Get(label::kMeanLength), "ML");
  EXPECT_EQ(t.sim.labels.Get(label::kMoreThanTwoNeighbours), "___");
}

TEST(NewSetupTest, CellsAndFineCellsSitOnTheirPitch) {
  testing::TestSimulation t(611, 689);
  NewSetup(t.sim);
  const World& world = t.world();
  const TCell& cell = world.CellGrid(2, 3);
  EXPECT_EQ(world.CentreX(cell), 12 + 2 * 24);
  EXPECT_EQ(world.CentreY(cell), 12 + 3 * 24);
  EXPECT_EQ(world.ColumnOf(cell), 2);
  EXPECT_EQ(world.RowOf(cell), 3);
  EXPECT_EQ(cell.Color, colours::kWhite);
  RecordingCanvas canvas(611, 689);
  world.DrawCell(canvas, cell);
  // 0.33 * 24 = 7.92 rounds to 8: fine centres 8 pixels apart, squares of 8.
  for (int d = -1; d <= 1; ++d) {
    const TFineCell& fine = world.FineGrid(3 * 2 + 1 + d, 3 * 3 + 1);
    EXPECT_EQ(world.CentreX(fine), 12 + 2 * 24 + 8 * d);
    EXPECT_EQ(world.CentreY(fine), 12 + 3 * 24);
    EXPECT_EQ(world.ColumnOf(fine), 3 * 2 + 1 + d);
    EXPECT_EQ(world.RowOf(fine), 3 * 3 + 1);
    world.DrawCell(canvas, fine);
  }
  ASSERT_EQ(canvas.Calls().size(), 4u);
  EXPECT_EQ(canvas.Calls()[0].x1, 48);
  EXPECT_EQ(canvas.Calls()[0].x2, 72);
  EXPECT_EQ(canvas.Calls()[1].x1, 48);  // centre 52, half-edge 4
  EXPECT_EQ(canvas.Calls()[1].x2, 56);
  EXPECT_EQ(canvas.Calls()[3].x2, 72);
}

TEST(NewSetupTest, OutputsAreReset) {
  testing::TestSimulation t;
  NewSetup(t.sim);
  for (const ValueKey key :
       {value_key::kGridDimension, value_key::kGridSlope, value_key::kRadialDimension,
        value_key::kRadialSlope, value_key::kNodeDimension, value_key::kNodeSlope,
        value_key::kEdgeDimension, value_key::kEdgeSlope, value_key::kSegregation}) {
    EXPECT_EQ(t.sim.valueList.Value(key), "-") << key.View();
  }
  EXPECT_EQ(t.sim.labels.Get(label::kWeightRatio), "2");
  EXPECT_EQ(t.sim.labels.Get(label::kScaleRatio), "0,85");
  EXPECT_EQ(t.sim.labels.Get(label::kInverseWeightRatio), "0,5");
  EXPECT_EQ(t.sim.labels.Get(label::kColourScale), "1");
  EXPECT_DOUBLE_EQ(t.world().ColourExponent, 1.0);

  const chart::Series& curve = t.sim.charts.GetSeries(series_name::kResultingForce);
  ASSERT_EQ(curve.Count(), 101u);
  EXPECT_DOUBLE_EQ(curve.XValue(100), 1.0);
  EXPECT_NEAR(curve.YValue(0), 0.0, 1e-12);
  EXPECT_NEAR(curve.YValue(50), 0.2877, 1e-4);
  EXPECT_NEAR(curve.YValue(100), 0.2057, 1e-4);
}

TEST(NewSetupTest, WithoutInitialStreetTheWorldHasNoNode) {
  testing::TestSimulation t;
  t.settings.SetChecked(setting::kCenterNode, false);
  NewSetup(t.sim);
  EXPECT_EQ(t.world().NodeCount, 0u);
  EXPECT_TRUE(t.world().NodeList.empty());
  EXPECT_TRUE(t.world().CandidateList.empty());
}

TEST(NewSetupTest, AreaSmallerThanOneCellLeavesTheGridsEmpty) {
  testing::TestSimulation t(20, 600);
  NewSetup(t.sim);
  EXPECT_EQ(t.world().ColumnCount, 0);
  EXPECT_EQ(t.world().RowCount, 25);
  EXPECT_TRUE(t.world().CellGrid.Empty());
  EXPECT_TRUE(t.world().FineGrid.Empty());
  EXPECT_EQ(t.world().NodeCount, 0u);
  EXPECT_FALSE(t.world().InGrid(0, 0));
}

TEST(NewSetupTest, CellSizeComesFromTheSetting) {
  testing::TestSimulation t(100, 50);
  t.settings.Set(setting::kCellScale, "7");
  NewSetup(t.sim);
  EXPECT_EQ(t.world().ColumnCount, 14);
  EXPECT_EQ(t.world().RowCount, 7);
  // Half-edges of 3 and 1 pixels; the fine centres lie Round(0.33 * 7) = 2 pixels apart.
  RecordingCanvas canvas(100, 50);
  t.world().DrawCell(canvas, t.world().CellGrid(0, 0));
  t.world().DrawCell(canvas, t.world().FineGrid(0, 0));
  ASSERT_EQ(canvas.Calls().size(), 2u);
  EXPECT_EQ(canvas.Calls()[0].x1, 0);
  EXPECT_EQ(canvas.Calls()[0].x2, 6);
  EXPECT_EQ(canvas.Calls()[1].x1, 0);
  EXPECT_EQ(canvas.Calls()[1].x2, 2);
  EXPECT_TRUE(t.world().InGrid(13, 6));
  EXPECT_FALSE(t.world().InGrid(14, 0));
  EXPECT_FALSE(t.world().InGrid(-1, 0));
  EXPECT_TRUE(t.world().InFineGrid(41, 20));
  EXPECT_FALSE(t.world().InFineGrid(42, 20));
  // Pixels right of the last full cell belong to no cell.
  EXPECT_EQ(t.world().PixelToColumn(99), 14);
  EXPECT_EQ(t.world().PixelToFineColumn(99), 42);
}

TEST(ClearWorldTest, NewSetupReplacesEverythingAndClearsTheSeries) {
  testing::TestSimulation t;
  NewSetup(t.sim);
  t.sim.charts.GetSeries(series_name::kSegregationByStep).Add(0, 0.5);
  t.sim.charts.GetSeries(series_name::kEdgesPerNode).Add(1, 2);
  t.sim.map.DragStartCell = &t.world().CellGrid(1, 1);
  t.world().TimeStep = 7;
  t.world().ClusterSizes = {12, 3};
  const auto zooms = t.sim.charts.Get(chart_name::kSegregation).ZoomResetRequests();

  B_setupClick(t.sim);
  EXPECT_EQ(t.sim.charts.GetSeries(series_name::kSegregationByStep).Count(), 0u);
  EXPECT_EQ(t.sim.charts.GetSeries(series_name::kEdgesPerNode).Count(), 0u);
  EXPECT_EQ(t.sim.charts.Get(chart_name::kSegregation).ZoomResetRequests(), zooms + 1);
  EXPECT_EQ(t.sim.map.DragStartCell, nullptr);
  EXPECT_TRUE(t.world().ClusterSizes.empty());
  EXPECT_EQ(t.world().TimeStep, 0u);
  EXPECT_EQ(t.world().NodeCount, 1u);
  EXPECT_EQ(t.world().CandidateList.size(), 26u);
}

TEST(ClearWorldTest, LeavesNoWorldBehind) {
  testing::TestSimulation t;
  NewSetup(t.sim);
  ClearWorld(t.sim);
  EXPECT_FALSE(t.world().Exists());
  EXPECT_TRUE(t.world().NodeList.empty());
  EXPECT_TRUE(t.world().CellGrid.Empty());
  EXPECT_TRUE(t.world().CandidateList.empty());
  ClearWorld(t.sim);  // clearing twice is harmless
}

TEST(ClearWorldTest, FreesTheMapLayersWithTheWorld) {
  testing::TestSimulation t(200, 150);
  t.settings.SetChecked(setting::kNodeNumbers, true);
  NewSetup(t.sim);
  MapLayers& map = t.sim.map;
  ASSERT_TRUE(map.MapImage && map.FineImage && map.AgentImage);
  ASSERT_EQ(map.NodeLabelList.size(), 1u);  // the first node's number
  map.DragStartCell = &t.world().CellGrid(1, 1);
  map.DragEndCell = &t.world().CellGrid(2, 1);
  map.Visible.Fine = false;
  // The map keeps the size it was made with while the drawing area changes.
  map.PanelWidth = 300;
  EXPECT_EQ(map.Width(), 200);

  ClearWorld(t.sim);
  EXPECT_FALSE(t.world().Exists());
  EXPECT_EQ(map.MapImage, nullptr);
  EXPECT_EQ(map.FineImage, nullptr);
  EXPECT_EQ(map.AgentImage, nullptr);
  EXPECT_TRUE(map.NodeLabelList.empty());
  EXPECT_EQ(map.DragStartCell, nullptr);
  EXPECT_EQ(map.DragEndCell, nullptr);
  // The drawing area and the choice of layers belong to the panel, not to the world.
  EXPECT_EQ(map.Width(), 300);
  EXPECT_EQ(map.Height(), 150);
  EXPECT_FALSE(map.Visible.Fine);
}

TEST(NewSetupTest, SetupKeepsTheRunState) {
  testing::TestSimulation t;
  NewSetup(t.sim);
  t.sim.TimerEnabled = true;
  t.world().FieldType = kFieldBoom;
  B_setupClick(t.sim);
  EXPECT_TRUE(t.sim.TimerEnabled);
  EXPECT_EQ(t.world().FieldType, kFieldBoom);
}

TEST(NewSetupTest, BadDecimalSettingFailsWithTheConversionError) {
  testing::TestSimulation t;
  t.settings.Set(setting::kCentripetalWeight, "0.x");
  try {
    NewSetup(t.sim);
    FAIL() << "setup accepted a bad decimal";
  } catch (const ConversionError& e) {
    EXPECT_STREQ(e.what(), "'0.x' is not a valid floating point value");
  }
  // The grid built before the failure stays usable.
  EXPECT_EQ(t.world().ColumnCount, 25);
}

}  // namespace
}  // namespace veltmoor

namespace veltmoor {
namespace {

TEST(WorldMemoryTest, ATooLargeWorldIsRefusedWithTheBytesAndTheCellsThatFit) {
  const std::uint64_t need = WorldBytes(1000, 1000, 10);
  EXPECT_NO_THROW(CheckWorldFits(1000, 1000, 10, need));
  try {
    CheckWorldFits(1000, 1000, 10, need - 1);
    FAIL() << "a world one byte too large was accepted";
  } catch (const WorldSizeError& e) {
    const std::string message = e.what();
    EXPECT_NE(message.find(std::to_string(need) + " bytes"), std::string::npos) << message;
    // One cell less than the 100 x 100 asked for fits.
    EXPECT_NE(message.find("at most 9999 cells fit"), std::string::npos) << message;
    EXPECT_NE(message.find(setting::kCellScale.Str()), std::string::npos) << message;
  }
}

// "new setup" in the desktop program: the message comes before the old world is cleared.
TEST(WorldMemoryTest, NewSetupKeepsTheOldWorldWhenTheNewOneCannotFit) {
  testing::TestSimulation t(611, 689);
  NewSetup(t.sim);
  t.sim.map.PanelWidth = 20000;
  t.sim.map.PanelHeight = 20000;
  t.settings.Set(setting::kCellScale, "1");
  EXPECT_THROW(B_setupClick(t.sim), WorldSizeError);
  EXPECT_TRUE(t.world().Exists());
  EXPECT_EQ(t.world().ColumnCount, 25);
  EXPECT_EQ(t.world().CellGrid.Columns(), 25);
  EXPECT_EQ(t.world().NodeCount, 1u);
}

}  // namespace
}  // namespace veltmoor
