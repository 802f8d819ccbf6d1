#include "views/layers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "display/null_canvas.h"
#include "display/recording_canvas.h"
#include "simulation/window_outputs.h"
#include "support/test_world.h"

namespace veltmoor {
namespace {

using testing::AddNode;
using testing::BuildGrids;
using testing::Link;

class LayersTest : public ::testing::Test {
 protected:
  void BuildWorld(int cellSize, int columns, int rows) {
    sim.map.PanelWidth = columns * cellSize + 5;
    sim.map.PanelHeight = rows * cellSize + 3;
    sim.map.CreateLayerImages(sim.canvases);
    BuildGrids(sim.world, cellSize, columns, rows);
    Recorded(sim.map.MapImage).ClearCalls();
    Recorded(sim.map.FineImage).ClearCalls();
    Recorded(sim.map.AgentImage).ClearCalls();
  }

  static RecordingCanvas& Recorded(const std::unique_ptr<Canvas>& canvas) {
    return dynamic_cast<RecordingCanvas&>(*canvas);
  }
  static std::vector<CanvasCall> CallsOf(const std::unique_ptr<Canvas>& canvas,
                                         CanvasCallKind kind) {
    std::vector<CanvasCall> result;
    for (const CanvasCall& call : Recorded(canvas).Calls()) {
      if (call.kind == kind) {
        result.push_back(call);
      }
    }
    return result;
  }

  testing::TestSimulation t{std::make_unique<RecordingCanvasFactory>()};
  Simulation& sim = t.sim;
};

// How many of the recorded rectangles cover each pixel (right and bottom exclusive).
std::vector<int> Coverage(const std::vector<CanvasCall>& rects, int width, int height) {
  std::vector<int> count(static_cast<std::size_t>(width * height), 0);
  for (const CanvasCall& r : rects) {
    for (int y = std::max(r.y1, 0); y < std::min(r.y2, height); ++y) {
      for (int x = std::max(r.x1, 0); x < std::min(r.x2, width); ++x) {
        ++count[static_cast<std::size_t>(y * width + x)];
      }
    }
  }
  return count;
}

TEST_F(LayersTest, CellSize24PaintsFullSquaresAndFineCellsTileThem) {
  BuildWorld(24, 3, 2);
  ClearCellLayer(sim);
  ShowLandUse(sim);
  const auto coarse = CallsOf(sim.map.MapImage, CanvasCallKind::Rectangle);
  const auto fine = CallsOf(sim.map.FineImage, CanvasCallKind::Rectangle);
  ASSERT_EQ(coarse.size(), 6u);
  ASSERT_EQ(fine.size(), 54u);
  EXPECT_EQ(coarse[0].x1, 0);
  EXPECT_EQ(coarse[0].x2, 24);
  for (const CanvasCall& r : fine) {
    EXPECT_EQ(r.x2 - r.x1, 8);
    EXPECT_EQ(r.y2 - r.y1, 8);
    EXPECT_EQ(r.pen.width, 0);
    EXPECT_EQ(r.pen.colour, r.brush);
  }
  for (int n : Coverage(fine, 72, 48)) {
    EXPECT_EQ(n, 1);
  }
  for (int n : Coverage(coarse, 72, 48)) {
    EXPECT_EQ(n, 1);
  }
}

TEST_F(LayersTest, OddCellSizeLeavesOnePixelBetweenSquaresAndNothingOverlaps) {
  BuildWorld(23, 3, 3);
  ClearCellLayer(sim);
  ShowLandUse(sim);
  const auto coarse = CallsOf(sim.map.MapImage, CanvasCallKind::Rectangle);
  ASSERT_EQ(coarse.size(), 9u);
  EXPECT_EQ(coarse[1].x1, 23);
  EXPECT_EQ(coarse[1].x2, 45);  // 22 pixels for a pitch of 23
  for (int n : Coverage(coarse, 69, 69)) {
    EXPECT_LE(n, 1);
  }
  for (int n : Coverage(CallsOf(sim.map.FineImage, CanvasCallKind::Rectangle), 69, 69)) {
    EXPECT_LE(n, 1);
  }
}

TEST_F(LayersTest, CellSize20FineSquaresAreSixWideWithGaps) {
  BuildWorld(20, 1, 1);
  ShowLandUse(sim);
  const auto fine = CallsOf(sim.map.FineImage, CanvasCallKind::Rectangle);
  ASSERT_EQ(fine.size(), 9u);
  // First row of fine cells, left to right: centres 3, 10, 17.
  EXPECT_EQ(fine[0].x1, 0);
  EXPECT_EQ(fine[0].x2, 6);
  EXPECT_EQ(fine[1].x1, 7);
  EXPECT_EQ(fine[1].x2, 13);
  EXPECT_EQ(fine[2].x1, 14);
  EXPECT_EQ(fine[2].x2, 20);
  const auto count = Coverage(fine, 20, 20);
  for (int n : count) {
    EXPECT_LE(n, 1);
  }
  EXPECT_EQ(count[6], 0);   // gap column 6 in row 0
  EXPECT_EQ(count[13], 0);  // gap column 13
}

TEST(GradientFillTest, PaintsBothEdgesAndRestoresThePen) {
  RecordingCanvas canvas(10, 10);
  canvas.pen = Pen{colours::kOlive, 3, PenStyle::Solid};
  GradientFill(canvas, colours::kBlack, 0x0000FF, 0, 2, 1, 7, 4);
  const auto& calls = canvas.Calls();
  ASSERT_EQ(calls.size(), 4u);  // rows 1..4
  EXPECT_EQ(calls.front().brush, colours::kBlack);
  EXPECT_EQ(calls.back().brush, 0x0000FFu);
  EXPECT_EQ(calls.back().y1, 4);
  EXPECT_EQ(calls.back().y2, 5);
  EXPECT_EQ(calls[1].brush, 85u);  // 255 / 3
  EXPECT_EQ(calls[1].pen.style, PenStyle::InsideFrame);
  EXPECT_EQ(canvas.pen.width, 3);
  EXPECT_EQ(canvas.pen.style, PenStyle::Solid);

  canvas.ClearCalls();
  GradientFill(canvas, colours::kWhite, colours::kBlue, 1, 0, 0, 4, 10);
  ASSERT_EQ(canvas.Calls().size(), 5u);  // columns 0..4
  EXPECT_EQ(canvas.Calls().back().x1, 4);
  EXPECT_EQ(canvas.Calls().back().brush, colours::kBlue);
  // Ties go to the even neighbour: 255 * 2 / 4 = 127.5 -> 128 for the falling channels.
  EXPECT_EQ(canvas.Calls()[2].brush, MakeColour(128, 128, 255));

  canvas.ClearCalls();
  GradientFill(canvas, colours::kWhite, colours::kBlue, 2, 0, 0, 4, 10);
  EXPECT_TRUE(canvas.Calls().empty());
}

TEST(GradientColourAtTest, FollowsTheFiveStops) {
  EXPECT_EQ(GradientColourAt(0.0), colours::kBlue);
  EXPECT_EQ(GradientColourAt(0.25), colours::kCyan);
  EXPECT_EQ(GradientColourAt(0.5), colours::kLime);
  EXPECT_EQ(GradientColourAt(0.75), colours::kYellow);
  EXPECT_EQ(GradientColourAt(1.0), colours::kRed);
  // Row 20, halfway from blue to cyan: 127.5 rounds to the even 128.
  EXPECT_EQ(GradientColourAt(0.125), MakeColour(0, 128, 255));
  // Row 100, halfway from lime to yellow.
  EXPECT_EQ(GradientColourAt(0.625), MakeColour(128, 255, 0));
}

TEST(GradientColourAtTest, ValuesOffTheBarTakeTheNearerEnd) {
  EXPECT_EQ(GradientColourAt(-0.5), colours::kBlue);
  EXPECT_EQ(GradientColourAt(1.5), colours::kRed);
  EXPECT_EQ(GradientColourAt(std::numeric_limits<double>::quiet_NaN()), colours::kBlue);
}

TEST_F(LayersTest, AdjustColourScaleOverAllTrackBarPositions) {
  const double k[] = {0.5, 0.6, 0.7, 0.8, 0.9, 1.0, 1.5, 2.0, 2.5, 3.0, 3.5};
  const int top[] = {60, 68, 75, 81, 87, 92, 115, 131, 143, 151, 156};
  for (int p = 0; p <= 10; ++p) {
    t.settings.Set(setting::kColorAdjust, std::to_string(p));
    AdjustColourScale(sim);
    EXPECT_DOUBLE_EQ(sim.world.ColourExponent, k[p]) << p;
    EXPECT_EQ(sim.labels.Top(label::kColourHalf), top[p]) << p;
    if (p == 1) {
      EXPECT_EQ(sim.labels.Get(label::kColourScale), "0,6");
    } else if (p == 5) {
      EXPECT_EQ(sim.labels.Get(label::kColourScale), "1");
    } else if (p == 8) {
      EXPECT_EQ(sim.labels.Get(label::kColourScale), "2,5");
    }
  }
}

TEST_F(LayersTest, NodeLayerRepaint) {
  BuildWorld(24, 4, 4);
  AddNode(sim.world, 0, 0);
  AddNode(sim.world, 2, 1).Color = colours::kRed;
  AddNode(sim.world, 3, 3);
  Link(sim.world, 0, 1);
  Link(sim.world, 1, 2);
  t.settings.Set(setting::kNodeSize, "7");

  RepaintNodes(sim);
  const auto fills = CallsOf(sim.map.AgentImage, CanvasCallKind::FillRect);
  ASSERT_EQ(fills.size(), 1u);
  EXPECT_EQ(fills[0].brush, colours::kBlack);
  EXPECT_EQ(fills[0].x2, sim.map.MapImage->Width());
  const auto lines = CallsOf(sim.map.AgentImage, CanvasCallKind::Line);
  ASSERT_EQ(lines.size(), 4u);  // each segment once from each end
  EXPECT_EQ(lines[0].pen.colour, colours::kOlive);
  EXPECT_EQ(lines[0].pen.width, 2);
  EXPECT_EQ(lines[1].x1, 60);  // node 1's first link, back to node 0
  EXPECT_EQ(lines[1].x2, 12);
  const auto discs = CallsOf(sim.map.AgentImage, CanvasCallKind::Ellipse);
  ASSERT_EQ(discs.size(), 3u);
  EXPECT_EQ(discs[1].brush, colours::kRed);
  EXPECT_EQ(discs[1].pen.colour, colours::kGreen);
  EXPECT_EQ(discs[1].pen.width, 1);
  EXPECT_EQ(discs[1].x1, 60 - 7);
  EXPECT_EQ(discs[1].x2, 60 + 7);
  EXPECT_EQ(sim.world.Node(1).Radius, 7);

  Recorded(sim.map.AgentImage).ClearCalls();
  GreyAllNodes(sim);
  EXPECT_TRUE(CallsOf(sim.map.AgentImage, CanvasCallKind::Line).empty());
  EXPECT_EQ(CallsOf(sim.map.AgentImage, CanvasCallKind::Ellipse)[1].brush, colours::kGrey);
  EXPECT_EQ(sim.world.Node(1).Color, colours::kGrey);
}

TEST_F(LayersTest, SubStatesShowStreetsOverWhatTheRulesWrote) {
  BuildWorld(24, 1, 1);
  World& w = sim.world;
  w.FineGrid(0, 0).SubState = kSubOpen;
  w.FineGrid(1, 0).SubState = kSubBuild;
  w.FineGrid(1, 0).LandUse = kLandStreet;
  w.FineGrid(2, 0).SubState = static_cast<SubStateCode>(7);  // unknown code keeps its colour
  w.FineGrid(2, 0).Color = colours::kNavy;
  ShowSubStatesView(sim);
  EXPECT_TRUE(sim.map.Visible.Fine);
  EXPECT_EQ(w.FineGrid(0, 0).Color, colours::kLime);
  EXPECT_EQ(w.FineGrid(1, 0).Color, colours::kYellow);
  EXPECT_EQ(w.FineGrid(2, 0).Color, colours::kNavy);

  w.FineGrid(0, 1).LandUse = kLandDeveloped;
  sim.map.Visible.Fine = false;
  ShowStatesView(sim);
  EXPECT_TRUE(sim.map.Visible.Fine);
  EXPECT_EQ(w.FineGrid(0, 1).Color, colours::kBlue);
  EXPECT_EQ(w.FineGrid(1, 0).Color, colours::kYellow);
  EXPECT_EQ(w.FineGrid(0, 0).Color, colours::kWhite);

  w.FineGrid(2, 2).IsDeveloped = true;
  ShowDevelopedMask(sim);
  EXPECT_EQ(w.FineGrid(2, 2).Color, colours::kBlack);
  EXPECT_EQ(w.FineGrid(0, 1).Color, colours::kWhite);
}

TEST_F(LayersTest, CandidateSitesFeedTheirOwnSweep) {
  BuildWorld(24, 5, 5);
  AddNode(sim.world, 2, 2);
  ShowCandidateSitesView(sim);
  EXPECT_FALSE(sim.map.Visible.Fine);
  const World& w = sim.world;
  // The node cell is not drawn; every other cell is.
  EXPECT_EQ(CallsOf(sim.map.MapImage, CanvasCallKind::Rectangle).size(), 24u);
  EXPECT_EQ(w.CellGrid(1, 1).State, kStateNextToNode);
  EXPECT_EQ(w.CellGrid(1, 1).Color, colours::kLightGrey);
  EXPECT_EQ(w.CellGrid(0, 4).State, kStateCandidate);  // its State-2 neighbours came first
  EXPECT_EQ(w.CellGrid(0, 4).Color, colours::kRedOrange);
  EXPECT_EQ(w.CellGrid(0, 0).State, kStateFree);  // visited before row 1 turned to State 2
  EXPECT_EQ(w.CellGrid(0, 0).Color, colours::kWhite);

  ShowCandidateSites(sim);
  EXPECT_EQ(w.CellGrid(0, 0).State, kStateCandidate);
  EXPECT_EQ(w.CellGrid(2, 2).State, kStateNode);
}

TEST(LayersWithoutWorldTest, DrawingOperationsLeaveAnAbsentWorldAlone) {
  testing::TestSimulation t;
  t.sim.map.ClearAgentLayer();
  t.sim.map.DrawAllEdges(t.sim.world);
  RepaintNodes(t.sim);
  GreyAllNodes(t.sim);
  ClearCellLayer(t.sim);
  ShowStatesView(t.sim);
  ShowSubStatesView(t.sim);
  ShowCandidateSitesView(t.sim);
  ShowDevelopedMask(t.sim);
  DrawGradientBar(t.sim);
  EXPECT_FALSE(t.sim.world.Exists());
  EXPECT_EQ(t.sim.ImageGradient->Width(), 35);
  EXPECT_EQ(t.sim.ImageGradient->Pixel(1, 1), 0u);
}

}  // namespace
}  // namespace veltmoor
