#include "render/composite.h"

#include <gtest/gtest.h>

#include "display/null_canvas.h"
#include "render/qt_canvas.h"
#include "support/test_world.h"
#include "views/layers.h"

namespace veltmoor {
namespace {

Colour PictureAt(const QImage& picture, int x, int y) {
  return FromQRgb(picture.pixel(x, y));
}

class ComposeMapTest : public ::testing::Test {
 protected:
  // Two linked nodes over a developed fine cell and a candidate site on the cell layer.
  void SetUp() override {
    sim.map.PanelWidth = 100;
    sim.map.PanelHeight = 80;
    sim.map.CreateLayerImages(sim.canvases);
    testing::BuildGrids(sim.world, 24, 4, 3);
    World& w = sim.world;
    testing::AddNode(w, 0, 0);
    testing::AddNode(w, 2, 0);
    testing::Link(w, 0, 1);
    w.CellGrid(1, 2).Color = colours::kRedOrange;
    w.DrawCell(*sim.map.MapImage, w.CellGrid(1, 2));
    w.FineGrid(10, 7).LandUse = kLandDeveloped;  // centre fine cell of cell (3, 2)
    ShowLandUse(sim);
    RepaintNodes(sim);
  }

  testing::TestSimulation t{std::make_unique<QtCanvasFactory>()};
  Simulation& sim = t.sim;
};

TEST_F(ComposeMapTest, StacksTheVisibleLayers) {
  const QImage picture = ComposeMap(sim);
  ASSERT_EQ(picture.width(), 100);
  ASSERT_EQ(picture.height(), 80);
  EXPECT_EQ(PictureAt(picture, 12, 12), colours::kGrey);   // node disc
  EXPECT_EQ(PictureAt(picture, 30, 12), colours::kOlive);  // street between the nodes
  EXPECT_EQ(PictureAt(picture, 84, 60), colours::kBlue);   // developed fine cell
  EXPECT_EQ(PictureAt(picture, 36, 60), colours::kWhite);  // fine layer covers the cells

  sim.map.Visible.Fine = false;
  const QImage cells = ComposeMap(sim);
  EXPECT_EQ(PictureAt(cells, 36, 60), colours::kRedOrange);
  EXPECT_EQ(PictureAt(cells, 84, 60), colours::kWhite);
  EXPECT_EQ(PictureAt(cells, 12, 12), colours::kGrey);
}

TEST_F(ComposeMapTest, WithoutCellLayersOnlyNodesAndStreetsRemainOnWhite) {
  sim.map.Visible.CellLayers = false;
  const QImage picture = ComposeMap(sim);
  for (int y = 0; y < picture.height(); ++y) {
    for (int x = 0; x < picture.width(); ++x) {
      const Colour c = PictureAt(picture, x, y);
      ASSERT_TRUE(c == colours::kWhite || c == colours::kGrey || c == colours::kGreen ||
                  c == colours::kOlive)
          << x << "," << y << " " << std::hex << c;
    }
  }
  EXPECT_EQ(PictureAt(picture, 12, 12), colours::kGrey);

  sim.map.Visible.Agent = false;
  const QImage empty = ComposeMap(sim);
  EXPECT_EQ(PictureAt(empty, 12, 12), colours::kWhite);
  EXPECT_EQ(PictureAt(empty, 30, 12), colours::kWhite);
}

TEST_F(ComposeMapTest, NodeNumbersSitAboveEveryLayer) {
  sim.map.NodeLabelList.push_back({50, 40, "7"});
  const QImage picture = ComposeMap(sim);
  int navy = 0;
  for (int y = 40; y < 60; ++y) {
    for (int x = 50; x < 60; ++x) {
      navy += PictureAt(picture, x, y) == colours::kNavy;
    }
  }
  EXPECT_GT(navy, 0);
}

// A repaint of part of the panel shows exactly the pixels the whole picture has there,
// labels that straddle the region's edge included; a region past the panel is clipped.
TEST_F(ComposeMapTest, ARegionIsTheSamePartOfTheWholePicture) {
  sim.map.NodeLabelList.push_back({45, 35, "17"});
  const QImage whole = ComposeMap(sim);
  for (const QRect region :
       {QRect(0, 0, 100, 80), QRect(8, 5, 40, 30), QRect(47, 38, 9, 7), QRect(70, 50, 60, 60)}) {
    const QImage part = ComposeMap(sim, region);
    const QRect shown = region.intersected(whole.rect());
    ASSERT_EQ(part.size(), shown.size());
    EXPECT_EQ(part, whole.copy(shown)) << region.x() << "," << region.y();
  }
}

TEST(ComposeMapWithoutPicturesTest, IsWhiteWithoutWorldOrWithNullLayers) {
  testing::TestSimulation noWorld{std::make_unique<QtCanvasFactory>()};
  noWorld.sim.map.PanelWidth = 30;
  noWorld.sim.map.PanelHeight = 20;
  const QImage blank = ComposeMap(noWorld.sim);
  ASSERT_EQ(blank.width(), 30);
  EXPECT_EQ(PictureAt(blank, 29, 19), colours::kWhite);

  testing::TestSimulation fast;
  fast.sim.map.PanelWidth = 30;
  fast.sim.map.PanelHeight = 20;
  fast.sim.map.CreateLayerImages(fast.sim.canvases);
  const QImage picture = ComposeMap(fast.sim);
  ASSERT_EQ(picture.height(), 20);
  EXPECT_EQ(PictureAt(picture, 0, 0), colours::kWhite);
}

}  // namespace
}  // namespace veltmoor
